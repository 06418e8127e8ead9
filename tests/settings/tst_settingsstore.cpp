#include "settings/MemorySettingsBackend.h"
#include "settings/SettingsStore.h"

#include <QTest>
#include <optional>

using namespace rollcall::settings;

namespace {

const QString Preset = QStringLiteral("localhost:27010");

const QStringList ValueNames = {
    QStringLiteral("EnableSearch[2]"),
    QStringLiteral("UseWildcards[1]"),
    QStringLiteral("UseWildcards[2]"),
    QStringLiteral("PlayerName[1]"),
    QStringLiteral("PlayerName[2]"),
    QStringLiteral("MaxConnections"),
    QStringLiteral("QueryTimeout"),
    QStringLiteral("MasterServer"),
    QStringLiteral("EnableMaxServers"),
    QStringLiteral("MaxServerAmount"),
    QStringLiteral("GameFilter"),
    QStringLiteral("MapFilter"),
    QStringLiteral("ExecutablePath"),
};

// How a row stores its value: as text, not at all, or as something that is not text.
enum class Stored { Text, Missing, NotText };

MemorySettingsBackend backendWith(const QString &valueName, Stored how, const QString &text)
{
    MemorySettingsBackend backend;
    if (how == Stored::Text)
        backend.setText(valueName, text);
    else if (how == Stored::NotText)
        backend.setNotText(valueName);
    return backend;
}

// The loaded field that belongs to a value name, as text.
QString field(const SettingsValues &values, const QString &valueName)
{
    auto flag = [](bool checked) { return checked ? QStringLiteral("1") : QStringLiteral("0"); };
    const QList<QString> fields = {
        flag(values.EnableSearch2),
        flag(values.UseWildcards1),
        flag(values.UseWildcards2),
        values.PlayerName1,
        values.PlayerName2,
        values.MaxConnections,
        values.QueryTimeout,
        values.MasterServer,
        flag(values.EnableMaxServers),
        values.MaxServerAmount,
        values.GameFilter,
        values.MapFilter,
        values.ExecutablePath,
    };
    return fields.at(ValueNames.indexOf(valueName));
}

} // namespace

Q_DECLARE_METATYPE(Stored)

class tst_SettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseNumber_data();
    void parseNumber();
    void firstStartLoadsDefaultsInOrder();
    void loadFlag_data();
    void loadFlag();
    void loadNumber_data();
    void loadNumber();
    void loadText_data();
    void loadText();
    void eachValueFeedsItsOwnField();
    void saveWritesAllThirteenInOrder();
    void saveWritesBoxesUnvalidated();
    void saveThenLoadGivesTheSameValues();
    void trimAtNul_data();
    void trimAtNul();
};

