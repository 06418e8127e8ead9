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

void tell(const MessageSink &sink, UserMessage::Icon icon, const QString &text)
{
    if (sink)
        sink(UserMessage { icon, text });
}

} // namespace

bool StartSockets(const MessageSink &sink)
{
    WSADATA data {};
    if (WSAStartup(0x0101, &data) != 0) {
        tell(sink, UserMessage::Icon::Critical,
            QStringLiteral(
                "Windows Sockets For 32 bit Windows environments is not successfully responding."));
        return false;
    }
    const int major = data.wVersion & 0xFF;
    const int minor = (data.wVersion >> 8) & 0xFF;
    if (major < 1 || (major == 1 && minor < 1)) {
        tell(sink, UserMessage::Icon::Exclamation,
            QStringLiteral("Windows Sockets Version ") + QString::number(major) + QLatin1Char('.')
                + QString::number(minor) + QStringLiteral(" is not supported by Windows ")
                + QStringLiteral("Sockets For 32 bit Windows environments."));
        WSACleanup();
        return false;
    }
    if (data.iMaxSockets < 1) {
        tell(sink, UserMessage::Icon::Exclamation,
            QStringLiteral("This application requires a minimum of ") + QString::number(1)
                + QStringLiteral(" supported sockets."));
        WSACleanup();
        return false;
    }
    return true;
}

bool StopSockets(const MessageSink &sink)
{
    const int result = WSACleanup();
    if (result != 0) {
        tell(sink, UserMessage::Icon::Exclamation,
            QStringLiteral("Windows Sockets Error ") + QString::number(result)
                + QStringLiteral(" occurred in Cleanup."));
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
