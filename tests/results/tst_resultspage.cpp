#include "FakeServers.h"
#include "app/Icons.h"
#include "app/Seams.h"
#include "app/WindowHelpers.h"
#include "info/InfoForm.h"
#include "launch/LaunchForm.h"
#include "ping/Ping.h"
#include "results/ResultsPage.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace rollcall;
using namespace rollcall::testsupport;
using results::ResultsModel;
using results::ResultsPage;
using search::ResultRow;

namespace {

constexpr int Wait = 5000;

ResultRow row(const QString &ip, quint16 port, const QString &ping, const QString &name,
    const QString &frags = QStringLiteral("0"), const QString &time = QStringLiteral("00:00:10"))
{
    ResultRow r;
    r.Cells = { ip, QString::number(port), ping, name, frags, time };
    return r;
}

// The widgets the main window would own, in a window of their own.
struct Harness
{
    QWidget window;
    QTreeView *list = new QTreeView;
    ResultsModel *model = new ResultsModel(&window);
    QPushButton *launch = new QPushButton(QStringLiteral("&Launch"));
    QPushButton *refresh = new QPushButton(QStringLiteral("&Refresh"));
    QPushButton *stop = new QPushButton(QStringLiteral("&Stop"));
    QPushButton *viewInfo = new QPushButton(QStringLiteral("&View Info..."));
    QPushButton *copy = new QPushButton(QStringLiteral("&Copy"));
    QPushButton *ping = new QPushButton(QStringLiteral("P&ing Server"));
    QLabel *total = new QLabel(QStringLiteral("Total Servers: 1"));
    QLineEdit *copyBox = new QLineEdit;
    QString executablePath = QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe");
    ResultsPage *page = nullptr;

    Harness()
    {
        auto *layout = new QVBoxLayout(&window);
        for (QWidget *w : std::initializer_list<QWidget *> {
                 list, launch, refresh, stop, viewInfo, copy, ping, total, copyBox })
            layout->addWidget(w);
        copyBox->hide();
        list->setModel(model);
        list->setRootIsDecorated(false);
        app::ToggleFullRowSelect(list);
        window.resize(700, 500);
        page = new ResultsPage(
            { &window, list, model, launch, refresh, stop, viewInfo, copy, ping, total, copyBox },
            &executablePath, &window);
        page->searchStarted();
        window.show();
    }

    void select(int r)
    {
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualRect(model->index(r, 0)).center());
    }
    void clickHeader(int column)
    {
        QHeaderView *header = list->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    }
    QString cell(int r, int column) const { return model->index(r, column).data().toString(); }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r)
            texts.append(cell(r, c));
        return texts;
    }
    int rowOfPlayer(const QString &name) const { return int(column(ResultRow::PlayerName).indexOf(name)); }
};

QString icmpRefusal()
{
    for (int type : { SOCK_DGRAM, SOCK_RAW }) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return {};
        }
    }
    return QStringLiteral("ICMP sockets are not permitted here (see net.ipv4.ping_group_range)");
}

} // namespace

class TestResultsPage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void sortingFollowsTheHeaderRule();
    void selectionEnablesCommands();
    void launchPictureByGameDirectory_data();
    void launchPictureByGameDirectory();
    void launchPictureTimesOut();
    void lastAddressRule();
    void refreshUpdatesTheRow_data();
    void refreshUpdatesTheRow();
    void refreshFollowsTheRowWhenReordered();
    void refreshReplyAfterClearIsDropped();
    void refreshNeedsASelectedRow();
    void doubleClickRefreshes();
    void copyAddress();
    void pingThroughTheSeam_data();
    void pingThroughTheSeam();
    void pingLoopback();
    void viewInfoOpensIndependentWindows();
    void launchWindowExistsOnce();
    void gameIcons_data();
    void gameIcons();

private:
    QList<UserMessage> m_messages;
};

void TestResultsPage::init()
{
    m_messages.clear();
    app::seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
}

void TestResultsPage::cleanup()
{
    app::resetSeams();
    ping::resetPinger();
}

