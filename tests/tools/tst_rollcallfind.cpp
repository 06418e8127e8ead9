// rollcall-find against the fake servers: the rows, the exit statuses, the two output formats
// and the single-server queries, run as a separate process exactly as a script would.

#include "FakeServers.h"
#include "ToolProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace rollcall::testsupport;
using namespace rollcall::testtools;

namespace {

const QByteArray Hostile = "a\tb\\c\r\nd";

QByteArray playersReplyLength(const QList<FakePlayer> &players)
{
    return EncodePlayersReply(players);
}

} // namespace

class TestRollcallFind final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rows_data();
    void rows();
    void filtersReachTheMaster();
    void exitStatus_data();
    void exitStatus();
    void tsvEscapesHostileNames();
    void jsonIsOneValidDocument();
    void singleServer_data();
    void singleServer();
    void singleServerSilent();
    void savedSettingsAreDefaultsAndStayUntouched();
    void progressGoesToStderrOnly();
    void silentMasterIsAFailure();

private:
    ToolResult find(const QStringList &arguments);
    // "server|name|frags|time" per row, sorted; the ping is checked to be a number and left out.
    QStringList rowKeys(const QByteArray &tsv);

    QTemporaryDir m_config;
    FakeMasterServer m_master;
    std::unique_ptr<FakeGameServer> m_servers[4];
    FakeGameServer m_split;
    FakeGameServer m_shortInfo;
};

void TestRollcallFind::initTestCase()
{
    QVERIFY(m_config.isValid());
    const QList<QList<FakePlayer>> players = {
        {{"Bob", 5, 60.f}, {"xXbobXx", -3, 3725.9f}, {"Alice", 0, 1.f}},
        {{"[TAG]Bobby", 12, 100.f}, {"J\xFCrgen", 1, 7200.f}, {Hostile, -1, 5.f}},
        {{"Bob", 99, 1.f}},
        {{"bob_one", 2, 61.f}, {"bob_two", 3, 62.f}},
    };
    QList<FakeEntry> entries;
    for (int i = 0; i < 4; ++i) {
        m_servers[i] = std::make_unique<FakeGameServer>();
        QVERIFY(m_servers[i]->listen());
        m_servers[i]->setPlayers(players[i]);
        entries.append(m_servers[i]->entry());
    }
    m_servers[2]->setSilent(true);
    // Ends three bytes into bob_two's time: only bob_one is a whole record.
    m_servers[3]->setCutOff(int(playersReplyLength(players[3]).size()) - 1);
    m_master.setEntries(entries);
    m_master.setPageSize(3);
    QVERIFY(m_master.listen());

    QList<FakeRule> rules;
    for (int i = 0; i < 100; ++i)
        rules.append({"rule_" + QByteArray::number(i), QByteArray::number(i * 7)});
    m_split.setRules(rules);
    m_split.setSplit(500, {2, 0, 1, 3});
    QVERIFY(m_split.listen());

    // Ends right after the game description: the counts and the version are absent.
    m_shortInfo.setRawReply(FakeGameServer::Kind::Info,
                            QByteArray("\xFF\xFF\xFF\xFF" "C127.0.0.1:1\0Host\0map1\0valve\0Half-Life\0", 43));
    QVERIFY(m_shortInfo.listen());
}

ToolResult TestRollcallFind::find(const QStringList &arguments)
{
    return RunTool(QStringLiteral(ROLLCALL_FIND_PATH), arguments, IsolatedEnvironment(m_config.path()));
}

QStringList TestRollcallFind::rowKeys(const QByteArray &tsv)
{
    QStringList keys;
    const QList<QByteArray> lines = tsv.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> cells = lines[i].split('\t');
        if (cells.size() != 6)
            return {QStringLiteral("bad line: ") + QString::fromUtf8(lines[i])};
        int server = -1;
        for (int s = 0; s < 4; ++s) {
            if (cells[0] == "127.0.0.1" && cells[1].toInt() == m_servers[s]->port())
                server = s;
        }
        bool pingIsNumber = false;
        cells[2].toInt(&pingIsNumber);
        if (!pingIsNumber)
            return {QStringLiteral("bad ping: ") + QString::fromUtf8(lines[i])};
        keys.append(QString::number(server) + QLatin1Char('|') + QString::fromUtf8(cells[3]) + QLatin1Char('|')
                    + QString::fromUtf8(cells[4]) + QLatin1Char('|') + QString::fromUtf8(cells[5]));
    }
    keys.sort();
    return keys;
}

