// The Steam fakes must speak the wire format the program reads and misbehave exactly as asked,
// or every Steam-mode test built on them proves nothing. They are checked with the program's
// own decoders, which the fakes do not share.

#include "SteamFakes.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "protocol/SplitReassembler.h"
#include "protocol/SteamMasterProtocol.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

using namespace rollcall;
using namespace rollcall::testsupport;

namespace {

// Sends, then spins the event loop (the fakes live on it) until `count` datagrams are in or
// `waitMs` have passed, and takes whatever else arrives within `graceMs`.
QList<QNetworkDatagram> exchange(QUdpSocket &client, quint16 port, const QByteArray &request, int count = 1,
    int graceMs = 50, int waitMs = 5000)
{
    client.writeDatagram(request, QHostAddress::LocalHost, port);
    QList<QNetworkDatagram> got;
    const auto drain = [&] {
        while (client.hasPendingDatagrams())
            got.append(client.receiveDatagram());
    };
    [[maybe_unused]] const bool arrived = QTest::qWaitFor(
        [&] {
            drain();
            return got.size() >= count;
        },
        waitMs);
    QTest::qWait(graceMs);
    drain();
    return got;
}

QByteArray only(const QList<QNetworkDatagram> &datagrams)
{
    return datagrams.size() == 1 ? datagrams.first().data() : QByteArray();
}

char letter(protocol::A2sReplyKind kind)
{
    switch (kind) {
    case protocol::A2sReplyKind::Challenge:
        return 'A';
    case protocol::A2sReplyKind::Players:
        return 'D';
    case protocol::A2sReplyKind::Rules:
        return 'E';
    case protocol::A2sReplyKind::InfoSource:
        return 'I';
    case protocol::A2sReplyKind::InfoGoldSrc:
        return 'm';
    case protocol::A2sReplyKind::Unknown:
        break;
    }
    return '?';
}

QList<FakeEntry> loopbackEntries(int count)
{
    QList<FakeEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append({ QStringLiteral("127.0.0.%1").arg(i + 2), quint16(27015 + i) });
    return entries;
}

QList<quint16> ports(const protocol::SteamMasterReply &reply)
{
    QList<quint16> out;
    for (const protocol::ServerEntry &entry : reply.Entries)
        out.append(entry.Port);
    return out;
}

} // namespace

class TestSteamFakes final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodersMatchKnownBytes();
    void infoEncodersDecode();
    void utf8NamesShownAsDecoded();
    void masterPagesBySeed();
    void masterFallsSilent();
    void masterBadReplies();
    void challengeModes_data();
    void challengeModes();
    void infoLayoutsAndLaterDatagrams();
    void splitRepliesOutOfOrder();
    void spoofedRepliesFromAnotherPort();
};

void TestSteamFakes::encodersMatchKnownBytes()
{
    QCOMPARE(EncodeA2sChallenge(QByteArray::fromHex("01020304")).toHex(), QByteArray("ffffffff4101020304"));
    QCOMPARE(EncodeSteamMasterReply({ { QStringLiteral("192.168.0.1"), 27015 } }, true).toHex(),
        QByteArray("ffffffff660a"
                   "c0a800016987"
                   "000000000000"));
    QCOMPARE(SteamMasterRequestBytes(3, "0.0.0.0:0", "\\empty\\1"),
        QByteArray("\x31\x03"
                   "0.0.0.0:0\0\\empty\\1\0",
            21));
    QCOMPARE(SteamMasterRequestBytes(255, "1.2.3.4:5", "\\appid\\10"),
        protocol::BuildSteamMasterRequest(255, { QStringLiteral("1.2.3.4"), 5 }, "\\appid\\10"));
}

