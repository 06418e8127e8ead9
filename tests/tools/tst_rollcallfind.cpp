// rollcall-find against the fake servers: the rows, the exit statuses, the two output formats
// and the single-server queries, run as a separate process exactly as a script would.

#include "FakeServers.h"
#include "HostileServers.h"
#include "ToolProcess.h"
#include "ui/Version.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTest>
#include <csignal>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace rollcall::testsupport;
using namespace rollcall::testtools;

namespace {

struct TerminalRun
{
    bool finished = false;
    int exitCode = -1;
    QByteArray bytes; // everything written to the terminal, stdout and stderr interleaved
};

// Runs the tool with stdout and stderr on one pseudo-terminal, as from an interactive shell.
TerminalRun RunOnTerminal(const QStringList &arguments, const QProcessEnvironment &environment)
{
    // All the child needs is made before fork: after it, the child only calls exec.
    QList<QByteArray> store { QByteArrayLiteral(ROLLCALL_FIND_PATH) };
    for (const QString &argument : arguments)
        store.append(argument.toUtf8());
    const qsizetype argc = store.size();
    for (const QString &variable : environment.toStringList())
        store.append(variable.toUtf8());
    std::vector<char *> argv;
    std::vector<char *> envp;
    for (qsizetype i = 0; i < store.size(); ++i)
        (i < argc ? argv : envp).push_back(store[i].data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    TerminalRun run;
    winsize size {};
    size.ws_row = 24;
    size.ws_col = 250;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
    if (pid < 0)
        return run;
    if (pid == 0) {
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    // The fake servers live in this process: its event loop turns while the tool runs.
    QElapsedTimer clock;
    clock.start();
    bool open = true;
    while (open && clock.elapsed() < 60000) {
        pollfd readable { terminal, POLLIN, 0 };
        if (poll(&readable, 1, 0) <= 0) {
            QTest::qWait(5);
            continue;
        }
        char buffer[4096];
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got > 0)
            run.bytes.append(buffer, got);
        else
            open = false; // EIO: the tool's side of the terminal closed
    }
    if (open)
        kill(pid, SIGKILL);
    int status = 0;
    run.finished = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && !open;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    close(terminal);
    return run;
}

// The lines a terminal shows at the end: CR goes back to the start of the line, LF down one,
// ESC [ K clears to the end of the line. Any other escape is reported in `unexpected`.
QList<QByteArray> Screen(const QByteArray &bytes, QByteArray *unexpected)
{
    QList<QByteArray> lines { QByteArray() };
    qsizetype column = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QByteArray &line = lines.last();
        const char c = bytes[i];
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.append(QByteArray());
        } else if (c == '\033') {
            if (bytes.mid(i, 3) == "\033[K") {
                line.truncate(column);
                i += 2;
            } else {
                *unexpected += bytes.mid(i, 8);
            }
        } else {
            if (line.size() <= column)
                line.append(column - line.size() + 1, ' ');
            line[column++] = c;
        }
    }
    return lines;
}

} // namespace

class TestRollcallFind final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rows_data();
    void rows();
    void exitStatus_data();
    void exitStatus();
    void singleServer_data();
    void singleServer();
    void savedSettingsAreDefaultsAndStayUntouched();
    void settingsThatAreNotAFile_data();
    void settingsThatAreNotAFile();
    void savedFilterTooLongIsRefused();
    void endlessMasterEndsItsList_data();
    void endlessMasterEndsItsList();
    void silentMasterIsAFailure();
    void masterFailureStatus_data();
    void masterFailureStatus();
    void progressAndRowsOnOneTerminal_data();
    void progressAndRowsOnOneTerminal();
    void version();

private:
    ToolResult find(const QString &arguments, const QStringList &more = {});
    // "server|name|frags|time" per row, sorted; the ping is checked to be a number and left out.
    QStringList rowKeys(const QByteArray &tsv);

    QTemporaryDir m_config;
    FakeMasterServer m_master;
    std::unique_ptr<FakeGameServer> m_servers[4];
    FakeGameServer m_split;
    FakeGameServer m_shortInfo;
    // The tool cannot shorten the master's 30 s time-out: that run goes on while the others do.
    FakeMasterServer m_silentMaster;
    ToolRun m_silentRun;
};

