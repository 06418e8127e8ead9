#include "settings/IniSettingsBackend.h"
#include "settings/MemorySettingsBackend.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace rollcall::settings;

namespace {

const QString Preset = QStringLiteral("localhost:27010");

SettingsValues defaults()
{
    MemorySettingsBackend empty;
    return LoadSettings(empty, Preset);
}

// Every value away from its default, with the characters an INI file treats specially.
SettingsValues unusualValues()
{
    SettingsValues values;
    values.EnableSearch2 = true;
    values.UseWildcards1 = true;
    values.UseWildcards2 = true;
    values.PlayerName1 = QStringLiteral("a, b; c = \"d\" #e");
    values.PlayerName2 = QStringLiteral(u"@J\u00fcrgen [2] ");
    values.MaxConnections = QStringLiteral("7");
    values.QueryTimeout = QStringLiteral("99999");
    values.MasterServer = QStringLiteral("master.example:27011");
    values.EnableMaxServers = true;
    values.MaxServerAmount = QStringLiteral("999999");
    values.GameFilter = QStringLiteral("  cstrike");
    values.MapFilter = QStringLiteral("de_dust2\t");
    values.ExecutablePath = QStringLiteral("C:\\Games\\Half-Life\\hl.exe");
    values.Protocol = QStringLiteral("steam");
    values.SteamRegion = QStringLiteral("7");
    values.SteamMasterServer = QStringLiteral("hl2master.steampowered.com:27011");
    return values;
}

// Qt reserves the count a stored list claims before reading it; plain malloc hands out the
// address space untouched, AddressSanitizer's allocator aborts the process instead.
bool hugeReservationUnderAsan()
{
#if defined(__SANITIZE_ADDRESS__)
    return QByteArrayView(QTest::currentDataTag()).endsWith("HugeList");
#else
    return false;
#endif
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// What stands where the settings file should be.
enum class Bad { Content, Unreadable };

// Things that are not a settings file, all made without opening anything at the path.
enum class Occupant { Directory, Fifo, LinkToFifo, LinkToDevice, LinkToFile, FileOfSize, UnderAFile };

// A settings file that sets MaxConnections to 5, padded to `size` bytes.
QByteArray fileOfSize(qint64 size)
{
    const QByteArray head = "[General]\nMaxConnections=5\nPad=";
    return head + QByteArray(size - head.size() - 1, 'x') + '\n';
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace

Q_DECLARE_METATYPE(Bad)
Q_DECLARE_METATYPE(Occupant)
Q_DECLARE_METATYPE(LoadProblem)
Q_DECLARE_METATYPE(SaveProblem)

class tst_IniSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void saveReplacesThePerUserFile();
    void oneValueKeepsTheOthers();
    void badFileLoadsDefaults_data();
    void badFileLoadsDefaults();
    void notAFileIsNeverOpened_data();
    void notAFileIsNeverOpened();
    void nonTextValues_data();
    void nonTextValues();

private:
    // Each test its own file: QSettings keeps parsed files in a process-wide cache.
    QString freshFile(const char *name) const { return m_dir.filePath(QString::fromLatin1(name) + u".conf"); }

    QTemporaryDir m_dir;
};

void tst_IniSettings::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    // Before anything asks for the per-user config folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
}

void tst_IniSettings::saveReplacesThePerUserFile()
{
    const QString path = IniSettingsBackend::defaultFilePath();
    QCOMPARE(path, m_dir.filePath(QStringLiteral("config/Rollcall/Half-Life.conf")));
    QVERIFY(dynamic_cast<IniSettingsBackend *>(CreateDefaultBackend().get()));
    QVERIFY(writeFile(path, "[General]\nStray=1\nMaxConnections=5\n"));

    SaveSettings(*CreateDefaultBackend(), unusualValues());
    QCOMPARE(LoadSettings(*CreateDefaultBackend(), Preset), unusualValues());
    // Another reader sees the thirteen and the later values as plain texts under their own
    // names, and nothing else.
    const QSettings file(path, QSettings::IniFormat);
    QCOMPARE(file.allKeys().size(), 20);
    QCOMPARE(file.value(QStringLiteral("EnableSearch[2]")), QVariant(QStringLiteral("1")));
    QCOMPARE(file.value(QStringLiteral("MaxConnections")), QVariant(QStringLiteral("7")));
    QCOMPARE(file.value(QStringLiteral("PlayerName[1]")), QVariant(unusualValues().PlayerName1));
    // Written beside the old file and renamed over it: nothing else is left in the folder.
    QCOMPARE(
        QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList(QFileInfo(path).fileName()));
}

void tst_IniSettings::oneValueKeepsTheOthers()
{
    const QString path = freshFile("one-value");
    {
        IniSettingsBackend backend(path);
        SaveSettings(backend, unusualValues());
    }
    {
        IniSettingsBackend backend(path);
        backend.write(QStringLiteral("ExecutablePath"), QStringLiteral("/opt/hl/hl_linux"));
    }
    IniSettingsBackend backend(path);
    SettingsValues expected = unusualValues();
    expected.ExecutablePath = QStringLiteral("/opt/hl/hl_linux");
    QCOMPARE(LoadSettings(backend, Preset), expected);
}

void tst_IniSettings::badFileLoadsDefaults_data()
{
    QTest::addColumn<Bad>("bad");
    QTest::addColumn<QByteArray>("content");

    QRandomGenerator random(7);
    QByteArray noise(4096, '\0');
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("noise") << Bad::Content << noise;
    QTest::newRow("brokenVariant") << Bad::Content
                                   << QByteArray("[General]\nMaxConnections=@Variant(\\0\\0\n");
    QTest::newRow("variantHugeList")
        << Bad::Content
        << QByteArray("[General]\nPlayerName%5B1%5D=@Variant(\\0\\0\\0\\xb\\xff\\xff\\xff\\xf0)\n");
    // QSettings would not replace these; the save must still land, with the old file kept aside.
    QTest::newRow("unreadable") << Bad::Unreadable << QByteArray("[General]\nMaxConnections=5\n");
}

void tst_IniSettings::badFileLoadsDefaults()
{
    QFETCH(Bad, bad);
    QFETCH(QByteArray, content);
    if (hugeReservationUnderAsan())
        QSKIP("AddressSanitizer refuses the huge reservation Qt makes for this value");
    if (bad == Bad::Unreadable && ::geteuid() == 0)
        QSKIP("root reads a file of mode 000 all the same");

    const QString path = freshFile(QTest::currentDataTag());
    QVERIFY(writeFile(path, content));
    if (bad == Bad::Unreadable)
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));

    IniSettingsBackend backend(path);
    const SettingsValues loaded = LoadSettings(backend, Preset);
    // A damaged file may still hold a stray value; what it cannot do is break a rule.
    QCOMPARE(loaded.MaxConnections, defaults().MaxConnections);
    QCOMPARE(loaded.PlayerName1, QString());
    QCOMPARE(loaded.MasterServer, Preset);
    if (bad != Bad::Content)
        QCOMPARE(loaded, defaults());
    QCOMPARE(backend.loadProblem(), LoadProblem::None);

    SaveSettings(backend, unusualValues());
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(LoadSettings(backend, Preset), unusualValues());
    QCOMPARE(QFileInfo::exists(backend.setAsidePath()), bad != Bad::Content);
    QCOMPARE(backend.saveProblem(), SaveProblem::None);
}

