#pragma once

// The order every list of the program sorts its cells in. Both list models use it, so a
// column sorts the same in the results list and in the server information lists.

#include <QString>

namespace rollcall::info {

// Text order: folded to small letters, then by character code ("abc" equals "ABC", "_x"
// before "a"). The key is what a list may keep per cell instead of folding per comparison.
QString TextSortKey(const QString &text);
// Keys compare by their UTF-16 code units, the first unit that differs deciding.
int CompareTextKeys(const QString &a, const QString &b);
int CompareCellText(const QString &a, const QString &b);

} // namespace rollcall::info
