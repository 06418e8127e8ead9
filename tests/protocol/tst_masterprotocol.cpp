#include "MasterProtocol.h"
#include "ProtocolPrinters.h"

#include <QTest>
#include <limits>

using namespace rollcall::protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

ServerEntry entry(const char *address, qint32 port)
{
    return ServerEntry { QString::fromLatin1(address), port };
}

// Header, one byte the client never looks at, key 01 02 03 04, then two entries.
const QByteArray TwoEntryReply
    = hex("FFFFFFFF660A") + hex("01020304") + hex("C0A800016987") + hex("0A0000056A05");

} // namespace

class tst_MasterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void filterText_data();
    void filterText();
    void request_data();
    void request();
    void finalKey_data();
    void finalKey();

    void parse_data();
    void parse();
    void parseTruncated_data();
    void parseTruncated();

    void splitAddress_data();
    void splitAddress();
    void hex2Dec_data();
    void hex2Dec();
};

void tst_MasterProtocol::filterText_data()
{
    QTest::addColumn<QString>("game");
    QTest::addColumn<QString>("map");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("ok_noFilters") << QString() << QString() << QByteArray("\\empty\\1");
    QTest::newRow("ok_gameOnly") << QStringLiteral("cstrike") << QString()
                                 << QByteArray("\\gamedir\\cstrike\\empty\\1");
    QTest::newRow("ok_mapOnly") << QString() << QStringLiteral("de_dust2")
                                << QByteArray("\\map\\de_dust2\\empty\\1");
    QTest::newRow("ok_both") << QStringLiteral("tfc") << QStringLiteral("2fort")
                             << QByteArray("\\gamedir\\tfc\\map\\2fort\\empty\\1");
    QTest::newRow("ok_latin1OneByte")
        << QStringLiteral("caf\u00e9") << QString() << QByteArray("\\gamedir\\caf\xe9\\empty\\1");
}

void tst_MasterProtocol::filterText()
{
    QFETCH(QString, game);
    QFETCH(QString, map);
    QFETCH(QByteArray, text);
    QCOMPARE(MasterFilterText(game, map), text);
}

void tst_MasterProtocol::request_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ok_firstCstrike") << FirstMasterKey()
                                     << MasterFilterText(QStringLiteral("cstrike"), QString())
                                     << QByteArray(hex("3100000000") + "\\gamedir\\cstrike\\empty\\1" + '\0');
    QTest::newRow("ok_continuation") << hex("01020304") << QByteArray("\\empty\\1")
                                     << QByteArray(hex("3101020304") + "\\empty\\1" + '\0');
    QTest::newRow("ok_keyBytesVerbatim")
        << hex("FF00FE80") << QByteArray("\\empty\\1") << QByteArray(hex("31FF00FE80") + "\\empty\\1" + '\0');
    // A key of the wrong size must not shift the filter text into the key's place.
    QTest::newRow("odd_shortKeyPadded")
        << hex("0102") << QByteArray("\\empty\\1") << QByteArray(hex("3101020000") + "\\empty\\1" + '\0');
    QTest::newRow("odd_longKeyCut") << hex("0102030405") << QByteArray("\\empty\\1")
                                    << QByteArray(hex("3101020304") + "\\empty\\1" + '\0');
}

void tst_MasterProtocol::request()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, filter);
    QFETCH(QByteArray, bytes);
    QCOMPARE(BuildMasterRequest(key, filter), bytes);
}

void tst_MasterProtocol::finalKey_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("final");
    QTest::newRow("zeros") << hex("00000000") << true;
    QTest::newRow("first") << FirstMasterKey() << true;
    QTest::newRow("lastByteSet") << hex("00000001") << false;
    QTest::newRow("firstByteSet") << hex("80000000") << false;
}

void tst_MasterProtocol::finalKey()
{
    QFETCH(QByteArray, key);
    QFETCH(bool, final);
    QCOMPARE(FirstMasterKey().size(), 4);
    QCOMPARE(IsFinalMasterKey(key), final);
}

