#include "FuzzInput.h"
#include "protocol/QueryProtocol.h"
#include "protocol/SplitReassembler.h"

using namespace rollcall::protocol;

// The input is a run of datagrams, each a 2-byte little-endian length and then that many bytes
// (fewer at the end of the input). Every whole reply goes on to the decoders as the sockets would.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArrayView input = rollcall::fuzz::bytes(data, size);
    SplitReassembler reassembler;
    while (input.size() >= 2) {
        const qsizetype length
            = std::min<qsizetype>(quint8(input[0]) | quint8(input[1]) << 8, input.size() - 2);
        const QByteArrayView datagram = input.sliced(2, length);
        input = input.sliced(2 + length);

        const std::optional<QByteArray> reply = reassembler.feed(datagram);
        if (!reassembler.isSplitPiece(datagram))
            ROLLCALL_FUZZ_CHECK(reply && *reply == datagram);
        if (!reply)
            continue;
        ROLLCALL_FUZZ_CHECK(reply->size() <= SplitReassembler::MaxReplySize);
        (void)DecodeInfoReply(*reply);
        (void)DecodeRulesReply(*reply);
        (void)DecodePlayersReply(*reply);
    }
    return 0;
}
