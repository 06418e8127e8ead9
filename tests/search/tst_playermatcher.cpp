#include "search/PlayerMatcher.h"

#include <QRandomGenerator>
#include <QTest>
#include <cstring>
#include <functional>
#include <vector>

using namespace rollcall::search;

namespace {

QByteArray bytes(const char *text)
{
    return QByteArray(text);
}

NameSlot slot(bool enabled, bool wildcards, const QByteArray &name)
{
    return NameSlot { enabled, wildcards, name };
}

// One players reply on the wire: header, 'D', count, then index, name, frags, float time.
struct WirePlayer
{
    QByteArray name;
    qint32 frags = 0;
    float time = 0;
};

QByteArray playersReply(const QList<WirePlayer> &players, int claimedCount = -1)
{
    QByteArray reply = QByteArray::fromHex("ffffffff44");
    reply.append(char(claimedCount < 0 ? players.size() : claimedCount));
    quint8 index = 0;
    for (const WirePlayer &player : players) {
        reply.append(char(index++));
        reply.append(player.name);
        reply.append('\0');
        const quint32 frags = quint32(player.frags);
        for (int shift = 0; shift < 32; shift += 8)
            reply.append(char((frags >> shift) & 0xff));
        quint32 timeBits = 0;
        std::memcpy(&timeBits, &player.time, sizeof timeBits);
        for (int shift = 0; shift < 32; shift += 8)
            reply.append(char((timeBits >> shift) & 0xff));
    }
    return reply;
}

// A slow, obviously right matcher for patterns without brackets, to check the fast one against.
bool referenceMatch(const QByteArray &name, const QByteArray &pattern)
{
    const qsizetype n = name.size();
    const qsizetype m = pattern.size();
    std::vector<std::vector<char>> memo(size_t(m + 1), std::vector<char>(size_t(n + 1), -1));
    std::function<bool(qsizetype, qsizetype)> match = [&](qsizetype p, qsizetype i) -> bool {
        char &known = memo[size_t(p)][size_t(i)];
        if (known >= 0)
            return known;
        bool result;
        if (p == m)
            result = i == n;
        else if (pattern[p] == '*')
            result = match(p + 1, i) || (i < n && match(p, i + 1));
        else if (i == n)
            result = false;
        else if (pattern[p] == '?')
            result = match(p + 1, i + 1);
        else if (pattern[p] == '#')
            result = name[i] >= '0' && name[i] <= '9' && match(p + 1, i + 1);
        else
            result = pattern[p] == name[i] && match(p + 1, i + 1);
        known = result;
        return result;
    };
    return match(0, 0);
}

} // namespace

class tst_PlayerMatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lowerLatin1_data();
    void lowerLatin1();
    void lowerLatin1ChangesOnlyCapitals();
    void wildcard_data();
    void wildcard();
    void invalidPattern_data();
    void invalidPattern();
    void randomPatternsAgreeWithReference();
    void hostilePatternCompletes_data();
    void hostilePatternCompletes();
    void slotRules_data();
    void slotRules();
    void rowCells();
    void rowsInReplyOrderOnlyMatching();
    void oneRowWhenBothSlotsMatch();
    void cutReplyGivesCompleteRecordsOnly();
    void emptyOrForeignReplyGivesNoRows();
};

void tst_PlayerMatcher::lowerLatin1_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("lowered");

    QTest::newRow("nul") << 0x00 << 0x00;
    QTest::newRow("before A") << 0x40 << 0x40;
    QTest::newRow("A") << 0x41 << 0x61;
    QTest::newRow("M") << 0x4D << 0x6D;
    QTest::newRow("Z") << 0x5A << 0x7A;
    QTest::newRow("after Z") << 0x5B << 0x5B;
    QTest::newRow("a stays") << 0x61 << 0x61;
    QTest::newRow("z stays") << 0x7A << 0x7A;
    QTest::newRow("0x7F") << 0x7F << 0x7F;
    QTest::newRow("0x80") << 0x80 << 0x80;
    QTest::newRow("0xBF before capitals") << 0xBF << 0xBF;
    QTest::newRow("0xC0 A grave") << 0xC0 << 0xE0;
    QTest::newRow("0xC9 E acute") << 0xC9 << 0xE9;
    QTest::newRow("0xD6 O diaeresis") << 0xD6 << 0xF6;
    QTest::newRow("0xD7 multiplication sign") << 0xD7 << 0xD7;
    QTest::newRow("0xD8 O stroke") << 0xD8 << 0xF8;
    QTest::newRow("0xDE thorn") << 0xDE << 0xFE;
    QTest::newRow("0xDF sharp s") << 0xDF << 0xDF;
    QTest::newRow("0xE0 small stays") << 0xE0 << 0xE0;
    QTest::newRow("0xF7 division sign") << 0xF7 << 0xF7;
    QTest::newRow("0xFF y diaeresis") << 0xFF << 0xFF;
}

