#include "FakeServers.h"
#include "search/PlayerMatcher.h"

#include <QRandomGenerator>
#include <QTest>
#include <vector>

using namespace rollcall::search;
using rollcall::testsupport::EncodePlayersReply;

namespace {

NameSlot slot(bool enabled, bool wildcards, const QByteArray &name)
{
    return NameSlot { enabled, wildcards, name };
}

const NameSlot Off = slot(false, false, {});

// A slow, obviously right matcher for patterns without brackets, to check the fast one against:
// whether name[i..] matches pattern[p..], for every i and p, from the ends backwards.
bool referenceMatch(const QByteArray &name, const QByteArray &pattern)
{
    const qsizetype n = name.size();
    const qsizetype m = pattern.size();
    std::vector<std::vector<bool>> rest(size_t(n + 2), std::vector<bool>(size_t(m + 1), false));
    rest[size_t(n)][size_t(m)] = true;
    for (qsizetype i = n; i >= 0; --i) {
        for (qsizetype p = m - 1; p >= 0; --p) {
            const char c = pattern[p];
            const bool one
                = i < n && (c == '?' || (c == '#' ? name[i] >= '0' && name[i] <= '9' : c == name[i]));
            const auto &here = rest[size_t(i)];
            const auto &next = rest[size_t(i + 1)];
            rest[size_t(i)][size_t(p)]
                = c == '*' ? here[size_t(p + 1)] || (i < n && next[size_t(p)]) : one && next[size_t(p + 1)];
        }
    }
    return rest[0][0];
}

} // namespace

class tst_PlayerMatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lowerLatin1();
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
    void rowsOfAReply_data();
    void rowsOfAReply();
};

void tst_PlayerMatcher::lowerLatin1()
{
    // The edges of both capital ranges and the two signs inside and after the accented ones.
    QCOMPARE(LowerLatin1("\x40\x41\x5a\x5b\x7f\xbf\xc0\xd6\xd7\xd8\xde\xdf\xf7\xff"),
        QByteArray("\x40\x61\x7a\x5b\x7f\xbf\xe0\xf6\xd7\xf8\xfe\xdf\xf7\xff"));
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
    // '?', '*', '#' and literals are checked against the reference below; these are the lists.
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("matches");

    const auto row = [](const char *pattern, const char *name, bool matches) {
        QTest::addRow("'%s' '%s'", pattern, name) << QByteArray(pattern) << QByteArray(name) << matches;
    };
    row("?", "\xff", true);
    row("a*b*c", "axbxby", false);
    row("b", "B", false); // no case folding at this level
    row("[abc]", "b", true);
    row("[abc]", "d", false);
    row("[abc]", "ab", false);
    row("[b-d]", "b", true);
    row("[b-d]", "d", true);
    row("[b-d]", "a", false);
    row("[b-d]", "e", false);
    row("[a-a]", "a", true);
    row("[\xe0-\xfe]", "\xe9", true);
    row("[\xe0-\xfe]", "\xdf", false);
    row("[a-c0-2]", "1", true);
    row("[--/]", ".", true);
    row("[a-c-e]", "-", true);
    row("[!a-m]*", "bob", false);
    row("[!a]", "\xff", true);
    row("[-a]", "a", true);
    row("[a-]", "-", true);
    row("[a-]", "b", false);
    row("[!-]", "-", false);
    row("[!-a]", "a", false);
    row("[!-a]", "0", true);
    row("[!!]", "!", false);
    row("[!]", "x", true);
    row("[!]", "", false);
    row("[*]", "a", false);
    row("[#]", "1", false);
    row("[[]", "[", true);
    row("]", "]", true);
    row("[a-]]", "-]", true);
    row("a[]b", "ab", true);
    row("a[]b", "axb", false);
    row("*[]*[]x", "abx", true);
}

void tst_PlayerMatcher::wildcard()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, name);
    QFETCH(bool, matches);

    QVERIFY(isValidWildcardPattern(pattern));
    QCOMPARE(WildcardMatch(name, pattern), matches);
}

void tst_PlayerMatcher::invalidPattern_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("open_alone") << QByteArray("[") << QByteArray("[");
    QTest::newRow("open_negated") << QByteArray("[!") << QByteArray("x");
    QTest::newRow("open_range") << QByteArray("a[b-") << QByteArray("ab");
    QTest::newRow("open_afterValidList") << QByteArray("[a]*[") << QByteArray("a[");
    QTest::newRow("reversed_afterStar") << QByteArray("*[b-a]") << QByteArray("anything");
    QTest::newRow("reversed_onlyOnceLowered") << QByteArray("[Z-a]") << QByteArray("z");
}

void tst_PlayerMatcher::invalidPattern()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, name);

    QVERIFY(!isValidWildcardPattern(pattern));
    QVERIFY(!WildcardMatch(name, LowerLatin1(pattern)));
    // A slot holding it finds nobody, not everybody.
    const PlayerMatcher matcher({ slot(true, true, pattern), Off });
    QVERIFY(!matcher.matches(name));
    QVERIFY(!matcher.matches(QByteArray()));
}

