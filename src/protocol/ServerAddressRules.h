#pragma once

// Which listed addresses can be a game server at all. Whoever supplies a list (a master page
// today, a list file or another master tomorrow) may name any address, and each one costs a
// datagram; every source passes its entries through this one rule before anything is sent.

#include "protocol/MasterProtocol.h"

#include <QStringView>
#include <optional>

namespace rollcall::protocol {

// Canonical dotted decimal only: four parts of one to three digits, each 0-255, no leading
// zero. "010.0.0.1" is refused because some parsers read a leading zero as octal and would aim
// somewhere else than the text says.
std::optional<quint32> ParseDottedIPv4(QStringView text);

// False for port 0 (nothing listens there) and for addresses no single game server can have:
// 0.0.0.0/8 ("this network", which reaches the local host on some systems), multicast
// 224.0.0.0/4, and reserved 240.0.0.0/4 with the broadcast address 255.255.255.255.
// Loopback and private addresses stay usable: LAN masters list them.
bool IsQueryableServer(quint32 ipv4, qint64 port);
bool IsQueryableServer(const ServerEntry &entry);

} // namespace rollcall::protocol
