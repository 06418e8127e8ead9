// A whole search against fake servers on loopback: what the results page would show, in order,
// and that nothing of a run leaks out after it was stopped, torn down or replaced.

#include "FakeServers.h"
#include "search/SearchRun.h"
#include "ui/RunTexts.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <functional>

using namespace rollcall;
using namespace rollcall::search;
using namespace rollcall::testsupport;
using namespace std::chrono_literals;

namespace {

constexpr int Wait = 10000; // bounded waits: generous, the machine is shared

SearchCriteria Criteria(const QString &master, int connections = 80, int timeoutMs = 1000)
{
    SearchCriteria c;
    c.Slots[0] = { true, false, "player" };
    c.MasterServer = master;
    c.MaxConnections = connections;
    c.QueryTimeout = timeoutMs;
    return c;
}

// Players of population servers first .. first + count - 1.
int PlayersIn(int first, int count)
{
    int total = 0;
    for (int i = first; i < first + count; ++i)
        total += int(ServerPopulation::PlayersFor(i).size());
    return total;
}

using Kind = RunFailure::Kind;

QString Found(int rows)
{
    return QString::number(rows) + QStringLiteral(" Players Found");
}

// `count` game servers and a master listing them all.
struct Network
{
    ServerPopulation servers;
    FakeMasterServer master;

    bool start(int count, int replyDelayMs = 0, int pageSize = 231)
    {
        if (!servers.start(count, replyDelayMs) || !master.listen())
            return false;
        master.setEntries(servers.entries());
        master.setPageSize(pageSize);
        return true;
    }
    QString address() const { return master.addressText(); }
};

// Everything a run reports, as one readable line per label a window would change (in the
// order it changes them) or per signal. `onLine` runs after each line, as a receiver's slot
// would, and may do what a window's nested loop allows (even start over).
struct Log
{
    QStringList lines;
    QList<ResultRow> rows;
    QList<ui::UserMessage> messages;
    int done = 0;
    int starts = 0;
    ui::RunLabels labels;
    std::function<void(const QString &)> onLine;

    void add(const QString &line)
    {
        lines << line;
        if (onLine)
            onLine(line);
    }

    // Stops at a line whose receiver started a new run: the rest belonged to the old one.
    void show(int parts)
    {
        const int run = starts;
        const auto shown = [](const QString &text, bool visible) -> QString {
            return text + (visible ? " [shown]" : " [hidden]");
        };
        for (const int part :
            { ui::RunLabels::Status, ui::RunLabels::Heading, ui::RunLabels::Total, ui::RunLabels::Left }) {
            if (!(parts & part))
                continue;
            if (part == ui::RunLabels::Status)
                add(labels.status());
            else if (part == ui::RunLabels::Heading)
                add(labels.heading());
            else
                add(shown(
                    part == ui::RunLabels::Total ? labels.total() : labels.left(), labels.countsShown()));
            if (starts != run)
                return;
        }
    }

    explicit Log(SearchRun &run)
    {
        const auto on = [&run](auto signal, auto slot) { QObject::connect(&run, signal, &run, slot); };
        on(&SearchRun::runStarted, [this] {
            const int started = ++starts;
            add(QStringLiteral("started"));
            if (starts == started)
                show(labels.restart());
        });
        on(&SearchRun::progressChanged,
            [this](const RunProgress &progress) { show(labels.update(progress)); });
        on(&SearchRun::rowsFound, [this](const QList<ResultRow> &found) {
            rows += found;
            add("rows " + QString::number(found.size()));
        });
        on(&SearchRun::runEnded, [this] {
            ++done;
            add(QStringLiteral("done"));
        });
        on(&SearchRun::failed, [this](const RunFailure &failure) {
            const ui::UserMessage m = ui::FailureMessage(failure);
            messages << m;
            add("message: " + m.text);
        });
    }
};

} // namespace

