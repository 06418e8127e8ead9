// The keyboard never surprises: every access key lands on the control its caption names, the
// options page takes typing as it comes to the front, and the information and launch windows
// close by their keys.

#include "FakeServers.h"
#include "FormHarness.h"
#include "info/InfoForm.h"
#include "launch/ExecutablePath.h"
#include "launch/LaunchForm.h"
#include "results/ResultsModel.h"
#include "search/ResultRow.h"

#include <QGroupBox>
#include <QKeySequence>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <memory>
#include <vector>

using namespace rollcall;
using rollcall::testing::FormHarness;
using testsupport::FakeGameServer;
using testsupport::FakeMasterServer;

namespace {

constexpr int Wait = 5000;

QString captionOf(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return {};
}

// One of the windows with access keys, set up as a user meets it: the main window on each of
// its pages (the options page with either protocol, the results page with a row selected), the
// information and the launch window.
class Scene
{
public:
    explicit Scene(const QString &which)
    {
        m_ready = m_server.listen();
        if (which == QLatin1String("info")) {
            auto *form = new info::InfoForm;
            form->GetInfo(m_server.addressText(), m_server.port());
            m_window = form;
        } else if (which == QLatin1String("launch")) {
            m_window = new launch::LaunchForm(&m_path);
        } else {
            m_harness = std::make_unique<FormHarness>(false);
            m_window = m_harness->form.get();
        }
        m_window->show();
        m_window->activateWindow();
        m_ready = m_ready && QTest::qWaitForWindowActive(m_window);
        if (which == QLatin1String("options") || which == QLatin1String("steamOptions")
            || which == QLatin1String("results"))
            m_harness->next();
        // The Steam master's region is shown, and so reachable, only with that protocol. Its
        // master is on loopback, whatever a key might start.
        if (which == QLatin1String("steamOptions")) {
            m_ready = m_ready && m_harness->set("cboProtocol", QStringLiteral("Steam master"))
                && m_harness->set("cboMaster", QStringLiteral("127.0.0.1:27010"));
        }
        if (which == QLatin1String("results"))
            showResults();
    }
    ~Scene()
    {
        if (!m_harness)
            delete m_window;
    }
    Q_DISABLE_COPY_MOVE(Scene)

    bool ready() const { return m_ready; }
    QWidget *window() const { return m_window; }

    // Visible controls whose caption has an access key, by object name.
    QStringList captioned() const
    {
        QStringList names;
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            if (w->isVisible() && !QKeySequence::mnemonic(captionOf(w)).isEmpty())
                names.append(w->objectName());
        }
        return names;
    }

private:
    void showResults()
    {
        QVERIFY(m_master.listen());
        m_master.setSilent(true);
        m_harness->set("txtPlayerName_0", QStringLiteral("bob"));
        m_harness->set("cboMaster", m_master.addressText());
        m_harness->next();
        search::ResultRow row;
        row.Cells = { QStringLiteral("127.0.0.1"), QString::number(m_server.port()), QStringLiteral("5"),
            QStringLiteral("bob"), QStringLiteral("1"), QStringLiteral("00:00:01") };
        m_harness->form->resultsModel()->appendRows({ row });
        auto *list = m_harness->child<QTreeView>(QStringLiteral("LVPlayersFound"));
        const QModelIndex first = list->model()->index(0, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
    }

    FakeGameServer m_server;
    FakeMasterServer m_master;
    launch::ExecutablePath m_path { QStringLiteral("/usr/games/hl"), nullptr };
    std::unique_ptr<FormHarness> m_harness;
    QPointer<QWidget> m_window; // the information and launch windows delete themselves when closed
    bool m_ready = false;
};

// Where a caption's access key should land: a label's buddy; the first control of a frame
// that can take the focus; a button itself.
QWidget *namedControl(QWidget *captioned)
{
    if (auto *label = qobject_cast<QLabel *>(captioned))
        return label->buddy();
    if (auto *frame = qobject_cast<QGroupBox *>(captioned)) {
        for (QWidget *w = frame->nextInFocusChain(); w != frame; w = w->nextInFocusChain()) {
            if (frame->isAncestorOf(w) && w->isEnabled() && w->isVisible()
                && (w->focusPolicy() & Qt::TabFocus))
                return w;
        }
        return nullptr;
    }
    return captioned;
}

QWidget *focused()
{
    QWidget *w = QApplication::focusWidget();
    if (w && qobject_cast<QComboBox *>(w->parentWidget()))
        return w->parentWidget(); // an editable combo box types into its line edit
    return w;
}

} // namespace

class tst_Keyboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accessKeyLandsOnItsControl_data();
    void accessKeyLandsOnItsControl();
    void searchForKeyTypesTheFirstName();
    void optionsPageTakesTyping();
    void windowsCloseByTheirKeys_data();
    void windowsCloseByTheirKeys();
};