void tst_PlayerMatcher::lowerLatin1()
{
    QFETCH(int, code);
    QFETCH(int, lowered);

    const QByteArray text(1, char(code));
    QCOMPARE(int(quint8(LowerLatin1(text).at(0))), lowered);
}

void tst_PlayerMatcher::lowerLatin1ChangesOnlyCapitals()
{
    QByteArray all;
    for (int code = 0; code < 256; ++code)
        all.append(char(code));
    const QByteArray lowered = LowerLatin1(all);
    QCOMPARE(lowered.size(), all.size());
    int changed = 0;
    for (int code = 0; code < 256; ++code)
        changed += lowered[code] != all[code];
    QCOMPARE(changed, 26 + 30); // A-Z and 0xC0-0xDE without 0xD7
}

void tst_PlayerMatcher::wildcard_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("matches");

    QTest::newRow("plain_whole") << bytes("bob") << bytes("bob") << true;
    QTest::newRow("plain_longerName") << bytes("bob") << bytes("bobby") << false;
    QTest::newRow("plain_shorterName") << bytes("bob") << bytes("bo") << false;
    QTest::newRow("plain_inside") << bytes("bob") << bytes("xbobx") << false;
    QTest::newRow("empty_emptyName") << bytes("") << bytes("") << true;
    QTest::newRow("empty_name") << bytes("") << bytes("a") << false;

    QTest::newRow("question_one") << bytes("a?c") << bytes("abc") << true;
    QTest::newRow("question_digit") << bytes("a?c") << bytes("a1c") << true;
    QTest::newRow("question_none") << bytes("a?c") << bytes("ac") << false;
    QTest::newRow("question_two") << bytes("a?c") << bytes("abbc") << false;
    QTest::newRow("question_highByte") << bytes("?") << bytes("\xff") << true;
    QTest::newRow("question_emptyName") << bytes("?") << bytes("") << false;

    QTest::newRow("star_emptyName") << bytes("*") << bytes("") << true;
    QTest::newRow("star_any") << bytes("*") << bytes("any name at all") << true;
    QTest::newRow("star_suffix") << bytes("bob*") << bytes("bobby") << true;
    QTest::newRow("star_suffixNone") << bytes("bob*") << bytes("bob") << true;
    QTest::newRow("star_both") << bytes("*bob*") << bytes("xxbobxx") << true;
    QTest::newRow("star_prefixOnlyAtEnd") << bytes("*bob") << bytes("bobx") << false;
    QTest::newRow("star_backtrack") << bytes("*ab") << bytes("aab") << true;
    QTest::newRow("star_backtrackTwice") << bytes("a*b*c") << bytes("axbxbyc") << true;
    QTest::newRow("star_lastMissing") << bytes("a*b*c") << bytes("axbxby") << false;
    QTest::newRow("star_double") << bytes("**") << bytes("") << true;
    QTest::newRow("star_needsTwo") << bytes("a*a") << bytes("a") << false;
    QTest::newRow("star_overlap") << bytes("*abab") << bytes("abababab") << true;

    QTest::newRow("hash_digit") << bytes("#*") << bytes("1abc") << true;
    QTest::newRow("hash_letter") << bytes("#*") << bytes("a1") << false;
    QTest::newRow("hash_zeroNine") << bytes("##") << bytes("09") << true;
    QTest::newRow("hash_slashColon") << bytes("#") << bytes("/") << false;
    QTest::newRow("hash_colon") << bytes("#") << bytes(":") << false;
    QTest::newRow("hash_emptyName") << bytes("#") << bytes("") << false;

    QTest::newRow("list_member") << bytes("[abc]") << bytes("b") << true;
    QTest::newRow("list_nonMember") << bytes("[abc]") << bytes("d") << false;
    QTest::newRow("list_oneCharOnly") << bytes("[abc]") << bytes("ab") << false;
    QTest::newRow("range_low") << bytes("[b-d]") << bytes("b") << true;
    QTest::newRow("range_high") << bytes("[b-d]") << bytes("d") << true;
    QTest::newRow("range_below") << bytes("[b-d]") << bytes("a") << false;
    QTest::newRow("range_above") << bytes("[b-d]") << bytes("e") << false;
    QTest::newRow("range_single") << bytes("[a-a]") << bytes("a") << true;
    QTest::newRow("range_thenStar") << bytes("[a-c]*") << bytes("cat") << true;
    QTest::newRow("range_highBytes") << bytes("[\xe0-\xfe]") << bytes("\xe9") << true;
    QTest::newRow("range_highBytesBelow") << bytes("[\xe0-\xfe]") << bytes("\xdf") << false;
    QTest::newRow("range_twoInList") << bytes("[a-c0-2]") << bytes("1") << true;
    QTest::newRow("range_hyphenStarts") << bytes("[--/]") << bytes(".") << true;
    QTest::newRow("range_thenHyphen") << bytes("[a-c-e]") << bytes("-") << true;
    QTest::newRow("range_thenHyphenLetter") << bytes("[a-c-e]") << bytes("e") << true;
    QTest::newRow("range_thenHyphenGap") << bytes("[a-c-e]") << bytes("d") << false;

    QTest::newRow("negated_out") << bytes("[!a-m]*") << bytes("zed") << true;
    QTest::newRow("negated_in") << bytes("[!a-m]*") << bytes("bob") << false;
    QTest::newRow("negated_digit") << bytes("[!a-m]*") << bytes("1x") << true;
    QTest::newRow("negated_emptyName") << bytes("[!a-m]") << bytes("") << false;
    QTest::newRow("negated_highByte") << bytes("[!a]") << bytes("\xff") << true;

    QTest::newRow("hyphen_alone") << bytes("[-]") << bytes("-") << true;
    QTest::newRow("hyphen_first") << bytes("[-a]") << bytes("-") << true;
    QTest::newRow("hyphen_firstOther") << bytes("[-a]") << bytes("a") << true;
    QTest::newRow("hyphen_firstNotRange") << bytes("[-a]") << bytes(",") << false;
    QTest::newRow("hyphen_last") << bytes("[a-]") << bytes("-") << true;
    QTest::newRow("hyphen_lastNotRange") << bytes("[a-]") << bytes("b") << false;
    QTest::newRow("hyphen_afterBang") << bytes("[!-]") << bytes("-") << false;
    QTest::newRow("hyphen_afterBangOther") << bytes("[!-]") << bytes("x") << true;
    QTest::newRow("hyphen_afterBangThenA") << bytes("[!-a]") << bytes("a") << false;
    QTest::newRow("hyphen_afterBangThenAOther") << bytes("[!-a]") << bytes("b") << true;

    QTest::newRow("bang_notFirst") << bytes("[a!]") << bytes("!") << true;
    QTest::newRow("bang_negatedBang") << bytes("[!!]") << bytes("!") << false;
    QTest::newRow("bang_negatedBangOther") << bytes("[!!]") << bytes("a") << true;
    QTest::newRow("bang_outside") << bytes("!") << bytes("!") << true;
    QTest::newRow("bang_negatedEmptyAny") << bytes("[!]") << bytes("x") << true;
    QTest::newRow("bang_negatedEmptyNeedsOne") << bytes("[!]") << bytes("") << false;

    QTest::newRow("inside_star") << bytes("[*]") << bytes("*") << true;
    QTest::newRow("inside_starNotAny") << bytes("[*]") << bytes("a") << false;
    QTest::newRow("inside_open") << bytes("[[]") << bytes("[") << true;
    QTest::newRow("inside_question") << bytes("[?]") << bytes("?") << true;
    QTest::newRow("inside_questionNotAny") << bytes("[?]") << bytes("a") << false;
    QTest::newRow("inside_hash") << bytes("[#]") << bytes("#") << true;
    QTest::newRow("inside_hashNotDigit") << bytes("[#]") << bytes("1") << false;

    QTest::newRow("close_outside") << bytes("]") << bytes("]") << true;
    QTest::newRow("close_afterText") << bytes("a]") << bytes("a]") << true;
    QTest::newRow("close_afterList") << bytes("[a]]") << bytes("a]") << true;
    QTest::newRow("close_hyphenBefore") << bytes("[a-]]") << bytes("-]") << true;

    QTest::newRow("emptyList_emptyName") << bytes("[]") << bytes("") << true;
    QTest::newRow("emptyList_consumesNothing") << bytes("a[]b") << bytes("ab") << true;
    QTest::newRow("emptyList_notAnyChar") << bytes("a[]b") << bytes("axb") << false;
    QTest::newRow("emptyList_oneChar") << bytes("[]") << bytes("a") << false;
    QTest::newRow("emptyList_afterStar") << bytes("*[]") << bytes("abc") << true;
    QTest::newRow("emptyList_betweenStars") << bytes("*[]*[]x") << bytes("abx") << true;

    QTest::newRow("literal_highByte") << bytes("\xe9") << bytes("\xe9") << true;
    QTest::newRow("literal_noCaseFolding") << bytes("b") << bytes("B") << false;
}

