// The main window without a search: controls, the options page's checks and filters, the
// page switching, and the settings read at start and written at close.

#include "FakeServers.h"
#include "FormHarness.h"
#include "app/OptionsPage.h"
#include "protocol/MasterProtocol.h"
#include "settings/IniSettingsBackend.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <sys/stat.h>
#include <tuple>

using namespace rollcall;
using rollcall::testing::FormHarness;

namespace {

QString captionOf(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *c = qobject_cast<const QComboBox *>(w))
        return c->currentText();
    return {};
}

// The options that are saved, as the page shows them: a check box as "1" or "0", a box by
// its text, and " off" after a control disabled on its own.
QStringList optionsShown(const QWidget *form)
{
    QStringList shown;
    for (const char *name :
        { "chkEnable_1", "chkUseWildcards_0", "chkUseWildcards_1", "txtPlayerName_0", "txtPlayerName_1",
            "txtMaxConn", "txtTimeout", "cboMaster", "chkMax", "txtMax", "cboGameType", "txtMap" }) {
        const QWidget *w = form->findChild<QWidget *>(QLatin1String(name));
        const auto *check = qobject_cast<const QCheckBox *>(w);
        shown.append((check ? QString::number(check->isChecked()) : captionOf(w))
            + (w->testAttribute(Qt::WA_ForceDisabled) ? QStringLiteral(" off") : QString()));
    }
    return shown;
}

// What a user changes on the options page before closing the window.
const std::initializer_list<std::pair<const char *, const char *>> ChangedOptions
    = { { "txtPlayerName_0", "Zed" }, { "chkEnable_1", "1" }, { "txtPlayerName_1", "Amy" },
          { "chkUseWildcards_0", "1" }, { "txtTimeout", "1500" }, { "cboMaster", "master:27010" },
          { "chkMax", "1" }, { "txtMax", "77" }, { "cboGameType", "dmc" }, { "txtMap", "dm_x" } };

bool wholeTextSelected(QLineEdit *e)
{
    return !e->text().isEmpty() && e->selectedText() == e->text();
}

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

// The protocol, region and master as the page shows them, the region's visibility with them.
QStringList masterShown(const QWidget *form)
{
    const auto *region = form->findChild<QComboBox *>(QStringLiteral("cboRegion"));
    return { form->findChild<QComboBox *>(QStringLiteral("cboProtocol"))->currentText(),
        region->currentText() + (region->isHidden() ? QStringLiteral(" hidden") : QString()),
        form->findChild<QComboBox *>(QStringLiteral("cboMaster"))->currentText() };
}

const QStringList LegacyPresets = { "localhost:27010", "master:27010", "hlmaster.lan:27010" };
const QStringList SteamPresets = { "hl1master.steampowered.com:27010", "hl2master.steampowered.com:27011" };

} // namespace

class tst_MainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionText();
    void gamePathFromSteamLibrary();
    void initTestCase();
    void initialControls_data();
    void initialControls();
    void validation_data();
    void validation();
    void numericBoxes();
    void enablingClicks();
    void settingsLoadedAtStart();
    void tooLongFilterFromSettingsRefusedOnNext();
    void settingsSavedOnClose();
    void iniRoundTrip();
    void protocolSwapsTheMasters();
    void namesAndCriteriaByProtocol_data();
    void namesAndCriteriaByProtocol();
    void steamSettings_data();
    void steamSettings();
    void steamIniRoundTrip();
    void settingsThatAreNotAFile_data();
    void settingsThatAreNotAFile();
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
    // No Steam library of the machine's user may leak into what the tests expect.
    qputenv("HOME", QFile::encodeName(m_config.filePath(QStringLiteral("home"))));
}

