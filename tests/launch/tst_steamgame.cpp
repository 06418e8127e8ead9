// Finding Half-Life in the Steam libraries of a fake home folder.

#include "launch/SteamGame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall::launch;

namespace {

// Creates `relative` under `root`, with its folders; a name ending in '/' is a folder.
bool make(const QString &root, const QString &relative, const QByteArray &content = {})
{
    const QString path = QDir(root).filePath(relative);
    if (relative.endsWith(QLatin1Char('/')))
        return QDir().mkpath(path);
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
        && file.write(content) >= 0;
}

// "path" entries as the current client writes them.
QByteArray libraryFolders(const QStringList &paths)
{
    QByteArray vdf = "\"libraryfolders\"\n{\n";
    for (qsizetype i = 0; i < paths.size(); ++i) {
        vdf += "\t\"" + QByteArray::number(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + paths[i].toUtf8()
            + "\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"70\"\t\t\"123\"\n\t\t}\n\t}\n";
    }
    return vdf + "}\n";
}

} // namespace

class TestSteamGame final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void vdf_data();
    void vdf();
    void findInFakeHome_data();
    void findInFakeHome();
    void librariesOnce();
};

void TestSteamGame::vdf_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("folders");
    QTest::newRow("current") << libraryFolders({ "/home/u/.local/share/Steam", "/mnt/games/Steam Library" })
                             << QStringList { "/home/u/.local/share/Steam", "/mnt/games/Steam Library" };
    QTest::newRow("older") << QByteArray("\"LibraryFolders\" { \"TimeNextStatsReport\" \"1700000000\" "
                                         "\"ContentStatsID\" \"-42\" \"1\" \"/mnt/a\" \"2\" \"/mnt/b\" }")
                           << QStringList { "/mnt/a", "/mnt/b" };
    QTest::newRow("escapes") << QByteArray(R"("libraryfolders" { "0" { "path" "/mnt/q\"uote\\d" } })")
                             << QStringList { "/mnt/q\"uote\\d" };
    QTest::newRow("utf8") << libraryFolders({ "/mnt/Jeux vid\u00e9o" })
                          << QStringList { "/mnt/Jeux vid\u00e9o" };
    // Numbers deeper down are apps and sizes, never folders; relative paths lead nowhere.
    QTest::newRow("ignored") << QByteArray(
        R"("libraryfolders" { "0" { "path" "relative/x" "apps" { "1" "/x" } } })")
                             << QStringList {};
    // A brace inside quotes is text, not a level.
    QTest::newRow("braceInText") << QByteArray(R"("libraryfolders" { "label" "{" "1" "/mnt/a" })")
                                 << QStringList { "/mnt/a" };
    QTest::newRow("bad_empty") << QByteArray() << QStringList {};
    QTest::newRow("bad_cutInString") << QByteArray(
        R"("libraryfolders" { "0" { "path" "/mnt/a" } "1" { "path" "/mn)")
                                     << QStringList { "/mnt/a" };
    QTest::newRow("bad_strayBraces") << QByteArray(R"(}}} "path" "/mnt/a" {{ "path" "/mnt/b")")
                                     << QStringList { "/mnt/a", "/mnt/b" };
    QTest::newRow("bad_binary") << QByteArray("\0\xff\"path\0\"\"/\\", 10) << QStringList {};
}

void TestSteamGame::vdf()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, folders);
    QCOMPARE(LibraryFoldersFromVdf(text), folders);
}

