#include "FakeServers.h"
#include "SteamFakes.h"
#include "info/InfoForm.h"
#include "launch/ExecutablePath.h"
#include "launch/LaunchForm.h"
#include "ping/Ping.h"
#include "results/ResultsPage.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
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
using ui::UserMessage;
using Kind = FakeGameServer::Kind;

namespace {

constexpr int Wait = 5000;

ResultRow row(quint16 port, const QString &ping, const QString &name,
    const QString &frags = QStringLiteral("0"), const QString &ip = QStringLiteral("127.0.0.1"))
{
    ResultRow r;
    r.Cells = { ip, QString::number(port), ping, name, frags, QStringLiteral("00:09:99") };
    return r;
}

// The widgets the main window would own, in a window of their own.
struct Harness
{
    QWidget window;
    QTreeView *list = new QTreeView;
    ResultsModel *model = new ResultsModel(&window);
    QPushButton *launch = new QPushButton;
    QPushButton *refresh = new QPushButton;
    QPushButton *stop = new QPushButton;
    QPushButton *viewInfo = new QPushButton;
    QPushButton *copy = new QPushButton;
    QPushButton *ping = new QPushButton;
    QLineEdit *copyBox = new QLineEdit;
    launch::ExecutablePath executablePath { QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe"), nullptr };
    ResultsPage *page = nullptr;

    explicit Harness(
        const QList<ResultRow> &rows = {}, search::ServerQueries queries = search::ServerQueries::Legacy)
    {
        auto *layout = new QVBoxLayout(&window);
        for (QWidget *w :
            std::initializer_list<QWidget *> { list, launch, refresh, stop, viewInfo, copy, ping, copyBox })
            layout->addWidget(w);
        copyBox->hide();
        list->setModel(model);
        list->setSelectionBehavior(QAbstractItemView::SelectRows); // as in the main window
        window.resize(700, 500);
        page = new ResultsPage({ &window, list, model, launch, refresh, stop, viewInfo, copy, ping, copyBox },
            &executablePath, &window);
        page->searchStarted(queries);
        model->appendRows(rows);
        window.show();
    }

    QList<QPushButton *> commands() const { return { launch, refresh, stop, viewInfo, copy, ping }; }
    QPoint centre(int r) const { return list->visualRect(model->index(r, 0)).center(); }
    void select(int r) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre(r)); }
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
    // The cells of the player's row, whatever its place.
    QStringList rowOf(const QString &player) const
    {
        const int r = int(column(ResultRow::PlayerName).indexOf(player));
        return { cell(r, ResultRow::Ping), cell(r, ResultRow::Frags), cell(r, ResultRow::Time) };
    }
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
    void rowCommands();
    void launchPictureByGameDirectory_data();
    void launchPictureByGameDirectory();
    void launchPictureTimesOut();
    void lastAddressRule();
    void refreshUpdatesItsRow_data();
    void refreshUpdatesItsRow();
    void pingThroughTheSeam_data();
    void pingThroughTheSeam();
    void pingLoopback();
    void launchWindowExistsOnce();
    void steamRefreshThroughA2s_data();
    void steamRefreshThroughA2s();
    void steamRowCommandsAskWithA2s();
    void rowMenu();
    void addToListFile();

private:
    QList<UserMessage> m_messages;
};

void TestResultsPage::init()
{
    m_messages.clear();
    ui::seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
}

void TestResultsPage::cleanup()
{
    ui::resetSeams();
    ping::resetPinger();
}

