#pragma once

// The thirteen persistent options, their order, defaults and ranges.

#include "settings/SettingsBackend.h"

#include <QString>
#include <optional>

namespace rollcall::settings {

inline const QString DefaultExecutablePath = QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe");
inline const QString DefaultSteamMaster = QStringLiteral("hl1master.steampowered.com:27010");
inline const QString DefaultWebApiUrl = QStringLiteral("https://api.steampowered.com");

// What the options page and the executable path hold. Numbers are the boxes' texts: a load
// gives a validated plain decimal, a save writes what the box shows, unvalidated.
struct SettingsValues
{
    bool EnableSearch2 = false;
    bool UseWildcards1 = false;
    bool UseWildcards2 = false;
    QString PlayerName1;
    QString PlayerName2;
    QString MaxConnections = QStringLiteral("80");
    QString QueryTimeout = QStringLiteral("1000");
    QString MasterServer;
    bool EnableMaxServers = false;
    QString MaxServerAmount = QStringLiteral("5000");
    QString GameFilter;
    QString MapFilter;
    QString ExecutablePath = DefaultExecutablePath;

    // Beside the thirteen, under names of their own: a file without them loads as before.
    // "legacy", "steam", "webapi" or "listfile"; anything else reads as legacy.
    QString Protocol = QStringLiteral("legacy");
    QString SteamRegion = QStringLiteral("255"); // the region byte, 0 to 255
    QString SteamMasterServer = DefaultSteamMaster; // each protocol keeps its own last master
    // The Web API's base address; empty reads as the default. The key is never kept here.
    QString WebApiUrl = DefaultWebApiUrl;
    QString ServerListFile; // the list file's path; empty when none was chosen
    QString ListFileQueries = QStringLiteral("legacy"); // "legacy" or "a2s"
    // "1" or "0" as the user left it; empty until then, and the launch window decides by what
    // the desktop offers.
    QString JoinThroughSteam;

    friend bool operator==(const SettingsValues &, const SettingsValues &) = default;
};

// Reads all thirteen values in order, applying defaults; firstPresetMaster stands in for an
// empty master server. Whatever was passed over is the backend's loadProblem() afterwards.
SettingsValues LoadSettings(SettingsBackend &backend, const QString &firstPresetMaster,
    const QString &defaultExecutable = DefaultExecutablePath,
    const QString &firstSteamPresetMaster = DefaultSteamMaster);
// Writes all thirteen values in order. It never fails on its own: what kept the values from
// the store is the backend's saveProblem() afterwards.
void SaveSettings(SettingsBackend &backend, const SettingsValues &values);

// Leading blanks skipped, digits (and one decimal point, an exponent) up to the first
// character that cannot continue a number, no digits gives 0, ties round to even;
// nullopt outside the 32-bit signed range.
std::optional<qint32> ParseStoredNumber(const QString &text);

} // namespace rollcall::settings
