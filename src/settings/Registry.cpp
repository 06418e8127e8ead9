#include "settings/Registry.h"

namespace rollcall::settings {

TextSetting ReadTextSetting(SettingsBackend &backend, const QString &valueName)
{
    return QueryTextValue(backend.query(valueName));
}

TextSetting QueryTextValue(const StoredValue &stored)
{
    TextSetting setting;
    if (!stored.exists)
        return setting;
    setting.missing = false;
    if (stored.isText)
        setting.text = TrimAtNul(stored.text);
    return setting;
}

void WriteTextSetting(SettingsBackend &backend, const QString &valueName, const QString &text)
{
    backend.write(valueName, text);
}

QString TrimAtNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace rollcall::settings