class TestSearchRun final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullRun_data();
    void fullRun();
    void everyServerOnceNeverMoreThanTheSockets_data();
    void everyServerOnceNeverMoreThanTheSockets();
    void stopOrTearDownLeavesNothingBehind_data();
    void stopOrTearDownLeavesNothingBehind();
    void replyAfterTheEndStillCounts();
    void lateReplyWhileOthersAreOut();
    void repliesThatAreNotTheAnswer_data();
    void repliesThatAreNotTheAnswer();
    void masterFailures_data();
    void masterFailures();
    void refusedMasterPortEndsTheExchange_data();
    void refusedMasterPortEndsTheExchange();
    void unsendableRequestFailsAtOnce();
    void restartInsideAReport_data();
    void restartInsideAReport();
};

void TestSearchRun::fullRun_data()
{
    QTest::addColumn<int>("cap"); // 0: none
    QTest::addColumn<int>("stopAfterPage"); // pages after it stay unanswered; -1: none
    QTest::addColumn<bool>("forged"); // another port answers first with a list that would end it all
    QTest::addColumn<int>("taken");
    QTest::addColumn<int>("requests");

    QTest::newRow("threePages") << 0 << -1 << false << 7 << 3;
    QTest::newRow("cap_midPage") << 4 << -1 << false << 4 << 2;
    QTest::newRow("cap_pageBoundary") << 3 << -1 << false << 3 << 1;
    QTest::newRow("cap_beyondList") << 50 << -1 << false << 7 << 3;
    QTest::newRow("masterTimeout_keepsWhatArrived") << 0 << 0 << false << 3 << 2;
    QTest::newRow("forgedListIgnored") << 0 << -1 << true << 7 << 3;
}

void TestSearchRun::fullRun()
{
    QFETCH(int, cap);
    QFETCH(int, stopAfterPage);
    QFETCH(bool, forged);
    QFETCH(int, taken);
    QFETCH(int, requests);

    Network net;
    QVERIFY(net.start(7, 0, 3));
    net.master.setStopAfterPage(stopAfterPage);
    if (forged)
        net.master.setSpoof(EncodeMasterReply(QByteArray(4, '\0'), { net.servers.server(0)->entry() }));
    SearchRun run;
    if (stopAfterPage >= 0)
        run.setMasterTimeout(400ms);
    Log log(run);
    SearchCriteria criteria = Criteria(net.address(), 2);
    criteria.GameFilter = QStringLiteral("valve");
    criteria.MapFilter = QStringLiteral("crossfire");
    criteria.EnableMaxServers = cap > 0;
    criteria.MaxServerAmount = cap;
    run.start(criteria);
    QCOMPARE(log.lines,
        QStringList({ "started", "Status: Downloading Server List...", "Searching For Players...",
            "Total Servers: [hidden]", "Servers Left: [hidden]" }));

    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(net.servers.totalPlayersRequests(), taken, Wait);

    const QByteArray filter = "\\gamedir\\valve\\map\\crossfire\\empty\\1";
    QCOMPARE(net.master.requests(),
        QList<QByteArray>(
            { MasterRequestBytes(QByteArray(4, '\0'), filter), MasterRequestBytes(MasterPageKey(0), filter),
                MasterRequestBytes(MasterPageKey(1), filter) })
            .first(requests));
    QCOMPARE(run.serverCount(), taken);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(net.servers.server(i)->requestCount(FakeGameServer::Kind::Players), i < taken ? 1 : 0);

    const int expected = PlayersIn(0, taken);
    QCOMPARE(run.rowCount(), expected);
    // Every row names the server that sent it.
    QStringList sent;
    QStringList found;
    for (int i = 0; i < taken; ++i) {
        for (const FakePlayer &p : ServerPopulation::PlayersFor(i))
            sent << "127.0.0.1:" + QString::number(net.servers.server(i)->port()) + ' '
                    + QString::fromLatin1(p.Name);
    }
    for (const ResultRow &row : std::as_const(log.rows))
        found << row.cell(ResultRow::ServerIp) + ':' + row.cell(ResultRow::Port) + ' '
                + row.cell(ResultRow::PlayerName);
    sent.sort();
    found.sort();
    QCOMPARE(found, sent);

    const QString count = QString::number(taken);
    QStringList shown = { "Total Servers: " + count + " [shown]",
        "Servers Left: " + count + " (100%) [shown]", "Servers Left: 0 (0%) [shown]",
        "Status: Refreshing 127.0.0.1:" + QString::number(net.servers.server(taken - 1)->port()) + "..." };
    for (int listed = 3; listed < taken + 3; listed += 3)
        shown << "Status: Downloading Server List (" + QString::number(qMin(listed, taken)) + ")...";
    for (const QString &line : std::as_const(shown))
        QVERIFY2(log.lines.contains(line), qPrintable(line));
    QVERIFY(!run.isQuerying());
    QCOMPARE(log.lines.mid(log.lines.lastIndexOf("Status: Done.")),
        QStringList({ "Status: Done.", Found(expected), "Total Servers: " + count + " [hidden]",
            "Servers Left: 0 (0%) [hidden]", "done" }));
    QVERIFY(log.messages.isEmpty());
}

