#include "Simulator.h"

#include "SimulatorPrivate.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

namespace rollcall::hlsim {

namespace {

constexpr quint64 MasterTag = ~quint64(0);
constexpr quint64 TimerTag = ~quint64(0) - 1;
constexpr quint64 SignalTag = ~quint64(0) - 2;
constexpr quint64 SteamMasterTag = ~quint64(0) - 3;

int openUdp(quint32 address, int port, QString *error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QStringLiteral("cannot create a socket: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return -1;
    }
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(quint16(port));
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof(sa)) != 0) {
        *error = QStringLiteral("cannot listen on port %1: %2")
                     .arg(port)
                     .arg(QString::fromLocal8Bit(strerror(errno)));
        ::close(fd);
        return -1;
    }
    return fd;
}

int boundPort(int fd)
{
    sockaddr_in sa {};
    socklen_t len = sizeof(sa);
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

bool watch(int epollFd, int fd, quint64 tag)
{
    epoll_event ev {};
    ev.events = EPOLLIN;
    ev.data.u64 = tag;
    return epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &ev) == 0;
}

} // namespace

Simulator::Simulator(QList<SimServer> servers, const SimulatorOptions &options)
    : d(new Private)
    , m_servers(std::move(servers))
    , m_options(options)
{ }

Simulator::~Simulator()
{
    for (int fd : d->serverFds)
        ::close(fd);
    for (int fd : { d->epollFd, d->timerFd, d->signalFd, d->masterFd, d->steamMasterFd }) {
        if (fd >= 0)
            ::close(fd);
    }
    delete d;
}

QString Simulator::addressText() const
{
    in_addr a {};
    a.s_addr = htonl(m_options.BindAddress);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof(text));
    return QString::fromLatin1(text);
}

QList<int> Simulator::serverPorts() const
{
    return QList<int>(d->serverPorts.begin(), d->serverPorts.end());
}

bool Simulator::open(QString *error)
{
    if (!openEventLoop(error) || !openMasters(error) || !openSockets(error))
        return false;
    buildReplies();
    return true;
}

