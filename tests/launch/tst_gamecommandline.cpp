#include "launch/GameCommandLine.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall::launch;

class TestGameCommandLine final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gameDirectory_data();
    void gameDirectory();
    void commandLine();
    void browseFolder();
};

void TestGameCommandLine::gameDirectory_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("safe");
    QTest::newRow("ok_cstrike") << "cstrike" << true;
    QTest::newRow("ok_mixed") << "My_Mod-2.1" << true;
    QTest::newRow("ok_innerDots") << "a..b" << true;
    QTest::newRow("bad_empty") << "" << false;
    QTest::newRow("bad_option") << "-dev" << false;
    QTest::newRow("bad_blank") << "cstrike +exec x" << false;
    QTest::newRow("bad_parent") << ".." << false;
    QTest::newRow("bad_hidden") << ".mod" << false;
    QTest::newRow("bad_slash") << "valve/../x" << false;
    QTest::newRow("bad_backslash") << "c:\\x" << false;
    QTest::newRow("bad_quote") << "a\"b" << false;
    QTest::newRow("bad_nonAscii") << QString::fromUtf8("caf\xc3\xa9") << false;
    QTest::newRow("bad_newline") << "tfc\n+quit" << false;
}

void TestGameCommandLine::gameDirectory()
{
    QFETCH(QString, directory);
    QFETCH(bool, safe);
    QCOMPARE(IsSafeGameDirectory(directory), safe);
}

void TestGameCommandLine::commandLine()
{
    const QString path = QStringLiteral("D:\\My Games\\hl.exe");
    const LaunchCommand command
        = BuildLaunchCommand(path, QStringLiteral("tfc"), QStringLiteral("192.168.1.5:27015"));
    QCOMPARE(command.program, path);
    QCOMPARE(
        command.arguments, (QStringList { "-console", "-game", "tfc", "+connect", "192.168.1.5:27015" }));
    QCOMPARE(GameCommandLine(path, QStringLiteral("tfc"), QStringLiteral("192.168.1.5:27015")),
        QStringLiteral("D:\\My Games\\hl.exe -console -game tfc +connect 192.168.1.5:27015"));
}

void TestGameCommandLine::browseFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(BrowseStartFolder(dir.filePath(QStringLiteral("hl.exe"))), QDir::toNativeSeparators(dir.path()));
    QCOMPARE(BrowseStartFolder(dir.filePath(QStringLiteral("missing/hl.exe"))), QDir::homePath());
    QCOMPARE(BrowseStartFolder(QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe")), QDir::homePath());
    QCOMPARE(BrowseStartFolder(QString()), QDir::homePath());
}

QTEST_GUILESS_MAIN(TestGameCommandLine)
#include "tst_gamecommandline.moc"
