#include "HostileServers.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

namespace rollcall::testsupport {

namespace {

const QHostAddress OtherLoopback(QStringLiteral("127.0.0.2"));

} // namespace

HostileServer::HostileServer(QObject *parent)
    : QObject(parent)
{ }

HostileServer::~HostileServer() = default;

bool HostileServer::listen(const QHostAddress &address, quint16 port)
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(address, port))
        return false;
    connect(m_socket, &QUdpSocket::readyRead, this, &HostileServer::readPending);
    return true;
}

quint16 HostileServer::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

QString HostileServer::addressText() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(port());
}

FakeEntry HostileServer::entry() const
{
    return { QStringLiteral("127.0.0.1"), port() };
}

bool HostileServer::canForgeOtherAddress()
{
    return socketFor(HostileSource::OtherAddress) != nullptr;
}

QUdpSocket *HostileServer::socketFor(HostileSource from)
{
    switch (from) {
    case HostileSource::Own:
        return m_socket;
    case HostileSource::OtherPort:
        if (!m_otherPort) {
            m_otherPort = new QUdpSocket(this);
            m_otherPort->bind(QHostAddress::LocalHost, 0);
        }
        return m_otherPort;
    case HostileSource::OtherAddress:
        if (!m_otherAddress) {
            m_otherAddress = new QUdpSocket(this);
            // The server's own port on another address: only the address gives the forger away.
            if (!m_otherAddress->bind(OtherLoopback, port())) {
                delete m_otherAddress;
                m_otherAddress = nullptr;
            }
        }
        return m_otherAddress;
    }
    return nullptr;
}

void HostileServer::sendTo(quint16 toPort, const QByteArray &bytes, HostileSource from)
{
    if (QUdpSocket *socket = socketFor(from)) {
        socket->writeDatagram(bytes, QHostAddress::LocalHost, toPort);
        ++m_sent;
    }
}

void HostileServer::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const int n = m_requests++;
        m_lastRequest = datagram.data();
        m_clientPort = quint16(datagram.senderPort());
        Q_EMIT requestReceived(n);
        if (!m_script)
            continue;
        const quint16 toPort = m_clientPort;
        for (const HostileSend &send : m_script(n, datagram.data())) {
            if (send.delayMs <= 0) {
                sendTo(toPort, send.bytes, send.from);
                continue;
            }
            QTimer::singleShot(
                send.delayMs, this, [this, toPort, send] { sendTo(toPort, send.bytes, send.from); });
        }
    }
}

QList<FakeEntry> LoopbackEntries(int first, int count)
{
    QList<FakeEntry> entries;
    entries.reserve(count);
    // From 127.0.1.0 on: some systems treat 127.0.0.0 as the loopback network's broadcast address.
    for (int n = first + 256; n < first + 256 + count; ++n) {
        entries.append(
            { QStringLiteral("127.%1.%2.%3").arg(n >> 16 & 255).arg(n >> 8 & 255).arg(n & 255), quint16(9) });
    }
    return entries;
}

QByteArray RawPlayersReply(quint8 count, const QList<QByteArray> &records)
{
    QByteArray out("\xFF\xFF\xFF\xFF"
                   "D",
        5);
    out.append(char(count));
    for (const QByteArray &record : records)
        out.append(record);
    return out;
}

QByteArray PlayerRecordBytes(const QByteArray &name, qint32 frags, quint32 timeBits, bool terminated)
{
    QByteArray out(1, '\0');
    out.append(name);
    if (!terminated)
        return out;
    out.append('\0');
    char bytes[4];
    qToLittleEndian(quint32(frags), bytes);
    out.append(bytes, 4);
    qToLittleEndian(timeBits, bytes);
    out.append(bytes, 4);
    return out;
}

} // namespace rollcall::testsupport
