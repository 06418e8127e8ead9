// The Web API list against a fake Web API on loopback: the union of one list per filter, the
// cap, every way an answer can end a list (statuses, bad or cut JSON, bodies too big, too slow),
// bases refused before any connection, and the key kept out of every text the client shows.

#include "FakeWebApi.h"
#include "protocol/SteamMasterProtocol.h"
#include "search/WebApiClient.h"
#include "ui/WebApiTexts.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <memory>

using namespace rollcall;
using namespace rollcall::search;
using namespace std::chrono_literals;
using testsupport::FakeWebApi;
using End = WebApiEnd;

Q_DECLARE_METATYPE(rollcall::search::WebApiEnd)

namespace rollcall::search {

char *toString(const WebApiOutcome &outcome)
{
    return qstrdup(QByteArray("WebApiOutcome{end " + QByteArray::number(int(outcome.end)) + ", count "
        + QByteArray::number(outcome.count) + ", status " + QByteArray::number(outcome.httpStatus) + ", \""
        + outcome.detail.toUtf8() + "\"}")
                       .constData());
}

} // namespace rollcall::search

namespace {

constexpr int Wait = 15000; // bounded waits: generous, the machine is shared
const QString Key = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
const QList<QByteArray> OneFilter { "\\appid\\70\\empty\\1" };

QStringList texts(const QList<protocol::ServerEntry> &entries)
{
    QStringList out;
    for (const protocol::ServerEntry &entry : entries)
        out << entry.Address + QLatin1Char(':') + QString::number(entry.Port);
    return out;
}

// Everything a person or a log could see of an outcome.
QString shownText(const WebApiOutcome &outcome)
{
    const std::optional<ui::UserMessage> message = ui::WebApiOutcomeMessage(outcome);
    return outcome.detail + QLatin1Char('\n')
        + (message ? message->text + QLatin1Char('\n') + message->informativeText : QString());
}

struct Run
{
    WebApiClient client;
    QList<QList<protocol::ServerEntry>> batches;
    QList<WebApiOutcome> outcomes;

    Run()
    {
        QObject::connect(&client, &WebApiClient::serversAdded, &client,
            [this](const QList<protocol::ServerEntry> &batch) { batches.append(batch); });
        QObject::connect(&client, &WebApiClient::finished, &client,
            [this](const WebApiOutcome &outcome) { outcomes.append(outcome); });
    }

    bool finish()
    {
        return QTest::qWaitFor([this] { return !outcomes.isEmpty(); }, Wait);
    }
    QStringList all() const
    {
        QStringList out;
        for (const auto &batch : batches)
            out += texts(batch);
        return out;
    }
};

} // namespace

class tst_WebApiClient : public QObject
{
    Q_OBJECT

private slots:
    void unionOfFilters();
    void pathOfTheBase();
    void capIsTheLimit();
    void endings_data();
    void endings();
    void slowBodyTimesOut();
    void refusedBeforeAnyConnection_data();
    void refusedBeforeAnyConnection();
    void keyInNoText_data();
    void keyInNoText();
    void receiverMayDeleteTheClient();
};

void tst_WebApiClient::unionOfFilters()
{
    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [](const FakeWebApi::Request &request) {
        if (request.filter.contains("\\appid\\10\\"))
            return FakeWebApi::List({ "10.0.0.1:27015", "not an address", "10.0.0.2:27015", "10.0.0.1:27015",
                "0.1.2.3:27015", "224.0.0.1:27015", "10.0.0.3:0" });
        return FakeWebApi::List({ "10.0.0.2:27015", "10.0.0.9:27016" });
    };
    Run run;
    const QList<QByteArray> filters = protocol::SteamMasterFilters(QString(), QStringLiteral("c+d&e"));
    run.client.start(api.base(), QStringLiteral("  ") + Key + QStringLiteral("\n"), filters, std::nullopt);
    QVERIFY(run.finish());

    QCOMPARE(run.outcomes.size(), 1);
    QCOMPARE(run.outcomes.first(), (WebApiOutcome { End::Complete, 3, 200, QString() }));
    // Each address once, in the order first listed; nothing that cannot be a game server.
    QCOMPARE(run.all(), (QStringList { "10.0.0.1:27015", "10.0.0.2:27015", "10.0.0.9:27016" }));
    QCOMPARE(run.batches.size(), 2); // the other lists add nobody new
    QCOMPARE(texts(run.client.servers()), run.all());
    QCOMPARE(api.requests.size(), filters.size());
    QCOMPARE(run.client.requestsSent(), int(filters.size()));
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const FakeWebApi::Request &request = api.requests.at(i);
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path, QStringLiteral("/IGameServersService/GetServerList/v1/"));
        QCOMPARE(request.key, Key);
        QCOMPARE(request.filter, filters.at(i));
        QCOMPARE(request.limit, QStringLiteral("20000"));
    }
}