void TestSearchRun::everyServerOnceNeverMoreThanTheSockets_data()
{
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("replyDelayMs"); // keeps queries in flight long enough for an excess to show
    QTest::addColumn<QString>("firstHandOut"); // after the first round, which leaves 100%

    QTest::newRow("oneSocket") << 6 << 1 << 30 << "Servers Left: 4 (67%)";
    QTest::newRow("fiveSockets") << 40 << 5 << 30 << "Servers Left: 34 (85%)";
    QTest::newRow("moreSocketsThanServers") << 3 << 20 << 30 << QString();
    QTest::newRow("L200_entry21") << 200 << 20 << 0 << "Servers Left: 179 (90%)";
    QTest::newRow("L200_entry2") << 200 << 1 << 0 << "Servers Left: 198 (99%)";
    QTest::newRow("L100_entry29_doubleRounding") << 100 << 28 << 0 << "Servers Left: 71 (72%)";
    QTest::newRow("L3_entry3_last") << 3 << 2 << 0 << "Servers Left: 0 (0%)";
}

void TestSearchRun::everyServerOnceNeverMoreThanTheSockets()
{
    QFETCH(int, servers);
    QFETCH(int, connections);
    QFETCH(int, replyDelayMs);
    QFETCH(QString, firstHandOut);

    Network net;
    QVERIFY(net.start(servers, replyDelayMs));
    SearchRun run;
    Log log(run);
    QStringList left;
    QList<int> percents;
    connect(&run, &SearchRun::progressChanged, this, [&](const RunProgress &progress) {
        const QString text = ui::LeftText(progress);
        if (progress.isQuerying() && !text.endsWith(QLatin1String("(100%)"))) {
            left << text;
            percents << ui::HandedOutPercent(progress);
        }
    });
    run.start(Criteria(net.address(), connections, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait * 3);

    QCOMPARE(net.servers.neverAsked(), 0);
    QCOMPARE(net.servers.askedTwice(), 0);
    QVERIFY2(net.servers.peakOutstanding() <= connections,
        qPrintable(QString::number(net.servers.peakOutstanding())));
    QCOMPARE(run.peakOutstanding(), qMin(servers, connections));
    // The end comes once, after the last reply: no row follows it.
    QCOMPARE(log.done, 1);
    QCOMPARE(log.lines.last(), QStringLiteral("done"));
    QCOMPARE(log.rows.size(), PlayersIn(0, servers));
    QCOMPARE(left.value(0), firstHandOut);
    if (!left.isEmpty()) {
        const int shown = firstHandOut.section(QLatin1Char('('), 1).section(QLatin1Char('%'), 0, 0).toInt();
        QCOMPARE(percents.first(), 100 - shown); // the progress bar's share handed out
    }
}

void TestSearchRun::stopOrTearDownLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("duringDownload");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QStringList>("reported");

    QTest::newRow("stop_duringQueries")
        << false << true
        << QStringList({ "Status: Done.", "0 Players Found", "Total Servers: 4 [hidden]",
               "Servers Left: 4 (100%) [hidden]", "done" });
    QTest::newRow("tearDown_duringDownload") << true << false << QStringList();
    QTest::newRow("tearDown_duringQueries") << false << false << QStringList();
}

