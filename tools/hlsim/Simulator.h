#pragma once

// The network itself: one UDP socket per game server plus the master's, all served by one
// epoll loop on one thread. Ten thousand sockets under a poll()-based dispatcher would cost a
// scan of every descriptor per wake-up; epoll hands over only the ready ones.

#include "Population.h"
#include "Replies.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>

struct epoll_event;
struct sockaddr_in;

namespace rollcall::hlsim {

struct SimulatorOptions
{
    quint32 BindAddress = 0x7F000001; // host order
    int MasterPort = 27010; // 0: the system picks
    int FirstPort = 27015; // 0: the system picks each server's port
    int PageSize = 200;
    int SilentHoldMs = 1000;
    double DurationSeconds = 0; // 0: until SIGINT or SIGTERM
};

struct SimulatorStats
{
    quint64 MasterRequests = 0;
    std::array<quint64, 4> Queries = {}; // by RequestKind
    quint64 Datagrams = 0; // sent, split pieces counted one by one
    quint64 DroppedSends = 0;
    quint64 PeakOutstanding = 0;
};

class Simulator
{
public:
    Simulator(QList<SimServer> servers, const SimulatorOptions &options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Opens every socket; false with a message naming what failed.
    bool open(QString *error);
    // Serves until a signal or the duration ends. SIGINT and SIGTERM must be blocked already.
    void run();

    int masterPort() const { return m_masterPort; }
    QList<int> serverPorts() const;
    const QList<SimServer> &servers() const { return m_servers; }
    const SimulatorStats &stats() const { return m_stats; }
    QString addressText() const;

private:
    bool openEventLoop(QString *error);
    bool openSockets(QString *error);
    void buildReplies();
    bool dispatch(const epoll_event *events, int ready);
    void drain(int fd, quint64 tag);
    void answerQuery(int server, QByteArrayView request, const sockaddr_in &from, qint64 now);
    void answerMaster(QByteArrayView request, const sockaddr_in &from);
    const QList<MasterEntry> &listFor(const MasterFilter &filter);
    void sendReply(int server, RequestKind kind, const sockaddr_in &to);
    void sendDueReplies();
    void armTimer();
    quint64 outstanding() const;

    struct Private;
    Private *d;
    QList<SimServer> m_servers;
    SimulatorOptions m_options;
    SimulatorStats m_stats;
    int m_masterPort = 0;
};

// The makespan of a client that costs nothing itself: the non-empty servers in list order go to
// whichever of its sockets is free first; a server costs its latency, a silent one the time-out.
double ScheduleFloorMs(const QList<SimServer> &servers, int connections, int timeoutMs);

} // namespace rollcall::hlsim
