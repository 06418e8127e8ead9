#include "launch/GameCommandLine.h"

#include "protocol/ServerAddressRules.h"

#include <QDir>
#include <QFileInfo>

namespace rollcall::launch {

bool IsSafeGameDirectory(const QString &directory)
{
    if (directory.isEmpty() || directory.startsWith(QLatin1Char('-'))
        || directory.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : directory) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
            || u == u'_' || u == u'-' || u == u'.';
        if (!allowed)
            return false;
    }
    return true;
}

LaunchCommand BuildLaunchCommand(
    const QString &executable, const QString &gameDirectory, const QString &address)
{
    return { executable,
        { QStringLiteral("-console"), QStringLiteral("-game"), gameDirectory, QStringLiteral("+connect"),
            address } };
}

ProgramProblem InspectProgram(const QString &path)
{
    const QFileInfo file(QDir::fromNativeSeparators(path));
    if (path.isEmpty() || !file.exists())
        return ProgramProblem::Missing;
    if (!file.isFile())
        return ProgramProblem::Folder;
    if (!file.isExecutable())
        return ProgramProblem::NotExecutable;
    return ProgramProblem::None;
}

QString BrowseStartFolder(const QString &currentPath)
{
    if (!currentPath.isEmpty()) {
        const QFileInfo file(QDir::fromNativeSeparators(currentPath));
        const QDir folder = file.dir();
        if (folder.exists() && !file.path().isEmpty() && file.path() != QLatin1String("."))
            return QDir::toNativeSeparators(folder.absolutePath());
    }
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\SIERRA\\Half-Life");
#else
    return QDir::homePath();
#endif
}

std::optional<QUrl> SteamConnectUrl(const QString &ip, qint64 port)
{
    const std::optional<quint32> address = protocol::ParseDottedIPv4(ip);
    if (!address || port > 65535 || !protocol::IsQueryableServer(*address, port))
        return std::nullopt;
    return QUrl(QStringLiteral("steam://connect/%1:%2").arg(ip).arg(port));
}

bool JoinsThroughSteam(const QString &storedChoice, const QString &executable, bool hasSteamHandler)
{
    if (storedChoice == QLatin1String("1"))
        return true;
    if (storedChoice == QLatin1String("0"))
        return false;
    const ProgramProblem problem = InspectProgram(executable);
    const bool noExecutable = executable.trimmed().isEmpty() || problem == ProgramProblem::Missing
        || problem == ProgramProblem::Folder;
    return noExecutable && hasSteamHandler;
}

} // namespace rollcall::launch
