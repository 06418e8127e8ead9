#include "app/OptionsPage.h"

#include "app/MasterChoice.h"
#include "app/SourceFields.h"
#include "protocol/MasterProtocol.h"
#include "search/PlayerMatcher.h"
#include "search/UnicodeMatcher.h"
#include "ui/Icons.h"
#include "ui/Seams.h"
#include "ui/UserMessage.h"
#include "ui/WindowHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace rollcall::app {

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QLineEdit *makeNumberBox(
    QWidget *parent, const char *name, const QString &text, int digits, NumericBoxFilter *filter)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(digits);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (digits + 2) + 12);
    box->installEventFilter(filter);
    return box;
}

QGroupBox *makeFrame(QWidget *parent, const char *name, const QString &caption)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(name));
    return frame;
}

QString filterTooLong(const QString &field)
{
    return OptionsPage::tr("The %1 filter is too long: at most %2 characters fit in a master server request.")
        .arg(field, QString::number(protocol::MaxMasterFilterLength));
}

QString slotName(int slot, const char *stem)
{
    return QLatin1String(stem) + QLatin1Char('_') + QString::number(slot);
}

} // namespace

NumericBoxFilter::NumericBoxFilter(QObject *parent)
    : QObject(parent)
{ }

qint64 NumericBoxFilter::valueOf(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    qint64 value = 0;
    // Pasted text can be long; beyond the 32-bit range it is no count the page could use.
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80 && value <= INT_MAX; ++i)
        value = value * 10 + (text[i].unicode() - '0');
    return negative ? -value : value;
}

bool NumericBoxFilter::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box)
        return false;
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Keys that type no character (arrows, Delete, Home) and the focus keys are not filtered.
        // Enter belongs to the window's default button, which takes it before the box would.
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Backspace:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return false;
        default:
            break;
        }
        // Ctrl with a letter types a control character (Ctrl+V is 22): discarded like any other.
        if ((key->modifiers() & Qt::ControlModifier) && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
            return true;
        const QString text = key->text();
        if (text.isEmpty())
            return false;
        return !(text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9'));
    }
    if (event->type() == QEvent::FocusOut)
        box->setText(QString::number(valueOf(box->text())));
    return false;
}

