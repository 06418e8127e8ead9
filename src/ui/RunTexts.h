#pragma once

// The words for what a search run reports: the results page's progress labels and the
// messages for a run that got no list. rollcall-find prints the same words.

#include "search/RunFacts.h"
#include "ui/UserMessage.h"

#include <QString>

namespace rollcall::ui {

QString HeadingText(const search::RunProgress &progress);
QString StatusText(const search::RunProgress &progress);
QString TotalText(const search::RunProgress &progress);
QString LeftText(const search::RunProgress &progress);
// The share of the list handed out, for the progress bar beside "Servers Left".
int HandedOutPercent(const search::RunProgress &progress);

// The message, with the master tried below it, or the list file's name and its bad lines (the
// first `maxProblemsShown`; all of them for -1).
UserMessage FailureMessage(const search::RunFailure &failure, int maxProblemsShown = 20);
// A notice after the list: the master listed more servers than a run takes, the first `kept`
// are searched.
UserMessage ListCutMessage(int kept);
// What the window shows after the end texts of a run whose list the master cut short, with the
// master tried below it; or the list file's bad lines passed over, as for FailureMessage.
UserMessage NoticeMessage(const search::RunNotice &notice, int maxProblemsShown = 20);

// The progress labels (heading, status, total, left and the bar), kept up to date fact by fact.
// The counts keep their last texts while hidden: only a list that arrives changes them.
class RunLabels
{
public:
    // In the order a window updates them.
    enum Part { Status = 0x1, Heading = 0x2, Total = 0x4, Left = 0x8, AllParts = 0xF };

    // The texts before any run.
    RunLabels();

    // A new run: the starting heading and status, the counts hidden. Returns AllParts.
    int restart();
    // Returns the parts whose text or visibility the progress changed.
    int update(const search::RunProgress &progress);

    const QString &heading() const { return m_heading; }
    const QString &status() const { return m_status; }
    const QString &total() const { return m_total; }
    const QString &left() const { return m_left; }
    bool countsShown() const { return m_countsShown; }
    int handedOutPercent() const { return m_handedOutPercent; }

private:
    QString m_heading;
    QString m_status;
    QString m_total;
    QString m_left;
    bool m_countsShown = false;
    int m_handedOutPercent = 0;
};

} // namespace rollcall::ui
