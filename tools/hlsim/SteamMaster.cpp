#include "SteamMaster.h"

#include <arpa/inet.h>

namespace rollcall::hlsim {

namespace {

constexpr qint64 MinuteNs = 60'000'000'000;

std::optional<MasterEntry> parseSeed(QByteArrayView text)
{
    const qsizetype colon = text.lastIndexOf(':');
    if (colon < 0)
        return std::nullopt;
    const QByteArray address = text.first(colon).toByteArray();
    const QByteArrayView port = text.sliced(colon + 1);
    in_addr parsed {};
    if (inet_pton(AF_INET, address.constData(), &parsed) != 1 || port.isEmpty() || port.size() > 5)
        return std::nullopt;
    quint32 number = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + quint32(c - '0');
    }
    if (number > 65535)
        return std::nullopt;
    return MasterEntry { ntohl(parsed.s_addr), quint16(number) };
}

void parseFilter(QByteArrayView text, SteamFilter *filter)
{
    // "\key\value\key\value...", as the legacy master's.
    const QList<QByteArray> parts = text.toByteArray().split('\\');
    for (qsizetype i = 1; i + 1 < parts.size(); i += 2) {
        const QByteArray &key = parts[i];
        const QByteArray &value = parts[i + 1];
        if (key == "appid") {
            bool ok = false;
            filter->AppId = value.toUInt(&ok);
            filter->BadAppId = !ok;
        } else if (key == "gamedir") {
            filter->GameDirectory = value;
        } else if (key == "map") {
            filter->MapName = value;
        } else if (key == "empty") {
            filter->NotEmpty = value == "1";
        }
    }
}

void appendEntry(QByteArray &out, const MasterEntry &entry)
{
    out += char(entry.Address >> 24);
    out += char((entry.Address >> 16) & 0xFF);
    out += char((entry.Address >> 8) & 0xFF);
    out += char(entry.Address & 0xFF);
    out += char(entry.Port >> 8);
    out += char(entry.Port & 0xFF);
}

} // namespace

bool SteamFilter::accepts(const SimServer &server) const
{
    if (BadAppId || (AppId && *AppId != server.AppId))
        return false;
    if (NotEmpty && server.Players.isEmpty())
        return false;
    if (!GameDirectory.isEmpty() && GameDirectory.compare(server.GameDirectory, Qt::CaseInsensitive) != 0)
        return false;
    if (!MapName.isEmpty() && MapName.compare(server.MapName, Qt::CaseInsensitive) != 0)
        return false;
    return true;
}

SteamFilter ParseSteamFilter(QByteArrayView text)
{
    SteamFilter filter;
    parseFilter(text, &filter);
    return filter;
}

bool ParseSteamMasterRequest(QByteArrayView datagram, SteamMasterRequest *request)
{
    if (datagram.size() < 4 || datagram[0] != '\x31' || datagram.back() != '\0')
        return false;
    const QByteArrayView fields = datagram.sliced(2, datagram.size() - 3);
    const qsizetype seedEnd = fields.indexOf('\0');
    if (seedEnd < 0)
        return false;
    const QByteArrayView filterText = fields.sliced(seedEnd + 1);
    const std::optional<MasterEntry> seed = parseSeed(fields.first(seedEnd));
    if (!seed || filterText.contains('\0'))
        return false;
    *request = {};
    request->Region = quint8(datagram[1]);
    request->Seed = *seed;
    request->FilterText = filterText.toByteArray();
    parseFilter(filterText, &request->Filter);
    return true;
}

QByteArray EncodeSteamMasterPage(const QList<MasterEntry> &entries, bool ended)
{
    QByteArray out("\xFF\xFF\xFF\xFF\x66\x0A", 6);
    out.reserve(6 + (entries.size() + 1) * 6);
    for (const MasterEntry &entry : entries)
        appendEntry(out, entry);
    if (ended)
        appendEntry(out, MasterEntry {});
    return out;
}

SteamRateLimit::SteamRateLimit(int perMinute, qint64 silenceNs)
    : m_perMinute(perMinute)
    , m_silenceNs(silenceNs)
{ }

bool SteamRateLimit::allow(quint32 clientAddress, qint64 nowNs)
{
    if (m_perMinute <= 0)
        return true;
    Client &client = m_clients[clientAddress];
    if (nowNs < client.silentUntil)
        return false;
    while (!client.sent.empty() && client.sent.front() <= nowNs - MinuteNs)
        client.sent.pop_front();
    if (client.sent.size() >= size_t(m_perMinute)) {
        // Silence starts afresh: what it had sent before no longer counts once it ends.
        client.sent.clear();
        client.silentUntil = nowNs + m_silenceNs;
        return false;
    }
    client.sent.push_back(nowNs);
    return true;
}

} // namespace rollcall::hlsim
