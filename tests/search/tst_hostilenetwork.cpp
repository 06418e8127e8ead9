// The search against a malicious master and malicious game servers on loopback. Each test says
// what must hold: no row from a forged source, every real row found, the list and the traffic
// bounded by counts (never by the clock), and nothing ever sent to an address that cannot be a
// game server.

#include "FakeServers.h"
#include "HostileServers.h"
#include "protocol/QueryProtocol.h"
#include "protocol/ServerAddressRules.h"
#include "search/MasterClient.h"
#include "search/SearchRun.h"
#include "search/ServerList.h"
#include "search/ServerSocket.h"
#include "ui/RunTexts.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

using namespace rollcall;
using namespace rollcall::search;
using namespace rollcall::testsupport;
using namespace std::chrono_literals;

namespace {

constexpr int Wait = 20000; // bounded waits: generous, the machine is shared (and may run ASan)
const QByteArray FinalKey(4, '\0');

quint32 FloatBits(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every player's name matches: the tests count rows, not names.
SearchCriteria AnyName(const QString &master, int connections = 8, int timeoutMs = 2000)
{
    SearchCriteria c;
    c.Slots[0] = { true, true, "*" };
    c.MasterServer = master;
    c.MaxConnections = connections;
    c.QueryTimeout = timeoutMs;
    return c;
}

// A master that lists `entries` on one final page.
HostileServer::Script OnePage(const QList<FakeEntry> &entries)
{
    return [entries](int, const QByteArray &) {
        return QList<HostileSend> { { EncodeMasterReply(FinalKey, entries) } };
    };
}

// What a run found, and whether it has ended with every query settled.
struct RunLog
{
    explicit RunLog(SearchRun &run)
    {
        QObject::connect(
            &run, &SearchRun::rowsFound, &run, [this](const QList<ResultRow> &found) { rows += found; });
        QObject::connect(&run, &SearchRun::runEnded, &run, [this] { ++done; });
        QObject::connect(&run, &SearchRun::failed, &run,
            [this](const RunFailure &failure) { messages << ui::FailureMessage(failure).text; });
        QObject::connect(&run, &SearchRun::serverAnswered, &run, [this](const QString &ip, qint32 port) {
            answered << ip + QLatin1Char(':') + QString::number(port);
        });
        QObject::connect(&run, &SearchRun::serverTimedOut, &run, [this](const QString &ip, qint32 port) {
            timedOut << ip + QLatin1Char(':') + QString::number(port);
        });
        QObject::connect(&run, &SearchRun::masterListCut, &run, [this](int kept) { cut << kept; });
    }

    QStringList names() const
    {
        QStringList list;
        for (const ResultRow &row : rows)
            list << row.cell(ResultRow::PlayerName);
        list.sort();
        return list;
    }

    QList<ResultRow> rows;
    QStringList messages;
    QStringList answered;
    QStringList timedOut;
    QList<int> cut;
    int done = 0;
};

bool Settled(const SearchRun &run, const RunLog &log)
{
    return log.done >= 1 && run.outstanding() == 0;
}

} // namespace

Q_DECLARE_METATYPE(HostileSource)
Q_DECLARE_METATYPE(HostileSend)
Q_DECLARE_METATYPE(ListEnd)

class TestHostileNetwork final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forgedSourceIsIgnored_data();
    void forgedSourceIsIgnored();
    void junkFlood_data();
    void junkFlood();
    void masterPages_data();
    void masterPages();
    void endedListIsSearched_data();
    void endedListIsSearched();
    void ceilingIsANoticeAfterTheTexts();
    void unusableEntriesGetNoDatagram();
    void socketNeverSendsToUnusableAddresses_data();
    void socketNeverSendsToUnusableAddresses();
    void duplicateEntriesAreAskedOnce();
    void hostileReplies_data();
    void hostileReplies();
    void replyAfterTheTimeOutIsDropped();
};

void TestHostileNetwork::forgedSourceIsIgnored_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<HostileSource>("forger");

    for (const char *kind : { "info", "rules", "players", "splitPiece", "masterPage" }) {
        QTest::addRow("%s_otherPort", kind) << QString::fromLatin1(kind) << HostileSource::OtherPort;
        QTest::addRow("%s_otherAddress", kind) << QString::fromLatin1(kind) << HostileSource::OtherAddress;
    }
}

