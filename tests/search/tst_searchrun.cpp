// A whole search against fake servers on loopback: what the results page would show, in order,
// and that nothing of a run leaks out after it was stopped, torn down or replaced.

#include "FakeServers.h"
#include "search/SearchRun.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace rollcall;
using namespace rollcall::search;
using namespace rollcall::testsupport;
using namespace std::chrono_literals;

namespace {

constexpr int Wait = 10000; // bounded waits: generous, the machine is shared

SearchCriteria Criteria(const QString &master, int connections = 80, int timeoutMs = 1000)
{
    SearchCriteria c;
    c.Slots[0] = {true, false, "player"};
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

// Everything a run reports, as one readable line per signal. `onLine` runs after each line, as
// a receiver's slot would, and may do what a window's nested loop allows (even start over).
struct Log
{
    QStringList lines;
    QList<ResultRow> rows;
    QList<UserMessage> messages;
    int done = 0;
    std::function<void(const QString &)> onLine;

    void add(const QString &line)
    {
        lines << line;
        if (onLine)
            onLine(line);
    }

    static QString Shown(const QString &text, bool visible)
    {
        return text + (visible ? QStringLiteral(" [shown]") : QStringLiteral(" [hidden]"));
    }

    void attach(SearchRun &run)
    {
        QObject::connect(&run, &SearchRun::runStarted, &run, [this] { add(QStringLiteral("started")); });
        QObject::connect(&run, &SearchRun::headingChanged, &run, [this](const QString &t) { add(t); });
        QObject::connect(&run, &SearchRun::statusChanged, &run, [this](const QString &t) { add(t); });
        QObject::connect(&run, &SearchRun::totalChanged, &run,
                         [this](const QString &t, bool visible) { add(Shown(t, visible)); });
        QObject::connect(&run, &SearchRun::leftChanged, &run,
                         [this](const QString &t, bool visible, int) { add(Shown(t, visible)); });
        QObject::connect(&run, &SearchRun::rowsFound, &run, [this](const QList<ResultRow> &found) {
            rows += found;
            add(QStringLiteral("rows ") + QString::number(found.size()));
        });
        QObject::connect(&run, &SearchRun::searchDone, &run, [this] {
            ++done;
            add(QStringLiteral("done"));
        });
        QObject::connect(&run, &SearchRun::failed, &run, [this](const UserMessage &m) {
            messages << m;
            add(QStringLiteral("message: ") + m.text);
        });
    }
};

QStringList PlayerNames(const QList<ResultRow> &rows)
{
    QStringList names;
    for (const ResultRow &row : rows)
        names << row.cell(ResultRow::PlayerName);
    names.sort();
    return names;
}

} // namespace

class TestSearchRun final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullRunOverThreePages();
    void capStopsTheDownload_data();
    void capStopsTheDownload();
    void neverMoreQueriesThanSockets_data();
    void neverMoreQueriesThanSockets();
    void serversLeftPercentages_data();
    void serversLeftPercentages();
    void stopEndsTheQueriesAtOnce();
    void tearDownDuringDownload();
    void tearDownDuringQueries();
    void lateReplyAfterTheEndReportsItAgain();
    void repliesThatAreNotTheAnswer_data();
    void repliesThatAreNotTheAnswer();
    void pingIsTheTimeToTheReply();
    void masterFailures_data();
    void masterFailures();
    void masterTimeoutKeepsWhatArrived();
    void forgedMasterRepliesIgnored();
    void restartInsideTheMessageSlot();
    void restartInsideTheRowsSlot();
    void restartInsideAReport_data();
    void restartInsideAReport();
};