void TestRollcallFind::rows_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("substring_anyCase_silentAndCutOffSkipped")
        << QStringList {QStringLiteral("--name"), QStringLiteral("BOB")}
        << QStringList {QStringLiteral("0|Bob|5|00:01:00"), QStringLiteral("0|xXbobXx|-3|01:02:05"),
                        QStringLiteral("1|[TAG]Bobby|12|00:01:40"), QStringLiteral("3|bob_one|2|00:01:01")};
    QTest::newRow("pattern_wholeName")
        << QStringList {QStringLiteral("--pattern"), QStringLiteral("bob*")}
        << QStringList {QStringLiteral("0|Bob|5|00:01:00"), QStringLiteral("3|bob_one|2|00:01:01")};
    QTest::newRow("pattern_bracketLiteral")
        << QStringList {QStringLiteral("--pattern"), QStringLiteral("[[]tag]*")}
        << QStringList {QStringLiteral("1|[TAG]Bobby|12|00:01:40")};
    QTest::newRow("twoSlots_onePlayerOneRow")
        << QStringList {QStringLiteral("--name"), QStringLiteral("bobby"), QStringLiteral("--pattern"), QStringLiteral("*bobby")}
        << QStringList {QStringLiteral("1|[TAG]Bobby|12|00:01:40")};
    QTest::newRow("twoSlots_patternFirst")
        << QStringList {QStringLiteral("--pattern"), QStringLiteral("*bobby"), QStringLiteral("--name"), QStringLiteral("LIC")}
        << QStringList {QStringLiteral("0|Alice|0|00:00:01"), QStringLiteral("1|[TAG]Bobby|12|00:01:40")};
    QTest::newRow("latin1_typedAsUtf8")
        << QStringList {QStringLiteral("--name"), QStringLiteral("J\u00DCRGEN")}
        << QStringList {QStringLiteral("1|J\u00FCrgen|1|02:00:00")};
    QTest::newRow("cap_firstServerOnly")
        << QStringList {QStringLiteral("--name"), QStringLiteral("b"), QStringLiteral("--max-servers"), QStringLiteral("1")}
        << QStringList {QStringLiteral("0|Bob|5|00:01:00"), QStringLiteral("0|xXbobXx|-3|01:02:05")};
    QTest::newRow("none") << QStringList {QStringLiteral("--name"), QStringLiteral("nobody")} << QStringList {};
}

void TestRollcallFind::rows()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    const ToolResult result = find(arguments + QStringList {QStringLiteral("--master"), m_master.addressText(),
                                                            QStringLiteral("--timeout"), QStringLiteral("400")});
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    QVERIFY(result.out.startsWith("Server IP\tPort\tPing\tPlayer Name\tFrags\tTime\n"));
    QCOMPARE(rowKeys(result.out), expected);
}

void TestRollcallFind::filtersReachTheMaster()
{
    const qsizetype before = m_master.requests().size();
    const ToolResult result = find({QStringLiteral("--name"), QStringLiteral("bob"), QStringLiteral("--game"),
                                    QStringLiteral("cstrike"), QStringLiteral("--map"), QStringLiteral("de_dust"),
                                    QStringLiteral("--master"), m_master.addressText(), QStringLiteral("--timeout"),
                                    QStringLiteral("400")});
    QVERIFY(result.finished);
    const QList<QByteArray> requests = m_master.requests().mid(before);
    QCOMPARE(requests.size(), 2); // four servers in pages of three
    QCOMPARE(requests.first(),
             MasterRequestBytes(QByteArray(4, '\0'), QByteArrayLiteral("\\gamedir\\cstrike\\map\\de_dust\\empty\\1")));
}