void TestResultsPage::sortingFollowsTheHeaderRule()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h;
    const quint16 port = server.port();
    h.model->appendRows({ row("127.0.0.1", port, "20", "a", "5"), row("127.0.0.1", port, "100", "b", "30"),
        row("127.0.0.1", port, "3", "c", "100") });
    // Nothing before the first selection of the search.
    h.clickHeader(ResultRow::Ping);
    QVERIFY(!h.model->isSortEnabled());
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "20", "100", "3" }));

    h.select(0);
    h.clickHeader(ResultRow::Ping);
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "100", "20", "3" }));
    QVERIFY(h.list->header()->isSortIndicatorShown());
    h.clickHeader(ResultRow::Ping);
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "3", "20", "100" }));
    h.clickHeader(ResultRow::Frags); // the direction flips whichever column is clicked
    QCOMPARE(h.column(ResultRow::Frags), (QStringList { "100", "30", "5" }));

    // Rows that arrive while sorted take their place.
    h.model->appendRows({ row("127.0.0.1", port, "1", "d", "4"), row("127.0.0.1", port, "1", "e", "0") });
    QCOMPARE(h.column(ResultRow::Frags), (QStringList { "0", "100", "30", "4", "5" }));

    // A new search: nothing until a row is selected, then the first click sorts ascending.
    h.page->searchStarted();
    QVERIFY(!h.model->isSortEnabled());
    QVERIFY(!h.list->header()->isSortIndicatorShown());
    h.model->clear();
    h.model->appendRows({ row("127.0.0.1", port, "9", "x", "2"), row("127.0.0.1", port, "10", "y", "1") });
    h.clickHeader(ResultRow::Ping);
    QVERIFY(!h.model->isSortEnabled());
    h.select(1);
    h.clickHeader(ResultRow::Ping);
    QCOMPARE(h.model->sortOrder(), Qt::AscendingOrder);
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "10", "9" }));
}

void TestResultsPage::selectionEnablesCommands()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "10", "a") });
    for (QPushButton *b : { h.launch, h.refresh, h.stop, h.viewInfo, h.copy, h.ping })
        QVERIFY(!b->isEnabled());
    h.select(0);
    for (QPushButton *b : { h.launch, h.refresh, h.stop, h.viewInfo, h.copy, h.ping })
        QVERIFY(b->isEnabled());
    // Once the run has ended (its total label hidden), a selection no longer enables Stop.
    h.page->searchStarted();
    h.total->hide();
    h.select(0);
    QVERIFY(h.viewInfo->isEnabled());
    QVERIFY(!h.stop->isEnabled());
}

void TestResultsPage::launchPictureByGameDirectory_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<int>("cutOff"); // -1 for the whole reply
    QTest::addColumn<int>("picture");
    QTest::addColumn<QString>("tag");
    QTest::newRow("tfc") << QByteArray("tfc") << -1 << 4 << "4";
    QTest::newRow("cstrike_upperCase") << QByteArray("CSTRIKE") << -1 << 5 << "6";
    QTest::newRow("dmc") << QByteArray("dmc") << -1 << 7 << "8";
    QTest::newRow("valve_default") << QByteArray("valve") << -1 << 2 << "3";
    // Header, type, "127.0.0.1:27015\0", "Fake Server\0", "crossfire\0", then the directory cut.
    QTest::newRow("cut_insideDirectory") << QByteArray("cstrike") << 5 + 16 + 12 + 10 + 3 << 9 << "3";
}

void TestResultsPage::launchPictureByGameDirectory()
{
    QFETCH(QByteArray, directory);
    QFETCH(int, cutOff);
    QFETCH(int, picture);
    QFETCH(QString, tag);
    FakeGameServer server;
    QVERIFY(server.listen());
    FakeInfo info;
    info.GameDirectory = directory;
    server.setInfo(info);
    server.setCutOff(cutOff);
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "10", "a") });
    h.select(0);
    QCOMPARE(h.page->launchPicture(), 9);
    QCOMPARE(h.page->launchTag(), QStringLiteral("3"));
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), picture, Wait);
    QCOMPARE(h.page->launchTag(), tag);
    QCOMPARE(h.launch->property("tag").toString(), tag);
    // A cut-off reply leaves the blank picture: the time-out was stopped with the reply.
    if (cutOff >= 0) {
        QTest::qWait(1700);
        QCOMPARE(h.page->launchPicture(), 9);
    }
}

void TestResultsPage::launchPictureTimesOut()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setSilent(true);
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "10", "a") });
    h.select(0);
    QCOMPARE(h.page->launchPicture(), 9);
    QTest::qWait(800);
    h.select(0); // again while pending: asked again, and the 1500 ms start anew
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Info), 2, Wait);
    QTest::qWait(900); // past the first query's 1500 ms, inside the second's
    QCOMPARE(h.page->launchPicture(), 9);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 2, Wait);
    QCOMPARE(h.page->launchTag(), QStringLiteral("3"));
    // After a time-out the same row is asked again.
    h.select(0);
    QCOMPARE(h.page->launchPicture(), 9);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Info), 3, Wait);
}

