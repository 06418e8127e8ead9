#pragma once

// The results page's behaviour over widgets the main window owns: selecting and sorting the
// list, the game picture on the Launch button, the refresh of a row, the row commands
// (launch, server information, copy, ping) and the Stop button.

#include "results/ResultsModel.h"
#include "search/SearchCriteria.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;
class QPushButton;
class QTimer;
class QTreeView;
class QWidget;

namespace rollcall::protocol {
struct PlayersReply;
}
namespace rollcall::search {
class A2sExchange;
class ServerSocket;
} // namespace rollcall::search
namespace rollcall::launch {
class ExecutablePath;
class LaunchForm;
} // namespace rollcall::launch

namespace rollcall::results {

struct ResultsPageWidgets
{
    QWidget *window = nullptr;
    QTreeView *list = nullptr;
    ResultsModel *model = nullptr;
    QPushButton *launch = nullptr; // Command1
    QPushButton *refresh = nullptr; // Command4
    QPushButton *stop = nullptr; // Command5
    QPushButton *viewInfo = nullptr; // Command6
    QPushButton *copy = nullptr; // Command7
    QPushButton *ping = nullptr; // Command8
    QLineEdit *copyBox = nullptr; // txtCopy
};

class ResultsPage final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsPage)

public:
    // `executablePath` is the program-wide game path; the launch window reads and writes it.
    ResultsPage(const ResultsPageWidgets &widgets, launch::ExecutablePath *executablePath, QObject *parent);
    ~ResultsPage() override;

    // A new search: sorting off and descending, the row commands disabled, the default picture.
    // The run is active: a selection makes Stop available. The rows that follow come from
    // servers answering `queries`, and every command asks them with those.
    void searchStarted(search::ServerQueries queries = search::ServerQueries::Legacy);
    // The run has ended (its last query is done, or it was stopped): Stop is off for good.
    void runEnded();
    // Back to the options page: the run has ended, and no reply may arrive any more for a query
    // of this page.
    void tearDown();

    // The picture shown on the Launch button and its tag, the launch window's icon number.
    int launchPicture() const { return m_picture; }
    QString launchTag() const { return QString::number(m_tag); }
    // The one launch window while it is open.
    launch::LaunchForm *launchWindow() const;

    void rowSelected();
    void refresh();
    void launch();
    void viewInfo();
    void copy();
    void ping();
    // The row menu's own commands: the address as a link Steam opens, and the player's name.
    void copySteamLink();
    void copyPlayerName();
    // Appends the selected server to the user's server list file, once. Without a file set, the
    // user chooses one first, and it is kept for the next time.
    void addToListFile();
    void setServerListFile(const QString &path) { m_serverListFile = path; }
    QString serverListFile() const { return m_serverListFile; }

Q_SIGNALS:
    // The user pressed Stop; the button is already off.
    void stopRequested();
    // The user chose a server list file to add servers to: worth remembering beyond this page.
    void serverListFileChosen(const QString &path);

private:
    void showRowMenu(const QPoint &at);
    struct SelectedServer
    {
        RowId id = 0;
        QString address;
        QString portText;
        qint32 port = 0;
    };

    std::optional<SelectedServer> selectedServer() const;
    void headerClicked(int column);
    void setLaunchPicture(int picture);
    void setTag(int tag);
    void gameInfoArrived(const QByteArray &reply);
    void gameInfoTimedOut();
    void refreshArrived(const QByteArray &reply);
    void askGame(const SelectedServer &server);
    void showGame(const std::optional<QByteArray> &directory);
    void steamGameArrived(const QByteArray &reply);
    void steamRefreshArrived(const QByteArray &reply, int pingMs);
    void applyRefresh(const protocol::PlayersReply &players, const QString &ping);

    ResultsPageWidgets m_w;
    launch::ExecutablePath *m_executablePath;
    search::ServerSocket *m_infoSocket = nullptr;
    search::ServerSocket *m_refreshSocket = nullptr;
    QTimer *m_gameInfoTimer = nullptr;
    search::ServerQueries m_queries = search::ServerQueries::Legacy;
    // Steam mode's questions, with their challenge rounds. The server whose game was last told,
    // as the legacy socket remembers it for its own.
    search::A2sExchange *m_steamGame = nullptr;
    search::A2sExchange *m_steamRefresh = nullptr;
    QString m_steamGameAddress;
    qint32 m_steamGamePort = 0;
    bool m_steamGameTold = false;
    int m_picture = 0;
    int m_tag = 0;
    bool m_runActive = false;
    bool m_selectionChangedByPress = false;
    QString m_serverListFile;

    // The refresh in flight: the row itself, not its position, so reordering cannot misdirect it.
    RowId m_refreshRow = 0;
    QString m_refreshPlayerName;
    QElapsedTimer m_refreshClock;

    QPointer<launch::LaunchForm> m_launchForm;
};

// The leading decimal number of a cell ("27015" -> 27015, "x" -> 0), as the port of a row.
qint32 LeadingNumber(const QString &text);

} // namespace rollcall::results
