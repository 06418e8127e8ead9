#pragma once

// One search, from the master's list to the last players reply, without any window.
// It owns the master client and the query pool and reports facts: the run's progress as
// numbers, the rows found, its end, and a typed failure when it got no list.
// In Steam mode the list comes from the Steam master page by page, and each page's servers are
// asked as soon as it arrives; a complete list is reused for five minutes (SteamListCache). The
// Steam Web API's list is asked the same way, one answer per app id, and never reused.
// A server list file is read and its names looked up before its servers are asked, and its bad
// lines are a notice at the end: the good ones are searched all the same.
// Every handler finishes updating the run's state before it emits anything, and a failure is
// always the last thing it emits: a window shows it in a modal box whose nested event loop may
// deliver other sockets' events or even a new start().

#include "search/ResultRow.h"
#include "search/RunFacts.h"
#include "search/SearchCriteria.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>

namespace rollcall::search {

class SteamListCache;

class SearchRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchRun)

public:
    explicit SearchRun(QObject *parent = nullptr);
    ~SearchRun() override;

    // Starts a fresh run: resets the progress, creates the query sockets, asks the master.
    void start(const SearchCriteria &criteria);
    // "Stop": ends the run at once; outstanding queries are abandoned.
    void stop();
    // Leaving the results page: drops the master exchange and every query socket, reports nothing.
    void tearDown();

    // The progress as last reported.
    const RunProgress &progress() const;
    // Why this run got no list; nullopt while it runs and after one that got a list.
    std::optional<RunFailure> failure() const;
    bool isQuerying() const; // the list is complete and being asked
    int rowCount() const; // rows reported in this run

    // Figures for tools and benchmarks.
    int serverCount() const; // servers the master listed in this run (each once, after the cap)
    int peakOutstanding() const; // most queries in flight at once in this run
    int outstanding() const; // queries in flight now
    // From start() to the end of the run, stop() or tearDown(): "Stop" has something to stop.
    bool isActive() const;

    // The master download's overall time limit (30 s); tests shorten it.
    void setMasterTimeout(std::chrono::milliseconds timeout);
    // The Steam master's wait for each page (5 s) and its pacing (25 requests a minute); tests
    // shorten them. The pacing counts the requests of earlier runs too.
    void setSteamReplyTimeout(std::chrono::milliseconds timeout);
    void setSteamPacing(int perWindow, std::chrono::milliseconds window);
    // How long each Steam Web API request may take (30 s); tests shorten it.
    void setWebApiTimeout(std::chrono::milliseconds timeout);
    // Where complete Steam lists are kept for reuse: ProgramSteamListCache() unless set;
    // nullptr keeps none. The cache must outlive the runs that use it.
    void setSteamListCache(SteamListCache *cache);
    // Why the list this run searched was cut short; nullopt when it was not.
    std::optional<RunNotice> notice() const;
    // The content of the server list file for the runs that follow, instead of reading the
    // file they name: what a tool read from standard input. nullopt reads the file again.
    void setServerListContent(const std::optional<QByteArray> &content);

Q_SIGNALS:
    // A new run began: rows of the previous one are no longer part of it.
    void runStarted();
    void progressChanged(const rollcall::search::RunProgress &progress);
    void rowsFound(const QList<rollcall::search::ResultRow> &rows);
    // The run is over: the last query answered or timed out, Stop, or a master exchange that
    // gave no list. Once per run; no row of the run comes after it.
    void runEnded();
    // The run got no list; comes right after runEnded, last of all.
    void failed(const rollcall::search::RunFailure &failure);
    // The master listed more than ServerList::Ceiling servers and only the first `kept` are
    // searched: a notice, not a failure. Comes after the texts of the query phase's start.
    void masterListCut(int kept);
    // The run searched a list the master cut short; comes right after runEnded, last of all.
    void noticed(const rollcall::search::RunNotice &notice);

    // Per server, for tools: a reply (also a late one) and a query given up.
    void serverAnswered(const QString &ip, qint32 port, int ping);
    void serverTimedOut(const QString &ip, qint32 port);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace rollcall::search