void TestRollcallFind::initTestCase()
{
    QVERIFY(m_config.isValid());
    m_silentMaster.setSilent(true);
    QVERIFY(m_silentMaster.listen());
    m_silentRun.start(QStringLiteral(ROLLCALL_FIND_PATH),
        Args("--name bob --master " + m_silentMaster.addressText()), IsolatedEnvironment(m_config.path()));

    const QList<QList<FakePlayer>> players = {
        { { "Bob", 5, 60.f }, { "xXbobXx", -3, 3725.9f }, { "Alice", 0, 1.f } },
        { { "[TAG]Bobby", 12, 100.f }, { "J\xFCrgen", 1, 7200.f }, { "a\tb\\c\r\nd", -1, 5.f },
            { "\x1b[2J\x07\x7f\x85zz", 0, 9.f } },
        { { "Bob", 99, 1.f } },
        { { "bob_one", 2, 61.f }, { "bob_two", 3, 62.f } },
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
    m_servers[3]->setCutOff(int(EncodePlayersReply(players[3]).size()) - 1);
    m_master.setEntries(entries);
    m_master.setPageSize(3);
    QVERIFY(m_master.listen());

    QList<FakeRule> rules;
    for (int i = 0; i < 100; ++i)
        rules.append({ "rule_" + QByteArray::number(i), QByteArray::number(i * 7) });
    m_split.setRules(rules);
    m_split.setSplit(500, { 2, 0, 1, 3 });
    QVERIFY(m_split.listen());

    // Ends right after the game description: the counts and the version are absent.
    m_shortInfo.setRawReply(FakeGameServer::Kind::Info,
        QByteArray("\xFF\xFF\xFF\xFF"
                   "C127.0.0.1:1\0Host\0map1\0valve\0Half-Life\0",
            43));
    QVERIFY(m_shortInfo.listen());
}

ToolResult TestRollcallFind::find(const QString &arguments, const QStringList &more)
{
    return RunTool(
        QStringLiteral(ROLLCALL_FIND_PATH), Args(arguments) + more, IsolatedEnvironment(m_config.path()));
}

QStringList TestRollcallFind::rowKeys(const QByteArray &tsv)
{
    QStringList keys;
    for (const QByteArray &line : tsv.split('\n')) {
        if (line.isEmpty() || line.startsWith("Server IP\t"))
            continue;
        const QList<QByteArray> cells = line.split('\t');
        bool pingIsNumber = false;
        cells.value(2).toInt(&pingIsNumber);
        if (cells.size() != 6 || cells[0] != "127.0.0.1" || !pingIsNumber)
            return { "bad line: " + QString::fromUtf8(line) };
        int server = 0;
        while (server < 4 && cells[1].toInt() != m_servers[server]->port())
            ++server;
        keys << QString::number(server) + '|' + QString::fromUtf8(cells[3] + '|' + cells[4] + '|' + cells[5]);
    }
    keys.sort();
    return keys;
}

void TestRollcallFind::rows_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("substring_anyCase_silentAndCutOffSkipped")
        << "--name BOB"
        << QStringList { "0|Bob|5|00:01:00", "0|xXbobXx|-3|01:02:05", "1|[TAG]Bobby|12|00:01:40",
               "3|bob_one|2|00:01:01" };
    // A tab, backslash, CR or LF inside a name is escaped: still six cells on one line.
    QTest::newRow("pattern_hostileNameEscaped")
        << "--pattern a*d" << QStringList { "1|a\\tb\\\\c\\r\\nd|-1|00:00:05" };
    // Controls that would move the cursor or clear the screen arrive as text.
    QTest::newRow("substring_controlsEscaped")
        << "--name zz" << QStringList { "1|\\x1b[2J\\x07\\x7f\\x85zz|0|00:00:09" };
    QTest::newRow("twoSlots_patternFirst")
        << "--pattern *bobby --name LIC" << QStringList { "0|Alice|0|00:00:01", "1|[TAG]Bobby|12|00:01:40" };
    QTest::newRow("latin1_typedAsUtf8_withProgress") << QStringLiteral(
        "--name J\u00DCRGEN --progress") << QStringList { QStringLiteral("1|J\u00FCrgen|1|02:00:00") };
    QTest::newRow("cap_firstServerOnly")
        << "--name b --max-servers 1" << QStringList { "0|Bob|5|00:01:00", "0|xXbobXx|-3|01:02:05" };
    QTest::newRow("none") << "--name nobody" << QStringList {};
    QTest::newRow("noHeader") << "--name xXbob --no-header" << QStringList { "0|xXbobXx|-3|01:02:05" };
}