void TestRollcallFind::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("usage_noName") << QStringList {} << 2 << QStringLiteral("--name");
    QTest::newRow("usage_threeNames")
        << QStringList {QStringLiteral("--name"), QStringLiteral("a"), QStringLiteral("--pattern"), QStringLiteral("b"),
                        QStringLiteral("--name"), QStringLiteral("c")}
        << 2 << QStringLiteral("at most two");
    QTest::newRow("usage_emptyName") << QStringList {QStringLiteral("--name"), QString()} << 2 << QStringLiteral("--name");
    QTest::newRow("usage_unknownOption") << QStringList {QStringLiteral("--nmae"), QStringLiteral("x")} << 2
                                         << QStringLiteral("nmae");
    QTest::newRow("usage_connections")
        << QStringList {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--connections"), QStringLiteral("100")}
        << 2 << QStringLiteral("--connections");
    QTest::newRow("usage_timeoutText")
        << QStringList {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--timeout"), QStringLiteral("soon")}
        << 2 << QStringLiteral("--timeout");
    QTest::newRow("usage_format")
        << QStringList {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--format"), QStringLiteral("xml")}
        << 2 << QStringLiteral("--format");
    QTest::newRow("usage_notLatin1") << QStringList {QStringLiteral("--name"), QStringLiteral("\u20AC")} << 2
                                     << QStringLiteral("Latin-1");
    QTest::newRow("usage_singleAndSearch")
        << QStringList {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--info"), QStringLiteral("127.0.0.1:1")}
        << 2 << QStringLiteral("--name");
    QTest::newRow("usage_singleBadPort") << QStringList {QStringLiteral("--info"), QStringLiteral("127.0.0.1:70000")} << 2
                                         << QStringLiteral("--info");
    QTest::newRow("pattern_unclosed") << QStringList {QStringLiteral("--pattern"), QStringLiteral("[abc")} << 2
                                      << QStringLiteral("wildcard pattern");
    QTest::newRow("pattern_backwards") << QStringList {QStringLiteral("--pattern"), QStringLiteral("[z-a]*")} << 2
                                       << QStringLiteral("wildcard pattern");
    QTest::newRow("master_portOutOfRange")
        << QStringList {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--master"), QStringLiteral("127.0.0.1:99999")}
        << 2 << QStringLiteral("Unable to contact the master server.");
    QTest::newRow("master_unresolvable")
        << QStringList {QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--master"), QStringLiteral("no-such-host.invalid")}
        << 2 << QStringLiteral("Unable to contact the master server.");
    QTest::newRow("found") << QStringList {QStringLiteral("--name"), QStringLiteral("alice")} << 0 << QString();
    QTest::newRow("nothingFound") << QStringList {QStringLiteral("--name"), QStringLiteral("zzz")} << 1 << QString();
}

void TestRollcallFind::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    if (!arguments.contains(QStringLiteral("--master")) && !arguments.contains(QStringLiteral("--info")))
        arguments << QStringLiteral("--master") << m_master.addressText();
    const ToolResult result = find(arguments + QStringList {QStringLiteral("--timeout"), QStringLiteral("400")});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, status);
    if (!message.isEmpty())
        QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    if (status == 2)
        QVERIFY2(!result.out.contains('\t') || result.out.count('\n') <= 1, result.out.constData());
}

void TestRollcallFind::tsvEscapesHostileNames()
{
    const ToolResult result = find({QStringLiteral("--pattern"), QStringLiteral("a*d"), QStringLiteral("--master"),
                                    m_master.addressText(), QStringLiteral("--timeout"), QStringLiteral("400")});
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = result.out.split('\n');
    QCOMPARE(lines.size(), 3); // header, the row, the empty rest after the last LF
    const QList<QByteArray> cells = lines[1].split('\t');
    QCOMPARE(cells.size(), 6);
    QCOMPARE(cells[3], QByteArray("a\\tb\\\\c\\r\\nd"));
    QCOMPARE(cells[4], QByteArray("-1"));
}

void TestRollcallFind::jsonIsOneValidDocument()
{
    const ToolResult result = find({QStringLiteral("--name"), QStringLiteral("b"), QStringLiteral("--name"),
                                    QStringLiteral("\u00FC"), QStringLiteral("--format"), QStringLiteral("json"),
                                    QStringLiteral("--master"), m_master.addressText(), QStringLiteral("--timeout"),
                                    QStringLiteral("400")});
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QVERIFY(document.isArray());
    QStringList names;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject row = value.toObject();
        QCOMPARE(row.keys(), (QStringList {QStringLiteral("frags"), QStringLiteral("ip"), QStringLiteral("name"),
                                           QStringLiteral("ping"), QStringLiteral("port"), QStringLiteral("time")}));
        for (const QJsonValue &cell : row)
            QVERIFY(cell.isString());
        names.append(row.value(QStringLiteral("name")).toString());
    }
    names.sort();
    QCOMPARE(names, (QStringList {QStringLiteral("Bob"), QStringLiteral("J\u00FCrgen"), QStringLiteral("[TAG]Bobby"),
                                  QString::fromLatin1(Hostile), QStringLiteral("bob_one"), QStringLiteral("xXbobXx")}));
}

void TestRollcallFind::singleServer_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("server"); // 0-3 the listed ones, 4 the split rules, 5 the short info
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("players_cutOff_tsv") << QStringLiteral("--players") << 3 << QStringLiteral("tsv")
                                        << QByteArray("Complete\tfalse\nIndex\tName\tFrags\tTime\tTimeText\n"
                                                      "0\tbob_one\t2\t61\t00:01:01\n");
    QTest::newRow("players_hostile_tsv") << QStringLiteral("--players") << 1 << QStringLiteral("tsv")
                                         << QByteArray("Complete\ttrue\nIndex\tName\tFrags\tTime\tTimeText\n"
                                                       "0\t[TAG]Bobby\t12\t100\t00:01:40\n"
                                                       "1\tJ\xC3\xBCrgen\t1\t7200\t02:00:00\n"
                                                       "2\ta\\tb\\\\c\\r\\nd\t-1\t5\t00:00:05\n");
    QTest::newRow("players_cutOff_json")
        << QStringLiteral("--players") << 3 << QStringLiteral("json")
        << QByteArray(R"({"PlayersReply":{"Complete":false,"Players":[{"Frags":2,"Index":0,"Name":"bob_one","Time":61,"TimeText":"00:01:01"}]}})");
    QTest::newRow("info_absent_json")
        << QStringLiteral("--info") << 5 << QStringLiteral("json")
        << QByteArray(R"({"InfoReply":{"GameDescription":"Half-Life","GameDirectory":"valve","HostName":"Host","MapName":"map1","MaxPlayers":null,"PlayerCount":null,"ProtocolVersion":null}})");
    QTest::newRow("info_absent_tsv") << QStringLiteral("--info") << 5 << QStringLiteral("tsv")
                                     << QByteArray("Field\tValue\nHostName\tHost\nMapName\tmap1\nGameDirectory\tvalve\n"
                                                   "GameDescription\tHalf-Life\nPlayerCount\t\\N\nMaxPlayers\t\\N\n"
                                                   "ProtocolVersion\t\\N\n");
}

void TestRollcallFind::singleServer()
{
    QFETCH(QString, option);
    QFETCH(int, server);
    QFETCH(QString, format);
    QFETCH(QByteArray, expected);
    const FakeGameServer *target = server < 4 ? m_servers[server].get() : server == 4 ? &m_split : &m_shortInfo;
    const ToolResult result = find({option, QStringLiteral("127.0.0.1:") + QString::number(target->port()),
                                    QStringLiteral("--format"), format, QStringLiteral("--timeout"), QStringLiteral("2000")});
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 0);
    if (format == QLatin1String("json")) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QCOMPARE(document.toJson(QJsonDocument::Compact), expected);
    } else {
        QCOMPARE(result.out, expected);
    }
}

