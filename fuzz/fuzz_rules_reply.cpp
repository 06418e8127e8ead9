#include "FuzzInput.h"
#include "protocol/QueryProtocol.h"

using namespace rollcall::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram = rollcall::fuzz::bytes(data, size);
    const RulesReply reply = DecodeRulesReply(datagram);

    if (datagram.size() < 7) {
        ROLLCALL_FUZZ_CHECK(reply.Rules.isEmpty() && !reply.Complete);
        return 0;
    }
    const qsizetype count = quint8(datagram[5]) | quint8(datagram[6]) << 8;
    ROLLCALL_FUZZ_CHECK(reply.Rules.size() <= count);
    ROLLCALL_FUZZ_CHECK(!reply.Complete || reply.Rules.size() == count);
    // Every rule costs at least its two zero bytes.
    ROLLCALL_FUZZ_CHECK(reply.Rules.size() * 2 <= datagram.size() - 7);
    return 0;
}
