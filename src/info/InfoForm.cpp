#include "info/InfoForm.h"

#include "info/InfoList.h"
#include "info/TextListModel.h"
#include "protocol/QueryProtocol.h"
#include "search/ServerSocket.h"
#include "ui/Sizing.h"
#include "ui/WindowHelpers.h"

#include <QIcon>
#include <QVBoxLayout>

namespace rollcall::info {

namespace {

// Translated where they are used: a translation is loaded after these are made, and the rows are
// found by their shown name.
const char *const NotAvailable = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "n/a");

// The game information rows, in their fixed order.
const char *const HostNameRow = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "Host Name");
const char *const MapNameRow = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "Map Name");
const char *const GameDirectoryRow = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "Game Directory");
const char *const GameDescriptionRow = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "Game Description");
const char *const PlayersRow = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "Players");
const char *const ProtocolVersionRow = QT_TRANSLATE_NOOP("rollcall::info::InfoForm", "Protocol Version");

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
    ui::AddCloseKeys(this);

    const Qt::Alignment left = Qt::AlignLeft;
    constexpr bool sortable = true;
    constexpr bool stretch = true;
    auto *menu = new ListMenu(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(ui::Twips(120), ui::Twips(120), ui::Twips(120), ui::Twips(120));
    layout->setSpacing(ui::Twips(105));
    const QString longestSetting = tr(GameDescriptionRow);
    addList(GameInfoList,
        new InfoList("LVGameInfo",
            { { tr("Setting"), left, 2000, longestSetting }, { tr("Value"), left, 6000, {}, stretch } },
            sortable, this),
        "WS_GameInfo", tr("Game information"));
    addList(RulesList,
        new InfoList("LVGameRules",
            { { tr("Rule"), left, 2000, QStringLiteral("mp_autoteambalance") },
                { tr("Value"), left, 6000, {}, stretch } },
            sortable, this),
        "WS_GameRules", tr("Server rules"));
    addList(PlayersList,
        new InfoList("LVPlayers",
            { { tr("ID"), left, 150, QStringLiteral("99"), false, CellKind::Number },
                { tr("Player Name"), left, 6250, QString(31, QLatin1Char('X')), stretch },
                { tr("Frags"), Qt::AlignHCenter, 400, QStringLiteral("-9999"), false, CellKind::Number },
                { tr("Time"), Qt::AlignRight, 600, QStringLiteral("100:00:00"), false, CellKind::Duration } },
            sortable, this),
        "WS_Players", tr("Players"));
    m_lists[GameInfoList].request = protocol::BuildQueryRequest(protocol::QueryKind::Info);
    m_lists[RulesList].request = protocol::BuildQueryRequest(protocol::QueryKind::Rules);
    m_lists[PlayersList].request = protocol::BuildQueryRequest(protocol::QueryKind::Players);
    for (int i = 0; i < ListCount; ++i) {
        const auto which = ListIndex(i);
        layout->addWidget(m_lists[which].view, 1);
        menu->attach(m_lists[which].view, [this, which] { refresh(which); });
    }

    // Loading: the six rows wait for a reply; only the players list selects whole rows.
    addGameInfoRows();
    ui::ToggleFullRowSelect(m_lists[PlayersList].view);
    resize(ui::Twips(9135), ui::Twips(5535));
}

InfoForm::~InfoForm() = default;

void InfoForm::addList(ListIndex which, InfoList *view, const char *socketName, const QString &accessibleName)
{
    List &list = m_lists[which];
    list.view = view;
    // The lists have no visible captions of their own; a screen reader needs a name.
    view->setAccessibleName(accessibleName);
    ui::SetDesignMinimumSize(view, 8895, 1695);
    list.socket = new search::ServerSocket(this);
    list.socket->setObjectName(QLatin1String(socketName));
    connect(list.socket, &search::ServerSocket::replyReceived, this,
        [this, which](const QByteArray &reply) { replyArrived(which, reply); });
}

void InfoForm::addGameInfoRows()
{
    TextListModel *model = m_lists[GameInfoList].view->rows();
    for (const QString &name : { tr(HostNameRow), tr(MapNameRow), tr(GameDirectoryRow),
             tr(GameDescriptionRow), tr(PlayersRow), tr(ProtocolVersionRow) })
        model->appendRow({ name, tr(NotAvailable) });
}

void InfoForm::GetInfo(const QString &serverIp, qint32 serverPort)
{
    setWindowTitle(tr("Server Info for %1:%2").arg(serverIp, QString::number(serverPort)));
    for (List &list : m_lists) {
        list.socket->aim(serverIp, serverPort);
        list.socket->send(list.request);
    }
}

void InfoForm::replyArrived(ListIndex which, const QByteArray &reply)
{
    List &list = m_lists[which];
    list.socket->close();
    switch (which) {
    case GameInfoList: {
        const protocol::InfoReply info = protocol::DecodeInfoReply(reply);
        const auto set = [&list](const QString &row, const QString &value) {
            list.view->rows()->setValueOf(row, 1, value);
        };
        if (info.HostName)
            set(tr(HostNameRow), text(info.HostName));
        if (info.MapName)
            set(tr(MapNameRow), text(info.MapName));
        if (info.GameDirectory)
            set(tr(GameDirectoryRow), text(info.GameDirectory));
        if (info.GameDescription)
            set(tr(GameDescriptionRow), text(info.GameDescription));
        if (info.PlayerCount && info.MaxPlayers)
            set(tr(PlayersRow),
                QString::number(*info.PlayerCount) + QLatin1Char('/') + QString::number(*info.MaxPlayers));
        if (info.ProtocolVersion)
            set(tr(ProtocolVersionRow), QString::number(*info.ProtocolVersion));
        break;
    }
    case RulesList:
        for (const protocol::ServerRule &rule : protocol::DecodeRulesReply(reply).Rules)
            list.view->rows()->appendRow({ protocol::Latin1(rule.Name), protocol::Latin1(rule.Value) });
        break;
    case PlayersList:
        for (const protocol::PlayerRecord &player : protocol::DecodePlayersReply(reply).Players)
            list.view->rows()->appendRow({ QString::number(player.Index), protocol::Latin1(player.Name),
                QString::number(player.Frags), protocol::FormatPlayTime(player.Time) });
        break;
    case ListCount:
        break;
    }
}

void InfoForm::refresh(ListIndex which)
{
    List &list = m_lists[which];
    list.view->rows()->clear();
    if (which == GameInfoList) {
        list.view->unsort();
        addGameInfoRows();
    }
    // A reply to the earlier request would add its rows a second time beside the new reply's.
    list.socket->close();
    list.socket->send(list.request);
}

} // namespace rollcall::info
