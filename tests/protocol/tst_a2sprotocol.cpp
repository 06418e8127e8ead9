#include "SteamPrinters.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"

#include <QRandomGenerator>
#include <QTest>
#include <functional>

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

// A reply assembled field by field: each field records where it ends and what it sets, so the
// same description yields the whole reply and what any cut of it must still decode to.
class InfoExample
{
public:
    explicit InfoExample(const char *header)
        : m_bytes(hex(header))
    { }

    InfoExample &add(const QByteArray &bytes, std::function<void(A2sInfo &)> set = {})
    {
        m_bytes += bytes;
        m_steps.append({ m_bytes.size(), std::move(set) });
        return *this;
    }

    QByteArray bytes() const { return m_bytes; }

    A2sInfo cut(qsizetype length) const
    {
        A2sInfo info;
        for (const auto &[end, set] : m_steps) {
            if (end <= length && set)
                set(info);
        }
        return info;
    }

private:
    QByteArray m_bytes;
    QList<std::pair<qsizetype, std::function<void(A2sInfo &)>>> m_steps;
};

// Every extra-data part, in wire order: port, SteamID, spectator, keywords, game id.
InfoExample sourceExample(const char *extraFlags = "F1")
{
    InfoExample e("FFFFFFFF49");
    e.add(hex("30"), [](A2sInfo &i) { i.ProtocolVersion = 48; })
        .add(z("Rollcall Test"), [](A2sInfo &i) { i.HostName = "Rollcall Test"; })
        .add(z("crossfire"), [](A2sInfo &i) { i.MapName = "crossfire"; })
        .add(z("valve"), [](A2sInfo &i) { i.GameDirectory = "valve"; })
        .add(z("Half-Life"), [](A2sInfo &i) { i.GameDescription = "Half-Life"; })
        .add(hex("4600"), [](A2sInfo &i) { i.AppId = 70; })
        .add(hex("0510"),
            [](A2sInfo &i) {
                i.PlayerCount = 5;
                i.MaxPlayers = 16;
            })
        .add(hex("01"), [](A2sInfo &i) { i.Bots = 1; })
        .add("d", [](A2sInfo &i) { i.ServerType = 'd'; })
        .add("l", [](A2sInfo &i) { i.OperatingSystem = 'l'; })
        .add(hex("00"), [](A2sInfo &i) { i.Password = false; })
        .add(hex("01"), [](A2sInfo &i) { i.Secure = true; })
        .add(z("1.1.2.7/Stdio"), [](A2sInfo &i) { i.Version = "1.1.2.7/Stdio"; });
    if (!*extraFlags)
        return e;
    e.add(hex(extraFlags));
    const quint8 flags = quint8(hex(extraFlags)[0]);
    if (flags & 0x80)
        e.add(hex("8769"), [](A2sInfo &i) { i.GamePort = 27015; });
    if (flags & 0x10)
        e.add(hex("0102030405060708"));
    if (flags & 0x40)
        e.add(hex("9069") + z("HLTV"));
    if (flags & 0x20)
        e.add(z("tag1,tag2"), [](A2sInfo &i) { i.Keywords = "tag1,tag2"; });
    // The 16-bit field said 70; the game id's low 24 bits say more, the bits above them are not the app.
    if (flags & 0x01)
        e.add(hex("A0BB0D01DDDDDDDD"), [](A2sInfo &i) { i.AppId = 0x0DBBA0; });
    return e;
}

InfoExample goldSrcExample(const char *mod = "01")
{
    InfoExample e("FFFFFFFF6D");
    e.add(z("10.0.0.1:27015"))
        .add(z("Old Server"), [](A2sInfo &i) { i.HostName = "Old Server"; })
        .add(z("stalkyard"), [](A2sInfo &i) { i.MapName = "stalkyard"; })
        .add(z("ag"), [](A2sInfo &i) { i.GameDirectory = "ag"; })
        .add(z("Adrenaline Gamer"), [](A2sInfo &i) { i.GameDescription = "Adrenaline Gamer"; })
        .add(hex("0314"),
            [](A2sInfo &i) {
                i.PlayerCount = 3;
                i.MaxPlayers = 20;
            })
        .add(hex("2F"), [](A2sInfo &i) { i.ProtocolVersion = 47; })
        .add("D", [](A2sInfo &i) { i.ServerType = 'd'; })
        .add("W", [](A2sInfo &i) { i.OperatingSystem = 'w'; })
        .add(hex("01"), [](A2sInfo &i) { i.Password = true; })
        .add(hex(mod));
    if (hex(mod) == hex("01")) {
        e.add(z("http://a.example/")).add(z("http://b.example/")).add(hex("00"));
        e.add(hex("01000000")).add(hex("00100000")).add(hex("00")).add(hex("01"));
    }
    e.add(hex("01"), [](A2sInfo &i) { i.Secure = true; }).add(hex("02"), [](A2sInfo &i) { i.Bots = 2; });
    return e;
}