void TestResultsPage::sortingFollowsTheHeaderRule()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    const quint16 port = server.port();
    Harness h({ row(port, "20", "a", "5"), row(port, "100", "b", "30"), row(port, "3", "c", "100") });
    // Nothing before the first selection of the search.
    h.clickHeader(ResultRow::Ping);
    QVERIFY(!h.model->isSortEnabled());
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "20", "100", "3" }));

    h.select(0);
    h.clickHeader(ResultRow::Ping);
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "3", "20", "100" }));
    QVERIFY(h.list->header()->isSortIndicatorShown());
    h.clickHeader(ResultRow::Ping);
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "100", "20", "3" }));
    h.clickHeader(ResultRow::Frags); // the direction flips whichever column is clicked
    QCOMPARE(h.column(ResultRow::Frags), (QStringList { "5", "30", "100" }));

    // Rows that arrive while sorted take their place.
    h.model->appendRows({ row(port, "1", "d", "4"), row(port, "1", "e", "0") });
    QCOMPARE(h.column(ResultRow::Frags), (QStringList { "0", "4", "5", "30", "100" }));

    // A new search: nothing until a row is selected, then the first click sorts ascending.
    h.page->searchStarted();
    QVERIFY(!h.model->isSortEnabled());
    QVERIFY(!h.list->header()->isSortIndicatorShown());
    h.model->clear();
    h.model->appendRows({ row(port, "9", "x", "2"), row(port, "10", "y", "1") });
    h.clickHeader(ResultRow::Ping);
    QVERIFY(!h.model->isSortEnabled());
    h.select(1);
    h.clickHeader(ResultRow::Ping);
    QCOMPARE(h.model->sortOrder(), Qt::AscendingOrder);
    QCOMPARE(h.column(ResultRow::Ping), (QStringList { "9", "10" }));
}

void TestResultsPage::rowCommands()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h({ row(server.port(), "50", "bob") });
    for (QPushButton *b : h.commands())
        QVERIFY(!b->isEnabled());
    h.select(0);
    for (QPushButton *b : h.commands())
        QVERIFY(b->isEnabled());

    // Stop ends the run: it goes off, and a selection no longer brings it back.
    QSignalSpy stopped(h.page, &ResultsPage::stopRequested);
    h.stop->click();
    QCOMPARE(stopped.size(), 1);
    QVERIFY(!h.stop->isEnabled());
    h.select(0);
    QVERIFY(!h.stop->isEnabled() && h.viewInfo->isEnabled());

    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    h.copy->click();
    QCOMPARE(
        QGuiApplication::clipboard()->text(), QStringLiteral("127.0.0.1:") + QString::number(server.port()));
    // With no row selected a command does nothing.
    h.list->clearSelection();
    for (QPushButton *b : { h.refresh, h.ping, h.viewInfo, h.launch })
        b->click();
    QTest::qWait(100);
    QCOMPARE(server.requestCount(Kind::Players), 0);
    QVERIFY(h.window.findChildren<info::InfoForm *>().isEmpty());
    QVERIFY(!h.page->launchWindow());

    // A new search: a double-click waits for its first selection; once the run has ended, a
    // selection no longer enables Stop.
    h.list->selectionModel()->select(
        h.model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    h.page->searchStarted();
    h.page->runEnded();
    QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {}, h.centre(0));
    QTest::qWait(100);
    QCOMPARE(server.requestCount(Kind::Players), 0);
    h.select(0);
    QVERIFY(h.viewInfo->isEnabled());
    QVERIFY(!h.stop->isEnabled());
    QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {}, h.centre(0));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(Kind::Players), 1, Wait);
    // Each "View Info..." opens a window of its own, which is deleted when closed.
    h.viewInfo->click();
    h.viewInfo->click();
    const QList<info::InfoForm *> windows = h.window.findChildren<info::InfoForm *>();
    QCOMPARE(windows.size(), 2);
    QVERIFY(windows[0]->isVisible() && windows[0]->isWindow() && windows[1]->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(Kind::Rules), 2, Wait);
    windows.first()->close();
    QTRY_COMPARE_WITH_TIMEOUT(h.window.findChildren<info::InfoForm *>().size(), 1, Wait);

    h.page->tearDown();
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
    Harness h({ row(server.port(), "10", "a") });
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
    Harness h({ row(server.port(), "10", "a") });
    h.select(0);
    QCOMPARE(h.page->launchPicture(), 9);
    QTest::qWait(800);
    h.select(0); // again while pending: asked again, and the 1500 ms start anew
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(Kind::Info), 2, Wait);
    QTest::qWait(900); // past the first query's 1500 ms, inside the second's
    QCOMPARE(h.page->launchPicture(), 9);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 2, Wait);
    QCOMPARE(h.page->launchTag(), QStringLiteral("3"));
    // After a time-out the same row is asked again.
    h.select(0);
    QCOMPARE(h.page->launchPicture(), 9);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(Kind::Info), 3, Wait);
}

