// A whole Steam-mode search on loopback: the master's pages by seed and by app id, queries that
// start while the list still arrives, a list the master cuts short (searched, then said), the
// five-minute reuse of a complete list, A2S challenge rounds, UTF-8 names matched caselessly.

#include "LoopbackSteam.h"
#include "RunRecord.h"
#include "protocol/SteamMasterProtocol.h"
#include "search/SearchRun.h"
#include "search/SteamListCache.h"
#include "ui/RunTexts.h"

#include <QSet>
#include <QTest>

using namespace rollcall;
using namespace rollcall::search;
using namespace rollcall::loopbacksteam;
using namespace std::chrono_literals;
using Kind = FakeA2sServer::Kind;

namespace {

constexpr int Wait = 15000; // bounded waits: generous, the machine is shared

const QByteArray AllOfValve = "\\appid\\70\\gamedir\\valve\\empty\\1";

SearchCriteria SteamCriteria(const QString &master, const QByteArray &name = "player", int timeoutMs = 1000)
{
    SearchCriteria c;
    c.Protocol = ListProtocol::Steam;
    c.Region = 3;
    c.Slots[0] = { true, false, name };
    c.MasterServer = master;
    c.GameFilter = QStringLiteral("valve");
    c.MaxConnections = 4;
    c.QueryTimeout = timeoutMs;
    return c;
}

QString Key(const ServerEntry &entry)
{
    return entry.Address + ':' + QString::number(entry.Port);
}

// A run with its own list cache and short master waits, so no test depends on another.
struct Harness
{
    SteamListCache cache;
    SearchRun run;
    Record record { run };

    Harness()
    {
        run.setSteamListCache(&cache);
        run.setSteamReplyTimeout(600ms);
    }
};

} // namespace

class TestSearchSteam final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pagedList_data();
    void pagedList();
    void queriesStartWhileTheListArrives();
    void listCutShort_data();
    void listCutShort();
    void noList_data();
    void noList();
    void completeListReused();
    void challengeRounds_data();
    void challengeRounds();
    void unicodeNames_data();
    void unicodeNames();
    void spoofedRepliesIgnored();
};

void TestSearchSteam::pagedList_data()
{
    QTest::addColumn<bool>("withGame");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("cap"); // 0: none
    QTest::addColumn<int>("searched"); // servers asked, from server 0
    QTest::addColumn<int>("masterRequests");

    // 9 servers, 4 a page: seeds 0.0.0.0:0, the 4th, the 8th; the end marker rides the last page.
    QTest::newRow("game_threePages") << true << 4 << 0 << 9 << 3;
    // 9 is a whole number of pages of 3: the end marker comes alone on a fourth.
    QTest::newRow("game_endMarkerAlone") << true << 3 << 0 << 9 << 4;
    QTest::newRow("game_capMidPage") << true << 4 << 6 << 6 << 2;
    // Without a game, one list per app id; servers 3 to 5 are on the lists of 10 and 70.
    QTest::newRow("noGame_unionAskedOnce") << false << 4 << 0 << 9 << 10;
}

void TestSearchSteam::pagedList()
{
    QFETCH(bool, withGame);
    QFETCH(int, pageSize);
    QFETCH(int, cap);
    QFETCH(int, searched);
    QFETCH(int, masterRequests);

    A2sPopulation servers;
    QVERIFY(servers.start(9));
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.pageSize = pageSize;
    if (withGame) {
        master.lists.insert(AllOfValve, servers.entries());
    } else {
        master.lists.insert("\\appid\\10\\empty\\1", servers.entries(0, 6));
        master.lists.insert("\\appid\\70\\empty\\1", servers.entries(3, 6));
    }
    Harness h;
    SearchCriteria criteria = SteamCriteria(master.address());
    if (!withGame)
        criteria.GameFilter.clear();
    criteria.EnableMaxServers = cap > 0;
    criteria.MaxServerAmount = cap;
    h.run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(h.record.ended, Wait);

    QCOMPARE(h.record.failure, std::nullopt);
    QCOMPARE(h.record.notice, std::nullopt);
    QCOMPARE(h.record.names(), A2sPopulation::NamesOn(0, searched));
    QCOMPARE(h.record.answered.size(), searched);
    for (int i = 0; i < servers.size(); ++i) {
        // Challenge, then the players: two requests from a server asked once, none otherwise.
        QCOMPARE(servers.at(i).requests, i < searched ? 2 : 0);
        QCOMPARE(servers.at(i).answers, i < searched ? 1 : 0);
    }
    QCOMPARE(h.run.serverCount(), searched);
    QVERIFY(h.run.peakOutstanding() <= 4);
    QCOMPARE(master.requests.size(), masterRequests);
    if (withGame) {
        // Each page's seed is the last entry of the page before.
        for (int page = 0; page < masterRequests; ++page) {
            const ServerEntry seed
                = page == 0 ? protocol::FirstSteamSeed() : servers.at(page * pageSize - 1).entry();
            QCOMPARE(master.requests.at(page), protocol::BuildSteamMasterRequest(3, seed, AllOfValve));
        }
    } else {
        QStringList asked;
        for (const QByteArray &request : master.requests)
            asked << QString::fromLatin1(request.mid(2).split('\0').value(1));
        QCOMPARE(asked.first(), QStringLiteral("\\appid\\10\\empty\\1"));
        QCOMPARE(asked.last(), QStringLiteral("\\appid\\80\\empty\\1"));
    }
    // The list's counts never run ahead of what was listed.
    for (const RunProgress &p : h.record.progress)
        QVERIFY(p.left == p.listed - p.handedOut && p.listed <= searched);
    QCOMPARE(h.record.progress.last().phase, RunPhase::Done);
    QCOMPARE(h.record.progress.last().left, 0);
}

