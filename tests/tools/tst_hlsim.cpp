// hlsim itself (the same bytes for the same seed, loopback only, options, the schedule floor) and
// rollcall-find against it: every row a known population must give, through the master's pages
// and filters.

#include "Population.h"
#include "ToolProcess.h"
#include "protocol/QueryProtocol.h"
#include "search/PlayerMatcher.h"
#include "ui/Version.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace rollcall;
using namespace rollcall::testtools;

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

QTEST_GUILESS_MAIN(TestHlsim)
#include "tst_hlsim.moc"
