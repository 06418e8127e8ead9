#include "Output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rollcall::find {

namespace {

const char *const ColumnKeys[search::ResultRow::ColumnCount]
    = { "ip", "port", "ping", "name", "frags", "time" };
const char *const ColumnCaptions[search::ResultRow::ColumnCount]
    = { "Server IP", "Port", "Ping", "Player Name", "Frags", "Time" };

QByteArray line(std::initializer_list<QByteArray> cells)
{
    QByteArray out;
    bool first = true;
    for (const QByteArray &cell : cells) {
        if (!first)
            out += '\t';
        out += cell;
        first = false;
    }
    out += '\n';
    return out;
}

template <typename T> QByteArray tsvNumber(const std::optional<T> &value)
{
    return value ? QByteArray::number(*value) : QByteArray(AbsentTsv);
}

QByteArray tsvText(const std::optional<QByteArray> &value)
{
    return value ? EscapeTsvCell(protocol::Latin1(*value)) : QByteArray(AbsentTsv);
}

template <typename T> QJsonValue jsonNumber(const std::optional<T> &value)
{
    return value ? QJsonValue(int(*value)) : QJsonValue(QJsonValue::Null);
}

// A cell such as "-" that holds no number is null.
QJsonValue jsonCellNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue jsonText(const std::optional<QByteArray> &value)
{
    return value ? QJsonValue(protocol::Latin1(*value)) : QJsonValue(QJsonValue::Null);
}

QByteArray complete(bool value)
{
    return line({ "Complete", value ? "true" : "false" });
}

QString decode(QByteArrayView bytes, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? protocol::Utf8(bytes) : protocol::Latin1(bytes);
}

// Text of an A2S reply: UTF-8.
QByteArray tsvUtf8(const std::optional<QByteArray> &value)
{
    return value ? EscapeTsvCell(protocol::Utf8(*value)) : QByteArray(AbsentTsv);
}

QJsonValue jsonUtf8(const std::optional<QByteArray> &value)
{
    return value ? QJsonValue(protocol::Utf8(*value)) : QJsonValue(QJsonValue::Null);
}

// The A2S fields the legacy info reply lacks, as (key, TSV cell, JSON value); only those sent.
QList<std::tuple<QString, QByteArray, QJsonValue>> a2sExtras(const protocol::A2sInfo &info)
{
    QList<std::tuple<QString, QByteArray, QJsonValue>> extras;
    const auto letter = [&](const char *key, const std::optional<char> &value) {
        if (value)
            extras.append({ QLatin1String(key), EscapeTsvCell(QString(QLatin1Char(*value))),
                QString(QLatin1Char(*value)) });
    };
    const auto flag = [&](const char *key, const std::optional<bool> &value) {
        if (value)
            extras.append({ QLatin1String(key), *value ? "true" : "false", *value });
    };
    if (info.Bots)
        extras.append({ QStringLiteral("Bots"), QByteArray::number(*info.Bots), int(*info.Bots) });
    letter("ServerType", info.ServerType);
    letter("OperatingSystem", info.OperatingSystem);
    flag("Password", info.Password);
    flag("Secure", info.Secure);
    if (info.Version)
        extras.append({ QStringLiteral("Version"), tsvUtf8(info.Version), jsonUtf8(info.Version) });
    return extras;
}

} // namespace

