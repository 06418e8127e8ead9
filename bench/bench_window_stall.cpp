// The longest the main window's event loop goes without turning during a whole search: a 1 ms
// precise timer ticks throughout, and the widest gap between two ticks is the worst stall the
// user could have felt. The window is driven the way a user drives it, through its controls.
//   bench_window_stall HOST:PORT [NAME] [--wildcards]

#include "BenchCommon.h"
#include "app/MainForm.h"
#include "results/ResultsModel.h"
#include "search/SearchRun.h"
#include "settings/MemorySettingsBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

using namespace rollcall;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_window_stall HOST:PORT [NAME] [--wildcards]\n");
        return 2;
    }
    const QString name
        = args.size() > 2 && !args[2].startsWith(QLatin1String("--")) ? args[2] : QStringLiteral("a");

    app::MainForm form(std::make_unique<settings::MemorySettingsBackend>());
    form.show();
    const auto button = [&](const char *objectName) {
        return form.findChild<QAbstractButton *>(QLatin1String(objectName));
    };
    auto *next = button("Command2_1");
    auto *nameBox = form.findChild<QLineEdit *>(QStringLiteral("txtPlayerName_0"));
    auto *wildcards = form.findChild<QCheckBox *>(QStringLiteral("chkUseWildcards_0"));
    auto *master = form.findChild<QComboBox *>(QStringLiteral("cboMaster"));
    if (!next || !nameBox || !master || !wildcards) {
        std::fprintf(stderr,
            "bench_window_stall: the window lacks Command2_1, txtPlayerName_0, chkUseWildcards_0 or "
            "cboMaster\n");
        return 1;
    }
    next->click(); // welcome -> options
    nameBox->setText(name);
    wildcards->setChecked(args.contains(QStringLiteral("--wildcards")));
    master->setEditText(args[1]);

    search::SearchRun *run = form.searchRun();
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    qint64 worstAt = 0;
    qint64 ticks = 0;
    bool started = false;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (now - last > worst) {
            worst = now - last;
            worstAt = now;
        }
        last = now;
        ++ticks;
        if (started && run && !run->isActive() && run->outstanding() == 0)
            QCoreApplication::quit();
    });
    QTimer::singleShot(180000, &app, [] {
        std::fprintf(stderr, "bench_window_stall: the search did not end within 3 minutes\n");
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        tick.start();
        next->click(); // options -> search: the run starts
        run = form.searchRun();
        started = true;
        last = clock.nsecsElapsed(); // the click itself is the start, not a stall
    });
    if (QCoreApplication::exec() != 0)
        return 1;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("window stall: %d servers, %d rows, search %.2f s, %lld ticks of the 1 ms timer; worst gap "
                "at %.2f s\n",
        run ? run->serverCount() : 0, form.resultsModel() ? form.resultsModel()->rowCount() : 0, seconds,
        static_cast<long long>(ticks), double(worstAt) / 1e9);
    bench::printAgainstBound("window stall, longest event-loop gap", double(worst) / 1e6, "ms", 16.0);
    return 0;
}
