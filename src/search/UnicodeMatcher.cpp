#include "search/UnicodeMatcher.h"

#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"

#include <algorithm>

namespace rollcall::search {

namespace {

struct FullFolding
{
    char32_t code;
    char32_t to[3]; // unused places are 0
};

// The F entries of Unicode's CaseFolding.txt (Unicode 14, the version of Qt 6.4's tables): the
// characters whose full folding is more than one code point. QChar::toCaseFolded covers the C
// and S entries; for these it gives the simple form (ß stays ß, ẞ becomes ß), which would let
// "straße" miss "STRASSE". Sorted by code for the binary search.
constexpr FullFolding FullFoldings[] = {
    { 0x00DF, { 0x0073, 0x0073 } },
    { 0x0130, { 0x0069, 0x0307 } },
    { 0x0149, { 0x02BC, 0x006E } },
    { 0x01F0, { 0x006A, 0x030C } },
    { 0x0390, { 0x03B9, 0x0308, 0x0301 } },
    { 0x03B0, { 0x03C5, 0x0308, 0x0301 } },
    { 0x0587, { 0x0565, 0x0582 } },
    { 0x1E96, { 0x0068, 0x0331 } },
    { 0x1E97, { 0x0074, 0x0308 } },
    { 0x1E98, { 0x0077, 0x030A } },
    { 0x1E99, { 0x0079, 0x030A } },
    { 0x1E9A, { 0x0061, 0x02BE } },
    { 0x1E9E, { 0x0073, 0x0073 } },
    { 0x1F50, { 0x03C5, 0x0313 } },
    { 0x1F52, { 0x03C5, 0x0313, 0x0300 } },
    { 0x1F54, { 0x03C5, 0x0313, 0x0301 } },
    { 0x1F56, { 0x03C5, 0x0313, 0x0342 } },
    { 0x1F80, { 0x1F00, 0x03B9 } },
    { 0x1F81, { 0x1F01, 0x03B9 } },
    { 0x1F82, { 0x1F02, 0x03B9 } },
    { 0x1F83, { 0x1F03, 0x03B9 } },
    { 0x1F84, { 0x1F04, 0x03B9 } },
    { 0x1F85, { 0x1F05, 0x03B9 } },
    { 0x1F86, { 0x1F06, 0x03B9 } },
    { 0x1F87, { 0x1F07, 0x03B9 } },
    { 0x1F88, { 0x1F00, 0x03B9 } },
    { 0x1F89, { 0x1F01, 0x03B9 } },
    { 0x1F8A, { 0x1F02, 0x03B9 } },
    { 0x1F8B, { 0x1F03, 0x03B9 } },
    { 0x1F8C, { 0x1F04, 0x03B9 } },
    { 0x1F8D, { 0x1F05, 0x03B9 } },
    { 0x1F8E, { 0x1F06, 0x03B9 } },
    { 0x1F8F, { 0x1F07, 0x03B9 } },
    { 0x1F90, { 0x1F20, 0x03B9 } },
    { 0x1F91, { 0x1F21, 0x03B9 } },
    { 0x1F92, { 0x1F22, 0x03B9 } },
    { 0x1F93, { 0x1F23, 0x03B9 } },
    { 0x1F94, { 0x1F24, 0x03B9 } },
    { 0x1F95, { 0x1F25, 0x03B9 } },
    { 0x1F96, { 0x1F26, 0x03B9 } },
    { 0x1F97, { 0x1F27, 0x03B9 } },
    { 0x1F98, { 0x1F20, 0x03B9 } },
    { 0x1F99, { 0x1F21, 0x03B9 } },
    { 0x1F9A, { 0x1F22, 0x03B9 } },
    { 0x1F9B, { 0x1F23, 0x03B9 } },
    { 0x1F9C, { 0x1F24, 0x03B9 } },
    { 0x1F9D, { 0x1F25, 0x03B9 } },
    { 0x1F9E, { 0x1F26, 0x03B9 } },
    { 0x1F9F, { 0x1F27, 0x03B9 } },
    { 0x1FA0, { 0x1F60, 0x03B9 } },
    { 0x1FA1, { 0x1F61, 0x03B9 } },
    { 0x1FA2, { 0x1F62, 0x03B9 } },
    { 0x1FA3, { 0x1F63, 0x03B9 } },
    { 0x1FA4, { 0x1F64, 0x03B9 } },
    { 0x1FA5, { 0x1F65, 0x03B9 } },
    { 0x1FA6, { 0x1F66, 0x03B9 } },
    { 0x1FA7, { 0x1F67, 0x03B9 } },
    { 0x1FA8, { 0x1F60, 0x03B9 } },
    { 0x1FA9, { 0x1F61, 0x03B9 } },
    { 0x1FAA, { 0x1F62, 0x03B9 } },
    { 0x1FAB, { 0x1F63, 0x03B9 } },
    { 0x1FAC, { 0x1F64, 0x03B9 } },
    { 0x1FAD, { 0x1F65, 0x03B9 } },
    { 0x1FAE, { 0x1F66, 0x03B9 } },
    { 0x1FAF, { 0x1F67, 0x03B9 } },
    { 0x1FB2, { 0x1F70, 0x03B9 } },
    { 0x1FB3, { 0x03B1, 0x03B9 } },
    { 0x1FB4, { 0x03AC, 0x03B9 } },
    { 0x1FB6, { 0x03B1, 0x0342 } },
    { 0x1FB7, { 0x03B1, 0x0342, 0x03B9 } },
    { 0x1FBC, { 0x03B1, 0x03B9 } },
    { 0x1FC2, { 0x1F74, 0x03B9 } },
    { 0x1FC3, { 0x03B7, 0x03B9 } },
    { 0x1FC4, { 0x03AE, 0x03B9 } },
    { 0x1FC6, { 0x03B7, 0x0342 } },
    { 0x1FC7, { 0x03B7, 0x0342, 0x03B9 } },
    { 0x1FCC, { 0x03B7, 0x03B9 } },
    { 0x1FD2, { 0x03B9, 0x0308, 0x0300 } },
    { 0x1FD3, { 0x03B9, 0x0308, 0x0301 } },
    { 0x1FD6, { 0x03B9, 0x0342 } },
    { 0x1FD7, { 0x03B9, 0x0308, 0x0342 } },
    { 0x1FE2, { 0x03C5, 0x0308, 0x0300 } },
    { 0x1FE3, { 0x03C5, 0x0308, 0x0301 } },
    { 0x1FE4, { 0x03C1, 0x0313 } },
    { 0x1FE6, { 0x03C5, 0x0342 } },
    { 0x1FE7, { 0x03C5, 0x0308, 0x0342 } },
    { 0x1FF2, { 0x1F7C, 0x03B9 } },
    { 0x1FF3, { 0x03C9, 0x03B9 } },
    { 0x1FF4, { 0x03CE, 0x03B9 } },
    { 0x1FF6, { 0x03C9, 0x0342 } },
    { 0x1FF7, { 0x03C9, 0x0342, 0x03B9 } },
    { 0x1FFC, { 0x03C9, 0x03B9 } },
    { 0xFB00, { 0x0066, 0x0066 } },
    { 0xFB01, { 0x0066, 0x0069 } },
    { 0xFB02, { 0x0066, 0x006C } },
    { 0xFB03, { 0x0066, 0x0066, 0x0069 } },
    { 0xFB04, { 0x0066, 0x0066, 0x006C } },
    { 0xFB05, { 0x0073, 0x0074 } },
    { 0xFB06, { 0x0073, 0x0074 } },
    { 0xFB13, { 0x0574, 0x0576 } },
    { 0xFB14, { 0x0574, 0x0565 } },
    { 0xFB15, { 0x0574, 0x056B } },
    { 0xFB16, { 0x057E, 0x0576 } },
    { 0xFB17, { 0x0574, 0x056D } },
};

const FullFolding *fullFolding(char32_t code)
{
    const auto *end = std::end(FullFoldings);
    const auto *found = std::lower_bound(std::begin(FullFoldings), end, code,
        [](const FullFolding &folding, char32_t wanted) { return folding.code < wanted; });
    return found != end && found->code == code ? found : nullptr;
}

// Calls `use` with each code point of the UTF-16 text; a lone surrogate is U+FFFD.
template <typename Use> void forEachCodePoint(QStringView text, Use use)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate()) {
            use(QChar::surrogateToUcs4(unit, text[i + 1]));
            ++i;
        } else if (unit.isSurrogate()) {
            use(char32_t(QChar::ReplacementCharacter));
        } else {
            use(char32_t(unit.unicode()));
        }
    }
}

