#pragma once

// Values held in memory, for tests of whatever loads or saves settings.

#include "settings/SettingsBackend.h"

#include <QHash>
#include <QList>
#include <QString>
#include <utility>

namespace rollcall::settings {

class MemorySettingsBackend final : public SettingsBackend
{
public:
    void setText(const QString &valueName, const QString &text);
    // A value that exists but holds something other than text.
    void setNotText(const QString &valueName);
    void remove(const QString &valueName);
    bool contains(const QString &valueName) const { return m_values.contains(valueName); }
    QString text(const QString &valueName) const { return m_values.value(valueName).text; }

    StoredValue query(const QString &valueName) override;
    void write(const QString &valueName, const QString &text) override;
    void beginSave() override;
    void endSave() override;

    // Every name asked for, and every write as (name, text), in the order they happened.
    const QStringList &queries() const { return m_queries; }
    const QList<std::pair<QString, QString>> &writes() const { return m_writes; }
    // Writes that arrived outside a beginSave/endSave bracket.
    int unbracketedWrites() const { return m_unbracketedWrites; }
    int completedSaves() const { return m_completedSaves; }

private:
    QHash<QString, StoredValue> m_values;
    QStringList m_queries;
    QList<std::pair<QString, QString>> m_writes;
    bool m_saving = false;
    int m_unbracketedWrites = 0;
    int m_completedSaves = 0;
};

} // namespace rollcall::settings
