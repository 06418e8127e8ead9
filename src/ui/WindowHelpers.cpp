#include "ui/WindowHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace rollcall::ui {

void ToggleFullRowSelect(QTreeView *list)
{
    const bool fullRow = list->selectionBehavior() == QAbstractItemView::SelectRows;
    list->setSelectionBehavior(fullRow ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(!fullRow);
}

void SetPlainButtonStyle(QAbstractButton *button)
{
    if (auto *push = qobject_cast<QPushButton *>(button))
        push->setFlat(false);
    button->setIcon(QIcon());
    button->update();
}

void CopyText(const QString &text)
{
    if (text.isEmpty())
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
}

void CopySelection(QLineEdit *box)
{
    CopyText(box->selectedText());
}

} // namespace rollcall::ui
