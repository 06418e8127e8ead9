// hlsim itself (master pages and filters, the same bytes for the same seed, loopback only, the
// schedule floor) and rollcall-find against it: every row a known population must give.

#include "Population.h"
#include "ToolProcess.h"

#include "QueryProtocol.h"
#include "search/PlayerMatcher.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace rollcall;
using namespace rollcall::testtools;

namespace {

struct Entry
{
    QString address;
    int port = 0;
    friend bool operator==(const Entry &, const Entry &) = default;
};

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

QList<Entry> downloadList(int masterPort, const QByteArray &filter, int *pages)
{
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    QByteArray key(4, '\0');
    QList<Entry> entries;
    *pages = 0;
    for (;;) {
        const QByteArray reply = ask(socket, masterPort, '1' + key + filter + '\0');
        if (reply.size() < 10 || !reply.startsWith("\xFF\xFF\xFF\xFF\x66"))
            return {};
        ++*pages;
        key = reply.mid(6, 4);
        for (qsizetype i = 10; i + 6 <= reply.size(); i += 6) {
            const auto b = [&](qsizetype k) { return int(quint8(reply[i + k])); };
            entries.append({QStringLiteral("%1.%2.%3.%4").arg(b(0)).arg(b(1)).arg(b(2)).arg(b(3)), b(4) * 256 + b(5)});
        }
        if (key == QByteArray(4, '\0'))
            return entries;
        if (*pages > 10000)
            return {};
    }
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
        if (!game.isEmpty() && server.value(QStringLiteral("game")).toString().compare(game, Qt::CaseInsensitive) != 0)
            continue;
        if (!map.isEmpty() && server.value(QStringLiteral("map")).toString().compare(map, Qt::CaseInsensitive) != 0)
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
    void masterPagesAndFilters_data();
    void masterPagesAndFilters();
    void sameSeedSameBytes();
    void wellKnownNameOnSeveralServers();
    void loopbackOnly();
    void namesFromAFile();
    void refusesBadOptions_data();
    void refusesBadOptions();
    void scheduleFloor_data();
    void scheduleFloor();
    void findRows_data();
    void findRows();
    void countsEveryRequestOnExit();
};

void TestHlsim::masterPagesAndFilters_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");

    QTest::newRow("all") << QString() << QString();
    QTest::newRow("game") << QStringLiteral("tfc") << QString();
    QTest::newRow("game_otherCase") << QStringLiteral("CStrike") << QString();
    QTest::newRow("gameAndMap") << QStringLiteral("cstrike") << QStringLiteral("de_dust2");
    QTest::newRow("noSuchGame") << QStringLiteral("ricochet") << QString();
}

void TestHlsim::masterPagesAndFilters()
{
    QFETCH(QString, game);
    QFETCH(QString, map);
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--servers"), QStringLiteral("150"), QStringLiteral("--page-size"), QStringLiteral("7"),
                       QStringLiteral("--players"), QStringLiteral("0-3")}));
    QByteArray filter;
    if (!game.isEmpty())
        filter += "\\gamedir\\" + game.toLatin1();
    if (!map.isEmpty())
        filter += "\\map\\" + map.toLatin1();
    filter += "\\empty\\1";

    QList<Entry> expected;
    for (const QJsonObject &server : listed(sim, game, map))
        expected.append({server.value(QStringLiteral("address")).toString(), server.value(QStringLiteral("port")).toInt()});
    int pages = 0;
    QCOMPARE(downloadList(sim.masterPort(), filter, &pages), expected);
    QCOMPARE(pages, qMax(1, int((expected.size() + 6) / 7)));
    if (game.isEmpty())
        QVERIFY(expected.size() < 150); // some servers are empty and left out
}

