#include "search/PlayerMatcher.h"
#include "search/UnicodeMatcher.h"

#include <QRandomGenerator>
#include <QTest>

using namespace rollcall::search;

namespace {

QString text(std::u32string_view codes)
{
    QString result;
    for (char32_t code : codes)
        result += QStringView(QChar::fromUcs4(code));
    return result;
}

NameSlot slot(bool enabled, bool wildcards, const QString &name)
{
    return NameSlot { enabled, wildcards, name.toUtf8() };
}

const NameSlot Off = slot(false, false, {});

} // namespace

class tst_UnicodeMatcher : public QObject
{
    Q_OBJECT

private slots:
    void fold_data();
    void fold();
    void slotText_data();
    void slotText();
    void substring_data();
    void substring();
    void wildcard_data();
    void wildcard();
    void validity_data();
    void validity();
    void asciiAgreesWithLegacyWildcards();
    void hostilePatternCompletes();
};

void tst_UnicodeMatcher::fold_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("folded");

    QTest::newRow("ascii") << QStringLiteral("AbC 09_[]") << QStringLiteral("abc 09_[]");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("full_sharpS") << QStringLiteral("Straße") << QStringLiteral("strasse");
    QTest::newRow("full_capitalSharpS") << QStringLiteral("ẞ") << QStringLiteral("ss");
    QTest::newRow("full_ligatureFfi") << QStringLiteral("ﬃ") << QStringLiteral("ffi");
    QTest::newRow("full_armenianLigature") << QStringLiteral("ﬓև") << QStringLiteral("մնեւ");
    QTest::newRow("full_apostropheN") << QStringLiteral("ŉ") << QStringLiteral("ʼn");
    QTest::newRow("full_greekIotaSubscript") << QStringLiteral("ᾼ") << QStringLiteral("αι");
    QTest::newRow("full_jCaron") << QStringLiteral("ǰ") << QStringLiteral("ǰ");
    // ΐ folds to ι + U+0308 + U+0301, which composes back to ΐ: both spellings meet there.
    QTest::newRow("recomposed_iotaDialytikaTonos") << QStringLiteral("ΐ") << QStringLiteral("ΐ");
    QTest::newRow("recomposed_capitalDecomposed") << QStringLiteral("Ϊ\u0301") << QStringLiteral("ΐ");
    QTest::newRow("dottedCapitalI") << QStringLiteral("İ") << QStringLiteral("i\u0307");
    QTest::newRow("noTurkish_I") << QStringLiteral("I") << QStringLiteral("i");
    QTest::newRow("noTurkish_dotlessI") << QStringLiteral("ı") << QStringLiteral("ı");
    QTest::newRow("sigma_final") << QStringLiteral("ΣΑΣ σας") << QStringLiteral("σασ σασ");
    QTest::newRow("nfc_decomposedAccent") << QStringLiteral("Jose\u0301") << QStringLiteral("josé");
    QTest::newRow("nfc_reorderedMarks") << QStringLiteral("q\u0307\u0323") << QStringLiteral("q\u0323\u0307");
    QTest::newRow("nfc_kelvinSign") << QStringLiteral("\u212A") << QStringLiteral("k");
    QTest::newRow("nfc_angstromSign") << QStringLiteral("\u212B") << QStringLiteral("å");
    QTest::newRow("cyrillic") << QStringLiteral("ИВАНГАЙ") << QStringLiteral("ивангай");
    QTest::newRow("fullwidth") << QStringLiteral("ＡＢＣ") << QStringLiteral("ａｂｃ");
    QTest::newRow("cherokeeFoldsToCapitals") << QStringLiteral("ꭰ") << QStringLiteral("Ꭰ");
    QTest::newRow("beyondBmp_deseret") << QStringLiteral("𐐀") << QStringLiteral("𐐨");
    QTest::newRow("emojiUnchanged") << QStringLiteral("😀👍🏽") << QStringLiteral("😀👍🏽");
    QTest::newRow("loneSurrogate") << QString(QChar(0xD800)) + u'A' << QStringLiteral("\uFFFDa");
}

