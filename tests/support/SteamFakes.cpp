#include "SteamFakes.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>
#include <algorithm>

namespace rollcall::testsupport {

namespace {

const QByteArray Header("\xFF\xFF\xFF\xFF", 4);
const QByteArray InfoText("Source Engine Query\0", 20);

void appendString(QByteArray &out, const QByteArray &text)
{
    out.append(text);
    out.append('\0');
}

template <typename T> void appendLe(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

void appendEntry(QByteArray &out, const FakeEntry &entry)
{
    char bytes[6];
    qToBigEndian(QHostAddress(entry.Address).toIPv4Address(), bytes);
    qToBigEndian(entry.Port, bytes + 4);
    out.append(bytes, 6);
}

// A spare socket on `address` that sends one datagram as if it came from the real server.
void spoof(QObject *owner, QUdpSocket *&socket, const QHostAddress &address, const QByteArray &datagram,
    const QHostAddress &to, quint16 toPort)
{
    if (!socket) {
        socket = new QUdpSocket(owner);
        socket->bind(address, 0);
    }
    socket->writeDatagram(datagram, to, toPort);
}

FakeA2sServer::Kind kindOf(const QByteArray &datagram, std::optional<QByteArray> *challenge)
{
    if (datagram.size() < 5 || !datagram.startsWith(Header))
        return FakeA2sServer::Kind::Other;
    const QByteArray body = datagram.mid(5);
    switch (datagram[4]) {
    case 'T':
        if (body == InfoText)
            return FakeA2sServer::Kind::Info;
        if (body.size() == InfoText.size() + 4 && body.startsWith(InfoText)) {
            *challenge = body.right(4);
            return FakeA2sServer::Kind::Info;
        }
        break;
    case 'U':
    case 'V':
        if (body.size() == 4) {
            *challenge = body;
            return datagram[4] == 'U' ? FakeA2sServer::Kind::Players : FakeA2sServer::Kind::Rules;
        }
        break;
    default:
        break;
    }
    return FakeA2sServer::Kind::Other;
}

} // namespace

// ---- Encoders ----

QByteArray EncodeA2sSourceInfo(const FakeA2sInfo &info)
{
    QByteArray out = Header + 'I';
    out.append(char(48));
    for (const QByteArray &text : { info.HostName, info.MapName, info.GameDirectory, info.GameDescription })
        appendString(out, text);
    appendLe(out, info.AppId);
    out.append(char(info.PlayerCount));
    out.append(char(info.MaxPlayers));
    out.append(char(info.Bots));
    out.append(info.ServerType);
    out.append(info.OperatingSystem);
    out.append(char(info.Password ? 1 : 0));
    out.append(char(info.Secure ? 1 : 0));
    appendString(out, info.Version);
    if (info.ExtraFlags == 0)
        return out;
    out.append(char(info.ExtraFlags));
    if (info.ExtraFlags & 0x80)
        appendLe(out, info.GamePort);
    if (info.ExtraFlags & 0x20)
        appendString(out, info.Keywords);
    if (info.ExtraFlags & 0x01)
        appendLe(out, quint64(info.AppId));
    return out;
}

QByteArray EncodeA2sGoldSrcInfo(const FakeA2sInfo &info, const QByteArray &address)
{
    QByteArray out = Header + 'm';
    for (const QByteArray &text :
        { address, info.HostName, info.MapName, info.GameDirectory, info.GameDescription })
        appendString(out, text);
    out.append(char(info.PlayerCount));
    out.append(char(info.MaxPlayers));
    out.append(char(47));
    out.append(info.ServerType);
    out.append(info.OperatingSystem);
    out.append(char(info.Password ? 1 : 0));
    out.append(char(info.Mod ? 1 : 0));
    if (info.Mod) {
        appendString(out, "http://mod.invalid/");
        appendString(out, "");
        out.append('\0');
        appendLe(out, quint32(1)); // version
        appendLe(out, quint32(184000)); // size
        out.append(char(0)); // not server-only
        out.append(char(1)); // its own client library
    }
    out.append(char(info.Secure ? 1 : 0));
    out.append(char(info.Bots));
    return out;
}

QByteArray EncodeA2sChallenge(const QByteArray &challenge)
{
    return Header + 'A' + challenge;
}

QByteArray EncodeSteamMasterReply(const QList<FakeEntry> &entries, bool ended)
{
    QByteArray out = Header + "\x66\x0A";
    for (const FakeEntry &entry : entries)
        appendEntry(out, entry);
    if (ended)
        appendEntry(out, { QStringLiteral("0.0.0.0"), 0 });
    return out;
}

QByteArray SteamMasterRequestBytes(quint8 region, const QByteArray &seed, const QByteArray &filter)
{
    return '\x31' + QByteArray(1, char(region)) + seed + '\0' + filter + '\0';
}

QList<FakeUtf8Name> Utf8Names()
{
    const QString bad(QChar::ReplacementCharacter);
    return {
        { "Иван", QStringLiteral("Иван") },
        { "Σίσυφος", QStringLiteral("Σίσυφος") },
        { "玩家", QStringLiteral("玩家") },
        { "Stra\xC3\x9F"
          "e",
            QStringLiteral("Stra\u00DFe") },
        { "\xF0\x9F\x8E\xAEgamer", QStringLiteral("\U0001F3AEgamer") },
        { "Zoe\xCC\x88", QStringLiteral("Zoe\u0308") },
        // "Ivan" in Windows-1251: no byte starts a sequence the next one continues.
        { "\xC8\xE2\xE0\xED", bad + bad + bad + bad },
        { "bad\xFFname", QStringLiteral("bad") + bad + QStringLiteral("name") },
        { "cut\xE2\x82", QStringLiteral("cut") + bad },
        { "\xF0\x9F\x8Ex", bad + QStringLiteral("x") },
        { "\xC0\xAFslash", bad + bad + QStringLiteral("slash") },
        { "\xED\xA0\x80surrogate", bad + bad + bad + QStringLiteral("surrogate") },
        { "\xF4\x90\x80\x80"
          "beyond",
            bad + bad + bad + bad + QStringLiteral("beyond") },
    };
}

// ---- FakeSteamMaster ----

FakeSteamMaster::FakeSteamMaster(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

FakeSteamMaster::~FakeSteamMaster() = default;

bool FakeSteamMaster::listen(quint16 port)
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::LocalHost, port))
        return false;
    connect(m_socket, &QUdpSocket::readyRead, this, &FakeSteamMaster::readPending);
    return true;
}