void TestHlsim::sameSeedSameBytes()
{
    const QStringList options = {QStringLiteral("--servers"), QStringLiteral("40"), QStringLiteral("--seed"),
                                 QStringLiteral("7"), QStringLiteral("--cutoff"), QStringLiteral("0.2")};
    Simulator first;
    Simulator second;
    Simulator other;
    QVERIFY(first.start(options));
    QVERIFY(second.start(options));
    QVERIFY(other.start({QStringLiteral("--servers"), QStringLiteral("40"), QStringLiteral("--seed"), QStringLiteral("8")}));
    QCOMPARE(withoutPorts(first.population()), withoutPorts(second.population()));
    QVERIFY(withoutPorts(first.population()) != withoutPorts(other.population()));

    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress::LocalHost, 0));
    const QJsonArray a = servers(first);
    const QJsonArray b = servers(second);
    for (qsizetype i = 0; i < a.size(); ++i) {
        const int portA = a[i].toObject().value(QStringLiteral("port")).toInt();
        const int portB = b[i].toObject().value(QStringLiteral("port")).toInt();
        const QByteArray players = protocol::BuildQueryRequest(protocol::QueryKind::Players);
        const QByteArray playersA = ask(socket, portA, players);
        QVERIFY(playersA.startsWith("\xFF\xFF\xFF\xFF" "D"));
        QCOMPARE(ask(socket, portB, players), playersA);
        // Every tenth server's rules need three pieces; the rest fit one datagram.
        const int pieces = i % 10 == 3 ? 3 : 1;
        const QByteArray rules = protocol::BuildQueryRequest(protocol::QueryKind::Rules);
        const QByteArray rulesA = ask(socket, portA, rules, pieces);
        QCOMPARE(rulesA.startsWith("\xFE\xFF\xFF\xFF"), pieces > 1);
        QCOMPARE(ask(socket, portB, rules, pieces), rulesA);
    }
}

void TestHlsim::wellKnownNameOnSeveralServers()
{
    // What the README tells newcomers to search for must be there in the default population.
    hlsim::PopulationOptions options;
    const QList<hlsim::SimServer> population = hlsim::MakePopulation(options);
    int servers = 0;
    for (const hlsim::SimServer &server : population) {
        for (const hlsim::SimPlayer &player : server.Players)
            servers += player.Name == hlsim::WellKnownName ? 1 : 0;
    }
    QVERIFY2(servers >= 5, qPrintable(QString::number(servers)));

    // Names of every kind: clan tags, digits, bytes above 0x7F, tabs and backslashes, negative frags.
    bool tag = false, digit = false, high = false, hostile = false, negative = false, longTime = false;
    for (const hlsim::SimServer &server : population) {
        for (const hlsim::SimPlayer &player : server.Players) {
            tag |= player.Name.startsWith('[');
            digit |= std::any_of(player.Name.begin(), player.Name.end(), [](char c) { return c >= '0' && c <= '9'; });
            high |= std::any_of(player.Name.begin(), player.Name.end(), [](char c) { return quint8(c) > 0x7F; });
            hostile |= player.Name.contains('\t') || player.Name.contains('\\');
            negative |= player.Frags < 0;
            longTime |= player.Time >= 360000.0f;
        }
    }
    QVERIFY(tag && digit && high && hostile && negative && longTime);
}

void TestHlsim::loopbackOnly()
{
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--servers"), QStringLiteral("3")}));
    // The kernel's own table: the master's socket is bound to 127.0.0.1 and nothing wider.
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        QSKIP("no /proc/net/udp here");
    const QByteArray local = "0100007F:" + QByteArray::number(sim.masterPort(), 16).toUpper().rightJustified(4, '0');
    const QByteArray any = "00000000:" + QByteArray::number(sim.masterPort(), 16).toUpper().rightJustified(4, '0');
    const QByteArray rows = table.readAll();
    QVERIFY(rows.contains(local));
    QVERIFY(!rows.contains(any));
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
    QVERIFY(sim.start({QStringLiteral("--servers"), QStringLiteral("40"), QStringLiteral("--players"), QStringLiteral("2-4"),
                       QStringLiteral("--names"), names.fileName()}));
    QSet<QString> seen;
    for (const QJsonValue &server : servers(sim)) {
        for (const QJsonValue &player : server.toObject().value(QStringLiteral("players")).toArray())
            seen.insert(player.toObject().value(QStringLiteral("name")).toString());
    }
    QCOMPARE(seen, (QSet<QString> {QStringLiteral("Zo\u00EB"), QStringLiteral("second name")}));
}

