#include "FakeServers.h"
#include "info/InfoForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTreeView>
#include <memory>

using rollcall::info::InfoForm;
using namespace rollcall::testsupport;

namespace {

constexpr int Wait = 5000;

QStringList columnTexts(QTreeView *view, int column)
{
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        texts.append(view->model()->index(r, column).data().toString());
    return texts;
}

QString valueOf(QTreeView *view, const QString &setting)
{
    for (int r = 0; r < view->model()->rowCount(); ++r) {
        if (view->model()->index(r, 0).data().toString() == setting)
            return view->model()->index(r, 1).data().toString();
    }
    return QStringLiteral("<missing>");
}

void clickHeader(QTreeView *view, int column)
{
    QHeaderView *header = view->header();
    const QPoint at(
        header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void rightClickRow(QTreeView *view, int row)
{
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, rect.center());
}

const QStringList SixSettings { "Host Name", "Map Name", "Game Directory", "Game Description", "Players",
    "Protocol Version" };

} // namespace

class TestInfoForm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void silentServerShowsNotAvailable();
    void twoWindowsFilledIndependently();
    void refreshByKeyAndMenu();
    void gameInfoRefreshResetsSorting();
    void copyIsExact();
    void doubleRefreshDoesNotDuplicateRows();
    void deletedWhenClosed();

private:
    QPointer<InfoForm> open(const FakeGameServer &server);
};

void TestInfoForm::init()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
}

QPointer<InfoForm> TestInfoForm::open(const FakeGameServer &server)
{
    auto *form = new InfoForm;
    form->GetInfo(server.addressText(), server.port());
    form->show();
    return form;
}

void TestInfoForm::silentServerShowsNotAvailable()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setSilent(true);
    QPointer<InfoForm> form = open(server);
    QCOMPARE(
        form->windowTitle(), QStringLiteral("Server Info for 127.0.0.1:") + QString::number(server.port()));
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 3, Wait);
    auto *info = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QCOMPARE(columnTexts(info, 0), SixSettings);
    QCOMPARE(columnTexts(info, 1), QStringList(6, QStringLiteral("n/a")));
    QCOMPARE(form->findChild<QTreeView *>(QStringLiteral("LVGameRules"))->model()->rowCount(), 0);
    QCOMPARE(form->findChild<QTreeView *>(QStringLiteral("LVPlayers"))->model()->rowCount(), 0);
    delete form;
}

void TestInfoForm::twoWindowsFilledIndependently()
{
    FakeGameServer first, second;
    QVERIFY(first.listen());
    QVERIFY(second.listen());
    FakeInfo info;
    info.HostName = "First";
    info.GameDirectory = "cstrike";
    info.MaxPlayers = 20;
    first.setInfo(info);
    first.setPlayers({ { "Bob", 12, 100.f }, { "alice", -3, 3700.f } });
    first.setRules({ { "mp_timelimit", "30" }, { "sv_gravity", "800" } });
    // Real rules replies come in pieces; the window must only ever see the whole.
    first.setSplit(20);
    info.HostName = "Second";
    info.GameDirectory = "tfc";
    second.setInfo(info);
    second.setPlayers({ { "Zed", 1, 5.f } });

    QPointer<InfoForm> a = open(first);
    QPointer<InfoForm> b = open(second);
    auto *aInfo = a->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    auto *bInfo = b->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    auto *aRules = a->findChild<QTreeView *>(QStringLiteral("LVGameRules"));
    auto *aPlayers = a->findChild<QTreeView *>(QStringLiteral("LVPlayers"));
    auto *bPlayers = b->findChild<QTreeView *>(QStringLiteral("LVPlayers"));
    QTRY_COMPARE_WITH_TIMEOUT(aRules->model()->rowCount(), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(bPlayers->model()->rowCount(), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(aPlayers->model()->rowCount(), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(bInfo, "Host Name"), QStringLiteral("Second"), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(aInfo, "Host Name"), QStringLiteral("First"), Wait);

    QCOMPARE(
        columnTexts(aInfo, 1), (QStringList { "First", "crossfire", "cstrike", "Half-Life", "2/20", "47" }));
    QCOMPARE(valueOf(bInfo, "Game Directory"), QStringLiteral("tfc"));
    QCOMPARE(columnTexts(aRules, 0), (QStringList { "mp_timelimit", "sv_gravity" }));
    QCOMPARE(columnTexts(aRules, 1), (QStringList { "30", "800" }));
    QCOMPARE(columnTexts(aPlayers, 1), (QStringList { "Bob", "alice" }));
    QCOMPARE(columnTexts(aPlayers, 2), (QStringList { "12", "-3" }));
    QCOMPARE(columnTexts(aPlayers, 3), (QStringList { "00:01:40", "01:01:40" }));
    QCOMPARE(columnTexts(bPlayers, 1), (QStringList { "Zed" }));
    QCOMPARE(b->findChild<QTreeView *>(QStringLiteral("LVGameRules"))->model()->rowCount(), 0);
    QVERIFY(a->findChild<QObject *>(QStringLiteral("WS_GameRules")));
    delete a;
    delete b;
}

void TestInfoForm::refreshByKeyAndMenu()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setRules({ { "a", "1" }, { "b", "2" } });
    server.setPlayers({ { "Bob", 1, 1.f } });
    QPointer<InfoForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *rules = form->findChild<QTreeView *>(QStringLiteral("LVGameRules"));
    auto *players = form->findChild<QTreeView *>(QStringLiteral("LVPlayers"));
    auto *menu = form->findChild<QMenu *>(QStringLiteral("LVPopupMenu"));
    QTRY_COMPARE_WITH_TIMEOUT(rules->model()->rowCount(), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(players->model()->rowCount(), 1, Wait);

    // F5 empties the list at once and asks again; the new reply fills it once, not twice.
    server.setReplyDelay(100);
    rules->setFocus();
    QTest::keyClick(rules, Qt::Key_F5);
    QCOMPARE(rules->model()->rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Rules), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(rules->model()->rowCount(), 2, Wait);
    QTest::keyClick(rules, Qt::Key_F6);
    QTest::qWait(50);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Rules), 2);

    // A right-click where no row is selected opens nothing; on a row it opens the menu.
    QTest::mouseClick(players->viewport(), Qt::RightButton, {}, QPoint(5, players->viewport()->height() - 5));
    QVERIFY(!menu->isVisible());
    QTest::mouseClick(
        players->viewport(), Qt::LeftButton, {}, players->visualRect(players->model()->index(0, 0)).center());
    QTest::mouseRelease(players->viewport(), Qt::LeftButton);
    QVERIFY(!menu->isVisible());
    rightClickRow(players, 0);
    QTRY_VERIFY(menu->isVisible());
    menu->findChild<QAction *>(QStringLiteral("RefreshMenu"))->trigger();
    menu->hide();
    QCOMPARE(players->model()->rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Players), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(players->model()->rowCount(), 1, Wait);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Rules), 2);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Info), 1);
    delete form;
}

