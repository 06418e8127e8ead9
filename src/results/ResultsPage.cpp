#include "results/ResultsPage.h"

#include "info/InfoForm.h"
#include "launch/ExecutablePath.h"
#include "launch/LaunchForm.h"
#include "ping/Ping.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "search/A2sExchange.h"
#include "search/ServerListFileReader.h"
#include "search/ServerSocket.h"
#include "ui/CutTextTips.h"
#include "ui/Icons.h"
#include "ui/ListFileTexts.h"
#include "ui/PingTexts.h"
#include "ui/Seams.h"
#include "ui/Sizing.h"
#include "ui/WindowHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <array>
#include <chrono>

namespace rollcall::results {

using namespace std::chrono_literals;
using search::ResultRow;

namespace {

// A round of a Steam question waits as long as the game check's whole legacy query may; the
// refresh, like the legacy one, is worth a longer wait for a slow server.
constexpr int SteamGameRoundMs = 1500;
constexpr int SteamRefreshRoundMs = 3000;

// The Launch button shows the game the selected server runs; the launch window takes the
// game's small icon. A game not listed shows Half-Life's.
struct GamePictures
{
    const char *directory;
    int picture;
    int windowIcon;
};

constexpr std::array GamesWithPictures = {
    GamePictures { "tfc", ui::TeamFortressPicture, ui::TeamFortressPicture },
    GamePictures { "cstrike", ui::CounterStrikePicture, ui::CounterStrikeWindowIcon },
    GamePictures { "dmc", ui::DeathmatchClassicPicture, ui::DeathmatchClassicWindowIcon },
};

// Each column starts wide enough for its caption with the sort indicator and for a usual cell:
// a 5-digit port, a 4-digit ping, 100 hours of play, a 31-character name. The name takes the
// width the window gains.
QList<ui::ColumnFit> resultColumns()
{
    return { { 1500, QStringLiteral("255.255.255.255") }, { 400, QStringLiteral("65535") },
        { 400, QStringLiteral("9999") }, { 2450, QString(31, QLatin1Char('X')) },
        { 400, QStringLiteral("-9999") }, { 600, QStringLiteral("100:00:00") } };
}

// Notes whether a mouse press changed the selection, so that its click is not handled twice.
class PressWatcher final : public QObject
{
public:
    PressWatcher(QObject *parent, bool *flag)
        : QObject(parent)
        , m_flag(flag)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            *m_flag = false;
        return QObject::eventFilter(watched, event);
    }

private:
    bool *m_flag;
};

} // namespace

qint32 LeadingNumber(const QString &text)
{
    qint64 value = 0;
    for (const QChar c : text.trimmed()) {
        if (!c.isDigit() || c.unicode() > u'9')
            break;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<qint32>::max())
            return 0;
    }
    return qint32(value);
}

