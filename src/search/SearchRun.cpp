#include "search/SearchRun.h"

#include "protocol/MasterProtocol.h"
#include "protocol/SteamMasterProtocol.h"
#include "search/MasterClient.h"
#include "search/QueryPool.h"
#include "search/ServerListFileReader.h"
#include "search/SteamListCache.h"
#include "search/SteamMasterClient.h"
#include "search/WebApiClient.h"

#include <QPointer>
#include <QUrl>

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

// A Steam list that ended with no server to ask. Silence after pages that brought nobody usable
// is no list either: it reads as a master that sent none.
RunFailure::Kind KindOf(SteamMasterClient::End end)
{
    switch (end) {
    case SteamMasterClient::End::Unreachable:
        return RunFailure::Kind::MasterUnreachable;
    case SteamMasterClient::End::BadHeader:
        return RunFailure::Kind::BadMasterReply;
    case SteamMasterClient::End::Malformed:
        return RunFailure::Kind::MalformedMasterReply;
    case SteamMasterClient::End::NoReply:
    case SteamMasterClient::End::StoppedAnswering:
        return RunFailure::Kind::MasterTimedOut;
    case SteamMasterClient::End::Complete:
    case SteamMasterClient::End::CapReached:
    case SteamMasterClient::End::CeilingReached:
        break;
    }
    return RunFailure::Kind::NoServersListed;
}

// A Steam list cut short that still brought servers: they are searched, and this is said after.
std::optional<RunNotice::Kind> NoticeOf(SteamMasterClient::End end)
{
    switch (end) {
    case SteamMasterClient::End::StoppedAnswering:
        return RunNotice::Kind::MasterStoppedAnswering;
    case SteamMasterClient::End::BadHeader:
        return RunNotice::Kind::BadMasterReply;
    case SteamMasterClient::End::Malformed:
        return RunNotice::Kind::MalformedMasterReply;
    default:
        return std::nullopt;
    }
}

// The base as the user gave it, for messages: a key pasted into it must not be shown.
QString ShownWebApiBase(const QString &base)
{
    const QUrl url(base.trimmed(), QUrl::StrictMode);
    if (!url.isValid())
        return QString();
    return url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

// Lists that ended early yet brought servers: they are searched, and the end is told after.
bool CutShort(WebApiEnd end)
{
    return end != WebApiEnd::Complete && end != WebApiEnd::CapReached;
}

} // namespace

struct SearchRun::Private
{
    explicit Private(SearchRun *owner)
        : q(owner)
    { }

