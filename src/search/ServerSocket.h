#pragma once

// One UDP socket aimed at one game server. It hands over only whole replies from that
// server: datagrams from any other address or port are dropped unread (anyone on the
// network could otherwise inject rows), and split replies are reassembled first.

#include "protocol/SplitReassembler.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class QNetworkDatagram;
class QUdpSocket;

namespace rollcall::search {

class ServerSocket final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerSocket)

public:
    explicit ServerSocket(QObject *parent = nullptr);
    ~ServerSocket() override;

    // Sets where the next send goes. The address is dotted IPv4 text as a row or the master
    // list gives it; text that is not one, or an address no game server can have (broadcast,
    // multicast, 0.0.0.0/8, port 0: see IsQueryableServer), makes later sends fail (quietly,
    // as a silent server). Lists drop such entries first; this is the last line.
    void aim(const QString &address, qint64 port);

    // Binds afresh when closed, on a socket that may not broadcast. False when the datagram
    // could not leave.
    bool send(const QByteArray &datagram);

    // Drops unread datagrams and any half-received split reply; the aim is kept.
    void close();

    // The master speaks a protocol without split replies: its datagrams are handed over as
    // they come, so a reply of the wrong shape is seen (and refused) rather than held.
    void setReassembleSplitReplies(bool on) { m_reassemble = on; }
    // A connected socket hears the system say that nothing listens on the aimed port (an ICMP
    // port unreachable), which an unconnected one never learns of: refused() then follows.
    // Set before the first send.
    void setConnected(bool on) { m_connected = on; }
    // Bound since the last close(): a challenge a server gave belongs to this port only.
    bool isOpen() const { return m_socket != nullptr; }
    QString aimedAddress() const { return m_addressText; }
    qint64 aimedPort() const { return m_port; }
    // The IP address that the last accepted reply came from; empty before the first.
    QString lastSenderAddress() const { return m_lastSender; }

Q_SIGNALS:
    // A whole reply from the aimed server. A receiver may close or even delete the socket.
    void replyReceived(const QByteArray &reply);
    // Connected sockets only: the aimed port refused the last datagram. Same rules as above.
    void refused();

private:
    bool open();
    void readPending();
    void take(const QNetworkDatagram &datagram);

    QUdpSocket *m_socket = nullptr;
    QString m_addressText;
    QHostAddress m_address;
    qint64 m_port = 0;
    QString m_lastSender;
    protocol::SplitReassembler m_reassembler;
    bool m_reassemble = true;
    bool m_connected = false;
};

} // namespace rollcall::search