void TestRollcallFind::rows()
{
    QFETCH(QString, arguments);
    QFETCH(QStringList, expected);
    const ToolResult result = find(arguments + " --timeout 400 --master " + m_master.addressText());
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    const QByteArray header = "Server IP\tPort\tPing\tPlayer Name\tFrags\tTime\n";
    QCOMPARE(result.out.startsWith(header), !arguments.contains(QLatin1String("--no-header")));
    QCOMPARE(result.out.count('\n'), expected.size() + (result.out.startsWith(header) ? 1 : 0));
    QCOMPARE(rowKeys(result.out), expected);
    if (arguments.contains(QLatin1String("--progress"))) {
        QVERIFY2(result.err.contains("Status: "), result.err.constData());
        QVERIFY(!result.err.contains('\r')); // not a terminal: plain lines, no cursor movement
    }
}

void TestRollcallFind::exitStatus_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("message");

    // All refused with status 2 before anything is sent, or by the failed master exchange.
    QTest::newRow("usage_noName") << "--timeout 400"
                                  << "--name";
    QTest::newRow("usage_threeNames") << "--name a --pattern b --name c"
                                      << "at most two";
    QTest::newRow("usage_emptyName") << "--name "
                                     << "--name";
    QTest::newRow("usage_unknownOption") << "--nmae x"
                                         << "nmae";
    QTest::newRow("usage_connections") << "--name x --connections 100"
                                       << "--connections";
    QTest::newRow("usage_timeoutText") << "--name x --timeout soon"
                                       << "--timeout";
    QTest::newRow("usage_format") << "--name x --format xml"
                                  << "--format";
    QTest::newRow("usage_notLatin1") << QStringLiteral("--name \u20AC") << "Latin-1";
    QTest::newRow("usage_singleAndSearch") << "--name x --info 127.0.0.1:1"
                                           << "--name";
    QTest::newRow("usage_noHeaderJson") << "--name x --no-header --format json"
                                        << "--no-header";
    QTest::newRow("usage_noHeaderSingle") << "--no-header --info 127.0.0.1:1"
                                          << "--no-header";
    QTest::newRow("usage_singleBadPort") << "--info 127.0.0.1:70000"
                                         << "--info";
    QTest::newRow("pattern_backwards") << "--pattern [z-a]*"
                                       << "wildcard pattern";
    QTest::newRow("master_portOutOfRange") << "--name x --master 127.0.0.1:99999"
                                           << "Unable to contact the master server.";
    // One character more than a master request holds: refused before anything is sent.
    QTest::newRow("filter_gameTooLong") << "--name x --game " + QString(587, u'g') << "--game: too long";
    QTest::newRow("filter_mapTooLong") << "--name x --map " + QString(587, u'm') << "--map: too long";
}

void TestRollcallFind::exitStatus()
{
    QFETCH(QString, arguments);
    QFETCH(QString, message);
    // Should a refusal slip through, the search still stays on this machine.
    const bool aimed
        = arguments.contains(QLatin1String("--master")) || arguments.contains(QLatin1String("--info"));
    const ToolResult result
        = find(arguments, aimed ? QStringList() : QStringList { "--master", m_master.addressText() });
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(QString::fromUtf8(result.err).contains(message), result.err.constData());
    QVERIFY2(!result.out.contains('\t') || result.out.count('\n') <= 1, result.out.constData());
}

