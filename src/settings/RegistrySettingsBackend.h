#pragma once

// The settings in the machine-wide registry: HKEY_LOCAL_MACHINE "Software\Rollcall\Half-Life\".
// Windows only.

#include "settings/SettingsBackend.h"

namespace rollcall::settings {

class RegistrySettingsBackend final : public SettingsBackend
{
public:
    StoredValue query(const QString &valueName) override;
    void write(const QString &valueName, const QString &text) override;
};

} // namespace rollcall::settings