void TestSearchRun::fullRunOverThreePages()
{
    ServerPopulation servers;
    QVERIFY(servers.start(7));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(servers.entries());
    master.setPageSize(3);

    SearchRun run;
    Log log;
    log.attach(run);
    SearchCriteria criteria = Criteria(master.addressText(), 2);
    criteria.GameFilter = QStringLiteral("valve");
    criteria.MapFilter = QStringLiteral("crossfire");
    run.start(criteria);
    QCOMPARE(log.lines, QStringList({"started", "Status: Downloading Server List...", "Searching For Players...",
                                     "Total Servers: [hidden]", "Servers Left: [hidden]"}));

    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(servers.totalPlayersRequests(), 7, Wait);

    const QByteArray filter = "\\gamedir\\valve\\map\\crossfire\\empty\\1";
    QCOMPARE(master.requests(), QList<QByteArray>({MasterRequestBytes(QByteArray(4, '\0'), filter),
                                                   MasterRequestBytes(MasterPageKey(0), filter),
                                                   MasterRequestBytes(MasterPageKey(1), filter)}));
    QCOMPARE(servers.askedTwice(), 0);
    QCOMPARE(servers.neverAsked(), 0);
    QCOMPARE(run.serverCount(), 7);

    const int expected = PlayersIn(0, 7);
    QCOMPARE(log.rows.size(), expected);
    QCOMPARE(run.rowCount(), expected);
    QStringList names;
    for (int i = 0; i < 7; ++i)
        for (const FakePlayer &p : ServerPopulation::PlayersFor(i))
            names << QString::fromLatin1(p.Name);
    names.sort();
    QCOMPARE(PlayerNames(log.rows), names);
    // Every row names the server that sent it.
    for (const ResultRow &row : std::as_const(log.rows)) {
        QCOMPARE(row.cell(ResultRow::ServerIp), QStringLiteral("127.0.0.1"));
        const QString name = row.cell(ResultRow::PlayerName);
        const int server = name.mid(6, name.indexOf(QLatin1Char('_')) - 6).toInt();
        QCOMPARE(row.cell(ResultRow::Port), QString::number(servers.server(server)->port()));
    }

    QVERIFY(log.lines.contains("Status: Downloading Server List (3)..."));
    QVERIFY(log.lines.contains("Status: Downloading Server List (6)..."));
    QVERIFY(log.lines.contains("Status: Downloading Server List (7)..."));
    QVERIFY(log.lines.contains("Total Servers: 7 [shown]"));
    QVERIFY(log.lines.contains("Servers Left: 7 (100%) [shown]"));
    QVERIFY(log.lines.contains("Servers Left: 0 (0%) [shown]"));
    QVERIFY(log.lines.contains("Status: Refreshing 127.0.0.1:" + QString::number(servers.server(6)->port()) + "..."));
    QCOMPARE(run.status(), QStringLiteral("Status: Done."));
    QCOMPARE(run.heading(), QString::number(expected) + " Players Found");
    QVERIFY(!run.isQuerying());
    QCOMPARE(log.lines.mid(log.lines.lastIndexOf("Status: Done.")),
             QStringList({"Status: Done.", QString::number(expected) + " Players Found", "Total Servers: 7 [hidden]",
                          "Servers Left: 0 (0%) [hidden]", "done"}));
    QVERIFY(log.messages.isEmpty());
}

void TestSearchRun::capStopsTheDownload_data()
{
    QTest::addColumn<int>("cap");
    QTest::addColumn<int>("requests");

    QTest::newRow("midPage") << 4 << 2;
    QTest::newRow("pageBoundary") << 3 << 1;
    QTest::newRow("beyondList") << 50 << 3;
}

void TestSearchRun::capStopsTheDownload()
{
    QFETCH(int, cap);
    QFETCH(int, requests);

    ServerPopulation servers;
    QVERIFY(servers.start(7));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(servers.entries());
    master.setPageSize(3);

    SearchRun run;
    Log log;
    log.attach(run);
    SearchCriteria criteria = Criteria(master.addressText(), 99);
    criteria.EnableMaxServers = true;
    criteria.MaxServerAmount = cap;
    run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait);

    const int taken = qMin(cap, 7);
    QCOMPARE(master.requests().size(), requests);
    QCOMPARE(run.serverCount(), taken);
    QCOMPARE(servers.totalPlayersRequests(), taken);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(servers.server(i)->requestCount(FakeGameServer::Kind::Players), i < taken ? 1 : 0);
    QVERIFY(log.lines.contains("Total Servers: " + QString::number(taken) + " [shown]"));
    QCOMPARE(run.heading(), QString::number(PlayersIn(0, taken)) + " Players Found");
}

