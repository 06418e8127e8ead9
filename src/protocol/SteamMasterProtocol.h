#pragma once

// The Steam master's paged list: regions, filter text, request bytes and reply parsing. It sits
// beside the legacy master protocol and shares its ServerEntry; nothing here touches a socket.

#include "protocol/MasterProtocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace rollcall::protocol {

// The region byte of a request. Any byte may be sent; these are the ones the master knows.
enum class SteamRegion : quint8 {
    UsEast = 0,
    UsWest = 1,
    SouthAmerica = 2,
    Europe = 3,
    Asia = 4,
    Australia = 5,
    MiddleEast = 6,
    Africa = 7,
    World = 255,
};

struct SteamRegionName
{
    SteamRegion Region;
    const char *CliName; // what rollcall-find accepts
    const char *DisplayName; // the options page's wording, in its list order
};

// One table for the command line and the options page, so the two can never disagree.
inline constexpr std::array<SteamRegionName, 9> SteamRegionNames = { {
    { SteamRegion::UsEast, "us-east", "US East" },
    { SteamRegion::UsWest, "us-west", "US West" },
    { SteamRegion::SouthAmerica, "south-america", "South America" },
    { SteamRegion::Europe, "europe", "Europe" },
    { SteamRegion::Asia, "asia", "Asia" },
    { SteamRegion::Australia, "australia", "Australia" },
    { SteamRegion::MiddleEast, "middle-east", "Middle East" },
    { SteamRegion::Africa, "africa", "Africa" },
    { SteamRegion::World, "world", "Rest of world" },
} };

// A region name of SteamRegionNames (any letter case) or a decimal byte "0" to "255"; nullopt
// for anything else, so a typo is reported instead of silently asking for the whole world.
std::optional<quint8> ParseSteamRegion(QStringView text);

// The seed that asks for the first page.
ServerEntry FirstSteamSeed();

// 0x31, the region, the seed as "IP:port" text and a zero, the filter text and a zero. Zero bytes
// inside the seed or filter are dropped: one would end the field early and the master would read
// the rest as something else.
QByteArray BuildSteamMasterRequest(quint8 region, const ServerEntry &seed, QByteArrayView filter);

enum class SteamMasterReplyStatus {
    Ok,
    BadHeader, // not FF FF FF FF 66 0A: nothing else was read
    Malformed, // the entries do not fill the datagram; the whole entries before the break are kept
};

struct SteamMasterReply
{
    SteamMasterReplyStatus Status = SteamMasterReplyStatus::BadHeader;
    QList<ServerEntry> Entries; // without the end marker and anything after it
    bool Ended = false; // the 0.0.0.0:0 marker came: the list is complete
    std::optional<ServerEntry> Last; // the last listed entry, the seed of the next request

    friend bool operator==(const SteamMasterReply &, const SteamMasterReply &) = default;
};

// Pages carry no key and no count; only the end marker says the list is complete.
SteamMasterReply ParseSteamMasterReply(QByteArrayView datagram);

// The app id stock HLDS reports for a game directory (any letter case); 70 for any other
// directory, which is why third-party mods are found under \appid\70.
quint16 SteamAppIdForGame(QStringView gameDirectory);

// The app ids a search without a game asks for, one filter each, in this order.
inline constexpr std::array<quint16, 8> SteamGoldSrcAppIds = { 10, 20, 30, 40, 50, 60, 70, 80 };

// The filter texts of one search, one list request each: "\appid\N" (with "\gamedir\DIR" when a
// game is given), "\map\M" when a map is, then "\empty\1" so the master leaves out servers with
// nobody to find. UTF-8. Backslashes and zero bytes are dropped from the game and map, so the
// user's text can never add filter keys of its own.
QList<QByteArray> SteamMasterFilters(const QString &gameDirectory, const QString &mapName);

} // namespace rollcall::protocol
