#include "launch/LaunchForm.h"

#include "info/TextListModel.h"
#include "launch/GameCommandLine.h"
#include "protocol/QueryProtocol.h"
#include "search/ServerSocket.h"
#include "ui/ListEvents.h"
#include "ui/Seams.h"
#include "ui/WindowHelpers.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

namespace rollcall::launch {

namespace {

constexpr int Twips = 15;
constexpr int ClientWidth = 5055 / Twips;
constexpr int CollapsedHeight = 1455 / Twips;
constexpr int ExpandedHeight = 3135 / Twips;

const QString NotAvailable = QStringLiteral("n/a");
const QString GameDirectoryRow = QStringLiteral("Game Directory");
const QString ShowInfoCaption = QStringLiteral("&Info >>");
const QString HideInfoCaption = QStringLiteral("&Info <<");

QRect twips(int left, int top, int width, int height)
{
    return { left / Twips, top / Twips, width / Twips, height / Twips };
}

template <typename Widget> Widget *place(Widget *widget, const char *name, const QRect &geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

LaunchForm::LaunchForm(QString *executablePath, QWidget *parent)
    : QDialog(parent)
    , m_executablePath(executablePath)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("LaunchForm"));
    setWindowTitle(QStringLiteral("Launch Half-Life & Connect"));

    // Created in tab order.
    m_launch
        = place(new QPushButton(QStringLiteral("&Launch"), this), "Command1", twips(1800, 960, 975, 375));
    m_launch->setDefault(true);
    m_launch->setAutoDefault(true);
    m_close = place(new QPushButton(QStringLiteral("Close"), this), "Command2", twips(2880, 960, 975, 375));
    m_close->setAutoDefault(false);
    m_info = place(new QPushButton(ShowInfoCaption, this), "Command4", twips(3960, 960, 975, 375));
    m_info->setAutoDefault(false);
    m_info->setToolTip(QStringLiteral("Show/hide server's game info"));

    m_model = new info::TextListModel(
        { { QStringLiteral("Setting"), Qt::AlignLeft }, { QStringLiteral("Value"), Qt::AlignLeft } }, this);
    m_list = place(new QTreeView(this), "LVGameInfo", twips(120, 1560, 4815, 1455));
    m_list->setAccessibleName(QStringLiteral("Server game information"));
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setModel(m_model);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->resizeSection(0, 1300 / Twips);
    m_list->header()->resizeSection(1, 2800 / Twips);
    m_list->hide();

    auto *addressLabel
        = place(new QLabel(QStringLiteral("&Server Address:"), this), "Label1", twips(120, 180, 1215, 255));
    m_address = place(new QLineEdit(this), "txtAddress", twips(1800, 120, 3135, 315));
    m_address->setReadOnly(true);
    QPalette grey = m_address->palette();
    grey.setColor(QPalette::Base, QColor(192, 192, 192));
    m_address->setPalette(grey);
    addressLabel->setBuddy(m_address);
    auto *pathLabel = place(
        new QLabel(QStringLiteral("&Half-Life Executable:"), this), "Label2", twips(120, 540, 1575, 255));
    m_path = place(new QLineEdit(this), "txtPath", twips(1800, 480, 2775, 315));
    pathLabel->setBuddy(m_path);
    m_browse = place(new QPushButton(QStringLiteral("..."), this), "Command3", twips(4640, 510, 300, 255));
    m_browse->setAutoDefault(false);
    m_browse->setToolTip(QStringLiteral("Browse for Half-Life executable"));

    setTabOrder(m_launch, m_close);
    setTabOrder(m_close, m_info);
    setTabOrder(m_info, m_list);
    setTabOrder(m_list, m_address);
    setTabOrder(m_address, m_path);
    setTabOrder(m_path, m_browse);

    m_socket = new search::ServerSocket(this);
    m_socket->setObjectName(QStringLiteral("WS_GameInfo"));

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("LVPopupMenu"));
    QAction *refreshItem = m_menu->addAction(QStringLiteral("&Refresh"));
    refreshItem->setObjectName(QStringLiteral("RefreshMenu"));
    QAction *copyItem = m_menu->addAction(QStringLiteral("&Copy"));
    copyItem->setObjectName(QStringLiteral("CopyMenu"));

    m_copyBox = new QPlainTextEdit(this);
    m_copyBox->setObjectName(QStringLiteral("txtCopy"));
    m_copyBox->hide();

