#pragma once

// The Steam Web API's server list (IGameServersService/GetServerList): the request URL, which
// bases may be asked at all, the JSON answer, and keeping the key out of every text. Pure
// functions; the HTTP exchange itself is search::WebApiClient's.

#include "protocol/MasterProtocol.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace rollcall::protocol {

inline constexpr char DefaultWebApiBase[] = "https://api.steampowered.com";
// Appended after whatever path the base has, so a base can point into a proxy's tree.
inline constexpr char WebApiListPath[] = "/IGameServersService/GetServerList/v1/";

enum class WebApiBaseKind {
    Https,
    LoopbackHttp, // plain http:// to this machine: a simulator or a test, nothing on the wire
    PlainHttp, // plain http:// anywhere else: the key would cross the network readable
    Unusable, // not http(s), or no host
};

// 127.0.0.0/8, ::1 (also as ::ffff:127.x.y.z) and the name localhost. Only literal addresses and
// that one name count: any other name could resolve anywhere.
bool IsLoopbackHost(QStringView host);
WebApiBaseKind ClassifyWebApiBase(const QUrl &base);

// base + its path without trailing slashes + WebApiListPath, with ?key=&filter=&limit=. Every
// value is percent-encoded whole, so a backslash, '+' or '&' in a filter reaches the server as
// itself. The base's own query and fragment are dropped.
QUrl WebApiListUrl(const QUrl &base, const QString &key, QByteArrayView filter, int limit);

// "a.b.c.d:port" in canonical dotted decimal with a port of 1-65535; nullopt for anything else
// (names, IPv6, leading zeros, a missing or out-of-range port).
std::optional<ServerEntry> ParseWebApiAddress(QStringView text);

struct WebApiServerList
{
    bool Valid = false; // {"response":{...}} with "servers" an array or absent (an empty list)
    QList<ServerEntry> Entries; // the "addr" of each server, in order
    int Dropped = 0; // entries without a usable "addr"
};

WebApiServerList ParseWebApiServerList(QByteArrayView body);

// The text with the key taken out: every "key=" value in a URL query and every copy of the key
// itself, as is or percent-encoded, become "***". Control characters go too, and the result is
// cut to `maxLength`: whatever a server or the network library says is only shown, never trusted.
QString RedactWebApiText(const QString &text, const QString &key, qsizetype maxLength = 300);

} // namespace rollcall::protocol