void TestSearchRun::stopOrTearDownLeavesNothingBehind()
{
    // "Stop" reports the end at once; leaving the results page reports nothing. Either way the
    // delayed page or replies, the master time-out and the query time-outs all pass afterwards
    // without a text or a message.
    QFETCH(bool, duringDownload);
    QFETCH(bool, stop);
    QFETCH(QStringList, reported);

    Network net;
    QVERIFY(net.start(4, duringDownload ? 0 : 300, 2));
    net.master.setReplyDelay(duringDownload ? 300 : 0);
    SearchRun run;
    run.setMasterTimeout(600ms);
    Log log(run);
    run.start(Criteria(net.address(), 2, 500));
    if (duringDownload)
        QTRY_COMPARE_WITH_TIMEOUT(net.master.requests().size(), 1, Wait);
    else
        QTRY_COMPARE_WITH_TIMEOUT(net.servers.totalPlayersRequests(), 2, Wait);
    log.lines.clear();
    if (stop)
        run.stop();
    else
        run.tearDown();
    QCOMPARE(log.lines, reported);
    QCOMPARE(run.outstanding(), 0);

    if (duringDownload)
        QTRY_COMPARE_WITH_TIMEOUT(net.master.repliesSent(), 1, Wait);
    else
        QTRY_COMPARE_WITH_TIMEOUT(
            net.servers.server(0)->repliesSent() + net.servers.server(1)->repliesSent(), 2, Wait);
    QTest::qWait(800);
    QCOMPARE(log.lines, reported);
    QCOMPARE(net.master.requests().size(), duringDownload ? 1 : 2);
    QCOMPARE(net.servers.totalPlayersRequests(), duringDownload ? 0 : 2);
}

void TestSearchRun::replyAfterTheEndStillCounts()
{
    // Three servers, two sockets: the slow one outlives its time-out, which ends the run.
    Network net;
    QVERIFY(net.start(3));
    net.servers.server(1)->setReplyDelay(700);
    SearchRun run;
    Log log(run);
    QSignalSpy timedOut(&run, &SearchRun::serverTimedOut);
    QSignalSpy answered(&run, &SearchRun::serverAnswered);
    run.start(Criteria(net.address(), 2, 250));
    QTRY_COMPARE_WITH_TIMEOUT(log.done, 1, Wait);
    QCOMPARE(timedOut.size(), 1);
    QCOMPARE(timedOut.at(0).at(1).toInt(), int(net.servers.server(1)->port()));
    QCOMPARE(answered.size(), 2);
    QVERIFY(!run.isActive());
    QCOMPARE(run.outstanding(), 0);
    const int found = PlayersIn(0, 1) + PlayersIn(2, 1);
    QCOMPARE(ui::HeadingText(run.progress()), Found(found));
    QCOMPARE(log.rows.size(), found);

    // The late reply brings its rows and the new count, but no second end and no new status.
    QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 3, Wait);
    const int all = found + PlayersIn(1, 1);
    QCOMPARE(log.rows.size(), all);
    QCOMPARE(ui::HeadingText(run.progress()), Found(all));
    QCOMPARE(log.done, 1);
    QCOMPARE(log.lines.count(QStringLiteral("done")), 1);
    QCOMPARE(run.progress().phase, RunPhase::Done);
    QCOMPARE(net.servers.totalPlayersRequests(), 3);
}

