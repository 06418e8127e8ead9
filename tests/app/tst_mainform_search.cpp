// Searches run from the main window against fake master and game servers on 127.0.0.1.

#include "FakeServers.h"
#include "FakeWebApi.h"
#include "FormHarness.h"
#include "HostileServers.h"
#include "SteamFakes.h"
#include "results/ResultsModel.h"
#include "search/ResultRow.h"
#include "search/SearchRun.h"
#include "ui/RunTexts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTreeView>

using namespace rollcall;
using rollcall::testing::FormHarness;
using search::ResultRow;
using testsupport::FakeGameServer;
using testsupport::FakeMasterServer;

namespace {

constexpr int Wait = 10000;

void click(QTreeView *list, const QModelIndex &index)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

} // namespace

class tst_MainFormSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void fullSearch();
    void endDuringTheRun_data();
    void endDuringTheRun();
    void doneAfterTheLastReply();
    void masterListCutIsANoticeAfterTheTexts();
    void steamSearchRowsAskWithA2s();
    void steamSearchFromTheWindow();
    void webApiSearchFromTheWindow();
    void listFileSearchAndAddFromTheWindow();

private:
    // The options page filled for a search for "bob" at the fake master, then "Next >".
    void startSearch(FormHarness &h, const char *timeout = "2000", const char *sockets = "80");

    std::unique_ptr<FakeMasterServer> m_master;
    std::unique_ptr<FakeGameServer> m_bobServer;
    std::unique_ptr<FakeGameServer> m_otherServer;
};

void tst_MainFormSearch::init()
{
    m_master = std::make_unique<FakeMasterServer>();
    m_bobServer = std::make_unique<FakeGameServer>();
    m_otherServer = std::make_unique<FakeGameServer>();
    QVERIFY(m_master->listen() && m_bobServer->listen() && m_otherServer->listen());
    m_bobServer->setPlayers({ { "Bob", 5, 60.f }, { "alice", 1, 30.f } });
    m_otherServer->setPlayers({ { "bobby", 3, 10.f }, { "carol", 0, 5.f } });
    m_master->setEntries({ m_bobServer->entry(), m_otherServer->entry() });
}

void tst_MainFormSearch::startSearch(FormHarness &h, const char *timeout, const char *sockets)
{
    h.next();
    h.set("txtPlayerName_0", QStringLiteral("BOB"));
    h.set("cboMaster", m_master->addressText());
    h.set("txtTimeout", QLatin1String(timeout));
    h.set("txtMaxConn", QLatin1String(sockets));
    h.next();
}

void tst_MainFormSearch::fullSearch()
{
    FormHarness h;
    QVERIFY(h.shown);
    startSearch(h);
    QCOMPARE(h.form->currentPage(), 2);
    QVERIFY(!h.button("Command2_1")->isEnabled());
    QVERIFY(h.button("Command2_0")->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(h.label("Label13")->text(), QStringLiteral("2 Players Found"), Wait);
    QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Done."));
    QVERIFY(h.label("lblTotal")->isHidden());
    QVERIFY(h.label("lblLeft")->isHidden());
    QVERIFY(h.form->findChild<QProgressBar *>()->isHidden());
    QVERIFY(!h.button("Command5")->isEnabled());
    QVERIFY(h.recorder.messages.isEmpty());

    results::ResultsModel *model = h.form->resultsModel();
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    QCOMPARE(list->model(), model);
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r)
        rows.append(model->index(r, ResultRow::ServerIp).data().toString() + QLatin1Char(' ')
            + model->index(r, ResultRow::PlayerName).data().toString());
    rows.sort();
    QCOMPARE(rows, (QStringList { "127.0.0.1 Bob", "127.0.0.1 bobby" }));

    // The results page's commands work in the window: a selection enables them and lets the
    // header sort.
    click(list, model->index(1, 0));
    QVERIFY(h.button("Command6")->isEnabled());
    list->header()->sectionClicked(ResultRow::PlayerName);
    QVERIFY(model->isSortEnabled());

    // Rows stay when the user goes back to the options; the next run starts afresh, and its
    // failure is shown in a box.
    h.back();
    QCOMPARE(model->rowCount(), 2);
    m_master->setEntries({});
    h.next();
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(!model->isSortEnabled());
    QVERIFY(!h.button("Command6")->isEnabled());
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("Searching For Players..."));
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder.messages.size(), 1, Wait);
    QCOMPARE(h.recorder.messages.constFirst().icon, ui::UserMessage::Icon::Exclamation);
    QCOMPARE(h.recorder.messages.constFirst().text,
        ui::TwoPartMessage(
            QStringLiteral("No servers received from master."), QStringLiteral("Please try again later.")));
    QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Done."));
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("0 Players Found"));
}

