#include "SteamPrinters.h"
#include "protocol/SteamMasterProtocol.h"

#include <QTest>

using namespace rollcall::protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray Header = hex("FFFFFFFF660A");
const ServerEntry First { QStringLiteral("192.168.0.1"), 27015 }; // C0 A8 00 01 69 87
const ServerEntry Second { QStringLiteral("10.255.0.7"), 1 }; // 0A FF 00 07 00 01
// Two entries and the end marker.
const QByteArray EndedReply = Header + hex("C0A800016987") + hex("0AFF00070001") + hex("000000000000");

} // namespace

class tst_SteamMasterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void region_data();
    void region();
    void regionTableAgreesWithParser();
    void request_data();
    void request();
    void reply_data();
    void reply();
    void appId_data();
    void appId();
    void filters_data();
    void filters();
};

void tst_SteamMasterProtocol::region_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("region"); // -1: refused

    QTest::newRow("name_world") << QStringLiteral("world") << 255;
    QTest::newRow("name_usEast") << QStringLiteral("us-east") << 0;
    QTest::newRow("name_southAmerica") << QStringLiteral("south-america") << 2;
    QTest::newRow("name_africa") << QStringLiteral("africa") << 7;
    QTest::newRow("name_anyCase") << QStringLiteral("Middle-EAST") << 6;
    QTest::newRow("number_zero") << QStringLiteral("0") << 0;
    QTest::newRow("number_unlisted") << QStringLiteral("42") << 42;
    QTest::newRow("number_max") << QStringLiteral("255") << 255;
    QTest::newRow("number_leadingZeros") << QStringLiteral("007") << 7;
    QTest::newRow("bad_256") << QStringLiteral("256") << -1;
    QTest::newRow("bad_fourDigits") << QStringLiteral("0001") << -1;
    QTest::newRow("bad_negative") << QStringLiteral("-1") << -1;
    QTest::newRow("bad_plus") << QStringLiteral("+1") << -1;
    QTest::newRow("bad_hex") << QStringLiteral("0xFF") << -1;
    QTest::newRow("bad_blank") << QStringLiteral(" 3") << -1;
    QTest::newRow("bad_empty") << QString() << -1;
    QTest::newRow("bad_displayName") << QStringLiteral("US East") << -1;
    QTest::newRow("bad_underscore") << QStringLiteral("us_east") << -1;
    QTest::newRow("bad_arabicDigit") << QStringLiteral("\u0663") << -1;
}

void tst_SteamMasterProtocol::region()
{
    QFETCH(QString, text);
    QFETCH(int, region);
    const std::optional<quint8> parsed = ParseSteamRegion(text);
    QCOMPARE(parsed.has_value() ? int(*parsed) : -1, region);
}

// The options page and the command line read one table: every name must lead back to its code.
void tst_SteamMasterProtocol::regionTableAgreesWithParser()
{
    QSet<int> codes;
    for (const SteamRegionName &name : SteamRegionNames) {
        QCOMPARE(ParseSteamRegion(QString::fromLatin1(name.CliName)), std::optional(quint8(name.Region)));
        QVERIFY(qstrlen(name.DisplayName) > 0);
        codes.insert(int(name.Region));
    }
    QCOMPARE(codes.size(), int(SteamRegionNames.size()));
    QCOMPARE(SteamRegionNames.back().Region, SteamRegion::World);
}

void tst_SteamMasterProtocol::request_data()
{
    QTest::addColumn<int>("region");
    QTest::addColumn<ServerEntry>("seed");
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("firstPage") << 255 << FirstSteamSeed() << QByteArray("\\appid\\10\\empty\\1")
                               << hex("31FF") + "0.0.0.0:0" + '\0' + "\\appid\\10\\empty\\1" + '\0';
    QTest::newRow("nextPage") << 3 << First << QByteArray("\\empty\\1")
                              << hex("3103") + "192.168.0.1:27015" + '\0' + "\\empty\\1" + '\0';
    QTest::newRow("emptyFilter") << 0 << First << QByteArray()
                                 << hex("3100") + "192.168.0.1:27015" + '\0' + '\0';
    QTest::newRow("zeroInFilterDropped") << 7 << FirstSteamSeed() << hex("5C6D61705C00785C")
                                         << hex("3107") + "0.0.0.0:0" + '\0' + "\\map\\x\\" + '\0';
}

