#include "ProtocolPrinters.h"
#include "QueryProtocol.h"

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

// The info reply of the worked example, and where each of its decoding steps ends.
const QByteArray InfoExample = hex("FFFFFFFF43") + z("10.0.0.1:27015") + z("Test") + z("map1") + z("valve")
    + z("Half-Life") + hex("05102F");

InfoReply fullInfoExample()
{
    InfoReply r;
    r.HostName = "Test";
    r.MapName = "map1";
    r.GameDirectory = "valve";
    r.GameDescription = "Half-Life";
    r.PlayerCount = 5;
    r.MaxPlayers = 16;
    r.ProtocolVersion = 47;
    return r;
}

// Two players: Bob, 5 frags, 60.0 s; a nameless one, -3 frags, 3725.9 s.
const QByteArray PlayersExample = hex("FFFFFFFF4402") + hex("00") + z("Bob") + hex("0500000000007042")
    + hex("01") + z("") + hex("FDFFFFFF66DE6845");

PlayerRecord player(quint8 index, const QByteArray &name, qint32 frags, qint32 time)
{
    PlayerRecord p;
    p.Index = index;
    p.Name = name;
    p.Frags = frags;
    p.Time = time;
    return p;
}

PlayersReply playersReply(QList<PlayerRecord> list, bool complete)
{
    PlayersReply r;
    r.Players = std::move(list);
    r.Complete = complete;
    return r;
}

RulesReply rulesReply(QList<ServerRule> list, bool complete)
{
    RulesReply r;
    r.Rules = std::move(list);
    r.Complete = complete;
    return r;
}

const QByteArray RulesExample = hex("FFFFFFFF450200") + z("sv_gravity") + z("800") + z("mp_logfile") + z("");

} // namespace

class tst_QueryProtocol : public QObject
{
    Q_OBJECT

private slots:
    void requestBytes_data();
    void requestBytes();

    void info_data();
    void info();
    void infoTruncated_data();
    void infoTruncated();

    void players_data();
    void players();
    void playersTruncated_data();
    void playersTruncated();
    void playerTime_data();
    void playerTime();

    void rules_data();
    void rules();
    void rulesTruncated_data();
    void rulesTruncated();

    void formatPlayTime_data();
    void formatPlayTime();
};

void tst_QueryProtocol::requestBytes_data()
{
    QTest::addColumn<QueryKind>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("info") << QueryKind::Info << hex("FFFFFFFF696E666F");
    QTest::newRow("rules") << QueryKind::Rules << hex("FFFFFFFF72756C6573");
    QTest::newRow("players") << QueryKind::Players << hex("FFFFFFFF706C6179657273");
}

void tst_QueryProtocol::requestBytes()
{
    QFETCH(QueryKind, kind);
    QFETCH(QByteArray, bytes);
    QCOMPARE(BuildQueryRequest(kind), bytes);
}

void tst_QueryProtocol::info_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<InfoReply>("expected");

    QTest::newRow("ok_workedExample") << InfoExample << fullInfoExample();
    QTest::newRow("ok_trailingFieldsIgnored") << InfoExample + hex("6477000100") << fullInfoExample();

    InfoReply empties;
    empties.HostName = empties.MapName = empties.GameDirectory = empties.GameDescription = QByteArray();
    empties.PlayerCount = empties.MaxPlayers = empties.ProtocolVersion = 0;
    QTest::newRow("ok_emptyStrings") << hex("FFFFFFFF43") + hex("0000000000000000") << empties;

    InfoReply high = fullInfoExample();
    high.HostName = hex("80C4E9FF");
    high.PlayerCount = 255;
    QTest::newRow("ok_highBytesKept") << hex("FFFFFFFF43") + z("1.2.3.4:5") + hex("80C4E9FF00") + z("map1")
            + z("valve") + z("Half-Life")
            + hex("FF102F") << high;

    // Whatever arrives on an info socket is read by the info layout, type byte or not.
    InfoReply fromPlayers;
    fromPlayers.HostName = "Bob";
    fromPlayers.MapName = hex("05");
    fromPlayers.GameDirectory = fromPlayers.GameDescription = QByteArray();
    fromPlayers.PlayerCount = fromPlayers.MaxPlayers = 0;
    fromPlayers.ProtocolVersion = 0x70;
    QTest::newRow("garbage_playersReply") << PlayersExample << fromPlayers;

    QTest::newRow("garbage_empty") << QByteArray() << InfoReply();
    QTest::newRow("garbage_headerOnly") << hex("FFFFFFFF43") << InfoReply();
    QTest::newRow("garbage_noZeroAnywhere") << QByteArray(300, 'x') << InfoReply();
}

