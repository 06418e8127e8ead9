// Takes the README's pictures: the three pages of the main window and a server information
// window, driven through their controls against a running hlsim.
//   screenshot-tour HOST:PORT OUTPUT_DIR

#include "app/MainForm.h"
#include "results/ResultsModel.h"
#include "search/SearchRun.h"
#include "settings/MemorySettingsBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTreeView>
#include <cstdio>
#include <functional>

using namespace rollcall;

namespace {

// Spins the event loop until the condition holds or the time is up; this is a tool, not the core.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

bool save(QWidget *widget, const QString &path)
{
    widget->raise();
    widget->activateWindow();
    settle(300);
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: screenshot-tour HOST:PORT OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(args[2]);
    auto backend = std::make_unique<settings::MemorySettingsBackend>();
    backend->setText(QStringLiteral("MasterServer"), args[1]);
    app::MainForm form(std::move(backend));
    form.show();
    settle(500);
    bool ok = save(&form, out.filePath(QStringLiteral("1-welcome.png")));

    auto *next = form.findChild<QAbstractButton *>(QStringLiteral("Command2_1"));
    auto *name = form.findChild<QLineEdit *>(QStringLiteral("txtPlayerName_0"));
    auto *secondOn = form.findChild<QCheckBox *>(QStringLiteral("chkEnable_1"));
    auto *second = form.findChild<QLineEdit *>(QStringLiteral("txtPlayerName_1"));
    auto *secondWildcards = form.findChild<QCheckBox *>(QStringLiteral("chkUseWildcards_1"));
    auto *master = form.findChild<QComboBox *>(QStringLiteral("cboMaster"));
    if (!next || !name || !master) {
        std::fprintf(stderr, "screenshot-tour: the window lacks Command2_1, txtPlayerName_0 or cboMaster\n");
        return 1;
    }
    next->click();
    name->setText(QStringLiteral("gordon"));
    if (secondOn && second && secondWildcards) {
        // Clicked like a user would, so the second slot's boxes are enabled with it.
        if (!secondOn->isChecked())
            secondOn->click();
        second->setText(QStringLiteral("[[]tag]*"));
        if (!secondWildcards->isChecked())
            secondWildcards->click();
    }
    master->setEditText(args[1]);
    settle(200);
    ok &= save(&form, out.filePath(QStringLiteral("2-options.png")));

    next->click();
    search::SearchRun *run = form.searchRun();
    if (!run || !waitFor([&] { return !run->isActive() && run->outstanding() == 0; }, 60000)) {
        std::fprintf(stderr, "screenshot-tour: the search did not end\n");
        return 1;
    }
    auto *list = form.findChild<QTreeView *>(QStringLiteral("LVPlayersFound"));
    auto *viewInfo = form.findChild<QAbstractButton *>(QStringLiteral("Command6"));
    if (list && list->model() && list->model()->rowCount() > 0) {
        list->setCurrentIndex(list->model()->index(0, 0));
        list->setFocus();
    }
    settle(1600); // the row's info query picks the Launch picture
    ok &= save(&form, out.filePath(QStringLiteral("3-results.png")));

    if (!viewInfo || !waitFor([&] { return viewInfo->isEnabled(); }, 5000)) {
        std::fprintf(stderr, "screenshot-tour: \"View Info...\" never became available\n");
        return 1;
    }
    viewInfo->click();
    QWidget *info = nullptr;
    waitFor(
        [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String("InfoForm") && w->isVisible())
                    info = w;
            }
            return info != nullptr;
        },
        5000);
    if (!info) {
        std::fprintf(stderr, "screenshot-tour: no server information window opened\n");
        return 1;
    }
    settle(1500); // info, rules and players replies
    ok &= save(info, out.filePath(QStringLiteral("4-server-info.png")));
    return ok ? 0 : 1;
}
