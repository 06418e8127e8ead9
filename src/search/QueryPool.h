#pragma once

// N sockets asking the listed servers for their players, one query per socket at a time, each
// watched by its own time-out. The list position is the whole schedule: every entry is handed
// out exactly once, a silent server is skipped and never asked again.
// The list may also grow while it is being asked (a Steam master's pages arrive one by one):
// servers appended go to the sockets left idle, and the pool is finished only once the list is
// closed and nothing is outstanding.

#include "protocol/MasterProtocol.h"
#include "search/PlayerMatcher.h"
#include "search/ResultRow.h"
#include "search/UnicodeMatcher.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

class QTimer;

namespace rollcall::search {

class A2sExchange;
class ServerSocket;

class QueryPool final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueryPool)

public:
    explicit QueryPool(QObject *parent = nullptr);
    ~QueryPool() override;

    // Sockets 1 to `connections`, each with a stopped watch of `timeoutMs`.
    void create(int connections, int timeoutMs, const PlayerMatcher &matcher);
    // Steam mode: each socket asks A2S players, challenge rounds included (at most
    // A2sExchange::MaxRequests, each round waiting `timeoutMs`), and the UTF-8 names are matched
    // caselessly. A late answer after the last round is not taken.
    void createA2s(int connections, int timeoutMs, const UnicodeNameMatcher &matcher);
    // Abandons every query: nothing of this pool is reported afterwards, not even a late reply.
    void destroy();
    // The first round: one entry to each socket in order, until the list runs out.
    // Returns how many were handed out; reports nothing itself.
    int begin(const QList<protocol::ServerEntry> &servers);
    // Adds servers to an open list (created, begin() not called) and hands them to the idle
    // sockets in order; the rest follow as queries end. Returns how many were handed out now;
    // reports nothing itself. The caller lists each server once.
    int append(const QList<protocol::ServerEntry> &servers);
    // No more servers will be appended: finished() comes once nothing is outstanding, at once
    // when nothing is.
    void closeList();

    bool exists() const { return !m_slots.empty(); }
    int socketCount() const { return int(m_slots.size()); }
    int serverCount() const { return int(m_servers.size()); }
    // 1-based position of the last entry handed out; grows past serverCount() as queries end
    // after the list ran out.
    int nextServerIndex() const { return m_next; }
    const protocol::ServerEntry &entry(int index) const { return m_servers.at(index - 1); }
    int outstanding() const { return m_outstanding; }
    int peakOutstanding() const { return m_peak; }

Q_SIGNALS:
    // A reply came in (also a late one, to a query that timed out after the list ran out).
    // Rows may be empty.
    void serverAnswered(
        const QString &ip, qint32 port, int ping, const QList<rollcall::search::ResultRow> &rows);
    void serverTimedOut(const QString &ip, qint32 port);
    // The socket that just ended moved on to entry nextServerIndex().
    void querySent(const rollcall::protocol::ServerEntry &server);
    // The list is exhausted (and closed) and the last query still out was answered or gave up:
    // nothing more of this pool is worth waiting for. Once per list.
    void finished();

private:
    struct Slot
    {
        ServerSocket *socket = nullptr;
        QTimer *watch = nullptr;
        QElapsedTimer clock;
        // Steam mode: the exchange (with a socket of its own) in place of socket and watch.
        A2sExchange *exchange = nullptr;
        protocol::ServerEntry server; // the server the exchange asks
        bool idle = true; // nothing handed out, or the open list ran out under it
    };

    void replyReceived(size_t slot, const QByteArray &reply);
    void watchElapsed(size_t slot);
    void a2sAnswered(size_t slot, const QByteArray &reply, int pingMs);
    void a2sTimedOut(size_t slot);
    void queryNext(Slot &slot, bool closeAfterWatchStarts);
    // Moves past the entry just ended: the socket takes the next one, or the list is exhausted.
    bool advance(Slot &slot, bool closeAfterWatchStarts);
    // After the per-server report: the end of the list, or the query just sent, unless a
    // receiver replaced the pool meanwhile.
    void reportNext(quint64 generation, bool exhausted);

    std::vector<Slot> m_slots;
    QList<protocol::ServerEntry> m_servers;
    std::optional<PlayerMatcher> m_matcher;
    std::optional<UnicodeNameMatcher> m_unicodeMatcher;
    int m_timeoutMs = 0;
    bool m_listOpen = false; // servers may still be appended
    quint64 m_generation = 0;
    int m_next = 0;
    int m_outstanding = 0;
    int m_peak = 0;
    bool m_finished = false;
};

} // namespace rollcall::search
