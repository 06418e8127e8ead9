// The Steam master list against a fake master on loopback: paging by seed, one list per filter
// and their union, pacing, the ways a master ends a list (silence, a bad page, a refusal), and
// the limits on what a list may hold; then the cache that spares the master a list asked twice.

#include "protocol/SteamMasterProtocol.h"
#include "search/SteamListCache.h"
#include "search/SteamMasterClient.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QMetaEnum>
#include <QNetworkDatagram>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QUdpSocket>
#include <memory>

using namespace rollcall;
using namespace rollcall::search;
using namespace std::chrono_literals;
using protocol::ServerEntry;
using End = SteamMasterClient::End;
using Outcome = SteamMasterClient::Outcome;

namespace {

constexpr int Wait = 10000; // bounded waits: generous, the machine is shared
constexpr quint8 Europe = 3;

QByteArray EncodeEntry(const ServerEntry &entry)
{
    QByteArray bytes;
    for (const QString &part : entry.Address.split(u'.'))
        bytes += char(part.toInt());
    return bytes + char(entry.Port >> 8) + char(entry.Port & 0xFF);
}

QByteArray Page(const QList<ServerEntry> &entries, bool endMarker)
{
    QByteArray page = QByteArray::fromHex("FFFFFFFF660A");
    for (const ServerEntry &entry : entries)
        page += EncodeEntry(entry);
    return endMarker ? page + QByteArray(6, '\0') : page;
}

QList<ServerEntry> Servers(int count, int firstOctet = 10)
{
    QList<ServerEntry> list;
    for (int i = 0; i < count; ++i) {
        const QString address
            = QStringLiteral("%1.%2.%3.%4").arg(firstOctet).arg(i >> 16).arg((i >> 8) & 0xFF).arg(i & 0xFF);
        list << ServerEntry { address, 27015 };
    }
    return list;
}

// A master on 127.0.0.1 serving one list per filter text, `pageSize` entries a page. The end
// marker goes into the last page when there is room, else into a page of its own.
class FakeSteamMaster final : public QObject
{
public:
    bool listen()
    {
        if (!m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0)
            || !m_spoof.bind(QHostAddress(QHostAddress::LocalHost), 0))
            return false;
        connect(&m_socket, &QUdpSocket::readyRead, this, &FakeSteamMaster::read);
        m_clock.start();
        return true;
    }
    QString address() const { return QStringLiteral("127.0.0.1:") + QString::number(m_socket.localPort()); }

    QHash<QByteArray, QList<ServerEntry>> lists; // by filter text
    int pageSize = 231;
    int silentAfter = -1; // pages answered before it falls silent; -1: never
    int brokenAt = -1; // this page (0-based) is replaced by `broken`
    QByteArray broken;
    QByteArray spoof; // sent from another port before each real page

    QList<QByteArray> requests;
    QList<qint64> requestTimes;
    QList<quint16> clientPorts;

private:
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            requests << d.data();
            requestTimes << m_clock.elapsed();
            clientPorts << quint16(d.senderPort());
            const int page = int(requests.size()) - 1;
            if (silentAfter >= 0 && page >= silentAfter)
                continue;
            if (!spoof.isEmpty())
                m_spoof.writeDatagram(spoof, d.senderAddress(), quint16(d.senderPort()));
            const QByteArray reply = page == brokenAt ? broken : answer(d.data());
            m_socket.writeDatagram(reply, d.senderAddress(), quint16(d.senderPort()));
        }
    }

    // 0x31, region, seed text, 0, filter, 0.
    QByteArray answer(const QByteArray &request) const
    {
        const QList<QByteArray> fields = request.mid(2).split('\0');
        const QByteArray seed = fields.value(0);
        const QList<ServerEntry> list = lists.value(fields.value(1));
        qsizetype from = 0;
        if (seed != "0.0.0.0:0")
            from = indexOf(fields.value(1), list, seed) + 1;
        const QList<ServerEntry> entries = list.mid(from, pageSize);
        const bool last = from + entries.size() >= list.size() && entries.size() < pageSize;
        return Page(entries, last || from >= list.size());
    }

    // Where a seed sits in a list (lists of the ceiling's size are too long to search each page).
    qsizetype indexOf(const QByteArray &filter, const QList<ServerEntry> &list, const QByteArray &seed) const
    {
        QHash<QByteArray, qsizetype> &index = m_index[filter];
        if (index.isEmpty()) {
            for (qsizetype i = 0; i < list.size(); ++i)
                index.insert(list.at(i).Address.toLatin1() + ':' + QByteArray::number(list.at(i).Port), i);
        }
        return index.value(seed, list.size());
    }

    QUdpSocket m_socket;
    QUdpSocket m_spoof;
    mutable QHash<QByteArray, QHash<QByteArray, qsizetype>> m_index;
    QElapsedTimer m_clock;
};

