#include "protocol/SplitReassembler.h"

namespace rollcall::protocol {

namespace {

constexpr qsizetype HeaderSize = 9; // FE FF FF FF, 4-byte id, number << 4 | count

} // namespace

bool SplitReassembler::isSplitPiece(QByteArrayView datagram) const
{
    return datagram.startsWith("\xFE\xFF\xFF\xFF");
}

void SplitReassembler::reset()
{
    m_id = 0;
    m_count = 0;
    for (int i = 0; i < MaxPieces; ++i) {
        m_pieces[i].clear();
        m_have[i] = false;
    }
    m_bytes = 0;
}

std::optional<QByteArray> SplitReassembler::feed(QByteArrayView datagram)
{
    if (!isSplitPiece(datagram))
        return datagram.toByteArray();
    if (datagram.size() < HeaderSize)
        return std::nullopt;

    const auto byteAt = [&](qsizetype i) { return static_cast<quint8>(datagram[i]); };
    const quint32 id
        = quint32(byteAt(4)) | quint32(byteAt(5)) << 8 | quint32(byteAt(6)) << 16 | quint32(byteAt(7)) << 24;
    const int number = byteAt(8) >> 4;
    const int count = byteAt(8) & 0x0F;
    const QByteArrayView share = datagram.sliced(HeaderSize);
    if (count == 0 || number >= count || share.size() > MaxReplySize)
        return std::nullopt;

    // Only the newest reply is worth waiting for: the socket has moved on from an older one.
    if (m_count == 0 || id != m_id) {
        reset();
        m_id = id;
        m_count = count;
    } else if (count != m_count || m_have[number]) {
        return std::nullopt;
    }
    if (m_bytes + share.size() > MaxReplySize)
        return std::nullopt;

    m_pieces[number] = share.toByteArray();
    m_have[number] = true;
    m_bytes += share.size();
    for (int i = 0; i < m_count; ++i) {
        if (!m_have[i])
            return std::nullopt;
    }

    QByteArray whole;
    whole.reserve(m_bytes);
    for (int i = 0; i < m_count; ++i)
        whole += m_pieces[i];
    reset();
    return whole;
}

} // namespace rollcall::protocol