void TestHostileNetwork::forgedSourceIsIgnored()
{
    // Whatever the kind of reply, one that comes from anywhere but the address and port asked is
    // dropped unread, even when it arrives first and would be a perfectly good answer.
    QFETCH(QString, kind);
    QFETCH(HostileSource, forger);

    HostileServer server;
    QVERIFY(server.listen());
    if (forger == HostileSource::OtherAddress && !server.canForgeOtherAddress())
        QSKIP("This system has no 127.0.0.2 to forge from");

    QByteArray real;
    QByteArray forged;
    QList<HostileSend> script;
    if (kind == QLatin1String("masterPage")) {
        real = EncodeMasterReply(FinalKey, LoopbackEntries(1, 2));
        forged = EncodeMasterReply(FinalKey, LoopbackEntries(100, 3));
        script = { { forged, forger }, { real } };
    } else if (kind == QLatin1String("splitPiece")) {
        // The forger's first piece carries the real reply's id and count: were it taken, the
        // real first piece would be a repeat and the joined reply the forger's.
        real = EncodePlayersReply({ { "real_one", 1, 1.f }, { "real_two", 2, 2.f } });
        forged = EncodePlayersReply({ { "forged_one", 9, 9.f }, { "forged_two", 9, 9.f } });
        const QList<QByteArray> realPieces = SplitIntoPieces(real, 0x1234, 20);
        const QList<QByteArray> forgedPieces = SplitIntoPieces(forged, 0x1234, 20);
        QCOMPARE(realPieces.size(), forgedPieces.size());
        script = { { forgedPieces.first(), forger } };
        for (const QByteArray &piece : realPieces)
            script.append({ piece });
    } else {
        real = kind == QLatin1String("info") ? EncodeInfoReply({})
            : kind == QLatin1String("rules") ? EncodeRulesReply({ { "real", "1" } })
                                             : EncodePlayersReply({ { "real", 1, 1.f } });
        forged = kind == QLatin1String("info") ? EncodeInfoReply({ "x", "Forged" })
            : kind == QLatin1String("rules")   ? EncodeRulesReply({ { "forged", "1" } })
                                               : EncodePlayersReply({ { "forged", 1, 1.f } });
        script = { { forged, forger }, { forged, forger }, { real } };
    }
    server.setScript([script](int, const QByteArray &) { return script; });

    if (kind == QLatin1String("masterPage")) {
        MasterClient client;
        QSignalSpy finished(&client, &MasterClient::finished);
        client.start(server.addressText(), "\\empty\\1", std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
        QList<protocol::ServerEntry> expected;
        for (const FakeEntry &e : LoopbackEntries(1, 2))
            expected.append({ e.Address, e.Port });
        QCOMPARE(finished.first().first().value<QList<protocol::ServerEntry>>(), expected);
        return;
    }

    ServerSocket socket;
    QList<QByteArray> replies;
    connect(&socket, &ServerSocket::replyReceived, this, [&](const QByteArray &reply) { replies << reply; });
    socket.aim(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(socket.send("\xFF\xFF\xFF\xFF" + kind.toLatin1()));
    QTRY_VERIFY_WITH_TIMEOUT(!replies.isEmpty(), Wait);
    QCOMPARE(replies, QList<QByteArray> { real });
    QCOMPARE(socket.lastSenderAddress(), QStringLiteral("127.0.0.1"));
}

void TestHostileNetwork::junkFlood_data()
{
    QTest::addColumn<bool>("duringDownload");

    QTest::newRow("duringDownload") << true;
    QTest::newRow("duringQueries") << false;
}

void TestHostileNetwork::junkFlood()
{
    // 400 junk datagrams from forged sources before every real one: bad headers, forged pages
    // and replies, split pieces, empty datagrams. Every real row is found and none of the junk
    // becomes one; the master asked twice (two pages), each server once.
    QFETCH(bool, duringDownload);
    constexpr int JunkPerReply = 400;
    // In bursts a socket's receive buffer holds, so the system drops no real reply meanwhile.
    constexpr int Burst = 50;
    constexpr int RealDelayMs = (JunkPerReply / Burst) * 5 + 30;

    const auto junk = [](int i) -> QByteArray {
        switch (i % 5) {
        case 0:
            return EncodeMasterReply(FinalKey, LoopbackEntries(5000 + i, 1));
        case 1:
            return EncodePlayersReply({ { "junk" + QByteArray::number(i), 1, 1.f } });
        case 2:
            return SplitIntoPieces(EncodePlayersReply({ { "junk", 1, 1.f } }), 0x1234, 8).first();
        case 3:
            return QByteArray();
        default:
            return QByteArray(300, char(i));
        }
    };
    const auto flood = [junk](QList<HostileSend> &script) {
        for (int i = 0; i < JunkPerReply; ++i)
            script.append({ junk(i), i % 2 ? HostileSource::OtherPort : HostileSource::OtherAddress,
                1 + i / Burst * 5 });
    };

    HostileServer servers[3];
    QList<FakeEntry> entries;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(servers[i].listen());
        entries.append(servers[i].entry());
        const QByteArray reply = EncodePlayersReply({ { "real" + QByteArray::number(i), i, 1.f } });
        servers[i].setScript([=](int, const QByteArray &) {
            QList<HostileSend> script;
            if (!duringDownload)
                flood(script);
            script.append({ reply, HostileSource::Own, duringDownload ? 0 : RealDelayMs });
            return script;
        });
    }
    HostileServer master;
    QVERIFY(master.listen());
    if (!master.canForgeOtherAddress())
        QSKIP("This system has no 127.0.0.2 to forge from");
    master.setScript([=](int n, const QByteArray &) {
        QList<HostileSend> script;
        if (duringDownload)
            flood(script);
        script.append({ EncodeMasterReply(n == 0 ? MasterPageKey(0) : FinalKey, entries.mid(n * 2, 2)),
            HostileSource::Own, duringDownload ? RealDelayMs : 0 });
        return script;
    });

    SearchRun run;
    RunLog log(run);
    run.start(AnyName(master.addressText(), 3));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(run, log), Wait);
    QCOMPARE(log.names(), QStringList({ "real0", "real1", "real2" }));
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(master.requestCount(), 2);
    for (const HostileServer &server : servers)
        QCOMPARE(server.requestCount(), 1);
    QCOMPARE(run.serverCount(), 3);
}