void TestResultsPage::lastAddressRule()
{
    FakeGameServer cs, other;
    QVERIFY(cs.listen() && other.listen());
    FakeInfo info;
    info.GameDirectory = "cstrike";
    cs.setInfo(info);
    Harness h({ row(cs.port(), "10", "a"), row(other.port(), "10", "b") });
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 5, Wait);
    h.select(0); // answered: nothing new to ask
    QTest::qWait(100);
    QCOMPARE(cs.requestCount(Kind::Info), 1);
    QCOMPARE(h.page->launchPicture(), 5);

    h.select(1); // same address, other port
    QTRY_COMPARE_WITH_TIMEOUT(other.requestCount(Kind::Info), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 2, Wait);
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchPicture(), 5, Wait);
    QCOMPARE(cs.requestCount(Kind::Info), 2);

    // A new search: the same server again sends nothing; the default picture stays, the tag too.
    h.page->searchStarted();
    QCOMPARE(h.page->launchPicture(), 2);
    h.select(0);
    QTest::qWait(100);
    QCOMPARE(cs.requestCount(Kind::Info), 2);
    QCOMPARE(h.page->launchPicture(), 2);
    QCOMPARE(h.page->launchTag(), QStringLiteral("6"));
}

void TestResultsPage::refreshUpdatesItsRow_data()
{
    QTest::addColumn<QList<FakePlayer>>("players");
    QTest::addColumn<int>("cutOff");
    // What happens before the reply: "sortAndGrow" moves the row, "newSearch" and "tearDown"
    // make the reply one that is never read.
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("frags"); // and time; empty: the row is left as it was
    QTest::addColumn<QString>("time");

    const QList<FakePlayer> three { { "Ann", 1, 1.f }, { "Cid", 2, 2.f }, { "bob", 12, 100.f } };
    const auto row = [](const char *tag, const QList<FakePlayer> &players, int cutOff, const char *meanwhile,
                         const char *frags = "", const char *time = "") {
        QTest::newRow(tag) << players << cutOff << QString::fromLatin1(meanwhile)
                           << QString::fromLatin1(frags) << QString::fromLatin1(time);
    };
    row("found", three, -1, "", "12", "00:01:40");
    row("found_firstOfTwo", { { "bob", 7, 61.f }, { "bob", 9, 5.f } }, -1, "", "7", "00:01:01");
    row("found_sortAndGrow", three, -1, "sortAndGrow", "12", "00:01:40");
    row("gone", { { "Ann", 1, 1.f } }, -1, "", "-", "-");
    row("gone_wrongCase", { { "Bob", 12, 100.f } }, -1, "", "-", "-");
    // Header, type, count, then "Ann"'s record (index, name, frags, time): cut after it.
    row("cut_beforePlayer", three, 6 + 1 + 4 + 4 + 4, "");
    row("dropped_newSearch", three, -1, "newSearch");
    row("dropped_tearDown", three, -1, "tearDown");
}

void TestResultsPage::refreshUpdatesItsRow()
{
    QFETCH(QList<FakePlayer>, players);
    QFETCH(int, cutOff);
    QFETCH(QString, meanwhile);
    QFETCH(QString, frags);
    QFETCH(QString, time);
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers(players);
    const quint16 port = server.port();
    Harness h({ row(port, "77777", "bob", "3"), row(port, "40", "ann", "4") });
    const QStringList annBefore = h.rowOf(QStringLiteral("ann"));
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(server.repliesSent(), 1, Wait); // the info query behind the selection
    server.setCutOff(cutOff);
    server.setReplyDelay(meanwhile.isEmpty() ? 0 : 300);
    h.refresh->click();
    if (meanwhile == QLatin1String("sortAndGrow")) {
        h.clickHeader(ResultRow::PlayerName);
        h.model->appendRows({ row(port, "1", "abe", "0") });
        QCOMPARE(h.column(ResultRow::PlayerName), (QStringList { "abe", "ann", "bob" }));
    } else if (meanwhile == QLatin1String("newSearch")) {
        h.page->searchStarted();
        h.model->clear();
        h.model->appendRows({ row(port, "77777", "bob", "3"), row(port, "40", "ann", "4") });
    } else if (meanwhile == QLatin1String("tearDown")) {
        h.page->tearDown();
    }
    // Sorting may ask the selected server again for its game: wait for the players reply itself.
    QTRY_VERIFY_WITH_TIMEOUT(server.requestCount(Kind::Players) == 1 && server.pending() == 0, Wait);
    const QStringList bob = h.rowOf(QStringLiteral("bob"));
    if (frags.isEmpty()) {
        QTest::qWait(100);
        QCOMPARE(bob, (QStringList { "77777", "3", "00:09:99" }));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(h.rowOf(QStringLiteral("bob"))[0] != QStringLiteral("77777"), Wait);
        bool numeric = false;
        QVERIFY(h.rowOf(QStringLiteral("bob"))[0].toInt(&numeric) >= 0 && numeric);
        QCOMPARE(h.rowOf(QStringLiteral("bob")).mid(1), (QStringList { frags, time }));
    }
    // The reply is for that row and no other.
    QCOMPARE(h.rowOf(QStringLiteral("ann")), annBefore);
}