void tst_QueryProtocol::info()
{
    QFETCH(QByteArray, datagram);
    QFETCH(InfoReply, expected);
    QCOMPARE(DecodeInfoReply(datagram), expected);
}

void tst_QueryProtocol::infoTruncated_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<InfoReply>("expected");

    struct Step
    {
        const char *region;
        int end; // the datagram length from which this step's values are present
    };
    const Step steps[] = { { "insideAddress", 20 }, { "insideHostName", 25 }, { "insideMapName", 30 },
        { "insideGameDir", 36 }, { "insideDescription", 46 }, { "insidePlayerPair", 48 },
        { "beforeProtocol", 49 } };
    QCOMPARE(InfoExample.size(), 49);

    const InfoReply full = fullInfoExample();
    for (int length = 0; length < InfoExample.size(); ++length) {
        InfoReply expected;
        if (length >= 25)
            expected.HostName = full.HostName;
        if (length >= 30)
            expected.MapName = full.MapName;
        if (length >= 36)
            expected.GameDirectory = full.GameDirectory;
        if (length >= 46)
            expected.GameDescription = full.GameDescription;
        if (length >= 48) {
            expected.PlayerCount = full.PlayerCount;
            expected.MaxPlayers = full.MaxPlayers;
        }
        const char *region = "header";
        for (const Step &step : steps) {
            if (length >= 5 && length < step.end) {
                region = step.region;
                break;
            }
        }
        QTest::addRow("cut_%s_%d", region, length) << length << expected;
    }
}

void tst_QueryProtocol::infoTruncated()
{
    QFETCH(int, length);
    QFETCH(InfoReply, expected);
    QCOMPARE(DecodeInfoReply(InfoExample.first(length)), expected);
}

void tst_QueryProtocol::players_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<PlayersReply>("expected");

    const PlayerRecord bob = player(0, "Bob", 5, 60);
    const PlayerRecord nameless = player(1, "", -3, 3725);
    QTest::newRow("ok_twoPlayers") << PlayersExample << playersReply({ bob, nameless }, true);
    QTest::newRow("ok_zeroRecords") << hex("FFFFFFFF4400") << playersReply({}, true);
    QTest::newRow("ok_recordsBeyondCountIgnored")
        << hex("FFFFFFFF4401") + PlayersExample.sliced(6) << playersReply({ bob }, true);
    QTest::newRow("ok_trailingBytesIgnored")
        << PlayersExample + "junk" << playersReply({ bob, nameless }, true);

    const QByteArray highName = hex("C0DEFF80");
    QTest::newRow("ok_highBytesInName") << hex("FFFFFFFF4401") + hex("07") + highName + hex("00")
            + hex("2C0100000000C03F") << playersReply({ player(7, highName, 300, 1) }, true);
    QTest::newRow("ok_fragsSpan") << hex("FFFFFFFF4403") + hex("01") + z("a") + hex("FFFFFFFF00000000")
            + hex("02") + z("b") + hex("0001000000000000") + hex("FF") + z("c") + hex("0000008000000000")
                                  << playersReply(
                                         { player(1, "a", -1, 0), player(2, "b", 256, 0),
                                             player(255, "c", std::numeric_limits<qint32>::min(), 0) },
                                         true);

    QTest::newRow("cut_headerOnly") << hex("FFFFFFFF44") << playersReply({}, false);
    QTest::newRow("cut_empty") << QByteArray() << playersReply({}, false);
    QTest::newRow("cut_insideSecondNameOfThree")
        << hex("FFFFFFFF4403") + hex("00") + z("Bob") + hex("0500000000007042") + hex("01") + "Ali"
        << playersReply({ bob }, false);
    QTest::newRow("cut_countPromisesMore")
        << hex("FFFFFFFF44FF") + PlayersExample.sliced(6) << playersReply({ bob, nameless }, false);

    // An info reply on a players socket: its bytes are taken for player fields.
    // The time fields here are text bytes that make huge floats.
    QTest::newRow("garbage_infoReply")
        << InfoExample
        << playersReply(
               { player('0', ".0.0.1:27015", 0x74736554, 0), player('1', "", 0x766C6176, 0) }, false);
}

