#include "search/SteamListCache.h"

namespace rollcall::search {

SteamListCache::Key SteamListCache::keyFor(
    const QString &masterServer, quint8 region, const QList<QByteArray> &filters)
{
    const protocol::MasterAddress address = protocol::SplitMasterAddress(masterServer);
    return Key { address.Host.trimmed().toLower(), address.Port, region, filters };
}

SteamListCache::SteamListCache(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); }))
{ }

bool SteamListCache::fresh(const Kept &kept, std::chrono::steady_clock::time_point now) const
{
    return now - kept.received < Lifetime;
}

std::optional<QList<protocol::ServerEntry>> SteamListCache::find(const Key &key) const
{
    const auto now = m_clock();
    for (const Kept &kept : m_lists) {
        if (kept.key == key && fresh(kept, now))
            return kept.servers;
    }
    return std::nullopt;
}

bool SteamListCache::store(
    const Key &key, const QList<protocol::ServerEntry> &servers, SteamMasterClient::End end)
{
    if (end != SteamMasterClient::End::Complete)
        return false;
    const auto now = m_clock();
    std::erase_if(m_lists, [&](const Kept &kept) { return kept.key == key || !fresh(kept, now); });
    if (qsizetype(m_lists.size()) >= MaxLists)
        m_lists.erase(m_lists.begin(), m_lists.end() - (MaxLists - 1));
    m_lists.push_back(Kept { key, servers, now });
    return true;
}

SteamListCache &ProgramSteamListCache()
{
    static SteamListCache cache;
    return cache;
}

} // namespace rollcall::search
