#include "Options.h"

#include "protocol/MasterProtocol.h"
#include "protocol/SteamMasterProtocol.h"
#include "protocol/WebApiProtocol.h"
#include "search/PlayerMatcher.h"
#include "search/UnicodeMatcher.h"
#include "settings/ApiKey.h"
#include "settings/SettingsStore.h"
#include "ui/WebApiTexts.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QHostInfo>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace rollcall::find {

namespace {

[[noreturn]] void usageError(const QString &message)
{
    std::fprintf(stderr, "rollcall-find: %s\nTry 'rollcall-find --help'.\n", qPrintable(message));
    std::exit(Failed);
}

int parseInt(const QString &option, const QString &text, int low, int high)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high)
        usageError(QStringLiteral("--%1: expected a whole number from %2 to %3, got '%4'")
                       .arg(option)
                       .arg(low)
                       .arg(high)
                       .arg(text));
    return int(value);
}

int storedInt(const QString &text, int fallback, int low, int high)
{
    const std::optional<qint32> value = settings::ParseStoredNumber(text);
    return value ? qBound(low, int(*value), high) : fallback;
}

QByteArray latin1Name(const QString &option, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            usageError(QStringLiteral(
                "--%1 '%2': '%3' is not a Latin-1 character, and server names hold nothing else")
                           .arg(option, text, QString(c)));
    }
    return text.toLatin1();
}

ServerAddress parseServer(const QString &option, const QString &text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        usageError(QStringLiteral("--%1 '%2': give the server as ADDRESS:PORT, e.g. 127.0.0.1:27015")
                       .arg(option, text));
    const int port = parseInt(option, text.mid(colon + 1), 1, 65535);
    const QString host = text.left(colon);
    QHostAddress address;
    if (address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return { address.toString(), port };
    // The query protocol is IPv4 only; a name is looked up once, before anything is sent.
    const QHostInfo info = QHostInfo::fromName(host);
    for (const QHostAddress &candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol)
            return { candidate.toString(), port };
    }
    usageError(QStringLiteral("--%1 '%2': cannot find an IPv4 address for '%3'").arg(option, text, host));
}

// What the saved options say beyond the criteria: each protocol keeps its own master.
struct SavedMasters
{
    QString legacy;
    QString steam;
};

// Defaults from the saved options, read only: a script must never change what the window shows.
search::SearchCriteria savedCriteria(SavedMasters &masters)
{
    const std::unique_ptr<settings::SettingsBackend> backend = settings::CreateDefaultBackend();
    const settings::SettingsValues saved
        = settings::LoadSettings(*backend, QString::fromLatin1(search::MasterPresets[0]));
    std::fputs(LoadProblemNote(*backend).constData(), stderr);
    search::SearchCriteria criteria;
    criteria.Protocol = saved.Protocol == QLatin1String("steam") ? search::ListProtocol::Steam
        : saved.Protocol == QLatin1String("webapi")              ? search::ListProtocol::WebApi
                                                                 : search::ListProtocol::Legacy;
    criteria.WebApiUrl = saved.WebApiUrl;
    criteria.Region = quint8(storedInt(saved.SteamRegion, 255, 0, 255));
    masters.legacy
        = saved.MasterServer.isEmpty() ? QString::fromLatin1(search::MasterPresets[0]) : saved.MasterServer;
    masters.steam = saved.SteamMasterServer.isEmpty() ? QString::fromLatin1(search::SteamMasterPresets[0])
                                                      : saved.SteamMasterServer;
    criteria.MaxConnections = storedInt(saved.MaxConnections, 80, 1, 99);
    criteria.QueryTimeout = storedInt(saved.QueryTimeout, 1000, 1, 99999);
    criteria.EnableMaxServers = saved.EnableMaxServers;
    criteria.MaxServerAmount = storedInt(saved.MaxServerAmount, 5000, 0, 2147483647);
    criteria.GameFilter = saved.GameFilter;
    criteria.MapFilter = saved.MapFilter;
    criteria.ListFileQueries = saved.ListFileQueries == QLatin1String("a2s") ? search::ServerQueries::A2s
                                                                             : search::ServerQueries::Legacy;
    return criteria;
}

