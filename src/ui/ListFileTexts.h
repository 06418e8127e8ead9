#pragma once

// The words for a server list file: its bad lines, why it could not be read, and why a server
// could not be added to it. The window and rollcall-find show the same words.

#include "search/ListFileFacts.h"
#include "search/RunFacts.h"
#include "ui/UserMessage.h"

#include <QList>
#include <QString>

namespace rollcall::ui {

// "Line 3: not an IPv4 address or a host name: bogus host"
QString ListFileProblemText(const search::ListFileProblem &problem);
// One problem a line, the first `maxShown` of them, then how many more there are. A window's box
// shows twenty; rollcall-find prints them all.
QString ListFileProblemsText(const QList<search::ListFileProblem> &problems, int maxShown = 20);
// Why the file gave nothing to read, naming it: "There is no file at /x/servers.txt."
QString ListFileReadText(search::ListFileEnd end, const QString &detail, const QString &path);
// The file as the user gave it: its path, or "standard input" for "-".
QString ListFileLabel(const QString &listFile);
// A run that got nothing to search from its list file, and one that passed over bad lines of it;
// `maxShown` as for ListFileProblemsText.
UserMessage ListFileFailureMessage(const search::RunFailure &failure, int maxShown = 20);
UserMessage ListFileNoticeMessage(const search::RunNotice &notice, int maxShown = 20);
// Why a server is not in the list file after "Add server to list file"; the file named below.
UserMessage ListFileAddMessage(const search::ListFileAddResult &result, const QString &path);

} // namespace rollcall::ui
