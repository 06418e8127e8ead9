#include "info/InfoList.h"

#include "info/TextListModel.h"
#include "ui/CutTextTips.h"
#include "ui/Sizing.h"
#include "ui/WindowHelpers.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace rollcall::info {

InfoList::InfoList(const char *name, const QList<Column> &columns, bool sortable, QWidget *parent)
    : QTreeView(parent)
{
    QList<TextListModel::Column> modelColumns;
    for (const Column &column : columns)
        modelColumns.append({ column.caption, column.alignment, column.kind });
    m_rows = new TextListModel(modelColumns, this);
    setObjectName(QLatin1String(name));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSortingEnabled(false);
    setModel(m_rows);
    QList<ui::ColumnFit> fits;
    int stretch = -1;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        fits.append({ columns[c].designTwips, columns[c].sample });
        if (columns[c].stretch)
            stretch = int(c);
    }
    ui::FitColumns(this, fits, stretch);
    setItemDelegate(new ui::CutTextTips(this));
    header()->setSectionsClickable(sortable);
    header()->setHighlightSections(sortable);
    if (sortable)
        connect(header(), &QHeaderView::sectionClicked, this, &InfoList::headerClicked);
}

void InfoList::unsort()
{
    m_rows->setSorting(false, m_rows->sortColumn(), Qt::DescendingOrder);
    header()->setSortIndicatorShown(false);
}

void InfoList::headerClicked(int column)
{
    m_rows->sortByHeaderClick(column);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_rows->sortOrder());
}

void InfoList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F5) {
        event->accept();
        Q_EMIT refreshWanted();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void InfoList::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton && selectionModel() && selectionModel()->hasSelection())
        Q_EMIT menuWanted(event->globalPosition().toPoint());
}

ListMenu::ListMenu(QWidget *window)
    : QObject(window)
    , m_menu(new QMenu(window))
{
    m_menu->setObjectName(QStringLiteral("LVPopupMenu"));
    QAction *refresh = m_menu->addAction(tr("&Refresh"));
    refresh->setObjectName(QStringLiteral("RefreshMenu"));
    QAction *copy = m_menu->addAction(tr("&Copy"));
    copy->setObjectName(QStringLiteral("CopyMenu"));
    connect(refresh, &QAction::triggered, this, &ListMenu::refreshTarget);
    connect(copy, &QAction::triggered, this, &ListMenu::copyTarget);
}

void ListMenu::attach(InfoList *list, std::function<void()> refresh)
{
    m_refreshers.emplace_back(list, refresh);
    connect(list, &InfoList::refreshWanted, this, [refresh] { refresh(); });
    connect(list, &InfoList::menuWanted, this, [this, list](QPoint at) {
        m_target = list;
        m_menu->popup(at);
    });
}

InfoList *ListMenu::takeTarget()
{
    InfoList *target = std::exchange(m_target, nullptr);
    return target || m_refreshers.size() != 1 ? target : m_refreshers.front().first;
}

void ListMenu::refreshTarget()
{
    InfoList *target = takeTarget();
    for (const auto &[list, refresh] : m_refreshers) {
        if (target && list == target)
            refresh();
    }
}

void ListMenu::copyTarget()
{
    if (InfoList *target = takeTarget())
        ui::CopyText(target->rows()->copyText());
}

} // namespace rollcall::info
