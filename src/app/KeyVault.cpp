#include "app/KeyVault.h"

#include "settings/ApiKeyStore.h"

namespace rollcall::app {

namespace {

class KeyringVault final : public KeyVault
{
public:
    KeyringVault()
        : m_store(new settings::ApiKeyStore(QString::fromLatin1(settings::ApiKeyStore::DefaultService), this))
    {
        connect(m_store, &settings::ApiKeyStore::readFinished, this, &KeyVault::readFinished);
        connect(m_store, &settings::ApiKeyStore::writeFinished, this, &KeyVault::writeFinished);
        // Writing an empty key removes it: to the window that is one more write.
        connect(m_store, &settings::ApiKeyStore::removeFinished, this, &KeyVault::writeFinished);
    }

    void read() override { m_store->read(); }
    void write(const QString &key) override { m_store->write(key); }

private:
    settings::ApiKeyStore *m_store;
};

} // namespace

std::unique_ptr<KeyVault> CreateKeyringVault()
{
    return std::make_unique<KeyringVault>();
}

} // namespace rollcall::app
