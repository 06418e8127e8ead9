// The echo and the socket library on Windows, through the system's ICMP echo service.

#include <QtGlobal>

#ifdef Q_OS_WIN

#include "ping/Echo.h"
#include "ping/Ping.h"

// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <cstring>

namespace rollcall::ping {

namespace {

SocketsFailure failureOf(SocketsFailure::Kind kind)
{
    SocketsFailure failure;
    failure.kind = kind;
    return failure;
}

void tell(const FailureSink &sink, const SocketsFailure &failure)
{
    if (sink)
        sink(failure);
}

} // namespace

bool StartSockets(const FailureSink &sink)
{
    WSADATA data {};
    if (WSAStartup(0x0101, &data) != 0) {
        tell(sink, failureOf(SocketsFailure::Kind::NotResponding));
        return false;
    }
    const int major = data.wVersion & 0xFF;
    const int minor = (data.wVersion >> 8) & 0xFF;
    if (major < 1 || (major == 1 && minor < 1)) {
        SocketsFailure failure = failureOf(SocketsFailure::Kind::VersionUnsupported);
        failure.versionMajor = major;
        failure.versionMinor = minor;
        tell(sink, failure);
        WSACleanup();
        return false;
    }
    if (data.iMaxSockets < 1) {
        SocketsFailure failure = failureOf(SocketsFailure::Kind::TooFewSockets);
        failure.socketsNeeded = 1;
        tell(sink, failure);
        WSACleanup();
        return false;
    }
    return true;
}

bool StopSockets(const FailureSink &sink)
{
    const int result = WSACleanup();
    if (result != 0) {
        SocketsFailure failure = failureOf(SocketsFailure::Kind::CleanupFailed);
        failure.error = result;
        tell(sink, failure);
        return false;
    }
    return true;
}

namespace detail {

EchoOutcome SendEcho(const std::array<quint8, 4> &address, int timeoutMs)
{
    HANDLE handle = IcmpCreateFile();
    if (handle == INVALID_HANDLE_VALUE)
        return { Status::GeneralFailure, 0 };
    IPAddr target = 0;
    std::memcpy(&target, address.data(), 4);
    char payload[EchoPayloadSize];
    std::memcpy(payload, EchoPayload, EchoPayloadSize);
    alignas(ICMP_ECHO_REPLY) char reply[sizeof(ICMP_ECHO_REPLY) + 250] = {};
    IcmpSendEcho(handle, target, payload, EchoPayloadSize, nullptr, reply, sizeof reply, DWORD(timeoutMs));
    const auto *echo = reinterpret_cast<const ICMP_ECHO_REPLY *>(reply);
    const EchoOutcome outcome { int(echo->Status), qint32(echo->RoundTripTime) };
    IcmpCloseHandle(handle);
    return outcome;
}

} // namespace detail

} // namespace rollcall::ping

#endif