void tst_MainForm::initialControls_data()
{
    QTest::addColumn<QString>("name");
    // Of the control itself: "off", "hidden", "checked", "default", "picture" (an icon or image).
    QTest::addColumn<QString>("state");
    // A label's buddy, a box's maximum length.
    QTest::addColumn<QString>("detail");

    const auto row = [](const char *name, const char *state = "", const char *detail = "") {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(state)
                            << QString::fromLatin1(detail);
    };
    row("Command2_0", "off");
    row("Command2_1", "default");
    row("HLLogo", "picture");
    row("chkEnable_0", "off checked");
    row("chkEnable_1");
    row("txtPlayerName_0");
    row("txtPlayerName_1", "off");
    row("chkUseWildcards_1", "off");
    row("Label7", "", "txtMaxConn");
    row("txtMaxConn", "", "2");
    row("Label10", "", "txtTimeout");
    row("txtTimeout", "", "5");
    row("Label18", "", "cboMaster");
    row("cboMaster");
    row("lblProtocol", "", "cboProtocol");
    row("cboProtocol");
    row("lblRegion", "hidden", "cboRegion"); // the legacy master has no regions
    row("cboRegion", "hidden");
    row("txtMax", "off", "6");
    row("Label2", "", "cboGameType");
    row("cboGameType");
    row("Label3", "", "txtMap");
    row("txtMap", "", "50");
    row("lblTotal", "hidden");
    row("lblLeft", "hidden");
    row("prgServersAsked", "hidden");
    row("Label17", "", "LVPlayersFound");
    row("LVPlayersFound");
    row("Command1", "off picture");
    for (const char *command : { "Command4", "Command5", "Command6", "Command7", "Command8" })
        row(command, "off");
    row("txtCopy", "hidden");
}

void tst_MainForm::initialControls()
{
    QFETCH(QString, name);
    QFETCH(QString, state);
    QFETCH(QString, detail);
    const auto has
        = [&](const char *flag) { return state.split(QLatin1Char(' ')).contains(QLatin1String(flag)); };

    FormHarness h(false);
    QWidget *w = h.child(name);
    QVERIFY(w);
    // Pages not in front are disabled and hidden as a whole; the control's own state counts here.
    QCOMPARE(w->testAttribute(Qt::WA_ForceDisabled), has("off"));
    QCOMPARE(w->testAttribute(Qt::WA_WState_ExplicitShowHide) && w->isHidden(), has("hidden"));
    if (auto *check = qobject_cast<QCheckBox *>(w))
        QCOMPARE(check->isChecked(), has("checked"));
    if (auto *button = qobject_cast<QPushButton *>(w)) {
        QCOMPARE(button->isDefault(), has("default"));
        QCOMPARE(!button->icon().isNull(), has("picture"));
    }
    if (auto *label = qobject_cast<QLabel *>(w)) {
        QCOMPARE(!label->pixmap().isNull(), has("picture"));
        QCOMPARE(label->buddy() ? label->buddy()->objectName() : QString(), detail);
    }
    if (auto *box = qobject_cast<QLineEdit *>(w); box && !detail.isEmpty())
        QCOMPARE(QString::number(box->maxLength()), detail);
    if (auto *list = qobject_cast<QTreeView *>(w)) {
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(list->uniformRowHeights() && !list->rootIsDecorated());
    }
    // A control seen without a caption of its own is spoken by its name or through its label.
    const QString caption = captionOf(w);
    const bool captioned = !caption.isEmpty()
        && (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w));
    if (!captioned && !has("hidden")) {
        const QList<QLabel *> labels = h.form->findChildren<QLabel *>();
        QVERIFY(!w->accessibleName().isEmpty()
            || std::any_of(labels.begin(), labels.end(), [w](QLabel *l) { return l->buddy() == w; }));
    }
}

