// Searches run from the main window against fake master and game servers on 127.0.0.1.

#include "FakeServers.h"
#include "FormHarness.h"
#include "UserMessage.h"
#include "results/ResultsModel.h"
#include "search/ResultRow.h"
#include "search/SearchRun.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

using namespace rollcall;
using rollcall::testing::FormHarness;
using testsupport::FakeGameServer;
using testsupport::FakeMasterServer;

namespace {

constexpr int Wait = 10000;

} // namespace

class tst_MainFormSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void fullSearch();
    void stopWhileQuerying();
    void backWhileQuerying();
    void backDuringDownloadThenFreshRun();
    void noServersIsReported();

private:
    // Options page filled for a search for `name` at `master`, then "Next >".
    void startSearch(FormHarness &h, const QString &name, const FakeMasterServer &master,
        const QString &timeout = QStringLiteral("2000"), const QString &sockets = QStringLiteral("80"));

    std::unique_ptr<FakeMasterServer> m_master;
    std::unique_ptr<FakeGameServer> m_bobServer;
    std::unique_ptr<FakeGameServer> m_otherServer;
};

void tst_MainFormSearch::init()
{
    m_master = std::make_unique<FakeMasterServer>();
    QVERIFY(m_master->listen());
    m_bobServer = std::make_unique<FakeGameServer>();
    QVERIFY(m_bobServer->listen());
    m_bobServer->setPlayers({ { "Bob", 5, 60.f }, { "alice", 1, 30.f } });
    m_otherServer = std::make_unique<FakeGameServer>();
    QVERIFY(m_otherServer->listen());
    m_otherServer->setPlayers({ { "bobby", 3, 10.f }, { "carol", 0, 5.f } });
    m_master->setEntries({ m_bobServer->entry(), m_otherServer->entry() });
}

void tst_MainFormSearch::startSearch(FormHarness &h, const QString &name, const FakeMasterServer &master,
    const QString &timeout, const QString &sockets)
{
    h.next();
    h.edit("txtPlayerName_0")->setText(name);
    h.combo("cboMaster")->setEditText(master.addressText());
    h.edit("txtTimeout")->setText(timeout);
    h.edit("txtMaxConn")->setText(sockets);
    h.next();
}

void tst_MainFormSearch::fullSearch()
{
    FormHarness h;
    QVERIFY(h.shown);
    startSearch(h, QStringLiteral("BOB"), *m_master);
    QCOMPARE(h.form->currentPage(), 2);
    QVERIFY(!h.button("Command2_1")->isEnabled());
    QVERIFY(h.button("Command2_0")->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(h.label("Label13")->text(), QStringLiteral("2 Players Found"), Wait);
    QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Done."));
    QVERIFY(h.label("lblTotal")->isHidden());
    QVERIFY(h.label("lblLeft")->isHidden());
    QVERIFY(h.form->findChild<QProgressBar *>()->isHidden());
    QVERIFY(!h.button("Command5")->isEnabled());

    results::ResultsModel *model = h.form->resultsModel();
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    QCOMPARE(list->model(), model);
    QCOMPARE(model->rowCount(), 2);
    QStringList names;
    for (int r = 0; r < 2; ++r) {
        const auto row = model->rowById(model->rowId(r));
        QCOMPARE(row->cell(search::ResultRow::ServerIp), QStringLiteral("127.0.0.1"));
        names.append(row->cell(search::ResultRow::PlayerName));
    }
    names.sort();
    QCOMPARE(names, (QStringList { "Bob", "bobby" }));
    QVERIFY(h.recorder.messages().isEmpty());

    // Once a row is selected the header sorts the list: the first click after a search sorts
    // ascending.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(model->index(1, 0)).center());
    QVERIFY(h.button("Command6")->isEnabled());
    QHeaderView *header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(search::ResultRow::PlayerName) + 5, 5));
    QVERIFY(model->isSortEnabled());
    QCOMPARE(model->sortColumn(), int(search::ResultRow::PlayerName));
    QCOMPARE(model->sortOrder(), Qt::AscendingOrder);
    QCOMPARE(model->index(0, search::ResultRow::PlayerName).data().toString(), QStringLiteral("Bob"));

    // Rows stay when the user goes back to the options; the next run starts with an empty list.
    h.back();
    QCOMPARE(h.form->currentPage(), 1);
    QCOMPARE(model->rowCount(), 2);
    h.next();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("Searching For Players..."));
    QTRY_COMPARE_WITH_TIMEOUT(h.label("Label13")->text(), QStringLiteral("2 Players Found"), Wait);
}

