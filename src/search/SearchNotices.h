#pragma once

// WORDING. The user-facing text of the notices the search core reports as facts (numbers),
// kept in this one place until the window's text formatter takes it over. The window shows a
// notice through its message seam, rollcall-find prints it on stderr.

#include "protocol/UserMessage.h"

#include <QLocale>
#include <QString>

namespace rollcall::search {

// SearchRun::masterListCut: the master listed more servers than a run takes.
inline UserMessage MasterListCutMessage(int kept)
{
    const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(kept);
    return { UserMessage::Icon::Exclamation,
        QStringLiteral("The master server listed more than ") + count + QStringLiteral(" servers; the first ")
            + count + QStringLiteral(" were searched.") };
}

} // namespace rollcall::search
