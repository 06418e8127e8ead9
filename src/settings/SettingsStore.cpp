#include "settings/SettingsStore.h"

#include <algorithm>
#include <limits>
#include <string>

namespace rollcall::settings {

namespace {

bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The store's view of a value: a failed read is missing, a value that exists but is not text
// reads as empty text, and text ends at its first NUL.
struct TextSetting
{
    QString text;
    bool missing = true;
};

TextSetting ReadText(SettingsBackend &backend, const QString &name)
{
    const StoredValue stored = backend.query(name);
    TextSetting setting;
    if (!stored.exists)
        return setting;
    setting.missing = false;
    if (stored.isText) {
        const qsizetype nul = stored.text.indexOf(QChar(u'\0'));
        setting.text = nul < 0 ? stored.text : stored.text.left(nul);
    }
    return setting;
}

// Stored text that is not 0 or 1 unchecks the box.
bool LoadFlag(SettingsBackend &backend, const QString &name)
{
    const TextSetting stored = ReadText(backend, name);
    if (stored.missing)
        return false;
    const std::optional<qint32> number = ParseStoredNumber(stored.text);
    return number && *number == 1;
}

// A number the box could not hold falls back to the default, shown as the box would show it.
QString LoadNumber(SettingsBackend &backend, const QString &name, qint32 upperBound, qint32 fallback)
{
    const TextSetting stored = ReadText(backend, name);
    std::optional<qint32> number;
    if (!stored.missing)
        number = ParseStoredNumber(stored.text);
    if (!number || *number < 1 || *number > upperBound)
        number = fallback;
    return QString::number(*number);
}

QString LoadText(SettingsBackend &backend, const QString &name)
{
    return ReadText(backend, name).text;
}

QString FlagText(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

SettingsValues LoadSettings(SettingsBackend &backend, const QString &firstPresetMaster,
    const QString &defaultExecutable, const QString &firstSteamPresetMaster)
{
    SettingsValues values;
    values.EnableSearch2 = LoadFlag(backend, QStringLiteral("EnableSearch[2]"));
    values.UseWildcards1 = LoadFlag(backend, QStringLiteral("UseWildcards[1]"));
    values.UseWildcards2 = LoadFlag(backend, QStringLiteral("UseWildcards[2]"));
    values.PlayerName1 = LoadText(backend, QStringLiteral("PlayerName[1]"));
    values.PlayerName2 = LoadText(backend, QStringLiteral("PlayerName[2]"));
    values.MaxConnections = LoadNumber(backend, QStringLiteral("MaxConnections"), 99, 80);
    values.QueryTimeout = LoadNumber(backend, QStringLiteral("QueryTimeout"), 99999, 1000);
    values.MasterServer = LoadText(backend, QStringLiteral("MasterServer"));
    if (values.MasterServer.isEmpty())
        values.MasterServer = firstPresetMaster;
    values.EnableMaxServers = LoadFlag(backend, QStringLiteral("EnableMaxServers"));
    values.MaxServerAmount = LoadNumber(backend, QStringLiteral("MaxServerAmount"), 999999, 5000);
    values.GameFilter = LoadText(backend, QStringLiteral("GameFilter"));
    values.MapFilter = LoadText(backend, QStringLiteral("MapFilter"));
    values.ExecutablePath = LoadText(backend, QStringLiteral("ExecutablePath"));
    if (values.ExecutablePath.isEmpty())
        values.ExecutablePath = defaultExecutable;

    const QString protocol = LoadText(backend, QStringLiteral("Protocol"));
    for (const char *known : { "steam", "webapi", "listfile" }) {
        if (protocol == QLatin1String(known))
            values.Protocol = protocol;
    }
    const TextSetting region = ReadText(backend, QStringLiteral("SteamRegion"));
    const std::optional<qint32> regionByte = region.missing ? std::nullopt : ParseStoredNumber(region.text);
    if (regionByte && *regionByte >= 0 && *regionByte <= 255)
        values.SteamRegion = QString::number(*regionByte);
    values.SteamMasterServer = LoadText(backend, QStringLiteral("SteamMasterServer"));
    if (values.SteamMasterServer.isEmpty())
        values.SteamMasterServer = firstSteamPresetMaster;
    values.WebApiUrl = LoadText(backend, QStringLiteral("WebApiUrl")).trimmed();
    if (values.WebApiUrl.isEmpty())
        values.WebApiUrl = DefaultWebApiUrl;
    values.ServerListFile = LoadText(backend, QStringLiteral("ServerListFile"));
    if (LoadText(backend, QStringLiteral("ListFileQueries")) == QLatin1String("a2s"))
        values.ListFileQueries = QStringLiteral("a2s");
    const QString join = LoadText(backend, QStringLiteral("JoinThroughSteam"));
    if (join == QLatin1String("0") || join == QLatin1String("1"))
        values.JoinThroughSteam = join;
    return values;
}

void SaveSettings(SettingsBackend &backend, const SettingsValues &values)
{
    backend.beginSave();
    backend.write(QStringLiteral("EnableSearch[2]"), FlagText(values.EnableSearch2));
    backend.write(QStringLiteral("UseWildcards[1]"), FlagText(values.UseWildcards1));
    backend.write(QStringLiteral("UseWildcards[2]"), FlagText(values.UseWildcards2));
    backend.write(QStringLiteral("PlayerName[1]"), values.PlayerName1);
    backend.write(QStringLiteral("PlayerName[2]"), values.PlayerName2);
    backend.write(QStringLiteral("MaxConnections"), values.MaxConnections);
    backend.write(QStringLiteral("QueryTimeout"), values.QueryTimeout);
    backend.write(QStringLiteral("MasterServer"), values.MasterServer);
    backend.write(QStringLiteral("EnableMaxServers"), FlagText(values.EnableMaxServers));
    backend.write(QStringLiteral("MaxServerAmount"), values.MaxServerAmount);
    backend.write(QStringLiteral("GameFilter"), values.GameFilter);
    backend.write(QStringLiteral("MapFilter"), values.MapFilter);
    backend.write(QStringLiteral("ExecutablePath"), values.ExecutablePath);
    backend.write(QStringLiteral("Protocol"), values.Protocol);
    backend.write(QStringLiteral("SteamRegion"), values.SteamRegion);
    backend.write(QStringLiteral("SteamMasterServer"), values.SteamMasterServer);
    backend.write(QStringLiteral("WebApiUrl"), values.WebApiUrl);
    backend.write(QStringLiteral("ServerListFile"), values.ServerListFile);
    backend.write(QStringLiteral("ListFileQueries"), values.ListFileQueries);
    backend.write(QStringLiteral("JoinThroughSteam"), values.JoinThroughSteam);
    backend.endSave();
}

std::optional<qint32> ParseStoredNumber(const QString &text)
{
    const qsizetype length = text.size();
    auto at = [&](qsizetype i) -> char16_t { return i < length ? text[i].unicode() : u'\0'; };

    qsizetype pos = 0;
    while (at(pos) == u' ' || at(pos) == u'\t')
        ++pos;
    bool negative = false;
    if (at(pos) == u'+' || at(pos) == u'-') {
        negative = at(pos) == u'-';
        ++pos;
    }

    // The mantissa as significant digits times a power of ten. Digits past the first few dozen
    // cannot bring a number back into 32 bits; they only count as "something below".
    constexpr size_t KeptDigits = 40;
    std::string digits;
    qint64 exponent = 0;
    bool droppedNonZero = false;
    auto takeDigit = [&](char16_t c, bool fraction) {
        if (digits.empty() && c == u'0') {
            if (fraction)
                --exponent;
            return;
        }
        if (digits.size() < KeptDigits) {
            digits.push_back(char(c));
            if (fraction)
                --exponent;
        } else {
            droppedNonZero = droppedNonZero || c != u'0';
            if (!fraction)
                ++exponent;
        }
    };
    bool sawDigit = false;
    for (; isAsciiDigit(at(pos)); ++pos) {
        sawDigit = true;
        takeDigit(at(pos), false);
    }
    if (at(pos) == u'.') {
        ++pos;
        for (; isAsciiDigit(at(pos)); ++pos) {
            sawDigit = true;
            takeDigit(at(pos), true);
        }
    }
    if (!sawDigit || digits.empty())
        return 0;

    // An exponent counts only when it has digits; "1e" is 1. Its size is capped far beyond
    // anything that could still give a 32-bit number, so no arithmetic here can overflow.
    if (at(pos) == u'e' || at(pos) == u'E') {
        qsizetype exponentPos = pos + 1;
        bool negativeExponent = false;
        if (at(exponentPos) == u'+' || at(exponentPos) == u'-') {
            negativeExponent = at(exponentPos) == u'-';
            ++exponentPos;
        }
        if (isAsciiDigit(at(exponentPos))) {
            qint64 written = 0;
            for (; isAsciiDigit(at(exponentPos)); ++exponentPos)
                written = std::min<qint64>(written * 10 + (at(exponentPos) - u'0'), 1'000'000'000);
            exponent += negativeExponent ? -written : written;
        }
    }

    const qint64 integerDigits = qint64(digits.size()) + exponent;
    if (integerDigits > 10)
        return std::nullopt; // at least 10^10
    qint64 magnitude = 0;
    for (qint64 i = 0; i < integerDigits; ++i)
        magnitude = magnitude * 10 + (size_t(i) < digits.size() ? digits[size_t(i)] - '0' : 0);

    // Round the fraction half to even; a fraction that starts below the first decimal place
    // is under a half.
    if (integerDigits >= 0 && size_t(integerDigits) < digits.size()) {
        const char first = digits[size_t(integerDigits)];
        const bool restNonZero = droppedNonZero
            || std::any_of(digits.begin() + integerDigits + 1, digits.end(), [](char c) { return c != '0'; });
        if (first > '5' || (first == '5' && (restNonZero || magnitude % 2 != 0)))
            ++magnitude;
    }

    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace rollcall::settings
