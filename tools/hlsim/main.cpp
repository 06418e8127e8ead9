// hlsim: a master server and a crowd of game servers on this machine, so the program can be
// tried, tested and measured without the real network.

#include "Population.h"
#include "Simulator.h"
#include "WebApiServer.h"
#include "ui/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <arpa/inet.h>
#include <array>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/resource.h>

using namespace rollcall::hlsim;

namespace {

constexpr int UsageError = 2;

[[noreturn]] void usage(const QString &message)
{
    std::fprintf(stderr, "hlsim: %s\nTry 'hlsim --help'.\n", qPrintable(message));
    std::exit(UsageError);
}

qint64 wholeNumber(const QString &option, const QString &text, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        usage(QStringLiteral("--%1: expected a whole number from %2 to %3, got '%4'")
                  .arg(option)
                  .arg(low)
                  .arg(high)
                  .arg(text));
    return value;
}

// "N" or "MIN-MAX".
QPair<int, int> range(const QString &option, const QString &text, int low, int high)
{
    const qsizetype dash = text.indexOf(QLatin1Char('-'), 1);
    if (dash < 0) {
        const int value = int(wholeNumber(option, text, low, high));
        return { value, value };
    }
    const int first = int(wholeNumber(option, text.left(dash), low, high));
    const int second = int(wholeNumber(option, text.mid(dash + 1), low, high));
    if (first > second)
        usage(QStringLiteral("--%1: the range '%2' runs backwards").arg(option, text));
    return { first, second };
}

double share(const QString &option, const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value >= 0.0 && value <= 1.0))
        usage(
            QStringLiteral("--%1: expected a fraction from 0 to 1 (0.05 is 5%), got '%2'").arg(option, text));
    return value;
}

template <typename T, size_t N>
T oneOf(const QString &option, const QString &text, const std::array<std::pair<const char *, T>, N> &names)
{
    for (const auto &[name, value] : names) {
        if (text == QLatin1String(name))
            return value;
    }
    QStringList known;
    for (const auto &name : names)
        known.append(QLatin1String(name.first));
    usage(
        QStringLiteral("--%1: expected one of %2, got '%3'").arg(option, known.join(QLatin1Char('|')), text));
}

InfoLayoutChoice infoLayout(const QString &text)
{
    static constexpr std::array<std::pair<const char *, InfoLayoutChoice>, 5> Names = { {
        { "I", InfoLayoutChoice::Source },
        { "m", InfoLayoutChoice::GoldSrc },
        { "both", InfoLayoutChoice::Both },
        { "hybrid", InfoLayoutChoice::Hybrid },
        { "mix", InfoLayoutChoice::Mix },
    } };
    return oneOf(QStringLiteral("info-layout"), text, Names);
}

MasterProtocol masterProtocol(const QString &text)
{
    static constexpr std::array<std::pair<const char *, MasterProtocol>, 3> Names = { {
        { "legacy", MasterProtocol::Legacy },
        { "steam", MasterProtocol::Steam },
        { "both", MasterProtocol::Both },
    } };
    return oneOf(QStringLiteral("master-protocol"), text, Names);
}

double seconds(const QString &option, const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0 && value <= 1e6))
        usage(QStringLiteral("--%1: expected a positive number of seconds, got '%2'").arg(option, text));
    return value;
}

quint32 bindAddress(const QString &text)
{
    in_addr parsed {};
    if (inet_pton(AF_INET, text.toLatin1().constData(), &parsed) != 1)
        usage(QStringLiteral("--bind: '%1' is not a dotted IPv4 address").arg(text));
    const quint32 address = ntohl(parsed.s_addr);
    if (address == 0)
        usage(QStringLiteral("--bind: name one address; 0.0.0.0 would answer on every network"));
    if ((address >> 24) != 127) {
        std::fprintf(stderr,
            "hlsim: warning: answering on %s, which is not loopback: anyone who can reach it can make "
            "this machine send traffic\n",
            qPrintable(text));
    }
    return address;
}

QList<QByteArray> readNames(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        usage(QStringLiteral("--names: cannot read '%1': %2").arg(path, file.errorString()));
    QList<QByteArray> names;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        line.replace('\0', "");
        if (!line.isEmpty())
            names.append(line.left(255));
    }
    if (names.isEmpty())
        usage(QStringLiteral("--names: '%1' holds no names (one per line)").arg(path));
    return names;
}

