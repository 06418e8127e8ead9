#include "results/ResultsModel.h"

#include "info/CellText.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace rollcall::results {

using search::ResultRow;

namespace {

// A '*' search finds hundreds of thousands of players, and rows arriving while the list is
// sorted land anywhere in it. The display order is therefore kept in blocks of a few hundred
// entries: an insert shifts one small block and the starts of the blocks after it, never the
// whole list.
constexpr size_t TargetBlockSize = 512;
constexpr size_t MaxBlockSize = 2 * TargetBlockSize;

// Translated as the header is drawn: a translation is loaded after these are made.
const std::array<const char *, ResultRow::ColumnCount> Captions = {
    QT_TRANSLATE_NOOP("rollcall::results::ResultsModel", "Server IP"),
    QT_TRANSLATE_NOOP("rollcall::results::ResultsModel", "Port"),
    QT_TRANSLATE_NOOP("rollcall::results::ResultsModel", "Ping"),
    QT_TRANSLATE_NOOP("rollcall::results::ResultsModel", "Player Name"),
    QT_TRANSLATE_NOOP("rollcall::results::ResultsModel", "Frags"),
    QT_TRANSLATE_NOOP("rollcall::results::ResultsModel", "Time"),
};

// Ports, pings and frags sort as numbers, times by their seconds, addresses by their value.
constexpr std::array<info::CellKind, ResultRow::ColumnCount> Kinds = {
    info::CellKind::Address,
    info::CellKind::Number,
    info::CellKind::Number,
    info::CellKind::Text,
    info::CellKind::Number,
    info::CellKind::Duration,
};

const std::array<Qt::Alignment, ResultRow::ColumnCount> Alignments = {
    Qt::AlignLeft,
    Qt::AlignLeft,
    Qt::AlignHCenter,
    Qt::AlignLeft,
    Qt::AlignHCenter,
    Qt::AlignRight,
};

} // namespace

struct ResultsModel::Private
{
    struct Block;

    struct Entry
    {
        ResultRow row;
        // The sort column's key, while sorting is on: made once per row instead of once per
        // comparison, it halves the cost of a sorted append.
        info::SortKey key;
        Block *block = nullptr;
        // Breaks ties between equal texts: rows keep the order they had when sorting began, and
        // rows added later go after the equal ones already there.
        quint64 tie = 0;
    };

    struct Block
    {
        std::vector<quint32> items; // indexes into entries
        int start = 0; // display row of items[0]
        size_t index = 0; // position in blocks
    };

    ResultsModel *q = nullptr;
    std::vector<Entry> entries; // by RowId - idBase; rows leave only all at once
    std::vector<std::unique_ptr<Block>> blocks;
    RowId idBase = 1;
    quint64 nextTie = 0;
    bool sortEnabled = false;
    int sortColumn = 0;
    Qt::SortOrder sortOrder = Qt::DescendingOrder;

    // True when entry a goes before entry b in the sorted order.
    bool before(quint32 a, quint32 b) const
    {
        const Entry &ea = entries[a];
        const Entry &eb = entries[b];
        const int c = info::CompareSortKeys(ea.key, eb.key, sortOrder);
        return c != 0 ? c < 0 : ea.tie < eb.tie;
    }

    size_t blockAt(int row) const
    {
        const auto it = std::upper_bound(blocks.begin(), blocks.end(), row,
            [](int r, const std::unique_ptr<Block> &b) { return r < b->start; });
        return size_t(it - blocks.begin()) - 1;
    }

    quint32 entryAt(int row) const
    {
        const Block &b = *blocks[blockAt(row)];
        return b.items[size_t(row - b.start)];
    }

    int positionOf(quint32 entry) const
    {
        const Block *b = entries[entry].block;
        const auto it = std::find(b->items.begin(), b->items.end(), entry);
        return b->start + int(it - b->items.begin());
    }

    // The display row before which entry e belongs (the entry itself not being in the order).
    int sortedGap(quint32 e) const
    {
        // The first block whose last item does not go before e, then the place inside it.
        const auto bit = std::partition_point(blocks.begin(), blocks.end(),
            [&](const std::unique_ptr<Block> &b) { return before(b->items.back(), e); });
        if (bit == blocks.end())
            return orderSize();
        const Block &b = **bit;
        const auto it
            = std::partition_point(b.items.begin(), b.items.end(), [&](quint32 x) { return before(x, e); });
        return b.start + int(it - b.items.begin());
    }

