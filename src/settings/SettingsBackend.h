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

// No settings file of this program comes anywhere near this size; a bigger one is not one.
inline constexpr qint64 MaxSettingsFileSize = 1024 * 1024;

// Why the stored values were passed over; they load as their defaults all the same. Whoever
// shows it to the user words it.
enum class LoadProblem {
    None,
    NotARegularFile, // a directory, pipe, socket or device stands where the file belongs
    TooLarge, // a file of more than MaxSettingsFileSize bytes
};

// Why a save did not reach the store.
enum class SaveProblem {
    None,
    NotARegularFile, // a directory or device stands where the file belongs, and is left alone
    NotWritten, // the file could not be written: no right to, no room, no folder for it
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

    // Where the values live, as a user would look for them (a file's path); empty in memory.
    virtual QString location() const { return {}; }
    // What the last read passed over, and what the last save or write could not do.
    virtual LoadProblem loadProblem() const { return LoadProblem::None; }
    virtual SaveProblem saveProblem() const { return SaveProblem::None; }
};

// The platform's own backend: the INI file $XDG_CONFIG_HOME/Rollcall/Half-Life.conf (where
// QSettings puts the per-user "Rollcall", "Half-Life" settings on Linux); the registry on Windows.
std::unique_ptr<SettingsBackend> CreateDefaultBackend();

} // namespace rollcall::settings