void TestHlsim::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("bind_wildcard") << QStringList {QStringLiteral("--bind"), QStringLiteral("0.0.0.0")} << QStringLiteral("--bind");
    QTest::newRow("bind_name") << QStringList {QStringLiteral("--bind"), QStringLiteral("example.org")} << QStringLiteral("--bind");
    QTest::newRow("servers_zero") << QStringList {QStringLiteral("--servers"), QStringLiteral("0")} << QStringLiteral("--servers");
    QTest::newRow("players_backwards") << QStringList {QStringLiteral("--players"), QStringLiteral("9-2")}
                                       << QStringLiteral("--players");
    QTest::newRow("silent_tooMuch") << QStringList {QStringLiteral("--silent"), QStringLiteral("1.5")} << QStringLiteral("--silent");
    QTest::newRow("ports_pastTheEnd") << QStringList {QStringLiteral("--servers"), QStringLiteral("100"),
                                                      QStringLiteral("--first-port"), QStringLiteral("65500")}
                                      << QStringLiteral("--first-port");
    QTest::newRow("floor_noTimeout") << QStringList {QStringLiteral("--schedule-floor"), QStringLiteral("80")}
                                     << QStringLiteral("--schedule-floor");
}

void TestHlsim::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const ToolResult result = RunTool(QStringLiteral(HLSIM_PATH), arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    QVERIFY(!result.out.contains("listening"));
}

void TestHlsim::scheduleFloor_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("floor");

    // Four servers of 10 ms on two sockets: two rounds.
    QTest::newRow("twoRounds") << QStringList {QStringLiteral("--servers"), QStringLiteral("4"), QStringLiteral("--players"),
                                               QStringLiteral("1"), QStringLiteral("--latency"), QStringLiteral("10"),
                                               QStringLiteral("--schedule-floor"), QStringLiteral("2"), QStringLiteral("1000")}
                               << QStringLiteral("20.000 ms for 4 listed servers");
    // All silent: each costs the whole time-out.
    QTest::newRow("silent") << QStringList {QStringLiteral("--servers"), QStringLiteral("3"), QStringLiteral("--players"),
                                            QStringLiteral("1"), QStringLiteral("--silent"), QStringLiteral("1"),
                                            QStringLiteral("--schedule-floor"), QStringLiteral("2"), QStringLiteral("500")}
                            << QStringLiteral("1000.000 ms for 3 listed servers");
    // Empty servers are never listed and cost nothing.
    QTest::newRow("empty") << QStringList {QStringLiteral("--servers"), QStringLiteral("5"), QStringLiteral("--players"),
                                           QStringLiteral("0"), QStringLiteral("--schedule-floor"), QStringLiteral("2"),
                                           QStringLiteral("1000")}
                           << QStringLiteral("0.000 ms for 0 listed servers");
}

void TestHlsim::scheduleFloor()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, floor);
    const ToolResult result = RunTool(QStringLiteral(HLSIM_PATH), arguments);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(QString::fromUtf8(result.out).contains(QStringLiteral("schedule floor ") + floor), result.out.constData());
}

void TestHlsim::findRows_data()
{
    QTest::addColumn<QStringList>("population");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("cap");

    const QStringList plain = {QStringLiteral("--servers"), QStringLiteral("120")};
    QTest::newRow("substring_wellKnown") << plain << QStringList {QStringLiteral("--name"), QStringLiteral("gordon")} << 0;
    QTest::newRow("pattern_clanTag") << plain << QStringList {QStringLiteral("--pattern"), QStringLiteral("[[]tag]*")} << 0;
    QTest::newRow("twoSlots") << plain
                              << QStringList {QStringLiteral("--pattern"), QStringLiteral("#*"), QStringLiteral("--name"),
                                              QStringLiteral("\u00F8")}
                              << 0;
    QTest::newRow("everyone") << plain << QStringList {QStringLiteral("--pattern"), QStringLiteral("*")} << 0;
    QTest::newRow("cap") << plain << QStringList {QStringLiteral("--pattern"), QStringLiteral("*"), QStringLiteral("--max-servers"),
                                                  QStringLiteral("9")}
                         << 9;
    QTest::newRow("filter_game") << plain << QStringList {QStringLiteral("--pattern"), QStringLiteral("*"),
                                                          QStringLiteral("--game"), QStringLiteral("tfc")}
                                 << 0;
    QTest::newRow("filter_gameAndMap") << plain << QStringList {QStringLiteral("--pattern"), QStringLiteral("*"),
                                                                QStringLiteral("--game"), QStringLiteral("cstrike"),
                                                                QStringLiteral("--map"), QStringLiteral("de_dust2")}
                                       << 0;
    // Players replies of 100+ records exceed one datagram and arrive split.
    QTest::newRow("splitPlayersReplies") << QStringList {QStringLiteral("--servers"), QStringLiteral("30"), QStringLiteral("--players"),
                                                         QStringLiteral("100-140")}
                                         << QStringList {QStringLiteral("--pattern"), QStringLiteral("*")} << 0;
    QTest::newRow("silentAndCutOff") << QStringList {QStringLiteral("--servers"), QStringLiteral("120"), QStringLiteral("--silent"),
                                                     QStringLiteral("0.2"), QStringLiteral("--cutoff"), QStringLiteral("0.3")}
                                     << QStringList {QStringLiteral("--pattern"), QStringLiteral("*")} << 0;
}

