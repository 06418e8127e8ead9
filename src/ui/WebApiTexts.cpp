#include "ui/WebApiTexts.h"

#include <QLocale>

namespace rollcall::ui {

namespace {

using search::WebApiEnd;

const QString TryLater = QStringLiteral("Please try again later.");

UserMessage Warning(const QString &text, const QString &details = QString())
{
    return { UserMessage::Icon::Exclamation, text, details };
}

// The ends that come from an answer the server gave.
UserMessage AnswerMessage(const search::WebApiOutcome &outcome)
{
    switch (outcome.end) {
    case WebApiEnd::KeyRefused:
        return Warning(QStringLiteral("The Steam Web API refused the key. Check it in the options."));
    case WebApiEnd::RateLimited:
        return Warning(
            QStringLiteral("The Steam Web API is limiting requests: wait a minute before the next search."));
    case WebApiEnd::ServerError:
        return Warning(QStringLiteral("The Steam Web API failed: ")
            + HttpStatusText(outcome.httpStatus, outcome.detail) + QStringLiteral(". ") + TryLater);
    case WebApiEnd::TooLarge:
        return Warning(QStringLiteral("The Steam Web API's answer was over 16 MiB and was refused."));
    default:
        break;
    }
    if (outcome.httpStatus != 0 && outcome.httpStatus != 200)
        return Warning(QStringLiteral("The Steam Web API answered ")
            + HttpStatusText(outcome.httpStatus, outcome.detail)
            + QStringLiteral(" instead of a server list."));
    return Warning(QStringLiteral("The Steam Web API sent an answer that is not a server list. ") + TryLater);
}

} // namespace

QString HttpStatusText(int status, const QString &reason)
{
    const QString trimmed = reason.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("HTTP ") + QString::number(status);
    return QString::number(status) + QLatin1Char(' ') + trimmed;
}

std::optional<UserMessage> WebApiOutcomeMessage(const search::WebApiOutcome &outcome)
{
    switch (outcome.end) {
    case WebApiEnd::Complete:
    case WebApiEnd::CapReached:
        return std::nullopt;
    case WebApiEnd::CeilingReached: {
        const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(outcome.count);
        return Warning(QStringLiteral("The Steam Web API listed more than ") + count
            + QStringLiteral(" servers; the first ") + count + QStringLiteral(" were searched."));
    }
    case WebApiEnd::NoKey:
        return Warning(QStringLiteral("No Steam Web API key is set. Enter one in the options."));
    case WebApiEnd::BadAddress:
        return Warning(QStringLiteral("The Steam Web API address is not an https:// address."));
    case WebApiEnd::InsecureRefused:
        return Warning(
            QStringLiteral("The Steam Web API address starts with http://, which would send the key "
                           "unencrypted. Use https://; plain http:// is only for this computer."));
    case WebApiEnd::TimedOut:
        return Warning(QStringLiteral("The Steam Web API did not answer in time. ") + TryLater);
    case WebApiEnd::TlsError:
        return Warning(
            QStringLiteral("No secure connection to the Steam Web API could be made."), outcome.detail);
    case WebApiEnd::NetworkError:
        return Warning(QStringLiteral("The connection to the Steam Web API failed."), outcome.detail);
    case WebApiEnd::KeyRefused:
    case WebApiEnd::RateLimited:
    case WebApiEnd::ServerError:
    case WebApiEnd::BadResponse:
    case WebApiEnd::TooLarge:
        break;
    }
    return AnswerMessage(outcome);
}

std::optional<UserMessage> KeyringMessage(settings::KeyringStatus status, bool storing)
{
    const QString kept = QStringLiteral(" The key is kept only until Rollcall closes.");
    switch (status) {
    case settings::KeyringStatus::Ok:
    case settings::KeyringStatus::NotFound:
        return std::nullopt;
    case settings::KeyringStatus::Unavailable:
        return Warning(QStringLiteral("No keyring answered, so the Steam Web API key cannot be ")
            + (storing ? QStringLiteral("stored.") + kept : QStringLiteral("read.")));
    case settings::KeyringStatus::Denied:
        break;
    }
    return Warning(QStringLiteral("The keyring refused access to the Steam Web API key.")
        + (storing ? kept : QString()));
}

QString KeyFileProblemText(const settings::KeyFile &file, const QString &path)
{
    const QString named = QStringLiteral("the key file '") + path + QStringLiteral("' ");
    switch (file.problem) {
    case settings::KeyFile::Problem::None:
        return QString();
    case settings::KeyFile::Problem::Unreadable:
        return QStringLiteral("cannot read the key file '") + path + QStringLiteral("': ") + file.detail;
    case settings::KeyFile::Problem::NotRegularFile:
        return named + QStringLiteral("is not a regular file");
    case settings::KeyFile::Problem::TooLarge:
        return named + QStringLiteral("is over ") + QString::number(settings::MaxKeyFileSize)
            + QStringLiteral(" bytes; it should hold the key alone");
    case settings::KeyFile::Problem::Empty:
        return named + QStringLiteral("is empty");
    case settings::KeyFile::Problem::NotAKey:
        break;
    }
    return named
        + QStringLiteral("holds more than a key: spaces, line breaks or characters a key does not have");
}

} // namespace rollcall::ui
