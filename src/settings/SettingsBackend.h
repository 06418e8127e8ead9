#pragma once

// Where the thirteen values live: a per-user INI file here, the registry on Windows,
// memory in tests. A backend only stores text; the rules are the store's.

#include <QString>
#include <memory>

namespace rollcall::settings {

struct StoredValue
{
    bool exists = false; // false: the first read fails (a missing value)
    bool isText = false; // exists, but not text: reads as empty text, not missing
    QString text;
};

class SettingsBackend
{
public:
    virtual ~SettingsBackend() = default;

    virtual StoredValue query(const QString &valueName) = 0;
    virtual void write(const QString &valueName, const QString &text) = 0;
    // Saves are bracketed so a file backend can write the whole file once, atomically.
    virtual void beginSave() { }
    virtual void endSave() { }
};

// The platform's own backend: the INI file $XDG_CONFIG_HOME/Rollcall/Half-Life.conf (where
// QSettings puts the per-user "Rollcall", "Half-Life" settings on Linux); the registry on Windows.
std::unique_ptr<SettingsBackend> CreateDefaultBackend();

} // namespace rollcall::settings