void tst_MainForm::validation_data()
{
    QTest::addColumn<QStringList>("edits"); // "control=value", over options that pass
    QTest::addColumn<QString>("press"); // a button clicked, or a box Enter is pressed in
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus"); // the control with the focus after the box
    QTest::addColumn<QString>("focusText"); // its text then, all selected; null: not checked

    const QString next = QStringLiteral("Command2_1");
    const QString back = QStringLiteral("Command2_0");
    const QString name = QStringLiteral("Please enter a player name.");
    const QString pattern = QStringLiteral("Please enter a valid wildcard pattern.");
    const QString number = QStringLiteral("Please enter a number greater than zero.");
    const auto row = [](const char *tag, const QStringList &edits, const QString &press,
                         const QString &message = {}, const char *focus = "", const QString &focusText = {}) {
        QTest::newRow(tag) << edits << press << message << QString::fromLatin1(focus) << focusText;
    };

    row("ok_next", {}, next);
    row("ok_back", {}, back);
    row("ok_blankName", { "txtPlayerName_0=  " }, next);
    row("ok_bracketWithoutWildcards", { "txtPlayerName_0=[abc" }, next);
    row("ok_capZeroButOff", { "txtMax=0" }, next);
    row("name_firstEmpty", { "txtPlayerName_0=" }, next, name, "txtPlayerName_0");
    row("name_emptyOnBack", { "txtPlayerName_0=" }, back, name, "txtPlayerName_0");
    row("name_enterInTheBox", { "txtPlayerName_0=" }, QStringLiteral("txtPlayerName_0"), name,
        "txtPlayerName_0");
    row("name_secondEmpty", { "chkEnable_1=1" }, next, name, "txtPlayerName_1");
    row("pattern_unclosed", { "txtPlayerName_0=[abc", "chkUseWildcards_0=1" }, next, pattern,
        "txtPlayerName_0", QStringLiteral("[abc"));
    row("pattern_reversedSecond",
        { "txtPlayerName_0=a*", "chkUseWildcards_0=1", "chkEnable_1=1", "txtPlayerName_1=[z-a]",
            "chkUseWildcards_1=1" },
        next, pattern, "txtPlayerName_1", QStringLiteral("[z-a]"));
    row("pattern_beforeSecondName", { "txtPlayerName_0=[x", "chkUseWildcards_0=1", "chkEnable_1=1" }, next,
        pattern, "txtPlayerName_0", QStringLiteral("[x"));
    row("number_maxConnFirst",
        { "txtMaxConn=0", "txtTimeout=0", "chkMax=1", "txtMax=0", "cboMaster=", "cboGameType=a\\b" }, next,
        number, "txtMaxConn", QStringLiteral("20"));
    // Enter in a number box gets past its key filter to the window's default button.
    row("number_timeoutBeforeCap", { "txtTimeout=00", "chkMax=1", "txtMax=0" }, QStringLiteral("txtTimeout"),
        number, "txtTimeout", QStringLiteral("1000"));
    row("number_cap", { "chkMax=1", "txtMax=0" }, next, number, "txtMax", QStringLiteral("5000"));
    row("master_empty", { "cboMaster=", "cboGameType=a\\b" }, next,
        QStringLiteral("Please enter a master server address or choose one."), "cboMaster");
    row("filter_game", { "cboGameType=cs\\", "txtMap=de\\x" }, next,
        QStringLiteral("Invalid character in game type."), "cboGameType");
    row("filter_map", { "cboGameType=cstrike", "txtMap=de\\dust" }, next,
        QStringLiteral("Invalid character in map name."), "txtMap", QStringLiteral("de\\dust"));
    // The sources without a master: their own fields are checked, the hidden master box is not.
    const QString webApi = QStringLiteral("cboProtocol=Steam Web API");
    const QString noKey = QStringLiteral("Please enter your Steam Web API key.");
    row("key_missing", { webApi }, next, noKey, "txtApiKey");
    row("key_blank", { webApi, "txtApiKey=  \t" }, next, noKey, "txtApiKey");
    row("key_withSpace", { webApi, "txtApiKey=ABCD 1234" }, next,
        QStringLiteral(
            "This is not a Steam Web API key: a key has no spaces and only plain letters, digits and "
            "punctuation."),
        "txtApiKey");
    row("key_nonAscii", { webApi, "txtApiKey=ABCDÉ1234" }, next,
        QStringLiteral(
            "This is not a Steam Web API key: a key has no spaces and only plain letters, digits and "
            "punctuation."),
        "txtApiKey");
    row("listFile_missing", { "cboMaster=", "cboProtocol=Server list file" }, next,
        QStringLiteral("Please choose a server list file."), "txtListFile");
    row("listFile_blankOnBack", { "cboProtocol=Server list file", "txtListFile= " }, back,
        QStringLiteral("Please choose a server list file."), "txtListFile");
    // The longest filter that still fits one master request, and one character more.
    const QString longest(protocol::MaxMasterFilterLength, u'g');
    row("ok_gameFilterAtItsLimit", { "cboGameType=" + longest }, next);
    row("filter_gameTooLongForARequest", { "cboGameType=" + longest + 'g' }, next,
        QStringLiteral("The game filter is too long: at most 586 characters fit in a master server request."),
        "cboGameType");
}

