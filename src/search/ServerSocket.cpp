#include "search/ServerSocket.h"

#include "protocol/ServerAddressRules.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace rollcall::search {

namespace {

// Larger than any UDP payload: a datagram read without asking its size first is never cut.
constexpr qint64 MaxDatagramSize = 65536;

// Qt grants every UDP socket the broadcast permission. A query goes to one server, never to a
// whole network: without the permission the system itself refuses a broadcast destination,
// including a subnet's broadcast address that no address rule can recognise.
bool forbidBroadcast(QUdpSocket *socket)
{
    const int off = 0;
#ifdef Q_OS_WIN
    return ::setsockopt(SOCKET(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST,
               reinterpret_cast<const char *>(&off), int(sizeof off))
        == 0;
#else
    return ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &off, sizeof off) == 0;
#endif
}

} // namespace

ServerSocket::ServerSocket(QObject *parent)
    : QObject(parent)
{ }

ServerSocket::~ServerSocket() = default;

void ServerSocket::aim(const QString &address, qint64 port)
{
    // A connected socket only ever talks to the peer it was connected to.
    if (m_connected)
        close();
    m_addressText = address;
    m_port = port;
    QHostAddress parsed;
    // Only plain dotted IPv4 is a server address here; anything else leaves the aim invalid.
    if (parsed.setAddress(address) && parsed.protocol() == QAbstractSocket::IPv4Protocol
        && protocol::IsQueryableServer(parsed.toIPv4Address(), port))
        m_address = parsed;
    else
        m_address.clear();
    m_reassembler.reset();
}

bool ServerSocket::send(const QByteArray &datagram)
{
    if (m_address.isNull() || m_port < 1 || m_port > 65535 || !open())
        return false;
    // On a connected socket a datagram with an address may fail: it goes to the peer as is.
    const qint64 written = m_connected ? m_socket->write(datagram)
                                       : m_socket->writeDatagram(datagram, m_address, quint16(m_port));
    return written == datagram.size();
}

bool ServerSocket::open()
{
    if (m_socket)
        return true;
    m_socket = new QUdpSocket(this);
    // Game-server queries never go through a proxy; without this every fresh socket asks
    // the system's proxy resolver first, a blocking round trip to its helper thread that
    // costs the window 40 ms stalls and four times the CPU per query.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    if (!m_socket->bind(QHostAddress::AnyIPv4, 0) || !forbidBroadcast(m_socket)) {
        close();
        return false;
    }
    if (m_connected) {
        m_socket->connectToHost(m_address, quint16(m_port));
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            close();
            return false;
        }
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &ServerSocket::readPending);
    return true;
}

void ServerSocket::close()
{
    // A fresh socket on the next send gets a fresh port: nothing meant for the old one arrives.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_reassembler.reset();
}

void ServerSocket::readPending()
{
    QPointer<ServerSocket> self(this);
    QUdpSocket *socket = m_socket;
    // A connected socket is read once before any peek: the system reports a refused port as a
    // read error, and a peek would swallow it.
    bool readBlind = m_connected;
    while (self && socket == m_socket && socket) {
        if (!readBlind && !socket->hasPendingDatagrams())
            break;
        const QNetworkDatagram datagram = socket->receiveDatagram(readBlind ? MaxDatagramSize : -1);
        readBlind = false;
        if (datagram.isValid()) {
            take(datagram);
        } else {
            if (socket->error() == QAbstractSocket::ConnectionRefusedError)
                Q_EMIT refused();
            break;
        }
    }
}

void ServerSocket::take(const QNetworkDatagram &datagram)
{
    // Bound to IPv4 only, so every sender is a plain IPv4 address.
    const QHostAddress sender = datagram.senderAddress();
    if (sender != m_address || datagram.senderPort() != m_port)
        return;
    std::optional<QByteArray> reply
        = m_reassemble ? m_reassembler.feed(datagram.data()) : std::optional<QByteArray>(datagram.data());
    if (!reply)
        return;
    m_lastSender = sender.toString();
    Q_EMIT replyReceived(*reply);
}

} // namespace rollcall::search
