#pragma once

// Player matching for Steam mode, where names are UTF-8 text rather than Latin-1 bytes: both
// sides are compared in a caseless form (NFC, full case folding, NFC again), so "straße" finds
// "STRASSE" and a decomposed accent finds a precomposed one. The wildcard operators are the
// legacy ones, applied to code points of the folded text.

#include "search/ResultRow.h"
#include "search/SearchCriteria.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rollcall::search {

// The caseless form both sides are compared in, as code points so '?' can take exactly one.
// Full folding (ß to "ss", ﬃ to "ffi", İ to "i" + U+0307) where Qt's own folding is the simple
// kind; no Turkish special case ("I" is always "i"). A lone surrogate counts as U+FFFD.
std::u32string FoldForMatch(QStringView text);

// The text of a name slot. Steam-mode names are UTF-8; bytes that are not valid UTF-8 are read as
// Latin-1, the legacy form, so a slot saved by the legacy mode still means what the user typed.
QString NameSlotText(QByteArrayView bytes);

// '?' one code point, '*' any run, '#' an ASCII digit, '[list]' and '[!list]' with ranges by code
// point, all over the folded pattern and matched against the whole folded name. Compiled once and
// matched in O(name x pattern) at worst: names and patterns may come from anyone.
class UnicodeWildcardPattern
{
public:
    explicit UnicodeWildcardPattern(QStringView pattern);

    // False for an unclosed '[' or a reversed range, judged after folding as the legacy pattern
    // judges after lower-casing: "[Z-a]" is refused because it becomes "[z-a]".
    bool isValid() const { return m_valid; }
    bool matches(QStringView name) const { return matchesFolded(FoldForMatch(name)); }
    // For a name folded once and tried against several patterns. An invalid pattern matches nothing.
    bool matchesFolded(std::u32string_view foldedName) const;

private:
    struct Range
    {
        char32_t first;
        char32_t last;
    };
    struct Step
    {
        bool star = false; // any run of code points
        bool negated = false; // otherwise: one code point inside the ranges, or outside when negated
        std::vector<Range> ranges;

        bool accepts(char32_t code) const;
    };
    bool compileList(std::u32string_view pattern, size_t &pos, Step &step);

    std::vector<Step> m_steps;
    bool m_valid = false;
};

// The enabled slots of a Steam-mode run, folded once; a name matches when any valid slot does.
class UnicodeNameMatcher
{
public:
    explicit UnicodeNameMatcher(const std::array<NameSlot, 2> &nameSlots);

    bool matches(QStringView playerName) const;

private:
    struct Slot
    {
        bool wildcards = false;
        bool valid = true;
        std::u32string folded;
        std::optional<UnicodeWildcardPattern> pattern; // set when wildcards is
    };
    QList<Slot> m_slots;
};

// The rows for the matching players of one A2S players reply, in reply order; the name cell holds
// the decoded UTF-8 text, so what is shown is what was matched.
QList<ResultRow> AddMatchingUtf8Rows(QByteArrayView reply, const QString &serverIp, qint32 port, qint16 ping,
    const UnicodeNameMatcher &matcher);

} // namespace rollcall::search
