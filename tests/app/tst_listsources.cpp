// The options page's two sources without a master, the Steam Web API and a server list file: the
// fields each shows, what they hand a run, what is saved of them, and the key kept in the keyring
// (a vault in memory here) and nowhere else.

#include "FakeServers.h"
#include "FakeWebApi.h"
#include "FormHarness.h"
#include "app/OptionsPage.h"
#include "settings/IniSettingsBackend.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

using namespace rollcall;
using rollcall::testing::FormHarness;
using rollcall::testing::MemoryKeyVault;
using settings::KeyringStatus;

namespace {

const QString Key = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

// The names of the controls among `names` that the page shows.
QStringList shownOf(const FormHarness &h, const QStringList &names)
{
    QStringList shown;
    for (const QString &name : names) {
        if (h.child(name)->isVisible())
            shown.append(name);
    }
    return shown;
}

QStringList protocolsOf(const FormHarness &h)
{
    QStringList items;
    const auto *combo = h.child<QComboBox>(QStringLiteral("cboProtocol"));
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

search::SearchCriteria criteriaOf(const FormHarness &h)
{
    return h.form->findChild<app::OptionsPage *>()->criteria();
}

} // namespace

class tst_ListSources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fieldsFollowTheProtocol_data();
    void fieldsFollowTheProtocol();
    void keyShownOnlyOnRequest();
    void linkAndBrowseGoThroughTheDesktop();
    void criteriaFromTheFields_data();
    void criteriaFromTheFields();
    void webApiUrlOverriddenForThisRunOnly();
    void settingsFileNeverHoldsTheKey();
    void keyReadAtStart_data();
    void keyReadAtStart();
    void keyWrittenWhenChanged();
    void keyKeptForThisRunWhenNoKeyringTakesIt();

private:
    QTemporaryDir m_config;
};

void tst_ListSources::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    qputenv("HOME", QFile::encodeName(m_config.filePath(QStringLiteral("home"))));
}

void tst_ListSources::fieldsFollowTheProtocol_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QStringList>("shown");

    const QStringList master = { "cboMaster", "Label18", "chkMax" };
    QTest::newRow("legacy") << "Half-Life master" << master;
    QTest::newRow("steam") << "Steam master" << (master + QStringList { "cboRegion" });
    // The cap still bounds the Web API's list; no master and no region apply.
    QTest::newRow("webApi") << "Steam Web API"
                            << QStringList { "chkMax", "txtApiKey", "cmdShowKey", "lblApiKeyLink" };
    QTest::newRow("listFile") << "Server list file"
                              << QStringList { "chkMax", "txtListFile", "cmdBrowseListFile",
                                     "cboListQueries" };
}

void tst_ListSources::fieldsFollowTheProtocol()
{
    QFETCH(QString, protocol);
    QFETCH(QStringList, shown);
    FormHarness h;
    QVERIFY(h.shown);
    h.next();
    QCOMPARE(protocolsOf(h),
        (QStringList { "Half-Life master", "Steam master", "Steam Web API", "Server list file" }));
    // Through each other choice first: what a choice shows never depends on the one before.
    for (const char *other : { "Server list file", "Steam Web API", "Steam master", "Half-Life master" })
        QVERIFY(h.set("cboProtocol", QLatin1String(other)));
    QVERIFY(h.set("cboProtocol", protocol));
    const QStringList all = { "cboMaster", "Label18", "chkMax", "cboRegion", "txtApiKey", "cmdShowKey",
        "lblApiKeyLink", "lblKeyringState", "txtListFile", "cmdBrowseListFile", "cboListQueries" };
    QCOMPARE(shownOf(h, all), shown);
}

void tst_ListSources::keyShownOnlyOnRequest()
{
    FormHarness h(true, { { "Protocol", "webapi" } });
    QVERIFY(h.shown);
    h.next();
    QLineEdit *key = h.edit("txtApiKey");
    QAbstractButton *show = h.button("cmdShowKey");
    QCOMPARE(key->echoMode(), QLineEdit::Password);
    QCOMPARE(show->text(), QStringLiteral("Show"));
    show->click();
    QCOMPARE(key->echoMode(), QLineEdit::Normal);
    QCOMPARE(show->text(), QStringLiteral("Hide"));
    show->click();
    QCOMPARE(key->echoMode(), QLineEdit::Password);
    QCOMPARE(show->text(), QStringLiteral("Show"));
}

