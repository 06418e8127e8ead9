#pragma once

// One ICMP echo to a game server, the way the results page's "Ping" command needs it: a
// blocking call that gives a round trip in milliseconds and a status with its display text.

#include <QString>
#include <functional>

namespace rollcall::ping {

// The status codes of the echo service, plus -1 for a socket library that cannot start.
namespace Status {
inline constexpr int SocketsUnavailable = -1;
inline constexpr int Success = 0;
inline constexpr int DestNetUnreachable = 11002;
inline constexpr int DestHostUnreachable = 11003;
inline constexpr int DestProtUnreachable = 11004;
inline constexpr int DestPortUnreachable = 11005;
inline constexpr int NoResources = 11006;
inline constexpr int PacketTooBig = 11009;
inline constexpr int RequestTimedOut = 11010;
inline constexpr int BadRoute = 11012;
inline constexpr int TtlExpiredTransit = 11013;
inline constexpr int TtlExpiredReassembly = 11014;
inline constexpr int ParamProblem = 11015;
inline constexpr int SourceQuench = 11016;
inline constexpr int BadDestination = 11018;
inline constexpr int GeneralFailure = 11050;
} // namespace Status

struct PingResult
{
    qint32 roundTrip = 0; // milliseconds
    qint16 status = 0;
    QString statusText;

    friend bool operator==(const PingResult &, const PingResult &) = default;
};

// Why the socket library would not start or stop cleanly (only Windows has one to start).
struct SocketsFailure
{
    enum class Kind {
        NotResponding, // the library did not start at all
        VersionUnsupported, // it offers only an older version than 1.1
        TooFewSockets, // it offers fewer sockets than the echo needs
        CleanupFailed, // it reported an error while shutting down
    };
    Kind kind = Kind::NotResponding;
    int versionMajor = 0; // VersionUnsupported: what the library offered
    int versionMinor = 0;
    int socketsNeeded = 0; // TooFewSockets
    int error = 0; // CleanupFailed: the library's error code

    friend bool operator==(const SocketsFailure &, const SocketsFailure &) = default;
};

// Where those failures go; the caller owns the window and words them.
using FailureSink = std::function<void(const SocketsFailure &)>;

QString EchoStatusText(qint32 status);

// The address as the echo service takes it: the first part in the lowest byte, so the value
// lies in memory in network order on a little-endian machine. 0 without three dots.
qint32 DottedToAddress(const QString &text);

// Succeed at once outside Windows, where no socket library needs starting.
bool StartSockets(const FailureSink &sink = {});
bool StopSockets(const FailureSink &sink = {});

// Blocks for at most about a second.
PingResult PingAddress(const QString &address, const FailureSink &sink = {});

// How ICMP errors the kernel reports map onto the echo service's codes.
int StatusForIcmpError(int type, int code);
int StatusForSendErrno(int error);

// What the results page calls; tests put a fake here so that no echo leaves the machine.
using Pinger = std::function<PingResult(const QString &address, const FailureSink &sink)>;
Pinger &pinger();
void resetPinger();

} // namespace rollcall::ping
