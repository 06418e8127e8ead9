// rollcall-find: the program's search from a shell, for scripts and for "is my friend on?".
// Same core, same rules as the window; the saved settings give the defaults and are never written.

#include "Options.h"
#include "Output.h"
#include "Progress.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "search/A2sExchange.h"
#include "search/SearchRun.h"
#include "search/ServerListFileReader.h"
#include "search/ServerSocket.h"
#include "settings/ApiKeyStore.h"
#include "ui/RunTexts.h"
#include "ui/Version.h"
#include "ui/WebApiTexts.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <optional>

using namespace rollcall;
using find::Failed;
using find::Found;
using find::NothingFound;

namespace {

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
  --protocol legacy|steam|webapi
                        legacy (Rollcall's default): the Half-Life master's list and the
                        servers' text queries; names are Latin-1. steam: the Steam
                        master's list, page by page (it allows about 25 pages a minute;
                        each page's servers are asked as it arrives) and A2S queries with
                        challenges; names are UTF-8, so --name and --pattern take any
                        text, matched caselessly ("STRASSE" finds "Straße"). webapi: the
                        Steam Web API's list (with your own key), then A2S as steam
  --key-file FILE       webapi: the key is the file's content without surrounding white
                        space; without it, the ROLLCALL_STEAM_KEY variable, else the key
                        Rollcall keeps in the desktop's keyring. The key is never printed
  --webapi-url URL      webapi: ask this base address instead of the saved one (default
                        https://api.steampowered.com); plain http:// only for this
                        computer (127.0.0.0/8, ::1, localhost)
  --region NAME|0-255   steam only: world, us-east, us-west, south-america, europe, asia,
                        australia, middle-east, africa, or the region byte itself
  --master HOST[:PORT]  master server (default port 27010); without it, the saved master
                        of the protocol in use (steam: hl1master.steampowered.com:27010)
  --game DIR            only servers of this game directory (cstrike, tfc, dmc, valve...);
                        --game "" for every game
  --map NAME            only servers on this map; --map "" for every map
  --servers-file FILE   search the servers FILE lists instead of a master's (- reads
                        standard input): one HOST[:PORT] a line (port 27015 when none is
                        given), HOST an IPv4 address or a name (looked up, IPv4 only); '#'
                        starts a comment, blank lines are skipped, a server listed twice
                        is asked once. --protocol chooses the queries: legacy (the
                        servers' text queries) or steam (A2S, UTF-8 names). Bad lines are
                        listed on stderr with their numbers and the others searched. Not
                        with --master, --region, --game or --map
  --max-servers N       ask at most N servers; 0 for no limit (a search never takes
                        more than the first 100,000 servers a master lists)
  --connections N       servers asked at once, 1 to 99
  --timeout MS          how long to wait for each server, 1 to 99999 ms
  --format tsv|json     tsv (default): a header line, then one tab-separated line per
                        player. In every text output (these rows, --info, --rules,
                        --players) a backslash, tab, CR or LF in a cell is written \\, \t,
                        \r, \n; any other control character (U+0000-001F, U+007F-009F) as
                        \x and two lower-case hex digits, e.g. \x1b; a bidirectional
                        override or isolate (U+202A-202E, U+2066-2069) as \u{202e}.
                        json: one array of {"ip","port","ping","name","frags","time",
                        "seconds"}: port, ping, frags and seconds (time connected) are
                        numbers, null where there is none; time is the text, "01:02:05"
  --no-header           tsv: leave out the header line
  --progress            show progress on stderr even when it is not a terminal
  --version             print the version and stop

Asking one server (nothing from the master):
  --info ADDRESS:PORT     its name, map, game and player counts; with --protocol steam also
                          Bots, ServerType (d dedicated, l listen, p proxy), OperatingSystem
                          (l, w, m, o), Password, Secure and Version when the server sends them
  --rules ADDRESS:PORT    its settings
  --players ADDRESS:PORT  everyone on it, with frags and time connected
  With --protocol steam these are A2S questions (a challenge first where the server
  asks for one; --timeout is each round's wait) and names are read as UTF-8.
  Absent values print as \N in tsv and null in json.

Exit status: 0 rows found (or the server answered), 1 nothing found (or no answer),
2 bad options, an invalid pattern, or a failed master exchange, including a master
that stays silent for 30 s (steam: 5 s for its first page), or a --servers-file that
cannot be read or names no server that can be asked (message on stderr).
A Steam master that stops answering after some pages is no failure: the servers it
listed are searched, a note on stderr says so, and the status follows the rows.
webapi: a refused key, a limit on requests, a server error, an answer that is not a
server list or one not complete within 30 s is a failed exchange (status 2), unless
an earlier answer listed servers: then those are searched and a note says why the
list is short.

Examples:
  rollcall-find --name Gordon
  rollcall-find --name gordon --pattern '*freeman*' --game valve
  rollcall-find --pattern '[[]tag]*' --master localhost:27010 --format json
  rollcall-find --protocol steam --region europe --name ИВАН --game cstrike
  rollcall-find --servers-file lan.txt --protocol steam --name gordon
  rollcall-find --protocol webapi --key-file ~/.config/steam-key --name gordon
  rollcall-find --players 127.0.0.1:27015
)";

void writeOut(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int queryOne(protocol::QueryKind kind, const find::ServerAddress &server, int timeoutMs, find::Format format)
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

// The exit status of a search: an empty list is the master's answer ("nobody to find"); any
// other failure means the exchange failed, a master silent until the time-out included.
// Steam mode: the A2S question, challenge rounds included; each round waits `timeoutMs`.
int queryOneA2s(
    protocol::QueryKind kind, const find::ServerAddress &server, int timeoutMs, find::Format format)
{
    search::A2sExchange exchange;
    int status = NothingFound;
    QObject::connect(&exchange, &search::A2sExchange::answered, &exchange, [&](const QByteArray &reply, int) {
        switch (kind) {
        case protocol::QueryKind::Info:
            writeOut(find::InfoText(protocol::DecodeA2sInfo(reply), format));
            break;
        case protocol::QueryKind::Rules:
            writeOut(find::RulesText(protocol::DecodeRulesReply(reply), format, find::Encoding::Utf8));
            break;
        case protocol::QueryKind::Players:
            writeOut(find::PlayersText(protocol::DecodePlayersReply(reply), format, find::Encoding::Utf8));
            break;
        }
        status = Found;
        QCoreApplication::exit(0);
    });
    QObject::connect(&exchange, &search::A2sExchange::timedOut, &exchange, [&] {
        std::fprintf(stderr, "rollcall-find: no reply from %s:%d within %d ms (A2S, %d requests)\n",
            qPrintable(server.ip), server.port, timeoutMs, exchange.requestsSent());
        QCoreApplication::exit(0);
    });
    const search::A2sExchange::Kind asked = kind == protocol::QueryKind::Info
        ? search::A2sExchange::Kind::Info
        : kind == protocol::QueryKind::Rules ? search::A2sExchange::Kind::Rules
                                             : search::A2sExchange::Kind::Players;
    exchange.start(server.ip, server.port, asked, timeoutMs);
    QCoreApplication::exec();
    exchange.abort();
    return status;
}

int searchStatus(const search::SearchRun &run)
{
    if (const std::optional<search::RunFailure> failure = run.failure()) {
        // A list that came back whole and empty is the answer "nobody to find", as a master's.
        const bool emptyList = failure->kind == search::RunFailure::Kind::NoServersListed
            || (failure->kind == search::RunFailure::Kind::WebApiFailed
                && failure->webApi.end == search::WebApiEnd::Complete);
        return emptyList ? NothingFound : Failed;
    }
    return run.rowCount() > 0 ? Found : NothingFound;
}

void printMessage(const ui::UserMessage &message)
{
    QString text = message.text;
    text.replace(QStringLiteral("\r\n\r\n"), QStringLiteral(" "));
    std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(text));
    // A list file's bad lines come one a line below it.
    const QStringList details = message.informativeText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : details)
        std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(line));
}

// "--servers-file -": the list comes on standard input, read whole before anything is asked.
// One byte past the reader's bound is enough to tell a list that is too large.
std::optional<QByteArray> readStandardInput()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        std::fprintf(stderr, "rollcall-find: cannot read standard input: %s\n", qPrintable(in.errorString()));
        return std::nullopt;
    }
    QByteArray content;
    const qint64 wanted = search::ServerListFileReader::MaxFileBytes + 1;
    while (content.size() < wanted) {
        const QByteArray chunk = in.read(wanted - content.size());
        if (chunk.isEmpty())
            break;
        content += chunk;
    }
    if (in.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "rollcall-find: cannot read standard input: %s\n", qPrintable(in.errorString()));
        return std::nullopt;
    }
    return content;
}