void tst_MainFormSearch::endDuringTheRun_data()
{
    QTest::addColumn<bool>("download"); // else while servers are queried
    QTest::addColumn<bool>("back"); // else "Stop"
    QTest::newRow("stop_whileQuerying") << false << false;
    QTest::newRow("back_whileQuerying") << false << true;
    QTest::newRow("back_whileDownloading") << true << true;
}

void tst_MainFormSearch::endDuringTheRun()
{
    QFETCH(bool, download);
    QFETCH(bool, back);
    m_master->setSilent(download);
    m_otherServer->setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    // One socket: the answering server first, then the silent one keeps the run querying.
    startSearch(h, "60000", "1");
    results::ResultsModel *model = h.form->resultsModel();
    auto *progress = h.form->findChild<QProgressBar *>();
    if (download) {
        QTRY_COMPARE_WITH_TIMEOUT(m_master->requests().size(), 1, Wait);
        QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Downloading Server List..."));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(m_otherServer->requestCount(FakeGameServer::Kind::Players), 1, Wait);
        QVERIFY(h.label("lblTotal")->isVisible());
        QVERIFY(h.label("lblLeft")->isVisible());
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->value(), ui::HandedOutPercent(h.form->searchRun()->progress()));
    }

    if (back) {
        h.back();
        QCOMPARE(h.form->currentPage(), 1);
        QVERIFY(!h.form->searchRun()->isActive());
        QCOMPARE(h.form->searchRun()->outstanding(), 0);
    } else {
        // Selecting a row while servers are still being asked makes "Stop" available.
        click(h.child<QTreeView>(QStringLiteral("LVPlayersFound")), model->index(0, 3));
        QTRY_VERIFY_WITH_TIMEOUT(h.button("Command5")->isEnabled(), Wait);
        h.button("Command5")->click();
        QCOMPARE(h.label("lblStatus")->text(), QStringLiteral("Status: Done."));
        QCOMPARE(h.label("Label13")->text(), QStringLiteral("1 Players Found"));
        QVERIFY(h.label("lblTotal")->isHidden());
        QVERIFY(progress->isHidden());
        QVERIFY(!h.button("Command5")->isEnabled());
    }
    // The rows found so far stay; nothing is reported once the run has ended.
    QTest::qWait(100);
    QCOMPARE(model->rowCount(), download ? 0 : 1);
    QVERIFY(h.recorder.messages.isEmpty());
}

void tst_MainFormSearch::doneAfterTheLastReply()
{
    // Two sockets, so the list is handed out at once; the second server answers well inside its
    // time-out. Until it has, the run is not done: no end texts, and "Stop" stays available.
    m_otherServer->setReplyDelay(800);
    FormHarness h;
    QVERIFY(h.shown);
    startSearch(h, "5000", "2");
    results::ResultsModel *model = h.form->resultsModel();
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, Wait);
    QVERIFY(h.form->searchRun()->isActive());
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("Searching For Players..."));
    QVERIFY(h.label("lblStatus")->text().startsWith(QLatin1String("Status: Refreshing 127.0.0.1:")));
    QVERIFY(h.label("lblTotal")->isVisible());
    click(list, model->index(0, 3));
    QVERIFY(h.button("Command5")->isEnabled());

    // The end texts come with the last row, never before it.
    int rowsAtEnd = -1;
    connect(h.form->searchRun(), &search::SearchRun::runEnded, this, [&] { rowsAtEnd = model->rowCount(); });
    QTRY_COMPARE_WITH_TIMEOUT(h.label("lblStatus")->text(), QStringLiteral("Status: Done."), Wait);
    QCOMPARE(rowsAtEnd, 2);
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("2 Players Found"));
    QVERIFY(!h.button("Command5")->isEnabled());
    QVERIFY(h.label("lblTotal")->isHidden());
    QTest::qWait(200);
    QCOMPARE(model->rowCount(), 2);
    QVERIFY(h.recorder.messages.isEmpty());
}

