#include "search/QueryPool.h"

#include "protocol/QueryProtocol.h"
#include "search/A2sExchange.h"
#include "search/ServerSocket.h"

#include <QTimer>

namespace rollcall::search {

namespace {

// A ping that does not fit the column's 16 bits shows as 0, never as a wrapped number.
int PingOf(qint64 elapsedMs)
{
    return elapsedMs > 32767 || elapsedMs < 0 ? 0 : int(elapsedMs);
}

} // namespace

QueryPool::QueryPool(QObject *parent)
    : QObject(parent)
{ }

QueryPool::~QueryPool()
{
    destroy();
}

void QueryPool::create(int connections, int timeoutMs, const PlayerMatcher &matcher)
{
    destroy();
    m_matcher = matcher;
    m_servers.clear();
    m_next = 0;
    m_outstanding = 0;
    m_peak = 0;
    m_finished = false;
    m_listOpen = true;
    m_slots.resize(size_t(qMax(connections, 0)));
    for (size_t k = 0; k < m_slots.size(); ++k) {
        Slot &slot = m_slots[k];
        slot.socket = new ServerSocket(this);
        slot.watch = new QTimer(this);
        slot.watch->setSingleShot(true);
        // A coarse timer may fire 5% early: a server answering in 960 ms of a 1000 ms time-out
        // would be skipped.
        slot.watch->setTimerType(Qt::PreciseTimer);
        slot.watch->setInterval(qMax(timeoutMs, 0));
        connect(slot.socket, &ServerSocket::replyReceived, this,
            [this, k](const QByteArray &reply) { replyReceived(k, reply); });
        connect(slot.watch, &QTimer::timeout, this, [this, k] { watchElapsed(k); });
    }
}

void QueryPool::createA2s(int connections, int timeoutMs, const UnicodeNameMatcher &matcher)
{
    // The list and the counts start over as for the legacy queries, without a legacy socket.
    create(0, timeoutMs, PlayerMatcher({}));
    m_unicodeMatcher = matcher;
    m_timeoutMs = qMax(timeoutMs, 0);
    m_slots.resize(size_t(qMax(connections, 0)));
    for (size_t k = 0; k < m_slots.size(); ++k) {
        A2sExchange *exchange = new A2sExchange(this);
        m_slots[k].exchange = exchange;
        connect(exchange, &A2sExchange::answered, this,
            [this, k](const QByteArray &reply, int pingMs) { a2sAnswered(k, reply, pingMs); });
        connect(exchange, &A2sExchange::timedOut, this, [this, k] { a2sTimedOut(k); });
    }
}

void QueryPool::destroy()
{
    ++m_generation;
    // Deferred deletion: this may run inside one of these sockets' or watches' own signals.
    for (Slot &slot : m_slots) {
        if (slot.exchange) {
            slot.exchange->disconnect(this);
            slot.exchange->abort();
            slot.exchange->deleteLater();
            continue;
        }
        slot.watch->stop();
        slot.watch->disconnect(this);
        slot.socket->disconnect(this);
        slot.socket->close();
        slot.watch->deleteLater();
        slot.socket->deleteLater();
    }
    m_slots.clear();
    m_outstanding = 0;
}

int QueryPool::begin(const QList<protocol::ServerEntry> &servers)
{
    m_listOpen = false;
    m_servers = servers;
    int handed = 0;
    for (Slot &slot : m_slots) {
        if (m_next >= serverCount())
            break;
        ++m_next;
        queryNext(slot, false);
        ++handed;
    }
    return handed;
}

int QueryPool::append(const QList<protocol::ServerEntry> &servers)
{
    if (!m_listOpen)
        return 0;
    m_servers += servers;
    int handed = 0;
    for (Slot &slot : m_slots) {
        if (m_next >= serverCount())
            break;
        if (!slot.idle)
            continue;
        ++m_next;
        queryNext(slot, true);
        ++handed;
    }
    return handed;
}

void QueryPool::closeList()
{
    if (!m_listOpen)
        return;
    m_listOpen = false;
    // Sockets are idle only when nothing is left to hand out: with none outstanding, all is asked.
    if (exists() && m_outstanding == 0 && !m_finished) {
        m_finished = true;
        Q_EMIT finished();
    }
}

void QueryPool::queryNext(Slot &slot, bool closeAfterWatchStarts)
{
    const protocol::ServerEntry &server = entry(m_next);
    slot.idle = false;
    if (slot.exchange) {
        slot.server = server;
        m_peak = qMax(m_peak, ++m_outstanding);
        // Another server than the exchange's last: a fresh port, so nothing late from that one counts.
        slot.exchange->start(server.Address, server.Port, A2sExchange::Kind::Players, m_timeoutMs);
        return;
    }
    slot.watch->start();
    if (closeAfterWatchStarts)
        slot.socket->close();
    slot.clock.start();
    slot.socket->aim(server.Address, server.Port);
    m_peak = qMax(m_peak, ++m_outstanding);
    // A failed send is not retried: the watch, already running, moves the socket on.
    slot.socket->send(protocol::BuildQueryRequest(protocol::QueryKind::Players));
}

void QueryPool::replyReceived(size_t k, const QByteArray &reply)
{
    Slot &slot = m_slots[k];
    const QString ip = slot.socket->lastSenderAddress();
    const qint32 port = qint32(slot.socket->aimedPort());
    slot.socket->close();
    // A late reply to a query that already timed out was counted down then.
    if (slot.watch->isActive())
        --m_outstanding;
    slot.watch->stop();
    const int ping = PingOf(slot.clock.elapsed());
    const QList<ResultRow> rows = AddMatchingRows(reply, ip, port, qint16(ping), *m_matcher);

    const bool exhausted = advance(slot, false);
    const quint64 generation = m_generation;
    Q_EMIT serverAnswered(ip, port, ping, rows);
    reportNext(generation, exhausted);
}

void QueryPool::watchElapsed(size_t k)
{
    Slot &slot = m_slots[k];
    const QString ip = slot.socket->aimedAddress();
    const qint32 port = qint32(slot.socket->aimedPort());
    slot.watch->stop();
    --m_outstanding;
    // With the list exhausted the socket stays aimed: a late answer still brings its rows.
    const bool exhausted = advance(slot, true);
    const quint64 generation = m_generation;
    Q_EMIT serverTimedOut(ip, port);
    reportNext(generation, exhausted);
}

void QueryPool::a2sAnswered(size_t k, const QByteArray &reply, int pingMs)
{
    Slot &slot = m_slots[k];
    const QString ip = slot.server.Address;
    const qint32 port = slot.server.Port;
    --m_outstanding;
    const int ping = PingOf(pingMs);
    const QList<ResultRow> rows = AddMatchingUtf8Rows(reply, ip, port, qint16(ping), *m_unicodeMatcher);

    const bool exhausted = advance(slot, true);
    const quint64 generation = m_generation;
    Q_EMIT serverAnswered(ip, port, ping, rows);
    reportNext(generation, exhausted);
}

void QueryPool::a2sTimedOut(size_t k)
{
    Slot &slot = m_slots[k];
    const QString ip = slot.server.Address;
    const qint32 port = slot.server.Port;
    --m_outstanding;
    const bool exhausted = advance(slot, true);
    const quint64 generation = m_generation;
    Q_EMIT serverTimedOut(ip, port);
    reportNext(generation, exhausted);
}

bool QueryPool::advance(Slot &slot, bool closeAfterWatchStarts)
{
    ++m_next;
    const bool exhausted = m_next > serverCount();
    if (!exhausted) {
        queryNext(slot, closeAfterWatchStarts);
    } else if (m_listOpen) {
        // More may be appended: the socket waits for it, and the position stays on the last entry.
        --m_next;
        slot.idle = true;
    }
    return exhausted;
}

void QueryPool::reportNext(quint64 generation, bool exhausted)
{
    if (generation != m_generation)
        return;
    if (!exhausted) {
        Q_EMIT querySent(entry(m_next));
    } else if (m_outstanding == 0 && !m_finished && !m_listOpen) {
        m_finished = true;
        Q_EMIT finished();
    }
}

} // namespace rollcall::search
