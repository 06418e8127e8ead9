// What every window shares: the clipboard helper and the icons.

#include "ui/Icons.h"
#include "ui/Seams.h"
#include "ui/WindowHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>

using namespace rollcall::ui;

class tst_UiHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copySelection_data();
    void copySelection();
    void icons_data();
    void icons();
    void messageBoxShowsDetails();
};

void tst_UiHelpers::copySelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("clipboard"); // null: left as it was
    QTest::newRow("part") << "10.0.0.1:27015" << 9 << 5 << "27015";
    QTest::newRow("nothingSelected") << "10.0.0.1:27015" << 3 << 0 << QString();
}

void tst_UiHelpers::copySelection()
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

void tst_UiHelpers::icons_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("1_program") << IconPath(1) << 32;
    QTest::newRow("2_defaultLaunch") << IconPath(2) << 32;
    QTest::newRow("3_defaultWindow") << IconPath(3) << 32;
    QTest::newRow("4_tfc") << IconPath(4) << 32;
    QTest::newRow("5_cstrikeButton") << IconPath(5) << 32;
    QTest::newRow("6_cstrikeWindow") << IconPath(6) << 16;
    QTest::newRow("7_dmcButton") << IconPath(7) << 32;
    QTest::newRow("8_dmcWindow") << IconPath(8) << 16;
    QTest::newRow("9_blank") << IconPath(9) << 32;
    QTest::newRow("infoWindow") << QStringLiteral(":/icons/infowindow.svg") << 32;
}

void tst_UiHelpers::icons()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    QImageReader reader(path);
    QCOMPARE(reader.size(), QSize(size, size));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) != 0;
    }
    // The blank picture hides the game while its query is pending: not one pixel may show.
    if (path == IconPath(9))
        QCOMPARE(opaque, 0);
    else
        QVERIFY(opaque > size * size / 4);
}

void tst_UiHelpers::messageBoxShowsDetails()
{
    // The production seam: the box is read and closed from inside its own loop.
    resetSeams();
    QString title;
    QString text;
    QString details;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            details = box->informativeText();
            icon = box->icon();
            box->accept();
        }
    });
    seams().showMessage(nullptr,
        { UserMessage::Icon::Exclamation, QStringLiteral("Unable to contact the master server."),
            QStringLiteral("Master server tried: 127.0.0.1:27010") });
    QCOMPARE(title, QStringLiteral("Rollcall"));
    QCOMPARE(text, QStringLiteral("Unable to contact the master server."));
    // Shown as plain text whatever it holds: a server's name is never read as markup.
    QCOMPARE(QTextDocumentFragment::fromHtml(details).toPlainText(),
        QStringLiteral("Master server tried: 127.0.0.1:27010"));
    QCOMPARE(icon, QMessageBox::Warning);
}

QTEST_MAIN(tst_UiHelpers)
#include "tst_uihelpers.moc"
