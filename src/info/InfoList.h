#pragma once

// An information list as the server information and launch windows show it: rows of text
// under a header, F5 to ask the server again, and one Refresh/Copy menu per window.

#include "info/CellText.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTreeView>
#include <functional>
#include <vector>

class QMenu;

namespace rollcall::info {

class TextListModel;

class InfoList final : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InfoList)

public:
    struct Column
    {
        QString caption;
        Qt::Alignment alignment = Qt::AlignLeft;
        int designTwips = 0; // the least width
        QString sample; // as wide as the column's usual content; empty: the caption decides
        bool stretch = false; // takes the width the list gains
        CellKind kind = CellKind::Text;
    };

    // The list owns its rows; header clicks sort them when `sortable`.
    InfoList(const char *name, const QList<Column> &columns, bool sortable, QWidget *parent);

    TextListModel *rows() const { return m_rows; }
    // Rows in the order they came, no sort indicator; the next header click sorts ascending.
    void unsort();

Q_SIGNALS:
    void refreshWanted();
    // A right button released over the list while one of its rows is selected.
    void menuWanted(QPoint globalPosition);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void headerClicked(int column);

    TextListModel *m_rows = nullptr;
};

// The window's one Refresh/Copy menu. A command acts on the list the menu was opened over and
// then forgets it, so a stray command afterwards does nothing; in a window of one list it
// always acts on that list.
class ListMenu final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ListMenu)

public:
    explicit ListMenu(QWidget *window);

    // F5 in the list and "Refresh" call `refresh`; "Copy" puts the list's rows on the clipboard.
    void attach(InfoList *list, std::function<void()> refresh);

private:
    InfoList *takeTarget();
    void refreshTarget();
    void copyTarget();

    QMenu *m_menu = nullptr;
    QPointer<InfoList> m_target;
    std::vector<std::pair<InfoList *, std::function<void()>>> m_refreshers;
};

} // namespace rollcall::info
