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

QTEST_GUILESS_MAIN(TestGameCommandLine)
#include "tst_gamecommandline.moc"