void TestRollcallFind::singleServer_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("server"); // 0-3 the listed ones, 4 the split rules, 5 the short info
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("expected"); // empty: the server stays silent

    QTest::newRow("players_hostile_tsv") << "--players" << 1 << "tsv"
                                         << QByteArray("Complete\ttrue\nIndex\tName\tFrags\tTime\tTimeText\n"
                                                       "0\t[TAG]Bobby\t12\t100\t00:01:40\n"
                                                       "1\tJ\xC3\xBCrgen\t1\t7200\t02:00:00\n"
                                                       "2\ta\\tb\\\\c\\r\\nd\t-1\t5\t00:00:05\n"
                                                       "3\t\\x1b[2J\\x07\\x7f\\x85zz\t0\t9\t00:00:09\n");
    QTest::newRow("players_cutOff_json")
        << "--players" << 3 << "json"
        << QByteArray(
               R"({"PlayersReply":{"Complete":false,"Players":[{"Frags":2,"Index":0,"Name":"bob_one","Time":61,"TimeText":"00:01:01"}]}})");
    QTest::newRow("info_absent_json")
        << "--info" << 5 << "json"
        << QByteArray(
               R"({"InfoReply":{"GameDescription":"Half-Life","GameDirectory":"valve","HostName":"Host","MapName":"map1","MaxPlayers":null,"PlayerCount":null,"ProtocolVersion":null}})");
    QTest::newRow("info_absent_tsv")
        << "--info" << 5 << "tsv"
        << QByteArray("Field\tValue\nHostName\tHost\nMapName\tmap1\nGameDirectory\tvalve\n"
                      "GameDescription\tHalf-Life\nPlayerCount\t\\N\nMaxPlayers\t\\N\n"
                      "ProtocolVersion\t\\N\n");
    // Four pieces out of order, joined before decoding.
    QByteArray rules = "Complete\ttrue\nName\tValue\n";
    for (int i = 0; i < 100; ++i)
        rules += "rule_" + QByteArray::number(i) + '\t' + QByteArray::number(i * 7) + '\n';
    QTest::newRow("rules_split_tsv") << "--rules" << 4 << "tsv" << rules;
    QTest::newRow("players_silent") << "--players" << 2 << "tsv" << QByteArray();
}

void TestRollcallFind::singleServer()
{
    QFETCH(QString, option);
    QFETCH(int, server);
    QFETCH(QString, format);
    QFETCH(QByteArray, expected);
    const FakeGameServer *target = server < 4 ? m_servers[server].get()
        : server == 4                         ? &m_split
                                              : &m_shortInfo;
    const ToolResult result = find(option + " 127.0.0.1:" + QString::number(target->port()) + " --format "
        + format + (expected.isEmpty() ? " --timeout 300" : " --timeout 5000"));
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, expected.isEmpty() ? 1 : 0);
    if (expected.isEmpty())
        QVERIFY2(result.err.contains("no reply"), result.err.constData());
    if (format == QLatin1String("json")) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QCOMPARE(document.toJson(QJsonDocument::Compact), expected);
    } else {
        QCOMPARE(result.out, expected);
    }
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

    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH), Args(QStringLiteral("--name b")),
        IsolatedEnvironment(home.path()));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rowKeys(result.out), QStringList({ "0|Bob|5|00:01:00", "0|xXbobXx|-3|01:02:05" }));

    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), bytes);
    QCOMPARE(QDir(home.filePath(QStringLiteral("Rollcall"))).entryList(QDir::Files),
        QStringList { "Half-Life.conf" });
}

void TestRollcallFind::settingsThatAreNotAFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    // Opening the pipe would wait for a writer for ever; the bounded wait turns that into a failure.
    QTest::newRow("fifo") << "fifo"
                          << "it is not a regular file";
    QTest::newRow("directory") << "directory"
                               << "it is not a regular file";
    QTest::newRow("tooLarge") << "large"
                              << "it is larger than 1 MiB";
}

