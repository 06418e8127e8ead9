// hlsim itself (the same bytes for the same seed, loopback only, options, the schedule floor) and
// rollcall-find against it: every row a known population must give, through the master's pages
// and filters. Then its Steam side, read with the program's own decoders: the Steam master's
// pages, filters, regions and silence, and the A2S challenges, info layouts, split rules and
// UTF-8 names of its game servers. Last its Web API, read with the program's own Web API client.

#include "Population.h"
#include "ToolProcess.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "protocol/SplitReassembler.h"
#include "protocol/SteamMasterProtocol.h"
#include "search/PlayerMatcher.h"
#include "search/WebApiClient.h"
#include "ui/Version.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>
#include <functional>

using namespace rollcall;
using namespace rollcall::testtools;

Q_DECLARE_METATYPE(rollcall::search::WebApiEnd)

namespace {

// One request, one reply, on a socket that is already bound; the test may block here.
QByteArray ask(QUdpSocket &socket, int port, const QByteArray &request, int pieces = 1)
{
    socket.writeDatagram(request, QHostAddress::LocalHost, quint16(port));
    QByteArray whole;
    for (int i = 0; i < pieces; ++i) {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(5000))
            return whole;
        whole += socket.receiveDatagram().data();
    }
    return whole;
}

QJsonArray servers(const Simulator &sim)
{
    return sim.population().value(QStringLiteral("servers")).toArray();
}

// Servers the master lists for a filter, in its order.
QList<QJsonObject> listed(const Simulator &sim, const QString &game, const QString &map)
{
    QList<QJsonObject> out;
    for (const QJsonValue &value : servers(sim)) {
        const QJsonObject server = value.toObject();
        if (server.value(QStringLiteral("players")).toArray().isEmpty())
            continue;
        if (!game.isEmpty()
            && server.value(QStringLiteral("game")).toString().compare(game, Qt::CaseInsensitive) != 0)
            continue;
        if (!map.isEmpty()
            && server.value(QStringLiteral("map")).toString().compare(map, Qt::CaseInsensitive) != 0)
            continue;
        out.append(server);
    }
    return out;
}

QJsonObject withoutPorts(QJsonObject population)
{
    QJsonArray stripped;
    for (const QJsonValue &value : population.value(QStringLiteral("servers")).toArray()) {
        QJsonObject server = value.toObject();
        server.remove(QStringLiteral("port"));
        stripped.append(server);
    }
    population.insert(QStringLiteral("servers"), stripped);
    population.remove(QStringLiteral("master"));
    return population;
}

// Datagrams until `count` have come (up to 5 s each), then any that follow within `graceMs`.
QList<QByteArray> receive(QUdpSocket &socket, int count, int graceMs = 100)
{
    QList<QByteArray> out;
    while (out.size() < count && (socket.hasPendingDatagrams() || socket.waitForReadyRead(5000)))
        out.append(socket.receiveDatagram().data());
    while (socket.hasPendingDatagrams() || socket.waitForReadyRead(graceMs))
        out.append(socket.receiveDatagram().data());
    return out;
}

bool silentFor(QUdpSocket &socket, int ms)
{
    return !socket.hasPendingDatagrams() && !socket.waitForReadyRead(ms);
}

int steamMasterPort(const Simulator &sim)
{
    return sim.population()
        .value(QStringLiteral("steamMaster"))
        .toString()
        .section(QLatin1Char(':'), 1)
        .toInt();
}

int portOf(const Simulator &sim, int index)
{
    return servers(sim)[index].toObject().value(QStringLiteral("port")).toInt();
}

// The first server of the dump that passes `test`; -1 when none does.
int firstServer(const Simulator &sim, const std::function<bool(const QJsonObject &)> &test)
{
    const QJsonArray all = servers(sim);
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (test(all[i].toObject()))
            return int(i);
    }
    return -1;
}

struct SteamPages
{
    QList<int> ports;
    QList<int> sizes; // entries per page, the end marker included
    QList<QByteArray> pages;
    bool ended = false;
};

// One whole list from the Steam master, page after page, each asked for with the last entry
// of the one before, as a client does.
SteamPages steamList(QUdpSocket &socket, int port, quint8 region, const QByteArray &filter)
{
    SteamPages out;
    protocol::ServerEntry seed = protocol::FirstSteamSeed();
    for (int page = 0; page < 500 && !out.ended; ++page) {
        const QByteArray reply = ask(socket, port, protocol::BuildSteamMasterRequest(region, seed, filter));
        const protocol::SteamMasterReply parsed = protocol::ParseSteamMasterReply(reply);
        if (reply.isEmpty() || parsed.Status != protocol::SteamMasterReplyStatus::Ok)
            break;
        out.pages.append(reply);
        out.sizes.append(int(reply.size() - 6) / 6);
        for (const protocol::ServerEntry &entry : parsed.Entries)
            out.ports.append(entry.Port);
        out.ended = parsed.Ended;
        if (!parsed.Last)
            break;
        seed = *parsed.Last;
    }
    return out;
}

// The pieces of one reply through the program's reassembler; `order` gets the piece numbers
// as they arrived.
std::optional<QByteArray> reassembled(QUdpSocket &socket, QList<int> *order)
{
    protocol::SplitReassembler reassembler;
    for (int i = 0; i < 16 && (socket.hasPendingDatagrams() || socket.waitForReadyRead(5000)); ++i) {
        const QByteArray datagram = socket.receiveDatagram().data();
        if (reassembler.isSplitPiece(datagram))
            order->append(quint8(datagram[8]) >> 4);
        if (std::optional<QByteArray> whole = reassembler.feed(datagram))
            return whole;
    }
    return std::nullopt;
}

// The challenge the server hands this socket, or nothing when it answered straight away.
QByteArray challengeFor(QUdpSocket &socket, int port, const QByteArray &request)
{
    const protocol::A2sReplyClass reply = protocol::ClassifyA2sReply(ask(socket, port, request));
    return reply.Kind == protocol::A2sReplyKind::Challenge ? reply.Challenge : QByteArray();
}

QUrl webApi(const Simulator &sim)
{
    return QUrl(sim.population().value(QStringLiteral("webApi")).toString());
}

// One request as written, the whole answer as read; the test may block here.
QByteArray httpExchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    socket.write(request);
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    return reply + socket.readAll();
}

