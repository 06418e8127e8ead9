#include "ui/RunTexts.h"

#include <QLocale>
#include <cmath>

namespace rollcall::ui {

namespace {

using search::RunFailure;
using search::RunPhase;

const QString Searching = QStringLiteral("Searching For Players...");
const QString Downloading = QStringLiteral("Status: Downloading Server List...");
const QString TryLater = QStringLiteral("Please try again later.");

UserMessage Warning(const QString &first, const QString &second)
{
    return { UserMessage::Icon::Exclamation, TwoPartMessage(first, second) };
}

const QString UnknownListError = QStringLiteral("An unknown error occurred while obtaining the server list.");

// The master as given, and the address asked when that says more.
QString MasterTried(const QString &master, const QString &masterAddress)
{
    const QString given = master.trimmed();
    if (given.isEmpty() && masterAddress.isEmpty())
        return QString();
    QString text = QStringLiteral("Master server tried: ") + (given.isEmpty() ? masterAddress : given);
    if (!given.isEmpty() && !masterAddress.isEmpty() && masterAddress != given)
        text += QStringLiteral(" (") + masterAddress + QLatin1Char(')');
    return text;
}

QString Servers(int count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" server") : QStringLiteral(" servers"));
}

UserMessage MessageFor(RunFailure::Kind kind)
{
    switch (kind) {
    case RunFailure::Kind::MasterUnreachable:
        return Warning(QStringLiteral("Unable to contact the master server."),
            QStringLiteral("Please check the address and try again."));
    case RunFailure::Kind::BadMasterReply:
        return Warning(QStringLiteral("Bad master server response."), TryLater);
    case RunFailure::Kind::MalformedMasterReply:
    case RunFailure::Kind::SocketFailure:
        return Warning(UnknownListError, TryLater);
    case RunFailure::Kind::MasterTimedOut:
    case RunFailure::Kind::NoServersListed:
        break;
    }
    return Warning(QStringLiteral("No servers received from master."), TryLater);
}

} // namespace

QString HeadingText(const search::RunProgress &progress)
{
    // A reply that is no master list at all ends the run before the heading counts anything.
    const bool counted = progress.phase == RunPhase::Done
        && !(progress.failure && progress.failure->kind == RunFailure::Kind::BadMasterReply);
    return counted ? QString::number(progress.rows) + QStringLiteral(" Players Found") : Searching;
}

QString StatusText(const search::RunProgress &progress)
{
    switch (progress.phase) {
    case RunPhase::Resolving:
        return Downloading;
    case RunPhase::DownloadingList:
    case RunPhase::Querying:
        return QStringLiteral("Status: Downloading Server List (") + QString::number(progress.listed)
            + QStringLiteral(")...");
    case RunPhase::Refreshing:
        return QStringLiteral("Status: Refreshing ") + progress.server.Address + QLatin1Char(':')
            + QString::number(progress.server.Port) + QStringLiteral("...");
    case RunPhase::Done:
        break;
    }
    return QStringLiteral("Status: Done.");
}

QString TotalText(const search::RunProgress &progress)
{
    return QStringLiteral("Total Servers: ") + QString::number(progress.listed);
}

int HandedOutPercent(const search::RunProgress &progress)
{
    if (progress.listed <= 0)
        return 0;
    // Division then multiplication in double, floored: 29 of 100 shows 72% left, not 71%.
    const int reached = progress.listed - progress.left;
    return int(std::floor((double(reached) / double(progress.listed)) * 100.0));
}

QString LeftText(const search::RunProgress &progress)
{
    return QStringLiteral("Servers Left: ") + QString::number(progress.left) + QStringLiteral(" (")
        + QString::number(100 - HandedOutPercent(progress)) + QStringLiteral("%)");
}

UserMessage FailureMessage(const search::RunFailure &failure)
{
    UserMessage message = MessageFor(failure.kind);
    message.informativeText = MasterTried(failure.master, failure.masterAddress);
    return message;
}

UserMessage NoticeMessage(const search::RunNotice &notice)
{
    const bool one = notice.listed == 1;
    const QString searched = QStringLiteral("The ") + Servers(notice.listed)
        + (one ? QStringLiteral(" received before it was searched.")
               : QStringLiteral(" received before it were searched."));
    UserMessage message;
    switch (notice.kind) {
    case search::RunNotice::Kind::MasterStoppedAnswering:
        message
            = Warning(QStringLiteral("The master server stopped answering after ") + Servers(notice.listed)
                    + (one ? QStringLiteral("; it was searched.") : QStringLiteral("; those were searched.")),
                QStringLiteral("It answers only so often: wait a minute before the next search."));
        break;
    case search::RunNotice::Kind::BadMasterReply:
        message = Warning(QStringLiteral("Bad master server response."), searched);
        break;
    case search::RunNotice::Kind::MalformedMasterReply:
        message = Warning(UnknownListError, searched);
        break;
    }
    message.informativeText = MasterTried(notice.master, notice.masterAddress);
    return message;
}

RunLabels::RunLabels()
    : m_heading(Searching)
    , m_status(Downloading)
    , m_total(QStringLiteral("Total Servers:"))
    , m_left(QStringLiteral("Servers Left:"))
{ }

int RunLabels::restart()
{
    m_heading = Searching;
    m_status = Downloading;
    m_countsShown = false;
    m_handedOutPercent = 0;
    return AllParts;
}

int RunLabels::update(const search::RunProgress &progress)
{
    int changed = 0;
    const auto set = [&changed](QString &field, const QString &text, Part part) {
        if (field != text) {
            field = text;
            changed |= part;
        }
    };
    set(m_status, StatusText(progress), Status);
    set(m_heading, HeadingText(progress), Heading);
    const bool shown = progress.isQuerying();
    if (shown != m_countsShown)
        changed |= Total | Left;
    m_countsShown = shown;
    if (shown) {
        set(m_total, TotalText(progress), Total);
        set(m_left, LeftText(progress), Left);
        const int percent = HandedOutPercent(progress);
        if (percent != m_handedOutPercent)
            changed |= Left;
        m_handedOutPercent = percent;
    }
    return changed;
}

UserMessage ListCutMessage(int kept)
{
    // Grouped the same way whatever the user's locale: the other texts here are English too.
    const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(kept);
    return { UserMessage::Icon::Exclamation,
        QStringLiteral("The master server listed more than ") + count + QStringLiteral(" servers; the first ")
            + count + QStringLiteral(" were searched.") };
}

} // namespace rollcall::ui
