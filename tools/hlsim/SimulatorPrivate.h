#pragma once

// The simulator's state, shared by its legacy half (Simulator.cpp) and its Steam half
// (SimulatorSteam.cpp). Not for anyone else.

#include "Simulator.h"

#include <QHash>
#include <ctime>
#include <functional>
#include <netinet/in.h>
#include <optional>
#include <queue>
#include <vector>

namespace rollcall::hlsim {

inline qint64 NowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Pending
{
    qint64 dueNs;
    quint64 sequence; // keeps replies due at the same instant in arrival order
    int server;
    Reply reply;
    sockaddr_in to;

    bool operator>(const Pending &other) const
    {
        return dueNs != other.dueNs ? dueNs > other.dueNs : sequence > other.sequence;
    }
};

// Replies stored per server, indexed by Reply (the challenge is made per sender instead).
inline constexpr size_t StoredReplies = size_t(Reply::Challenge);

// Lists kept per filter; a client sending ever new filters must not grow them without end.
inline constexpr qsizetype MaxCachedLists = 256;

struct Simulator::Private
{
    int epollFd = -1;
    int timerFd = -1;
    int signalFd = -1;
    int masterFd = -1;
    int steamMasterFd = -1;
    std::vector<int> serverFds;
    std::vector<quint16> serverPorts;
    QHash<quint16, int> serverByPort;
    std::vector<std::array<QList<QByteArray>, StoredReplies>> replies;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> pending;
    std::priority_queue<qint64, std::vector<qint64>, std::greater<>> silentHolds;
    QHash<QByteArray, QList<MasterEntry>> filtered;
    QHash<QByteArray, QList<int>> steamLists; // server indexes, by region byte + filter text
    std::optional<SteamRateLimit> steamLimit;
    qint64 armedNs = 0;
    quint64 sequence = 0;
};

} // namespace rollcall::hlsim
