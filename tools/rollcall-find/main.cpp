// rollcall-find: the program's search from a shell, for scripts and for "is my friend on?".
// Same core, same rules as the window; the saved settings give the defaults and are never written.

#include "Output.h"
#include "protocol/MasterProtocol.h"
#include "protocol/QueryProtocol.h"
#include "search/PlayerMatcher.h"
#include "search/SearchNotices.h"
#include "search/SearchRun.h"
#include "search/ServerSocket.h"
#include "settings/SettingsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace rollcall;

namespace {

constexpr int Found = 0;
constexpr int NothingFound = 1;
constexpr int Failed = 2;

const char HelpText[] = R"(Usage: rollcall-find --name TEXT [--name TEXT | --pattern TEXT] [options]
       rollcall-find --info|--rules|--players ADDRESS:PORT [--timeout MS] [--format tsv|json]

Finds Half-Life players on the servers a master server lists, like Rollcall's search
page: asks the master for the servers, asks every server for its players, and prints one
line for each player whose name matches.

Names to look for (one or two, in the order given; letter case never matters):
  --name TEXT        a piece of the name: "gordon" finds "Gordon" and "[HEV]gordon_f"
  --pattern TEXT     a wildcard pattern the whole name must match: ? one character,
                     * any run, # one digit, [abc] one of a list, [!abc] anything else,
                     [a-z] a range; "[[]" is a literal "[", so "[[]hev]*" finds every
                     name that starts with "[HEV]"

Where and how to search (defaults: Rollcall's saved options, else its defaults):
  --master HOST[:PORT]  master server (default port 27010)
  --game DIR            only servers of this game directory (cstrike, tfc, dmc, valve...);
                        --game "" for every game
  --map NAME            only servers on this map; --map "" for every map
  --max-servers N       ask at most N servers; 0 for no limit (a search never takes
                        more than the first 100,000 servers a master lists)
  --connections N       servers asked at once, 1 to 99
  --timeout MS          how long to wait for each server, 1 to 99999 ms
  --format tsv|json     tsv (default): a header line, then one tab-separated line per
                        player; a backslash, tab, CR or LF in a cell is written \\, \t, \r, \n.
                        json: one array of {"ip","port","ping","name","frags","time"}
  --progress            show progress on stderr even when it is not a terminal

Asking one server (nothing from the master):
  --info ADDRESS:PORT     its name, map, game and player counts
  --rules ADDRESS:PORT    its settings
  --players ADDRESS:PORT  everyone on it, with frags and time connected
  Absent values print as \N in tsv and null in json.

Exit status: 0 rows found (or the server answered), 1 nothing found (or no answer),
2 bad options, an invalid pattern, or a failed master exchange, including a master
that stays silent for 30 s (message on stderr).

Examples:
  rollcall-find --name Gordon
  rollcall-find --name gordon --pattern '*freeman*' --game valve
  rollcall-find --pattern '[[]tag]*' --master localhost:27010 --format json
  rollcall-find --players 127.0.0.1:27015
)";

[[noreturn]] void usageError(const QString &message)
{
    std::fprintf(stderr, "rollcall-find: %s\nTry 'rollcall-find --help'.\n", qPrintable(message));
    std::exit(Failed);
}

void writeOut(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int parseInt(const QString &option, const QString &text, int low, int high)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high)
        usageError(QStringLiteral("--%1: expected a whole number from %2 to %3, got '%4'")
                       .arg(option)
                       .arg(low)
                       .arg(high)
                       .arg(text));
    return int(value);
}

int storedInt(const QString &text, int fallback, int low, int high)
{
    const std::optional<qint32> value = settings::ParseStoredNumber(text);
    return value ? qBound(low, int(*value), high) : fallback;
}

QByteArray latin1Name(const QString &option, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            usageError(QStringLiteral(
                "--%1 '%2': '%3' is not a Latin-1 character, and server names hold nothing else")
                           .arg(option, text, QString(c)));
    }
    return text.toLatin1();
}

// A filter longer than one master request holds would leave nothing sendable, whether it was
// typed or saved by the window.
void checkFilterLength(const QString &option, const QString &filter, bool given)
{
    if (filter.size() <= protocol::MaxMasterFilterLength)
        return;
    const QString limit = QStringLiteral("too long (") + QString::number(filter.size())
        + QStringLiteral(" characters); at most ") + QString::number(protocol::MaxMasterFilterLength)
        + QStringLiteral(" fit in a master server request");
    if (given)
        usageError(QStringLiteral("--") + option + QStringLiteral(": ") + limit);
    usageError(QStringLiteral("the saved ") + option + QStringLiteral(" filter is ") + limit
        + QStringLiteral("; give --") + option + QStringLiteral(" to replace it"));
}

