#include "app/CommandLine.h"

#include "protocol/WebApiProtocol.h"
#include "ui/Version.h"

#include <QUrl>
#include <algorithm>
#include <array>
#include <string_view>

namespace rollcall::app {

namespace {

// The options QGuiApplication, QApplication and the X11 platform read from the command line,
// spelled without their dash.
constexpr std::array<std::string_view, 15> QtOptionsWithValue { "platform", "platformpluginpath",
    "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
    "geometry", "title", "icon", "name", "style", "stylesheet" };
constexpr std::array<std::string_view, 7> QtFlags { "reverse", "widgetcount", "nograb", "dograb", "sync",
    "testability", "qmljsdebugger" };

bool among(const auto &list, const QString &name)
{
    const QByteArray latin = name.toLatin1();
    const std::string_view word(latin.constData(), size_t(latin.size()));
    return std::find(list.begin(), list.end(), word) != list.end();
}

StartRequest refuse(const QString &why)
{
    return { StartRequest::Kind::Refuse,
        QStringLiteral("rollcall: ") + why + QStringLiteral("\nTry 'rollcall --help'.\n"), {} };
}

// Refused here, before the window opens, rather than at the first search: an address the
// search would refuse anyway, or one that would carry the key across the network readable.
QString webApiUrlProblem(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    switch (protocol::ClassifyWebApiBase(url)) {
    case protocol::WebApiBaseKind::Https:
    case protocol::WebApiBaseKind::LoopbackHttp:
        return {};
    case protocol::WebApiBaseKind::PlainHttp:
        return QStringLiteral(
            "--webapi-url '%1' is plain http:// to another machine, which would send the key "
            "readable; use https://, or http:// only to 127.0.0.1, ::1 or localhost")
            .arg(text);
    case protocol::WebApiBaseKind::Unusable:
        break;
    }
    return QStringLiteral("--webapi-url '%1' is not an https:// address with a host").arg(text);
}

} // namespace

QString HelpText()
{
    return QStringLiteral(
        "Usage: rollcall [options]\n"
        "Finds players on Half-Life servers: type a name, and Rollcall asks the master server for every\n"
        "running server and lists those the player is on. Everything else happens in the window.\n"
        "\n"
        "Options:\n"
        "  -h, --help     Print this help and exit.\n"
        "  -v, --version  Print the version and exit.\n"
        "  --webapi-url URL\n"
        "                 Ask the Steam Web API at URL instead of the saved address, for this run\n"
        "                 only (https://, or http:// to this machine).\n"
        "\n"
        "Qt's own options, with one dash (-platform NAME, -style NAME, -reverse, ...), go to Qt.\n"
        "The same search without a window: rollcall-find --help\n");
}

StartRequest ReadCommandLine(const QStringList &arguments)
{
    bool help = false;
    bool version = false;
    QString webApiUrl;
    const QString webApiOption = QStringLiteral("--webapi-url");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == webApiOption || argument.startsWith(webApiOption + QLatin1Char('='))) {
            if (argument == webApiOption && ++i == arguments.size())
                return refuse(QStringLiteral("option '%1' needs a value").arg(argument));
            webApiUrl = argument == webApiOption ? arguments[i] : argument.mid(webApiOption.size() + 1);
            if (const QString problem = webApiUrlProblem(webApiUrl); !problem.isEmpty())
                return refuse(problem);
            continue;
        }
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")
            || argument == QLatin1String("-?")) {
            help = true;
            continue;
        }
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            version = true;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2)
            return refuse(
                QStringLiteral("unexpected argument '%1'; the window takes no file or name").arg(argument));
        // Qt would read "--name X" as its X11 "-name X": one dash only, so that a search option
        // meant for rollcall-find is refused rather than quietly taken for Qt's.
        if (argument.startsWith(QLatin1String("--")))
            return refuse(QStringLiteral("unknown option '%1'").arg(argument));
        QString name = argument.mid(1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals > 0)
            name.truncate(equals); // "-style=fusion"
        if (among(QtFlags, name) || (equals > 0 && among(QtOptionsWithValue, name)))
            continue;
        if (!among(QtOptionsWithValue, name))
            return refuse(QStringLiteral("unknown option '%1'").arg(argument));
        if (++i == arguments.size())
            return refuse(QStringLiteral("option '%1' needs a value").arg(argument));
    }
    if (help)
        return { StartRequest::Kind::PrintHelp, HelpText(), {} };
    if (version)
        return { StartRequest::Kind::PrintVersion,
            QStringLiteral("rollcall ") + ui::ProgramVersionText() + QLatin1Char('\n'), {} };
    StartRequest request;
    request.WebApiUrl = webApiUrl;
    return request;
}

} // namespace rollcall::app
