#pragma once

// The settings as a per-user INI file: $XDG_CONFIG_HOME/Rollcall/Half-Life.conf on Linux.
// A machine-wide place is not writable for users, and settings that never persist would be
// worse than settings kept per user.
//
// Only a regular file of at most MaxSettingsFileSize bytes is ever opened: a pipe would keep
// the program waiting for a writer for ever, a device might never end.

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

    QString location() const override { return m_filePath; }
    LoadProblem loadProblem() const override { return m_loadProblem; }
    SaveProblem saveProblem() const override { return m_saveProblem; }

private:
    bool openForWriting();
    void finishWriting();

    QString m_filePath;
    std::unique_ptr<QSettings> m_saving;
    bool m_inSave = false;
    LoadProblem m_loadProblem = LoadProblem::None;
    SaveProblem m_saveProblem = SaveProblem::None;
};

} // namespace rollcall::settings
