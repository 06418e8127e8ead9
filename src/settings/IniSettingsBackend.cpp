#include "settings/IniSettingsBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace rollcall::settings {

namespace {

// What stands at the settings path, found without opening it.
struct Occupant
{
    bool exists = false;
    LoadProblem problem = LoadProblem::None;
    // A pipe, a socket or an oversized file may be renamed out of the way of a save; a
    // directory or a device is not this program's to move.
    bool movable = false;
};

Occupant inspect(const QString &path)
{
#ifdef Q_OS_UNIX
    // stat, not lstat: a link is judged by what it points to, and a link to nothing is nothing.
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    if (S_ISREG(info.st_mode)) {
        const bool tooLarge = info.st_size > MaxSettingsFileSize;
        return { true, tooLarge ? LoadProblem::TooLarge : LoadProblem::None, tooLarge };
    }
    return { true, LoadProblem::NotARegularFile, S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) };
#else
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isFile()) {
        const bool tooLarge = info.size() > MaxSettingsFileSize;
        return { true, tooLarge ? LoadProblem::TooLarge : LoadProblem::None, tooLarge };
    }
    return { true, LoadProblem::NotARegularFile, false };
#endif
}

} // namespace

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
    m_loadProblem = inspect(m_filePath).problem;
    if (m_loadProblem != LoadProblem::None)
        return stored;
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
    // A save refused at its start writes nothing, value by value neither.
    if (m_inSave)
        return;
    // One value on its own keeps the others: only a whole save starts the file afresh.
    if (!openForWriting())
        return;
    m_saving->setValue(valueName, text);
    finishWriting();
}

void IniSettingsBackend::beginSave()
{
    if (m_inSave)
        return;
    m_inSave = true;
    if (!openForWriting())
        return;
    // The file holds this program's values only; whatever else a damaged file parsed into goes.
    m_saving->clear();
}

bool IniSettingsBackend::openForWriting()
{
    m_saveProblem = SaveProblem::None;
    const Occupant occupant = inspect(m_filePath);
    if (occupant.problem != LoadProblem::None && !occupant.movable) {
        m_saveProblem = SaveProblem::NotARegularFile;
        return false;
    }
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // QSettings will not replace a file it cannot open for reading and writing: this save,
    // and every later one, would vanish without a word. Keep the old file beside the new one;
    // a pipe or an oversized file goes there unopened.
    bool setAside = occupant.movable;
    if (occupant.exists && !setAside) {
        QFile existing(m_filePath);
        setAside = !existing.open(QIODevice::ReadWrite);
    }
    if (setAside) {
        QFile::remove(setAsidePath());
        if (!QFile::rename(m_filePath, setAsidePath()) && occupant.movable) {
            m_saveProblem = SaveProblem::NotWritten; // still in the way, and still not to be opened
            return false;
        }
    }

    m_saving = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
    // Written to a temporary file and renamed over the old one: a crash or a full disk never
    // leaves half a file.
    m_saving->setAtomicSyncRequired(true);
    return true;
}

void IniSettingsBackend::finishWriting()
{
    m_saving->sync();
    if (m_saving->status() == QSettings::AccessError)
        m_saveProblem = SaveProblem::NotWritten;
    m_saving.reset();
}

void IniSettingsBackend::endSave()
{
    m_inSave = false;
    if (m_saving)
        finishWriting();
}

} // namespace rollcall::settings
