#pragma once

// How every list of the program shows and orders its cells. Both list models use it, so a
// column reads and sorts the same in the results list and in the server information lists.

#include <QString>
#include <array>

namespace rollcall::info {

// The text a list draws for a cell. Names and values come from servers as Latin-1 bytes, and
// control characters among them (C0, DEL, C1) have no glyph: each shows as U+FFFD instead of
// vanishing or shifting the text after it. The cell itself keeps the real text.
QString DisplayText(const QString &text);

// What a column holds, and so how it sorts.
enum class CellKind {
    Text, // folded to small letters, then by character code: "abc" equals "ABC", "_x" before "a"
    Number, // "-3" before "9" before "10"
    Duration, // a play time "hh:mm:ss", by its seconds; "100:00:00" after "99:59:59"
    Address, // dotted IPv4, by its value: 127.0.0.9 before 127.0.0.10
};

// What a cell sorts by, made once per cell rather than per comparison.
struct SortKey
{
    // A number, time or address cell that holds none ("-" after a refresh, "n/a", empty).
    // Such cells sort together after all the others, whichever the direction.
    bool noValue = false;
    qint64 value = 0;
    // Text cells: the folded text, and its first twelve code units packed so that comparing
    // the numbers compares those units; most comparisons end there without touching the text.
    std::array<quint64, 3> prefix {};
    QString text;
};

SortKey MakeSortKey(CellKind kind, const QString &cell);

// Keys compare by their UTF-16 code units, the first unit that differs deciding.
inline int CompareTextKeys(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive);
}

// Below 0 when a goes before b in that direction, above when after, 0 for equal keys: a
// stable sort keeps equal cells in the order they had.
inline int CompareSortKeys(const SortKey &a, const SortKey &b, Qt::SortOrder order)
{
    if (a.noValue != b.noValue)
        return a.noValue ? 1 : -1;
    int c = 0;
    if (a.value != b.value)
        c = a.value < b.value ? -1 : 1;
    else if (a.prefix != b.prefix)
        c = a.prefix < b.prefix ? -1 : 1;
    else
        c = CompareTextKeys(a.text, b.text);
    return order == Qt::AscendingOrder ? c : -c;
}

} // namespace rollcall::info
