#pragma once

// Runs the tools as a user would, as separate processes. The waits spin the test's own event
// loop so fake servers living in this process keep answering meanwhile.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace rollcall::testtools {

struct ToolResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolResult RunTool(const QString &program, const QStringList &arguments,
                          const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                          int timeoutMs = 60000)
{
    ToolResult result;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::Running || process.state() == QProcess::NotRunning; },
                         10000))
        return result;
    result.finished = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!result.finished) {
        process.kill();
        [[maybe_unused]] const bool killed = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 5000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// One hlsim on ports the system picks, with its population dumped for the test to read.
class Simulator
{
public:
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start(const QStringList &options)
    {
        const QString dumpPath = m_dir.filePath(QStringLiteral("population.json"));
        m_process.start(QStringLiteral(HLSIM_PATH),
                        options + QStringList {QStringLiteral("--master-port"), QStringLiteral("0"), QStringLiteral("--first-port"),
                                               QStringLiteral("0"), QStringLiteral("--dump"), dumpPath});
        const QRegularExpression listening(QStringLiteral("master listening on 127\\.0\\.0\\.1:(\\d+)"));
        QRegularExpressionMatch match;
        const bool up = QTest::qWaitFor(
            [&] {
                m_out += m_process.readAllStandardOutput();
                match = listening.match(QString::fromLatin1(m_out));
                return match.hasMatch() || m_process.state() == QProcess::NotRunning;
            },
            30000);
        if (!up || !match.hasMatch())
            return false;
        m_masterPort = match.captured(1).toInt();
        QFile dump(dumpPath);
        if (!dump.open(QIODevice::ReadOnly))
            return false;
        m_population = QJsonDocument::fromJson(dump.readAll()).object();
        return !m_population.isEmpty();
    }

    // SIGTERM, then everything it printed (the request counts come last).
    QByteArray stop()
    {
        m_process.terminate();
        [[maybe_unused]] const bool stopped =
            QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, 10000);
        return m_out + m_process.readAllStandardOutput();
    }

    int masterPort() const { return m_masterPort; }
    QString master() const { return QStringLiteral("127.0.0.1:") + QString::number(m_masterPort); }
    const QJsonObject &population() const { return m_population; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_out;
    int m_masterPort = 0;
    QJsonObject m_population;
};

// Settings of their own for each run, so a test never sees the user's (or another test's).
inline QProcessEnvironment IsolatedEnvironment(const QString &configHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

} // namespace rollcall::testtools
