#include "ui/ListEvents.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeView>

namespace rollcall::ui {

ListEvents::ListEvents(QTreeView *list)
    : QObject(list)
    , m_list(list)
    , m_viewport(list->viewport())
{
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
}

bool ListEvents::eventFilter(QObject *watched, QEvent *event)
{
    // Only pointers are compared before the event type is known: the list may be half destroyed.
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_F5) {
            Q_EMIT refreshKeyPressed();
            return true;
        }
    } else if (watched == m_viewport && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QItemSelectionModel *selection = m_list->selectionModel();
        if (mouse->button() == Qt::RightButton && selection && selection->hasSelection())
            Q_EMIT menuWanted(mouse->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rollcall::ui
