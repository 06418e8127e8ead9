#include "search/ServerListFileReader.h"

#include "protocol/ServerAddressRules.h"
#include "protocol/ServerListFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QSet>
#include <QTimer>
#include <algorithm>

namespace rollcall::search {

using namespace std::chrono_literals;

namespace {

ListFileProblem::Kind KindOf(protocol::ListLineFault fault)
{
    switch (fault) {
    case protocol::ListLineFault::BadHost:
        return ListFileProblem::Kind::BadHost;
    case protocol::ListLineFault::MissingHost:
        return ListFileProblem::Kind::MissingHost;
    case protocol::ListLineFault::BadPort:
        return ListFileProblem::Kind::BadPort;
    case protocol::ListLineFault::LineTooLong:
        return ListFileProblem::Kind::LineTooLong;
    case protocol::ListLineFault::TooManyEntries:
        break;
    }
    return ListFileProblem::Kind::TooManyEntries;
}

} // namespace

// Only a regular file is opened: a FIFO or a device could block the thread or never end.
ListFileEnd ReadServerListBytes(const QString &path, QByteArray *bytes, QString *detail)
{
    const QFileInfo info(path);
    if (!info.exists())
        return ListFileEnd::Missing;
    if (!info.isFile())
        return ListFileEnd::NotRegularFile;
    if (info.size() > ServerListFileReader::MaxFileBytes)
        return ListFileEnd::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *detail = file.errorString();
        return ListFileEnd::Unreadable;
    }
    // The size may have changed since it was looked at: read one byte past the bound to tell.
    *bytes = file.read(ServerListFileReader::MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *detail = file.errorString();
        return ListFileEnd::Unreadable;
    }
    if (bytes->size() > ServerListFileReader::MaxFileBytes)
        return ListFileEnd::TooLarge;
    return ListFileEnd::Read;
}

ListFileAddResult AddServerToListFile(const QString &path, const protocol::ServerEntry &server)
{
    const std::optional<quint32> address = protocol::ParseDottedIPv4(server.Address);
    QByteArray content;
    QString detail;
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        switch (ReadServerListBytes(path, &content, &detail)) {
        case ListFileEnd::Read:
            break;
        case ListFileEnd::NotRegularFile:
            return { ListFileAddEnd::NotRegularFile, QString() };
        case ListFileEnd::TooLarge:
            return { ListFileAddEnd::TooLarge, QString() };
        case ListFileEnd::Missing: // a link to nothing: writing would create its target
        case ListFileEnd::Unreadable:
            return { ListFileAddEnd::Unreadable, detail };
        }
    }
    for (const protocol::ListFileEntry &entry : protocol::ParseServerListFile(content).Entries) {
        const bool sameHost = address ? entry.Address == address : entry.Host == server.Address.toLower();
        if (sameHost && entry.Port == server.Port)
            return { ListFileAddEnd::AlreadyListed, QString() };
    }

    const QByteArray lineEnd = content.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QByteArray line = protocol::ServerListLine(server.Address, quint16(server.Port)).toUtf8() + lineEnd;
    if (!content.isEmpty() && !content.endsWith('\n'))
        line.prepend(lineEnd);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return { ListFileAddEnd::Unwritable, file.errorString() };
    if (file.write(line) != line.size() || !file.flush())
        return { ListFileAddEnd::Unwritable, file.errorString() };
    return { ListFileAddEnd::Added, QString() };
}

struct ServerListFileReader::Private
{
    explicit Private(ServerListFileReader *owner)
        : q(owner)
    {
        lookupTimer.setSingleShot(true);
        lookupTimer.setInterval(30s);
    }

    struct Name
    {
        int lookupId = -1;
        bool pending = true;
        std::optional<quint32> address;
        ListFileProblem::Kind failure = ListFileProblem::Kind::NameNotFound;
    };

    ServerListFileReader *q;
    QTimer lookupTimer;
    // Bumped by each read and abort(): the late answers of a dropped read are passed over.
    quint64 generation = 0;
    bool reading = false;
    protocol::ParsedServerList parsed;
    QHash<QString, Name> names;
    int pendingNames = 0;
    bool starting = false;

    void reset()
    {
        ++generation;
        lookupTimer.stop();
        for (const Name &name : std::as_const(names)) {
            if (name.pending)
                QHostInfo::abortHostLookup(name.lookupId);
        }
        names.clear();
        parsed = {};
        pendingNames = 0;
        reading = false;
    }

    // The end of a file that could not be read still comes from the event loop, as every end does.
    void finishLater(ListFileResult result)
    {
        const quint64 started = generation;
        QMetaObject::invokeMethod(
            q,
            [this, started, result] {
                if (started != generation)
                    return;
                reading = false;
                Q_EMIT q->finished(result);
            },
            Qt::QueuedConnection);
    }

