#pragma once

// The launch window: asks the server for its game directory, then starts the game client
// connected to it, or hands Steam a link to join the server. One exists at a time; closing it unloads it, and
// the next launch builds it afresh from the program-wide executable path.

#include "search/SearchCriteria.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace rollcall::search {
class A2sExchange;
class ServerSocket;
} // namespace rollcall::search
namespace rollcall::info {
class InfoList;
}

namespace rollcall::launch {

class ExecutablePath;

class LaunchForm final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LaunchForm)

public:
    // `executablePath` is the program-wide path: shown now, written after a successful start.
    explicit LaunchForm(ExecutablePath *executablePath, QWidget *parent = nullptr);
    ~LaunchForm() override;

    // A server of a search that used A2S is asked with it (challenges included) and its text read
    // as UTF-8; the game directory it gives goes through the same guard before a launch.
    void GetInfo(const QString &serverIp, qint32 serverPort,
        search::ServerQueries queries = search::ServerQueries::Legacy);

public Q_SLOTS:
    void reject() override;

private:
    void buildControls();
    void addInfoRows();
    void launch();
    bool joinThroughSteam();
    void joinChosen();
    void browse();
    void toggleInfo();
    void replyArrived(const QByteArray &reply);
    void steamReplyArrived(const QByteArray &reply);
    void refresh();
    void ask();

    ExecutablePath *m_executablePath;
    QPushButton *m_launch = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_info = nullptr;
    info::InfoList *m_list = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_browse = nullptr;
    QCheckBox *m_joinSteam = nullptr;
    search::ServerSocket *m_socket = nullptr;
    search::A2sExchange *m_exchange = nullptr; // while the server is a Steam-mode one
    QString m_serverIp;
    qint32 m_serverPort = 0;
};

} // namespace rollcall::launch
