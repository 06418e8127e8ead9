// The main window without a search: controls, the options page's checks and filters, the
// page switching, and the settings read at start and written at close.

#include "FakeServers.h"
#include "FormHarness.h"
#include "app/MainForm.h"
#include "search/SearchCriteria.h"
#include "search/SearchRun.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeView>

using namespace rollcall;
using rollcall::testing::FormHarness;

namespace {

QString captionOf(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentText();
    return {};
}

bool wholeTextSelected(QLineEdit *e)
{
    return !e->text().isEmpty() && e->selectedText() == e->text();
}

} // namespace

class tst_MainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void initialControls_data();
    void initialControls();
    void initialWindow();

    void validation_data();
    void validation();
    void enterPressesNext();

    void numericKeyFilter();
    void numericFocusOut_data();
    void numericFocusOut();
    void enablingClicks();

    void navigation();

    void settingsLoadedAtStart();
    void settingsSavedOnClose();
    void iniRoundTrip();
    void closingClosesOtherWindows();
    // Last: it tells the application it is quitting.
    void nothingSavedWhenTheSessionEnds();

private:
    QTemporaryDir m_config;
};

void tst_MainForm::initTestCase()
{
    // QSettings settles its per-user folder at first use: point it at a private one first.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void tst_MainForm::initialControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");

    const auto row = [](const char *name, const QString &caption, bool enabled) {
        QTest::newRow(name) << QString::fromLatin1(name) << caption << enabled;
    };
    row("Command2_0", QStringLiteral("< &Back"), false);
    row("Command2_1", QStringLiteral("&Next >"), true);
    row("Command3", QStringLiteral("Close"), true);
    row("Label1", QStringLiteral("Welcome to Brightfield Rollcall v1.3"), true);
    row("Label6", QStringLiteral("With this program you can search for online players playing Half-Life."),
        true);
    row("Label4", QStringLiteral("Press Next to continue..."), true);
    row("Label20", QStringLiteral("Rollcall Options"), true);
    row("Frame1", QStringLiteral("&Search For..."), true);
    row("Frame2", QStringLiteral("Server Query Settings"), true);
    row("Frame3", QStringLiteral("Half-Life Master Server Settings"), true);
    row("Frame4", QStringLiteral("Filter"), true);
    row("chkEnable_0", QString(), false);
    row("chkEnable_1", QString(), true);
    row("txtPlayerName_0", QString(), true);
    row("txtPlayerName_1", QString(), false);
    row("chkUseWildcards_0", QStringLiteral("Use Wildcards"), true);
    row("chkUseWildcards_1", QStringLiteral("Use Wildcards"), false);
    row("Label7", QStringLiteral("&Use"), true);
    row("txtMaxConn", QStringLiteral("80"), true);
    row("Label9", QStringLiteral("simultaneous udp connections"), true);
    row("Label10", QStringLiteral("&Query request timeout:"), true);
    row("txtTimeout", QStringLiteral("1000"), true);
    row("Label12", QStringLiteral("(in milliseconds)"), true);
    row("Label18", QStringLiteral("Us&e:"), true);
    row("cboMaster", QStringLiteral("localhost:27010"), true);
    row("chkMax", QStringLiteral("&Max amount of servers to download:"), true);
    row("txtMax", QStringLiteral("5000"), false);
    row("Label2", QStringLiteral("Are running &game:"), true);
    row("cboGameType", QString(), true);
    row("Label3", QStringLiteral("Are running m&ap:"), true);
    row("txtMap", QString(), true);
    row("Label13", QStringLiteral("Searching For Players..."), true);
    row("lblStatus", QStringLiteral("Status: Downloading Server List..."), true);
    row("lblTotal", QStringLiteral("Total Servers:"), true);
    row("lblLeft", QStringLiteral("Servers Left:"), true);
    row("Label17", QStringLiteral("&Players Found:"), true);
    row("Command1", QStringLiteral("&Launch"), false);
    row("Command4", QStringLiteral("&Refresh"), false);
    row("Command5", QStringLiteral("&Stop"), false);
    row("Command6", QStringLiteral("&View Info..."), false);
    row("Command7", QStringLiteral("&Copy"), false);
    row("Command8", QStringLiteral("P&ing Server"), false);
}