void TestSearchRun::neverMoreQueriesThanSockets_data()
{
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("connections");

    QTest::newRow("oneSocket") << 6 << 1;
    QTest::newRow("fiveSockets") << 40 << 5;
    QTest::newRow("moreSocketsThanServers") << 3 << 20;
}

void TestSearchRun::neverMoreQueriesThanSockets()
{
    QFETCH(int, servers);
    QFETCH(int, connections);

    ServerPopulation population;
    // A reply delay keeps queries in flight long enough for an excess to show on the servers.
    QVERIFY(population.start(servers, 30));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());

    SearchRun run;
    Log log;
    log.attach(run);
    run.start(Criteria(master.addressText(), connections, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait * 3);

    QCOMPARE(population.neverAsked(), 0);
    QCOMPARE(population.askedTwice(), 0);
    QVERIFY2(population.peakOutstanding() <= connections, qPrintable(QString::number(population.peakOutstanding())));
    QCOMPARE(run.peakOutstanding(), qMin(servers, connections));
    // Every socket that finds the list exhausted reports the end once.
    QCOMPARE(log.done, qMin(servers, connections));
    QCOMPARE(log.rows.size(), PlayersIn(0, servers));
}

void TestSearchRun::serversLeftPercentages_data()
{
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("connections");
    QTest::addColumn<QString>("firstHandOut");

    // The first round leaves the label at 100%; the next entry handed out is connections + 1.
    QTest::newRow("L200_entry21") << 200 << 20 << "Servers Left: 179 (90%)";
    QTest::newRow("L200_entry2") << 200 << 1 << "Servers Left: 198 (99%)";
    QTest::newRow("L100_entry29_doubleRounding") << 100 << 28 << "Servers Left: 71 (72%)";
    QTest::newRow("L3_entry3_last") << 3 << 2 << "Servers Left: 0 (0%)";
}

void TestSearchRun::serversLeftPercentages()
{
    QFETCH(int, servers);
    QFETCH(int, connections);
    QFETCH(QString, firstHandOut);

    ServerPopulation population;
    QVERIFY(population.start(servers));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());

    SearchRun run;
    QStringList left;
    QList<int> percents;
    connect(&run, &SearchRun::leftChanged, this, [&](const QString &text, bool visible, int percent) {
        if (visible && !text.endsWith(QLatin1String("(100%)"))) {
            left << text;
            percents << percent;
        }
    });
    run.start(Criteria(master.addressText(), connections));
    QTRY_VERIFY_WITH_TIMEOUT(!left.isEmpty(), Wait);
    QCOMPARE(left.first(), firstHandOut);
    const int shown = firstHandOut.section(QLatin1Char('('), 1).section(QLatin1Char('%'), 0, 0).toInt();
    QCOMPARE(percents.first(), 100 - shown);
    run.tearDown();
}

void TestSearchRun::stopEndsTheQueriesAtOnce()
{
    ServerPopulation population;
    QVERIFY(population.start(6, 400));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());

    SearchRun run;
    Log log;
    log.attach(run);
    run.start(Criteria(master.addressText(), 3));
    QTRY_COMPARE_WITH_TIMEOUT(population.totalPlayersRequests(), 3, Wait);
    QVERIFY(run.isQuerying());
    log.lines.clear();
    run.stop();
    QCOMPARE(log.lines, QStringList({"Status: Done.", "0 Players Found", "Total Servers: 6 [hidden]",
                                     "Servers Left: 6 (100%) [hidden]", "done"}));
    QCOMPARE(run.outstanding(), 0);

    // The servers answer after their delay; nothing of it may reach the run.
    QTRY_COMPARE_WITH_TIMEOUT(population.server(0)->repliesSent(), 1, Wait);
    QTest::qWait(200);
    QCOMPARE(log.lines.size(), 5);
    QCOMPARE(population.totalPlayersRequests(), 3);
}