QJsonArray webApiServers(const QByteArray &reply)
{
    const QByteArray body = reply.mid(reply.indexOf("\r\n\r\n") + 4);
    return QJsonDocument::fromJson(body)
        .object()
        .value(QStringLiteral("response"))
        .toObject()
        .value(QStringLiteral("servers"))
        .toArray();
}

hlsim::PopulationOptions populationOptions(int servers, int minPlayers, int maxPlayers)
{
    hlsim::PopulationOptions options;
    options.Servers = servers;
    options.MinPlayers = minPlayers;
    options.MaxPlayers = maxPlayers;
    return options;
}

} // namespace

class TestHlsim final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameSeedSameBytes();
    void wellKnownNameOnSeveralServers();
    void loopbackOnly();
    void namesFromAFile();
    void commandLine_data();
    void commandLine();
    void findRows_data();
    void findRows();
    void countsEveryRequestOnExit();

    void helpNamesSteamOptions();
    void steamPaging_data();
    void steamPaging();
    void steamSeeds();
    void steamFilters_data();
    void steamFilters();
    void steamSilence();
    void a2sChallenges_data();
    void a2sChallenges();
    void infoLayouts_data();
    void infoLayouts();
    void splitRulesReassemble();
    void steamSideOfThePopulation();
    void utf8NamesOverA2s();

    void webApiLists_data();
    void webApiLists();
    void webApiServerFields();
    void webApiRequests_data();
    void webApiRequests();
};

void TestHlsim::sameSeedSameBytes()
{
    const QStringList options = Args(QStringLiteral("--servers 40 --seed 7 --cutoff 0.2"));
    Simulator first;
    Simulator second;
    Simulator other;
    QVERIFY(first.start(options));
    QVERIFY(second.start(options));
    QVERIFY(other.start(Args(QStringLiteral("--servers 40 --seed 8"))));
    QCOMPARE(withoutPorts(first.population()), withoutPorts(second.population()));
    QVERIFY(withoutPorts(first.population()) != withoutPorts(other.population()));

    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    const QJsonArray a = servers(first);
    const QJsonArray b = servers(second);
    const QByteArray players = protocol::BuildQueryRequest(protocol::QueryKind::Players);
    const QByteArray rules = protocol::BuildQueryRequest(protocol::QueryKind::Rules);
    for (qsizetype i = 0; i < a.size(); ++i) {
        const int portA = a[i].toObject().value(QStringLiteral("port")).toInt();
        const int portB = b[i].toObject().value(QStringLiteral("port")).toInt();
        const QByteArray playersA = ask(socket, portA, players);
        QVERIFY(playersA.startsWith("\xFF\xFF\xFF\xFF"
                                    "D"));
        QCOMPARE(ask(socket, portB, players), playersA);
        // Every tenth server's rules need three pieces; the rest fit one datagram.
        const int pieces = i % 10 == 3 ? 3 : 1;
        const QByteArray rulesA = ask(socket, portA, rules, pieces);
        QCOMPARE(rulesA.startsWith("\xFE\xFF\xFF\xFF"), pieces > 1);
        QCOMPARE(ask(socket, portB, rules, pieces), rulesA);
    }
}

void TestHlsim::wellKnownNameOnSeveralServers()
{
    // What the README tells newcomers to search for must be there in the default population,
    // with names of every kind: clan tags, digits, bytes above 0x7F, tabs and backslashes.
    int servers = 0;
    bool tag = false, digit = false, high = false, hostile = false, negative = false, longTime = false;
    for (const hlsim::SimServer &server : hlsim::MakePopulation(hlsim::PopulationOptions())) {
        bool wellKnown = false;
        for (const hlsim::SimPlayer &player : server.Players) {
            wellKnown |= player.Name == hlsim::WellKnownName;
            tag |= player.Name.startsWith('[');
            digit |= std::any_of(
                player.Name.begin(), player.Name.end(), [](char c) { return c >= '0' && c <= '9'; });
            high |= std::any_of(
                player.Name.begin(), player.Name.end(), [](char c) { return quint8(c) > 0x7F; });
            hostile |= player.Name.contains('\t') || player.Name.contains('\\');
            negative |= player.Frags < 0;
            longTime |= player.Time >= 360000.0f;
        }
        servers += wellKnown ? 1 : 0;
    }
    QVERIFY2(servers >= 5, qPrintable(QString::number(servers)));
    QVERIFY(tag && digit && high && hostile && negative && longTime);
}

void TestHlsim::loopbackOnly()
{
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 3"))));
    // The kernel's own table: the master's socket is bound to 127.0.0.1 and nothing wider.
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        QSKIP("no /proc/net/udp here");
    const QByteArray port = ':' + QByteArray::number(sim.masterPort(), 16).toUpper().rightJustified(4, '0');
    const QByteArray rows = table.readAll();
    QVERIFY(rows.contains(QByteArray("0100007F" + port)));
    QVERIFY(!rows.contains(QByteArray("00000000" + port)));
    for (const QJsonValue &server : servers(sim))
        QCOMPARE(server.toObject().value(QStringLiteral("address")).toString(), QStringLiteral("127.0.0.1"));
}

void TestHlsim::namesFromAFile()
{
    QTemporaryDir dir;
    QFile names(dir.filePath(QStringLiteral("names.txt")));
    QVERIFY(names.open(QIODevice::WriteOnly));
    names.write("Zo\xEB\r\nsecond name\n\n");
    names.close();
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 40 --players 2-4 --names")) << names.fileName()));
    QSet<QString> seen;
    for (const QJsonValue &server : servers(sim)) {
        for (const QJsonValue &player : server.toObject().value(QStringLiteral("players")).toArray())
            seen.insert(player.toObject().value(QStringLiteral("name")).toString());
    }
    QCOMPARE(seen, (QSet<QString> { QStringLiteral("Zo\u00EB"), QStringLiteral("second name") }));
}