bool Simulator::openEventLoop(QString *error)
{
    d->epollFd = epoll_create1(EPOLL_CLOEXEC);
    d->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    sigset_t blockedSignals;
    sigemptyset(&blockedSignals);
    sigaddset(&blockedSignals, SIGINT);
    sigaddset(&blockedSignals, SIGTERM);
    d->signalFd = signalfd(-1, &blockedSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (d->epollFd < 0 || d->timerFd < 0 || d->signalFd < 0) {
        *error
            = QStringLiteral("cannot set up the event loop: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    watch(d->epollFd, d->timerFd, TimerTag);
    watch(d->epollFd, d->signalFd, SignalTag);
    return true;
}

bool Simulator::openMasters(QString *error)
{
    const bool legacy = m_options.Masters != MasterProtocol::Steam;
    const bool steam = m_options.Masters != MasterProtocol::Legacy;
    if (legacy) {
        d->masterFd = openUdp(m_options.BindAddress, m_options.MasterPort, error);
        if (d->masterFd < 0) {
            *error = QStringLiteral("master: ") + *error;
            return false;
        }
        m_masterPort = boundPort(d->masterFd);
        watch(d->epollFd, d->masterFd, MasterTag);
    }
    if (steam) {
        const int port = legacy ? m_options.SteamMasterPort : m_options.MasterPort;
        d->steamMasterFd = openUdp(m_options.BindAddress, port, error);
        if (d->steamMasterFd < 0) {
            *error = QStringLiteral("Steam master: ") + *error;
            return false;
        }
        m_steamMasterPort = boundPort(d->steamMasterFd);
        watch(d->epollFd, d->steamMasterFd, SteamMasterTag);
        d->steamLimit.emplace(m_options.SteamRate, qint64(m_options.SteamSilenceSeconds * 1e9));
    }
    return true;
}

bool Simulator::openSockets(QString *error)
{
    d->serverFds.reserve(size_t(m_servers.size()));
    for (qsizetype i = 0; i < m_servers.size(); ++i) {
        const int port = m_options.FirstPort == 0 ? 0 : m_options.FirstPort + int(i);
        const int fd = openUdp(m_options.BindAddress, port, error);
        if (fd < 0) {
            *error = QStringLiteral("server %1: ").arg(i + 1) + *error;
            return false;
        }
        d->serverFds.push_back(fd);
        d->serverPorts.push_back(quint16(boundPort(fd)));
        d->serverByPort.insert(d->serverPorts.back(), int(i));
        if (!watch(d->epollFd, fd, quint64(i))) {
            *error = QStringLiteral("cannot watch socket %1: %2")
                         .arg(i + 1)
                         .arg(QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
    }
    return true;
}

// Replies are built once: answering then costs one sendto per datagram.
void Simulator::buildReplies()
{
    const QByteArray address = addressText().toLatin1();
    d->replies.resize(size_t(m_servers.size()));
    for (qsizetype i = 0; i < m_servers.size(); ++i) {
        const SimServer &server = m_servers[i];
        const quint16 port = d->serverPorts[size_t(i)];
        const QByteArray own = address + ':' + QByteArray::number(port);
        const quint32 id = quint32(i) * 2654435761u + 1;
        auto &out = d->replies[size_t(i)];
        out[size_t(Reply::Info)] = SplitReply(EncodeInfoReply(server, own), id);
        out[size_t(Reply::Rules)] = SplitReply(EncodeRulesReply(server), id + 1);
        out[size_t(Reply::Players)] = SplitReply(EncodePlayersReply(server), id + 2);
        buildA2sReplies(int(i), own, port);
    }
}

void Simulator::run()
{
    const qint64 started = NowNs();
    const qint64 endNs
        = m_options.DurationSeconds > 0 ? started + qint64(m_options.DurationSeconds * 1e9) : 0;
    std::vector<epoll_event> events(1024);
    for (;;) {
        int timeoutMs = -1;
        if (endNs) {
            const qint64 left = endNs - NowNs();
            if (left <= 0)
                return;
            timeoutMs = int(std::min<qint64>((left + 999999) / 1000000, 1000000));
        }
        const int ready = epoll_wait(d->epollFd, events.data(), int(events.size()), timeoutMs);
        if (ready < 0 && errno != EINTR)
            return;
        if (!dispatch(events.data(), ready))
            return;
        sendDueReplies();
        armTimer();
    }
}

// False once a stop signal has come in.
bool Simulator::dispatch(const epoll_event *events, int ready)
{
    for (int i = 0; i < ready; ++i) {
        const quint64 tag = events[i].data.u64;
        if (tag == SignalTag) {
            return false;
        } else if (tag == TimerTag) {
            quint64 expirations = 0;
            [[maybe_unused]] const ssize_t n = ::read(d->timerFd, &expirations, sizeof(expirations));
        } else if (tag == MasterTag) {
            drain(d->masterFd, tag);
        } else if (tag == SteamMasterTag) {
            drain(d->steamMasterFd, tag);
        } else {
            drain(d->serverFds[size_t(tag)], tag);
        }
    }
    return true;
}

void Simulator::drain(int fd, quint64 tag)
{
    char buffer[2048];
    // A bounded batch per socket keeps one chatty client from starving the rest.
    for (int i = 0; i < 64; ++i) {
        sockaddr_in from {};
        socklen_t len = sizeof(from);
        const ssize_t n
            = ::recvfrom(fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr *>(&from), &len);
        if (n < 0)
            return;
        if (tag == MasterTag)
            answerMaster(QByteArrayView(buffer, n), from);
        else if (tag == SteamMasterTag)
            answerSteamMaster(QByteArrayView(buffer, n), from);
        else
            answerQuery(int(tag), QByteArrayView(buffer, n), from, NowNs());
    }
}

quint64 Simulator::outstanding() const
{
    return quint64(d->pending.size() + d->silentHolds.size());
}

void Simulator::answerQuery(int server, QByteArrayView request, const sockaddr_in &from, qint64 now)
{
    const std::optional<Reply> reply = replyTo(server, request, from);
    if (!reply)
        return;
    while (!d->silentHolds.empty() && d->silentHolds.top() <= now)
        d->silentHolds.pop();
    const SimServer &sim = m_servers[server];
    if (sim.Silent) {
        d->silentHolds.push(now + qint64(m_options.SilentHoldMs) * 1000000);
    } else if (sim.LatencyMs <= 0) {
        m_stats.PeakOutstanding = std::max(m_stats.PeakOutstanding, outstanding() + 1);
        sendReply(server, *reply, from);
        return;
    } else {
        d->pending.push({ now + qint64(sim.LatencyMs) * 1000000, d->sequence++, server, *reply, from });
    }
    m_stats.PeakOutstanding = std::max(m_stats.PeakOutstanding, outstanding());
}

// Legacy text queries first, then A2S; anything else is counted and dropped.
std::optional<Reply> Simulator::replyTo(int server, QByteArrayView request, const sockaddr_in &from)
{
    const RequestKind kind = ClassifyRequest(request);
    if (kind != RequestKind::Other) {
        ++m_stats.Queries[size_t(kind)];
        return kind == RequestKind::Info ? Reply::Info
            : kind == RequestKind::Rules ? Reply::Rules
                                         : Reply::Players;
    }
    if (const std::optional<A2sRequest> a2s = ParseA2sRequest(request))
        return a2sReply(server, *a2s, from);
    ++m_stats.Queries[size_t(RequestKind::Other)];
    return std::nullopt;
}

void Simulator::answerMaster(QByteArrayView request, const sockaddr_in &from)
{
    ++m_stats.MasterRequests;
    MasterRequest parsed;
    if (!ParseMasterRequest(request, &parsed))
        return;
    const QList<MasterEntry> &list = listFor(parsed.Filter);
    // The key is the index of the page's first entry: opaque to clients, and never zero
    // after the first page.
    const qsizetype start = std::min<qsizetype>(parsed.Key, list.size());
    const qsizetype end = std::min<qsizetype>(start + m_options.PageSize, list.size());
    const quint32 next = end < list.size() ? quint32(end) : 0;
    sendDatagram(d->masterFd, EncodeMasterPage(next, list.mid(start, end - start)), from);
}

// Each filter's list is worked out once; clients paging through it ask again and again.
const QList<MasterEntry> &Simulator::listFor(const MasterFilter &filter)
{
    const QByteArray filterKey = filter.GameDirectory.toLower() + '\\' + filter.MapName.toLower() + '\\'
        + (filter.NotEmpty ? '1' : '0');
    auto it = d->filtered.find(filterKey);
    if (it == d->filtered.end()) {
        if (d->filtered.size() >= MaxCachedLists)
            d->filtered.clear();
        QList<MasterEntry> list;
        for (qsizetype i = 0; i < m_servers.size(); ++i) {
            if (filter.accepts(m_servers[i]))
                list.append({ m_options.BindAddress, d->serverPorts[size_t(i)] });
        }
        it = d->filtered.insert(filterKey, list);
    }
    return *it;
}

void Simulator::sendDatagram(int fd, const QByteArray &datagram, const sockaddr_in &to)
{
    const ssize_t n = ::sendto(fd, datagram.constData(), size_t(datagram.size()), 0,
        reinterpret_cast<const sockaddr *>(&to), sizeof(to));
    if (n == datagram.size())
        ++m_stats.Datagrams;
    else
        ++m_stats.DroppedSends;
}

void Simulator::sendReply(int server, Reply reply, const sockaddr_in &to)
{
    const int fd = d->serverFds[size_t(server)];
    if (reply == Reply::Challenge) {
        ++m_stats.ChallengesSent;
        sendDatagram(fd,
            EncodeChallenge(ChallengeFor(
                m_options.ChallengeSecret, server, ntohl(to.sin_addr.s_addr), ntohs(to.sin_port))),
            to);
        return;
    }
    for (const QByteArray &datagram : d->replies[size_t(server)][size_t(reply)])
        sendDatagram(fd, datagram, to);
}

void Simulator::sendDueReplies()
{
    const qint64 now = NowNs();
    while (!d->pending.empty() && d->pending.top().dueNs <= now) {
        const Pending p = d->pending.top();
        d->pending.pop();
        sendReply(p.server, p.reply, p.to);
    }
}

// The timer wakes the loop when the earliest delayed reply falls due.
void Simulator::armTimer()
{
    const qint64 due = d->pending.empty() ? 0 : d->pending.top().dueNs;
    if (due == d->armedNs)
        return;
    itimerspec spec {};
    spec.it_value.tv_sec = due / 1000000000;
    spec.it_value.tv_nsec = due % 1000000000;
    timerfd_settime(d->timerFd, TFD_TIMER_ABSTIME, &spec, nullptr);
    d->armedNs = due;
}

double ScheduleFloorMs(const QList<SimServer> &servers, int connections, int timeoutMs)
{
    std::priority_queue<double, std::vector<double>, std::greater<>> freeAt;
    for (int i = 0; i < connections; ++i)
        freeAt.push(0.0);
    double makespan = 0.0;
    for (const SimServer &server : servers) {
        if (server.Players.isEmpty())
            continue; // the master never lists it: clients always ask for non-empty servers
        const double start = freeAt.top();
        freeAt.pop();
        const double end = start + (server.Silent ? timeoutMs : server.LatencyMs);
        makespan = std::max(makespan, end);
        freeAt.push(end);
    }
    return makespan;
}

} // namespace rollcall::hlsim
