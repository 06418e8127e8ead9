#include "settings/MemorySettingsBackend.h"
#include "settings/SettingsStore.h"

#include <QTest>
#include <optional>

using namespace rollcall::settings;

namespace {

const QString Preset = QStringLiteral("localhost:27010");
const QChar Nul(u'\0');

const QStringList ValueNames = { QStringLiteral("EnableSearch[2]"), QStringLiteral("UseWildcards[1]"),
    QStringLiteral("UseWildcards[2]"), QStringLiteral("PlayerName[1]"), QStringLiteral("PlayerName[2]"),
    QStringLiteral("MaxConnections"), QStringLiteral("QueryTimeout"), QStringLiteral("MasterServer"),
    QStringLiteral("EnableMaxServers"), QStringLiteral("MaxServerAmount"), QStringLiteral("GameFilter"),
    QStringLiteral("MapFilter"), QStringLiteral("ExecutablePath"), QStringLiteral("Protocol"),
    QStringLiteral("SteamRegion"), QStringLiteral("SteamMasterServer"), QStringLiteral("WebApiUrl"),
    QStringLiteral("ServerListFile"), QStringLiteral("ListFileQueries"), QStringLiteral("JoinThroughSteam") };

// The thirteen fields and the later ones as the texts a save writes, in the order of ValueNames.
QStringList fields(const SettingsValues &v)
{
    const auto flag = [](bool checked) { return checked ? QStringLiteral("1") : QStringLiteral("0"); };
    return { flag(v.EnableSearch2), flag(v.UseWildcards1), flag(v.UseWildcards2), v.PlayerName1,
        v.PlayerName2, v.MaxConnections, v.QueryTimeout, v.MasterServer, flag(v.EnableMaxServers),
        v.MaxServerAmount, v.GameFilter, v.MapFilter, v.ExecutablePath, v.Protocol, v.SteamRegion,
        v.SteamMasterServer, v.WebApiUrl, v.ServerListFile, v.ListFileQueries, v.JoinThroughSteam };
}

// How a row stores its value: as text, or as something that is not text.
enum class Stored { Text, NotText };

} // namespace

Q_DECLARE_METATYPE(Stored)

class tst_SettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseNumber_data();
    void parseNumber();
    void firstStartLoadsDefaultsInOrder();
    void loadOneValue_data();
    void loadOneValue();
    void saveWritesThirteenInOrderUnvalidated();
};

void tst_SettingsStore::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint32>>("expected");

    using N = std::optional<qint32>;
    QTest::newRow("plain") << QStringLiteral("42") << N(42);
    QTest::newRow("empty") << QString() << N(0);
    QTest::newRow("blanksAndSign") << QStringLiteral("\t -7") << N(-7);
    QTest::newRow("plusSign") << QStringLiteral("+5") << N(5);
    QTest::newRow("stopAtLetter") << QStringLiteral("12abc") << N(12);
    QTest::newRow("noHex") << QStringLiteral("0x10") << N(0);
    QTest::newRow("nonAsciiDigit") << QStringLiteral(u"\u0663") << N(0);
    QTest::newRow("fractionUp") << QStringLiteral("2.6") << N(3);
    QTest::newRow("tieEvenDown") << QStringLiteral("2.5") << N(2);
    QTest::newRow("tieEvenUp") << QStringLiteral("3.5") << N(4);
    QTest::newRow("aboveTie") << QStringLiteral("2.5000001") << N(3);
    QTest::newRow("negativeTieOdd") << QStringLiteral("-3.5") << N(-4);
    QTest::newRow("noIntegerPart") << QStringLiteral(".51") << N(1);
    QTest::newRow("belowFirstPlace") << QStringLiteral("0.06") << N(0);
    QTest::newRow("exponentSigned") << QStringLiteral("2e+2") << N(200);
    QTest::newRow("exponentNegativeTie") << QStringLiteral("25e-1") << N(2);
    QTest::newRow("exponentUpperWithFraction") << QStringLiteral("1.5E1") << N(15);
    QTest::newRow("exponentWithoutDigits") << QStringLiteral("1e+") << N(1);
    QTest::newRow("exponentHuge") << QStringLiteral("1e999999999999999999999") << N();
    QTest::newRow("exponentHugeNegative") << QStringLiteral("1e-999999999999999999999") << N(0);
    QTest::newRow("zeroTimesHugeExponent") << QStringLiteral("0e999999999") << N(0);
    QTest::newRow("max") << QStringLiteral("2147483647") << N(2147483647);
    QTest::newRow("min") << QStringLiteral("-2147483648") << N(-2147483647 - 1);
    QTest::newRow("aboveMax") << QStringLiteral("2147483648") << N();
    QTest::newRow("belowMin") << QStringLiteral("-2147483649") << N();
    QTest::newRow("maxRoundsOut") << QStringLiteral("2147483647.5") << N();
    QTest::newRow("minTieToEven") << QStringLiteral("-2147483648.5") << N(-2147483647 - 1);
    QTest::newRow("manyDigits") << QString(400, u'9') << N();
    QTest::newRow("manyLeadingZeros") << QString(400, u'0') + QStringLiteral("12") << N(12);
    // A non-zero digit far past the kept ones still breaks the tie.
    QTest::newRow("tieBrokenFarOut") << QStringLiteral("2.5") + QString(400, u'0') + u'1' << N(3);
}

