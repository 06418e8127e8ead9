#include "settings/SettingsBackend.h"

#ifdef Q_OS_WIN
#include "settings/RegistrySettingsBackend.h"
#else
#include "settings/IniSettingsBackend.h"
#endif

namespace rollcall::settings {

std::unique_ptr<SettingsBackend> CreateDefaultBackend()
{
#ifdef Q_OS_WIN
    return std::make_unique<RegistrySettingsBackend>();
#else
    return std::make_unique<IniSettingsBackend>();
#endif
}

} // namespace rollcall::settings