ResultsPage::ResultsPage(
    const ResultsPageWidgets &widgets, launch::ExecutablePath *executablePath, QObject *parent)
    : QObject(parent)
    , m_w(widgets)
    , m_executablePath(executablePath)
{
    m_infoSocket = new search::ServerSocket(this);
    m_infoSocket->setObjectName(QStringLiteral("WS_GameInfo"));
    m_refreshSocket = new search::ServerSocket(this);
    m_refreshSocket->setObjectName(QStringLiteral("WS_RefreshServer"));
    m_gameInfoTimer = new QTimer(this);
    m_gameInfoTimer->setObjectName(QStringLiteral("GameInfoTimer"));
    m_gameInfoTimer->setSingleShot(true);
    m_gameInfoTimer->setInterval(1500ms);

    connect(m_infoSocket, &search::ServerSocket::replyReceived, this, &ResultsPage::gameInfoArrived);
    connect(m_refreshSocket, &search::ServerSocket::replyReceived, this, &ResultsPage::refreshArrived);
    connect(m_gameInfoTimer, &QTimer::timeout, this, &ResultsPage::gameInfoTimedOut);
    m_steamGame = new search::A2sExchange(this);
    m_steamGame->setObjectName(QStringLiteral("A2S_GameInfo"));
    m_steamRefresh = new search::A2sExchange(this);
    m_steamRefresh->setObjectName(QStringLiteral("A2S_RefreshServer"));
    connect(m_steamGame, &search::A2sExchange::answered, this, &ResultsPage::steamGameArrived);
    connect(m_steamRefresh, &search::A2sExchange::answered, this, &ResultsPage::steamRefreshArrived);

    ui::FitColumns(m_w.list, resultColumns(), ResultRow::PlayerName);
    m_w.list->setItemDelegate(new ui::CutTextTips(m_w.list));
    // The list sorts only through the header rule below, never by the view's own toggling.
    m_w.list->setSortingEnabled(false);
    m_w.list->header()->setSectionsClickable(true);
    m_w.model->setSorting(false, m_w.model->sortColumn(), Qt::DescendingOrder);
    connect(m_w.list->header(), &QHeaderView::sectionClicked, this, &ResultsPage::headerClicked);
    connect(m_w.list, &QAbstractItemView::doubleClicked, this, [this] {
        if (m_w.viewInfo->isEnabled())
            refresh();
    });
    // A click on the row already selected counts as a selection too; a press that changed the
    // selection has been handled by then.
    m_w.list->viewport()->installEventFilter(new PressWatcher(this, &m_selectionChangedByPress));
    connect(m_w.list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_w.list->selectionModel()->hasSelection())
            return;
        m_selectionChangedByPress = true;
        rowSelected();
    });
    connect(m_w.list, &QAbstractItemView::clicked, this, [this] {
        if (!m_selectionChangedByPress)
            rowSelected();
        m_selectionChangedByPress = false;
    });

    connect(m_w.stop, &QPushButton::clicked, this, [this] {
        runEnded();
        Q_EMIT stopRequested();
    });
    connect(m_w.refresh, &QPushButton::clicked, this, &ResultsPage::refresh);
    connect(m_w.launch, &QPushButton::clicked, this, &ResultsPage::launch);
    connect(m_w.viewInfo, &QPushButton::clicked, this, &ResultsPage::viewInfo);
    connect(m_w.copy, &QPushButton::clicked, this, &ResultsPage::copy);
    connect(m_w.ping, &QPushButton::clicked, this, &ResultsPage::ping);

    // Right click or the menu key on a row: the row's commands, each doing what its button does.
    m_w.list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_w.list, &QWidget::customContextMenuRequested, this, &ResultsPage::showRowMenu);

    for (QPushButton *button : { m_w.viewInfo, m_w.refresh, m_w.ping, m_w.copy, m_w.stop, m_w.launch })
        button->setEnabled(false);
    setLaunchPicture(ui::HalfLifePicture);
    setTag(ui::HalfLifeWindowIcon);
}

ResultsPage::~ResultsPage() = default;

launch::LaunchForm *ResultsPage::launchWindow() const
{
    return m_launchForm;
}

void ResultsPage::searchStarted(search::ServerQueries queries)
{
    m_queries = queries;
    m_w.model->setSorting(false, m_w.model->sortColumn(), Qt::DescendingOrder);
    m_w.list->header()->setSortIndicatorShown(false);
    for (QPushButton *button : { m_w.viewInfo, m_w.refresh, m_w.ping, m_w.copy, m_w.stop, m_w.launch })
        button->setEnabled(false);
    setLaunchPicture(ui::HalfLifePicture);
    m_runActive = true;
}

void ResultsPage::runEnded()
{
    m_runActive = false;
    m_w.stop->setEnabled(false);
}

void ResultsPage::tearDown()
{
    runEnded();
    m_refreshSocket->close();
    m_infoSocket->close();
    m_steamRefresh->abort();
    m_steamGame->abort();
    m_gameInfoTimer->stop();
}

std::optional<ResultsPage::SelectedServer> ResultsPage::selectedServer() const
{
    const QItemSelectionModel *selection = m_w.list->selectionModel();
    if (!selection)
        return std::nullopt;
    const QModelIndexList indexes = selection->selectedIndexes();
    if (indexes.isEmpty())
        return std::nullopt;
    SelectedServer server;
    server.id = m_w.model->rowId(indexes.constFirst().row());
    const std::optional<ResultRow> cells = m_w.model->rowById(server.id);
    if (!cells)
        return std::nullopt;
    server.address = cells->cell(ResultRow::ServerIp);
    server.portText = cells->cell(ResultRow::Port);
    server.port = LeadingNumber(server.portText);
    return server;
}

void ResultsPage::rowSelected()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    for (QPushButton *button : { m_w.viewInfo, m_w.refresh, m_w.ping, m_w.copy, m_w.launch })
        button->setEnabled(true);
    m_w.stop->setEnabled(m_runActive);
    askGame(*server);
}

void ResultsPage::askGame(const SelectedServer &server)
{
    const bool steam = m_queries == search::ServerQueries::A2s;
    // The server that answered the last info query, on the port last asked: nothing new to learn.
    if (steam && m_steamGameTold && server.port == m_steamGamePort && server.address == m_steamGameAddress)
        return;
    if (!steam && server.port == m_infoSocket->aimedPort()
        && server.address == m_infoSocket->lastSenderAddress())
        return;
    setLaunchPicture(ui::BlankPicture);
    setTag(ui::HalfLifeWindowIcon);
    m_gameInfoTimer->start();
    m_infoSocket->close();
    if (steam) {
        m_steamGameAddress = server.address;
        m_steamGamePort = server.port;
        m_steamGameTold = false;
        m_steamGame->start(server.address, server.port, search::A2sExchange::Kind::Info, SteamGameRoundMs);
        return;
    }
    m_steamGame->abort();
    m_infoSocket->aim(server.address, server.port);
    m_infoSocket->send(protocol::BuildQueryRequest(protocol::QueryKind::Info));
}

