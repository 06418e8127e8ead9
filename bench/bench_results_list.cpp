// 160,000 rows appended to the results list while it is sorted, with its view attached, the
// way a '*' search over thousands of servers fills it: a few rows per reply.

#include "BenchCommon.h"
#include "results/ResultsModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeView>

using namespace rollcall;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool withView = !args.contains(QStringLiteral("--no-view"));
    const int total = args.size() > 1 && !args[1].startsWith(QLatin1Char('-')) ? args[1].toInt() : 160000;
    const int perReply = 8;

    // Rows prepared beforehand: the benchmark is the list, not the text formatting.
    QList<QList<search::ResultRow>> replies;
    quint64 state = 12345;
    const auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return quint32(state >> 33);
    };
    for (int made = 0; made < total;) {
        QList<search::ResultRow> rows;
        const QString ip
            = QStringLiteral("10.%1.%2.%3").arg(next() % 256).arg(next() % 256).arg(next() % 256);
        const QString port = QString::number(27015 + next() % 1000);
        const QString ping = QString::number(next() % 300);
        for (int i = 0; i < perReply && made < total; ++i, ++made) {
            search::ResultRow row;
            row.Cells = { ip, port, ping,
                QStringLiteral("Player%1_%2").arg(next() % 100000).arg(QChar(u'a' + next() % 26)),
                QString::number(int(next() % 120) - 20),
                QStringLiteral("00:%1:%2")
                    .arg(next() % 60, 2, 10, QLatin1Char('0'))
                    .arg(next() % 60, 2, 10, QLatin1Char('0')) };
            rows.append(row);
        }
        replies.append(rows);
    }

    results::ResultsModel model;
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    if (withView) {
        view.setModel(&model);
        view.resize(800, 400);
        view.show();
    }
    model.setSorting(true, search::ResultRow::PlayerName, Qt::AscendingOrder);
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    const double cpu0 = bench::processCpuSeconds();
    clock.start();
    for (const QList<search::ResultRow> &rows : replies)
        model.appendRows(rows);
    const double appendMs = double(clock.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents(); // the view catches up: one layout, one paint
    const double totalMs = double(clock.nsecsElapsed()) / 1e6;
    const double cpuMs = (bench::processCpuSeconds() - cpu0) * 1000.0;

    std::printf("results list: %d rows in %lld appends of %d while sorted by name, %s; model %lld rows\n",
        total, static_cast<long long>(replies.size()), perReply, withView ? "QTreeView attached" : "no view",
        static_cast<long long>(model.rowCount()));
    bench::printAgainstBound("results list append time", appendMs, "ms", 500.0);
    std::printf("results list: with the view's catch-up %.1f ms wall, %.1f ms CPU\n", totalMs, cpuMs);
    return model.rowCount() == total ? 0 : 1;
}