void TestRollcallFind::settingsThatAreNotAFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("Rollcall/Half-Life.conf"));
    QVERIFY(
        QDir().mkpath(kind == QLatin1String("directory") ? file : home.filePath(QStringLiteral("Rollcall"))));
    if (kind == QLatin1String("fifo"))
        QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
    if (kind == QLatin1String("large")) {
        QFile large(file);
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(2 * 1024 * 1024));
    }

    ToolRun run;
    run.start(QStringLiteral(ROLLCALL_FIND_PATH),
        Args("--name bob --timeout 400 --master " + m_master.addressText()),
        IsolatedEnvironment(home.path()));
    const ToolResult result = run.wait(20000);
    QVERIFY2(result.finished, "rollcall-find hung on the settings path");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rowKeys(result.out).size(), 4);
    // Said once, naming the file.
    const QString note
        = QStringLiteral("the saved options in %1 were not read (%2); using the defaults").arg(file, reason);
    QCOMPARE(QString::fromUtf8(result.err).count(note), 1);
    // Read only, as ever: whatever stands there is left as it was.
    QCOMPARE(QDir(home.filePath(QStringLiteral("Rollcall")))
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
        QStringList { "Half-Life.conf" });
}

void TestRollcallFind::savedFilterTooLongIsRefused()
{
    // The window refuses such a filter on Next; a script gets told at once which option replaces it.
    QTemporaryDir home;
    {
        QSettings settings(home.filePath(QStringLiteral("Rollcall/Half-Life.conf")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("GameFilter"), QString(70000, u'g'));
    }
    const ToolResult result = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
        Args("--name b --master " + m_master.addressText()), IsolatedEnvironment(home.path()));
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("the saved game filter is too long") && result.err.contains("--game"),
        result.err.constData());
    const ToolResult replaced = RunTool(QStringLiteral(ROLLCALL_FIND_PATH),
        Args("--name b --timeout 400 --game  --master " + m_master.addressText()),
        IsolatedEnvironment(home.path()));
    QCOMPARE(replaced.exitCode, 0);
}

void TestRollcallFind::endlessMasterEndsItsList_data()
{
    QTest::addColumn<bool>("loopingKeys"); // else: empty pages with new keys for ever
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("keyRepeated_listSearched")
        << true << 0
        << QStringList { "0|Bob|5|00:01:00", "0|xXbobXx|-3|01:02:05", "1|[TAG]Bobby|12|00:01:40" };
    // Ten empty pages end the list: nothing listed, which for a script is "nothing found".
    QTest::newRow("emptyPages_nothingFound") << false << 1 << QStringList {};
}

void TestRollcallFind::endlessMasterEndsItsList()
{
    // A master that pages for ever is taken at its word up to the point it repeats itself or
    // stalls; the servers received are searched and the status follows the rows, long before
    // the 30 s master time-out.
    QFETCH(bool, loopingKeys);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expected);
    const QList<FakeEntry> entries = { m_servers[0]->entry(), m_servers[1]->entry() };
    HostileServer master;
    QVERIFY(master.listen());
    master.setScript([=](int n, const QByteArray &) {
        const QList<FakeEntry> page = loopingKeys && n < 2 ? entries.mid(n, 1) : QList<FakeEntry>();
        return QList<HostileSend> { { EncodeMasterReply(MasterPageKey(loopingKeys ? n % 2 : n), page) } };
    });
    const ToolResult result = find("--name bob --timeout 400 --master " + master.addressText());
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(rowKeys(result.out), expected);
    QCOMPARE(master.requestCount(), loopingKeys ? 3 : 10);
}

void TestRollcallFind::silentMasterIsAFailure()
{
    // The window says "No servers received from master." both for an empty list and after 30 s
    // of silence; for a script only the first is "nothing found".
    const ToolResult result = m_silentRun.wait();
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("No servers received from master."), result.err.constData());

    FakeMasterServer empty;
    QVERIFY(empty.listen());
    const ToolResult none = find("--name bob --master " + empty.addressText());
    QCOMPARE(none.exitCode, 1);
    QVERIFY2(none.err.contains("No servers received from master."), none.err.constData());
}