void tst_IniSettings::notAFileIsNeverOpened_data()
{
    QTest::addColumn<Occupant>("occupant");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<LoadProblem>("load");
    QTest::addColumn<QString>("connections"); // as loaded
    QTest::addColumn<SaveProblem>("save");
    QTest::addColumn<bool>("movedAside");

    using L = LoadProblem;
    using S = SaveProblem;
    const qint64 max = MaxSettingsFileSize;
    // Opening a pipe would wait for a writer for ever; the test's time-out makes that a failure.
    QTest::newRow("fifo") << Occupant::Fifo << 0LL << L::NotARegularFile << "80" << S::None << true;
    QTest::newRow("linkToFifo") << Occupant::LinkToFifo << 0LL << L::NotARegularFile << "80" << S::None
                                << true;
    QTest::newRow("directory") << Occupant::Directory << 0LL << L::NotARegularFile << "80"
                               << S::NotARegularFile << false;
    QTest::newRow("linkToDevice") << Occupant::LinkToDevice << 0LL << L::NotARegularFile << "80"
                                  << S::NotARegularFile << false;
    QTest::newRow("linkToFile") << Occupant::LinkToFile << 100LL << L::None << "5" << S::None << false;
    QTest::newRow("fileOfMaxSize") << Occupant::FileOfSize << max << L::None << "5" << S::None << false;
    QTest::newRow("fileTooLarge") << Occupant::FileOfSize << max + 1 << L::TooLarge << "80" << S::None
                                  << true;
    // A file where the folder should be: nothing to read, nowhere to write.
    QTest::newRow("underAFile") << Occupant::UnderAFile << 0LL << L::None << "80" << S::NotWritten << false;
}

