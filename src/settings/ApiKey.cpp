#include "settings/ApiKey.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rollcall::settings {

namespace {

KeyFile problem(KeyFile::Problem kind, const QString &detail = QString())
{
    return KeyFile { kind, QString(), detail };
}

#ifdef Q_OS_UNIX
// O_NONBLOCK: opening a named pipe for reading would otherwise wait for a writer.
KeyFile readBytes(const QString &path, QByteArray *bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return problem(KeyFile::Problem::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status
    {
    };
    KeyFile result;
    if (::fstat(fd, &status) != 0)
        result = problem(KeyFile::Problem::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
    else if (!S_ISREG(status.st_mode))
        result = problem(KeyFile::Problem::NotRegularFile);
    else if (status.st_size > MaxKeyFileSize)
        result = problem(KeyFile::Problem::TooLarge);
    char buffer[MaxKeyFileSize + 1];
    qsizetype total = 0;
    while (result.problem == KeyFile::Problem::None && total < qsizetype(sizeof(buffer))) {
        const ssize_t n = ::read(fd, buffer + total, sizeof(buffer) - size_t(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            result = problem(KeyFile::Problem::Unreadable, QString::fromLocal8Bit(std::strerror(errno)));
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    *bytes = QByteArray(buffer, total);
    return result;
}
#else
KeyFile readBytes(const QString &path, QByteArray *bytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return problem(KeyFile::Problem::Unreadable, QStringLiteral("No such file"));
    if (!info.isFile())
        return problem(KeyFile::Problem::NotRegularFile);
    if (info.size() > MaxKeyFileSize)
        return problem(KeyFile::Problem::TooLarge);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return problem(KeyFile::Problem::Unreadable, file.errorString());
    *bytes = file.read(MaxKeyFileSize + 1);
    return KeyFile();
}
#endif

} // namespace

bool IsPlausibleKey(const QString &key)
{
    return !key.isEmpty() && std::all_of(key.cbegin(), key.cend(), [](QChar c) {
        return c.unicode() > 0x20 && c.unicode() < 0x7F;
    });
}

KeyFile ReadKeyFile(const QString &path)
{
    if (path.isEmpty())
        return problem(KeyFile::Problem::Unreadable, QStringLiteral("No file named"));
    QByteArray bytes;
    const KeyFile read = readBytes(path, &bytes);
    if (read.problem != KeyFile::Problem::None)
        return read;
    // A file that grew after the size was checked is still read only this far.
    if (bytes.size() > MaxKeyFileSize)
        return problem(KeyFile::Problem::TooLarge);
    // Some editors start a UTF-8 file with a byte order mark.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QString key = QString::fromUtf8(bytes).trimmed();
    if (key.isEmpty())
        return problem(KeyFile::Problem::Empty);
    if (!IsPlausibleKey(key))
        return problem(KeyFile::Problem::NotAKey);
    return KeyFile { KeyFile::Problem::None, key, QString() };
}

KeyChoice ChooseKey(const std::optional<QString> &keyFileKey, const std::optional<QString> &environmentValue)
{
    if (keyFileKey)
        return { KeySource::KeyFile, keyFileKey->trimmed() };
    // "ROLLCALL_STEAM_KEY= rollcall-find ..." is how a shell user says "not this time".
    if (environmentValue && !environmentValue->trimmed().isEmpty())
        return { KeySource::Environment, environmentValue->trimmed() };
    return { KeySource::Keyring, QString() };
}

} // namespace rollcall::settings
