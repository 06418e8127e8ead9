#pragma once

// The results page's behaviour over widgets the main window owns: selecting and sorting the
// list, the game picture on the Launch button, the refresh of a row, and the row commands
// (launch, server information, copy, ping).

#include "results/ResultsModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeView;
class QWidget;

namespace rollcall::search {
class ServerSocket;
}
namespace rollcall::launch {
class LaunchForm;
}

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
    QLabel *total = nullptr; // lblTotal: shown while a search still queries servers
    QLineEdit *copyBox = nullptr; // txtCopy
};

class ResultsPage final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsPage)

public:
    // `executablePath` is the program-wide game path; the launch window reads and writes it.
    ResultsPage(const ResultsPageWidgets &widgets, QString *executablePath, QObject *parent);
    ~ResultsPage() override;

    // A new search: sorting off and descending, the row commands disabled, the default picture.
    void searchStarted();
    // Back to the options page: no reply may arrive any more for a query of this page.
    void tearDown();

    // The picture shown on the Launch button and its tag, the launch window's icon number.
    int launchPicture() const { return m_picture; }
    QString launchTag() const { return m_tag; }
    // The one launch window while it is open.
    launch::LaunchForm *launchWindow() const;

    void rowSelected();
    void refresh();
    void launch();
    void viewInfo();
    void copy();
    void ping();

private:
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
    void setTag(const QString &tag);
    void gameInfoArrived(const QByteArray &reply);
    void gameInfoTimedOut();
    void refreshArrived(const QByteArray &reply);

    ResultsPageWidgets m_w;
    QString *m_executablePath;
    search::ServerSocket *m_infoSocket = nullptr;
    search::ServerSocket *m_refreshSocket = nullptr;
    QTimer *m_gameInfoTimer = nullptr;
    int m_picture = 2;
    QString m_tag;
    bool m_selectionChangedByPress = false;

    // The refresh in flight: the row itself, not its position, so reordering cannot misdirect it.
    RowId m_refreshRow = 0;
    QString m_refreshPlayerName;
    QElapsedTimer m_refreshClock;

    QPointer<launch::LaunchForm> m_launchForm;
};

// The leading decimal number of a cell ("27015" -> 27015, "x" -> 0), as the port of a row.
qint32 LeadingNumber(const QString &text);

} // namespace rollcall::results
