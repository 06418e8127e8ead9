#include "A2sReplies.h"

#include "Replies.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace rollcall::hlsim {

namespace {

constexpr QByteArrayView InfoText("Source Engine Query\0", 20);

QByteArray header(char type)
{
    QByteArray out("\xFF\xFF\xFF\xFF", 4);
    out += type;
    return out;
}

void appendString(QByteArray &out, QByteArrayView text)
{
    out += text;
    out += '\0';
}

// Little-endian, `bytes` wide.
void appendLe(QByteArray &out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

quint32 readLe32(QByteArrayView bytes)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(bytes[i]);
    return value;
}

// Host names and rule values are Latin-1 in the population; Steam servers send UTF-8.
QByteArray utf8(const QByteArray &latin1)
{
    return QString::fromLatin1(latin1).toUtf8();
}

quint8 playerCount(const SimServer &server)
{
    return quint8(std::min<qsizetype>(server.Players.size(), 255));
}

void appendExtraData(QByteArray &out, const SimServer &server, quint16 gamePort)
{
    const quint8 flags = server.InfoExtraFlags;
    if (flags == 0)
        return;
    out += char(flags);
    if (flags & 0x80)
        appendLe(out, gamePort, 2);
    if (flags & 0x10)
        appendLe(out, 90071992547409920ull + quint64(server.Index), 8); // a SteamID of the server
    if (flags & 0x20)
        appendString(out, QByteArray(server.GameDirectory + ",sim"));
    if (flags & 0x01)
        appendLe(out, server.AppId, 8); // the game id: the app id in its low 24 bits
}

} // namespace

std::optional<A2sRequest> ParseA2sRequest(QByteArrayView datagram)
{
    if (datagram.size() < 5 || !datagram.startsWith(QByteArrayView("\xFF\xFF\xFF\xFF", 4)))
        return std::nullopt;
    const QByteArrayView body = datagram.sliced(5);
    switch (datagram[4]) {
    case 'T':
        if (body == InfoText)
            return A2sRequest { A2sKind::Info, std::nullopt };
        if (body.size() == InfoText.size() + 4 && body.startsWith(InfoText))
            return A2sRequest { A2sKind::Info, readLe32(body.sliced(InfoText.size())) };
        return std::nullopt;
    case 'U':
    case 'V':
        if (body.size() != 4)
            return std::nullopt;
        return A2sRequest { datagram[4] == 'U' ? A2sKind::Players : A2sKind::Rules, readLe32(body) };
    default:
        return std::nullopt;
    }
}

quint32 ChallengeFor(quint64 secret, int serverIndex, quint32 clientAddress, quint16 clientPort)
{
    Random random(secret ^ (quint64(serverIndex) + 1) * 0x9E3779B97F4A7C15ull
        ^ (quint64(clientAddress) << 16 | clientPort) * 0xBF58476D1CE4E5B9ull);
    const quint32 challenge = quint32(random.next());
    return challenge == AskForChallenge ? challenge - 1 : challenge;
}

QByteArray EncodeChallenge(quint32 challenge)
{
    QByteArray out = header('A');
    appendLe(out, challenge, 4);
    return out;
}

QByteArray EncodeSourceInfo(const SimServer &server, quint16 gamePort)
{
    QByteArray out = header('I');
    out += char(48);
    appendString(out, utf8(server.HostName));
    appendString(out, server.MapName);
    appendString(out, server.GameDirectory);
    appendString(out, server.GameDescription);
    appendLe(out, server.AppId, 2);
    out += char(playerCount(server));
    out += char(server.MaxPlayers);
    out += char(0); // bots
    out += 'd';
    out += 'l';
    out += char(0); // no password
    out += char(server.Index % 3 != 0 ? 1 : 0); // VAC
    appendString(out, "1.1.2.7/Stdio");
    appendExtraData(out, server, gamePort);
    return out;
}

QByteArray EncodeGoldSrcInfo(const SimServer &server, QByteArrayView ownAddress)
{
    QByteArray out = header('m');
    appendString(out, ownAddress);
    appendString(out, utf8(server.HostName));
    appendString(out, server.MapName);
    appendString(out, server.GameDirectory);
    appendString(out, server.GameDescription);
    out += char(playerCount(server));
    out += char(server.MaxPlayers);
    out += char(47);
    out += 'd';
    out += 'l';
    out += char(0); // no password
    const bool mod = server.GameDirectory != "valve";
    out += char(mod ? 1 : 0);
    if (mod) {
        appendString(out, ""); // web page
        appendString(out, ""); // download address
        out += char(0);
        appendLe(out, 1, 4); // version
        appendLe(out, 0, 4); // size
        out += char(0); // not server-only
        out += char(1); // its own client library
    }
    out += char(server.Index % 3 != 0 ? 1 : 0); // VAC
    out += char(0); // bots
    return out;
}

QList<QByteArray> EncodeA2sInfoDatagrams(const SimServer &server, QByteArrayView ownAddress, quint16 gamePort)
{
    switch (server.Layout) {
    case InfoLayout::Source:
        return { EncodeSourceInfo(server, gamePort) };
    case InfoLayout::GoldSrc:
        return { EncodeGoldSrcInfo(server, ownAddress) };
    case InfoLayout::GoldSrcThenSource:
        return { EncodeGoldSrcInfo(server, ownAddress), EncodeSourceInfo(server, gamePort) };
    case InfoLayout::GoldSrcEmptyPlayersSource:
        return { EncodeGoldSrcInfo(server, ownAddress), header('D') + '\0',
            EncodeSourceInfo(server, gamePort) };
    }
    return {};
}

QByteArray EncodeA2sPlayers(const SimServer &server)
{
    QByteArray out = header('D');
    const int count = playerCount(server);
    out += char(count);
    for (int i = 0; i < count; ++i) {
        const SimPlayer &player = server.Players[i];
        const int index = server.IndexStyle == PlayerIndexStyle::AlwaysZero ? 0
            : server.IndexStyle == PlayerIndexStyle::FromOne                ? i + 1
                                                                            : i;
        out += char(index);
        appendString(out, player.SteamName);
        appendLe(out, quint32(player.Frags), 4);
        quint32 bits = 0;
        static_assert(sizeof(bits) == sizeof(player.Time));
        std::memcpy(&bits, &player.Time, sizeof(bits));
        appendLe(out, bits, 4);
    }
    if (server.CutOff && count > 0)
        out.chop(3);
    return out;
}

QByteArray EncodeA2sRules(const SimServer &server)
{
    QByteArray out = header('E');
    appendLe(out, quint16(server.Rules.size()), 2);
    for (const auto &rule : server.Rules) {
        appendString(out, rule.first);
        appendString(out, utf8(rule.second));
    }
    return out;
}

QList<QByteArray> SplitA2sReply(const SimServer &server, const QByteArray &reply, quint32 id)
{
    QList<QByteArray> pieces = SplitReply(reply, id);
    if (server.PiecesOutOfOrder && pieces.size() > 1)
        std::rotate(pieces.begin(), pieces.end() - 1, pieces.end());
    return pieces;
}

} // namespace rollcall::hlsim