void TestHlsim::commandLine_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text"); // on stderr for a refusal, else on stdout

    QTest::newRow("version") << "--version" << 0
                             << QString(QStringLiteral("hlsim ") + ui::ProgramVersionText());
    QTest::newRow("bind_wildcard") << "--bind 0.0.0.0" << 2 << "--bind";
    QTest::newRow("bind_name") << "--bind example.org" << 2 << "--bind";
    QTest::newRow("servers_zero") << "--servers 0" << 2 << "--servers";
    QTest::newRow("players_backwards") << "--players 9-2" << 2 << "--players";
    QTest::newRow("silent_tooMuch") << "--silent 1.5" << 2 << "--silent";
    QTest::newRow("ports_pastTheEnd") << "--servers 100 --first-port 65500" << 2 << "--first-port";
    QTest::newRow("floor_noTimeout") << "--schedule-floor 80" << 2 << "--schedule-floor";
    // Four servers of 10 ms on two sockets: two rounds.
    QTest::newRow("floor_twoRounds") << "--servers 4 --players 1 --latency 10 --schedule-floor 2 1000" << 0
                                     << "schedule floor 20.000 ms for 4 listed servers";
    // All silent: each costs the whole time-out.
    QTest::newRow("floor_silent") << "--servers 3 --players 1 --silent 1 --schedule-floor 2 500" << 0
                                  << "schedule floor 1000.000 ms for 3 listed servers";
    // Empty servers are never listed and cost nothing.
    QTest::newRow("floor_empty") << "--servers 5 --players 0 --schedule-floor 2 1000" << 0
                                 << "schedule floor 0.000 ms for 0 listed servers";
    QTest::newRow("protocol_unknown") << "--master-protocol won" << 2 << "legacy|steam|both";
    QTest::newRow("steamPort_withoutBoth")
        << "--master-protocol steam --steam-master-port 27020" << 2 << "--steam-master-port";
    QTest::newRow("steamPort_legacyPort")
        << "--master-protocol both --master-port 27000 --steam-master-port 27000" << 2
        << "--steam-master-port";
    // The default Steam port, the legacy one plus one, would be the first game server's.
    QTest::newRow("steamPort_amongServers")
        << "--master-protocol both --master-port 27014" << 2 << "--steam-master-port";
    QTest::newRow("steamPage_overOneDatagram") << "--steam-page-size 232" << 2 << "--steam-page-size";
    QTest::newRow("steamSilence_zero") << "--steam-silence 0" << 2 << "--steam-silence";
    QTest::newRow("layout_unknown") << "--info-layout x" << 2 << "--info-layout";
    QTest::newRow("direct_tooMuch") << "--a2s-direct 1.5" << 2 << "--a2s-direct";
    QTest::newRow("webApi_portTooHigh") << "--webapi-port 65536" << 2 << "--webapi-port";
    QTest::newRow("webApi_keyWithoutPort") << "--webapi-key K" << 2 << "--webapi-key";
}

void TestHlsim::commandLine()
{
    QFETCH(QString, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    const ToolResult result = RunTool(QStringLiteral(HLSIM_PATH), Args(arguments));
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, status);
    const QByteArray &shown = status == 0 ? result.out : result.err;
    QVERIFY2(QString::fromUtf8(shown).contains(text), shown.constData());
    QVERIFY(!result.out.contains("listening"));
}

void TestHlsim::findRows_data()
{
    QTest::addColumn<QString>("population");
    QTest::addColumn<QString>("argumentText");
    QTest::addColumn<int>("cap");

    // Pages of seven: a list of several pages, filtered by the master.
    const QString plain = QStringLiteral("--servers 120 --page-size 7");
    QTest::newRow("pattern_clanTag") << plain << "--pattern [[]tag]*" << 0;
    QTest::newRow("twoSlots") << plain << QStringLiteral("--pattern #* --name \u00F8") << 0;
    QTest::newRow("cap") << plain << "--pattern * --max-servers 9" << 9;
    QTest::newRow("filter_gameOtherCase") << plain << "--pattern * --game TFC" << 0;
    QTest::newRow("filter_gameAndMap") << plain << "--pattern * --game cstrike --map de_dust2" << 0;
    QTest::newRow("filter_noSuchGame") << plain << "--pattern * --game ricochet" << 0;
    // Players replies of 100+ records exceed one datagram and arrive split.
    QTest::newRow("splitPlayersReplies") << "--servers 30 --players 100-140"
                                         << "--pattern *" << 0;
    QTest::newRow("silentAndCutOff") << "--servers 120 --silent 0.2 --cutoff 0.3"
                                     << "--pattern *" << 0;
}

void TestHlsim::findRows()
{
    QFETCH(QString, population);
    QFETCH(QString, argumentText);
    QFETCH(int, cap);
    const QStringList arguments = Args(argumentText);
    Simulator sim;
    QVERIFY(sim.start(Args(population)));

    const auto value = [&](const QString &option) {
        const qsizetype at = arguments.indexOf(option);
        return at >= 0 ? arguments.value(at + 1) : QString();
    };
    std::array<search::NameSlot, 2> nameSlots;
    size_t slot = 0;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--name") || arguments[i] == QLatin1String("--pattern"))
            nameSlots[slot++]
                = { true, arguments[i] == QLatin1String("--pattern"), arguments[i + 1].toLatin1() };
    }
    const search::PlayerMatcher matcher(nameSlots);

    // "port|name|frags|time" of every player of the listed servers that answer whole, as found.
    const auto text = [](const QJsonObject &object, const char *key) {
        return object.value(QLatin1String(key)).toVariant().toString();
    };
    QStringList expected;
    QList<QJsonObject> list = listed(sim, value(QStringLiteral("--game")), value(QStringLiteral("--map")));
    for (const QJsonObject &server : list.mid(0, cap > 0 ? cap : list.size())) {
        if (server.value(QStringLiteral("silent")).toBool())
            continue;
        QJsonArray players = server.value(QStringLiteral("players")).toArray();
        if (server.value(QStringLiteral("cutoff")).toBool())
            players.removeLast();
        for (const QJsonValue &p : players) {
            const QJsonObject player = p.toObject();
            if (matcher.matches(text(player, "name").toLatin1()))
                expected << text(server, "port") + '|' + text(player, "name") + '|' + text(player, "frags")
                        + '|'
                        + protocol::FormatPlayTime(qint64(player.value(QStringLiteral("time")).toDouble()));
        }
    }
    expected.sort();

    QTemporaryDir config;
    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
        arguments + Args("--format json --timeout 500 --master " + sim.master()),
        IsolatedEnvironment(config.path()));
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError && document.isArray(), qPrintable(error.errorString()));
    QStringList rows;
    for (const QJsonValue &v : document.array()) {
        // Hostile and Latin-1 names must not break the document; numbers stay numbers.
        const QJsonObject row = v.toObject();
        QCOMPARE(row.keys(), QStringList({ "frags", "ip", "name", "ping", "port", "seconds", "time" }));
        for (const char *key : { "ip", "name", "time" })
            QVERIFY2(row.value(QLatin1String(key)).isString(), key);
        for (const char *key : { "frags", "ping", "port", "seconds" })
            QVERIFY2(row.value(QLatin1String(key)).isDouble(), key);
        QCOMPARE(
            protocol::FormatPlayTime(row.value(QStringLiteral("seconds")).toInteger()), text(row, "time"));
        QCOMPARE(text(row, "ip"), QStringLiteral("127.0.0.1"));
        rows << text(row, "port") + '|' + text(row, "name") + '|' + text(row, "frags") + '|'
                + text(row, "time");
    }
    rows.sort();
    QCOMPARE(rows.size(), expected.size());
    QCOMPARE(rows, expected);
}

