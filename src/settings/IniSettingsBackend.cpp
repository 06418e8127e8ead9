#include "settings/IniSettingsBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

namespace rollcall::settings {

IniSettingsBackend::IniSettingsBackend()
    : IniSettingsBackend(defaultFilePath())
{ }

IniSettingsBackend::IniSettingsBackend(const QString &filePath)
    : m_filePath(filePath)
{ }

IniSettingsBackend::~IniSettingsBackend()
{
    endSave();
}

QString IniSettingsBackend::defaultFilePath()
{
    // Where QSettings(NativeFormat, UserScope, "Rollcall", "Half-Life") lives on Linux, but
    // always read as INI, whatever the platform's native format.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Rollcall/Half-Life.conf");
}

StoredValue IniSettingsBackend::query(const QString &valueName)
{
    // A file that cannot be read, or whose lines make no sense, simply holds no values.
    StoredValue stored;
    const QSettings settings(m_filePath, QSettings::IniFormat);
    if (!settings.contains(valueName))
        return stored;
    stored.exists = true;
    // A hand-edited "a,b" reads as a list and an @Variant(...) as some other type: present,
    // but not text.
    const QVariant value = settings.value(valueName);
    if (value.typeId() == QMetaType::QString) {
        stored.isText = true;
        stored.text = value.toString();
    }
    return stored;
}

void IniSettingsBackend::write(const QString &valueName, const QString &text)
{
    if (m_saving) {
        m_saving->setValue(valueName, text);
        return;
    }
    // One value on its own keeps the others: only a whole save starts the file afresh.
    openForWriting();
    m_saving->setValue(valueName, text);
    endSave();
}

void IniSettingsBackend::beginSave()
{
    if (m_saving)
        return;
    openForWriting();
    // The file holds this program's values only; whatever else a damaged file parsed into goes.
    m_saving->clear();
}

void IniSettingsBackend::openForWriting()
{
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // QSettings will not replace a file it cannot open for reading and writing: this save,
    // and every later one, would vanish without a word. Keep the old file beside the new one.
    QFile existing(m_filePath);
    if (QFileInfo::exists(m_filePath) && !existing.open(QIODevice::ReadWrite)) {
        QFile::remove(setAsidePath());
        QFile::rename(m_filePath, setAsidePath());
    }
    existing.close();

    m_saving = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
    // Written to a temporary file and renamed over the old one: a crash or a full disk never
    // leaves half a file.
    m_saving->setAtomicSyncRequired(true);
}

void IniSettingsBackend::endSave()
{
    if (!m_saving)
        return;
    m_saving->sync();
    m_saving.reset();
}

} // namespace rollcall::settings