struct ServerAddress
{
    QString ip;
    int port = 0;
};

ServerAddress parseServer(const QString &option, const QString &text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        usageError(QStringLiteral("--%1 '%2': give the server as ADDRESS:PORT, e.g. 127.0.0.1:27015")
                       .arg(option, text));
    const int port = parseInt(option, text.mid(colon + 1), 1, 65535);
    const QString host = text.left(colon);
    QHostAddress address;
    if (address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return { address.toString(), port };
    // The query protocol is IPv4 only; a name is looked up once, before anything is sent.
    const QHostInfo info = QHostInfo::fromName(host);
    for (const QHostAddress &candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol)
            return { candidate.toString(), port };
    }
    usageError(QStringLiteral("--%1 '%2': cannot find an IPv4 address for '%3'").arg(option, text, host));
}

int queryOne(protocol::QueryKind kind, const ServerAddress &server, int timeoutMs, find::Format format)
{
    search::ServerSocket socket;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer);
    int status = NothingFound;
    QObject::connect(&socket, &search::ServerSocket::replyReceived, &socket, [&](const QByteArray &reply) {
        timeout.stop();
        socket.close();
        switch (kind) {
        case protocol::QueryKind::Info:
            writeOut(find::InfoText(protocol::DecodeInfoReply(reply), format));
            break;
        case protocol::QueryKind::Rules:
            writeOut(find::RulesText(protocol::DecodeRulesReply(reply), format));
            break;
        case protocol::QueryKind::Players:
            writeOut(find::PlayersText(protocol::DecodePlayersReply(reply), format));
            break;
        }
        status = Found;
        QCoreApplication::exit(0);
    });
    QObject::connect(&timeout, &QTimer::timeout, &socket, [&] {
        socket.close();
        std::fprintf(stderr, "rollcall-find: no reply from %s:%d within %d ms\n", qPrintable(server.ip),
            server.port, timeoutMs);
        QCoreApplication::exit(0);
    });
    socket.aim(server.ip, server.port);
    timeout.start(timeoutMs);
    if (!socket.send(protocol::BuildQueryRequest(kind))) {
        std::fprintf(stderr, "rollcall-find: cannot send to %s:%d\n", qPrintable(server.ip), server.port);
        return NothingFound;
    }
    QCoreApplication::exec();
    return status;
}

class Progress
{
public:
    explicit Progress(bool enabled)
        : m_enabled(enabled)
        , m_terminal(isatty(STDERR_FILENO) == 1)
    {
        m_clock.start();
    }

    void show(const search::SearchRun &run, bool force = false)
    {
        if (!m_enabled || (!force && m_shown && m_clock.elapsed() < (m_terminal ? 100 : 1000)))
            return;
        m_clock.restart();
        m_shown = true;
        QString text = run.status();
        if (run.isQuerying())
            text += QStringLiteral("  ") + run.leftText();
        text += QStringLiteral("  ") + QString::number(run.rowCount()) + QStringLiteral(" found");
        if (m_terminal)
            std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
        else
            std::fprintf(stderr, "%s\n", qPrintable(text));
    }