void TestInfoForm::gameInfoRefreshResetsSorting()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setReplyDelay(300);
    QPointer<InfoForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *info = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));

    clickHeader(info, 0);
    QCOMPARE(columnTexts(info, 0).first(), QStringLiteral("Game Description"));
    clickHeader(info, 0);
    QCOMPARE(columnTexts(info, 0).first(), QStringLiteral("Protocol Version"));
    clickHeader(info, 1); // the direction flips whichever column: ascending by value now
    QCOMPARE(info->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    // A reply into a sorted list still puts each value into the row named for it.
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(info, "Host Name"), QStringLiteral("Fake Server"), Wait);
    QCOMPARE(valueOf(info, "Players"), QStringLiteral("0/16"));
    QCOMPARE(columnTexts(info, 1).first(), QStringLiteral("0/16"));

    info->setFocus();
    QTest::keyClick(info, Qt::Key_F5);
    QCOMPARE(columnTexts(info, 0), SixSettings);
    QCOMPARE(columnTexts(info, 1), QStringList(6, QStringLiteral("n/a")));
    clickHeader(info, 1); // after a refresh the first click sorts ascending
    QCOMPARE(info->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(columnTexts(info, 0), SixSettings); // all "n/a": equal texts keep their order
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(info, "Map Name"), QStringLiteral("crossfire"), Wait);
    delete form;
}

void TestInfoForm::copyIsExact()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setRules({ { "mp_timelimit", "30" }, { "sv_gravity", "800" } });
    QPointer<InfoForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *rules = form->findChild<QTreeView *>(QStringLiteral("LVGameRules"));
    auto *info = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    auto *menu = form->findChild<QMenu *>(QStringLiteral("LVPopupMenu"));
    auto *copy = menu->findChild<QAction *>(QStringLiteral("CopyMenu"));
    QTRY_COMPARE_WITH_TIMEOUT(rules->model()->rowCount(), 2, Wait);

    for (int round = 0; round < 2; ++round) {
        rightClickRow(rules, 1);
        QTRY_VERIFY(menu->isVisible());
        copy->trigger();
        menu->hide();
        QCOMPARE(QGuiApplication::clipboard()->text().toLatin1(),
            QByteArray("mp_timelimit\t30\r\nsv_gravity\t800\r\n"));
    }

    server.setSilent(true);
    info->setFocus();
    QTest::keyClick(info, Qt::Key_F5);
    rightClickRow(info, 0);
    QTRY_VERIFY(menu->isVisible());
    copy->trigger();
    menu->hide();
    QCOMPARE(QGuiApplication::clipboard()->text().toLatin1(),
        QByteArray("Host Name\tn/a\r\nMap Name\tn/a\r\nGame Directory\tn/a\r\n"
                   "Game Description\tn/a\r\nPlayers\tn/a\r\nProtocol Version\tn/a\r\n"));
    // With the target cleared, a stray menu command does nothing.
    copy->trigger();
    delete form;
}

void TestInfoForm::doubleRefreshDoesNotDuplicateRows()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers({ { "Bob", 1, 1.f }, { "Ann", 2, 2.f } });
    server.setReplyDelay(200);
    QPointer<InfoForm> form = open(server);
    auto *players = form->findChild<QTreeView *>(QStringLiteral("LVPlayers"));
    players->setFocus();
    QTest::keyClick(players, Qt::Key_F5);
    QTest::keyClick(players, Qt::Key_F5);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 3 + 2, Wait);
    QTest::qWait(100);
    QCOMPARE(players->model()->rowCount(), 2);
    delete form;
}

void TestInfoForm::deletedWhenClosed()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setReplyDelay(200);
    QPointer<InfoForm> form = open(server);
    QPointer<QObject> socket = form->findChild<QObject *>(QStringLiteral("WS_Players"));
    QVERIFY(socket);
    form->close();
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), Wait);
    QVERIFY(socket.isNull());
    // The replies still on their way find no window.
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 3, Wait);
    QTest::qWait(50);
}

QTEST_MAIN(TestInfoForm)
#include "tst_infoform.moc"