void TestSearchRun::tearDownDuringDownload()
{
    ServerPopulation population;
    QVERIFY(population.start(4));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());
    master.setPageSize(2);
    master.setReplyDelay(300);

    SearchRun run;
    run.setMasterTimeout(600ms);
    Log log;
    log.attach(run);
    run.start(Criteria(master.addressText()));
    QTRY_COMPARE_WITH_TIMEOUT(master.requests().size(), 1, Wait);
    run.tearDown();
    log.lines.clear();

    // The delayed page and the master time-out both pass: neither a text nor a message.
    QTRY_COMPARE_WITH_TIMEOUT(master.repliesSent(), 1, Wait);
    QTest::qWait(800);
    QVERIFY2(log.lines.isEmpty(), qPrintable(log.lines.join(QLatin1Char('|'))));
    QCOMPARE(master.requests().size(), 1);
    QCOMPARE(population.totalPlayersRequests(), 0);

    // A fresh run starts from nothing and completes.
    master.setReplyDelay(0);
    run.start(Criteria(master.addressText()));
    QCOMPARE(run.rowCount(), 0);
    QCOMPARE(run.heading(), QStringLiteral("Searching For Players..."));
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait);
    QCOMPARE(run.rowCount(), PlayersIn(0, 4));
    QVERIFY(log.messages.isEmpty());
}

void TestSearchRun::tearDownDuringQueries()
{
    ServerPopulation population;
    QVERIFY(population.start(5, 300));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());

    SearchRun run;
    Log log;
    log.attach(run);
    run.start(Criteria(master.addressText(), 2, 500));
    QTRY_COMPARE_WITH_TIMEOUT(population.totalPlayersRequests(), 2, Wait);
    run.tearDown();
    log.lines.clear();
    QCOMPARE(run.outstanding(), 0);

    // Replies and time-outs of the old run would both have fired by now.
    QTRY_COMPARE_WITH_TIMEOUT(population.server(0)->repliesSent() + population.server(1)->repliesSent(), 2, Wait);
    QTest::qWait(700);
    QVERIFY2(log.lines.isEmpty(), qPrintable(log.lines.join(QLatin1Char('|'))));
    QCOMPARE(population.totalPlayersRequests(), 2);
}

void TestSearchRun::lateReplyAfterTheEndReportsItAgain()
{
    // Three servers, two sockets: the slow one outlives its time-out and the end of the run.
    ServerPopulation population;
    QVERIFY(population.start(3));
    population.server(1)->setReplyDelay(700);
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());

    SearchRun run;
    Log log;
    log.attach(run);
    QSignalSpy timedOut(&run, &SearchRun::serverTimedOut);
    run.start(Criteria(master.addressText(), 2, 250));
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1, Wait);
    const int before = PlayersIn(0, 1) + PlayersIn(2, 1);
    QTRY_COMPARE_WITH_TIMEOUT(timedOut.size(), 1, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(run.heading(), QString::number(before) + " Players Found", Wait);
    QCOMPARE(timedOut.at(0).at(1).toInt(), int(population.server(1)->port()));
    // Both sockets found the list exhausted: one after its reply, one after its time-out.
    QCOMPARE(log.done, 2);
    QCOMPARE(run.outstanding(), 0);

    // The late reply still brings its rows and moves the count on.
    QTRY_COMPARE_WITH_TIMEOUT(log.done, 3, Wait);
    const int after = before + PlayersIn(1, 1);
    QCOMPARE(run.heading(), QString::number(after) + " Players Found");
    QCOMPARE(log.rows.size(), after);
    QCOMPARE(population.totalPlayersRequests(), 3);
}

void TestSearchRun::repliesThatAreNotTheAnswer_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("rows");

    QTest::newRow("emptyDatagramIsTheAnswer") << "empty" << true << 0;
    QTest::newRow("spoofFromOtherPortDropped") << "spoof" << true << 2;
    QTest::newRow("splitReplyReassembled") << "split" << true << 2;
    QTest::newRow("splitPiecesOutOfOrder") << "splitReversed" << true << 2;
    QTest::newRow("lonePieceIsNoAnswer") << "lonePiece" << false << 0;
    QTest::newRow("cutOffReplyStillCounts") << "cut" << true << 1;
}

