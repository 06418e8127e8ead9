#pragma once

// The master server's paged list protocol: request bytes, reply parsing, and the address rules.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace rollcall::protocol {

// A continuation key: four zero bytes ask for the first page and, in a reply, mean "no more".
using MasterKey = QByteArray;
MasterKey FirstMasterKey();
bool IsFinalMasterKey(QByteArrayView key);

// "\gamedir\<game>" if game is not empty, "\map\<map>" if map is not empty, then "\empty\1".
// Characters go out as one Latin-1 byte each.
QByteArray MasterFilterText(const QString &gameFilter, const QString &mapFilter);

// '1', the 4-byte key, the filter text, a zero byte.
QByteArray BuildMasterRequest(QByteArrayView key, QByteArrayView filterText);

// The largest master request we let a user's filters make. A request must travel as one whole
// packet: IP fragments are often dropped on the way (firewalls, NAT boxes), and one lost
// fragment loses the datagram. IPv6 promises every link carries 1280 bytes and IPv4 paths
// through tunnels and PPPoE carry about as much; 1,200 bytes of payload leave room for the IP
// and UDP headers and a tunnel's own, as other UDP protocols (QUIC) settled on for the same reason.
inline constexpr qsizetype MaxMasterRequestSize = 1200;
// The parts of every request but the filter values: '1', the key, the three field names, and
// the zero byte that ends this literal as it ends the request.
inline constexpr qsizetype MasterRequestFixedSize = qsizetype(sizeof("1KEY\\gamedir\\\\map\\\\empty\\1"));
// Each filter gets half of what the fixed parts leave, so both at their longest still fit:
// 586 characters, one byte each.
inline constexpr qsizetype MaxMasterFilterLength = (MaxMasterRequestSize - MasterRequestFixedSize) / 2;

struct ServerEntry
{
    QString Address; // dotted decimal, no leading zeros
    qint32 Port = 0;

    friend bool operator==(const ServerEntry &, const ServerEntry &) = default;
};

enum class MasterReplyStatus {
    Ok,
    BadHeader, // not FF FF FF FF 'f'/'F': nothing else was read
    Malformed, // ends inside the key or inside an entry; complete entries before the break are kept
};

struct MasterReply
{
    MasterReplyStatus Status = MasterReplyStatus::BadHeader;
    MasterKey NextKey; // 4 bytes when Status is Ok
    QList<ServerEntry> Entries;
};

MasterReply ParseMasterReply(QByteArrayView datagram);

struct MasterAddress
{
    QString Host;
    // Wider than a port on purpose: "host:99999" must be told apart from a valid port.
    qint64 Port = 27010;

    friend bool operator==(const MasterAddress &, const MasterAddress &) = default;
};

// Port 27010 unless a colon follows the host with a leading number other than 0.
MasterAddress SplitMasterAddress(const QString &masterServer);

// Hexadecimal digits 0-9 and A-F only (exact case); any other character counts -1 as a digit.
// nullopt when the value leaves the 32-bit signed range.
std::optional<qint32> Hex2Dec(QStringView text);

} // namespace rollcall::protocol