    void setKey(Entry &e) const
    {
        e.key = sortEnabled ? info::MakeSortKey(Kinds[size_t(sortColumn)], e.row.cell(sortColumn))
                            : info::SortKey {};
    }

    int orderSize() const
    {
        return blocks.empty() ? 0 : blocks.back()->start + int(blocks.back()->items.size());
    }

    void renumberFrom(size_t first)
    {
        for (size_t i = first; i < blocks.size(); ++i) {
            blocks[i]->index = i;
            blocks[i]->start = i == 0 ? 0 : blocks[i - 1]->start + int(blocks[i - 1]->items.size());
        }
    }

    // Puts the entries at display row `row` in the given order.
    void insertAt(int row, const quint32 *first, size_t n)
    {
        if (blocks.empty())
            blocks.push_back(std::make_unique<Block>());
        size_t bi = row >= orderSize() ? blocks.size() - 1 : blockAt(row);
        Block *b = blocks[bi].get();
        b->items.insert(b->items.begin() + (row - b->start), first, first + n);
        for (size_t i = 0; i < n; ++i)
            entries[first[i]].block = b;
        if (b->items.size() <= MaxBlockSize) {
            for (size_t i = bi + 1; i < blocks.size(); ++i)
                blocks[i]->start += int(n);
            return;
        }
        // Split the overfull block into blocks of the target size.
        std::vector<quint32> all = std::move(b->items);
        std::vector<std::unique_ptr<Block>> pieces;
        for (size_t off = 0; off < all.size(); off += TargetBlockSize) {
            auto piece = std::make_unique<Block>();
            piece->items.assign(
                all.begin() + long(off), all.begin() + long(std::min(all.size(), off + TargetBlockSize)));
            for (quint32 e : piece->items)
                entries[e].block = piece.get();
            pieces.push_back(std::move(piece));
        }
        blocks.erase(blocks.begin() + long(bi));
        blocks.insert(blocks.begin() + long(bi), std::make_move_iterator(pieces.begin()),
            std::make_move_iterator(pieces.end()));
        renumberFrom(bi);
    }

    void removeAt(int row)
    {
        const size_t bi = blockAt(row);
        Block *b = blocks[bi].get();
        b->items.erase(b->items.begin() + (row - b->start));
        if (b->items.empty()) {
            blocks.erase(blocks.begin() + long(bi));
            renumberFrom(bi);
            return;
        }
        for (size_t i = bi + 1; i < blocks.size(); ++i)
            blocks[i]->start -= 1;
    }

    void rebuild(const std::vector<quint32> &order)
    {
        blocks.clear();
        for (size_t off = 0; off < order.size(); off += TargetBlockSize) {
            auto piece = std::make_unique<Block>();
            piece->items.assign(order.begin() + long(off),
                order.begin() + long(std::min(order.size(), off + TargetBlockSize)));
            for (quint32 e : piece->items)
                entries[e].block = piece.get();
            blocks.push_back(std::move(piece));
        }
        renumberFrom(0);
    }

    std::vector<quint32> currentOrder() const
    {
        std::vector<quint32> order;
        order.reserve(entries.size());
        for (const auto &b : blocks)
            order.insert(order.end(), b->items.begin(), b->items.end());
        return order;
    }

    void insertRun(int row, const quint32 *first, size_t n)
    {
        q->beginInsertRows({}, row, row + int(n) - 1);
        insertAt(row, first, n);
        q->endInsertRows();
    }

    std::optional<quint32> entryOf(RowId id) const
    {
        if (id < idBase || id - idBase >= entries.size())
            return std::nullopt;
        return quint32(id - idBase);
    }
};

ResultsModel::ResultsModel(QObject *parent)
    : QAbstractTableModel(parent)
    , d(std::make_unique<Private>())
{
    d->q = this;
}

