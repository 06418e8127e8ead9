#include "protocol/ServerAddressRules.h"

namespace rollcall::protocol {

std::optional<quint32> ParseDottedIPv4(QStringView text)
{
    quint32 address = 0;
    int parts = 0;
    qsizetype i = 0;
    while (parts < 4) {
        const qsizetype start = i;
        int value = 0;
        for (; i < text.size() && i - start < 3 && text[i] >= u'0' && text[i] <= u'9'; ++i)
            value = value * 10 + (text[i].unicode() - u'0');
        const qsizetype digits = i - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == u'0'))
            return std::nullopt;
        address = address << 8 | quint32(value);
        if (++parts < 4) {
            if (i >= text.size() || text[i] != u'.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return address;
}

bool IsQueryableServer(quint32 ipv4, qint64 port)
{
    if (port < 1 || port > 65535)
        return false;
    const quint32 first = ipv4 >> 24;
    // 224 and up: multicast, then the reserved block that ends with the broadcast address.
    return first != 0 && first < 224;
}

bool IsQueryableServer(const ServerEntry &entry)
{
    const std::optional<quint32> address = ParseDottedIPv4(entry.Address);
    return address && IsQueryableServer(*address, entry.Port);
}

} // namespace rollcall::protocol
