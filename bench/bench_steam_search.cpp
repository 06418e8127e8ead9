// A Steam-mode search against a simulated population in this process: a Steam master and
// N A2S servers served from a thread of their own (one epoll loop, as hlsim does), so the search
// on the main thread competes with nothing but the kernel. Prints the wall time against the
// schedule floor: the servers handed out in list order to the connections as each becomes free,
// none before its page was sent, an answering server costing two round trips (the challenge, then
// the players) and a silent one the time-out of the one round it waits.
//   bench_steam_search [SERVERS [LATENCY_MS [SILENT_SHARE [CONNECTIONS [TIMEOUT_MS]]]]] [--paced]
// Unpaced by default: with the master's real pacing (25 pages a minute) a list of more than 25
// pages waits a minute for the rest, and the figure would measure the wait, not the search.

#include "BenchCommon.h"
#include "search/SearchRun.h"
#include "search/SteamMasterClient.h"
#include "ui/RunTexts.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <queue>
#include <random>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace rollcall;

namespace {

constexpr int PageEntries = 231;

qint64 nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int boundUdpSocket()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return -1;
    return fd;
}

quint16 portOf(int fd)
{
    sockaddr_in address {};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

// The master and the servers. Everything here is touched by the serving thread only until join().
class Network
{
public:
    Network(int servers, int latencyMs, double silentShare)
        : m_latencyNs(qint64(latencyMs) * 1000000)
    {
        std::mt19937 random(1);
        std::bernoulli_distribution silent(silentShare);
        for (int i = 0; i < servers; ++i) {
            const int fd = boundUdpSocket();
            if (fd < 0)
                return;
            m_servers.push_back(Server { fd, portOf(fd), silent(random) });
        }
        m_master = boundUdpSocket();
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        m_timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        m_stop = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        for (int fd : { m_master, m_timer, m_stop })
            watch(fd, -1);
        for (size_t i = 0; i < m_servers.size(); ++i)
            watch(m_servers[i].fd, int(i));
    }
    ~Network()
    {
        for (const Server &server : m_servers)
            close(server.fd);
        for (int fd : { m_master, m_epoll, m_timer, m_stop })
            close(fd);
    }

    bool ready() const { return m_master >= 0 && m_stop >= 0 && m_servers.size() > 0; }
    QString masterAddress() const { return QStringLiteral("127.0.0.1:") + QString::number(portOf(m_master)); }
    void start()
    {
        m_thread = std::thread([this] { serve(); });
    }
    void stop()
    {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = write(m_stop, &one, sizeof one);
        m_thread.join();
    }

    // The time each page left, and whether each server (in list order) is silent.
    const std::vector<qint64> &pageTimes() const { return m_pageTimes; }
    bool silent(size_t i) const { return m_servers[i].silent; }
    size_t size() const { return m_servers.size(); }

private:
    struct Server
    {
        int fd;
        quint16 port;
        bool silent;
    };
    struct Reply
    {
        qint64 due;
        int fd;
        sockaddr_in to;
        QByteArray bytes;
        bool operator>(const Reply &other) const { return due > other.due; }
    };

    void watch(int fd, int index)
    {
        epoll_event event {};
        event.events = EPOLLIN;
        event.data.u64 = quint64(quint32(fd)) << 32 | quint32(index);
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }

    void serve()
    {
        epoll_event events[256];
        for (;;) {
            const int count = epoll_wait(m_epoll, events, 256, -1);
            for (int k = 0; k < count; ++k) {
                const int fd = int(events[k].data.u64 >> 32);
                const int index = int(qint32(quint32(events[k].data.u64)));
                if (fd == m_stop)
                    return;
                if (fd == m_master)
                    readMaster();
                else if (fd == m_timer)
                    sendDue();
                else
                    readServer(size_t(index));
            }
        }
    }

    void readMaster()
    {
        char buffer[1500];
        sockaddr_in from {};
        socklen_t length = sizeof from;
        ssize_t got;
        while (
            (got = recvfrom(m_master, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length))
            > 0) {
            // 0x31, region, seed "IP:port", 0, filter, 0: the seed's port is its place in the list.
            const QByteArray seed = QByteArray(buffer + 2, int(got) - 2).split('\0').value(0);
            const quint16 seedPort = quint16(seed.mid(seed.indexOf(':') + 1).toUInt());
            size_t first = 0;
            while (seedPort != 0 && first < m_servers.size() && m_servers[first].port != seedPort)
                ++first;
            first += seedPort != 0 ? 1 : 0;
            QByteArray page = QByteArray::fromHex("FFFFFFFF660A");
            const size_t last = std::min(m_servers.size(), first + PageEntries);
            for (size_t i = first; i < last; ++i)
                page += QByteArray::fromHex("7F000001") + char(m_servers[i].port >> 8)
                    + char(m_servers[i].port & 0xFF);
            if (last - first < size_t(PageEntries))
                page += QByteArray(6, '\0');
            m_pageTimes.push_back(nowNs());
            sendto(m_master, page.constData(), size_t(page.size()), 0, reinterpret_cast<sockaddr *>(&from),
                length);
        }
    }

    void readServer(size_t i)
    {
        char buffer[1500];
        sockaddr_in from {};
        socklen_t length = sizeof from;
        ssize_t got;
        const Server &server = m_servers[i];
        while ((got = recvfrom(
                    server.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length))
            > 0) {
            if (server.silent || got != 9 || buffer[4] != 'U')
                continue;
            // The challenge is the server's port, which is all it needs to check.
            const QByteArray challenge = QByteArray::number(server.port).rightJustified(4, '0').right(4);
            QByteArray reply;
            if (QByteArray(buffer + 5, 4) == challenge)
                reply = QByteArray::fromHex("FFFFFFFF4401") + '\0' + "player" + QByteArray::number(quint64(i))
                    + '\0' + QByteArray(8, '\0');
            else
                reply = QByteArray::fromHex("FFFFFFFF41") + challenge;
            m_pending.push(Reply { nowNs() + m_latencyNs, server.fd, from, reply });
        }
        arm();
    }

    void sendDue()
    {
        quint64 expirations = 0;
        [[maybe_unused]] const ssize_t read_ = read(m_timer, &expirations, sizeof expirations);
        const qint64 now = nowNs();
        while (!m_pending.empty() && m_pending.top().due <= now) {
            const Reply &reply = m_pending.top();
            sendto(reply.fd, reply.bytes.constData(), size_t(reply.bytes.size()), 0,
                reinterpret_cast<const sockaddr *>(&reply.to), sizeof reply.to);
            m_pending.pop();
        }
        m_armed = 0;
        arm();
    }

    // The timer wakes the loop when the earliest reply falls due.
    void arm()
    {
        const qint64 due = m_pending.empty() ? 0 : m_pending.top().due;
        if (due == m_armed)
            return;
        itimerspec spec {};
        spec.it_value.tv_sec = due / 1000000000;
        spec.it_value.tv_nsec = due % 1000000000;
        timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &spec, nullptr);
        m_armed = due;
    }

    qint64 m_latencyNs;
    std::vector<Server> m_servers;
    int m_master = -1;
    int m_epoll = -1;
    int m_timer = -1;
    int m_stop = -1;
    qint64 m_armed = 0;
    std::priority_queue<Reply, std::vector<Reply>, std::greater<>> m_pending;
    std::vector<qint64> m_pageTimes;
    std::thread m_thread;
};