void TestHostileNetwork::masterPages_data()
{
    QTest::addColumn<QString>("pages");
    QTest::addColumn<ListEnd>("end");
    QTest::addColumn<int>("servers");
    QTest::addColumn<int>("requests");

    const int ceiling = int(ServerList::Ceiling);
    const int barren = ServerList::MaxBarrenPages;
    // One datagram as large as UDP allows: every entry taken.
    QTest::newRow("giant_oneFullPage") << "giant" << ListEnd::LastPage << FullMasterPage << 1;
    QTest::newRow("empty_finalPage") << "emptyFinal" << ListEnd::LastPage << 0 << 1;
    // Full pages of new servers and new keys for ever: the list stops at the ceiling, after the
    // fewest pages that hold more than it, and the master is asked no more.
    QTest::newRow("endless_fullPages")
        << "endlessFull" << ListEnd::Ceiling << ceiling << ceiling / FullMasterPage + 1;
    QTest::newRow("endless_emptyPages") << "endlessEmpty" << ListEnd::BarrenPages << 0 << barren;
    QTest::newRow("endless_sameServersNewKeys") << "endlessSame" << ListEnd::BarrenPages << 5 << barren + 1;
    QTest::newRow("looping_keyCycle") << "keyCycle" << ListEnd::KeyRepeated << 15 << 3;
    QTest::newRow("looping_samePage") << "samePage" << ListEnd::KeyRepeated << 5 << 2;
}

void TestHostileNetwork::masterPages()
{
    QFETCH(QString, pages);
    QFETCH(ListEnd, end);
    QFETCH(int, servers);
    QFETCH(int, requests);

    HostileServer master;
    QVERIFY(master.listen());
    master.setScript([pages](int n, const QByteArray &) -> QList<HostileSend> {
        if (pages == QLatin1String("giant"))
            return { { EncodeMasterReply(FinalKey, LoopbackEntries(0, FullMasterPage)) } };
        if (pages == QLatin1String("emptyFinal"))
            return { { EncodeMasterReply(FinalKey, {}) } };
        if (pages == QLatin1String("endlessFull"))
            return { { EncodeMasterReply(
                MasterPageKey(n), LoopbackEntries(n * FullMasterPage, FullMasterPage)) } };
        if (pages == QLatin1String("endlessEmpty"))
            return { { EncodeMasterReply(MasterPageKey(n), {}) } };
        if (pages == QLatin1String("endlessSame"))
            return { { EncodeMasterReply(MasterPageKey(n), LoopbackEntries(0, 5)) } };
        if (pages == QLatin1String("keyCycle"))
            return { { EncodeMasterReply(MasterPageKey(n % 2), LoopbackEntries(n * 5, 5)) } };
        return { { EncodeMasterReply(MasterPageKey(7), LoopbackEntries(0, 5)) } };
    });

    MasterClient client;
    // Far longer than any of these lists takes: ending by time-out would show as TimedOut.
    client.setTimeoutInterval(60s);
    QSignalSpy finished(&client, &MasterClient::finished);
    QSignalSpy failed(&client, &MasterClient::failed);
    client.start(master.addressText(), "\\empty\\1", std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, Wait * 3);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(client.listEnd(), end);
    QCOMPARE(finished.first().first().value<QList<protocol::ServerEntry>>().size(), servers);
    QCOMPARE(client.serverCount(), servers);
    QCOMPARE(master.requestCount(), requests);
}

