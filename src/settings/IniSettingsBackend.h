#pragma once

// The settings as a per-user INI file: $XDG_CONFIG_HOME/Rollcall/Half-Life.conf on Linux.
// A machine-wide place is not writable for users here, and settings that never persist would
// be worse than settings kept per user.

#include "settings/SettingsBackend.h"

#include <QString>
#include <memory>

class QSettings;

namespace rollcall::settings {

class IniSettingsBackend final : public SettingsBackend
{
public:
    // The per-user file of this program.
    IniSettingsBackend();
    explicit IniSettingsBackend(const QString &filePath);
    ~IniSettingsBackend() override;

    static QString defaultFilePath();
    const QString &filePath() const { return m_filePath; }
    // Where a file that could not be read or rewritten is moved before a save replaces it.
    QString setAsidePath() const { return m_filePath + QStringLiteral(".bad"); }

    StoredValue query(const QString &valueName) override;
    void write(const QString &valueName, const QString &text) override;
    void beginSave() override;
    void endSave() override;

private:
    void openForWriting();

    QString m_filePath;
    std::unique_ptr<QSettings> m_saving;
};

} // namespace rollcall::settings