void TestResultsPage::lastAddressRule()
{
    FakeGameServer cs, other;
    QVERIFY(cs.listen());
    QVERIFY(other.listen());
    FakeInfo info;
    info.GameDirectory = "cstrike";
    cs.setInfo(info);
    Harness h;
    h.model->appendRows(
        { row("127.0.0.1", cs.port(), "10", "a"), row("127.0.0.1", other.port(), "10", "b") });
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 5, Wait);
    h.select(0); // answered: nothing new to ask
    QTest::qWait(100);
    QCOMPARE(cs.requestCount(FakeGameServer::Kind::Info), 1);
    QCOMPARE(h.page->launchPicture(), 5);

    h.select(1); // same address, other port
    QTRY_COMPARE_WITH_TIMEOUT(other.requestCount(FakeGameServer::Kind::Info), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 2, Wait);
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 5, Wait);
    QCOMPARE(cs.requestCount(FakeGameServer::Kind::Info), 2);

    // A new search: the same server again sends nothing; the default picture stays, the tag too.
    h.page->searchStarted();
    QCOMPARE(h.page->launchPicture(), 2);
    h.select(0);
    QTest::qWait(100);
    QCOMPARE(cs.requestCount(FakeGameServer::Kind::Info), 2);
    QCOMPARE(h.page->launchPicture(), 2);
    QCOMPARE(h.page->launchTag(), QStringLiteral("6"));
}

void TestResultsPage::refreshUpdatesTheRow_data()
{
    QTest::addColumn<QList<FakePlayer>>("players");
    QTest::addColumn<int>("cutOff");
    QTest::addColumn<bool>("pingChanges");
    QTest::addColumn<QString>("frags");
    QTest::addColumn<QString>("time");
    const QList<FakePlayer> three { { "Ann", 1, 1.f }, { "Cid", 2, 2.f }, { "bob", 12, 100.f } };
    QTest::newRow("found") << three << -1 << true << "12"
                           << "00:01:40";
    QTest::newRow("found_firstOfTwo")
        << QList<FakePlayer> { { "bob", 7, 61.f }, { "bob", 9, 5.f } } << -1 << true << "7"
        << "00:01:01";
    QTest::newRow("gone") << QList<FakePlayer> { { "Ann", 1, 1.f } } << -1 << true << "-"
                          << "-";
    QTest::newRow("gone_noRecords") << QList<FakePlayer> {} << -1 << true << "-"
                                    << "-";
    QTest::newRow("gone_wrongCase") << QList<FakePlayer> { { "Bob", 12, 100.f } } << -1 << true << "-"
                                    << "-";
    // Header, type, count, then "Ann"'s record (index, name, frags, time): cut after it.
    QTest::newRow("cut_beforePlayer") << three << 6 + 1 + 4 + 4 + 4 << false << "3"
                                      << "00:09:99";
    QTest::newRow("cut_short") << three << 5 << false << "3"
                               << "00:09:99";
}

void TestResultsPage::refreshUpdatesTheRow()
{
    QFETCH(QList<FakePlayer>, players);
    QFETCH(int, cutOff);
    QFETCH(bool, pingChanges);
    QFETCH(QString, frags);
    QFETCH(QString, time);
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers(players);
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "77777", "bob", "3", "00:09:99") });
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 1, Wait); // the info query behind the selection
    server.setCutOff(cutOff);
    h.refresh->click();
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 2, Wait);
    if (pingChanges) {
        QTRY_VERIFY_WITH_TIMEOUT(h.cell(0, ResultRow::Ping) != QStringLiteral("77777"), Wait);
        bool numeric = false;
        QVERIFY(h.cell(0, ResultRow::Ping).toInt(&numeric) >= 0 && numeric);
    } else {
        QTest::qWait(100);
        QCOMPARE(h.cell(0, ResultRow::Ping), QStringLiteral("77777"));
    }
    QCOMPARE(h.cell(0, ResultRow::Frags), frags);
    QCOMPARE(h.cell(0, ResultRow::Time), time);
    QCOMPARE(h.cell(0, ResultRow::PlayerName), QStringLiteral("bob"));
    QCOMPARE(h.cell(0, ResultRow::Port), QString::number(server.port()));
}