void TestHostileNetwork::endedListIsSearched_data()
{
    QTest::addColumn<QString>("pages");

    QTest::newRow("keyRepeated") << "keyCycle";
    QTest::newRow("emptyPagesAfterTheServers") << "thenEmpty";
}

void TestHostileNetwork::endedListIsSearched()
{
    // A looping or stalling master ends the list, not the run: the servers received are asked,
    // no message is shown, as for a list that ended normally.
    QFETCH(QString, pages);

    FakeGameServer games[2];
    for (FakeGameServer &game : games)
        QVERIFY(game.listen());
    games[0].setPlayers({ { "alpha", 1, 1.f } });
    games[1].setPlayers({ { "beta", 2, 2.f } });
    const QList<FakeEntry> entries = { games[0].entry(), games[1].entry() };
    HostileServer master;
    QVERIFY(master.listen());
    master.setScript([=](int n, const QByteArray &) {
        const QList<FakeEntry> page = n < 2 ? entries.mid(n, 1) : QList<FakeEntry>();
        const QByteArray key = pages == QLatin1String("keyCycle") ? MasterPageKey(n % 2) : MasterPageKey(n);
        return QList<HostileSend> { { EncodeMasterReply(key, page) } };
    });

    SearchRun run;
    RunLog log(run);
    run.start(AnyName(master.addressText()));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(run, log), Wait);
    QCOMPARE(log.names(), QStringList({ "alpha", "beta" }));
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(master.requestCount(), pages == QLatin1String("keyCycle") ? 3 : 2 + ServerList::MaxBarrenPages);
}

void TestHostileNetwork::ceilingIsANoticeAfterTheTexts()
{
    // Endless full pages through a whole run: the list stops at the ceiling, the query phase
    // starts with its texts, and then, last, the notice that the list was cut.
    HostileServer master;
    QVERIFY(master.listen());
    master.setScript([](int n, const QByteArray &) {
        return QList<HostileSend> { { EncodeMasterReply(
            MasterPageKey(n), LoopbackEntries(n * FullMasterPage, FullMasterPage)) } };
    });
    SearchRun run;
    run.setMasterTimeout(60s);
    RunLog log(run);
    QStringList order;
    connect(&run, &SearchRun::progressChanged, this, [&](const RunProgress &progress) {
        if (progress.phase == RunPhase::Querying)
            order << ui::TotalText(progress);
    });
    connect(&run, &SearchRun::masterListCut, this, [&](int kept) {
        order << QStringLiteral("cut ") + QString::number(kept);
        // The servers are on loopback ports where nothing listens; asking 100,000 of them would
        // only make the test slow.
        run.tearDown();
    });
    run.start(AnyName(master.addressText(), 1, 50));
    QTRY_COMPARE_WITH_TIMEOUT(log.cut.size(), 1, Wait * 3);
    QCOMPARE(log.cut.first(), int(ServerList::Ceiling));
    QCOMPARE(run.serverCount(), int(ServerList::Ceiling));
    QCOMPARE(order.mid(order.size() - 2), QStringList({ "Total Servers: 100000", "cut 100000" }));
    QCOMPARE(log.messages, QStringList());
    QCOMPARE(master.requestCount(), int(ServerList::Ceiling) / FullMasterPage + 1);
}

