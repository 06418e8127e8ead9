#pragma once

// The platform's echo: one request, one wait. Internal to the ping library.

#include <QtGlobal>
#include <array>

namespace rollcall::ping::detail {

struct EchoOutcome
{
    int status = 0;
    qint32 roundTrip = 0;
};

inline constexpr int EchoTimeoutMs = 1000;
inline constexpr char EchoPayload[] = "Echo This"; // sent without its terminator: 9 bytes
inline constexpr int EchoPayloadSize = 9;

// The address as four bytes in network order (10.0.0.1 is {10, 0, 0, 1}).
EchoOutcome SendEcho(const std::array<quint8, 4> &address, int timeoutMs);

} // namespace rollcall::ping::detail
