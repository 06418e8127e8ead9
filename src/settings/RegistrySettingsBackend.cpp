#include "settings/RegistrySettingsBackend.h"

#include <QByteArray>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace rollcall::settings {

namespace {

// The trailing backslash is part of the path handed to the registry.
constexpr char KeyPath[] = "Software\\Rollcall\\Half-Life\\";

} // namespace

StoredValue RegistrySettingsBackend::query(const QString &valueName)
{
    StoredValue stored;
    const QByteArray name = valueName.toLocal8Bit();
    HKEY key = nullptr;
    // A key that cannot be opened leaves every value missing.
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, KeyPath, &key) != ERROR_SUCCESS || !key)
        return stored;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.constData(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        stored.exists = true;
        if (type == REG_SZ) {
            stored.isText = true;
            QByteArray data(qsizetype(size), ' ');
            DWORD readSize = size;
            if (size > 0
                && RegQueryValueExA(key, name.constData(), nullptr, &type,
                       reinterpret_cast<LPBYTE>(data.data()), &readSize)
                    == ERROR_SUCCESS
                && type == REG_SZ) {
                // Stored without a terminating NUL; one that is there is cut by the store.
                stored.text = QString::fromLocal8Bit(data.left(qsizetype(readSize < size ? readSize : size)));
            }
        }
    }
    RegCloseKey(key);
    return stored;
}

void RegistrySettingsBackend::write(const QString &valueName, const QString &text)
{
    HKEY key = nullptr;
    // No right to write the machine-wide hive: the close goes on, the next start sees old values.
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, KeyPath, &key) != ERROR_SUCCESS || !key)
        return;
    const QByteArray name = valueName.toLocal8Bit();
    const QByteArray data = text.toLocal8Bit();
    RegSetValueExA(key, name.constData(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.constData()),
        DWORD(data.size()));
    RegCloseKey(key);
}

} // namespace rollcall::settings