void tst_MainForm::initialControls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);

    FormHarness h(false);
    auto *w = h.child(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(captionOf(w), caption);
    // Pages not in front are disabled as a whole; the control's own state is what counts here.
    QCOMPARE(w->testAttribute(Qt::WA_ForceDisabled), !enabled);
}

void tst_MainForm::initialWindow()
{
    FormHarness h(false);
    QCOMPARE(h.form->windowTitle(), QStringLiteral("Rollcall"));
    QCOMPARE(h.form->currentPage(), 0);
    for (int i = 0; i < 3; ++i) {
        auto *page = h.child(QStringLiteral("PictureContainer_%1").arg(i));
        QVERIFY(page);
        QCOMPARE(page->isEnabled(), i == 0);
    }
    QVERIFY(h.child<QPushButton>(QStringLiteral("Command2_1"))->isDefault());
    QVERIFY(h.child<QCheckBox>(QStringLiteral("chkEnable_0"))->isChecked());
    QVERIFY(!h.child<QCheckBox>(QStringLiteral("chkMax"))->isChecked());

    QStringList masters;
    for (int i = 0; i < h.combo("cboMaster")->count(); ++i)
        masters.append(h.combo("cboMaster")->itemText(i));
    QCOMPARE(masters, (QStringList { "localhost:27010", "master:27010", "hlmaster.lan:27010" }));
    QStringList games;
    for (int i = 0; i < h.combo("cboGameType")->count(); ++i)
        games.append(h.combo("cboGameType")->itemText(i));
    QCOMPARE(games, (QStringList { "cstrike", "dmc", "tfc", "valve" }));
    QCOMPARE(h.edit("txtMap")->maxLength(), 50);
    QCOMPARE(h.edit("txtMaxConn")->maxLength(), 2);
    QCOMPARE(h.edit("txtTimeout")->maxLength(), 5);
    QCOMPARE(h.edit("txtMax")->maxLength(), 6);
    QVERIFY(h.label("lblTotal")->isHidden());
    QVERIFY(h.label("lblLeft")->isHidden());
    QVERIFY(h.edit("txtCopy")->isHidden());

    // Access keys reach the fields they name; captionless controls can still be spoken.
    const QList<std::pair<const char *, const char *>> buddies
        = { { "Label7", "txtMaxConn" }, { "Label10", "txtTimeout" }, { "Label18", "cboMaster" },
              { "Label2", "cboGameType" }, { "Label3", "txtMap" }, { "Label17", "LVPlayersFound" } };
    for (const auto &[label, field] : buddies)
        QCOMPARE(h.label(label)->buddy(), h.child(QLatin1String(field)));
    for (const char *name : { "chkEnable_0", "chkEnable_1", "txtPlayerName_0", "txtPlayerName_1",
             "LVPlayersFound", "HLLogo", "txtMax" })
        QVERIFY2(!h.child(QLatin1String(name))->accessibleName().isEmpty(), name);

    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    QVERIFY(!list->rootIsDecorated());
    QVERIFY(list->uniformRowHeights());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    const QList<int> widths = { 100, 27, 27, 163, 27, 40 };
    for (int c = 0; c < 6; ++c)
        QCOMPARE(list->header()->sectionSize(c), widths[c]);

    QCOMPARE(h.button("Command1")->toolTip(),
        QStringLiteral("Launch Half-Life and connect to selected ip address"));
    QCOMPARE(h.button("Command6")->toolTip(), QStringLiteral("View info about the server"));
    QCOMPARE(h.button("Command7")->toolTip(), QStringLiteral("Copy ip address to clipboard"));
    QCOMPARE(h.button("Command8")->toolTip(), QStringLiteral("Ping the selected server"));
    QVERIFY(!h.button("Command1")->icon().isNull());
    QVERIFY(!h.label("HLLogo")->pixmap().isNull());
    QCOMPARE(h.form->executablePath(), QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe"));
}

void tst_MainForm::validation_data()
{
    QTest::addColumn<QString>("name0");
    QTest::addColumn<bool>("wild0");
    QTest::addColumn<bool>("enable1");
    QTest::addColumn<QString>("name1");
    QTest::addColumn<bool>("wild1");
    QTest::addColumn<QString>("maxConn");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<bool>("capOn");
    QTest::addColumn<QString>("cap");
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<bool>("useBack");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus"); // the control with the focus after the box
    QTest::addColumn<QString>("focusText"); // its text afterwards, whole text selected; null: not checked

    const QString name = QStringLiteral("Please enter a player name.");
    const QString pattern = QStringLiteral("Please enter a valid wildcard pattern.");
    const QString number = QStringLiteral("Please enter a number greater than zero.");
    const QString master = QStringLiteral("Please enter a master server address or choose one.");
    const QString m = QStringLiteral("silent"); // replaced by a fake master's address
    const QString none;

    // name0 wild0 enable1 name1 wild1 maxConn timeout capOn cap master game map back message focus text
    QTest::newRow("name_firstEmpty") << "" << false << false << "" << false << "80"
                                     << "1000" << false << "5000" << m << ""
                                     << "" << false << name << "txtPlayerName_0" << none;
    QTest::newRow("name_secondEmpty") << "a" << false << true << "" << false << "80"
                                      << "1000" << false << "5000" << m << ""
                                      << "" << false << name << "txtPlayerName_1" << none;
    QTest::newRow("name_secondEmptyButOff") << "a" << false << false << "" << false << "80"
                                            << "1000" << false << "5000" << m << ""
                                            << "" << false << ""
                                            << "" << none;
    QTest::newRow("name_blanksAccepted") << "  " << false << false << "" << false << "80"
                                         << "1000" << false << "5000" << m << ""
                                         << "" << false << ""
                                         << "" << none;
    QTest::newRow("name_emptyOnBack") << "" << false << false << "" << false << "80"
                                      << "1000" << false << "5000" << m << ""
                                      << "" << true << name << "txtPlayerName_0" << none;
    QTest::newRow("pattern_unclosed") << "[abc" << true << false << "" << false << "80"
                                      << "1000" << false << "5000" << m << ""
                                      << "" << false << pattern << "txtPlayerName_0"
                                      << "[abc";
    QTest::newRow("pattern_reversedSecond") << "a*" << true << true << "[z-a]" << true << "80"
                                            << "1000" << false << "5000" << m << ""
                                            << "" << false << pattern << "txtPlayerName_1"
                                            << "[z-a]";
    QTest::newRow("pattern_firstSlotBeforeSecondName") << "[x" << true << true << "" << false << "80"
                                                       << "1000" << false << "5000" << m << ""
                                                       << "" << false << pattern << "txtPlayerName_0"
                                                       << "[x";
    QTest::newRow("pattern_bracketWithoutWildcards") << "[abc" << false << false << "" << false << "80"
                                                     << "1000" << false << "5000" << m << ""
                                                     << "" << false << ""
                                                     << "" << none;
    QTest::newRow("number_maxConnZero") << "a" << false << false << "" << false << "0"
                                        << "0" << true << "0"
                                        << ""
                                        << "a\\b"
                                        << "" << false << number << "txtMaxConn"
                                        << "20";
    QTest::newRow("number_maxConnEmpty") << "a" << false << false << "" << false << ""
                                         << "1000" << false << "5000" << m << ""
                                         << "" << false << number << "txtMaxConn"
                                         << "20";
    QTest::newRow("number_timeoutZero") << "a" << false << false << "" << false << "5"
                                        << "00" << true << "0" << m << ""
                                        << "" << false << number << "txtTimeout"
                                        << "1000";
    QTest::newRow("number_capZero") << "a" << false << false << "" << false << "5"
                                    << "10" << true << "0" << m << ""
                                    << "" << false << number << "txtMax"
                                    << "5000";
    QTest::newRow("number_capZeroButOff") << "a" << false << false << "" << false << "5"
                                          << "10" << false << "0" << m << ""
                                          << "" << false << ""
                                          << "" << none;
    QTest::newRow("master_empty") << "a" << false << false << "" << false << "5"
                                  << "10" << false << "0"
                                  << ""
                                  << "a\\b"
                                  << "" << false << master << "cboMaster" << none;
    QTest::newRow("filter_gameBackslash")
        << "a" << false << false << "" << false << "5"
        << "10" << false << "0" << m << "cs\\"
        << "de\\x" << false << QStringLiteral("Invalid character in game type.") << "cboGameType" << none;
    QTest::newRow("filter_mapBackslash")
        << "a" << false << false << "" << false << "5"
        << "10" << false << "0" << m << "cstrike"
        << "de\\dust" << false << QStringLiteral("Invalid character in map name.") << "txtMap"
        << "de\\dust";
    QTest::newRow("accepted_back") << "a" << false << false << "" << false << "5"
                                   << "10" << false << "0" << m << ""
                                   << "" << true << ""
                                   << "" << none;
}

void tst_MainForm::validation()
{
    QFETCH(QString, name0);
    QFETCH(bool, wild0);
    QFETCH(bool, enable1);
    QFETCH(QString, name1);
    QFETCH(bool, wild1);
    QFETCH(QString, maxConn);
    QFETCH(QString, timeout);
    QFETCH(bool, capOn);
    QFETCH(QString, cap);
    QFETCH(QString, master);
    QFETCH(QString, game);
    QFETCH(QString, map);
    QFETCH(bool, useBack);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(QString, focusText);

    FormHarness h;
    QVERIFY(h.shown);
    // Options that pass start a run: let it ask a master on loopback that never answers.
    testsupport::FakeMasterServer silentMaster;
    QVERIFY(silentMaster.listen());
    silentMaster.setSilent(true);
    if (master == QLatin1String("silent"))
        master = silentMaster.addressText();
    h.next();
    QCOMPARE(h.form->currentPage(), 1);

    h.edit("txtPlayerName_0")->setText(name0);
    h.child<QCheckBox>(QStringLiteral("chkUseWildcards_0"))->setChecked(wild0);
    if (enable1)
        h.button("chkEnable_1")->click();
    h.edit("txtPlayerName_1")->setText(name1);
    h.child<QCheckBox>(QStringLiteral("chkUseWildcards_1"))->setChecked(wild1);
    h.edit("txtMaxConn")->setText(maxConn);
    h.edit("txtTimeout")->setText(timeout);
    if (capOn)
        h.button("chkMax")->click();
    h.edit("txtMax")->setText(cap);
    h.combo("cboMaster")->setEditText(master);
    h.combo("cboGameType")->setEditText(game);
    h.edit("txtMap")->setText(map);
    h.edit("txtPlayerName_0")->setFocus();

    useBack ? h.back() : h.next();

    if (message.isEmpty()) {
        QVERIFY2(h.recorder.texts().isEmpty(), qPrintable(h.recorder.texts().join(QLatin1Char('|'))));
        QCOMPARE(h.form->currentPage(), useBack ? 0 : 2);
        // The run has started: its first master request arrives.
        if (!useBack)
            QTRY_COMPARE_WITH_TIMEOUT(silentMaster.requests().size(), 1, 10000);
        return;
    }
    QCOMPARE(h.recorder.texts(), QStringList { message });
    QCOMPARE(h.recorder.messages().constFirst().icon, UserMessage::Icon::Exclamation);
    QCOMPARE(h.form->currentPage(), 1);
    QVERIFY(h.child(QStringLiteral("PictureContainer_1"))->isEnabled());
    QWidget *expected = h.child(focus);
    QVERIFY(expected);
    QWidget *actual = QApplication::focusWidget();
    if (auto *combo = qobject_cast<QComboBox *>(expected); combo && actual == combo->lineEdit())
        actual = combo;
    QCOMPARE(actual, expected);
    if (!focusText.isNull()) {
        auto *box = qobject_cast<QLineEdit *>(expected);
        QCOMPARE(box->text(), focusText);
        QVERIFY(wholeTextSelected(box));
    }
}

void tst_MainForm::enterPressesNext()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    h.edit("txtPlayerName_0")->setFocus();
    QTest::keyClick(h.edit("txtPlayerName_0"), Qt::Key_Return);
    QCOMPARE(h.recorder.texts(), QStringList { QStringLiteral("Please enter a player name.") });
    QCOMPARE(h.form->currentPage(), 1);

    // Also from a numeric box, whose key filter lets Enter through to the window.
    h.edit("txtTimeout")->setText(QStringLiteral("0"));
    h.edit("txtPlayerName_0")->setText(QStringLiteral("x"));
    h.edit("txtTimeout")->setFocus();
    QTest::keyClick(h.edit("txtTimeout"), Qt::Key_Enter);
    QCOMPARE(h.recorder.texts().size(), 2);
    QCOMPARE(h.edit("txtTimeout")->text(), QStringLiteral("1000"));
}

