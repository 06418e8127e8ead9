// The query phase alone, in-process: a search run against a master whose servers all answer at
// once (hlsim with latency 0), its wall and CPU time from the first query to the last reply.
//   bench_query_phase HOST:PORT [CONNECTIONS]

#include "BenchCommon.h"
#include "search/SearchRun.h"
#include "ui/RunTexts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

using namespace rollcall;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_query_phase HOST:PORT [CONNECTIONS]\n");
        return 2;
    }

    search::SearchCriteria criteria;
    criteria.Slots[0] = { true, true, QByteArray("*") };
    criteria.MasterServer = args[1];
    criteria.MaxConnections = args.size() > 2 && !args[2].startsWith(QLatin1Char('-')) ? args[2].toInt() : 80;
    criteria.QueryTimeout = 1000;

    search::SearchRun run;
    QElapsedTimer clock;
    double cpuAtQueries = 0;
    qint64 nsAtQueries = 0;
    int replies = 0;
    int timeouts = 0;
    bool done = false;
    const auto finish = [&] {
        if (done && run.outstanding() == 0)
            QCoreApplication::quit();
    };
    QObject::connect(&run, &search::SearchRun::progressChanged, &run, [&](const search::RunProgress &p) {
        if (p.isQuerying() && nsAtQueries == 0) {
            nsAtQueries = clock.nsecsElapsed();
            cpuAtQueries = bench::processCpuSeconds();
        }
    });
    QObject::connect(&run, &search::SearchRun::serverAnswered, &run, [&] {
        ++replies;
        finish();
    });
    QObject::connect(&run, &search::SearchRun::serverTimedOut, &run, [&] {
        ++timeouts;
        finish();
    });
    QObject::connect(&run, &search::SearchRun::runEnded, &run, [&] {
        done = true;
        finish();
    });
    QObject::connect(&run, &search::SearchRun::failed, &run, [&](const search::RunFailure &failure) {
        std::fprintf(stderr, "bench_query_phase: %s\n", qPrintable(ui::FailureMessage(failure).text));
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(120000, &app, [] { QCoreApplication::exit(1); });
    clock.start();
    run.start(criteria);
    if (QCoreApplication::exec() != 0)
        return 1;
    const double wall = double(clock.nsecsElapsed() - nsAtQueries) / 1e9;
    const double cpu = bench::processCpuSeconds() - cpuAtQueries;
    std::printf("query phase: %d servers, %d replies, %d time-outs, %d rows, %d connections\n",
        run.serverCount(), replies, timeouts, run.rowCount(), criteria.MaxConnections);
    std::printf("query phase: master download %.1f ms; queries %.3f s wall, %.3f s CPU; per reply %.1f us "
                "wall, %.1f us CPU; "
                "%.0f replies/s; peak outstanding %d\n",
        double(nsAtQueries) / 1e6, wall, cpu, wall / qMax(replies, 1) * 1e6, cpu / qMax(replies, 1) * 1e6,
        replies / wall, run.peakOutstanding());
    return 0;
}