const char *layoutName(InfoLayout layout)
{
    switch (layout) {
    case InfoLayout::Source:
        return "I";
    case InfoLayout::GoldSrc:
        return "m";
    case InfoLayout::GoldSrcThenSource:
        return "mI";
    case InfoLayout::GoldSrcEmptyPlayersSource:
        break;
    }
    return "mDI";
}

// The A2S name as text; bytes that are not UTF-8 also go out as hex, since JSON text cannot
// carry them and a reader must know the text was patched.
void addSteamName(QJsonObject &player, const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    player.insert(QStringLiteral("steamName"), text);
    if (decoder.hasError())
        player.insert(QStringLiteral("steamNameHex"), QString::fromLatin1(bytes.toHex()));
}

QJsonObject dumpServer(const SimServer &server, const QString &address, int port)
{
    QJsonArray players;
    for (const SimPlayer &player : server.Players) {
        QJsonObject object { { QStringLiteral("name"), QString::fromLatin1(player.Name) },
            { QStringLiteral("frags"), player.Frags }, { QStringLiteral("time"), double(player.Time) } };
        addSteamName(object, player.SteamName);
        players.append(object);
    }
    return QJsonObject {
        { QStringLiteral("index"), server.Index },
        { QStringLiteral("address"), address },
        { QStringLiteral("port"), port },
        { QStringLiteral("hostname"), QString::fromLatin1(server.HostName) },
        { QStringLiteral("game"), QString::fromLatin1(server.GameDirectory) },
        { QStringLiteral("map"), QString::fromLatin1(server.MapName) },
        { QStringLiteral("latency"), server.LatencyMs },
        { QStringLiteral("silent"), server.Silent },
        { QStringLiteral("cutoff"), server.CutOff },
        { QStringLiteral("rules"), int(server.Rules.size()) },
        { QStringLiteral("appid"), server.AppId },
        { QStringLiteral("region"), server.Region },
        { QStringLiteral("infoLayout"), QLatin1String(layoutName(server.Layout)) },
        { QStringLiteral("a2sDirect"), server.A2sDirect },
        { QStringLiteral("players"), players },
    };
}

