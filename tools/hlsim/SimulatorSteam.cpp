// The simulator's Steam half: A2S answers on every game server and the Steam master.

#include "Simulator.h"
#include "SimulatorPrivate.h"

#include <algorithm>
#include <arpa/inet.h>

namespace rollcall::hlsim {

void Simulator::buildA2sReplies(int server, const QByteArray &ownAddress, quint16 port)
{
    const SimServer &sim = m_servers[server];
    const quint32 id = quint32(server) * 2246822519u + 7;
    auto &out = d->replies[size_t(server)];
    out[size_t(Reply::A2sInfo)] = EncodeA2sInfoDatagrams(sim, ownAddress, port);
    out[size_t(Reply::A2sRules)] = SplitA2sReply(sim, EncodeA2sRules(sim), id);
    out[size_t(Reply::A2sPlayers)] = SplitA2sReply(sim, EncodeA2sPlayers(sim), id + 1);
}

// Without the sender's challenge a server hands one out instead of the reply (a wrong one gets
// the right one again); info needs none unless asked to, and some servers never ask.
Reply Simulator::a2sReply(int server, const A2sRequest &request, const sockaddr_in &from)
{
    ++m_stats.A2sQueries[size_t(request.Kind)];
    const bool challenged
        = !m_servers[server].A2sDirect && (request.Kind != A2sKind::Info || m_options.InfoChallenge);
    if (challenged
        && request.Challenge
            != ChallengeFor(
                m_options.ChallengeSecret, server, ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)))
        return Reply::Challenge;
    switch (request.Kind) {
    case A2sKind::Info:
        return Reply::A2sInfo;
    case A2sKind::Players:
        return Reply::A2sPlayers;
    case A2sKind::Rules:
        break;
    }
    return Reply::A2sRules;
}

void Simulator::answerSteamMaster(QByteArrayView request, const sockaddr_in &from)
{
    ++m_stats.SteamMasterRequests;
    SteamMasterRequest parsed;
    if (!ParseSteamMasterRequest(request, &parsed))
        return;
    if (!d->steamLimit->allow(ntohl(from.sin_addr.s_addr), NowNs())) {
        ++m_stats.SteamMasterWithheld;
        return;
    }
    const QList<int> &list = steamListFor(parsed);
    const qsizetype start = steamPageStart(list, parsed.Seed);
    const qsizetype room = m_options.SteamPageSize;
    const qsizetype count = std::min(room, list.size() - start);
    // The end marker takes a slot of its own: a page that fills up leaves it to the next one.
    const bool ended = start + count == list.size() && count < room;
    QList<MasterEntry> entries;
    entries.reserve(count);
    for (qsizetype i = start; i < start + count; ++i)
        entries.append({ m_options.BindAddress, d->serverPorts[size_t(list[i])] });
    sendDatagram(d->steamMasterFd, EncodeSteamMasterPage(entries, ended), from);
}

const QList<int> &Simulator::steamListFor(const SteamMasterRequest &request)
{
    const QByteArray key = char(request.Region) + request.FilterText;
    auto it = d->steamLists.find(key);
    if (it == d->steamLists.end()) {
        if (d->steamLists.size() >= MaxCachedLists)
            d->steamLists.clear();
        QList<int> list;
        for (const SimServer &server : std::as_const(m_servers)) {
            const bool inRegion = request.Region == AllRegions || request.Region == server.Region;
            if (inRegion && request.Filter.accepts(server))
                list.append(server.Index);
        }
        it = d->steamLists.insert(key, list);
    }
    return *it;
}

// The page after the seed: the listed servers that come after it in the population, so a seed
// dropped from this list (another filter, another region) still finds its place. A seed that
// names none of these servers starts the list over.
qsizetype Simulator::steamPageStart(const QList<int> &list, const MasterEntry &seed) const
{
    if (seed.Address != m_options.BindAddress)
        return 0;
    const auto server = d->serverByPort.constFind(seed.Port);
    if (server == d->serverByPort.cend())
        return 0;
    return std::upper_bound(list.cbegin(), list.cend(), *server) - list.cbegin();
}

} // namespace rollcall::hlsim
