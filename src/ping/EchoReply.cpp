#include "ping/EchoReply.h"

#include "ping/Ping.h"

#include <cstring>

namespace rollcall::ping::detail {

namespace {

constexpr quint8 IpProtocolIcmp = 1;
constexpr int MinIpHeaderSize = 20;

quint16 read16(const quint8 *p)
{
    return quint16(p[0] << 8 | p[1]);
}

struct IcmpPart
{
    const quint8 *data = nullptr;
    qsizetype size = 0;
    const quint8 *source = nullptr; // the IP header's source address; raw sockets only
};

// The ICMP message inside what a socket read.
bool icmpPart(const quint8 *data, qsizetype size, bool raw, IcmpPart *part)
{
    if (!raw) {
        *part = { data, size, nullptr };
        return size >= IcmpHeaderSize;
    }
    if (size < MinIpHeaderSize)
        return false;
    const int headerSize = (data[0] & 0x0F) * 4;
    if (headerSize < MinIpHeaderSize || size < headerSize + IcmpHeaderSize)
        return false;
    *part = { data + headerSize, size - headerSize, data + 12 };
    return true;
}

// True when an ICMP error carries our own request inside it (raw sockets see everyone's).
bool quotesRequest(const IcmpPart &icmp, const EchoRequest &request)
{
    const quint8 *inner = icmp.data + IcmpHeaderSize;
    const qsizetype innerSize = icmp.size - IcmpHeaderSize;
    if (innerSize < MinIpHeaderSize)
        return false;
    const int headerSize = (inner[0] & 0x0F) * 4;
    if (headerSize < MinIpHeaderSize || innerSize < headerSize + IcmpHeaderSize || inner[9] != IpProtocolIcmp)
        return false;
    const quint8 *echo = inner + headerSize;
    return echo[0] == IcmpEchoRequest && read16(echo + 4) == request.id
        && read16(echo + 6) == request.sequence && std::memcmp(inner + 16, request.target.data(), 4) == 0;
}

} // namespace

int ClassifyEchoDatagram(const quint8 *data, qsizetype size, const EchoRequest &request)
{
    IcmpPart icmp;
    if (!icmpPart(data, size, request.raw, &icmp))
        return -1;
    if (icmp.data[0] == IcmpEchoReply) {
        // The datagram socket's kernel already matched the identifier to this socket.
        if (request.raw
            && (read16(icmp.data + 4) != request.id
                || std::memcmp(icmp.source, request.target.data(), 4) != 0))
            return -1;
        if (read16(icmp.data + 6) != request.sequence)
            return -1;
        return Status::Success;
    }
    if (request.raw && quotesRequest(icmp, request))
        return StatusForIcmpError(icmp.data[0], icmp.data[1]);
    return -1;
}

} // namespace rollcall::ping::detail