void tst_ListSources::linkAndBrowseGoThroughTheDesktop()
{
    FormHarness h(true, { { "Protocol", "webapi" } });
    QVERIFY(h.shown);
    h.next();
    QList<QUrl> opened;
    bool browserThere = true;
    ui::seams().openUrl = [&](const QUrl &url) {
        opened.append(url);
        return browserThere;
    };
    QLabel *link = h.label("lblApiKeyLink");
    QVERIFY(link->text().contains(QStringLiteral(">Get a key</a>")));
    const QString href = QStringLiteral("https://steamcommunity.com/dev/apikey");
    Q_EMIT link->linkActivated(href);
    QCOMPARE(opened, (QList<QUrl> { QUrl(href) }));
    QVERIFY(h.recorder.messages.isEmpty());
    // Without a browser the address is still there to be typed.
    browserThere = false;
    Q_EMIT link->linkActivated(href);
    QCOMPARE(h.recorder.messages.size(), 1);
    QVERIFY(h.recorder.messages[0].text.contains(href));

    QVERIFY(h.set("cboProtocol", QStringLiteral("Server list file")));
    QString asked;
    QString answer = QStringLiteral("/lan/servers.txt");
    ui::seams().chooseFile
        = [&](QWidget *, const QString &title, const QString &start, const QString &, const QString &) {
              asked = title;
              return answer.isEmpty() ? start : answer;
          };
    h.button("cmdBrowseListFile")->click();
    QCOMPARE(asked, QStringLiteral("Choose a Server List File"));
    QCOMPARE(h.edit("txtListFile")->text(), QStringLiteral("/lan/servers.txt"));
    answer.clear(); // cancelled: the path stays
    h.button("cmdBrowseListFile")->click();
    QCOMPARE(h.edit("txtListFile")->text(), QStringLiteral("/lan/servers.txt"));
}

void tst_ListSources::criteriaFromTheFields_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("queries"); // the list file's
    QTest::addColumn<int>("listProtocol");
    QTest::addColumn<int>("listQueries");
    QTest::addColumn<bool>("utf8Names");
    QTest::addColumn<QString>("apiKey"); // in the criteria

    const int a2s = int(search::ServerQueries::A2s);
    const int legacy = int(search::ServerQueries::Legacy);
    QTest::newRow("webApi") << "Steam Web API"
                            << "Half-Life" << int(search::ListProtocol::WebApi) << legacy << true << Key;
    QTest::newRow("listFile_halfLife")
        << "Server list file"
        << "Half-Life" << int(search::ListProtocol::ListFile) << legacy << false << "";
    QTest::newRow("listFile_a2s") << "Server list file"
                                  << "A2S" << int(search::ListProtocol::ListFile) << a2s << true << "";
    // The key is only in the criteria of a run that uses it.
    QTest::newRow("steam_noKey") << "Steam master"
                                 << "A2S" << int(search::ListProtocol::Steam) << a2s << true << "";
}

void tst_ListSources::criteriaFromTheFields()
{
    QFETCH(QString, protocol);
    QFETCH(QString, queries);
    QFETCH(int, listProtocol);
    QFETCH(int, listQueries);
    QFETCH(bool, utf8Names);
    QFETCH(QString, apiKey);

    FormHarness h(true, { { "WebApiUrl", "http://127.0.0.1:8080/proxy" } });
    QVERIFY(h.shown);
    h.next();
    QVERIFY(h.set("cboProtocol", protocol));
    QVERIFY(h.set("txtPlayerName_0", QStringLiteral("Jürgen")));
    QVERIFY(h.set("txtApiKey", QStringLiteral("  ") + Key + QStringLiteral("\n")));
    QVERIFY(h.set("txtListFile", QStringLiteral("/lan/servers.txt")));
    QVERIFY(h.set("cboListQueries", queries));
    auto *page = h.form->findChild<app::OptionsPage *>();
    QVERIFY(page->validate());
    const search::SearchCriteria c = page->criteria();
    QCOMPARE(int(c.Protocol), listProtocol);
    QCOMPARE(int(c.ListFileQueries), listQueries);
    QCOMPARE(c.Slots[0].PlayerName,
        utf8Names ? QStringLiteral("Jürgen").toUtf8() : QStringLiteral("Jürgen").toLatin1());
    QCOMPARE(c.ApiKey, apiKey);
    QCOMPARE(c.WebApiUrl, QStringLiteral("http://127.0.0.1:8080/proxy"));
    QCOMPARE(c.ServerListFile, QStringLiteral("/lan/servers.txt"));
}