void tst_PlayerMatcher::wildcard()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, name);
    QFETCH(bool, matches);

    QVERIFY(isValidWildcardPattern(pattern));
    QCOMPARE(WildcardMatch(name, pattern), matches);
    QCOMPARE(WildcardPattern(pattern).matches(name), matches);
}

void tst_PlayerMatcher::invalidPattern_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("open_alone") << bytes("[") << bytes("[");
    QTest::newRow("open_list") << bytes("[abc") << bytes("a");
    QTest::newRow("open_negated") << bytes("[!") << bytes("x");
    QTest::newRow("open_range") << bytes("a[b-") << bytes("ab");
    QTest::newRow("open_afterValidList") << bytes("[a]*[") << bytes("a[");
    QTest::newRow("reversed") << bytes("[z-a]") << bytes("m");
    QTest::newRow("reversed_negated") << bytes("[!z-a]") << bytes("m");
    QTest::newRow("reversed_afterStar") << bytes("*[b-a]") << bytes("anything");
    QTest::newRow("reversed_byOneCode") << bytes("[b-a]") << bytes("a");
    QTest::newRow("reversed_onlyOnceLowered") << bytes("[Z-a]") << bytes("z");
}

void tst_PlayerMatcher::invalidPattern()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, name);

    QVERIFY(!isValidWildcardPattern(pattern));
    const QByteArray lowered = LowerLatin1(pattern);
    QVERIFY(!WildcardPattern(lowered).isValid());
    QVERIFY(!WildcardMatch(name, lowered));
    // A slot holding it finds nobody, not everybody.
    const PlayerMatcher matcher({ slot(true, true, pattern), slot(false, false, {}) });
    QVERIFY(!matcher.matches(name));
    QVERIFY(!matcher.matches(QByteArray()));
}

