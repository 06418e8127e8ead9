#pragma once

// What "rollcall ARGS" asks for, worked out before any window system is touched: --help and
// --version must answer on a machine without a display, where building the application
// object alone would abort.

#include <QString>
#include <QStringList>

namespace rollcall::app {

struct StartRequest
{
    enum class Kind { OpenWindow, PrintHelp, PrintVersion, Refuse };
    Kind Action = Kind::OpenWindow;
    QString Text; // what to print: the help, the version line, or why the arguments are refused
    QString WebApiUrl; // --webapi-url: the Steam Web API's base for this run; empty for the saved one
};

// `arguments` without the program name. The window's one option of its own is --webapi-url URL
// (or --webapi-url=URL); Qt's (-platform, -style, -reverse, ...) are let through for the
// application object to read.
StartRequest ReadCommandLine(const QStringList &arguments);

QString HelpText();

} // namespace rollcall::app
