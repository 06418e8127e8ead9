#include "FakeServers.h"
#include "SteamFakes.h"
#include "info/InfoForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTreeView>

using rollcall::info::InfoForm;
using namespace rollcall::testsupport;

namespace {

constexpr int Wait = 5000;

QPointer<InfoForm> open(const FakeGameServer &server)
{
    auto *form = new InfoForm;
    form->GetInfo(server.addressText(), server.port());
    form->show();
    return form;
}

QTreeView *list(QWidget *form, const char *name)
{
    return form->findChild<QTreeView *>(QLatin1String(name));
}

QStringList column(QTreeView *view, int c)
{
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        texts.append(view->model()->index(r, c).data().toString());
    return texts;
}

QByteArray clipboardBytes()
{
    return QGuiApplication::clipboard()->text().toLatin1();
}

void clickHeader(QTreeView *view, int c)
{
    QHeaderView *header = view->header();
    const QPoint at(header->sectionViewportPosition(c) + header->sectionSize(c) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Right-clicks a row and picks `action` from the menu that opens.
bool pickFromMenu(QTreeView *view, int row, const char *action)
{
    auto *menu = view->window()->findChild<QMenu *>(QStringLiteral("LVPopupMenu"));
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, at);
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, Wait))
        return false;
    menu->findChild<QAction *>(QLatin1String(action))->trigger();
    menu->hide();
    return true;
}

} // namespace

class TestInfoForm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoWindowsFilledIndependently();
    void refreshAndCopyByKeyAndMenu();
    void steamServerAskedWithA2s_data();
    void steamServerAskedWithA2s();
};

