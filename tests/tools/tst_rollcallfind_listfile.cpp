// rollcall-find --servers-file, run as a separate process against loopback game servers: the
// file's servers asked with the legacy or the A2S queries, standard input as the file, bad lines
// on stderr while the good ones are searched, and a file that gives nothing to search.

#include "FakeServers.h"
#include "LoopbackSteam.h"
#include "ToolProcess.h"

#include <QTest>

using namespace rollcall::testtools;
using rollcall::testsupport::FakeGameServer;

class TestRollcallFindListFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void legacy();
    void a2s();
    void standardInput();
    void nothingToSearch_data();
    void nothingToSearch();
    void usage_data();
    void usage();

private:
    ToolResult find(const QStringList &arguments, const QByteArray &input = QByteArray());
    QString write(const QString &name, const QByteArray &content);

    QTemporaryDir m_config;
    QTemporaryDir m_dir;
    FakeGameServer m_legacy;
    rollcall::loopbacksteam::FakeA2sServer m_a2s;
};

void TestRollcallFindListFile::initTestCase()
{
    QVERIFY(m_config.isValid());
    QVERIFY(m_dir.isValid());
    QVERIFY(m_legacy.listen());
    m_legacy.setPlayers({ { "Gordon", 3, 10.f }, { "barney", 1, 5.f } });
    QVERIFY(m_a2s.listen());
    m_a2s.players = { { "ивангай", 7, 65.f } };
}

ToolResult TestRollcallFindListFile::find(const QStringList &arguments, const QByteArray &input)
{
    ToolRun run;
    run.start(QStringLiteral(ROLLCALL_FIND_PATH), arguments, IsolatedEnvironment(m_config.path()));
    if (!run.process().waitForStarted(10000))
        return {};
    run.process().write(input);
    run.process().closeWriteChannel();
    return run.wait();
}

QString TestRollcallFindListFile::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestRollcallFindListFile::legacy()
{
    const QByteArray port = QByteArray::number(m_legacy.port());
    const QString path = write(QStringLiteral("lan.txt"),
        "# LAN\nlocalhost:" + port + "\nnot a server\n127.0.0.1:" + port + "\n127.0.0.1:0\n");
    const int before = m_legacy.requestCount(FakeGameServer::Kind::Players);

    ToolResult result = find({ "--servers-file", path, "--name", "gordon", "--timeout", "500" });
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out,
        "Server IP\tPort\tPing\tPlayer Name\tFrags\tTime\n"
        "127.0.0.1\t"
            + port + "\t" + result.out.split('\t').value(7) + "\tGordon\t3\t00:00:10\n");
    QCOMPARE(m_legacy.requestCount(FakeGameServer::Kind::Players) - before, 1);
    // Every bad line is listed, with its number, after the rows.
    const QByteArray notice = "rollcall-find: 2 lines of the server list file were passed over; the other "
                              "servers were searched.\n"
                              "rollcall-find: File: "
        + path.toUtf8()
        + "\nrollcall-find: Line 3: not an IPv4 address or a host name: not a server\n"
          "rollcall-find: Line 5: the port is not a number from 1 to 65535: 127.0.0.1:0\n";
    QVERIFY2(result.err.contains(notice), result.err.constData());

    // Nobody matching: the status says so, the list was fine.
    result = find({ "--servers-file", path, "--name", "nobody", "--timeout", "500", "--protocol", "legacy" });
    QCOMPARE(result.exitCode, 1);
}

void TestRollcallFindListFile::a2s()
{
    const QString path
        = write(QStringLiteral("steam.txt"), "127.0.0.1:" + QByteArray::number(m_a2s.entry().Port) + "\n");
    const ToolResult result = find({ "--servers-file", path, "--protocol", "steam", "--name", "ИВАН",
        "--timeout", "500", "--no-header" });
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 0);
    const QByteArray start = "127.0.0.1\t" + QByteArray::number(m_a2s.entry().Port) + '\t';
    QVERIFY2(result.out.startsWith(start), result.out.constData());
    QVERIFY(result.out.contains(QStringLiteral("\tивангай\t7\t").toUtf8()));
    QVERIFY2(result.err.isEmpty(), result.err.constData());
}

void TestRollcallFindListFile::standardInput()
{
    const QByteArray list = "127.0.0.1:" + QByteArray::number(m_legacy.port()) + "\r\n";
    const ToolResult result
        = find({ "--servers-file", "-", "--name", "gordon", "--timeout", "500", "--format", "json" }, list);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains("\"name\": \"Gordon\""), result.out.constData());
}

void TestRollcallFindListFile::nothingToSearch_data()
{
    QTest::addColumn<QString>("file"); // "-": standard input
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("missing") << "missing.txt" << QByteArray()
                             << QByteArray("rollcall-find: The server list file could not be read.\n"
                                           "rollcall-find: There is no file at ");
    QTest::newRow("folder") << "." << QByteArray() << QByteArray(" is not a regular file.\n");
    QTest::newRow("allBad") << "bad.txt" << QByteArray("a_b\n\n:27015\n")
                            << QByteArray("rollcall-find: The server list file names no server that can be "
                                          "searched.\n");
    QTest::newRow("allBadLines") << "bad.txt" << QByteArray("a_b\n\n:27015\n")
                                 << QByteArray(
                                        "rollcall-find: Line 1: not an IPv4 address or a host name: a_b\n"
                                        "rollcall-find: Line 3: no host before the port: :27015\n");
    QTest::newRow("emptyInput") << "-" << QByteArray("# nothing\n")
                                << QByteArray("rollcall-find: standard input has no server lines.\n");
}

void TestRollcallFindListFile::nothingToSearch()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, message);

    QString path = file;
    if (file == QLatin1String("."))
        path = m_dir.path();
    else if (file == QLatin1String("missing.txt"))
        path = m_dir.filePath(file);
    else if (file != QLatin1String("-"))
        path = write(file, content);
    const ToolResult result = find({ "--servers-file", path, "--name", "gordon" }, content);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QCOMPARE(result.out, QByteArray("Server IP\tPort\tPing\tPlayer Name\tFrags\tTime\n"));
}

void TestRollcallFindListFile::usage_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("master") << "--servers-file x --name a --master localhost:27010"
                            << QByteArray("--master: not with --servers-file");
    QTest::newRow("region") << "--servers-file x --name a --region europe"
                            << QByteArray("--region: not with --servers-file");
    QTest::newRow("game") << "--servers-file x --name a --game valve"
                          << QByteArray("--game: not with --servers-file");
    QTest::newRow("webapi") << "--servers-file x --name a --protocol webapi"
                            << QByteArray(
                                   "--protocol: with --servers-file, expected legacy or steam, got 'webapi'");
    QTest::newRow("twice") << "--servers-file x --servers-file y --name a"
                           << QByteArray("--servers-file: given more than once");
    QTest::newRow("singleQuery") << "--servers-file x --info 127.0.0.1:27015"
                                 << QByteArray("--servers-file: only for a search");
    QTest::newRow("keyFile") << "--servers-file x --name a --key-file k"
                             << QByteArray("--key-file: only for --protocol webapi");
}

void TestRollcallFindListFile::usage()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, message);
    const ToolResult result = find(Args(arguments));
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), result.err.constData());
    QVERIFY(result.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestRollcallFindListFile)
#include "tst_rollcallfind_listfile.moc"