quint16 FakeSteamMaster::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

QString FakeSteamMaster::addressText() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(port());
}

quint16 FakeSteamMaster::spoofPort() const
{
    return m_spoofSocket ? m_spoofSocket->localPort() : 0;
}

void FakeSteamMaster::setEntriesForFilter(const QByteArray &filter, const QList<FakeEntry> &entries)
{
    m_filtered.insert(filter, entries);
}

void FakeSteamMaster::setReplyForSeed(const QByteArray &seed, const QByteArray &datagram)
{
    m_scripted.insert(seed, datagram);
}

void FakeSteamMaster::setRateLimit(int replies, int silenceMs)
{
    m_rateReplies = replies;
    m_rateSilenceMs = silenceMs;
    m_repliesSinceSilence = 0;
    m_silentUntilMs = -1;
}

bool FakeSteamMaster::mayAnswer(int number)
{
    if (m_silent || m_dropped.contains(number))
        return false;
    if (m_silentAfter >= 0 && m_repliesSent >= m_silentAfter)
        return false;
    if (m_rateReplies <= 0)
        return true;
    const qint64 now = m_clock.elapsed();
    if (now < m_silentUntilMs)
        return false;
    if (m_repliesSinceSilence >= m_rateReplies) {
        m_silentUntilMs = now + m_rateSilenceMs;
        m_repliesSinceSilence = 0;
        return false;
    }
    ++m_repliesSinceSilence;
    return true;
}