void TestSteamFakes::infoEncodersDecode()
{
    FakeA2sInfo info;
    info.PlayerCount = 3;
    info.Bots = 1;
    info.ExtraFlags = 0xA1;
    info.GamePort = 27016;
    info.Keywords = "secure,ffa";
    const protocol::A2sInfo source = protocol::DecodeA2sInfo(EncodeA2sSourceInfo(info));
    QCOMPARE(source.HostName, std::optional(info.HostName));
    QCOMPARE(source.AppId, std::optional(quint32(10)));
    QCOMPARE(source.PlayerCount, std::optional(quint8(3)));
    QCOMPARE(source.Bots, std::optional(quint8(1)));
    QCOMPARE(source.Version, std::optional(info.Version));
    QCOMPARE(source.GamePort, std::optional(quint16(27016)));
    QCOMPARE(source.Keywords, std::optional(info.Keywords));

    // The old layout, with and without the mod fields: the bots byte at the end is only
    // reached when everything before it was where it belongs.
    for (bool mod : { true, false }) {
        info.Mod = mod;
        const protocol::A2sInfo goldSrc
            = protocol::DecodeA2sInfo(EncodeA2sGoldSrcInfo(info, "127.0.0.1:27015"));
        QCOMPARE(goldSrc.GameDirectory, std::optional(info.GameDirectory));
        QCOMPARE(goldSrc.ProtocolVersion, std::optional(quint8(47)));
        QCOMPARE(goldSrc.Secure, std::optional(true));
        QCOMPARE(goldSrc.Bots, std::optional(quint8(1)));
    }
}

void TestSteamFakes::utf8NamesShownAsDecoded()
{
    for (const FakeUtf8Name &name : Utf8Names())
        QCOMPARE(protocol::Utf8(name.Bytes), name.Shown);
}

void TestSteamFakes::masterPagesBySeed()
{
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.setEntries(loopbackEntries(5));
    master.setPageSize(3);
    master.setEntriesForFilter("\\appid\\10", loopbackEntries(1));
    master.setReplyForSeed("9.9.9.9:9", "scripted");
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    const auto page = [&](const QByteArray &seed, const QByteArray &filter = {}) {
        return protocol::ParseSteamMasterReply(
            only(exchange(client, master.port(), SteamMasterRequestBytes(3, seed, filter))));
    };

    const protocol::SteamMasterReply first = page("0.0.0.0:0");
    QCOMPARE(ports(first), (QList<quint16> { 27015, 27016, 27017 }));
    QVERIFY(!first.Ended);
    const protocol::SteamMasterReply second = page("127.0.0.4:27017");
    QCOMPARE(ports(second), (QList<quint16> { 27018, 27019 }));
    QVERIFY(second.Ended);
    QVERIFY(page("127.0.0.6:27019").Ended);
    QCOMPARE(ports(page("127.0.0.9:1")), ports(first)); // a seed it never listed starts over
    QCOMPARE(ports(page("0.0.0.0:0", "\\appid\\10")), (QList<quint16> { 27015 }));
    QCOMPARE(only(exchange(client, master.port(), SteamMasterRequestBytes(0, "9.9.9.9:9", {}))),
        QByteArray("scripted"));

    const QList<FakeSteamMaster::Request> requests = master.requests();
    QCOMPARE(requests.size(), 6);
    QVERIFY(requests[1].wellFormed && requests[1].answered);
    QCOMPARE(requests[1].region, quint8(3));
    QCOMPARE(requests[1].seed, QByteArray("127.0.0.4:27017"));
    QCOMPARE(requests[4].filter, QByteArray("\\appid\\10"));
    QCOMPARE(requests[1].fromPort, client.localPort());
}

void TestSteamFakes::masterFallsSilent()
{
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.setEntries(loopbackEntries(2));
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    const QByteArray request = SteamMasterRequestBytes(255, "0.0.0.0:0", {});
    // Silence is waited out for 200 ms; a reply comes at once.
    const auto answered = [&] { return exchange(client, master.port(), request, 1, 0, 200).size(); };

    master.setDroppedRequests({ 1 });
    QCOMPARE(answered(), 1);
    QCOMPARE(answered(), 0);
    QCOMPARE(answered(), 1);
    QCOMPARE(master.requests()[1].answered, false);

    // Two more replies, then silence for a second, then replies again.
    master.setRateLimit(2, 1000);
    QCOMPARE(answered(), 1);
    QCOMPARE(answered(), 1);
    QCOMPARE(answered(), 0);
    QCOMPARE(answered(), 0);
    QTest::qWait(1100);
    QCOMPARE(answered(), 1);

    master.setRateLimit(0, 0);
    master.setSilentAfter(master.repliesSent() + 1);
    QCOMPARE(answered(), 1);
    QCOMPARE(answered(), 0);

    // A malformed request is recorded, never answered.
    master.setSilentAfter(-1);
    const QByteArray unended("\x31\xFF"
                             "0.0.0.0:0");
    QCOMPARE(exchange(client, master.port(), unended, 1, 0, 200).size(), 0);
    QVERIFY(!master.requests().last().wellFormed);
}