void writeDump(const QString &path, const Simulator &sim, quint16 webApiPort)
{
    const QList<int> ports = sim.serverPorts();
    QJsonArray servers;
    for (const SimServer &server : sim.servers())
        servers.append(dumpServer(server, sim.addressText(), ports.value(server.Index)));
    QJsonObject root { { QStringLiteral("servers"), servers } };
    const QString prefix = sim.addressText() + QLatin1Char(':');
    if (sim.masterPort() != 0)
        root.insert(QStringLiteral("master"), QString(prefix + QString::number(sim.masterPort())));
    if (sim.steamMasterPort() != 0)
        root.insert(QStringLiteral("steamMaster"), QString(prefix + QString::number(sim.steamMasterPort())));
    if (webApiPort != 0)
        root.insert(QStringLiteral("webApi"),
            QString(QStringLiteral("http://127.0.0.1:") + QString::number(webApiPort)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(QJsonDocument(root).toJson()) < 0) {
        std::fprintf(stderr, "hlsim: --dump: cannot write '%s': %s\n", qPrintable(path),
            qPrintable(file.errorString()));
        std::exit(1);
    }
}

// Ten thousand servers need ten thousand descriptors; the soft limit is often 1024.
void raiseDescriptorLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Blocked before anything else so that the signals reach the loop's signalfd, never a
// default handler halfway through a send.
void blockStopSignals()
{
    sigset_t blockedSignals;
    sigemptyset(&blockedSignals);
    sigaddset(&blockedSignals, SIGINT);
    sigaddset(&blockedSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &blockedSignals, nullptr);
}

QCommandLineOption option(
    const char *name, const char *help, const char *valueName = nullptr, const char *defaultValue = nullptr)
{
    return QCommandLineOption(QLatin1String(name), QLatin1String(help),
        valueName ? QLatin1String(valueName) : QString(),
        defaultValue ? QLatin1String(defaultValue) : QString());
}

struct Options
{
    QCommandLineOption servers = option("servers", "Number of game servers (default 300).", "N", "300");
    QCommandLineOption masterPort = option("master-port",
        "UDP port of the master (default 27010; 0: any free port). With --master-protocol steam, the Steam "
        "master's.",
        "PORT", "27010");
    QCommandLineOption firstPort = option("first-port",
        "Port of the first game server, the others follow (default 27015; 0: any free ports).", "PORT",
        "27015");
    QCommandLineOption players
        = option("players", "Players per server, N or MIN-MAX (default 0-16).", "RANGE", "0-16");
    QCommandLineOption latency
        = option("latency", "Reply delay in ms, N or MIN-MAX, fixed per server (default 0).", "MS", "0");
    QCommandLineOption silent
        = option("silent", "Share of servers that never answer (default 0).", "FRACTION", "0");
    QCommandLineOption cutoff
        = option("cutoff", "Share of servers whose players reply is cut off (default 0).", "FRACTION", "0");
    QCommandLineOption pageSize = option("page-size", "Servers per master reply (default 200).", "N", "200");
    QCommandLineOption seed = option("seed", "Population seed (default 1).", "N", "1");
    QCommandLineOption names = option("names",
        "Player names to use instead of the built-in mix, one per line (bytes as they are: Latin-1 in "
        "legacy replies, UTF-8 in A2S ones, whatever the file holds).",
        "FILE");
    QCommandLineOption bind = option("bind",
        "Address to listen on (default 127.0.0.1). Anything but loopback must be named here, never by "
        "default.",
        "ADDR");
    QCommandLineOption silentHold = option("silent-hold",
        "How long a query to a silent server counts as outstanding, in ms (default 1000, the program's "
        "default time-out).",
        "MS", "1000");
    QCommandLineOption scheduleFloor = option("schedule-floor",
        "Print the makespan floor of a client with CONNECTIONS sockets and the time-out given as the next "
        "argument (ms) for this population, then exit. Example: --schedule-floor 80 1000.",
        "CONNECTIONS");
    QCommandLineOption duration = option("duration", "Stop by itself after this many seconds.", "S");
    QCommandLineOption dump
        = option("dump", "Write the population, with the ports in use, as JSON to FILE.", "FILE");
    QCommandLineOption quiet = option("quiet", "Print only the listening lines and the totals.");

    QCommandLineOption masterProtocol = option("master-protocol",
        "Which master answers: legacy (default), steam, or both (the legacy one on --master-port, the "
        "Steam one on --steam-master-port).",
        "legacy|steam|both", "legacy");
    QCommandLineOption steamMasterPort = option("steam-master-port",
        "UDP port of the Steam master with --master-protocol both (default: --master-port + 1; 0: any "
        "free port).",
        "PORT");
    QCommandLineOption steamPageSize = option("steam-page-size",
        "Entries per Steam master reply, the closing 0.0.0.0:0 included (default and at most 231).", "N",
        "231");
    QCommandLineOption steamRate = option("steam-rate",
        "Steam master replies per minute to one client address before it falls silent (default 30; 0: "
        "no limit).",
        "N", "30");
    QCommandLineOption steamSilence = option("steam-silence",
        "How long the Steam master stays silent to a client over the rate, in seconds (default 60).", "S",
        "60");
    QCommandLineOption infoChallenge = option("a2s-info-challenge",
        "A2S_INFO needs a challenge too, as on servers since 2020 (players and rules do anyway, except "
        "on --a2s-direct servers).");
    QCommandLineOption a2sDirect = option("a2s-direct",
        "Share of servers that answer A2S players and rules at once, without a challenge (default 0.1).",
        "FRACTION", "0.1");
    QCommandLineOption webApiPort = option("webapi-port",
        "Serve the Steam Web API's server list (IGameServersService/GetServerList) for this population as "
        "plain HTTP on 127.0.0.1 at PORT (0: any free port). Honours the filter's \\appid\\, \\gamedir\\, "
        "\\map\\ and \\empty\\1, and limit.",
        "PORT");
    QCommandLineOption webApiKey = option("webapi-key",
        "The key the Web API wants; any other, or none, gets 403 Forbidden (default: any key, but one must "
        "be sent).",
        "KEY");
    QCommandLineOption infoLayout = option("info-layout",
        "A2S_INFO replies: I (Source layout), m (old GoldSrc layout), both (m then I), hybrid (m, an "
        "empty players reply, then I) or mix (default: mostly I, some of each other).",
        "I|m|both|hybrid|mix", "mix");
};

void describe(QCommandLineParser &parser, const Options &o)
{
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Half-Life network on this machine: a master server (legacy, Steam or both) and N game "
        "servers answering the info, rules and players queries, legacy and A2S (with challenges) on the "
        "same ports. Listens on 127.0.0.1 unless --bind names another address.\n"
        "The population is fixed by --seed: the same options always give the same servers, players and "
        "bytes.\n"
        "Stop it with Ctrl+C; it then prints how many requests of each kind it got and the peak number of "
        "queries outstanding: a query counts from its arrival until its reply leaves (after --latency), "
        "and a query to a silent server for --silent-hold ms from its arrival, since a client waits that "
        "long before giving up on it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({ o.servers, o.masterPort, o.firstPort, o.players, o.latency, o.silent, o.cutoff,
        o.pageSize, o.seed, o.names, o.bind, o.silentHold, o.scheduleFloor, o.duration, o.dump, o.quiet,
        o.masterProtocol, o.steamMasterPort, o.steamPageSize, o.steamRate, o.steamSilence, o.infoChallenge,
        o.a2sDirect, o.infoLayout, o.webApiPort, o.webApiKey });
    parser.addPositionalArgument(QStringLiteral("TIMEOUT_MS"), QStringLiteral("Only after --schedule-floor."),
        QStringLiteral("[TIMEOUT_MS]"));
}