void tst_SettingsStore::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint32>>("expected");

    using N = std::optional<qint32>;
    QTest::newRow("plain") << QStringLiteral("42") << N(42);
    QTest::newRow("plain_leadingZeros") << QStringLiteral("007") << N(7);
    QTest::newRow("plain_zero") << QStringLiteral("0") << N(0);
    QTest::newRow("empty") << QString() << N(0);
    QTest::newRow("blanks_only") << QStringLiteral("   ") << N(0);
    QTest::newRow("blanks_spaces") << QStringLiteral("  7") << N(7);
    QTest::newRow("blanks_tab") << QStringLiteral("\t 7") << N(7);
    QTest::newRow("blanks_trailing") << QStringLiteral("7  ") << N(7);
    QTest::newRow("blanks_insideStops") << QStringLiteral("1 2") << N(1);
    QTest::newRow("sign_minus") << QStringLiteral("-1") << N(-1);
    QTest::newRow("sign_plus") << QStringLiteral("+5") << N(5);
    QTest::newRow("sign_alone") << QStringLiteral("-") << N(0);
    QTest::newRow("sign_minusZero") << QStringLiteral("-0") << N(0);
    QTest::newRow("sign_twice") << QStringLiteral("--5") << N(0);
    QTest::newRow("sign_afterBlanks") << QStringLiteral("  -3") << N(-3);
    QTest::newRow("stop_letters") << QStringLiteral("12abc") << N(12);
    QTest::newRow("stop_hex") << QStringLiteral("0x10") << N(0);
    QTest::newRow("stop_comma") << QStringLiteral("1,500") << N(1);
    QTest::newRow("stop_letterFirst") << QStringLiteral("abc") << N(0);
    QTest::newRow("stop_nonAsciiDigit") << QStringLiteral(u"\u0663") << N(0);
    QTest::newRow("fraction_down") << QStringLiteral("2.4") << N(2);
    QTest::newRow("fraction_up") << QStringLiteral("2.6") << N(3);
    QTest::newRow("fraction_tieEvenDown") << QStringLiteral("2.5") << N(2);
    QTest::newRow("fraction_tieEvenUp") << QStringLiteral("3.5") << N(4);
    QTest::newRow("fraction_tieZero") << QStringLiteral("0.5") << N(0);
    QTest::newRow("fraction_tieOne") << QStringLiteral("1.5") << N(2);
    QTest::newRow("fraction_aboveTie") << QStringLiteral("2.5000001") << N(3);
    QTest::newRow("fraction_negativeTie") << QStringLiteral("-2.5") << N(-2);
    QTest::newRow("fraction_negativeTieOdd") << QStringLiteral("-3.5") << N(-4);
    QTest::newRow("fraction_noInteger") << QStringLiteral(".5") << N(0);
    QTest::newRow("fraction_noIntegerUp") << QStringLiteral(".51") << N(1);
    QTest::newRow("fraction_smallLeadingZeros") << QStringLiteral("0.05") << N(0);
    QTest::newRow("fraction_pointAlone") << QStringLiteral(".") << N(0);
    QTest::newRow("fraction_trailingPoint") << QStringLiteral("5.") << N(5);
    QTest::newRow("fraction_secondPointStops") << QStringLiteral("1.2.9") << N(1);
    QTest::newRow("exponent_plain") << QStringLiteral("1e3") << N(1000);
    QTest::newRow("exponent_upper") << QStringLiteral("2E2") << N(200);
    QTest::newRow("exponent_plusSign") << QStringLiteral("1e+2") << N(100);
    QTest::newRow("exponent_negative") << QStringLiteral("25e-1") << N(2);
    QTest::newRow("exponent_negativeUp") << QStringLiteral("35e-1") << N(4);
    QTest::newRow("exponent_withFraction") << QStringLiteral("1.5e1") << N(15);
    QTest::newRow("exponent_withoutDigits") << QStringLiteral("1e") << N(1);
    QTest::newRow("exponent_signWithoutDigits") << QStringLiteral("1e+") << N(1);
    QTest::newRow("exponent_withoutMantissa") << QStringLiteral("e5") << N(0);
    QTest::newRow("exponent_huge") << QStringLiteral("1e999999999999999999999") << N();
    QTest::newRow("exponent_hugeNegative") << QStringLiteral("1e-999999999999999999999") << N(0);
    QTest::newRow("exponent_zeroMantissaHuge") << QStringLiteral("0e999999999") << N(0);
    QTest::newRow("range_max") << QStringLiteral("2147483647") << N(2147483647);
    QTest::newRow("range_min") << QStringLiteral("-2147483648") << N(-2147483647 - 1);
    QTest::newRow("range_aboveMax") << QStringLiteral("2147483648") << N();
    QTest::newRow("range_belowMin") << QStringLiteral("-2147483649") << N();
    QTest::newRow("range_maxPlusTieToEven") << QStringLiteral("2147483647.5") << N();
    QTest::newRow("range_maxPlusBelowTie") << QStringLiteral("2147483647.4") << N(2147483647);
    QTest::newRow("range_minTieToEven") << QStringLiteral("-2147483648.5") << N(-2147483647 - 1);
    QTest::newRow("range_tenDigits") << QStringLiteral("9999999999") << N();
    QTest::newRow("range_manyDigits") << QString(400, u'9') << N();
    QTest::newRow("range_manyLeadingZeros") << QString(400, u'0') + QStringLiteral("12") << N(12);
    QTest::newRow("range_manyFractionDigits") << QStringLiteral("2.") + QString(400, u'0') + u'1' << N(2);
    QTest::newRow("range_manyDigitsTiny") << QStringLiteral("0.") + QString(400, u'9') << N(1);
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

    QCOMPARE(values.EnableSearch2, false);
    QCOMPARE(values.UseWildcards1, false);
    QCOMPARE(values.UseWildcards2, false);
    QCOMPARE(values.PlayerName1, QString());
    QCOMPARE(values.PlayerName2, QString());
    QCOMPARE(values.MaxConnections, QStringLiteral("80"));
    QCOMPARE(values.QueryTimeout, QStringLiteral("1000"));
    QCOMPARE(values.MasterServer, Preset);
    QCOMPARE(values.EnableMaxServers, false);
    QCOMPARE(values.MaxServerAmount, QStringLiteral("5000"));
    QCOMPARE(values.GameFilter, QString());
    QCOMPARE(values.MapFilter, QString());
    QCOMPARE(values.ExecutablePath, QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe"));
    QCOMPARE(backend.queries(), ValueNames);
    QVERIFY(backend.writes().isEmpty());
}

