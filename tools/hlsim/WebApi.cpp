#include "WebApi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace rollcall::hlsim {

namespace {

QByteArray formValue(QByteArray encoded)
{
    encoded.replace('+', ' ');
    return QByteArray::fromPercentEncoding(encoded);
}

void readQuery(QByteArrayView query, HttpRequest *request)
{
    for (const QByteArray &pair : query.toByteArray().split('&')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray name = formValue(pair.left(equals < 0 ? pair.size() : equals));
        const QByteArray value = equals < 0 ? QByteArray() : formValue(pair.mid(equals + 1));
        if (name == "key")
            request->Key = value;
        else if (name == "filter")
            request->Filter = value;
        else if (name == "limit")
            request->Limit = value;
        else if (name == "format")
            request->Format = value;
    }
}

std::optional<int> positive(const QByteArray &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    const bool digits = std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; });
    return ok && digits && value > 0 ? std::optional<int>(value) : std::nullopt;
}

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    default:
        break;
    }
    return "Error";
}

HttpAnswer errorPage(int status)
{
    const QByteArray title = QByteArray::number(status) + ' ' + reasonOf(status);
    return { status,
        "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>" };
}

QJsonObject serverObject(const SimServer &server, const QString &address, int port)
{
    const QString hostPort = address + QLatin1Char(':') + QString::number(port);
    return QJsonObject {
        { QStringLiteral("addr"), hostPort },
        { QStringLiteral("gameport"), port },
        { QStringLiteral("name"), QString::fromLatin1(server.HostName) },
        { QStringLiteral("appid"), server.AppId },
        { QStringLiteral("gamedir"), QString::fromLatin1(server.GameDirectory) },
        { QStringLiteral("version"), QStringLiteral("1.1.2.7/Stdio") },
        { QStringLiteral("product"), QString::fromLatin1(server.GameDirectory) },
        { QStringLiteral("region"), server.Region },
        { QStringLiteral("players"), int(std::min<qsizetype>(server.Players.size(), 255)) },
        { QStringLiteral("max_players"), server.MaxPlayers },
        { QStringLiteral("bots"), 0 },
        { QStringLiteral("map"), QString::fromLatin1(server.MapName) },
        // The same as the A2S info reply says.
        { QStringLiteral("secure"), server.Index % 3 != 0 },
        { QStringLiteral("dedicated"), true },
        { QStringLiteral("os"), QStringLiteral("l") },
    };
}

} // namespace

std::optional<HttpRequest> ParseHttpRequest(QByteArrayView head)
{
    const qsizetype lineEnd = head.indexOf(QByteArrayView("\r\n"));
    const QList<QByteArray> words = head.first(lineEnd < 0 ? head.size() : lineEnd).toByteArray().split(' ');
    if (words.size() != 3 || words[0].isEmpty() || !words[1].startsWith('/')
        || (words[2] != "HTTP/1.1" && words[2] != "HTTP/1.0"))
        return std::nullopt;
    HttpRequest request;
    request.Method = words[0];
    const QByteArray &target = words[1];
    const qsizetype question = target.indexOf('?');
    request.Path = QByteArray::fromPercentEncoding(target.left(question < 0 ? target.size() : question));
    if (question >= 0)
        readQuery(QByteArrayView(target).sliced(question + 1), &request);
    return request;
}

HttpAnswer AnswerWebApi(const HttpRequest &request, const WebApiPopulation &population)
{
    const QByteArray path(WebApiPath);
    if (request.Path != path && request.Path != path.chopped(1))
        return errorPage(404);
    if (request.Method != "GET")
        return errorPage(405);
    const bool keyGood = population.Key.isEmpty() ? request.Key && !request.Key->isEmpty()
                                                  : request.Key && *request.Key == population.Key;
    if (!keyGood)
        return errorPage(403);
    const std::optional<int> limit = request.Limit ? positive(*request.Limit) : WebApiDefaultLimit;
    if (!limit || (request.Format && *request.Format != "json"))
        return errorPage(400);
    return { 200, WebApiListJson(population, ParseSteamFilter(request.Filter), *limit) };
}

QByteArray WebApiListJson(const WebApiPopulation &population, const SteamFilter &filter, int limit)
{
    QJsonArray servers;
    for (const SimServer &server : population.Servers) {
        if (servers.size() >= limit)
            break;
        if (filter.accepts(server))
            servers.append(serverObject(server, population.Address, population.Ports.value(server.Index)));
    }
    QJsonObject response;
    if (!servers.isEmpty())
        response.insert(QStringLiteral("servers"), servers);
    return QJsonDocument(QJsonObject { { QStringLiteral("response"), response } })
        .toJson(QJsonDocument::Compact);
}

QByteArray EncodeHttpResponse(const HttpAnswer &answer)
{
    const QByteArray type = answer.Status == 200 ? "application/json; charset=UTF-8" : "text/html";
    return "HTTP/1.1 " + QByteArray::number(answer.Status) + ' ' + reasonOf(answer.Status)
        + "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(answer.Body.size())
        + "\r\nConnection: close\r\n\r\n" + answer.Body;
}

} // namespace rollcall::hlsim
