#pragma once

// Whether the desktop has a program for links of a scheme ("steam:" when Steam is installed).
// Only files are read, never a program started: the launch window asks while it opens.

#include <QString>
#include <QStringList>

namespace rollcall::launch {

// The freedesktop way: a "x-scheme-handler/SCHEME" association in a mimeapps.list of
// `configDirs` or `applicationDirs`, in a mimeinfo.cache of `applicationDirs`, or a .desktop
// file there declaring it. Files that are not regular or are unreasonably large are passed over.
bool HasSchemeHandler(
    const QString &scheme, const QStringList &configDirs, const QStringList &applicationDirs);

// The user's and the system's folders on Linux, the registry's classes on Windows; false
// where neither is known.
bool DesktopHasSchemeHandler(const QString &scheme);

} // namespace rollcall::launch