void TestHlsim::findRows()
{
    QFETCH(QStringList, population);
    QFETCH(QStringList, arguments);
    QFETCH(int, cap);
    Simulator sim;
    QVERIFY(sim.start(population));

    const auto value = [&](const QString &option) {
        const qsizetype at = arguments.indexOf(option);
        return at >= 0 ? arguments.value(at + 1) : QString();
    };
    std::array<search::NameSlot, 2> nameSlots;
    size_t slot = 0;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--name") || arguments[i] == QLatin1String("--pattern"))
            nameSlots[slot++] = {true, arguments[i] == QLatin1String("--pattern"), arguments[i + 1].toLatin1()};
    }
    const search::PlayerMatcher matcher(nameSlots);

    QStringList expected;
    QList<QJsonObject> list = listed(sim, value(QStringLiteral("--game")), value(QStringLiteral("--map")));
    if (cap > 0)
        list = list.mid(0, cap);
    for (const QJsonObject &server : list) {
        if (server.value(QStringLiteral("silent")).toBool())
            continue;
        QJsonArray players = server.value(QStringLiteral("players")).toArray();
        if (server.value(QStringLiteral("cutoff")).toBool())
            players.removeLast();
        for (const QJsonValue &p : players) {
            const QJsonObject player = p.toObject();
            const QString name = player.value(QStringLiteral("name")).toString();
            if (!matcher.matches(name.toLatin1()))
                continue;
            const qint64 seconds = qint64(player.value(QStringLiteral("time")).toDouble());
            expected.append(QString::number(server.value(QStringLiteral("port")).toInt()) + QLatin1Char('|') + name
                            + QLatin1Char('|') + QString::number(player.value(QStringLiteral("frags")).toInt())
                            + QLatin1Char('|') + protocol::FormatPlayTime(seconds));
        }
    }
    expected.sort();

    QTemporaryDir config;
    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
                                      arguments + QStringList {QStringLiteral("--master"), sim.master(), QStringLiteral("--format"),
                                                               QStringLiteral("json"), QStringLiteral("--timeout"),
                                                               QStringLiteral("500")},
                                      IsolatedEnvironment(config.path()));
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    QStringList rows;
    for (const QJsonValue &v : QJsonDocument::fromJson(result.out).array()) {
        const QJsonObject row = v.toObject();
        QCOMPARE(row.value(QStringLiteral("ip")).toString(), QStringLiteral("127.0.0.1"));
        rows.append(row.value(QStringLiteral("port")).toString() + QLatin1Char('|') + row.value(QStringLiteral("name")).toString()
                    + QLatin1Char('|') + row.value(QStringLiteral("frags")).toString() + QLatin1Char('|')
                    + row.value(QStringLiteral("time")).toString());
    }
    rows.sort();
    QCOMPARE(rows.size(), expected.size());
    QCOMPARE(rows, expected);
}

void TestHlsim::countsEveryRequestOnExit()
{
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--servers"), QStringLiteral("60"), QStringLiteral("--latency"), QStringLiteral("30"),
                       QStringLiteral("--page-size"), QStringLiteral("10")}));
    QTemporaryDir config;
    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
                                      {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--master"), sim.master(),
                                       QStringLiteral("--connections"), QStringLiteral("5")},
                                      IsolatedEnvironment(config.path()));
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
