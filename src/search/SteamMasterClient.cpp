#include "search/SteamMasterClient.h"

#include "protocol/ServerAddressRules.h"
#include "protocol/SteamMasterProtocol.h"
#include "search/MasterClient.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

namespace rollcall::search {

namespace {

QHostAddress Unmapped(const QHostAddress &sender)
{
    bool ok = false;
    const quint32 v4 = sender.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : sender;
}

} // namespace

SteamMasterClient::SteamMasterClient(QObject *parent)
    : QObject(parent)
{
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setTimerType(Qt::PreciseTimer);
    m_replyTimer.setInterval(DefaultReplyTimeout);
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    m_paceClock.start();
    connect(&m_replyTimer, &QTimer::timeout, this, &SteamMasterClient::replyTimedOut);
    connect(&m_paceTimer, &QTimer::timeout, this, &SteamMasterClient::sendRequest);
}

SteamMasterClient::~SteamMasterClient()
{
    abort();
}

void SteamMasterClient::setPacing(int perWindow, std::chrono::milliseconds window)
{
    m_perWindow = qMax(perWindow, 1);
    m_window = qMax(window, std::chrono::milliseconds(0));
}

void SteamMasterClient::start(
    const QString &masterServer, quint8 region, const QList<QByteArray> &filters, std::optional<qint32> cap)
{
    abort();
    m_done = false;
    m_region = region;
    m_filters = filters;
    m_filter = 0;
    m_seed = protocol::FirstSteamSeed();
    m_cap = cap;
    m_servers.clear();
    m_seen.clear();
    m_requests = 0;
    m_address.clear();
    m_answered = false;

    const protocol::MasterAddress address = protocol::SplitMasterAddress(masterServer);
    const QString host = address.Host.trimmed();
    if (address.Port < 1 || address.Port > 65535 || host.isEmpty()) {
        endLater(End::Unreachable);
        return;
    }
    m_port = quint16(address.Port);
    if (m_filters.isEmpty()) {
        endLater(End::Complete);
        return;
    }
    const quint64 generation = m_generation;
    // A dotted address needs no resolver, and no lookup is then left pending if the search goes.
    QHostAddress literal;
    if (literal.setAddress(host) && literal.protocol() == QAbstractSocket::IPv4Protocol) {
        hostResolved(generation, { literal });
        return;
    }
    m_lookupId = QHostInfo::lookupHost(host, this,
        [this, generation](const QHostInfo &info) { hostResolved(generation, info.addresses()); });
}

void SteamMasterClient::abort()
{
    ++m_generation;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    m_replyTimer.stop();
    m_paceTimer.stop();
    m_awaiting = false;
    releaseSocket();
    m_done = true;
}

QString SteamMasterClient::askedAddress() const
{
    return m_address.isNull() ? QString() : m_address.toString() + QLatin1Char(':') + QString::number(m_port);
}

void SteamMasterClient::endLater(End how)
{
    // Never from inside start(): the caller is still setting up its own search.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, how] {
            if (generation == m_generation && !m_done)
                end(how);
        },
        Qt::QueuedConnection);
}

void SteamMasterClient::hostResolved(quint64 generation, const QList<QHostAddress> &addresses)
{
    if (generation != m_generation || m_done)
        return;
    m_lookupId = -1;
    const std::optional<QHostAddress> v4 = MasterAddressToAsk(addresses, m_port);
    if (!v4) {
        endLater(End::Unreachable);
        return;
    }
    m_address = *v4;
    m_socket = new QUdpSocket(this);
    m_socket->setProxy(QNetworkProxy::NoProxy);
    if (!m_socket->bind(QHostAddress::AnyIPv4, 0)) {
        endLater(End::Unreachable);
        return;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &SteamMasterClient::readPending);
    connect(m_socket, &QUdpSocket::errorOccurred, this, &SteamMasterClient::socketError);
    scheduleRequest();
}

void SteamMasterClient::scheduleRequest()
{
    // Through the timer even when the window has room: the request leaves after the socket has
    // handed over whatever else was waiting, which then cannot pass for its page.
    const qint64 now = m_paceClock.elapsed();
    const qint64 window = m_window.count();
    while (!m_sendTimes.empty() && now - m_sendTimes.front() >= window)
        m_sendTimes.pop_front();
    qint64 wait = 0;
    if (qsizetype(m_sendTimes.size()) >= m_perWindow)
        wait = m_sendTimes[m_sendTimes.size() - size_t(m_perWindow)] + window - now;
    m_paceTimer.start(int(qBound<qint64>(0, wait, window)));
}

void SteamMasterClient::sendRequest()
{
    if (m_done || !m_socket)
        return;
    const QByteArray request = protocol::BuildSteamMasterRequest(m_region, m_seed, m_filters.at(m_filter));
    m_sendTimes.push_back(m_paceClock.elapsed());
    ++m_requests;
    m_awaiting = true;
    m_replyTimer.start();
    // Not retried: a master that is asked again too soon only stays silent longer.
    if (m_socket->writeDatagram(request, m_address, m_port) != request.size())
        end(m_answered ? End::StoppedAnswering : End::Unreachable);
}