void tst_MainForm::numericKeyFilter()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QLineEdit *box = h.edit("txtTimeout");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("a-1 2.+3x"));
    QCOMPARE(box->text(), QStringLiteral("123"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("12"));
    // Control characters are refused too: Ctrl+V (code 22) pastes nothing, Ctrl+X cuts nothing.
    box->selectAll();
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("12"));
    // Keys that type nothing still move and delete.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("2"));
    // The digit limit is the box's maximum length.
    QTest::keyClicks(box, QStringLiteral("99999"));
    QCOMPARE(box->text(), QStringLiteral("99992"));
}

void tst_MainForm::numericFocusOut_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty_max") << "txtMax"
                               << ""
                               << "0";
    QTest::newRow("zeros_timeout") << "txtTimeout"
                                   << "007"
                                   << "7";
    QTest::newRow("zero_maxConn") << "txtMaxConn"
                                  << "0"
                                  << "0";
    QTest::newRow("pasted_blanks") << "txtTimeout"
                                   << " 42x"
                                   << "42";
    QTest::newRow("pasted_text") << "txtMaxConn"
                                 << "ab"
                                 << "0";
}

void tst_MainForm::numericFocusOut()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    h.button("chkMax")->click();
    QLineEdit *edit = h.child<QLineEdit>(box);
    edit->setFocus();
    edit->setText(typed);
    h.edit("txtMap")->setFocus();
    QCOMPARE(edit->text(), shown);
}

