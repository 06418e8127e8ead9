#pragma once

// Where Steam installed Half-Life on Linux, so the game path starts out pointing at a game
// that exists instead of at a Windows folder. Files only: no widgets, no process.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace rollcall::launch {

// The library folders a libraryfolders.vdf lists: every "path" value, and in the older layout
// every numbered entry right under the root; absolute paths only. Malformed text gives what
// was read before the fault.
QStringList LibraryFoldersFromVdf(QByteArrayView vdf);

// The Steam roots under `home` (native, Debian's, ~/.local/share, Flatpak's), then the extra
// libraries their libraryfolders.vdf files list: folders that exist, each once, in that order.
QStringList SteamLibraries(const QString &home);
// The same for the user's home folder.
QStringList DefaultSteamLibraries();

// The first library holding steamapps/common/Half-Life with hl.sh (the launcher Steam runs,
// which sets up the game's libraries) or else hl_linux; empty when none does.
QString FindSteamHalfLife(const QStringList &libraryRoots);

} // namespace rollcall::launch
