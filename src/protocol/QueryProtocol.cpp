#include "protocol/QueryProtocol.h"

#include <cmath>
#include <cstring>

namespace rollcall::protocol {

namespace {

// Reads fields front to back; every read either succeeds whole or leaves the position alone,
// so a caller can stop at the first field that is not entirely inside the datagram.
class Reader
{
public:
    Reader(QByteArrayView data, qsizetype pos)
        : m_data(data)
        , m_pos(pos)
    { }

    bool has(qsizetype bytes) const { return m_pos <= m_data.size() && m_data.size() - m_pos >= bytes; }

    std::optional<QByteArray> string()
    {
        if (!has(1))
            return std::nullopt;
        const auto rest = m_data.sliced(m_pos);
        const qsizetype end = rest.indexOf('\0');
        if (end < 0)
            return std::nullopt;
        m_pos += end + 1;
        return rest.first(end).toByteArray();
    }

    quint8 byteAt(qsizetype offset) const { return static_cast<quint8>(m_data[m_pos + offset]); }

    quint32 le32At(qsizetype offset) const
    {
        return quint32(byteAt(offset)) | quint32(byteAt(offset + 1)) << 8 | quint32(byteAt(offset + 2)) << 16
            | quint32(byteAt(offset + 3)) << 24;
    }

    void skip(qsizetype bytes) { m_pos += bytes; }
    qsizetype pos() const { return m_pos; }

private:
    QByteArrayView m_data;
    qsizetype m_pos;
};

qint32 secondsFromFloatBits(quint32 bits)
{
    float seconds;
    static_assert(sizeof(seconds) == sizeof(bits));
    std::memcpy(&seconds, &bits, sizeof(bits));
    // The negated test also catches NaN. Anything outside [0, 2^31) would make the conversion
    // undefined, and a server that sends such a time has nothing sensible to say about it.
    if (!(seconds >= 0.0f) || seconds >= 2147483648.0f)
        return 0;
    return static_cast<qint32>(seconds);
}

} // namespace

QByteArray BuildQueryRequest(QueryKind kind)
{
    QByteArray request(4, '\xFF');
    switch (kind) {
    case QueryKind::Info:
        return request + "info";
    case QueryKind::Rules:
        return request + "rules";
    case QueryKind::Players:
        return request + "players";
    }
    return request + "players";
}

InfoReply DecodeInfoReply(QByteArrayView datagram)
{
    InfoReply reply;
    Reader in(datagram, 5);
    if (!in.string()) // the server's own address, never trusted
        return reply;
    if (!(reply.HostName = in.string()))
        return reply;
    if (!(reply.MapName = in.string()))
        return reply;
    if (!(reply.GameDirectory = in.string()))
        return reply;
    if (!(reply.GameDescription = in.string()))
        return reply;
    // The two counts are shown as "n/max": half a pair would be misleading, so both or neither.
    if (!in.has(2))
        return reply;
    reply.PlayerCount = in.byteAt(0);
    reply.MaxPlayers = in.byteAt(1);
    in.skip(2);
    if (!in.has(1))
        return reply;
    reply.ProtocolVersion = in.byteAt(0);
    return reply;
}

RulesReply DecodeRulesReply(QByteArrayView datagram)
{
    RulesReply reply;
    Reader in(datagram, 5);
    if (!in.has(2))
        return reply;
    const int count = in.byteAt(0) | in.byteAt(1) << 8;
    in.skip(2);
    // No reserve(count): the count is the server's word and may promise far more than it sends.
    for (int i = 0; i < count; ++i) {
        Reader attempt = in;
        auto name = attempt.string();
        if (!name)
            return reply;
        auto value = attempt.string();
        if (!value)
            return reply;
        reply.Rules.append({ std::move(*name), std::move(*value) });
        in = attempt;
    }
    reply.Complete = true;
    return reply;
}

PlayersReply DecodePlayersReply(QByteArrayView datagram)
{
    PlayersReply reply;
    Reader in(datagram, 5);
    if (!in.has(1))
        return reply;
    const int count = in.byteAt(0);
    in.skip(1);
    for (int i = 0; i < count; ++i) {
        if (!in.has(1))
            return reply;
        PlayerRecord player;
        player.Index = in.byteAt(0);
        Reader attempt = in;
        attempt.skip(1);
        auto name = attempt.string();
        if (!name || !attempt.has(8))
            return reply;
        player.Name = std::move(*name);
        player.Frags = static_cast<qint32>(attempt.le32At(0));
        player.Time = secondsFromFloatBits(attempt.le32At(4));
        attempt.skip(8);
        reply.Players.append(std::move(player));
        in = attempt;
    }
    reply.Complete = true;
    return reply;
}

QString FormatPlayTime(qint64 seconds)
{
    // Times come from DecodePlayersReply and are never negative; a negative one would only come
    // from a caller's arithmetic slip and is shown as no time at all rather than as "-1:59:59".
    if (seconds < 0)
        seconds = 0;
    const qint64 hours = seconds / 3600;
    const qint64 rest = seconds - hours * 3600;
    const qint64 minutes = rest / 60;
    const qint64 secs = rest - minutes * 60;
    const QChar zero(u'0');
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, zero)
        .arg(minutes, 2, 10, zero)
        .arg(secs, 2, 10, zero);
}

} // namespace rollcall::protocol
