#include "FuzzInput.h"
#include "protocol/QueryProtocol.h"

using namespace rollcall::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram = rollcall::fuzz::bytes(data, size);
    const InfoReply reply = DecodeInfoReply(datagram);

    // Decoding stops at the first missing step, so the present values always form a prefix.
    const bool present[] = { reply.HostName.has_value(), reply.MapName.has_value(),
        reply.GameDirectory.has_value(), reply.GameDescription.has_value(), reply.PlayerCount.has_value(),
        reply.ProtocolVersion.has_value() };
    for (size_t i = 1; i < std::size(present); ++i)
        ROLLCALL_FUZZ_CHECK(!present[i] || present[i - 1]);
    ROLLCALL_FUZZ_CHECK(reply.PlayerCount.has_value() == reply.MaxPlayers.has_value());

    qsizetype textBytes = 0;
    for (const auto *text : { &reply.HostName, &reply.MapName, &reply.GameDirectory, &reply.GameDescription })
        textBytes += text->has_value() ? (*text)->size() + 1 : 0;
    ROLLCALL_FUZZ_CHECK(textBytes <= std::max<qsizetype>(0, datagram.size() - 6));
    return 0;
}