void TestSearchRun::lateReplyWhileOthersAreOut()
{
    // Two sockets, three servers, a 1500 ms time-out. Socket B: server 1 answers at 1000 ms,
    // server 2 (asked then) at 2000 ms. Socket A: server 0 times out at 1500 ms, which exhausts
    // the list, and answers at 1750 ms, while B's query is still out. That late reply brings
    // its rows but was counted down at its time-out already: counted again, the run would end
    // there and drop server 2's answer.
    Network net;
    QVERIFY(net.start(3));
    net.servers.server(0)->setPlayers({ { "player_late", 7, 70.f } });
    net.servers.server(0)->setReplyDelay(1750);
    net.servers.server(1)->setReplyDelay(1000);
    net.servers.server(2)->setReplyDelay(1000);
    SearchRun run;
    Log log(run);
    QSignalSpy timedOut(&run, &SearchRun::serverTimedOut);
    int outstandingAtLateReply = -1;
    const qint32 latePort = net.servers.server(0)->port();
    connect(&run, &SearchRun::serverAnswered, this, [&](const QString &, qint32 port) {
        if (port == latePort)
            outstandingAtLateReply = run.outstanding();
    });
    run.start(Criteria(net.address(), 2, 1500));
    QTRY_COMPARE_WITH_TIMEOUT(log.done, 1, Wait);

    QCOMPARE(timedOut.size(), 1);
    QCOMPARE(outstandingAtLateReply, 1);
    QCOMPARE(run.outstanding(), 0);
    QCOMPARE(log.rows.size(), 1 + PlayersIn(1, 2));
    QCOMPARE(ui::HeadingText(run.progress()), Found(1 + PlayersIn(1, 2)));
    QCOMPARE(run.progress().answered, 3);
    QCOMPARE(run.progress().timedOut, 1);
    QCOMPARE(log.lines.last(), QStringLiteral("done"));
}

void TestSearchRun::repliesThatAreNotTheAnswer_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("rows");

    QTest::newRow("emptyDatagramIsTheAnswer") << "empty" << true << 0;
    QTest::newRow("spoofFromOtherPortDropped") << "spoof" << true << 2;
    QTest::newRow("splitReplyReassembled") << "split" << true << 2;
    QTest::newRow("lonePieceIsNoAnswer") << "lonePiece" << false << 0;
    QTest::newRow("cutOffReplyStillCounts") << "cut" << true << 1;
    QTest::newRow("pingIsTheTimeToTheReply") << "delayed" << true << 2;
}

void TestSearchRun::repliesThatAreNotTheAnswer()
{
    QFETCH(QString, kind);
    QFETCH(bool, answered);
    QFETCH(int, rows);

    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers({ { "player_one", 3, 10.f }, { "player_two", -1, 3725.9f } });
    if (kind == QLatin1String("empty"))
        server.setRawReply(FakeGameServer::Kind::Players, QByteArray());
    else if (kind == QLatin1String("spoof"))
        server.setSpoof(EncodePlayersReply({ { "player_spoofed", 99, 1.f } }));
    else if (kind == QLatin1String("split"))
        server.setSplit(12, { 3, 2, 1, 0 });
    else if (kind == QLatin1String("lonePiece"))
        server.setSplit(12, { 0 });
    else if (kind == QLatin1String("cut"))
        server.setCutOff(30); // inside the second record
    else if (kind == QLatin1String("delayed"))
        server.setReplyDelay(200);
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries({ server.entry() });

    SearchRun run;
    Log log(run);
    QSignalSpy answers(&run, &SearchRun::serverAnswered);
    QSignalSpy timeouts(&run, &SearchRun::serverTimedOut);
    run.start(Criteria(master.addressText(), 1, answered ? 5000 : 400));
    QTRY_VERIFY_WITH_TIMEOUT(log.done == 1, Wait);
    QCOMPARE(answers.size(), answered ? 1 : 0);
    QCOMPARE(timeouts.size(), answered ? 0 : 1);
    QCOMPARE(log.rows.size(), rows);
    QCOMPARE(ui::HeadingText(run.progress()), Found(rows));
    if (rows == 2) {
        QCOMPARE(log.rows.at(0).cell(ResultRow::PlayerName), QStringLiteral("player_one"));
        QCOMPARE(log.rows.at(1).cell(ResultRow::PlayerName), QStringLiteral("player_two"));
        QCOMPARE(log.rows.at(1).cell(ResultRow::Frags), QStringLiteral("-1"));
        QCOMPARE(log.rows.at(1).cell(ResultRow::Time), QStringLiteral("01:02:05"));
        // Measured on a monotonic clock; only a lower bound (a busy machine makes it later).
        const int ping = log.rows.first().cell(ResultRow::Ping).toInt();
        const int least = kind == QLatin1String("delayed") ? 180 : 0;
        QVERIFY2(ping >= least && ping <= 32767, qPrintable(QString::number(ping)));
        QCOMPARE(answers.first().at(2).toInt(), ping);
    }
}

