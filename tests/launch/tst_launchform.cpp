#include "FakeServers.h"
#include "SteamFakes.h"
#include "launch/ExecutablePath.h"
#include "launch/LaunchForm.h"
#include "ui/Seams.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

using rollcall::launch::ExecutablePath;
using rollcall::launch::LaunchForm;
using rollcall::ui::seams;
using rollcall::ui::UserMessage;
using namespace rollcall::testsupport;

namespace {

constexpr int Wait = 5000;
const QString DefaultPath = QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe");

template <typename T = QPushButton> T *child(QWidget *form, const char *name)
{
    return form->findChild<T *>(QLatin1String(name));
}

QString gameDirectoryOf(LaunchForm *form)
{
    return child<QTreeView>(form, "LVGameInfo")->model()->index(2, 1).data().toString();
}

} // namespace

class TestLaunchForm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { rollcall::ui::resetSeams(); }
    void refusedForHostileGameDirectory_data();
    void refusedForHostileGameDirectory();
    void startsOnlyAWorkingPathAndKeepsIt();
    void refusedUntilEachReply();
    void browse();
    void steamGameCheckThroughA2s_data();
    void steamGameCheckThroughA2s();
    void joinThroughSteamOpensTheLinkOnly();
    void joinRefusedForAnUnusableAddress_data();
    void joinRefusedForAnUnusableAddress();
    void joinDefault_data();
    void joinDefault();
    void joinChoiceRememberedAfterALaunch();

private:
    QPointer<LaunchForm> open(const QByteArray &gameDirectory = "valve");

    std::unique_ptr<FakeGameServer> m_server;
    ExecutablePath m_path;
    QList<UserMessage> m_messages;
    int m_starts = 0;
    QList<QUrl> m_opened;
    bool m_steamHandler = false;
    bool m_openWorks = true;
};

void TestLaunchForm::init()
{
    m_server = std::make_unique<FakeGameServer>();
    QVERIFY(m_server->listen());
    m_path.setValue(DefaultPath);
    m_path.setJoinThroughSteam(QString());
    m_messages.clear();
    m_starts = 0;
    m_opened.clear();
    m_steamHandler = false;
    m_openWorks = true;
    seams().hasUrlHandler = [this](const QString &scheme) { return scheme == "steam" && m_steamHandler; };
    seams().openUrl = [this](const QUrl &url) {
        m_opened.append(url);
        return m_openWorks;
    };
    seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
    seams().startProcess = [this](const QString &, const QStringList &) {
        ++m_starts;
        return true;
    };
}

QPointer<LaunchForm> TestLaunchForm::open(const QByteArray &gameDirectory)
{
    FakeInfo info;
    info.GameDirectory = gameDirectory;
    m_server->setInfo(info);
    auto *form = new LaunchForm(&m_path);
    form->GetInfo(m_server->addressText(), m_server->port());
    form->show();
    return form;
}

void TestLaunchForm::refusedForHostileGameDirectory_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("extraCommand") << QByteArray("cstrike +exec x");
}

void TestLaunchForm::refusedForHostileGameDirectory()
{
    QFETCH(QByteArray, directory);
    QPointer<LaunchForm> form = open(directory);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QString::fromLatin1(directory), Wait);
    QTest::keyClick(form, Qt::Key_Return); // Launch is the default button
    QCOMPARE(m_messages,
        (QList<UserMessage> { { UserMessage::Icon::Exclamation,
            QStringLiteral("Cannot launch Half-Life with the game directory sent by this server.") } }));
    QCOMPARE(m_starts, 0);
    delete form;
}

