#pragma once

// Where the Steam Web API key comes from. The key is a secret: it lives in the desktop's keyring
// (ApiKeyStore), in a file the user names, or in the environment, and never in the settings file.
// Plain values and pure functions here; the wording lives in ui/WebApiTexts.

#include <QString>
#include <optional>

namespace rollcall::settings {

// A key is 32 hexadecimal digits; a file many times that size holds something else.
inline constexpr qint64 MaxKeyFileSize = 4096;
inline constexpr char SteamKeyVariable[] = "ROLLCALL_STEAM_KEY";

// What the keyring said about a read, write or removal.
enum class KeyringStatus {
    Ok,
    NotFound, // a read found no key stored
    Unavailable, // no keyring service answered (no D-Bus session, none running, no reply in time)
    Denied, // the keyring is locked and stayed so, or the user refused access
};

struct KeyFile
{
    enum class Problem {
        None,
        Unreadable, // missing, no permission; `detail` has the system's reason
        NotRegularFile, // a directory, a pipe, a device: never read, a pipe could wait for ever
        TooLarge, // over MaxKeyFileSize
        Empty, // nothing but white space
        NotAKey, // characters no key has: white space or line breaks inside, control or non-ASCII
    };

    Problem problem = Problem::None;
    QString key; // the content without surrounding white space (and without a UTF-8 BOM)
    QString detail;

    friend bool operator==(const KeyFile &, const KeyFile &) = default;
};

// The key in the file at `path`, or why there is none. Opens without blocking and checks that it
// is a regular file before reading, and reads no more than MaxKeyFileSize + 1 bytes.
KeyFile ReadKeyFile(const QString &path);

// Printable ASCII without spaces: what may go into a request as a key.
bool IsPlausibleKey(const QString &key);

enum class KeySource {
    KeyFile, // --key-file FILE
    Environment, // ROLLCALL_STEAM_KEY
    Keyring, // neither given: ApiKeyStore must be asked
};

struct KeyChoice
{
    KeySource source = KeySource::Keyring;
    QString key; // empty for Keyring

    friend bool operator==(const KeyChoice &, const KeyChoice &) = default;
};

// --key-file first (its key as ReadKeyFile gave it), else the environment variable's value when
// it holds more than white space, else the keyring.
KeyChoice ChooseKey(const std::optional<QString> &keyFileKey, const std::optional<QString> &environmentValue);

} // namespace rollcall::settings
