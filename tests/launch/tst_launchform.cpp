#include "FakeServers.h"
#include "app/Seams.h"
#include "launch/LaunchForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using rollcall::UserMessage;
using rollcall::app::seams;
using rollcall::launch::LaunchForm;
using namespace rollcall::testsupport;

namespace {

constexpr int Wait = 5000;

struct StartCall
{
    QString program;
    QStringList arguments;
};

QString gameDirectoryOf(LaunchForm *form)
{
    const QAbstractItemModel *model = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"))->model();
    return model->index(2, 1).data().toString();
}

} // namespace

class TestLaunchForm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void layoutAndTexts();
    void refusedBeforeTheReply();
    void refusedForHostileGameDirectory_data();
    void refusedForHostileGameDirectory();
    void startsTheGameWithExactArguments();
    void failedStartKeepsThePath();
    void refreshRefusesUntilTheNewReply();
    void infoButtonGrowsAndShrinks();
    void browse();
    void copyFiveLines();
    void closeAndEscapeUnload();

private:
    QPointer<LaunchForm> open(const FakeGameServer &server);

    QString m_path = QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe");
    QList<UserMessage> m_messages;
    QList<StartCall> m_starts;
};

void TestLaunchForm::init()
{
    m_path = QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe");
    m_messages.clear();
    m_starts.clear();
    seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
    seams().startProcess = [this](const QString &program, const QStringList &arguments) {
        m_starts.append({ program, arguments });
        return true;
    };
}

void TestLaunchForm::cleanup()
{
    rollcall::app::resetSeams();
}

QPointer<LaunchForm> TestLaunchForm::open(const FakeGameServer &server)
{
    auto *form = new LaunchForm(&m_path);
    form->GetInfo(server.addressText(), server.port());
    form->show();
    return form;
}

void TestLaunchForm::layoutAndTexts()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setSilent(true);
    QPointer<LaunchForm> form = open(server);
    QCOMPARE(form->windowTitle(), QStringLiteral("Launch Half-Life & Connect"));
    QCOMPARE(form->findChild<QLineEdit *>(QStringLiteral("txtAddress"))->text(),
        QStringLiteral("127.0.0.1:") + QString::number(server.port()));
    QVERIFY(form->findChild<QLineEdit *>(QStringLiteral("txtAddress"))->isReadOnly());
    QCOMPARE(form->findChild<QLineEdit *>(QStringLiteral("txtPath"))->text(), m_path);
    QCOMPARE(form->findChild<QLabel *>(QStringLiteral("Label1"))->buddy(),
        form->findChild<QLineEdit *>(QStringLiteral("txtAddress")));
    QCOMPARE(form->findChild<QLabel *>(QStringLiteral("Label2"))->buddy(),
        form->findChild<QLineEdit *>(QStringLiteral("txtPath")));
    QVERIFY(form->findChild<QPushButton *>(QStringLiteral("Command1"))->isDefault());
    QCOMPARE(form->findChild<QPushButton *>(QStringLiteral("Command3"))->toolTip(),
        QStringLiteral("Browse for Half-Life executable"));
    auto *list = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QVERIFY(!list->isVisible());
    QCOMPARE(list->model()->rowCount(), 5);
    QCOMPARE(list->model()->index(4, 0).data().toString(), QStringLiteral("Players"));
    // Tab order: Launch, Close, Info, the list, the address, the path, browse.
    QStringList chain;
    QWidget *w = form->findChild<QPushButton *>(QStringLiteral("Command1"));
    for (int i = 0; i < 7; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
        chain.append(w->objectName());
    }
    QCOMPARE(chain,
        (QStringList {
            "Command1", "Command2", "Command4", "LVGameInfo", "txtAddress", "txtPath", "Command3" }));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(FakeGameServer::Kind::Info), 1, Wait);
    delete form;
}

void TestLaunchForm::refusedBeforeTheReply()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    server.setSilent(true);
    QPointer<LaunchForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTest::keyClick(form, Qt::Key_Return);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].icon, UserMessage::Icon::Exclamation);
    QCOMPARE(m_messages[0].text,
        QStringLiteral("Cannot launch Half-Life without first receiving the server's game info."));
    QVERIFY(m_starts.isEmpty());
    delete form;
}

void TestLaunchForm::refusedForHostileGameDirectory_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::newRow("option") << QByteArray("-dev");
    QTest::newRow("extraCommand") << QByteArray("cstrike +exec x");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("parent") << QByteArray("..");
    QTest::newRow("path") << QByteArray("valve/../../x");
}

void TestLaunchForm::refusedForHostileGameDirectory()
{
    QFETCH(QByteArray, directory);
    FakeGameServer server;
    QVERIFY(server.listen());
    FakeInfo info;
    info.GameDirectory = directory;
    server.setInfo(info);
    QPointer<LaunchForm> form = open(server);
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QString::fromLatin1(directory), Wait);
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].text,
        QStringLiteral("Cannot launch Half-Life with the game directory sent by this server."));
    QCOMPARE(m_messages[0].icon, UserMessage::Icon::Exclamation);
    QVERIFY(m_starts.isEmpty());
    QCOMPARE(m_path, QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe"));
    delete form;
}