void TestSearchRun::repliesThatAreNotTheAnswer()
{
    QFETCH(QString, kind);
    QFETCH(bool, answered);
    QFETCH(int, rows);

    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers({{"player_one", 3, 10.f}, {"player_two", -1, 3725.9f}});
    if (kind == QLatin1String("empty"))
        server.setRawReply(FakeGameServer::Kind::Players, QByteArray());
    else if (kind == QLatin1String("spoof"))
        server.setSpoof(EncodePlayersReply({{"player_spoofed", 99, 1.f}}));
    else if (kind == QLatin1String("split"))
        server.setSplit(12);
    else if (kind == QLatin1String("splitReversed"))
        server.setSplit(12, {3, 2, 1, 0});
    else if (kind == QLatin1String("lonePiece"))
        server.setSplit(12, {0});
    else if (kind == QLatin1String("cut"))
        server.setCutOff(30); // inside the second record

    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries({server.entry()});

    SearchRun run;
    Log log;
    log.attach(run);
    QSignalSpy answers(&run, &SearchRun::serverAnswered);
    QSignalSpy timeouts(&run, &SearchRun::serverTimedOut);
    run.start(Criteria(master.addressText(), 1, 400));
    QTRY_VERIFY_WITH_TIMEOUT(log.done == 1, Wait);
    QCOMPARE(answers.size(), answered ? 1 : 0);
    QCOMPARE(timeouts.size(), answered ? 0 : 1);
    QCOMPARE(log.rows.size(), rows);
    QCOMPARE(run.heading(), QString::number(rows) + " Players Found");
    if (rows == 2) {
        QCOMPARE(PlayerNames(log.rows), QStringList({"player_one", "player_two"}));
        QCOMPARE(log.rows.at(1).cell(ResultRow::Frags), QStringLiteral("-1"));
        QCOMPARE(log.rows.at(1).cell(ResultRow::Time), QStringLiteral("01:02:05"));
    }
}

void TestSearchRun::pingIsTheTimeToTheReply()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setPlayers({{"player", 0, 0.f}});
    server.setReplyDelay(200);
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries({server.entry()});

    SearchRun run;
    Log log;
    log.attach(run);
    QSignalSpy answers(&run, &SearchRun::serverAnswered);
    run.start(Criteria(master.addressText(), 1, 5000));
    QTRY_COMPARE_WITH_TIMEOUT(log.rows.size(), 1, Wait);
    // Lower bound only (timers may fire a little early, a busy machine makes it later).
    const int ping = log.rows.first().cell(ResultRow::Ping).toInt();
    QVERIFY2(ping >= 180 && ping <= 32767, qPrintable(QString::number(ping)));
    QCOMPARE(answers.first().at(2).toInt(), ping);
}

void TestSearchRun::masterFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("heading");

    const QString later = QStringLiteral("\r\n\r\nPlease try again later.");
    const QString unreachable =
        QStringLiteral("Unable to contact the master server.\r\n\r\nPlease check the address and try again.");
    QTest::newRow("badHeader") << "badHeader" << "Bad master server response." + later << "Searching For Players...";
    QTest::newRow("malformed") << "malformed"
                               << "An unknown error occurred while obtaining the server list." + later
                               << "0 Players Found";
    QTest::newRow("silent") << "silent" << "No servers received from master." + later << "0 Players Found";
    QTest::newRow("tooSlow") << "slow" << "No servers received from master." + later << "0 Players Found";
    QTest::newRow("emptyList") << "empty" << "No servers received from master." + later << "0 Players Found";
    // Names the resolver refuses before asking any name server: tests send nothing off this machine.
    QTest::newRow("invalidHostName") << "no such host:27010" << unreachable << "0 Players Found";
    QTest::newRow("emptyLabel") << "bad..host" << unreachable << "0 Players Found";
    QTest::newRow("portTooLarge") << "127.0.0.1:70000" << unreachable << "0 Players Found";
    QTest::newRow("portNegative") << "127.0.0.1:-5" << unreachable << "0 Players Found";
    QTest::newRow("noHost") << ":27010" << unreachable << "0 Players Found";
}