void tst_MainForm::enablingClicks()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QLineEdit *name = h.edit("txtPlayerName_1");
    name->setText(QStringLiteral("Old Name"));
    h.button("chkEnable_1")->click();
    QVERIFY(name->isEnabled());
    QVERIFY(h.button("chkUseWildcards_1")->isEnabled());
    QCOMPARE(QApplication::focusWidget(), name);
    QVERIFY(wholeTextSelected(name));

    h.edit("txtMap")->setFocus();
    h.button("chkEnable_1")->click();
    QVERIFY(!name->isEnabled());
    QVERIFY(!h.button("chkUseWildcards_1")->isEnabled());
    QCOMPARE(name->text(), QStringLiteral("Old Name"));

    QLineEdit *cap = h.edit("txtMax");
    h.button("chkMax")->click();
    QVERIFY(cap->isEnabled());
    QCOMPARE(QApplication::focusWidget(), cap);
    QVERIFY(wholeTextSelected(cap));
    h.button("chkMax")->click();
    QVERIFY(!cap->isEnabled());
}

void tst_MainForm::navigation()
{
    FormHarness h;
    QVERIFY(h.shown);
    auto *back = h.button("Command2_0");
    auto *next = h.button("Command2_1");
    h.next();
    QCOMPARE(h.form->currentPage(), 1);
    QVERIFY(back->isEnabled());
    QVERIFY(next->isEnabled());
    QVERIFY(!h.child(QStringLiteral("PictureContainer_0"))->isEnabled());
    QVERIFY(h.child(QStringLiteral("PictureContainer_1"))->isEnabled());
    QVERIFY(h.child(QStringLiteral("PictureContainer_1"))->isVisible());

    h.edit("txtPlayerName_0")->setText(QStringLiteral("x"));
    h.edit("txtMap")->setFocus();
    h.back();
    QCOMPARE(h.form->currentPage(), 0);
    QVERIFY(!back->isEnabled());
    QCOMPARE(QApplication::focusWidget(), next);
    QVERIFY(h.child(QStringLiteral("PictureContainer_0"))->isEnabled());
    QVERIFY(!h.child(QStringLiteral("PictureContainer_1"))->isEnabled());
    QVERIFY(h.recorder.messages().isEmpty());
}

