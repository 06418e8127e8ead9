#include "search/ServerList.h"

#include "protocol/ServerAddressRules.h"

#include <QtEndian>
#include <algorithm>

namespace rollcall::search {

ServerList::ServerList(std::optional<qint32> cap)
    : m_cap(cap)
{ }

ListEnd ServerList::addPage(const QList<protocol::ServerEntry> &entries, QByteArrayView nextKey)
{
    const qsizetype before = m_servers.size();
    ListEnd end = ListEnd::Open;
    for (const protocol::ServerEntry &entry : entries) {
        end = take(entry);
        if (end != ListEnd::Open)
            break;
    }
    m_lastAdded = m_servers.size() - before;
    return end != ListEnd::Open ? end : judgeKey(nextKey);
}

ListEnd ServerList::take(const protocol::ServerEntry &entry)
{
    const std::optional<quint32> address = protocol::ParseDottedIPv4(entry.Address);
    if (!address || !protocol::IsQueryableServer(*address, entry.Port)) {
        ++m_unusable;
        return ListEnd::Open;
    }
    const quint64 key = quint64(*address) << 16 | quint64(entry.Port);
    if (m_seen.contains(key)) {
        ++m_duplicates;
        return ListEnd::Open;
    }
    // Only a new server beyond the ceiling proves the master listed more than it.
    if (m_servers.size() >= Ceiling)
        return ListEnd::Ceiling;
    m_seen.insert(key);
    m_servers.append(entry);
    return m_cap && m_servers.size() >= *m_cap ? ListEnd::Cap : ListEnd::Open;
}

ListEnd ServerList::judgeKey(QByteArrayView nextKey)
{
    if (protocol::IsFinalMasterKey(nextKey))
        return ListEnd::LastPage;
    // The master protocol's keys are four bytes; a shorter one counts as if padded with zeros.
    char bytes[4] = {};
    std::copy_n(nextKey.data(), std::min<qsizetype>(nextKey.size(), 4), bytes);
    const quint32 key = qFromBigEndian<quint32>(bytes);
    if (m_keys.contains(key))
        return ListEnd::KeyRepeated;
    m_keys.insert(key);
    m_barren = m_lastAdded > 0 ? 0 : m_barren + 1;
    return m_barren >= MaxBarrenPages ? ListEnd::BarrenPages : ListEnd::Open;
}

} // namespace rollcall::search
