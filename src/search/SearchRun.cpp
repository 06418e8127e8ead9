#include "search/SearchRun.h"

#include "protocol/MasterProtocol.h"
#include "search/MasterClient.h"
#include "search/QueryPool.h"

#include <QPointer>

namespace rollcall::search {

namespace {

RunFailure::Kind KindOf(MasterClient::Failure failure)
{
    switch (failure) {
    case MasterClient::Failure::Unreachable:
        return RunFailure::Kind::MasterUnreachable;
    case MasterClient::Failure::BadHeader:
        return RunFailure::Kind::BadMasterReply;
    case MasterClient::Failure::Malformed:
        return RunFailure::Kind::MalformedMasterReply;
    case MasterClient::Failure::SendFailed:
        break;
    }
    return RunFailure::Kind::SocketFailure;
}

} // namespace

struct SearchRun::Private
{
    explicit Private(SearchRun *owner)
        : q(owner)
    { }

    SearchRun *q;
    MasterClient master;
    QueryPool pool;
    // Bumped by start(), stop() and tearDown(): a report sequence whose run was replaced while a
    // receiver held the thread (a modal box's nested loop) must not go on.
    quint64 generation = 0;
    bool active = false;
    QString masterServer;
    RunProgress progress;

    // Emits one report; false when the run was torn down or replaced meanwhile.
    template <typename Emit> bool report(Emit emitIt)
    {
        const QPointer<SearchRun> self(q);
        const quint64 before = generation;
        emitIt();
        return self && before == generation;
    }

    bool reportProgress()
    {
        return report([&] { Q_EMIT q->progressChanged(progress); });
    }

    // The end of the run: the last query answered or timed out, or Stop. A server that answers
    // after its own time-out still brings its rows and the count, but never a second end.
    bool reportDone()
    {
        active = false;
        progress.phase = RunPhase::Done;
        return reportProgress() && report([&] { Q_EMIT q->runEnded(); });
    }

    // A master exchange that ended without a list: the progress, the end, then the failure, last.
    void endWithFailure(RunFailure::Kind kind)
    {
        pool.destroy();
        active = false;
        progress.phase = RunPhase::Done;
        progress.failure = RunFailure { kind, masterServer, master.askedAddress() };
        const RunFailure failure = *progress.failure;
        if (reportProgress() && report([&] { Q_EMIT q->runEnded(); }))
            Q_EMIT q->failed(failure);
    }

    void masterProgress(int count)
    {
        progress.phase = RunPhase::DownloadingList;
        progress.listed = count;
        reportProgress();
    }

    void masterFinished(const QList<protocol::ServerEntry> &servers)
    {
        if (servers.isEmpty()) {
            // A master that answered listed nobody; one that never answered is only silent.
            endWithFailure(
                master.hasAnswered() ? RunFailure::Kind::NoServersListed : RunFailure::Kind::MasterTimedOut);
            return;
        }
        const int handed = pool.begin(servers);
        progress.phase = RunPhase::Querying;
        progress.listed = int(servers.size());
        progress.handedOut = handed;
        progress.left = progress.listed;
        if (!reportProgress())
            return;
        // Only without a single socket could nothing be asked; then the run is over at once.
        if (handed == 0) {
            if (reportDone())
                reportListCut(servers.size());
            return;
        }
        progress.phase = RunPhase::Refreshing;
        progress.server = pool.entry(handed);
        if (reportProgress())
            reportListCut(servers.size());
    }

    // Last of the list's reports: the master offered more than a run takes.
    void reportListCut(qsizetype kept)
    {
        if (master.listEnd() == ListEnd::Ceiling)
            report([&] { Q_EMIT q->masterListCut(int(kept)); });
    }

    void querySent(const protocol::ServerEntry &server)
    {
        const int next = pool.nextServerIndex();
        progress.phase = RunPhase::Refreshing;
        progress.handedOut = qMin(next, progress.listed);
        progress.left = progress.listed - progress.handedOut;
        progress.server = server;
        reportProgress();
    }