void TestHostileNetwork::unusableEntriesGetNoDatagram()
{
    // A master lists addresses no game server can have, all on the port a witness listens on.
    // Nothing reaches the witness (on Linux 0.0.0.0 would reach it through loopback, and a
    // broadcast or all-hosts multicast would be looped back to it), no query is made for them,
    // and the one real server is asked and found.
    QUdpSocket witness;
    // Listening only; any address so that a broadcast's local copy would arrive here too.
    QVERIFY(witness.bind(QHostAddress::AnyIPv4, 0));
    int witnessed = 0;
    connect(&witness, &QUdpSocket::readyRead, this, [&] {
        while (witness.hasPendingDatagrams()) {
            witness.receiveDatagram();
            ++witnessed;
        }
    });
    const quint16 port = witness.localPort();
    FakeGameServer game;
    QVERIFY(game.listen());
    game.setPlayers({ { "real", 1, 1.f } });
    const QList<FakeEntry> unusable = { { QStringLiteral("0.0.0.0"), port },
        { QStringLiteral("0.1.2.3"), port }, { QStringLiteral("255.255.255.255"), port },
        { QStringLiteral("224.0.0.1"), port }, { QStringLiteral("239.255.255.250"), port },
        { QStringLiteral("240.0.0.1"), port }, { QStringLiteral("127.0.0.1"), 0 } };
    for (const FakeEntry &entry : unusable)
        QVERIFY2(!protocol::IsQueryableServer({ entry.Address, entry.Port }), qPrintable(entry.Address));

    HostileServer master;
    QVERIFY(master.listen());
    master.setScript(OnePage(unusable + QList<FakeEntry> { game.entry() } + unusable));
    SearchRun run;
    RunLog log(run);
    run.start(AnyName(master.addressText(), 20, 300));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(run, log), Wait);
    QCOMPARE(run.serverCount(), 1);
    QCOMPARE(log.answered, QStringList { game.entry().Address + ':' + QString::number(game.port()) });
    QCOMPARE(log.timedOut, QStringList());
    QCOMPARE(log.names(), QStringList { "real" });
    // Anything sent would have left before the run settled; give loopback a moment to deliver.
    QTest::qWait(100);
    QCOMPARE(witnessed, 0);
}

void TestHostileNetwork::socketNeverSendsToUnusableAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("portZero");

    QTest::newRow("broadcast") << "255.255.255.255" << false;
    QTest::newRow("thisHost") << "0.0.0.0" << false;
    QTest::newRow("multicast") << "224.0.0.1" << false;
    QTest::newRow("reserved") << "240.0.0.1" << false;
    QTest::newRow("portZero") << "127.0.0.1" << true;
}

void TestHostileNetwork::socketNeverSendsToUnusableAddresses()
{
    // The last line behind the list rules: a socket aimed at such an address refuses to send,
    // without even opening, so no datagram can have left; a witness on the port confirms it.
    QFETCH(QString, address);
    QFETCH(bool, portZero);
    QUdpSocket witness;
    QVERIFY(witness.bind(QHostAddress::AnyIPv4, 0));
    ServerSocket socket;
    socket.aim(address, portZero ? 0 : witness.localPort());
    QVERIFY(!socket.send("\xFF\xFF\xFF\xFFplayers"));
    QVERIFY(!socket.isOpen());
    QVERIFY(!socket.findChild<QUdpSocket *>());

    // A socket that does send has had the broadcast permission Qt grants taken away, so the
    // system refuses a broadcast destination no rule can recognise (a subnet's).
    FakeGameServer game;
    QVERIFY(game.listen());
    socket.aim(QStringLiteral("127.0.0.1"), game.port());
    QVERIFY(socket.send("\xFF\xFF\xFF\xFFplayers"));
    auto *udp = socket.findChild<QUdpSocket *>();
    QVERIFY(udp);
#ifdef Q_OS_UNIX
    int broadcast = -1;
    socklen_t size = sizeof broadcast;
    QCOMPARE(::getsockopt(int(udp->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &broadcast, &size), 0);
    QCOMPARE(broadcast, 0);
#endif
    QTRY_COMPARE_WITH_TIMEOUT(game.requestCount(FakeGameServer::Kind::Players), 1, Wait);
    QVERIFY(!witness.hasPendingDatagrams());
}

void TestHostileNetwork::duplicateEntriesAreAskedOnce()
{
    // 1,000 copies of one server over two pages: asked once, its players once.
    FakeGameServer game;
    QVERIFY(game.listen());
    game.setPlayers({ { "once", 1, 1.f }, { "twice", 2, 2.f } });
    FakeGameServer other;
    QVERIFY(other.listen());
    other.setPlayers({ { "other", 3, 3.f } });
    const QList<FakeEntry> copies(500, game.entry());
    const FakeEntry otherEntry = other.entry();
    HostileServer master;
    QVERIFY(master.listen());
    master.setScript([=](int n, const QByteArray &) {
        return QList<HostileSend> { { n == 0 ? EncodeMasterReply(MasterPageKey(0), copies)
                                             : EncodeMasterReply(FinalKey, copies + QList { otherEntry }) } };
    });
    SearchRun run;
    RunLog log(run);
    run.start(AnyName(master.addressText(), 50));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(run, log), Wait);
    QCOMPARE(run.serverCount(), 2);
    QCOMPARE(game.requestCount(FakeGameServer::Kind::Players), 1);
    QCOMPARE(other.requestCount(FakeGameServer::Kind::Players), 1);
    QCOMPARE(log.names(), QStringList({ "once", "other", "twice" }));
}