void tst_MainFormSearch::masterListCutIsANoticeAfterTheTexts()
{
    // A master that pages for ever: the list stops at 100,000 servers, the query phase starts
    // with its texts shown, and then a message box says the list was cut. Back ends the run
    // there (the servers are loopback ports where nothing listens).
    testsupport::HostileServer master;
    QVERIFY(master.listen());
    master.setScript([](int n, const QByteArray &) {
        const int page = testsupport::FullMasterPage;
        return QList<testsupport::HostileSend> { { testsupport::EncodeMasterReply(
            testsupport::MasterPageKey(n), testsupport::LoopbackEntries(n * page, page)) } };
    });
    FormHarness h;
    QVERIFY(h.shown);
    QStringList shown;
    ui::seams().showMessage = [&](QWidget *, const ui::UserMessage &message) {
        shown << h.label("lblTotal")->text() << message.text;
        h.back();
    };
    h.next();
    h.set("txtPlayerName_0", QStringLiteral("bob"));
    h.set("cboMaster", master.addressText());
    h.next();
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, Wait * 3);
    QCOMPARE(shown,
        QStringList({ "Total Servers: 100000",
            "The master server listed more than 100,000 servers; the first 100,000 were searched." }));
    QCOMPARE(h.form->currentPage(), 1);
}

