// "rollcall ARGS": what the arguments ask for, and the built program answering --help and
// --version where no display exists (building the application object there would abort).

#include "app/CommandLine.h"
#include "ui/Version.h"

#include <QProcess>
#include <QTest>

using namespace rollcall::app;
using Action = StartRequest::Kind;

class tst_CommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readCommandLine_data();
    void readCommandLine();
    void withoutDisplay_data();
    void withoutDisplay();
    void webApiUrl_data();
    void webApiUrl();
};

void tst_CommandLine::readCommandLine_data()
{
    QTest::addColumn<QString>("arguments"); // split at spaces
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("text"); // a piece of what is printed

    const QString version
        = QStringLiteral("rollcall ") + rollcall::ui::ProgramVersionText() + QLatin1Char('\n');
    QTest::newRow("none") << "" << Action::OpenWindow << "";
    QTest::newRow("help_long") << "--help" << Action::PrintHelp << "Usage: rollcall [options]";
    QTest::newRow("help_short") << "-h" << Action::PrintHelp << "--version";
    QTest::newRow("version_long") << "--version" << Action::PrintVersion << version;
    QTest::newRow("version_short") << "-v" << Action::PrintVersion << version;
    QTest::newRow("version_andHelp") << "--version --help" << Action::PrintHelp << "--help";
    // Qt's own options reach the application object untouched.
    QTest::newRow("qt_platform") << "-platform offscreen -reverse" << Action::OpenWindow << "";
    QTest::newRow("qt_equals") << "-style=fusion -stylesheet=a.qss" << Action::OpenWindow << "";
    QTest::newRow("qt_withHelp") << "-style fusion -h" << Action::PrintHelp << "Usage:";
    // A mistake is named, even beside --help.
    QTest::newRow("bad_unknown") << "-x" << Action::Refuse << "unknown option '-x'";
    // Qt would take "--name" for its X11 "-name": a search option is refused, not swallowed.
    QTest::newRow("bad_searchOption") << "--name Gordon" << Action::Refuse << "unknown option '--name'";
    QTest::newRow("bad_qtWithTwoDashes")
        << "--platform offscreen" << Action::Refuse << "unknown option '--platform'";
    QTest::newRow("bad_unknownAfterHelp") << "--help -x" << Action::Refuse << "unknown option '-x'";
    QTest::newRow("bad_flagWithValue") << "--version=2" << Action::Refuse << "unknown option '--version=2'";
    QTest::newRow("bad_missingValue")
        << "-reverse -platform" << Action::Refuse << "option '-platform' needs a value";
    QTest::newRow("bad_positional") << "Gordon" << Action::Refuse << "unexpected argument 'Gordon'";
    QTest::newRow("bad_loneDash") << "-" << Action::Refuse << "unexpected argument '-'";
    QTest::newRow("bad_hint") << "--bogus" << Action::Refuse << "Try 'rollcall --help'.";
}

void tst_CommandLine::readCommandLine()
{
    QFETCH(QString, arguments);
    QFETCH(Action, action);
    QFETCH(QString, text);
    const StartRequest request = ReadCommandLine(arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QCOMPARE(request.Action, action);
    QVERIFY2(request.Text.contains(text), qPrintable(request.Text));
    if (action == Action::OpenWindow)
        QVERIFY(request.Text.isEmpty());
}

void tst_CommandLine::withoutDisplay_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray version = "rollcall " + rollcall::ui::ProgramVersionText().toLatin1() + '\n';
    QTest::newRow("version") << "--version" << 0 << version << QByteArray();
    QTest::newRow("help") << "--help" << 0 << HelpText().toLatin1() << QByteArray();
    QTest::newRow("unknown") << "--bogus" << 2 << QByteArray()
                             << QByteArray("rollcall: unknown option '--bogus'\nTry 'rollcall --help'.\n");
}

void tst_CommandLine::withoutDisplay()
{
    QFETCH(QString, argument);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("DISPLAY"), QString());
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QString());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ROLLCALL_PATH), { argument });
    QVERIFY2(process.waitForFinished(30000), qPrintable(process.errorString()));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.readAllStandardError(), err);
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(process.readAllStandardOutput(), out);
}

void tst_CommandLine::webApiUrl_data()
{
    QTest::addColumn<QString>("arguments"); // split at spaces
    QTest::addColumn<QString>("url"); // for this run; empty when refused
    QTest::addColumn<QString>("text"); // a piece of the refusal

    QTest::newRow("ok_https") << "--webapi-url https://steam.example/api"
                              << "https://steam.example/api"
                              << "";
    QTest::newRow("ok_equals") << "--webapi-url=http://127.0.0.1:8088"
                               << "http://127.0.0.1:8088"
                               << "";
    QTest::newRow("ok_localhostWithQt") << "-platform offscreen --webapi-url http://localhost:9/x -reverse"
                                        << "http://localhost:9/x"
                                        << "";
    QTest::newRow("ok_lastWins") << "--webapi-url https://a.example --webapi-url=https://b.example"
                                 << "https://b.example"
                                 << "";
    QTest::newRow("bad_plainHttpElsewhere") << "--webapi-url http://api.steampowered.com"
                                            << ""
                                            << "--webapi-url 'http://api.steampowered.com' is plain http://";
    QTest::newRow("bad_otherScheme") << "--webapi-url ftp://127.0.0.1/"
                                     << ""
                                     << "is not an https:// address";
    QTest::newRow("bad_noHost") << "--webapi-url=https://"
                                << ""
                                << "is not an https:// address";
    QTest::newRow("bad_empty") << "--webapi-url="
                               << ""
                               << "is not an https:// address";
    QTest::newRow("bad_missingValue") << "--webapi-url"
                                      << ""
                                      << "option '--webapi-url' needs a value";
    QTest::newRow("bad_prefixOnly") << "--webapi-urlx https://a.example"
                                    << ""
                                    << "unknown option '--webapi-urlx'";
}

void tst_CommandLine::webApiUrl()
{
    QFETCH(QString, arguments);
    QFETCH(QString, url);
    QFETCH(QString, text);
    const StartRequest request = ReadCommandLine(arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QCOMPARE(request.Action, url.isEmpty() ? Action::Refuse : Action::OpenWindow);
    QCOMPARE(request.WebApiUrl, url);
    QVERIFY2(request.Text.contains(text), qPrintable(request.Text));
    // --help still answers, whatever the address.
    QCOMPARE(
        ReadCommandLine({ QStringLiteral("--webapi-url=https://a.example"), QStringLiteral("-h") }).Action,
        Action::PrintHelp);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