void TestLaunchForm::startsOnlyAWorkingPathAndKeepsIt()
{
    // Real starts through the production seam: a missing program, then a script that writes
    // down what it was given.
    rollcall::ui::resetSeams();
    seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("fake game"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '[%s]\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.txt\"\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QPointer<LaunchForm> form = open("cstrike");
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("cstrike"), Wait);

    // A failed start says which file it tried and what is wrong with it.
    const QString notAProgram = dir.filePath(QStringLiteral("readme"));
    QFile plain(notAProgram);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QList<std::pair<QString, QString>> failures { { dir.filePath(QStringLiteral("missing/hl.exe")),
                                                            QStringLiteral("not found") },
        { dir.path(), QStringLiteral("folder") }, { notAProgram, QStringLiteral("permission denied") } };
    for (const auto &[tried, reason] : failures) {
        m_messages.clear();
        child<QLineEdit>(form, "txtPath")->setText(tried);
        child(form, "Command1")->click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, UserMessage::Icon::Critical);
        QCOMPARE(m_messages[0].text,
            QStringLiteral("Unable to launch Half-Life.\r\n\r\nPlease verify that the path is correct."));
        QVERIFY2(
            m_messages[0].informativeText.contains(tried) && m_messages[0].informativeText.contains(reason),
            qPrintable(m_messages[0].informativeText));
        QCOMPARE(m_path.value(), DefaultPath);
    }

    m_messages.clear();
    child<QLineEdit>(form, "txtPath")->setText(script);
    child(form, "Command1")->click();
    QCOMPARE(m_messages.size(), 0);
    QCOMPARE(m_path.value(), script);
    QFile recorded(script + QStringLiteral(".txt"));
    QTRY_VERIFY_WITH_TIMEOUT(recorded.exists(), Wait);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QCOMPARE(recorded.readAll(),
        "[-console]\n[-game]\n[cstrike]\n[+connect]\n[127.0.0.1:" + QByteArray::number(m_server->port())
            + "]\n");
    QVERIFY(form); // the window stays open after a launch; "Close" unloads it
    child(form, "Command2")->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), Wait);
}

void TestLaunchForm::refusedUntilEachReply()
{
    m_server->setReplyDelay(300);
    QPointer<LaunchForm> form = open();
    child(form, "Command1")->click(); // no event has been handled yet, so no reply either
    QCOMPARE(m_messages,
        (QList<UserMessage> { { UserMessage::Icon::Exclamation,
            QStringLiteral("Cannot launch Half-Life without first receiving the server's game info.") } }));
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    const QByteArray fiveLines("Host Name\tFake Server\r\nMap Name\tcrossfire\r\nGame Directory\tvalve\r\n"
                               "Game Description\tHalf-Life\r\nPlayers\t0/16\r\n");
    auto *copy = child<QMenu>(form, "LVPopupMenu")->findChild<QAction *>(QStringLiteral("CopyMenu"));
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text().toLatin1(), fiveLines);

    // "Info >>" shows the list and grows the window; F5 there asks again, and until the new
    // reply is in the game directory is unknown again.
    auto *list = child<QTreeView>(form, "LVGameInfo");
    const QSize collapsed = form->size();
    child(form, "Command4")->click();
    QVERIFY(list->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(form->height() >= collapsed.height() + list->height(), Wait);
    QCOMPARE(form->width(), collapsed.width());
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F5);
    QCOMPARE(gameDirectoryOf(form), QStringLiteral("n/a"));
    child(form, "Command1")->click();
    QCOMPARE(m_messages.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    QCOMPARE(m_server->requestCount(FakeGameServer::Kind::Info), 2);
    copy->trigger(); // the same five lines, not ten
    QCOMPARE(QGuiApplication::clipboard()->text().toLatin1(), fiveLines);
    QCOMPARE(m_starts, 0);
    child(form, "Command1")->click();
    QCOMPARE(m_starts, 1);

    child(form, "Command4")->click(); // "Info <<" takes both back
    QVERIFY(!list->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(form->size(), collapsed, Wait);
    QTest::keyClick(form, Qt::Key_Escape); // Escape unloads the window like "Close"
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), Wait);
}