void SteamMasterClient::readPending()
{
    QPointer<SteamMasterClient> self(this);
    QUdpSocket *socket = m_socket;
    while (self && socket && socket == m_socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        // Anyone can send to this port; a page counts only from the master, and only one per request.
        if (Unmapped(datagram.senderAddress()) != m_address || datagram.senderPort() != m_port)
            continue;
        if (m_awaiting)
            pageReceived(datagram.data());
    }
}

void SteamMasterClient::pageReceived(const QByteArray &datagram)
{
    m_awaiting = false;
    m_replyTimer.stop();
    const protocol::SteamMasterReply reply = protocol::ParseSteamMasterReply(datagram);
    if (reply.Status == protocol::SteamMasterReplyStatus::BadHeader) {
        end(End::BadHeader);
        return;
    }
    // A broken page is not trusted in part: only the pages before it stand.
    if (reply.Status == protocol::SteamMasterReplyStatus::Malformed) {
        end(End::Malformed);
        return;
    }
    m_answered = true;

    bool truncated = false;
    const QList<protocol::ServerEntry> batch = takeNew(reply.Entries, truncated);
    if (!truncated)
        advance(reply.Last, reply.Ended);
    // More would come, but the limit is reached: asking on would only spend the master's patience.
    if (!truncated && m_filter < m_filters.size() && m_servers.size() >= limit())
        truncated = true;
    const bool capped = m_cap && qMax(*m_cap, 1) <= MaxServers;
    const bool complete = !truncated && m_filter >= m_filters.size();

    if (truncated || complete) {
        m_done = true;
        m_paceTimer.stop();
        releaseSocket();
    } else {
        scheduleRequest();
    }
    QPointer<SteamMasterClient> self(this);
    const quint64 generation = m_generation;
    if (!batch.isEmpty())
        Q_EMIT serversAdded(batch);
    if ((truncated || complete) && self && generation == m_generation) {
        const End how = complete ? End::Complete : capped ? End::CapReached : End::CeilingReached;
        Q_EMIT finished(Outcome { how, int(m_servers.size()) });
    }
}

QList<protocol::ServerEntry> SteamMasterClient::takeNew(
    const QList<protocol::ServerEntry> &entries, bool &truncated)
{
    QList<protocol::ServerEntry> batch;
    for (const protocol::ServerEntry &entry : entries) {
        // The same rule as every list: an entry no game server can have is dropped unasked.
        const std::optional<quint32> ip = protocol::ParseDottedIPv4(entry.Address);
        if (!ip || !protocol::IsQueryableServer(*ip, entry.Port))
            continue;
        // Lists of several app ids overlap; a server is asked once.
        const quint64 key = quint64(*ip) << 16 | quint64(entry.Port);
        if (m_seen.contains(key))
            continue;
        if (m_servers.size() >= limit()) {
            truncated = true;
            break;
        }
        m_seen.insert(key);
        m_servers.append(entry);
        batch.append(entry);
    }
    return batch;
}

void SteamMasterClient::advance(const std::optional<protocol::ServerEntry> &last, bool ended)
{
    // A page that does not move the seed on would be asked for again and again: its list is done.
    if (!ended && last && *last != m_seed) {
        m_seed = *last;
        return;
    }
    ++m_filter;
    m_seed = protocol::FirstSteamSeed();
}

int SteamMasterClient::limit() const
{
    return m_cap ? qBound(1, *m_cap, MaxServers) : MaxServers;
}

void SteamMasterClient::replyTimedOut()
{
    if (m_done || !m_awaiting)
        return;
    end(m_answered ? End::StoppedAnswering : End::NoReply);
}

void SteamMasterClient::socketError()
{
    // A refusal (ICMP port unreachable) is the only error that says something about the master;
    // anything else is left to the reply time-out. Not every platform reports it: Qt 6.4 on Linux
    // consumes it while peeking for a datagram, and the master then ends as silent.
    if (m_done || !m_socket || m_socket->error() != QAbstractSocket::ConnectionRefusedError)
        return;
    end(m_answered ? End::StoppedAnswering : End::Unreachable);
}

void SteamMasterClient::end(End how)
{
    m_done = true;
    m_awaiting = false;
    m_replyTimer.stop();
    m_paceTimer.stop();
    m_lookupId = -1;
    releaseSocket();
    Q_EMIT finished(Outcome { how, int(m_servers.size()) });
}

void SteamMasterClient::releaseSocket()
{
    if (!m_socket)
        return;
    // This may run inside the socket's own signal: it goes once that has unwound, and no longer
    // as a child, so deleting this client from a receiver cannot take it down mid-signal either.
    m_socket->disconnect(this);
    m_socket->close();
    m_socket->setParent(nullptr);
    m_socket->deleteLater();
    m_socket = nullptr;
}

} // namespace rollcall::search
