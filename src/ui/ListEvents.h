#pragma once

// The two list events the information and launch windows act on: F5 in a list, and a right
// button released over a list that has a selected row.

#include <QObject>
#include <QPoint>

class QTreeView;

namespace rollcall::ui {

class ListEvents final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ListEvents)

public:
    // Watches `list` (and its viewport); owned by the list.
    explicit ListEvents(QTreeView *list);

Q_SIGNALS:
    void refreshKeyPressed();
    void menuWanted(QPoint globalPosition);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeView *m_list;
    QObject *m_viewport;
};

} // namespace rollcall::ui