void tst_IniSettings::notAFileIsNeverOpened()
{
    QFETCH(Occupant, occupant);
    QFETCH(qint64, size);
    QFETCH(LoadProblem, load);
    QFETCH(QString, connections);
    QFETCH(SaveProblem, save);
    QFETCH(bool, movedAside);

    QString path = freshFile(QTest::currentDataTag());
    const QString target = path + QStringLiteral(".target");
    switch (occupant) {
    case Occupant::Directory:
        QVERIFY(QDir().mkpath(path));
        break;
    case Occupant::Fifo:
        QVERIFY(makeFifo(path));
        break;
    case Occupant::LinkToFifo:
        QVERIFY(makeFifo(target) && QFile::link(target, path));
        break;
    case Occupant::LinkToDevice:
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
        break;
    case Occupant::LinkToFile:
        QVERIFY(writeFile(target, fileOfSize(size)) && QFile::link(target, path));
        break;
    case Occupant::FileOfSize:
        QVERIFY(writeFile(path, fileOfSize(size)));
        break;
    case Occupant::UnderAFile:
        QVERIFY(writeFile(path, {}));
        path += QStringLiteral("/Half-Life.conf");
        break;
    }

    IniSettingsBackend backend(path);
    const SettingsValues loaded = LoadSettings(backend, Preset);
    QCOMPARE(backend.loadProblem(), load);
    QCOMPARE(backend.location(), path);
    QCOMPARE(loaded.MaxConnections, connections);
    if (load != LoadProblem::None)
        QCOMPARE(loaded, defaults());

    SaveSettings(backend, unusualValues());
    QCOMPARE(backend.saveProblem(), save);
    // What was moved aside is kept as it was; what was left alone still stands there.
    const QFileInfo aside(backend.setAsidePath());
    QCOMPARE(aside.exists(), movedAside);
    if (movedAside)
        QCOMPARE(aside.isFile() ? aside.size() : size, size);
    if (save == SaveProblem::NotARegularFile) {
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
        QCOMPARE(LoadSettings(backend, Preset), defaults());
    } else if (save == SaveProblem::None) {
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(LoadSettings(backend, Preset), unusualValues());
        QCOMPARE(backend.loadProblem(), LoadProblem::None);
    }
}

void tst_IniSettings::nonTextValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("isText");
    QTest::addColumn<QString>("text");

    QTest::newRow("textEmpty") << QByteArray("v=") << true << true << QString();
    QTest::newRow("list") << QByteArray("v=a, b") << true << false << QString();
    QTest::newRow("variantInt") << QByteArray("v=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)") << true << false
                                << QString();
    QTest::newRow("byteArray") << QByteArray("v=@ByteArray(abc)") << true << false << QString();
    QTest::newRow("otherSection") << QByteArray("[Other]\nv=abc") << false << false << QString();
}

void tst_IniSettings::nonTextValues()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, exists);
    QFETCH(bool, isText);
    QFETCH(QString, text);
    const QString path = freshFile(QTest::currentDataTag());
    QVERIFY(writeFile(path, "[General]\n" + line + '\n'));
    IniSettingsBackend backend(path);
    const StoredValue stored = backend.query(QStringLiteral("v"));
    QCOMPARE(stored.exists, exists);
    QCOMPARE(stored.isText, isText);
    QCOMPARE(stored.text, text);
}

QTEST_GUILESS_MAIN(tst_IniSettings)
#include "tst_inisettings.moc"
