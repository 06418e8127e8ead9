#pragma once

// The launch window: asks the server for its game directory, then starts the game client
// connected to it. One exists at a time; closing it unloads it, and the next launch builds
// it afresh from the program-wide executable path.

#include <QDialog>

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

namespace rollcall::search {
class ServerSocket;
}
namespace rollcall::info {
class TextListModel;
}

namespace rollcall::launch {

class LaunchForm final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LaunchForm)

public:
    // `executablePath` is the program-wide path: read now, written after a successful start.
    explicit LaunchForm(QString *executablePath, QWidget *parent = nullptr);
    ~LaunchForm() override;

    void GetInfo(const QString &serverIp, qint32 serverPort);

    bool isExpanded() const;

public Q_SLOTS:
    void reject() override;

private:
    void addInfoRows();
    void launch();
    void browse();
    void toggleInfo();
    void replyArrived(const QByteArray &reply);
    void refresh();
    void copy();

    QString *m_executablePath;
    QPushButton *m_launch = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_info = nullptr;
    QTreeView *m_list = nullptr;
    info::TextListModel *m_model = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_browse = nullptr;
    search::ServerSocket *m_socket = nullptr;
    QMenu *m_menu = nullptr;
    QPlainTextEdit *m_copyBox = nullptr;
};

} // namespace rollcall::launch