// Built by hand: QString::fromUcs4 drops a leading byte order mark, the case under test.
QString codePoints(std::initializer_list<char32_t> codes)
{
    QString text;
    for (char32_t code : codes)
        text += QStringView(QChar::fromUcs4(code));
    return text;
}

constexpr char32_t Bad = 0xFFFD;

} // namespace

class tst_A2sProtocol : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void classify_data();
    void classify();
    void info_data();
    void info();
    void legacyDecodersReadA2sReplies();
    void utf8_data();
    void utf8();
    void utf8BadBytesNeverSwallowText();
};

void tst_A2sProtocol::requests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray query = hex("FFFFFFFF54") + z("Source Engine Query");
    QTest::newRow("info_bare") << BuildA2sInfoRequest() << query;
    QTest::newRow("info_challenge") << BuildA2sInfoRequest(hex("0A0B0C0D")) << query + hex("0A0B0C0D");
    QTest::newRow("info_shortChallengePadded") << BuildA2sInfoRequest(hex("0A")) << query + hex("0A000000");
    QTest::newRow("info_longChallengeCut")
        << BuildA2sInfoRequest(hex("0A0B0C0D0E")) << query + hex("0A0B0C0D");
    QTest::newRow("players_ask") << BuildA2sPlayersRequest() << hex("FFFFFFFF55FFFFFFFF");
    QTest::newRow("players_challenge")
        << BuildA2sPlayersRequest(hex("00000000")) << hex("FFFFFFFF5500000000");
    QTest::newRow("rules_ask") << BuildA2sRulesRequest() << hex("FFFFFFFF56FFFFFFFF");
    QTest::newRow("rules_challenge") << BuildA2sRulesRequest(hex("DEADBEEF")) << hex("FFFFFFFF56DEADBEEF");
}

void tst_A2sProtocol::requests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, bytes);
    QCOMPARE(request, bytes);
}

void tst_A2sProtocol::classify_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<A2sReplyClass>("expected");

    using K = A2sReplyKind;
    QTest::newRow("challenge") << hex("FFFFFFFF41DEADBEEF")
                               << A2sReplyClass { K::Challenge, hex("DEADBEEF") };
    QTest::newRow("challenge_short") << hex("FFFFFFFF41DEADBE") << A2sReplyClass {};
    QTest::newRow("challenge_long") << hex("FFFFFFFF41DEADBEEF00") << A2sReplyClass {};
    QTest::newRow("players") << hex("FFFFFFFF4400") << A2sReplyClass { K::Players, {} };
    QTest::newRow("players_headerOnly") << hex("FFFFFFFF44") << A2sReplyClass { K::Players, {} };
    QTest::newRow("rules") << hex("FFFFFFFF450000") << A2sReplyClass { K::Rules, {} };
    QTest::newRow("infoSource") << sourceExample().bytes() << A2sReplyClass { K::InfoSource, {} };
    QTest::newRow("infoGoldSrc") << goldSrcExample().bytes() << A2sReplyClass { K::InfoGoldSrc, {} };
    QTest::newRow("unknown_legacyInfo") << hex("FFFFFFFF43") << A2sReplyClass {};
    QTest::newRow("unknown_upperM") << hex("FFFFFFFF4D") << A2sReplyClass {};
    QTest::newRow("unknown_pingReply") << hex("FFFFFFFF6A00") << A2sReplyClass {};
    QTest::newRow("unknown_splitPiece") << hex("FEFFFFFF49") << A2sReplyClass {};
    QTest::newRow("unknown_headerOnly") << hex("FFFFFFFF") << A2sReplyClass {};
    QTest::newRow("unknown_empty") << QByteArray() << A2sReplyClass {};
}