void TestResultsPage::refreshFollowsTheRowWhenReordered()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers({ { "bob", 12, 100.f } });
    Harness h;
    const quint16 port = server.port();
    h.model->appendRows(
        { row("127.0.0.1", port, "50", "bob", "3"), row("127.0.0.1", port, "40", "ann", "4") });
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 1, Wait);
    server.setReplyDelay(300);
    h.refresh->click();
    // Sorted and grown before the reply: "bob" is no longer where it was.
    h.clickHeader(ResultRow::PlayerName);
    h.model->appendRows({ row("127.0.0.1", port, "1", "abe", "0") });
    QCOMPARE(h.column(ResultRow::PlayerName), (QStringList { "abe", "ann", "bob" }));
    QTRY_COMPARE_WITH_TIMEOUT(h.cell(h.rowOfPlayer("bob"), ResultRow::Frags), QStringLiteral("12"), Wait);
    QCOMPARE(h.cell(h.rowOfPlayer("ann"), ResultRow::Frags), QStringLiteral("4"));
    QCOMPARE(h.cell(h.rowOfPlayer("abe"), ResultRow::Frags), QStringLiteral("0"));
}

void TestResultsPage::refreshReplyAfterClearIsDropped()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers({});
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "50", "bob", "3") });
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 1, Wait);
    server.setReplyDelay(300);
    h.refresh->click();
    h.page->searchStarted();
    h.model->clear();
    h.model->appendRows({ row("127.0.0.1", server.port(), "50", "bob", "3") });
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 2, Wait);
    QTest::qWait(100);
    QCOMPARE(h.cell(0, ResultRow::Frags), QStringLiteral("3"));

    // Back to the options page: a refresh still on its way is never read.
    h.select(0);
    h.refresh->click();
    h.page->tearDown();
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 3, Wait);
    QTest::qWait(100);
    QCOMPARE(h.cell(0, ResultRow::Frags), QStringLiteral("3"));
}

void TestResultsPage::refreshNeedsASelectedRow()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "50", "bob", "3") });
    h.select(0);
    h.list->clearSelection();
    for (QPushButton *b : { h.refresh, h.copy, h.ping, h.viewInfo, h.launch })
        b->click();
    QTest::qWait(100);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Players), 0);
    QVERIFY(h.window.findChildren<info::InfoForm *>().isEmpty());
    QVERIFY(!h.page->launchWindow());
}

void TestResultsPage::doubleClickRefreshes()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "50", "bob", "3") });
    const QPoint at = h.list->visualRect(h.model->index(0, 0)).center();
    h.page->searchStarted();
    // Before a selection of this search, a double-click does nothing.
    h.list->selectionModel()->select(
        h.model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    h.page->searchStarted();
    QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(100);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Players), 0);
    h.select(0);
    QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Players), 1, Wait);
}

void TestResultsPage::copyAddress()
{
    Harness h;
    h.model->appendRows({ row("10.0.0.1", 27015, "50", "bob") });
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    h.select(0);
    h.copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("10.0.0.1:27015"));
    h.page->tearDown();
}

void TestResultsPage::pingThroughTheSeam_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("pingCell");
    QTest::addColumn<QString>("message");
    QTest::newRow("success") << 0 << "42"
                             << "";
    QTest::newRow("timedOut") << 11010 << "9999"
                              << "";
    // The socket library's own complaint is the only message; the page adds none.
    QTest::newRow("noSockets") << -1 << "50"
                               << "Sockets did not start.";
    QTest::newRow("hostUnreachable") << 11003 << "50"
                                     << "Ping error: Dest. host unreachable";
    QTest::newRow("ttlExpired") << 11013 << "50"
                                << "Ping error: TTL Expired Transit";
    QTest::newRow("generalFailure") << 11050 << "50"
                                    << "Ping error: General failure";
}

void TestResultsPage::pingThroughTheSeam()
{
    QFETCH(int, status);
    QFETCH(QString, pingCell);
    QFETCH(QString, message);
    QString asked;
    bool busy = false;
    ping::pinger() = [&](const QString &address, const ping::MessageSink &sink) {
        asked = address;
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        if (status == -1) {
            sink({ UserMessage::Icon::Critical, QStringLiteral("Sockets did not start.") });
            return ping::PingResult { 0, -1, QStringLiteral("Unable to initialize sockets.") };
        }
        return ping::PingResult { status == 0 ? 42 : 0, qint16(status), ping::EchoStatusText(status) };
    };
    Harness h;
    h.model->appendRows({ row("10.0.0.1", 27015, "50", "bob") });
    h.select(0);
    h.ping->click();
    QCOMPARE(asked, QStringLiteral("10.0.0.1"));
    QVERIFY(busy);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(h.cell(0, ResultRow::Ping), pingCell);
    QCOMPARE(m_messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(m_messages[0].text, message);
        QCOMPARE(
            m_messages[0].icon, status == -1 ? UserMessage::Icon::Critical : UserMessage::Icon::Exclamation);
    }
    h.page->tearDown();
}

