// Every value the windows show can be read whole: at the default window size no cell of the
// results, information and launch lists and no label is cut, with the platform's font and a
// larger one. ctest runs this at 1x and again at 2x scale.

#include "FakeServers.h"
#include "FormHarness.h"
#include "SteamFakes.h"
#include "app/OptionsPage.h"
#include "app/SourceFields.h"
#include "info/InfoForm.h"
#include "launch/ExecutablePath.h"
#include "launch/LaunchForm.h"
#include "results/ResultsModel.h"
#include "search/ResultRow.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>
#include <QTreeView>

using namespace rollcall;
using rollcall::testing::FormHarness;
using search::ResultRow;
using testsupport::FakeGameServer;
using testsupport::FakeInfo;
using testsupport::FakePlayer;

namespace {

constexpr int Wait = 5000;

// Names of 31 bytes, the longest a server sends, in the mix of cases and signs players use.
const QList<QByteArray> LongNames = {
    "[CLAN]Player_Name_With_31_Chars",
    "Somebody.From.The.Other.Server!",
    "xX_the_quick_brown_fox_jumps_Xx",
    "ANOTHER PLAYER WITH A LONG NAME",
};

QList<ResultRow> population()
{
    QList<ResultRow> rows;
    for (int i = 0; i < LongNames.size(); ++i) {
        ResultRow row;
        row.Cells = { QStringLiteral("192.168.100.%1").arg(200 + i), QString::number(65535 - i),
            QString::number(100 + 299 * i), QString::fromLatin1(LongNames[i]), QString::number(-999 + i),
            QStringLiteral("100:00:0%1").arg(i) };
        rows.append(row);
    }
    return rows;
}

// What of the list does not fit: "row,column: text" per cut cell, "header column" per cut
// caption (measured with its sort indicator), and columns outside the list's visible width.
QStringList cutCells(QTreeView *list)
{
    QStringList cut;
    QHeaderView *header = list->header();
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const bool indicator = header->isSortIndicatorShown();
    header->setSortIndicatorShown(true);
    for (int c = 0; c < header->count(); ++c) {
        if (header->sectionSizeHint(c) > header->sectionSize(c))
            cut.append(QStringLiteral("header %1").arg(c));
        if (header->sectionViewportPosition(c) + header->sectionSize(c) > list->viewport()->width())
            cut.append(QStringLiteral("outside %1").arg(c));
        for (int r = 0; r < list->model()->rowCount(); ++r) {
            const QString text = list->model()->index(r, c).data().toString();
            if (list->fontMetrics().horizontalAdvance(text) + 2 * margin > header->sectionSize(c))
                cut.append(QStringLiteral("%1,%2: %3").arg(r).arg(c).arg(text));
        }
    }
    header->setSortIndicatorShown(indicator);
    return cut;
}

// Buttons narrower than the style asks for them, unless their caption still has the style's
// margins on both sides (a "..." button need not be as wide as one with a word).
QStringList cutButtons(QWidget *window)
{
    QStringList cut;
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        if (!button->isVisible())
            continue;
        const QString caption = QString(button->text()).remove(QLatin1Char('&'));
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
            + button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        const int need = button->icon().isNull() ? std::min(button->sizeHint().width(),
                             button->fontMetrics().horizontalAdvance(caption) + 2 * margin)
                                                 : button->sizeHint().width();
        if (button->width() < need)
            cut.append(button->objectName() + QLatin1Char(' ') + caption);
    }
    return cut;
}

// Labels narrower or lower than their text needs.
QStringList cutLabels(QWidget *window)
{
    QStringList cut;
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        const QSize need = label->wordWrap()
            ? QSize(label->minimumSizeHint().width(), label->heightForWidth(label->width()))
            : label->sizeHint();
        if (label->width() < need.width() || label->height() < need.height())
            cut.append(label->objectName() + QLatin1Char(' ') + label->text());
    }
    return cut;
}

// Lists of fixed choices narrower than their longest choice needs.
QStringList cutChoices(QWidget *window)
{
    QStringList cut;
    for (QComboBox *combo : window->findChildren<QComboBox *>()) {
        if (combo->isVisible() && !combo->isEditable() && combo->width() < combo->sizeHint().width())
            cut.append(combo->objectName() + QLatin1Char(' ') + combo->currentText());
    }
    return cut;
}

} // namespace

