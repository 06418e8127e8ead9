#pragma once

// The Steam Web API's GetServerList as hlsim serves it for its population: as much HTTP/1.1 as a
// client of one GET per connection needs, the key check, and the JSON list for a filter. Pure
// functions; WebApiServer does the sockets.

#include "Population.h"
#include "SteamMaster.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace rollcall::hlsim {

inline constexpr char WebApiPath[] = "/IGameServersService/GetServerList/v1/";
// A request line and a few headers; a client sending more is not one this simulator serves.
inline constexpr qsizetype MaxRequestHead = 8192;
inline constexpr int WebApiDefaultLimit = 100; // the API's own default

struct HttpRequest
{
    QByteArray Method;
    QByteArray Path; // percent-decoded
    std::optional<QByteArray> Key; // query values, decoded as a form's ('+' is a space)
    QByteArray Filter;
    std::optional<QByteArray> Limit;
    std::optional<QByteArray> Format;
};

// The request line of `head` (everything up to the blank line) and its query; nullopt when the
// line is not "METHOD /target HTTP/1.x".
std::optional<HttpRequest> ParseHttpRequest(QByteArrayView head);

struct HttpAnswer
{
    int Status = 200;
    QByteArray Body;
};

// What hlsim's Web API is: its servers, their ports and address, and the key it wants.
struct WebApiPopulation
{
    QList<SimServer> Servers;
    QList<int> Ports; // by server index
    QString Address; // dotted, the servers' own
    QByteArray Key; // empty: any key will do, but one must be sent, as the real API wants
};

// 404 for another path, 405 for another method, 403 for a wrong or missing key, 400 for a limit
// that is not a positive number or a format other than json; else 200 and the list.
HttpAnswer AnswerWebApi(const HttpRequest &request, const WebApiPopulation &population);

// {"response":{"servers":[...]}} for the servers the filter passes, in population order, at most
// `limit`; {"response":{}} when none does, as the real API leaves "servers" out then.
QByteArray WebApiListJson(const WebApiPopulation &population, const SteamFilter &filter, int limit);

// Status line, Content-Type, Content-Length and "Connection: close", then the body.
QByteArray EncodeHttpResponse(const HttpAnswer &answer);

} // namespace rollcall::hlsim