struct CommandLine
{
    CommandLine()
    {
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        parser.addOptions({ help, version, name, pattern, game, map, master, maxServers, connections, timeout,
            format, progress, noHeader, info, rules, players, protocol, region, keyFile, webApiUrl,
            serversFile });
    }

    static QCommandLineOption valued(const char *option, const char *valueName)
    {
        return QCommandLineOption(QLatin1String(option), QString(), QLatin1String(valueName));
    }

    QCommandLineParser parser;
    const QCommandLineOption help { { QStringLiteral("h"), QStringLiteral("help") }, QString() };
    const QCommandLineOption version { QStringLiteral("version"), QString() };
    const QCommandLineOption name = valued("name", "TEXT");
    const QCommandLineOption pattern = valued("pattern", "TEXT");
    const QCommandLineOption game = valued("game", "DIR");
    const QCommandLineOption map = valued("map", "NAME");
    const QCommandLineOption master = valued("master", "HOST[:PORT]");
    const QCommandLineOption maxServers = valued("max-servers", "N");
    const QCommandLineOption connections = valued("connections", "N");
    const QCommandLineOption timeout = valued("timeout", "MS");
    const QCommandLineOption format = valued("format", "tsv|json");
    const QCommandLineOption progress { QStringLiteral("progress"), QString() };
    const QCommandLineOption noHeader { QStringLiteral("no-header"), QString() };
    const QCommandLineOption info = valued("info", "ADDRESS:PORT");
    const QCommandLineOption rules = valued("rules", "ADDRESS:PORT");
    const QCommandLineOption players = valued("players", "ADDRESS:PORT");
    const QCommandLineOption protocol = valued("protocol", "legacy|steam|webapi");
    const QCommandLineOption region = valued("region", "NAME|0-255");
    const QCommandLineOption keyFile = valued("key-file", "FILE");
    const QCommandLineOption webApiUrl = valued("webapi-url", "URL");
    const QCommandLineOption serversFile = valued("servers-file", "FILE");
};

void checkOnceEach(const CommandLine &cl)
{
    const QCommandLineParser &parser = cl.parser;
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("unexpected argument '%1' (names go after --name or --pattern)")
                       .arg(parser.positionalArguments().first()));
    for (const QCommandLineOption *single :
        { &cl.game, &cl.map, &cl.master, &cl.maxServers, &cl.connections, &cl.timeout, &cl.format, &cl.info,
            &cl.rules, &cl.players, &cl.protocol, &cl.region, &cl.keyFile, &cl.webApiUrl, &cl.serversFile }) {
        if (parser.values(*single).size() > 1)
            usageError(QStringLiteral("--%1: given more than once").arg(single->names().first()));
    }
}

Format parseFormat(const CommandLine &cl)
{
    if (!cl.parser.isSet(cl.format))
        return Format::Tsv;
    const QString value = cl.parser.value(cl.format);
    if (value == QLatin1String("json"))
        return Format::Json;
    if (value != QLatin1String("tsv"))
        usageError(QStringLiteral("--format: expected tsv or json, got '%1'").arg(value));
    return Format::Tsv;
}

// --info, --rules or --players: false when none is given.
bool parseSingleQuery(const CommandLine &cl, Options &options)
{
    const QList<std::pair<const QCommandLineOption *, protocol::QueryKind>> singles
        = { { &cl.info, protocol::QueryKind::Info }, { &cl.rules, protocol::QueryKind::Rules },
              { &cl.players, protocol::QueryKind::Players } };
    const auto given = std::find_if(
        singles.cbegin(), singles.cend(), [&](const auto &single) { return cl.parser.isSet(*single.first); });
    if (given == singles.cend())
        return false;
    if (std::count_if(singles.cbegin(), singles.cend(),
            [&](const auto &single) { return cl.parser.isSet(*single.first); })
        > 1)
        usageError(QStringLiteral("--info, --rules and --players: ask one of them at a time"));
    for (const QCommandLineOption *searchOnly :
        { &cl.name, &cl.pattern, &cl.game, &cl.map, &cl.master, &cl.maxServers, &cl.connections, &cl.progress,
            &cl.noHeader, &cl.region, &cl.keyFile, &cl.webApiUrl, &cl.serversFile }) {
        if (cl.parser.isSet(*searchOnly))
            usageError(QStringLiteral("--%1: only for a search, not with a single-server query")
                           .arg(searchOnly->names().first()));
    }
    const QString option = given->first->names().first();
    options.action = Options::Action::QueryOne;
    options.queryKind = given->second;
    options.server = parseServer(option, cl.parser.value(*given->first));
    return true;
}