void tst_A2sProtocol::classify()
{
    QFETCH(QByteArray, datagram);
    QFETCH(A2sReplyClass, expected);
    QCOMPARE(ClassifyA2sReply(datagram), expected);
}

void tst_A2sProtocol::info_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<A2sInfo>("expected");

    const QList<std::pair<const char *, InfoExample>> examples = {
        { "source_allExtras", sourceExample() },
        { "source_noExtras", sourceExample("") },
        { "source_extraFlagsZero", sourceExample("00") },
        { "source_portOnly", sourceExample("80") },
        { "source_keywordsOnly", sourceExample("20") },
        { "goldSrc_mod", goldSrcExample() },
        { "goldSrc_noMod", goldSrcExample("00") },
        { "goldSrc_modTwoIsNoMod", goldSrcExample("02") },
    };
    for (const auto &[tag, example] : examples) {
        const QByteArray bytes = example.bytes();
        QTest::addRow("%s", tag) << bytes << example.cut(bytes.size());
    }

    // One row per cut of the two fullest replies: what was read before the cut is kept.
    for (const auto &[tag, example] : { examples[0], examples[5] }) {
        const QByteArray bytes = example.bytes();
        for (qsizetype length = 0; length < bytes.size(); ++length)
            QTest::addRow("cut_%s_%d", tag, int(length)) << bytes.first(length) << example.cut(length);
    }

    QTest::newRow("garbage_playersReply") << hex("FFFFFFFF4400") << A2sInfo {};
    QTest::newRow("garbage_legacyInfo")
        << hex("FFFFFFFF43") + sourceExample().bytes().sliced(5) << A2sInfo {};
    QTest::newRow("garbage_noHeader") << hex("FEFFFFFF49") + sourceExample().bytes().sliced(5) << A2sInfo {};
    // Reunion under flood: empty folder and game strings are still fields.
    A2sInfo flood = sourceExample("").cut(0);
    flood.ProtocolVersion = 48;
    flood.HostName = "h";
    flood.MapName = "m";
    flood.GameDirectory = flood.GameDescription = QByteArray("");
    QTest::newRow("emptyStrings") << hex("FFFFFFFF4930") + z("h") + z("m") + z("") + z("") << flood;
}

void tst_A2sProtocol::info()
{
    QFETCH(QByteArray, datagram);
    QFETCH(A2sInfo, expected);
    QCOMPARE(DecodeA2sInfo(datagram), expected);
}

// The A2S players and rules replies share the legacy layout, so the legacy decoders read them;
// this pins that down with what A2S servers actually send: bot indexes, UTF-8 names, a 16-bit count.
void tst_A2sProtocol::legacyDecodersReadA2sReplies()
{
    const QByteArray players = hex("FFFFFFFF4402") + hex("80") + z("BOT Иван") + hex("0000000000000000")
        + hex("00") + z("straße") + hex("0300000000007042");
    const PlayersReply decoded = DecodePlayersReply(players);
    QVERIFY(decoded.Complete);
    QCOMPARE(decoded.Players.size(), 2);
    QCOMPARE(Utf8(decoded.Players[0].Name), QStringLiteral("BOT Иван"));
    QCOMPARE(decoded.Players[0].Index, quint8(0x80));
    QCOMPARE(Utf8(decoded.Players[1].Name), QStringLiteral("straße"));
    QCOMPARE(decoded.Players[1].Frags, 3);
    QCOMPARE(decoded.Players[1].Time, 60);

    const QByteArray rules = hex("FFFFFFFF450100") + z("sv_password") + z("1");
    QCOMPARE(DecodeRulesReply(rules), (RulesReply { { { "sv_password", "1" } }, true }));
}