void tst_PlayerMatcher::randomPatternsAgreeWithReference()
{
    // Fixed seed: a failure prints the pair and stays reproducible. '/' and ':' flank the digits.
    QRandomGenerator random(20261206);
    const char patternChars[] = "ab1**?#\xff";
    const char nameChars[] = "ab10/:\xff";
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
    QTest::newRow("starsBetweenLetters_thenMissing") << QByteArray("*a").repeated(30) + "*b";
    QTest::newRow("starsBetweenLists_thenMissing") << QByteArray("*[a-c]").repeated(30) + "*[!a]";
}

void tst_PlayerMatcher::hostilePatternCompletes()
{
    QFETCH(QByteArray, pattern);

    // A backtracking matcher needs about 2000^30 steps here; the test's time-out catches one.
    const QByteArray name(2000, 'a');
    QVERIFY(!WildcardMatch(name, pattern));
    const PlayerMatcher matcher({ slot(true, true, pattern), Off });
    QVERIFY(!matcher.matches(name));
}

void tst_PlayerMatcher::slotRules_data()
{
    QTest::addColumn<NameSlot>("first");
    QTest::addColumn<NameSlot>("second");
    QTest::addColumn<QByteArray>("player");
    QTest::addColumn<bool>("matches");

    const auto row
        = [](const char *tag, const NameSlot &first, const NameSlot &second, const char *player,
              bool matches) { QTest::newRow(tag) << first << second << QByteArray(player) << matches; };
    const NameSlot bob = slot(true, false, "bob");
    row("substring_anyCase", bob, Off, "xXBobXx", true);
    row("substring_slotUpperCase", slot(true, false, "BoB"), Off, "xbobx", true);
    row("substring_starIsPlain", slot(true, false, "bo*"), Off, "bobby", false);
    row("substring_bracketIsPlain", slot(true, false, "[z-a]"), Off, "x[Z-A]", true);
    row("substring_trailingBlank", slot(true, false, "bob "), Off, "jimbob", false);
    row("substring_latin1Capital", slot(true, false, "\xc9ric"), Off, "\xe9RIC", true);

    row("wildcard_anyCase", slot(true, true, "bob"), Off, "BoB", true);
    row("wildcard_wholeName", slot(true, true, "bob"), Off, "bobby", false);
    row("wildcard_upperRange", slot(true, true, "[A-C]*"), Off, "carl", true);
    row("wildcard_negatedUpperName", slot(true, true, "[!a-m]*"), Off, "Bob", false);
    row("wildcard_starEmptyName", slot(true, true, "*"), Off, "", true);

    row("second_matches", slot(true, false, "alice"), bob, "Bob", true);
    row("second_disabledIgnored", slot(true, false, "alice"), slot(false, false, "bob"), "Bob", false);
    row("second_disabledWildcardIgnored", slot(true, false, "alice"), slot(false, true, "*"), "Bob", false);
    row("second_afterInvalidFirst", slot(true, true, "[z-a]"), bob, "Bob", true);
    row("empty_substringNamesNobody", slot(true, false, ""), Off, "Bob", false);
    row("empty_patternNamesNobody", slot(true, true, ""), Off, "", false);
}

void tst_PlayerMatcher::slotRules()
{
    QFETCH(NameSlot, first);
    QFETCH(NameSlot, second);
    QFETCH(QByteArray, player);
    QFETCH(bool, matches);

    QCOMPARE(PlayerMatcher({ first, second }).matches(player), matches);
}

void tst_PlayerMatcher::rowCells()
{
    const PlayerMatcher matcher({ slot(true, false, "b"), Off });
    const QList<ResultRow> rows = AddMatchingRows(EncodePlayersReply({ { "B\xf6"
                                                                         "b\xff",
                                                      -2, 3725.9f } }),
        QStringLiteral("10.0.0.1"), 27015, 42, matcher);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().Cells,
        (std::array<QString, ResultRow::ColumnCount> { QStringLiteral("10.0.0.1"), QStringLiteral("27015"),
            QStringLiteral("42"), QStringLiteral(u"B\u00f6b\u00ff"), QStringLiteral("-2"),
            QStringLiteral("01:02:05") }));
    QCOMPARE(rows.first().Seconds, std::optional<qint32>(3725));
}

void tst_PlayerMatcher::rowsOfAReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("inReplyOrder_onlyMatching") << EncodePlayersReply(
        { { "Alice", 1, 1 }, { "Carl", 2, 2 }, { "BOBBY", 3, 3 }, { "", 4, 4 }, { "ann", 5, 5 } })
                                               << QStringList { "Alice", "BOBBY", "ann" };
    QTest::newRow("bothSlotsMatch_oneRow")
        << EncodePlayersReply({ { "aBob", 0, 0 } }) << QStringList { "aBob" };
    QTest::newRow("emptyDatagram") << QByteArray() << QStringList {};
    QTest::newRow("headerOnly") << QByteArray::fromHex("ffffffff44") << QStringList {};
    QTest::newRow("noPlayers") << EncodePlayersReply({}) << QStringList {};
}

void tst_PlayerMatcher::rowsOfAReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, names);

    const PlayerMatcher matcher({ slot(true, false, "bob"), slot(true, true, "a*") });
    QStringList found;
    for (const ResultRow &row : AddMatchingRows(reply, QStringLiteral("127.0.0.1"), 27015, 5, matcher))
        found << row.cell(ResultRow::PlayerName);
    QCOMPARE(found, names);
}

QTEST_APPLESS_MAIN(tst_PlayerMatcher)
#include "tst_playermatcher.moc"