void tst_SettingsStore::loadFlag_data()
{
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<Stored>("how");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checked");

    const QString slot2 = QStringLiteral("EnableSearch[2]");
    QTest::newRow("one") << slot2 << Stored::Text << QStringLiteral("1") << true;
    QTest::newRow("zero") << slot2 << Stored::Text << QStringLiteral("0") << false;
    QTest::newRow("two") << slot2 << Stored::Text << QStringLiteral("2") << false;
    QTest::newRow("minusOne") << slot2 << Stored::Text << QStringLiteral("-1") << false;
    QTest::newRow("empty") << slot2 << Stored::Text << QString() << false;
    QTest::newRow("missing") << slot2 << Stored::Missing << QString() << false;
    QTest::newRow("notText") << slot2 << Stored::NotText << QString() << false;
    QTest::newRow("blanksThenOne") << slot2 << Stored::Text << QStringLiteral("  1") << true;
    QTest::newRow("oneThenLetters") << slot2 << Stored::Text << QStringLiteral("1abc") << true;
    QTest::newRow("roundsToOne") << slot2 << Stored::Text << QStringLiteral("1.4") << true;
    QTest::newRow("roundsToTwo") << slot2 << Stored::Text << QStringLiteral("1.5") << false;
    QTest::newRow("tieToZero") << slot2 << Stored::Text << QStringLiteral("0.5") << false;
    QTest::newRow("outOfRange") << slot2 << Stored::Text << QStringLiteral("4294967297") << false;
    QTest::newRow("nulAfterOne") << slot2 << Stored::Text << QStringLiteral("1") + QChar(u'\0') + u'0'
                                 << true;
    QTest::newRow("wildcards1_one") << QStringLiteral("UseWildcards[1]") << Stored::Text
                                    << QStringLiteral("1") << true;
    QTest::newRow("wildcards2_one") << QStringLiteral("UseWildcards[2]") << Stored::Text
                                    << QStringLiteral("1") << true;
    QTest::newRow("maxServers_one") << QStringLiteral("EnableMaxServers") << Stored::Text
                                    << QStringLiteral("1") << true;
    QTest::newRow("maxServers_two") << QStringLiteral("EnableMaxServers") << Stored::Text
                                    << QStringLiteral("2") << false;
}

