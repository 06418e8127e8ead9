#include "FuzzInput.h"
#include "protocol/QueryProtocol.h"

using namespace rollcall::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram = rollcall::fuzz::bytes(data, size);
    const PlayersReply reply = DecodePlayersReply(datagram);

    if (datagram.size() < 6) {
        ROLLCALL_FUZZ_CHECK(reply.Players.isEmpty() && !reply.Complete);
        return 0;
    }
    const qsizetype count = quint8(datagram[5]);
    ROLLCALL_FUZZ_CHECK(reply.Players.size() <= count);
    ROLLCALL_FUZZ_CHECK(!reply.Complete || reply.Players.size() == count);
    // A record is at least its index, the name's zero byte, frags and time.
    ROLLCALL_FUZZ_CHECK(reply.Players.size() * 10 <= datagram.size() - 6);
    for (const PlayerRecord &player : reply.Players) {
        ROLLCALL_FUZZ_CHECK(player.Time >= 0);
        ROLLCALL_FUZZ_CHECK(FormatPlayTime(player.Time).count(u':') == 2);
    }
    return 0;
}
