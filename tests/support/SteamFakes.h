#pragma once

// Fakes of the Steam side for tests of the program's Steam mode: a Steam master that pages by
// seed and an A2S game server with challenges, on real UDP sockets on 127.0.0.1. They write
// their bytes here, apart from the program's encoders, and misbehave on request. Nothing here
// blocks: delays are timers, so a test drives everything with QTRY_* waits.
//
// Typical use:
//   FakeA2sServer game;  QVERIFY(game.listen());
//   game.setPlayers({{"Иван", 5, 60.f}});
//   FakeSteamMaster master;  QVERIFY(master.listen());
//   master.setEntries({game.entry()});

#include "FakeServers.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

class QUdpSocket;

namespace rollcall::testsupport {

// ---- Encoders ----

struct FakeA2sInfo
{
    QByteArray HostName = "Fake Steam Server";
    QByteArray MapName = "de_dust2";
    QByteArray GameDirectory = "cstrike";
    QByteArray GameDescription = "Counter-Strike";
    quint16 AppId = 10;
    quint8 PlayerCount = 0; // 0: FakeA2sServer counts its players
    quint8 MaxPlayers = 32;
    quint8 Bots = 0;
    char ServerType = 'd';
    char OperatingSystem = 'l';
    bool Password = false;
    bool Secure = true;
    QByteArray Version = "1.1.2.7/Stdio";
    // 'I' only: 0x80 game port, 0x20 keywords, 0x01 game id; 0 sends no flag byte at all.
    quint8 ExtraFlags = 0;
    quint16 GamePort = 27015;
    QByteArray Keywords;
    bool Mod = true; // 'm' only: the mod fields follow the mod byte
};

// FF FF FF FF 'I': protocol 48, names, app id, counts, type, system, flags, version, extra data.
QByteArray EncodeA2sSourceInfo(const FakeA2sInfo &info);
// FF FF FF FF 'm': the address text, names, counts, protocol 47, type, system, password, mod
// (and its fields), VAC, bots.
QByteArray EncodeA2sGoldSrcInfo(const FakeA2sInfo &info, const QByteArray &address);
// FF FF FF FF 'A' and the challenge as given (four bytes, unless a test wants it otherwise).
QByteArray EncodeA2sChallenge(const QByteArray &challenge);
// The players ('D') and rules ('E') replies are the legacy layouts: EncodePlayersReply and
// EncodeRulesReply of FakeServers.h write them.

// FF FF FF FF 66 0A, six bytes per entry (address, port big-endian), then 0.0.0.0:0 if `ended`.
QByteArray EncodeSteamMasterReply(const QList<FakeEntry> &entries, bool ended);
// 31, region, seed text 00, filter text 00: what a client sends, for comparing recorded bytes.
QByteArray SteamMasterRequestBytes(quint8 region, const QByteArray &seed, const QByteArray &filter);

// Names as Steam clients (and others) send them, and how a decoder that turns every maximal
// ill-formed subsequence into one U+FFFD shows them.
struct FakeUtf8Name
{
    QByteArray Bytes;
    QString Shown;
};
QList<FakeUtf8Name> Utf8Names();

// ---- A Steam master ----

class FakeSteamMaster final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeSteamMaster)

public:
    struct Request
    {
        QByteArray bytes;
        bool wellFormed = false; // 31, region, two zero-ended texts; the fields below are empty if not
        quint8 region = 0;
        QByteArray seed; // "IP:port"
        QByteArray filter;
        quint16 fromPort = 0;
        bool answered = false; // false: dropped, silent, rate-limited or malformed
        qint64 atMs = 0; // since the master was created
    };

    explicit FakeSteamMaster(QObject *parent = nullptr);
    ~FakeSteamMaster() override;

    bool listen(quint16 port = 0);
    quint16 port() const;
    QString addressText() const; // "127.0.0.1:<port>"

    // The list: the entries after the seed's, at most pageSize per reply with the end marker
    // counted, the marker after the last entry. The first seed (0.0.0.0:0) or one that names no
    // entry starts from the top. A filter text with a list of its own gets that list.
    void setEntries(const QList<FakeEntry> &entries) { m_entries = entries; }
    void setEntriesForFilter(const QByteArray &filter, const QList<FakeEntry> &entries);
    void setPageSize(int size) { m_pageSize = size > 0 ? size : 1; }
    // Sent as is instead of the page, to a well-formed request with this seed text.
    void setReplyForSeed(const QByteArray &seed, const QByteArray &datagram);

    // Misbehaviour.
    void setSilent(bool silent) { m_silent = silent; }
    void setSilentAfter(int replies) { m_silentAfter = replies; } // -1: never
    void setReplyDelay(int ms) { m_delayMs = ms; }
    void setBadHeader(bool bad) { m_badHeader = bad; } // 66 0D instead of 66 0A
    void setMalformed(bool bad) { m_malformed = bad; } // the last entry cut to 4 bytes
    // As the real one: after `replies` replies it answers nothing for silenceMs, then starts over.
    void setRateLimit(int replies, int silenceMs);
    // Request numbers (0-based, in arrival order) that get no reply.
    void setDroppedRequests(const QSet<int> &numbers) { m_dropped = numbers; }
    // Sent before each reply from another port of 127.0.0.1, as a forger would.
    void setSpoof(const QByteArray &datagram) { m_spoof = datagram; }

    QList<Request> requests() const { return m_requests; }
    int repliesSent() const { return m_repliesSent; }
    quint16 spoofPort() const;

