#include "ping/Ping.h"

#include "ping/Echo.h"

#include <QStringList>
#include <cerrno>
#include <cmath>

namespace rollcall::ping {

QString EchoStatusText(qint32 status)
{
    switch (status) {
    case 0:
        return QStringLiteral("Success");
    case 1000:
        return QStringLiteral("Ping timeout");
    case 11001:
        return QStringLiteral("Buffer too small");
    case 11002:
        return QStringLiteral("Dest. net unreachable");
    case 11003:
        return QStringLiteral("Dest. host unreachable");
    case 11004:
        return QStringLiteral("Dest. prot unreachable");
    case 11005:
        return QStringLiteral("Dest. port unreachable");
    case 11006:
        return QStringLiteral("No resources");
    case 11007:
        return QStringLiteral("Bad option");
    case 11008:
        return QStringLiteral("Hardware Error");
    case 11009:
        return QStringLiteral("Packet too big");
    case 11010:
        return QStringLiteral("Request timed out");
    case 11011:
        return QStringLiteral("Bad request");
    case 11012:
        return QStringLiteral("Bad route");
    case 11013:
        return QStringLiteral("TTL Expired Transit");
    case 11014:
        return QStringLiteral("TTL Expired Reassem");
    case 11015:
        return QStringLiteral("Param problem");
    case 11016:
        return QStringLiteral("Source quench");
    case 11017:
        return QStringLiteral("Option too big");
    case 11018:
        return QStringLiteral("Bad destination");
    case 11019:
        return QStringLiteral("Address deleted");
    case 11020:
        return QStringLiteral("Spec. MTU Change");
    case 11021:
        return QStringLiteral("MTU change");
    case 11022:
        return QStringLiteral("Unload");
    case 11023:
        return QStringLiteral("Address added");
    case 11050:
        return QStringLiteral("General failure");
    case 11255:
        return QStringLiteral("Pending...");
    default:
        return QStringLiteral("Unknown");
    }
}

namespace {

// The leading decimal number of a part, rounded half to even; a part without one counts as 0.
quint8 lowByteOfPart(QStringView part)
{
    part = part.trimmed();
    qsizetype end = 0;
    if (end < part.size() && (part[end] == u'-' || part[end] == u'+'))
        ++end;
    while (end < part.size() && part[end].isDigit())
        ++end;
    if (end < part.size() && part[end] == u'.') {
        ++end;
        while (end < part.size() && part[end].isDigit())
            ++end;
    }
    bool ok = false;
    const double value = part.first(end).toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e15)
        return 0;
    return quint8(qint64(std::nearbyint(value)) & 0xFF);
}

std::array<quint8, 4> addressBytes(qint32 value)
{
    const auto v = quint32(value);
    return { quint8(v & 0xFF), quint8((v >> 8) & 0xFF), quint8((v >> 16) & 0xFF), quint8(v >> 24) };
}

} // namespace

qint32 DottedToAddress(const QString &text)
{
    // Three splits from the left: whatever follows the third dot is the fourth part.
    QList<QStringView> parts;
    QStringView rest(text);
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = rest.indexOf(u'.');
        if (dot < 0)
            return 0;
        parts.append(rest.first(dot));
        rest = rest.sliced(dot + 1);
    }
    parts.append(rest);
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(lowByteOfPart(parts[i])) << (8 * i);
    return qint32(value);
}

int StatusForIcmpError(int type, int code)
{
    switch (type) {
    case 3: // destination unreachable
        switch (code) {
        case 0:
        case 6:
        case 9:
        case 11:
            return Status::DestNetUnreachable;
        case 2:
            return Status::DestProtUnreachable;
        case 3:
            return Status::DestPortUnreachable;
        case 4:
            return Status::PacketTooBig;
        case 5:
            return Status::BadRoute;
        default:
            return Status::DestHostUnreachable;
        }
    case 4:
        return Status::SourceQuench;
    case 11:
        return code == 1 ? Status::TtlExpiredReassembly : Status::TtlExpiredTransit;
    case 12:
        return Status::ParamProblem;
    default:
        return Status::GeneralFailure;
    }
}

int StatusForSendErrno(int error)
{
    switch (error) {
    case ENETUNREACH:
        return Status::DestNetUnreachable;
    case EHOSTUNREACH:
        return Status::DestHostUnreachable;
    case EMSGSIZE:
        return Status::PacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return Status::NoResources;
    default:
        return Status::GeneralFailure;
    }
}

#ifndef Q_OS_WIN
bool StartSockets(const FailureSink &)
{
    return true;
}

bool StopSockets(const FailureSink &)
{
    return true;
}
#endif

PingResult PingAddress(const QString &address, const FailureSink &sink)
{
    const qint32 converted = DottedToAddress(address);
    if (!StartSockets(sink))
        return { 0, qint16(Status::SocketsUnavailable), QStringLiteral("Unable to initialize sockets.") };
    detail::EchoOutcome outcome;
    // 0.0.0.0 would quietly reach this machine on some systems: it is no server's address.
    if (converted == 0)
        outcome.status = Status::BadDestination;
    else
        outcome = detail::SendEcho(addressBytes(converted), detail::EchoTimeoutMs);
    StopSockets(sink);
    return { outcome.roundTrip, qint16(outcome.status), EchoStatusText(outcome.status) };
}

Pinger &pinger()
{
    static Pinger instance = &PingAddress;
    return instance;
}

void resetPinger()
{
    pinger() = &PingAddress;
}

} // namespace rollcall::ping