void tst_MainForm::validation()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, press);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(QString, focusText);

    FormHarness h;
    QVERIFY(h.shown);
    // Options that pass start a run: let it ask a master on loopback that never answers.
    testsupport::FakeMasterServer silentMaster;
    QVERIFY(silentMaster.listen());
    silentMaster.setSilent(true);
    h.next();
    QVERIFY(h.button("Command2_0")->isEnabled());
    edits.prepend(QStringLiteral("cboMaster=") + silentMaster.addressText());
    edits.prepend(QStringLiteral("txtPlayerName_0=a"));
    for (const QString &edit : std::as_const(edits))
        QVERIFY2(testing::setControl(
                     h.form.get(), edit.section(QLatin1Char('='), 0, 0), edit.section(QLatin1Char('='), 1)),
            qPrintable(edit));
    h.edit("txtPlayerName_0")->setFocus();
    if (auto *button = h.child<QPushButton>(press)) {
        button->click();
    } else {
        h.child(press)->setFocus();
        QTest::keyClick(h.child(press), Qt::Key_Return);
    }

    const int page = !message.isEmpty() ? 1 : press == QLatin1String("Command2_0") ? 0 : 2;
    QCOMPARE(h.form->currentPage(), page);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(h.child(QStringLiteral("PictureContainer_%1").arg(i))->isEnabled(), i == page);
    if (message.isEmpty()) {
        QVERIFY2(h.recorder.messages.isEmpty(), qPrintable(h.recorder.texts().join(QLatin1Char('|'))));
        if (page == 2) // the run has started: its first master request arrives
            QTRY_COMPARE_WITH_TIMEOUT(silentMaster.requests().size(), 1, 10000);
        if (page == 0) {
            QVERIFY(!h.button("Command2_0")->isEnabled());
            QCOMPARE(QApplication::focusWidget(), h.button("Command2_1"));
        }
        return;
    }
    QCOMPARE(h.recorder.texts(), QStringList { message });
    QCOMPARE(h.recorder.messages.constFirst().icon, ui::UserMessage::Icon::Exclamation);
    QWidget *expected = h.child(focus);
    QWidget *actual = QApplication::focusWidget();
    if (auto *combo = qobject_cast<QComboBox *>(expected); combo && actual == combo->lineEdit())
        actual = combo;
    QCOMPARE(actual, expected);
    if (!focusText.isNull()) {
        QCOMPARE(captionOf(expected), focusText);
        QVERIFY(wholeTextSelected(qobject_cast<QLineEdit *>(expected)));
    }
}

void tst_MainForm::numericBoxes()
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
    // Keys that type nothing still move and delete; the digit limit is the box's maximum length.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, QStringLiteral("99999"));
    QCOMPARE(box->text(), QStringLiteral("99992"));

    // Leaving a box shows the number its text begins with (pasted text is not filtered).
    h.button("chkMax")->click();
    for (const auto &[name, typed, shown] : { std::tuple { "txtMax", "", "0" }, { "txtTimeout", "007", "7" },
             { "txtTimeout", " 42x", "42" }, { "txtMaxConn", "ab", "0" } }) {
        QLineEdit *edit = h.edit(name);
        edit->setFocus();
        edit->setText(QLatin1String(typed));
        h.edit("txtMap")->setFocus();
        QCOMPARE(edit->text(), QLatin1String(shown));
    }
}

void tst_MainForm::enablingClicks()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QLineEdit *name = h.edit("txtPlayerName_1");
    name->setText(QStringLiteral("Old Name"));
    h.button("chkEnable_1")->click();
    QVERIFY(name->isEnabled() && h.button("chkUseWildcards_1")->isEnabled());
    QCOMPARE(QApplication::focusWidget(), name);
    QVERIFY(wholeTextSelected(name));
    h.edit("txtMap")->setFocus();
    h.button("chkEnable_1")->click();
    QVERIFY(!name->isEnabled() && !h.button("chkUseWildcards_1")->isEnabled());
    QCOMPARE(name->text(), QStringLiteral("Old Name"));

    QLineEdit *cap = h.edit("txtMax");
    h.button("chkMax")->click();
    QVERIFY(cap->isEnabled());
    QCOMPARE(QApplication::focusWidget(), cap);
    QVERIFY(wholeTextSelected(cap));
    h.button("chkMax")->click();
    QVERIFY(!cap->isEnabled());
}

