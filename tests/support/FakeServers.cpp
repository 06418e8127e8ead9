#include "FakeServers.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rollcall::testsupport {

namespace {

const QByteArray Header("\xFF\xFF\xFF\xFF", 4);

void appendLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendString(QByteArray &out, const QByteArray &text)
{
    out.append(text);
    out.append('\0');
}

FakeGameServer::Kind kindOf(const QByteArray &request)
{
    if (request == Header + "info")
        return FakeGameServer::Kind::Info;
    if (request == Header + "rules")
        return FakeGameServer::Kind::Rules;
    if (request == Header + "players")
        return FakeGameServer::Kind::Players;
    return FakeGameServer::Kind::Other;
}

} // namespace

QByteArray EncodePlayersReply(const QList<FakePlayer> &players)
{
    QByteArray out = Header + 'D';
    out.append(char(quint8(players.size())));
    for (qsizetype i = 0; i < players.size(); ++i) {
        const FakePlayer &p = players.at(i);
        out.append(char(quint8(i)));
        appendString(out, p.Name);
        appendLe32(out, quint32(p.Frags));
        quint32 bits;
        std::memcpy(&bits, &p.Time, 4);
        appendLe32(out, bits);
    }
    return out;
}

QByteArray EncodeInfoReply(const FakeInfo &info)
{
    QByteArray out = Header + 'C';
    appendString(out, info.Address);
    appendString(out, info.HostName);
    appendString(out, info.MapName);
    appendString(out, info.GameDirectory);
    appendString(out, info.GameDescription);
    out.append(char(info.PlayerCount));
    out.append(char(info.MaxPlayers));
    out.append(char(info.ProtocolVersion));
    return out;
}

QByteArray EncodeRulesReply(const QList<FakeRule> &rules)
{
    QByteArray out = Header + 'E';
    char count[2];
    qToLittleEndian(quint16(rules.size()), count);
    out.append(count, 2);
    for (const FakeRule &rule : rules) {
        appendString(out, rule.Name);
        appendString(out, rule.Value);
    }
    return out;
}

QByteArray EncodeMasterReply(const QByteArray &key, const QList<FakeEntry> &entries, char type)
{
    QByteArray out = Header + type;
    out.append('\n');
    out.append(key.left(4).leftJustified(4, '\0', true));
    for (const FakeEntry &e : entries) {
        char address[4];
        qToBigEndian(QHostAddress(e.Address).toIPv4Address(), address);
        out.append(address, 4);
        char port[2];
        qToBigEndian(e.Port, port);
        out.append(port, 2);
    }
    return out;
}

QByteArray MasterPageKey(int page)
{
    char key[4];
    qToBigEndian(quint32(page + 1), key);
    return QByteArray(key, 4);
}

QList<QByteArray> SplitIntoPieces(const QByteArray &reply, quint32 id, int pieceSize)
{
    QList<QByteArray> pieces;
    if (pieceSize < 1)
        pieceSize = 1;
    const int count = int((reply.size() + pieceSize - 1) / pieceSize);
    for (int n = 0; n < count; ++n) {
        QByteArray piece("\xFE\xFF\xFF\xFF", 4);
        appendLe32(piece, id);
        piece.append(char(quint8((n << 4) | (count & 0x0F))));
        piece.append(reply.mid(qsizetype(n) * pieceSize, pieceSize));
        pieces.append(piece);
    }
    return pieces;
}

QByteArray MasterRequestBytes(const QByteArray &key, const QByteArray &filter)
{
    return '1' + key + filter + '\0';
}

// ---- FakeGameServer ----

FakeGameServer::FakeGameServer(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

FakeGameServer::~FakeGameServer() = default;

bool FakeGameServer::listen(quint16 port, const QHostAddress &address)
{
    delete m_socket;
    m_address = address;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(address, port))
        return false;
    m_info.Address = (address.toString() + QLatin1Char(':') + QString::number(this->port())).toLatin1();
    connect(m_socket, &QUdpSocket::readyRead, this, &FakeGameServer::readPending);
    return true;
}

quint16 FakeGameServer::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

quint16 FakeGameServer::spoofPort() const
{
    return m_spoofSocket ? m_spoofSocket->localPort() : 0;
}