void TestHlsim::countsEveryRequestOnExit()
{
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 60 --latency 30 --page-size 10"))));
    QTemporaryDir config;
    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
        Args("--name x --connections 5 --master " + sim.master()), IsolatedEnvironment(config.path()));
    QVERIFY(result.finished);
    const int listedCount = int(listed(sim, QString(), QString()).size());
    const QString output = QString::fromLatin1(sim.stop());
    // Every listed server asked once; with 30 ms replies the client's five sockets are all in use.
    QVERIFY2(output.contains(QStringLiteral("requests: master %1, info 0, rules 0, players %2, other 0")
                                 .arg((listedCount + 9) / 10)
                                 .arg(listedCount)),
        qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("peak outstanding 5")), qPrintable(output));
}

void TestHlsim::helpNamesSteamOptions()
{
    const ToolResult result = RunTool(QStringLiteral(HLSIM_PATH), { QStringLiteral("--help") });
    QCOMPARE(result.exitCode, 0);
    for (const char *option :
        { "--master-protocol <legacy|steam|both>", "--steam-master-port <PORT>", "--steam-page-size <N>",
            "--steam-rate <N>", "--steam-silence <S>", "--a2s-info-challenge", "--a2s-direct <FRACTION>",
            "--info-layout <I|m|both|hybrid|mix>", "--webapi-port <PORT>", "--webapi-key <KEY>" })
        QVERIFY2(result.out.contains(option), option);
}

void TestHlsim::steamPaging_data()
{
    QTest::addColumn<int>("serverCount");
    QTest::addColumn<int>("pageSize");

    QTest::newRow("lastPagePartFull") << 40 << 7;
    // A full last page leaves the end marker to a page of its own.
    QTest::newRow("lastPageFull") << 42 << 7;
    QTest::newRow("onePerPage") << 5 << 1;
    QTest::newRow("onePage") << 10 << 231;
}

void TestHlsim::steamPaging()
{
    QFETCH(int, serverCount);
    QFETCH(int, pageSize);
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers %1 --players 0-3 --master-protocol steam --steam-rate 0 "
                                          "--steam-page-size %2")
                               .arg(serverCount)
                               .arg(pageSize))));
    // Alone, the Steam master answers on --master-port and prints the listening line.
    QCOMPARE(steamMasterPort(sim), sim.masterPort());
    QVERIFY(!sim.population().contains(QStringLiteral("master")));

    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    const SteamPages list = steamList(socket, sim.masterPort(), 255, QByteArray());
    QVERIFY(list.ended);
    QList<int> everyServer;
    for (const QJsonValue &server : servers(sim))
        everyServer.append(server.toObject().value(QStringLiteral("port")).toInt());
    QCOMPARE(list.ports, everyServer);
    QList<int> sizes;
    int left = serverCount;
    for (; left >= pageSize; left -= pageSize)
        sizes.append(pageSize);
    sizes.append(left + 1);
    QCOMPARE(list.sizes, sizes);
    for (const QByteArray &page : list.pages)
        QVERIFY(page.startsWith(QByteArray::fromHex("ffffffff660a")));
    QVERIFY(list.pages.last().endsWith(QByteArray(6, '\0')));
}

void TestHlsim::steamSeeds()
{
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 30 --players 0-2 --master-protocol steam --steam-rate 0 "
                                          "--steam-page-size 5"))));
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    // Requests written out by hand: 31, region, seed text 00, filter text 00.
    const auto page = [&](const QByteArray &seed) {
        QList<int> ports;
        const QByteArray reply = ask(socket, sim.masterPort(), "\x31\xFF" + seed + '\0' + '\0');
        const protocol::SteamMasterReply parsed = protocol::ParseSteamMasterReply(reply);
        for (const protocol::ServerEntry &entry : parsed.Entries) {
            ports.append(entry.Port);
            if (entry.Address != QLatin1String("127.0.0.1"))
                ports.append(-1);
        }
        if (parsed.Ended)
            ports.append(0);
        return ports;
    };
    const auto ports = [&](int from, int to) {
        QList<int> out;
        for (int i = from; i <= to; ++i)
            out.append(portOf(sim, i));
        return out;
    };
    const QByteArray tenth = "127.0.0.1:" + QByteArray::number(portOf(sim, 10));
    QCOMPARE(page(tenth), ports(11, 15));
    QCOMPARE(page("127.0.0.1:" + QByteArray::number(portOf(sim, 29))), QList<int> { 0 });
    // A seed that names none of its servers starts the list over.
    QCOMPARE(page("127.0.0.1:1"), ports(0, 4));
    QCOMPARE(page("10.0.0.1:" + QByteArray::number(portOf(sim, 10))), ports(0, 4));

    // Malformed requests get nothing: no final zero, a bad seed, another first byte.
    for (const QByteArray &bad : { QByteArray("\x31\xFF" + tenth + '\0'),
             QByteArray("\x31\xFF"
                        "ten\0\0",
                 7),
             QByteArray("\x32\xFF" + tenth + '\0' + '\0') })
        socket.writeDatagram(bad, QHostAddress::LocalHost, quint16(sim.masterPort()));
    QCOMPARE(page("0.0.0.0:0"), ports(0, 4));
    QVERIFY(silentFor(socket, 200));
}

