// The shell's small pieces: the version text, the clipboard helper and the artwork.

#include "app/Icons.h"
#include "app/MainForm.h"
#include "app/WindowHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

using namespace rollcall::app;

class tst_AppHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionText_data();
    void versionText();
    void copySelection_data();
    void copySelection();
    void copyMultiLineKeepsCrLf();
    void icons();
};

void tst_AppHelpers::versionText_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("text");
    QTest::newRow("release") << 1 << 3 << 0 << "1.3";
    QTest::newRow("revision") << 1 << 3 << 2 << "1.3.2";
    QTest::newRow("zeroMinor") << 2 << 0 << 0 << "2.0";
    QTest::newRow("twoDigits") << 1 << 10 << 12 << "1.10.12";
}

void tst_AppHelpers::versionText()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, text);
    QCOMPARE(VersionText(major, minor, revision), text);
}

void tst_AppHelpers::copySelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("clipboard"); // null: left as it was
    QTest::newRow("whole") << "10.0.0.1:27015" << 0 << 14 << "10.0.0.1:27015";
    QTest::newRow("part") << "10.0.0.1:27015" << 9 << 5 << "27015";
    QTest::newRow("empty_selection") << "10.0.0.1:27015" << 3 << 0 << QString();
    QTest::newRow("empty_box") << "" << 0 << 0 << QString();
}

void tst_AppHelpers::copySelection()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, clipboard);
    QClipboard *board = QGuiApplication::clipboard();
    board->setText(QStringLiteral("before"));
    if (board->text() != QLatin1String("before"))
        QSKIP("This platform has no clipboard");

    QLineEdit box(text);
    box.setSelection(start, length);
    CopySelection(&box);
    QCOMPARE(board->text(), clipboard.isNull() ? QStringLiteral("before") : clipboard);
}

void tst_AppHelpers::copyMultiLineKeepsCrLf()
{
    QClipboard *board = QGuiApplication::clipboard();
    board->setText(QStringLiteral("before"));
    if (board->text() != QLatin1String("before"))
        QSKIP("This platform has no clipboard");
    const QString text = QStringLiteral("Name\tValue\r\nsv_gravity\t800\r\n");
    QPlainTextEdit box;
    box.setPlainText(text);
    box.selectAll();
    CopySelection(&box);
    QCOMPARE(board->text(), text);
}

void tst_AppHelpers::icons()
{
    // Icons 1 and 2 are the window's own; the others come with the results page.
    QVERIFY(QFile::exists(IconPath(1)));
    QVERIFY(QFile::exists(IconPath(2)));
    for (int n = FirstIcon; n <= LastIcon; ++n) {
        if (!QFile::exists(IconPath(n)))
            continue;
        QVERIFY2(!Icon(n).isNull(), qPrintable(IconPath(n)));
        QVERIFY2(!IconPixmap(n, 32).isNull(), qPrintable(IconPath(n)));
    }
    QVERIFY(Icon(0).isNull());
    QVERIFY(Icon(LastIcon + 1).isNull());
    const QPixmap welcome = WelcomePicture();
    QVERIFY(!welcome.isNull());
    QVERIFY(welcome.width() > 64 && welcome.height() > 64);
}

QTEST_MAIN(tst_AppHelpers)
#include "tst_apphelpers.moc"
