#include "ui/Seams.h"

#include "launch/SchemeHandler.h"
#include "ui/About.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

namespace rollcall::ui {

namespace {

void showMessageBox(QWidget *parent, const UserMessage &message)
{
    const auto icon
        = message.icon == UserMessage::Icon::Critical ? QMessageBox::Critical : QMessageBox::Warning;
    QMessageBox box(icon, ApplicationTitle, message.text, QMessageBox::Ok, parent);
    // The details name files and system texts: shown exactly, never read as markup.
    if (!message.informativeText.isEmpty())
        box.setInformativeText(QStringLiteral("<p style='white-space:pre-wrap'>")
            + message.informativeText.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"))
            + QStringLiteral("</p>"));
    box.exec();
}

QString chooseFileWithDialog(QWidget *parent, const QString &title, const QString &startFile,
    const QString &startFolder, const QString &filter)
{
    QFileDialog dialog(parent, title, startFolder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!startFile.isEmpty())
        dialog.selectFile(startFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return startFile;
    return dialog.selectedFiles().constFirst();
}

bool startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

Seams makeDefaults()
{
    return Seams { &showMessageBox, &chooseFileWithDialog, &startDetached, &ShowAboutBox,
        &QDesktopServices::openUrl, &launch::DesktopHasSchemeHandler };
}

} // namespace

Seams &seams()
{
    static Seams instance = makeDefaults();
    return instance;
}

void resetSeams()
{
    seams() = makeDefaults();
}

} // namespace rollcall::ui