Q_SIGNALS:
    void requestReceived();

private:
    void readPending();
    bool mayAnswer(int number);
    QByteArray pageFor(const Request &request) const;
    void send(const QByteArray &datagram, const QHostAddress &to, quint16 toPort);

    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_spoofSocket = nullptr;
    QElapsedTimer m_clock;
    QList<FakeEntry> m_entries;
    QHash<QByteArray, QList<FakeEntry>> m_filtered;
    QHash<QByteArray, QByteArray> m_scripted;
    int m_pageSize = 231;
    bool m_silent = false;
    int m_silentAfter = -1;
    int m_delayMs = 0;
    bool m_badHeader = false;
    bool m_malformed = false;
    int m_rateReplies = 0; // 0: no limit
    int m_rateSilenceMs = 0;
    int m_repliesSinceSilence = 0;
    qint64 m_silentUntilMs = -1;
    QSet<int> m_dropped;
    std::optional<QByteArray> m_spoof;
    QList<Request> m_requests;
    int m_repliesSent = 0;
};

// ---- An A2S game server ----

class FakeA2sServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeA2sServer)

public:
    enum class Kind { Info, Players, Rules, Other };
    enum class Challenges {
        Required, // FF FF FF FF or a wrong one gets the challenge, the right one the reply
        Direct, // answers at once, never asks
        Always, // answers every request with a new challenge and never with a reply
        Stale, // the first challenge it hands a client port is refused once, the next one works
    };
    enum class InfoLayout { Source, GoldSrc, GoldSrcThenSource, GoldSrcEmptyPlayersSource };

    struct Request
    {
        Kind kind = Kind::Other;
        std::optional<QByteArray> challenge; // the four bytes sent, if any
        QByteArray bytes;
        quint16 fromPort = 0;
        qint64 atMs = 0; // since the server was created
    };

    explicit FakeA2sServer(QObject *parent = nullptr);
    ~FakeA2sServer() override;

    bool listen(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    quint16 port() const;
    QString addressText() const { return m_address.toString(); }
    FakeEntry entry() const { return { addressText(), port() }; }

    // What it answers. Names are bytes as sent: UTF-8, or not.
    void setPlayers(const QList<FakePlayer> &players) { m_players = players; }
    void setRules(const QList<FakeRule> &rules) { m_rules = rules; }
    void setInfo(const FakeA2sInfo &info) { m_info = info; }

    void setChallenges(Challenges mode) { m_challenges = mode; }
    void setInfoChallenge(bool required) { m_infoChallenge = required; } // info asks too
    // The challenge it hands this client port now (four bytes, never FF FF FF FF).
    QByteArray challengeFor(quint16 clientPort) const;
    // Sent as is instead of every challenge (an 'A' of the wrong size, say).
    void setRawChallenge(const QByteArray &datagram) { m_rawChallenge = datagram; }

    void setInfoLayout(InfoLayout layout) { m_layout = layout; }
    // The info datagrams after the first leave this much later (0: at once).
    void setLaterInfoDelay(int ms) { m_laterInfoDelayMs = ms; }

    // Misbehaviour.
    void setSilent(bool silent) { m_silent = silent; }
    void setReplyDelay(int ms) { m_delayMs = ms; }
    void setRawReply(Kind kind, const QByteArray &bytes) { m_raw[int(kind)] = bytes; }
    // Players and rules replies in GoldSrc pieces of pieceSize bytes, sent in `order` (piece
    // numbers; may repeat or leave some out); empty: in order.
    void setSplit(int pieceSize, const QList<int> &order = {}, quint32 id = 0x5678);
    // Sent before each reply and challenge from another port of the same address.
    void setSpoof(const QByteArray &datagram) { m_spoof = datagram; }

    QList<Request> requests() const { return m_requests; }
    int requestCount(Kind kind) const;
    int challengesSent() const { return m_challengesSent; }
    int repliesSent() const { return m_repliesSent; }
    quint16 spoofPort() const;

Q_SIGNALS:
    void requestReceived(rollcall::testsupport::FakeA2sServer::Kind kind);

private:
    void readPending();
    bool accepts(const Request &request);
    QList<QByteArray> replyFor(Kind kind) const;
    void send(const QList<QByteArray> &datagrams, const QHostAddress &to, quint16 toPort, int laterDelayMs);

    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_spoofSocket = nullptr;
    QHostAddress m_address = QHostAddress::LocalHost;
    QElapsedTimer m_clock;
    QList<FakePlayer> m_players;
    QList<FakeRule> m_rules;
    FakeA2sInfo m_info;
    Challenges m_challenges = Challenges::Required;
    bool m_infoChallenge = false;
    QHash<quint16, int> m_generation; // per client port: how many challenges were replaced
    QSet<quint16> m_staleRefused;
    std::optional<QByteArray> m_rawChallenge;
    InfoLayout m_layout = InfoLayout::Source;
    int m_laterInfoDelayMs = 0;
    bool m_silent = false;
    int m_delayMs = 0;
    std::optional<QByteArray> m_raw[4];
    int m_pieceSize = 0;
    QList<int> m_pieceOrder;
    quint32 m_splitId = 0;
    std::optional<QByteArray> m_spoof;
    QList<Request> m_requests;
    int m_challengesSent = 0;
    int m_repliesSent = 0;
};

} // namespace rollcall::testsupport