void tst_SettingsStore::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(std::optional<qint32>, expected);
    QCOMPARE(ParseStoredNumber(text), expected);
}

void tst_SettingsStore::firstStartLoadsDefaultsInOrder()
{
    MemorySettingsBackend backend;
    const SettingsValues values = LoadSettings(backend, Preset);
    QCOMPARE(fields(values),
        QStringList({ "0", "0", "0", "", "", "80", "1000", Preset, "0", "5000", "", "",
            "C:\\SIERRA\\Half-Life\\hl.exe", "legacy", "255", "hl1master.steampowered.com:27010",
            DefaultWebApiUrl, "", "legacy", "" }));
    QCOMPARE(backend.queries(), ValueNames);
    QVERIFY(backend.writes().isEmpty());
}

void tst_SettingsStore::loadOneValue_data()
{
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<Stored>("how");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("loaded");

    const auto row
        = [](const char *tag, const char *name, Stored how, const QString &text, const QString &loaded) {
              QTest::newRow(tag) << QString::fromLatin1(name) << how << text << loaded;
          };
    // A flag is checked by a stored number that reads as exactly 1.
    row("flag_two", "UseWildcards[1]", Stored::Text, "2", "0");
    row("flag_roundsToOne", "UseWildcards[2]", Stored::Text, "1.4", "1");
    row("flag_wrapsToOne", "EnableMaxServers", Stored::Text, "4294967297", "0");

    // A number outside its box's range, or no number, gives the default, shown plainly.
    row("conn_notText", "MaxConnections", Stored::NotText, {}, "80");
    row("conn_zero", "MaxConnections", Stored::Text, "0", "80");
    row("conn_min", "MaxConnections", Stored::Text, "1", "1");
    row("conn_max", "MaxConnections", Stored::Text, "99", "99");
    row("conn_aboveMax", "MaxConnections", Stored::Text, "100", "80");
    row("conn_roundsAboveMax", "MaxConnections", Stored::Text, "99.5", "80");
    row("conn_leadingZeros", "MaxConnections", Stored::Text, "007", "7");
    row("conn_wrapsIntoRange", "MaxConnections", Stored::Text, "4294967338", "80");
    row("conn_nulInside", "MaxConnections", Stored::Text, QStringLiteral("9") + Nul + u'9', "9");
    row("timeout_max", "QueryTimeout", Stored::Text, "99999", "99999");
    row("timeout_aboveMax", "QueryTimeout", Stored::Text, "100000", "1000");
    row("amount_max", "MaxServerAmount", Stored::Text, "999999", "999999");
    row("amount_aboveMax", "MaxServerAmount", Stored::Text, "1000000", "5000");

    // Texts are kept as they are, up to the first NUL.
    row("name1_blanksKept", "PlayerName[1]", Stored::Text, " b o ", " b o ");
    row("name2_twoNuls", "PlayerName[2]", Stored::Text, QStringLiteral("ab") + Nul + u'c' + Nul, "ab");
    row("game_notText", "GameFilter", Stored::NotText, {}, {});
    row("master_blankKept", "MasterServer", Stored::Text, " ", " ");
    row("master_notText", "MasterServer", Stored::NotText, {}, Preset);
    row("master_emptyBeforeNul", "MasterServer", Stored::Text, Nul + QStringLiteral("m:1"), Preset);
    row("exe_empty", "ExecutablePath", Stored::Text, QStringLiteral(""), DefaultExecutablePath);
    row("exe_nul", "ExecutablePath", Stored::Text, QStringLiteral("a.exe") + Nul + u'x', "a.exe");

    // The Steam mode's values: anything but a known protocol or a region byte gives the default.
    row("protocol_steam", "Protocol", Stored::Text, "steam", "steam");
    row("protocol_unknown", "Protocol", Stored::Text, "Steam", "legacy");
    row("region_europe", "SteamRegion", Stored::Text, "3", "3");
    row("region_zero", "SteamRegion", Stored::Text, "0", "0");
    row("region_aboveByte", "SteamRegion", Stored::Text, "256", "255");
    row("region_negative", "SteamRegion", Stored::Text, "-1", "255");
    row("steamMaster_empty", "SteamMasterServer", Stored::Text, "", DefaultSteamMaster);
    row("protocol_webapi", "Protocol", Stored::Text, "webapi", "webapi");
    row("protocol_listfile", "Protocol", Stored::Text, "listfile", "listfile");
    row("webApi_blank", "WebApiUrl", Stored::Text, "  ", DefaultWebApiUrl);
    row("webApi_trimmed", "WebApiUrl", Stored::Text, " http://127.0.0.1:8080 ", "http://127.0.0.1:8080");
    row("listQueries_a2s", "ListFileQueries", Stored::Text, "a2s", "a2s");
    row("listQueries_unknown", "ListFileQueries", Stored::Text, "A2S", "legacy");
    row("join_off", "JoinThroughSteam", Stored::Text, "0", "0");
    row("join_unknown", "JoinThroughSteam", Stored::Text, "yes", "");
}

