#include "search/MasterClient.h"

#include "protocol/ServerAddressRules.h"
#include "search/ServerSocket.h"

#include <QHostInfo>
#include <QPointer>

namespace rollcall::search {

std::optional<QHostAddress> MasterAddressToAsk(const QList<QHostAddress> &addresses, qint64 port)
{
    const auto v4 = std::find_if(addresses.cbegin(), addresses.cend(),
        [](const QHostAddress &a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
    if (v4 == addresses.cend() || !protocol::IsQueryableServer(v4->toIPv4Address(), port))
        return std::nullopt;
    return *v4;
}

MasterClient::MasterClient(QObject *parent)
    : QObject(parent)
    , m_socket(new ServerSocket(this))
{
    m_socket->setReassembleSplitReplies(false);
    // Connected, so that a port nobody listens on is reported at once, not after the time-out.
    m_socket->setConnected(true);
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultTimeout);
    connect(&m_timer, &QTimer::timeout, this, &MasterClient::timedOut);
    connect(m_socket, &ServerSocket::replyReceived, this, &MasterClient::replyReceived);
    connect(m_socket, &ServerSocket::refused, this, &MasterClient::refused);
}

MasterClient::~MasterClient()
{
    abort();
}

void MasterClient::start(const QString &masterServer, const QByteArray &filterText, std::optional<qint32> cap)
{
    abort();
    m_done = false;
    m_filter = filterText;
    m_list = ServerList(cap);
    m_end = ListEnd::Open;
    m_asked.clear();
    m_answered = false;
    // Started before the name is even looked up: a resolver that hangs is bounded too.
    m_timer.start();

    const protocol::MasterAddress address = protocol::SplitMasterAddress(masterServer);
    m_port = address.Port;
    if (m_port < 1 || m_port > 65535 || address.Host.trimmed().isEmpty()) {
        failLater(Failure::Unreachable);
        return;
    }
    const quint64 generation = m_generation;
    // A dotted address needs no resolver, and no lookup is then left pending if the run goes.
    QHostAddress literal;
    if (literal.setAddress(address.Host.trimmed()) && literal.protocol() == QAbstractSocket::IPv4Protocol) {
        hostResolved(generation, { literal });
        return;
    }
    m_lookupId = QHostInfo::lookupHost(address.Host.trimmed(), this,
        [this, generation](const QHostInfo &info) { hostResolved(generation, info.addresses()); });
}

void MasterClient::abort()
{
    ++m_generation;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    m_timer.stop();
    m_socket->close();
    m_done = true;
}

void MasterClient::failLater(Failure failure)
{
    // Never from inside start(): the caller is still setting up its own run.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, failure] {
            if (generation == m_generation && !m_done)
                fail(failure);
        },
        Qt::QueuedConnection);
}

void MasterClient::hostResolved(quint64 generation, const QList<QHostAddress> &addresses)
{
    if (generation != m_generation || m_done)
        return;
    m_lookupId = -1;
    const std::optional<QHostAddress> v4 = MasterAddressToAsk(addresses, m_port);
    if (!v4) {
        fail(Failure::Unreachable);
        return;
    }
    m_socket->aim(v4->toString(), m_port);
    m_asked = v4->toString() + QLatin1Char(':') + QString::number(m_port);
    // A request lost on the way is left to the time-out, like a lost reply; one that cannot
    // even leave (too large, no route) will not leave on a second try either. Queued: this may
    // run inside start().
    if (!m_socket->send(protocol::BuildMasterRequest(protocol::FirstMasterKey(), m_filter)))
        failLater(Failure::SendFailed);
}

void MasterClient::replyReceived(const QByteArray &datagram)
{
    if (m_done)
        return;
    // The next request goes out on a fresh port: nothing more of this page can arrive.
    m_socket->close();

    const protocol::MasterReply reply = protocol::ParseMasterReply(datagram);
    if (reply.Status == protocol::MasterReplyStatus::BadHeader) {
        fail(Failure::BadHeader);
        return;
    }
    if (reply.Status != protocol::MasterReplyStatus::Ok) {
        fail(Failure::Malformed);
        return;
    }
    m_answered = true;

    const ListEnd end = m_list.addPage(reply.Entries, reply.NextKey);
    const bool added = m_list.lastAdded() > 0;
    if (end != ListEnd::Open) {
        m_end = end;
        finish(added);
        return;
    }
    if (!m_socket->send(protocol::BuildMasterRequest(reply.NextKey, m_filter))) {
        fail(Failure::SendFailed);
        return;
    }
    if (added)
        Q_EMIT progress(int(m_list.size()));
}

void MasterClient::timedOut()
{
    if (m_done)
        return;
    m_end = ListEnd::TimedOut;
    finish(false);
}

void MasterClient::refused()
{
    if (m_done)
        return;
    // Nothing listens there: waiting out the time-out would change nothing. Pages that came
    // before still make a list, as they would after the time-out.
    if (m_list.size() == 0) {
        fail(Failure::Unreachable);
    } else {
        m_end = ListEnd::TimedOut;
        finish(false);
    }
}

void MasterClient::finish(bool lastDatagramAdded)
{
    m_done = true;
    m_timer.stop();
    m_socket->close();
    // A copy: a receiver may start a new exchange, which replaces the list, while it reads.
    const QList<protocol::ServerEntry> servers = m_list.servers();
    Q_EMIT finished(servers, lastDatagramAdded);
}

void MasterClient::fail(Failure failure)
{
    m_done = true;
    m_timer.stop();
    m_socket->close();
    m_lookupId = -1;
    Q_EMIT failed(failure);
}

} // namespace rollcall::search