void TestResultsPage::pingThroughTheSeam_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("pingCell");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *tag, int status, const char *cell, const char *message = "") {
        QTest::newRow(tag) << status << QString::fromLatin1(cell) << QString::fromLatin1(message);
    };
    row("success", 0, "42");
    row("timedOut", 11010, "9999");
    // The socket library's own complaint is the only message; the page adds none.
    row("noSockets", -1, "50",
        "Windows Sockets For 32 bit Windows environments is not successfully responding.");
    row("hostUnreachable", 11003, "50", "Ping error: Dest. host unreachable");
}

void TestResultsPage::pingThroughTheSeam()
{
    QFETCH(int, status);
    QFETCH(QString, pingCell);
    QFETCH(QString, message);
    QString asked;
    bool busy = false;
    ping::pinger() = [&](const QString &address, const ping::FailureSink &sink) {
        asked = address;
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        if (status == -1) {
            sink(ping::SocketsFailure {});
            return ping::PingResult { 0, -1, QStringLiteral("Unable to initialize sockets.") };
        }
        return ping::PingResult { status == 0 ? 42 : 0, qint16(status), ping::EchoStatusText(status) };
    };
    Harness h({ row(27015, "50", "bob", "0", QStringLiteral("10.0.0.1")) });
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
    Harness h({ row(server.port(), "77777", "bob") });
    h.select(0);
    h.ping->click();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    bool numeric = false;
    const int ms = h.cell(0, ResultRow::Ping).toInt(&numeric);
    QVERIFY(numeric && ms >= 0 && ms < 1000);
}

void TestResultsPage::launchWindowExistsOnce()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    FakeInfo info;
    info.GameDirectory = "dmc";
    server.setInfo(info);
    Harness h({ row(server.port(), "50", "bob") });
    h.executablePath.setValue(QStringLiteral("/games/hl"));
    h.select(0);
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchTag(), QStringLiteral("8"), Wait);
    h.launch->click();
    QPointer<launch::LaunchForm> form = h.page->launchWindow();
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->windowModality(), Qt::ApplicationModal);
    QVERIFY(!form->windowIcon().isNull());
    h.launch->click();
    QCOMPARE(h.page->launchWindow(), form.data());
    QCOMPARE(h.window.findChildren<launch::LaunchForm *>().size(), 1);

    // Each opening asks the selected server, and the path shown is the program-wide one.
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(Kind::Info), 3, Wait);
    QCOMPARE(form->findChild<QLineEdit *>(QStringLiteral("txtPath"))->text(), QStringLiteral("/games/hl"));
    delete form;
}

void TestResultsPage::steamRefreshThroughA2s_data()
{
    QTest::addColumn<QList<FakePlayer>>("players");
    QTest::addColumn<QString>("rowName"); // as the search decoded it
    QTest::addColumn<QString>("frags"); // and time, after the refresh
    QTest::addColumn<QString>("time");

    const QList<FakeUtf8Name> names = Utf8Names();
    QTest::newRow("found_cyrillic") << QList<FakePlayer> { { "Ann", 1, 1.f }, { names[0].Bytes, 12, 100.f } }
                                    << names[0].Shown << "12"
                                    << "00:01:40";
    // Bytes that are not UTF-8 are compared as the search showed them, replacement characters and all.
    QTest::newRow("found_invalidUtf8")
        << QList<FakePlayer> { { names[7].Bytes, 3, 61.f } } << names[7].Shown << "3"
        << "00:01:01";
    QTest::newRow("found_decomposed")
        << QList<FakePlayer> { { names[5].Bytes, 4, 2.f } } << names[5].Shown << "4"
        << "00:00:02";
    QTest::newRow("gone") << QList<FakePlayer> { { "Ann", 1, 1.f } } << names[0].Shown << "-"
                          << "-";
    // The Latin-1 reading of the same bytes is another name in Steam mode.
    QTest::newRow("gone_latin1Reading")
        << QList<FakePlayer> { { "Zo\xC3\xAB", 12, 100.f } } << QStringLiteral("ZoÃ«") << "-"
        << "-";
}

