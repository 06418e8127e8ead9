#pragma once

// The Steam master's paged list: one request per page, each seeded with the last address of the
// page before, for each filter text in turn, all from one socket (the master starts over for a new
// client port). The master allows a client only so many requests a minute and then falls
// silent, so requests are paced and a silence ends the list with what came so far. Servers are
// reported in batches as pages arrive, so their queries can start before the list is complete.

#include "protocol/MasterProtocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <optional>

class QUdpSocket;

namespace rollcall::search {

class SteamMasterClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SteamMasterClient)

public:
    enum class End {
        Complete, // every filter's list reached its end
        CapReached, // the caller's server cap cut the list short
        CeilingReached, // MaxServers listed: nobody searches more, and a hostile list stops here
        StoppedAnswering, // silent or refusing after having answered: the servers so far stand
        NoReply, // no request was answered
        BadHeader, // a reply of another protocol
        Malformed, // a page that is not whole entries
        // No IPv4 address for the host, a port out of range, or refused before any answer
        // (where the platform reports refusals at all; elsewhere that is NoReply).
        Unreachable,
    };
    Q_ENUM(End)

    struct Outcome
    {
        End end = End::Complete;
        int count = 0; // servers reported in all batches

        friend bool operator==(const Outcome &, const Outcome &) = default;
    };

    static constexpr int MaxServers = 100000;
    static constexpr int DefaultRequestsPerWindow = 25;
    static constexpr std::chrono::milliseconds DefaultPacingWindow { 60000 };
    static constexpr std::chrono::milliseconds DefaultReplyTimeout { 5000 };

    explicit SteamMasterClient(QObject *parent = nullptr);
    ~SteamMasterClient() override;

    // How long each request waits for its page before the master counts as silent.
    void setReplyTimeout(std::chrono::milliseconds timeout) { m_replyTimer.setInterval(timeout); }
    // At most `perWindow` requests in any `window`; the first `perWindow` go at once. The send
    // times outlive a list, because the master's count does: a new search within the window
    // goes on waiting its turn.
    void setPacing(int perWindow, std::chrono::milliseconds window);

    // Drops any list in progress and asks anew: every filter text in order (SteamMasterFilters
    // gives them), each from its first page. No filters: nothing to ask, the list is complete
    // and empty. `cap` limits the servers taken; below one it still takes the first.
    void start(const QString &masterServer, quint8 region, const QList<QByteArray> &filters,
        std::optional<qint32> cap);
    // Ends the list silently: closes the socket, stops the timers, emits nothing more.
    void abort();

    bool isDone() const { return m_done; }
    // Every server reported so far, in the order reported.
    const QList<protocol::ServerEntry> &servers() const { return m_servers; }
    int requestsSent() const { return m_requests; }
    // "IPv4:port" of the master asked in this list; empty until its name was resolved.
    QString askedAddress() const;

Q_SIGNALS:
    // Servers new to this list, in the master's order; never empty.
    void serversAdded(const QList<rollcall::protocol::ServerEntry> &batch);
    // Once per list, after its last batch.
    void finished(const rollcall::search::SteamMasterClient::Outcome &outcome);

private:
    void hostResolved(quint64 generation, const QList<QHostAddress> &addresses);
    void scheduleRequest();
    void sendRequest();
    void readPending();
    void pageReceived(const QByteArray &datagram);
    QList<protocol::ServerEntry> takeNew(const QList<protocol::ServerEntry> &entries, bool &truncated);
    void advance(const std::optional<protocol::ServerEntry> &last, bool ended);
    void replyTimedOut();
    void socketError();
    void end(End how);
    void endLater(End how);
    void releaseSocket();
    int limit() const;

    QUdpSocket *m_socket = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    quint8 m_region = 0;
    QList<QByteArray> m_filters;
    qsizetype m_filter = 0; // the filter whose list is being paged
    protocol::ServerEntry m_seed;
    std::optional<qint32> m_cap;
    QList<protocol::ServerEntry> m_servers;
    QSet<quint64> m_seen;

    QTimer m_replyTimer;
    QTimer m_paceTimer;
    QElapsedTimer m_paceClock;
    std::deque<qint64> m_sendTimes; // m_paceClock times of the requests in the current window
    int m_perWindow = DefaultRequestsPerWindow;
    std::chrono::milliseconds m_window = DefaultPacingWindow;

    quint64 m_generation = 0;
    int m_lookupId = -1;
    int m_requests = 0;
    bool m_awaiting = false; // a request is out: only now does a page count
    bool m_answered = false;
    bool m_done = true;
};

} // namespace rollcall::search
