#pragma once

// The Steam Web API key in the desktop's keyring (the Secret Service, KWallet, the Windows
// credential store, through QtKeychain), never in the settings file. Every call is asynchronous
// and answers with a signal; calls run one after the other in the order made, so a read after a
// write sees what was written. Where no keyring answers, the key written is kept in memory for
// this run only, and the answer says so.

#include "settings/ApiKey.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <optional>

namespace QKeychain {
class Job;
}

namespace rollcall::settings {

class ApiKeyStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ApiKeyStore)

public:
    static constexpr char DefaultService[] = "Rollcall";
    // Long enough for a person to type the password of a locked keyring into its prompt.
    static constexpr std::chrono::milliseconds DefaultTimeout { 60000 };

    // `service` names the entry in the keyring; tests pass their own so they never touch the
    // user's key.
    explicit ApiKeyStore(
        const QString &service = QString::fromLatin1(DefaultService), QObject *parent = nullptr);
    ~ApiKeyStore() override;

    // How long a keyring may take to answer before it counts as unavailable.
    void setTimeout(std::chrono::milliseconds timeout) { m_timer.setInterval(timeout); }

    void read();
    // White space around the key is dropped; an empty key removes the stored one.
    void write(const QString &key);
    void remove();

    // The key to use now: as last read or written, or kept for this run; empty for none.
    const QString &key() const { return m_key; }
    // The key lives in this run's memory only: the keyring did not take it.
    bool sessionOnly() const { return m_sessionOnly; }
    bool isBusy() const { return m_current.has_value(); }

Q_SIGNALS:
    // `key` is key(): the stored key after Ok, the one kept for this run otherwise.
    void readFinished(rollcall::settings::KeyringStatus status, const QString &key);
    // Unavailable or Denied: the key is kept for this run only.
    void writeFinished(rollcall::settings::KeyringStatus status);
    // The key is gone from memory whatever the keyring said; no key stored counts as Ok.
    void removeFinished(rollcall::settings::KeyringStatus status);

private:
    enum class Kind { Read, Write, Remove };
    struct Operation
    {
        Kind kind;
        QString key;
        quint64 ticket = 0;
    };

    void enqueue(Kind kind, const QString &key = QString());
    void startNext();
    QKeychain::Job *makeJob(const Operation &operation) const;
    void jobFinished(quint64 ticket, QKeychain::Job *job);
    void timedOut();
    void complete(KeyringStatus status, const QString &value = QString());

    QString m_service;
    QString m_key;
    bool m_sessionOnly = false;
    std::deque<Operation> m_queue;
    std::optional<Operation> m_current;
    quint64 m_tickets = 0;
    QTimer m_timer;
};

} // namespace rollcall::settings