int runSearch(const search::SearchCriteria &criteria, find::Format format, bool header, bool progressWanted)
{
    search::SearchRun run;
    const find::Terminal terminal = find::Terminal::detect();
    find::ProgressLine progress(progressWanted || terminal.stderrIsTerminal, terminal);
    QList<search::ResultRow> jsonRows;

    if (format == find::Format::Tsv && header)
        writeOut(find::RowsHeaderTsv());

    QObject::connect(&run, &search::SearchRun::rowsFound, &run, [&](const QList<search::ResultRow> &found) {
        if (format == find::Format::Json) {
            jsonRows += found;
            return;
        }
        QByteArray out;
        for (const search::ResultRow &row : found)
            out += find::RowTsv(row);
        progress.beforeRows();
        writeOut(out);
        std::fflush(stdout);
    });
    QObject::connect(&run, &search::SearchRun::progressChanged, &run,
        [&](const search::RunProgress &p) { progress.show(p); });
    // The run ends after its last reply or time-out, or with its failure, which it keeps.
    QObject::connect(&run, &search::SearchRun::runEnded, &run, [] { QCoreApplication::exit(0); });

    // A notice, not a failure: the servers kept are searched and the status follows the rows.
    QObject::connect(&run, &search::SearchRun::masterListCut, &run, [&](int kept) {
        progress.finish();
        std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(ui::ListCutMessage(kept).text));
    });

    if (criteria.Protocol == search::ListProtocol::ListFile
        && criteria.ServerListFile == QLatin1String("-")) {
        const std::optional<QByteArray> content = readStandardInput();
        if (!content)
            return Failed;
        run.setServerListContent(content);
    }
    run.start(criteria);
    QCoreApplication::exec();
    run.tearDown();
    progress.finish();
    const int status = searchStatus(run);
    if (const std::optional<search::RunFailure> failure = run.failure())
        printMessage(ui::FailureMessage(*failure, -1));
    if (format == find::Format::Json && status != Failed)
        writeOut(find::RowsJson(jsonRows));
    // A list cut short was searched all the same: the status follows the rows.
    if (const std::optional<search::RunNotice> notice = run.notice()) {
        std::fflush(stdout);
        printMessage(ui::NoticeMessage(*notice, -1));
    }
    return status;
}