QByteArray Request(const ServerEntry &seed, const QByteArray &filter, quint8 region = Europe)
{
    return protocol::BuildSteamMasterRequest(region, seed, filter);
}

const QByteArray Filter = "\\appid\\70\\gamedir\\valve\\empty\\1";

// Everything a list reports.
struct Log
{
    QList<QList<ServerEntry>> batches;
    QList<Outcome> outcomes;

    QList<ServerEntry> all() const
    {
        QList<ServerEntry> servers;
        for (const auto &batch : batches)
            servers += batch;
        return servers;
    }

    explicit Log(SteamMasterClient &client)
    {
        QObject::connect(&client, &SteamMasterClient::serversAdded, &client,
            [this](const QList<ServerEntry> &batch) { batches << batch; });
        QObject::connect(&client, &SteamMasterClient::finished, &client,
            [this](const Outcome &outcome) { outcomes << outcome; });
    }
};

} // namespace

class TestSteamMasterClient final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void paging_data();
    void paging();
    void filtersPerAppId_data();
    void filtersPerAppId();
    void listEndsEarly_data();
    void listEndsEarly();
    void limits_data();
    void limits();
    void entriesThatCannotBeServers();
    void pacing();
    void pacingOutlivesTheList();
    void spoofedPagesIgnored();
    void unreachable_data();
    void unreachable();
    void abortAndRestart();
    void receiverDeletesOrAborts_data();
    void receiverDeletesOrAborts();
    void listCache_data();
    void listCache();
    void listCacheKeepsTheNewest();
};

void TestSteamMasterClient::paging_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<QList<int>>("seeds"); // index of each request's seed in the list; -1: the first seed

    QTest::newRow("onePage") << 3 << 5 << QList<int> { -1 };
    QTest::newRow("threePages_markerInLast") << 7 << 3 << QList<int> { -1, 2, 5 };
    QTest::newRow("markerInAPageOfItsOwn") << 6 << 3 << QList<int> { -1, 2, 5 };
    QTest::newRow("emptyList") << 0 << 3 << QList<int> { -1 };
}

void TestSteamMasterClient::paging()
{
    QFETCH(int, count);
    QFETCH(int, pageSize);
    QFETCH(QList<int>, seeds);

    FakeSteamMaster master;
    QVERIFY(master.listen());
    const QList<ServerEntry> servers = Servers(count);
    master.lists[Filter] = servers;
    master.pageSize = pageSize;
    SteamMasterClient client;
    Log log(client);
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);

    QCOMPARE(log.outcomes.first(), (Outcome { End::Complete, count }));
    QCOMPARE(log.all(), servers);
    QList<QByteArray> expected;
    for (int seed : std::as_const(seeds))
        expected << Request(seed < 0 ? protocol::FirstSteamSeed() : servers.at(seed), Filter);
    QCOMPARE(master.requests, expected);
    QCOMPARE(QSet<quint16>(master.clientPorts.cbegin(), master.clientPorts.cend()).size(), 1);
    QVERIFY(client.isDone());
}

void TestSteamMasterClient::filtersPerAppId_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QList<ServerEntry>>("expected");

    // Server 1 is listed under two app ids.
    const QList<ServerEntry> s = Servers(4);
    QTest::newRow("noGame_unionOfAppIds") << QString() << QList<ServerEntry> { s[0], s[1], s[2], s[3] };
    QTest::newRow("game_oneList") << QStringLiteral("cstrike") << QList<ServerEntry> { s[0], s[1] };
}

