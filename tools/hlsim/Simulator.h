#pragma once

// The network itself: one UDP socket per game server plus the masters', all served by one
// epoll loop on one thread. Ten thousand sockets under a poll()-based dispatcher would cost a
// scan of every descriptor per wake-up; epoll hands over only the ready ones.

#include "A2sReplies.h"
#include "Population.h"
#include "Replies.h"
#include "SteamMaster.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

struct epoll_event;
struct sockaddr_in;

namespace rollcall::hlsim {

enum class MasterProtocol : quint8 { Legacy, Steam, Both };

struct SimulatorOptions
{
    quint32 BindAddress = 0x7F000001; // host order
    int MasterPort = 27010; // 0: the system picks
    int FirstPort = 27015; // 0: the system picks each server's port
    int PageSize = 200;
    int SilentHoldMs = 1000;
    double DurationSeconds = 0; // 0: until SIGINT or SIGTERM

    // Steam alone answers on MasterPort; with Both the legacy master keeps MasterPort.
    MasterProtocol Masters = MasterProtocol::Legacy;
    int SteamMasterPort = 27011; // with Both only; 0: the system picks
    int SteamPageSize = SteamPageLimit; // entries per reply, the end marker included
    int SteamRate = 30; // replies per minute and client address; 0: no limit
    double SteamSilenceSeconds = 60;
    bool InfoChallenge = false; // A2S_INFO needs a challenge too
    quint64 ChallengeSecret = 1;
};

struct SimulatorStats
{
    quint64 MasterRequests = 0;
    std::array<quint64, 4> Queries = {}; // by RequestKind
    quint64 Datagrams = 0; // sent, split pieces counted one by one
    quint64 DroppedSends = 0;
    quint64 PeakOutstanding = 0;
    quint64 SteamMasterRequests = 0;
    quint64 SteamMasterWithheld = 0; // well-formed, not answered: the rate limit
    std::array<quint64, 3> A2sQueries = {}; // by A2sKind
    quint64 ChallengesSent = 0;
};

// What one request gets: a stored reply of the server, or a challenge made for the sender.
enum class Reply : quint8 { Info, Rules, Players, A2sInfo, A2sRules, A2sPlayers, Challenge };

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

    int masterPort() const { return m_masterPort; } // 0 without the legacy master
    int steamMasterPort() const { return m_steamMasterPort; } // 0 without the Steam master
    QList<int> serverPorts() const;
    const QList<SimServer> &servers() const { return m_servers; }
    const SimulatorStats &stats() const { return m_stats; }
    QString addressText() const;

private:
    bool openEventLoop(QString *error);
    bool openMasters(QString *error);
    bool openSockets(QString *error);
    void buildReplies();
    void buildA2sReplies(int server, const QByteArray &ownAddress, quint16 port);
    bool dispatch(const epoll_event *events, int ready);
    void drain(int fd, quint64 tag);
    void answerQuery(int server, QByteArrayView request, const sockaddr_in &from, qint64 now);
    std::optional<Reply> replyTo(int server, QByteArrayView request, const sockaddr_in &from);
    Reply a2sReply(int server, const A2sRequest &request, const sockaddr_in &from);
    void answerMaster(QByteArrayView request, const sockaddr_in &from);
    const QList<MasterEntry> &listFor(const MasterFilter &filter);
    void answerSteamMaster(QByteArrayView request, const sockaddr_in &from);
    const QList<int> &steamListFor(const SteamMasterRequest &request);
    qsizetype steamPageStart(const QList<int> &list, const MasterEntry &seed) const;
    void sendDatagram(int fd, const QByteArray &datagram, const sockaddr_in &to);
    void sendReply(int server, Reply reply, const sockaddr_in &to);
    void sendDueReplies();
    void armTimer();
    quint64 outstanding() const;

    struct Private;
    Private *d;
    QList<SimServer> m_servers;
    SimulatorOptions m_options;
    SimulatorStats m_stats;
    int m_masterPort = 0;
    int m_steamMasterPort = 0;
};

// The makespan of a client that costs nothing itself: the non-empty servers in list order go to
// whichever of its sockets is free first; a server costs its latency, a silent one the time-out.
double ScheduleFloorMs(const QList<SimServer> &servers, int connections, int timeoutMs);

} // namespace rollcall::hlsim
