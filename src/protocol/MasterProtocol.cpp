#include "protocol/MasterProtocol.h"

#include <limits>

namespace rollcall::protocol {

namespace {

constexpr qsizetype KeySize = 4;
constexpr qsizetype KeyOffset = 6;
constexpr qsizetype EntriesOffset = KeyOffset + KeySize;
constexpr qsizetype EntrySize = 6;

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

ServerEntry entryAt(QByteArrayView bytes)
{
    const auto b = [&](qsizetype i) { return static_cast<quint8>(bytes[i]); };
    // A master page holds hundreds of entries and a run thousands: the texts are built by hand
    // rather than through QString::arg, which dominated the download's cost.
    char dotted[16];
    int length = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        const int n = b(i);
        if (n >= 100)
            dotted[length++] = char('0' + n / 100);
        if (n >= 10)
            dotted[length++] = char('0' + n / 10 % 10);
        dotted[length++] = char('0' + n % 10);
        if (i < 3)
            dotted[length++] = '.';
    }
    ServerEntry entry;
    entry.Address = QString::fromLatin1(dotted, length);
    // The port goes through the same text-to-number rule the rest of the program uses for port
    // text, so one rule decides every port; four hex digits always fit.
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    const char16_t portText[4]
        = { Digits[b(4) >> 4], Digits[b(4) & 15], Digits[b(5) >> 4], Digits[b(5) & 15] };
    entry.Port = Hex2Dec(QStringView(portText, 4)).value_or(b(4) * 256 + b(5));
    return entry;
}

} // namespace

MasterKey FirstMasterKey()
{
    return MasterKey(KeySize, '\0');
}

bool IsFinalMasterKey(QByteArrayView key)
{
    for (char c : key) {
        if (c != '\0')
            return false;
    }
    return true;
}

QByteArray MasterFilterText(const QString &gameFilter, const QString &mapFilter)
{
    QByteArray text;
    if (!gameFilter.isEmpty())
        text += "\\gamedir\\" + gameFilter.toLatin1();
    if (!mapFilter.isEmpty())
        text += "\\map\\" + mapFilter.toLatin1();
    text += "\\empty\\1";
    return text;
}

QByteArray BuildMasterRequest(QByteArrayView key, QByteArrayView filterText)
{
    QByteArray request;
    request.reserve(1 + KeySize + filterText.size() + 1);
    request += '1';
    // Exactly four key bytes whatever the caller holds: a short key must not shift the filter
    // text into the key's place.
    QByteArray fixedKey = key.first(std::min(key.size(), KeySize)).toByteArray();
    fixedKey.resize(KeySize, '\0');
    request += fixedKey;
    request += filterText;
    request += '\0';
    return request;
}

MasterReply ParseMasterReply(QByteArrayView datagram)
{
    MasterReply reply;
    if (datagram.size() < 5 || !datagram.startsWith("\xFF\xFF\xFF\xFF")
        || (datagram[4] != 'f' && datagram[4] != 'F')) {
        reply.Status = MasterReplyStatus::BadHeader;
        return reply;
    }
    if (datagram.size() < EntriesOffset) {
        reply.Status = MasterReplyStatus::Malformed;
        return reply;
    }
    reply.NextKey = datagram.sliced(KeyOffset, KeySize).toByteArray();
    qsizetype pos = EntriesOffset;
    for (; datagram.size() - pos >= EntrySize; pos += EntrySize)
        reply.Entries.append(entryAt(datagram.sliced(pos, EntrySize)));
    reply.Status = pos == datagram.size() ? MasterReplyStatus::Ok : MasterReplyStatus::Malformed;
    return reply;
}

MasterAddress SplitMasterAddress(const QString &masterServer)
{
    constexpr qint64 DefaultPort = 27010;
    MasterAddress address;
    const qsizetype colon = masterServer.indexOf(u':');
    if (colon < 0) {
        address.Host = masterServer;
        return address;
    }
    address.Host = masterServer.left(colon);

    // The leading number after the colon: blanks, an optional sign, decimal digits. Saturates far
    // beyond any port, so "host:99999999999999999999" stays visibly out of range instead of
    // wrapping into a valid-looking one.
    constexpr qint64 Ceiling = qint64(std::numeric_limits<quint32>::max()) + 1;
    const QStringView rest = QStringView(masterServer).sliced(colon + 1);
    qsizetype i = 0;
    while (i < rest.size() && (rest[i] == u' ' || rest[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < rest.size() && (rest[i] == u'+' || rest[i] == u'-')) {
        negative = rest[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < rest.size() && rest[i] >= u'0' && rest[i] <= u'9'; ++i)
        value = std::min(Ceiling, value * 10 + (rest[i].unicode() - u'0'));
    if (negative)
        value = -value;
    address.Port = value == 0 ? DefaultPort : value;
    return address;
}

std::optional<qint32> Hex2Dec(QStringView text)
{
    constexpr qint64 Min = std::numeric_limits<qint32>::min();
    constexpr qint64 Max = std::numeric_limits<qint32>::max();
    qint64 result = 0;
    qint64 weight = 1; // 16 to the power of the digit's distance from the end
    bool weightBeyondRange = false;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const int digit = hexDigitValue(text[i]);
        if (digit != 0) {
            // Any non-zero multiple of 16^8 is wider than the whole 32-bit range.
            if (weightBeyondRange)
                return std::nullopt;
            result += digit * weight;
            if (result < Min || result > Max)
                return std::nullopt;
        }
        if (!weightBeyondRange) {
            weight *= 16;
            weightBeyondRange = weight > Max;
        }
    }
    return static_cast<qint32>(result);
}

} // namespace rollcall::protocol
