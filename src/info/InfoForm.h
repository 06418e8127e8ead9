#pragma once

// The server information window: game information, rules and players of one server, each
// list filled from its own query. Any number can be open; each owns its three sockets and
// is deleted when closed, so a reply still on its way is simply never read.

#include "search/SearchCriteria.h"

#include <QWidget>
#include <array>

namespace rollcall::search {
class A2sExchange;
class ServerSocket;
} // namespace rollcall::search

namespace rollcall::info {

class InfoList;

class InfoForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InfoForm)

public:
    explicit InfoForm(QWidget *parent = nullptr);
    ~InfoForm() override;

    // `queries` are those of the search that listed the server: A2S servers are asked with
    // A2S, challenges included, and their text is read as UTF-8.
    void GetInfo(const QString &serverIp, qint32 serverPort,
        search::ServerQueries queries = search::ServerQueries::Legacy);

private:
    enum ListIndex { GameInfoList, RulesList, PlayersList, ListCount };
    struct List
    {
        InfoList *view = nullptr;
        search::ServerSocket *socket = nullptr;
        QByteArray request;
        search::A2sExchange *exchange = nullptr; // Steam mode only
    };

    void addList(ListIndex which, InfoList *view, const char *socketName, const QString &accessibleName);
    void addGameInfoRows();
    void replyArrived(ListIndex which, const QByteArray &reply);
    void refresh(ListIndex which);
    void ask(ListIndex which);
    void steamReplyArrived(ListIndex which, const QByteArray &reply);
    void showSteamInfo(const QByteArray &reply);

    std::array<List, ListCount> m_lists;
    QString m_serverIp;
    qint32 m_serverPort = 0;
};

} // namespace rollcall::info