    void serverAnswered(const QString &ip, qint32 port, int ping, const QList<ResultRow> &found)
    {
        ++progress.answered;
        progress.rows += int(found.size());
        if (!found.isEmpty() && !report([&] { Q_EMIT q->rowsFound(found); }))
            return;
        // After the end nothing else reports the new count.
        if (!found.isEmpty() && progress.phase == RunPhase::Done && !reportProgress())
            return;
        report([&] { Q_EMIT q->serverAnswered(ip, port, ping); });
    }

    void serverTimedOut(const QString &ip, qint32 port)
    {
        ++progress.timedOut;
        report([&] { Q_EMIT q->serverTimedOut(ip, port); });
    }
};

SearchRun::SearchRun(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    connect(&d->master, &MasterClient::progress, this, [this](int count) { d->masterProgress(count); });
    connect(&d->master, &MasterClient::finished, this,
        [this](const QList<protocol::ServerEntry> &servers, bool) { d->masterFinished(servers); });
    connect(&d->master, &MasterClient::failed, this,
        [this](MasterClient::Failure failure) { d->endWithFailure(KindOf(failure)); });
    connect(&d->pool, &QueryPool::serverAnswered, this,
        [this](const QString &ip, qint32 port, int ping, const QList<ResultRow> &rows) {
            d->serverAnswered(ip, port, ping, rows);
        });
    connect(&d->pool, &QueryPool::serverTimedOut, this,
        [this](const QString &ip, qint32 port) { d->serverTimedOut(ip, port); });
    connect(
        &d->pool, &QueryPool::querySent, this, [this](const protocol::ServerEntry &s) { d->querySent(s); });
    connect(&d->pool, &QueryPool::finished, this, [this] { d->reportDone(); });
}

SearchRun::~SearchRun()
{
    ++d->generation;
    d->master.abort();
    d->pool.destroy();
}

void SearchRun::start(const SearchCriteria &criteria)
{
    ++d->generation;
    d->master.abort();
    // Settings come from a file a user may edit: keep them in the ranges the options allow.
    d->pool.create(qBound(1, criteria.MaxConnections, 99), qBound(1, criteria.QueryTimeout, 99999),
        PlayerMatcher(criteria.Slots));
    d->active = true;
    d->masterServer = criteria.MasterServer;
    d->progress = RunProgress();
    d->master.start(criteria.MasterServer,
        protocol::MasterFilterText(criteria.GameFilter, criteria.MapFilter),
        criteria.EnableMaxServers ? std::optional<qint32>(criteria.MaxServerAmount) : std::nullopt);

    if (d->report([&] { Q_EMIT runStarted(); }))
        d->reportProgress();
}

void SearchRun::stop()
{
    if (!d->active) {
        // Over already: only late replies could still come, and Stop means no more rows.
        d->pool.destroy();
        return;
    }
    ++d->generation;
    d->master.abort();
    d->pool.destroy();
    d->reportDone();
}

void SearchRun::tearDown()
{
    ++d->generation;
    d->master.abort();
    d->pool.destroy();
    d->active = false;
}

const RunProgress &SearchRun::progress() const
{
    return d->progress;
}

std::optional<RunFailure> SearchRun::failure() const
{
    return d->progress.failure;
}

bool SearchRun::isQuerying() const
{
    return d->progress.isQuerying();
}

int SearchRun::rowCount() const
{
    return d->progress.rows;
}

int SearchRun::serverCount() const
{
    return d->progress.listed;
}

int SearchRun::peakOutstanding() const
{
    return d->pool.peakOutstanding();
}

int SearchRun::outstanding() const
{
    return d->pool.outstanding();
}

bool SearchRun::isActive() const
{
    return d->active;
}

void SearchRun::setMasterTimeout(std::chrono::milliseconds timeout)
{
    d->master.setTimeoutInterval(timeout);
}

} // namespace rollcall::search
