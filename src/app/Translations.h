#pragma once

#include <QList>
#include <QLocale>
#include <QStringList>

class QTranslator;

namespace rollcall::app {

// Where the window looks for its translations: beside the installed program
// (<prefix>/share/rollcall/translations), then among those compiled in.
QStringList TranslationFolders();

// Installs the program's translation for the first of the locale's languages that has one in
// `folders` (the first folder that has it wins), with Qt's own for the same language so that
// standard buttons match. English before any translated language keeps the program's own words.
// Returns the translators installed, owned by the application; none leaves the texts in English.
QList<QTranslator *> InstallTranslations(const QLocale &locale, const QStringList &folders);

} // namespace rollcall::app
