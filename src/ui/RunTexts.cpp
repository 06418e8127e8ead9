#include "ui/RunTexts.h"

#include "ui/ListFileTexts.h"
#include "ui/WebApiTexts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace rollcall::ui {

namespace {

using search::RunFailure;
using search::RunPhase;

// The window loads its translation after these are made: each is translated where it is used.
// rollcall-find loads none, so scripts read the English.
const char *const Searching = QT_TRANSLATE_NOOP("RunTexts", "Searching For Players...");
const char *const Downloading = QT_TRANSLATE_NOOP("RunTexts", "Status: Downloading Server List...");
const char *const TryLater = QT_TRANSLATE_NOOP("RunTexts", "Please try again later.");

QString text(const char *source)
{
    return QCoreApplication::translate("RunTexts", source);
}

UserMessage Warning(const QString &first, const QString &second)
{
    return { UserMessage::Icon::Exclamation, TwoPartMessage(first, second) };
}

const char *const UnknownListError
    = QT_TRANSLATE_NOOP("RunTexts", "An unknown error occurred while obtaining the server list.");

// The master as given, and the address asked when that says more.
QString MasterTried(const QString &master, const QString &masterAddress)
{
    const QString given = master.trimmed();
    if (given.isEmpty() && masterAddress.isEmpty())
        return QString();
    if (!given.isEmpty() && !masterAddress.isEmpty() && masterAddress != given)
        return QCoreApplication::translate("RunTexts", "Master server tried: %1 (%2)")
            .arg(given, masterAddress);
    return QCoreApplication::translate("RunTexts", "Master server tried: %1")
        .arg(given.isEmpty() ? masterAddress : given);
}

// What the server or the network said, then the address asked (never with the key, which is
// not part of the base).
QString WebApiDetails(const QString &said, const QString &base)
{
    QStringList lines;
    if (!said.isEmpty())
        lines << said;
    if (!base.isEmpty())
        lines << QCoreApplication::translate("RunTexts", "Steam Web API address: %1").arg(base);
    return lines.join(QLatin1Char('\n'));
}

UserMessage WebApiMessage(const search::WebApiOutcome &outcome, const QString &base)
{
    std::optional<UserMessage> worded = WebApiOutcomeMessage(outcome);
    // A list that came back whole but empty: the filters matched nobody.
    UserMessage message = worded
        ? *worded
        : UserMessage(UserMessage::Icon::Exclamation,
            QCoreApplication::translate("RunTexts", "The Steam Web API listed no servers for this search."));
    message.informativeText = WebApiDetails(message.informativeText, base);
    return message;
}

UserMessage MessageFor(RunFailure::Kind kind)
{
    switch (kind) {
    case RunFailure::Kind::MasterUnreachable:
        return Warning(QCoreApplication::translate("RunTexts", "Unable to contact the master server."),
            QCoreApplication::translate("RunTexts", "Please check the address and try again."));
    case RunFailure::Kind::BadMasterReply:
        return Warning(
            QCoreApplication::translate("RunTexts", "Bad master server response."), text(TryLater));
    case RunFailure::Kind::MalformedMasterReply:
    case RunFailure::Kind::SocketFailure:
        return Warning(text(UnknownListError), text(TryLater));
    case RunFailure::Kind::MasterTimedOut:
    case RunFailure::Kind::NoServersListed:
    case RunFailure::Kind::ListFileUnreadable: // worded by ListFileFailureMessage
    case RunFailure::Kind::NoUsableServer:
    case RunFailure::Kind::WebApiFailed:
        break;
    }
    return Warning(
        QCoreApplication::translate("RunTexts", "No servers received from master."), text(TryLater));
}

} // namespace

QString HeadingText(const search::RunProgress &progress)
{
    // A reply that is no master list at all ends the run before the heading counts anything.
    const bool counted = progress.phase == RunPhase::Done
        && !(progress.failure && progress.failure->kind == RunFailure::Kind::BadMasterReply);
    return counted ? QCoreApplication::translate("RunTexts", "%1 Players Found").arg(progress.rows)
                   : text(Searching);
}

