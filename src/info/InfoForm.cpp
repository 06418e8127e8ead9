#include "info/InfoForm.h"

#include "info/TextListModel.h"
#include "protocol/QueryProtocol.h"
#include "search/ServerSocket.h"
#include "ui/ListEvents.h"
#include "ui/WindowHelpers.h"

#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTreeView>

namespace rollcall::info {

namespace {

constexpr int Twips = 15;

const QString NotAvailable = QStringLiteral("n/a");

// The game information rows, in their fixed order.
const QString HostNameRow = QStringLiteral("Host Name");
const QString MapNameRow = QStringLiteral("Map Name");
const QString GameDirectoryRow = QStringLiteral("Game Directory");
const QString GameDescriptionRow = QStringLiteral("Game Description");
const QString PlayersRow = QStringLiteral("Players");
const QString ProtocolVersionRow = QStringLiteral("Protocol Version");

QString text(const std::optional<QByteArray> &bytes)
{
    return protocol::Latin1(*bytes);
}

} // namespace

InfoForm::InfoForm(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("InfoForm"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/infowindow.svg")));
    setFixedSize(9135 / Twips, 5535 / Twips);

    const Qt::Alignment left = Qt::AlignLeft;
    buildList(GameInfoList, "LVGameInfo", "WS_GameInfo", 120,
        { { QStringLiteral("Setting"), left, 2000 }, { QStringLiteral("Value"), left, 6000 } });
    buildList(RulesList, "LVGameRules", "WS_GameRules", 1920,
        { { QStringLiteral("Rule"), left, 2000 }, { QStringLiteral("Value"), left, 6000 } });
    buildList(PlayersList, "LVPlayers", "WS_Players", 3720,
        { { QStringLiteral("ID"), left, 150 }, { QStringLiteral("Player Name"), left, 6250 },
            { QStringLiteral("Frags"), Qt::AlignHCenter, 400 },
            { QStringLiteral("Time"), Qt::AlignRight, 600 } });
    // The lists have no visible captions of their own; a screen reader needs a name.
    m_lists[GameInfoList].view->setAccessibleName(QStringLiteral("Game information"));
    m_lists[RulesList].view->setAccessibleName(QStringLiteral("Server rules"));
    m_lists[PlayersList].view->setAccessibleName(QStringLiteral("Players"));
    m_lists[GameInfoList].request = protocol::BuildQueryRequest(protocol::QueryKind::Info);
    m_lists[RulesList].request = protocol::BuildQueryRequest(protocol::QueryKind::Rules);
    m_lists[PlayersList].request = protocol::BuildQueryRequest(protocol::QueryKind::Players);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("LVPopupMenu"));
    QAction *refresh = m_menu->addAction(QStringLiteral("&Refresh"));
    refresh->setObjectName(QStringLiteral("RefreshMenu"));
    QAction *copy = m_menu->addAction(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("CopyMenu"));
    connect(refresh, &QAction::triggered, this, &InfoForm::refreshTarget);
    connect(copy, &QAction::triggered, this, &InfoForm::copyTarget);

    m_copyBox = new QPlainTextEdit(this);
    m_copyBox->setObjectName(QStringLiteral("txtCopy"));
    m_copyBox->hide();

    // Loading: the six rows wait for a reply; only the players list selects whole rows.
    addGameInfoRows();
    ui::ToggleFullRowSelect(m_lists[PlayersList].view);
}

InfoForm::~InfoForm() = default;

void InfoForm::buildList(
    ListIndex which, const char *name, const char *socketName, int top, const QList<ColumnSpec> &columns)
{
    QList<TextListModel::Column> modelColumns;
    for (const ColumnSpec &column : columns)
        modelColumns.append({ column.caption, column.alignment });
    List &list = m_lists[which];
    list.model = new TextListModel(modelColumns, this);
    list.view = new QTreeView(this);
    list.view->setObjectName(QLatin1String(name));
    list.view->setRootIsDecorated(false);
    list.view->setUniformRowHeights(true);
    list.view->setItemsExpandable(false);
    list.view->setSortingEnabled(false);
    list.view->setModel(list.model);
    list.view->setGeometry(120 / Twips, top / Twips, 8895 / Twips, 1695 / Twips);
    list.view->header()->setSectionsClickable(true);
    list.view->header()->setStretchLastSection(false);
    for (int c = 0; c < columns.size(); ++c)
        list.view->header()->resizeSection(c, columns[c].widthTwips / Twips);

    list.socket = new search::ServerSocket(this);
    list.socket->setObjectName(QLatin1String(socketName));
    connect(list.socket, &search::ServerSocket::replyReceived, this,
        [this, which](const QByteArray &reply) { replyArrived(which, reply); });
    connect(list.view->header(), &QHeaderView::sectionClicked, this,
        [this, which](int column) { headerClicked(which, column); });

    auto *events = new ui::ListEvents(list.view);
    connect(events, &ui::ListEvents::refreshKeyPressed, this, [this, which] {
        m_target = which;
        refreshTarget();
    });
    connect(events, &ui::ListEvents::menuWanted, this, [this, which](QPoint at) {
        m_target = which;
        m_menu->popup(at);
    });
}

void InfoForm::addGameInfoRows()
{
    TextListModel *model = m_lists[GameInfoList].model;
    for (const QString &name :
        { HostNameRow, MapNameRow, GameDirectoryRow, GameDescriptionRow, PlayersRow, ProtocolVersionRow })
        model->appendRow({ name, NotAvailable });
}

void InfoForm::GetInfo(const QString &serverIp, qint32 serverPort)
{
    setWindowTitle(
        QStringLiteral("Server Info for ") + serverIp + QLatin1Char(':') + QString::number(serverPort));
    for (List &list : m_lists) {
        list.socket->aim(serverIp, serverPort);
        list.socket->send(list.request);
    }
}

void InfoForm::headerClicked(ListIndex which, int column)
{
    List &list = m_lists[which];
    list.model->sortByHeaderClick(column);
    list.view->header()->setSortIndicatorShown(true);
    list.view->header()->setSortIndicator(column, list.model->sortOrder());
}

void InfoForm::replyArrived(ListIndex which, const QByteArray &reply)
{
    List &list = m_lists[which];
    list.socket->close();
    switch (which) {
    case GameInfoList: {
        const protocol::InfoReply info = protocol::DecodeInfoReply(reply);
        const auto set
            = [&list](const QString &row, const QString &value) { list.model->setValueOf(row, 1, value); };
        if (info.HostName)
            set(HostNameRow, text(info.HostName));
        if (info.MapName)
            set(MapNameRow, text(info.MapName));
        if (info.GameDirectory)
            set(GameDirectoryRow, text(info.GameDirectory));
        if (info.GameDescription)
            set(GameDescriptionRow, text(info.GameDescription));
        if (info.PlayerCount && info.MaxPlayers)
            set(PlayersRow,
                QString::number(*info.PlayerCount) + QLatin1Char('/') + QString::number(*info.MaxPlayers));
        if (info.ProtocolVersion)
            set(ProtocolVersionRow, QString::number(*info.ProtocolVersion));
        break;
    }
    case RulesList:
        for (const protocol::ServerRule &rule : protocol::DecodeRulesReply(reply).Rules)
            list.model->appendRow({ protocol::Latin1(rule.Name), protocol::Latin1(rule.Value) });
        break;
    case PlayersList:
        for (const protocol::PlayerRecord &player : protocol::DecodePlayersReply(reply).Players)
            list.model->appendRow({ QString::number(player.Index), protocol::Latin1(player.Name),
                QString::number(player.Frags), protocol::FormatPlayTime(player.Time) });
        break;
    case ListCount:
        break;
    }
}

void InfoForm::refreshTarget()
{
    if (m_target < 0 || m_target >= ListCount)
        return;
    List &list = m_lists[m_target];
    list.model->clear();
    if (m_target == GameInfoList) {
        list.model->setSorting(false, list.model->sortColumn(), Qt::DescendingOrder);
        list.view->header()->setSortIndicatorShown(false);
        addGameInfoRows();
    }
    // A reply to the earlier request would add its rows a second time beside the new reply's.
    list.socket->close();
    list.socket->send(list.request);
    m_target = -1;
}

void InfoForm::copyTarget()
{
    if (m_target < 0 || m_target >= ListCount)
        return;
    m_copyBox->setPlainText(m_lists[m_target].model->copyText());
    m_copyBox->selectAll();
    ui::CopySelection(m_copyBox);
    m_target = -1;
}

} // namespace rollcall::info
