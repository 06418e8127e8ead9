#pragma once

// The server information window: game information, rules and players of one server, each
// list filled from its own query. Any number can be open; each owns its three sockets and
// is deleted when closed, so a reply still on its way is simply never read.

#include <QWidget>
#include <array>

namespace rollcall::search {
class ServerSocket;
}

namespace rollcall::info {

class InfoList;

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
        InfoList *view = nullptr;
        search::ServerSocket *socket = nullptr;
        QByteArray request;
    };

    void addList(ListIndex which, InfoList *view, const char *socketName, const QString &accessibleName);
    void addGameInfoRows();
    void replyArrived(ListIndex which, const QByteArray &reply);
    void refresh(ListIndex which);

    std::array<List, ListCount> m_lists;
};

} // namespace rollcall::info
