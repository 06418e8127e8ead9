// The echo on Linux and other Unix systems: an unprivileged ICMP datagram socket where the
// system allows one (net.ipv4.ping_group_range), else a raw socket.

#include <QtGlobal>

#ifndef Q_OS_WIN

#include "ping/Echo.h"
#include "ping/EchoReply.h"
#include "ping/Ping.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/errqueue.h>
#endif

namespace rollcall::ping::detail {

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

quint16 checksum(const quint8 *data, size_t size)
{
    quint32 sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += quint32(data[i]) << 8 | data[i + 1];
    if (size % 2)
        sum += quint32(data[size - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

#ifdef Q_OS_LINUX
// An ICMP error or a local failure queued on the socket (IP_RECVERR).
int readErrorQueue(int fd)
{
    quint8 data[512];
    alignas(cmsghdr) char control[512];
    iovec io { data, sizeof data };
    msghdr message {};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
        return -1;
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
            continue;
        sock_extended_err error;
        std::memcpy(&error, CMSG_DATA(c), sizeof error);
        if (error.ee_origin == SO_EE_ORIGIN_ICMP)
            return StatusForIcmpError(error.ee_type, error.ee_code);
        return StatusForSendErrno(int(error.ee_errno));
    }
    return -1;
}
#endif

int openSocket(bool *raw)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    *raw = false;
    if (fd < 0) {
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        *raw = true;
    }
    return fd;
}

} // namespace

EchoOutcome SendEcho(const std::array<quint8, 4> &address, int timeoutMs)
{
    static quint16 sequence = 0;
    EchoRequest request;
    const Descriptor socket(openSocket(&request.raw));
    if (socket.get() < 0)
        return { Status::GeneralFailure, 0 };
#ifdef Q_OS_LINUX
    const int on = 1;
    ::setsockopt(socket.get(), SOL_IP, IP_RECVERR, &on, sizeof on);
#endif
    request.target = address;
    request.id = quint16(::getpid());
    request.sequence = ++sequence;

    quint8 packet[IcmpHeaderSize + EchoPayloadSize] = { IcmpEchoRequest, 0, 0, 0, quint8(request.id >> 8),
        quint8(request.id), quint8(request.sequence >> 8), quint8(request.sequence) };
    std::memcpy(packet + IcmpHeaderSize, EchoPayload, EchoPayloadSize);
    const quint16 sum = checksum(packet, sizeof packet);
    packet[2] = quint8(sum >> 8);
    packet[3] = quint8(sum);

    sockaddr_in to {};
    to.sin_family = AF_INET;
    std::memcpy(&to.sin_addr.s_addr, address.data(), 4);
    QElapsedTimer clock;
    clock.start();
    if (::sendto(socket.get(), packet, sizeof packet, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to)
        < 0)
        return { StatusForSendErrno(errno), 0 };

    // The wait is the whole point of the call: no event loop, just a deadline.
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return { Status::RequestTimedOut, 0 };
        pollfd watch { socket.get(), POLLIN, 0 };
        const int ready = ::poll(&watch, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return { ready == 0 ? Status::RequestTimedOut : Status::GeneralFailure, 0 };
#ifdef Q_OS_LINUX
        if (watch.revents & POLLERR) {
            const int status = readErrorQueue(socket.get());
            if (status >= 0)
                return { status, 0 };
            continue;
        }
#endif
        quint8 data[1500];
        const ssize_t size = ::recv(socket.get(), data, sizeof data, MSG_DONTWAIT);
        if (size < 0)
            continue;
        const int status = ClassifyEchoDatagram(data, size, request);
        if (status == Status::Success)
            return { Status::Success, qint32(clock.elapsed()) };
        if (status >= 0)
            return { status, 0 };
    }
}

} // namespace rollcall::ping::detail

#endif