void TestSearchSteam::queriesStartWhileTheListArrives()
{
    A2sPopulation servers;
    QVERIFY(servers.start(6));
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.pageSize = 3;
    master.lists.insert(AllOfValve, servers.entries());
    Harness h;
    // One request each 800 ms: the second page is asked long after the first page's servers.
    h.run.setSteamPacing(1, 800ms);
    h.run.start(SteamCriteria(master.address()));
    QTRY_VERIFY_WITH_TIMEOUT(h.record.ended, Wait);

    QCOMPARE(master.requests.size(), 3); // the end marker comes on a page of its own
    QCOMPARE(h.record.names(), A2sPopulation::NamesOn(0, 6));
    for (int i = 0; i < 3; ++i)
        QVERIFY2(
            servers.at(i).requestTimes.first() < master.requestTimes.at(1), qPrintable(QString::number(i)));
    // The counts grow with the list: the first page's servers were being asked out of 3.
    const bool queriedOutOfThree = std::any_of(h.record.progress.cbegin(), h.record.progress.cend(),
        [](const RunProgress &p) { return p.phase == RunPhase::Refreshing && p.listed == 3; });
    QVERIFY(queriedOutOfThree);
}

void TestSearchSteam::listCutShort_data()
{
    QTest::addColumn<int>("cutAt"); // the page that is not answered, or is replaced
    QTest::addColumn<QByteArray>("replacement"); // empty: silence
    QTest::addColumn<RunNotice::Kind>("kind");

    QTest::newRow("silentAfterTwoPages") << 2 << QByteArray() << RunNotice::Kind::MasterStoppedAnswering;
    QTest::newRow("badHeaderThirdPage")
        << 2 << QByteArray::fromHex("FFFFFFFF660D0102030405") << RunNotice::Kind::BadMasterReply;
    QTest::newRow("malformedThirdPage")
        << 2 << QByteArray::fromHex("FFFFFFFF660A7F000001") << RunNotice::Kind::MalformedMasterReply;
}

void TestSearchSteam::listCutShort()
{
    QFETCH(int, cutAt);
    QFETCH(QByteArray, replacement);
    QFETCH(RunNotice::Kind, kind);

    A2sPopulation servers;
    QVERIFY(servers.start(12));
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.pageSize = 3;
    master.lists.insert(AllOfValve, servers.entries());
    if (replacement.isEmpty()) {
        master.silentAfter = cutAt;
    } else {
        master.replacedAt = cutAt;
        master.replacement = replacement;
    }
    Harness h;
    h.run.start(SteamCriteria(master.address()));
    QTRY_VERIFY_WITH_TIMEOUT(h.record.ended, Wait);
    QTRY_VERIFY_WITH_TIMEOUT(h.record.notice.has_value(), Wait);

    // What came before the cut is searched whole; nothing after it is asked.
    const int received = cutAt * 3;
    QCOMPARE(h.record.names(), A2sPopulation::NamesOn(0, received));
    for (int i = received; i < servers.size(); ++i)
        QCOMPARE(servers.at(i).requests, 0);
    QCOMPARE(h.record.failure, std::nullopt);
    QCOMPARE(h.record.notice->kind, kind);
    QCOMPARE(h.record.notice->listed, received);
    QCOMPARE(h.record.notice->masterAddress, master.address());
    QCOMPARE(h.run.notice(), h.record.notice);
    // Said once the rows are all in, last of all.
    QCOMPARE(h.record.events.last(), QStringLiteral("notice"));
    QCOMPARE(h.record.events.at(h.record.events.size() - 2), QStringLiteral("done"));
    // A list cut short is not kept: the next search asks the master again.
    QCOMPARE(h.cache.find(SteamListCache::keyFor(master.address(), 3, { AllOfValve })), std::nullopt);
}

