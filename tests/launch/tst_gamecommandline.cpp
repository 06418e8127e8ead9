#include "launch/GameCommandLine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall::launch;

class TestGameCommandLine final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gameDirectory_data();
    void gameDirectory();
    void browseFolder();
    void inspectProgram_data();
    void inspectProgram();
    void steamConnectUrl_data();
    void steamConnectUrl();
    void joinsThroughSteam_data();
    void joinsThroughSteam();
};

void TestGameCommandLine::gameDirectory_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("safe");
    // Every end of every allowed range, and a dot that is not the first character.
    QTest::newRow("ok_rangeEnds") << "AZ_az-09.x" << true;
    QTest::newRow("bad_empty") << "" << false;
    QTest::newRow("bad_option") << "-dev" << false;
    QTest::newRow("bad_parent") << ".." << false;
    // The neighbours of each allowed range, blanks, quotes, separators and a letter beyond ASCII.
    for (const QChar c : QStringLiteral(" \"/:@[\\`{\n\u00e9"))
        QTest::addRow("bad_char_%04x", c.unicode())
            << QStringLiteral("cs") + c + QStringLiteral("x") << false;
}

void TestGameCommandLine::gameDirectory()
{
    QFETCH(QString, directory);
    QFETCH(bool, safe);
    QCOMPARE(IsSafeGameDirectory(directory), safe);
}

void TestGameCommandLine::browseFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(BrowseStartFolder(dir.filePath(QStringLiteral("hl.exe"))), QDir::toNativeSeparators(dir.path()));
    QCOMPARE(BrowseStartFolder(dir.filePath(QStringLiteral("missing/hl.exe"))), QDir::homePath());
    QCOMPARE(BrowseStartFolder(QStringLiteral("hl.exe")), QDir::homePath()); // no folder part at all
    QCOMPARE(BrowseStartFolder(QString()), QDir::homePath());
}

void TestGameCommandLine::inspectProgram_data()
{
    QTest::addColumn<QString>("name"); // in a fresh folder: "hl" a program, "readme" a plain file
    QTest::addColumn<ProgramProblem>("problem");
    QTest::newRow("program") << "hl" << ProgramProblem::None;
    QTest::newRow("missing") << "missing/hl" << ProgramProblem::Missing;
    QTest::newRow("empty") << "" << ProgramProblem::Missing;
    QTest::newRow("folder") << "." << ProgramProblem::Folder;
    QTest::newRow("notExecutable") << "readme" << ProgramProblem::NotExecutable;
}

void TestGameCommandLine::inspectProgram()
{
    QFETCH(QString, name);
    QFETCH(ProgramProblem, problem);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *file : { "hl", "readme" }) {
        QFile f(dir.filePath(QLatin1String(file)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("hl")), QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(InspectProgram(name.isEmpty() ? name : dir.filePath(name)), problem);
}

void TestGameCommandLine::steamConnectUrl_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<qint64>("port");
    QTest::addColumn<QString>("url"); // empty: refused

    QTest::newRow("ok_lan") << "192.168.1.20" << qint64(27015) << "steam://connect/192.168.1.20:27015";
    QTest::newRow("ok_loopbackHighPort") << "127.0.0.1" << qint64(65535) << "steam://connect/127.0.0.1:65535";
    QTest::newRow("bad_name") << "localhost" << qint64(27015) << "";
    QTest::newRow("bad_leadingZero") << "010.0.0.1" << qint64(27015) << "";
    QTest::newRow("bad_ipv6") << "::1" << qint64(27015) << "";
    QTest::newRow("bad_trailingText") << "10.0.0.1/evil" << qint64(27015) << "";
    QTest::newRow("bad_portZero") << "10.0.0.1" << qint64(0) << "";
    QTest::newRow("bad_portTooHigh") << "10.0.0.1" << qint64(65536) << "";
    QTest::newRow("bad_multicast") << "224.0.0.1" << qint64(27015) << "";
    QTest::newRow("bad_thisNetwork") << "0.0.0.0" << qint64(27015) << "";
}

void TestGameCommandLine::steamConnectUrl()
{
    QFETCH(QString, ip);
    QFETCH(qint64, port);
    QFETCH(QString, url);
    const std::optional<QUrl> made = SteamConnectUrl(ip, port);
    QCOMPARE(made ? made->toString() : QString(), url);
}

void TestGameCommandLine::joinsThroughSteam_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("executable"); // in a fresh folder holding the program "hl"
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("steam");

    QTest::newRow("chosen_onWithProgram") << "1"
                                          << "hl" << false << true;
    QTest::newRow("chosen_offWithoutProgram") << "0"
                                              << "" << true << false;
    QTest::newRow("default_noPathAndHandler") << ""
                                              << "" << true << true;
    QTest::newRow("default_missingProgramAndHandler") << ""
                                                      << "missing/hl.exe" << true << true;
    QTest::newRow("default_folderAndHandler") << ""
                                              << "." << true << true;
    QTest::newRow("default_programAndHandler") << ""
                                               << "hl" << true << false;
    QTest::newRow("default_noPathNoHandler") << ""
                                             << "" << false << false;
    QTest::newRow("default_oddStoredValue") << "yes"
                                            << "" << true << true;
}

void TestGameCommandLine::joinsThroughSteam()
{
    QFETCH(QString, stored);
    QFETCH(QString, executable);
    QFETCH(bool, handler);
    QFETCH(bool, steam);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile program(dir.filePath(QStringLiteral("hl")));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    QVERIFY(program.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(JoinsThroughSteam(stored, executable.isEmpty() ? executable : dir.filePath(executable), handler),
        steam);
}

QTEST_GUILESS_MAIN(TestGameCommandLine)
#include "tst_gamecommandline.moc"