void tst_PlayerMatcher::randomPatternsAgreeWithReference()
{
    // Fixed seed: a failure prints the pair and stays reproducible.
    QRandomGenerator random(20261206);
    const char patternChars[] = "ab1**?#";
    const char nameChars[] = "ab1";
    for (int round = 0; round < 20000; ++round) {
        QByteArray pattern;
        const int patternLength = random.bounded(8);
        for (int i = 0; i < patternLength; ++i)
            pattern.append(patternChars[random.bounded(int(sizeof patternChars) - 1)]);
        QByteArray name;
        const int nameLength = random.bounded(9);
        for (int i = 0; i < nameLength; ++i)
            name.append(nameChars[random.bounded(int(sizeof nameChars) - 1)]);
        QVERIFY2(WildcardMatch(name, pattern) == referenceMatch(name, pattern),
            QByteArray(QByteArray("pattern '") + pattern + "' name '" + name + "'").constData());
    }
}

void tst_PlayerMatcher::hostilePatternCompletes_data()
{
    QTest::addColumn<QByteArray>("pattern");

    QTest::newRow("stars_thenMissing") << QByteArray(30, '*') + 'b';
    QByteArray interleaved;
    for (int i = 0; i < 30; ++i)
        interleaved += "*a";
    QTest::newRow("starsBetweenLetters_thenMissing") << interleaved + "*b";
    QByteArray lists;
    for (int i = 0; i < 30; ++i)
        lists += "*[a-c]";
    QTest::newRow("starsBetweenLists_thenMissing") << lists + "*[!a]";
}

void tst_PlayerMatcher::hostilePatternCompletes()
{
    QFETCH(QByteArray, pattern);

    // A backtracking matcher needs about 2000^30 steps here; the test's time-out catches one.
    const QByteArray name(2000, 'a');
    QVERIFY(!WildcardMatch(name, pattern));
    const PlayerMatcher matcher({ slot(true, true, pattern), slot(false, false, {}) });
    QVERIFY(!matcher.matches(name));
}