    void finish()
    {
        if (m_enabled && m_terminal && m_shown)
            std::fprintf(stderr, "\r\033[K");
    }

private:
    bool m_enabled;
    bool m_terminal;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

int runSearch(const search::SearchCriteria &criteria, find::Format format, bool progressWanted)
{
    search::SearchRun run;
    Progress progress(progressWanted);
    QList<search::ResultRow> jsonRows;
    int rows = 0;
    int status = -1;
    bool done = false;

    if (format == find::Format::Tsv)
        writeOut(find::RowsHeaderTsv());

    // The run reports its end as soon as the list is handed out; replies still on their way
    // may add rows after that, so the tool waits for the last one.
    const auto finishIfIdle = [&] {
        if (done && run.outstanding() == 0 && status < 0) {
            status = rows > 0 ? Found : NothingFound;
            QCoreApplication::exit(0);
        }
    };
    QObject::connect(&run, &search::SearchRun::rowsFound, &run, [&](const QList<search::ResultRow> &found) {
        rows += int(found.size());
        if (format == find::Format::Json) {
            jsonRows += found;
        } else {
            QByteArray out;
            for (const search::ResultRow &row : found)
                out += find::RowTsv(row);
            writeOut(out);
        }
    });
    QObject::connect(&run, &search::SearchRun::statusChanged, &run, [&] { progress.show(run); });
    QObject::connect(&run, &search::SearchRun::serverAnswered, &run, finishIfIdle);
    QObject::connect(&run, &search::SearchRun::serverTimedOut, &run, finishIfIdle);
    QObject::connect(&run, &search::SearchRun::searchDone, &run, [&] {
        done = true;
        finishIfIdle();
    });
    QObject::connect(&run, &search::SearchRun::failed, &run, [&](const UserMessage &message) {
        QString text = message.text;
        text.replace(QStringLiteral("\r\n\r\n"), QStringLiteral(" "));
        progress.finish();
        std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(text));
        // An empty list is an answer ("nobody to find"); anything else means the exchange failed,
        // and so does a master that stayed silent until the master time-out, which the window
        // reports with the same words as an empty list. The end of the run may have been
        // reported just before its message: the message wins.
        const bool empty
            = message.text.startsWith(QStringLiteral("No servers received")) && run.masterAnswered();
        if (status < 0 || !empty)
            status = empty ? NothingFound : Failed;
        QCoreApplication::exit(0);
    });