void TestHlsim::steamFilters_data()
{
    QTest::addColumn<int>("region");
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<int>("appId"); // -1: any; 0 (no such app): none
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<bool>("notEmpty");
    QTest::addColumn<bool>("none"); // the master must list nothing

    QTest::newRow("all") << 255 << QByteArray() << -1 << ""
                         << "" << false << false;
    QTest::newRow("appid_cstrike") << 255 << QByteArray("\\appid\\10") << 10 << ""
                                   << "" << false << false;
    QTest::newRow("appid_halfLifeAndMods") << 255 << QByteArray("\\appid\\70") << 70 << ""
                                           << "" << false << false;
    QTest::newRow("appid_nobodyRunsRicochet") << 255 << QByteArray("\\appid\\60") << 60 << ""
                                              << "" << false << true;
    QTest::newRow("appid_notANumber") << 255 << QByteArray("\\appid\\ten") << 0 << ""
                                      << "" << false << true;
    QTest::newRow("gamedir_otherCase") << 255 << QByteArray("\\gamedir\\TFC") << -1 << "tfc"
                                       << "" << false << false;
    QTest::newRow("appidAndGamedir_mod") << 255 << QByteArray("\\appid\\70\\gamedir\\ag") << 70 << "ag"
                                         << "" << false << false;
    QTest::newRow("appidAndGamedir_disagree") << 255 << QByteArray("\\appid\\10\\gamedir\\tfc") << 10 << "tfc"
                                              << "" << false << true;
    QTest::newRow("map_otherCase") << 255 << QByteArray("\\appid\\10\\map\\DE_DUST2") << 10 << ""
                                   << "de_dust2" << false << false;
    QTest::newRow("empty") << 255 << QByteArray("\\empty\\1") << -1 << ""
                           << "" << true << false;
    QTest::newRow("unknownKeyIgnored") << 255 << QByteArray("\\secure\\1\\appid\\20") << 20 << ""
                                       << "" << false << false;
    // What the program sends for a game and a map.
    QTest::newRow("programFilter")
        << 255 << protocol::SteamMasterFilters(QStringLiteral("cstrike"), QString()).first() << 10
        << "cstrike"
        << "" << true << false;
    QTest::newRow("region_europe") << 3 << QByteArray() << -1 << ""
                                   << "" << false << false;
    QTest::newRow("region_asiaNotEmpty") << 4 << QByteArray("\\appid\\10\\empty\\1") << 10 << ""
                                         << "" << true << false;
    QTest::newRow("region_noSuchRegion") << 9 << QByteArray() << -1 << ""
                                         << "" << false << true;
}

void TestHlsim::steamFilters()
{
    QFETCH(int, region);
    QFETCH(QByteArray, filter);
    QFETCH(int, appId);
    QFETCH(QString, game);
    QFETCH(QString, map);
    QFETCH(bool, notEmpty);
    QFETCH(bool, none);
    Simulator sim;
    QVERIFY(
        sim.start(Args(QStringLiteral("--servers 150 --players 0-4 --master-protocol both --steam-rate 0"))));
    QVERIFY(steamMasterPort(sim) != 0 && steamMasterPort(sim) != sim.masterPort());

    QList<int> expected;
    for (const QJsonValue &value : servers(sim)) {
        const QJsonObject server = value.toObject();
        const auto same = [&](const char *key, const QString &wanted) {
            return wanted.isEmpty()
                || server.value(QLatin1String(key)).toString().compare(wanted, Qt::CaseInsensitive) == 0;
        };
        if ((region == 255 || server.value(QStringLiteral("region")).toInt() == region)
            && (appId < 0 || server.value(QStringLiteral("appid")).toInt() == appId) && same("game", game)
            && same("map", map)
            && (!notEmpty || !server.value(QStringLiteral("players")).toArray().isEmpty()))
            expected.append(server.value(QStringLiteral("port")).toInt());
    }
    QCOMPARE(expected.isEmpty(), none);

    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    const SteamPages list = steamList(socket, steamMasterPort(sim), quint8(region), filter);
    QVERIFY(list.ended);
    QCOMPARE(list.ports, expected);
}

void TestHlsim::steamSilence()
{
    Simulator sim;
    QVERIFY(sim.start(
        Args(QStringLiteral("--servers 5 --master-protocol steam --steam-rate 3 --steam-silence 1.5"))));
    QUdpSocket socket;
    QUdpSocket second;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0) && second.bind(QHostAddress::LocalHost, 0));
    const QByteArray request = protocol::BuildSteamMasterRequest(255, protocol::FirstSteamSeed(), {});
    for (int i = 0; i < 3; ++i)
        QVERIFY(!ask(socket, sim.masterPort(), request).isEmpty());

    QElapsedTimer silence;
    silence.start();
    socket.writeDatagram(request, QHostAddress::LocalHost, quint16(sim.masterPort()));
    QVERIFY(silentFor(socket, 300));
    // The limit is per address: another socket and another filter get nothing either.
    second.writeDatagram(protocol::BuildSteamMasterRequest(3, protocol::FirstSteamSeed(), "\\appid\\10"),
        QHostAddress::LocalHost, quint16(sim.masterPort()));
    QVERIFY(silentFor(second, 300));

    QTest::qWait(int(std::max<qint64>(0, 1700 - silence.elapsed())));
    QVERIFY(!ask(socket, sim.masterPort(), request).isEmpty());
    const QString output = QString::fromLatin1(sim.stop());
    QVERIFY2(output.contains(QStringLiteral("Steam requests: master 6 (withheld 2)")), qPrintable(output));
}

void TestHlsim::a2sChallenges_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("direct"); // a server that never asks for a challenge
    QTest::addColumn<bool>("challenged");

    QTest::newRow("players_challenged") << ""
                                        << "players" << false << true;
    QTest::newRow("rules_challenged") << ""
                                      << "rules" << false << true;
    QTest::newRow("info_bareByDefault") << ""
                                        << "info" << false << false;
    QTest::newRow("info_challenged") << "--a2s-info-challenge"
                                     << "info" << false << true;
    QTest::newRow("players_direct") << ""
                                    << "players" << true << false;
    QTest::newRow("info_directDespiteOption") << "--a2s-info-challenge"
                                              << "info" << true << false;
}

