#pragma once

// The few places where a window blocks on the user or starts another program. Production
// code calls through seams(); headless tests replace a member and restore it afterwards.

#include "ui/UserMessage.h"

#include <QString>
#include <QStringList>
#include <functional>

class QUrl;
class QWidget;

namespace rollcall::ui {

struct Seams
{
    // A modal box titled "Rollcall" with one OK button, the informative text below the text.
    std::function<void(QWidget *parent, const UserMessage &message)> showMessage;
    // An open-file dialog; returns the chosen file, or startFile when cancelled.
    std::function<QString(QWidget *parent, const QString &title, const QString &startFile,
        const QString &startFolder, const QString &filter)>
        chooseFile;
    // Starts a program without waiting for it; false when it could not be started.
    std::function<bool(const QString &program, const QStringList &arguments)> startProcess;
    // The About box (version, licence, links), modal.
    std::function<void(QWidget *parent)> showAbout;
    // Hands a link to the desktop's program for it (a browser, Steam); false when none took it.
    std::function<bool(const QUrl &url)> openUrl;
    // Whether the desktop has a program for links of this scheme ("steam").
    std::function<bool(const QString &scheme)> hasUrlHandler;
};

Seams &seams();

// Puts back the production behaviour of every seam.
void resetSeams();

inline const QString ApplicationTitle = QStringLiteral("Rollcall");

} // namespace rollcall::ui
