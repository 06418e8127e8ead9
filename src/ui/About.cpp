#include "ui/About.h"

#include "ui/Icons.h"
#include "ui/Seams.h"
#include "ui/Version.h"

#include <QMessageBox>

namespace rollcall::ui {

namespace {

struct ReadmeSection
{
    const char *Title;
    const char *Anchor; // as the homepage renders the heading
};

constexpr ReadmeSection ReadmeSections[] {
    { "Quick start", "quick-start" },
    { "Searching from the command line", "rollcall-find-the-same-search-from-the-command-line" },
    { "A simulated network to try it on", "hlsim-a-simulated-network" },
    { "Contributing", "contributing" },
};

} // namespace

QString AboutText()
{
    QString links;
    for (const ReadmeSection &section : ReadmeSections) {
        links += QStringLiteral("<li><a href=\"%1#%2\">%3</a></li>")
                     .arg(ProjectHomepage, QLatin1String(section.Anchor), QLatin1String(section.Title));
    }
    return QStringLiteral("<h3>%1 %2</h3>"
                          "<p>Finds your friends on Half-Life servers.</p>"
                          "<p>Free software under the MIT licence.</p>"
                          "<p><a href=\"%3\">%3</a></p><ul>%4</ul>")
        .arg(ApplicationTitle, ProgramVersionText(), ProjectHomepage, links);
}

void ShowAboutBox(QWidget *parent)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("About ") + ApplicationTitle);
    box.setIconPixmap(IconPixmap(1, 64));
    box.setTextFormat(Qt::RichText);
    box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    box.setText(AboutText());
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace rollcall::ui