QByteArray EscapeTsvCell(const QString &cell)
{
    QString out;
    out.reserve(cell.size() + 4);
    for (const QChar c : cell) {
        const char16_t code = c.unicode();
        if (code == u'\\')
            out += u"\\\\";
        else if (code == u'\t')
            out += u"\\t";
        else if (code == u'\r')
            out += u"\\r";
        else if (code == u'\n')
            out += u"\\n";
        else if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            out += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
        else if ((code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069))
            out += QStringLiteral("\\u{%1}").arg(uint(code), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out.toUtf8();
}

QByteArray RowsHeaderTsv()
{
    QByteArray out;
    for (int i = 0; i < search::ResultRow::ColumnCount; ++i) {
        if (i)
            out += '\t';
        out += ColumnCaptions[i];
    }
    out += '\n';
    return out;
}

QByteArray RowTsv(const search::ResultRow &row)
{
    QByteArray out;
    for (int i = 0; i < search::ResultRow::ColumnCount; ++i) {
        if (i)
            out += '\t';
        out += EscapeTsvCell(row.cell(i));
    }
    out += '\n';
    return out;
}

QByteArray RowsJson(const QList<search::ResultRow> &rows)
{
    QJsonArray array;
    for (const search::ResultRow &row : rows) {
        QJsonObject object;
        for (int i = 0; i < search::ResultRow::ColumnCount; ++i) {
            const bool number = i == search::ResultRow::Port || i == search::ResultRow::Ping
                || i == search::ResultRow::Frags;
            object.insert(
                QLatin1StringView(ColumnKeys[i]), number ? jsonCellNumber(row.cell(i)) : row.cell(i));
        }
        object.insert(QStringLiteral("seconds"), jsonNumber(row.Seconds));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

QByteArray InfoText(const protocol::InfoReply &reply, Format format)
{
    if (format == Format::Json) {
        const QJsonObject record {
            { QStringLiteral("HostName"), jsonText(reply.HostName) },
            { QStringLiteral("MapName"), jsonText(reply.MapName) },
            { QStringLiteral("GameDirectory"), jsonText(reply.GameDirectory) },
            { QStringLiteral("GameDescription"), jsonText(reply.GameDescription) },
            { QStringLiteral("PlayerCount"), jsonNumber(reply.PlayerCount) },
            { QStringLiteral("MaxPlayers"), jsonNumber(reply.MaxPlayers) },
            { QStringLiteral("ProtocolVersion"), jsonNumber(reply.ProtocolVersion) },
        };
        return QJsonDocument(QJsonObject { { QStringLiteral("InfoReply"), record } })
            .toJson(QJsonDocument::Indented);
    }
    return line({ "Field", "Value" }) + line({ "HostName", tsvText(reply.HostName) })
        + line({ "MapName", tsvText(reply.MapName) })
        + line({ "GameDirectory", tsvText(reply.GameDirectory) })
        + line({ "GameDescription", tsvText(reply.GameDescription) })
        + line({ "PlayerCount", tsvNumber(reply.PlayerCount) })
        + line({ "MaxPlayers", tsvNumber(reply.MaxPlayers) })
        + line({ "ProtocolVersion", tsvNumber(reply.ProtocolVersion) });
}

QByteArray InfoText(const protocol::A2sInfo &info, Format format)
{
    const QList<std::tuple<QString, QByteArray, QJsonValue>> extras = a2sExtras(info);
    if (format == Format::Json) {
        QJsonObject record {
            { QStringLiteral("HostName"), jsonUtf8(info.HostName) },
            { QStringLiteral("MapName"), jsonUtf8(info.MapName) },
            { QStringLiteral("GameDirectory"), jsonUtf8(info.GameDirectory) },
            { QStringLiteral("GameDescription"), jsonUtf8(info.GameDescription) },
            { QStringLiteral("PlayerCount"), jsonNumber(info.PlayerCount) },
            { QStringLiteral("MaxPlayers"), jsonNumber(info.MaxPlayers) },
            { QStringLiteral("ProtocolVersion"), jsonNumber(info.ProtocolVersion) },
        };
        for (const auto &[key, cell, value] : extras)
            record.insert(key, value);
        return QJsonDocument(QJsonObject { { QStringLiteral("InfoReply"), record } })
            .toJson(QJsonDocument::Indented);
    }
    QByteArray out = line({ "Field", "Value" }) + line({ "HostName", tsvUtf8(info.HostName) })
        + line({ "MapName", tsvUtf8(info.MapName) }) + line({ "GameDirectory", tsvUtf8(info.GameDirectory) })
        + line({ "GameDescription", tsvUtf8(info.GameDescription) })
        + line({ "PlayerCount", tsvNumber(info.PlayerCount) })
        + line({ "MaxPlayers", tsvNumber(info.MaxPlayers) })
        + line({ "ProtocolVersion", tsvNumber(info.ProtocolVersion) });
    for (const auto &[key, cell, value] : extras)
        out += line({ key.toLatin1(), cell });
    return out;
}

QByteArray RulesText(const protocol::RulesReply &reply, Format format, Encoding encoding)
{
    if (format == Format::Json) {
        QJsonArray rules;
        for (const protocol::ServerRule &rule : reply.Rules) {
            rules.append(QJsonObject { { QStringLiteral("Name"), decode(rule.Name, encoding) },
                { QStringLiteral("Value"), decode(rule.Value, encoding) } });
        }
        const QJsonObject record { { QStringLiteral("Complete"), reply.Complete },
            { QStringLiteral("Rules"), rules } };
        return QJsonDocument(QJsonObject { { QStringLiteral("RulesReply"), record } })
            .toJson(QJsonDocument::Indented);
    }
    QByteArray out = complete(reply.Complete) + line({ "Name", "Value" });
    for (const protocol::ServerRule &rule : reply.Rules)
        out += line(
            { EscapeTsvCell(decode(rule.Name, encoding)), EscapeTsvCell(decode(rule.Value, encoding)) });
    return out;
}

QByteArray PlayersText(const protocol::PlayersReply &reply, Format format, Encoding encoding)
{
    if (format == Format::Json) {
        QJsonArray players;
        for (const protocol::PlayerRecord &player : reply.Players) {
            players.append(QJsonObject { { QStringLiteral("Index"), int(player.Index) },
                { QStringLiteral("Name"), decode(player.Name, encoding) },
                { QStringLiteral("Frags"), player.Frags }, { QStringLiteral("Time"), player.Time },
                { QStringLiteral("TimeText"), protocol::FormatPlayTime(player.Time) } });
        }
        const QJsonObject record { { QStringLiteral("Complete"), reply.Complete },
            { QStringLiteral("Players"), players } };
        return QJsonDocument(QJsonObject { { QStringLiteral("PlayersReply"), record } })
            .toJson(QJsonDocument::Indented);
    }
    QByteArray out = complete(reply.Complete) + line({ "Index", "Name", "Frags", "Time", "TimeText" });
    for (const protocol::PlayerRecord &player : reply.Players) {
        out += line({ QByteArray::number(player.Index), EscapeTsvCell(decode(player.Name, encoding)),
            QByteArray::number(player.Frags), QByteArray::number(player.Time),
            protocol::FormatPlayTime(player.Time).toUtf8() });
    }
    return out;
}

QByteArray LoadProblemNote(const settings::SettingsBackend &backend)
{
    QString reason;
    switch (backend.loadProblem()) {
    case settings::LoadProblem::None:
        return {};
    case settings::LoadProblem::NotARegularFile:
        reason = QStringLiteral("it is not a regular file");
        break;
    case settings::LoadProblem::TooLarge:
        reason
            = QStringLiteral("it is larger than %1 MiB").arg(settings::MaxSettingsFileSize / (1024 * 1024));
        break;
    }
    return "rollcall-find: the saved options in " + EscapeTsvCell(backend.location()) + " were not read ("
        + reason.toUtf8() + "); using the defaults\n";
}

} // namespace rollcall::find