void tst_MainForm::settingsLoadedAtStart()
{
    FormHarness h(false,
        { { "EnableSearch[2]", "1" }, { "UseWildcards[1]", "0" }, { "UseWildcards[2]", "1" },
            { "PlayerName[1]", "Alice" }, { "PlayerName[2]", "B*b" }, { "MaxConnections", "007" },
            { "QueryTimeout", "2500" }, { "MasterServer", "" }, { "EnableMaxServers", "1" },
            { "MaxServerAmount", "300" }, { "GameFilter", "tfc" }, { "MapFilter", "2fort" },
            { "ExecutablePath", "/opt/hl/hl_linux" } });
    QCOMPARE(optionsShown(h.form.get()),
        (QStringList {
            "1", "0", "1", "Alice", "B*b", "7", "2500", "localhost:27010", "1", "300", "tfc", "2fort" }));
    QCOMPARE(h.form->executablePath(), QStringLiteral("/opt/hl/hl_linux"));
    // Loading moves no focus, and the window opens on the welcome page all the same.
    QCOMPARE(h.form->focusWidget(), nullptr);
    QCOMPARE(h.form->currentPage(), 0);
    QVERIFY(h.recorder.messages.isEmpty());
}

void tst_MainForm::tooLongFilterFromSettingsRefusedOnNext()
{
    // A settings file can hold a filter of any length; it loads as it is and is refused when the
    // options are left, like a typed one, before any request is made.
    const QByteArray game(70000, 'g');
    FormHarness h(true, { { "GameFilter", game.constData() }, { "PlayerName[1]", "a" } });
    QVERIFY(h.shown);
    testsupport::FakeMasterServer master;
    QVERIFY(master.listen());
    h.next();
    QVERIFY(h.set("cboMaster", master.addressText()));
    h.next();
    QCOMPARE(h.form->currentPage(), 1);
    QCOMPARE(h.recorder.texts(),
        QStringList {
            "The game filter is too long: at most 586 characters fit in a master server request." });
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus == h.child("cboGameType") || focus == h.child<QComboBox>("cboGameType")->lineEdit());
    QTest::qWait(50);
    QCOMPARE(master.requests().size(), 0);
}

void tst_MainForm::settingsSavedOnClose()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    for (const auto &[name, value] : ChangedOptions)
        QVERIFY(h.set(name, QLatin1String(value)));
    QVERIFY(h.set("txtMaxConn", QString())); // written as shown, unvalidated
    // Every other window lives only as long as the main one.
    QWidget info;
    info.show();
    h.button("Command3")->click();

    QVERIFY(!h.form->isVisible());
    QVERIFY(!info.isVisible());
    const QList<std::pair<QString, QString>> expected = { { "EnableSearch[2]", "1" },
        { "UseWildcards[1]", "1" }, { "UseWildcards[2]", "0" }, { "PlayerName[1]", "Zed" },
        { "PlayerName[2]", "Amy" }, { "MaxConnections", "" }, { "QueryTimeout", "1500" },
        { "MasterServer", "master:27010" }, { "EnableMaxServers", "1" }, { "MaxServerAmount", "77" },
        { "GameFilter", "dmc" }, { "MapFilter", "dm_x" }, { "ExecutablePath", "" }, { "Protocol", "legacy" },
        { "SteamRegion", "255" }, { "SteamMasterServer", "hl1master.steampowered.com:27010" },
        { "WebApiUrl", "https://api.steampowered.com" }, { "ServerListFile", "" },
        { "ListFileQueries", "legacy" }, { "JoinThroughSteam", "" } };
    QCOMPARE(h.backend->writes(), expected);
    QCOMPARE(h.backend->completedSaves(), 1);
}

void tst_MainForm::iniRoundTrip()
{
    // Without a backend of its own the window keeps its settings in the per-user INI file.
    testing::MessageRecorder recorder;
    QStringList saved;
    {
        app::MainForm first(nullptr, testing::MemoryKeys());
        first.findChild<QPushButton *>(QStringLiteral("Command2_1"))->click();
        for (const auto &[name, value] : ChangedOptions)
            QVERIFY(testing::setControl(&first, QLatin1String(name), QLatin1String(value)));
        saved = optionsShown(&first);
        first.show();
        first.close();
    }
    QVERIFY(QFile::exists(m_config.filePath(QStringLiteral("Rollcall/Half-Life.conf"))));
    app::MainForm second(nullptr, testing::MemoryKeys());
    QCOMPARE(optionsShown(&second), saved);
    QVERIFY(recorder.messages.isEmpty());
}