void TestResultsPage::steamRefreshThroughA2s()
{
    QFETCH(QList<FakePlayer>, players);
    QFETCH(QString, rowName);
    QFETCH(QString, frags);
    QFETCH(QString, time);
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setPlayers(players);
    const quint16 port = server.port();
    Harness h(
        { row(port, "77777", rowName, "3"), row(port, "40", "other", "4") }, search::ServerQueries::A2s);
    h.select(0);
    h.refresh->click();
    QTRY_VERIFY_WITH_TIMEOUT(h.rowOf(rowName)[0] != QStringLiteral("77777"), Wait);
    bool numeric = false;
    QVERIFY(h.rowOf(rowName)[0].toInt(&numeric) >= 0 && numeric);
    QCOMPARE(h.rowOf(rowName).mid(1), (QStringList { frags, time }));
    QCOMPARE(h.rowOf(QStringLiteral("other")), (QStringList { "40", "4", "00:09:99" }));
    // The bare question, then the one with the challenge it was given; no legacy query at all.
    const QList<FakeA2sServer::Request> asked = server.requests();
    QList<std::optional<QByteArray>> challenges;
    for (const FakeA2sServer::Request &r : asked) {
        QVERIFY(r.kind != FakeA2sServer::Kind::Other);
        if (r.kind == FakeA2sServer::Kind::Players)
            challenges.append(r.challenge);
    }
    QCOMPARE(challenges.size(), 2);
    QCOMPARE(challenges[0].value_or(QByteArray()), QByteArray("\xFF\xFF\xFF\xFF", 4));
    QCOMPARE(challenges[1], std::optional<QByteArray>(server.challengeFor(asked.last().fromPort)));
    h.page->tearDown();
}

void TestResultsPage::steamRowCommandsAskWithA2s()
{
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setInfoChallenge(true);
    FakeA2sInfo info;
    info.GameDirectory = "dmc";
    server.setInfo(info);
    Harness h({ row(server.port(), "50", "bob") }, search::ServerQueries::A2s);
    h.executablePath.setValue(QStringLiteral("/games/hl"));
    h.select(0);
    QCOMPARE(h.page->launchPicture(), 9);
    // The game on the Launch button comes from the A2S info, after its challenge round.
    QTRY_COMPARE_WITH_TIMEOUT(h.page->launchTag(), QStringLiteral("8"), Wait);
    QCOMPARE(h.page->launchPicture(), 7);
    QCOMPARE(server.requestCount(FakeA2sServer::Kind::Info), 2);
    h.select(0); // answered: nothing new to ask
    QTest::qWait(100);
    QCOMPARE(server.requestCount(FakeA2sServer::Kind::Info), 2);

    // The launch window and the information window ask the same way.
    h.launch->click();
    QPointer<launch::LaunchForm> form = h.page->launchWindow();
    QVERIFY(form);
    auto *gameInfo = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QTRY_COMPARE_WITH_TIMEOUT(gameInfo->model()->index(2, 1).data().toString(), QStringLiteral("dmc"), Wait);
    delete form;
    h.viewInfo->click();
    QPointer<info::InfoForm> window = h.window.findChild<info::InfoForm *>();
    QVERIFY(window);
    auto *rules = window->findChild<QTreeView *>(QStringLiteral("LVGameRules"));
    server.setRules({ { "mp_timelimit", "30" } });
    QTRY_COMPARE_WITH_TIMEOUT(rules->model()->rowCount(), 1, Wait);
    QCOMPARE(server.requestCount(FakeA2sServer::Kind::Other), 0);
    delete window;
    h.page->tearDown();
}

