#pragma once

// The program-wide game executable: read from the settings at start, shown by every launch
// window, written back after a launch that started, saved when the main window closes.

#include <QObject>
#include <QString>

namespace rollcall::launch {

class ExecutablePath final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExecutablePath)

public:
    explicit ExecutablePath(QObject *parent = nullptr);
    ExecutablePath(const QString &value, QObject *parent);

    QString value() const { return m_value; }
    // Tells every reader when the path differs from the one it had.
    void setValue(const QString &value);

Q_SIGNALS:
    void changed(const QString &value);

private:
    QString m_value;
};

} // namespace rollcall::launch