    // A notice, not a failure: the servers kept are searched and the status follows the rows.
    QObject::connect(&run, &search::SearchRun::masterListCut, &run, [&](int kept) {
        progress.finish();
        std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(search::MasterListCutMessage(kept).text));
    });

    run.start(criteria);
    QCoreApplication::exec();
    run.tearDown();
    progress.finish();
    if (format == find::Format::Json && status != Failed)
        writeOut(find::RowsJson(jsonRows));
    return status < 0 ? NothingFound : status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rollcall-find"));

    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, QString());
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption pattern(QStringLiteral("pattern"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption game(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption map(QStringLiteral("map"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption master(QStringLiteral("master"), QString(), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption maxServers(QStringLiteral("max-servers"), QString(), QStringLiteral("N"));
    const QCommandLineOption connections(QStringLiteral("connections"), QString(), QStringLiteral("N"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("MS"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("tsv|json"));
    const QCommandLineOption progress(QStringLiteral("progress"), QString());
    const QCommandLineOption info(QStringLiteral("info"), QString(), QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption rules(QStringLiteral("rules"), QString(), QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption players(QStringLiteral("players"), QString(), QStringLiteral("ADDRESS:PORT"));
    parser.addOptions({ help, name, pattern, game, map, master, maxServers, connections, timeout, format,
        progress, info, rules, players });
    if (!parser.parse(app.arguments()))
        usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("unexpected argument '%1' (names go after --name or --pattern)")
                       .arg(parser.positionalArguments().first()));
    for (const QCommandLineOption *single :
        { &game, &map, &master, &maxServers, &connections, &timeout, &format, &info, &rules, &players }) {
        if (parser.values(*single).size() > 1)
            usageError(QStringLiteral("--%1: given more than once").arg(single->names().first()));
    }

    find::Format outputFormat = find::Format::Tsv;
    if (parser.isSet(format)) {
        const QString value = parser.value(format);
        if (value == QLatin1String("json"))
            outputFormat = find::Format::Json;
        else if (value != QLatin1String("tsv"))
            usageError(QStringLiteral("--format: expected tsv or json, got '%1'").arg(value));
    }

    // Defaults from the saved options, read only: a script must never change what the window shows.
    const std::unique_ptr<settings::SettingsBackend> backend = settings::CreateDefaultBackend();
    const settings::SettingsValues saved
        = settings::LoadSettings(*backend, QString::fromLatin1(search::MasterPresets[0]));
    search::SearchCriteria criteria;
    criteria.MaxConnections = storedInt(saved.MaxConnections, 80, 1, 99);
    criteria.QueryTimeout = storedInt(saved.QueryTimeout, 1000, 1, 99999);
    criteria.MasterServer
        = saved.MasterServer.isEmpty() ? QString::fromLatin1(search::MasterPresets[0]) : saved.MasterServer;
    criteria.EnableMaxServers = saved.EnableMaxServers;
    criteria.MaxServerAmount = storedInt(saved.MaxServerAmount, 5000, 0, 2147483647);
    criteria.GameFilter = saved.GameFilter;
    criteria.MapFilter = saved.MapFilter;

    if (parser.isSet(timeout))
        criteria.QueryTimeout = parseInt(QStringLiteral("timeout"), parser.value(timeout), 1, 99999);

    const QList<std::pair<const QCommandLineOption *, protocol::QueryKind>> singles
        = { { &info, protocol::QueryKind::Info }, { &rules, protocol::QueryKind::Rules },
              { &players, protocol::QueryKind::Players } };
    const QStringList found = parser.optionNames();
    int singleCount = 0;
    for (const auto &single : singles)
        singleCount += parser.isSet(*single.first) ? 1 : 0;
    if (singleCount > 0) {
        if (singleCount > 1)
            usageError(QStringLiteral("--info, --rules and --players: ask one of them at a time"));
        for (const QCommandLineOption *searchOnly :
            { &name, &pattern, &game, &map, &master, &maxServers, &connections, &progress }) {
            if (parser.isSet(*searchOnly))
                usageError(QStringLiteral("--%1: only for a search, not with a single-server query")
                               .arg(searchOnly->names().first()));
        }
        for (const auto &single : singles) {
            if (parser.isSet(*single.first)) {
                const QString option = single.first->names().first();
                return queryOne(single.second, parseServer(option, parser.value(*single.first)),
                    criteria.QueryTimeout, outputFormat);
            }
        }
    }

    // Slots in the order they were typed: --pattern first makes slot 0 the pattern.
    const QStringList nameValues = parser.values(name);
    const QStringList patternValues = parser.values(pattern);
    if (nameValues.size() + patternValues.size() == 0)
        usageError(QStringLiteral("give a name to look for with --name TEXT or --pattern TEXT"));
    if (nameValues.size() + patternValues.size() > 2)
        usageError(QStringLiteral("at most two names: --name and --pattern together may be given twice"));
    qsizetype nextName = 0;
    qsizetype nextPattern = 0;
    size_t slot = 0;
    for (const QString &option : found) {
        const bool isPattern = option == QLatin1String("pattern");
        if (!isPattern && option != QLatin1String("name"))
            continue;
        const QString text = isPattern ? patternValues[nextPattern++] : nameValues[nextName++];
        if (text.isEmpty())
            usageError(QStringLiteral("--%1: empty; give a piece of a player's name").arg(option));
        search::NameSlot &target = criteria.Slots[slot++];
        target.EnableSearch = true;
        target.UseWildcards = isPattern;
        target.PlayerName = latin1Name(option, text);
        if (isPattern && !search::isValidWildcardPattern(search::LowerLatin1(target.PlayerName)))
            usageError(
                QStringLiteral("--pattern '%1': not a valid wildcard pattern (a '[' without its ']', or a "
                               "range that runs backwards such as [z-a])")
                    .arg(text));
    }

    if (parser.isSet(game))
        criteria.GameFilter = parser.value(game);
    if (parser.isSet(map))
        criteria.MapFilter = parser.value(map);
    for (const QCommandLineOption *filter : { &game, &map }) {
        if (parser.isSet(*filter))
            latin1Name(filter->names().first(), parser.value(*filter));
    }
    checkFilterLength(QStringLiteral("game"), criteria.GameFilter, parser.isSet(game));
    checkFilterLength(QStringLiteral("map"), criteria.MapFilter, parser.isSet(map));
    if (parser.isSet(master)) {
        criteria.MasterServer = parser.value(master);
        if (criteria.MasterServer.trimmed().isEmpty())
            usageError(QStringLiteral("--master: empty; give HOST or HOST:PORT"));
    }
    if (parser.isSet(maxServers)) {
        const int cap = parseInt(QStringLiteral("max-servers"), parser.value(maxServers), 0, 2147483647);
        criteria.EnableMaxServers = cap > 0;
        if (cap > 0)
            criteria.MaxServerAmount = cap;
    }
    if (parser.isSet(connections))
        criteria.MaxConnections = parseInt(QStringLiteral("connections"), parser.value(connections), 1, 99);

    const bool showProgress = parser.isSet(progress) || isatty(STDERR_FILENO) == 1;
    const int status = runSearch(criteria, outputFormat, showProgress);
    std::fflush(stdout);
    return status;
}