void tst_PlayerMatcher::slotRules_data()
{
    QTest::addColumn<NameSlot>("first");
    QTest::addColumn<NameSlot>("second");
    QTest::addColumn<QByteArray>("player");
    QTest::addColumn<bool>("matches");

    const NameSlot off = slot(false, false, {});
    const NameSlot bob = slot(true, false, "bob");
    QTest::newRow("substring_case") << bob << off << bytes("Bob") << true;
    QTest::newRow("substring_middle") << bob << off << bytes("xXbobXx") << true;
    QTest::newRow("substring_start") << bob << off << bytes("BOBBY") << true;
    QTest::newRow("substring_end") << bob << off << bytes("jimbob") << true;
    QTest::newRow("substring_gap") << bob << off << bytes("bo b") << false;
    QTest::newRow("substring_hyphens") << bob << off << bytes("b-o-b") << false;
    QTest::newRow("substring_slotUpperCase") << slot(true, false, "BoB") << off << bytes("xbobx") << true;
    QTest::newRow("substring_starIsPlain") << slot(true, false, "bo*") << off << bytes("bobby") << false;
    QTest::newRow("substring_starLiteral") << slot(true, false, "bo*") << off << bytes("xBO*x") << true;
    QTest::newRow("substring_bracketIsPlain") << slot(true, false, "[z-a]") << off << bytes("x[Z-A]") << true;
    QTest::newRow("substring_trailingBlank") << slot(true, false, "bob ") << off << bytes("jimbob") << false;
    QTest::newRow("substring_trailingBlankInside")
        << slot(true, false, "bob ") << off << bytes("bob x") << true;
    QTest::newRow("substring_latin1Capital")
        << slot(true, false, "\xc9ric") << off << bytes("\xe9RIC") << true;
    QTest::newRow("substring_thornSmall") << slot(true, false, "\xde") << off << bytes("\xfe") << true;
    QTest::newRow("substring_timesNotDivide") << slot(true, false, "\xd7") << off << bytes("\xf7") << false;
    QTest::newRow("substring_sharpSNotY") << slot(true, false, "\xdf") << off << bytes("\xff") << false;

    const NameSlot bobPattern = slot(true, true, "bob");
    QTest::newRow("wildcard_case") << bobPattern << off << bytes("Bob") << true;
    QTest::newRow("wildcard_upper") << bobPattern << off << bytes("BOB") << true;
    QTest::newRow("wildcard_wholeName") << bobPattern << off << bytes("bobby") << false;
    QTest::newRow("wildcard_notInside") << bobPattern << off << bytes("xXbobXx") << false;
    QTest::newRow("wildcard_inside") << slot(true, true, "*bob*") << off << bytes("xXbobXx") << true;
    QTest::newRow("wildcard_question") << slot(true, true, "a?c") << off << bytes("A1C") << true;
    QTest::newRow("wildcard_upperRange") << slot(true, true, "[A-C]*") << off << bytes("carl") << true;
    QTest::newRow("wildcard_upperRangeUpperName")
        << slot(true, true, "[A-C]*") << off << bytes("Alice") << true;
    QTest::newRow("wildcard_upperRangeOutside") << slot(true, true, "[A-C]*") << off << bytes("Dan") << false;
    QTest::newRow("wildcard_negatedUpperName") << slot(true, true, "[!a-m]*") << off << bytes("Bob") << false;
    QTest::newRow("wildcard_starEmptyName") << slot(true, true, "*") << off << bytes("") << true;

    QTest::newRow("second_matches") << slot(true, false, "alice") << bob << bytes("Bob") << true;
    QTest::newRow("second_disabledIgnored")
        << slot(true, false, "alice") << slot(false, false, "bob") << bytes("Bob") << false;
    QTest::newRow("second_disabledWildcardIgnored")
        << slot(true, false, "alice") << slot(false, true, "*") << bytes("Bob") << false;
    QTest::newRow("second_afterInvalidFirst") << slot(true, true, "[z-a]") << bob << bytes("Bob") << true;
    QTest::newRow("first_disabled") << slot(false, false, "bob") << off << bytes("Bob") << false;
    QTest::newRow("empty_substringNamesNobody") << slot(true, false, "") << off << bytes("Bob") << false;
    QTest::newRow("empty_patternNamesNobody") << slot(true, true, "") << off << bytes("") << false;
}

void tst_PlayerMatcher::slotRules()
{
    QFETCH(NameSlot, first);
    QFETCH(NameSlot, second);
    QFETCH(QByteArray, player);
    QFETCH(bool, matches);

    const PlayerMatcher matcher({ first, second });
    QCOMPARE(matcher.matches(player), matches);
}