void TestSteamFakes::masterBadReplies()
{
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.setEntries(loopbackEntries(2));
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    const QByteArray request = SteamMasterRequestBytes(255, "0.0.0.0:0", {});

    master.setBadHeader(true);
    QCOMPARE(protocol::ParseSteamMasterReply(only(exchange(client, master.port(), request))).Status,
        protocol::SteamMasterReplyStatus::BadHeader);
    master.setBadHeader(false);
    master.setMalformed(true);
    const protocol::SteamMasterReply cut
        = protocol::ParseSteamMasterReply(only(exchange(client, master.port(), request)));
    QCOMPARE(cut.Status, protocol::SteamMasterReplyStatus::Malformed);
    QCOMPARE(cut.Entries.size(), 2); // the end marker was the entry cut
    QVERIFY(!cut.Ended);
}

void TestSteamFakes::challengeModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("infoChallenge");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("replies"); // each reply's type as a client following challenges sees it
    QTest::addColumn<QByteArray>("rawChallenge"); // sent instead of each challenge, if any

    const int required = int(FakeA2sServer::Challenges::Required);
    QTest::newRow("players_required") << required << false << "players" << QByteArray("AD") << QByteArray();
    QTest::newRow("rules_required") << required << false << "rules" << QByteArray("AE") << QByteArray();
    QTest::newRow("players_direct") << int(FakeA2sServer::Challenges::Direct) << false << "players"
                                    << QByteArray("D") << QByteArray();
    QTest::newRow("players_always") << int(FakeA2sServer::Challenges::Always) << false << "players"
                                    << QByteArray("AAAAA") << QByteArray();
    QTest::newRow("players_stale") << int(FakeA2sServer::Challenges::Stale) << false << "players"
                                   << QByteArray("AAD") << QByteArray();
    QTest::newRow("info_bare") << required << false << "info" << QByteArray("I") << QByteArray();
    QTest::newRow("info_challenged") << required << true << "info" << QByteArray("AI") << QByteArray();
    // A challenge one byte short is no challenge: a client has nothing to repeat the request with.
    QTest::newRow("players_shortChallenge")
        << required << false << "players" << QByteArray("?") << QByteArray::fromHex("ffffffff41010203");
}

void TestSteamFakes::challengeModes()
{
    QFETCH(int, mode);
    QFETCH(bool, infoChallenge);
    QFETCH(QString, kind);
    QFETCH(QByteArray, replies);
    QFETCH(QByteArray, rawChallenge);
    FakeA2sServer server;
    QVERIFY(server.listen());
    if (!rawChallenge.isEmpty())
        server.setRawChallenge(rawChallenge);
    server.setChallenges(FakeA2sServer::Challenges(mode));
    server.setInfoChallenge(infoChallenge);
    server.setPlayers({ { "Bob", 1, 2.f } });
    server.setRules({ { "mp_timelimit", "20" } });
    const auto build = kind == QLatin1String("players") ? protocol::BuildA2sPlayersRequest
        : kind == QLatin1String("rules")                ? protocol::BuildA2sRulesRequest
                                                        : protocol::BuildA2sInfoRequest;
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    QByteArray seen;
    QSet<QByteArray> challenges;
    std::optional<QByteArray> challenge;
    for (int round = 0; round < 5; ++round) {
        const protocol::A2sReplyClass reply
            = protocol::ClassifyA2sReply(only(exchange(client, server.port(), build(challenge))));
        seen += letter(reply.Kind);
        if (reply.Kind != protocol::A2sReplyKind::Challenge)
            break;
        challenges.insert(reply.Challenge);
        challenge = reply.Challenge;
    }
    QCOMPARE(seen, replies);
    // Every challenge handed out was a new one, and the last is what the server expects now.
    QCOMPARE(challenges.size(), int(replies.count('A')));
    if (challenge)
        QCOMPARE(*challenge, server.challengeFor(client.localPort()));
    QCOMPARE(server.challengesSent(), int(replies.count('A') + replies.count('?')));
}