void TestSteamMasterClient::filtersPerAppId()
{
    QFETCH(QString, game);
    QFETCH(QList<ServerEntry>, expected);

    const QList<QByteArray> filters = protocol::SteamMasterFilters(game, QStringLiteral("crossfire"));
    const QList<ServerEntry> s = Servers(4);
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.pageSize = 2;
    master.lists[protocol::SteamMasterFilters(QStringLiteral("cstrike"), QStringLiteral("crossfire")).first()]
        = { s[0], s[1] };
    master.lists[protocol::SteamMasterFilters(QString(), QStringLiteral("crossfire")).first()]
        = { s[0], s[1] };
    master.lists[protocol::SteamMasterFilters(QString(), QStringLiteral("crossfire")).at(6)]
        = { s[1], s[2], s[3] };
    SteamMasterClient client;
    client.setPacing(1000, 1ms);
    Log log(client);
    client.start(master.address(), Europe, filters, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);

    QCOMPARE(log.outcomes.first(), (Outcome { End::Complete, int(expected.size()) }));
    QCOMPARE(log.all(), expected);
    QCOMPARE(client.servers(), expected);
    // Every filter in order, each list from its first page.
    QList<QByteArray> asked;
    for (const QByteArray &request : std::as_const(master.requests)) {
        if (request.mid(2).startsWith("0.0.0.0:0"))
            asked << request.mid(2).split('\0').value(1);
    }
    QCOMPARE(asked, filters);
}

void TestSteamMasterClient::listEndsEarly_data()
{
    QTest::addColumn<int>("silentAfter");
    QTest::addColumn<int>("brokenAt");
    QTest::addColumn<QByteArray>("broken");
    QTest::addColumn<Outcome>("outcome");

    const QByteArray header = QByteArray::fromHex("FFFFFFFF660A");
    QTest::newRow("silent_fromTheStart") << 0 << -1 << QByteArray() << Outcome { End::NoReply, 0 };
    QTest::newRow("silent_afterTwoPages") << 2 << -1 << QByteArray() << Outcome { End::StoppedAnswering, 6 };
    QTest::newRow("silent_inTheSecondFilter")
        << 4 << -1 << QByteArray() << Outcome { End::StoppedAnswering, 10 };
    QTest::newRow("badHeader_first") << -1 << 0 << Page(Servers(3, 20), false).replace(5, 1, "\x0D")
                                     << Outcome { End::BadHeader, 0 };
    QTest::newRow("badHeader_afterAPage")
        << -1 << 1 << QByteArray::fromHex("FFFFFFFF66") << Outcome { End::BadHeader, 3 };
    QTest::newRow("malformed_afterAPage")
        << -1 << 1 << Page(Servers(3, 20), false) + "\x01\x02" << Outcome { End::Malformed, 3 };
    QTest::newRow("malformed_headerOnlyPlusCrumbs")
        << -1 << 0 << header + "\x01" << Outcome { End::Malformed, 0 };
}

void TestSteamMasterClient::listEndsEarly()
{
    QFETCH(int, silentAfter);
    QFETCH(int, brokenAt);
    QFETCH(QByteArray, broken);
    QFETCH(Outcome, outcome);

    // Two filters of 10 servers, 3 a page: pages 0-3 list the first, page 4 starts the second.
    const QByteArray second = "\\appid\\10\\empty\\1";
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(10);
    master.lists[second] = Servers(10, 11);
    master.pageSize = 3;
    master.silentAfter = silentAfter;
    master.brokenAt = brokenAt;
    master.broken = broken;
    SteamMasterClient client;
    client.setReplyTimeout(300ms);
    client.setPacing(1000, 1ms);
    Log log(client);
    client.start(master.address(), Europe, { Filter, second }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);

    QCOMPARE(log.outcomes.first(), outcome);
    // What arrived before the end stays received: its queries may be running already.
    QCOMPARE(log.all(), (Servers(10) + Servers(10, 11)).first(outcome.count));
    // Never asked again after the end.
    const qsizetype requests = master.requests.size();
    QTest::qWait(100);
    QCOMPARE(master.requests.size(), requests);
    QCOMPARE(log.outcomes.size(), 1);
}

