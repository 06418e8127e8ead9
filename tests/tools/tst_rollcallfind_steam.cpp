// rollcall-find in Steam mode, run as a separate process against the loopback Steam fakes: the
// rows with UTF-8 names, the region and protocol options, the saved defaults, a list the master
// cuts short, and the A2S single-server questions.

#include "FakeServers.h"
#include "LoopbackSteam.h"
#include "ToolProcess.h"

#include <QJsonDocument>
#include <QSettings>
#include <QTest>
#include <memory>

using namespace rollcall::loopbacksteam;
using namespace rollcall::testtools;

namespace {

const QByteArray AllOfValve = "\\appid\\70\\gamedir\\valve\\empty\\1";

// Server 0's name in Cyrillic, server 1's not UTF-8 at all, server 2 silent.
const QList<QList<Player>> Players = {
    { { "ивангай", 7, 65.f }, { "Bob", 1, 5.f } },
    { { "\xC0\xC1van", 2, 3600.f } },
    { { "Иван", 3, 1.f } },
};

// Zero-terminated strings, one after the other.
QByteArray Strings(std::initializer_list<const char *> texts)
{
    QByteArray bytes;
    for (const char *text : texts)
        bytes += QByteArray(text) + '\0';
    return bytes;
}

// Protocol 48, the strings, app id 70, 2 of 16 players, 1 bot, dedicated, Linux, password, VAC, version.
QByteArray A2sInfoI()
{
    return QByteArray::fromHex("FFFFFFFF4930") + Strings({ "Steam Host", "crossfire", "valve", "Half-Life" })
        + QByteArray::fromHex("4600021001") + "dl" + QByteArray::fromHex("0101")
        + Strings({ "1.1.2.7/Stdio" });
}

// The address and strings, 3 of 8 players, protocol 47, listen, Windows, no password, no mod, no VAC, 4 bots.
QByteArray A2sInfoM()
{
    return QByteArray::fromHex("FFFFFFFF6D")
        + Strings({ "127.0.0.1:27015", "Old Host", "bounce", "valve", "Half-Life" })
        + QByteArray::fromHex("03082F") + "lw" + QByteArray::fromHex("00000004");
}

} // namespace

class TestRollcallFindSteam final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rows_data();
    void rows();
    void options_data();
    void options();
    void savedDefaults();
    void listCutShort_data();
    void listCutShort();
    void singleServer_data();
    void singleServer();

private:
    ToolResult find(const QString &arguments, const QStringList &more = {});
    QStringList names(const QByteArray &tsv) const;

    QTemporaryDir m_config;
    FakeSteamMaster m_master;
    A2sPopulation m_servers;
};

void TestRollcallFindSteam::initTestCase()
{
    QVERIFY(m_config.isValid());
    QVERIFY(m_servers.start(3));
    for (int i = 0; i < 3; ++i)
        m_servers.at(i).players = Players[i];
    m_servers.at(2).kind = FakeA2sServer::Kind::Silent;
    QVERIFY(m_master.listen());
    m_master.pageSize = 2;
    m_master.lists.insert(AllOfValve, m_servers.entries());
}

ToolResult TestRollcallFindSteam::find(const QString &arguments, const QStringList &more)
{
    return RunTool(
        QStringLiteral(ROLLCALL_FIND_PATH), Args(arguments) + more, IsolatedEnvironment(m_config.path()));
}

// "server|name|frags|time" per row, sorted.
QStringList TestRollcallFindSteam::names(const QByteArray &tsv) const
{
    QStringList keys;
    for (const QByteArray &line : tsv.split('\n')) {
        if (line.isEmpty() || line.startsWith("Server IP\t"))
            continue;
        const QList<QByteArray> cells = line.split('\t');
        int server = 0;
        while (server < 3 && cells.value(1).toInt() != m_servers.at(server).entry().Port)
            ++server;
        keys << QString::number(server) + '|' + QString::fromUtf8(cells.value(3) + '|' + cells.value(4));
    }
    keys.sort();
    return keys;
}

void TestRollcallFindSteam::rows_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("expected");

    // Typed in capitals, found in small letters; the silent server is passed over.
    QTest::newRow("cyrillic_anyCase") << QStringLiteral("--name ИВАН") << QStringList { "0|ивангай|7" };
    // Bytes that are not UTF-8 show as U+FFFD: the row is still one line of text.
    QTest::newRow("illFormed_replaced")
        << QStringLiteral("--pattern *van") << QStringList { QStringLiteral("1|\uFFFD\uFFFDvan|2") };
    QTest::newRow("none") << QStringLiteral("--name nobody") << QStringList {};
}

void TestRollcallFindSteam::rows()
{
    QFETCH(QString, arguments);
    QFETCH(QStringList, expected);
    const ToolResult result
        = find(arguments + " --protocol steam --game valve --timeout 400 --master " + m_master.address());
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    QVERIFY(result.out.startsWith("Server IP\tPort\tPing\tPlayer Name\tFrags\tTime\n"));
    QCOMPARE(names(result.out), expected);
}