// Slots in the order they were typed: --pattern first makes slot 0 the pattern.
void parseNames(const CommandLine &cl, search::SearchCriteria &criteria)
{
    const QStringList nameValues = cl.parser.values(cl.name);
    const QStringList patternValues = cl.parser.values(cl.pattern);
    if (nameValues.size() + patternValues.size() == 0)
        usageError(QStringLiteral("give a name to look for with --name TEXT or --pattern TEXT"));
    if (nameValues.size() + patternValues.size() > 2)
        usageError(QStringLiteral("at most two names: --name and --pattern together may be given twice"));
    qsizetype nextName = 0;
    qsizetype nextPattern = 0;
    size_t slot = 0;
    for (const QString &option : cl.parser.optionNames()) {
        const bool isPattern = option == QLatin1String("pattern");
        if (!isPattern && option != QLatin1String("name"))
            continue;
        const QString text = isPattern ? patternValues[nextPattern++] : nameValues[nextName++];
        if (text.isEmpty())
            usageError(QStringLiteral("--%1: empty; give a piece of a player's name").arg(option));
        search::NameSlot &target = criteria.Slots[slot++];
        target.EnableSearch = true;
        target.UseWildcards = isPattern;
        // Servers asked with A2S send UTF-8 names, so any text may be looked for; legacy ones Latin-1.
        const bool steam = search::QueriesOf(criteria) == search::ServerQueries::A2s;
        target.PlayerName = steam ? text.toUtf8() : latin1Name(option, text);
        const bool valid = steam ? search::UnicodeWildcardPattern(text).isValid()
                                 : search::isValidWildcardPattern(search::LowerLatin1(target.PlayerName));
        if (isPattern && !valid)
            usageError(
                QStringLiteral("--pattern '%1': not a valid wildcard pattern (a '[' without its ']', or a "
                               "range that runs backwards such as [z-a])")
                    .arg(text));
    }
}

// Where and how to search: what the command line says over the saved defaults.
// A filter longer than one master request holds would leave nothing sendable, whether it was
// typed or saved by the window.
void checkFilterLength(const QString &option, const QString &filter, bool given)
{
    if (filter.size() <= protocol::MaxMasterFilterLength)
        return;
    const QString limit = QStringLiteral("too long (") + QString::number(filter.size())
        + QStringLiteral(" characters); at most ") + QString::number(protocol::MaxMasterFilterLength)
        + QStringLiteral(" fit in a master server request");
    if (given)
        usageError(QStringLiteral("--") + option + QStringLiteral(": ") + limit);
    usageError(QStringLiteral("the saved ") + option + QStringLiteral(" filter is ") + limit
        + QStringLiteral("; give --") + option + QStringLiteral(" to replace it"));
}