class tst_Readable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void resultsList_data();
    void resultsList();
    void mainWindowLabels_data() { resultsList_data(); }
    void mainWindowLabels();
    void informationWindow_data() { resultsList_data(); }
    void informationWindow();
    void steamInformationWindow_data() { resultsList_data(); }
    void steamInformationWindow();
    void launchWindow_data() { resultsList_data(); }
    void launchWindow();
    void cutCellShowsItsTextAsATip();

private:
    FakeGameServer m_server;
    QFont m_platformFont;
};

void tst_Readable::init()
{
    m_platformFont = QApplication::font();
    QVERIFY(m_server.listen());
    FakeInfo info;
    info.GameDescription = "Counter-Strike: Condition Zero";
    info.HostName = "A host name much longer than the value column of the window, as hosts are";
    m_server.setInfo(info);
    QList<FakePlayer> players;
    for (const QByteArray &name : LongNames)
        players.append({ name, -999, 360009.f });
    m_server.setPlayers(players);
    m_server.setRules({ { "mp_autoteambalance", "1" }, { "sv_maxspeed", "320" } });
}

void tst_Readable::cleanup()
{
    QApplication::setFont(m_platformFont);
}

void tst_Readable::resultsList_data()
{
    QTest::addColumn<qreal>("fontScale");
    QTest::newRow("platformFont") << 1.0;
    QTest::newRow("largerFont") << 1.5;
}

void tst_Readable::resultsList()
{
    QFETCH(qreal, fontScale);
    QFont font = m_platformFont;
    font.setPointSizeF(font.pointSizeF() * fontScale);
    QApplication::setFont(font);
    testsupport::FakeMasterServer master;
    QVERIFY(master.listen());
    master.setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    h.set("txtPlayerName_0", QStringLiteral("x"));
    h.set("cboMaster", master.addressText());
    h.next();
    QCOMPARE(h.form->currentPage(), 2);
    h.form->resultsModel()->appendRows(population());
    auto *list = h.child<QTreeView>(QStringLiteral("LVPlayersFound"));
    QCOMPARE(cutCells(list), QStringList());

    // A wider window widens the player names and leaves the other columns as they are.
    QList<int> before;
    for (int c = 0; c < ResultRow::ColumnCount; ++c)
        before.append(list->header()->sectionSize(c));
    h.form->resize(h.form->width() + 200, h.form->height());
    QTRY_VERIFY_WITH_TIMEOUT(
        list->header()->sectionSize(ResultRow::PlayerName) > before[ResultRow::PlayerName], Wait);
    for (int c = 0; c < ResultRow::ColumnCount; ++c) {
        if (c != ResultRow::PlayerName)
            QCOMPARE(list->header()->sectionSize(c), before[c]);
    }
}

void tst_Readable::mainWindowLabels()
{
    QFETCH(qreal, fontScale);
    QFont font = m_platformFont;
    font.setPointSizeF(font.pointSizeF() * fontScale);
    QApplication::setFont(font);
    testsupport::FakeMasterServer master;
    QVERIFY(master.listen());
    master.setSilent(true);
    FormHarness h;
    QVERIFY(h.shown);
    QCOMPARE(cutLabels(h.form.get()), QStringList());
    h.next();
    QCOMPARE(cutLabels(h.form.get()), QStringList());
    QCOMPARE(cutChoices(h.form.get()), QStringList());
    // The Steam master brings its region beside the protocol; the page must still fit both.
    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam master")));
    QVERIFY(h.set("cboRegion", QStringLiteral("South America")));
    QCOMPARE(cutLabels(h.form.get()), QStringList());
    QCOMPARE(cutChoices(h.form.get()), QStringList());
    // The Web API's key line with its button and link, and the keyring's longest word under it.
    QVERIFY(h.set("cboProtocol", QStringLiteral("Steam Web API")));
    h.form->findChild<app::OptionsPage *>()->sources()->setKeyringState(
        QStringLiteral("No keyring answered, so the Steam Web API key cannot be stored. The key is kept only "
                       "until Rollcall closes."));
    QTRY_COMPARE(cutLabels(h.form.get()), QStringList());
    QCOMPARE(cutButtons(h.form.get()), QStringList());
    QVERIFY(h.set("cboProtocol", QStringLiteral("Server list file")));
    QVERIFY(h.set("cboListQueries", QStringLiteral("Half-Life")));
    QCOMPARE(cutLabels(h.form.get()), QStringList());
    QCOMPARE(cutChoices(h.form.get()), QStringList());
    QCOMPARE(cutButtons(h.form.get()), QStringList());
    QVERIFY(h.set("cboProtocol", QStringLiteral("Half-Life master")));
    h.set("txtPlayerName_0", QStringLiteral("x"));
    h.set("cboMaster", master.addressText());
    h.next();
    QCOMPARE(cutLabels(h.form.get()), QStringList());
    QCOMPARE(cutButtons(h.form.get()), QStringList()); // their captions are labels of a kind
}

