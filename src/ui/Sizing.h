#pragma once

// Measures of the window designs and of the texts the lists show. Design measures are given
// in twips, 15 to a pixel at 96 dpi; a design measure is a least size, never a fixed one, so
// a larger font or scale still fits.

#include <QList>
#include <QString>

class QHeaderView;
class QTreeView;
class QWidget;

namespace rollcall::ui {

// Pixels for a design measure, rounded to the nearest.
constexpr int Twips(int twips)
{
    return (twips * 2 + 15) / 30;
}

// Raises the widget's least size to the design's where it is smaller; a least size already
// larger (a list sized to its columns, say) stays.
void SetDesignMinimumSize(QWidget *widget, int widthTwips, int heightTwips);

// The width a cell of the list needs to show `text` whole in the list's font.
int CellWidth(const QTreeView *list, const QString &text);
// The width a header section needs for its caption with a sort indicator beside it.
int CaptionWidth(const QHeaderView *header, int section);

// A list column's least width: its design width, its caption with the sort indicator, and a
// sample as wide as the column's usual content.
struct ColumnFit
{
    int designTwips = 0;
    QString sample;
};

// Sizes the list's columns to their least widths; `stretchColumn` takes the width left over as
// the list grows. The list's least width shows every column without scrolling.
void FitColumns(QTreeView *list, const QList<ColumnFit> &columns, int stretchColumn);

} // namespace rollcall::ui
