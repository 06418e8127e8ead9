#pragma once

// The game client's command line, and the guard in front of it: the game directory comes
// from the network, so only a plain folder name may reach the game's arguments.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace rollcall::launch {

struct LaunchCommand
{
    QString program;
    QStringList arguments;

    friend bool operator==(const LaunchCommand &, const LaunchCommand &) = default;
};

// Letters, digits, '_', '-' and '.', not empty, not starting with '-' or '.': anything else
// could smuggle an option ("-dev", "cstrike +exec x") or a path ("..") into the game.
bool IsSafeGameDirectory(const QString &directory);

// The program and its arguments, passed without a shell.
LaunchCommand BuildLaunchCommand(
    const QString &executable, const QString &gameDirectory, const QString &address);

// What is wrong with the program file, as far as the file system tells: a start that fails
// for none of these reasons failed inside the system (a file of the wrong kind, say).
enum class ProgramProblem { None, Missing, Folder, NotExecutable };
ProgramProblem InspectProgram(const QString &path);

// Joining through Steam builds no command line, so the game directory never reaches one; the
// address still must be one a game server can have: canonical dotted IPv4 and a port of 1-65535.
std::optional<QUrl> SteamConnectUrl(const QString &ip, qint64 port);

// "1" and "0" are the user's own choice. Never chosen: through Steam when no game executable
// is set (none named, or nothing at that path) and the desktop has a program for steam: links.
bool JoinsThroughSteam(const QString &storedChoice, const QString &executable, bool hasSteamHandler);

// Where the browse dialog opens: the folder of the current path when it exists, else the
// usual install folder on Windows and the home folder elsewhere.
QString BrowseStartFolder(const QString &currentPath);

} // namespace rollcall::launch