void TestHostileNetwork::hostileReplies_data()
{
    QTest::addColumn<QList<HostileSend>>("replies");
    QTest::addColumn<QStringList>("names"); // the rows found, sorted
    QTest::addColumn<QStringList>("times"); // their time cells, in reply order; empty: not checked
    QTest::addColumn<bool>("answered"); // false: the query times out

    const auto one = [](const QByteArray &bytes) { return QList<HostileSend> { { bytes } }; };
    const QByteArray bob = PlayerRecordBytes("bob", 1, FloatBits(60.f));
    const QByteArray eve = PlayerRecordBytes("eve", 2, FloatBits(61.f));

    // Far beyond the 1,400 bytes a server puts in one datagram: 255 records of 240-byte names.
    QList<QByteArray> records;
    QStringList longNames;
    for (int i = 0; i < 255; ++i) {
        const QByteArray name = QByteArray::number(i).rightJustified(3, '0') + QByteArray(237, 'n');
        records << PlayerRecordBytes(name, i, FloatBits(1.f));
        longNames << QString::fromLatin1(name);
    }
    longNames.sort();
    QTest::newRow("larger_thanAnyRealReply")
        << one(RawPlayersReply(255, records)) << longNames << QStringList() << true;

    // The count is the server's word; only whole records count.
    QTest::newRow("count_promisesMore")
        << one(RawPlayersReply(200, { bob, eve })) << QStringList({ "bob", "eve" }) << QStringList() << true;
    QTest::newRow("count_promisesFewer")
        << one(RawPlayersReply(1, { bob, eve })) << QStringList { "bob" } << QStringList() << true;
    QTest::newRow("count_zero") << one(RawPlayersReply(0, { bob, eve })) << QStringList() << QStringList()
                                << true;
    QTest::newRow("name_withoutItsEnd")
        << one(RawPlayersReply(2, { bob, PlayerRecordBytes(QByteArray(500, 'x'), 0, 0, false) }))
        << QStringList { "bob" } << QStringList() << true;
    QByteArray controls;
    for (int c = 1; c < 32; ++c)
        controls.append(char(c));
    controls.append('\x7F');
    QTest::newRow("name_everyControlByte")
        << one(RawPlayersReply(1, { PlayerRecordBytes(controls, 0, 0) }))
        << QStringList { QString::fromLatin1(controls) } << QStringList() << true;

    // Times no clock gives: no time at all, never a wrapped or undefined one.
    const float times[] = { 1e30f, std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), -1.f,
        std::numeric_limits<float>::max(), 2147483520.f };
    QList<QByteArray> timed;
    QStringList timedNames;
    for (size_t i = 0; i < std::size(times); ++i) {
        timed << PlayerRecordBytes("t" + QByteArray::number(qulonglong(i)), 0, FloatBits(times[i]));
        timedNames << "t" + QString::number(i);
    }
    QTest::newRow("time_hugeAndNonFinite")
        << one(RawPlayersReply(quint8(timed.size()), timed)) << timedNames
        << QStringList({ "00:00:00", "00:00:00", "00:00:00", "00:00:00", "00:00:00", "00:00:00",
               protocol::FormatPlayTime(2147483520) })
        << true;
    QTest::newRow("frags_extremes") << one(RawPlayersReply(2,
        { PlayerRecordBytes("low", std::numeric_limits<qint32>::min(), 0),
            PlayerRecordBytes("high", std::numeric_limits<qint32>::max(), 0) }))
                                    << QStringList({ "high", "low" }) << QStringList() << true;

    // Split replies that never become one.
    const QByteArray two = EncodePlayersReply({ { "bob", 1, 1.f }, { "eve", 2, 2.f } });
    const QList<QByteArray> pieces = SplitIntoPieces(two, 7, 12);
    QTest::newRow("split_neverCompletes") << QList<HostileSend> { { pieces.at(0) }, { pieces.at(2) } }
                                          << QStringList() << QStringList() << false;
    QList<HostileSend> repeated;
    for (const QByteArray &piece : pieces)
        repeated << HostileSend { piece } << HostileSend { piece };
    QTest::newRow("split_everyPieceTwice")
        << repeated << QStringList({ "bob", "eve" }) << QStringList() << true;
    // A second first piece with other bytes, and a piece whose count disagrees: the first word
    // holds, the rest is passed over.
    QByteArray conflicting = pieces.at(0);
    conflicting.replace(conflicting.size() - 3, 3, "zzz");
    QByteArray otherCount = pieces.at(1);
    otherCount[8] = char((1 << 4) | (pieces.size() + 1));
    QList<HostileSend> conflict = { { pieces.at(0) }, { conflicting }, { otherCount } };
    for (const QByteArray &piece : pieces.mid(1))
        conflict << HostileSend { piece };
    QTest::newRow("split_conflictingPieces")
        << conflict << QStringList({ "bob", "eve" }) << QStringList() << true;
    // Sixteen pieces of 4,500 bytes: more than any reply may hold; nothing is kept of it.
    const QList<QByteArray> giant = SplitIntoPieces(QByteArray("\xFF\xFF\xFF\xFF"
                                                               "D\x01",
                                                        6)
            + QByteArray(71994, 'g'),
        9, 4500);
    QList<HostileSend> giantSends;
    for (const QByteArray &piece : giant)
        giantSends << HostileSend { piece };
    QTest::newRow("split_beyondTheLargestReply") << giantSends << QStringList() << QStringList() << false;
}