PopulationOptions readPopulation(const QCommandLineParser &parser, const Options &o)
{
    PopulationOptions population;
    population.Servers = int(wholeNumber(QStringLiteral("servers"), parser.value(o.servers), 1, 60000));
    const auto playerRange = range(QStringLiteral("players"), parser.value(o.players), 0, 255);
    population.MinPlayers = playerRange.first;
    population.MaxPlayers = playerRange.second;
    const auto latencyRange = range(QStringLiteral("latency"), parser.value(o.latency), 0, 60000);
    population.MinLatencyMs = latencyRange.first;
    population.MaxLatencyMs = latencyRange.second;
    population.SilentShare = share(QStringLiteral("silent"), parser.value(o.silent));
    population.CutOffShare = share(QStringLiteral("cutoff"), parser.value(o.cutoff));
    population.Seed = quint64(
        wholeNumber(QStringLiteral("seed"), parser.value(o.seed), 0, std::numeric_limits<qint64>::max()));
    if (parser.isSet(o.names))
        population.Names = readNames(parser.value(o.names));
    population.A2sDirectShare = share(QStringLiteral("a2s-direct"), parser.value(o.a2sDirect));
    population.Layouts = infoLayout(parser.value(o.infoLayout));
    return population;
}

int printScheduleFloor(
    const QCommandLineParser &parser, const Options &o, const PopulationOptions &population)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        usage(QStringLiteral("--schedule-floor: give the connections and the time-out in ms, e.g. "
                             "--schedule-floor 80 1000"));
    const int connections
        = int(wholeNumber(QStringLiteral("schedule-floor"), parser.value(o.scheduleFloor), 1, 10000));
    const int timeoutMs = int(wholeNumber(QStringLiteral("schedule-floor"), positional.first(), 1, 10000000));
    const QList<SimServer> all = MakePopulation(population);
    qsizetype listed = 0;
    for (const SimServer &server : all)
        listed += server.Players.isEmpty() ? 0 : 1;
    std::printf("hlsim: schedule floor %.3f ms for %lld listed servers over %d connections, time-out %d ms\n",
        ScheduleFloorMs(all, connections, timeoutMs), static_cast<long long>(listed), connections, timeoutMs);
    return 0;
}

void checkMasterPort(const QString &option, int port, const SimulatorOptions &options, int servers)
{
    if (options.FirstPort != 0 && port >= options.FirstPort && port < options.FirstPort + servers)
        usage(QStringLiteral("--%1: %2 lies among the game servers' ports").arg(option).arg(port));
}