    SearchRun *q;
    MasterClient master;
    SteamMasterClient steamMaster;
    WebApiClient webApi;
    ServerListFileReader listFile;
    std::optional<QByteArray> listFileContent;
    QString listFilePath;
    std::optional<qint32> listFileCap;
    QueryPool pool;
    SteamListCache *listCache = &ProgramSteamListCache();
    SteamListCache::Key listKey;
    ListProtocol source = ListProtocol::Legacy;
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
        const bool ended = reportProgress() && report([&] { Q_EMIT q->runEnded(); });
        if (!ended || !progress.notice)
            return ended;
        const RunNotice notice = *progress.notice;
        return report([&] { Q_EMIT q->noticed(notice); });
    }

    QString askedAddress() const
    {
        switch (source) {
        case ListProtocol::Legacy:
            return master.askedAddress();
        case ListProtocol::Steam:
            return steamMaster.askedAddress();
        case ListProtocol::WebApi:
        case ListProtocol::ListFile:
            break;
        }
        return QString();
    }

    void abortLists()
    {
        master.abort();
        steamMaster.abort();
        webApi.abort();
        listFile.abort();
    }

    // A master exchange that ended without a list: the progress, the end, then the failure, last.
    void endWithFailure(RunFailure::Kind kind, const WebApiOutcome &webApiEnd = {})
    {
        RunFailure failure;
        failure.kind = kind;
        failure.master = masterServer;
        failure.masterAddress = askedAddress();
        failure.webApi = webApiEnd;
        endWithFailure(failure);
    }

    void endWithFailure(const RunFailure &failure)
    {
        pool.destroy();
        active = false;
        progress.phase = RunPhase::Done;
        progress.failure = failure;
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
        if (source == ListProtocol::Legacy && master.listEnd() == ListEnd::Ceiling)
            report([&] { Q_EMIT q->masterListCut(int(kept)); });
    }

    void startSteam(const SearchCriteria &criteria)
    {
        const QList<QByteArray> filters
            = protocol::SteamMasterFilters(criteria.GameFilter, criteria.MapFilter);
        const std::optional<qint32> cap
            = criteria.EnableMaxServers ? std::optional<qint32>(criteria.MaxServerAmount) : std::nullopt;
        listKey = SteamListCache::keyFor(criteria.MasterServer, criteria.Region, filters);
        const std::optional<QList<protocol::ServerEntry>> kept
            = listCache ? listCache->find(listKey) : std::nullopt;
        if (!kept) {
            steamMaster.start(criteria.MasterServer, criteria.Region, filters, cap);
            return;
        }
        // The kept list comes as one page would, once start() has reported the run's beginning.
        const QList<protocol::ServerEntry> servers
            = cap ? kept->mid(0, qBound(1, *cap, SteamMasterClient::MaxServers)) : *kept;
        const quint64 started = generation;
        QMetaObject::invokeMethod(
            q,
            [this, started, servers] {
                if (started != generation)
                    return;
                if (!servers.isEmpty() && !listBatchAdded(servers))
                    return;
                steamListEnded(
                    SteamMasterClient::Outcome { SteamMasterClient::End::Complete, int(servers.size()) },
                    false);
            },
            Qt::QueuedConnection);
    }

    // False when a receiver replaced or ended the run meanwhile. The Web API's batches come here
    // too: its lists are asked as they arrive, as the Steam master's pages are.
    bool listBatchAdded(const QList<protocol::ServerEntry> &batch)
    {
        progress.listed += int(batch.size());
        const int handed = pool.append(batch);
        progress.handedOut = qMin(pool.nextServerIndex(), progress.listed);
        progress.left = progress.listed - progress.handedOut;
        if (handed > 0) {
            progress.phase = RunPhase::Refreshing;
            progress.server = pool.entry(pool.nextServerIndex());
        } else if (progress.phase == RunPhase::Resolving) {
            progress.phase = RunPhase::DownloadingList;
        }
        return reportProgress();
    }

    void steamListEnded(const SteamMasterClient::Outcome &outcome, bool fromMaster)
    {
        if (fromMaster && listCache)
            listCache->store(listKey, steamMaster.servers(), outcome.end);
        if (progress.listed == 0) {
            endWithFailure(KindOf(outcome.end));
            return;
        }
        if (const std::optional<RunNotice::Kind> kind = NoticeOf(outcome.end)) {
            RunNotice notice;
            notice.kind = *kind;
            notice.listed = progress.listed;
            notice.master = masterServer;
            notice.masterAddress = askedAddress();
            progress.notice = notice;
        }
        // The pool reports its end now if every query is over already.
        pool.closeList();
    }

    void webApiListEnded(const WebApiOutcome &outcome)
    {
        if (progress.listed == 0) {
            endWithFailure(RunFailure::Kind::WebApiFailed, outcome);
            return;
        }
        if (CutShort(outcome.end)) {
            RunNotice notice;
            notice.kind = RunNotice::Kind::WebApiCutShort;
            notice.listed = progress.listed;
            notice.master = masterServer;
            notice.webApi = outcome;
            progress.notice = notice;
        }
        pool.closeList();
    }

    void startListFile(const QString &path, std::optional<qint32> cap)
    {
        listFilePath = path;
        listFileCap = cap;
        if (listFileContent)
            listFile.readContent(*listFileContent);
        else
            listFile.readFile(listFilePath);
    }

    void listFileRead(const ListFileResult &result)
    {
        if (result.end != ListFileEnd::Read || result.servers.isEmpty()) {
            RunFailure failure;
            failure.kind = result.end != ListFileEnd::Read ? RunFailure::Kind::ListFileUnreadable
                                                           : RunFailure::Kind::NoUsableServer;
            failure.listFile = listFilePath;
            failure.listFileEnd = result.end;
            failure.detail = result.detail;
            failure.problems = result.problems;
            endWithFailure(failure);
            return;
        }
        // The cap counts servers, as a master's list does: the first ones of the file are asked.
        const QList<protocol::ServerEntry> servers
            = listFileCap ? result.servers.mid(0, qMax(1, *listFileCap)) : result.servers;
        if (!result.problems.isEmpty()) {
            RunNotice notice;
            notice.kind = RunNotice::Kind::ListFileBadLines;
            notice.listed = int(servers.size());
            notice.listFile = listFilePath;
            notice.problems = result.problems;
            progress.notice = notice;
        }
        masterFinished(servers);
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
    connect(&d->steamMaster, &SteamMasterClient::serversAdded, this,
        [this](const QList<protocol::ServerEntry> &batch) { d->listBatchAdded(batch); });
    connect(&d->steamMaster, &SteamMasterClient::finished, this,
        [this](const SteamMasterClient::Outcome &outcome) { d->steamListEnded(outcome, true); });
    connect(&d->webApi, &WebApiClient::serversAdded, this,
        [this](const QList<protocol::ServerEntry> &batch) { d->listBatchAdded(batch); });
    connect(&d->webApi, &WebApiClient::finished, this,
        [this](const WebApiOutcome &outcome) { d->webApiListEnded(outcome); });
    connect(&d->listFile, &ServerListFileReader::finished, this,
        [this](const ListFileResult &result) { d->listFileRead(result); });
}

