#include "ProtocolPrinters.h"
#include "protocol/MasterProtocol.h"
#include "protocol/ServerAddressRules.h"

#include <QTest>
#include <limits>

using namespace rollcall::protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Header, one byte the client never looks at, key 01 02 03 04, then two entries.
const QByteArray TwoEntryReply
    = hex("FFFFFFFF660A") + hex("01020304") + hex("C0A800016987") + hex("0A0000056A05");
const ServerEntry First { QStringLiteral("192.168.0.1"), 27015 };
const ServerEntry Second { QStringLiteral("10.0.0.5"), 27141 };

} // namespace

class tst_MasterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void request_data();
    void request();
    void filtersAtTheirLimitFitOneRequest();
    void finalKey();
    void parse_data();
    void parse();
    void splitAddress_data();
    void splitAddress();
    void hex2Dec_data();
    void hex2Dec();
    void serverAddressRule_data();
    void serverAddressRule();
};

void tst_MasterProtocol::request_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<QByteArray>("bytes");

    const auto row = [](const char *tag, const QByteArray &key, const QString &game, const QString &map,
                         const char *sentKey, const QByteArray &filter) {
        QTest::newRow(tag) << key << game << map << QByteArray('1' + hex(sentKey) + filter + '\0');
    };
    row("firstNoFilters", FirstMasterKey(), {}, {}, "00000000", "\\empty\\1");
    row("keyVerbatimGame", hex("FF00FE80"), "cstrike", {}, "FF00FE80", "\\gamedir\\cstrike\\empty\\1");
    row("mapOnly", FirstMasterKey(), {}, "de_dust2", "00000000", "\\map\\de_dust2\\empty\\1");
    row("gameThenMap", FirstMasterKey(), "tfc", "2fort", "00000000", "\\gamedir\\tfc\\map\\2fort\\empty\\1");
    row("latin1OneByte", FirstMasterKey(), QStringLiteral("caf\u00e9"), QStringLiteral("\u00e9t\u00e9"),
        "00000000", "\\gamedir\\caf\xe9\\map\\\xe9t\xe9\\empty\\1");
    // A key of the wrong size must not shift the filter text into the key's place.
    row("shortKeyPadded", hex("0102"), {}, {}, "01020000", "\\empty\\1");
    row("longKeyCut", hex("0102030405"), {}, {}, "01020304", "\\empty\\1");
}

void tst_MasterProtocol::request()
{
    QFETCH(QByteArray, key);
    QFETCH(QString, game);
    QFETCH(QString, map);
    QFETCH(QByteArray, bytes);
    QCOMPARE(BuildMasterRequest(key, MasterFilterText(game, map)), bytes);
}

void tst_MasterProtocol::filtersAtTheirLimitFitOneRequest()
{
    const QString longest(MaxMasterFilterLength, u'x');
    QCOMPARE(BuildMasterRequest(FirstMasterKey(), MasterFilterText(longest, longest)).size(),
        MaxMasterRequestSize);
    QVERIFY(BuildMasterRequest(FirstMasterKey(), MasterFilterText(longest + u'x', longest)).size()
        > MaxMasterRequestSize);
}

void tst_MasterProtocol::finalKey()
{
    QVERIFY(IsFinalMasterKey(hex("00000000")));
    QVERIFY(!IsFinalMasterKey(hex("00000001")));
    QVERIFY(!IsFinalMasterKey(hex("80000000")));
}

