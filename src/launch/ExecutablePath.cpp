#include "launch/ExecutablePath.h"

namespace rollcall::launch {

ExecutablePath::ExecutablePath(QObject *parent)
    : QObject(parent)
{ }

ExecutablePath::ExecutablePath(const QString &value, QObject *parent)
    : QObject(parent)
    , m_value(value)
{ }

void ExecutablePath::setValue(const QString &value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT changed(m_value);
}

} // namespace rollcall::launch