void TestRollcallFindSteam::options_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("region"); // the region byte the master was asked with; -1: not asked
    QTest::addColumn<QString>("message"); // on stderr

    QTest::newRow("region_default") << "" << 0 << 255 << "";
    QTest::newRow("region_world") << "--region world" << 0 << 255 << "";
    QTest::newRow("region_usEast") << "--region us-east" << 0 << 0 << "";
    QTest::newRow("region_anyCase") << "--region MIDDLE-EAST" << 0 << 6 << "";
    QTest::newRow("region_africa") << "--region africa" << 0 << 7 << "";
    QTest::newRow("region_number") << "--region 42" << 0 << 42 << "";
    QTest::newRow("region_lastByte") << "--region 255" << 0 << 255 << "";
    QTest::newRow("region_unknown") << "--region mars" << 2 << -1 << "--region: expected world";
    QTest::newRow("region_beyondByte") << "--region 256" << 2 << -1 << "--region";
    QTest::newRow("region_negative") << "--region -1" << 2 << -1 << "--region";
    QTest::newRow("region_twice") << "--region asia --region europe" << 2 << -1 << "more than once";
    QTest::newRow("region_legacy") << "--region asia --protocol legacy" << 2 << -1
                                   << "only for --protocol steam";
    QTest::newRow("protocol_unknown")
        << "--protocol source" << 2 << -1 << "--protocol: expected legacy, steam or webapi";
    QTest::newRow("pattern_invalid") << "--pattern [я-а]" << 2 << -1 << "wildcard pattern";
}

void TestRollcallFindSteam::options()
{
    QFETCH(QString, arguments);
    QFETCH(int, status);
    QFETCH(int, region);
    QFETCH(QString, message);
    const qsizetype asked = m_master.requests.size();
    QStringList more = Args("--timeout 400 --game valve --master " + m_master.address());
    if (!arguments.contains(QLatin1String("--protocol")))
        more << QStringLiteral("--protocol") << QStringLiteral("steam");
    if (!arguments.contains(QLatin1String("--pattern")))
        more << QStringLiteral("--name") << QStringLiteral("van");
    const ToolResult result = find(arguments.isEmpty() ? QStringLiteral("--no-header") : arguments, more);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, status);
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    if (region < 0) {
        QCOMPARE(m_master.requests.size(), asked);
    } else {
        QVERIFY(m_master.requests.size() > asked);
        QCOMPARE(quint8(m_master.requests.at(asked).at(1)), quint8(region));
    }
}

void TestRollcallFindSteam::savedDefaults()
{
    // The window's saved protocol, region and Steam master; its legacy master stays its own.
    rollcall::testsupport::FakeMasterServer legacyMaster;
    QVERIFY(legacyMaster.listen());
    QTemporaryDir home;
    {
        QSettings settings(home.filePath(QStringLiteral("Rollcall/Half-Life.conf")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Protocol"), QStringLiteral("steam"));
        settings.setValue(QStringLiteral("SteamRegion"), QStringLiteral("4"));
        settings.setValue(QStringLiteral("SteamMasterServer"), m_master.address());
        settings.setValue(QStringLiteral("MasterServer"), legacyMaster.addressText());
        settings.setValue(QStringLiteral("GameFilter"), QStringLiteral("valve"));
        settings.setValue(QStringLiteral("QueryTimeout"), QStringLiteral("400"));
    }
    const qsizetype asked = m_master.requests.size();
    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH), Args(QStringLiteral("--name bob")),
        IsolatedEnvironment(home.path()));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(names(result.out), QStringList { "0|Bob|1" });
    QCOMPARE(quint8(m_master.requests.at(asked).at(1)), quint8(4));

    // --protocol legacy goes to the saved legacy master, which lists nobody.
    const ToolResult legacy = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
        Args(QStringLiteral("--name bob --protocol legacy")), IsolatedEnvironment(home.path()));
    QCOMPARE(legacy.exitCode, 1);
    QCOMPARE(legacyMaster.requests().size(), 1);
    QVERIFY2(legacy.err.contains(
                 QByteArray(QByteArray("Master server tried: ") + legacyMaster.addressText().toUtf8())),
        legacy.err.constData());
}

void TestRollcallFindSteam::listCutShort_data()
{
    QTest::addColumn<int>("silentAfter");
    QTest::addColumn<QByteArray>("secondPage"); // empty: the master's own
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message");

    // The master's wait for each page is 5 s: these rows take that long.
    QTest::newRow("silentAfterAPage_rowsThenNote")
        << 1 << QByteArray() << 0 << QStringList { "0|Bob|1" }
        << "rollcall-find: The master server stopped answering after 2 servers; those were searched. It "
           "answers only so often: wait a minute before the next search.\n";
    QTest::newRow("badSecondPage_nothingFound")
        << -1 << QByteArray::fromHex("FFFFFFFF660D") << 1 << QStringList {}
        << "rollcall-find: Bad master server response. The 2 servers received before it were searched.\n";
    QTest::newRow("silentFromTheStart_failed")
        << 0 << QByteArray() << 2 << QStringList {}
        << "rollcall-find: No servers received from master. Please try again later.\n";
}