void TestSearchRun::masterFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Kind>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("heading");

    const QString later = QStringLiteral("\r\n\r\nPlease try again later.");
    const QString unreachable = QStringLiteral(
        "Unable to contact the master server.\r\n\r\nPlease check the address and try again.");
    QTest::newRow("badHeader") << "badHeader" << Kind::BadMasterReply << "Bad master server response." + later
                               << "Searching For Players...";
    QTest::newRow("malformed") << "malformed" << Kind::MalformedMasterReply
                               << "An unknown error occurred while obtaining the server list." + later
                               << "0 Players Found";
    QTest::newRow("silent") << "silent" << Kind::MasterTimedOut << "No servers received from master." + later
                            << "0 Players Found";
    QTest::newRow("tooSlow") << "slow" << Kind::MasterTimedOut << "No servers received from master." + later
                             << "0 Players Found";
    QTest::newRow("emptyList") << "empty" << Kind::NoServersListed
                               << "No servers received from master." + later << "0 Players Found";
    // Names the resolver refuses before asking any name server: tests send nothing off this machine.
    QTest::newRow("invalidHostName") << "no such host:27010" << Kind::MasterUnreachable << unreachable
                                     << "0 Players Found";
    QTest::newRow("emptyLabel") << "bad..host" << Kind::MasterUnreachable << unreachable << "0 Players Found";
    QTest::newRow("portTooLarge") << "127.0.0.1:70000" << Kind::MasterUnreachable << unreachable
                                  << "0 Players Found";
    QTest::newRow("portNegative") << "127.0.0.1:-5" << Kind::MasterUnreachable << unreachable
                                  << "0 Players Found";
    QTest::newRow("noHost") << ":27010" << Kind::MasterUnreachable << unreachable << "0 Players Found";
}

