#include "ui/CutTextTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace rollcall::ui {

CutTextTips::CutTextTips(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

bool CutTextTips::isCut(const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const QWidget *widget = option.widget;
    const QStyle *style = widget ? widget->style() : nullptr;
    const int margin = style ? style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1 : 0;
    return option.fontMetrics.horizontalAdvance(text) + 2 * margin > option.rect.width();
}

bool CutTextTips::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (index.isValid() && isCut(option, index)) {
        QToolTip::showText(
            event->globalPos(), PlainToolTip(index.data(Qt::DisplayRole).toString()), view, option.rect);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

QString PlainToolTip(const QString &text)
{
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace rollcall::ui
