// The Web API key without a keyring: no session bus at all, so the store says the keyring is
// unavailable and keeps the key for this run; calls answer in the order made. Then the key file
// rows and the order of the key's sources. A real keyring is tst_apikeyring's: the keyring
// library settles on its backend once per process.

#include "settings/ApiKey.h"
#include "settings/ApiKeyStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace rollcall::settings;

Q_DECLARE_METATYPE(rollcall::settings::KeyFile::Problem)

namespace {

constexpr int Wait = 30000;
const QString Key = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

} // namespace

class tst_ApiKeyStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void noKeyringKeepsTheKeyForTheRun();
    void keyFile_data();
    void keyFile();
    void keyFileThatIsNotAFile();
    void sources_data();
    void sources();

private:
    QTemporaryDir m_runtime;
};

void tst_ApiKeyStore::initTestCase()
{
    // No session bus to be found anywhere: not in the environment, not at the runtime
    // directory's usual socket, not by autolaunching one on a display. Nor a desktop that would
    // pick another backend.
    QVERIFY(m_runtime.isValid());
    for (const char *name : { "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP",
             "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID" })
        qunsetenv(name);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

void tst_ApiKeyStore::noKeyringKeepsTheKeyForTheRun()
{
    ApiKeyStore store(QStringLiteral("Rollcall test ") + QString::number(QCoreApplication::applicationPid()));
    QStringList answers;
    connect(&store, &ApiKeyStore::readFinished, this, [&](KeyringStatus status, const QString &key) {
        answers << QStringLiteral("read %1 %2").arg(int(status)).arg(key);
    });
    connect(&store, &ApiKeyStore::writeFinished, this, [&](KeyringStatus status) {
        answers
            << QStringLiteral("write %1 %2 %3").arg(int(status)).arg(store.key()).arg(store.sessionOnly());
    });
    connect(&store, &ApiKeyStore::removeFinished, this, [&](KeyringStatus status) {
        answers << QStringLiteral("remove %1 [%2]").arg(int(status)).arg(store.key());
    });

    // All at once: they answer one after the other, in this order, and never from inside a call.
    store.write(QStringLiteral("  ") + Key + QStringLiteral("\n"));
    store.read();
    store.remove();
    store.read();
    QVERIFY(answers.isEmpty());
    QVERIFY(store.isBusy());
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 4, Wait);
    const int unavailable = int(KeyringStatus::Unavailable);
    QCOMPARE(answers,
        (QStringList { QStringLiteral("write %1 %2 1").arg(unavailable).arg(Key),
            QStringLiteral("read %1 %2").arg(unavailable).arg(Key),
            QStringLiteral("remove %1 []").arg(unavailable), QStringLiteral("read %1 ").arg(unavailable) }));
    QVERIFY(!store.isBusy());
    QVERIFY(!store.sessionOnly());
}

void tst_ApiKeyStore::keyFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<KeyFile::Problem>("problem");
    QTest::addColumn<QString>("key");

    const QByteArray key = Key.toLatin1();
    QTest::newRow("ok_bare") << key << KeyFile::Problem::None << Key;
    QTest::newRow("ok_newline") << QByteArray(key + '\n') << KeyFile::Problem::None << Key;
    QTest::newRow("ok_windows") << QByteArray("\xEF\xBB\xBF" + key + "\r\n") << KeyFile::Problem::None << Key;
    QTest::newRow("ok_surroundingSpace")
        << QByteArray("\n\t " + key + " \n\n") << KeyFile::Problem::None << Key;
    QTest::newRow("ok_atTheLimit") << QByteArray(QByteArray(MaxKeyFileSize - 1, 'k') + '\n')
                                   << KeyFile::Problem::None << QString(MaxKeyFileSize - 1, QLatin1Char('k'));
    QTest::newRow("bad_empty") << QByteArray() << KeyFile::Problem::Empty << QString();
    QTest::newRow("bad_blank") << QByteArray(" \r\n\t\n") << KeyFile::Problem::Empty << QString();
    QTest::newRow("bad_twoLines") << QByteArray(key + '\n' + key) << KeyFile::Problem::NotAKey << QString();
    QTest::newRow("bad_inlineSpace") << QByteArray("key = " + key) << KeyFile::Problem::NotAKey << QString();
    QTest::newRow("bad_nul") << QByteArray(key + '\0' + key) << KeyFile::Problem::NotAKey << QString();
    QTest::newRow("bad_nonAscii") << QByteArray("cl\xC3\xA9") << KeyFile::Problem::NotAKey << QString();
    QTest::newRow("bad_overLimit") << QByteArray(MaxKeyFileSize + 1, 'k') << KeyFile::Problem::TooLarge
                                   << QString();
    QTest::newRow("bad_binary") << QByteArray(1 << 20, '\xFF') << KeyFile::Problem::TooLarge << QString();
}