void TestSearchRun::masterFailures()
{
    QFETCH(QString, kind);
    QFETCH(Kind, failure);
    QFETCH(QString, message);
    QFETCH(QString, heading);

    FakeGameServer game;
    QVERIFY(game.listen());
    game.setPlayers({ { "player", 1, 1.f } });
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries({ game.entry(), game.entry() });
    QString address = master.addressText();
    if (kind == QLatin1String("badHeader"))
        master.setBadHeader(true);
    else if (kind == QLatin1String("malformed"))
        master.setMalformed(true);
    else if (kind == QLatin1String("silent"))
        master.setSilent(true);
    else if (kind == QLatin1String("slow"))
        master.setReplyDelay(600);
    else if (kind == QLatin1String("empty"))
        master.setEntries({});
    else
        address = kind;

    SearchRun run;
    run.setMasterTimeout(300ms);
    Log log(run);
    run.start(Criteria(address));
    QTRY_COMPARE_WITH_TIMEOUT(log.messages.size(), 1, Wait);
    QCOMPARE(log.messages.first().icon, ui::UserMessage::Icon::Exclamation);
    QCOMPARE(log.messages.first().text, message);
    // The failure says what went wrong and where; the window words it.
    QVERIFY(run.failure());
    QCOMPARE(run.failure()->kind, failure);
    QCOMPARE(run.failure()->master, address);
    const bool asked = address == master.addressText();
    QCOMPARE(run.failure()->masterAddress, asked ? address : QString());
    QCOMPARE(log.messages.first().informativeText, "Master server tried: " + address.trimmed());
    // The message comes last, after the texts it explains.
    QCOMPARE(log.lines.mid(log.lines.size() - 2), QStringList({ "done", "message: " + message }));
    QCOMPARE(ui::StatusText(run.progress()), QStringLiteral("Status: Done."));
    QCOMPARE(ui::HeadingText(run.progress()), heading);
    QVERIFY(!run.isQuerying());
    QVERIFY(!run.isActive());

    // No query starts, no second message comes when the master time-out would have run out,
    // and a late page is ignored.
    QTest::qWait(800);
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(log.done, 1);
    QCOMPARE(game.requestCount(FakeGameServer::Kind::Players), 0);
    QVERIFY(master.requests().size() <= 1);
}

void TestSearchRun::refusedMasterPortEndsTheExchange_data()
{
    QTest::addColumn<bool>("pageFirst"); // the master answers once, then stops listening

    QTest::newRow("nothingListens_unreachable") << false;
    QTest::newRow("closedAfterAPage_listKept") << true;
}

void TestSearchRun::refusedMasterPortEndsTheExchange()
{
    // The system says at once that nothing listens on the master's port: the run does not wait
    // out the 30 s master time-out. A master merely silent still gets it (masterFailures).
    QFETCH(bool, pageFirst);
    if (!RefusedPortIsReported(ClosedUdpPort()))
        QSKIP("This system does not report a refused UDP port on loopback");
    Network net;
    QVERIFY(net.start(3));
    QUdpSocket once;
    QVERIFY(once.bind(QHostAddress::LocalHost, 0));
    const quint16 port = once.localPort();
    if (pageFirst) {
        // Page 0 with a key for more, then gone: the request for page 1 is refused.
        connect(&once, &QUdpSocket::readyRead, this, [&] {
            const QNetworkDatagram request = once.receiveDatagram();
            const QByteArray page = EncodeMasterReply(MasterPageKey(0), net.servers.entries());
            once.writeDatagram(page, request.senderAddress(), quint16(request.senderPort()));
            once.close();
        });
    } else {
        once.close();
    }
    const QString address = "127.0.0.1:" + QString::number(port);
    SearchRun run;
    Log log(run);
    QElapsedTimer clock;
    clock.start();
    run.start(Criteria(address));
    QTRY_COMPARE_WITH_TIMEOUT(log.done, 1, 5000);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    if (pageFirst) {
        QVERIFY(!run.failure());
        QCOMPARE(run.serverCount(), 3);
        QCOMPARE(log.rows.size(), PlayersIn(0, 3));
        return;
    }
    QVERIFY(run.failure());
    QCOMPARE(run.failure()->kind, Kind::MasterUnreachable);
    QCOMPARE(run.failure()->masterAddress, address);
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(log.messages.first().text,
        QStringLiteral(
            "Unable to contact the master server.\r\n\r\nPlease check the address and try again."));
    QCOMPARE(log.messages.first().informativeText, "Master server tried: " + address);
}