void TestResultsPage::rowMenu()
{
    // A right click selects the row under it and offers the row's commands; each does what its
    // button does, and the copies put the Steam link and the name on the clipboard.
    FakeGameServer server;
    QVERIFY(server.listen());
    Harness h({ row(server.port(), "50", "alice"), row(server.port(), "60", "bob") });
    h.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    const QRect second = h.list->visualRect(h.model->index(1, ResultRow::PlayerName));
    Q_EMIT h.list->customContextMenuRequested(second.center());
    QMenu *menu = h.list->findChild<QMenu *>(QStringLiteral("RowMenu"));
    QVERIFY(menu);
    QCOMPARE(h.list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(h.list->selectionModel()->selectedRows().constFirst().row(), 1);
    const auto trigger = [menu](const char *name) {
        QAction *action = menu->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(action, name);
        action->trigger();
    };
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    if (QGuiApplication::clipboard()->text() == QLatin1String("old")) {
        trigger("actCopySteamLink");
        QCOMPARE(QGuiApplication::clipboard()->text(),
            QStringLiteral("steam://connect/127.0.0.1:") + QString::number(server.port()));
        trigger("actCopyPlayerName");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("bob"));
        trigger("actCopyAddress");
        QCOMPARE(QGuiApplication::clipboard()->text(),
            QStringLiteral("127.0.0.1:") + QString::number(server.port()));
    }
    trigger("actRefresh");
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(Kind::Players), 1, 5000);
    menu->close();

    // Outside every row with nothing selected: no menu.
    h.list->clearSelection();
    QTRY_VERIFY(!h.list->findChild<QMenu *>(QStringLiteral("RowMenu")));
    Q_EMIT h.list->customContextMenuRequested(QPoint(5, h.list->viewport()->height() - 5));
    QVERIFY(!h.list->findChild<QMenu *>(QStringLiteral("RowMenu")));
}

void TestResultsPage::addToListFile()
{
    // Last in the row menu. Without a file set, the user picks one and the page keeps it; the
    // address goes in once; a file that cannot take it is said in a box, naming the file.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("lan.txt"));
    QStringList asked;
    ui::seams().chooseFile
        = [&](QWidget *, const QString &title, const QString &startFile, const QString &, const QString &) {
              asked << title;
              return asked.size() == 1 ? startFile : path; // the first time the dialog is cancelled
          };
    Harness h({ row(27016, "50", "alice"), row(27017, "60", "bob") });
    QSignalSpy chosen(h.page, &ResultsPage::serverListFileChosen);
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    const auto addRow = [&h](int index) {
        const QRect rect = h.list->visualRect(h.model->index(index, ResultRow::PlayerName));
        Q_EMIT h.list->customContextMenuRequested(rect.center());
        QMenu *menu = h.list->findChild<QMenu *>(QStringLiteral("RowMenu"));
        QVERIFY(menu);
        QAction *last = menu->actions().constLast();
        QCOMPARE(last->objectName(), QStringLiteral("actAddToListFile"));
        QCOMPARE(last->text(), QStringLiteral("&Add server to list file"));
        last->trigger();
        menu->close();
        QTRY_VERIFY(!h.list->findChild<QMenu *>(QStringLiteral("RowMenu")));
    };
    const auto content = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    };

    addRow(0);
    QCOMPARE(asked.size(), 1);
    QVERIFY(chosen.isEmpty());
    QCOMPARE(content(), QByteArray("(none)"));

    addRow(0);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.constFirst().constFirst().toString(), path);
    QCOMPARE(h.page->serverListFile(), path);
    addRow(1);
    addRow(0);
    QCOMPARE(asked.size(), 2); // asked once, kept since
    QCOMPARE(content(), QByteArray("127.0.0.1:27016\n127.0.0.1:27017\n"));
    QVERIFY(m_messages.isEmpty());

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    h.page->setServerListFile(folder);
    addRow(1);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(
        m_messages.constFirst().text, QStringLiteral("The server was not added to the server list file."));
    QCOMPARE(m_messages.constFirst().informativeText, folder + QStringLiteral(" is not a regular file."));
}

QTEST_MAIN(TestResultsPage)
#include "tst_resultspage.moc"