void tst_MainFormSearch::steamSearchRowsAskWithA2s()
{
    // The rows of a Steam-mode search are asked with A2S: the results page knows the protocol
    // of the search that produced them.
    testsupport::FakeA2sServer steamServer;
    QVERIFY(steamServer.listen());
    testsupport::FakeA2sInfo info;
    info.GameDirectory = "cstrike";
    steamServer.setInfo(info);
    m_master->setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam master")));
    QVERIFY(h.set("cboMaster", m_master->addressText()));
    QVERIFY(h.set("txtPlayerName_0", QStringLiteral("Иван")));
    h.next();
    QCOMPARE(h.form->currentPage(), 2);
    ResultRow row;
    row.Cells = { steamServer.addressText(), QString::number(steamServer.port()), QStringLiteral("5"),
        QStringLiteral("Иван"), QStringLiteral("1"), QStringLiteral("00:00:01") };
    h.form->resultsModel()->appendRows({ row });
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    click(list, list->model()->index(0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(h.button("Command1")->property("tag").toString(), QStringLiteral("6"), Wait);
    QCOMPARE(steamServer.requestCount(testsupport::FakeA2sServer::Kind::Other), 0);

    // Back and on again with the legacy protocol: its rows are asked the legacy way.
    h.back();
    QVERIFY(h.set("cboProtocol", QStringLiteral("Half-Life master")));
    QVERIFY(h.set("cboMaster", m_master->addressText()));
    QVERIFY(h.set("txtPlayerName_0", QStringLiteral("bob")));
    h.next();
    row.Cells[ResultRow::Port] = QString::number(m_bobServer->port());
    h.form->resultsModel()->appendRows({ row });
    click(list, list->model()->index(0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(m_bobServer->requestCount(FakeGameServer::Kind::Info), 1, Wait);
}

void tst_MainFormSearch::steamSearchFromTheWindow()
{
    // The whole way as a user goes: Steam master chosen, a Cyrillic name typed in capitals, and
    // the player found as the server spells it; the other server's player is no match.
    testsupport::FakeA2sServer ivanServer;
    testsupport::FakeA2sServer otherServer;
    QVERIFY(ivanServer.listen() && otherServer.listen());
    ivanServer.setPlayers({ { QByteArray("\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd"), 4, 90.f } }); // "Иван"
    otherServer.setPlayers({ { "Ivan", 2, 10.f } });
    testsupport::FakeSteamMaster steamMaster;
    QVERIFY(steamMaster.listen());
    steamMaster.setEntries({ ivanServer.entry(), otherServer.entry() });
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam master")));
    QVERIFY(h.set("cboMaster", steamMaster.addressText()));
    QVERIFY(h.set("txtPlayerName_0", QStringLiteral(u"ИВАН")));
    h.next();
    QCOMPARE(h.form->currentPage(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(h.label("lblStatus")->text(), QStringLiteral("Status: Done."), Wait);
    results::ResultsModel *model = h.form->resultsModel();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, ResultRow::PlayerName).data().toString(), QStringLiteral(u"Иван"));
    QCOMPARE(model->index(0, ResultRow::Port).data().toString(), QString::number(ivanServer.port()));
    QCOMPARE(h.label("Label13")->text(), QStringLiteral("1 Players Found"));
    QVERIFY(h.recorder.messages.isEmpty());
}

void tst_MainFormSearch::webApiSearchFromTheWindow()
{
    // As a new user goes: "Steam Web API" chosen, the key typed, the player found on a server
    // the API listed; the key reaches the keyring and the request, never the settings or a box.
    // Then the row's menu copies its Steam link.
    const QString key = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
    testsupport::FakeA2sServer server;
    QVERIFY(server.listen());
    server.setPlayers({ { "Gordon", 4, 90.f } });
    testsupport::FakeWebApi api;
    QVERIFY(api.listen());
    const QString address = server.addressText() + ':' + QString::number(server.port());
    api.respond = [&](const testsupport::FakeWebApi::Request &request) {
        return request.key == key ? testsupport::FakeWebApi::List({ address })
                                  : testsupport::FakeWebApi::Status(403, "Forbidden");
    };
    const QByteArray base = api.base().toString().toLatin1();
    FormHarness h(true, { { "WebApiUrl", base.constData() } });
    QVERIFY(h.shown);
    h.next();
    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam Web API")));
    QVERIFY(h.set("txtApiKey", key));
    QVERIFY(h.set("txtPlayerName_0", QStringLiteral("gordon")));
    h.next();
    QCOMPARE(h.form->currentPage(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(h.label("lblStatus")->text(), QStringLiteral("Status: Done."), Wait);
    results::ResultsModel *model = h.form->resultsModel();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, ResultRow::PlayerName).data().toString(), QStringLiteral("Gordon"));
    // No game chosen: one list per app id, each asked with the key typed.
    QCOMPARE(api.requests.size(), 8);
    for (const testsupport::FakeWebApi::Request &request : api.requests)
        QCOMPARE(request.key, key);
    QVERIFY(h.recorder.messages.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(h.keys->key, key, Wait);

    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    Q_EMIT list->customContextMenuRequested(list->visualRect(model->index(0, 0)).center());
    QMenu *menu = list->findChild<QMenu *>(QStringLiteral("RowMenu"));
    QVERIFY(menu);
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    // Some offscreen platforms keep no clipboard at all.
    if (QGuiApplication::clipboard()->text() == QLatin1String("old")) {
        menu->findChild<QAction *>(QStringLiteral("actCopySteamLink"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("steam://connect/") + address);
    }
    menu->close();

    h.form->close();
    QVERIFY(h.backend->completedSaves() > 0);
    for (const auto &[name, text] : h.backend->writes())
        QVERIFY2(!text.contains(key), qPrintable(name));
}

void tst_MainFormSearch::listFileSearchAndAddFromTheWindow()
{
    // A list file searched with the legacy queries, one bad line told by number after the rows;
    // then a server added from a row of another search goes to the file the options name.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("lan.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# LAN party\n" + m_bobServer->addressText().toLatin1() + ':'
        + QByteArray::number(m_bobServer->port()) + "\nnot a server:x\n");
    file.close();
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QVERIFY(h.set("cboProtocol", QStringLiteral("Server list file")));
    QVERIFY(h.set("txtListFile", path));
    QVERIFY(h.set("cboListQueries", QStringLiteral("Half-Life")));
    QVERIFY(h.set("txtPlayerName_0", QStringLiteral("bob")));
    h.next();
    QTRY_COMPARE_WITH_TIMEOUT(h.label("lblStatus")->text(), QStringLiteral("Status: Done."), Wait);
    QCOMPARE(h.form->resultsModel()->rowCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(h.recorder.messages.size(), 1, Wait);
    QVERIFY2(h.recorder.messages.first().informativeText.contains(QStringLiteral("Line 3:")),
        qPrintable(h.recorder.messages.first().informativeText));

    // The legacy master's search lists both servers; the other one is added to the list file.
    h.back();
    QVERIFY(h.set("cboProtocol", QStringLiteral("Half-Life master")));
    QVERIFY(h.set("cboMaster", m_master->addressText()));
    h.next();
    QTRY_COMPARE_WITH_TIMEOUT(h.label("lblStatus")->text(), QStringLiteral("Status: Done."), Wait);
    results::ResultsModel *model = h.form->resultsModel();
    int other = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, ResultRow::Port).data().toString() == QString::number(m_otherServer->port()))
            other = row;
    }
    QVERIFY(other >= 0);
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    Q_EMIT list->customContextMenuRequested(list->visualRect(model->index(other, 0)).center());
    QMenu *menu = list->findChild<QMenu *>(QStringLiteral("RowMenu"));
    QVERIFY(menu);
    menu->findChild<QAction *>(QStringLiteral("actAddToListFile"))->trigger();
    menu->close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    const QByteArray added
        = m_otherServer->addressText().toLatin1() + ':' + QByteArray::number(m_otherServer->port()) + '\n';
    QVERIFY2(content.endsWith(added), content.constData());
}

QTEST_MAIN(tst_MainFormSearch)
#include "tst_mainform_search.moc"
