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
    if (m_address.isNull() || m_port < 1 || m_port > 65535)
        return false;
    if (!m_socket) {
        m_socket = new QUdpSocket(this);
        // Game-server queries never go through a proxy; without this every fresh socket asks
        // the system's proxy resolver first, a blocking round trip to its helper thread that
        // costs the window 40 ms stalls and four times the CPU per query.
        m_socket->setProxy(QNetworkProxy::NoProxy);
        if (!m_socket->bind(QHostAddress::AnyIPv4, 0) || !forbidBroadcast(m_socket)) {
            close();
            return false;
        }
        connect(m_socket, &QUdpSocket::readyRead, this, &ServerSocket::readPending);
    }
    return m_socket->writeDatagram(datagram, m_address, quint16(m_port)) == datagram.size();
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

bool ServerSocket::isOpen() const
{
    return m_socket != nullptr;
}

void ServerSocket::readPending()
{
    QPointer<ServerSocket> self(this);
    QUdpSocket *socket = m_socket;
    while (self && socket == m_socket && socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        QHostAddress sender = datagram.senderAddress();
        if (sender.protocol() == QAbstractSocket::IPv6Protocol) {
            bool ok = false;
            const quint32 v4 = sender.toIPv4Address(&ok);
            if (ok)
                sender = QHostAddress(v4);
        }
        if (sender != m_address || datagram.senderPort() != m_port)
            continue;
        std::optional<QByteArray> reply
            = m_reassemble ? m_reassembler.feed(datagram.data()) : std::optional<QByteArray>(datagram.data());
        if (!reply)
            continue;
        m_lastSender = sender.toString();
        Q_EMIT replyReceived(*reply);
    }
}

} // namespace rollcall::search