QByteArray FakeSteamMaster::pageFor(const Request &request) const
{
    if (const auto scripted = m_scripted.constFind(request.seed); scripted != m_scripted.cend())
        return *scripted;
    const auto filtered = m_filtered.constFind(request.filter);
    const QList<FakeEntry> &list = filtered != m_filtered.cend() ? *filtered : m_entries;
    qsizetype start = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if ((list[i].Address + QLatin1Char(':') + QString::number(list[i].Port)).toLatin1() == request.seed) {
            start = i + 1;
            break;
        }
    }
    const qsizetype count = std::min<qsizetype>(m_pageSize, list.size() - start);
    // The end marker takes a slot of its own: a page that fills up leaves it to the next one.
    QByteArray page
        = EncodeSteamMasterReply(list.mid(start, count), start + count == list.size() && count < m_pageSize);
    if (m_badHeader)
        page[5] = '\x0D';
    if (m_malformed)
        page.chop(2);
    return page;
}

void FakeSteamMaster::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        Request request;
        request.bytes = datagram.data();
        request.fromPort = quint16(datagram.senderPort());
        request.atMs = m_clock.elapsed();
        const QByteArray &bytes = request.bytes;
        if (bytes.size() >= 4 && bytes[0] == '\x31' && bytes.endsWith('\0')) {
            const QByteArray fields = bytes.mid(2, bytes.size() - 3);
            const qsizetype zero = fields.indexOf('\0');
            if (zero >= 0 && !fields.mid(zero + 1).contains('\0')) {
                request.wellFormed = true;
                request.region = quint8(bytes[1]);
                request.seed = fields.left(zero);
                request.filter = fields.mid(zero + 1);
            }
        }
        request.answered = request.wellFormed && mayAnswer(int(m_requests.size()));
        m_requests.append(request);
        Q_EMIT requestReceived();
        if (request.answered)
            send(pageFor(request), datagram.senderAddress(), request.fromPort);
    }
}

void FakeSteamMaster::send(const QByteArray &datagram, const QHostAddress &to, quint16 toPort)
{
    ++m_repliesSent;
    auto go = [this, datagram, to, toPort] {
        if (m_spoof)
            spoof(this, m_spoofSocket, QHostAddress::LocalHost, *m_spoof, to, toPort);
        if (m_socket)
            m_socket->writeDatagram(datagram, to, toPort);
    };
    if (m_delayMs > 0)
        QTimer::singleShot(m_delayMs, this, go);
    else
        go();
}

// ---- FakeA2sServer ----

FakeA2sServer::FakeA2sServer(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

FakeA2sServer::~FakeA2sServer() = default;

bool FakeA2sServer::listen(quint16 port, const QHostAddress &address)
{
    delete m_socket;
    m_address = address;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(address, port))
        return false;
    m_info.GamePort = this->port();
    connect(m_socket, &QUdpSocket::readyRead, this, &FakeA2sServer::readPending);
    return true;
}

quint16 FakeA2sServer::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

quint16 FakeA2sServer::spoofPort() const
{
    return m_spoofSocket ? m_spoofSocket->localPort() : 0;
}

void FakeA2sServer::setSplit(int pieceSize, const QList<int> &order, quint32 id)
{
    m_pieceSize = pieceSize;
    m_pieceOrder = order;
    m_splitId = id;
}

int FakeA2sServer::requestCount(Kind kind) const
{
    return int(std::count_if(
        m_requests.cbegin(), m_requests.cend(), [kind](const Request &r) { return r.kind == kind; }));
}

QByteArray FakeA2sServer::challengeFor(quint16 clientPort) const
{
    const quint32 generation = quint32(m_generation.value(clientPort)) + 1;
    quint32 value
        = quint32(port()) * 2654435761u ^ quint32(clientPort) * 2246822519u ^ generation * 3266489917u;
    if (value == 0xFFFFFFFF)
        value = 0x12345678;
    QByteArray bytes;
    appendLe(bytes, value);
    return bytes;
}