void tst_MainForm::protocolSwapsTheMasters()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    auto *master = h.child<QComboBox>(QStringLiteral("cboMaster"));
    QCOMPARE(masterShown(h.form.get()),
        (QStringList { "Half-Life master", "Rest of world hidden", LegacyPresets[0] }));
    QCOMPARE(itemsOf(master), LegacyPresets);
    QVERIFY(h.set("cboMaster", QStringLiteral("master:27010")));

    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam master")));
    QCOMPARE(masterShown(h.form.get()), (QStringList { "Steam master", "Rest of world", SteamPresets[0] }));
    QCOMPARE(itemsOf(master), SteamPresets);
    QCOMPARE(itemsOf(h.child<QComboBox>(QStringLiteral("cboRegion"))),
        (QStringList { "US East", "US West", "South America", "Europe", "Asia", "Australia", "Middle East",
            "Africa", "Rest of world" }));
    QVERIFY(h.label("lblRegion")->isVisible());
    QVERIFY(h.set("cboMaster", QStringLiteral("127.0.0.1:27011")));
    QVERIFY(h.set("cboRegion", QStringLiteral("Asia")));

    // Each protocol comes back with the master last typed for it.
    QVERIFY(h.set("cboProtocol", QStringLiteral("Half-Life master")));
    QCOMPARE(masterShown(h.form.get()), (QStringList { "Half-Life master", "Asia hidden", "master:27010" }));
    QCOMPARE(itemsOf(master), LegacyPresets);
    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam master")));
    QCOMPARE(masterShown(h.form.get()), (QStringList { "Steam master", "Asia", "127.0.0.1:27011" }));
}

void tst_MainForm::namesAndCriteriaByProtocol_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("region"); // empty: left as it is
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("wildcards");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("bytes"); // the name slot's bytes
    QTest::addColumn<int>("regionByte");

    const QString legacy = QStringLiteral("Half-Life master");
    const QString steam = QStringLiteral("Steam master");
    const QString ivan = QStringLiteral("Иван");
    // Legacy servers send Latin-1: a name is what its bytes say there, as it always was.
    QTest::newRow("legacy_latin1") << legacy << "" << QStringLiteral("Jürgen") << false << true
                                   << QByteArray("J\xFCrgen") << 255;
    QTest::newRow("legacy_cyrillicAsBefore")
        << legacy << "" << ivan << false << true << ivan.toLatin1() << 255;
    QTest::newRow("legacy_reversedRange")
        << legacy << "" << QStringLiteral("[z-a]") << true << false << QByteArray() << 255;
    // Steam servers send UTF-8: any text may be looked for, and its patterns are judged folded.
    QTest::newRow("steam_cyrillic") << steam << "Europe" << ivan << false << true << ivan.toUtf8() << 3;
    QTest::newRow("steam_cyrillicPattern")
        << steam << "US East" << QStringLiteral("И*н") << true << true << QStringLiteral("И*н").toUtf8() << 0;
    QTest::newRow("steam_reversedOnlyWhenFolded")
        << steam << "" << QStringLiteral("[Я-а]") << true << false << QByteArray() << 255;
    QTest::newRow("steam_unclosed") << steam << "" << QStringLiteral("[абв") << true << false << QByteArray()
                                    << 255;
    QTest::newRow("steam_bracketWithoutWildcards") << steam << "Africa" << QStringLiteral("[абв") << false
                                                   << true << QStringLiteral("[абв").toUtf8() << 7;
}

