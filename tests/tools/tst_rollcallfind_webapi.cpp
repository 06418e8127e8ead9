// rollcall-find --protocol webapi as a separate process, against a fake Web API and A2S servers
// on loopback: the key from a file, the environment or (failing both) the keyring, the base
// address rule, a refused key as a failed exchange, and the key never in anything it prints.

#include "FakeWebApi.h"
#include "LoopbackSteam.h"
#include "ToolProcess.h"

#include <QTest>

using namespace rollcall::loopbacksteam;
using namespace rollcall::testtools;
using rollcall::testsupport::FakeWebApi;

namespace {

const QString TheKey = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

// No key in the environment and no keyring to be found: no session bus, no desktop to start one.
QProcessEnvironment KeylessEnvironment(const QString &configHome, const QString &runtime)
{
    QProcessEnvironment environment = IsolatedEnvironment(configHome);
    for (const char *name : { "ROLLCALL_STEAM_KEY", "DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP",
             "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID" })
        environment.remove(QLatin1String(name));
    environment.insert(
        QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}

} // namespace

class TestRollcallFindWebApi final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void keySources_data();
    void keySources();
    void refusedKey();
    void badOptions_data();
    void badOptions();

private:
    ToolResult find(const QStringList &arguments, const QProcessEnvironment &environment);
    QString writeFile(const QString &name, const QByteArray &content);
    void verifyKeyless(const ToolResult &result);

    QTemporaryDir m_dir;
    QTemporaryDir m_runtime;
    A2sPopulation m_servers;
    FakeWebApi m_api;
};

void TestRollcallFindWebApi::initTestCase()
{
    QVERIFY(m_dir.isValid() && m_runtime.isValid());
    QVERIFY(m_servers.start(3));
    m_servers.at(0).players = { { "Gordon", 5, 60.f } };
    m_servers.at(1).players = { { "gordon_f", 1, 5.f }, { "Barney", 2, 6.f } };
    QVERIFY(m_api.listen());
}

void TestRollcallFindWebApi::init()
{
    m_api.requests.clear();
    m_api.respond = [this](const FakeWebApi::Request &request) {
        if (request.key != TheKey)
            return FakeWebApi::Status(403, "Forbidden");
        QStringList addresses;
        for (const ServerEntry &entry : m_servers.entries())
            addresses << entry.Address + ':' + QString::number(entry.Port);
        return FakeWebApi::List(addresses);
    };
}

ToolResult TestRollcallFindWebApi::find(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QStringList all { QStringLiteral("--game"), QStringLiteral("valve"), QStringLiteral("--timeout"),
        QStringLiteral("500") };
    if (!arguments.contains(QStringLiteral("--protocol")))
        all << QStringLiteral("--protocol") << QStringLiteral("webapi");
    return RunTool(QStringLiteral(ROLLCALL_FIND_PATH), all + arguments, environment);
}

QString TestRollcallFindWebApi::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}

void TestRollcallFindWebApi::verifyKeyless(const ToolResult &result)
{
    QVERIFY2(!result.out.contains(TheKey.toLatin1()), result.out.constData());
    QVERIFY2(!result.err.contains(TheKey.toLatin1()), result.err.constData());
}

void TestRollcallFindWebApi::keySources_data()
{
    QTest::addColumn<QString>("fileContent"); // empty: no --key-file
    QTest::addColumn<QString>("variable"); // empty: unset

    QTest::newRow("file") << QStringLiteral(" \n") + TheKey + QStringLiteral("\r\n") << QString();
    QTest::newRow("variable") << QString() << TheKey;
    // The file wins over the variable.
    QTest::newRow("fileOverVariable") << TheKey << QStringLiteral("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
}

void TestRollcallFindWebApi::keySources()
{
    QFETCH(QString, fileContent);
    QFETCH(QString, variable);

    QProcessEnvironment environment = KeylessEnvironment(m_dir.path(), m_runtime.path());
    if (!variable.isEmpty())
        environment.insert(QStringLiteral("ROLLCALL_STEAM_KEY"), variable);
    QStringList arguments { QStringLiteral("--webapi-url"), m_api.base().toString(), QStringLiteral("--name"),
        QStringLiteral("gordon") };
    if (!fileContent.isEmpty())
        arguments << QStringLiteral("--key-file")
                  << writeFile(QStringLiteral("key.txt"), fileContent.toUtf8());
    const ToolResult result = find(arguments, environment);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.count('\n'), 3); // the header and both Gordons
    QVERIFY(result.out.contains("\tGordon\t5\t"));
    QVERIFY(result.out.contains("\tgordon_f\t1\t"));
    QCOMPARE(m_api.requests.size(), 1);
    QCOMPARE(m_api.requests.first().key, TheKey);
    verifyKeyless(result);
}