void TestRollcallFind::singleServerSilent()
{
    // Split rules arrive as four pieces out of order and still decode whole.
    const ToolResult rules = find({QStringLiteral("--rules"), QStringLiteral("127.0.0.1:") + QString::number(m_split.port()),
                                   QStringLiteral("--format"), QStringLiteral("json")});
    QCOMPARE(rules.exitCode, 0);
    const QJsonObject record = QJsonDocument::fromJson(rules.out).object().value(QStringLiteral("RulesReply")).toObject();
    QCOMPARE(record.value(QStringLiteral("Complete")).toBool(), true);
    const QJsonArray list = record.value(QStringLiteral("Rules")).toArray();
    QCOMPARE(list.size(), 100);
    QCOMPARE(list.last().toObject().value(QStringLiteral("Value")).toString(), QStringLiteral("693"));

    const ToolResult silent = find({QStringLiteral("--players"),
                                    QStringLiteral("127.0.0.1:") + QString::number(m_servers[2]->port()),
                                    QStringLiteral("--timeout"), QStringLiteral("300")});
    QVERIFY(silent.finished);
    QCOMPARE(silent.exitCode, 1);
    QVERIFY(silent.out.isEmpty());
    QVERIFY2(silent.err.contains("no reply"), silent.err.constData());
}