void TestInfoForm::twoWindowsFilledIndependently()
{
    FakeGameServer first, second;
    QVERIFY(first.listen());
    QVERIFY(second.listen());
    FakeInfo info;
    info.HostName = "First";
    info.MaxPlayers = 20;
    first.setInfo(info);
    first.setPlayers({ { "Bob", 12, 100.f }, { "alice", -3, 3700.f } });
    first.setRules({ { "mp_timelimit", "30" }, { "sv_gravity", "800" } });
    first.setSplit(20); // real replies come in pieces; the window must only ever see the whole
    info.GameDirectory = "tfc";
    second.setInfo(info);
    second.setPlayers({ { "Zed", 1, 5.f } });

    QPointer<InfoForm> a = open(first);
    QPointer<InfoForm> b = open(second);
    QCOMPARE(a->windowTitle(), QStringLiteral("Server Info for 127.0.0.1:") + QString::number(first.port()));
    QTRY_COMPARE_WITH_TIMEOUT(column(list(a, "LVGameInfo"), 1),
        (QStringList { "First", "crossfire", "valve", "Half-Life", "2/20", "47" }), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(column(list(b, "LVGameInfo"), 1).value(2), QStringLiteral("tfc"), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(
        column(list(a, "LVGameRules"), 0), (QStringList { "mp_timelimit", "sv_gravity" }), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(column(list(a, "LVPlayers"), 1), (QStringList { "Bob", "alice" }), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(column(list(b, "LVPlayers"), 1), QStringList { "Zed" }, Wait);
    QCOMPARE(column(list(a, "LVGameRules"), 1), (QStringList { "30", "800" }));
    QCOMPARE(column(list(a, "LVPlayers"), 2), (QStringList { "12", "-3" }));
    QCOMPARE(column(list(a, "LVPlayers"), 3), (QStringList { "00:01:40", "01:01:40" }));

    // Sorting and refreshing one window's game information leaves the other's alone.
    QTreeView *aInfo = list(a, "LVGameInfo");
    const QStringList sixSettings { "Host Name", "Map Name", "Game Directory", "Game Description", "Players",
        "Protocol Version" };
    const QStringList byValue { "Players", "Protocol Version", "Map Name", "Host Name", "Game Description",
        "Game Directory" };
    QVERIFY(QTest::qWaitForWindowExposed(a));
    clickHeader(aInfo, 1);
    QCOMPARE(column(aInfo, 0), byValue);
    first.setReplyDelay(300);
    aInfo->setFocus();
    QTest::keyClick(aInfo, Qt::Key_F5);
    QCOMPARE(column(aInfo, 0), sixSettings);
    QCOMPARE(column(aInfo, 1), QStringList(6, QStringLiteral("n/a")));
    QVERIFY(!aInfo->header()->isSortIndicatorShown());
    // The first click after it sorts ascending; the reply still fills each row by its name.
    clickHeader(aInfo, 1);
    QCOMPARE(aInfo->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    QTRY_COMPARE_WITH_TIMEOUT(
        column(aInfo, 1), (QStringList { "2/20", "47", "crossfire", "First", "Half-Life", "valve" }), Wait);
    QCOMPARE(column(aInfo, 0), byValue);
    QCOMPARE(column(list(b, "LVGameInfo"), 0), sixSettings);
    delete a;
    delete b;
}

void TestInfoForm::refreshAndCopyByKeyAndMenu()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setRules({ { "mp_timelimit", "30" }, { "sv_password", "" } });
    server.setPlayers({ { "Bob", 1, 1.f } });
    QPointer<InfoForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTreeView *rules = list(form, "LVGameRules");
    QTreeView *players = list(form, "LVPlayers");
    auto *menu = form->findChild<QMenu *>(QStringLiteral("LVPopupMenu"));
    QTRY_COMPARE_WITH_TIMEOUT(rules->model()->rowCount(), 2, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(players->model()->rowCount(), 1, Wait);

    // F5 twice while the first answer is on its way: the list empties at once and fills once.
    server.setReplyDelay(100);
    rules->setFocus();
    QTest::keyClick(rules, Qt::Key_F5);
    QTest::keyClick(rules, Qt::Key_F5);
    QTest::keyClick(rules, Qt::Key_F6);
    QCOMPARE(rules->model()->rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 3 + 2, Wait);
    QTest::qWait(100);
    QCOMPARE(rules->model()->rowCount(), 2);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Rules), 3);

    // The menu opens on a right click with a row selected, and acts on the list it was opened over.
    const QPoint belowRows(5, players->viewport()->height() - 5);
    QTest::mouseClick(players->viewport(), Qt::RightButton, {}, belowRows);
    QVERIFY(!menu->isVisible());
    QTest::mouseClick(
        players->viewport(), Qt::LeftButton, {}, players->visualRect(players->model()->index(0, 0)).center());
    QVERIFY(!menu->isVisible());
    QVERIFY(pickFromMenu(rules, 1, "CopyMenu"));
    QCOMPARE(clipboardBytes(), QByteArray("mp_timelimit\t30\r\nsv_password\t\r\n"));
    QVERIFY(pickFromMenu(players, 0, "CopyMenu"));
    QCOMPARE(clipboardBytes(), QByteArray("0\tBob\t1\t00:00:01\r\n"));
    // Each command clears the menu's target: a stray one afterwards does nothing.
    auto *copy = menu->findChild<QAction *>(QStringLiteral("CopyMenu"));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    copy->trigger();
    QCOMPARE(clipboardBytes(), QByteArray("before"));
    QVERIFY(pickFromMenu(players, 0, "RefreshMenu"));
    QCOMPARE(players->model()->rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(players->model()->rowCount(), 1, Wait);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Players), 2);
    QCOMPARE(server.requests().size(), 1 + 3 + 2); // nothing else was asked again
    copy->trigger();
    QCOMPARE(clipboardBytes(), QByteArray("before"));

    // Closed with a reply on its way: the window goes with its sockets; the reply finds nothing.
    QPointer<QObject> socket = form->findChild<QObject *>(QStringLiteral("WS_Players"));
    QTest::keyClick(players, Qt::Key_F5);
    form->close();
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull() && socket.isNull(), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 3 + 2 + 1 + 1, Wait);
    QTest::qWait(50);
}

void TestInfoForm::steamServerAskedWithA2s_data()
{
    QTest::addColumn<int>("layout"); // FakeA2sServer::InfoLayout
    QTest::addColumn<QStringList>("values"); // the game information column, in order
    using Layout = FakeA2sServer::InfoLayout;
    const QStringList common { "Сервер ☢", "de_dust2", "cstrike", "Counter-Strike", "2/32" };
    // Both layouts from one request: the newer one is shown, with what only it tells (the version).
    QTest::newRow("mThenI") << int(Layout::GoldSrcThenSource)
                            << common
            + QStringList { "48", "3", "Listen", "Windows", "Yes", "Yes", "1.1.2.7/Stdio" };
    QTest::newRow("mOnly") << int(Layout::GoldSrc)
                           << common + QStringList { "47", "3", "Listen", "Windows", "Yes", "Yes" };
}

void TestInfoForm::steamServerAskedWithA2s()
{
    QFETCH(int, layout);
    QFETCH(QStringList, values);
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setInfoChallenge(true); // every question needs its challenge round
    server.setInfoLayout(FakeA2sServer::InfoLayout(layout));
    server.setLaterInfoDelay(100);
    FakeA2sInfo info;
    info.HostName = "Сервер ☢";
    info.Bots = 3;
    info.ServerType = 'l';
    info.OperatingSystem = 'w';
    info.Password = true;
    server.setInfo(info);
    const QList<FakeUtf8Name> names = Utf8Names();
    server.setPlayers({ { names[0].Bytes, 5, 60.f }, { names[7].Bytes, -1, 3600.f } });
    const QList<FakeRule> rules { { "mp_timelimit", "30" }, { "sv_gravity", "800" }, { "sv_motd", "Привет" },
        { "mp_friendlyfire", "0" }, { "sv_maxspeed", "320" }, { "sv_contact", "admin@example.org" } };
    server.setRules(rules);
    // The rules come in three pieces, the last first: the window sees only the whole reply.
    QVERIFY(EncodeRulesReply(rules).size() > 2 * 50 && EncodeRulesReply(rules).size() <= 3 * 50);
    server.setSplit(50, { 2, 0, 1 });

    QPointer<InfoForm> form = new InfoForm;
    form->GetInfo(server.addressText(), server.port(), rollcall::search::ServerQueries::A2s);
    form->show();
    QTreeView *game = list(form, "LVGameInfo");
    QTRY_COMPARE_WITH_TIMEOUT(column(game, 1), values, Wait);
    const QStringList six { "Host Name", "Map Name", "Game Directory", "Game Description", "Players",
        "Protocol Version" };
    const QStringList extra { "Bots", "Server Type", "Operating System", "Password", "Secure (VAC)",
        "Version" };
    QCOMPARE(column(game, 0), six + extra.mid(0, values.size() - six.size()));
    QTRY_COMPARE_WITH_TIMEOUT(column(list(form, "LVGameRules"), 1),
        (QStringList { "30", "800", "Привет", "0", "320", "admin@example.org" }), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(
        column(list(form, "LVPlayers"), 1), (QStringList { names[0].Shown, names[7].Shown }), Wait);
    QCOMPARE(column(list(form, "LVPlayers"), 3), (QStringList { "00:01:00", "01:00:00" }));
    for (auto kind : { FakeA2sServer::Kind::Info, FakeA2sServer::Kind::Rules, FakeA2sServer::Kind::Players })
        QCOMPARE(server.requestCount(kind), 2); // the bare question, then the one with its challenge

    // F5 asks again and the rows of the reply come once, not beside the earlier ones.
    game->setFocus();
    QTest::keyClick(game, Qt::Key_F5);
    QCOMPARE(column(game, 1), QStringList(6, QStringLiteral("n/a")));
    QTRY_COMPARE_WITH_TIMEOUT(column(game, 1), values, Wait);
    QTest::qWait(400); // past the grace an 'm' waits for its 'I'
    QCOMPARE(column(game, 1), values);
    delete form;
}

QTEST_MAIN(TestInfoForm)
#include "tst_infoform.moc"