void TestHlsim::a2sChallenges()
{
    QFETCH(QString, options);
    QFETCH(QString, kind);
    QFETCH(bool, direct);
    QFETCH(bool, challenged);
    Simulator sim;
    QStringList arguments
        = Args(QStringLiteral("--servers 30 --players 1-4 --info-layout I --a2s-direct 0.3"));
    if (!options.isEmpty())
        arguments += Args(options);
    QVERIFY(sim.start(arguments));
    // A server whose rules fit one datagram.
    const int server = firstServer(sim, [&](const QJsonObject &s) {
        return s.value(QStringLiteral("a2sDirect")).toBool() == direct
            && s.value(QStringLiteral("index")).toInt() % 10 != 3;
    });
    QVERIFY(server >= 0);
    const int port = portOf(sim, server);
    const auto build = kind == QLatin1String("players") ? protocol::BuildA2sPlayersRequest
        : kind == QLatin1String("rules")                ? protocol::BuildA2sRulesRequest
                                                        : protocol::BuildA2sInfoRequest;
    const protocol::A2sReplyKind answer = kind == QLatin1String("players") ? protocol::A2sReplyKind::Players
        : kind == QLatin1String("rules")                                   ? protocol::A2sReplyKind::Rules
                                         : protocol::A2sReplyKind::InfoSource;
    QUdpSocket socket;
    QUdpSocket other;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0) && other.bind(QHostAddress::LocalHost, 0));
    const QByteArray first = ask(socket, port, build(std::nullopt));
    if (!challenged) {
        QCOMPARE(protocol::ClassifyA2sReply(first).Kind, answer);
        return;
    }
    QCOMPARE(first.size(), 9);
    QVERIFY(first.startsWith("\xFF\xFF\xFF\xFF"
                             "A"));
    const QByteArray challenge = first.sliced(5);
    QVERIFY(challenge != QByteArray(4, '\xFF'));
    // A wrong challenge gets the right one again, and so does asking afresh.
    QByteArray wrong = challenge;
    wrong[0] = char(wrong[0] ^ 1);
    QCOMPARE(ask(socket, port, build(wrong)), first);
    QCOMPARE(ask(socket, port, build(std::nullopt)), first);
    QCOMPARE(protocol::ClassifyA2sReply(ask(socket, port, build(challenge))).Kind, answer);
    // Another client port has a challenge of its own; this socket's is refused there.
    const protocol::A2sReplyClass elsewhere = protocol::ClassifyA2sReply(ask(other, port, build(challenge)));
    QCOMPARE(elsewhere.Kind, protocol::A2sReplyKind::Challenge);
    QVERIFY(elsewhere.Challenge != challenge);
}

void TestHlsim::infoLayouts_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QByteArray>("types"); // the type byte of each datagram, in order

    QTest::newRow("source") << "I" << QByteArray("I");
    QTest::newRow("goldSrc") << "m" << QByteArray("m");
    QTest::newRow("both") << "both" << QByteArray("mI");
    QTest::newRow("hybrid") << "hybrid" << QByteArray("mDI");
}

void TestHlsim::infoLayouts()
{
    QFETCH(QString, layout);
    QFETCH(QByteArray, types);
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 40 --players 1-5 --info-layout ") + layout)));
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    // Half-Life itself, then a game whose old layout carries the mod fields.
    for (bool valve : { true, false }) {
        const int index = firstServer(sim, [&](const QJsonObject &s) {
            return (s.value(QStringLiteral("game")).toString() == u"valve") == valve;
        });
        QVERIFY(index >= 0);
        const QJsonObject server = servers(sim)[index].toObject();
        const int port = server.value(QStringLiteral("port")).toInt();
        socket.writeDatagram(protocol::BuildA2sInfoRequest(), QHostAddress::LocalHost, quint16(port));
        const QList<QByteArray> datagrams = receive(socket, int(types.size()), 200);
        QByteArray got;
        for (const QByteArray &datagram : datagrams)
            got += datagram.size() > 4 ? datagram[4] : '?';
        QCOMPARE(got, types);
        for (const QByteArray &datagram : datagrams) {
            if (datagram[4] == 'D') {
                QCOMPARE(datagram,
                    QByteArray("\xFF\xFF\xFF\xFF"
                               "D\0",
                        6));
                continue;
            }
            const protocol::A2sInfo info = protocol::DecodeA2sInfo(datagram);
            const bool source = datagram[4] == 'I';
            QCOMPARE(
                info.HostName, std::optional(server.value(QStringLiteral("hostname")).toString().toUtf8()));
            QCOMPARE(info.MapName, std::optional(server.value(QStringLiteral("map")).toString().toLatin1()));
            QCOMPARE(info.GameDirectory,
                std::optional(server.value(QStringLiteral("game")).toString().toLatin1()));
            QCOMPARE(info.PlayerCount,
                std::optional(quint8(server.value(QStringLiteral("players")).toArray().size())));
            QCOMPARE(info.ProtocolVersion, std::optional(quint8(source ? 48 : 47)));
            // The last fields decoded: nothing before them was misplaced.
            QCOMPARE(info.Bots, std::optional(quint8(0)));
            if (source) {
                QCOMPARE(info.AppId, std::optional(quint32(server.value(QStringLiteral("appid")).toInt())));
                QCOMPARE(info.Version, std::optional(QByteArray("1.1.2.7/Stdio")));
                QVERIFY(!info.GamePort || *info.GamePort == port);
            }
        }
    }
}

void TestHlsim::splitRulesReassemble()
{
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 60 --players 1-3 --a2s-direct 0"))));
    hlsim::PopulationOptions options = populationOptions(60, 1, 3);
    options.A2sDirectShare = 0;
    const QList<hlsim::SimServer> population = hlsim::MakePopulation(options);
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    bool sawInOrder = false;
    bool sawOutOfOrder = false;
    // Every tenth server's rules need several pieces.
    for (int i = 3; i < 60; i += 10) {
        const int port = portOf(sim, i);
        const QByteArray challenge = challengeFor(socket, port, protocol::BuildA2sRulesRequest());
        QVERIFY(!challenge.isEmpty());
        socket.writeDatagram(
            protocol::BuildA2sRulesRequest(challenge), QHostAddress::LocalHost, quint16(port));
        QList<int> order;
        const std::optional<QByteArray> whole = reassembled(socket, &order);
        QVERIFY(whole);
        QList<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        QVERIFY(order.size() >= 2);
        QCOMPARE(sorted.last(), order.size() - 1);
        QCOMPARE(order != sorted, population[i].PiecesOutOfOrder);
        (order == sorted ? sawInOrder : sawOutOfOrder) = true;

        const protocol::RulesReply rules = protocol::DecodeRulesReply(*whole);
        QVERIFY(rules.Complete);
        QCOMPARE(rules.Rules.size(), population[i].Rules.size());
        for (qsizetype r = 0; r < rules.Rules.size(); ++r) {
            QCOMPARE(rules.Rules[r].Name, population[i].Rules[r].first);
            QCOMPARE(rules.Rules[r].Value, QString::fromLatin1(population[i].Rules[r].second).toUtf8());
        }
    }
    QVERIFY(sawInOrder && sawOutOfOrder);
}

