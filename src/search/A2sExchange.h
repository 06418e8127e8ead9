#pragma once

// One A2S question (info, players or rules) to one server, challenge rounds included. It hands
// back the whole reply bytes and leaves decoding to the caller: A2sProtocol.h reads 'I' and 'm',
// QueryProtocol.h reads 'D' and 'E'. One terminal signal per exchange (answered or timedOut),
// always the last thing it does, and nothing at all after abort().

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

namespace rollcall::search {

class ServerSocket;

class A2sExchange final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(A2sExchange)

public:
    enum class Kind { Info, Players, Rules };
    Q_ENUM(Kind)

    // The first request included. A server still challenging after the third is taken as silent:
    // a challenge loop must never turn a client into a flood.
    static constexpr int MaxRequests = 3;
    // How long an old-layout 'm' info reply waits for an 'I' that some servers send after it.
    static constexpr std::chrono::milliseconds InfoGrace { 300 };

    // With a socket of its own.
    explicit A2sExchange(QObject *parent = nullptr);
    // Over a lent socket, which must stay this exchange's alone while it is lent (the caller
    // keeps ownership). Its replies are read only while a request is outstanding.
    explicit A2sExchange(ServerSocket *socket, QObject *parent = nullptr);
    ~A2sExchange() override;

    // Drops any exchange in progress and asks anew. `timeoutMs` bounds each round on its own.
    // Asking the server of the previous exchange again keeps the socket, and with it the port the
    // server's last challenge belongs to, so that challenge goes out at once; another server gets
    // a fresh port and no challenge.
    void start(const QString &ip, qint64 port, Kind kind, int timeoutMs);
    // Ends the exchange silently and lets the socket go (the remembered challenge with it).
    void abort();

    bool isActive() const { return m_active; }
    // Requests sent in the current or last exchange.
    int requestsSent() const { return m_requests; }

Q_SIGNALS:
    // The whole reply ('I', 'm', 'D' or 'E' by kind) and the round trip of the request it answered.
    void answered(const QByteArray &reply, int pingMs);
    // No answer within a round's time-out, or a challenge after the last request allowed.
    void timedOut();

private:
    void connectSocket();
    void sendRound();
    void replyReceived(const QByteArray &reply);
    void roundElapsed();
    void holdGoldSrcInfo(const QByteArray &reply);
    void finishAnswered(const QByteArray &reply, int pingMs);
    void finishTimedOut();
    void forgetChallenge();

    QPointer<ServerSocket> m_socket;
    bool m_ownsSocket = false;
    QTimer m_timer;
    QElapsedTimer m_clock; // since the current round's request left
    quint64 m_generation = 0;
    Kind m_kind = Kind::Players;
    int m_timeoutMs = 0;
    int m_requests = 0;
    bool m_active = false;
    bool m_outstanding = false; // a request is out: only then does a reply count
    bool m_inReply = false; // inside the socket's reply signal
    // An 'm' info reply kept while a possible 'I' is awaited.
    std::optional<QByteArray> m_heldInfo;
    int m_heldPing = 0;
    // The last challenge, valid for this server from this socket's current port only.
    std::optional<QByteArray> m_challenge;
    QString m_challengeAddress;
    qint64 m_challengePort = 0;
};

} // namespace rollcall::search