void tst_MainForm::namesAndCriteriaByProtocol()
{
    QFETCH(QString, protocol);
    QFETCH(QString, region);
    QFETCH(QString, name);
    QFETCH(bool, wildcards);
    QFETCH(bool, valid);
    QFETCH(QByteArray, bytes);
    QFETCH(int, regionByte);

    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QVERIFY(h.set("cboProtocol", protocol));
    if (!region.isEmpty())
        QVERIFY(h.set("cboRegion", region));
    QVERIFY(h.set("txtPlayerName_0", name));
    QVERIFY(h.set("chkUseWildcards_0", wildcards ? QStringLiteral("1") : QStringLiteral("0")));
    // What Next checks and what it hands the run, without starting one.
    auto *page = h.form->findChild<app::OptionsPage *>();
    QCOMPARE(page->validate(), valid);
    QCOMPARE(h.recorder.texts(),
        valid ? QStringList() : QStringList { QStringLiteral("Please enter a valid wildcard pattern.") });
    QCOMPARE(h.edit("txtPlayerName_0")->text(), name); // never rewritten
    if (!valid)
        return;
    const search::SearchCriteria criteria = page->criteria();
    QCOMPARE(criteria.Protocol,
        protocol == QLatin1String("Steam master") ? search::ListProtocol::Steam
                                                  : search::ListProtocol::Legacy);
    QCOMPARE(int(criteria.Region), regionByte);
    QCOMPARE(criteria.Slots[0].PlayerName, bytes);
    QCOMPARE(criteria.MasterServer, h.child<QComboBox>(QStringLiteral("cboMaster"))->currentText());
}

void tst_MainForm::steamSettings_data()
{
    QTest::addColumn<QList<std::pair<QString, QString>>>("stored");
    QTest::addColumn<QStringList>("shown"); // protocol, region, master
    QTest::addColumn<QStringList>("saved"); // MasterServer, Protocol, SteamRegion, SteamMasterServer

    using Values = QList<std::pair<QString, QString>>;
    const QString hl1 = SteamPresets[0];
    // A file from before the Steam mode: everything as it was, the Steam values at their defaults.
    QTest::newRow("old_withoutSteamValues")
        << Values { { "MasterServer", "master:27010" }, { "PlayerName[1]", "Zed" } }
        << QStringList { "Half-Life master", "Rest of world hidden", "master:27010" }
        << QStringList { "master:27010", "legacy", "255", hl1 };
    QTest::newRow("steam_europe") << Values { { "MasterServer", "master:27010" }, { "Protocol", "steam" },
        { "SteamRegion", "3" }, { "SteamMasterServer", "127.0.0.1:27011" } }
                                  << QStringList { "Steam master", "Europe", "127.0.0.1:27011" }
                                  << QStringList { "master:27010", "steam", "3", "127.0.0.1:27011" };
    // A region byte the list does not name (rollcall-find takes any) is shown and kept.
    QTest::newRow("steam_unnamedRegion") << Values { { "Protocol", "steam" }, { "SteamRegion", "12" } }
                                         << QStringList { "Steam master", "Region 12", hl1 }
                                         << QStringList { "localhost:27010", "steam", "12", hl1 };
    // The legacy protocol shown keeps the Steam values it does not use.
    QTest::newRow("legacy_keepsSteamValues")
        << Values { { "Protocol", "legacy" }, { "SteamRegion", "7" },
               { "SteamMasterServer", "10.1.1.1:27010" } }
        << QStringList { "Half-Life master", "Africa hidden", "localhost:27010" }
        << QStringList { "localhost:27010", "legacy", "7", "10.1.1.1:27010" };
    QTest::newRow("bad_unknownProtocol")
        << Values { { "Protocol", "Steam" }, { "SteamRegion", "300" } }
        << QStringList { "Half-Life master", "Rest of world hidden", "localhost:27010" }
        << QStringList { "localhost:27010", "legacy", "255", hl1 };
}

void tst_MainForm::steamSettings()
{
    using Values = QList<std::pair<QString, QString>>;
    QFETCH(Values, stored);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, saved);

    testing::MessageRecorder recorder;
    auto memory = std::make_unique<settings::MemorySettingsBackend>();
    for (const auto &[name, text] : stored)
        memory->setText(name, text);
    settings::MemorySettingsBackend *backend = memory.get();
    app::MainForm form(std::move(memory), testing::MemoryKeys());
    QCOMPARE(masterShown(&form), shown);
    form.show();
    form.close();
    QStringList written;
    for (const char *name : { "MasterServer", "Protocol", "SteamRegion", "SteamMasterServer" }) {
        for (const auto &[valueName, text] : backend->writes()) {
            if (valueName == QLatin1String(name))
                written.append(text);
        }
    }
    QCOMPARE(written, saved);
    QVERIFY(recorder.messages.isEmpty());
}