void TestRollcallFindSteam::listCutShort()
{
    QFETCH(int, silentAfter);
    QFETCH(QByteArray, secondPage);
    QFETCH(int, status);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    FakeSteamMaster master;
    QVERIFY(master.listen());
    master.pageSize = 2;
    master.lists.insert(AllOfValve, m_servers.entries());
    master.silentAfter = silentAfter;
    master.replacedAt = secondPage.isEmpty() ? -1 : 1;
    master.replacement = secondPage;
    const QString search
        = QStringLiteral(" --protocol steam --game valve --timeout 400 --master ") + master.address();
    const ToolResult result = find((status == 1 ? "--name nobody" : "--name bob") + search);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, status);
    QCOMPARE(names(result.out), rows);
    // Said once, last, naming the master.
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    QVERIFY2(result.err.endsWith(
                 QByteArray(QByteArray("Master server tried: ") + master.address().toUtf8() + '\n')),
        result.err.constData());
}

void TestRollcallFindSteam::singleServer_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<FakeA2sServer::Kind>("kind");
    QTest::addColumn<QList<QByteArray>>("infoReplies");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("expected"); // empty: no answer

    const QList<QByteArray> none;
    QTest::newRow("players_challenged_utf8_tsv")
        << "--players" << FakeA2sServer::Kind::Challenging << none << "tsv"
        << QByteArray("Complete\ttrue\nIndex\tName\tFrags\tTime\tTimeText\n"
                      "0\tивангай\t7\t65\t00:01:05\n0\tBob\t1\t5\t00:00:05\n");
    // Both layouts in one answer: the newer one is shown, with the fields only A2S has.
    QTest::newRow("info_mThenI_tsv")
        << "--info" << FakeA2sServer::Kind::Direct << QList<QByteArray> { A2sInfoM(), A2sInfoI() } << "tsv"
        << QByteArray("Field\tValue\nHostName\tSteam Host\nMapName\tcrossfire\nGameDirectory\tvalve\n"
                      "GameDescription\tHalf-Life\nPlayerCount\t2\nMaxPlayers\t16\nProtocolVersion\t48\n"
                      "Bots\t1\nServerType\td\nOperatingSystem\tl\nPassword\ttrue\nSecure\ttrue\n"
                      "Version\t1.1.2.7/Stdio\n");
    QTest::newRow("info_mOnly_challenged_json")
        << "--info" << FakeA2sServer::Kind::Challenging << QList<QByteArray> { A2sInfoM() } << "json"
        << QByteArray(
               R"({"InfoReply":{"Bots":4,"GameDescription":"Half-Life","GameDirectory":"valve","HostName":"Old Host","MapName":"bounce","MaxPlayers":8,"OperatingSystem":"w","Password":false,"PlayerCount":3,"ProtocolVersion":47,"Secure":false,"ServerType":"l"}})");
    QTest::newRow("rules_tsv") << "--rules" << FakeA2sServer::Kind::Challenging << none << "tsv"
                               << QByteArray("Complete\ttrue\nName\tValue\nsv_név\tоднажды\n");
    QTest::newRow("players_alwaysChallenging_noAnswer")
        << "--players" << FakeA2sServer::Kind::AlwaysChallenging << none << "tsv" << QByteArray();
}

void TestRollcallFindSteam::singleServer()
{
    QFETCH(QString, option);
    QFETCH(FakeA2sServer::Kind, kind);
    QFETCH(QList<QByteArray>, infoReplies);
    QFETCH(QString, format);
    QFETCH(QByteArray, expected);
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.kind = kind;
    server.players = Players[0];
    server.infoReplies = infoReplies;
    server.rulesReply = QByteArray::fromHex("FFFFFFFF450100") + "sv_név" + '\0' + "однажды" + '\0';
    const ToolResult result = find(option + " 127.0.0.1:" + QString::number(server.entry().Port)
        + " --protocol steam --timeout 1500 --format " + format);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    if (expected.isEmpty()) {
        QVERIFY2(result.err.contains("no reply"), result.err.constData());
        QCOMPARE(server.requests, 3);
    } else if (format == QLatin1String("json")) {
        QCOMPARE(QJsonDocument::fromJson(result.out).toJson(QJsonDocument::Compact), expected);
    } else {
        QCOMPARE(result.out, expected);
    }
}

QTEST_GUILESS_MAIN(TestRollcallFindSteam)
#include "tst_rollcallfind_steam.moc"