void TestLaunchForm::browse()
{
    QTemporaryDir dir;
    m_path.setValue(dir.filePath(QStringLiteral("hl.exe")));
    QStringList asked;
    QString answer;
    seams().chooseFile = [&](QWidget *, const QString &title, const QString &startFile, const QString &folder,
                             const QString &filter) {
        asked = { title, startFile, folder, filter };
        return answer.isEmpty() ? startFile : answer;
    };
    QPointer<LaunchForm> form = open();
    auto *path = child<QLineEdit>(form, "txtPath");
    child(form, "Command3")->click(); // cancelled
    // The dialog opens on the current file, in its folder.
    QCOMPARE(asked.mid(1, 2), (QStringList { m_path.value(), dir.path() }));
    QCOMPARE(path->text(), m_path.value());
    answer = QStringLiteral("/opt/games/hl.exe");
    child(form, "Command3")->click();
    QCOMPARE(path->selectedText(), answer);
    QCOMPARE(m_path.value(), dir.filePath(QStringLiteral("hl.exe"))); // only a launch changes it
    // The box shows the program-wide path as it changes, but never over a choice of the user.
    m_path.setValue(QStringLiteral("/elsewhere/hl"));
    QCOMPARE(path->text(), answer);
    delete form;
    form = open();
    m_path.setValue(QStringLiteral("/elsewhere/hl2"));
    QCOMPARE(child<QLineEdit>(form, "txtPath")->text(), QStringLiteral("/elsewhere/hl2"));
    delete form;
}

void TestLaunchForm::steamGameCheckThroughA2s_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<bool>("launched");
    QTest::newRow("ok_cstrike") << QByteArray("cstrike") << true;
    // The A2S directory meets the same guard as the legacy one.
    QTest::newRow("hostile_extraCommand") << QByteArray("cstrike +exec x") << false;
    QTest::newRow("hostile_nonAscii") << QByteArray("стрике") << false;
}

void TestLaunchForm::steamGameCheckThroughA2s()
{
    QFETCH(QByteArray, directory);
    QFETCH(bool, launched);
    QStringList arguments;
    seams().startProcess = [&arguments](const QString &, const QStringList &args) {
        arguments = args;
        return true;
    };
    FakeA2sServer server;
    QVERIFY(server.listen());
    server.setInfoChallenge(true);
    FakeA2sInfo info;
    info.GameDirectory = directory;
    info.HostName = "Сервер";
    server.setInfo(info);
    QPointer<LaunchForm> form = new LaunchForm(&m_path);
    form->GetInfo(server.addressText(), server.port(), rollcall::search::ServerQueries::A2s);
    form->show();
    child(form, "Command1")->click(); // before any answer: refused, as for a legacy server
    QCOMPARE(m_messages.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QString::fromUtf8(directory), Wait);
    QCOMPARE(child<QTreeView>(form, "LVGameInfo")->model()->index(0, 1).data().toString(),
        QStringLiteral("Сервер"));
    QCOMPARE(server.requestCount(FakeA2sServer::Kind::Info), 2); // its challenge round included
    m_messages.clear();
    child(form, "Command1")->click();
    if (launched) {
        QCOMPARE(m_messages.size(), 0);
        QCOMPARE(arguments,
            (QStringList { "-console", "-game", QString::fromUtf8(directory), "+connect",
                "127.0.0.1:" + QString::number(server.port()) }));
    } else {
        QCOMPARE(m_messages,
            (QList<UserMessage> { { UserMessage::Icon::Exclamation,
                QStringLiteral("Cannot launch Half-Life with the game directory sent by this server.") } }));
        QVERIFY(arguments.isEmpty());
    }
    delete form;
}

void TestLaunchForm::joinThroughSteamOpensTheLinkOnly()
{
    m_path.setJoinThroughSteam(QStringLiteral("1"));
    // No game directory is needed, and a hostile one does not matter: no command line is built.
    QPointer<LaunchForm> form = open("cstrike +exec x");
    auto *join = child<QCheckBox>(form, "chkJoinSteam");
    QVERIFY(join->isChecked());
    QCOMPARE(join->text(), QStringLiteral("Join through Steam"));
    QVERIFY(!child<QLineEdit>(form, "txtPath")->isEnabled());
    child(form, "Command1")->click();
    QCOMPARE(
        m_opened, (QList<QUrl> { QUrl("steam://connect/127.0.0.1:" + QString::number(m_server->port())) }));
    QCOMPARE(m_starts, 0);
    QVERIFY(m_messages.isEmpty());

    // A desktop that takes no steam: link says so, and names what was tried.
    m_openWorks = false;
    m_opened.clear();
    child(form, "Command1")->click();
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].icon, UserMessage::Icon::Critical);
    QVERIFY(m_messages[0].informativeText.contains(QStringLiteral("steam://connect/127.0.0.1:")));
    QCOMPARE(m_starts, 0);
    delete form;
}

