#pragma once

// The Steam master's side: its request with a region, a seed and a filter text, pages of
// six-byte entries ending with 0.0.0.0:0, and the per-address limit that makes it fall silent.

#include "Population.h"
#include "Replies.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <deque>
#include <optional>

namespace rollcall::hlsim {

inline constexpr quint8 AllRegions = 255;
// At most this many entries fit the 1400 bytes a client reads (6 + 231 x 6 = 1392).
inline constexpr int SteamPageLimit = 231;

// \appid\N, \gamedir\X, \map\X and \empty\1; other keys are ignored. Directory and map compare
// in any letter case. An app id that is not a number lists nothing.
struct SteamFilter
{
    std::optional<quint32> AppId;
    bool BadAppId = false;
    QByteArray GameDirectory;
    QByteArray MapName;
    bool NotEmpty = false;

    bool accepts(const SimServer &server) const;
};

// The filter text's keys as SteamFilter takes them; the Web API's `filter` reads the same way.
SteamFilter ParseSteamFilter(QByteArrayView text);

struct SteamMasterRequest
{
    quint8 Region = AllRegions;
    MasterEntry Seed; // 0.0.0.0:0 asks for the first page
    QByteArray FilterText; // as sent, the key of the list it selects
    SteamFilter Filter;
};

// False for anything but 31, a region byte, "a.b.c.d:port" 00, a filter text 00.
bool ParseSteamMasterRequest(QByteArrayView datagram, SteamMasterRequest *request);

// FF FF FF FF 66 0A, six bytes per entry (address, port big-endian), then 0.0.0.0:0 when
// `ended`.
QByteArray EncodeSteamMasterPage(const QList<MasterEntry> &entries, bool ended);

// The master's limit per client address: `perMinute` replies in any sixty seconds, and once a
// client asks for more, nothing at all for `silenceNs`, whatever it asks.
class SteamRateLimit
{
public:
    SteamRateLimit(int perMinute, qint64 silenceNs);

    // True when a reply may go to this address now (and counts it); 0 per minute: always.
    bool allow(quint32 clientAddress, qint64 nowNs);

private:
    struct Client
    {
        std::deque<qint64> sent;
        qint64 silentUntil = 0;
    };
    int m_perMinute;
    qint64 m_silenceNs;
    QHash<quint32, Client> m_clients;
};

} // namespace rollcall::hlsim