void tst_UnicodeMatcher::fold()
{
    QFETCH(QString, input);
    QFETCH(QString, folded);
    QCOMPARE(text(FoldForMatch(input)), folded);
}

void tst_UnicodeMatcher::slotText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ascii") << QByteArray("Bob") << QStringLiteral("Bob");
    QTest::newRow("utf8") << QStringLiteral("Иван").toUtf8() << QStringLiteral("Иван");
    QTest::newRow("utf8_accent") << QByteArray::fromHex("43C3A9") << QStringLiteral("Cé");
    QTest::newRow("latin1_accent") << QByteArray::fromHex("43E9") << QStringLiteral("Cé");
    QTest::newRow("latin1_partlyValid") << QByteArray::fromHex("C3A9FF") << QStringLiteral("Ã©ÿ");
}

void tst_UnicodeMatcher::slotText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(NameSlotText(bytes), text);
}

void tst_UnicodeMatcher::substring_data()
{
    QTest::addColumn<NameSlot>("first");
    QTest::addColumn<NameSlot>("second");
    QTest::addColumn<QString>("player");
    QTest::addColumn<bool>("matches");

    const auto row = [](const char *tag, const QString &name, const QString &player, bool matches) {
        QTest::newRow(tag) << slot(true, false, name) << Off << player << matches;
    };
    row("sharpS_slotSpelledOut", QStringLiteral("STRASSE"), QStringLiteral("Straße"), true);
    row("sharpS_nameSpelledOut", QStringLiteral("straße"), QStringLiteral("[x]STRASSE"), true);
    row("sharpS_capital", QStringLiteral("ẞ"), QStringLiteral("Fuss"), true);
    row("sharpS_half", QStringLiteral("s"), QStringLiteral("ß"), true);
    row("sigma_upperFindsFinal", QStringLiteral("ΣΑΣ"), QStringLiteral("σας"), true);
    row("sigma_finalFindsUpper", QStringLiteral("ς"), QStringLiteral("ΟΔΥΣΣΕΥΣ"), true);
    row("dottedI_findsDecomposed", QStringLiteral("İstanbul"), QStringLiteral("i\u0307stanbul"), true);
    row("dottedI_containsPlainI", QStringLiteral("i"), QStringLiteral("İ"), true);
    row("dottedI_plainDoesNotFindDotless", QStringLiteral("I"), QStringLiteral("ı"), false);
    row("accent_precomposedFindsDecomposed", QStringLiteral("josé"), QStringLiteral("JOSE\u0301"), true);
    row("accent_decomposedFindsPrecomposed", QStringLiteral("e\u0301"), QStringLiteral("JOSÉ"), true);
    row("accent_baseLetterIsNotAccented", QStringLiteral("jose"), QStringLiteral("josé"), false);
    row("fullwidth_caseless", QStringLiteral("ａｂ"), QStringLiteral("ＡＢＣ"), true);
    row("fullwidth_notAscii", QStringLiteral("ab"), QStringLiteral("ＡＢＣ"), false);
    row("cyrillic_upperFindsLower", QStringLiteral("ИВАН"), QStringLiteral("иван"), true);
    row("cyrillic_lowerFindsUpper", QStringLiteral("иван"), QStringLiteral("ИВАНГАЙ"), true);
    row("cyrillic_notLatin", QStringLiteral("ivan"), QStringLiteral("иван"), false);
    row("emoji_inside", QStringLiteral("😀"), QStringLiteral("gg😀wp"), true);
    row("emoji_other", QStringLiteral("😀"), QStringLiteral("😁"), false);
    row("ligature_findsLetters", QStringLiteral("ﬁre"), QStringLiteral("FIREFOX"), true);
    row("greek_iotaSubscript", QStringLiteral("ᾳ"), QStringLiteral("ΑΙ"), true);
    row("replacementCharacter", QStringLiteral("\uFFFD"), QStringLiteral("a\uFFFDb"), true);

    QTest::newRow("latin1Slot") << NameSlot { true, false, QByteArray::fromHex("E9") } << Off
                                << QStringLiteral("CAFÉ") << true;
    QTest::newRow("slots_disabled") << slot(false, false, QStringLiteral("bob")) << Off
                                    << QStringLiteral("bob") << false;
    QTest::newRow("slots_emptyNamesNobody")
        << slot(true, false, QString()) << Off << QStringLiteral("bob") << false;
    QTest::newRow("slots_secondMatches")
        << slot(true, false, QStringLiteral("alice")) << slot(true, false, QStringLiteral("BOB"))
        << QStringLiteral("bob") << true;
    QTest::newRow("slots_invalidPatternSkipped")
        << slot(true, true, QStringLiteral("[b")) << slot(true, false, QStringLiteral("b"))
        << QStringLiteral("[b") << true;
}

