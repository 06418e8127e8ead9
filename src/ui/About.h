#pragma once

// The About box: the version, the licence and where to read more.

#include <QString>

class QWidget;

namespace rollcall::ui {

// The project's home; the About box links to sections of the README shown there.
inline const QString ProjectHomepage = QStringLiteral("https://github.com/rollcall-app/rollcall");

// The box's text as rich text, with links to the README's sections.
QString AboutText();

// Modal: returns when the user closes the box. Windows call it through seams().showAbout.
void ShowAboutBox(QWidget *parent);

} // namespace rollcall::ui
