#include "info/InfoForm.h"

#include "info/InfoList.h"
#include "info/TextListModel.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "search/A2sExchange.h"
#include "search/ServerSocket.h"
#include "ui/Sizing.h"
#include "ui/WindowHelpers.h"

#include <QIcon>
#include <QVBoxLayout>
#include <utility>

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

// Each round of a Steam question waits this long; a server silent through it keeps "n/a", as a
// legacy server that never answers does.
constexpr int SteamRoundMs = 3000;

QString yesNo(bool on)
{
    return on ? InfoForm::tr("Yes") : InfoForm::tr("No");
}

QString serverTypeText(char type)
{
    switch (type) {
    case 'd':
        return InfoForm::tr("Dedicated");
    case 'l':
        return InfoForm::tr("Listen");
    case 'p':
        return InfoForm::tr("Proxy");
    default:
        return QString(QChar::fromLatin1(type));
    }
}

QString operatingSystemText(char system)
{
    switch (system) {
    case 'l':
        return InfoForm::tr("Linux");
    case 'w':
        return InfoForm::tr("Windows");
    case 'm':
    case 'o': // servers use either letter for it
        return InfoForm::tr("Mac");
    default:
        return QString(QChar::fromLatin1(system));
    }
}

// What only an A2S info reply tells, in this order, each row only when the reply holds it.
QList<QStringList> steamOnlyRows(const protocol::A2sInfo &info)
{
    QList<QStringList> rows;
    if (info.Bots)
        rows.append({ InfoForm::tr("Bots"), QString::number(*info.Bots) });
    if (info.ServerType)
        rows.append({ InfoForm::tr("Server Type"), serverTypeText(*info.ServerType) });
    if (info.OperatingSystem)
        rows.append({ InfoForm::tr("Operating System"), operatingSystemText(*info.OperatingSystem) });
    if (info.Password)
        rows.append({ InfoForm::tr("Password"), yesNo(*info.Password) });
    if (info.Secure)
        rows.append({ InfoForm::tr("Secure (VAC)"), yesNo(*info.Secure) });
    if (info.Version)
        rows.append({ InfoForm::tr("Version"), protocol::Utf8(*info.Version) });
    return rows;
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
    // The setting column fits the longest caption, the Steam mode's own among them.
    QString longestSetting = tr(GameDescriptionRow);
    for (const QString &caption : { tr("Operating System"), tr("Secure (VAC)"), tr("Server Type") }) {
        if (fontMetrics().horizontalAdvance(caption) > fontMetrics().horizontalAdvance(longestSetting))
            longestSetting = caption;
    }
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

void InfoForm::GetInfo(const QString &serverIp, qint32 serverPort, search::ServerQueries queries)
{
    setWindowTitle(tr("Server Info for %1:%2").arg(serverIp, QString::number(serverPort)));
    m_serverIp = serverIp;
    m_serverPort = serverPort;
    for (int i = 0; i < ListCount; ++i) {
        List &list = m_lists[i];
        if (queries == search::ServerQueries::A2s && !list.exchange) {
            list.exchange = new search::A2sExchange(this);
            list.exchange->setObjectName(
                list.socket->objectName().replace(QLatin1String("WS_"), QLatin1String("A2S_")));
            connect(list.exchange, &search::A2sExchange::answered, this,
                [this, which = ListIndex(i)](const QByteArray &reply) { steamReplyArrived(which, reply); });
        } else if (queries == search::ServerQueries::Legacy && list.exchange) {
            delete std::exchange(list.exchange, nullptr);
        }
        list.socket->aim(serverIp, serverPort);
        ask(ListIndex(i));
    }
}

void InfoForm::ask(ListIndex which)
{
    List &list = m_lists[which];
    if (list.exchange) {
        const search::A2sExchange::Kind kind = which == RulesList ? search::A2sExchange::Kind::Rules
            : which == PlayersList                                ? search::A2sExchange::Kind::Players
                                                                  : search::A2sExchange::Kind::Info;
        list.exchange->start(m_serverIp, m_serverPort, kind, SteamRoundMs);
        return;
    }
    // A reply to the earlier request would add its rows a second time beside the new reply's.
    list.socket->close();
    list.socket->send(list.request);
}

void InfoForm::steamReplyArrived(ListIndex which, const QByteArray &reply)
{
    TextListModel *rows = m_lists[which].view->rows();
    switch (which) {
    case GameInfoList:
        showSteamInfo(reply);
        break;
    case RulesList:
        for (const protocol::ServerRule &rule : protocol::DecodeRulesReply(reply).Rules)
            rows->appendRow({ protocol::Utf8(rule.Name), protocol::Utf8(rule.Value) });
        break;
    case PlayersList:
        for (const protocol::PlayerRecord &player : protocol::DecodePlayersReply(reply).Players)
            rows->appendRow({ QString::number(player.Index), protocol::Utf8(player.Name),
                QString::number(player.Frags), protocol::FormatPlayTime(player.Time) });
        break;
    case ListCount:
        break;
    }
}

void InfoForm::showSteamInfo(const QByteArray &reply)
{
    const protocol::A2sInfo info = protocol::DecodeA2sInfo(reply);
    TextListModel *rows = m_lists[GameInfoList].view->rows();
    const auto set = [rows](const QString &row, const std::optional<QByteArray> &value) {
        if (value)
            rows->setValueOf(row, 1, protocol::Utf8(*value));
    };
    set(tr(HostNameRow), info.HostName);
    set(tr(MapNameRow), info.MapName);
    set(tr(GameDirectoryRow), info.GameDirectory);
    set(tr(GameDescriptionRow), info.GameDescription);
    if (info.PlayerCount && info.MaxPlayers)
        rows->setValueOf(tr(PlayersRow), 1,
            QString::number(*info.PlayerCount) + QLatin1Char('/') + QString::number(*info.MaxPlayers));
    if (info.ProtocolVersion)
        rows->setValueOf(tr(ProtocolVersionRow), 1, QString::number(*info.ProtocolVersion));
    for (const QStringList &row : steamOnlyRows(info))
        rows->appendRow(row);
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
    ask(which);
}

} // namespace rollcall::info
