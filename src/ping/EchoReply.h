#pragma once

// What one datagram read from an ICMP socket means for our echo request. Pure bytes in, a
// status out: the Unix echo reads with it and the fuzz target feeds it anything.

#include <QtGlobal>
#include <array>

namespace rollcall::ping::detail {

struct EchoRequest
{
    quint16 id = 0;
    quint16 sequence = 0;
    // A raw socket hands over the IP header too, and everyone's ICMP traffic; a datagram
    // socket only the ICMP message meant for it.
    bool raw = false;
    std::array<quint8, 4> target {}; // network order
};

inline constexpr quint8 IcmpEchoReply = 0;
inline constexpr quint8 IcmpEchoRequest = 8;
inline constexpr int IcmpHeaderSize = 8;

// -1 when the datagram is somebody else's (or too short to tell), else a ping status: success
// for our echo's reply, an error status for an ICMP error that quotes our request.
int ClassifyEchoDatagram(const quint8 *data, qsizetype size, const EchoRequest &request);

} // namespace rollcall::ping::detail
