#include "launch/LaunchForm.h"

#include "info/InfoList.h"
#include "info/TextListModel.h"
#include "launch/ExecutablePath.h"
#include "launch/GameCommandLine.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "search/A2sExchange.h"
#include "search/ServerSocket.h"
#include "ui/Seams.h"
#include "ui/Sizing.h"
#include "ui/WindowHelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace rollcall::launch {

namespace {

// Translated where they are used: a translation is loaded after these are made, and the texts
// are compared with what a row or the button shows.
const char *const NotAvailable = QT_TRANSLATE_NOOP("rollcall::launch::LaunchForm", "n/a");
const char *const GameDirectoryRow = QT_TRANSLATE_NOOP("rollcall::launch::LaunchForm", "Game Directory");
const char *const ShowInfoCaption = QT_TRANSLATE_NOOP("rollcall::launch::LaunchForm", "&Info >>");
const char *const HideInfoCaption = QT_TRANSLATE_NOOP("rollcall::launch::LaunchForm", "&Info <<");
// Each round of a Steam question waits this long; without an answer the game stays unknown and
// a launch is refused, as when a legacy server is silent.
constexpr int SteamRoundMs = 3000;

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    button->setMinimumSize(ui::Twips(975), ui::Twips(375));
    return button;
}

QString StartFailureDetails(const QString &path, ProgramProblem problem)
{
    if (path.isEmpty())
        return LaunchForm::tr("No Half-Life executable was given.");
    QString reason;
    switch (problem) {
    case ProgramProblem::Missing:
        reason = LaunchForm::tr("The file was not found.");
        break;
    case ProgramProblem::Folder:
        reason = LaunchForm::tr("This is a folder, not a program.");
        break;
    case ProgramProblem::NotExecutable:
        reason = LaunchForm::tr("The file may not be run (permission denied): it is not marked executable.");
        break;
    case ProgramProblem::None:
        reason = LaunchForm::tr("The system could not start this file as a program.");
        break;
    }
    return LaunchForm::tr("Tried to start:\n%1\n\n%2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

LaunchForm::LaunchForm(ExecutablePath *executablePath, QWidget *parent)
    : QDialog(parent)
    , m_executablePath(executablePath)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("LaunchForm"));
    setWindowTitle(tr("Launch Half-Life & Connect"));
    ui::AddCloseKeys(this);
    buildControls();

    m_socket = new search::ServerSocket(this);
    m_socket->setObjectName(QStringLiteral("WS_GameInfo"));
    auto *menu = new info::ListMenu(this);
    menu->attach(m_list, [this] { refresh(); });

    connect(m_launch, &QPushButton::clicked, this, &LaunchForm::launch);
    connect(m_close, &QPushButton::clicked, this, &LaunchForm::close);
    connect(m_info, &QPushButton::clicked, this, &LaunchForm::toggleInfo);
    connect(m_browse, &QPushButton::clicked, this, &LaunchForm::browse);
    connect(m_joinSteam, &QCheckBox::toggled, this, &LaunchForm::joinChosen);
    connect(m_socket, &search::ServerSocket::replyReceived, this, &LaunchForm::replyArrived);

    // Loading.
    addInfoRows();
    if (m_executablePath) {
        m_path->setText(m_executablePath->value());
        // The box follows the program-wide path until the user types in it.
        connect(m_executablePath, &ExecutablePath::changed, this, [this](const QString &path) {
            if (!m_path->isModified())
                m_path->setText(path);
        });
    }
    m_joinSteam->setChecked(
        JoinsThroughSteam(m_executablePath ? m_executablePath->joinThroughSteam() : QString(), m_path->text(),
            ui::seams().hasUrlHandler(QStringLiteral("steam"))));
    joinChosen();
}