void tst_Readable::informationWindow()
{
    QFETCH(qreal, fontScale);
    QFont font = m_platformFont;
    font.setPointSizeF(font.pointSizeF() * fontScale);
    QApplication::setFont(font);
    QPointer<info::InfoForm> form = new info::InfoForm;
    form->GetInfo(m_server.addressText(), m_server.port());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *players = form->findChild<QTreeView *>(QStringLiteral("LVPlayers"));
    QTRY_COMPARE_WITH_TIMEOUT(players->model()->rowCount(), int(LongNames.size()), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(
        form->findChild<QTreeView *>(QStringLiteral("LVGameRules"))->model()->rowCount(), 2, Wait);
    QCOMPARE(players->model()->index(0, 3).data().toString(), QStringLiteral("100:00:09"));
    QTRY_VERIFY_WITH_TIMEOUT(m_server.pending() == 0, Wait);
    for (const char *name : { "LVGameRules", "LVPlayers" })
        QCOMPARE(cutCells(form->findChild<QTreeView *>(QLatin1String(name))), QStringList());
    // The host name is longer than any window; every other game information row fits.
    QStringList cut = cutCells(form->findChild<QTreeView *>(QStringLiteral("LVGameInfo")));
    QCOMPARE(cut.size(), 1);
    QVERIFY2(cut[0].startsWith(QLatin1String("0,1: A host name")), qPrintable(cut[0]));
    delete form;
}

void tst_Readable::steamInformationWindow()
{
    QFETCH(qreal, fontScale);
    QFont font = m_platformFont;
    font.setPointSizeF(font.pointSizeF() * fontScale);
    QApplication::setFont(font);
    testsupport::FakeA2sServer server;
    QVERIFY(server.listen());
    testsupport::FakeA2sInfo info;
    info.OperatingSystem = 'w';
    info.ServerType = 'p';
    server.setInfo(info);
    QPointer<info::InfoForm> form = new info::InfoForm;
    form->GetInfo(server.addressText(), server.port(), search::ServerQueries::A2s);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    // The Steam mode's own captions fit as the others do.
    auto *list = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 12, Wait);
    QCOMPARE(cutCells(list), QStringList());
    delete form;
}

void tst_Readable::launchWindow()
{
    QFETCH(qreal, fontScale);
    QFont font = m_platformFont;
    font.setPointSizeF(font.pointSizeF() * fontScale);
    QApplication::setFont(font);
    launch::ExecutablePath path(QStringLiteral("/usr/games/halflife/hl_linux"), nullptr);
    QPointer<launch::LaunchForm> form = new launch::LaunchForm(&path);
    form->GetInfo(m_server.addressText(), m_server.port());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    form->findChild<QPushButton *>(QStringLiteral("Command4"))->click(); // the list
    auto *list = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QTRY_COMPARE_WITH_TIMEOUT(
        list->model()->index(3, 1).data().toString(), QStringLiteral("Counter-Strike: Condition Zero"), Wait);
    QTRY_VERIFY_WITH_TIMEOUT(list->isVisible() && form->height() > list->y() + list->height(), Wait);
    QCOMPARE(cutLabels(form), QStringList());
    QStringList cut = cutCells(list);
    QCOMPARE(cut.size(), 1); // the host name again
    QVERIFY2(cut[0].startsWith(QLatin1String("0,1: A host name")), qPrintable(cut[0]));
    QCOMPARE(cutButtons(form), QStringList());
    delete form;
}

void tst_Readable::cutCellShowsItsTextAsATip()
{
    QPointer<info::InfoForm> form = new info::InfoForm;
    form->GetInfo(m_server.addressText(), m_server.port());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *list = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QTRY_VERIFY_WITH_TIMEOUT(
        list->model()->index(0, 1).data().toString().startsWith(QLatin1String("A host")), Wait);
    const auto tipAt = [list](int row, int column) {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }, Wait))
            return QStringLiteral("(an earlier tip stays)");
        const QPoint at = list->visualRect(list->model()->index(row, column)).center();
        QHelpEvent event(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QString host = list->model()->index(0, 1).data().toString();
    QVERIFY(tipAt(0, 1).contains(host));
    QCOMPARE(tipAt(1, 1), QString()); // "crossfire" fits: no tip
    delete form;
}

QTEST_MAIN(tst_Readable)
#include "tst_readable.moc"