void readSteamMaster(
    const QCommandLineParser &parser, const Options &o, SimulatorOptions &options, int servers)
{
    options.Masters = masterProtocol(parser.value(o.masterProtocol));
    if (parser.isSet(o.steamMasterPort)) {
        if (options.Masters != MasterProtocol::Both)
            usage(QStringLiteral("--steam-master-port: only with --master-protocol both; the Steam master "
                                 "alone answers on --master-port"));
        options.SteamMasterPort = int(
            wholeNumber(QStringLiteral("steam-master-port"), parser.value(o.steamMasterPort), 0, 65535));
    } else {
        options.SteamMasterPort = options.MasterPort == 0 ? 0 : options.MasterPort + 1;
    }
    if (options.Masters == MasterProtocol::Both) {
        if (options.SteamMasterPort > 65535)
            usage(QStringLiteral(
                "--steam-master-port: name one; after --master-port 65535 there is no port left"));
        if (options.SteamMasterPort != 0 && options.SteamMasterPort == options.MasterPort)
            usage(QStringLiteral("--steam-master-port: %1 is the legacy master's port")
                      .arg(options.MasterPort));
        checkMasterPort(QStringLiteral("steam-master-port"), options.SteamMasterPort, options, servers);
    }
    options.SteamPageSize = int(
        wholeNumber(QStringLiteral("steam-page-size"), parser.value(o.steamPageSize), 1, SteamPageLimit));
    options.SteamRate = int(wholeNumber(QStringLiteral("steam-rate"), parser.value(o.steamRate), 0, 1000000));
    options.SteamSilenceSeconds = seconds(QStringLiteral("steam-silence"), parser.value(o.steamSilence));
}

SimulatorOptions readSimulator(const QCommandLineParser &parser, const Options &o, int servers)
{
    SimulatorOptions options;
    options.BindAddress = parser.isSet(o.bind) ? bindAddress(parser.value(o.bind)) : 0x7F000001;
    options.MasterPort
        = int(wholeNumber(QStringLiteral("master-port"), parser.value(o.masterPort), 0, 65535));
    options.FirstPort = int(wholeNumber(QStringLiteral("first-port"), parser.value(o.firstPort), 0, 65535));
    if (options.FirstPort != 0 && options.FirstPort + servers - 1 > 65535)
        usage(QStringLiteral("--first-port: %1 servers from port %2 would run past 65535")
                  .arg(servers)
                  .arg(options.FirstPort));
    checkMasterPort(QStringLiteral("master-port"), options.MasterPort, options, servers);
    options.PageSize = int(wholeNumber(QStringLiteral("page-size"), parser.value(o.pageSize), 1, 10000));
    options.SilentHoldMs
        = int(wholeNumber(QStringLiteral("silent-hold"), parser.value(o.silentHold), 0, 10000000));
    if (parser.isSet(o.duration))
        options.DurationSeconds = seconds(QStringLiteral("duration"), parser.value(o.duration));
    readSteamMaster(parser, o, options, servers);
    options.InfoChallenge = parser.isSet(o.infoChallenge);
    return options;
}

void printListening(
    const Simulator &sim, const SimulatorOptions &options, int servers, bool hint, quint16 webApiPort)
{
    const QList<int> ports = sim.serverPorts();
    const QString address = sim.addressText();
    if (options.FirstPort != 0) {
        std::printf("hlsim: %d game servers on %s ports %d-%d\n", servers, qPrintable(address), ports.first(),
            ports.last());
    } else {
        std::printf(
            "hlsim: %d game servers on %s, ports chosen by the system\n", servers, qPrintable(address));
    }
    if (hint) {
        std::printf(
            "hlsim: try searching for \"%s\" (on every %dth server), \"freeman\", \"[TAG]\" or \"player\"\n",
            WellKnownName, WellKnownPeriod);
    }
    if (webApiPort != 0)
        std::printf("hlsim: Steam Web API listening on http://127.0.0.1:%d\n", webApiPort);
    // The listening lines come last, the legacy master's first: scripts wait for them.
    if (sim.masterPort() != 0)
        std::printf("hlsim: master listening on %s:%d\n", qPrintable(address), sim.masterPort());
    if (sim.steamMasterPort() != 0)
        std::printf("hlsim: Steam master listening on %s:%d\n", qPrintable(address), sim.steamMasterPort());
    std::fflush(stdout);
}