void tst_MainForm::settingsLoadedAtStart()
{
    auto memory = std::make_unique<settings::MemorySettingsBackend>();
    const QList<std::pair<const char *, const char *>> stored = { { "EnableSearch[2]", "1" },
        { "UseWildcards[1]", "0" }, { "UseWildcards[2]", "1" }, { "PlayerName[1]", "Alice" },
        { "PlayerName[2]", "B*b" }, { "MaxConnections", "007" }, { "QueryTimeout", "2500" },
        { "MasterServer", "" }, { "EnableMaxServers", "1" }, { "MaxServerAmount", "300" },
        { "GameFilter", "tfc" }, { "MapFilter", "2fort" }, { "ExecutablePath", "/opt/hl/hl_linux" } };
    for (const auto &[name, text] : stored)
        memory->setText(QLatin1String(name), QLatin1String(text));
    testing::MessageRecorder recorder;
    app::MainForm form(std::move(memory));

    const auto edit = [&](const char *n) { return form.findChild<QLineEdit *>(QLatin1String(n)); };
    const auto check = [&](const char *n) { return form.findChild<QCheckBox *>(QLatin1String(n)); };
    QVERIFY(check("chkEnable_1")->isChecked());
    QVERIFY(edit("txtPlayerName_1")->testAttribute(Qt::WA_ForceDisabled) == false);
    QVERIFY(!check("chkUseWildcards_1")->testAttribute(Qt::WA_ForceDisabled));
    QVERIFY(!check("chkUseWildcards_0")->isChecked());
    QVERIFY(check("chkUseWildcards_1")->isChecked());
    QCOMPARE(edit("txtPlayerName_0")->text(), QStringLiteral("Alice"));
    QCOMPARE(edit("txtPlayerName_1")->text(), QStringLiteral("B*b"));
    QCOMPARE(edit("txtMaxConn")->text(), QStringLiteral("7"));
    QCOMPARE(edit("txtTimeout")->text(), QStringLiteral("2500"));
    QCOMPARE(form.findChild<QComboBox *>(QStringLiteral("cboMaster"))->currentText(),
        QStringLiteral("localhost:27010"));
    QVERIFY(check("chkMax")->isChecked());
    QVERIFY(!edit("txtMax")->testAttribute(Qt::WA_ForceDisabled));
    QCOMPARE(edit("txtMax")->text(), QStringLiteral("300"));
    QCOMPARE(
        form.findChild<QComboBox *>(QStringLiteral("cboGameType"))->currentText(), QStringLiteral("tfc"));
    QCOMPARE(edit("txtMap")->text(), QStringLiteral("2fort"));
    QCOMPARE(form.executablePath(), QStringLiteral("/opt/hl/hl_linux"));
    // Loading moves no focus, and the window opens on the welcome page all the same.
    QCOMPARE(form.focusWidget(), nullptr);
    QCOMPARE(form.currentPage(), 0);
    QVERIFY(recorder.messages().isEmpty());
}

