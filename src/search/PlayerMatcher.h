#pragma once

// Which players of a reply the user asked for, and the result rows they become.

#include "search/ResultRow.h"
#include "search/SearchCriteria.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <bitset>
#include <optional>
#include <vector>

namespace rollcall::search {

// A-Z and the accented capitals 0xC0-0xDE (but 0xD7) to their small forms; nothing else.
QByteArray LowerLatin1(QByteArrayView text);

// False for an unclosed '[' or a reversed range such as "[z-a]". Judged on the lower-cased
// text, the form the matcher runs: "[Z-a]" is refused because it becomes "[z-a]".
bool isValidWildcardPattern(QByteArrayView pattern);

// Whole-name match of '?', '*', '#', '[list]', '[!list]'; both sides already lower-cased.
// Polynomial time whatever the input (servers choose the names). An invalid pattern matches nothing.
bool WildcardMatch(QByteArrayView name, QByteArrayView pattern);

// A pattern compiled once and matched against many names (taken as given, not lower-cased).
class WildcardPattern
{
public:
    explicit WildcardPattern(QByteArrayView pattern);

    bool isValid() const { return m_valid; }
    // O(name length x pattern length) at worst, never exponential.
    bool matches(QByteArrayView name) const;

private:
    struct Step
    {
        bool star = false; // any run of characters
        std::bitset<256> accepts; // otherwise: exactly one character from this set
    };
    std::vector<Step> m_steps;
    bool m_valid = false;
};

// The enabled slots of a run, lower-cased once.
class PlayerMatcher
{
public:
    explicit PlayerMatcher(const std::array<NameSlot, 2> &nameSlots);

    bool matches(QByteArrayView playerName) const;

private:
    struct Slot
    {
        bool wildcards = false;
        bool valid = true;
        QByteArray lowered;
        std::optional<WildcardPattern> pattern; // set when wildcards is
    };
    QList<Slot> m_slots;
};

// The rows for the matching players of one players reply, in reply order.
QList<ResultRow> AddMatchingRows(
    QByteArrayView reply, const QString &serverIp, qint32 port, qint16 ping, const PlayerMatcher &matcher);

} // namespace rollcall::search
