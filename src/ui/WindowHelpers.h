#pragma once

// Small stateless steps the windows apply to their controls when they load.

#include <QString>

class QAbstractButton;
class QLineEdit;
class QTreeView;

namespace rollcall::ui {

// A click anywhere in a row selects and highlights the whole row; a second call undoes it.
void ToggleFullRowSelect(QTreeView *list);

// An ordinary push button drawn by the style, caption only.
void SetPlainButtonStyle(QAbstractButton *button);

// Puts the text on the clipboard, replacing what was there; an empty text copies nothing.
void CopyText(const QString &text);
// Copies the box's current selection the same way.
void CopySelection(QLineEdit *box);

} // namespace rollcall::ui