void appendCodePoint(QString &text, char32_t code)
{
    text += QStringView(QChar::fromUcs4(code));
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

std::u32string FoldForMatch(QStringView text)
{
    std::u32string folded;
    folded.reserve(size_t(text.size()));
    // Nearly every name is ASCII: there NFC changes nothing and folding is lower-casing.
    if (isAscii(text)) {
        for (QChar c : text) {
            const char16_t u = c.unicode();
            folded.push_back(u >= u'A' && u <= u'Z' ? u + (u'a' - u'A') : u);
        }
        return folded;
    }
    // Folding can leave decomposed sequences behind (ΐ becomes ι + U+0308 + U+0301), so the text
    // is composed again afterwards; otherwise one name could have two folded forms.
    const QString composed = text.toString().normalized(QString::NormalizationForm_C);
    QString caseless;
    caseless.reserve(composed.size());
    forEachCodePoint(composed, [&](char32_t code) {
        if (const FullFolding *full = fullFolding(code)) {
            for (char32_t to : full->to) {
                if (to != 0)
                    appendCodePoint(caseless, to);
            }
        } else {
            appendCodePoint(caseless, QChar::toCaseFolded(code));
        }
    });
    forEachCodePoint(
        caseless.normalized(QString::NormalizationForm_C), [&](char32_t code) { folded.push_back(code); });
    return folded;
}

QString NameSlotText(QByteArrayView bytes)
{
    QString text = protocol::Utf8(bytes);
    // Only valid UTF-8 comes back unchanged from the round trip.
    if (text.toUtf8() == bytes)
        return text;
    return QString::fromLatin1(bytes);
}

bool UnicodeWildcardPattern::Step::accepts(char32_t code) const
{
    const bool inside = std::any_of(ranges.begin(), ranges.end(),
        [code](const Range &range) { return code >= range.first && code <= range.last; });
    return inside != negated;
}

UnicodeWildcardPattern::UnicodeWildcardPattern(QStringView pattern)
{
    const std::u32string folded = FoldForMatch(pattern);
    const std::u32string_view text(folded);
    for (size_t i = 0; i < text.size();) {
        const char32_t c = text[i];
        Step step;
        if (c == U'*') {
            ++i;
            // A run of stars matches what one star matches; one step is cheaper to back off to.
            if (!m_steps.empty() && m_steps.back().star)
                continue;
            step.star = true;
        } else if (c == U'?') {
            ++i;
            step.negated = true; // outside no ranges: any code point
        } else if (c == U'#') {
            ++i;
            step.ranges.push_back({ U'0', U'9' });
        } else if (c == U'[') {
            if (!compileList(text, i, step)) {
                m_steps.clear();
                return;
            }
            // "[]" is the empty string: it asks for no code point at all.
            if (!step.negated && step.ranges.empty())
                continue;
        } else {
            ++i;
            step.ranges.push_back({ c, c });
        }
        m_steps.push_back(std::move(step));
    }
    m_valid = true;
}

// Reads "[...]" or "[!...]" starting at pos (the '['); leaves pos after the ']'. False for a list
// never closed or a reversed range.
bool UnicodeWildcardPattern::compileList(std::u32string_view pattern, size_t &pos, Step &step)
{
    const size_t length = pattern.size();
    size_t j = pos + 1;
    step.negated = j < length && pattern[j] == U'!';
    if (step.negated)
        ++j;
    for (;;) {
        if (j >= length)
            return false;
        const char32_t first = pattern[j];
        if (first == U']')
            break;
        // "x-y" is a range unless the hyphen is the list's last character.
        if (j + 2 < length && pattern[j + 1] == U'-' && pattern[j + 2] != U']') {
            const char32_t last = pattern[j + 2];
            if (first > last)
                return false;
            step.ranges.push_back({ first, last });
            j += 3;
        } else {
            step.ranges.push_back({ first, first });
            ++j;
        }
    }
    pos = j + 1;
    return true;
}

bool UnicodeWildcardPattern::matchesFolded(std::u32string_view name) const
{
    if (!m_valid)
        return false;

    // Every step but a star takes exactly one code point, so on a mismatch only the most recent
    // star needs to give up one more: earlier stars can never do better.
    const size_t stepCount = m_steps.size();
    size_t step = 0;
    size_t pos = 0;
    bool haveStar = false;
    size_t starStep = 0;
    size_t starPos = 0;
    while (pos < name.size()) {
        if (step < stepCount && m_steps[step].star) {
            haveStar = true;
            starStep = step++;
            starPos = pos;
        } else if (step < stepCount && m_steps[step].accepts(name[pos])) {
            ++step;
            ++pos;
        } else if (haveStar) {
            step = starStep + 1;
            pos = ++starPos;
        } else {
            return false;
        }
    }
    while (step < stepCount && m_steps[step].star)
        ++step;
    return step == stepCount;
}

UnicodeNameMatcher::UnicodeNameMatcher(const std::array<NameSlot, 2> &nameSlots)
{
    for (const NameSlot &nameSlot : nameSlots) {
        if (!nameSlot.EnableSearch)
            continue;
        const QString text = NameSlotText(nameSlot.PlayerName);
        Slot slot;
        slot.wildcards = nameSlot.UseWildcards;
        slot.folded = FoldForMatch(text);
        // An empty slot names nobody; the options page never lets one through.
        slot.valid = !slot.folded.empty();
        if (slot.wildcards) {
            slot.pattern.emplace(text);
            slot.valid = slot.valid && slot.pattern->isValid();
        }
        m_slots.append(std::move(slot));
    }
}

bool UnicodeNameMatcher::matches(QStringView playerName) const
{
    if (m_slots.isEmpty())
        return false;
    const std::u32string name = FoldForMatch(playerName);
    for (const Slot &slot : m_slots) {
        if (!slot.valid)
            continue;
        if (slot.wildcards ? slot.pattern->matchesFolded(name)
                           : std::u32string_view(name).find(slot.folded) != std::u32string_view::npos)
            return true;
    }
    return false;
}

QList<ResultRow> AddMatchingUtf8Rows(QByteArrayView reply, const QString &serverIp, qint32 port, qint16 ping,
    const UnicodeNameMatcher &matcher)
{
    const protocol::PlayersReply players = protocol::DecodePlayersReply(reply);
    QList<ResultRow> rows;
    for (const protocol::PlayerRecord &player : players.Players) {
        const QString name = protocol::Utf8(player.Name);
        if (!matcher.matches(name))
            continue;
        ResultRow row;
        row.Cells[ResultRow::ServerIp] = serverIp;
        row.Cells[ResultRow::Port] = QString::number(port);
        row.Cells[ResultRow::Ping] = QString::number(ping);
        row.Cells[ResultRow::PlayerName] = name;
        row.Cells[ResultRow::Frags] = QString::number(player.Frags);
        row.Cells[ResultRow::Time] = protocol::FormatPlayTime(player.Time);
        row.Seconds = player.Time;
        rows.append(std::move(row));
    }
    return rows;
}

} // namespace rollcall::search
