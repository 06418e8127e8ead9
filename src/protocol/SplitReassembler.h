#pragma once

// A GoldSrc server splits a reply longer than 1400 bytes into pieces:
//   FE FF FF FF, a 4-byte id, one byte (piece number << 4 | piece count), then its share.
// Decoding a lone piece as a reply gives garbage that can even look complete, so every
// socket that receives game-server replies passes its datagrams through one of these.

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace rollcall::protocol {

class SplitReassembler
{
public:
    static constexpr int MaxPieces = 16;
    static constexpr qsizetype MaxReplySize = 64 * 1024;

    // A plain datagram comes straight back. A piece comes back as nothing until every
    // piece of its id has arrived (any order, duplicates ignored); then the joined reply.
    std::optional<QByteArray> feed(QByteArrayView datagram);

    // Forget pieces held so far (the socket was closed or aimed elsewhere).
    void reset();

    bool isSplitPiece(QByteArrayView datagram) const;

private:
    // Held pieces of the one reply in progress; a piece of another id replaces it.
    quint32 m_id = 0;
    int m_count = 0;
    QByteArray m_pieces[MaxPieces];
    bool m_have[MaxPieces] = {};
    qsizetype m_bytes = 0;
};

} // namespace rollcall::protocol
