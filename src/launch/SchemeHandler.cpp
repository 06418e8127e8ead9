#include "launch/SchemeHandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace rollcall::launch {

namespace {

// A list or cache of associations is a few hundred KiB at most; anything larger is not one.
constexpr qint64 MaxAssociationFile = 4 * 1024 * 1024;
// /usr/share/applications holds hundreds of entries; a folder of many thousands is passed over
// after this many, so the launch window never waits long for its default.
constexpr int MaxDesktopFiles = 3000;
constexpr qint64 MaxDesktopFile = 256 * 1024;

QByteArray readSmallFile(const QString &path, qint64 limit)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > limit)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

bool namesAProgram(QByteArrayView value)
{
    for (const QByteArray &entry : value.toByteArray().split(';')) {
        if (!entry.trimmed().isEmpty())
            return true;
    }
    return false;
}

// "mime=a.desktop;b.desktop;" under one of `sections`; a list of removed associations does not
// count.
bool associates(const QByteArray &text, const QByteArray &mime, std::initializer_list<const char *> sections)
{
    bool inSection = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inSection = false;
            for (const char *section : sections)
                inSection = inSection || line == section;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed().toLower() == mime
            && namesAProgram(line.mid(equals + 1)))
            return true;
    }
    return false;
}

bool desktopFileDeclares(const QByteArray &text, const QByteArray &mime)
{
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith("MimeType"))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != "MimeType")
            continue;
        for (const QByteArray &type : line.mid(equals + 1).split(';')) {
            if (type.trimmed().toLower() == mime)
                return true;
        }
    }
    return false;
}

} // namespace

bool HasSchemeHandler(
    const QString &scheme, const QStringList &configDirs, const QStringList &applicationDirs)
{
    if (scheme.isEmpty())
        return false;
    const QByteArray mime = "x-scheme-handler/" + scheme.toLower().toLatin1();
    const auto listed = { "[Default Applications]", "[Added Associations]" };
    for (const QStringList &dirs : { configDirs, applicationDirs }) {
        for (const QString &dir : dirs) {
            if (associates(
                    readSmallFile(dir + QStringLiteral("/mimeapps.list"), MaxAssociationFile), mime, listed))
                return true;
        }
    }
    for (const QString &dir : applicationDirs) {
        if (associates(readSmallFile(dir + QStringLiteral("/mimeinfo.cache"), MaxAssociationFile), mime,
                { "[MIME Cache]" }))
            return true;
    }
    int seen = 0;
    for (const QString &dir : applicationDirs) {
        const QStringList entries
            = QDir(dir).entryList({ QStringLiteral("*.desktop") }, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString &entry : entries) {
            if (++seen > MaxDesktopFiles)
                return false;
            if (desktopFileDeclares(readSmallFile(dir + QLatin1Char('/') + entry, MaxDesktopFile), mime))
                return true;
        }
    }
    return false;
}

bool DesktopHasSchemeHandler(const QString &scheme)
{
#if defined(Q_OS_WIN)
    // A URL scheme is a class key marked "URL Protocol", for the user or for the machine.
    for (const QString &root :
        { QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\"), QStringLiteral("HKEY_CLASSES_ROOT\\") }) {
        const QSettings key(root + scheme, QSettings::NativeFormat);
        if (key.contains(QStringLiteral("URL Protocol")))
            return true;
    }
    return false;
#elif defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return HasSchemeHandler(scheme, QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation),
        QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation));
#else
    Q_UNUSED(scheme);
    return false;
#endif
}

} // namespace rollcall::launch
