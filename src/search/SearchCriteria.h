#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace rollcall::search {

// One name slot of the options page. Names are kept as the bytes servers use (Latin-1).
struct NameSlot
{
    bool EnableSearch = false;
    bool UseWildcards = false;
    QByteArray PlayerName;

    friend bool operator==(const NameSlot &, const NameSlot &) = default;
};

// Where the list of servers comes from, and so which queries the servers answer.
enum class ListProtocol {
    Legacy, // the Half-Life master's paged list; the "players" text query
    Steam, // the Steam master's seed-paged list; A2S queries with challenges, UTF-8 names
    WebApi, // the Steam Web API's JSON list, with the user's key; A2S queries, as Steam
    ListFile, // the user's own file of host:port lines; the queries chosen beside it
};

// Which queries the servers of a list file are asked with: they carry no protocol of their own.
enum class ServerQueries {
    Legacy, // the "players" text query
    A2s, // A2S with challenges
};

// Where the Steam Web API is asked unless the user names another base (a loopback test server).
inline const char *const DefaultWebApiUrl = "https://api.steampowered.com";

// The options of one run, captured when it starts; the options page is disabled meanwhile.
struct SearchCriteria
{
    ListProtocol Protocol = ListProtocol::Legacy;
    quint8 Region = 255; // Steam master only: the region byte, 255 for the whole world
    std::array<NameSlot, 2> Slots;
    QString GameFilter;
    QString MapFilter;
    QString MasterServer;
    bool EnableMaxServers = false;
    qint32 MaxServerAmount = 5000;
    int MaxConnections = 80; // 1 to 99
    int QueryTimeout = 1000; // milliseconds, 1 to 99999
    // Web API only. The key lives in the keyring and in this run's criteria, nowhere else.
    QString WebApiUrl = QString::fromLatin1(DefaultWebApiUrl);
    QString ApiKey;
    // List file only: the file's path, and how its servers are asked.
    QString ServerListFile;
    ServerQueries ListFileQueries = ServerQueries::Legacy;

    friend bool operator==(const SearchCriteria &, const SearchCriteria &) = default;
};

// The queries a run's servers answer, and so what its rows are asked again with.
inline ServerQueries QueriesOf(const SearchCriteria &criteria)
{
    switch (criteria.Protocol) {
    case ListProtocol::Legacy:
        return ServerQueries::Legacy;
    case ListProtocol::Steam:
    case ListProtocol::WebApi:
        return ServerQueries::A2s;
    case ListProtocol::ListFile:
        return criteria.ListFileQueries;
    }
    return ServerQueries::Legacy;
}

// The preset master servers of the options page; the first is the default. Never a public
// internet name we do not own: whoever registered it could answer our users.
inline const std::array<const char *, 3> MasterPresets
    = { "localhost:27010", "master:27010", "hlmaster.lan:27010" };
// The Steam master's presets: Valve's own hosts, as a player using Steam mode expects them.
inline const std::array<const char *, 2> SteamMasterPresets
    = { "hl1master.steampowered.com:27010", "hl2master.steampowered.com:27011" };

} // namespace rollcall::search