void tst_QueryProtocol::players()
{
    QFETCH(QByteArray, datagram);
    QFETCH(PlayersReply, expected);
    const PlayersReply decoded = DecodePlayersReply(datagram);
    QCOMPARE(decoded, expected);
}

void tst_QueryProtocol::playersTruncated_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<PlayersReply>("expected");

    QCOMPARE(PlayersExample.size(), 29);
    const PlayerRecord bob = player(0, "Bob", 5, 60);
    for (int length = 0; length < PlayersExample.size(); ++length) {
        QList<PlayerRecord> delivered;
        if (length >= 19)
            delivered.append(bob);
        const char *region = length < 6 ? "header" : length < 19 ? "insideFirstRecord" : "insideSecondRecord";
        QTest::addRow("cut_%s_%d", region, length) << length << playersReply(delivered, false);
    }
}

void tst_QueryProtocol::playersTruncated()
{
    QFETCH(int, length);
    QFETCH(PlayersReply, expected);
    QCOMPARE(DecodePlayersReply(PlayersExample.first(length)), expected);
}

void tst_QueryProtocol::playerTime_data()
{
    QTest::addColumn<QByteArray>("timeBytes");
    QTest::addColumn<qint32>("seconds");

    QTest::newRow("ok_oneMinute") << hex("00007042") << 60;
    QTest::newRow("ok_oneHour") << hex("00006145") << 3600;
    QTest::newRow("ok_fractionDropped") << hex("66DE6845") << 3725;
    QTest::newRow("ok_belowOneSecond") << hex("A4707D3F") << 0;
    QTest::newRow("ok_zero") << hex("00000000") << 0;
    QTest::newRow("ok_smallestSubnormal") << hex("01000000") << 0;
    QTest::newRow("ok_twentyEightHours") << hex("00407A47") << 64064;
    QTest::newRow("ok_largestBelow2pow31") << hex("FFFFFF4E") << 2147483520;
    QTest::newRow("odd_2pow31") << hex("0000004F") << 0;
    QTest::newRow("odd_largestFloat") << hex("FFFF7F7F") << 0;
    QTest::newRow("odd_infinity") << hex("0000807F") << 0;
    QTest::newRow("odd_negativeInfinity") << hex("000080FF") << 0;
    QTest::newRow("odd_quietNaN") << hex("0000C07F") << 0;
    QTest::newRow("odd_allOnesNaN") << hex("FFFFFFFF") << 0;
    QTest::newRow("odd_negativeZero") << hex("00000080") << 0;
    QTest::newRow("odd_minusHalf") << hex("000000BF") << 0;
    QTest::newRow("odd_minusOneHour") << hex("000061C5") << 0;
}

void tst_QueryProtocol::playerTime()
{
    QFETCH(QByteArray, timeBytes);
    QFETCH(qint32, seconds);
    const PlayersReply decoded = DecodePlayersReply(
        QByteArray(hex("FFFFFFFF4401") + hex("00") + z("p") + hex("00000000") + timeBytes));
    QVERIFY(decoded.Complete);
    QCOMPARE(decoded.Players.size(), 1);
    QCOMPARE(decoded.Players.first().Time, seconds);
}

