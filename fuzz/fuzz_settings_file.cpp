// The settings file as any bytes at all, written to a file and loaded as the window and
// rollcall-find load it: whatever it holds, the values obey the options' rules.

#include "FuzzInput.h"
#include "settings/IniSettingsBackend.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace rollcall::settings;

namespace {

// A plain decimal inside the box's range, as a load always gives.
bool isBoxNumber(const QString &text, int high)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= 1 && number <= high && QString::number(number) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input = rollcall::fuzz::bytes(data, size);
    // Qt reserves whatever count a stored @Variant list claims before it reads a single item;
    // under the sanitizers a claim of billions aborts inside Qt, before any code of ours runs.
    if (input.indexOf("@Variant(") >= 0)
        return 0;

    static QTemporaryDir dir;
    // One name for every input: QSettings keeps what it parsed of each file for the life of the
    // process, and new names would grow that without end.
    static const QString path = dir.filePath(QStringLiteral("Half-Life.conf"));
    // Renamed into place: truncating a file in place waits for the disk.
    QFile file(path + QStringLiteral(".new"));
    ROLLCALL_FUZZ_CHECK(
        file.open(QIODevice::WriteOnly) && file.write(input.data(), input.size()) == input.size());
    file.close();
    ROLLCALL_FUZZ_CHECK(
        std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData())
        == 0);
    IniSettingsBackend backend(path);
    const SettingsValues values = LoadSettings(backend, QStringLiteral("localhost:27010"));

    const bool tooLarge = input.size() > MaxSettingsFileSize;
    ROLLCALL_FUZZ_CHECK(backend.loadProblem() == (tooLarge ? LoadProblem::TooLarge : LoadProblem::None));
    ROLLCALL_FUZZ_CHECK(isBoxNumber(values.MaxConnections, 99));
    ROLLCALL_FUZZ_CHECK(isBoxNumber(values.QueryTimeout, 99999));
    ROLLCALL_FUZZ_CHECK(isBoxNumber(values.MaxServerAmount, 999999));
    ROLLCALL_FUZZ_CHECK(!values.MasterServer.isEmpty() && !values.ExecutablePath.isEmpty());
    for (const QString *text : { &values.PlayerName1, &values.PlayerName2, &values.MasterServer,
             &values.GameFilter, &values.MapFilter, &values.ExecutablePath })
        ROLLCALL_FUZZ_CHECK(!text->contains(QChar(u'\0')));
    return 0;
}
