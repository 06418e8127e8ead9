#include "protocol/A2sProtocol.h"

namespace rollcall::protocol {

namespace {

constexpr qsizetype ChallengeSize = 4;
constexpr QByteArrayView Header("\xFF\xFF\xFF\xFF", 4);

QByteArray request(char type, QByteArrayView body)
{
    return Header.toByteArray() + type + body.toByteArray();
}

QByteArray challengeBytes(const std::optional<QByteArray> &challenge)
{
    if (!challenge)
        return QByteArray(ChallengeSize, '\xFF');
    QByteArray bytes = challenge->first(std::min(challenge->size(), ChallengeSize));
    bytes.resize(ChallengeSize, '\0');
    return bytes;
}

// Reads fields front to back; a read that does not fit leaves the position alone and reports
// failure, so decoding stops at the first field the datagram cut off.
class Reader
{
public:
    explicit Reader(QByteArrayView data)
        : m_data(data)
        , m_pos(5)
    { }

    bool has(qsizetype bytes) const { return m_pos <= m_data.size() && m_data.size() - m_pos >= bytes; }

    std::optional<QByteArray> string()
    {
        if (!has(1))
            return std::nullopt;
        const QByteArrayView rest = m_data.sliced(m_pos);
        const qsizetype end = rest.indexOf('\0');
        if (end < 0)
            return std::nullopt;
        m_pos += end + 1;
        return rest.first(end).toByteArray();
    }

    std::optional<quint8> byte()
    {
        if (!has(1))
            return std::nullopt;
        return static_cast<quint8>(m_data[m_pos++]);
    }

    // Little-endian, `bytes` wide (at most 8).
    std::optional<quint64> number(qsizetype bytes)
    {
        if (!has(bytes))
            return std::nullopt;
        quint64 value = 0;
        for (qsizetype i = bytes - 1; i >= 0; --i)
            value = value << 8 | static_cast<quint8>(m_data[m_pos + i]);
        m_pos += bytes;
        return value;
    }