void tst_MasterProtocol::parse_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<MasterReplyStatus>("status");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QList<ServerEntry>>("entries");

    const auto Ok = MasterReplyStatus::Ok;
    const auto Bad = MasterReplyStatus::BadHeader;
    using Entries = QList<ServerEntry>;

    for (const char *type : { "66", "46" }) {
        QTest::addRow("workedExample_%s", type) << hex("FFFFFFFF") + hex(type) + hex("0A00000000C0A800016987")
                                                << Ok << hex("00000000") << Entries { First };
    }
    QTest::newRow("byteFiveAnything") << hex("FFFFFFFF66FF00000000") << Ok << hex("00000000") << Entries {};
    QTest::newRow("extremeEntries") << hex("FFFFFFFF660A00000000") + hex("000000000000") + hex("FFFFFFFFFFFF")
                                    << Ok << hex("00000000")
                                    << Entries { { QStringLiteral("0.0.0.0"), 0 },
                                           { QStringLiteral("255.255.255.255"), 65535 } };
    for (const char *header : { "FFFFFFFF67", "FEFFFFFF66", "FFFFFF7F66" }) {
        QTest::addRow("bad_%s", header)
            << hex(header) + hex("0A00000000C0A800016987") << Bad << QByteArray() << Entries {};
    }

    // Every cut of a two-entry page: in the header a bad header, in the key or an entry
    // malformed with the whole entries before the break, at an entry's end a shorter page.
    for (qsizetype length = 0; length <= TwoEntryReply.size(); ++length) {
        const qsizetype whole = length < 10 ? 0 : (length - 10) / 6;
        const auto status = length < 5         ? Bad
            : length < 10 || (length - 10) % 6 ? MasterReplyStatus::Malformed
                                               : Ok;
        QTest::addRow("cut_%d", int(length))
            << TwoEntryReply.first(length) << status << (length < 10 ? QByteArray() : hex("01020304"))
            << Entries { First, Second }.first(whole);
    }
}

void tst_MasterProtocol::parse()
{
    QFETCH(QByteArray, datagram);
    QFETCH(MasterReplyStatus, status);
    QFETCH(QByteArray, key);
    QFETCH(QList<ServerEntry>, entries);

    const MasterReply reply = ParseMasterReply(datagram);
    QCOMPARE(reply.Status, status);
    QCOMPARE(reply.NextKey, key);
    QCOMPARE(reply.Entries, entries);
}

void tst_MasterProtocol::splitAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<qint64>("port");

    QTest::newRow("noColon") << QStringLiteral("10.0.0.5") << QStringLiteral("10.0.0.5") << qint64(27010);
    QTest::newRow("port") << QStringLiteral("10.0.0.5:27011") << QStringLiteral("10.0.0.5") << qint64(27011);
    QTest::newRow("hostKeptAsIs") << QStringLiteral(" 10.0.0.5 :1") << QStringLiteral(" 10.0.0.5 ")
                                  << qint64(1);
    QTest::newRow("zeroIsDefault") << QStringLiteral("h:0") << QStringLiteral("h") << qint64(27010);
    QTest::newRow("noNumberIsDefault") << QStringLiteral("h:abc") << QStringLiteral("h") << qint64(27010);
    QTest::newRow("digitsThenText") << QStringLiteral("h:27011x9") << QStringLiteral("h") << qint64(27011);
    QTest::newRow("leadingBlanks") << QStringLiteral("h:  27011") << QStringLiteral("h") << qint64(27011);
    QTest::newRow("firstColonSplits") << QStringLiteral("h:1:2") << QStringLiteral("h") << qint64(1);
    // Out of range stays visible as such, for the caller to refuse.
    QTest::newRow("aboveMaxPort") << QStringLiteral("h:99999") << QStringLiteral("h") << qint64(99999);
    QTest::newRow("negative") << QStringLiteral("h:-5") << QStringLiteral("h") << qint64(-5);
    QTest::newRow("hugeSaturates") << QStringLiteral("h:999999999999999999999999999999")
                                   << QStringLiteral("h") << qint64(4294967296);
}

void tst_MasterProtocol::splitAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(qint64, port);
    const MasterAddress address = SplitMasterAddress(text);
    QCOMPARE(address.Host, host);
    QCOMPARE(address.Port, port);
}