// The Web API's port, or nothing when it was not asked for; started before anything is printed
// so the dump and the listening lines can name it.
std::optional<quint16> webApiPort(const QCommandLineParser &parser, const Options &o)
{
    if (!parser.isSet(o.webApiPort)) {
        if (parser.isSet(o.webApiKey))
            usage(QStringLiteral("--webapi-key: only with --webapi-port"));
        return std::nullopt;
    }
    return quint16(wholeNumber(QStringLiteral("webapi-port"), parser.value(o.webApiPort), 0, 65535));
}

bool startWebApi(WebApiThread &thread, const Simulator &sim, quint16 port, const QByteArray &key)
{
    const WebApiPopulation population { sim.servers(), sim.serverPorts(), sim.addressText(), key };
    QString error;
    if (!thread.start(population, port, &error)) {
        std::fprintf(stderr, "hlsim: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

void printTotals(const SimulatorStats &stats)
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("hlsim: requests: master %llu, info %llu, rules %llu, players %llu, other %llu\n",
        static_cast<unsigned long long>(stats.MasterRequests),
        static_cast<unsigned long long>(stats.Queries[size_t(RequestKind::Info)]),
        static_cast<unsigned long long>(stats.Queries[size_t(RequestKind::Rules)]),
        static_cast<unsigned long long>(stats.Queries[size_t(RequestKind::Players)]),
        static_cast<unsigned long long>(stats.Queries[size_t(RequestKind::Other)]));
    std::printf("hlsim: Steam requests: master %llu (withheld %llu), info %llu, rules %llu, players %llu; "
                "challenges sent %llu\n",
        static_cast<unsigned long long>(stats.SteamMasterRequests),
        static_cast<unsigned long long>(stats.SteamMasterWithheld),
        static_cast<unsigned long long>(stats.A2sQueries[size_t(A2sKind::Info)]),
        static_cast<unsigned long long>(stats.A2sQueries[size_t(A2sKind::Rules)]),
        static_cast<unsigned long long>(stats.A2sQueries[size_t(A2sKind::Players)]),
        static_cast<unsigned long long>(stats.ChallengesSent));
    std::printf("hlsim: datagrams sent %llu (dropped %llu), peak outstanding %llu\n",
        static_cast<unsigned long long>(stats.Datagrams), static_cast<unsigned long long>(stats.DroppedSends),
        static_cast<unsigned long long>(stats.PeakOutstanding));
    std::printf("hlsim: cpu %.3f s user, %.3f s system\n",
        double(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6,
        double(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    blockStopSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hlsim"));
    QCoreApplication::setApplicationVersion(rollcall::ui::ProgramVersionText());

    QCommandLineParser parser;
    const Options o;
    describe(parser, o);
    if (!parser.parse(app.arguments()))
        usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const PopulationOptions population = readPopulation(parser, o);
    if (parser.isSet(o.scheduleFloor))
        return printScheduleFloor(parser, o, population);
    if (!parser.positionalArguments().isEmpty())
        usage(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    SimulatorOptions options = readSimulator(parser, o, population.Servers);
    const std::optional<quint16> webApi = webApiPort(parser, o);
    if (parser.isSet(o.webApiKey) && parser.value(o.webApiKey).trimmed().isEmpty())
        usage(QStringLiteral("--webapi-key: name a key; leave the option out to take any"));
    // Challenges follow from the seed like everything else, so a rerun hands out the same ones.
    options.ChallengeSecret = population.Seed * 0x2545F4914F6CDD1Dull + 1;

    raiseDescriptorLimit();
    Simulator sim(MakePopulation(population), options);
    QString error;
    if (!sim.open(&error)) {
        std::fprintf(stderr, "hlsim: %s\n", qPrintable(error));
        return 1;
    }
    WebApiThread webApiThread;
    if (webApi && !startWebApi(webApiThread, sim, *webApi, parser.value(o.webApiKey).toUtf8()))
        return 1;
    if (parser.isSet(o.dump))
        writeDump(parser.value(o.dump), sim, webApiThread.port());
    printListening(sim, options, population.Servers, !parser.isSet(o.quiet) && population.Names.isEmpty(),
        webApiThread.port());
    sim.run();
    const WebApiStats webApiStats = webApiThread.stop();
    printTotals(sim.stats());
    if (webApi)
        std::printf("hlsim: Web API requests %llu (key refused %llu)\n",
            static_cast<unsigned long long>(webApiStats.Requests),
            static_cast<unsigned long long>(webApiStats.KeyRefused));
    return 0;
}