QString StatusText(const search::RunProgress &progress)
{
    switch (progress.phase) {
    case RunPhase::Resolving:
        return text(Downloading);
    case RunPhase::DownloadingList:
    case RunPhase::Querying:
        return QCoreApplication::translate("RunTexts", "Status: Downloading Server List (%1)...")
            .arg(progress.listed);
    case RunPhase::Refreshing:
        return QCoreApplication::translate("RunTexts", "Status: Refreshing %1:%2...")
            .arg(progress.server.Address, QString::number(progress.server.Port));
    case RunPhase::Done:
        break;
    }
    return QCoreApplication::translate("RunTexts", "Status: Done.");
}

QString TotalText(const search::RunProgress &progress)
{
    return QCoreApplication::translate("RunTexts", "Total Servers: %1").arg(progress.listed);
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
    return QCoreApplication::translate("RunTexts", "Servers Left: %1 (%2%)")
        .arg(QString::number(progress.left), QString::number(100 - HandedOutPercent(progress)));
}

UserMessage FailureMessage(const search::RunFailure &failure, int maxProblemsShown)
{
    if (failure.kind == RunFailure::Kind::ListFileUnreadable
        || failure.kind == RunFailure::Kind::NoUsableServer)
        return ListFileFailureMessage(failure, maxProblemsShown);
    if (failure.kind == RunFailure::Kind::WebApiFailed)
        return WebApiMessage(failure.webApi, failure.master);
    UserMessage message = MessageFor(failure.kind);
    message.informativeText = MasterTried(failure.master, failure.masterAddress);
    return message;
}

UserMessage NoticeMessage(const search::RunNotice &notice, int maxProblemsShown)
{
    if (notice.kind == search::RunNotice::Kind::ListFileBadLines)
        return ListFileNoticeMessage(notice, maxProblemsShown);
    const bool one = notice.listed == 1;
    const QString count = QString::number(notice.listed);
    const QString searched = one
        ? QCoreApplication::translate("RunTexts", "The 1 server received before it was searched.")
        : QCoreApplication::translate("RunTexts", "The %1 servers received before it were searched.")
              .arg(count);
    if (notice.kind == search::RunNotice::Kind::WebApiCutShort) {
        UserMessage message = WebApiMessage(notice.webApi, notice.master);
        // The ceiling's own words say what was searched.
        if (notice.webApi.end != search::WebApiEnd::CeilingReached)
            message.text = TwoPartMessage(message.text, searched);
        return message;
    }
    UserMessage message;
    switch (notice.kind) {
    case search::RunNotice::Kind::MasterStoppedAnswering:
        message
            = Warning(one ? QCoreApplication::translate(
                          "RunTexts", "The master server stopped answering after 1 server; it was searched.")
                          : QCoreApplication::translate("RunTexts",
                              "The master server stopped answering after %1 servers; those were searched.")
                                .arg(count),
                QCoreApplication::translate(
                    "RunTexts", "It answers only so often: wait a minute before the next search."));
        break;
    case search::RunNotice::Kind::BadMasterReply:
        message = Warning(QCoreApplication::translate("RunTexts", "Bad master server response."), searched);
        break;
    case search::RunNotice::Kind::MalformedMasterReply:
        message = Warning(text(UnknownListError), searched);
        break;
    case search::RunNotice::Kind::ListFileBadLines:
    case search::RunNotice::Kind::WebApiCutShort:
        break;
    }
    message.informativeText = MasterTried(notice.master, notice.masterAddress);
    return message;
}

RunLabels::RunLabels()
    : m_heading(text(Searching))
    , m_status(text(Downloading))
    , m_total(QCoreApplication::translate("RunTexts", "Total Servers:"))
    , m_left(QCoreApplication::translate("RunTexts", "Servers Left:"))
{ }

int RunLabels::restart()
{
    m_heading = text(Searching);
    m_status = text(Downloading);
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
    // Grouped the same way whatever the user's locale, so that rollcall-find prints the same for
    // every user.
    const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(kept);
    return { UserMessage::Icon::Exclamation,
        QCoreApplication::translate(
            "RunTexts", "The master server listed more than %1 servers; the first %1 were searched.")
            .arg(count) };
}

} // namespace rollcall::ui