void TestRollcallFind::savedSettingsAreDefaultsAndStayUntouched()
{
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("Rollcall/Half-Life.conf"));
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(QStringLiteral("MasterServer"), m_master.addressText());
        settings.setValue(QStringLiteral("QueryTimeout"), QStringLiteral("400"));
        settings.setValue(QStringLiteral("EnableMaxServers"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("MaxServerAmount"), QStringLiteral("1"));
    }
    QFile before(file);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();

    const ToolResult result =
        RunTool(QStringLiteral(ROLLCALL_FIND_PATH), {QStringLiteral("--name"), QStringLiteral("b")}, IsolatedEnvironment(home.path()));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rowKeys(result.out), (QStringList {QStringLiteral("0|Bob|5|00:01:00"), QStringLiteral("0|xXbobXx|-3|01:02:05")}));

    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), bytes);
    QCOMPARE(QDir(home.filePath(QStringLiteral("Rollcall"))).entryList(QDir::Files), QStringList {QStringLiteral("Half-Life.conf")});
}

void TestRollcallFind::progressGoesToStderrOnly()
{
    const ToolResult result = find({QStringLiteral("--name"), QStringLiteral("alice"), QStringLiteral("--progress"),
                                    QStringLiteral("--master"), m_master.addressText(), QStringLiteral("--timeout"),
                                    QStringLiteral("400")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rowKeys(result.out), QStringList {QStringLiteral("0|Alice|0|00:00:01")});
    QVERIFY2(result.err.contains("Status: "), result.err.constData());
    // Not a terminal: plain lines, no cursor movement.
    QVERIFY(!result.err.contains('\r'));
}

void TestRollcallFind::silentMasterIsAFailure()
{
    // The window says "No servers received from master." both for an empty list and after 30 s
    // of silence; for a script only the first is "nothing found".
    FakeMasterServer silent;
    silent.setSilent(true);
    QVERIFY(silent.listen());
    const ToolResult result = find({QStringLiteral("--name"), QStringLiteral("bob"), QStringLiteral("--master"),
                                    silent.addressText()});
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("No servers received from master."), result.err.constData());

    FakeMasterServer empty;
    QVERIFY(empty.listen());
    const ToolResult none = find({QStringLiteral("--name"), QStringLiteral("bob"), QStringLiteral("--master"),
                                  empty.addressText()});
    QCOMPARE(none.exitCode, 1);
    QVERIFY2(none.err.contains("No servers received from master."), none.err.constData());
}

QTEST_GUILESS_MAIN(TestRollcallFind)
#include "tst_rollcallfind.moc"
