#include "search/PlayerMatcher.h"

#include "protocol/QueryProtocol.h"

#include <QVarLengthArray>

namespace rollcall::search {

namespace {

bool isLatin1Capital(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

} // namespace

QByteArray LowerLatin1(QByteArrayView text)
{
    QByteArray lowered(text.data(), text.size());
    for (char &c : lowered) {
        const auto code = static_cast<unsigned char>(c);
        if (isLatin1Capital(code))
            c = static_cast<char>(code + 0x20);
    }
    return lowered;
}

WildcardPattern::WildcardPattern(QByteArrayView pattern)
{
    const qsizetype length = pattern.size();
    auto at = [&](qsizetype i) { return static_cast<unsigned char>(pattern[i]); };

    for (qsizetype i = 0; i < length;) {
        const unsigned char c = at(i);
        Step step;
        if (c == '*') {
            ++i;
            // A run of stars matches what one star matches; one step is cheaper to back off to.
            if (!m_steps.empty() && m_steps.back().star)
                continue;
            step.star = true;
        } else if (c == '?') {
            ++i;
            step.accepts.set();
        } else if (c == '#') {
            ++i;
            for (unsigned char d = '0'; d <= '9'; ++d)
                step.accepts.set(d);
        } else if (c == '[') {
            qsizetype j = i + 1;
            const bool negated = j < length && at(j) == '!';
            if (negated)
                ++j;
            const qsizetype listStart = j;
            for (;;) {
                if (j >= length) {
                    m_steps.clear();
                    return; // '[' never closed
                }
                const unsigned char first = at(j);
                if (first == ']')
                    break;
                // "x-y" is a range unless the hyphen is the list's last character.
                if (j + 2 < length && at(j + 1) == '-' && at(j + 2) != ']') {
                    const unsigned char last = at(j + 2);
                    if (first > last) {
                        m_steps.clear();
                        return;
                    }
                    for (unsigned code = first; code <= last; ++code)
                        step.accepts.set(code);
                    j += 3;
                } else {
                    step.accepts.set(first);
                    ++j;
                }
            }
            i = j + 1;
            // "[]" is the empty string: it asks for no character at all.
            if (j == listStart && !negated)
                continue;
            if (negated)
                step.accepts.flip();
        } else {
            ++i;
            step.accepts.set(c);
        }
        m_steps.push_back(step);
    }
    m_valid = true;
}

bool WildcardPattern::matches(QByteArrayView name) const
{
    if (!m_valid)
        return false;

    // Every step but a star takes exactly one character, so on a mismatch only the most
    // recent star needs to give up one more character: earlier stars can never do better.
    const size_t stepCount = m_steps.size();
    const qsizetype nameLength = name.size();
    size_t step = 0;
    qsizetype pos = 0;
    bool haveStar = false;
    size_t starStep = 0;
    qsizetype starPos = 0;
    while (pos < nameLength) {
        if (step < stepCount && m_steps[step].star) {
            haveStar = true;
            starStep = step++;
            starPos = pos;
        } else if (step < stepCount && m_steps[step].accepts.test(static_cast<unsigned char>(name[pos]))) {
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

bool isValidWildcardPattern(QByteArrayView pattern)
{
    return WildcardPattern(LowerLatin1(pattern)).isValid();
}

bool WildcardMatch(QByteArrayView name, QByteArrayView pattern)
{
    return WildcardPattern(pattern).matches(name);
}

PlayerMatcher::PlayerMatcher(const std::array<NameSlot, 2> &nameSlots)
{
    for (const NameSlot &nameSlot : nameSlots) {
        if (!nameSlot.EnableSearch)
            continue;
        Slot slot;
        slot.wildcards = nameSlot.UseWildcards;
        slot.lowered = LowerLatin1(nameSlot.PlayerName);
        // An empty slot names nobody; the options page never lets one through.
        slot.valid = !slot.lowered.isEmpty();
        if (slot.wildcards) {
            slot.pattern.emplace(slot.lowered);
            slot.valid = slot.valid && slot.pattern->isValid();
        }
        m_slots.append(std::move(slot));
    }
}

bool PlayerMatcher::matches(QByteArrayView playerName) const
{
    if (m_slots.isEmpty())
        return false;
    // Every player of every reply passes here: lower-case on the stack, not the heap.
    QVarLengthArray<char, 256> buffer(playerName.size());
    for (qsizetype i = 0; i < playerName.size(); ++i) {
        const auto code = static_cast<unsigned char>(playerName[i]);
        buffer[i] = static_cast<char>(isLatin1Capital(code) ? code + 0x20 : code);
    }
    const QByteArrayView lowered(buffer.constData(), buffer.size());
    for (const Slot &slot : m_slots) {
        if (!slot.valid)
            continue;
        if (slot.wildcards ? slot.pattern->matches(lowered) : lowered.contains(slot.lowered))
            return true;
    }
    return false;
}

QList<ResultRow> AddMatchingRows(
    QByteArrayView reply, const QString &serverIp, qint32 port, qint16 ping, const PlayerMatcher &matcher)
{
    const protocol::PlayersReply players = protocol::DecodePlayersReply(reply);
    QList<ResultRow> rows;
    for (const protocol::PlayerRecord &player : players.Players) {
        if (!matcher.matches(player.Name))
            continue;
        ResultRow row;
        row.Cells[ResultRow::ServerIp] = serverIp;
        row.Cells[ResultRow::Port] = QString::number(port);
        row.Cells[ResultRow::Ping] = QString::number(ping);
        row.Cells[ResultRow::PlayerName] = protocol::Latin1(player.Name);
        row.Cells[ResultRow::Frags] = QString::number(player.Frags);
        row.Cells[ResultRow::Time] = protocol::FormatPlayTime(player.Time);
        row.Seconds = player.Time;
        rows.append(std::move(row));
    }
    return rows;
}

} // namespace rollcall::search