void LaunchForm::buildControls()
{
    m_launch = makeButton(this, "Command1", tr("&Launch"));
    m_launch->setDefault(true);
    m_launch->setAutoDefault(true);
    m_close = makeButton(this, "Command2", tr("Close"));
    m_info = makeButton(this, "Command4", tr(ShowInfoCaption));
    m_info->setToolTip(tr("Show/hide server's game info"));
    m_list = new info::InfoList("LVGameInfo",
        { { tr("Setting"), Qt::AlignLeft, 1300, tr("Game Description") },
            { tr("Value"), Qt::AlignLeft, 2800, QStringLiteral("Counter-Strike: Condition Zero"), true } },
        false, this);
    m_list->setAccessibleName(tr("Server game information"));
    ui::SetDesignMinimumSize(m_list, 4815, 1455);
    m_list->hide();
    m_address = named(new QLineEdit(this), "txtAddress");
    m_address->setReadOnly(true);
    m_address->setMinimumWidth(ui::Twips(3135));
    QPalette grey = m_address->palette();
    grey.setColor(QPalette::Base, QColor(192, 192, 192));
    m_address->setPalette(grey);
    m_path = named(new QLineEdit(this), "txtPath");
    m_path->setMinimumWidth(ui::Twips(2775));
    m_browse = named(new QPushButton(QStringLiteral("..."), this), "Command3");
    m_browse->setAutoDefault(false);
    m_browse->setToolTip(tr("Browse for Half-Life executable"));
    ui::SetPlainButtonStyle(m_browse);
    // As narrow as its three dots allow: the style's least button width is meant for words.
    const int buttonMargin = style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, m_browse)
        + style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, m_browse);
    m_browse->setFixedWidth(std::max(
        ui::Twips(300), m_browse->fontMetrics().horizontalAdvance(m_browse->text()) + 2 * buttonMargin));
    m_joinSteam = named(new QCheckBox(tr("Join through Steam"), this), "chkJoinSteam");
    m_joinSteam->setToolTip(tr("Let Steam start the game and join the server"));
    auto *addressLabel = named(new QLabel(tr("&Server Address:"), this), "Label1");
    addressLabel->setBuddy(m_address);
    auto *pathLabel = named(new QLabel(tr("&Half-Life Executable:"), this), "Label2");
    pathLabel->setBuddy(m_path);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : { m_launch, m_close, m_info })
        buttons->addWidget(button);
    buttons->addStretch(1);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(ui::Twips(120), ui::Twips(120), ui::Twips(120), ui::Twips(120));
    grid->addWidget(addressLabel, 0, 0);
    grid->addWidget(m_address, 0, 1, 1, 2);
    grid->addWidget(pathLabel, 1, 0);
    grid->addWidget(m_path, 1, 1);
    grid->addWidget(m_browse, 1, 2);
    grid->addWidget(m_joinSteam, 2, 1, 1, 2);
    grid->addLayout(buttons, 3, 1, 1, 2);
    grid->addWidget(m_list, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    // The window is as large as its controls need, and grows and shrinks with the list.
    grid->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_launch, m_close);
    setTabOrder(m_close, m_info);
    setTabOrder(m_info, m_list);
    setTabOrder(m_list, m_address);
    setTabOrder(m_address, m_path);
    setTabOrder(m_path, m_browse);
    setTabOrder(m_browse, m_joinSteam);
}

LaunchForm::~LaunchForm() = default;

void LaunchForm::addInfoRows()
{
    for (const QString &name :
        { tr("Host Name"), tr("Map Name"), tr(GameDirectoryRow), tr("Game Description"), tr("Players") })
        m_list->rows()->appendRow({ name, tr(NotAvailable) });
}

void LaunchForm::GetInfo(const QString &serverIp, qint32 serverPort, search::ServerQueries queries)
{
    m_address->setText(serverIp + QLatin1Char(':') + QString::number(serverPort));
    m_serverIp = serverIp;
    m_serverPort = serverPort;
    if (queries == search::ServerQueries::A2s && !m_exchange) {
        m_exchange = new search::A2sExchange(this);
        m_exchange->setObjectName(QStringLiteral("A2S_GameInfo"));
        connect(m_exchange, &search::A2sExchange::answered, this, &LaunchForm::steamReplyArrived);
    } else if (queries == search::ServerQueries::Legacy && m_exchange) {
        delete std::exchange(m_exchange, nullptr);
    }
    m_socket->aim(serverIp, serverPort);
    ask();
}

void LaunchForm::ask()
{
    if (m_exchange) {
        m_exchange->start(m_serverIp, m_serverPort, search::A2sExchange::Kind::Info, SteamRoundMs);
        return;
    }
    m_socket->close();
    m_socket->send(protocol::BuildQueryRequest(protocol::QueryKind::Info));
}

void LaunchForm::reject()
{
    // Escape and the frame's close box unload the window like "Close".
    QDialog::reject();
    close();
}

void LaunchForm::joinChosen()
{
    // Steam starts the game it knows: the executable plays no part then.
    const bool steam = m_joinSteam->isChecked();
    m_path->setEnabled(!steam);
    m_browse->setEnabled(!steam);
}