void tst_MasterProtocol::parse_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<MasterReplyStatus>("status");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QList<ServerEntry>>("entries");

    const auto Ok = MasterReplyStatus::Ok;
    const auto Bad = MasterReplyStatus::BadHeader;
    const auto Malformed = MasterReplyStatus::Malformed;

    QTest::newRow("ok_oneEntryLastBatch") << hex("FFFFFFFF660A00000000C0A800016987") << Ok << hex("00000000")
                                          << QList<ServerEntry> { entry("192.168.0.1", 27015) };
    QTest::newRow("ok_upperCaseF") << hex("FFFFFFFF460A00000000C0A800016987") << Ok << hex("00000000")
                                   << QList<ServerEntry> { entry("192.168.0.1", 27015) };
    QTest::newRow("ok_twoEntriesWithKey")
        << TwoEntryReply << Ok << hex("01020304")
        << QList<ServerEntry> { entry("192.168.0.1", 27015), entry("10.0.0.5", 27141) };
    QTest::newRow("ok_noEntries") << hex("FFFFFFFF660A00000000") << Ok << hex("00000000")
                                  << QList<ServerEntry> {};
    QTest::newRow("ok_byteFiveAnything")
        << hex("FFFFFFFF66FF00000000") << Ok << hex("00000000") << QList<ServerEntry> {};
    QTest::newRow("ok_extremeEntries")
        << hex("FFFFFFFF660A00000000") + hex("000000000000") + hex("FFFFFFFFFFFF") << Ok << hex("00000000")
        << QList<ServerEntry> { entry("0.0.0.0", 0), entry("255.255.255.255", 65535) };
    QTest::newRow("ok_portHighByteFirst") << hex("FFFFFFFF660A000000000102030400FF") << Ok << hex("00000000")
                                          << QList<ServerEntry> { entry("1.2.3.4", 255) };

    QTest::newRow("bad_empty") << QByteArray() << Bad << QByteArray() << QList<ServerEntry> {};
    QTest::newRow("bad_fourFF") << hex("FFFFFFFF") << Bad << QByteArray() << QList<ServerEntry> {};
    QTest::newRow("bad_otherLetter") << hex("FFFFFFFF670A00000000C0A800016987") << Bad << QByteArray()
                                     << QList<ServerEntry> {};
    QTest::newRow("bad_playersReply") << hex("FFFFFFFF4400") << Bad << QByteArray() << QList<ServerEntry> {};
    QTest::newRow("bad_splitPiece") << hex("FEFFFFFF660A00000000C0A800016987") << Bad << QByteArray()
                                    << QList<ServerEntry> {};
    QTest::newRow("bad_oneHeaderByteOff")
        << hex("FFFFFF7F660A00000000C0A800016987") << Bad << QByteArray() << QList<ServerEntry> {};

    QTest::newRow("malformed_insideKey")
        << hex("FFFFFFFF660A0102") << Malformed << QByteArray() << QList<ServerEntry> {};
    QTest::newRow("malformed_insideSecondEntry") << TwoEntryReply.chopped(1) << Malformed << hex("01020304")
                                                 << QList<ServerEntry> { entry("192.168.0.1", 27015) };
}

void tst_MasterProtocol::parse()
{
    QFETCH(QByteArray, datagram);
    QFETCH(MasterReplyStatus, status);
    QFETCH(QByteArray, key);
    QFETCH(QList<ServerEntry>, entries);

    const MasterReply reply = ParseMasterReply(datagram);
    QCOMPARE(reply.Status, status);
    if (status != MasterReplyStatus::BadHeader || !key.isEmpty())
        QCOMPARE(reply.NextKey, key);
    QCOMPARE(reply.Entries, entries);
}

void tst_MasterProtocol::parseTruncated_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<MasterReplyStatus>("status");
    QTest::addColumn<int>("entries");

    QCOMPARE(TwoEntryReply.size(), 22);
    for (int length = 0; length <= TwoEntryReply.size(); ++length) {
        if (length < 5) {
            QTest::addRow("bad_cutHeader_%d", length) << length << MasterReplyStatus::BadHeader << 0;
        } else if (length < 10) {
            QTest::addRow("malformed_cutBeforeKeyEnd_%d", length)
                << length << MasterReplyStatus::Malformed << 0;
        } else if ((length - 10) % 6 != 0) {
            QTest::addRow("malformed_cutInsideEntry_%d", length)
                << length << MasterReplyStatus::Malformed << (length - 10) / 6;
        } else {
            QTest::addRow("ok_cutAtEntryEnd_%d", length)
                << length << MasterReplyStatus::Ok << (length - 10) / 6;
        }
    }
}

void tst_MasterProtocol::parseTruncated()
{
    QFETCH(int, length);
    QFETCH(MasterReplyStatus, status);
    QFETCH(int, entries);

    const MasterReply reply = ParseMasterReply(TwoEntryReply.first(length));
    QCOMPARE(reply.Status, status);
    QCOMPARE(reply.Entries.size(), entries);
    if (length >= 10)
        QCOMPARE(reply.NextKey, hex("01020304"));
    if (entries > 0)
        QCOMPARE(reply.Entries.first(), entry("192.168.0.1", 27015));
}