void tst_WebApiClient::pathOfTheBase()
{
    FakeWebApi api;
    QVERIFY(api.listen());
    Run run;
    run.client.start(api.base(QStringLiteral("/steam/api/")), Key, OneFilter, std::nullopt);
    QVERIFY(run.finish());
    QCOMPARE(run.outcomes.first().end, End::Complete);
    QCOMPARE(api.requests.size(), 1);
    QCOMPARE(api.requests.first().path, QStringLiteral("/steam/api/IGameServersService/GetServerList/v1/"));
}

void tst_WebApiClient::capIsTheLimit()
{
    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [](const FakeWebApi::Request &request) {
        if (request.filter.contains("\\appid\\10\\"))
            return FakeWebApi::List({ "10.0.0.1:27015", "10.0.0.2:27015" });
        return FakeWebApi::List({ "10.0.1.1:27015", "10.0.1.2:27015", "10.0.1.3:27015" });
    };
    Run run;
    run.client.start(api.base(), Key, protocol::SteamMasterFilters(QString(), QString()), 3);
    QVERIFY(run.finish());
    QCOMPARE(run.outcomes.first().end, End::CapReached);
    QCOMPARE(run.all(), (QStringList { "10.0.0.1:27015", "10.0.0.2:27015", "10.0.1.1:27015" }));
    // The lists after the one that reached the cap are never asked for.
    QCOMPARE(api.requests.size(), 2);
    QCOMPARE(api.requests.first().limit, QStringLiteral("3"));
}

void tst_WebApiClient::endings_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qint64>("declaredLength"); // -1: the body's; -2: none, the close ends it
    QTest::addColumn<qint64>("cutAfter"); // -1: the whole body
    QTest::addColumn<End>("end");
    QTest::addColumn<int>("endStatus");
    QTest::addColumn<QString>("detail"); // null: not checked

    const QByteArray good = FakeWebApi::ListJson({ "10.0.0.1:27015", "10.0.0.2:27015" });
    const qint64 all = -1;
    const qint64 none = -2;
    QTest::newRow("ok_emptyResponse") << 200 << QByteArray("OK") << QByteArray(R"({"response":{}})") << all
                                      << all << End::Complete << 200 << "";
    QTest::newRow("ok_undeclaredLength")
        << 200 << QByteArray("OK") << good << none << all << End::Complete << 200 << "";
    QTest::newRow("status_forbidden")
        << 403 << QByteArray("Forbidden") << QByteArray("<html>Forbidden</html>") << all << all
        << End::KeyRefused << 403 << "Forbidden";
    QTest::newRow("status_unauthorized") << 401 << QByteArray("Unauthorized") << QByteArray() << all << all
                                         << End::KeyRefused << 401 << QString();
    QTest::newRow("status_tooMany") << 429 << QByteArray("Too Many Requests") << QByteArray() << all << all
                                    << End::RateLimited << 429 << QString();
    QTest::newRow("status_internal") << 500 << QByteArray("Internal Server Error") << QByteArray("oops")
                                     << all << all << End::ServerError << 500 << "Internal Server Error";
    QTest::newRow("status_unavailable") << 503 << QByteArray("Service Unavailable") << QByteArray() << all
                                        << all << End::ServerError << 503 << "Service Unavailable";
    QTest::newRow("status_notFound") << 404 << QByteArray("Not Found") << QByteArray() << all << all
                                     << End::BadResponse << 404 << "Not Found";
    // Followed, a redirect would carry the key to wherever it points.
    QTest::newRow("status_redirect") << 302 << QByteArray("Found") << QByteArray() << all << all
                                     << End::BadResponse << 302 << "Found";
    QTest::newRow("bad_notJson") << 200 << QByteArray("OK") << QByteArray("<html>Welcome</html>") << all
                                 << all << End::BadResponse << 200 << "";
    QTest::newRow("bad_otherJson") << 200 << QByteArray("OK") << QByteArray(R"({"servers":[]})") << all << all
                                   << End::BadResponse << 200 << "";
    // Cut without a declared length, the body looks whole to HTTP; the JSON gives it away.
    QTest::newRow("cut_undeclared") << 200 << QByteArray("OK") << good << none << qint64(good.size() / 2)
                                    << End::BadResponse << 200 << "";
    QTest::newRow("cut_declared") << 200 << QByteArray("OK") << good << all << qint64(good.size() / 2)
                                  << End::NetworkError << 200 << QString();
    QTest::newRow("tooLarge_declared") << 200 << QByteArray("OK") << good << WebApiClient::MaxBodyBytes + 1
                                       << qint64(good.size()) << End::TooLarge << 200 << "";
    QTest::newRow("tooLarge_undeclared")
        << 200 << QByteArray("OK")
        << QByteArray(R"({"response":{"servers":[)") + QByteArray(WebApiClient::MaxBodyBytes, ' ') << none
        << all << End::TooLarge << 200 << "";
    // Even an error page is not read without end.
    QTest::newRow("tooLarge_errorPage")
        << 500 << QByteArray("Internal Server Error") << QByteArray() << WebApiClient::MaxBodyBytes + 1 << all
        << End::TooLarge << 500 << "";
}

