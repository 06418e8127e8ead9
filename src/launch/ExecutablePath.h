#pragma once

// The program-wide game executable, and whether the game is joined through Steam instead: read
// from the settings at start, shown by every launch window, written back after a launch that
// started, saved when the main window closes.

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

    // "1" or "0" as the user last launched; empty until then, and the launch window decides.
    QString joinThroughSteam() const { return m_joinThroughSteam; }
    void setJoinThroughSteam(const QString &choice) { m_joinThroughSteam = choice; }

Q_SIGNALS:
    void changed(const QString &value);

private:
    QString m_value;
    QString m_joinThroughSteam;
};

} // namespace rollcall::launch
