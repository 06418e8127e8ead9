#pragma once

// The server information window: game information, rules and players of one server, each
// list filled from its own query. Any number can be open; each owns its three sockets and
// is deleted when closed, so a reply still on its way is simply never read.

#include <QPointer>
#include <QWidget>
#include <array>

class QMenu;
class QPlainTextEdit;
class QTreeView;

namespace rollcall::search {
class ServerSocket;
}

namespace rollcall::info {

class TextListModel;

class InfoForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InfoForm)

public:
    explicit InfoForm(QWidget *parent = nullptr);
    ~InfoForm() override;

    void GetInfo(const QString &serverIp, qint32 serverPort);

private:
    enum ListIndex { GameInfoList, RulesList, PlayersList, ListCount };
    struct List
    {
        QTreeView *view = nullptr;
        TextListModel *model = nullptr;
        search::ServerSocket *socket = nullptr;
        QByteArray request;
    };

    struct ColumnSpec
    {
        QString caption;
        Qt::Alignment alignment;
        int widthTwips = 0;
    };

    void buildList(
        ListIndex which, const char *name, const char *socketName, int top, const QList<ColumnSpec> &columns);
    void addGameInfoRows();
    void headerClicked(ListIndex which, int column);
    void replyArrived(ListIndex which, const QByteArray &reply);
    void refreshTarget();
    void copyTarget();

    std::array<List, ListCount> m_lists;
    QMenu *m_menu = nullptr;
    QPlainTextEdit *m_copyBox = nullptr;
    int m_target = -1;
};

} // namespace rollcall::info