void tst_MainForm::settingsSavedOnClose()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    h.edit("txtPlayerName_0")->setText(QStringLiteral("Zed"));
    h.button("chkEnable_1")->click();
    h.edit("txtPlayerName_1")->setText(QStringLiteral("Amy"));
    h.button("chkUseWildcards_0")->click();
    h.edit("txtMaxConn")->setText(QString()); // written as shown, unvalidated
    h.edit("txtTimeout")->setText(QStringLiteral("1500"));
    h.combo("cboMaster")->setEditText(QStringLiteral("master:27010"));
    h.combo("cboGameType")->setEditText(QStringLiteral("dmc"));
    h.edit("txtMap")->setText(QStringLiteral("dm_x"));
    h.button("Command3")->click();

    QVERIFY(!h.form->isVisible());
    using Write = std::pair<QString, QString>;
    const QList<Write> expected = { { "EnableSearch[2]", "1" }, { "UseWildcards[1]", "1" },
        { "UseWildcards[2]", "0" }, { "PlayerName[1]", "Zed" }, { "PlayerName[2]", "Amy" },
        { "MaxConnections", "" }, { "QueryTimeout", "1500" }, { "MasterServer", "master:27010" },
        { "EnableMaxServers", "0" }, { "MaxServerAmount", "5000" }, { "GameFilter", "dmc" },
        { "MapFilter", "dm_x" }, { "ExecutablePath", "C:\\SIERRA\\Half-Life\\hl.exe" } };
    QCOMPARE(h.backend->writes(), expected);
    QCOMPARE(h.backend->completedSaves(), 1);
}