void tst_MasterProtocol::hex2Dec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint32>>("value");

    using V = std::optional<qint32>;
    QTest::newRow("empty") << QString() << V(0);
    QTest::newRow("6987") << QStringLiteral("6987") << V(27015);
    QTest::newRow("largest") << QStringLiteral("7FFFFFFF") << V(std::numeric_limits<qint32>::max());
    QTest::newRow("manyLeadingZeros") << QString(1000, u'0') + QStringLiteral("FF") << V(255);
    // Anything that is not 0-9 or A-F counts as the digit -1 at its place.
    QTest::newRow("lowerCase") << QStringLiteral("ff") << V(-17);
    QTest::newRow("inside") << QStringLiteral("1G") << V(15);
    QTest::newRow("arabicIndicZero") << QStringLiteral("\u0660") << V(-1);
    QTest::newRow("allEightMinus") << QStringLiteral("GGGGGGGG") << V(-286331153);
    QTest::newRow("overflow_2pow31") << QStringLiteral("80000000") << V();
    QTest::newRow("overflow_ninePlaces") << QStringLiteral("100000000") << V();
    QTest::newRow("overflow_minusNinthPlace") << QStringLiteral("G00000000") << V();
    QTest::newRow("overflow_longText") << QStringLiteral("1") + QString(1000, u'0') << V();
}

void tst_MasterProtocol::hex2Dec()
{
    QFETCH(QString, text);
    QFETCH(std::optional<qint32>, value);
    QCOMPARE(Hex2Dec(text), value);
}

void tst_MasterProtocol::serverAddressRule_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<qint64>("port");
    QTest::addColumn<std::optional<quint32>>("parsed");
    QTest::addColumn<bool>("queryable");

    using A = std::optional<quint32>;
    const auto row = [](const char *tag, const char *address, qint64 port, A parsed, bool queryable) {
        QTest::newRow(tag) << QString::fromLatin1(address) << port << parsed << queryable;
    };
    // What LAN and internet masters list.
    row("ok_loopback", "127.0.0.1", 27015, 0x7F000001, true);
    row("ok_private", "192.168.1.20", 27015, 0xC0A80114, true);
    row("ok_lowestFirstPart", "1.0.0.0", 1, 0x01000000, true);
    row("ok_highestUnicast", "223.255.255.255", 65535, 0xDFFFFFFF, true);
    // Addresses no single game server has; the datagram would reach many hosts or none.
    row("refused_portZero", "127.0.0.1", 0, 0x7F000001, false);
    row("refused_portBeyondRange", "127.0.0.1", 65536, 0x7F000001, false);
    row("refused_thisHost", "0.0.0.0", 27015, 0, false);
    row("refused_thisNetwork", "0.255.0.1", 27015, 0x00FF0001, false);
    row("refused_multicastFirst", "224.0.0.1", 27015, 0xE0000001, false);
    row("refused_multicastLast", "239.255.255.255", 27015, 0xEFFFFFFF, false);
    row("refused_reserved", "240.0.0.1", 27015, 0xF0000001, false);
    row("refused_broadcast", "255.255.255.255", 27015, 0xFFFFFFFF, false);
    // Only canonical dotted decimal is an address here.
    row("text_leadingZeroCouldBeOctal", "010.0.0.1", 27015, A(), false);
    row("text_partBeyond255", "256.0.0.1", 27015, A(), false);
    row("text_fourDigits", "1.2.3.0004", 27015, A(), false);
    row("text_threeParts", "1.2.3", 27015, A(), false);
    row("text_fiveParts", "1.2.3.4.5", 27015, A(), false);
    row("text_trailingDot", "1.2.3.4.", 27015, A(), false);
    row("text_emptyPart", "1..3.4", 27015, A(), false);
    row("text_blank", " 1.2.3.4", 27015, A(), false);
    row("text_sign", "+1.2.3.4", 27015, A(), false);
    row("text_name", "localhost", 27015, A(), false);
    row("text_ipv6", "::1", 27015, A(), false);
    row("text_empty", "", 27015, A(), false);
}

void tst_MasterProtocol::serverAddressRule()
{
    QFETCH(QString, address);
    QFETCH(qint64, port);
    QFETCH(std::optional<quint32>, parsed);
    QFETCH(bool, queryable);

    QCOMPARE(ParseDottedIPv4(address), parsed);
    QCOMPARE(IsQueryableServer(ServerEntry { address, qint32(port) }), queryable);
    if (parsed)
        QCOMPARE(IsQueryableServer(*parsed, port), queryable);
}

QTEST_APPLESS_MAIN(tst_MasterProtocol)
#include "tst_masterprotocol.moc"
