#include "search/SearchRun.h"

#include "protocol/MasterProtocol.h"
#include "search/MasterClient.h"
#include "search/QueryPool.h"

#include <QPointer>
#include <cmath>

namespace rollcall::search {

namespace {

const QString Searching = QStringLiteral("Searching For Players...");
const QString Downloading = QStringLiteral("Status: Downloading Server List...");
const QString Done = QStringLiteral("Status: Done.");
const QString TryLater = QStringLiteral("Please try again later.");

QString Found(int rows)
{
    return QString::number(rows) + QStringLiteral(" Players Found");
}

QString Refreshing(const protocol::ServerEntry &server)
{
    return QStringLiteral("Status: Refreshing ") + server.Address + QLatin1Char(':')
        + QString::number(server.Port) + QStringLiteral("...");
}

UserMessage Warning(const QString &first, const QString &second)
{
    return { UserMessage::Icon::Exclamation, TwoPartMessage(first, second) };
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
    int serverCount = 0;
    int rows = 0;

    QString heading = Searching;
    QString status = Downloading;
    QString total = QStringLiteral("Total Servers:");
    QString left = QStringLiteral("Servers Left:");
    bool querying = false;
    int handedOut = 0;

    // Emits one report; false when the run was torn down or replaced meanwhile.
    template <typename Emit> bool report(Emit emitIt)
    {
        const QPointer<SearchRun> self(q);
        const quint64 before = generation;
        emitIt();
        return self && before == generation;
    }

    bool reportTexts(bool withHeading)
    {
        return report([&] { Q_EMIT q->statusChanged(status); })
            && (!withHeading || report([&] { Q_EMIT q->headingChanged(heading); }))
            && report([&] { Q_EMIT q->totalChanged(total, querying); })
            && report([&] { Q_EMIT q->leftChanged(left, querying, handedOut); });
    }

    // The end of the run, as the first socket to find the list exhausted (or Stop) shows it.
    bool reportDone()
    {
        active = false;
        status = Done;
        heading = Found(rows);
        querying = false;
        return reportTexts(true) && report([&] { Q_EMIT q->searchDone(); });
    }

    // A master exchange that ended without a list: the texts, the end, then the message, last.
    void endWithMessage(bool zeroHeading, const UserMessage &message)
    {
        pool.destroy();
        active = false;
        status = Done;
        if (zeroHeading)
            heading = Found(0);
        querying = false;
        if (reportTexts(zeroHeading) && report([&] { Q_EMIT q->searchDone(); }))
            Q_EMIT q->failed(message);
    }

    void masterProgress(int count)
    {
        status = QStringLiteral("Status: Downloading Server List (") + QString::number(count)
            + QStringLiteral(")...");
        report([&] { Q_EMIT q->statusChanged(status); });
    }

    void masterFinished(const QList<protocol::ServerEntry> &servers, bool lastDatagramAdded)
    {
        serverCount = int(servers.size());
        if (servers.isEmpty()) {
            endWithMessage(true, Warning(QStringLiteral("No servers received from master."), TryLater));
            return;
        }
        const int handed = pool.begin(servers);
        const QString count = QString::number(servers.size());
        total = QStringLiteral("Total Servers: ") + count;
        left = QStringLiteral("Servers Left: ") + count + QStringLiteral(" (100%)");
        querying = true;
        handedOut = 0;
        status = handed > 0 ? Refreshing(pool.entry(handed)) : status;
        if (lastDatagramAdded && !report([&] {
                Q_EMIT q->statusChanged(
                    QStringLiteral("Status: Downloading Server List (") + count + QStringLiteral(")..."));
            }))
            return;
        if (!report([&] { Q_EMIT q->totalChanged(total, true); })
            || !report([&] { Q_EMIT q->leftChanged(left, true, handedOut); }))
            return;
        if (!report([&] { Q_EMIT q->statusChanged(status); }))
            return;
        // Only without a single socket could nothing be asked; then the run is over at once.
        if (handed == 0 && !reportDone())
            return;
        if (master.listEnd() == ListEnd::Ceiling)
            report([&] { Q_EMIT q->masterListCut(serverCount); });
    }

    void masterFailed(MasterClient::Failure failure)
    {
        switch (failure) {
        case MasterClient::Failure::Unreachable:
            endWithMessage(true,
                Warning(QStringLiteral("Unable to contact the master server."),
                    QStringLiteral("Please check the address and try again.")));
            break;
        case MasterClient::Failure::BadHeader:
            endWithMessage(false, Warning(QStringLiteral("Bad master server response."), TryLater));
            break;
        case MasterClient::Failure::Unknown:
            endWithMessage(true,
                Warning(
                    QStringLiteral("An unknown error occurred while obtaining the server list."), TryLater));
            break;
        }
    }

    void querySent(const protocol::ServerEntry &server)
    {
        const int next = pool.nextServerIndex();
        const int listed = pool.serverCount();
        // Division then multiplication in double, floored: 29 of 100 shows 72%, not 71%.
        handedOut = int(std::floor((double(next) / double(listed)) * 100.0));
        left = QStringLiteral("Servers Left: ") + QString::number(listed - next) + QStringLiteral(" (")
            + QString::number(100 - handedOut) + QStringLiteral("%)");
        status = Refreshing(server);
        if (report([&] { Q_EMIT q->statusChanged(status); }))
            report([&] { Q_EMIT q->leftChanged(left, true, handedOut); });
    }

    void serverAnswered(const QString &ip, qint32 port, int ping, const QList<ResultRow> &found)
    {
        rows += int(found.size());
        if (!found.isEmpty() && !report([&] { Q_EMIT q->rowsFound(found); }))
            return;
        report([&] { Q_EMIT q->serverAnswered(ip, port, ping); });
    }
};

SearchRun::SearchRun(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    connect(&d->master, &MasterClient::progress, this, [this](int count) { d->masterProgress(count); });
    connect(&d->master, &MasterClient::finished, this,
        [this](
            const QList<protocol::ServerEntry> &servers, bool added) { d->masterFinished(servers, added); });
    connect(&d->master, &MasterClient::failed, this, [this](MasterClient::Failure f) { d->masterFailed(f); });
    connect(&d->pool, &QueryPool::serverAnswered, this,
        [this](const QString &ip, qint32 port, int ping, const QList<ResultRow> &rows) {
            d->serverAnswered(ip, port, ping, rows);
        });
    connect(&d->pool, &QueryPool::serverTimedOut, this, &SearchRun::serverTimedOut);
    connect(
        &d->pool, &QueryPool::querySent, this, [this](const protocol::ServerEntry &s) { d->querySent(s); });
    connect(&d->pool, &QueryPool::listExhausted, this, [this] { d->reportDone(); });
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
    d->serverCount = 0;
    d->rows = 0;
    d->heading = Searching;
    d->status = Downloading;
    d->querying = false;
    d->handedOut = 0;
    d->master.start(criteria.MasterServer,
        protocol::MasterFilterText(criteria.GameFilter, criteria.MapFilter),
        criteria.EnableMaxServers ? std::optional<qint32>(criteria.MaxServerAmount) : std::nullopt);

    if (d->report([&] { Q_EMIT runStarted(); }))
        d->reportTexts(true);
}

void SearchRun::stop()
{
    if (!d->active && !d->pool.exists())
        return;
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

QString SearchRun::heading() const
{
    return d->heading;
}

QString SearchRun::status() const
{
    return d->status;
}

QString SearchRun::totalText() const
{
    return d->total;
}

QString SearchRun::leftText() const
{
    return d->left;
}

bool SearchRun::isQuerying() const
{
    return d->querying;
}

int SearchRun::handedOutPercent() const
{
    return d->handedOut;
}

int SearchRun::rowCount() const
{
    return d->rows;
}

int SearchRun::serverCount() const
{
    return d->serverCount;
}

bool SearchRun::masterAnswered() const
{
    return d->master.hasAnswered();
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