void TestLaunchForm::joinRefusedForAnUnusableAddress_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("serverPort"); // else port 0
    QTest::newRow("name") << "localhost" << true;
    QTest::newRow("portZero") << "127.0.0.1" << false;
}

void TestLaunchForm::joinRefusedForAnUnusableAddress()
{
    QFETCH(QString, ip);
    QFETCH(bool, serverPort);
    m_path.setJoinThroughSteam(QStringLiteral("1"));
    QPointer<LaunchForm> form = new LaunchForm(&m_path);
    form->GetInfo(ip, serverPort ? m_server->port() : 0);
    form->show();
    child(form, "Command1")->click();
    QCOMPARE(m_messages,
        (QList<UserMessage> { { UserMessage::Icon::Exclamation,
            QStringLiteral(
                "Cannot join this server through Steam: its address is not a valid IPv4 address and "
                "port.") } }));
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(m_starts, 0);
    delete form;
}

void TestLaunchForm::joinDefault_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("path"); // "self": this test's own executable, a program that exists
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("checked");
    QTest::newRow("noPath_handler") << ""
                                    << "" << true << true;
    QTest::newRow("missingProgram_handler") << "" << DefaultPath << true << true;
    QTest::newRow("program_handler") << ""
                                     << "self" << true << false;
    QTest::newRow("noPath_noHandler") << ""
                                      << "" << false << false;
    QTest::newRow("chosenOff_noPath_handler") << "0"
                                              << "" << true << false;
    QTest::newRow("chosenOn_program_noHandler") << "1"
                                                << "self" << false << true;
}

void TestLaunchForm::joinDefault()
{
    QFETCH(QString, stored);
    QFETCH(QString, path);
    QFETCH(bool, handler);
    QFETCH(bool, checked);
    m_path.setJoinThroughSteam(stored);
    m_path.setValue(path == QLatin1String("self") ? QCoreApplication::applicationFilePath() : path);
    m_steamHandler = handler;
    QPointer<LaunchForm> form = open();
    QCOMPARE(child<QCheckBox>(form, "chkJoinSteam")->isChecked(), checked);
    QCOMPARE(child<QLineEdit>(form, "txtPath")->isEnabled(), !checked);
    QCOMPARE(m_path.joinThroughSteam(), stored); // only a launch records a choice
    delete form;
}

void TestLaunchForm::joinChoiceRememberedAfterALaunch()
{
    m_path.setValue(QString());
    m_steamHandler = true;
    QPointer<LaunchForm> form = open("valve");
    auto *join = child<QCheckBox>(form, "chkJoinSteam");
    QVERIFY(join->isChecked());
    // The user turns it off and starts the executable the fake start accepts.
    join->click();
    QVERIFY(child<QLineEdit>(form, "txtPath")->isEnabled());
    child<QLineEdit>(form, "txtPath")->setText(QStringLiteral("/games/hl.sh"));
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    child(form, "Command1")->click();
    QCOMPARE(m_starts, 1);
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(m_path.joinThroughSteam(), QStringLiteral("0"));
    // A failed join records nothing; one that worked records the choice.
    join->click();
    m_openWorks = false;
    child(form, "Command1")->click();
    QCOMPARE(m_path.joinThroughSteam(), QStringLiteral("0"));
    m_openWorks = true;
    child(form, "Command1")->click();
    QCOMPARE(m_path.joinThroughSteam(), QStringLiteral("1"));
    QCOMPARE(m_starts, 1);
    delete form;
}

QTEST_MAIN(TestLaunchForm)
#include "tst_launchform.moc"