void tst_MainForm::steamIniRoundTrip()
{
    testing::MessageRecorder recorder;
    {
        app::MainForm first(nullptr, testing::MemoryKeys());
        first.findChild<QPushButton *>(QStringLiteral("Command2_1"))->click();
        QVERIFY(testing::setControl(&first, QStringLiteral("cboMaster"), QStringLiteral("master:27010")));
        QVERIFY(testing::setControl(&first, QStringLiteral("cboProtocol"), QStringLiteral("Steam master")));
        QVERIFY(testing::setControl(&first, QStringLiteral("cboRegion"), QStringLiteral("Australia")));
        QVERIFY(testing::setControl(&first, QStringLiteral("cboMaster"), QStringLiteral("127.0.0.1:27011")));
        QVERIFY(testing::setControl(&first, QStringLiteral("txtPlayerName_0"), QStringLiteral("Иван")));
        first.show();
        first.close();
    }
    app::MainForm second(nullptr, testing::MemoryKeys());
    QCOMPARE(masterShown(&second), (QStringList { "Steam master", "Australia", "127.0.0.1:27011" }));
    QCOMPARE(
        second.findChild<QLineEdit *>(QStringLiteral("txtPlayerName_0"))->text(), QStringLiteral("Иван"));
    QVERIFY(testing::setControl(&second, QStringLiteral("cboProtocol"), QStringLiteral("Half-Life master")));
    QCOMPARE(second.findChild<QComboBox *>(QStringLiteral("cboMaster"))->currentText(),
        QStringLiteral("master:27010"));
    QVERIFY(recorder.messages.isEmpty());
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

void tst_MainForm::versionText()
{
    QCOMPARE(app::VersionText(1, 3, 0), QStringLiteral("1.3"));
    QCOMPARE(app::VersionText(1, 10, 12), QStringLiteral("1.10.12"));
}

void tst_MainForm::gamePathFromSteamLibrary()
{
    // Nothing saved: the Half-Life of the user's Steam library, found afresh at each start.
    const QString game
        = m_config.filePath(QStringLiteral("home/.local/share/Steam/steamapps/common/Half-Life"));
    QVERIFY(QDir().mkpath(game));
    QFile script(game + QStringLiteral("/hl.sh"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.close();
    {
        FormHarness h;
        QCOMPARE(h.form->executablePath(), script.fileName());
    }
    QVERIFY(QDir(m_config.filePath(QStringLiteral("home/.local"))).removeRecursively());
    FormHarness h;
    QCOMPARE(h.form->executablePath(), QString());
}

void tst_MainForm::settingsThatAreNotAFile_data()
{
    QTest::addColumn<bool>("directory"); // else a pipe, which a save moves aside

    QTest::newRow("fifo") << false;
    QTest::newRow("directory") << true;
}

void tst_MainForm::settingsThatAreNotAFile()
{
    QFETCH(bool, directory);
    const QString path = m_config.filePath(QStringLiteral("odd/") + QLatin1String(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(directory ? path : m_config.filePath(QStringLiteral("odd"))));
    if (!directory)
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);

    testing::MessageRecorder recorder;
    app::MainForm form(std::make_unique<settings::IniSettingsBackend>(path), testing::MemoryKeys());
    form.show();
    QStringList expected = { ui::TwoPartMessage(
        QStringLiteral("Your saved options could not be read from %1: it is not a regular file.").arg(path),
        QStringLiteral("Rollcall starts with its default options.")) };
    QTRY_COMPARE(recorder.texts(), expected);
    QCOMPARE(optionsShown(&form).at(5), QStringLiteral("80"));

    form.close();
    if (directory) {
        expected << ui::TwoPartMessage(
            QStringLiteral("Your options could not be saved to %1: it is not a regular "
                           "file, and Rollcall leaves it as it is.")
                .arg(path),
            QStringLiteral("The next start uses the options saved before, or the defaults."));
    }
    QCOMPARE(recorder.texts(), expected);
    QCOMPARE(QFileInfo(path).isFile(), !directory);
}

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
