#include "ui/WindowHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTreeView>

namespace rollcall::ui {

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
    // A multi-line box breaks its lines with CR LF, as the lists' copy text is written; the
    // document underneath keeps bare line feeds, so put the CR back.
    const QTextCursor cursor = box->textCursor();
    QString selected
        = box->toPlainText().mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    selected.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    putOnClipboard(selected);
}

} // namespace rollcall::ui