bool LaunchForm::joinThroughSteam()
{
    const std::optional<QUrl> url = SteamConnectUrl(m_serverIp, m_serverPort);
    if (!url) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Exclamation,
                tr("Cannot join this server through Steam: its address is not a valid IPv4 address and "
                   "port.") });
        return false;
    }
    if (!ui::seams().openUrl(*url)) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Critical,
                ui::TwoPartMessage(tr("Unable to join the server through Steam."),
                    tr("Please verify that Steam is installed.")),
                tr("Tried to open:\n%1").arg(url->toString()) });
        return false;
    }
    return true;
}

void LaunchForm::launch()
{
    if (m_joinSteam->isChecked()) {
        if (joinThroughSteam() && m_executablePath)
            m_executablePath->setJoinThroughSteam(QStringLiteral("1"));
        return;
    }
    const QString gameDirectory = m_list->rows()->valueOf(tr(GameDirectoryRow));
    if (gameDirectory == tr(NotAvailable)) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Exclamation,
                tr("Cannot launch Half-Life without first receiving the server's game info.") });
        return;
    }
    if (!IsSafeGameDirectory(gameDirectory)) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Exclamation,
                tr("Cannot launch Half-Life with the game directory sent by this server.") });
        return;
    }
    const QString path = m_path->text();
    const LaunchCommand command = BuildLaunchCommand(path, gameDirectory, m_address->text());
    // Looked at before the start: what the file was when the system was asked to run it.
    const ProgramProblem problem = InspectProgram(path);
    if (!ui::seams().startProcess(command.program, command.arguments)) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Critical,
                ui::TwoPartMessage(
                    tr("Unable to launch Half-Life."), tr("Please verify that the path is correct.")),
                StartFailureDetails(path, problem) });
        return;
    }
    if (m_executablePath) {
        m_executablePath->setValue(path);
        m_executablePath->setJoinThroughSteam(QStringLiteral("0"));
    }
}

void LaunchForm::browse()
{
    const QString current = m_path->text();
    const QString chosen = ui::seams().chooseFile(this, tr("Browse for Half-Life Executable"), current,
        BrowseStartFolder(current),
        tr("Half-Life Executable (hl.exe);;Program Files (*.exe);;All Files (*)"));
    const bool typed = m_path->isModified();
    m_path->setText(chosen.isEmpty() ? current : QDir::toNativeSeparators(chosen));
    m_path->setModified(typed || (!chosen.isEmpty() && chosen != current));
    m_path->setFocus();
    m_path->selectAll();
}

void LaunchForm::toggleInfo()
{
    const bool expand = m_info->text() == tr(ShowInfoCaption);
    m_info->setText(expand ? tr(HideInfoCaption) : tr(ShowInfoCaption));
    m_list->setVisible(expand);
}

void LaunchForm::replyArrived(const QByteArray &reply)
{
    m_socket->close();
    const protocol::InfoReply info = protocol::DecodeInfoReply(reply);
    const auto set = [this](const QString &row, const std::optional<QByteArray> &value) {
        if (value)
            m_list->rows()->setValueOf(row, 1, protocol::Latin1(*value));
    };
    set(tr("Host Name"), info.HostName);
    set(tr("Map Name"), info.MapName);
    set(tr(GameDirectoryRow), info.GameDirectory);
    set(tr("Game Description"), info.GameDescription);
    if (info.PlayerCount && info.MaxPlayers)
        m_list->rows()->setValueOf(tr("Players"), 1,
            QString::number(*info.PlayerCount) + QLatin1Char('/') + QString::number(*info.MaxPlayers));
}

void LaunchForm::refresh()
{
    m_list->rows()->clear();
    addInfoRows();
    // Until the new reply is in, the game directory is unknown again and a launch is refused.
    ask();
}

void LaunchForm::steamReplyArrived(const QByteArray &reply)
{
    const protocol::A2sInfo info = protocol::DecodeA2sInfo(reply);
    const auto set = [this](const QString &row, const std::optional<QByteArray> &value) {
        if (value)
            m_list->rows()->setValueOf(row, 1, protocol::Utf8(*value));
    };
    set(tr("Host Name"), info.HostName);
    set(tr("Map Name"), info.MapName);
    set(tr(GameDirectoryRow), info.GameDirectory);
    set(tr("Game Description"), info.GameDescription);
    if (info.PlayerCount && info.MaxPlayers)
        m_list->rows()->setValueOf(tr("Players"), 1,
            QString::number(*info.PlayerCount) + QLatin1Char('/') + QString::number(*info.MaxPlayers));
}

} // namespace rollcall::launch