void tst_UnicodeMatcher::substring()
{
    QFETCH(NameSlot, first);
    QFETCH(NameSlot, second);
    QFETCH(QString, player);
    QFETCH(bool, matches);
    QCOMPARE(UnicodeNameMatcher({ first, second }).matches(player), matches);
}

void tst_UnicodeMatcher::wildcard_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");

    const auto row = [](const char *tag, const QString &pattern, const QString &name, bool matches) {
        QTest::newRow(tag) << pattern << name << matches;
    };
    // Folding first changes lengths: ß is two code points by the time '?' counts.
    row("fold_questionIsNotSharpS", QStringLiteral("stra?e"), QStringLiteral("Straße"), false);
    row("fold_twoQuestionsAreSharpS", QStringLiteral("stra??e"), QStringLiteral("Straße"), true);
    row("fold_patternSharpSIsTwo", QStringLiteral("STRAß?"), QStringLiteral("strasse"), true);
    row("fold_starOverSharpS", QStringLiteral("*SS*"), QStringLiteral("Straße"), true);
    row("fold_dottedIIsTwo", QStringLiteral("i?stanbul"), QStringLiteral("İstanbul"), true);
    row("fold_iotaSubscriptIsTwo", QStringLiteral("??"), QStringLiteral("ᾼ"), true);
    row("fold_ligatureInPattern", QStringLiteral("*ﬁ*"), QStringLiteral("FIRE"), true);
    // Inside a list each folded code point is a member: "[ß]" is "[ss]" and takes one 's'.
    row("fold_listOfSharpSTakesOneS", QStringLiteral("[ß]"), QStringLiteral("s"), true);
    row("fold_listOfSharpSNotSharpS", QStringLiteral("[ß]"), QStringLiteral("ß"), false);
    row("codePoint_precomposed", QStringLiteral("?"), QStringLiteral("é"), true);
    row("codePoint_decomposedComposes", QStringLiteral("?"), QStringLiteral("e\u0301"), true);
    row("codePoint_beyondBmp", QStringLiteral("?"), QStringLiteral("😀"), true);
    row("codePoint_emojiPrefix", QStringLiteral("😀*"), QStringLiteral("😀 gg"), true);
    row("list_cyrillicRange", QStringLiteral("[а-я]*"), QStringLiteral("Иван"), true);
    row("list_cyrillicRangeNegated", QStringLiteral("[!а-я]*"), QStringLiteral("Иван"), false);
    row("list_rangeOfCapitalsFolds", QStringLiteral("[А-Я]ван"), QStringLiteral("иван"), true);
    row("list_empty", QStringLiteral("[]x"), QStringLiteral("X"), true);
    row("list_negatedEmptyIsAny", QStringLiteral("[!]"), QStringLiteral("Ж"), true);
    row("list_trailingHyphen", QStringLiteral("[a-]"), QStringLiteral("-"), true);
    row("digit_ascii", QStringLiteral("#x"), QStringLiteral("1X"), true);
    row("digit_notArabicIndic", QStringLiteral("#"), QStringLiteral("\u0663"), false);
    row("digit_notFullwidth", QStringLiteral("#"), QStringLiteral("１"), false);
    row("whole_notPrefix", QStringLiteral("иван"), QStringLiteral("ИВАНГАЙ"), false);
    row("whole_star", QStringLiteral("*"), QString(), true);
    row("invalid_unclosed", QStringLiteral("[a"), QStringLiteral("[a"), false);
}

