#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace rollcall::app {

namespace {

const QString ProgramFile = QStringLiteral("rollcall");
const QString QtFile = QStringLiteral("qtbase");

std::unique_ptr<QTranslator> load(const QLocale &language, const QString &file, const QString &folder)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(language, file, QStringLiteral("_"), folder))
        return nullptr;
    return translator;
}

} // namespace

QStringList TranslationFolders()
{
    return { QCoreApplication::applicationDirPath() + QStringLiteral("/../share/rollcall/translations"),
        QStringLiteral(":/i18n") };
}

QList<QTranslator *> InstallTranslations(const QLocale &locale, const QStringList &folders)
{
    // Asked one language at a time, so that a user who prefers English to German is not given
    // German only because no English translation exists: English is what the texts are written in.
    const QStringList languages = locale.uiLanguages();
    for (const QString &name : languages) {
        const QLocale language(name);
        if (language.language() == QLocale::English || language.language() == QLocale::C)
            return {};
        for (const QString &folder : folders) {
            std::unique_ptr<QTranslator> program = load(language, ProgramFile, folder);
            if (!program)
                continue;
            QList<QTranslator *> installed;
            // Qt's own only beside the program's, in the same language: an English window with
            // German standard buttons would read worse than one all in English.
            std::unique_ptr<QTranslator> qt
                = load(language, QtFile, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
            if (qt && QCoreApplication::installTranslator(qt.get()))
                installed.append(qt.release());
            if (QCoreApplication::installTranslator(program.get()))
                installed.append(program.release());
            return installed;
        }
    }
    return {};
}

} // namespace rollcall::app
