#pragma once

// The bytes a GoldSrc-era server and master send back. The program only ever decodes these,
// so the simulator carries its own encoders.

#include "Population.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace rollcall::hlsim {

// Servers cut replies longer than this into FE FF FF FF pieces.
inline constexpr qsizetype MaxDatagram = 1400;
inline constexpr qsizetype SplitHeaderSize = 9;
inline constexpr int MaxSplitPieces = 15; // the piece count has four bits

QByteArray EncodeInfoReply(const SimServer &server, QByteArrayView ownAddress);
QByteArray EncodeRulesReply(const SimServer &server);
// A cut-off server's reply ends three bytes before the end of its last record.
QByteArray EncodePlayersReply(const SimServer &server);

// One datagram when it fits; otherwise pieces: FE FF FF FF, the id (little-endian),
// piece number << 4 | piece count, then the share. A reply too long for 15 pieces is
// truncated to what fits (it then decodes as incomplete), as a real server would drop it.
QList<QByteArray> SplitReply(const QByteArray &reply, quint32 id);

enum class RequestKind { Info, Rules, Players, Other };
RequestKind ClassifyRequest(QByteArrayView datagram);

// Master side.
struct MasterFilter
{
    QByteArray GameDirectory; // empty: any
    QByteArray MapName; // empty: any
    bool NotEmpty = false;

    bool accepts(const SimServer &server) const;
};

struct MasterRequest
{
    quint32 Key = 0; // 0 asks for the first page
    MasterFilter Filter;
};

// False for anything that is not "1", four key bytes, a filter text and a zero byte.
bool ParseMasterRequest(QByteArrayView datagram, MasterRequest *request);

struct MasterEntry
{
    quint32 Address = 0; // host order
    quint16 Port = 0;
};

// FF FF FF FF 'f' 0A, the key for the next page (zero: last page), six bytes per entry.
QByteArray EncodeMasterPage(quint32 nextKey, const QList<MasterEntry> &entries);

} // namespace rollcall::hlsim
