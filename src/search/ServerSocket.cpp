#include "search/ServerSocket.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QPointer>
#include <QUdpSocket>

namespace rollcall::search {

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
    if (parsed.setAddress(address) && parsed.protocol() == QAbstractSocket::IPv4Protocol)
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
        if (!m_socket->bind(QHostAddress::AnyIPv4, 0)) {
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

void ServerSocket::readPending()
{
    QPointer<ServerSocket> self(this);
    QUdpSocket *socket = m_socket;
    while (self && socket == m_socket && socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        // Bound to IPv4 only, so every sender is a plain IPv4 address.
        const QHostAddress sender = datagram.senderAddress();
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
