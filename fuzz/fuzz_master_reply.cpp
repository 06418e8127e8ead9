#include "FuzzInput.h"
#include "protocol/MasterProtocol.h"
#include "protocol/ServerAddressRules.h"

using namespace rollcall::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram = rollcall::fuzz::bytes(data, size);
    const MasterReply reply = ParseMasterReply(datagram);

    const qsizetype whole = std::max<qsizetype>(0, datagram.size() - 10) / 6;
    switch (reply.Status) {
    case MasterReplyStatus::BadHeader:
        ROLLCALL_FUZZ_CHECK(reply.Entries.isEmpty());
        break;
    case MasterReplyStatus::Ok:
        ROLLCALL_FUZZ_CHECK(reply.NextKey.size() == 4);
        ROLLCALL_FUZZ_CHECK((datagram.size() - 10) % 6 == 0);
        ROLLCALL_FUZZ_CHECK(reply.Entries.size() == whole);
        break;
    case MasterReplyStatus::Malformed:
        ROLLCALL_FUZZ_CHECK(reply.Entries.size() == whole);
        break;
    }
    for (const ServerEntry &entry : reply.Entries) {
        ROLLCALL_FUZZ_CHECK(entry.Port >= 0 && entry.Port <= 65535);
        ROLLCALL_FUZZ_CHECK(entry.Address.count(u'.') == 3);
        // Every address a page can carry is canonical text the address rule reads back.
        ROLLCALL_FUZZ_CHECK(ParseDottedIPv4(entry.Address).has_value());
    }

    // The same bytes as text for the two address rules: neither may fail or overflow silently.
    const QString text = QString::fromLatin1(datagram);
    (void)Hex2Dec(text);
    // The address rule reads only canonical dotted decimal: whatever it accepts prints back as
    // the same text, and nothing it calls a game server lies in 0/8 or from 224 up.
    if (const std::optional<quint32> ipv4 = ParseDottedIPv4(text)) {
        const QString again = QStringLiteral("%1.%2.%3.%4")
                                  .arg(*ipv4 >> 24)
                                  .arg(*ipv4 >> 16 & 255)
                                  .arg(*ipv4 >> 8 & 255)
                                  .arg(*ipv4 & 255);
        ROLLCALL_FUZZ_CHECK(again == text);
        const bool queryable = IsQueryableServer(*ipv4, 27015);
        ROLLCALL_FUZZ_CHECK(queryable == (*ipv4 >> 24 != 0 && *ipv4 >> 24 < 224));
        ROLLCALL_FUZZ_CHECK(!IsQueryableServer(*ipv4, 0));
    }
    const MasterAddress address = SplitMasterAddress(text);
    ROLLCALL_FUZZ_CHECK(address.Port != 0);
    ROLLCALL_FUZZ_CHECK(address.Port >= -4294967296LL && address.Port <= 4294967296LL);
    return 0;
}
