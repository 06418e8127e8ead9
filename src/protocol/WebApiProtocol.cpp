#include "protocol/WebApiProtocol.h"

#include "protocol/ServerAddressRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

namespace rollcall::protocol {

namespace {

const QString Hidden = QStringLiteral("***");

bool isLoopbackIPv4(QStringView text)
{
    const std::optional<quint32> address = ParseDottedIPv4(text);
    return address && (*address >> 24) == 127;
}

QString percentEncoded(QByteArrayView bytes)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(bytes)));
}

std::optional<ServerEntry> entryOf(const QJsonValue &server)
{
    const QJsonValue address = server.toObject().value(QLatin1String("addr"));
    return address.isString() ? ParseWebApiAddress(address.toString()) : std::nullopt;
}

} // namespace

bool IsLoopbackHost(QStringView host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
        || host.compare(QLatin1String("localhost."), Qt::CaseInsensitive) == 0)
        return true;
    if (host == QLatin1String("::1"))
        return true;
    const QLatin1String mapped("::ffff:");
    if (host.startsWith(mapped, Qt::CaseInsensitive))
        return isLoopbackIPv4(host.sliced(mapped.size()));
    return isLoopbackIPv4(host);
}

WebApiBaseKind ClassifyWebApiBase(const QUrl &base)
{
    if (!base.isValid() || base.host().isEmpty())
        return WebApiBaseKind::Unusable;
    const QString scheme = base.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return WebApiBaseKind::Https;
    if (scheme != QLatin1String("http"))
        return WebApiBaseKind::Unusable;
    return IsLoopbackHost(base.host()) ? WebApiBaseKind::LoopbackHttp : WebApiBaseKind::PlainHttp;
}

QUrl WebApiListUrl(const QUrl &base, const QString &key, QByteArrayView filter, int limit)
{
    QUrl url = base;
    QString path = base.path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QLatin1String(WebApiListPath), QUrl::TolerantMode);
    url.setQuery(QStringLiteral("key=") + QString::fromLatin1(QUrl::toPercentEncoding(key))
            + QStringLiteral("&filter=") + percentEncoded(filter) + QStringLiteral("&limit=")
            + QString::number(limit),
        QUrl::StrictMode);
    url.setFragment(QString());
    return url;
}

std::optional<ServerEntry> ParseWebApiAddress(QStringView text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    const QStringView portText = text.sliced(colon + 1);
    if (portText.isEmpty() || portText.size() > 5)
        return std::nullopt;
    int port = 0;
    for (QChar c : portText) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        port = port * 10 + (c.unicode() - '0');
    }
    const QStringView address = text.first(colon);
    if (port < 1 || port > 65535 || !ParseDottedIPv4(address))
        return std::nullopt;
    return ServerEntry { address.toString(), port };
}

WebApiServerList ParseWebApiServerList(QByteArrayView body)
{
    WebApiServerList list;
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return list;
    const QJsonValue response = document.object().value(QLatin1String("response"));
    if (!response.isObject())
        return list;
    // The API leaves "servers" out altogether when no server matches.
    const QJsonValue servers = response.toObject().value(QLatin1String("servers"));
    if (!servers.isUndefined() && !servers.isArray())
        return list;
    list.Valid = true;
    const QJsonArray array = servers.toArray();
    list.Entries.reserve(array.size());
    for (const QJsonValue &server : array) {
        if (const std::optional<ServerEntry> entry = entryOf(server))
            list.Entries.append(*entry);
        else
            ++list.Dropped;
    }
    return list;
}

QString RedactWebApiText(const QString &text, const QString &key, qsizetype maxLength)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        out += c.category() == QChar::Other_Control ? QLatin1Char(' ') : c;
    // Qt's transfer errors quote the whole URL, query and all.
    static const QRegularExpression keyValue(
        QStringLiteral("(key=)[^&#\\s]*"), QRegularExpression::CaseInsensitiveOption);
    out.replace(keyValue, QStringLiteral("\\1") + Hidden);
    const QString trimmedKey = key.trimmed();
    if (!trimmedKey.isEmpty()) {
        out.replace(trimmedKey, Hidden, Qt::CaseInsensitive);
        out.replace(QString::fromLatin1(QUrl::toPercentEncoding(trimmedKey)), Hidden, Qt::CaseInsensitive);
    }
    if (out.size() > maxLength)
        out = out.left(qMax<qsizetype>(maxLength - 3, 0)) + QStringLiteral("...");
    return out;
}

} // namespace rollcall::protocol
