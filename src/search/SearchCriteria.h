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

// The options of one run, captured when it starts; the options page is disabled meanwhile.
struct SearchCriteria
{
    std::array<NameSlot, 2> Slots;
    QString GameFilter;
    QString MapFilter;
    QString MasterServer;
    bool EnableMaxServers = false;
    qint32 MaxServerAmount = 5000;
    int MaxConnections = 80; // 1 to 99
    int QueryTimeout = 1000; // milliseconds, 1 to 99999

    friend bool operator==(const SearchCriteria &, const SearchCriteria &) = default;
};

// The preset master servers of the options page; the first is the default. Never a public
// internet name we do not own: whoever registered it could answer our users.
inline const std::array<const char *, 3> MasterPresets
    = { "localhost:27010", "master:27010", "hlmaster.lan:27010" };

} // namespace rollcall::search
