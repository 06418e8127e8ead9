#pragma once

// Which players of a reply the user asked for, and the result rows they become.

#include "search/ResultRow.h"
#include "search/SearchCriteria.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace rollcall::search {

// A-Z and the accented capitals 0xC0-0xDE (but 0xD7) to their small forms; nothing else.
QByteArray LowerLatin1(QByteArrayView text);

// False for an unclosed '[' or a reversed range such as "[z-a]".
bool isValidWildcardPattern(QByteArrayView pattern);

// Whole-name match of '?', '*', '#', '[list]', '[!list]'; both sides already lower-cased.
// Polynomial time whatever the input (servers choose the names). An invalid pattern matches nothing.
bool WildcardMatch(QByteArrayView name, QByteArrayView pattern);

// The enabled slots of a run, lower-cased once.
class PlayerMatcher
{
public:
    explicit PlayerMatcher(const std::array<NameSlot, 2> &slots);

    bool matches(QByteArrayView playerName) const;

private:
    struct Slot
    {
        bool wildcards = false;
        bool valid = true;
        QByteArray lowered;
    };
    QList<Slot> m_slots;
};

// The rows for the matching players of one players reply, in reply order.
QList<ResultRow> AddMatchingRows(QByteArrayView reply, const QString &serverIp, qint32 port, qint16 ping,
                                 const PlayerMatcher &matcher);

} // namespace rollcall::search