void TestSearchSteam::noList_data()
{
    QTest::addColumn<int>("silentAfter"); // -1: never
    QTest::addColumn<QByteArray>("firstPage"); // empty: the list
    QTest::addColumn<RunFailure::Kind>("kind");
    QTest::addColumn<QString>("text");

    const QString later = QStringLiteral("\r\n\r\nPlease try again later.");
    QTest::newRow("silentFromTheStart") << 0 << QByteArray() << RunFailure::Kind::MasterTimedOut
                                        << "No servers received from master." + later;
    QTest::newRow("emptyList") << -1 << QByteArray() << RunFailure::Kind::NoServersListed
                               << "No servers received from master." + later;
    QTest::newRow("badHeader") << -1 << QByteArray::fromHex("FFFFFFFF660D")
                               << RunFailure::Kind::BadMasterReply << "Bad master server response." + later;
    QTest::newRow("malformed") << -1 << QByteArray::fromHex("FFFFFFFF660A7F00")
                               << RunFailure::Kind::MalformedMasterReply
                               << "An unknown error occurred while obtaining the server list." + later;
}

void TestSearchSteam::noList()
{
    QFETCH(int, silentAfter);
    QFETCH(QByteArray, firstPage);
    QFETCH(RunFailure::Kind, kind);
    QFETCH(QString, text);

    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.silentAfter = silentAfter;
    if (!firstPage.isEmpty()) {
        master.replacedAt = 0;
        master.replacement = firstPage;
    }
    Harness h;
    h.run.start(SteamCriteria(master.address()));
    QTRY_VERIFY_WITH_TIMEOUT(h.record.failure.has_value(), Wait);

    QCOMPARE(h.record.failure->kind, kind);
    QCOMPARE(h.record.failure->masterAddress, master.address());
    QCOMPARE(ui::FailureMessage(*h.record.failure).text, text);
    QCOMPARE(h.record.events, QStringList({ "done", "failed" }));
    QCOMPARE(h.record.notice, std::nullopt);
    QCOMPARE(master.requests.size(), 1);
}

void TestSearchSteam::completeListReused()
{
    A2sPopulation servers;
    QVERIFY(servers.start(5));
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.pageSize = 2;
    master.lists.insert(AllOfValve, servers.entries());
    SteamListCache cache;
    const auto search = [&](const SearchCriteria &criteria) {
        SearchRun run;
        run.setSteamListCache(&cache);
        Record record(run);
        run.start(criteria);
        [[maybe_unused]] const bool ended = QTest::qWaitFor([&] { return record.ended; }, Wait);
        return record.names();
    };
    const SearchCriteria criteria = SteamCriteria(master.address());
    QCOMPARE(search(criteria), A2sPopulation::NamesOn(0, 5));
    QCOMPARE(master.requests.size(), 3);

    // Within five minutes the same list is not asked again, but every server is: players change.
    servers.at(1).players << Player { "player_new", 0, 1.f };
    QStringList expected = A2sPopulation::NamesOn(0, 5) << QStringLiteral("player_new");
    expected.sort();
    QCOMPARE(search(criteria), expected);
    QCOMPARE(master.requests.size(), 3);
    QCOMPARE(servers.at(4).answers, 2);

    // A cap takes the first servers of the kept list.
    SearchCriteria capped = criteria;
    capped.EnableMaxServers = true;
    capped.MaxServerAmount = 2;
    QCOMPARE(search(capped).size(), A2sPopulation::PlayersFor(0).size() + 2);
    QCOMPARE(master.requests.size(), 3);

    // Another region is another list.
    SearchCriteria elsewhere = criteria;
    elsewhere.Region = 4;
    master.lists.insert(AllOfValve, servers.entries(0, 1));
    QCOMPARE(search(elsewhere), QStringList());
    QCOMPARE(master.requests.size(), 4);
}

