#pragma once

// A small list of text rows for the server information and launch windows. It sorts the way
// every list of the program sorts (info/CellText.h), equal cells keeping their order; the
// direction flips on every header click, whichever column.

#include "info/CellText.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace rollcall::info {

class TextListModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextListModel)

public:
    struct Column
    {
        QString caption;
        Qt::Alignment alignment = Qt::AlignLeft;
        CellKind kind = CellKind::Text;
    };

    explicit TextListModel(const QList<Column> &columns, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // At the end, or in its sorted place (after its equals) while sorting is on.
    void appendRow(QStringList cells);
    void clear();
    QString text(int row, int column) const;
    // Sets a cell of the row whose first cell is `key`; false when there is none.
    bool setValueOf(const QString &key, int column, const QString &text);
    QString valueOf(const QString &key, int column = 1) const;

    void setSorting(bool enabled, int column, Qt::SortOrder order);
    // A header click: the direction flips, the column becomes the sort column, sorting turns on.
    void sortByHeaderClick(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // Every row in the order shown: cells joined by tabs, each row ending in CR LF, no header.
    QString copyText() const;

private:
    bool before(const QStringList &a, const QStringList &b) const;
    void resort();

    QList<Column> m_columns;
    QList<QStringList> m_rows;
    bool m_sortEnabled = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};

} // namespace rollcall::info