void TestSteamMasterClient::limits_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("cap"); // -1: none
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("requests");

    QTest::newRow("cap_midPage") << 7 << 4 << Outcome { End::CapReached, 4 } << 2;
    QTest::newRow("cap_pageBoundary_asksNoMore") << 7 << 3 << Outcome { End::CapReached, 3 } << 1;
    QTest::newRow("cap_belowOne_takesTheFirst") << 7 << 0 << Outcome { End::CapReached, 1 } << 1;
    QTest::newRow("cap_wholeListExactly") << 2 << 2 << Outcome { End::Complete, 2 } << 1;
    QTest::newRow("cap_beyondTheList") << 7 << 50 << Outcome { End::Complete, 7 } << 3;
    // 434 pages of 231: the ceiling falls inside page 433, and nothing is asked after it.
    QTest::newRow("ceiling") << SteamMasterClient::MaxServers + 500 << -1
                             << Outcome { End::CeilingReached, SteamMasterClient::MaxServers } << 433;
    QTest::newRow("ceiling_belowTheCap")
        << SteamMasterClient::MaxServers + 500 << SteamMasterClient::MaxServers + 1
        << Outcome { End::CeilingReached, SteamMasterClient::MaxServers } << 433;
}

void TestSteamMasterClient::limits()
{
    QFETCH(int, count);
    QFETCH(int, cap);
    QFETCH(Outcome, outcome);
    QFETCH(int, requests);

    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(count);
    master.pageSize = count > 1000 ? 231 : 3;
    SteamMasterClient client;
    client.setPacing(1000, 1ms);
    Log log(client);
    client.start(master.address(), Europe, { Filter }, cap < 0 ? std::nullopt : std::optional<qint32>(cap));
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, 60000);

    QCOMPARE(log.outcomes.first(), outcome);
    QCOMPARE(client.servers().size(), outcome.count);
    QCOMPARE(client.servers().last(), Servers(count).at(outcome.count - 1));
    QCOMPARE(master.requests.size(), requests);
}

void TestSteamMasterClient::entriesThatCannotBeServers()
{
    const QList<ServerEntry> page1 = { { "1.2.3.4", 27015 }, { "1.2.3.4", 0 }, { "0.1.2.3", 27015 },
        { "255.255.255.255", 27015 }, { "224.0.0.1", 27015 } };
    const QList<ServerEntry> page2 = { { "239.255.255.250", 1900 }, { "240.0.0.1", 27015 },
        { "1.2.3.4", 27015 }, { "223.255.255.254", 27016 }, { "1.2.3.4", 0 } };
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = page1 + page2;
    master.pageSize = 5;
    SteamMasterClient client;
    Log log(client);
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);

    const QList<ServerEntry> kept = { { "1.2.3.4", 27015 }, { "223.255.255.254", 27016 } };
    QCOMPARE(log.outcomes.first(), (Outcome { End::Complete, 2 }));
    QCOMPARE(log.all(), kept);
    // The master's paging goes on from its own last entry, dropped or not.
    QCOMPARE(master.requests.value(1), Request(page1.last(), Filter));
}

void TestSteamMasterClient::pacing()
{
    // 27 pages of one server with the marker alone on a 28th: requests 26 on wait for the window.
    constexpr auto Window = 700ms;
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(27);
    master.pageSize = 1;
    SteamMasterClient client;
    client.setPacing(25, Window);
    Log log(client);
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);

    QCOMPARE(log.outcomes.first(), (Outcome { End::Complete, 27 }));
    QCOMPARE(master.requests.size(), 28);
    // In any window, at most 25 requests. Arrival times are seen late when the loop is busy, so
    // some slack; without pacing the gap would be a few milliseconds.
    for (qsizetype i = 25; i < master.requestTimes.size(); ++i) {
        const qint64 gap = master.requestTimes.at(i) - master.requestTimes.at(i - 25);
        QVERIFY2(
            gap >= Window.count() * 9 / 10, qPrintable(QStringLiteral("request %1: %2 ms").arg(i).arg(gap)));
    }
}