    connect(m_launch, &QPushButton::clicked, this, &LaunchForm::launch);
    connect(m_close, &QPushButton::clicked, this, &LaunchForm::close);
    connect(m_info, &QPushButton::clicked, this, &LaunchForm::toggleInfo);
    connect(m_browse, &QPushButton::clicked, this, &LaunchForm::browse);
    connect(m_socket, &search::ServerSocket::replyReceived, this, &LaunchForm::replyArrived);
    connect(refreshItem, &QAction::triggered, this, &LaunchForm::refresh);
    connect(copyItem, &QAction::triggered, this, &LaunchForm::copy);
    auto *events = new ui::ListEvents(m_list);
    connect(events, &ui::ListEvents::refreshKeyPressed, this, &LaunchForm::refresh);
    connect(events, &ui::ListEvents::menuWanted, this, [this](QPoint at) { m_menu->popup(at); });

    // Loading.
    ui::SetPlainButtonStyle(m_browse);
    addInfoRows();
    ui::ToggleFlatHeader(m_list);
    m_path->setText(m_executablePath ? *m_executablePath : QString());
    setFixedSize(ClientWidth, CollapsedHeight);
}

LaunchForm::~LaunchForm() = default;

void LaunchForm::addInfoRows()
{
    for (const QString &name : { QStringLiteral("Host Name"), QStringLiteral("Map Name"), GameDirectoryRow,
             QStringLiteral("Game Description"), QStringLiteral("Players") })
        m_model->appendRow({ name, NotAvailable });
}

void LaunchForm::GetInfo(const QString &serverIp, qint32 serverPort)
{
    m_address->setText(serverIp + QLatin1Char(':') + QString::number(serverPort));
    m_socket->aim(serverIp, serverPort);
    m_socket->send(protocol::BuildQueryRequest(protocol::QueryKind::Info));
}

bool LaunchForm::isExpanded() const
{
    return m_info->text() != ShowInfoCaption;
}

void LaunchForm::reject()
{
    // Escape and the frame's close box unload the window like "Close".
    QDialog::reject();
    close();
}

void LaunchForm::launch()
{
    const QString gameDirectory = m_model->valueOf(GameDirectoryRow);
    if (gameDirectory == NotAvailable) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Exclamation,
                QStringLiteral("Cannot launch Half-Life without first receiving the server's game info.") });
        return;
    }
    if (!IsSafeGameDirectory(gameDirectory)) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Exclamation,
                QStringLiteral("Cannot launch Half-Life with the game directory sent by this server.") });
        return;
    }
    const QString path = m_path->text();
    const LaunchCommand command = BuildLaunchCommand(path, gameDirectory, m_address->text());
    if (!ui::seams().startProcess(command.program, command.arguments)) {
        ui::seams().showMessage(this,
            { ui::UserMessage::Icon::Critical,
                ui::TwoPartMessage(QStringLiteral("Unable to launch Half-Life."),
                    QStringLiteral("Please verify that the path is correct.")) });
        return;
    }
    if (m_executablePath)
        *m_executablePath = path;
}

void LaunchForm::browse()
{
    const QString current = m_path->text();
    const QString chosen = ui::seams().chooseFile(this, QStringLiteral("Browse for Half-Life Executable"),
        current, BrowseStartFolder(current),
        QStringLiteral("Half-Life Executable (hl.exe);;Program Files (*.exe);;All Files (*)"));
    m_path->setText(chosen.isEmpty() ? current : QDir::toNativeSeparators(chosen));
    m_path->setFocus();
    m_path->selectAll();
}

void LaunchForm::toggleInfo()
{
    const bool expand = m_info->text() == ShowInfoCaption;
    m_info->setText(expand ? HideInfoCaption : ShowInfoCaption);
    m_list->setVisible(expand);
    setFixedSize(ClientWidth, expand ? ExpandedHeight : CollapsedHeight);
}

void LaunchForm::replyArrived(const QByteArray &reply)
{
    m_socket->close();
    const protocol::InfoReply info = protocol::DecodeInfoReply(reply);
    const auto set = [this](const QString &row, const std::optional<QByteArray> &value) {
        if (value)
            m_model->setValueOf(row, 1, protocol::Latin1(*value));
    };
    set(QStringLiteral("Host Name"), info.HostName);
    set(QStringLiteral("Map Name"), info.MapName);
    set(GameDirectoryRow, info.GameDirectory);
    set(QStringLiteral("Game Description"), info.GameDescription);
    if (info.PlayerCount && info.MaxPlayers)
        m_model->setValueOf(QStringLiteral("Players"), 1,
            QString::number(*info.PlayerCount) + QLatin1Char('/') + QString::number(*info.MaxPlayers));
}

void LaunchForm::refresh()
{
    m_model->clear();
    addInfoRows();
    // Until the new reply is in, the game directory is unknown again and a launch is refused.
    m_socket->close();
    m_socket->send(protocol::BuildQueryRequest(protocol::QueryKind::Info));
}

void LaunchForm::copy()
{
    m_copyBox->setPlainText(m_model->copyText());
    m_copyBox->selectAll();
    ui::CopySelection(m_copyBox);
}

} // namespace rollcall::launch
