#include "search/A2sExchange.h"

#include "protocol/A2sProtocol.h"
#include "search/ServerSocket.h"

#include <limits>

namespace rollcall::search {

A2sExchange::A2sExchange(QObject *parent)
    : QObject(parent)
    , m_socket(new ServerSocket(this))
    , m_ownsSocket(true)
{
    connectSocket();
}

A2sExchange::A2sExchange(ServerSocket *socket, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
{
    connectSocket();
}

A2sExchange::~A2sExchange()
{
    ++m_generation;
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    if (m_ownsSocket) {
        // A receiver may delete this exchange from inside the socket's own reply signal: the
        // socket goes once that has unwound, never under its caller's feet.
        m_socket->close();
        m_socket->setParent(nullptr);
        m_socket->deleteLater();
    }
}

void A2sExchange::connectSocket()
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire 5% early and cut off a server that answers just in time.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &A2sExchange::roundElapsed);
    if (m_socket)
        connect(m_socket, &ServerSocket::replyReceived, this, &A2sExchange::replyReceived);
}

void A2sExchange::start(const QString &ip, qint64 port, Kind kind, int timeoutMs)
{
    ++m_generation;
    m_timer.stop();
    m_heldInfo.reset();
    m_active = true;
    m_outstanding = false;
    m_kind = kind;
    m_timeoutMs = qMax(timeoutMs, 0);
    m_requests = 0;

    const bool sameServer
        = m_socket && m_socket->isOpen() && m_socket->aimedAddress() == ip && m_socket->aimedPort() == port;
    if (!sameServer && m_socket) {
        // A fresh port: nothing the previous server sends late can be taken for this answer.
        m_socket->close();
        m_socket->aim(ip, port);
    }
    if (!sameServer || m_challengeAddress != ip || m_challengePort != port)
        forgetChallenge();

    if (!m_inReply) {
        sendRound();
        return;
    }
    // Restarted from inside a reply: datagrams already waiting on the socket came before this
    // request and must not answer it, so it leaves once the socket has handed them all over.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation && m_active)
                sendRound();
        },
        Qt::QueuedConnection);
}

void A2sExchange::abort()
{
    ++m_generation;
    m_timer.stop();
    m_active = false;
    m_outstanding = false;
    m_heldInfo.reset();
    if (m_socket)
        m_socket->close();
    forgetChallenge();
}

void A2sExchange::sendRound()
{
    QByteArray request;
    switch (m_kind) {
    case Kind::Info:
        request = protocol::BuildA2sInfoRequest(m_challenge);
        break;
    case Kind::Players:
        request = protocol::BuildA2sPlayersRequest(m_challenge);
        break;
    case Kind::Rules:
        request = protocol::BuildA2sRulesRequest(m_challenge);
        break;
    }
    ++m_requests;
    m_outstanding = true;
    m_timer.start(m_timeoutMs);
    m_clock.start();
    // A request that cannot leave is left to the time-out, like one lost on the way.
    if (m_socket)
        m_socket->send(request);
}

void A2sExchange::replyReceived(const QByteArray &reply)
{
    if (!m_outstanding)
        return;
    const int ping = int(qMin<qint64>(m_clock.elapsed(), std::numeric_limits<int>::max()));
    const protocol::A2sReplyClass kind = protocol::ClassifyA2sReply(reply);
    QPointer<A2sExchange> self(this);
    m_inReply = true;
    switch (kind.Kind) {
    case protocol::A2sReplyKind::Challenge:
        // With an 'm' in hand the answer is there already; only an 'I' may still replace it.
        if (m_heldInfo)
            break;
        m_challenge = kind.Challenge;
        m_challengeAddress = m_socket->aimedAddress();
        m_challengePort = m_socket->aimedPort();
        if (m_requests >= MaxRequests)
            finishTimedOut();
        else
            sendRound();
        break;
    case protocol::A2sReplyKind::Players:
        // A 'D' also comes between an 'm' and an 'I' to an info request: not the answer there.
        if (m_kind == Kind::Players)
            finishAnswered(reply, ping);
        break;
    case protocol::A2sReplyKind::Rules:
        if (m_kind == Kind::Rules)
            finishAnswered(reply, ping);
        break;
    case protocol::A2sReplyKind::InfoSource:
        if (m_kind == Kind::Info)
            finishAnswered(reply, ping);
        break;
    case protocol::A2sReplyKind::InfoGoldSrc:
        if (m_kind == Kind::Info && !m_heldInfo) {
            m_heldPing = ping;
            holdGoldSrcInfo(reply);
        }
        break;
    case protocol::A2sReplyKind::Unknown:
        break;
    }
    if (self)
        m_inReply = false;
}

void A2sExchange::holdGoldSrcInfo(const QByteArray &reply)
{
    // Servers that send both layouts send the old one first; the newer one says more (the app
    // id, the version), so it is worth a short wait, never longer than the round had left.
    m_heldInfo = reply;
    const qint64 left = qMax<qint64>(0, m_timeoutMs - m_clock.elapsed());
    m_timer.start(int(qMin<qint64>(left, InfoGrace.count())));
}

void A2sExchange::roundElapsed()
{
    if (!m_active)
        return;
    if (m_heldInfo)
        finishAnswered(*m_heldInfo, m_heldPing);
    else
        finishTimedOut();
}

void A2sExchange::finishAnswered(const QByteArray &reply, int pingMs)
{
    const QByteArray answer = reply; // may refer to the held reply, cleared next
    m_active = false;
    m_outstanding = false;
    m_timer.stop();
    m_heldInfo.reset();
    Q_EMIT answered(answer, pingMs);
}

void A2sExchange::finishTimedOut()
{
    m_active = false;
    m_outstanding = false;
    m_timer.stop();
    m_heldInfo.reset();
    Q_EMIT timedOut();
}

void A2sExchange::forgetChallenge()
{
    m_challenge.reset();
    m_challengeAddress.clear();
    m_challengePort = 0;
}

} // namespace rollcall::search
