#include "ui/WindowHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

namespace rollcall::ui {

namespace {

class FrameShortcut final : public QObject
{
public:
    FrameShortcut(QGroupBox *frame, QWidget *target)
        : QObject(frame)
        , m_target(target)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Shortcut || !m_target || !m_target->isEnabled())
            return QObject::eventFilter(watched, event);
        m_target->setFocus(Qt::ShortcutFocusReason);
        return true;
    }

private:
    QPointer<QWidget> m_target;
};

} // namespace

void ToggleFullRowSelect(QTreeView *list)
{
    const bool fullRow = list->selectionBehavior() == QAbstractItemView::SelectRows;
    list->setSelectionBehavior(fullRow ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(!fullRow);
}

void SetFrameShortcutTarget(QGroupBox *frame, QWidget *target)
{
    frame->installEventFilter(new FrameShortcut(frame, target));
}

void AddCloseKeys(QWidget *window)
{
    QList<QKeySequence> keys { QKeySequence(Qt::CTRL | Qt::Key_W) };
    if (!qobject_cast<QDialog *>(window))
        keys.append(QKeySequence(Qt::Key_Escape));
    for (const QKeySequence &key : keys) {
        auto *shortcut = new QShortcut(key, window);
        QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
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