void TestHlsim::steamSideOfThePopulation()
{
    const QList<hlsim::SimServer> all = hlsim::MakePopulation(hlsim::PopulationOptions());
    QMap<hlsim::InfoLayout, int> layouts;
    QSet<quint8> regions;
    QSet<quint16> appIds;
    int direct = 0;
    bool cyrillic = false, greek = false, cjk = false, accented = false, emoji = false, combining = false,
         illFormed = false;
    for (const hlsim::SimServer &server : all) {
        QCOMPARE(server.AppId, protocol::SteamAppIdForGame(QString::fromLatin1(server.GameDirectory)));
        ++layouts[server.Layout];
        regions.insert(server.Region);
        appIds.insert(server.AppId);
        direct += server.A2sDirect ? 1 : 0;
        for (const hlsim::SimPlayer &player : server.Players) {
            const QString text = protocol::Utf8(player.SteamName);
            illFormed |= text.contains(QChar::ReplacementCharacter);
            for (QChar c : text) {
                const char16_t u = c.unicode();
                cyrillic |= u >= 0x0400 && u <= 0x04FF;
                greek |= u >= 0x0370 && u <= 0x03FF;
                cjk |= u >= 0x4E00 && u <= 0x9FFF;
                accented |= u >= 0x00C0 && u <= 0x024F;
                emoji |= c.isHighSurrogate();
                combining |= u >= 0x0300 && u <= 0x036F;
            }
        }
    }
    QVERIFY(cyrillic && greek && cjk && accented && emoji && combining && illFormed);
    QCOMPARE(layouts.size(), 4);
    QVERIFY2(layouts[hlsim::InfoLayout::Source] > int(all.size()) / 2, "most answer in the Source layout");
    QCOMPARE(regions.size(), 8);
    QCOMPARE(appIds, (QSet<quint16> { 10, 20, 30, 40, 50, 70, 80 }));
    QVERIFY2(direct > 10 && direct < 60, qPrintable(QString::number(direct)));

    // Growing the count keeps the Steam side of the servers already there.
    const QList<hlsim::SimServer> few = hlsim::MakePopulation(populationOptions(20, 0, 16));
    for (qsizetype i = 0; i < few.size(); ++i) {
        QCOMPARE(few[i].Region, all[i].Region);
        QCOMPARE(few[i].Layout, all[i].Layout);
        QCOMPARE(few[i].A2sDirect, all[i].A2sDirect);
        QCOMPARE(few[i].Players.size(), all[i].Players.size());
        for (qsizetype p = 0; p < few[i].Players.size(); ++p)
            QCOMPARE(few[i].Players[p].SteamName, all[i].Players[p].SteamName);
    }
}

void TestHlsim::utf8NamesOverA2s()
{
    const QSet<QString> unicodeNames = { QStringLiteral("Иван"), QStringLiteral("ИВАНГРОЗНЫЙ"),
        QStringLiteral("Снайпер"), QStringLiteral("Σίσυφος"), QStringLiteral("ΟΔΥΣΣΕΥΣ"),
        QStringLiteral("玩家"), QStringLiteral("狙击手"), QStringLiteral("Jos\u00E9"),
        QStringLiteral("Stra\u00DFe"), QStringLiteral("STRASSE"), QStringLiteral("\U0001F3AEgamer"),
        QStringLiteral("\U0001F480Reaper"), QStringLiteral("Zoe\u0308"), QStringLiteral("Ame\u0301lie") };
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 80 --players 6-12 --a2s-direct 1"))));
    hlsim::PopulationOptions options = populationOptions(80, 6, 12);
    options.A2sDirectShare = 1;
    const QList<hlsim::SimServer> population = hlsim::MakePopulation(options);
    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    int unicode = 0;
    int illFormed = 0;
    for (const hlsim::SimServer &server : population) {
        QList<QByteArray> steamNames;
        QList<QByteArray> legacyNames;
        for (const hlsim::SimPlayer &player : server.Players) {
            steamNames.append(player.SteamName);
            legacyNames.append(player.Name);
        }
        const protocol::PlayersReply steam = protocol::DecodePlayersReply(
            ask(socket, portOf(sim, server.Index), protocol::BuildA2sPlayersRequest()));
        const protocol::PlayersReply legacy = protocol::DecodePlayersReply(ask(
            socket, portOf(sim, server.Index), protocol::BuildQueryRequest(protocol::QueryKind::Players)));
        QVERIFY(steam.Complete && legacy.Complete);
        QList<QByteArray> gotSteam;
        QList<QByteArray> gotLegacy;
        for (const protocol::PlayerRecord &player : steam.Players)
            gotSteam.append(player.Name);
        for (const protocol::PlayerRecord &player : legacy.Players)
            gotLegacy.append(player.Name);
        QCOMPARE(gotSteam, steamNames);
        // The legacy reply keeps the Latin-1 names.
        QCOMPARE(gotLegacy, legacyNames);
        for (qsizetype p = 0; p < gotSteam.size(); ++p) {
            const QString text = protocol::Utf8(gotSteam[p]);
            if (text.contains(QChar::ReplacementCharacter)) {
                ++illFormed;
            } else if (text != QString::fromLatin1(gotLegacy[p])) {
                QVERIFY2(unicodeNames.contains(text), qPrintable(text));
                ++unicode;
            }
        }
    }
    QVERIFY2(unicode > 5 && illFormed > 0, qPrintable(QStringLiteral("%1 %2").arg(unicode).arg(illFormed)));
}

void TestHlsim::webApiLists_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<int>("cap"); // 0: none
    QTest::addColumn<search::WebApiEnd>("end");

    QTest::newRow("all") << ""
                         << "" << 0 << search::WebApiEnd::Complete;
    QTest::newRow("game") << "cstrike"
                          << "" << 0 << search::WebApiEnd::Complete;
    QTest::newRow("gameAndMap_anyCase") << "CStrike"
                                        << "DE_DUST2" << 0 << search::WebApiEnd::Complete;
    QTest::newRow("mod") << "gearbox"
                         << "" << 0 << search::WebApiEnd::Complete;
    QTest::newRow("none") << "nosuchgame"
                          << "" << 0 << search::WebApiEnd::Complete;
    QTest::newRow("capped") << ""
                            << "" << 4 << search::WebApiEnd::CapReached;
}

