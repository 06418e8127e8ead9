#pragma once

// Where the main window keeps the Steam Web API key between runs: the desktop's keyring in the
// program, memory in the tests, which must never touch the user's keyring.

#include "settings/ApiKey.h"

#include <QObject>
#include <QString>
#include <memory>

namespace rollcall::app {

class KeyVault : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeyVault)

public:
    using QObject::QObject;
    ~KeyVault() override = default;

    // Each answers once with its signal, never from inside the call.
    virtual void read() = 0;
    // An empty key removes the stored one.
    virtual void write(const QString &key) = 0;

Q_SIGNALS:
    void readFinished(rollcall::settings::KeyringStatus status, const QString &key);
    void writeFinished(rollcall::settings::KeyringStatus status);
};

// The desktop's keyring through settings::ApiKeyStore.
std::unique_ptr<KeyVault> CreateKeyringVault();

} // namespace rollcall::app
