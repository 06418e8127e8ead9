#pragma once

// The servers a master exchange has collected so far, held within bounds whatever the master
// sends: each address once, nothing that cannot be a game server, never more than Ceiling
// entries, and an end to a master that would page forever (a key it gave before, or page after
// page that adds nobody). Pure bookkeeping: no socket, no timer.

#include "protocol/MasterProtocol.h"

#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <optional>

namespace rollcall::search {

// Why a list stopped growing. Open while more pages are wanted.
enum class ListEnd {
    Open,
    LastPage, // the master's final key
    Cap, // the user's cap was reached
    Ceiling, // the master offered more than ServerList::Ceiling servers; the first are kept
    KeyRepeated, // a continuation key already used in this exchange: the master is looping
    BarrenPages, // MaxBarrenPages pages in a row added nobody
    TimedOut, // the time limit ran out, or the port refused after some pages (set by the client)
};

class ServerList
{
public:
    // Ten times the biggest lists masters hand out, and still only a few megabytes of entries:
    // the bound that holds when the user's cap is off or set above it.
    static constexpr qsizetype Ceiling = 100000;
    // A master may send an empty page now and then; ten in a row is a master stalling.
    static constexpr int MaxBarrenPages = 10;

    // `cap`: the user's limit; reaching it ends the list. Counted after each server taken, so
    // a cap below one still takes the first.
    explicit ServerList(std::optional<qint32> cap = std::nullopt);

    // Takes a page's entries in order (duplicates and unusable addresses are passed over before
    // anything counts them), then judges the page's key. Returns how the list stands.
    ListEnd addPage(const QList<protocol::ServerEntry> &entries, QByteArrayView nextKey);

    const QList<protocol::ServerEntry> &servers() const { return m_servers; }
    qsizetype size() const { return m_servers.size(); }
    // Servers the last page added.
    qsizetype lastAdded() const { return m_lastAdded; }
    // Entries passed over so far: repeats, and addresses no game server can have.
    qsizetype duplicates() const { return m_duplicates; }
    qsizetype unusable() const { return m_unusable; }

private:
    // Open, or the end an entry brought (Cap, Ceiling).
    ListEnd take(const protocol::ServerEntry &entry);
    ListEnd judgeKey(QByteArrayView nextKey);

    std::optional<qint32> m_cap;
    QList<protocol::ServerEntry> m_servers;
    QSet<quint64> m_seen; // address << 16 | port
    QSet<quint32> m_keys; // continuation keys already used
    qsizetype m_lastAdded = 0;
    qsizetype m_duplicates = 0;
    qsizetype m_unusable = 0;
    int m_barren = 0;
};

} // namespace rollcall::search