void TestHostileNetwork::hostileReplies()
{
    // Replies that lie, overflow or never finish: the rows are what the reply really holds,
    // bounded by its bytes, and the run ends with every query settled.
    QFETCH(QList<HostileSend>, replies);
    QFETCH(QStringList, names);
    QFETCH(QStringList, times);
    QFETCH(bool, answered);

    HostileServer game;
    QVERIFY(game.listen());
    game.setScript([replies](int, const QByteArray &) { return replies; });
    HostileServer master;
    QVERIFY(master.listen());
    master.setScript(OnePage({ game.entry() }));

    SearchRun run;
    RunLog log(run);
    run.start(AnyName(master.addressText(), 1, answered ? 5000 : 300));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(run, log), Wait);
    QCOMPARE(log.answered.size(), answered ? 1 : 0);
    QCOMPARE(log.timedOut.size(), answered ? 0 : 1);
    QCOMPARE(log.names(), names);
    for (qsizetype i = 0; i < times.size(); ++i)
        QCOMPARE(log.rows.at(i).cell(ResultRow::Time), times.at(i));
    QCOMPARE(game.requestCount(), 1);
}

void TestHostileNetwork::replyAfterTheTimeOutIsDropped()
{
    // A server that answers after its time-out, once the socket has moved on to the next
    // server, adds nothing: its reply reaches a port that is no longer read.
    HostileServer slow;
    QVERIFY(slow.listen());
    slow.setScript([](int, const QByteArray &) {
        return QList<HostileSend> { { EncodePlayersReply({ { "late", 1, 1.f } }), HostileSource::Own, 400 } };
    });
    FakeGameServer quick;
    QVERIFY(quick.listen());
    quick.setPlayers({ { "quick", 1, 1.f } });
    HostileServer master;
    QVERIFY(master.listen());
    master.setScript(OnePage({ slow.entry(), quick.entry() }));

    SearchRun run;
    RunLog log(run);
    run.start(AnyName(master.addressText(), 1, 150));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(run, log) && slow.datagramsSent() == 1, Wait);
    QTest::qWait(100); // loopback delivers the late reply, if anything still reads it
    QCOMPARE(log.timedOut.size(), 1);
    QCOMPARE(log.names(), QStringList { "quick" });
}

QTEST_GUILESS_MAIN(TestHostileNetwork)
#include "tst_hostilenetwork.moc"