void TestSteamGame::findInFakeHome_data()
{
    QTest::addColumn<QStringList>("files"); // under the fake home; "@" stands for it in a vdf
    QTest::addColumn<QString>("vdf"); // written to the first Steam root listed in files
    QTest::addColumn<QString>("found"); // relative to the fake home; empty: nothing

    const QString game = QStringLiteral("steamapps/common/Half-Life/");
    QTest::newRow("none") << QStringList { ".local/share/Steam/steamapps/" } << QString() << QString();
    QTest::newRow("launcherPreferred")
        << QStringList { ".local/share/Steam/" + game + "hl_linux", ".local/share/Steam/" + game + "hl.sh" }
        << QString() << ".local/share/Steam/" + game + "hl.sh";
    QTest::newRow("binaryAlone") << QStringList { ".steam/steam/" + game + "hl_linux" } << QString()
                                 << ".steam/steam/" + game + "hl_linux";
    QTest::newRow("flatpak") << QStringList {
        ".var/app/com.valvesoftware.Steam/.local/share/Steam/" + game + "hl.sh"
    } << QString() << ".var/app/com.valvesoftware.Steam/.local/share/Steam/" + game + "hl.sh";
    QTest::newRow("debian") << QStringList { ".steam/debian-installation/" + game + "hl.sh" } << QString()
                            << ".steam/debian-installation/" + game + "hl.sh";
    // The game on a second drive, named only in the root's list.
    QTest::newRow("extraLibrary") << QStringList { ".local/share/Steam/steamapps/",
        "drive/Lib/" + game + "hl.sh" }
                                  << "@/drive/Lib"
                                  << "drive/Lib/" + game + "hl.sh";
    // A folder of that name without the game in it is passed over.
    QTest::newRow("emptyGameFolder") << QStringList { ".local/share/Steam/" + game,
        "drive/Lib/" + game + "hl.sh" }
                                     << "@/drive/Lib"
                                     << "drive/Lib/" + game + "hl.sh";
    QTest::newRow("listedLibraryMissing")
        << QStringList { ".local/share/Steam/steamapps/" } << "@/gone" << QString();
    QTest::newRow("programIsAFolder")
        << QStringList { ".local/share/Steam/" + game + "hl.sh/" } << QString() << QString();
}

void TestSteamGame::findInFakeHome()
{
    QFETCH(QStringList, files);
    QFETCH(QString, vdf);
    QFETCH(QString, found);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    for (const QString &file : files)
        QVERIFY(make(home.path(), file));
    if (!vdf.isEmpty()) {
        const QString root = files.first().section(QStringLiteral("/steamapps/"), 0, 0);
        const QString listed = QString(vdf).replace(QLatin1Char('@'), home.path());
        QVERIFY(make(home.path(), root + "/steamapps/libraryfolders.vdf",
            libraryFolders({ QDir(home.path()).filePath(root), listed })));
    }
    const QString expected
        = found.isEmpty() ? QString() : QFileInfo(QDir(home.path()).filePath(found)).canonicalFilePath();
    QCOMPARE(FindSteamHalfLife(SteamLibraries(home.path())), expected);
}

// ~/.steam/steam and ~/.steam/root are usually links to the real root, which its own list
// names again: one library, listed once, then the extra one.
void TestSteamGame::librariesOnce()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QDir dir(home.path());
    const QString root = dir.filePath(QStringLiteral(".local/share/Steam"));
    const QString extra = dir.filePath(QStringLiteral("drive/Lib"));
    QVERIFY(make(home.path(), QStringLiteral(".local/share/Steam/steamapps/libraryfolders.vdf"),
        libraryFolders({ root, extra, extra + QStringLiteral("/") })));
    QVERIFY(make(home.path(), QStringLiteral("drive/Lib/")));
    QVERIFY(make(home.path(), QStringLiteral(".steam/")));
    QVERIFY(QFile::link(root, dir.filePath(QStringLiteral(".steam/steam"))));
    QVERIFY(QFile::link(root, dir.filePath(QStringLiteral(".steam/root"))));
    QCOMPARE(SteamLibraries(home.path()),
        (QStringList { QFileInfo(root).canonicalFilePath(), QFileInfo(extra).canonicalFilePath() }));
}

QTEST_GUILESS_MAIN(TestSteamGame)
#include "tst_steamgame.moc"
