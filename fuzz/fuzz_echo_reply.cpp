#include "FuzzInput.h"
#include "ping/EchoReply.h"
#include "ping/Ping.h"

#include <cstring>

using namespace rollcall::ping;
using namespace rollcall::ping::detail;

// Whatever an ICMP socket reads: anyone's echo traffic and errors on a raw socket. The first
// byte says raw (lowest bit), the next eight give the request (id, sequence, target); the rest
// is the datagram.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 9)
        return 0;
    EchoRequest request;
    request.raw = data[0] & 1;
    request.id = quint16(data[1] << 8 | data[2]);
    request.sequence = quint16(data[3] << 8 | data[4]);
    std::memcpy(request.target.data(), data + 5, 4);
    const quint8 *datagram = data + 9;
    const qsizetype length = qsizetype(size - 9);

    const int status = ClassifyEchoDatagram(datagram, length, request);
    if (status == -1)
        return 0;
    // Only our own echo's reply is a success; an error is ours only when a raw socket saw it
    // quote our request. Either way the message had a whole ICMP header.
    const qsizetype icmpAt = request.raw ? (datagram[0] & 0x0F) * 4 : 0;
    ROLLCALL_FUZZ_CHECK(length >= icmpAt + IcmpHeaderSize);
    const quint8 *icmp = datagram + icmpAt;
    ROLLCALL_FUZZ_CHECK(quint16(icmp[6] << 8 | icmp[7]) == request.sequence || status != Status::Success);
    if (status == Status::Success)
        ROLLCALL_FUZZ_CHECK(icmp[0] == IcmpEchoReply);
    else
        ROLLCALL_FUZZ_CHECK(
            request.raw && icmp[0] != IcmpEchoReply && status == StatusForIcmpError(icmp[0], icmp[1]));
    return 0;
}
