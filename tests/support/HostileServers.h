#pragma once

// A scriptable peer on loopback for the hostile-network tests: it answers each datagram it
// reads with whatever its script says, from its own socket or from a forger's (another port of
// its address, or another loopback address with its very port), now or after a delay. Masters
// that page forever and game servers that lie are a few lines of script each.
//
//   HostileServer master;  QVERIFY(master.listen());
//   master.setScript([](int n, const QByteArray &) {
//       return QList<HostileSend> { { EncodeMasterReply(MasterPageKey(n), LoopbackEntries(n * 10, 10)) } };
//   });

#include "FakeServers.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QUdpSocket;

namespace rollcall::testsupport {

// Where a datagram leaves from.
enum class HostileSource {
    Own, // the server's socket: the real answer
    OtherPort, // the server's address, another port
    OtherAddress, // 127.0.0.2 with the server's port: a forger who got the port right
};

struct HostileSend
{
    QByteArray bytes;
    HostileSource from = HostileSource::Own;
    int delayMs = 0; // 0: at once, in the order listed
};

class HostileServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HostileServer)

public:
    // Request `n` (0-based, counted from listen()) and its bytes in; datagrams to send back out.
    using Script = std::function<QList<HostileSend>(int n, const QByteArray &request)>;

    explicit HostileServer(QObject *parent = nullptr);
    ~HostileServer() override;

    // Binds 127.0.0.1 on a free port, or `address`:`port`.
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;
    QString addressText() const; // "127.0.0.1:<port>"
    FakeEntry entry() const;
    // False when this system has no 127.0.0.2 (forging from another address is then skipped).
    bool canForgeOtherAddress();

    void setScript(Script script) { m_script = std::move(script); }

    int requestCount() const { return m_requests; }
    QByteArray lastRequest() const { return m_lastRequest; }
    // The client's port of the last request: where a flood aimed from outside would go.
    quint16 lastClientPort() const { return m_clientPort; }
    int datagramsSent() const { return m_sent; }

    // Sends `bytes` to 127.0.0.1:`toPort` from `from` now, outside any script.
    void sendTo(quint16 toPort, const QByteArray &bytes, HostileSource from);

Q_SIGNALS:
    void requestReceived(int n);

private:
    void readPending();
    QUdpSocket *socketFor(HostileSource from);

    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_otherPort = nullptr;
    QUdpSocket *m_otherAddress = nullptr;
    Script m_script;
    int m_requests = 0;
    QByteArray m_lastRequest;
    quint16 m_clientPort = 0;
    int m_sent = 0;
};

// `count` distinct entries on loopback starting with number `first` (0 to a few million):
// 127.a.b.c, port 9, where nothing listens. Queries to them stay on this machine.
QList<FakeEntry> LoopbackEntries(int first, int count);

// The most entries one UDP datagram can carry in a master page.
inline constexpr int FullMasterPage = (65507 - 10) / 6;

// A reply of the players query with records given as raw bytes, the count byte as told.
QByteArray RawPlayersReply(quint8 count, const QList<QByteArray> &records);
// One players record: index, name and its zero byte (unless cut), frags, the time's float bits.
QByteArray PlayerRecordBytes(const QByteArray &name, qint32 frags, quint32 timeBits, bool terminated = true);

} // namespace rollcall::testsupport
