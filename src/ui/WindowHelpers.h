#pragma once

// Small stateless steps the windows apply to their controls when they load.

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;
class QTreeView;

namespace rollcall::ui {

// A click anywhere in a row selects and highlights the whole row; a second call undoes it.
void ToggleFullRowSelect(QTreeView *list);

// Column heads that no longer press or sort; a second call restores them.
void ToggleFlatHeader(QTreeView *list);

// An ordinary push button drawn by the style, caption only.
void SetPlainButtonStyle(QAbstractButton *button);

// Copies the box's current selection to the clipboard as plain text, replacing what was
// there; an empty selection copies nothing. A multi-line box copies its line breaks as CR LF.
void CopySelection(QLineEdit *box);
void CopySelection(QPlainTextEdit *box);

} // namespace rollcall::ui
