#include "settings/ApiKeyStore.h"

#include <QPointer>
#include <qt6keychain/keychain.h>

namespace rollcall::settings {

namespace {

// The entry's name within the service.
const QString Account = QStringLiteral("steam-web-api-key");

KeyringStatus StatusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return KeyringStatus::Ok;
    case QKeychain::EntryNotFound:
        return KeyringStatus::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return KeyringStatus::Denied;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError:
        break;
    }
    // The Secret Service backend reports a missing session bus or service as OtherError.
    return KeyringStatus::Unavailable;
}

} // namespace

ApiKeyStore::ApiKeyStore(const QString &service, QObject *parent)
    : QObject(parent)
    , m_service(service)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultTimeout);
    connect(&m_timer, &QTimer::timeout, this, &ApiKeyStore::timedOut);
}

// A job still out is left to finish on its own: deleting it would leave the keyring library a
// dangling callback. Its answer then reaches nobody.
ApiKeyStore::~ApiKeyStore() = default;

void ApiKeyStore::read()
{
    enqueue(Kind::Read);
}

void ApiKeyStore::write(const QString &key)
{
    const QString trimmed = key.trimmed();
    enqueue(trimmed.isEmpty() ? Kind::Remove : Kind::Write, trimmed);
}

void ApiKeyStore::remove()
{
    enqueue(Kind::Remove);
}

void ApiKeyStore::enqueue(Kind kind, const QString &key)
{
    m_queue.push_back(Operation { kind, key, ++m_tickets });
    if (!m_current)
        startNext();
}

void ApiKeyStore::startNext()
{
    if (m_current || m_queue.empty())
        return;
    m_current = m_queue.front();
    m_queue.pop_front();
    QKeychain::Job *job = makeJob(*m_current);
    const quint64 ticket = m_current->ticket;
    connect(job, &QKeychain::Job::finished, this,
        [this, ticket](QKeychain::Job *done) { jobFinished(ticket, done); });
    m_timer.start();
    // The jobs answer through the event loop, never from inside start().
    job->start();
}

QKeychain::Job *ApiKeyStore::makeJob(const Operation &operation) const
{
    QKeychain::Job *job = nullptr;
    switch (operation.kind) {
    case Kind::Read:
        job = new QKeychain::ReadPasswordJob(m_service);
        break;
    case Kind::Write: {
        auto *write = new QKeychain::WritePasswordJob(m_service);
        write->setTextData(operation.key);
        job = write;
        break;
    }
    case Kind::Remove:
        job = new QKeychain::DeletePasswordJob(m_service);
        break;
    }
    job->setKey(Account);
    job->setAutoDelete(true);
    // Never a plain-text file in place of the keyring: the point is to keep the key out of one.
    job->setInsecureFallback(false);
    return job;
}

void ApiKeyStore::jobFinished(quint64 ticket, QKeychain::Job *job)
{
    // A job that answers after its time-out ran out has been answered for already.
    if (!m_current || m_current->ticket != ticket)
        return;
    QString value;
    if (m_current->kind == Kind::Read && job->error() == QKeychain::NoError)
        value = static_cast<QKeychain::ReadPasswordJob *>(job)->textData().trimmed();
    complete(StatusOf(job->error()), value);
}

void ApiKeyStore::timedOut()
{
    if (m_current)
        complete(KeyringStatus::Unavailable);
}

void ApiKeyStore::complete(KeyringStatus status, const QString &value)
{
    m_timer.stop();
    const Operation operation = *m_current;
    m_current.reset();
    switch (operation.kind) {
    case Kind::Read:
        if (status == KeyringStatus::Ok) {
            m_key = value;
            m_sessionOnly = false;
        } else if (status == KeyringStatus::NotFound && !m_sessionOnly) {
            m_key.clear(); // removed behind our back
        }
        break;
    case Kind::Write:
        m_key = operation.key;
        m_sessionOnly = status != KeyringStatus::Ok;
        break;
    case Kind::Remove:
        m_key.clear();
        m_sessionOnly = false;
        if (status == KeyringStatus::NotFound)
            status = KeyringStatus::Ok;
        break;
    }
    // A receiver may make the next call itself; otherwise the queue moves on here.
    QPointer<ApiKeyStore> self(this);
    if (operation.kind == Kind::Read)
        Q_EMIT readFinished(status, m_key);
    else if (operation.kind == Kind::Write)
        Q_EMIT writeFinished(status);
    else
        Q_EMIT removeFinished(status);
    if (self)
        startNext();
}

} // namespace rollcall::settings