void tst_ListSources::webApiUrlOverriddenForThisRunOnly()
{
    FormHarness h(false, { { "Protocol", "webapi" }, { "WebApiUrl", "https://proxy.example/steam" } });
    h.form->overrideWebApiUrl(QStringLiteral("http://127.0.0.1:9/"));
    QCOMPARE(criteriaOf(h).WebApiUrl, QStringLiteral("http://127.0.0.1:9/"));
    h.form->show();
    h.form->close();
    QString saved;
    for (const auto &[name, text] : h.backend->writes()) {
        if (name == QLatin1String("WebApiUrl"))
            saved = text;
    }
    QCOMPARE(saved, QStringLiteral("https://proxy.example/steam"));
}

void tst_ListSources::settingsFileNeverHoldsTheKey()
{
    testing::MessageRecorder recorder;
    const QString path = m_config.filePath(QStringLiteral("sources.conf"));
    auto vault = std::make_unique<MemoryKeyVault>();
    MemoryKeyVault *keys = vault.get();
    {
        app::MainForm first(std::make_unique<settings::IniSettingsBackend>(path), std::move(vault));
        first.findChild<QPushButton *>(QStringLiteral("Command2_1"))->click();
        QVERIFY(
            testing::setControl(&first, QStringLiteral("cboProtocol"), QStringLiteral("Server list file")));
        QVERIFY(
            testing::setControl(&first, QStringLiteral("txtListFile"), QStringLiteral("/lan/servers.txt")));
        QVERIFY(testing::setControl(&first, QStringLiteral("cboListQueries"), QStringLiteral("A2S")));
        QVERIFY(testing::setControl(&first, QStringLiteral("cboProtocol"), QStringLiteral("Steam Web API")));
        first.findChild<QLineEdit *>(QStringLiteral("txtApiKey"))->setText(Key);
        first.show();
        first.close();
        // The key went to the vault, and the window waited for its answer.
        QCOMPARE(keys->writes, QStringList { Key });
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("Protocol=webapi"));
    QVERIFY(text.contains("ServerListFile=/lan/servers.txt"));
    QVERIFY(text.contains("ListFileQueries=a2s"));
    QVERIFY2(!text.contains(Key.toLatin1()) && !text.contains(Key.toLower().toLatin1()), text.constData());
    QVERIFY(!text.toLower().contains("apikey"));

    app::MainForm second(
        std::make_unique<settings::IniSettingsBackend>(path), std::make_unique<MemoryKeyVault>(Key));
    QCOMPARE(second.findChild<QComboBox *>(QStringLiteral("cboProtocol"))->currentText(),
        QStringLiteral("Steam Web API"));
    QCOMPARE(second.findChild<QLineEdit *>(QStringLiteral("txtListFile"))->text(),
        QStringLiteral("/lan/servers.txt"));
    QCOMPARE(second.findChild<QComboBox *>(QStringLiteral("cboListQueries"))->currentText(),
        QStringLiteral("A2S"));
    QTRY_COMPARE(second.findChild<QLineEdit *>(QStringLiteral("txtApiKey"))->text(), Key);
    QVERIFY(recorder.messages.isEmpty());
}

void tst_ListSources::keyReadAtStart_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("typedFirst");
    QTest::addColumn<QString>("shownKey");
    QTest::addColumn<QString>("state");

    const QString typed = QStringLiteral("TYPEDKEY");
    QTest::newRow("ok") << Key << int(KeyringStatus::Ok) << false << Key << "";
    QTest::newRow("ok_typedMeanwhile") << Key << int(KeyringStatus::Ok) << true << typed << "";
    QTest::newRow("none") << "" << int(KeyringStatus::Ok) << false << ""
                          << "";
    QTest::newRow("unavailable") << "" << int(KeyringStatus::Unavailable) << false << ""
                                 << "No keyring answered, so the Steam Web API key cannot be read.";
    QTest::newRow("denied") << "" << int(KeyringStatus::Denied) << false << ""
                            << "The keyring refused access to the Steam Web API key.";
}