void tst_ApiKeyStore::keyFile()
{
    QFETCH(QByteArray, content);
    QFETCH(KeyFile::Problem, problem);
    QFETCH(QString, key);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("steam.key")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    file.close();
    const KeyFile read = ReadKeyFile(file.fileName());
    QCOMPARE(read.problem, problem);
    QCOMPARE(read.key, key);
}

void tst_ApiKeyStore::keyFileThatIsNotAFile()
{
    QTemporaryDir dir;
    QCOMPARE(ReadKeyFile(dir.path()).problem, KeyFile::Problem::NotRegularFile);
    // A pipe with no writer would hold a plain open for ever.
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(ReadKeyFile(fifo).problem, KeyFile::Problem::NotRegularFile);

    const KeyFile missing = ReadKeyFile(dir.filePath(QStringLiteral("none")));
    QCOMPARE(missing.problem, KeyFile::Problem::Unreadable);
    QVERIFY(!missing.detail.isEmpty());
    QCOMPARE(ReadKeyFile(QString()).problem, KeyFile::Problem::Unreadable);

    // Through a link, a regular file is read like any other.
    QFile target(dir.filePath(QStringLiteral("target")));
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write(Key.toLatin1());
    target.close();
    const QString link = dir.filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(target.fileName(), link));
    QCOMPARE(ReadKeyFile(link).key, Key);

    if (::geteuid() != 0) { // root reads whatever the permissions say
        QVERIFY(target.setPermissions(QFileDevice::WriteOwner));
        QCOMPARE(ReadKeyFile(target.fileName()).problem, KeyFile::Problem::Unreadable);
    }
}

void tst_ApiKeyStore::sources_data()
{
    QTest::addColumn<bool>("fileGiven");
    QTest::addColumn<QString>("fileKey");
    QTest::addColumn<bool>("variableSet");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("key");

    const int file = int(KeySource::KeyFile);
    const int environment = int(KeySource::Environment);
    const int keyring = int(KeySource::Keyring);
    QTest::newRow("file_beforeEnvironment") << true << "FILEKEY" << true << "ENVKEY" << file << "FILEKEY";
    QTest::newRow("file_alone") << true << "FILEKEY" << false << "" << file << "FILEKEY";
    QTest::newRow("environment_trimmed") << false << "" << true << " ENVKEY\n" << environment << "ENVKEY";
    QTest::newRow("environment_blankFallsThrough") << false << "" << true << "  " << keyring << "";
    QTest::newRow("keyring_nothingGiven") << false << "" << false << "" << keyring << "";
}

void tst_ApiKeyStore::sources()
{
    QFETCH(bool, fileGiven);
    QFETCH(QString, fileKey);
    QFETCH(bool, variableSet);
    QFETCH(QString, variable);
    QFETCH(int, source);
    QFETCH(QString, key);
    const KeyChoice choice = ChooseKey(fileGiven ? std::optional<QString>(fileKey) : std::nullopt,
        variableSet ? std::optional<QString>(variable) : std::nullopt);
    QCOMPARE(int(choice.source), source);
    QCOMPARE(choice.key, key);
}

QTEST_GUILESS_MAIN(tst_ApiKeyStore)
#include "tst_apikeystore.moc"
