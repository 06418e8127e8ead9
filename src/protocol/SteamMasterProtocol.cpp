#include "protocol/SteamMasterProtocol.h"

namespace rollcall::protocol {

namespace {

constexpr char ReplyHeader[] = "\xFF\xFF\xFF\xFF\x66\x0A";
constexpr qsizetype HeaderSize = 6;
constexpr qsizetype EntrySize = 6;

ServerEntry entryAt(QByteArrayView bytes)
{
    const auto b = [&](qsizetype i) { return static_cast<quint8>(bytes[i]); };
    ServerEntry entry;
    entry.Address = QStringLiteral("%1.%2.%3.%4").arg(b(0)).arg(b(1)).arg(b(2)).arg(b(3));
    entry.Port = b(4) << 8 | b(5);
    return entry;
}

bool isEndMarker(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (c != '\0')
            return false;
    }
    return true;
}

QByteArray withoutZeros(QByteArray bytes)
{
    bytes.removeIf([](char c) { return c == '\0'; });
    return bytes;
}

// The user's text as a filter value: no key separators, no field ends.
QByteArray filterValue(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.removeIf([](char c) { return c == '\\' || c == '\0'; });
    return bytes;
}

} // namespace

std::optional<quint8> ParseSteamRegion(QStringView text)
{
    for (const SteamRegionName &name : SteamRegionNames) {
        if (text.compare(QLatin1StringView(name.CliName), Qt::CaseInsensitive) == 0)
            return static_cast<quint8>(name.Region);
    }
    // Digits only: no sign, no blanks, no hex, and never more than three of them.
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > 255)
        return std::nullopt;
    return static_cast<quint8>(value);
}

ServerEntry FirstSteamSeed()
{
    return ServerEntry { QStringLiteral("0.0.0.0"), 0 };
}

QByteArray BuildSteamMasterRequest(quint8 region, const ServerEntry &seed, QByteArrayView filter)
{
    const QByteArray seedText = withoutZeros(seed.Address.toLatin1() + ':' + QByteArray::number(seed.Port));
    QByteArray request;
    request.reserve(2 + seedText.size() + 1 + filter.size() + 1);
    request += '\x31';
    request += static_cast<char>(region);
    request += seedText;
    request += '\0';
    request += withoutZeros(filter.toByteArray());
    request += '\0';
    return request;
}

SteamMasterReply ParseSteamMasterReply(QByteArrayView datagram)
{
    SteamMasterReply reply;
    if (!datagram.startsWith(QByteArrayView(ReplyHeader, HeaderSize)))
        return reply;
    qsizetype pos = HeaderSize;
    for (; datagram.size() - pos >= EntrySize; pos += EntrySize) {
        const QByteArrayView bytes = datagram.sliced(pos, EntrySize);
        if (isEndMarker(bytes)) {
            reply.Ended = true;
            break;
        }
        reply.Entries.append(entryAt(bytes));
    }
    // The size rule holds for the whole datagram, whatever follows the end marker.
    const bool whole = (datagram.size() - HeaderSize) % EntrySize == 0;
    reply.Status = whole ? SteamMasterReplyStatus::Ok : SteamMasterReplyStatus::Malformed;
    if (!reply.Entries.isEmpty())
        reply.Last = reply.Entries.last();
    return reply;
}

quint16 SteamAppIdForGame(QStringView gameDirectory)
{
    static constexpr struct
    {
        const char *directory;
        quint16 appId;
    } Games[] = { { "cstrike", 10 }, { "tfc", 20 }, { "dod", 30 }, { "dmc", 40 }, { "gearbox", 50 },
        { "ricochet", 60 }, { "valve", 70 }, { "czero", 80 } };
    for (const auto &game : Games) {
        if (gameDirectory.compare(QLatin1StringView(game.directory), Qt::CaseInsensitive) == 0)
            return game.appId;
    }
    return 70;
}

QList<QByteArray> SteamMasterFilters(const QString &gameDirectory, const QString &mapName)
{
    const QByteArray game = filterValue(gameDirectory);
    const QByteArray map = filterValue(mapName);
    QByteArray tail;
    if (!map.isEmpty())
        tail += "\\map\\" + map;
    tail += "\\empty\\1";

    QList<QByteArray> filters;
    if (!game.isEmpty()) {
        const QByteArray appId = QByteArray::number(SteamAppIdForGame(QString::fromUtf8(game)));
        filters.append("\\appid\\" + appId + "\\gamedir\\" + game + tail);
        return filters;
    }
    for (quint16 appId : SteamGoldSrcAppIds)
        filters.append("\\appid\\" + QByteArray::number(appId) + tail);
    return filters;
}

} // namespace rollcall::protocol
