// The About box: F1 on every page of the main window and the welcome page's button open it,
// and its links lead to sections the README really has.

#include "FakeServers.h"
#include "FormHarness.h"
#include "ui/About.h"
#include "ui/Version.h"

#include <QFile>
#include <QRegularExpression>

using namespace rollcall;
using rollcall::testing::FormHarness;

namespace {

// A heading's anchor as the homepage makes it: lower case, punctuation dropped, spaces to dashes.
QString anchorOf(QString heading)
{
    heading = heading.toLower();
    heading.remove(QRegularExpression(QStringLiteral("[^a-z0-9 _-]")));
    return heading.replace(QLatin1Char(' '), QLatin1Char('-'));
}

} // namespace

class tst_About : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { ui::resetSeams(); }
    void f1OnEveryPage_data();
    void f1OnEveryPage();
    void welcomeButton();
    void text();
};

void tst_About::f1OnEveryPage_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("focus"); // the control F1 is pressed in; empty: where the focus is
    QTest::newRow("welcome") << 0 << "";
    QTest::newRow("options") << 1 << "";
    QTest::newRow("options_inNameBox") << 1 << "txtPlayerName_0";
    QTest::newRow("results") << 2 << "";
}

void tst_About::f1OnEveryPage()
{
    QFETCH(int, page);
    QFETCH(QString, focus);
    testsupport::FakeMasterServer master;
    QVERIFY(master.listen());
    FormHarness h;
    QVERIFY(h.shown);
    QList<QWidget *> parents;
    ui::seams().showAbout = [&parents](QWidget *parent) { parents.append(parent); };
    for (int i = 0; i < page; ++i) {
        if (i == 0)
            QVERIFY(
                h.set("cboMaster", master.addressText()) && h.set("txtPlayerName_0", QStringLiteral("x")));
        h.next();
        if (i == 0)
            QVERIFY(h.set("txtPlayerName_0", QStringLiteral("x")));
    }
    QCOMPARE(h.form->currentPage(), page);
    if (!focus.isEmpty())
        h.child(focus)->setFocus();
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : h.form.get();
    QTest::keyClick(target, Qt::Key_F1);
    QCOMPARE(parents, QList<QWidget *> { h.form.get() });
    QVERIFY(h.recorder.messages.isEmpty());
}

void tst_About::welcomeButton()
{
    FormHarness h;
    QVERIFY(h.shown);
    int shown = 0;
    ui::seams().showAbout = [&shown](QWidget *) { ++shown; };
    // Enter at the start still goes on to the options: the button comes after "Next >".
    QCOMPARE(QApplication::focusWidget(), h.button("Command2_1"));
    h.button("cmdAbout")->click();
    QCOMPARE(shown, 1);
    // Alt+A is the options page's "m&ap" too; that page is not in front.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(shown, 2);
    h.next();
    QVERIFY(!h.button("cmdAbout")->isVisible());
}

void tst_About::text()
{
    const QString text = ui::AboutText();
    QVERIFY(text.contains(QStringLiteral("Rollcall ") + ui::ProgramVersionText()));
    QVERIFY(text.contains(QLatin1String("MIT licence")));

    QFile readme(QStringLiteral(ROLLCALL_SOURCE_DIR "/README.md"));
    QVERIFY2(readme.open(QIODevice::ReadOnly), qPrintable(readme.errorString()));
    QStringList anchors;
    for (const QByteArray &line : readme.readAll().split('\n')) {
        if (line.startsWith("## "))
            anchors.append(anchorOf(QString::fromUtf8(line.mid(3).trimmed())));
    }
    const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)#?([^\"]*)\""));
    int sections = 0;
    for (const QRegularExpressionMatch &m : link.globalMatch(text)) {
        QCOMPARE(m.captured(1), ui::ProjectHomepage);
        if (m.captured(2).isEmpty())
            continue;
        ++sections;
        QVERIFY2(anchors.contains(m.captured(2)), qPrintable(m.captured(2)));
    }
    QVERIFY(sections >= 2);
}

QTEST_MAIN(tst_About)
#include "tst_about.moc"