void tst_ListSources::keyReadAtStart()
{
    QFETCH(QString, stored);
    QFETCH(int, status);
    QFETCH(bool, typedFirst);
    QFETCH(QString, shownKey);
    QFETCH(QString, state);

    testing::MessageRecorder recorder;
    auto memory = std::make_unique<settings::MemorySettingsBackend>();
    memory->setText(QStringLiteral("Protocol"), QStringLiteral("webapi"));
    auto vault = std::make_unique<MemoryKeyVault>(stored, KeyringStatus(status));
    MemoryKeyVault *keys = vault.get();
    app::MainForm form(std::move(memory), std::move(vault));
    form.show();
    QCOMPARE(keys->reads, 1);
    QLineEdit *box = form.findChild<QLineEdit *>(QStringLiteral("txtApiKey"));
    if (typedFirst) {
        form.findChild<QPushButton *>(QStringLiteral("Command2_1"))->click();
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("TYPEDKEY"));
    }
    QLabel *label = form.findChild<QLabel *>(QStringLiteral("lblKeyringState"));
    QTRY_COMPARE(label->text(), state);
    QTRY_COMPARE(box->text(), shownKey);
    QTest::qWait(20);
    QCOMPARE(box->text(), shownKey);
    // Never a box at start-up: the label says it where the key is typed.
    QVERIFY(recorder.messages.isEmpty());
}

void tst_ListSources::keyWrittenWhenChanged()
{
    // Searches start against a silent master and a Web API on loopback: nothing leaves the machine.
    testsupport::FakeMasterServer silentMaster;
    QVERIFY(silentMaster.listen());
    silentMaster.setSilent(true);
    testsupport::FakeWebApi api;
    QVERIFY(api.listen());
    testing::MessageRecorder recorder;
    auto vault = std::make_unique<MemoryKeyVault>(Key);
    MemoryKeyVault *keys = vault.get();
    auto memory = std::make_unique<settings::MemorySettingsBackend>();
    const QList<std::pair<QString, QString>> stored
        = { { "Protocol", "webapi" }, { "WebApiUrl", api.base().toString() },
              { "MasterServer", silentMaster.addressText() }, { "PlayerName[1]", "a" } };
    for (const auto &[name, text] : stored)
        memory->setText(name, text);
    app::MainForm form(std::move(memory), std::move(vault));
    form.show();
    auto *next = form.findChild<QPushButton *>(QStringLiteral("Command2_1"));
    auto *back = form.findChild<QPushButton *>(QStringLiteral("Command2_0"));
    QLineEdit *box = form.findChild<QLineEdit *>(QStringLiteral("txtApiKey"));
    QTRY_COMPARE(box->text(), Key);

    // The key read is not written back.
    next->click();
    next->click();
    QCOMPARE(form.currentPage(), 2);
    QCOMPARE(keys->writes, QStringList());
    // A new key is written as its search starts, once.
    back->click();
    const QString other = QStringLiteral("FEDCBA9876543210FEDCBA9876543210");
    box->setText(QStringLiteral(" ") + other);
    next->click();
    QCOMPARE(form.currentPage(), 2);
    QCOMPARE(keys->writes, QStringList { other });
    back->click();
    next->click();
    QCOMPARE(keys->writes, QStringList { other });
    // Emptied and the window closed: the stored key is removed.
    back->click();
    QVERIFY(testing::setControl(&form, QStringLiteral("cboProtocol"), QStringLiteral("Half-Life master")));
    box->clear();
    form.close();
    QCOMPARE(keys->writes, (QStringList { other, QString() }));
    QVERIFY(recorder.messages.isEmpty());
}

void tst_ListSources::keyKeptForThisRunWhenNoKeyringTakesIt()
{
    FormHarness h(true, { { "Protocol", "webapi" } });
    QVERIFY(h.shown);
    h.keys->status = KeyringStatus::Unavailable;
    h.next();
    h.edit("txtApiKey")->setText(Key);
    h.form->close();
    QCOMPARE(h.keys->writes, QStringList { Key });
    QLabel *label = h.label("lblKeyringState");
    QTRY_COMPARE(label->text(),
        QStringLiteral(
            "No keyring answered, so the Steam Web API key cannot be stored. The key is kept only until "
            "Rollcall closes."));
    // Not asked again for the same key; and the key is in no text shown and no setting.
    h.form->close();
    QCOMPARE(h.keys->writes, QStringList { Key });
    for (const ui::UserMessage &m : std::as_const(h.recorder.messages))
        QVERIFY(!m.text.contains(Key) && !m.informativeText.contains(Key));
    for (const auto &[name, text] : h.backend->writes())
        QVERIFY2(!text.contains(Key), qPrintable(name));
}

QTEST_MAIN(tst_ListSources)
#include "tst_listsources.moc"
