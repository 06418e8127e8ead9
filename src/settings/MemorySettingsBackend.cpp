#include "settings/MemorySettingsBackend.h"

namespace rollcall::settings {

void MemorySettingsBackend::setText(const QString &valueName, const QString &text)
{
    m_values.insert(valueName, StoredValue { true, true, text });
}

void MemorySettingsBackend::setNotText(const QString &valueName)
{
    m_values.insert(valueName, StoredValue { true, false, {} });
}

void MemorySettingsBackend::remove(const QString &valueName)
{
    m_values.remove(valueName);
}

StoredValue MemorySettingsBackend::query(const QString &valueName)
{
    m_queries.append(valueName);
    return m_values.value(valueName);
}

void MemorySettingsBackend::write(const QString &valueName, const QString &text)
{
    if (!m_saving)
        ++m_unbracketedWrites;
    m_writes.append({ valueName, text });
    setText(valueName, text);
}

void MemorySettingsBackend::beginSave()
{
    m_saving = true;
}

void MemorySettingsBackend::endSave()
{
    if (m_saving)
        ++m_completedSaves;
    m_saving = false;
}

} // namespace rollcall::settings