void TestRollcallFind::masterFailureStatus_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("emptyList_nothingFound") << "empty" << 1 << "No servers received from master.";
    QTest::newRow("badReply_failed") << "badHeader" << 2 << "Bad master server response.";
    QTest::newRow("malformedReply_failed")
        << "malformed" << 2 << "An unknown error occurred while obtaining the server list.";
    // Nothing listens on the port: said at once, not after the 30 s master time-out.
    QTest::newRow("refusedPort_failed") << "refused" << 2 << "Unable to contact the master server.";
}

void TestRollcallFind::masterFailureStatus()
{
    // The status comes from what went wrong, never from the words: the same words stand for an
    // empty list (status 1) and for a silent master (status 2).
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QString, message);
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setEntries({ m_servers[0]->entry() });
    if (kind == QLatin1String("empty"))
        master.setEntries({});
    master.setBadHeader(kind == QLatin1String("badHeader"));
    master.setMalformed(kind == QLatin1String("malformed"));
    QString address = master.addressText();
    if (kind == QLatin1String("refused")) {
        address = "127.0.0.1:" + QString::number(ClosedUdpPort());
        if (!RefusedPortIsReported(quint16(address.section(QLatin1Char(':'), 1).toInt())))
            QSKIP("This system does not report a refused UDP port on loopback");
    }
    QElapsedTimer clock;
    clock.start();
    const ToolResult result = find("--name bob --format json --master " + address);
    QVERIFY2(result.finished, result.err.constData());
    QVERIFY(clock.elapsed() < 20000);
    QCOMPARE(result.exitCode, status);
    // The message, then the master tried.
    const QString err = QString::fromUtf8(result.err);
    QVERIFY2(err.contains(message), result.err.constData());
    QVERIFY2(err.contains("rollcall-find: Master server tried: " + address + '\n'), result.err.constData());
    // Nothing found is still a document, an empty one; a failed exchange has none.
    if (status == 1) {
        const QJsonDocument document = QJsonDocument::fromJson(result.out);
        QVERIFY2(document.isArray() && document.array().isEmpty(), result.out.constData());
    } else {
        QVERIFY2(result.out.isEmpty(), result.out.constData());
    }
}

void TestRollcallFind::progressAndRowsOnOneTerminal_data()
{
    QTest::addColumn<QString>("term");
    QTest::newRow("xterm_lineRewritten") << "xterm";
    QTest::newRow("dumb_plainLines") << "dumb";
}

void TestRollcallFind::progressAndRowsOnOneTerminal()
{
    // In a shell, progress (stderr) and rows (stdout) share the screen: a row must never
    // continue a progress line, and a terminal without cursor control gets no escapes.
    QFETCH(QString, term);
    QProcessEnvironment environment = IsolatedEnvironment(m_config.path());
    environment.insert(QStringLiteral("TERM"), term);
    const TerminalRun run
        = RunOnTerminal(Args("--name BOB --timeout 400 --master " + m_master.addressText()), environment);
    QVERIFY2(run.finished, run.bytes.constData());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.bytes.contains("Status: "), run.bytes.constData());
    const bool rewritten = term != QLatin1String("dumb");
    QCOMPARE(run.bytes.contains('\033'), rewritten);

    QByteArray unexpected;
    const QList<QByteArray> screen = Screen(run.bytes, &unexpected);
    QVERIFY2(unexpected.isEmpty(), unexpected.constData());
    QByteArray rows;
    for (const QByteArray &line : screen) {
        const bool isRow = line.contains('\t');
        const bool isProgress = line.contains("Status: ") || line.contains(" found");
        QVERIFY2(!(isRow && isProgress), line.constData());
        if (isRow)
            rows += line + '\n';
    }
    QCOMPARE(rowKeys(rows),
        QStringList({ "0|Bob|5|00:01:00", "0|xXbobXx|-3|01:02:05", "1|[TAG]Bobby|12|00:01:40",
            "3|bob_one|2|00:01:01" }));
}

void TestRollcallFind::version()
{
    const ToolResult result = find(QStringLiteral("--version"));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, "rollcall-find " + rollcall::ui::ProgramVersionText().toUtf8() + '\n');
    QVERIFY(result.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestRollcallFind)
#include "tst_rollcallfind.moc"