void tst_A2sProtocol::utf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("valid_ascii") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("valid_zeroByte") << hex("610062") << codePoints({ 'a', 0, 'b' });
    QTest::newRow("valid_cyrillic") << hex("D098D092D090D09D") << QStringLiteral("ИВАН");
    QTest::newRow("valid_emoji") << hex("F09F9880") << codePoints({ 0x1F600 });
    QTest::newRow("valid_byteOrderMarkKept") << hex("EFBBBF78") << codePoints({ 0xFEFF, 'x' });
    const struct
    {
        const char *tag, *bytes;
        char32_t code;
    } edges[] = { { "7F", "7F", 0x7F }, { "80", "C280", 0x80 }, { "7FF", "DFBF", 0x7FF },
        { "800", "E0A080", 0x800 }, { "D7FF", "ED9FBF", 0xD7FF }, { "E000", "EE8080", 0xE000 },
        { "FFFF", "EFBFBF", 0xFFFF }, { "10000", "F0908080", 0x10000 }, { "10FFFF", "F48FBFBF", 0x10FFFF } };
    for (const auto &edge : edges)
        QTest::addRow("edge_%s", edge.tag) << hex(edge.bytes) << codePoints({ edge.code });

    // Ill-formed: one U+FFFD per maximal subpart, where Qt's decoder gives one per byte.
    QTest::newRow("bad_loneContinuation") << hex("618062") << codePoints({ 'a', Bad, 'b' });
    QTest::newRow("bad_twoContinuations") << hex("61808062") << codePoints({ 'a', Bad, Bad, 'b' });
    QTest::newRow("bad_truncated3") << hex("61E28262") << codePoints({ 'a', Bad, 'b' });
    QTest::newRow("bad_truncated3AtEnd") << hex("61E282") << codePoints({ 'a', Bad });
    QTest::newRow("bad_truncated4") << hex("61F09F9862") << codePoints({ 'a', Bad, 'b' });
    QTest::newRow("bad_leadThenAscii") << hex("E241") << codePoints({ Bad, 'A' });
    QTest::newRow("bad_overlongC080") << hex("C080") << codePoints({ Bad, Bad });
    QTest::newRow("bad_overlongC1BF") << hex("C1BF") << codePoints({ Bad, Bad });
    QTest::newRow("bad_overlongE08080") << hex("E08080") << codePoints({ Bad, Bad, Bad });
    QTest::newRow("bad_overlongF0808080") << hex("F0808080") << codePoints({ Bad, Bad, Bad, Bad });
    QTest::newRow("bad_surrogateEDA080") << hex("EDA080") << codePoints({ Bad, Bad, Bad });
    QTest::newRow("bad_surrogateEDBFBF") << hex("EDBFBF") << codePoints({ Bad, Bad, Bad });
    QTest::newRow("bad_beyond10FFFF") << hex("F4908080") << codePoints({ Bad, Bad, Bad, Bad });
    QTest::newRow("bad_F5") << hex("61F562") << codePoints({ 'a', Bad, 'b' });
    QTest::newRow("bad_F5sequence") << hex("F5808080") << codePoints({ Bad, Bad, Bad, Bad });
    QTest::newRow("bad_FEFF") << hex("FEFF") << codePoints({ Bad, Bad });
    QTest::newRow("bad_fiveByteForm") << hex("F888808080") << codePoints({ Bad, Bad, Bad, Bad, Bad });
    QTest::newRow("bad_cp1251Name") << hex("C8E2E0ED") << codePoints({ Bad, Bad, Bad, Bad });
    // Unicode's own worked examples of the practice.
    QTest::newRow("bad_unicodeTable3_8") << hex("61F18080E180C262806380BF64")
                                         << codePoints({ 'a', Bad, Bad, Bad, 'b', Bad, 'c', Bad, Bad, 'd' });
    QTest::newRow("bad_mixedSubparts")
        << hex("E180E2F09192F1BF41") << codePoints({ Bad, Bad, Bad, Bad, 'A' });
}

void tst_A2sProtocol::utf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Utf8(bytes), text);
}

// Random mixes of lead, continuation and plain bytes: an ASCII byte always stands on its own,
// and text that decoded without a replacement encodes back to the very same bytes.
void tst_A2sProtocol::utf8BadBytesNeverSwallowText()
{
    static const char alphabet[]
        = "\x41\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC2\xDF\xE0\xE1\xED\xEE\xEF\xF0\xF1\xF4\xF5\xFF";
    QRandomGenerator random(20240611);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        const int length = random.bounded(10);
        for (int i = 0; i < length; ++i)
            bytes += alphabet[random.bounded(int(sizeof(alphabet) - 1))];
        const QString text = Utf8(bytes);
        QVERIFY2(Utf8(QByteArray(bytes + 'A')) == text + u'A', bytes.toHex().constData());
        if (!text.contains(QChar::ReplacementCharacter))
            QVERIFY2(text.toUtf8() == bytes, bytes.toHex().constData());
    }
}

QTEST_APPLESS_MAIN(tst_A2sProtocol)
#include "tst_a2sprotocol.moc"