void TestLaunchForm::startsTheGameWithExactArguments()
{
    // A real start through the production seam: a script that writes down what it was given.
    rollcall::app::resetSeams();
    seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("fake game"));
    const QString record = dir.filePath(QStringLiteral("args.txt"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$(dirname \"$0\")/args.tmp\"\n"
        "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args.txt\"\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    FakeGameServer server;
    QVERIFY(server.listen());
    FakeInfo info;
    info.GameDirectory = "cstrike";
    server.setInfo(info);
    QPointer<LaunchForm> form = open(server);
    form->findChild<QLineEdit *>(QStringLiteral("txtPath"))->setText(script);
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("cstrike"), Wait);
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    QCOMPARE(m_path, script);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), Wait);
    QFile recorded(record);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QCOMPARE(recorded.readAll(),
        QByteArray("[-console]\n[-game]\n[cstrike]\n[+connect]\n[127.0.0.1:")
            + QByteArray::number(server.port()) + "]\n");
    QVERIFY(form); // the window stays open after a launch
    delete form;
}

void TestLaunchForm::failedStartKeepsThePath()
{
    rollcall::app::resetSeams();
    seams().showMessage = [this](QWidget *, const UserMessage &message) { m_messages.append(message); };
    QTemporaryDir dir;
    FakeGameServer server;
    QVERIFY(server.listen());
    QPointer<LaunchForm> form = open(server);
    form->findChild<QLineEdit *>(QStringLiteral("txtPath"))
        ->setText(dir.filePath(QStringLiteral("missing/hl.exe")));
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].icon, UserMessage::Icon::Critical);
    QCOMPARE(m_messages[0].text.toLatin1(),
        QByteArray("Unable to launch Half-Life.\r\n\r\nPlease verify that the path is correct."));
    QCOMPARE(m_path, QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe"));
    form->close();
    QTRY_VERIFY(form.isNull());
    // Loaded afresh, the window shows the old path again.
    form = open(server);
    QCOMPARE(form->findChild<QLineEdit *>(QStringLiteral("txtPath"))->text(), m_path);
    delete form;
}

void TestLaunchForm::refreshRefusesUntilTheNewReply()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    QPointer<LaunchForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    server.setReplyDelay(300);
    auto *list = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    form->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F5);
    QCOMPARE(gameDirectoryOf(form), QStringLiteral("n/a"));
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_starts.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    QCOMPARE(server.requestCount(FakeGameServer::Kind::Info), 2);
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(m_starts.size(), 1);
    QCOMPARE(m_starts[0].program, QStringLiteral("C:\\SIERRA\\Half-Life\\hl.exe"));
    delete form;
}

void TestLaunchForm::infoButtonGrowsAndShrinks()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    QPointer<LaunchForm> form = open(server);
    auto *info = form->findChild<QPushButton *>(QStringLiteral("Command4"));
    auto *list = form->findChild<QTreeView *>(QStringLiteral("LVGameInfo"));
    QCOMPARE(form->size(), QSize(5055 / 15, 1455 / 15));
    info->click();
    QCOMPARE(info->text(), QStringLiteral("&Info <<"));
    QVERIFY(list->isVisible());
    QCOMPARE(form->size(), QSize(5055 / 15, 3135 / 15));
    info->click();
    QCOMPARE(info->text(), QStringLiteral("&Info >>"));
    QVERIFY(!list->isVisible());
    QCOMPARE(form->size(), QSize(5055 / 15, 1455 / 15));
    delete form;
}

void TestLaunchForm::browse()
{
    QTemporaryDir dir;
    QFile exe(dir.filePath(QStringLiteral("hl.exe")));
    QVERIFY(exe.open(QIODevice::WriteOnly));
    exe.close();
    m_path = exe.fileName();
    QStringList asked;
    QString answer;
    seams().chooseFile = [&](QWidget *, const QString &title, const QString &startFile, const QString &folder,
                             const QString &filter) {
        asked = { title, startFile, folder, filter };
        return answer.isEmpty() ? startFile : answer;
    };
    FakeGameServer server;
    QVERIFY(server.listen());
    QPointer<LaunchForm> form = open(server);
    auto *path = form->findChild<QLineEdit *>(QStringLiteral("txtPath"));
    auto *button = form->findChild<QPushButton *>(QStringLiteral("Command3"));
    button->click(); // cancelled
    QCOMPARE(asked,
        (QStringList { "Browse for Half-Life Executable", m_path, dir.path(),
            "Half-Life Executable (hl.exe);;Program Files (*.exe);;All Files (*)" }));
    QCOMPARE(path->text(), m_path);
    answer = QStringLiteral("/opt/games/hl.exe");
    button->click();
    QCOMPARE(path->text(), answer);
    QCOMPARE(path->selectedText(), answer);
    QCOMPARE(m_path, exe.fileName()); // only a launch changes the program-wide path
    delete form;
}

void TestLaunchForm::copyFiveLines()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    QPointer<LaunchForm> form = open(server);
    QTRY_COMPARE_WITH_TIMEOUT(gameDirectoryOf(form), QStringLiteral("valve"), Wait);
    auto *copy = form->findChild<QMenu *>(QStringLiteral("LVPopupMenu"))
                     ->findChild<QAction *>(QStringLiteral("CopyMenu"));
    for (int round = 0; round < 2; ++round) {
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text().toLatin1(),
            QByteArray("Host Name\tFake Server\r\nMap Name\tcrossfire\r\nGame Directory\tvalve\r\n"
                       "Game Description\tHalf-Life\r\nPlayers\t0/16\r\n"));
    }
    delete form;
}

void TestLaunchForm::closeAndEscapeUnload()
{
    FakeGameServer server;
    QVERIFY(server.listen());
    QPointer<LaunchForm> form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    form->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), Wait);
    form = open(server);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QTest::keyClick(form, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), Wait);
}

QTEST_MAIN(TestLaunchForm)
#include "tst_launchform.moc"
