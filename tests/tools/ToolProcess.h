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

// A tool started now and collected later, so a slow one can run while other tests go on.
class ToolRun
{
public:
    ~ToolRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    void start(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
    }

    ToolResult wait(int timeoutMs = 60000)
    {
        ToolResult result;
        result.finished
            = QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
        if (!result.finished) {
            m_process.kill();
            [[maybe_unused]] const bool killed
                = QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, 5000);
        }
        result.exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        result.out = m_process.readAllStandardOutput();
        result.err = m_process.readAllStandardError();
        return result;
    }

    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

inline ToolResult RunTool(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    ToolRun run;
    run.start(program, arguments, environment);
    return run.wait();
}

// "--name x --timeout 400" as the list of arguments a shell would pass.
inline QStringList Args(const QString &spaced)
{
    return spaced.split(QLatin1Char(' '));
}

// One hlsim on ports the system picks, with its population dumped for the test to read.
class Simulator
{
public:
    bool start(const QStringList &options)
    {
        const QString dumpPath = m_dir.filePath(QStringLiteral("population.json"));
        m_run.start(QStringLiteral(HLSIM_PATH),
            options + Args(QStringLiteral("--master-port 0 --first-port 0 --dump")) << dumpPath);
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
        [[maybe_unused]] const bool stopped
            = QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, 10000);
        return m_out + m_process.readAllStandardOutput();
    }

    int masterPort() const { return m_masterPort; }
    QString master() const { return QStringLiteral("127.0.0.1:") + QString::number(m_masterPort); }
    const QJsonObject &population() const { return m_population; }

private:
    QTemporaryDir m_dir;
    ToolRun m_run;
    QProcess &m_process = m_run.process();
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