void tst_MainForm::nothingSavedWhenTheSessionEnds()
{
    FormHarness h;
    QVERIFY(h.shown);
    // The program is being ended from outside (log-off, shutdown): the closes that follow
    // are not the user's.
    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
    h.form->close();
    QVERIFY(!h.form->isVisible());
    QVERIFY(h.backend->writes().isEmpty());
}

void tst_MainForm::iniRoundTrip()
{
    testing::MessageRecorder recorder;
    {
        app::MainForm first;
        first.findChild<QLineEdit *>(QStringLiteral("txtPlayerName_0"))->setText(QStringLiteral("R\u00f6ll"));
        first.findChild<QCheckBox *>(QStringLiteral("chkMax"))->setChecked(true);
        first.findChild<QLineEdit *>(QStringLiteral("txtMax"))->setText(QStringLiteral("1234"));
        first.show();
        first.close();
    }
    QVERIFY(QFile::exists(m_config.filePath(QStringLiteral("Rollcall/Half-Life.conf"))));
    app::MainForm second;
    QCOMPARE(second.findChild<QLineEdit *>(QStringLiteral("txtPlayerName_0"))->text(),
        QStringLiteral("R\u00f6ll"));
    QVERIFY(second.findChild<QCheckBox *>(QStringLiteral("chkMax"))->isChecked());
    QCOMPARE(second.findChild<QLineEdit *>(QStringLiteral("txtMax"))->text(), QStringLiteral("1234"));
    QVERIFY(!second.findChild<QLineEdit *>(QStringLiteral("txtMax"))->testAttribute(Qt::WA_ForceDisabled));
}

void tst_MainForm::closingClosesOtherWindows()
{
    FormHarness h;
    QVERIFY(h.shown);
    QWidget info;
    info.setWindowTitle(QStringLiteral("Server Info"));
    info.show();
    QWidget second;
    second.show();
    h.form->close();
    QVERIFY(!info.isVisible());
    QVERIFY(!second.isVisible());
}

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