void tst_SteamMasterProtocol::request()
{
    QFETCH(int, region);
    QFETCH(ServerEntry, seed);
    QFETCH(QByteArray, filter);
    QFETCH(QByteArray, bytes);
    QCOMPARE(BuildSteamMasterRequest(quint8(region), seed, filter), bytes);
}

void tst_SteamMasterProtocol::reply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<SteamMasterReply>("expected");

    using Status = SteamMasterReplyStatus;
    const auto reply = [](Status status, QList<ServerEntry> entries, bool ended) {
        SteamMasterReply r { status, entries, ended, std::nullopt };
        if (!entries.isEmpty())
            r.Last = entries.last();
        return r;
    };

    QTest::newRow("ok_twoEntriesMore")
        << Header + hex("C0A800016987") + hex("0AFF00070001") << reply(Status::Ok, { First, Second }, false);
    QTest::newRow("ok_extremes") << Header + hex("FFFFFFFFFFFF") + hex("000000010000")
                                 << reply(Status::Ok,
                                        { { QStringLiteral("255.255.255.255"), 65535 },
                                            { QStringLiteral("0.0.0.1"), 0 } },
                                        false);
    QTest::newRow("ok_headerOnly") << Header << reply(Status::Ok, {}, false);
    QTest::newRow("end_afterEntries") << EndedReply << reply(Status::Ok, { First, Second }, true);
    QTest::newRow("end_only") << Header + hex("000000000000") << reply(Status::Ok, {}, true);
    QTest::newRow("end_laterEntriesIgnored") << Header + hex("C0A800016987") + hex("000000000000")
            + hex("0AFF00070001") << reply(Status::Ok, { First }, true);
    QTest::newRow("end_partialAfterMarker")
        << Header + hex("000000000000") + hex("0AFF") << reply(Status::Malformed, {}, true);
    // Only the whole 0.0.0.0:0 ends the list; a zero address or a zero port alone is an entry.
    QTest::newRow("notEnd_zeroAddress")
        << Header + hex("000000006987") << reply(Status::Ok, { { QStringLiteral("0.0.0.0"), 27015 } }, false);
    QTest::newRow("notEnd_zeroPort") << Header + hex("0A0000010000")
                                     << reply(Status::Ok, { { QStringLiteral("10.0.0.1"), 0 } }, false);
    for (const char *header :
        { "FFFFFFFF660D", "FFFFFFFF66", "FFFFFFFF670A", "FEFFFFFF660A", "FFFFFFFF460A" }) {
        QTest::addRow("bad_%s", header)
            << hex(header) + hex("C0A800016987") << reply(Status::BadHeader, {}, false);
    }

    // Every cut of the ended reply: in the header a bad header, inside an entry malformed with the
    // whole entries before it, at an entry's end a shorter page; the list ends only with the marker.
    for (qsizetype length = 0; length < EndedReply.size(); ++length) {
        const qsizetype whole = length < 6 ? 0 : (length - 6) / 6;
        const Status status = length < 6 ? Status::BadHeader
            : (length - 6) % 6           ? Status::Malformed
                                         : Status::Ok;
        QTest::addRow("cut_%d", int(length))
            << EndedReply.first(length) << reply(status, QList { First, Second }.first(whole), false);
    }
}

void tst_SteamMasterProtocol::reply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(SteamMasterReply, expected);
    QCOMPARE(ParseSteamMasterReply(datagram), expected);
}