void TestSteamMasterClient::pacingOutlivesTheList()
{
    // With the real window of a minute: 25 requests go at once, the 26th waits, and so does the
    // first of the next list, since the master counts per client, not per list.
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(30);
    master.pageSize = 1;
    SteamMasterClient client;
    Log log(client);
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(master.requests.size(), 25, Wait);
    QTRY_COMPARE_WITH_TIMEOUT(log.batches.size(), 25, Wait);
    QTest::qWait(300);
    QCOMPARE(master.requests.size(), 25);
    QVERIFY(!client.isDone());

    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTest::qWait(300);
    QCOMPARE(master.requests.size(), 25);
    QVERIFY(log.outcomes.isEmpty());
}

void TestSteamMasterClient::spoofedPagesIgnored()
{
    // Another port sends a whole list, end marker included, ahead of every real page.
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(5);
    master.pageSize = 2;
    master.spoof = Page({ { "6.6.6.6", 27015 } }, true);
    SteamMasterClient client;
    Log log(client);
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);
    QCOMPARE(log.outcomes.first(), (Outcome { End::Complete, 5 }));
    QCOMPARE(log.all(), Servers(5));
}

void TestSteamMasterClient::unreachable_data()
{
    QTest::addColumn<QString>("master"); // "refused": a loopback port nobody listens on
    QTest::addColumn<End>("end");

    QTest::newRow("portOutOfRange") << QStringLiteral("127.0.0.1:99999") << End::Unreachable;
    QTest::newRow("noHost") << QStringLiteral(":27011") << End::Unreachable;
    // Whether the refusal is seen depends on the platform; either way the list ends in time.
    QTest::newRow("refused") << QStringLiteral("refused") << End::NoReply;
}

void TestSteamMasterClient::unreachable()
{
    QFETCH(QString, master);
    QFETCH(End, end);
    if (master == "refused") {
        QUdpSocket closed;
        QVERIFY(closed.bind(QHostAddress(QHostAddress::LocalHost), 0));
        master = QStringLiteral("127.0.0.1:") + QString::number(closed.localPort());
    }
    SteamMasterClient client;
    client.setReplyTimeout(500ms);
    Log log(client);
    client.start(master, Europe, { Filter }, std::nullopt);
    // Never from inside start(): the caller is still setting up.
    QVERIFY(log.outcomes.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);
    QCOMPARE(log.outcomes.first().count, 0);
    const End got = log.outcomes.first().end;
    QVERIFY2(got == end || got == End::Unreachable, QMetaEnum::fromType<End>().valueToKey(int(got)));
}

void TestSteamMasterClient::abortAndRestart()
{
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(6);
    master.pageSize = 2;
    master.silentAfter = 1;
    SteamMasterClient client;
    client.setReplyTimeout(200ms);
    Log log(client);
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(master.requests.size(), 2, Wait);
    client.abort();
    QTest::qWait(400);
    QCOMPARE(log.outcomes.size(), 0);

    // A new list: a new client port, from the first page, with nothing of the old one.
    master.silentAfter = -1;
    master.requests.clear();
    log.batches.clear();
    client.start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(log.outcomes.size(), 1, Wait);
    QCOMPARE(log.outcomes.first(), (Outcome { End::Complete, 6 }));
    QCOMPARE(master.requests.first(), Request(protocol::FirstSteamSeed(), Filter));
    QVERIFY(master.clientPorts.first() != master.clientPorts.last());
    QCOMPARE(log.all(), Servers(6));
}

void TestSteamMasterClient::receiverDeletesOrAborts_data()
{
    QTest::addColumn<bool>("remove"); // else abort

    QTest::newRow("deleteInServersAdded") << true;
    QTest::newRow("abortInServersAdded") << false;
}