void tst_UnicodeMatcher::wildcard()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(UnicodeWildcardPattern(pattern).matches(name), matches);
    // The matcher folds the slot and the name the same way as the pattern alone does.
    const bool usable = !pattern.isEmpty() && UnicodeWildcardPattern(pattern).isValid();
    QCOMPARE(UnicodeNameMatcher({ slot(true, true, pattern), Off }).matches(name), matches && usable);
}

void tst_UnicodeMatcher::validity_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("valid");

    QTest::newRow("plain") << QStringLiteral("Иван") << true;
    QTest::newRow("range") << QStringLiteral("[а-я]") << true;
    QTest::newRow("unclosed") << QStringLiteral("a[bc") << false;
    QTest::newRow("unclosedNegated") << QStringLiteral("[!") << false;
    QTest::newRow("reversed") << QStringLiteral("[я-а]") << false;
    // Judged after folding, as the legacy pattern is judged after lower-casing.
    QTest::newRow("reversedOnceFolded_latin") << QStringLiteral("[Z-a]") << false;
    QTest::newRow("reversedOnceFolded_cyrillic") << QStringLiteral("[Я-а]") << false;
    QTest::newRow("orderedOnceFolded") << QStringLiteral("[a-Z]") << true;
}

void tst_UnicodeMatcher::validity()
{
    QFETCH(QString, pattern);
    QFETCH(bool, valid);
    QCOMPARE(UnicodeWildcardPattern(pattern).isValid(), valid);
}

// On ASCII the Steam-mode pattern must be the legacy one exactly: same operators, same validity,
// same answers, letter case included.
void tst_UnicodeMatcher::asciiAgreesWithLegacyWildcards()
{
    QRandomGenerator random(20261207);
    const char patternChars[] = "aAbZ1*?#[]!-";
    const char nameChars[] = "aAbBz1-]";
    for (int round = 0; round < 20000; ++round) {
        QByteArray pattern, name;
        for (int i = random.bounded(9); i > 0; --i)
            pattern.append(patternChars[random.bounded(int(sizeof patternChars) - 1)]);
        for (int i = random.bounded(7); i > 0; --i)
            name.append(nameChars[random.bounded(int(sizeof nameChars) - 1)]);
        const UnicodeWildcardPattern steam(QString::fromLatin1(pattern));
        const WildcardPattern legacy(LowerLatin1(pattern));
        const QByteArray pair = "pattern '" + pattern + "' name '" + name + "'";
        QVERIFY2(steam.isValid() == legacy.isValid(), pair.constData());
        QVERIFY2(
            steam.matches(QString::fromLatin1(name)) == legacy.matches(LowerLatin1(name)), pair.constData());
    }
}

void tst_UnicodeMatcher::hostilePatternCompletes()
{
    // A backtracking matcher needs about 2000^30 steps here; the test's time-out catches one.
    const QString name(2000, u'ж');
    const QStringList patterns
        = { QStringLiteral("*Ж").repeated(30) + u"*ß", QStringLiteral("*[а-я]").repeated(30) + u"*[!ж]" };
    for (const QString &pattern : patterns) {
        QVERIFY(!UnicodeWildcardPattern(pattern).matches(name));
        QVERIFY(!UnicodeNameMatcher({ slot(true, true, pattern), Off }).matches(name));
    }
}

QTEST_APPLESS_MAIN(tst_UnicodeMatcher)
#include "tst_unicodematcher.moc"
