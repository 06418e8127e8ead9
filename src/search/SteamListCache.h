#pragma once

// Within one run of the program, a Steam master list is asked for at most once in five minutes
// for the same master, region and filters. The master answers a client only so many pages a
// minute, and a player searching again soon wants fresh players, which the game servers give,
// not a fresh list. Only Steam lists pass through here, so the protocol is part of every key.
//
// Only complete lists are kept. A list cut short by silence is not: reused, it would hide the
// servers the master never got to for five minutes, while the next search, a minute later, may
// well receive the whole list. Nor is one cut by a server cap, which a search with a larger cap
// would find too short. A search with a cap takes the first servers of a kept list.

#include "protocol/MasterProtocol.h"
#include "search/SteamMasterClient.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace rollcall::search {

class SteamListCache
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::minutes Lifetime { 5 };
    // A few searches' worth: a player switching between two or three games gets them all.
    static constexpr int MaxLists = 4;

    struct Key
    {
        QString Host; // lower-cased: host names are caseless
        qint64 Port = 0;
        quint8 Region = 0;
        QList<QByteArray> Filters;

        friend bool operator==(const Key &, const Key &) = default;
    };

    // The master as SplitMasterAddress reads it, so "Host:27011" and "host:27011" are one.
    static Key keyFor(const QString &masterServer, quint8 region, const QList<QByteArray> &filters);

    // The steady clock unless a test gives its own.
    explicit SteamListCache(Clock clock = {});

    // The list kept for `key` if it was received less than Lifetime ago.
    std::optional<QList<protocol::ServerEntry>> find(const Key &key) const;
    // Keeps the list when `end` says it is complete, replacing an older one of the same key;
    // true when it was kept.
    bool store(const Key &key, const QList<protocol::ServerEntry> &servers, SteamMasterClient::End end);
    void clear() { m_lists.clear(); }

private:
    struct Kept
    {
        Key key;
        QList<protocol::ServerEntry> servers;
        std::chrono::steady_clock::time_point received;
    };

    bool fresh(const Kept &kept, std::chrono::steady_clock::time_point now) const;

    Clock m_clock;
    std::vector<Kept> m_lists; // oldest first
};

// The cache of this program run: every search of the window (and of a tool) shares it.
SteamListCache &ProgramSteamListCache();

} // namespace rollcall::search