void tst_QueryProtocol::rules_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<RulesReply>("expected");

    const ServerRule gravity { "sv_gravity", "800" };
    const ServerRule logfile { "mp_logfile", "" };
    QTest::newRow("ok_twoRules") << RulesExample << rulesReply({ gravity, logfile }, true);
    QTest::newRow("ok_zeroRules") << hex("FFFFFFFF450000") << rulesReply({}, true);
    QTest::newRow("ok_emptyValueThenNextName") << hex("FFFFFFFF450200") + z("a") + z("") + z("b") + z("2")
                                               << rulesReply({ { "a", "" }, { "b", "2" } }, true);
    QTest::newRow("ok_pairsBeyondCountIgnored")
        << hex("FFFFFFFF450100") + RulesExample.sliced(7) << rulesReply({ gravity }, true);
    QTest::newRow("ok_highBytes") << hex("FFFFFFFF450100") + hex("E9FF00") + hex("8000")
                                  << rulesReply({ { hex("E9FF"), hex("80") } }, true);

    QByteArray many = hex("FFFFFFFF452C01");
    QList<ServerRule> manyRules;
    for (int i = 0; i < 300; ++i) {
        const QByteArray name = "r" + QByteArray::number(i);
        many += z(name.constData()) + z("1");
        manyRules.append({ name, "1" });
    }
    QTest::newRow("ok_count300") << many << rulesReply(manyRules, true);
    QTest::newRow("cut_count300TwoSent")
        << hex("FFFFFFFF452C01") + RulesExample.sliced(7) << rulesReply({ gravity, logfile }, false);
    QTest::newRow("cut_valueWithoutZero") << RulesExample.chopped(1) << rulesReply({ gravity }, false);
    QTest::newRow("cut_empty") << QByteArray() << rulesReply({}, false);
    QTest::newRow("cut_halfCount") << hex("FFFFFFFF4502") << rulesReply({}, false);
}

void tst_QueryProtocol::rules()
{
    QFETCH(QByteArray, datagram);
    QFETCH(RulesReply, expected);
    QCOMPARE(DecodeRulesReply(datagram), expected);
}

void tst_QueryProtocol::rulesTruncated_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<RulesReply>("expected");

    QCOMPARE(RulesExample.size(), 34);
    const ServerRule gravity { "sv_gravity", "800" };
    for (int length = 0; length < RulesExample.size(); ++length) {
        QList<ServerRule> delivered;
        if (length >= 22)
            delivered.append(gravity);
        const char *region = length < 7 ? "header"
            : length < 18               ? "insideFirstName"
            : length < 22               ? "insideFirstValue"
            : length < 33               ? "insideSecondName"
                                        : "insideSecondValue";
        QTest::addRow("cut_%s_%d", region, length) << length << rulesReply(delivered, false);
    }
}

void tst_QueryProtocol::rulesTruncated()
{
    QFETCH(int, length);
    QFETCH(RulesReply, expected);
    QCOMPARE(DecodeRulesReply(RulesExample.first(length)), expected);
}

void tst_QueryProtocol::formatPlayTime_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("ok_zero") << qint64(0) << QStringLiteral("00:00:00");
    QTest::newRow("ok_59s") << qint64(59) << QStringLiteral("00:00:59");
    QTest::newRow("ok_oneMinute") << qint64(60) << QStringLiteral("00:01:00");
    QTest::newRow("ok_justBelowHour") << qint64(3599) << QStringLiteral("00:59:59");
    QTest::newRow("ok_oneHour") << qint64(3600) << QStringLiteral("01:00:00");
    QTest::newRow("ok_3725") << qint64(3725) << QStringLiteral("01:02:05");
    QTest::newRow("ok_tenHours") << qint64(36000) << QStringLiteral("10:00:00");
    QTest::newRow("ok_hundredHours") << qint64(360000) << QStringLiteral("100:00:00");
    QTest::newRow("ok_largestTime") << qint64(2147483647) << QStringLiteral("596523:14:07");
    QTest::newRow("odd_negative") << qint64(-1) << QStringLiteral("00:00:00");
    QTest::newRow("odd_lowest") << std::numeric_limits<qint64>::min() << QStringLiteral("00:00:00");
}

void tst_QueryProtocol::formatPlayTime()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatPlayTime(seconds), text);
}

QTEST_APPLESS_MAIN(tst_QueryProtocol)
#include "tst_queryprotocol.moc"