void ResultsPage::headerClicked(int column)
{
    if (!m_w.viewInfo->isEnabled())
        return;
    const Qt::SortOrder order
        = m_w.model->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_w.model->setSorting(true, column, order);
    m_w.list->header()->setSortIndicatorShown(true);
    m_w.list->header()->setSortIndicator(column, order);
}

void ResultsPage::setLaunchPicture(int picture)
{
    m_picture = picture;
    QIcon icon;
    icon.addPixmap(ui::IconPixmap(picture, 32), QIcon::Normal);
    icon.addPixmap(ui::IconPixmap(ui::HalfLifePicture, 32), QIcon::Disabled);
    m_w.launch->setIcon(icon);
    m_w.launch->setProperty("picture", picture);
}

void ResultsPage::setTag(int tag)
{
    m_tag = tag;
    m_w.launch->setProperty("tag", launchTag());
}

void ResultsPage::gameInfoArrived(const QByteArray &reply)
{
    m_infoSocket->close();
    m_gameInfoTimer->stop();
    showGame(protocol::DecodeInfoReply(reply).GameDirectory);
}

void ResultsPage::steamGameArrived(const QByteArray &reply)
{
    m_gameInfoTimer->stop();
    m_steamGameTold = true;
    showGame(protocol::DecodeA2sInfo(reply).GameDirectory);
}

void ResultsPage::showGame(const std::optional<QByteArray> &directory)
{
    // A reply cut before the directory leaves the blank picture: the server said nothing usable.
    if (!directory)
        return;
    const QByteArray game = directory->toLower();
    for (const GamePictures &known : GamesWithPictures) {
        if (game == known.directory) {
            setLaunchPicture(known.picture);
            setTag(known.windowIcon);
            return;
        }
    }
    setLaunchPicture(ui::HalfLifePicture);
}

void ResultsPage::gameInfoTimedOut()
{
    m_gameInfoTimer->stop();
    m_infoSocket->close();
    m_steamGame->abort();
    setLaunchPicture(ui::HalfLifePicture);
}

void ResultsPage::refresh()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    m_refreshClock.start();
    m_refreshRow = server->id;
    m_refreshPlayerName = m_w.model->rowById(server->id).value_or(ResultRow {}).cell(ResultRow::PlayerName);
    m_refreshSocket->close();
    if (m_queries == search::ServerQueries::A2s) {
        m_steamRefresh->start(
            server->address, server->port, search::A2sExchange::Kind::Players, SteamRefreshRoundMs);
        return;
    }
    m_steamRefresh->abort();
    m_refreshSocket->aim(server->address, server->port);
    m_refreshSocket->send(protocol::BuildQueryRequest(protocol::QueryKind::Players));
}

void ResultsPage::refreshArrived(const QByteArray &reply)
{
    m_refreshSocket->close();
    applyRefresh(protocol::DecodePlayersReply(reply), QString::number(m_refreshClock.elapsed()));
}

void ResultsPage::steamRefreshArrived(const QByteArray &reply, int pingMs)
{
    // The round that was answered: a challenge round before it is no part of the server's ping.
    applyRefresh(protocol::DecodePlayersReply(reply), QString::number(pingMs));
}

void ResultsPage::applyRefresh(const protocol::PlayersReply &players, const QString &ping)
{
    if (m_w.model->rowOf(m_refreshRow) < 0)
        return;
    const bool steam = m_queries == search::ServerQueries::A2s;
    for (const protocol::PlayerRecord &player : players.Players) {
        // The row shows the name as the search decoded it: UTF-8 from Steam servers.
        if ((steam ? protocol::Utf8(player.Name) : protocol::Latin1(player.Name)) != m_refreshPlayerName)
            continue;
        m_w.model->setCell(m_refreshRow, ResultRow::Ping, ping);
        m_w.model->setCell(m_refreshRow, ResultRow::Frags, QString::number(player.Frags));
        m_w.model->setCell(m_refreshRow, ResultRow::Time, protocol::FormatPlayTime(player.Time));
        return;
    }
    // A reply cut off before the player could still hold them: only a whole one says "gone".
    if (!players.Complete)
        return;
    m_w.model->setCell(m_refreshRow, ResultRow::Ping, ping);
    m_w.model->setCell(m_refreshRow, ResultRow::Frags, QStringLiteral("-"));
    m_w.model->setCell(m_refreshRow, ResultRow::Time, QStringLiteral("-"));
}

