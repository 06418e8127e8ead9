#pragma once

// The players found, as a table model under the results list. Rows keep a stable identity
// (RowId) for as long as they are in the model, whatever the order shown, so a reply that
// comes back for a row updates that row and no other.

#include "search/ResultRow.h"

#include <QAbstractTableModel>
#include <QList>
#include <memory>
#include <optional>

namespace rollcall::results {

using RowId = quint64;

class ResultsModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultsModel)

public:
    explicit ResultsModel(QObject *parent = nullptr);
    ~ResultsModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // At the end, or in their sorted place while sorting is on. Cheap even with 100,000s of rows.
    void appendRows(const QList<search::ResultRow> &rows);
    void clear();

    // Each column sorts by its kind of cell (info/CellText.h): addresses, ports, pings, frags
    // and times by value, names as text. Equal cells keep their order; cells without a value
    // ("-" after a refresh) go last.
    void setSorting(bool enabled, int column, Qt::SortOrder order);
    bool isSortEnabled() const;
    int sortColumn() const;
    Qt::SortOrder sortOrder() const;

    RowId rowId(int row) const;
    // -1 when the row is gone (a new search cleared the list).
    int rowOf(RowId id) const;
    std::optional<search::ResultRow> rowById(RowId id) const;
    // False when the row is gone. Keeps the sorted order if the column is the sort column.
    bool setCell(RowId id, int column, const QString &text);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace rollcall::results