SearchRun::~SearchRun()
{
    ++d->generation;
    d->abortLists();
    d->pool.destroy();
}

void SearchRun::start(const SearchCriteria &criteria)
{
    ++d->generation;
    d->abortLists();
    d->source = criteria.Protocol;
    d->active = true;
    d->masterServer = criteria.Protocol == ListProtocol::WebApi ? ShownWebApiBase(criteria.WebApiUrl)
                                                                : criteria.MasterServer;
    d->progress = RunProgress();
    // Settings come from a file a user may edit: keep them in the ranges the options allow.
    const int connections = qBound(1, criteria.MaxConnections, 99);
    const int timeoutMs = qBound(1, criteria.QueryTimeout, 99999);
    const std::optional<qint32> cap
        = criteria.EnableMaxServers ? std::optional<qint32>(criteria.MaxServerAmount) : std::nullopt;
    // The pool asks the way the list's servers answer, whichever source listed them.
    if (QueriesOf(criteria) == ServerQueries::A2s)
        d->pool.createA2s(connections, timeoutMs, UnicodeNameMatcher(criteria.Slots));
    else
        d->pool.create(connections, timeoutMs, PlayerMatcher(criteria.Slots));
    switch (criteria.Protocol) {
    case ListProtocol::Legacy:
        d->master.start(
            criteria.MasterServer, protocol::MasterFilterText(criteria.GameFilter, criteria.MapFilter), cap);
        break;
    case ListProtocol::Steam:
        d->startSteam(criteria);
        break;
    case ListProtocol::WebApi:
        d->webApi.start(QUrl(criteria.WebApiUrl.trimmed(), QUrl::StrictMode), criteria.ApiKey,
            protocol::SteamMasterFilters(criteria.GameFilter, criteria.MapFilter), cap);
        break;
    case ListProtocol::ListFile:
        d->startListFile(criteria.ServerListFile, cap);
        break;
    }

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
    d->abortLists();
    d->pool.destroy();
    d->reportDone();
}

void SearchRun::tearDown()
{
    ++d->generation;
    d->abortLists();
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

void SearchRun::setSteamReplyTimeout(std::chrono::milliseconds timeout)
{
    d->steamMaster.setReplyTimeout(timeout);
}

void SearchRun::setSteamPacing(int perWindow, std::chrono::milliseconds window)
{
    d->steamMaster.setPacing(perWindow, window);
}

void SearchRun::setWebApiTimeout(std::chrono::milliseconds timeout)
{
    d->webApi.setTimeout(timeout);
}

void SearchRun::setSteamListCache(SteamListCache *cache)
{
    d->listCache = cache;
}

std::optional<RunNotice> SearchRun::notice() const
{
    return d->progress.notice;
}

void SearchRun::setServerListContent(const std::optional<QByteArray> &content)
{
    d->listFileContent = content;
}

} // namespace rollcall::search