void FakeGameServer::setRawReply(Kind kind, const QByteArray &bytes)
{
    m_raw[int(kind)] = bytes;
}

void FakeGameServer::clearRawReplies()
{
    for (auto &raw : m_raw)
        raw.reset();
}

void FakeGameServer::setSplit(int pieceSize, const QList<int> &order, quint32 id)
{
    m_pieceSize = pieceSize;
    m_pieceOrder = order;
    m_splitId = id;
}

int FakeGameServer::requestCount(Kind kind) const
{
    return int(std::count_if(
        m_requests.cbegin(), m_requests.cend(), [kind](const Request &r) { return r.kind == kind; }));
}

QByteArray FakeGameServer::replyFor(Kind kind) const
{
    if (m_raw[int(kind)])
        return *m_raw[int(kind)];
    switch (kind) {
    case Kind::Info: {
        FakeInfo info = m_info;
        if (info.PlayerCount == 0)
            info.PlayerCount = quint8(m_players.size());
        return EncodeInfoReply(info);
    }
    case Kind::Rules:
        return EncodeRulesReply(m_rules);
    case Kind::Players:
        return EncodePlayersReply(m_players);
    case Kind::Other:
        break;
    }
    return {};
}

void FakeGameServer::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const Kind kind = kindOf(datagram.data());
        m_requests.append({ kind, datagram.data(), quint16(datagram.senderPort()), m_clock.elapsed() });
        const QHostAddress to = datagram.senderAddress();
        const quint16 toPort = quint16(datagram.senderPort());
        const bool answers = !m_silent && (kind != Kind::Other || m_raw[int(kind)]);
        if (answers)
            ++m_pending;
        Q_EMIT requestReceived(kind);
        if (!answers)
            continue;
        if (m_delayMs > 0)
            QTimer::singleShot(m_delayMs, this, [this, kind, to, toPort] { sendReply(kind, to, toPort); });
        else
            sendReply(kind, to, toPort);
    }
}

void FakeGameServer::sendReply(Kind kind, const QHostAddress &to, quint16 toPort)
{
    --m_pending;
    if (!m_socket)
        return;
    if (m_spoof) {
        if (!m_spoofSocket) {
            m_spoofSocket = new QUdpSocket(this);
            m_spoofSocket->bind(m_address, 0);
        }
        m_spoofSocket->writeDatagram(*m_spoof, to, toPort);
    }
    QByteArray reply = replyFor(kind);
    if (m_cutOff >= 0)
        reply.truncate(m_cutOff);
    QList<QByteArray> datagrams { reply };
    if (m_pieceSize > 0) {
        const QList<QByteArray> pieces = SplitIntoPieces(reply, m_splitId, m_pieceSize);
        if (m_pieceOrder.isEmpty()) {
            datagrams = pieces;
        } else {
            datagrams.clear();
            for (int n : m_pieceOrder)
                if (n >= 0 && n < pieces.size())
                    datagrams.append(pieces.at(n));
        }
    }
    for (int round = 0; round < (m_twice ? 2 : 1); ++round)
        for (const QByteArray &d : std::as_const(datagrams))
            m_socket->writeDatagram(d, to, toPort);
    ++m_repliesSent;
    Q_EMIT replySent(kind);
}

// ---- FakeMasterServer ----

FakeMasterServer::FakeMasterServer(QObject *parent)
    : QObject(parent)
{ }

FakeMasterServer::~FakeMasterServer() = default;

bool FakeMasterServer::listen(quint16 port)
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::LocalHost, port))
        return false;
    connect(m_socket, &QUdpSocket::readyRead, this, &FakeMasterServer::readPending);
    return true;
}

quint16 FakeMasterServer::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

QString FakeMasterServer::addressText() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(port());
}

std::optional<QByteArray> FakeMasterServer::replyFor(const QByteArray &request)
{
    if (!m_raw.isEmpty())
        return m_raw.takeFirst();
    int page = 0;
    if (request.size() >= 5) {
        const quint32 key = qFromBigEndian<quint32>(request.constData() + 1);
        const int pages = int((m_entries.size() + m_pageSize - 1) / m_pageSize);
        if (key >= 1 && key <= quint32(pages))
            page = int(key);
    }
    if (m_stopAfter >= 0 && page > m_stopAfter)
        return std::nullopt;
    const QList<FakeEntry> entries = m_entries.mid(qsizetype(page) * m_pageSize, m_pageSize);
    const bool last = qsizetype(page + 1) * m_pageSize >= m_entries.size();
    QByteArray reply = EncodeMasterReply(
        last ? QByteArray(4, '\0') : MasterPageKey(page), entries, m_badHeader ? 'x' : 'f');
    if (m_malformed)
        reply.chop(entries.isEmpty() ? 2 : 3);
    return reply;
}