void tst_SteamMasterProtocol::appId_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<int>("appId");

    QTest::newRow("cstrike") << QStringLiteral("cstrike") << 10;
    QTest::newRow("tfc") << QStringLiteral("tfc") << 20;
    QTest::newRow("dod") << QStringLiteral("dod") << 30;
    QTest::newRow("dmc") << QStringLiteral("dmc") << 40;
    QTest::newRow("gearbox") << QStringLiteral("gearbox") << 50;
    QTest::newRow("ricochet") << QStringLiteral("ricochet") << 60;
    QTest::newRow("valve") << QStringLiteral("valve") << 70;
    QTest::newRow("czero") << QStringLiteral("czero") << 80;
    QTest::newRow("anyCase") << QStringLiteral("CStrike") << 10;
    QTest::newRow("mod") << QStringLiteral("ag") << 70;
    QTest::newRow("prefixIsNotTheGame") << QStringLiteral("cstrike_beta") << 70;
    QTest::newRow("empty") << QString() << 70;
}

void tst_SteamMasterProtocol::appId()
{
    QFETCH(QString, game);
    QFETCH(int, appId);
    QCOMPARE(int(SteamAppIdForGame(game)), appId);
}

void tst_SteamMasterProtocol::filters_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<QList<QByteArray>>("filters");

    QTest::newRow("game_andMap") << QStringLiteral("cstrike") << QStringLiteral("de_dust2")
                                 << QList<QByteArray> {
                                        "\\appid\\10\\gamedir\\cstrike\\map\\de_dust2\\empty\\1"
                                    };
    QTest::newRow("game_only") << QStringLiteral("dod") << QString()
                               << QList<QByteArray> { "\\appid\\30\\gamedir\\dod\\empty\\1" };
    QTest::newRow("game_mod") << QStringLiteral("ag") << QString()
                              << QList<QByteArray> { "\\appid\\70\\gamedir\\ag\\empty\\1" };
    QTest::newRow("game_caseKept") << QStringLiteral("CStrike") << QString()
                                   << QList<QByteArray> { "\\appid\\10\\gamedir\\CStrike\\empty\\1" };

    QList<QByteArray> everyGame, everyGameOnMap;
    for (int appId = 10; appId <= 80; appId += 10) {
        everyGame.append("\\appid\\" + QByteArray::number(appId) + "\\empty\\1");
        everyGameOnMap.append("\\appid\\" + QByteArray::number(appId) + "\\map\\crossfire\\empty\\1");
    }
    QTest::newRow("noGame") << QString() << QString() << everyGame;
    QTest::newRow("noGame_map") << QString() << QStringLiteral("crossfire") << everyGameOnMap;

    // The user's text may not add keys of its own, nor end the filter early.
    QTest::newRow("inject_mapKey") << QStringLiteral("tfc") << QStringLiteral("2fort\\appid\\10")
                                   << QList<QByteArray> {
                                          "\\appid\\20\\gamedir\\tfc\\map\\2fortappid10\\empty\\1"
                                      };
    QTest::newRow("inject_gameKeyStillFindsGame") << QStringLiteral(
        "\\cstrike\\") << QString() << QList<QByteArray> { "\\appid\\10\\gamedir\\cstrike\\empty\\1" };
    QTest::newRow("inject_onlyBackslashes") << QStringLiteral("\\\\") << QString() << everyGame;
    QTest::newRow("inject_zero") << QStringLiteral("dmc") << QStringView(u"a\0b", 3).toString()
                                 << QList<QByteArray> { "\\appid\\40\\gamedir\\dmc\\map\\ab\\empty\\1" };
    QTest::newRow("utf8Map") << QStringLiteral("valve") << QStringLiteral("карта")
                             << QList<QByteArray> { "\\appid\\70\\gamedir\\valve\\map\\"
                                    + QStringLiteral("карта").toUtf8() + "\\empty\\1" };
}

void tst_SteamMasterProtocol::filters()
{
    QFETCH(QString, game);
    QFETCH(QString, map);
    QFETCH(QList<QByteArray>, filters);
    QCOMPARE(SteamMasterFilters(game, map), filters);
}

QTEST_APPLESS_MAIN(tst_SteamMasterProtocol)
#include "tst_steammasterprotocol.moc"
