#include "info/CellText.h"

#include <QStringView>
#include <algorithm>
#include <optional>

namespace rollcall::info {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

// Plain ASCII digits only, at most 18 of them: a longer run is no count the lists show.
std::optional<qint64> digits(QStringView text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<qint64> number(QStringView text)
{
    const bool negative = text.startsWith(u'-');
    const std::optional<qint64> magnitude = digits(negative ? text.mid(1) : text);
    if (!magnitude)
        return std::nullopt;
    return negative ? -*magnitude : *magnitude;
}

// "hh:mm:ss", "mm:ss" or plain seconds; each part adds to the seconds before it times 60.
std::optional<qint64> seconds(QStringView text)
{
    qint64 total = 0;
    int parts = 0;
    for (const QStringView part : text.tokenize(u':')) {
        const std::optional<qint64> value = digits(part);
        if (!value || ++parts > 3 || total > (qint64(1) << 40))
            return std::nullopt;
        total = total * 60 + *value;
    }
    return parts > 0 ? std::optional<qint64>(total) : std::nullopt;
}

std::optional<qint64> address(QStringView text)
{
    qint64 total = 0;
    int parts = 0;
    for (const QStringView part : text.tokenize(u'.')) {
        const std::optional<qint64> value = digits(part);
        if (!value || *value > 255 || part.size() > 3 || ++parts > 4)
            return std::nullopt;
        total = total * 256 + *value;
    }
    return parts == 4 ? std::optional<qint64>(total) : std::nullopt;
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

SortKey MakeSortKey(CellKind kind, const QString &cell)
{
    SortKey key;
    if (kind != CellKind::Text) {
        const QStringView trimmed = QStringView(cell).trimmed();
        const std::optional<qint64> value = kind == CellKind::Number ? number(trimmed)
            : kind == CellKind::Duration                             ? seconds(trimmed)
                                                                     : address(trimmed);
        key.noValue = !value;
        key.value = value.value_or(0);
        return key;
    }
    key.text = cell.toCaseFolded();
    // Missing units count as 0, below every character: a shorter text sorts first, as in the
    // full comparison, which decides whenever the prefixes are equal.
    const qsizetype units = std::min<qsizetype>(qsizetype(4 * key.prefix.size()), key.text.size());
    for (qsizetype i = 0; i < units; ++i)
        key.prefix[size_t(i / 4)] |= quint64(key.text.at(i).unicode()) << (16 * (3 - i % 4));
    return key;
}

} // namespace rollcall::info