void FakeMasterServer::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        m_requests.append(datagram.data());
        Q_EMIT requestReceived(datagram.data());
        if (m_silent)
            continue;
        const std::optional<QByteArray> reply = replyFor(datagram.data());
        if (!reply)
            continue;
        const QHostAddress to = datagram.senderAddress();
        const quint16 toPort = quint16(datagram.senderPort());
        auto send = [this, bytes = *reply, to, toPort] {
            if (m_spoof) {
                if (!m_spoofSocket) {
                    m_spoofSocket = new QUdpSocket(this);
                    m_spoofSocket->bind(QHostAddress::LocalHost, 0);
                }
                m_spoofSocket->writeDatagram(*m_spoof, to, toPort);
            }
            if (m_socket) {
                m_socket->writeDatagram(bytes, to, toPort);
                ++m_repliesSent;
            }
        };
        if (m_delayMs > 0)
            QTimer::singleShot(m_delayMs, this, send);
        else
            send();
    }
}

// ---- ServerPopulation ----

ServerPopulation::ServerPopulation(QObject *parent)
    : QObject(parent)
{ }

ServerPopulation::~ServerPopulation() = default;

QList<FakePlayer> ServerPopulation::PlayersFor(int i)
{
    QList<FakePlayer> players;
    for (int j = 0; j < i % 4; ++j)
        players.append(
            { "player" + QByteArray::number(i) + '_' + QByteArray::number(j), j - 1, 60.f * float(j + 1) });
    return players;
}

bool ServerPopulation::start(int count, int replyDelayMs)
{
    for (int i = 0; i < count; ++i) {
        auto *server = new FakeGameServer(this);
        if (!server->listen())
            return false;
        server->setPlayers(PlayersFor(i));
        server->setReplyDelay(replyDelayMs);
        connect(server, &FakeGameServer::requestReceived, this, [this, server](FakeGameServer::Kind kind) {
            // Only a request the server will answer can be counted back down.
            if (kind == FakeGameServer::Kind::Players && server->pending() > 0) {
                ++m_outstanding;
                m_peak = qMax(m_peak, m_outstanding);
            }
        });
        connect(server, &FakeGameServer::replySent, this, [this](FakeGameServer::Kind kind) {
            if (kind == FakeGameServer::Kind::Players)
                --m_outstanding;
        });
        m_servers.append(server);
    }
    return true;
}

QList<FakeEntry> ServerPopulation::entries() const
{
    QList<FakeEntry> list;
    list.reserve(m_servers.size());
    for (const FakeGameServer *server : m_servers)
        list.append(server->entry());
    return list;
}

int ServerPopulation::totalPlayersRequests() const
{
    int total = 0;
    for (const FakeGameServer *server : m_servers)
        total += server->requestCount(FakeGameServer::Kind::Players);
    return total;
}

int ServerPopulation::askedTwice() const
{
    return int(std::count_if(m_servers.cbegin(), m_servers.cend(),
        [](const FakeGameServer *s) { return s->requestCount(FakeGameServer::Kind::Players) > 1; }));
}

int ServerPopulation::neverAsked() const
{
    return int(std::count_if(m_servers.cbegin(), m_servers.cend(),
        [](const FakeGameServer *s) { return s->requestCount(FakeGameServer::Kind::Players) == 0; }));
}

quint16 ClosedUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

bool RefusedPortIsReported(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool refused = false;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0
        && ::send(fd, "?", 1, 0) == 1) {
        pollfd readable { fd, POLLIN, 0 };
        char byte = 0;
        refused = ::poll(&readable, 1, 1000) == 1 && ::recv(fd, &byte, 1, 0) < 0 && errno == ECONNREFUSED;
    }
    ::close(fd);
    return refused;
}

} // namespace rollcall::testsupport
