#pragma once

// The Steam-era queries every simulated game server answers beside the legacy text ones, on the
// same port: requests with challenges, and the info, players and rules replies in the layouts
// servers out there use. The bytes are written here, apart from the program's decoders.

#include "Population.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

namespace rollcall::hlsim {

enum class A2sKind : quint8 { Info, Players, Rules };

struct A2sRequest
{
    A2sKind Kind = A2sKind::Info;
    // The four bytes after the type (after the info text for info), read little-endian; none
    // for a bare info request. FF FF FF FF asks for a challenge.
    std::optional<quint32> Challenge;
};

inline constexpr quint32 AskForChallenge = 0xFFFFFFFF;

// Info: 54 "Source Engine Query" 00, then nothing or four challenge bytes. Players: 55 and four
// bytes. Rules: 56 and four bytes. Anything else is not an A2S request.
std::optional<A2sRequest> ParseA2sRequest(QByteArrayView datagram);

// The challenge a server hands one client socket: the same for the same server, client address
// and port, so a client that asks twice gets the same one; never FF FF FF FF.
quint32 ChallengeFor(quint64 secret, int serverIndex, quint32 clientAddress, quint16 clientPort);
// FF FF FF FF 41 and the four bytes.
QByteArray EncodeChallenge(quint32 challenge);

// FF FF FF FF 'I': protocol 48, names, app id, counts, type, system, flags, version, and the
// extra data the server's flags ask for (its game port among them).
QByteArray EncodeSourceInfo(const SimServer &server, quint16 gamePort);
// FF FF FF FF 'm': the old GoldSrc layout, which starts with the server's own address text.
QByteArray EncodeGoldSrcInfo(const SimServer &server, QByteArrayView ownAddress);
// The datagrams one info request gets, in order, as the server's layout says.
QList<QByteArray> EncodeA2sInfoDatagrams(
    const SimServer &server, QByteArrayView ownAddress, quint16 gamePort);

// FF FF FF FF 'D' with the UTF-8 names and the server's habit of index bytes; a cut-off
// server's reply ends inside the last record, as its legacy one does.
QByteArray EncodeA2sPlayers(const SimServer &server);
// FF FF FF FF 'E' with the values as UTF-8.
QByteArray EncodeA2sRules(const SimServer &server);

// SplitReply's pieces, last piece first for a server whose pieces leave out of order.
QList<QByteArray> SplitA2sReply(const SimServer &server, const QByteArray &reply, quint32 id);

} // namespace rollcall::hlsim