// A refused key ends the list as a failed master exchange does: status 2, the message on stderr.
void TestRollcallFindWebApi::refusedKey()
{
    QProcessEnvironment environment = KeylessEnvironment(m_dir.path(), m_runtime.path());
    environment.insert(QStringLiteral("ROLLCALL_STEAM_KEY"), TheKey);
    m_api.respond = [](const FakeWebApi::Request &) { return FakeWebApi::Status(403, "Forbidden"); };
    const ToolResult result = find({ QStringLiteral("--webapi-url"), m_api.base().toString(),
                                       QStringLiteral("--name"), QStringLiteral("x") },
        environment);
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains("The Steam Web API refused the key. Check it in the options."),
        result.err.constData());
    verifyKeyless(result);
}

void TestRollcallFindWebApi::badOptions_data()
{
    QTest::addColumn<QString>("arguments"); // after --protocol webapi ...; KEYFILE: a good key file
    QTest::addColumn<QString>("error");

    QTest::newRow("noKeyAnywhere") << QStringLiteral("--name x --webapi-url BASE")
                                   << QStringLiteral("no Steam Web API key");
    QTest::newRow("keyFileMissing") << QStringLiteral("--name x --key-file /nonexistent/key.txt")
                                    << QStringLiteral("cannot read the key file '/nonexistent/key.txt'");
    QTest::newRow("keyFileTwoLines") << QStringLiteral("--name x --key-file TWOLINES")
                                     << QStringLiteral("holds more than a key");
    QTest::newRow("plainHttpElsewhere") << QStringLiteral("--name x --key-file KEYFILE --webapi-url "
                                                          "http://api.example.invalid")
                                        << QStringLiteral("unencrypted");
    QTest::newRow("notAnAddress") << QStringLiteral("--name x --key-file KEYFILE --webapi-url ftp://a.b")
                                  << QStringLiteral("not an https:// address");
    QTest::newRow("master") << QStringLiteral("--name x --key-file KEYFILE --master localhost:27010")
                            << QStringLiteral("--master: not for --protocol webapi");
    QTest::newRow("keyFileWithoutWebApi") << QStringLiteral("--name x --key-file KEYFILE --protocol steam")
                                          << QStringLiteral("--key-file: only for --protocol webapi");
}

// Each stops before anything is asked: status 2, a message that names what is wrong, no key.
void TestRollcallFindWebApi::badOptions()
{
    QFETCH(QString, arguments);
    QFETCH(QString, error);

    const QString keyFile = writeFile(QStringLiteral("good.txt"), TheKey.toUtf8());
    const QString twoLines = writeFile(QStringLiteral("two.txt"), TheKey.toUtf8() + "\n" + TheKey.toUtf8());
    QStringList list = Args(arguments);
    for (QString &argument : list) {
        if (argument == QLatin1String("KEYFILE"))
            argument = keyFile;
        else if (argument == QLatin1String("TWOLINES"))
            argument = twoLines;
        else if (argument == QLatin1String("BASE"))
            argument = m_api.base().toString();
    }
    const ToolResult result = find(list, KeylessEnvironment(m_dir.path(), m_runtime.path()));
    QVERIFY2(result.finished, result.err.constData());
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(error.toUtf8()), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(m_api.requests.size(), 0);
    verifyKeyless(result);
}

QTEST_GUILESS_MAIN(TestRollcallFindWebApi)
#include "tst_rollcallfind_webapi.moc"