OptionsPage::OptionsPage(QWidget *parent)
    : QWidget(parent)
    , m_numeric(new NumericBoxFilter(this))
{
    auto *layout = new QVBoxLayout(this);
    auto *header = new QHBoxLayout;
    auto *title = makeLabel(this, "Label20", tr("Rollcall Options"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    title->setFont(titleFont);
    auto *logo = makeLabel(this, "AppLogo_1", QString());
    logo->setPixmap(ui::IconPixmap(1));
    logo->setAccessibleName(QStringLiteral("Rollcall"));
    header->addWidget(title, 1);
    header->addWidget(logo);
    layout->addLayout(header);

    buildNames();
    buildQuerySettings();
    buildMasterSettings();
    buildFilter();
    layout->addStretch(1);
}

void OptionsPage::buildNames()
{
    auto *frame = makeFrame(this, "Frame1", tr("&Search For..."));
    auto *grid = new QGridLayout(frame);
    const std::array<QString, 2> which = { QStringLiteral("first"), QStringLiteral("second") };
    for (int i = 0; i < 2; ++i) {
        m_enable[i] = new QCheckBox(frame);
        m_enable[i]->setObjectName(slotName(i, "chkEnable"));
        m_enable[i]->setAccessibleName(i == 0 ? tr("Search for first name") : tr("Search for second name"));
        m_name[i] = new QLineEdit(frame);
        m_name[i]->setObjectName(slotName(i, "txtPlayerName"));
        m_name[i]->setAccessibleName(
            which[i] == QLatin1String("first") ? tr("First player name") : tr("Second player name"));
        m_wildcards[i] = new QCheckBox(tr("Use Wildcards"), frame);
        m_wildcards[i]->setObjectName(slotName(i, "chkUseWildcards"));
        grid->addWidget(m_enable[i], i, 0);
        grid->addWidget(m_name[i], i, 1);
        grid->addWidget(m_wildcards[i], i, 2);
        connect(m_enable[i], &QCheckBox::clicked, this, [this, i] { setSlotEnabled(i, true); });
    }
    // The first slot is always searched.
    m_enable[0]->setChecked(true);
    m_enable[0]->setEnabled(false);
    setSlotEnabled(1, false);
    ui::SetFrameShortcutTarget(frame, m_name[0]);
    layout()->addWidget(frame);
}

void OptionsPage::buildQuerySettings()
{
    auto *frame = makeFrame(this, "Frame2", tr("Server Query Settings"));
    auto *grid = new QGridLayout(frame);
    m_maxConn = makeNumberBox(frame, "txtMaxConn", QStringLiteral("80"), 2, m_numeric);
    m_timeout = makeNumberBox(frame, "txtTimeout", QStringLiteral("1000"), 5, m_numeric);
    grid->addWidget(makeLabel(frame, "Label7", tr("&Use"), m_maxConn), 0, 0);
    grid->addWidget(m_maxConn, 0, 1);
    grid->addWidget(makeLabel(frame, "Label9", tr("simultaneous udp connections")), 0, 2);
    grid->addWidget(makeLabel(frame, "Label10", tr("&Query request timeout:"), m_timeout), 1, 0);
    grid->addWidget(m_timeout, 1, 1);
    grid->addWidget(makeLabel(frame, "Label12", tr("(in milliseconds)")), 1, 2);
    grid->setColumnStretch(2, 1);
    layout()->addWidget(frame);
}

void OptionsPage::buildMasterSettings()
{
    auto *frame = makeFrame(this, "Frame3", tr("Half-Life Master Server Settings"));
    auto *grid = new QGridLayout(frame);
    m_master = new QComboBox(frame);
    m_master->setObjectName(QStringLiteral("cboMaster"));
    m_master->setEditable(true);
    m_master->setInsertPolicy(QComboBox::NoInsert);
    for (const char *preset : search::MasterPresets)
        m_master->addItem(QLatin1String(preset));
    m_master->setEditText(QLatin1String(search::MasterPresets[0]));
    m_capOn = new QCheckBox(tr("&Max amount of servers to download:"), frame);
    m_capOn->setObjectName(QStringLiteral("chkMax"));
    m_cap = makeNumberBox(frame, "txtMax", QStringLiteral("5000"), 6, m_numeric);
    m_cap->setAccessibleName(tr("Max amount of servers to download"));
    m_cap->setEnabled(false);
    connect(m_capOn, &QCheckBox::clicked, this, [this] { setCapEnabled(true); });
    auto *masterLabel = makeLabel(frame, "Label18", tr("Us&e:"), m_master);
    grid->addWidget(masterLabel, 0, 0);
    grid->addWidget(m_master, 0, 1, 1, 2);
    grid->addWidget(m_capOn, 1, 0, 1, 2);
    grid->addWidget(m_cap, 1, 2, Qt::AlignLeft);
    // Below the master's own rows, so nothing that was there moves.
    m_masterChoice = new MasterChoice(m_master, masterLabel, frame, grid, 2);
    m_sources = new SourceFields(frame, grid, 3);
    connect(m_masterChoice, &MasterChoice::protocolShown, m_sources, &SourceFields::show);
    m_sources->show(m_masterChoice->protocol());
    grid->setColumnStretch(2, 1);
    layout()->addWidget(frame);
}

// Servers asked with A2S send UTF-8, so any text can be looked for; legacy servers send Latin-1.
bool OptionsPage::namesAreUtf8() const
{
    switch (m_masterChoice->protocol()) {
    case search::ListProtocol::Legacy:
        return false;
    case search::ListProtocol::Steam:
    case search::ListProtocol::WebApi:
        return true;
    case search::ListProtocol::ListFile:
        break;
    }
    return m_sources->listQueries() == search::ServerQueries::A2s;
}

bool OptionsPage::isValidPattern(const QString &name) const
{
    if (namesAreUtf8())
        return search::UnicodeWildcardPattern(name).isValid();
    return search::isValidWildcardPattern(name.toLatin1());
}

void OptionsPage::buildFilter()
{
    auto *frame = makeFrame(this, "Frame4", tr("Filter"));
    auto *grid = new QGridLayout(frame);
    m_game = new QComboBox(frame);
    m_game->setObjectName(QStringLiteral("cboGameType"));
    m_game->setEditable(true);
    m_game->setInsertPolicy(QComboBox::NoInsert);
    m_game->addItems(
        { QStringLiteral("cstrike"), QStringLiteral("dmc"), QStringLiteral("tfc"), QStringLiteral("valve") });
    m_map = new QLineEdit(frame);
    m_map->setObjectName(QStringLiteral("txtMap"));
    m_map->setMaxLength(50);
    grid->addWidget(makeLabel(frame, "Label2", tr("Are running &game:"), m_game), 0, 0);
    grid->addWidget(m_game, 0, 1);
    grid->addWidget(makeLabel(frame, "Label3", tr("Are running m&ap:"), m_map), 1, 0);
    grid->addWidget(m_map, 1, 1);
    grid->setColumnStretch(1, 1);
    layout()->addWidget(frame);
}

void OptionsPage::setSlotEnabled(int slot, bool moveFocus)
{
    const bool on = m_enable[slot]->isChecked();
    m_name[slot]->setEnabled(on);
    m_wildcards[slot]->setEnabled(on);
    if (on && moveFocus) {
        m_name[slot]->setFocus(Qt::OtherFocusReason);
        m_name[slot]->selectAll();
    }
}

void OptionsPage::focusFirstName()
{
    for (QLineEdit *box : m_name) {
        if (box->isEnabled()) {
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
            return;
        }
    }
}

void OptionsPage::setCapEnabled(bool moveFocus)
{
    const bool on = m_capOn->isChecked();
    m_cap->setEnabled(on);
    if (on && moveFocus) {
        m_cap->setFocus(Qt::OtherFocusReason);
        m_cap->selectAll();
    }
}

void OptionsPage::refuse(QWidget *control, const QString &text)
{
    // The message comes first: its box takes the focus while it is open.
    ui::seams().showMessage(window(), ui::UserMessage { ui::UserMessage::Icon::Exclamation, text });
    control->setFocus(Qt::OtherFocusReason);
}

void OptionsPage::refuseNumber(QLineEdit *box, const QString &replacement)
{
    refuse(box, tr("Please enter a number greater than zero."));
    box->setText(replacement);
    box->selectAll();
}

bool OptionsPage::validate()
{
    for (int i = 0; i < 2; ++i) {
        if (!m_enable[i]->isChecked())
            continue;
        if (m_name[i]->text().isEmpty()) {
            refuse(m_name[i], tr("Please enter a player name."));
            return false;
        }
        if (m_wildcards[i]->isChecked() && !isValidPattern(m_name[i]->text())) {
            refuse(m_name[i], tr("Please enter a valid wildcard pattern."));
            m_name[i]->selectAll();
            return false;
        }
    }
    if (NumericBoxFilter::valueOf(m_maxConn->text()) < 1) {
        refuseNumber(m_maxConn, QStringLiteral("20"));
        return false;
    }
    if (NumericBoxFilter::valueOf(m_timeout->text()) < 1) {
        refuseNumber(m_timeout, QStringLiteral("1000"));
        return false;
    }
    if (m_capOn->isChecked() && NumericBoxFilter::valueOf(m_cap->text()) < 1) {
        refuseNumber(m_cap, QStringLiteral("5000"));
        return false;
    }
    if (m_master->isVisibleTo(this) && m_master->currentText().isEmpty()) {
        refuse(m_master, tr("Please enter a master server address or choose one."));
        return false;
    }
    if (const SourceFields::Fault fault = m_sources->check(m_masterChoice->protocol()); fault.control) {
        refuse(fault.control, fault.text);
        return false;
    }
    if (m_game->currentText().contains(QLatin1Char('\\'))) {
        refuse(m_game, tr("Invalid character in game type."));
        return false;
    }
    if (m_map->text().contains(QLatin1Char('\\'))) {
        refuse(m_map, tr("Invalid character in map name."));
        m_map->selectAll();
        return false;
    }
    // A filter too long for one master request would make every request unsendable; the
    // settings file can hold one of any length.
    if (m_game->currentText().size() > protocol::MaxMasterFilterLength) {
        refuse(m_game, filterTooLong(tr("game")));
        return false;
    }
    if (m_map->text().size() > protocol::MaxMasterFilterLength) {
        refuse(m_map, filterTooLong(tr("map")));
        m_map->selectAll();
        return false;
    }
    return true;
}

search::SearchCriteria OptionsPage::criteria() const
{
    search::SearchCriteria c;
    c.Protocol = m_masterChoice->protocol();
    c.Region = m_masterChoice->region();
    for (size_t i = 0; i < 2; ++i) {
        c.Slots[i].EnableSearch = m_enable[i]->isChecked();
        c.Slots[i].UseWildcards = m_wildcards[i]->isChecked();
        c.Slots[i].PlayerName = namesAreUtf8() ? m_name[i]->text().toUtf8() : m_name[i]->text().toLatin1();
    }
    c.GameFilter = m_game->currentText();
    c.MapFilter = m_map->text();
    c.MasterServer = m_master->currentText();
    c.EnableMaxServers = m_capOn->isChecked();
    // The boxes' digit limits keep these in range once validation has passed.
    c.MaxServerAmount = qint32(std::clamp<qint64>(NumericBoxFilter::valueOf(m_cap->text()), 0, 999999));
    c.MaxConnections = int(std::clamp<qint64>(NumericBoxFilter::valueOf(m_maxConn->text()), 1, 99));
    c.QueryTimeout = int(std::clamp<qint64>(NumericBoxFilter::valueOf(m_timeout->text()), 1, 99999));
    m_sources->fill(c);
    return c;
}

void OptionsPage::applySettings(const settings::SettingsValues &values)
{
    m_enable[1]->setChecked(values.EnableSearch2);
    m_wildcards[0]->setChecked(values.UseWildcards1);
    m_wildcards[1]->setChecked(values.UseWildcards2);
    m_name[0]->setText(values.PlayerName1);
    m_name[1]->setText(values.PlayerName2);
    m_maxConn->setText(values.MaxConnections);
    m_timeout->setText(values.QueryTimeout);
    m_masterChoice->apply(values);
    m_sources->apply(values);
    m_capOn->setChecked(values.EnableMaxServers);
    m_cap->setText(values.MaxServerAmount);
    m_game->setEditText(values.GameFilter);
    m_map->setText(values.MapFilter);
    setSlotEnabled(1, false);
    setCapEnabled(false);
}

void OptionsPage::storeSettings(settings::SettingsValues &values) const
{
    values.EnableSearch2 = m_enable[1]->isChecked();
    values.UseWildcards1 = m_wildcards[0]->isChecked();
    values.UseWildcards2 = m_wildcards[1]->isChecked();
    values.PlayerName1 = m_name[0]->text();
    values.PlayerName2 = m_name[1]->text();
    values.MaxConnections = m_maxConn->text();
    values.QueryTimeout = m_timeout->text();
    m_masterChoice->store(values);
    m_sources->store(values);
    values.EnableMaxServers = m_capOn->isChecked();
    values.MaxServerAmount = m_cap->text();
    values.GameFilter = m_game->currentText();
    values.MapFilter = m_map->text();
}

} // namespace rollcall::app
