#include "Population.h"

#include <QString>
#include <algorithm>
#include <array>

namespace rollcall::hlsim {

namespace {

struct Game
{
    const char *directory;
    const char *description;
    std::array<const char *, 8> maps;
    int weight;
};

// Nobody runs Ricochet here, so a search for it (or \appid\60) lists nothing; "ag" stands for
// the third-party mods, which stock servers report under app id 70 like Half-Life itself.
const std::array<Game, 8> Games = { {
    { "cstrike", "Counter-Strike",
        { "de_dust2", "de_dust", "cs_office", "de_inferno", "de_nuke", "cs_italy", "de_aztec", "de_train" },
        42 },
    { "valve", "Half-Life",
        { "crossfire", "bounce", "datacore", "stalkyard", "boot_camp", "snark_pit", "undertow",
            "subtransit" },
        15 },
    { "tfc", "Team Fortress Classic",
        { "2fort", "well", "rock2", "dustbowl", "avanti", "hunted", "badlands", "cz2" }, 13 },
    { "dmc", "Deathmatch Classic",
        { "dmc_dm1", "dmc_dm2", "dmc_dm3", "dmc_dm4", "dmc_dm5", "dmc_dm6", "dmc_dm7", "dmc_end" }, 7 },
    { "dod", "Day of Defeat",
        { "dod_anzio", "dod_avalanche", "dod_caen", "dod_charlie", "dod_donner", "dod_flash", "dod_jagd",
            "dod_kalt" },
        10 },
    { "czero", "Condition Zero",
        { "de_dust2_cz", "de_aztec_cz", "cs_italy_cz", "de_cbble_cz", "de_inferno_cz", "de_nuke_cz",
            "cs_office_cz", "de_train_cz" },
        6 },
    { "gearbox", "Opposing Force",
        { "op4_bootcamp", "op4_datacore", "op4_gearbox", "op4_kbase", "op4_meanie", "op4_outpost", "op4_park",
            "op4_repent" },
        4 },
    { "ag", "Adrenaline Gamer",
        { "crossfire", "boot_camp", "stalkyard", "bounce", "datacore", "snark_pit", "lambda_bunker",
            "rapidcore" },
        3 },
} };

const std::array<const char *, 48> Handles = {
    "Sniper",
    "headhunter",
    "NoobSlayer",
    "Viper",
    "Ghost",
    "Rambo",
    "Kenny",
    "Medic",
    "Sarge",
    "bob",
    "Alice",
    "Zero",
    "Blaze",
    "Frost",
    "Hunter",
    "Nomad",
    "Raven",
    "Shadow",
    "Tank",
    "Wolf",
    "Spike",
    "Echo",
    "Falcon",
    "Gunner",
    "Jester",
    "Kilo",
    "Lynx",
    "Mako",
    "Nova",
    "Orbit",
    "Pixel",
    "Quake",
    "Rogue",
    "Saber",
    "Titan",
    "Umbra",
    "Vortex",
    "Wasp",
    "Xeno",
    "Yeti",
    "Zulu",
    "freeman",
    "crowbar",
    "scientist",
    "grunt",
    "snark",
    "houndeye",
    "barnacle",
};

const std::array<const char *, 10> ClanTags
    = { "TAG", "HL", "CLAN", "xX", "EoD", "WaR", "KoS", "dR", "404", "LAN" };

// Latin-1 bytes above 0x7F, as players with accented keyboards type them.
const std::array<const char *, 10> AccentedNames = {
    "J\xFCrgen",
    "S\xF8ren",
    "\xC6lfric",
    "Zo\xEB",
    "Jos\xE9",
    "\xD1"
    "and\xFA",
    "\xD0"
    "arkness",
    "\xDF"
    "niper",
    "Fran\xE7ois",
    "\xC5sa",
};

// Names a careless exporter would break: tabs, backslashes, line breaks, quotes, nothing at all.
const std::array<const char *, 8> HostileNames = {
    "tab\there",
    "back\\slash",
    "cr\rlf\nname",
    "\\\\server\\share",
    "\"quoted\"",
    "semi;colon,comma",
    "",
    "\\t not a tab",
};

// Names that only A2S replies carry, UTF-8 as Steam clients send them: other scripts, letters
// whose case folding changes their length, final sigma, emoji beyond the 16-bit range, and
// accents both precomposed ("Jos\u00E9") and decomposed ("Zoe" + U+0308).
const std::array<const char *, 14> UnicodeNames = {
    "Иван",
    "ИВАНГРОЗНЫЙ",
    "Снайпер",
    "Σίσυφος",
    "ΟΔΥΣΣΕΥΣ",
    "玩家",
    "狙击手",
    "Jos\u00E9",
    "Stra\u00DFe",
    "STRASSE",
    "\U0001F3AEgamer",
    "\U0001F480Reaper",
    "Zoe\u0308",
    "Ame\u0301lie",
};

// What a client that is not Steam's sends: its own code page, cut sequences, overlong forms,
// surrogates and code points past U+10FFFF.
const std::array<const char *, 6> IllFormedNames = {
    "\xC8\xE2\xE0\xED", // "Ivan" in Windows-1251
    "bad\xFFname",
    "cut\xE2\x82",
    "\xC0\xAFslash",
    "\xED\xA0\x80surrogate",
    "\xF4\x90\x80\x80"
    "beyond",
};

QByteArray mixCase(QByteArray name, Random &random)
{
    for (char &c : name) {
        if (random.chance(0.5)) {
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        }
    }
    return name;
}

QByteArray makeName(Random &random)
{
    const double kind = random.unit();
    QByteArray base = Handles[size_t(random.between(0, qint64(Handles.size()) - 1))];
    if (kind < 0.30)
        return base;
    if (kind < 0.45)
        return '[' + QByteArray(ClanTags[size_t(random.between(0, qint64(ClanTags.size()) - 1))]) + ']'
            + base;
    if (kind < 0.55)
        return QByteArray(ClanTags[size_t(random.between(0, qint64(ClanTags.size()) - 1))]) + '|' + base;
    if (kind < 0.70)
        return base + QByteArray::number(random.between(0, 2026));
    if (kind < 0.80)
        return mixCase(base, random);
    if (kind < 0.88)
        return AccentedNames[size_t(random.between(0, qint64(AccentedNames.size()) - 1))];
    if (kind < 0.93)
        return random.chance(0.5) ? QByteArray("Player") : QByteArray("(1)Player");
    if (kind < 0.97)
        return "-=" + QByteArray(ClanTags[size_t(random.between(0, qint64(ClanTags.size()) - 1))]) + "=-"
            + base;
    return HostileNames[size_t(random.between(0, qint64(HostileNames.size()) - 1))];
}

const Game &pickGame(Random &random)
{
    int total = 0;
    for (const Game &game : Games)
        total += game.weight;
    int roll = int(random.between(0, total - 1));
    for (const Game &game : Games) {
        if (roll < game.weight)
            return game;
        roll -= game.weight;
    }
    return Games[0];
}

QList<QPair<QByteArray, QByteArray>> makeRules(const SimServer &server, Random &random)
{
    QList<QPair<QByteArray, QByteArray>> rules = {
        { "mp_timelimit", QByteArray::number(random.between(0, 60)) },
        { "mp_fraglimit", QByteArray::number(random.between(0, 100)) },
        { "mp_friendlyfire", random.chance(0.3) ? "1" : "0" },
        { "mp_footsteps", "1" },
        { "mp_flashlight", random.chance(0.5) ? "1" : "0" },
        { "sv_gravity", "800" },
        { "sv_maxspeed", "320" },
        { "sv_password", "0" },
        { "sv_contact", "" },
        { "coop", "0" },
        { "deathmatch", "1" },
        { "hostname", server.HostName },
        { "gamedir", server.GameDirectory },
    };
    // Every tenth server runs a heavily modded setup whose rules no longer fit one datagram.
    if (server.Index % 10 == 3) {
        for (int i = 0; i < 120; ++i)
            rules.append({ "amx_plugin_setting_" + QByteArray::number(i),
                QByteArray::number(random.between(0, 99999)) });
    }
    return rules;
}

template <size_t N> const char *pick(const std::array<const char *, N> &names, Random &random)
{
    return names[size_t(random.between(0, qint64(N) - 1))];
}

InfoLayout pickLayout(InfoLayoutChoice choice, double roll)
{
    switch (choice) {
    case InfoLayoutChoice::Source:
        return InfoLayout::Source;
    case InfoLayoutChoice::GoldSrc:
        return InfoLayout::GoldSrc;
    case InfoLayoutChoice::Both:
        return InfoLayout::GoldSrcThenSource;
    case InfoLayoutChoice::Hybrid:
        return InfoLayout::GoldSrcEmptyPlayersSource;
    case InfoLayoutChoice::Mix:
        break;
    }
    // Most answer in the Source layout only, as stock servers do; the rest run query plugins.
    if (roll < 0.70)
        return InfoLayout::Source;
    if (roll < 0.80)
        return InfoLayout::GoldSrc;
    if (roll < 0.92)
        return InfoLayout::GoldSrcThenSource;
    return InfoLayout::GoldSrcEmptyPlayersSource;
}

quint8 pickRegion(Random &random)
{
    // US East, US West, South America, Europe, Asia, Australia, Middle East, Africa.
    static constexpr std::array<int, 8> Weights = { 20, 15, 8, 30, 12, 5, 5, 5 };
    int roll = int(random.between(0, 99));
    for (size_t region = 0; region < Weights.size(); ++region) {
        if (roll < Weights[region])
            return quint8(region);
        roll -= Weights[region];
    }
    return 3;
}

// The Steam side draws from a stream of its own, so it never moves the legacy side's draws, and
// it makes the same draws whatever --info-layout and --a2s-direct say, so neither reshuffles
// the rest.
void addSteamSide(SimServer &server, const PopulationOptions &options)
{
    Random random(options.Seed * 0xD6E8FEB86659FD93ull ^ (quint64(server.Index) + 1) * 0xA0761D6478BD642Full);
    random.next();
    server.AppId = AppIdFor(server.GameDirectory);
    server.Region = pickRegion(random);
    server.Layout = pickLayout(options.Layouts, random.unit());
    server.A2sDirect = random.unit() < options.A2sDirectShare;
    static constexpr std::array<quint8, 4> ExtraFlags = { 0x00, 0x80, 0xA0, 0xB1 };
    server.InfoExtraFlags = ExtraFlags[size_t(random.between(0, 3))];
    server.IndexStyle = PlayerIndexStyle(random.between(0, 2));
    server.PiecesOutOfOrder = random.chance(0.5);
    for (SimPlayer &player : server.Players) {
        const double roll = random.unit();
        if (!options.Names.isEmpty())
            player.SteamName = player.Name;
        else if (roll < 0.06 && player.Name != WellKnownName)
            player.SteamName = pick(UnicodeNames, random);
        else if (roll < 0.08 && player.Name != WellKnownName)
            player.SteamName = pick(IllFormedNames, random);
        else
            player.SteamName = QString::fromLatin1(player.Name).toUtf8();
    }
}

} // namespace

quint16 AppIdFor(QByteArrayView gameDirectory)
{
    static constexpr std::array<std::pair<const char *, quint16>, 8> AppIds
        = { { { "cstrike", 10 }, { "tfc", 20 }, { "dod", 30 }, { "dmc", 40 }, { "gearbox", 50 },
            { "ricochet", 60 }, { "valve", 70 }, { "czero", 80 } } };
    for (const auto &[directory, appId] : AppIds) {
        if (gameDirectory.compare(QByteArrayView(directory), Qt::CaseInsensitive) == 0)
            return appId;
    }
    return 70;
}

SimServer MakeServer(const PopulationOptions &options, int index)
{
    // Each server draws from its own stream, so adding servers never changes the earlier ones.
    Random random(options.Seed * 0x100000001B3ull ^ (quint64(index) + 1) * 0x9E3779B97F4A7C15ull);
    random.next();

    SimServer server;
    server.Index = index;
    const Game &game = pickGame(random);
    server.GameDirectory = game.directory;
    server.GameDescription = game.description;
    server.MapName = game.maps[size_t(random.between(0, qint64(game.maps.size()) - 1))];
    server.HostName = "Rollcall Sim #" + QByteArray::number(index + 1).rightJustified(5, '0') + ' ';
    switch (index % 5) {
    case 0:
        server.HostName += "| Public " + QByteArray(game.description);
        break;
    case 1:
        server.HostName += "[24/7 " + server.MapName + ']';
        break;
    case 2:
        server.HostName += "Caf\xE9 LAN party";
        break;
    case 3:
        server.HostName += "-=Clan War=- Practice";
        break;
    default:
        server.HostName += "Newbies welcome";
        break;
    }

    int count = int(random.between(options.MinPlayers, options.MaxPlayers));
    const bool wellKnown = options.Names.isEmpty() && index % WellKnownPeriod == WellKnownOffset;
    if (wellKnown)
        count = std::max(count, 1);
    server.MaxPlayers = quint8(std::min(255, std::max(count, int(random.between(1, 4)) * 8)));
    for (int i = 0; i < count; ++i) {
        SimPlayer player;
        if (options.Names.isEmpty())
            player.Name = makeName(random);
        else
            player.Name = options.Names[random.between(0, options.Names.size() - 1)];
        player.Frags = qint32(random.between(-20, 80));
        // Most stay under an hour; a few never leave (hundreds of hours).
        const double roll = random.unit();
        if (roll < 0.8)
            player.Time = float(random.between(0, 3599)) + float(random.unit());
        else if (roll < 0.97)
            player.Time = float(random.between(3600, 86399)) + float(random.unit());
        else
            player.Time = float(random.between(360000, 1000000));
        server.Players.append(player);
    }
    if (wellKnown)
        server.Players[random.between(0, count - 1)].Name = WellKnownName;

    // Always three draws, whatever the options, so latency and silence never reshuffle the rules.
    const quint64 latencyRoll = random.next();
    const double silentRoll = random.unit();
    const double cutOffRoll = random.unit();
    const int latencySpan = std::max(0, options.MaxLatencyMs - options.MinLatencyMs) + 1;
    server.LatencyMs = options.MinLatencyMs + int(latencyRoll % quint64(latencySpan));
    server.Silent = silentRoll < options.SilentShare;
    server.CutOff = !server.Silent && cutOffRoll < options.CutOffShare;
    server.Rules = makeRules(server, random);
    addSteamSide(server, options);
    return server;
}

QList<SimServer> MakePopulation(const PopulationOptions &options)
{
    QList<SimServer> servers;
    servers.reserve(options.Servers);
    for (int i = 0; i < options.Servers; ++i)
        servers.append(MakeServer(options, i));
    return servers;
}

} // namespace rollcall::hlsim