void tst_WebApiClient::endings()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QByteArray, body);
    QFETCH(qint64, declaredLength);
    QFETCH(qint64, cutAfter);
    QFETCH(End, end);
    QFETCH(int, endStatus);
    QFETCH(QString, detail);

    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [&](const FakeWebApi::Request &) {
        FakeWebApi::Answer answer = FakeWebApi::Status(status, reason, body);
        answer.declareLength = declaredLength != -2;
        answer.declaredLength = declaredLength >= 0 ? declaredLength : -1;
        answer.cutAfter = cutAfter;
        return answer;
    };
    Run run;
    run.client.start(api.base(), Key, OneFilter, std::nullopt);
    QVERIFY(run.finish());
    QCOMPARE(run.outcomes.size(), 1);
    const WebApiOutcome outcome = run.outcomes.first();
    QCOMPARE(outcome.end, end);
    QCOMPARE(outcome.httpStatus, endStatus);
    if (!detail.isNull())
        QCOMPARE(outcome.detail, detail);
    // A list that did not come whole adds no server at all.
    if (end != End::Complete) {
        QVERIFY(run.batches.isEmpty());
        QCOMPARE(outcome.count, 0);
        QVERIFY(ui::WebApiOutcomeMessage(outcome).has_value());
    }
    QVERIFY(run.client.isDone());
    QTest::qWait(50);
    QCOMPARE(run.outcomes.size(), 1);
}

void tst_WebApiClient::slowBodyTimesOut()
{
    FakeWebApi api;
    QVERIFY(api.listen());
    // A byte every 20 ms keeps the connection busy well past the time-out.
    api.respond = [](const FakeWebApi::Request &) {
        FakeWebApi::Answer answer = FakeWebApi::List({ "10.0.0.1:27015" });
        answer.trickleBytes = 1;
        answer.trickleMs = 20;
        return answer;
    };
    Run run;
    run.client.setTimeout(400ms);
    QElapsedTimer clock;
    clock.start();
    run.client.start(api.base(), Key, OneFilter, std::nullopt);
    QVERIFY(run.finish());
    QCOMPARE(run.outcomes.first().end, End::TimedOut);
    QVERIFY(run.batches.isEmpty());
    // Not the trickle's own end (about 2 s): the time-out counts from the request.
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
}