void tst_Keyboard::accessKeyLandsOnItsControl_data()
{
    QTest::addColumn<QString>("scene");
    QTest::addColumn<QString>("control");
    for (const char *scene : { "welcome", "options", "steamOptions", "results", "info", "launch" }) {
        Scene s { QLatin1String(scene) };
        QVERIFY(s.ready());
        const QStringList names = s.captioned();
        if (QLatin1String(scene) != QLatin1String("info"))
            QVERIFY2(!names.isEmpty(), scene);
        for (const QString &name : names)
            QTest::addRow("%s_%s", scene, qPrintable(name)) << QString::fromLatin1(scene) << name;
    }
}

void tst_Keyboard::accessKeyLandsOnItsControl()
{
    QFETCH(QString, scene);
    QFETCH(QString, control);
    Scene s(scene);
    QVERIFY(s.ready());
    QWidget *captioned = s.window()->findChild<QWidget *>(control);
    QVERIFY(captioned);
    QWidget *expected = namedControl(captioned);
    QVERIFY2(expected, "the caption names no control");

    // Buttons are pressed (and clicked a moment later; the scene is gone by then).
    std::vector<std::pair<QAbstractButton *, std::unique_ptr<QSignalSpy>>> pressed;
    for (QAbstractButton *button : s.window()->findChildren<QAbstractButton *>())
        pressed.emplace_back(button, std::make_unique<QSignalSpy>(button, &QAbstractButton::pressed));
    QTest::keySequence(s.window(), QKeySequence::mnemonic(captionOf(captioned)));

    // A control that is off ("< Back" on the first page) ignores its key.
    if (qobject_cast<QAbstractButton *>(expected) || !expected->isEnabled()) {
        for (const auto &[button, spy] : pressed)
            QCOMPARE(spy->size(), button == expected && expected->isEnabled() ? 1 : 0);
        QVERIFY(expected->isEnabled() || focused() != expected);
    } else {
        QCOMPARE(focused(), expected);
    }
}

void tst_Keyboard::searchForKeyTypesTheFirstName()
{
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    h.button("chkEnable_1")->click(); // the second slot on: its check box takes the focus too
    h.edit("txtMap")->setFocus();
    QTest::keyClick(h.form.get(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), h.edit("txtPlayerName_0"));
}

void tst_Keyboard::optionsPageTakesTyping()
{
    FakeMasterServer master;
    QVERIFY(master.listen());
    master.setSilent(true);
    FormHarness h(true, { { "PlayerName[1]", "Alice" } });
    QVERIFY(h.shown);
    QTest::keyClick(h.form.get(), Qt::Key_Return); // "Next >"
    QCOMPARE(h.form->currentPage(), 1);
    QCOMPARE(QApplication::focusWidget(), h.edit("txtPlayerName_0"));
    QCOMPARE(h.edit("txtPlayerName_0")->selectedText(), QStringLiteral("Alice"));
    // Typing replaces the name; Enter goes on to the search, never to "Close".
    h.set("cboMaster", master.addressText());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Bob"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(h.form->currentPage(), 2);
    QVERIFY(h.form->isVisible());
    // Back from the results: the name box again.
    h.back();
    QCOMPARE(QApplication::focusWidget(), h.edit("txtPlayerName_0"));
    QCOMPARE(h.edit("txtPlayerName_0")->text(), QStringLiteral("Bob"));
}

void tst_Keyboard::windowsCloseByTheirKeys_data()
{
    QTest::addColumn<QString>("scene");
    QTest::addColumn<QKeySequence>("key");
    QTest::newRow("info_escape") << "info" << QKeySequence(Qt::Key_Escape);
    QTest::newRow("info_ctrlW") << "info" << QKeySequence(Qt::CTRL | Qt::Key_W);
    QTest::newRow("launch_escape") << "launch" << QKeySequence(Qt::Key_Escape);
    QTest::newRow("launch_ctrlW") << "launch" << QKeySequence(Qt::CTRL | Qt::Key_W);
}

void tst_Keyboard::windowsCloseByTheirKeys()
{
    QFETCH(QString, scene);
    QFETCH(QKeySequence, key);
    Scene s(scene);
    QVERIFY(s.ready());
    QPointer<QWidget> window = s.window();
    // From within a list too, where the keys might be taken for the list's own.
    if (auto *list = window->findChild<QTreeView *>(); list && list->isVisible())
        list->setFocus();
    QTest::keySequence(QApplication::focusWidget() ? QApplication::focusWidget() : window.data(), key);
    // Both windows delete themselves when closed.
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), Wait);
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
