#pragma once

// The version as people read it, shared by the window and the command-line tools. Header-only
// and QtCore-only, so a tool that links no widgets can print it too; the numbers come from the
// project version through the compile definitions every target gets.

#include <QString>

namespace rollcall::ui {

// "1.3", or "1.3.2" when the revision is not 0.
inline QString VersionText(int major, int minor, int revision)
{
    QString text = QString::number(major) + QLatin1Char('.') + QString::number(minor);
    if (revision != 0)
        text += QLatin1Char('.') + QString::number(revision);
    return text;
}

inline QString ProgramVersionText()
{
    return VersionText(ROLLCALL_VERSION_MAJOR, ROLLCALL_VERSION_MINOR, ROLLCALL_VERSION_REVISION);
}

} // namespace rollcall::ui
