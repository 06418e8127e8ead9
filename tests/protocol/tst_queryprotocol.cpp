#include "ProtocolPrinters.h"
#include "protocol/QueryProtocol.h"

#include <QTest>

using namespace rollcall::protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray z(const char *text)
{
    return QByteArray(text) + '\0';
}

const QByteArray InfoExample = hex("FFFFFFFF43") + z("10.0.0.1:27015") + z("Test") + z("map1") + z("valve")
    + z("Half-Life") + hex("05102F");

// The worked example cut to `length` bytes: a field is there once its last byte is, and the
// two counts only as a pair.
InfoReply infoExampleCut(qsizetype length)
{
    InfoReply r;
    const auto from = [&](qsizetype end, auto &field, auto value) {
        if (length >= end)
            field = value;
    };
    from(25, r.HostName, QByteArray("Test"));
    from(30, r.MapName, QByteArray("map1"));
    from(36, r.GameDirectory, QByteArray("valve"));
    from(46, r.GameDescription, QByteArray("Half-Life"));
    from(48, r.PlayerCount, quint8(5));
    from(48, r.MaxPlayers, quint8(16));
    from(49, r.ProtocolVersion, quint8(47));
    return r;
}

// Bob, 5 frags, 60.0 s; a nameless one, -3 frags, 3725.9 s.
const QByteArray PlayersExample = hex("FFFFFFFF4402") + hex("00") + z("Bob") + hex("0500000000007042")
    + hex("01") + z("") + hex("FDFFFFFF66DE6845");
const PlayerRecord Bob { 0, "Bob", 5, 60 };
const PlayerRecord Nameless { 1, "", -3, 3725 };

const QByteArray RulesExample = hex("FFFFFFFF450200") + z("sv_gravity") + z("800") + z("mp_logfile") + z("");
const ServerRule Gravity { "sv_gravity", "800" };
const ServerRule Logfile { "mp_logfile", "" };

} // namespace

class tst_QueryProtocol : public QObject
{
    Q_OBJECT

private slots:
    void requestBytes();
    void info_data();
    void info();
    void players_data();
    void players();
    void rules_data();
    void rules();
    void formatPlayTime_data();
    void formatPlayTime();
};

void tst_QueryProtocol::requestBytes()
{
    QCOMPARE(BuildQueryRequest(QueryKind::Info), hex("FFFFFFFF696E666F"));
    QCOMPARE(BuildQueryRequest(QueryKind::Rules), hex("FFFFFFFF72756C6573"));
    QCOMPARE(BuildQueryRequest(QueryKind::Players), hex("FFFFFFFF706C6179657273"));
}

void tst_QueryProtocol::info_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<InfoReply>("expected");

    QTest::newRow("workedExample") << InfoExample << infoExampleCut(49);

    InfoReply empties;
    empties.HostName = empties.MapName = empties.GameDirectory = empties.GameDescription = QByteArray();
    empties.PlayerCount = empties.MaxPlayers = empties.ProtocolVersion = 0;
    QTest::newRow("emptyStringsArePresent") << hex("FFFFFFFF43") + QByteArray(8, '\0') << empties;

    InfoReply high = infoExampleCut(49);
    high.HostName = hex("80C4E9FF");
    high.PlayerCount = 255;
    QTest::newRow("highBytesKept") << hex("FFFFFFFF43") + z("a") + hex("80C4E9FF00") + z("map1") + z("valve")
            + z("Half-Life")
            + hex("FF102F") << high;

    for (qsizetype length = 0; length < InfoExample.size(); ++length)
        QTest::addRow("cut_%d", int(length)) << InfoExample.first(length) << infoExampleCut(length);
}

void tst_QueryProtocol::info()
{
    QFETCH(QByteArray, datagram);
    QFETCH(InfoReply, expected);
    QCOMPARE(DecodeInfoReply(datagram), expected);
}