void tst_SettingsStore::loadOneValue()
{
    QFETCH(QString, valueName);
    QFETCH(Stored, how);
    QFETCH(QString, text);
    QFETCH(QString, loaded);

    MemorySettingsBackend backend;
    if (how == Stored::Text)
        backend.setText(valueName, text);
    else
        backend.setNotText(valueName);
    QCOMPARE(fields(LoadSettings(backend, Preset)).at(ValueNames.indexOf(valueName)), loaded);
}

void tst_SettingsStore::saveWritesThirteenInOrderUnvalidated()
{
    // Every field different, so a value written or read under the wrong name shows; two boxes
    // hold what the next start must not take as it is.
    SettingsValues values;
    values.EnableSearch2 = true;
    values.UseWildcards2 = true;
    values.PlayerName1 = QStringLiteral("[A-C]*");
    values.PlayerName2 = QStringLiteral(u"J\u00fcrgen ");
    values.MaxConnections = QStringLiteral("12");
    values.QueryTimeout = QStringLiteral("345");
    values.MasterServer = QString();
    values.EnableMaxServers = true;
    values.MaxServerAmount = QStringLiteral("1000000");
    values.GameFilter = QStringLiteral("valve");
    values.MapFilter = QStringLiteral("crossfire");
    values.ExecutablePath = QStringLiteral("/usr/games/hl");
    values.Protocol = QStringLiteral("steam");
    values.SteamRegion = QStringLiteral("3");
    values.SteamMasterServer = QStringLiteral("hl2master.steampowered.com:27011");
    values.WebApiUrl = QStringLiteral("http://localhost:8080/api");
    values.ServerListFile = QStringLiteral("/home/u/lan party.txt");
    values.ListFileQueries = QStringLiteral("a2s");
    values.JoinThroughSteam = QStringLiteral("1");

    MemorySettingsBackend backend;
    SaveSettings(backend, values);
    QList<std::pair<QString, QString>> expected;
    for (qsizetype i = 0; i < ValueNames.size(); ++i)
        expected.append({ ValueNames.at(i), fields(values).at(i) });
    QCOMPARE(backend.writes(), expected);
    QCOMPARE(backend.completedSaves(), 1);
    QCOMPARE(backend.unbracketedWrites(), 0);

    SettingsValues next = values;
    next.MasterServer = Preset;
    next.MaxServerAmount = QStringLiteral("5000");
    QCOMPARE(LoadSettings(backend, Preset), next);
}

QTEST_APPLESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
