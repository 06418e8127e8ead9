#include "ui/Sizing.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <algorithm>

namespace rollcall::ui {

void SetDesignMinimumSize(QWidget *widget, int widthTwips, int heightTwips)
{
    widget->setMinimumSize(std::max(widget->minimumWidth(), Twips(widthTwips)),
        std::max(widget->minimumHeight(), Twips(heightTwips)));
}

int CellWidth(const QTreeView *list, const QString &text)
{
    // The style keeps this margin on both sides of an item's text, and elides the text when
    // what is left is narrower than it.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    return list->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

int CaptionWidth(const QHeaderView *header, int section)
{
    QStyleOptionHeader option;
    option.initFrom(header);
    option.orientation = header->orientation();
    option.section = section;
    option.text = header->model() ? header->model()->headerData(section, header->orientation()).toString()
                                  : QString();
    // A highlighted section draws its caption in bold: room for that too.
    QFont bold = header->font();
    bold.setBold(true);
    option.fontMetrics = QFontMetrics(bold);
    option.sortIndicator = QStyleOptionHeader::SortDown;
    return header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
}

void FitColumns(QTreeView *list, const QList<ColumnFit> &columns, int stretchColumn)
{
    QHeaderView *header = list->header();
    header->setStretchLastSection(false);
    int total = 0;
    for (int c = 0; c < columns.size(); ++c) {
        const ColumnFit &fit = columns[c];
        const int width = std::max({ Twips(fit.designTwips), CaptionWidth(header, c),
            fit.sample.isEmpty() ? 0 : CellWidth(list, fit.sample) });
        header->resizeSection(c, width);
        total += width;
    }
    if (stretchColumn >= 0 && stretchColumn < columns.size())
        header->setSectionResizeMode(stretchColumn, QHeaderView::Stretch);
    // Room for the frame and a vertical scroll bar, which comes as soon as the rows fill the list.
    const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setMinimumWidth(std::max(list->minimumWidth(), total + 2 * list->frameWidth() + scrollBar));
}

} // namespace rollcall::ui