void TestSteamFakes::infoLayoutsAndLaterDatagrams()
{
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setPlayers({ { "Bob", 1, 2.f }, { "Eve", 3, 4.f } });
    server.setInfoLayout(FakeA2sServer::InfoLayout::GoldSrcEmptyPlayersSource);
    server.setLaterInfoDelay(300);
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    const QList<QNetworkDatagram> first
        = exchange(client, server.port(), protocol::BuildA2sInfoRequest(), 1, 0);
    QCOMPARE(first.size(), 1);
    QCOMPARE(protocol::ClassifyA2sReply(first[0].data()).Kind, protocol::A2sReplyKind::InfoGoldSrc);
    QCOMPARE(protocol::DecodeA2sInfo(first[0].data()).PlayerCount, std::optional(quint8(2)));
    QTRY_VERIFY_WITH_TIMEOUT(client.hasPendingDatagrams(), 5000);
    const QByteArray empty = client.receiveDatagram().data();
    QTRY_VERIFY_WITH_TIMEOUT(client.hasPendingDatagrams(), 5000);
    const QByteArray source = client.receiveDatagram().data();
    QCOMPARE(protocol::DecodePlayersReply(empty).Players.size(), 0);
    QCOMPARE(protocol::ClassifyA2sReply(source).Kind, protocol::A2sReplyKind::InfoSource);
}

void TestSteamFakes::splitRepliesOutOfOrder()
{
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setChallenges(FakeA2sServer::Challenges::Direct);
    QList<FakePlayer> players;
    for (const FakeUtf8Name &name : Utf8Names())
        players.append({ name.Bytes, 7, 60.f });
    server.setPlayers(players);
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    const auto pieces = [&](const QList<int> &order, QList<int> *arrived) {
        server.setSplit(100, order);
        protocol::SplitReassembler reassembler;
        std::optional<QByteArray> whole;
        for (const QNetworkDatagram &piece :
            exchange(client, server.port(), protocol::BuildA2sPlayersRequest(), int(order.size()))) {
            arrived->append(quint8(piece.data()[8]) >> 4);
            whole = reassembler.feed(piece.data());
        }
        return whole;
    };

    QList<int> arrived;
    const std::optional<QByteArray> whole = pieces({ 2, 0, 1 }, &arrived);
    QCOMPARE(arrived, (QList<int> { 2, 0, 1 }));
    QVERIFY(whole);
    const protocol::PlayersReply reply = protocol::DecodePlayersReply(*whole);
    QVERIFY(reply.Complete);
    QCOMPARE(reply.Players.size(), players.size());
    for (qsizetype i = 0; i < players.size(); ++i)
        QCOMPARE(protocol::Utf8(reply.Players[i].Name), Utf8Names()[i].Shown);

    // A piece sent twice and the others never: nothing whole comes out.
    arrived.clear();
    QVERIFY(!pieces({ 1, 1 }, &arrived));
    QCOMPARE(arrived, (QList<int> { 1, 1 }));
}

void TestSteamFakes::spoofedRepliesFromAnotherPort()
{
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setSpoof(EncodeA2sChallenge("evil"));
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.setSpoof(EncodeSteamMasterReply(loopbackEntries(1), true));
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));

    const QList<QNetworkDatagram> fromServer
        = exchange(client, server.port(), protocol::BuildA2sPlayersRequest(), 2);
    QCOMPARE(fromServer.size(), 2);
    QCOMPARE(fromServer[0].senderPort(), int(server.spoofPort()));
    QCOMPARE(fromServer[1].senderPort(), int(server.port()));
    QCOMPARE(fromServer[1].data(), EncodeA2sChallenge(server.challengeFor(client.localPort())));

    const QList<QNetworkDatagram> fromMaster
        = exchange(client, master.port(), SteamMasterRequestBytes(255, "0.0.0.0:0", {}), 2);
    QCOMPARE(fromMaster.size(), 2);
    QCOMPARE(fromMaster[0].senderPort(), int(master.spoofPort()));
    QCOMPARE(fromMaster[1].senderPort(), int(master.port()));
}

QTEST_GUILESS_MAIN(TestSteamFakes)
#include "tst_steamfakes.moc"
