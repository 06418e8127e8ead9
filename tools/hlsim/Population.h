#pragma once

// The simulated servers: who plays where, how fast each server answers, which ones stay
// silent. Everything follows from the seed and the server's index, so a population can be
// rebuilt byte for byte by a test, a benchmark or a second run, and growing the count keeps
// the servers that were already there.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <cstdint>

namespace rollcall::hlsim {

// SplitMix64: tiny, fast, and its output is fixed by its definition, unlike the standard
// library's distributions, so populations are the same whatever library built the tool.
class Random
{
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    { }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [low, high], both included.
    qint64 between(qint64 low, qint64 high)
    {
        if (high <= low)
            return low;
        return low + qint64(next() % quint64(high - low + 1));
    }

    // Uniform in [0, 1).
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

    bool chance(double probability) { return unit() < probability; }

private:
    quint64 m_state;
};

struct SimPlayer
{
    QByteArray Name; // Latin-1 bytes, never a NUL: what the legacy players reply carries
    // What the A2S players reply carries: UTF-8, and now and then bytes that are not.
    QByteArray SteamName;
    qint32 Frags = 0;
    float Time = 0.0f; // seconds connected
};

// How a server answers A2S_INFO: the Source layout, the old GoldSrc one, or both in turn, as
// servers with query plugins do (the middle empty players reply is one plugin's habit).
enum class InfoLayout : quint8 { Source, GoldSrc, GoldSrcThenSource, GoldSrcEmptyPlayersSource };

// The index byte before each name in an A2S players reply: servers disagree, clients must not care.
enum class PlayerIndexStyle : quint8 { AlwaysZero, FromZero, FromOne };

struct SimServer
{
    int Index = 0;
    QByteArray HostName;
    QByteArray MapName;
    QByteArray GameDirectory;
    QByteArray GameDescription;
    quint8 MaxPlayers = 0;
    QList<SimPlayer> Players;
    QList<QPair<QByteArray, QByteArray>> Rules;
    int LatencyMs = 0;
    bool Silent = false; // answers nothing at all
    bool CutOff = false; // its players reply ends inside the last record

    // What only the Steam side sees.
    quint16 AppId = 70;
    quint8 Region = 0; // 0 to 7, as the Steam master's region bytes
    InfoLayout Layout = InfoLayout::Source;
    quint8 InfoExtraFlags = 0; // the 'I' reply's extra data flags; 0 sends no flag byte
    bool A2sDirect = false; // answers players and rules without asking for a challenge
    bool PiecesOutOfOrder = false; // its split A2S replies leave last piece first
    PlayerIndexStyle IndexStyle = PlayerIndexStyle::FromZero;
};

// --info-layout: one layout for every server, or the mix of the network out there.
enum class InfoLayoutChoice : quint8 { Source, GoldSrc, Both, Hybrid, Mix };

struct PopulationOptions
{
    int Servers = 300;
    quint64 Seed = 1;
    int MinPlayers = 0;
    int MaxPlayers = 16;
    int MinLatencyMs = 0;
    int MaxLatencyMs = 0;
    double SilentShare = 0.0;
    double CutOffShare = 0.0;
    // Names to draw from instead of the built-in mix; the well-known names are then not added.
    // A2S replies send them as they are too, so a file in another encoding gives ill-formed UTF-8.
    QList<QByteArray> Names;
    InfoLayoutChoice Layouts = InfoLayoutChoice::Mix;
    double A2sDirectShare = 0.1;
};

// Names the default population always holds, each on several servers, so a newcomer has
// something to search for: "Gordon" on every server whose index is WellKnownPeriod apart.
inline constexpr const char *WellKnownName = "Gordon";
inline constexpr int WellKnownPeriod = 37;
inline constexpr int WellKnownOffset = 5;

// The app id stock servers report for the game directories the population uses (70 for a mod).
quint16 AppIdFor(QByteArrayView gameDirectory);

SimServer MakeServer(const PopulationOptions &options, int index);
QList<SimServer> MakePopulation(const PopulationOptions &options);

} // namespace rollcall::hlsim