void tst_PlayerMatcher::rowCells()
{
    const PlayerMatcher matcher({ slot(true, false, "b"), slot(false, false, {}) });
    const QByteArray reply = playersReply({ { "B\xf6"
                                              "b\xff",
        -2, 3725.9f } });

    const QList<ResultRow> rows = AddMatchingRows(reply, QStringLiteral("10.0.0.1"), 27015, 42, matcher);
    QCOMPARE(rows.size(), 1);
    const ResultRow &row = rows.first();
    QCOMPARE(row.cell(ResultRow::ServerIp), QStringLiteral("10.0.0.1"));
    QCOMPARE(row.cell(ResultRow::Port), QStringLiteral("27015"));
    QCOMPARE(row.cell(ResultRow::Ping), QStringLiteral("42"));
    QCOMPARE(row.cell(ResultRow::PlayerName), QStringLiteral(u"B\u00f6b\u00ff"));
    QCOMPARE(row.cell(ResultRow::Frags), QStringLiteral("-2"));
    QCOMPARE(row.cell(ResultRow::Time), QStringLiteral("01:02:05"));

    const QList<ResultRow> later = AddMatchingRows(
        playersReply({ { "bob", 300, 360000.f } }), QStringLiteral("192.0.2.7"), 65535, 999, matcher);
    QCOMPARE(later.size(), 1);
    QCOMPARE(later.first().cell(ResultRow::Port), QStringLiteral("65535"));
    QCOMPARE(later.first().cell(ResultRow::Ping), QStringLiteral("999"));
    QCOMPARE(later.first().cell(ResultRow::Frags), QStringLiteral("300"));
    QCOMPARE(later.first().cell(ResultRow::Time), QStringLiteral("100:00:00"));
}

void tst_PlayerMatcher::rowsInReplyOrderOnlyMatching()
{
    const PlayerMatcher matcher({ slot(true, false, "bob"), slot(true, true, "a*") });
    const QByteArray reply = playersReply(
        { { "Alice", 1, 1 }, { "Carl", 2, 2 }, { "BOBBY", 3, 3 }, { "", 4, 4 }, { "ann", 5, 5 } });

    const QList<ResultRow> rows = AddMatchingRows(reply, QStringLiteral("127.0.0.1"), 27015, 5, matcher);
    QStringList names;
    for (const ResultRow &row : rows)
        names << row.cell(ResultRow::PlayerName);
    QCOMPARE(names, QStringList({ QStringLiteral("Alice"), QStringLiteral("BOBBY"), QStringLiteral("ann") }));
}

void tst_PlayerMatcher::oneRowWhenBothSlotsMatch()
{
    const PlayerMatcher matcher({ slot(true, false, "bob"), slot(true, true, "*bob*") });
    const QList<ResultRow> rows = AddMatchingRows(
        playersReply({ { "Bobby", 0, 0 } }), QStringLiteral("127.0.0.1"), 27015, 1, matcher);
    QCOMPARE(rows.size(), 1);
}

void tst_PlayerMatcher::cutReplyGivesCompleteRecordsOnly()
{
    const PlayerMatcher matcher({ slot(true, true, "*"), slot(false, false, {}) });
    QByteArray reply = playersReply({ { "one", 1, 1 }, { "two", 2, 2 } }, 3);
    reply.chop(3); // inside the second record's time

    const QList<ResultRow> rows = AddMatchingRows(reply, QStringLiteral("127.0.0.1"), 27015, 1, matcher);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().cell(ResultRow::PlayerName), QStringLiteral("one"));
}

void tst_PlayerMatcher::emptyOrForeignReplyGivesNoRows()
{
    const PlayerMatcher matcher({ slot(true, true, "*"), slot(false, false, {}) });
    QVERIFY(AddMatchingRows(QByteArray(), QStringLiteral("127.0.0.1"), 1, 1, matcher).isEmpty());
    QVERIFY(AddMatchingRows(QByteArray::fromHex("ffffffff44"), QStringLiteral("127.0.0.1"), 1, 1, matcher)
                .isEmpty());
    QVERIFY(AddMatchingRows(playersReply({}), QStringLiteral("127.0.0.1"), 1, 1, matcher).isEmpty());
}

QTEST_APPLESS_MAIN(tst_PlayerMatcher)
#include "tst_playermatcher.moc"