// Whether the request gets its reply; otherwise it gets a challenge.
bool FakeA2sServer::accepts(const Request &request)
{
    if (m_challenges == Challenges::Direct || (request.kind == Kind::Info && !m_infoChallenge))
        return true;
    if (m_challenges == Challenges::Always) {
        ++m_generation[request.fromPort];
        return false;
    }
    if (request.challenge != challengeFor(request.fromPort))
        return false;
    if (m_challenges == Challenges::Stale && !m_staleRefused.contains(request.fromPort)) {
        m_staleRefused.insert(request.fromPort);
        ++m_generation[request.fromPort];
        return false;
    }
    return true;
}

QList<QByteArray> FakeA2sServer::replyFor(Kind kind) const
{
    if (m_raw[int(kind)])
        return { *m_raw[int(kind)] };
    if (kind == Kind::Info) {
        FakeA2sInfo info = m_info;
        if (info.PlayerCount == 0)
            info.PlayerCount = quint8(m_players.size());
        const QByteArray address = (addressText() + QLatin1Char(':') + QString::number(port())).toLatin1();
        switch (m_layout) {
        case InfoLayout::Source:
            return { EncodeA2sSourceInfo(info) };
        case InfoLayout::GoldSrc:
            return { EncodeA2sGoldSrcInfo(info, address) };
        case InfoLayout::GoldSrcThenSource:
            return { EncodeA2sGoldSrcInfo(info, address), EncodeA2sSourceInfo(info) };
        case InfoLayout::GoldSrcEmptyPlayersSource:
            return { EncodeA2sGoldSrcInfo(info, address), EncodePlayersReply({}), EncodeA2sSourceInfo(info) };
        }
        return {};
    }
    const QByteArray reply
        = kind == Kind::Players ? EncodePlayersReply(m_players) : EncodeRulesReply(m_rules);
    if (m_pieceSize <= 0)
        return { reply };
    const QList<QByteArray> pieces = SplitIntoPieces(reply, m_splitId, m_pieceSize);
    if (m_pieceOrder.isEmpty())
        return pieces;
    QList<QByteArray> ordered;
    for (int n : m_pieceOrder) {
        if (n >= 0 && n < pieces.size())
            ordered.append(pieces.at(n));
    }
    return ordered;
}

void FakeA2sServer::readPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        Request request;
        request.bytes = datagram.data();
        request.kind = kindOf(request.bytes, &request.challenge);
        request.fromPort = quint16(datagram.senderPort());
        request.atMs = m_clock.elapsed();
        m_requests.append(request);
        Q_EMIT requestReceived(request.kind);
        if (m_silent || request.kind == Kind::Other)
            continue;
        if (!accepts(request)) {
            ++m_challengesSent;
            send({ m_rawChallenge.value_or(EncodeA2sChallenge(challengeFor(request.fromPort))) },
                datagram.senderAddress(), request.fromPort, 0);
            continue;
        }
        ++m_repliesSent;
        send(replyFor(request.kind), datagram.senderAddress(), request.fromPort,
            request.kind == Kind::Info ? m_laterInfoDelayMs : 0);
    }
}

void FakeA2sServer::send(
    const QList<QByteArray> &datagrams, const QHostAddress &to, quint16 toPort, int laterDelayMs)
{
    const auto write = [this, to, toPort](const QList<QByteArray> &some) {
        for (const QByteArray &datagram : some) {
            if (m_socket)
                m_socket->writeDatagram(datagram, to, toPort);
        }
    };
    auto go = [this, write, datagrams, to, toPort, laterDelayMs] {
        if (m_spoof)
            spoof(this, m_spoofSocket, m_address, *m_spoof, to, toPort);
        if (laterDelayMs <= 0 || datagrams.size() < 2) {
            write(datagrams);
            return;
        }
        write(datagrams.mid(0, 1));
        QTimer::singleShot(laterDelayMs, this, [write, later = datagrams.mid(1)] { write(later); });
    };
    if (m_delayMs > 0)
        QTimer::singleShot(m_delayMs, this, go);
    else
        go();
}

} // namespace rollcall::testsupport
