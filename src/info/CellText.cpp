#include "info/CellText.h"

#include <algorithm>

namespace rollcall::info {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

} // namespace

QString DisplayText(const QString &text)
{
    // Most cells have nothing to replace: they are handed back shared, not copied.
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString shown = text;
    std::replace_if(shown.begin(), shown.end(), isControl, QChar(QChar::ReplacementCharacter));
    return shown;
}

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
