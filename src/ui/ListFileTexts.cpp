#include "ui/ListFileTexts.h"

#include <QCoreApplication>

namespace rollcall::ui {

namespace {

using Kind = search::ListFileProblem::Kind;

} // namespace

QString ListFileProblemText(const search::ListFileProblem &problem)
{
    const QString line = QString::number(problem.line);
    switch (problem.kind) {
    case Kind::BadHost:
        return QCoreApplication::translate("RunTexts", "Line %1: not an IPv4 address or a host name: %2")
            .arg(line, problem.text);
    case Kind::MissingHost:
        return QCoreApplication::translate("RunTexts", "Line %1: no host before the port: %2")
            .arg(line, problem.text);
    case Kind::BadPort:
        return QCoreApplication::translate(
            "RunTexts", "Line %1: the port is not a number from 1 to 65535: %2")
            .arg(line, problem.text);
    case Kind::LineTooLong:
        return QCoreApplication::translate("RunTexts", "Line %1: longer than 1000 characters: %2")
            .arg(line, problem.text);
    case Kind::TooManyEntries:
        return QCoreApplication::translate(
            "RunTexts", "Line %1: a list may name at most 10000 servers; the rest of the file was not read.")
            .arg(line);
    case Kind::NameNotFound:
        return QCoreApplication::translate("RunTexts", "Line %1: the host name was not found: %2")
            .arg(line, problem.text);
    case Kind::NoIPv4Address:
        return QCoreApplication::translate("RunTexts", "Line %1: the host name has no IPv4 address: %2")
            .arg(line, problem.text);
    case Kind::LookupTimedOut:
        return QCoreApplication::translate(
            "RunTexts", "Line %1: the host name lookup got no answer in time: %2")
            .arg(line, problem.text);
    case Kind::UnusableAddress:
        return QCoreApplication::translate("RunTexts", "Line %1: no game server can have this address: %2")
            .arg(line, problem.text);
    }
    return QCoreApplication::translate("RunTexts", "Line %1: %2").arg(line, problem.text);
}

QString ListFileProblemsText(const QList<search::ListFileProblem> &problems, int maxShown)
{
    QStringList lines;
    const qsizetype shown = maxShown < 0 ? problems.size() : qMin(problems.size(), qsizetype(maxShown));
    for (qsizetype i = 0; i < shown; ++i)
        lines << ListFileProblemText(problems[i]);
    if (problems.size() > shown)
        lines << QCoreApplication::translate(
            "RunTexts", "... and %n more bad line(s).", nullptr, int(problems.size() - shown));
    return lines.join(QLatin1Char('\n'));
}

QString ListFileReadText(search::ListFileEnd end, const QString &detail, const QString &path)
{
    switch (end) {
    case search::ListFileEnd::Read:
        break;
    case search::ListFileEnd::Missing:
        return QCoreApplication::translate("RunTexts", "There is no file at %1.").arg(path);
    case search::ListFileEnd::NotRegularFile:
        return QCoreApplication::translate("RunTexts", "%1 is not a regular file.").arg(path);
    case search::ListFileEnd::TooLarge:
        return QCoreApplication::translate("RunTexts", "%1 is larger than 4 MiB.").arg(path);
    case search::ListFileEnd::Unreadable:
        if (!detail.isEmpty())
            return QCoreApplication::translate("RunTexts", "%1 could not be read: %2").arg(path, detail);
        break;
    }
    return QCoreApplication::translate("RunTexts", "%1 could not be read.").arg(path);
}

QString ListFileLabel(const QString &listFile)
{
    return listFile == QLatin1String("-") ? QCoreApplication::translate("RunTexts", "standard input")
                                          : listFile;
}

UserMessage ListFileFailureMessage(const search::RunFailure &failure, int maxShown)
{
    const QString label = ListFileLabel(failure.listFile);
    if (failure.kind != search::RunFailure::Kind::NoUsableServer)
        return { UserMessage::Icon::Exclamation,
            QCoreApplication::translate("RunTexts", "The server list file could not be read."),
            ListFileReadText(failure.listFileEnd, failure.detail, label) };
    const QString details = failure.problems.isEmpty()
        ? QCoreApplication::translate("RunTexts", "%1 has no server lines.").arg(label)
        : QCoreApplication::translate("RunTexts", "File: %1").arg(label) + QLatin1Char('\n')
            + ListFileProblemsText(failure.problems, maxShown);
    return { UserMessage::Icon::Exclamation,
        QCoreApplication::translate("RunTexts", "The server list file names no server that can be searched."),
        details };
}

UserMessage ListFileNoticeMessage(const search::RunNotice &notice, int maxShown)
{
    const qsizetype count = notice.problems.size();
    const QString text = count == 1
        ? QCoreApplication::translate(
            "RunTexts", "1 line of the server list file was passed over; the other servers were searched.")
        : QCoreApplication::translate(
            "RunTexts", "%1 lines of the server list file were passed over; the other servers were searched.")
              .arg(count);
    return { UserMessage::Icon::Exclamation, text,
        QCoreApplication::translate("RunTexts", "File: %1").arg(ListFileLabel(notice.listFile))
            + QLatin1Char('\n') + ListFileProblemsText(notice.problems, maxShown) };
}

UserMessage ListFileAddMessage(const search::ListFileAddResult &result, const QString &path)
{
    QString reason;
    switch (result.end) {
    case search::ListFileAddEnd::Added:
    case search::ListFileAddEnd::AlreadyListed:
        return {};
    case search::ListFileAddEnd::NotRegularFile:
        reason = ListFileReadText(search::ListFileEnd::NotRegularFile, result.detail, path);
        break;
    case search::ListFileAddEnd::TooLarge:
        reason = ListFileReadText(search::ListFileEnd::TooLarge, result.detail, path);
        break;
    case search::ListFileAddEnd::Unreadable:
        reason = ListFileReadText(search::ListFileEnd::Unreadable, result.detail, path);
        break;
    case search::ListFileAddEnd::Unwritable:
        reason = result.detail.isEmpty()
            ? QCoreApplication::translate("RunTexts", "%1 could not be written.").arg(path)
            : QCoreApplication::translate("RunTexts", "%1 could not be written: %2").arg(path, result.detail);
        break;
    }
    return { UserMessage::Icon::Exclamation,
        QCoreApplication::translate("RunTexts", "The server was not added to the server list file."),
        reason };
}

} // namespace rollcall::ui
