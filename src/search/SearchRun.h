#pragma once

// One search, from the master's list to the last players reply, without any window.
// It owns the master client and the query pool and reports what the results page shows.
// Every handler finishes updating the run's state before it emits anything, and a user
// message is always the last thing it emits: a window shows it in a modal box whose nested
// event loop may deliver other sockets' events or even a new start().

#include "protocol/UserMessage.h"
#include "search/ResultRow.h"
#include "search/SearchCriteria.h"

#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace rollcall::search {

class SearchRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchRun)

public:
    explicit SearchRun(QObject *parent = nullptr);
    ~SearchRun() override;

    // Starts a fresh run: resets the texts, creates the query sockets, asks the master.
    void start(const SearchCriteria &criteria);
    // "Stop": ends the query phase at once; outstanding queries are abandoned.
    void stop();
    // Leaving the results page: drops the master exchange and every query socket, touches no text.
    void tearDown();

    // The texts and visibility of the progress labels, as last reported.
    QString heading() const; // Label13
    QString status() const; // lblStatus
    QString totalText() const; // lblTotal
    QString leftText() const; // lblLeft
    bool isQuerying() const; // lblTotal and lblLeft shown
    int handedOutPercent() const; // 100 minus the "Servers Left" percentage
    int rowCount() const; // rows reported in this run

    // Figures for tools and benchmarks.
    int serverCount() const; // servers the master listed in this run (each once, after the cap)
    int peakOutstanding() const; // most queries in flight at once in this run
    bool masterAnswered() const; // a good page came back, so an empty list is the master's answer
    int outstanding() const; // queries in flight now (late replies may still add rows)
    // From start() to the first end report, stop() or tearDown().
    bool isActive() const;

    // The master download's overall time limit (30 s); tests shorten it.
    void setMasterTimeout(std::chrono::milliseconds timeout);

Q_SIGNALS:
    // A new run began: rows of the previous one are no longer part of it.
    void runStarted();
    void headingChanged(const QString &text);
    void statusChanged(const QString &text);
    void totalChanged(const QString &text, bool visible);
    void leftChanged(const QString &text, bool visible, int handedOutPercent);
    void rowsFound(const QList<rollcall::search::ResultRow> &rows);
    // The end of the run was reported (first socket to find the list exhausted, Stop, no
    // servers, or a failed master exchange). It may come again as late replies add rows.
    void searchDone();
    void failed(const rollcall::UserMessage &message);
    // The master listed more than ServerList::Ceiling servers and only the first `kept` are
    // searched: a notice, not a failure (see MasterListCutMessage). Emitted after the texts of
    // the query phase's start, last.
    void masterListCut(int kept);

    // Per server, for tools: a reply (also a late one) and a query given up.
    void serverAnswered(const QString &ip, qint32 port, int ping);
    void serverTimedOut(const QString &ip, qint32 port);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace rollcall::search
