#include "info/TextListModel.h"

#include <algorithm>

namespace rollcall::info {

TextListModel::TextListModel(const QList<Column> &columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(columns)
{ }

int TextListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TextListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TextListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole)
        return DisplayText(text(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns.at(index.column()).alignment | Qt::AlignVCenter);
    return {};
}

QVariant TextListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns.at(section).alignment | Qt::AlignVCenter);
    return {};
}

bool TextListModel::before(const QStringList &a, const QStringList &b) const
{
    const CellKind kind = m_columns.value(m_sortColumn).kind;
    return CompareSortKeys(MakeSortKey(kind, a.value(m_sortColumn)), MakeSortKey(kind, b.value(m_sortColumn)),
               m_sortOrder)
        < 0;
}

void TextListModel::appendRow(QStringList cells)
{
    while (cells.size() < m_columns.size())
        cells.append(QString());
    qsizetype at = m_rows.size();
    if (m_sortEnabled) {
        const auto place = std::upper_bound(m_rows.cbegin(), m_rows.cend(), cells,
            [this](const QStringList &a, const QStringList &b) { return before(a, b); });
        at = place - m_rows.cbegin();
    }
    beginInsertRows({}, int(at), int(at));
    m_rows.insert(at, cells);
    endInsertRows();
}

void TextListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString TextListModel::text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows.at(row).value(column);
}

bool TextListModel::setValueOf(const QString &key, int column, const QString &value)
{
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).value(0) != key)
            continue;
        if (column < 0 || column >= m_columns.size())
            return false;
        m_rows[row][column] = value;
        const QModelIndex changed = index(int(row), column);
        Q_EMIT dataChanged(changed, changed, { Qt::DisplayRole });
        // A value in the sort column moves its row, so the list stays sorted.
        if (m_sortEnabled && column == m_sortColumn)
            resort();
        return true;
    }
    return false;
}

QString TextListModel::valueOf(const QString &key, int column) const
{
    for (const QStringList &row : m_rows) {
        if (row.value(0) == key)
            return row.value(column);
    }
    return {};
}

void TextListModel::setSorting(bool enabled, int column, Qt::SortOrder order)
{
    m_sortEnabled = enabled;
    m_sortColumn = std::clamp(column, 0, std::max(0, int(m_columns.size()) - 1));
    m_sortOrder = order;
    if (m_sortEnabled)
        resort();
}

void TextListModel::sortByHeaderClick(int column)
{
    setSorting(true, column, m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TextListModel::resort()
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<qsizetype> order(m_rows.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
        [this](qsizetype a, qsizetype b) { return this->before(m_rows.at(a), m_rows.at(b)); });
    QList<QStringList> sorted;
    sorted.reserve(m_rows.size());
    QList<int> newRowOf(m_rows.size());
    for (qsizetype i = 0; i < order.size(); ++i) {
        sorted.append(m_rows.at(order.at(i)));
        newRowOf[order.at(i)] = int(i);
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before)
        after.append(index(newRowOf.at(old.row()), old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString TextListModel::copyText() const
{
    QString text;
    for (const QStringList &row : m_rows)
        text += row.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    return text;
}

} // namespace rollcall::info
