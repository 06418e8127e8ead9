// The words for how a Web API list ended (none for a whole list, the exact message for each
// failure, what the server or the network said below it), for what the keyring did with the key,
// and for a key file that gave none.

#include "ui/WebApiTexts.h"

#include <QTest>

using namespace rollcall;
using namespace rollcall::ui;
using search::WebApiEnd;
using search::WebApiOutcome;

Q_DECLARE_METATYPE(rollcall::search::WebApiEnd)
Q_DECLARE_METATYPE(rollcall::settings::KeyringStatus)
Q_DECLARE_METATYPE(rollcall::settings::KeyFile::Problem)

class tst_WebApiTexts final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void message_data();
    void message();
    void keyring_data();
    void keyring();
    void keyFile_data();
    void keyFile();
};

void tst_WebApiTexts::message_data()
{
    QTest::addColumn<WebApiEnd>("end");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("text"); // null: no message at all
    QTest::addColumn<QString>("informative");

    QTest::newRow("none_complete") << WebApiEnd::Complete << 200 << "" << QString() << "";
    QTest::newRow("none_userCap") << WebApiEnd::CapReached << 200 << "" << QString() << "";
    QTest::newRow("ceiling")
        << WebApiEnd::CeilingReached << 200 << ""
        << "The Steam Web API listed more than 100,000 servers; the first 100,000 were searched."
        << "";
    QTest::newRow("key_refused") << WebApiEnd::KeyRefused << 403 << "Forbidden"
                                 << "The Steam Web API refused the key. Check it in the options."
                                 << "";
    QTest::newRow("key_missing") << WebApiEnd::NoKey << 0 << ""
                                 << "No Steam Web API key is set. Enter one in the options."
                                 << "";
    QTest::newRow("rateLimited")
        << WebApiEnd::RateLimited << 429 << "Too Many Requests"
        << "The Steam Web API is limiting requests: wait a minute before the next search."
        << "";
    QTest::newRow("server_reason")
        << WebApiEnd::ServerError << 503 << "Service Unavailable"
        << "The Steam Web API failed: 503 Service Unavailable. Please try again later."
        << "";
    QTest::newRow("server_noReason") << WebApiEnd::ServerError << 500 << " "
                                     << "The Steam Web API failed: HTTP 500. Please try again later."
                                     << "";
    QTest::newRow("bad_json")
        << WebApiEnd::BadResponse << 200 << ""
        << "The Steam Web API sent an answer that is not a server list. Please try again later."
        << "";
    QTest::newRow("bad_status") << WebApiEnd::BadResponse << 404 << "Not Found"
                                << "The Steam Web API answered 404 Not Found instead of a server list."
                                << "";
    QTest::newRow("tooLarge") << WebApiEnd::TooLarge << 200 << ""
                              << "The Steam Web API's answer was over 16 MiB and was refused."
                              << "";
    QTest::newRow("timedOut") << WebApiEnd::TimedOut << 0 << ""
                              << "The Steam Web API did not answer in time. Please try again later."
                              << "";
    QTest::newRow("tls") << WebApiEnd::TlsError << 0 << "SSL handshake failed"
                         << "No secure connection to the Steam Web API could be made."
                         << "SSL handshake failed";
    QTest::newRow("network") << WebApiEnd::NetworkError << 0 << "Connection refused"
                             << "The connection to the Steam Web API failed."
                             << "Connection refused";
    QTest::newRow("address_insecure")
        << WebApiEnd::InsecureRefused << 0 << ""
        << "The Steam Web API address starts with http://, which would send the key "
           "unencrypted. Use https://; plain http:// is only for this computer."
        << "";
    QTest::newRow("address_bad") << WebApiEnd::BadAddress << 0 << ""
                                 << "The Steam Web API address is not an https:// address."
                                 << "";
}

void tst_WebApiTexts::message()
{
    QFETCH(WebApiEnd, end);
    QFETCH(int, status);
    QFETCH(QString, detail);
    QFETCH(QString, text);
    QFETCH(QString, informative);
    const std::optional<UserMessage> message = WebApiOutcomeMessage(
        WebApiOutcome { end, end == WebApiEnd::CeilingReached ? 100000 : 5, status, detail });
    QCOMPARE(message.has_value(), !text.isNull());
    if (!message)
        return;
    QCOMPARE(message->text, text);
    QCOMPARE(message->informativeText, informative);
    QCOMPARE(message->icon, UserMessage::Icon::Exclamation);
}

void tst_WebApiTexts::keyring_data()
{
    QTest::addColumn<settings::KeyringStatus>("status");
    QTest::addColumn<bool>("storing");
    QTest::addColumn<QString>("text"); // null: no message

    using settings::KeyringStatus;
    QTest::newRow("ok") << KeyringStatus::Ok << true << QString();
    QTest::newRow("notFound") << KeyringStatus::NotFound << false << QString();
    QTest::newRow("unavailable_store") << KeyringStatus::Unavailable << true
                                       << "No keyring answered, so the Steam Web API key cannot be stored. "
                                          "The key is kept only until Rollcall closes.";
    QTest::newRow("unavailable_read") << KeyringStatus::Unavailable << false
                                      << "No keyring answered, so the Steam Web API key cannot be read.";
    QTest::newRow("denied_store")
        << KeyringStatus::Denied << true
        << "The keyring refused access to the Steam Web API key. The key is kept only until "
           "Rollcall closes.";
    QTest::newRow("denied_read") << KeyringStatus::Denied << false
                                 << "The keyring refused access to the Steam Web API key.";
}

void tst_WebApiTexts::keyring()
{
    QFETCH(settings::KeyringStatus, status);
    QFETCH(bool, storing);
    QFETCH(QString, text);
    const std::optional<UserMessage> message = KeyringMessage(status, storing);
    QCOMPARE(message.has_value(), !text.isNull());
    if (message)
        QCOMPARE(message->text, text);
}

void tst_WebApiTexts::keyFile_data()
{
    QTest::addColumn<settings::KeyFile::Problem>("problem");
    QTest::addColumn<QString>("text");

    using Problem = settings::KeyFile::Problem;
    QTest::newRow("none") << Problem::None << "";
    QTest::newRow("unreadable") << Problem::Unreadable
                                << "cannot read the key file 'k.txt': No such file or directory";
    QTest::newRow("notRegular") << Problem::NotRegularFile << "the key file 'k.txt' is not a regular file";
    QTest::newRow("tooLarge") << Problem::TooLarge
                              << "the key file 'k.txt' is over 4096 bytes; it should hold the key alone";
    QTest::newRow("empty") << Problem::Empty << "the key file 'k.txt' is empty";
    QTest::newRow("notAKey")
        << Problem::NotAKey
        << "the key file 'k.txt' holds more than a key: spaces, line breaks or characters a key "
           "does not have";
}

void tst_WebApiTexts::keyFile()
{
    QFETCH(settings::KeyFile::Problem, problem);
    QFETCH(QString, text);
    const settings::KeyFile file { problem, QString(), QStringLiteral("No such file or directory") };
    QCOMPARE(KeyFileProblemText(file, QStringLiteral("k.txt")), text);
}

QTEST_APPLESS_MAIN(tst_WebApiTexts)
#include "tst_webapitexts.moc"
