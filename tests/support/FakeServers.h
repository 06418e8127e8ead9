#pragma once

// Fake game and master servers for tests and benchmarks: real UDP sockets on 127.0.0.1 that
// answer the way the servers out there do, or misbehave on request. Nothing here blocks: delays
// are timers, so a test drives everything with QTRY_* waits.
//
// Typical use:
//   FakeGameServer game;  QVERIFY(game.listen());
//   game.setPlayers({{"Bob", 5, 60.f}});
//   FakeMasterServer master;  QVERIFY(master.listen());
//   master.setEntries({game.entry()});
//   criteria.MasterServer = master.addressText();   // "127.0.0.1:<port>"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QUdpSocket;

namespace rollcall::testsupport {

// ---- Encoders: the bytes real servers send ----

struct FakePlayer
{
    QByteArray Name;
    qint32 Frags = 0;
    float Time = 0.f; // seconds connected, as the wire float
};

struct FakeInfo
{
    QByteArray Address = "127.0.0.1:27015"; // the server's own address text
    QByteArray HostName = "Fake Server";
    QByteArray MapName = "crossfire";
    QByteArray GameDirectory = "valve";
    QByteArray GameDescription = "Half-Life";
    quint8 PlayerCount = 0;
    quint8 MaxPlayers = 16;
    quint8 ProtocolVersion = 47;
};

struct FakeRule
{
    QByteArray Name;
    QByteArray Value;
};

// One server of a master list.
struct FakeEntry
{
    QString Address; // dotted IPv4
    quint16 Port = 0;

    friend bool operator==(const FakeEntry &, const FakeEntry &) = default;
};

// FF FF FF FF 'D', count, then index (position in the list), name, frags, time per player.
QByteArray EncodePlayersReply(const QList<FakePlayer> &players);
// FF FF FF FF 'C', address, host, map, game dir, description, players, max, protocol.
QByteArray EncodeInfoReply(const FakeInfo &info);
// FF FF FF FF 'E', 16-bit count, name/value pairs.
QByteArray EncodeRulesReply(const QList<FakeRule> &rules);
// FF FF FF FF, type ('f'), 0x0A, the 4-byte key, 6 bytes per entry (address, port big-endian).
QByteArray EncodeMasterReply(const QByteArray &key, const QList<FakeEntry> &entries, char type = 'f');
// The 4-byte key that FakeMasterServer hands out after page `page` (0-based): page + 1, big-endian.
QByteArray MasterPageKey(int page);
// GoldSrc split pieces: FE FF FF FF, id (little-endian), (number << 4 | count), share.
QList<QByteArray> SplitIntoPieces(const QByteArray &reply, quint32 id, int pieceSize);
// The master request a client sends: '1', key, filter, 0 (for comparing recorded bytes).
QByteArray MasterRequestBytes(const QByteArray &key, const QByteArray &filter);

// ---- A game server ----

class FakeGameServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeGameServer)

public:
    enum class Kind { Info, Rules, Players, Other };
    struct Request
    {
        Kind kind = Kind::Other;
        QByteArray bytes;
        quint16 fromPort = 0;
        qint64 atMs = 0; // since the server was created
    };

    explicit FakeGameServer(QObject *parent = nullptr);
    ~FakeGameServer() override;

    // Binds 127.0.0.1 (or another loopback address) on `port`, 0 meaning any free one.
    bool listen(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    quint16 port() const;
    QString addressText() const { return m_address.toString(); }
    FakeEntry entry() const { return { addressText(), port() }; }

    // What it answers. The info reply's PlayerCount follows the players list unless set raw.
    void setPlayers(const QList<FakePlayer> &players) { m_players = players; }
    void setInfo(const FakeInfo &info) { m_info = info; }
    void setRules(const QList<FakeRule> &rules) { m_rules = rules; }

    // Misbehaviour.
    void setSilent(bool silent) { m_silent = silent; } // reads requests, never answers
    void setReplyDelay(int ms) { m_delayMs = ms; } // answers after a timer
    void setRawReply(Kind kind, const QByteArray &bytes); // sent as is instead
    void clearRawReplies();
    void setCutOff(int bytes) { m_cutOff = bytes; } // reply truncated; -1 off
    // Sends the reply in split pieces of pieceSize bytes. `order` lists piece numbers to send,
    // in that order (may repeat or leave some out: a lone piece never completes); empty = all.
    void setSplit(int pieceSize, const QList<int> &order = {}, quint32 id = 0x1234);
    void setSpoof(const QByteArray &datagram) { m_spoof = datagram; } // sent first, from another port
    void setReplyTwice(bool twice) { m_twice = twice; }

    QList<Request> requests() const { return m_requests; }
    int requestCount(Kind kind) const;
    int repliesSent() const { return m_repliesSent; }
    // Requests read but not yet answered (pending delay timers). Silent servers never count.
    int pending() const { return m_pending; }
    // The port the spoofed datagram left from (valid after the first spoof).
    quint16 spoofPort() const;

Q_SIGNALS:
    void requestReceived(rollcall::testsupport::FakeGameServer::Kind kind);
    void replySent(rollcall::testsupport::FakeGameServer::Kind kind);

private:
    void readPending();
    QByteArray replyFor(Kind kind) const;
    void sendReply(Kind kind, const QHostAddress &to, quint16 toPort);

    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_spoofSocket = nullptr;
    QHostAddress m_address = QHostAddress::LocalHost;
    QElapsedTimer m_clock;
    QList<FakePlayer> m_players;
    FakeInfo m_info;
    QList<FakeRule> m_rules;
    bool m_silent = false;
    int m_delayMs = 0;
    std::optional<QByteArray> m_raw[4];
    int m_cutOff = -1;
    int m_pieceSize = 0;
    QList<int> m_pieceOrder;
    quint32 m_splitId = 0;
    std::optional<QByteArray> m_spoof;
    bool m_twice = false;
    QList<Request> m_requests;
    int m_repliesSent = 0;
    int m_pending = 0;
};

