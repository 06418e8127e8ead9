#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "app/Translations.h"
#include "ui/Icons.h"

#include <QApplication>
#include <cstdio>

namespace {

constexpr int UsageError = 2;

// Read straight from argv: the application object, which would parse them too, cannot be
// built without a display, and --help must work over ssh.
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    using rollcall::app::StartRequest;
    const StartRequest request = rollcall::app::ReadCommandLine(argumentsOf(argc, argv));
    if (request.Action != StartRequest::Kind::OpenWindow) {
        const bool refused = request.Action == StartRequest::Kind::Refuse;
        std::fputs(request.Text.toLocal8Bit().constData(), refused ? stderr : stdout);
        return refused ? UsageError : 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rollcall"));
    QApplication::setWindowIcon(rollcall::ui::Icon(1));
    // Before any window is made: the windows take their words as they are built.
    rollcall::app::InstallTranslations(QLocale(), rollcall::app::TranslationFolders());

    rollcall::app::MainForm window;
    if (!request.WebApiUrl.isEmpty())
        window.overrideWebApiUrl(request.WebApiUrl);
    window.show();
    return QApplication::exec();
}