void TestResultsPage::pingLoopback()
{
    if (const QString why = icmpRefusal(); !why.isEmpty())
        QSKIP(qPrintable(why));
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "77777", "bob") });
    h.select(0);
    h.ping->click();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    bool numeric = false;
    const int ms = h.cell(0, ResultRow::Ping).toInt(&numeric);
    QVERIFY(numeric && ms >= 0 && ms < 1000);
}

void TestResultsPage::viewInfoOpensIndependentWindows()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "50", "bob") });
    h.select(0);
    h.viewInfo->click();
    h.viewInfo->click();
    const QList<info::InfoForm *> windows = h.window.findChildren<info::InfoForm *>();
    QCOMPARE(windows.size(), 2);
    for (info::InfoForm *w : windows) {
        QVERIFY(w->isVisible());
        QVERIFY(w->isWindow());
        QCOMPARE(
            w->windowTitle(), QStringLiteral("Server Info for 127.0.0.1:") + QString::number(server.port()));
    }
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Rules), 2, Wait);
    windows.first()->close();
    QTRY_COMPARE_WITH_TIMEOUT(h.window.findChildren<info::InfoForm *>().size(), 1, Wait);
}

void TestResultsPage::launchWindowExistsOnce()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    FakeInfo info;
    info.GameDirectory = "dmc";
    server.setInfo(info);
    QStringList started;
    app::seams().startProcess = [&](const QString &program, const QStringList &arguments) {
        started = QStringList { program } + arguments;
        return true;
    };
    Harness h;
    h.model->appendRows({ row("127.0.0.1", server.port(), "50", "bob") });
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchTag(), QStringLiteral("8"), Wait);
    h.launch->click();
    QPointer<launch::LaunchForm> form = h.page->launchWindow();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowModality(), Qt::ApplicationModal);
    QVERIFY(!form->windowIcon().isNull());
    h.launch->click();
    QCOMPARE(h.page->launchWindow(), form.data());
    QCOMPARE(h.window.findChildren<launch::LaunchForm *>().size(), 1);

    auto *path = form->findChild<QLineEdit *>(QStringLiteral("txtPath"));
    path->setText(QStringLiteral("/games/hl"));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Info), 3, Wait);
    QTRY_VERIFY_WITH_TIMEOUT(
        form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"))->model()->index(2, 1).data().toString()
            == "dmc",
        Wait);
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(started,
        (QStringList { "/games/hl", "-console", "-game", "dmc", "+connect",
            "127.0.0.1:" + QString::number(server.port()) }));
    QCOMPARE(h.executablePath, QStringLiteral("/games/hl")); // the program-wide path
    form->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), Wait);
    h.launch->click();
    QVERIFY(h.page->launchWindow());
    QCOMPARE(h.page->launchWindow()->findChild<QLineEdit *>(QStringLiteral("txtPath"))->text(),
        QStringLiteral("/games/hl"));
    delete h.page->launchWindow();
}

void TestResultsPage::gameIcons_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("3_defaultLaunch") << app::IconPath(3) << 32;
    QTest::newRow("4_tfc") << app::IconPath(4) << 32;
    QTest::newRow("5_cstrikeButton") << app::IconPath(5) << 32;
    QTest::newRow("6_cstrikeWindow") << app::IconPath(6) << 16;
    QTest::newRow("7_dmcButton") << app::IconPath(7) << 32;
    QTest::newRow("8_dmcWindow") << app::IconPath(8) << 16;
    QTest::newRow("9_blank") << app::IconPath(9) << 32;
    QTest::newRow("infoWindow") << QStringLiteral(":/icons/infowindow.svg") << 32;
}

void TestResultsPage::gameIcons()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    QImageReader reader(path);
    QCOMPARE(reader.size(), QSize(size, size));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) != 0;
    }
    // The blank picture hides the game while its query is pending: not one pixel may show.
    if (path == app::IconPath(9))
        QCOMPARE(opaque, 0);
    else
        QVERIFY(opaque > size * size / 4);
}

QTEST_MAIN(TestResultsPage)
#include "tst_resultspage.moc"