    void start(const QByteArray &content)
    {
        reading = true;
        parsed = protocol::ParseServerListFile(content);
        for (const protocol::ListFileEntry &entry : std::as_const(parsed.Entries)) {
            if (!entry.Address && !names.contains(entry.Host))
                names.insert(entry.Host, Name());
        }
        pendingNames = int(names.size());
        if (pendingNames == 0) {
            finishLater(result());
            return;
        }
        const quint64 started = generation;
        // An answer that came before the last lookup was asked must not end the read early.
        starting = true;
        for (auto it = names.begin(); it != names.end(); ++it) {
            const QString host = it.key();
            const int id = QHostInfo::lookupHost(
                host, q, [this, started, host](const QHostInfo &info) { nameLookedUp(started, host, info); });
            it->lookupId = id;
        }
        starting = false;
        if (pendingNames == 0)
            finish();
        else
            lookupTimer.start();
    }

    void nameLookedUp(quint64 started, const QString &host, const QHostInfo &info)
    {
        const auto it = names.find(host);
        if (started != generation || it == names.end() || !it->pending)
            return;
        it->pending = false;
        const QList<QHostAddress> addresses = info.addresses();
        const auto ipv4 = std::find_if(addresses.cbegin(), addresses.cend(),
            [](const QHostAddress &a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
        if (ipv4 != addresses.cend())
            it->address = ipv4->toIPv4Address();
        else if (info.error() == QHostInfo::NoError && !addresses.isEmpty())
            it->failure = ListFileProblem::Kind::NoIPv4Address;
        if (--pendingNames == 0 && !starting)
            finish();
    }

    void lookupsTimedOut()
    {
        for (Name &name : names) {
            if (!name.pending)
                continue;
            QHostInfo::abortHostLookup(name.lookupId);
            name.pending = false;
            name.failure = ListFileProblem::Kind::LookupTimedOut;
        }
        pendingNames = 0;
        finish();
    }

    void finish()
    {
        lookupTimer.stop();
        reading = false;
        const ListFileResult done = result();
        Q_EMIT q->finished(done);
    }

    ListFileResult result() const
    {
        ListFileResult out;
        for (const protocol::ListLineProblem &problem : parsed.Problems)
            out.problems.append({ problem.Line, KindOf(problem.Fault), problem.Text });
        QSet<quint64> seen;
        for (const protocol::ListFileEntry &entry : parsed.Entries) {
            std::optional<quint32> address = entry.Address;
            const auto problem = [&](ListFileProblem::Kind kind) {
                const QString text = entry.Host + u':' + QString::number(entry.Port);
                out.problems.append({ entry.Line, kind, protocol::PrintableExcerpt(text) });
            };
            if (!address) {
                const Name name = names.value(entry.Host);
                if (!name.address) {
                    problem(name.failure);
                    continue;
                }
                address = name.address;
            }
            if (!protocol::IsQueryableServer(*address, entry.Port)) {
                problem(ListFileProblem::Kind::UnusableAddress);
                continue;
            }
            // Two lines for one server, also two names for one address, ask it once.
            const quint64 key = quint64(*address) << 16 | entry.Port;
            if (seen.contains(key))
                continue;
            seen.insert(key);
            out.servers.append({ QHostAddress(*address).toString(), entry.Port });
        }
        std::stable_sort(out.problems.begin(), out.problems.end(),
            [](const ListFileProblem &a, const ListFileProblem &b) { return a.line < b.line; });
        return out;
    }
};

ServerListFileReader::ServerListFileReader(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    connect(&d->lookupTimer, &QTimer::timeout, this, [this] { d->lookupsTimedOut(); });
}

ServerListFileReader::~ServerListFileReader()
{
    d->reset();
}

void ServerListFileReader::readFile(const QString &path)
{
    d->reset();
    QByteArray content;
    QString detail;
    const ListFileEnd end = ReadServerListBytes(path, &content, &detail);
    if (end != ListFileEnd::Read) {
        d->reading = true;
        d->finishLater(ListFileResult { end, detail, {}, {} });
        return;
    }
    d->start(content);
}

void ServerListFileReader::readContent(const QByteArray &content)
{
    d->reset();
    if (content.size() > MaxFileBytes) {
        d->reading = true;
        d->finishLater(ListFileResult { ListFileEnd::TooLarge, QString(), {}, {} });
        return;
    }
    d->start(content);
}

void ServerListFileReader::abort()
{
    d->reset();
}

bool ServerListFileReader::isReading() const
{
    return d->reading;
}

void ServerListFileReader::setLookupTimeout(std::chrono::milliseconds timeout)
{
    d->lookupTimer.setInterval(timeout);
}

} // namespace rollcall::search
