// The Web API key in a real keyring: a private session bus and a keyring daemon of its own,
// started here in temporary folders and stopped at the end, so the user's keyring is never
// touched. Skipped, saying why, where the machine cannot run them.

#include "settings/ApiKeyStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall::settings;

namespace {

constexpr int Wait = 30000;
const QString Key = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
const QString OtherKey = QStringLiteral("FEDCBA9876543210FEDCBA9876543210");

struct Answer
{
    bool came = false;
    KeyringStatus status = KeyringStatus::Unavailable;
    QString key;
};

Answer readKey(ApiKeyStore &store)
{
    Answer answer;
    const QMetaObject::Connection connection
        = QObject::connect(&store, &ApiKeyStore::readFinished, [&](KeyringStatus status, const QString &key) {
              answer = { true, status, key };
          });
    store.read();
    [[maybe_unused]] const bool came = QTest::qWaitFor([&] { return answer.came; }, Wait);
    QObject::disconnect(connection);
    return answer;
}

template <typename Signal> Answer change(ApiKeyStore &store, Signal signal, const std::function<void()> &call)
{
    Answer answer;
    const QMetaObject::Connection connection = QObject::connect(&store, signal, [&](KeyringStatus status) {
        answer = { true, status, store.key() };
    });
    call();
    [[maybe_unused]] const bool came = QTest::qWaitFor([&] { return answer.came; }, Wait);
    QObject::disconnect(connection);
    return answer;
}

} // namespace

class tst_ApiKeyring final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void storedReadAndRemoved();

private:
    QString startBus();
    bool startKeyring(const QString &address);

    QTemporaryDir m_home;
    QProcess m_bus;
    QProcess m_keyring;
    QString m_service
        = QStringLiteral("Rollcall test ") + QString::number(QCoreApplication::applicationPid());
};

void tst_ApiKeyring::initTestCase()
{
    for (const char *program : { "dbus-daemon", "gnome-keyring-daemon" }) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (packages dbus, gnome-keyring)")
                                 .arg(QLatin1String(program))));
    }
    QVERIFY(m_home.isValid());
    QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("run")));
    QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QString address = startBus();
    if (address.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no private session bus: ")
            + QString::fromLocal8Bit(m_bus.readAllStandardError())));
    if (!startKeyring(address))
        QSKIP(qPrintable(QStringLiteral("the keyring daemon did not come up: ")
            + QString::fromLocal8Bit(m_keyring.readAllStandardError())));
    // Before the keyring library first looks for a bus: it settles on one per process.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    for (const char *name :
        { "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID" })
        qunsetenv(name);
}

QString tst_ApiKeyring::startBus()
{
    m_bus.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
            QStringLiteral("--print-address=1") });
    QByteArray line;
    [[maybe_unused]] const bool printed = QTest::qWaitFor(
        [&] {
            line += m_bus.readAllStandardOutput();
            return line.contains('\n') || m_bus.state() == QProcess::NotRunning;
        },
        10000);
    return QString::fromLocal8Bit(line.left(line.indexOf('\n'))).trimmed();
}

bool tst_ApiKeyring::startKeyring(const QString &address)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    m_keyring.setProcessEnvironment(environment);
    // --unlock takes the login keyring's password on standard input and makes that keyring, the
    // default one, if there is none yet.
    m_keyring.start(QStringLiteral("gnome-keyring-daemon"),
        { QStringLiteral("--foreground"), QStringLiteral("--unlock"),
            QStringLiteral("--components=secrets") });
    if (!m_keyring.waitForStarted(10000))
        return false;
    m_keyring.write("rollcall-test\n");
    m_keyring.closeWriteChannel();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("rollcall-keyring-probe"));
    const QString login = m_home.filePath(QStringLiteral("data/keyrings/login.keyring"));
    const bool up = QTest::qWaitFor(
        [&] {
            return m_keyring.state() == QProcess::NotRunning
                || (QFile::exists(login) && bus.isConnected()
                    && bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")));
        },
        10000);
    QDBusConnection::disconnectFromBus(QStringLiteral("rollcall-keyring-probe"));
    return up && m_keyring.state() == QProcess::Running;
}

void tst_ApiKeyring::cleanupTestCase()
{
    for (QProcess *process : { &m_keyring, &m_bus }) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(5000);
    }
}

void tst_ApiKeyring::storedReadAndRemoved()
{
    ApiKeyStore store(m_service);
    Answer answer = readKey(store);
    QVERIFY(answer.came);
    QCOMPARE(answer.status, KeyringStatus::NotFound);
    QCOMPARE(answer.key, QString());

    answer = change(store, &ApiKeyStore::writeFinished, [&] { store.write(Key + QLatin1Char('\n')); });
    QVERIFY(answer.came);
    QCOMPARE(answer.status, KeyringStatus::Ok);
    QVERIFY(!store.sessionOnly());

    // Another store, as the next run would have, finds it in the keyring.
    {
        ApiKeyStore nextRun(m_service);
        answer = readKey(nextRun);
        QCOMPARE(answer.status, KeyringStatus::Ok);
        QCOMPARE(answer.key, Key);
        answer = change(nextRun, &ApiKeyStore::writeFinished, [&] { nextRun.write(OtherKey); });
        QCOMPARE(answer.status, KeyringStatus::Ok);
    }
    answer = readKey(store);
    QCOMPARE(answer.status, KeyringStatus::Ok);
    QCOMPARE(answer.key, OtherKey);

    // The settings file never holds it.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QDirIterator files(config, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (!config.isEmpty() && files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(!file.readAll().contains(OtherKey.toLatin1()), qPrintable(file.fileName()));
    }

    answer = change(store, &ApiKeyStore::removeFinished, [&] { store.remove(); });
    QCOMPARE(answer.status, KeyringStatus::Ok);
    QCOMPARE(store.key(), QString());
    QCOMPARE(readKey(store).status, KeyringStatus::NotFound);
    // Nothing left to remove is no failure.
    QCOMPARE(change(store, &ApiKeyStore::removeFinished, [&] { store.remove(); }).status, KeyringStatus::Ok);
}

QTEST_GUILESS_MAIN(tst_ApiKeyring)
#include "tst_apikeyring.moc"