ResultsModel::~ResultsModel() = default;

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->orderSize();
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ResultRow::ColumnCount);
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return info::DisplayText(d->entries[d->entryAt(index.row())].row.cell(index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Alignments[size_t(index.column())] | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ResultRow::ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return tr(Captions[size_t(section)]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Alignments[size_t(section)] | Qt::AlignVCenter);
    return {};
}

void ResultsModel::appendRows(const QList<search::ResultRow> &rows)
{
    if (rows.isEmpty())
        return;
    const auto firstNew = quint32(d->entries.size());
    for (const ResultRow &row : rows) {
        d->entries.push_back({ row, {}, nullptr, d->nextTie++ });
        d->setKey(d->entries.back());
    }
    std::vector<quint32> added(size_t(rows.size()));
    std::iota(added.begin(), added.end(), firstNew);

    if (!d->sortEnabled) {
        d->insertRun(d->orderSize(), added.data(), added.size());
        return;
    }
    // Each new row's gap in the order as it stands; rows sharing a gap form one insertion.
    std::stable_sort(added.begin(), added.end(), [this](quint32 a, quint32 b) { return d->before(a, b); });
    std::vector<int> gaps(added.size());
    for (size_t i = 0; i < added.size(); ++i)
        gaps[i] = d->sortedGap(added[i]);
    size_t runStart = 0;
    for (size_t i = 1; i <= added.size(); ++i) {
        if (i < added.size() && gaps[i] == gaps[runStart])
            continue;
        d->insertRun(gaps[runStart] + int(runStart), added.data() + runStart, i - runStart);
        runStart = i;
    }
}

void ResultsModel::clear()
{
    beginResetModel();
    d->idBase += d->entries.size();
    d->entries.clear();
    d->entries.shrink_to_fit();
    d->blocks.clear();
    endResetModel();
}

void ResultsModel::setSorting(bool enabled, int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ResultRow::ColumnCount)
        return;
    const bool resort = enabled && (!d->sortEnabled || column != d->sortColumn || order != d->sortOrder);
    const bool keysChange = enabled != d->sortEnabled || column != d->sortColumn;
    d->sortEnabled = enabled;
    d->sortColumn = column;
    d->sortOrder = order;
    if (keysChange) {
        for (Private::Entry &e : d->entries)
            d->setKey(e);
    }
    if (!resort)
        return; // switching off keeps the rows where they are; later rows go to the end
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<quint32> persistentEntries;
    persistentEntries.reserve(size_t(persistent.size()));
    for (const QModelIndex &index : persistent)
        persistentEntries.push_back(d->entryAt(index.row()));

    std::vector<quint32> sorted = d->currentOrder();
    // Equal texts keep the order they are shown in now.
    for (size_t i = 0; i < sorted.size(); ++i)
        d->entries[sorted[i]].tie = i;
    std::stable_sort(sorted.begin(), sorted.end(), [this](quint32 a, quint32 b) { return d->before(a, b); });
    for (size_t i = 0; i < sorted.size(); ++i)
        d->entries[sorted[i]].tie = i;
    d->nextTie = sorted.size();
    d->rebuild(sorted);

    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (qsizetype i = 0; i < persistent.size(); ++i)
        moved.append(index(d->positionOf(persistentEntries[size_t(i)]), persistent[i].column()));
    changePersistentIndexList(persistent, moved);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool ResultsModel::isSortEnabled() const
{
    return d->sortEnabled;
}

int ResultsModel::sortColumn() const
{
    return d->sortColumn;
}

Qt::SortOrder ResultsModel::sortOrder() const
{
    return d->sortOrder;
}

RowId ResultsModel::rowId(int row) const
{
    if (row < 0 || row >= d->orderSize())
        return 0;
    return d->idBase + d->entryAt(row);
}

int ResultsModel::rowOf(RowId id) const
{
    const auto entry = d->entryOf(id);
    // An entry not yet placed is not a row yet (asked for while its insertion is announced).
    return entry && d->entries[*entry].block ? d->positionOf(*entry) : -1;
}

std::optional<search::ResultRow> ResultsModel::rowById(RowId id) const
{
    const auto entry = d->entryOf(id);
    if (!entry)
        return std::nullopt;
    return d->entries[*entry].row;
}

bool ResultsModel::setCell(RowId id, int column, const QString &text)
{
    const auto entry = d->entryOf(id);
    if (!entry || column < 0 || column >= ResultRow::ColumnCount)
        return false;
    Private::Entry &e = d->entries[*entry];
    if (e.row.cell(column) == text)
        return true;
    e.row.Cells[size_t(column)] = text;
    if (d->sortEnabled && column == d->sortColumn)
        d->setKey(e);
    int row = d->positionOf(*entry);
    if (d->sortEnabled && column == d->sortColumn) {
        d->removeAt(row);
        const int to = d->sortedGap(*entry);
        if (to == row) {
            d->insertAt(row, &*entry, 1);
        } else {
            beginMoveRows({}, row, row, {}, to > row ? to + 1 : to);
            d->insertAt(to, &*entry, 1);
            endMoveRows();
            row = to;
        }
    }
    Q_EMIT dataChanged(index(row, column), index(row, column), { Qt::DisplayRole });
    return true;
}

} // namespace rollcall::results