void TestSteamMasterClient::receiverDeletesOrAborts()
{
    QFETCH(bool, remove);

    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.lists[Filter] = Servers(2);
    auto *client = new SteamMasterClient;
    QPointer<SteamMasterClient> alive(client);
    int batches = 0;
    int outcomes = 0;
    connect(client, &SteamMasterClient::serversAdded, client, [&] {
        ++batches;
        if (remove)
            delete client;
        else
            client->abort();
    });
    connect(client, &SteamMasterClient::finished, client, [&] { ++outcomes; });
    client->start(master.address(), Europe, { Filter }, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(batches, 1, Wait);
    QTest::qWait(100);
    QCOMPARE(outcomes, 0);
    QCOMPARE(alive.isNull(), remove);
    delete alive;
}

void TestSteamMasterClient::listCache_data()
{
    QTest::addColumn<QString>("master");
    QTest::addColumn<int>("region");
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<End>("stored"); // how the stored list ended
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("hit");

    const QString m = QStringLiteral("hl2master.example.net:27011");
    QTest::newRow("hit_sameSearch") << m << 3 << Filter << End::Complete << 0 << true;
    QTest::newRow("hit_justWithinFiveMinutes") << m << 3 << Filter << End::Complete << 299 << true;
    QTest::newRow("hit_hostNameInOtherCase")
        << QStringLiteral(" HL2Master.Example.NET:27011") << 3 << Filter << End::Complete << 10 << true;
    QTest::newRow("miss_afterFiveMinutes") << m << 3 << Filter << End::Complete << 300 << false;
    QTest::newRow("miss_otherRegion") << m << 255 << Filter << End::Complete << 0 << false;
    QTest::newRow("miss_otherFilter")
        << m << 3 << QByteArray("\\appid\\10\\empty\\1") << End::Complete << 0 << false;
    QTest::newRow("miss_otherPort") << QStringLiteral("hl2master.example.net:27012") << 3 << Filter
                                    << End::Complete << 0 << false;
    QTest::newRow("notKept_stoppedAnswering") << m << 3 << Filter << End::StoppedAnswering << 0 << false;
    QTest::newRow("notKept_capReached") << m << 3 << Filter << End::CapReached << 0 << false;
}

void TestSteamMasterClient::listCache()
{
    QFETCH(QString, master);
    QFETCH(int, region);
    QFETCH(QByteArray, filter);
    QFETCH(End, stored);
    QFETCH(int, ageSeconds);
    QFETCH(bool, hit);

    std::chrono::steady_clock::time_point now {};
    SteamListCache cache([&now] { return now; });
    const QList<ServerEntry> list = Servers(3);
    const auto key
        = SteamListCache::keyFor(QStringLiteral("hl2master.example.net:27011"), Europe, { Filter });
    QCOMPARE(cache.store(key, list, stored), stored == End::Complete);

    now += std::chrono::seconds(ageSeconds);
    const auto found = cache.find(SteamListCache::keyFor(master, quint8(region), { filter }));
    QCOMPARE(found.has_value(), hit);
    if (hit)
        QCOMPARE(*found, list);
}

void TestSteamMasterClient::listCacheKeepsTheNewest()
{
    std::chrono::steady_clock::time_point now {};
    SteamListCache cache([&now] { return now; });
    const auto keyOf = [](int app) {
        return SteamListCache::keyFor(
            QStringLiteral("127.0.0.1:27011"), Europe, { "\\appid\\" + QByteArray::number(app) });
    };
    for (int app = 0; app <= SteamListCache::MaxLists; ++app) {
        cache.store(keyOf(app), Servers(app + 1), End::Complete);
        now += std::chrono::seconds(1);
    }
    QVERIFY(!cache.find(keyOf(0)));
    for (int app = 1; app <= SteamListCache::MaxLists; ++app)
        QCOMPARE(cache.find(keyOf(app)).value_or(QList<ServerEntry>()).size(), app + 1);
    // A list received again is kept from then on.
    now += std::chrono::minutes(4);
    cache.store(keyOf(1), Servers(9), End::Complete);
    now += std::chrono::minutes(2);
    QCOMPARE(cache.find(keyOf(1)).value_or(QList<ServerEntry>()).size(), 9);
    QVERIFY(!cache.find(keyOf(2)));
}

QTEST_GUILESS_MAIN(TestSteamMasterClient)
#include "tst_steammasterclient.moc"