    bool skip(qsizetype bytes)
    {
        if (!has(bytes))
            return false;
        m_pos += bytes;
        return true;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos;
};

std::optional<char> letter(std::optional<quint8> byte)
{
    if (!byte)
        return std::nullopt;
    const quint8 c = *byte;
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
}

std::optional<bool> flag(std::optional<quint8> byte)
{
    if (!byte)
        return std::nullopt;
    return *byte != 0;
}

// Name, map, folder and game come in this order in both layouts.
bool readNames(Reader &in, A2sInfo &info)
{
    return (info.HostName = in.string()) && (info.MapName = in.string()) && (info.GameDirectory = in.string())
        && (info.GameDescription = in.string());
}

// The two counts are shown as "n/max": half a pair would be misleading, so both or neither.
bool readCounts(Reader &in, A2sInfo &info)
{
    if (!in.has(2))
        return false;
    info.PlayerCount = in.byte();
    info.MaxPlayers = in.byte();
    return true;
}

void readExtraData(Reader &in, A2sInfo &info)
{
    const std::optional<quint8> flags = in.byte();
    if (!flags)
        return;
    if ((*flags & 0x80) && !(info.GamePort = in.number(2)))
        return;
    if ((*flags & 0x10) && !in.skip(8)) // the server's SteamID
        return;
    if ((*flags & 0x40) && !(in.skip(2) && in.string())) // the spectator port and name
        return;
    if ((*flags & 0x20) && !(info.Keywords = in.string()))
        return;
    // The game id holds the whole app id in its low 24 bits; the field above has only 16.
    if (*flags & 0x01) {
        if (const auto gameId = in.number(8))
            info.AppId = static_cast<quint32>(*gameId & 0xFFFFFF);
    }
}

void decodeSource(Reader &in, A2sInfo &info)
{
    if (!(info.ProtocolVersion = in.byte()) || !readNames(in, info) || !(info.AppId = in.number(2))
        || !readCounts(in, info) || !(info.Bots = in.byte()) || !(info.ServerType = letter(in.byte()))
        || !(info.OperatingSystem = letter(in.byte())) || !(info.Password = flag(in.byte()))
        || !(info.Secure = flag(in.byte())) || !(info.Version = in.string()))
        return;
    readExtraData(in, info);
}

void decodeGoldSrc(Reader &in, A2sInfo &info)
{
    if (!in.string()) // the server's own address, never trusted
        return;
    if (!readNames(in, info) || !readCounts(in, info) || !(info.ProtocolVersion = in.byte())
        || !(info.ServerType = letter(in.byte())) || !(info.OperatingSystem = letter(in.byte()))
        || !(info.Password = flag(in.byte())))
        return;
    const std::optional<quint8> mod = in.byte();
    if (!mod)
        return;
    // Web page, download address, a zero byte, version, size, server-only and own-DLL flags.
    if (*mod == 1 && !(in.string() && in.string() && in.skip(1 + 4 + 4 + 1 + 1)))
        return;
    if ((info.Secure = flag(in.byte())))
        info.Bots = in.byte();
}

void appendCodePoint(QString &text, char32_t code)
{
    if (QChar::requiresSurrogates(code)) {
        text += QChar(QChar::highSurrogate(code));
        text += QChar(QChar::lowSurrogate(code));
    } else {
        text += QChar(static_cast<char16_t>(code));
    }
}

} // namespace

QByteArray BuildA2sInfoRequest(const std::optional<QByteArray> &challenge)
{
    // The terminating zero is part of the request: HLDS ignores the query without it.
    QByteArray bytes = request('\x54', QByteArrayView("Source Engine Query\0", 20));
    if (challenge)
        bytes += challengeBytes(challenge);
    return bytes;
}

QByteArray BuildA2sPlayersRequest(const std::optional<QByteArray> &challenge)
{
    return request('\x55', challengeBytes(challenge));
}

QByteArray BuildA2sRulesRequest(const std::optional<QByteArray> &challenge)
{
    return request('\x56', challengeBytes(challenge));
}

A2sReplyClass ClassifyA2sReply(QByteArrayView datagram)
{
    A2sReplyClass reply;
    if (datagram.size() < 5 || !datagram.startsWith(Header))
        return reply;
    switch (datagram[4]) {
    case 'A':
        if (datagram.size() == 5 + ChallengeSize) {
            reply.Kind = A2sReplyKind::Challenge;
            reply.Challenge = datagram.sliced(5).toByteArray();
        }
        break;
    case 'D':
        reply.Kind = A2sReplyKind::Players;
        break;
    case 'E':
        reply.Kind = A2sReplyKind::Rules;
        break;
    case 'I':
        reply.Kind = A2sReplyKind::InfoSource;
        break;
    case 'm':
        reply.Kind = A2sReplyKind::InfoGoldSrc;
        break;
    default:
        break;
    }
    return reply;
}

A2sInfo DecodeA2sInfo(QByteArrayView datagram)
{
    A2sInfo info;
    Reader in(datagram);
    switch (ClassifyA2sReply(datagram).Kind) {
    case A2sReplyKind::InfoSource:
        decodeSource(in, info);
        break;
    case A2sReplyKind::InfoGoldSrc:
        decodeGoldSrc(in, info);
        break;
    default:
        break;
    }
    return info;
}

QString Utf8(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const auto lead = static_cast<quint8>(bytes[i++]);
        if (lead < 0x80) {
            text += QChar(lead);
            continue;
        }
        // The well-formed ranges of Unicode's table 3-7: the second byte's range depends on the
        // lead, which is what excludes overlong forms, surrogates and code points past U+10FFFF.
        int trail;
        char32_t code;
        quint8 low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            code = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            code = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            text += QChar::ReplacementCharacter;
            continue;
        }
        for (; trail > 0 && i < size; --trail) {
            const auto next = static_cast<quint8>(bytes[i]);
            if (next < low || next > high)
                break;
            code = code << 6 | (next & 0x3F);
            ++i;
            low = 0x80;
            high = 0xBF;
        }
        // A sequence cut short is one maximal subpart: one replacement, and the byte that broke
        // it starts afresh.
        if (trail > 0)
            text += QChar::ReplacementCharacter;
        else
            appendCodePoint(text, code);
    }
    return text;
}

} // namespace rollcall::protocol