void TestSearchRun::masterFailures()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(QString, heading);

    FakeGameServer game;
    QVERIFY(game.listen());
    game.setPlayers({{"player", 1, 1.f}});
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries({game.entry(), game.entry()});
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
    Log log;
    log.attach(run);
    run.start(Criteria(address));
    QTRY_COMPARE_WITH_TIMEOUT(log.messages.size(), 1, Wait);
    QCOMPARE(log.messages.first(), (UserMessage{UserMessage::Icon::Exclamation, message}));
    // The message comes last, after the texts it explains.
    QCOMPARE(log.lines.last(), "message: " + message);
    QCOMPARE(log.lines.at(log.lines.size() - 2), QStringLiteral("done"));
    QCOMPARE(run.status(), QStringLiteral("Status: Done."));
    QCOMPARE(run.heading(), heading);
    QVERIFY(!run.isQuerying());

    // No query starts, no second message comes when the master time-out would have run out,
    // and a late page is ignored.
    QTest::qWait(800);
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(log.done, 1);
    QCOMPARE(game.requestCount(FakeGameServer::Kind::Players), 0);
    QVERIFY(master.requests().size() <= 1);
}

void TestSearchRun::masterTimeoutKeepsWhatArrived()
{
    ServerPopulation population;
    QVERIFY(population.start(6));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());
    master.setPageSize(2);
    master.setStopAfterPage(0);

    SearchRun run;
    run.setMasterTimeout(400ms);
    Log log;
    log.attach(run);
    run.start(Criteria(master.addressText()));
    QTRY_VERIFY_WITH_TIMEOUT(log.done == 2 && run.outstanding() == 0, Wait);
    QCOMPARE(run.serverCount(), 2);
    QCOMPARE(master.requests().size(), 2);
    QCOMPARE(population.totalPlayersRequests(), 2);
    QVERIFY(log.lines.contains("Total Servers: 2 [shown]"));
    QCOMPARE(run.heading(), QString::number(PlayersIn(0, 2)) + " Players Found");
    QVERIFY(log.messages.isEmpty());
}

void TestSearchRun::forgedMasterRepliesIgnored()
{
    // A forger on another port answers first, with a list of its own and with a bad header;
    // only the master that was asked may shape the list.
    ServerPopulation population;
    QVERIFY(population.start(3));
    FakeGameServer decoy;
    QVERIFY(decoy.listen());
    decoy.setPlayers({{"player_decoy", 1, 1.f}});
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries());
    master.setPageSize(2);
    master.setSpoof(EncodeMasterReply(QByteArray(4, '\0'), {decoy.entry()}));

    SearchRun run;
    Log log;
    log.attach(run);
    run.start(Criteria(master.addressText()));
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait);
    QCOMPARE(run.serverCount(), 3);
    QCOMPARE(master.requests().size(), 2);
    QCOMPARE(decoy.requests().size(), 0);
    QCOMPARE(population.totalPlayersRequests(), 3);

    master.setSpoof("garbage");
    log.lines.clear();
    log.messages.clear();
    log.done = 0;
    run.start(Criteria(master.addressText()));
    QTRY_VERIFY_WITH_TIMEOUT(log.done >= 1 && run.outstanding() == 0, Wait);
    QVERIFY(log.messages.isEmpty());
    QCOMPARE(run.serverCount(), 3);
}

void TestSearchRun::restartInsideTheMessageSlot()
{
    // A window shows the message in a modal box; inside its nested loop the user goes Back and
    // Next. The new run must see nothing of the old one.
    ServerPopulation population;
    QVERIFY(population.start(3));
    FakeMasterServer bad;
    QVERIFY(bad.listen());
    bad.setBadHeader(true);
    FakeMasterServer good;
    QVERIFY(good.listen());
    good.setEntries(population.entries());

    SearchRun run;
    Log log;
    log.attach(run);
    int restarts = 0;
    connect(&run, &SearchRun::failed, this, [&] {
        if (restarts++ == 0) {
            run.tearDown();
            run.start(Criteria(good.addressText()));
        }
    });
    run.start(Criteria(bad.addressText()));
    // One end for the failed run, one per socket that found the new list exhausted.
    QTRY_VERIFY_WITH_TIMEOUT(log.done == 4 && run.outstanding() == 0, Wait);
    QCOMPARE(restarts, 1);
    const qsizetype second = log.lines.lastIndexOf(QStringLiteral("started"));
    QCOMPARE(log.lines.mid(second, 5), QStringList({"started", "Status: Downloading Server List...",
                                                    "Searching For Players...", "Total Servers: [hidden]",
                                                    "Servers Left: [hidden]"}));
    // Nothing of the failed run follows its replacement's first texts.
    QCOMPARE(log.lines.at(second + 5), QStringLiteral("Status: Downloading Server List (3)..."));
    QCOMPARE(log.lines.count(QStringLiteral("started")), 2);
    QCOMPARE(log.messages.size(), 1);
    QCOMPARE(run.heading(), QString::number(PlayersIn(0, 3)) + " Players Found");
    QTest::qWait(300);
    QCOMPARE(log.done, 4);
}

