#include "FuzzInput.h"
#include "protocol/MasterProtocol.h"

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
    }

    // The same bytes as text for the two address rules: neither may fail or overflow silently.
    const QString text = QString::fromLatin1(datagram);
    (void)Hex2Dec(text);
    const MasterAddress address = SplitMasterAddress(text);
    ROLLCALL_FUZZ_CHECK(address.Port != 0);
    ROLLCALL_FUZZ_CHECK(address.Port >= -4294967296LL && address.Port <= 4294967296LL);
    return 0;
}