// ---- A master server ----

class FakeMasterServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeMasterServer)

public:
    explicit FakeMasterServer(QObject *parent = nullptr);
    ~FakeMasterServer() override;

    bool listen(quint16 port = 0);
    quint16 port() const;
    // "127.0.0.1:<port>", what a search's MasterServer text should be.
    QString addressText() const;

    // The list it hands out, pageSize entries per reply. The reply to key 0 is page 0; page p
    // carries MasterPageKey(p) unless it is the last, which carries four zero bytes. A request
    // with a key it never gave gets page 0.
    void setEntries(const QList<FakeEntry> &entries) { m_entries = entries; }
    void setPageSize(int size) { m_pageSize = size > 0 ? size : 1; }

    void setSilent(bool silent) { m_silent = silent; }
    void setReplyDelay(int ms) { m_delayMs = ms; }
    void setBadHeader(bool bad) { m_badHeader = bad; } // 'x' instead of 'f'
    void setMalformed(bool bad) { m_malformed = bad; } // last entry cut to 3 bytes
    void setStopAfterPage(int page) { m_stopAfter = page; } // pages after it are not answered; -1 off
    // Replies sent as is, one per request in turn (the list is used up before normal paging).
    void setRawReplies(const QList<QByteArray> &replies) { m_raw = replies; }
    // Sent before each reply from another port of the same address, as a forger would.
    void setSpoof(const QByteArray &datagram) { m_spoof = datagram; }

    // Each request received, byte for byte.
    QList<QByteArray> requests() const { return m_requests; }
    int repliesSent() const { return m_repliesSent; }

Q_SIGNALS:
    void requestReceived(const QByteArray &bytes);

private:
    void readPending();
    std::optional<QByteArray> replyFor(const QByteArray &request);

    QUdpSocket *m_socket = nullptr;
    QList<FakeEntry> m_entries;
    int m_pageSize = 231;
    bool m_silent = false;
    int m_delayMs = 0;
    bool m_badHeader = false;
    bool m_malformed = false;
    int m_stopAfter = -1;
    QList<QByteArray> m_raw;
    std::optional<QByteArray> m_spoof;
    QUdpSocket *m_spoofSocket = nullptr;
    QList<QByteArray> m_requests;
    int m_repliesSent = 0;
};

// ---- Many game servers ----

// N game servers on 127.0.0.1, each with a deterministic player list, and a count of players
// requests outstanding on the server side (read, answer not yet sent) across all of them.
// With a reply delay, a client that keeps more queries in flight than it should shows it here.
class ServerPopulation final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerPopulation)

public:
    explicit ServerPopulation(QObject *parent = nullptr);
    ~ServerPopulation() override;

    // Creates and binds `count` servers; false if any could not bind.
    bool start(int count, int replyDelayMs = 0);
    int size() const { return int(m_servers.size()); }
    FakeGameServer *server(int i) const { return m_servers.at(i); }
    QList<FakeEntry> entries() const;

    // Server i's players: i % 4 players named "player<i>_<j>", frags j - 1, time 60 * (j + 1).
    static QList<FakePlayer> PlayersFor(int i);

    int outstanding() const { return m_outstanding; }
    int peakOutstanding() const { return m_peak; }
    int totalPlayersRequests() const;
    // Servers asked for players more than once, and never.
    int askedTwice() const;
    int neverAsked() const;

private:
    QList<FakeGameServer *> m_servers;
    int m_outstanding = 0;
    int m_peak = 0;
};

// ---- A port nobody listens on ----

// A UDP port on 127.0.0.1 that was free a moment ago (bound, then let go).
quint16 ClosedUdpPort();
// Whether this system answers a datagram to that port with an ICMP port unreachable that a
// connected socket hears of; a sandbox may drop it. Asked with a plain socket, not the code
// under test, and waits at most a second.
bool RefusedPortIsReported(quint16 port);

} // namespace rollcall::testsupport