void tst_MainFormSearch::stopWhileQuerying()
{
    m_otherServer->setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    // One socket: the answering server first, then the silent one keeps the run querying.
    startSearch(h, QStringLiteral("bob"), *m_master, QStringLiteral("60000"), QStringLiteral("1"));

    results::ResultsModel *model = h.form->resultsModel();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, Wait);
    QVERIFY(h.label("lblTotal")->isVisible());
    QVERIFY(h.label("lblLeft")->isVisible());
    auto *progress = h.form->findChild<QProgressBar *>();
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->value(), h.form->searchRun()->handedOutPercent());

    // Selecting a row while servers are still being asked makes "Stop" available.
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(model->index(0, 3)).center());
    QTRY_VERIFY_WITH_TIMEOUT(h.button("Command5")->isEnabled(), Wait);
    h.button("Command5")->click();

    QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Done."));
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("1 Players Found"));
    QVERIFY(h.label("lblTotal")->isHidden());
    QVERIFY(progress->isHidden());
    QVERIFY(!h.button("Command5")->isEnabled());
    QVERIFY(h.recorder.messages().isEmpty());
}

void tst_MainFormSearch::backWhileQuerying()
{
    m_otherServer->setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    startSearch(h, QStringLiteral("bob"), *m_master, QStringLiteral("60000"), QStringLiteral("1"));
    results::ResultsModel *model = h.form->resultsModel();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(m_otherServer->requestCount(FakeGameServer::Kind::Players), 1, Wait);

    h.back();
    QCOMPARE(h.form->currentPage(), 1);
    QVERIFY(!h.form->searchRun()->isActive());
    QCOMPARE(h.form->searchRun()->outstanding(), 0);
    // The rows found so far stay until the next run; the texts are left as they were.
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(h.recorder.messages().isEmpty());
}

void tst_MainFormSearch::backDuringDownloadThenFreshRun()
{
    m_master->setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    startSearch(h, QStringLiteral("bob"), *m_master);
    QTRY_COMPARE_WITH_TIMEOUT(m_master->requests().size(), 1, Wait);
    QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Downloading Server List..."));

    h.back();
    QCOMPARE(h.form->currentPage(), 1);
    QVERIFY(!h.form->searchRun()->isActive());

    // The master now answers: only the new run's request gets a reply that is read.
    m_master->setSilent(false);
    h.next();
    QTRY_COMPARE_WITH_TIMEOUT(h.label("Label13")->text(), QStringLiteral("2 Players Found"), Wait);
    QCOMPARE(m_master->requests().size(), 2);
    QCOMPARE(h.form->resultsModel()->rowCount(), 2);
    QVERIFY(h.recorder.messages().isEmpty());
}

void tst_MainFormSearch::noServersIsReported()
{
    m_master->setEntries({});
    FormHarness h;
    QVERIFY(h.shown);
    startSearch(h, QStringLiteral("bob"), *m_master);
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder.messages().size(), 1, Wait);
    const UserMessage message = h.recorder.messages().constFirst();
    QCOMPARE(message.icon, UserMessage::Icon::Exclamation);
    QCOMPARE(message.text,
        TwoPartMessage(
            QStringLiteral("No servers received from master."), QStringLiteral("Please try again later.")));
    QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Done."));
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("0 Players Found"));
}

QTEST_MAIN(tst_MainFormSearch)
#include "tst_mainform_search.moc"