void parseSearchOptions(const CommandLine &cl, search::SearchCriteria &criteria)
{
    const QCommandLineParser &parser = cl.parser;
    for (const auto &[option, filter] :
        { std::pair(&cl.game, &criteria.GameFilter), std::pair(&cl.map, &criteria.MapFilter) }) {
        if (parser.isSet(*option)) {
            *filter = parser.value(*option);
            // The Steam master's filters are UTF-8 text.
            if (criteria.Protocol == search::ListProtocol::Legacy)
                latin1Name(option->names().first(), *filter);
        }
        checkFilterLength(option->names().first(), *filter, parser.isSet(*option));
    }
    if (parser.isSet(cl.master)) {
        criteria.MasterServer = parser.value(cl.master);
        if (criteria.MasterServer.trimmed().isEmpty())
            usageError(QStringLiteral("--master: empty; give HOST or HOST:PORT"));
    }
    if (parser.isSet(cl.maxServers)) {
        const int cap = parseInt(QStringLiteral("max-servers"), parser.value(cl.maxServers), 0, 2147483647);
        criteria.EnableMaxServers = cap > 0;
        if (cap > 0)
            criteria.MaxServerAmount = cap;
    }
    if (parser.isSet(cl.connections))
        criteria.MaxConnections
            = parseInt(QStringLiteral("connections"), parser.value(cl.connections), 1, 99);
    if (parser.isSet(cl.region)) {
        if (criteria.Protocol != search::ListProtocol::Steam)
            usageError(
                QStringLiteral("--region: only for --protocol steam; the legacy master has no regions"));
        const QString text = parser.value(cl.region);
        const std::optional<quint8> region = protocol::ParseSteamRegion(text);
        if (!region)
            usageError(
                QStringLiteral("--region: expected world, us-east, us-west, south-america, europe, asia, "
                               "australia, middle-east, africa or a number from 0 to 255, got '%1'")
                    .arg(text));
        criteria.Region = *region;
    }
}

// --servers-file: the file lists the servers, so nothing of a master's applies; --protocol
// only chooses the queries they are asked with.
void parseServersFile(const CommandLine &cl, search::SearchCriteria &criteria)
{
    criteria.Protocol = search::ListProtocol::ListFile;
    criteria.ServerListFile = cl.parser.value(cl.serversFile);
    if (criteria.ServerListFile.isEmpty())
        usageError(QStringLiteral("--servers-file: empty; give a file, or - to read standard input"));
    for (const QCommandLineOption *masterOnly : { &cl.master, &cl.region, &cl.game, &cl.map }) {
        if (cl.parser.isSet(*masterOnly))
            usageError(QStringLiteral("--%1: not with --servers-file, which lists the servers itself")
                           .arg(masterOnly->names().first()));
    }
    // The saved filters are the masters' business: a list file's servers are all asked.
    criteria.GameFilter.clear();
    criteria.MapFilter.clear();
    if (!cl.parser.isSet(cl.protocol))
        return;
    const QString value = cl.parser.value(cl.protocol);
    if (value == QLatin1String("steam"))
        criteria.ListFileQueries = search::ServerQueries::A2s;
    else if (value == QLatin1String("legacy"))
        criteria.ListFileQueries = search::ServerQueries::Legacy;
    else
        usageError(
            QStringLiteral("--protocol: with --servers-file, expected legacy or steam, got '%1'").arg(value));
}

// --protocol over the saved one; the master's default follows the protocol.
void parseProtocol(const CommandLine &cl, search::SearchCriteria &criteria, const SavedMasters &masters)
{
    if (cl.parser.isSet(cl.serversFile)) {
        parseServersFile(cl, criteria);
        return;
    }
    if (cl.parser.isSet(cl.protocol)) {
        const QString value = cl.parser.value(cl.protocol);
        if (value == QLatin1String("steam"))
            criteria.Protocol = search::ListProtocol::Steam;
        else if (value == QLatin1String("legacy"))
            criteria.Protocol = search::ListProtocol::Legacy;
        else if (value == QLatin1String("webapi"))
            criteria.Protocol = search::ListProtocol::WebApi;
        else
            usageError(QStringLiteral("--protocol: expected legacy, steam or webapi, got '%1'").arg(value));
    }
    criteria.MasterServer = criteria.Protocol == search::ListProtocol::Steam ? masters.steam : masters.legacy;
}

