#pragma once

// The Steam-era server queries (A2S): requests with challenges, the reply kinds, and the info
// reply in both the Source ('I') and the old GoldSrc ('m') layouts. The players ('D') and rules
// ('E') replies have the same layout as the legacy ones: DecodePlayersReply and DecodeRulesReply
// of QueryProtocol.h read them (a player's Index is whatever the server sent: never rely on it).
// Text stays as bytes; Utf8() turns it into QString where it is shown or matched.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace rollcall::protocol {

// A challenge is always 4 bytes on the wire; a value of another size is cut or padded with zeros
// so the request never changes length. Without one, players and rules ask for a challenge
// (FF FF FF FF in its place) and info goes out bare, which servers without the info challenge answer.
QByteArray BuildA2sInfoRequest(const std::optional<QByteArray> &challenge = std::nullopt);
QByteArray BuildA2sPlayersRequest(const std::optional<QByteArray> &challenge = std::nullopt);
QByteArray BuildA2sRulesRequest(const std::optional<QByteArray> &challenge = std::nullopt);

enum class A2sReplyKind {
    Challenge, // 'A' and exactly 4 bytes: repeat the request with them
    Players, // 'D'
    Rules, // 'E'
    InfoSource, // 'I'
    InfoGoldSrc, // 'm'
    Unknown, // no FF FF FF FF header, another type byte, or an 'A' of the wrong size
};

struct A2sReplyClass
{
    A2sReplyKind Kind = A2sReplyKind::Unknown;
    QByteArray Challenge; // 4 bytes when Kind is Challenge, empty otherwise

    friend bool operator==(const A2sReplyClass &, const A2sReplyClass &) = default;
};

// One look at the header decides what a reply is, so a client can route it before decoding:
// a server may answer any request with a challenge, and some send 'm', 'D' and 'I' to one info request.
A2sReplyClass ClassifyA2sReply(QByteArrayView datagram);

// What a server says about itself in either info layout. A field is absent when the layout has no
// such field or the datagram ends before it; fields read before a cut are kept.
struct A2sInfo
{
    std::optional<QByteArray> HostName;
    std::optional<QByteArray> MapName;
    std::optional<QByteArray> GameDirectory;
    std::optional<QByteArray> GameDescription;
    std::optional<quint32> AppId; // 'I' only; the game id's 24 bits when the server sends one
    std::optional<quint8> PlayerCount; // with MaxPlayers: both or neither
    std::optional<quint8> MaxPlayers;
    std::optional<quint8> Bots;
    std::optional<char> ServerType; // 'd' dedicated, 'l' listen, 'p' proxy (lower-cased)
    std::optional<char> OperatingSystem; // 'l', 'w', 'm' or 'o' (lower-cased)
    std::optional<bool> Password;
    std::optional<bool> Secure; // VAC
    std::optional<QByteArray> Version; // 'I' only
    std::optional<quint8> ProtocolVersion;
    std::optional<quint16> GamePort; // 'I' with the extra data flag 0x80 only
    std::optional<QByteArray> Keywords; // 'I' with the extra data flag 0x20 only

    friend bool operator==(const A2sInfo &, const A2sInfo &) = default;
};

// 'I' and 'm' (told apart by the type byte) into one record, so whoever shows it need not care
// which layout a server chose; any other reply gives an A2sInfo with nothing in it.
A2sInfo DecodeA2sInfo(QByteArrayView datagram);

// Servers send UTF-8 but nothing checks it: every maximal ill-formed subsequence becomes one
// U+FFFD, the practice Unicode recommends, so a bad byte never swallows the good text after it.
// A leading byte order mark is kept (QString::fromUtf8 would drop it, and the count would differ).
QString Utf8(QByteArrayView bytes);

} // namespace rollcall::protocol
