#include "Replies.h"

#include <cstring>

namespace rollcall::hlsim {

namespace {

void appendString(QByteArray &out, const QByteArray &text)
{
    out += text;
    out += '\0';
}

void appendLe32(QByteArray &out, quint32 value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
    out += char((value >> 16) & 0xFF);
    out += char((value >> 24) & 0xFF);
}

QByteArray header(char type)
{
    QByteArray out("\xFF\xFF\xFF\xFF", 4);
    out += type;
    return out;
}

} // namespace

QByteArray EncodeInfoReply(const SimServer &server, QByteArrayView ownAddress)
{
    QByteArray out = header('C');
    appendString(out, ownAddress.toByteArray());
    appendString(out, server.HostName);
    appendString(out, server.MapName);
    appendString(out, server.GameDirectory);
    appendString(out, server.GameDescription);
    out += char(quint8(std::min<qsizetype>(server.Players.size(), 255)));
    out += char(server.MaxPlayers);
    out += char(47);
    // Dedicated, Linux, no password, not a mod, not secure, no bots: read by nobody here.
    out += 'd';
    out += 'l';
    out += char(0);
    out += char(0);
    out += char(0);
    out += char(0);
    return out;
}

QByteArray EncodeRulesReply(const SimServer &server)
{
    QByteArray out = header('E');
    const quint16 count = quint16(server.Rules.size());
    out += char(count & 0xFF);
    out += char(count >> 8);
    for (const auto &rule : server.Rules) {
        appendString(out, rule.first);
        appendString(out, rule.second);
    }
    return out;
}

QByteArray EncodePlayersReply(const SimServer &server)
{
    QByteArray out = header('D');
    const int count = int(std::min<qsizetype>(server.Players.size(), 255));
    out += char(count);
    for (int i = 0; i < count; ++i) {
        const SimPlayer &player = server.Players[i];
        out += char(i);
        appendString(out, player.Name);
        appendLe32(out, quint32(player.Frags));
        quint32 bits = 0;
        static_assert(sizeof(bits) == sizeof(player.Time));
        std::memcpy(&bits, &player.Time, sizeof(bits));
        appendLe32(out, bits);
    }
    if (server.CutOff && count > 0)
        out.chop(3);
    return out;
}

QList<QByteArray> SplitReply(const QByteArray &reply, quint32 id)
{
    if (reply.size() <= MaxDatagram)
        return { reply };
    const qsizetype share = MaxDatagram - SplitHeaderSize;
    const int pieces = int(std::min<qsizetype>((reply.size() + share - 1) / share, MaxSplitPieces));
    QList<QByteArray> out;
    for (int i = 0; i < pieces; ++i) {
        QByteArray piece("\xFE\xFF\xFF\xFF", 4);
        appendLe32(piece, id);
        piece += char((i << 4) | pieces);
        piece += reply.mid(i * share, share);
        out.append(piece);
    }
    return out;
}

RequestKind ClassifyRequest(QByteArrayView datagram)
{
    if (datagram == QByteArrayView("\xFF\xFF\xFF\xFFinfo"))
        return RequestKind::Info;
    if (datagram == QByteArrayView("\xFF\xFF\xFF\xFFrules"))
        return RequestKind::Rules;
    if (datagram == QByteArrayView("\xFF\xFF\xFF\xFFplayers"))
        return RequestKind::Players;
    return RequestKind::Other;
}

bool MasterFilter::accepts(const SimServer &server) const
{
    if (NotEmpty && server.Players.isEmpty())
        return false;
    if (!GameDirectory.isEmpty() && GameDirectory.compare(server.GameDirectory, Qt::CaseInsensitive) != 0)
        return false;
    if (!MapName.isEmpty() && MapName.compare(server.MapName, Qt::CaseInsensitive) != 0)
        return false;
    return true;
}

bool ParseMasterRequest(QByteArrayView datagram, MasterRequest *request)
{
    if (datagram.size() < 6 || datagram[0] != '1' || datagram.back() != '\0')
        return false;
    const auto byteAt = [&](qsizetype i) { return quint32(quint8(datagram[i])); };
    request->Key = byteAt(1) | byteAt(2) << 8 | byteAt(3) << 16 | byteAt(4) << 24;
    request->Filter = {};
    const QByteArrayView text = datagram.sliced(5, datagram.size() - 6);
    if (text.contains('\0'))
        return false;
    // "\key\value\key\value...": unknown keys are ignored, as masters do.
    const QList<QByteArray> parts = text.toByteArray().split('\\');
    for (qsizetype i = 1; i + 1 < parts.size(); i += 2) {
        const QByteArray &key = parts[i];
        const QByteArray &value = parts[i + 1];
        if (key == "gamedir")
            request->Filter.GameDirectory = value;
        else if (key == "map")
            request->Filter.MapName = value;
        else if (key == "empty")
            request->Filter.NotEmpty = value == "1";
    }
    return true;
}

QByteArray EncodeMasterPage(quint32 nextKey, const QList<MasterEntry> &entries)
{
    QByteArray out("\xFF\xFF\xFF\xFF\x66\x0A", 6);
    appendLe32(out, nextKey);
    out.reserve(out.size() + entries.size() * 6);
    for (const MasterEntry &entry : entries) {
        out += char(entry.Address >> 24);
        out += char((entry.Address >> 16) & 0xFF);
        out += char((entry.Address >> 8) & 0xFF);
        out += char(entry.Address & 0xFF);
        out += char(entry.Port >> 8);
        out += char(entry.Port & 0xFF);
    }
    return out;
}

} // namespace rollcall::hlsim
