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

} // namespace

class tst_IniSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void defaultFileIsPerUser();
    void saveThenLoadGivesAllThirteen();
    void saveReplacesTheWholeFile();
    void damagedFileLoadsDefaults_data();
    void damagedFileLoadsDefaults();
    void unreadableFileLoadsDefaultsAndSaveIsKept();
    void directoryInTheWay();
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

void tst_IniSettings::defaultFileIsPerUser()
{
    QCOMPARE(IniSettingsBackend::defaultFilePath(),
        m_dir.filePath(QStringLiteral("config/Rollcall/Half-Life.conf")));
    const auto backend = CreateDefaultBackend();
    QVERIFY(dynamic_cast<IniSettingsBackend *>(backend.get()));
    QCOMPARE(LoadSettings(*backend, Preset), defaults());
}

void tst_IniSettings::saveThenLoadGivesAllThirteen()
{
    const SettingsValues values = unusualValues();
    SaveSettings(*CreateDefaultBackend(), values);

    const QString path = IniSettingsBackend::defaultFilePath();
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(LoadSettings(*CreateDefaultBackend(), Preset), values);

    // Another reader of the file sees thirteen plain texts under their own names.
    const QSettings file(path, QSettings::IniFormat);
    QCOMPARE(file.allKeys().size(), 13);
    QCOMPARE(file.value(QStringLiteral("EnableSearch[2]")), QVariant(QStringLiteral("1")));
    QCOMPARE(file.value(QStringLiteral("MaxConnections")), QVariant(QStringLiteral("7")));
    QCOMPARE(file.value(QStringLiteral("PlayerName[1]")), QVariant(values.PlayerName1));
}

void tst_IniSettings::saveReplacesTheWholeFile()
{
    const QString path = freshFile("replace");
    QVERIFY(writeFile(path, "[General]\nStray=1\nMaxConnections=5\n"));

    IniSettingsBackend backend(path);
    SaveSettings(backend, unusualValues());
    QCOMPARE(LoadSettings(backend, Preset), unusualValues());
    const QSettings file(path, QSettings::IniFormat);
    QVERIFY(!file.contains(QStringLiteral("Stray")));
    // Written beside the old file and renamed over it: nothing else is left in the folder.
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({ QStringLiteral("replace*") }, QDir::Files),
        QStringList(QStringLiteral("replace.conf")));
}

void tst_IniSettings::damagedFileLoadsDefaults_data()
{
    QTest::addColumn<QByteArray>("content");

    QRandomGenerator random(7);
    QByteArray noise(4096, '\0');
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("noise") << noise;
    QTest::newRow("nuls") << QByteArray(512, '\0');
    QTest::newRow("unclosedSection") << QByteArray("[General\n=\n==\n[\n]\n");
    QTest::newRow("keysWithoutValues") << QByteArray("MaxConnections\nQueryTimeout\n\\\\\\\n");
    QTest::newRow("brokenVariant") << QByteArray("[General]\nMaxConnections=@Variant(\\0\\0\n");
    QTest::newRow("variantHugeList") << QByteArray(
        "[General]\nPlayerName%5B1%5D=@Variant(\\0\\0\\0\\xb\\xff\\xff\\xff\\xf0)\n");
}

void tst_IniSettings::damagedFileLoadsDefaults()
{
    QFETCH(QByteArray, content);
    if (hugeReservationUnderAsan())
        QSKIP("AddressSanitizer refuses the huge reservation Qt makes for this value");

    const QString path = freshFile(QTest::currentDataTag());
    QVERIFY(writeFile(path, content));
    IniSettingsBackend backend(path);
    const SettingsValues loaded = LoadSettings(backend, Preset);
    // A damaged file may still hold a stray value; what it cannot do is break a rule.
    QCOMPARE(loaded.MaxConnections, defaults().MaxConnections);
    QCOMPARE(loaded.PlayerName1, QString());
    QCOMPARE(loaded.MasterServer, Preset);

    // Nor keep the next save from landing.
    SaveSettings(backend, unusualValues());
    QCOMPARE(LoadSettings(backend, Preset), unusualValues());
}

void tst_IniSettings::unreadableFileLoadsDefaultsAndSaveIsKept()
{
    if (::geteuid() == 0)
        QSKIP("root reads a file of mode 000 all the same");
    const QString path = freshFile("unreadable");
    QVERIFY(writeFile(path, "[General]\nMaxConnections=5\n"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));

    IniSettingsBackend backend(path);
    QCOMPARE(LoadSettings(backend, Preset), defaults());

    SaveSettings(backend, unusualValues());
    QCOMPARE(LoadSettings(backend, Preset), unusualValues());
    QVERIFY(QFileInfo::exists(backend.setAsidePath()));
}

void tst_IniSettings::directoryInTheWay()
{
    // Unreadable as a file even for root.
    const QString path = freshFile("directory");
    QVERIFY(QDir().mkpath(path));

    IniSettingsBackend backend(path);
    QCOMPARE(LoadSettings(backend, Preset), defaults());

    SaveSettings(backend, unusualValues());
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(LoadSettings(backend, Preset), unusualValues());
    QVERIFY(QFileInfo(backend.setAsidePath()).isDir());
}

void tst_IniSettings::nonTextValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("isText");
    QTest::addColumn<QString>("text");

    QTest::newRow("text") << QByteArray("v=abc") << true << true << QStringLiteral("abc");
    QTest::newRow("textQuotedComma") << QByteArray("v=\"a, b\"") << true << true << QStringLiteral("a, b");
    QTest::newRow("textEmpty") << QByteArray("v=") << true << true << QString();
    QTest::newRow("textEscapedAt") << QByteArray("v=@@x") << true << true << QStringLiteral("@x");
    QTest::newRow("list") << QByteArray("v=a, b") << true << false << QString();
    QTest::newRow("variantInt") << QByteArray("v=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)") << true << false
                                << QString();
    QTest::newRow("variantHugeList") << QByteArray("v=@Variant(\\0\\0\\0\\xb\\xff\\xff\\xff\\xf0)") << true
                                     << false << QString();
    QTest::newRow("byteArray") << QByteArray("v=@ByteArray(abc)") << true << false << QString();
    QTest::newRow("invalid") << QByteArray("v=@Invalid()") << true << false << QString();
    QTest::newRow("rect") << QByteArray("v=@Rect(1 2 3 4)") << true << false << QString();
    QTest::newRow("otherName") << QByteArray("w=abc") << false << false << QString();
    QTest::newRow("otherSection") << QByteArray("[Other]\nv=abc") << false << false << QString();
}

void tst_IniSettings::nonTextValues()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, exists);
    QFETCH(bool, isText);
    QFETCH(QString, text);
    if (hugeReservationUnderAsan())
        QSKIP("AddressSanitizer refuses the huge reservation Qt makes for this value");

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