void tst_QueryProtocol::players_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<PlayersReply>("expected");

    QTest::newRow("workedExample") << PlayersExample << PlayersReply { { Bob, Nameless }, true };
    QTest::newRow("zeroRecords") << hex("FFFFFFFF4400") << PlayersReply { {}, true };
    QTest::newRow("recordsBeyondCountIgnored")
        << hex("FFFFFFFF4401") + PlayersExample.sliced(6) << PlayersReply { { Bob }, true };
    QTest::newRow("countPromisesMore")
        << hex("FFFFFFFF44FF") + PlayersExample.sliced(6) << PlayersReply { { Bob, Nameless }, false };
    // Unsigned index, Latin-1 name bytes, frags in little-endian order.
    QTest::newRow("highBytes") << hex("FFFFFFFF4401") + hex("FFC0DEFF8000") + hex("000100000000C03F")
                               << PlayersReply { { { 255, hex("C0DEFF80"), 256, 1 } }, true };
    QTest::newRow("fragsMin") << hex("FFFFFFFF4401") + hex("0100") + hex("0000008000000000")
                              << PlayersReply { { { 1, "", std::numeric_limits<qint32>::min(), 0 } }, true };

    // Times: the fraction dropped; anything negative, not finite or from 2^31 on is 0.
    const struct
    {
        const char *tag, *bits;
        qint32 seconds;
    } times[] = { { "belowOneSecond", "A4707D3F", 0 }, { "largestBelow2pow31", "FFFFFF4E", 2147483520 },
        { "2pow31", "0000004F", 0 }, { "infinity", "0000807F", 0 }, { "quietNaN", "0000C07F", 0 },
        { "minusOneHour", "000061C5", 0 } };
    for (const auto &t : times) {
        QTest::addRow("time_%s", t.tag) << hex("FFFFFFFF4401") + hex("0000") + hex("00000000") + hex(t.bits)
                                        << PlayersReply { { { 0, "", 0, t.seconds } }, true };
    }

    for (qsizetype length = 0; length < PlayersExample.size(); ++length) {
        const PlayersReply delivered { length >= 19 ? QList { Bob } : QList<PlayerRecord> {}, false };
        QTest::addRow("cut_%d", int(length)) << PlayersExample.first(length) << delivered;
    }
}

void tst_QueryProtocol::players()
{
    QFETCH(QByteArray, datagram);
    QFETCH(PlayersReply, expected);
    QCOMPARE(DecodePlayersReply(datagram), expected);
}

void tst_QueryProtocol::rules_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<RulesReply>("expected");

    QTest::newRow("example") << RulesExample << RulesReply { { Gravity, Logfile }, true };
    QTest::newRow("zeroRules") << hex("FFFFFFFF450000") << RulesReply { {}, true };
    QTest::newRow("emptyValueThenHighBytes") << hex("FFFFFFFF450200") + z("a") + z("")
            + hex("E9FF008000") << RulesReply { { { "a", "" }, { hex("E9FF"), hex("80") } }, true };
    QTest::newRow("pairsBeyondCountIgnored")
        << hex("FFFFFFFF450100") + RulesExample.sliced(7) << RulesReply { { Gravity }, true };
    QTest::newRow("count300TwoSent") << hex("FFFFFFFF452C01") + RulesExample.sliced(7)
                                     << RulesReply { { Gravity, Logfile }, false };

    // The count is 16 bits: 300 pairs all arrive.
    RulesReply many { {}, true };
    QByteArray manyBytes = hex("FFFFFFFF452C01");
    for (int i = 0; i < 300; ++i) {
        many.Rules.append({ "r" + QByteArray::number(i), "1" });
        manyBytes += many.Rules.last().Name + '\0' + "1" + '\0';
    }
    QTest::newRow("count300") << manyBytes << many;

    for (qsizetype length = 0; length < RulesExample.size(); ++length) {
        const RulesReply delivered { length >= 22 ? QList { Gravity } : QList<ServerRule> {}, false };
        QTest::addRow("cut_%d", int(length)) << RulesExample.first(length) << delivered;
    }
}

void tst_QueryProtocol::rules()
{
    QFETCH(QByteArray, datagram);
    QFETCH(RulesReply, expected);
    QCOMPARE(DecodeRulesReply(datagram), expected);
}

void tst_QueryProtocol::formatPlayTime_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << qint64(0) << QStringLiteral("00:00:00");
    QTest::newRow("3599") << qint64(3599) << QStringLiteral("00:59:59");
    QTest::newRow("3725") << qint64(3725) << QStringLiteral("01:02:05");
    QTest::newRow("360000") << qint64(360000) << QStringLiteral("100:00:00");
    QTest::newRow("largestTime") << qint64(2147483647) << QStringLiteral("596523:14:07");
    QTest::newRow("negative") << qint64(-1) << QStringLiteral("00:00:00");
}

void tst_QueryProtocol::formatPlayTime()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatPlayTime(seconds), text);
}

QTEST_APPLESS_MAIN(tst_QueryProtocol)
#include "tst_queryprotocol.moc"