void tst_SettingsStore::loadFlag()
{
    QFETCH(QString, valueName);
    QFETCH(Stored, how);
    QFETCH(QString, text);
    QFETCH(bool, checked);

    MemorySettingsBackend backend = backendWith(valueName, how, text);
    QCOMPARE(
        field(LoadSettings(backend, Preset), valueName), checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void tst_SettingsStore::loadNumber_data()
{
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<Stored>("how");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    const QString conn = QStringLiteral("MaxConnections");
    QTest::newRow("conn_missing") << conn << Stored::Missing << QString() << QStringLiteral("80");
    QTest::newRow("conn_notText") << conn << Stored::NotText << QString() << QStringLiteral("80");
    QTest::newRow("conn_zero") << conn << Stored::Text << QStringLiteral("0") << QStringLiteral("80");
    QTest::newRow("conn_empty") << conn << Stored::Text << QString() << QStringLiteral("80");
    QTest::newRow("conn_aboveMax") << conn << Stored::Text << QStringLiteral("100") << QStringLiteral("80");
    QTest::newRow("conn_max") << conn << Stored::Text << QStringLiteral("99") << QStringLiteral("99");
    QTest::newRow("conn_min") << conn << Stored::Text << QStringLiteral("1") << QStringLiteral("1");
    QTest::newRow("conn_negative") << conn << Stored::Text << QStringLiteral("-5") << QStringLiteral("80");
    QTest::newRow("conn_leadingZeros")
        << conn << Stored::Text << QStringLiteral("007") << QStringLiteral("7");
    QTest::newRow("conn_blanks") << conn << Stored::Text << QStringLiteral("  42") << QStringLiteral("42");
    QTest::newRow("conn_letters") << conn << Stored::Text << QStringLiteral("12abc") << QStringLiteral("12");
    QTest::newRow("conn_roundsIntoRange")
        << conn << Stored::Text << QStringLiteral("98.5") << QStringLiteral("98");
    QTest::newRow("conn_roundsAboveMax")
        << conn << Stored::Text << QStringLiteral("99.5") << QStringLiteral("80");
    QTest::newRow("conn_roundsToZero")
        << conn << Stored::Text << QStringLiteral("0.5") << QStringLiteral("80");
    QTest::newRow("conn_exponent") << conn << Stored::Text << QStringLiteral("5e1") << QStringLiteral("50");
    QTest::newRow("conn_outOfInt32") << conn << Stored::Text << QStringLiteral("4294967376")
                                     << QStringLiteral("80");
    QTest::newRow("conn_nulInside") << conn << Stored::Text << QStringLiteral("9") + QChar(u'\0') + u'9'
                                    << QStringLiteral("9");

    const QString timeout = QStringLiteral("QueryTimeout");
    QTest::newRow("timeout_missing") << timeout << Stored::Missing << QString() << QStringLiteral("1000");
    QTest::newRow("timeout_max") << timeout << Stored::Text << QStringLiteral("99999")
                                 << QStringLiteral("99999");
    QTest::newRow("timeout_aboveMax")
        << timeout << Stored::Text << QStringLiteral("100000") << QStringLiteral("1000");
    QTest::newRow("timeout_min") << timeout << Stored::Text << QStringLiteral("1") << QStringLiteral("1");
    QTest::newRow("timeout_zero") << timeout << Stored::Text << QStringLiteral("0") << QStringLiteral("1000");

    const QString amount = QStringLiteral("MaxServerAmount");
    QTest::newRow("amount_missing") << amount << Stored::Missing << QString() << QStringLiteral("5000");
    QTest::newRow("amount_max") << amount << Stored::Text << QStringLiteral("999999")
                                << QStringLiteral("999999");
    QTest::newRow("amount_aboveMax") << amount << Stored::Text << QStringLiteral("1000000")
                                     << QStringLiteral("5000");
    QTest::newRow("amount_zero") << amount << Stored::Text << QStringLiteral("0") << QStringLiteral("5000");
    QTest::newRow("amount_int32Max") << amount << Stored::Text << QStringLiteral("2147483647")
                                     << QStringLiteral("5000");
}

void tst_SettingsStore::loadNumber()
{
    QFETCH(QString, valueName);
    QFETCH(Stored, how);
    QFETCH(QString, text);
    QFETCH(QString, shown);

    MemorySettingsBackend backend = backendWith(valueName, how, text);
    QCOMPARE(field(LoadSettings(backend, Preset), valueName), shown);
}

void tst_SettingsStore::loadText_data()
{
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<Stored>("how");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("loaded");

    const QString nul = QString(QChar(u'\0'));
    const QString exe = QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe");
    for (const QString &name : { QStringLiteral("PlayerName[1]"), QStringLiteral("PlayerName[2]"),
             QStringLiteral("GameFilter"), QStringLiteral("MapFilter") }) {
        const QByteArray row = name.toLatin1();
        QTest::addRow("%s_text", row.constData())
            << name << Stored::Text << QStringLiteral("bob") << QStringLiteral("bob");
        QTest::addRow("%s_blanksKept", row.constData())
            << name << Stored::Text << QStringLiteral(" b o ") << QStringLiteral(" b o ");
        QTest::addRow("%s_missing", row.constData()) << name << Stored::Missing << QString() << QString();
        QTest::addRow("%s_notText", row.constData()) << name << Stored::NotText << QString() << QString();
        QTest::addRow("%s_nul", row.constData())
            << name << Stored::Text << QStringLiteral("ab") + nul + QStringLiteral("cd")
            << QStringLiteral("ab");
    }
    const QString master = QStringLiteral("MasterServer");
    QTest::newRow("master_text") << master << Stored::Text << QStringLiteral("10.0.0.1:27011")
                                 << QStringLiteral("10.0.0.1:27011");
    QTest::newRow("master_empty") << master << Stored::Text << QString() << Preset;
    QTest::newRow("master_missing") << master << Stored::Missing << QString() << Preset;
    QTest::newRow("master_notText") << master << Stored::NotText << QString() << Preset;
    QTest::newRow("master_nulFirst") << master << Stored::Text << nul + QStringLiteral("m:1") << Preset;
    QTest::newRow("master_blank") << master << Stored::Text << QStringLiteral(" ") << QStringLiteral(" ");
    const QString path = QStringLiteral("ExecutablePath");
    QTest::newRow("exe_text") << path << Stored::Text << QStringLiteral("D:\\hl\\hl.exe")
                              << QStringLiteral("D:\\hl\\hl.exe");
    QTest::newRow("exe_empty") << path << Stored::Text << QString() << exe;
    QTest::newRow("exe_missing") << path << Stored::Missing << QString() << exe;
    QTest::newRow("exe_notText") << path << Stored::NotText << QString() << exe;
    QTest::newRow("exe_nul") << path << Stored::Text << QStringLiteral("a.exe") + nul + u'x'
                             << QStringLiteral("a.exe");
}

void tst_SettingsStore::loadText()
{
    QFETCH(QString, valueName);
    QFETCH(Stored, how);
    QFETCH(QString, text);
    QFETCH(QString, loaded);

    MemorySettingsBackend backend = backendWith(valueName, how, text);
    QCOMPARE(field(LoadSettings(backend, Preset), valueName), loaded);
}

void tst_SettingsStore::eachValueFeedsItsOwnField()
{
    // Thirteen different stored texts: a value read under the wrong name shows up here.
    MemorySettingsBackend backend;
    const QStringList stored = {
        QStringLiteral("1"),
        QStringLiteral("0"),
        QStringLiteral("1"),
        QStringLiteral("alice"),
        QStringLiteral("bob"),
        QStringLiteral("12"),
        QStringLiteral("345"),
        QStringLiteral("m:1"),
        QStringLiteral("1"),
        QStringLiteral("678"),
        QStringLiteral("valve"),
        QStringLiteral("crossfire"),
        QStringLiteral("/usr/games/hl"),
    };
    for (int i = 0; i < ValueNames.size(); ++i)
        backend.setText(ValueNames[i], stored[i]);
    const SettingsValues values = LoadSettings(backend, Preset);
    for (int i = 0; i < ValueNames.size(); ++i)
        QCOMPARE(field(values, ValueNames[i]), stored[i]);
}

void tst_SettingsStore::saveWritesAllThirteenInOrder()
{
    SettingsValues values;
    values.EnableSearch2 = true;
    values.UseWildcards1 = false;
    values.UseWildcards2 = true;
    values.PlayerName1 = QStringLiteral("alice");
    values.PlayerName2 = QStringLiteral("b*b");
    values.MaxConnections = QStringLiteral("12");
    values.QueryTimeout = QStringLiteral("345");
    values.MasterServer = QStringLiteral("m:1");
    values.EnableMaxServers = true;
    values.MaxServerAmount = QStringLiteral("678");
    values.GameFilter = QStringLiteral("valve");
    values.MapFilter = QStringLiteral("crossfire");
    values.ExecutablePath = QStringLiteral("/usr/games/hl");

    MemorySettingsBackend backend;
    SaveSettings(backend, values);

    const QList<std::pair<QString, QString>> expected = {
        { ValueNames[0], QStringLiteral("1") },
        { ValueNames[1], QStringLiteral("0") },
        { ValueNames[2], QStringLiteral("1") },
        { ValueNames[3], QStringLiteral("alice") },
        { ValueNames[4], QStringLiteral("b*b") },
        { ValueNames[5], QStringLiteral("12") },
        { ValueNames[6], QStringLiteral("345") },
        { ValueNames[7], QStringLiteral("m:1") },
        { ValueNames[8], QStringLiteral("1") },
        { ValueNames[9], QStringLiteral("678") },
        { ValueNames[10], QStringLiteral("valve") },
        { ValueNames[11], QStringLiteral("crossfire") },
        { ValueNames[12], QStringLiteral("/usr/games/hl") },
    };
    QCOMPARE(backend.writes(), expected);
    QCOMPARE(backend.completedSaves(), 1);
    QCOMPARE(backend.unbracketedWrites(), 0);
}

void tst_SettingsStore::saveWritesBoxesUnvalidated()
{
    SettingsValues values;
    values.MaxConnections = QString();
    values.QueryTimeout = QStringLiteral("0");
    values.MaxServerAmount = QStringLiteral("1000000");
    values.MasterServer = QString();
    values.ExecutablePath = QString();

    MemorySettingsBackend backend;
    SaveSettings(backend, values);
    QCOMPARE(backend.text(QStringLiteral("MaxConnections")), QString());
    QCOMPARE(backend.text(QStringLiteral("QueryTimeout")), QStringLiteral("0"));
    QCOMPARE(backend.text(QStringLiteral("MaxServerAmount")), QStringLiteral("1000000"));
    QVERIFY(backend.contains(QStringLiteral("MasterServer")));
    QCOMPARE(backend.text(QStringLiteral("MasterServer")), QString());
    QCOMPARE(backend.text(QStringLiteral("ExecutablePath")), QString());
    QCOMPARE(backend.text(QStringLiteral("EnableSearch[2]")), QStringLiteral("0"));

    // The next start falls back where the boxes held nothing usable.
    const SettingsValues loaded = LoadSettings(backend, Preset);
    QCOMPARE(loaded.MaxConnections, QStringLiteral("80"));
    QCOMPARE(loaded.QueryTimeout, QStringLiteral("1000"));
    QCOMPARE(loaded.MaxServerAmount, QStringLiteral("5000"));
    QCOMPARE(loaded.MasterServer, Preset);
    QCOMPARE(loaded.ExecutablePath, DefaultExecutablePath);
}

void tst_SettingsStore::saveThenLoadGivesTheSameValues()
{
    SettingsValues values;
    values.EnableSearch2 = true;
    values.UseWildcards1 = true;
    values.PlayerName1 = QStringLiteral("[A-C]*");
    values.PlayerName2 = QStringLiteral(u"J\u00fcrgen ");
    values.MaxConnections = QStringLiteral("99");
    values.QueryTimeout = QStringLiteral("99999");
    values.MasterServer = QStringLiteral("master:27010");
    values.EnableMaxServers = true;
    values.MaxServerAmount = QStringLiteral("999999");
    values.GameFilter = QStringLiteral("cstrike");
    values.MapFilter = QStringLiteral("de_dust");
    values.ExecutablePath = QStringLiteral("C:\\Games\\hl.exe");

    MemorySettingsBackend backend;
    SaveSettings(backend, values);
    QCOMPARE(LoadSettings(backend, Preset), values);
}

void tst_SettingsStore::trimAtNul_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");

    const QChar nul(u'\0');
    QTest::newRow("none") << QStringLiteral("abc") << QStringLiteral("abc");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("first") << QString(nul) + QStringLiteral("abc") << QString();
    QTest::newRow("middle") << QStringLiteral("ab") + nul + QStringLiteral("c") + nul << QStringLiteral("ab");
    QTest::newRow("last") << QStringLiteral("abc") + nul << QStringLiteral("abc");
}

void tst_SettingsStore::trimAtNul()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);

    QCOMPARE(TrimAtNul(text), trimmed);
}

QTEST_APPLESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