void TestSearchRun::restartInsideTheRowsSlot()
{
    // Rows of the first reply arrive; a receiver starts over right there. The rest of that
    // reply's reports (its next query, its end texts) belong to a dead run and must not appear.
    ServerPopulation population;
    QVERIFY(population.start(4));
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries(population.entries().mid(1)); // every listed server has players

    SearchRun run;
    Log log;
    log.attach(run);
    bool restarted = false;
    connect(&run, &SearchRun::rowsFound, this, [&] {
        if (!restarted) {
            restarted = true;
            log.lines << QStringLiteral("restart");
            run.tearDown();
            run.start(Criteria(master.addressText(), 1));
        }
    });
    run.start(Criteria(master.addressText(), 1));
    QTRY_VERIFY_WITH_TIMEOUT(log.done == 1 && run.outstanding() == 0, Wait);
    const qsizetype at = log.lines.indexOf(QStringLiteral("restart"));
    QVERIFY(at > 0);
    QCOMPARE(log.lines.mid(at + 1, 6), QStringList({"started", "Status: Downloading Server List...",
                                                    "Searching For Players...", "Total Servers: 3 [hidden]",
                                                    "Servers Left: 3 (100%) [hidden]",
                                                    "Status: Downloading Server List (3)..."}));
    QCOMPARE(log.lines.count(QStringLiteral("started")), 2);
    QCOMPARE(run.rowCount(), PlayersIn(1, 3));
    QCOMPARE(run.heading(), QString::number(run.rowCount()) + " Players Found");
}

void TestSearchRun::restartInsideAReport_data()
{
    QTest::addColumn<bool>("badMaster");
    QTest::addColumn<QString>("trigger");

    QTest::newRow("failedRun_atStatus") << true << "Status: Done.";
    QTest::newRow("failedRun_atEnd") << true << "done";
    QTest::newRow("download_atTotal") << false << "Total Servers: 3 [shown]";
    QTest::newRow("download_atCount") << false << "Status: Downloading Server List (3)...";
    QTest::newRow("queries_atEnd") << false << "done";
}

void TestSearchRun::restartInsideAReport()
{
    // Whatever report a receiver starts over in, the rest of the old run's reports (its message
    // above all) must not follow: they would describe the new run wrongly.
    QFETCH(bool, badMaster);
    QFETCH(QString, trigger);

    ServerPopulation population;
    QVERIFY(population.start(3));
    FakeMasterServer first;
    QVERIFY(first.listen());
    first.setEntries(population.entries());
    first.setBadHeader(badMaster);
    FakeMasterServer second;
    QVERIFY(second.listen());
    second.setEntries(population.entries());
    second.setReplyDelay(200);

    SearchRun run;
    Log log;
    log.attach(run);
    qsizetype at = -1;
    log.onLine = [&](const QString &line) {
        if (at < 0 && line == trigger) {
            at = log.lines.size();
            run.tearDown();
            run.start(Criteria(second.addressText(), 1));
        }
    };
    run.start(Criteria(first.addressText(), 1));
    QTRY_VERIFY_WITH_TIMEOUT(at >= 0, Wait);
    QTRY_VERIFY_WITH_TIMEOUT(second.requests().size() == 1 && log.lines.size() >= at + 6, Wait);
    QCOMPARE(log.lines.mid(at, 6).first(), QStringLiteral("started"));
    QCOMPARE(log.lines.at(at + 5), QStringLiteral("Status: Downloading Server List (3)..."));
    QVERIFY(log.messages.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!run.isActive() && run.outstanding() == 0, Wait);
    QVERIFY(log.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestSearchRun)
#include "tst_searchrun.moc"
