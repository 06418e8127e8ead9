#include "ui/About.h"

#include "ui/Icons.h"
#include "ui/Seams.h"
#include "ui/Version.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace rollcall::ui {

namespace {

struct ReadmeSection
{
    const char *Title;
    const char *Anchor; // as the homepage renders the heading
};

constexpr ReadmeSection ReadmeSections[] {
    { QT_TRANSLATE_NOOP("About", "Quick start"), "quick-start" },
    { QT_TRANSLATE_NOOP("About", "Searching from the command line"),
        "rollcall-find-the-same-search-from-the-command-line" },
    { QT_TRANSLATE_NOOP("About", "A simulated network to try it on"), "hlsim-a-simulated-network" },
    { QT_TRANSLATE_NOOP("About", "Contributing"), "contributing" },
};

} // namespace

QString AboutText()
{
    QString links;
    for (const ReadmeSection &section : ReadmeSections) {
        links += QStringLiteral("<li><a href=\"%1#%2\">%3</a></li>")
                     .arg(ProjectHomepage, QLatin1String(section.Anchor),
                         QCoreApplication::translate("About", section.Title));
    }
    return QStringLiteral("<h3>%1 %2</h3><p>%3</p><p>%4</p><p><a href=\"%5\">%5</a></p><ul>%6</ul>")
        .arg(ApplicationTitle, ProgramVersionText(),
            QCoreApplication::translate("About", "Finds your friends on Half-Life servers."),
            QCoreApplication::translate("About", "Free software under the MIT licence."), ProjectHomepage,
            links);
}

void ShowAboutBox(QWidget *parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(QCoreApplication::translate("About", "About %1").arg(ApplicationTitle));
    box.setIconPixmap(IconPixmap(1, 64));
    box.setTextFormat(Qt::RichText);
    box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    box.setText(AboutText());
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace rollcall::ui
