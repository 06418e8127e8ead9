#include "app/WindowHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTreeView>

namespace rollcall::app {

void ToggleFullRowSelect(QTreeView *list)
{
    const bool fullRow = list->selectionBehavior() == QAbstractItemView::SelectRows;
    list->setSelectionBehavior(fullRow ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(!fullRow);
}

void ToggleFlatHeader(QTreeView *list)
{
    QHeaderView *header = list->header();
    const bool pressable = header->sectionsClickable();
    header->setSectionsClickable(!pressable);
    header->setHighlightSections(!pressable);
}

void SetPlainButtonStyle(QAbstractButton *button)
{
    if (auto *push = qobject_cast<QPushButton *>(button))
        push->setFlat(false);
    button->setIcon(QIcon());
    button->update();
}

namespace {

void putOnClipboard(const QString &text)
{
    if (text.isEmpty())
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
}

} // namespace

void CopySelection(QLineEdit *box)
{
    putOnClipboard(box->selectedText());
}

void CopySelection(QPlainTextEdit *box)
{
    // QTextCursor::selectedText() turns line ends into U+2029; the clipboard must get CR LF as typed.
    const QTextCursor cursor = box->textCursor();
    const QString all = box->toPlainText();
    putOnClipboard(all.mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()));
}

} // namespace rollcall::app