void TestSearchRun::unsendableRequestFailsAtOnce()
{
    // A filter too long for any datagram: nothing can leave, and the run says so at once rather
    // than after the master time-out, set here far beyond the wait.
    FakeMasterServer master;
    QVERIFY(master.listen());
    SearchRun run;
    run.setMasterTimeout(600s);
    Log log(run);
    SearchCriteria criteria = Criteria(master.addressText());
    criteria.GameFilter = QString(70000, u'g');
    run.start(criteria);
    QTRY_COMPARE_WITH_TIMEOUT(log.messages.size(), 1, Wait);
    QCOMPARE(log.messages.first().text,
        QStringLiteral(
            "An unknown error occurred while obtaining the server list.\r\n\r\nPlease try again later."));
    QCOMPARE(log.lines.mid(log.lines.size() - 2, 1), QStringList { "done" });
    QCOMPARE(master.requests().size(), 0);
}

void TestSearchRun::restartInsideAReport_data()
{
    QTest::addColumn<bool>("badMaster");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("left"); // the old run's text, hidden until the new list arrives

    const QString none = QStringLiteral("Servers Left:");
    QTest::newRow("failedRun_atStatus") << true << "Status: Done." << none;
    QTest::newRow("failedRun_atEnd") << true << "done" << none;
    // A window shows the message in a modal box; in its nested loop the user goes Back and Next.
    QTest::newRow("failedRun_atMessage")
        << true << "message: Bad master server response.\r\n\r\nPlease try again later." << none;
    QTest::newRow("download_atTotal") << false << "Total Servers: 3 [shown]"
                                      << "Servers Left: 3 (100%)";
    QTest::newRow("download_atCount") << false << "Status: Downloading Server List (3)..."
                                      << "Servers Left: 3 (100%)";
    // The rest of that reply's reports (its next query, its end texts) belong to a dead run.
    QTest::newRow("queries_atRows") << false << "rows 1"
                                    << "Servers Left: 1 (34%)";
    QTest::newRow("queries_atEnd") << false << "done"
                                   << "Servers Left: 0 (0%)";
}

void TestSearchRun::restartInsideAReport()
{
    // Whatever report a receiver starts over in, the rest of the old run's reports (its message
    // above all) must not follow: they would describe the new run wrongly.
    QFETCH(bool, badMaster);
    QFETCH(QString, trigger);
    QFETCH(QString, left);

    Network net;
    QVERIFY(net.start(3));
    net.master.setBadHeader(badMaster);
    FakeMasterServer second;
    QVERIFY(second.listen());
    second.setEntries(net.servers.entries());
    second.setReplyDelay(200);

    SearchRun run;
    Log log(run);
    qsizetype at = -1;
    log.onLine = [&](const QString &line) {
        if (at < 0 && line == trigger) {
            at = log.lines.size();
            run.tearDown();
            run.start(Criteria(second.addressText(), 1));
        }
    };
    run.start(Criteria(net.address(), 1));
    QTRY_VERIFY_WITH_TIMEOUT(at >= 0, Wait);
    QTRY_VERIFY_WITH_TIMEOUT(second.requests().size() == 1 && log.lines.size() >= at + 6, Wait);
    const QString total = badMaster ? QStringLiteral("Total Servers:") : QStringLiteral("Total Servers: 3");
    QCOMPARE(log.lines.mid(at, 6),
        QStringList({ "started", "Status: Downloading Server List...", "Searching For Players...",
            total + " [hidden]", left + " [hidden]", "Status: Downloading Server List (3)..." }));
    QTRY_VERIFY_WITH_TIMEOUT(!run.isActive() && run.outstanding() == 0, Wait);
    QCOMPARE(log.messages.size(), trigger.startsWith(QLatin1String("message")) ? 1 : 0);
    QCOMPARE(log.lines.count(QStringLiteral("started")), 2);
    QCOMPARE(ui::HeadingText(run.progress()), Found(PlayersIn(0, 3)));
    QTest::qWait(300);
    QCOMPARE(log.lines.mid(at).count(QStringLiteral("done")), 1);
}

QTEST_GUILESS_MAIN(TestSearchRun)
#include "tst_searchrun.moc"