// Servers in list order, each free from its page's time, to the connection that is free first.
double scheduleFloorMs(const Network &network, qint64 startNs, int connections, int latencyMs, int timeoutMs)
{
    std::priority_queue<double, std::vector<double>, std::greater<>> freeAt;
    for (int i = 0; i < connections; ++i)
        freeAt.push(0.0);
    double makespan = 0.0;
    for (size_t i = 0; i < network.size(); ++i) {
        const size_t page = i / PageEntries;
        const double listed
            = page < network.pageTimes().size() ? double(network.pageTimes()[page] - startNs) / 1e6 : 0.0;
        const double start = std::max(freeAt.top(), listed);
        freeAt.pop();
        const double end = start + (network.silent(i) ? double(timeoutMs) : 2.0 * latencyMs);
        makespan = std::max(makespan, end);
        freeAt.push(end);
    }
    return makespan;
}

void raiseDescriptorLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool paced = args.removeAll(QStringLiteral("--paced")) > 0;
    const auto number
        = [&](int i, double fallback) { return i < args.size() ? args[i].toDouble() : fallback; };
    const int servers = int(number(0, 10000));
    const int latencyMs = int(number(1, 20));
    const double silentShare = number(2, 0.05);
    const int connections = int(number(3, 80));
    const int timeoutMs = int(number(4, 1000));

    raiseDescriptorLimit();
    Network network(servers, latencyMs, silentShare);
    if (!network.ready() || int(network.size()) != servers) {
        std::fprintf(stderr, "bench_steam_search: cannot open %d sockets on 127.0.0.1\n", servers);
        return 1;
    }
    network.start();

    search::SearchCriteria criteria;
    criteria.Protocol = search::ListProtocol::Steam;
    criteria.Slots[0] = { true, false, QByteArray("player7") };
    criteria.MasterServer = network.masterAddress();
    criteria.GameFilter = QStringLiteral("valve");
    criteria.MaxConnections = connections;
    criteria.QueryTimeout = timeoutMs;

    search::SearchRun run;
    run.setSteamListCache(nullptr);
    if (!paced)
        run.setSteamPacing(search::SteamMasterClient::DefaultRequestsPerWindow, std::chrono::milliseconds(0));
    int answered = 0;
    int timedOut = 0;
    QObject::connect(&run, &search::SearchRun::serverAnswered, &run, [&] { ++answered; });
    QObject::connect(&run, &search::SearchRun::serverTimedOut, &run, [&] { ++timedOut; });
    QObject::connect(&run, &search::SearchRun::runEnded, &run, [] { QCoreApplication::exit(0); });
    QObject::connect(&run, &search::SearchRun::failed, &run, [](const search::RunFailure &failure) {
        std::fprintf(stderr, "bench_steam_search: %s\n", qPrintable(ui::FailureMessage(failure).text));
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(paced ? 600000 : 300000, &app, [] { QCoreApplication::exit(1); });

    const double cpuBefore = bench::processCpuSeconds();
    const qint64 startNs = nowNs();
    run.start(criteria);
    const int status = QCoreApplication::exec();
    const qint64 endNs = nowNs();
    const double cpu = bench::processCpuSeconds() - cpuBefore;
    network.stop();
    if (status != 0)
        return 1;

    const double wallMs = double(endNs - startNs) / 1e6;
    const double floorMs = scheduleFloorMs(network, startNs, connections, latencyMs, timeoutMs);
    std::printf("steam search: %d servers listed in %zu pages%s, %d answered, %d timed out, %d rows, "
                "%d connections, peak outstanding %d\n",
        run.serverCount(), network.pageTimes().size(), paced ? " (paced)" : " (unpaced)", answered, timedOut,
        run.rowCount(), connections, run.peakOutstanding());
    std::printf("steam search: wall %.3f s, schedule floor %.3f s, ratio %.3f (target <= 1.05); CPU %.3f s "
                "(the serving thread's included)\n",
        wallMs / 1000, floorMs / 1000, wallMs / floorMs, cpu);
    return 0;
}