void tst_WebApiClient::refusedBeforeAnyConnection_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("key");
    QTest::addColumn<End>("end");

    // .invalid never resolves: had a lookup been made, the outcome would be a network error.
    QTest::newRow("http_name") << "http://example.invalid" << Key << End::InsecureRefused;
    QTest::newRow("http_nameWithPath") << "HTTP://example.invalid:8080/steam/" << Key << End::InsecureRefused;
    QTest::newRow("http_loopbackLookalike")
        << "http://127.0.0.1.example.invalid/" << Key << End::InsecureRefused;
    QTest::newRow("http_address") << "http://192.0.2.1/" << Key << End::InsecureRefused;
    QTest::newRow("bad_ftp") << "ftp://127.0.0.1/" << Key << End::BadAddress;
    QTest::newRow("bad_noHost") << "https://" << Key << End::BadAddress;
    QTest::newRow("bad_empty") << "" << Key << End::BadAddress;
    QTest::newRow("key_empty") << "https://example.invalid"
                               << "" << End::NoKey;
    QTest::newRow("key_blank") << "https://example.invalid"
                               << " \t\n"
                               << End::NoKey;
}

void tst_WebApiClient::refusedBeforeAnyConnection()
{
    QFETCH(QString, base);
    QFETCH(QString, key);
    QFETCH(End, end);
    Run run;
    run.client.start(QUrl(base), key, OneFilter, std::nullopt);
    // Reported from the event loop, never from inside start().
    QVERIFY(run.outcomes.isEmpty());
    QVERIFY(run.finish());
    QCOMPARE(run.outcomes, (QList<WebApiOutcome> { WebApiOutcome { end, 0, 0, QString() } }));
    QCOMPARE(run.client.requestsSent(), 0);
}

void tst_WebApiClient::keyInNoText_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("scenario");

    for (const QString &key : { Key, QStringLiteral("k+y&=%/ 1") }) {
        const char *kind = key == Key ? "hex" : "odd";
        for (const char *scenario : { "echo", "refused", "tls", "cut", "insecure" })
            QTest::addRow("%s_%s", kind, scenario) << key << QString::fromLatin1(scenario);
    }
}

void tst_WebApiClient::keyInNoText()
{
    QFETCH(QString, key);
    QFETCH(QString, scenario);
    FakeWebApi api;
    QVERIFY(api.listen());
    QUrl base = api.base();
    api.respond = [&](const FakeWebApi::Request &request) {
        // A server that quotes the request back, key and all.
        if (scenario == QLatin1String("echo"))
            return FakeWebApi::Status(500, "Failed " + request.target + ' ' + request.key.toUtf8());
        FakeWebApi::Answer answer = FakeWebApi::List({ "10.0.0.1:27015" });
        answer.cutAfter = 5;
        return answer;
    };
    if (scenario == QLatin1String("refused")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        base.setPort(closed.serverPort());
    } else if (scenario == QLatin1String("tls")) {
        base.setScheme(QStringLiteral("https")); // TLS to a server that speaks plain HTTP
    } else if (scenario == QLatin1String("insecure")) {
        base = QUrl(QStringLiteral("http://example.invalid/"));
    }
    Run run;
    run.client.start(base, key, OneFilter, std::nullopt);
    QVERIFY(run.finish());
    const QString shown = shownText(run.outcomes.first());
    QVERIFY2(run.outcomes.first().end != End::Complete, qPrintable(shown));
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(key));
    QVERIFY2(!shown.contains(key.trimmed(), Qt::CaseInsensitive), qPrintable(shown));
    QVERIFY2(!shown.contains(encoded, Qt::CaseInsensitive), qPrintable(shown));
}

void tst_WebApiClient::receiverMayDeleteTheClient()
{
    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [](const FakeWebApi::Request &) { return FakeWebApi::List({ "10.0.0.1:27015" }); };
    QPointer<WebApiClient> client = new WebApiClient;
    int finished = 0;
    connect(client, &WebApiClient::serversAdded, this, [&] { delete client; });
    connect(client, &WebApiClient::finished, this, [&] { ++finished; });
    client->start(api.base(), Key, protocol::SteamMasterFilters(QString(), QString()), std::nullopt);
    QTRY_VERIFY_WITH_TIMEOUT(client.isNull(), Wait);
    QTest::qWait(100);
    QCOMPARE(finished, 0);
    QCOMPARE(api.requests.size(), 1);
}

QTEST_GUILESS_MAIN(tst_WebApiClient)
#include "tst_webapiclient.moc"
