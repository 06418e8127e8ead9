#pragma once

// Small stateless steps the windows apply to their controls when they load.

#include <QString>

class QAbstractButton;
class QGroupBox;
class QLineEdit;
class QTreeView;
class QWidget;

namespace rollcall::ui {

// A click anywhere in a row selects and highlights the whole row; a second call undoes it.
void ToggleFullRowSelect(QTreeView *list);

// The access key of the frame's caption moves the focus to `target`, a control in the frame,
// rather than to whichever child comes first in the focus chain (it may be disabled).
void SetFrameShortcutTarget(QGroupBox *frame, QWidget *target);

// Ctrl+W closes the window, and Esc too unless it is a dialog (a dialog takes Esc itself).
void AddCloseKeys(QWidget *window);

// An ordinary push button drawn by the style, caption only.
void SetPlainButtonStyle(QAbstractButton *button);

// Puts the text on the clipboard, replacing what was there; an empty text copies nothing.
void CopyText(const QString &text);
// Copies the box's current selection the same way.
void CopySelection(QLineEdit *box);

} // namespace rollcall::ui