void tst_MasterProtocol::splitAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<qint64>("port");

    QTest::newRow("ok_noColon") << QStringLiteral("10.0.0.5") << QStringLiteral("10.0.0.5") << qint64(27010);
    QTest::newRow("ok_port") << QStringLiteral("10.0.0.5:27011") << QStringLiteral("10.0.0.5")
                             << qint64(27011);
    QTest::newRow("ok_name") << QStringLiteral("master.example:27012") << QStringLiteral("master.example")
                             << qint64(27012);
    QTest::newRow("ok_hostKeptAsIs") << QStringLiteral(" 10.0.0.5 :1") << QStringLiteral(" 10.0.0.5 ")
                                     << qint64(1);
    QTest::newRow("default_colonAlone")
        << QStringLiteral("10.0.0.5:") << QStringLiteral("10.0.0.5") << qint64(27010);
    QTest::newRow("default_zero") << QStringLiteral("10.0.0.5:0") << QStringLiteral("10.0.0.5")
                                  << qint64(27010);
    QTest::newRow("default_noNumber")
        << QStringLiteral("10.0.0.5:abc") << QStringLiteral("10.0.0.5") << qint64(27010);
    QTest::newRow("default_empty") << QString() << QString() << qint64(27010);
    QTest::newRow("leading_digitsThenText")
        << QStringLiteral("h:27011x9") << QStringLiteral("h") << qint64(27011);
    QTest::newRow("leading_blanks") << QStringLiteral("h:  27011") << QStringLiteral("h") << qint64(27011);
    QTest::newRow("leading_firstColonSplits") << QStringLiteral("h:1:2") << QStringLiteral("h") << qint64(1);
    QTest::newRow("leading_emptyHost") << QStringLiteral(":27011") << QString() << qint64(27011);
    QTest::newRow("range_aboveMaxPort") << QStringLiteral("h:99999") << QStringLiteral("h") << qint64(99999);
    QTest::newRow("range_negative") << QStringLiteral("h:-5") << QStringLiteral("h") << qint64(-5);
    QTest::newRow("range_hugeSaturates")
        << QStringLiteral("h:999999999999999999999999999999") << QStringLiteral("h") << qint64(4294967296);
}

void tst_MasterProtocol::splitAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(qint64, port);
    QCOMPARE(SplitMasterAddress(text), (MasterAddress { host, port }));
}

void tst_MasterProtocol::hex2Dec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("overflow");
    QTest::addColumn<qint32>("value");

    QTest::newRow("ok_empty") << QString() << false << 0;
    QTest::newRow("ok_FF") << QStringLiteral("FF") << false << 255;
    QTest::newRow("ok_6987") << QStringLiteral("6987") << false << 27015;
    QTest::newRow("ok_0A05") << QStringLiteral("0A05") << false << 2565;
    QTest::newRow("ok_FFFF") << QStringLiteral("FFFF") << false << 65535;
    QTest::newRow("ok_largest") << QStringLiteral("7FFFFFFF") << false << std::numeric_limits<qint32>::max();
    QTest::newRow("ok_manyLeadingZeros") << QString(1000, u'0') + QStringLiteral("FF") << false << 255;

    // Anything that is not 0-9 or A-F counts as the digit -1 at its place.
    QTest::newRow("minus_lowerCase") << QStringLiteral("ff") << false << -17;
    QTest::newRow("minus_letterG") << QStringLiteral("G") << false << -1;
    QTest::newRow("minus_inside") << QStringLiteral("1G") << false << 15;
    QTest::newRow("minus_signIsNoSign") << QStringLiteral("-1") << false << -15;
    QTest::newRow("minus_prefixIsNoPrefix") << QStringLiteral("0x1F") << false << -225;
    QTest::newRow("minus_blank") << QStringLiteral(" 1") << false << -15;
    QTest::newRow("minus_arabicIndicZero") << QStringLiteral("\u0660") << false << -1;
    QTest::newRow("minus_fullWidthA") << QStringLiteral("\uFF21") << false << -1;
    QTest::newRow("minus_topPlace") << QStringLiteral("G0000000") << false << -268435456;
    QTest::newRow("minus_allEight") << QStringLiteral("GGGGGGGG") << false << -286331153;

    QTest::newRow("overflow_2pow31") << QStringLiteral("80000000") << true << 0;
    QTest::newRow("overflow_allF") << QStringLiteral("FFFFFFFF") << true << 0;
    QTest::newRow("overflow_ninePlaces") << QStringLiteral("100000000") << true << 0;
    QTest::newRow("overflow_minusNinthPlace") << QStringLiteral("G00000000") << true << 0;
    QTest::newRow("overflow_longText") << QStringLiteral("1") + QString(1000, u'0') << true << 0;
    QTest::newRow("overflow_longGarbage") << QString(1000, u'z') << true << 0;
}

void tst_MasterProtocol::hex2Dec()
{
    QFETCH(QString, text);
    QFETCH(bool, overflow);
    QFETCH(qint32, value);

    const std::optional<qint32> result = Hex2Dec(text);
    QCOMPARE(!result.has_value(), overflow);
    if (result)
        QCOMPARE(*result, value);
}

QTEST_APPLESS_MAIN(tst_MasterProtocol)
#include "tst_masterprotocol.moc"
