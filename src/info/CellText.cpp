#include "info/CellText.h"

namespace rollcall::info {

QString TextSortKey(const QString &text)
{
    return text.toCaseFolded();
}

int CompareTextKeys(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive);
}

int CompareCellText(const QString &a, const QString &b)
{
    return CompareTextKeys(TextSortKey(a), TextSortKey(b));
}

} // namespace rollcall::info