void TestSearchSteam::challengeRounds_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<int>("requests");

    QTest::newRow("challengeThenPlayers") << Kind::Challenging << true << 2;
    QTest::newRow("playersAtOnce") << Kind::Direct << true << 1;
    QTest::newRow("challengeRenewedOnce") << Kind::Rechallenging << true << 3;
    // Three requests and no players: taken for silent, never a flood.
    QTest::newRow("alwaysChallenging_timedOut") << Kind::AlwaysChallenging << false << 3;
    QTest::newRow("silent_timedOut") << Kind::Silent << false << 1;
}

void TestSearchSteam::challengeRounds()
{
    QFETCH(Kind, kind);
    QFETCH(bool, answers);
    QFETCH(int, requests);

    // The odd server between two ordinary ones, on one socket: the next one is asked after it.
    A2sPopulation servers;
    QVERIFY(servers.start(3));
    servers.at(1).kind = kind;
    servers.at(1).players = { Player { "player_odd", 3, 30.f } };
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists.insert(AllOfValve, servers.entries());
    Harness h;
    SearchCriteria criteria = SteamCriteria(master.address(), "player", 300);
    criteria.MaxConnections = 1;
    h.run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(h.record.ended, Wait);

    const QString odd = Key(servers.at(1).entry());
    QCOMPARE(h.record.answered.contains(odd), answers);
    QCOMPARE(h.record.timedOut.contains(odd), !answers);
    QCOMPARE(servers.at(1).requests, requests);
    QCOMPARE(h.record.names().contains(QStringLiteral("player_odd")), answers);
    QCOMPARE(servers.at(2).answers, 1);
    QCOMPARE(h.run.peakOutstanding(), 1);
}

void TestSearchSteam::unicodeNames_data()
{
    QTest::addColumn<QByteArray>("typed"); // UTF-8, as the options page stores a Steam-mode name
    QTest::addColumn<bool>("wildcards");
    QTest::addColumn<QByteArray>("sent"); // the name's bytes on the wire
    QTest::addColumn<QString>("shown"); // the row's name cell; empty: no row

    QTest::newRow("cyrillic_typedUpper")
        << QByteArray("ИВАН") << false << QByteArray("ивангай") << QStringLiteral("ивангай");
    QTest::newRow("fullFolding_sharpS")
        << QByteArray("STRASSE") << false << QByteArray("Straße") << QStringLiteral("Straße");
    // Capital sigma and final sigma fold alike.
    QTest::newRow("pattern_greekFinalSigma")
        << QByteArray("*ΟΔΟΣ") << true << QByteArray("\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82")
        << QStringLiteral("\u03BF\u03B4\u03BF\u03C2");
    // Bytes that are not UTF-8 show as U+FFFD, one per ill-formed run, and the rest still matches.
    QTest::newRow("illFormed_shownReplaced")
        << QByteArray("gordon") << false << QByteArray("\xC3gordon\xE2\x82")
        << QStringLiteral("\uFFFDgordon\uFFFD");
    QTest::newRow("otherName_noRow") << QByteArray("иван") << false << QByteArray("ivan") << QString();
}

void TestSearchSteam::unicodeNames()
{
    QFETCH(QByteArray, typed);
    QFETCH(bool, wildcards);
    QFETCH(QByteArray, sent);
    QFETCH(QString, shown);

    A2sPopulation servers;
    QVERIFY(servers.start(1));
    servers.at(0).players = { Player { sent, 1, 1.f } };
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists.insert(AllOfValve, servers.entries());
    Harness h;
    SearchCriteria criteria = SteamCriteria(master.address(), typed);
    criteria.Slots[0].UseWildcards = wildcards;
    h.run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(h.record.ended, Wait);

    QCOMPARE(h.record.names(), shown.isEmpty() ? QStringList() : QStringList { shown });
}

void TestSearchSteam::spoofedRepliesIgnored()
{
    A2sPopulation servers;
    QVERIFY(servers.start(3));
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists.insert(AllOfValve, servers.entries(0, 2));
    // From another port: a page that would add server 2 and end the list, and a players reply
    // that would bring a row.
    master.spoof = SteamPage(servers.entries(2, 1), true);
    for (int i = 0; i < 2; ++i)
        servers.at(i).spoof = PlayersReply({ Player { "player_forged", 0, 0.f } });
    Harness h;
    h.run.start(SteamCriteria(master.address()));
    QTRY_VERIFY_WITH_TIMEOUT(h.record.ended, Wait);

    QCOMPARE(h.record.names(), A2sPopulation::NamesOn(0, 2));
    QCOMPARE(servers.at(2).requests, 0);
    QCOMPARE(h.run.serverCount(), 2);
}

QTEST_GUILESS_MAIN(TestSearchSteam)
#include "tst_searchsteam.moc"
