#pragma once

// The four small operations every stored value goes through. They carry the store's view of a
// value: a failed read is "missing", a value that exists but is not text reads as empty text.

#include "settings/SettingsBackend.h"

#include <QString>

namespace rollcall::settings {

struct TextSetting
{
    QString text;
    bool missing = true;

    friend bool operator==(const TextSetting &, const TextSetting &) = default;
};

// One value of the store's location, through the backend.
TextSetting ReadTextSetting(SettingsBackend &backend, const QString &valueName);
// What a value read from the backend means to the store.
TextSetting QueryTextValue(const StoredValue &stored);
// Failures are the backend's to swallow: a close must never be held up by the store.
void WriteTextSetting(SettingsBackend &backend, const QString &valueName, const QString &text);

// The part before the first NUL, or the whole text.
QString TrimAtNul(const QString &text);

} // namespace rollcall::settings