void TestHlsim::webApiLists()
{
    QFETCH(QString, game);
    QFETCH(QString, map);
    QFETCH(int, cap);
    QFETCH(search::WebApiEnd, end);
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 60 --players 0-3 --webapi-port 0 --webapi-key K1"))));
    QCOMPARE(webApi(sim).host(), QStringLiteral("127.0.0.1"));

    search::WebApiClient client;
    QList<protocol::ServerEntry> servers;
    std::optional<search::WebApiOutcome> outcome;
    connect(&client, &search::WebApiClient::serversAdded, this,
        [&](const QList<protocol::ServerEntry> &batch) { servers += batch; });
    connect(&client, &search::WebApiClient::finished, this,
        [&](const search::WebApiOutcome &done) { outcome = done; });
    client.start(webApi(sim), QStringLiteral("K1"), protocol::SteamMasterFilters(game, map),
        cap > 0 ? std::optional<qint32>(cap) : std::nullopt);
    QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 20000);
    QCOMPARE(outcome->end, end);

    QSet<int> expected;
    for (const QJsonObject &server : listed(sim, game, map))
        expected.insert(server.value(QStringLiteral("port")).toInt());
    QCOMPARE(expected.isEmpty(), game == QLatin1String("nosuchgame")); // a row that tests something
    QSet<int> got;
    for (const protocol::ServerEntry &entry : servers) {
        QCOMPARE(entry.Address, QStringLiteral("127.0.0.1"));
        got.insert(entry.Port);
    }
    QCOMPARE(got.size(), servers.size());
    if (cap > 0) {
        QCOMPARE(got.size(), cap);
        QVERIFY(expected.contains(got));
    } else {
        QCOMPARE(got, expected);
    }
    QVERIFY(sim.stop().contains(
        QStringLiteral("Web API requests %1 (key refused 0)").arg(client.requestsSent()).toLatin1()));
}

void TestHlsim::webApiServerFields()
{
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 30 --players 1-3 --webapi-port 0"))));
    // Any key will do when none is named.
    const QByteArray reply = httpExchange(quint16(webApi(sim).port()),
        "GET /IGameServersService/GetServerList/v1/?key=any&filter=%5Cgamedir%5Ccstrike HTTP/1.1\r\n\r\n");
    QVERIFY2(reply.startsWith("HTTP/1.1 200 OK\r\n"), reply.constData());
    const QJsonArray answered = webApiServers(reply);
    QCOMPARE(answered.size(), listed(sim, QStringLiteral("cstrike"), QString()).size());
    for (const QJsonValue &value : answered) {
        const QJsonObject server = value.toObject();
        const int port = server.value(QStringLiteral("gameport")).toInt();
        const int index = firstServer(
            sim, [&](const QJsonObject &s) { return s.value(QStringLiteral("port")).toInt() == port; });
        QVERIFY(index >= 0);
        const QJsonObject dumped = servers(sim)[index].toObject();
        QCOMPARE(server.value(QStringLiteral("addr")).toString(), QStringLiteral("127.0.0.1:%1").arg(port));
        QCOMPARE(server.value(QStringLiteral("name")), dumped.value(QStringLiteral("hostname")));
        QCOMPARE(server.value(QStringLiteral("gamedir")), dumped.value(QStringLiteral("game")));
        QCOMPARE(server.value(QStringLiteral("map")), dumped.value(QStringLiteral("map")));
        QCOMPARE(server.value(QStringLiteral("appid")), dumped.value(QStringLiteral("appid")));
        QCOMPARE(server.value(QStringLiteral("players")).toInt(),
            dumped.value(QStringLiteral("players")).toArray().size());
        for (const char *field : { "max_players", "bots", "secure", "dedicated", "os", "version" })
            QVERIFY2(server.contains(QLatin1String(field)), field);
    }
}

void TestHlsim::webApiRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<int>("servers"); // -1: not a list

    const QByteArray path = "/IGameServersService/GetServerList/v1/";
    const QByteArray end = " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    QTest::newRow("ok_limit") << QByteArray("GET " + path + "?key=K1&limit=2" + end) << QByteArray("200 OK")
                              << 2;
    QTest::newRow("ok_noSlash") << QByteArray("GET " + path.chopped(1) + "?limit=1&key=K1" + end)
                                << QByteArray("200 OK") << 1;
    QTest::newRow("ok_nothingMatches")
        << QByteArray("GET " + path + "?key=K1&filter=%5Cmap%5Cnone" + end) << QByteArray("200 OK") << 0;
    QTest::newRow("key_missing") << QByteArray("GET " + path + "?limit=2" + end)
                                 << QByteArray("403 Forbidden") << -1;
    QTest::newRow("key_wrong") << QByteArray("GET " + path + "?key=K2" + end) << QByteArray("403 Forbidden")
                               << -1;
    QTest::newRow("key_empty") << QByteArray("GET " + path + "?key=" + end) << QByteArray("403 Forbidden")
                               << -1;
    QTest::newRow("bad_limit") << QByteArray("GET " + path + "?key=K1&limit=abc" + end)
                               << QByteArray("400 Bad Request") << -1;
    QTest::newRow("bad_limitZero") << QByteArray("GET " + path + "?key=K1&limit=0" + end)
                                   << QByteArray("400 Bad Request") << -1;
    QTest::newRow("bad_format") << QByteArray("GET " + path + "?key=K1&format=xml" + end)
                                << QByteArray("400 Bad Request") << -1;
    QTest::newRow("bad_path") << QByteArray("GET /ISteamApps/GetAppList/v2/?key=K1" + end)
                              << QByteArray("404 Not Found") << -1;
    QTest::newRow("bad_method") << QByteArray("POST " + path + "?key=K1" + end)
                                << QByteArray("405 Method Not Allowed") << -1;
    QTest::newRow("bad_notHttp") << QByteArray("hello\r\n\r\n") << QByteArray("400 Bad Request") << -1;
    QTest::newRow("bad_headTooLong") << QByteArray(
        "GET " + path + "?key=K1 HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n")
                                     << QByteArray("431 Request Header Fields Too Large") << -1;
}

void TestHlsim::webApiRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    QFETCH(int, servers);
    Simulator sim;
    QVERIFY(sim.start(Args(QStringLiteral("--servers 10 --players 1 --webapi-port 0 --webapi-key K1"))));
    const QByteArray reply = httpExchange(quint16(webApi(sim).port()), request);
    QVERIFY2(reply.startsWith(QByteArray("HTTP/1.1 " + statusLine + "\r\n")), reply.left(200).constData());
    QVERIFY(reply.contains("\r\nConnection: close\r\n"));
    if (servers >= 0)
        QCOMPARE(webApiServers(reply).size(), servers);
}

QTEST_GUILESS_MAIN(TestHlsim)
#include "tst_hlsim.moc"
