#pragma once

// How every list of the program shows and orders its cells. Both list models use it, so a
// column reads and sorts the same in the results list and in the server information lists.

#include <QString>

namespace rollcall::info {

// The text a list draws for a cell. Names and values come from servers as Latin-1 bytes, and
// control characters among them (C0, DEL, C1) have no glyph: each shows as U+FFFD instead of
// vanishing or shifting the text after it. The cell itself keeps the real text.
QString DisplayText(const QString &text);

// Text order: folded to small letters, then by character code ("abc" equals "ABC", "_x"
// before "a"). The key is what a list may keep per cell instead of folding per comparison.
QString TextSortKey(const QString &text);
// Keys compare by their UTF-16 code units, the first unit that differs deciding.
int CompareTextKeys(const QString &a, const QString &b);
int CompareCellText(const QString &a, const QString &b);

} // namespace rollcall::info
