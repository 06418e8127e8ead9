// rollcall-find: the program's search from a shell, for scripts and for "is my friend on?".
// Same core, same rules as the window; the saved settings give the defaults and are never written.

#include "Options.h"
#include "Output.h"
#include "Progress.h"
#include "protocol/QueryProtocol.h"
#include "search/SearchRun.h"
#include "search/ServerSocket.h"
#include "ui/RunTexts.h"

#include <QCoreApplication>
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
  --master HOST[:PORT]  master server (default port 27010)
  --game DIR            only servers of this game directory (cstrike, tfc, dmc, valve...);
                        --game "" for every game
  --map NAME            only servers on this map; --map "" for every map
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
int searchStatus(const search::SearchRun &run)
{
    if (const std::optional<search::RunFailure> failure = run.failure())
        return failure->kind == search::RunFailure::Kind::NoServersListed ? NothingFound : Failed;
    return run.rowCount() > 0 ? Found : NothingFound;
}

void printFailure(const search::RunFailure &failure)
{
    const ui::UserMessage message = ui::FailureMessage(failure);
    QString text = message.text;
    text.replace(QStringLiteral("\r\n\r\n"), QStringLiteral(" "));
    std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(text));
    if (!message.informativeText.isEmpty())
        std::fprintf(stderr, "rollcall-find: %s\n", qPrintable(message.informativeText));
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

    run.start(criteria);
    QCoreApplication::exec();
    run.tearDown();
    progress.finish();
    const int status = searchStatus(run);
    if (const std::optional<search::RunFailure> failure = run.failure())
        printFailure(*failure);
    if (format == find::Format::Json && status != Failed)
        writeOut(find::RowsJson(jsonRows));
    return status;
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
        std::printf("rollcall-find %d.%d.%d\n", ROLLCALL_VERSION_MAJOR, ROLLCALL_VERSION_MINOR,
            ROLLCALL_VERSION_REVISION);
        break;
    case find::Options::Action::QueryOne:
        status = queryOne(options.queryKind, options.server, options.criteria.QueryTimeout, options.format);
        break;
    case find::Options::Action::Search:
        status = runSearch(options.criteria, options.format, options.header, options.progress);
        break;
    }
    std::fflush(stdout);
    return status;
}