void ResultsPage::launch()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    if (!m_launchForm)
        m_launchForm = new launch::LaunchForm(m_executablePath, m_w.window);
    m_launchForm->GetInfo(server->address, server->port, m_queries);
    m_launchForm->setWindowIcon(ui::Icon(m_tag));
    // Modal without a nested event loop: the main window takes no input until it closes.
    m_launchForm->setWindowModality(Qt::ApplicationModal);
    m_launchForm->show();
    m_launchForm->raise();
    m_launchForm->activateWindow();
}

void ResultsPage::viewInfo()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    auto *window = new info::InfoForm(m_w.window);
    window->GetInfo(server->address, server->port, m_queries);
    window->show();
}

void ResultsPage::copy()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    m_w.copyBox->setText(server->address + QLatin1Char(':') + server->portText);
    m_w.copyBox->setSelection(0, int(m_w.copyBox->text().size()));
    ui::CopySelection(m_w.copyBox);
}

void ResultsPage::showRowMenu(const QPoint &at)
{
    // A right click selects the row under it first; the menu key acts on the selected row.
    const QModelIndex under = m_w.list->indexAt(at);
    if (under.isValid())
        m_w.list->selectionModel()->select(
            under, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!selectedServer())
        return;
    QPoint where = at;
    if (!under.isValid()) {
        const QModelIndexList rows = m_w.list->selectionModel()->selectedRows();
        where = m_w.list->visualRect(rows.constFirst()).center();
    }
    auto *menu = new QMenu(m_w.list);
    menu->setObjectName(QStringLiteral("RowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [menu, this](const QString &text, const char *name, void (ResultsPage::*command)()) {
        QAction *action = menu->addAction(text, this, command);
        action->setObjectName(QLatin1String(name));
    };
    add(tr("&Refresh"), "actRefresh", &ResultsPage::refresh);
    add(tr("&View Info..."), "actViewInfo", &ResultsPage::viewInfo);
    add(tr("&Launch..."), "actLaunch", &ResultsPage::launch);
    add(tr("&Ping Server"), "actPing", &ResultsPage::ping);
    menu->addSeparator();
    add(tr("&Copy address"), "actCopyAddress", &ResultsPage::copy);
    add(tr("Copy &Steam link"), "actCopySteamLink", &ResultsPage::copySteamLink);
    add(tr("Copy player &name"), "actCopyPlayerName", &ResultsPage::copyPlayerName);
    menu->addSeparator();
    add(tr("&Add server to list file"), "actAddToListFile", &ResultsPage::addToListFile);
    menu->popup(m_w.list->viewport()->mapToGlobal(where));
}

void ResultsPage::copySteamLink()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (server)
        QGuiApplication::clipboard()->setText(QStringLiteral("steam://connect/") + server->address
            + QLatin1Char(':') + QString::number(server->port));
}

void ResultsPage::copyPlayerName()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (server)
        QGuiApplication::clipboard()->setText(
            m_w.model->rowById(server->id).value_or(ResultRow {}).cell(ResultRow::PlayerName));
}

void ResultsPage::addToListFile()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    if (m_serverListFile.isEmpty()) {
        const QString chosen = ui::seams().chooseFile(m_w.window, tr("Add Server to List File"), QString(),
            QString(), tr("Server lists (*.txt *.lst);;All files (*)"));
        if (chosen.isEmpty())
            return;
        m_serverListFile = chosen;
        Q_EMIT serverListFileChosen(chosen);
    }
    const search::ListFileAddResult result
        = search::AddServerToListFile(m_serverListFile, { server->address, server->port });
    if (result.end == search::ListFileAddEnd::Added || result.end == search::ListFileAddEnd::AlreadyListed)
        return;
    ui::seams().showMessage(m_w.window, ui::ListFileAddMessage(result, m_serverListFile));
}

void ResultsPage::ping()
{
    const std::optional<SelectedServer> server = selectedServer();
    if (!server)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ping::PingResult result
        = ping::pinger()(server->address, [this](const ping::SocketsFailure &failure) {
              ui::seams().showMessage(m_w.window, ui::SocketsFailureMessage(failure));
          });
    QApplication::restoreOverrideCursor();
    if (result.status == ping::Status::Success)
        m_w.model->setCell(server->id, ResultRow::Ping, QString::number(result.roundTrip));
    else if (result.status == ping::Status::RequestTimedOut)
        m_w.model->setCell(server->id, ResultRow::Ping, QStringLiteral("9999"));
    else if (result.status != ping::Status::SocketsUnavailable)
        ui::seams().showMessage(
            m_w.window, { ui::UserMessage::Icon::Exclamation, tr("Ping error: %1").arg(result.statusText) });
}

} // namespace rollcall::results