// The Web API's base and key. The key is never part of a message: a file is named by its path and
// the variable by its name.
void parseWebApi(const CommandLine &cl, Options &options)
{
    const QCommandLineParser &parser = cl.parser;
    search::SearchCriteria &criteria = options.criteria;
    if (criteria.Protocol != search::ListProtocol::WebApi) {
        for (const QCommandLineOption *webApiOnly : { &cl.keyFile, &cl.webApiUrl }) {
            if (parser.isSet(*webApiOnly))
                usageError(
                    QStringLiteral("--%1: only for --protocol webapi").arg(webApiOnly->names().first()));
        }
        return;
    }
    for (const QCommandLineOption *masterOnly : { &cl.master, &cl.region }) {
        if (parser.isSet(*masterOnly))
            usageError(QStringLiteral("--%1: not for --protocol webapi, which asks the Steam Web API "
                                      "(give --webapi-url URL to ask it elsewhere)")
                           .arg(masterOnly->names().first()));
    }
    if (parser.isSet(cl.webApiUrl))
        criteria.WebApiUrl = parser.value(cl.webApiUrl).trimmed();
    const QUrl base(criteria.WebApiUrl, QUrl::StrictMode);
    const QString shown = base.isValid()
        ? base.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        : QStringLiteral("(not an address)");
    const QString given = parser.isSet(cl.webApiUrl) ? QStringLiteral("--webapi-url")
                                                     : QStringLiteral("the saved Steam Web API address");
    switch (protocol::ClassifyWebApiBase(base)) {
    case protocol::WebApiBaseKind::Https:
    case protocol::WebApiBaseKind::LoopbackHttp:
        break;
    case protocol::WebApiBaseKind::PlainHttp:
        usageError(QStringLiteral("%1 '%2': plain http:// would send the key unencrypted; use https:// "
                                  "(http:// is only for this computer: 127.0.0.0/8, ::1, localhost)")
                       .arg(given, shown));
    case protocol::WebApiBaseKind::Unusable:
        usageError(QStringLiteral("%1 '%2': not an https:// address, such as %3")
                       .arg(given, shown, QLatin1String(protocol::DefaultWebApiBase)));
    }

    std::optional<QString> fileKey;
    if (parser.isSet(cl.keyFile)) {
        const QString path = parser.value(cl.keyFile);
        const settings::KeyFile file = settings::ReadKeyFile(path);
        if (file.problem != settings::KeyFile::Problem::None)
            usageError(QStringLiteral("--key-file: ") + ui::KeyFileProblemText(file, path));
        fileKey = file.key;
    }
    std::optional<QString> environmentKey;
    if (qEnvironmentVariableIsSet(settings::SteamKeyVariable))
        environmentKey = qEnvironmentVariable(settings::SteamKeyVariable);
    const settings::KeyChoice choice = settings::ChooseKey(fileKey, environmentKey);
    if (choice.source == settings::KeySource::Environment && !settings::IsPlausibleKey(choice.key))
        usageError(QStringLiteral("%1 holds more than a key: spaces, line breaks or characters a key "
                                  "does not have")
                       .arg(QLatin1String(settings::SteamKeyVariable)));
    criteria.ApiKey = choice.key;
    options.keyFromKeyring = choice.source == settings::KeySource::Keyring;
}

} // namespace

Options ParseOptions(const QStringList &arguments)
{
    CommandLine cl;
    Options options;
    if (!cl.parser.parse(arguments))
        usageError(cl.parser.errorText());
    if (cl.parser.isSet(cl.help) || cl.parser.isSet(cl.version)) {
        options.action = cl.parser.isSet(cl.help) ? Options::Action::Help : Options::Action::Version;
        return options;
    }
    checkOnceEach(cl);
    options.format = parseFormat(cl);
    options.progress = cl.parser.isSet(cl.progress);
    options.header = !cl.parser.isSet(cl.noHeader);
    if (!options.header && options.format != Format::Tsv)
        usageError(QStringLiteral("--no-header: only for --format tsv"));
    SavedMasters masters;
    options.criteria = savedCriteria(masters);
    parseProtocol(cl, options.criteria, masters);
    if (cl.parser.isSet(cl.timeout))
        options.criteria.QueryTimeout
            = parseInt(QStringLiteral("timeout"), cl.parser.value(cl.timeout), 1, 99999);
    if (parseSingleQuery(cl, options))
        return options;
    parseNames(cl, options.criteria);
    parseWebApi(cl, options);
    parseSearchOptions(cl, options.criteria);
    return options;
}

} // namespace rollcall::find