// --protocol webapi without a key given: the keyring's, asked before anything else is sent.
std::optional<QString> keyFromKeyring()
{
    settings::ApiKeyStore store;
    std::optional<QString> key;
    QObject::connect(&store, &settings::ApiKeyStore::readFinished, &store,
        [&](settings::KeyringStatus status, const QString &stored) {
            if (!stored.isEmpty()) {
                key = stored;
            } else if (const std::optional<ui::UserMessage> message = ui::KeyringMessage(status, false)) {
                std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(message->text));
            }
            QCoreApplication::exit(0);
        });
    store.read();
    QCoreApplication::exec();
    if (!key)
        std::fprintf(stderr,
            "rollcall-find: no Steam Web API key: give --key-file FILE, set %s, or enter one in "
            "Rollcall's options\n",
            settings::SteamKeyVariable);
    return key;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rollcall-find"));

    const find::Options options = find::ParseOptions(app.arguments());
    int status = Found;
    switch (options.action) {
    case find::Options::Action::Help:
        std::fputs(HelpText, stdout);
        break;
    case find::Options::Action::Version:
        // The same version text as the window's and the simulator's.
        std::printf("rollcall-find %s\n", qPrintable(ui::ProgramVersionText()));
        break;
    case find::Options::Action::QueryOne:
        if (search::QueriesOf(options.criteria) == search::ServerQueries::A2s)
            status = queryOneA2s(
                options.queryKind, options.server, options.criteria.QueryTimeout, options.format);
        else
            status
                = queryOne(options.queryKind, options.server, options.criteria.QueryTimeout, options.format);
        break;
    case find::Options::Action::Search: {
        search::SearchCriteria criteria = options.criteria;
        if (options.keyFromKeyring) {
            const std::optional<QString> key = keyFromKeyring();
            if (!key)
                return Failed;
            criteria.ApiKey = *key;
        }
        status = runSearch(criteria, options.format, options.header, options.progress);
        break;
    }
    }
    std::fflush(stdout);
    return status;
}
