// A whole search over the Steam Web API's list on loopback: the list asked per app id with the
// user's key and searched with A2S as it arrives, every way the list can end (with or without
// servers listed before), and the key kept out of every text the run's end is worded with.

#include "FakeWebApi.h"
#include "LoopbackSteam.h"
#include "RunRecord.h"
#include "search/SearchRun.h"
#include "ui/RunTexts.h"

#include <QTest>

using namespace rollcall;
using namespace rollcall::search;
using namespace rollcall::loopbacksteam;
using namespace std::chrono_literals;
using testsupport::FakeWebApi;

Q_DECLARE_METATYPE(FakeWebApi::Answer)

namespace {

constexpr int Wait = 15000; // bounded waits: generous, the machine is shared

const QString TheKey = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

SearchCriteria WebApiCriteria(const QUrl &base)
{
    SearchCriteria c;
    c.Protocol = ListProtocol::WebApi;
    c.WebApiUrl = base.toString();
    c.ApiKey = TheKey;
    c.Slots[0] = { true, false, "player" };
    c.GameFilter = QStringLiteral("valve");
    c.MaxConnections = 4;
    c.QueryTimeout = 1000;
    return c;
}

QStringList Addresses(const QList<ServerEntry> &entries)
{
    QStringList list;
    for (const ServerEntry &entry : entries)
        list << entry.Address + ':' + QString::number(entry.Port);
    return list;
}

void VerifyKeyless(const ui::UserMessage &message)
{
    QVERIFY2(!message.text.contains(TheKey), qPrintable(message.text));
    QVERIFY2(!message.informativeText.contains(TheKey), qPrintable(message.informativeText));
}

} // namespace

class TestSearchWebApi final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listSearched_data();
    void listSearched();
    void noList_data();
    void noList();
    void laterAnswerFails();
    void insecureBaseNeverAsked();
};

void TestSearchWebApi::listSearched_data()
{
    QTest::addColumn<bool>("withGame");
    QTest::addColumn<int>("cap"); // 0: none
    QTest::addColumn<int>("searched");
    QTest::addColumn<QString>("limit");

    QTest::newRow("game") << true << 0 << 6 << QStringLiteral("20000");
    QTest::newRow("game_capped") << true << 4 << 4 << QStringLiteral("4");
    // Without a game, one request per app id; servers 2 and 3 are on both lists, asked once.
    QTest::newRow("noGame_unionAskedOnce") << false << 0 << 6 << QStringLiteral("20000");
}

void TestSearchWebApi::listSearched()
{
    QFETCH(bool, withGame);
    QFETCH(int, cap);
    QFETCH(int, searched);
    QFETCH(QString, limit);

    A2sPopulation servers;
    QVERIFY(servers.start(6));
    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [&](const FakeWebApi::Request &request) {
        if (withGame)
            return FakeWebApi::List(Addresses(servers.entries()));
        if (request.filter == "\\appid\\10\\empty\\1")
            return FakeWebApi::List(Addresses(servers.entries(0, 4)));
        if (request.filter == "\\appid\\70\\empty\\1")
            return FakeWebApi::List(Addresses(servers.entries(2, 4)));
        return FakeWebApi::List({});
    };
    SearchRun run;
    Record record(run);
    SearchCriteria criteria = WebApiCriteria(api.base());
    if (!withGame)
        criteria.GameFilter.clear();
    criteria.EnableMaxServers = cap > 0;
    criteria.MaxServerAmount = cap;
    run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(record.ended, Wait);

    QCOMPARE(record.failure, std::nullopt);
    QCOMPARE(record.notice, std::nullopt);
    QCOMPARE(record.names(), A2sPopulation::NamesOn(0, searched));
    QCOMPARE(run.serverCount(), searched);
    for (int i = 0; i < servers.size(); ++i)
        QCOMPARE(servers.at(i).answers, i < searched ? 1 : 0);
    QVERIFY(!api.requests.isEmpty());
    const FakeWebApi::Request &first = api.requests.first();
    QCOMPARE(first.path, QStringLiteral("/IGameServersService/GetServerList/v1/"));
    QCOMPARE(first.key, TheKey);
    QCOMPARE(first.limit, limit);
    if (withGame) {
        QCOMPARE(api.requests.size(), 1);
        QCOMPARE(first.filter, QByteArray("\\appid\\70\\gamedir\\valve\\empty\\1"));
    } else {
        QVERIFY(api.requests.size() > 2);
    }
    QCOMPARE(record.progress.last().phase, RunPhase::Done);
}

void TestSearchWebApi::noList_data()
{
    QTest::addColumn<FakeWebApi::Answer>("answer");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("text");

    QTest::newRow("403") << FakeWebApi::Status(403, "Forbidden") << int(WebApiEnd::KeyRefused)
                         << QStringLiteral("The Steam Web API refused the key. Check it in the options.");
    QTest::newRow("429")
        << FakeWebApi::Status(429, "Too Many Requests") << int(WebApiEnd::RateLimited)
        << QStringLiteral("The Steam Web API is limiting requests: wait a minute before the next search.");
    QTest::newRow("500") << FakeWebApi::Status(500, "Internal Server Error") << int(WebApiEnd::ServerError)
                         << QStringLiteral("500 Internal Server Error");
    QTest::newRow("notJson") << FakeWebApi::Status(200, "OK", "<html>hello</html>")
                             << int(WebApiEnd::BadResponse) << QStringLiteral("not a server list");
    QTest::newRow("emptyList") << FakeWebApi::List({}) << int(WebApiEnd::Complete)
                               << QStringLiteral("The Steam Web API listed no servers for this search.");
    FakeWebApi::Answer slow = FakeWebApi::List({ QStringLiteral("127.0.0.1:1") });
    slow.trickleBytes = 1;
    slow.trickleMs = 100;
    QTest::newRow("trickledPastTimeout")
        << slow << int(WebApiEnd::TimedOut) << QStringLiteral("did not answer in time");
}

// The list ends before any server: the run's failure, last of all, worded without the key.
void TestSearchWebApi::noList()
{
    QFETCH(FakeWebApi::Answer, answer);
    QFETCH(int, end);
    QFETCH(QString, text);

    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [&](const FakeWebApi::Request &) { return answer; };
    SearchRun run;
    run.setWebApiTimeout(400ms);
    Record record(run);
    run.start(WebApiCriteria(api.base(QStringLiteral("/proxy"))));
    QTRY_VERIFY_WITH_TIMEOUT(record.failure.has_value(), Wait);

    QCOMPARE(record.events, QStringList({ QStringLiteral("done"), QStringLiteral("failed") }));
    QCOMPARE(record.failure->kind, RunFailure::Kind::WebApiFailed);
    QCOMPARE(int(record.failure->webApi.end), end);
    QCOMPARE(api.requests.first().path, QStringLiteral("/proxy/IGameServersService/GetServerList/v1/"));
    const ui::UserMessage message = ui::FailureMessage(*record.failure);
    QVERIFY2(message.text.contains(text), qPrintable(message.text));
    QVERIFY2(message.informativeText.contains(api.base(QStringLiteral("/proxy")).toString()),
        qPrintable(message.informativeText));
    VerifyKeyless(message);
}

// A later app id's answer fails after an earlier one listed servers: those are searched, and why
// the list is short comes after the run's end.
void TestSearchWebApi::laterAnswerFails()
{
    A2sPopulation servers;
    QVERIFY(servers.start(3));
    FakeWebApi api;
    QVERIFY(api.listen());
    api.respond = [&](const FakeWebApi::Request &request) {
        if (request.filter == "\\appid\\10\\empty\\1")
            return FakeWebApi::List(Addresses(servers.entries()));
        return FakeWebApi::Status(403, "Forbidden");
    };
    SearchRun run;
    Record record(run);
    SearchCriteria criteria = WebApiCriteria(api.base());
    criteria.GameFilter.clear();
    run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(record.notice.has_value(), Wait);

    QCOMPARE(record.failure, std::nullopt);
    QCOMPARE(record.events.last(), QStringLiteral("notice"));
    QCOMPARE(record.events.at(record.events.size() - 2), QStringLiteral("done"));
    QCOMPARE(record.names(), A2sPopulation::NamesOn(0, 3));
    QCOMPARE(record.notice->kind, RunNotice::Kind::WebApiCutShort);
    QCOMPARE(record.notice->listed, 3);
    QCOMPARE(record.notice->webApi.end, WebApiEnd::KeyRefused);
    const ui::UserMessage message = ui::NoticeMessage(*record.notice);
    QVERIFY2(message.text.contains(QStringLiteral("refused the key")), qPrintable(message.text));
    QVERIFY2(message.text.contains(QStringLiteral("The 3 servers received before it were searched.")),
        qPrintable(message.text));
    VerifyKeyless(message);
}

// Plain http:// anywhere but this machine would send the key readable: refused before any
// lookup, so the run fails without a request (no test traffic leaves loopback either).
void TestSearchWebApi::insecureBaseNeverAsked()
{
    SearchRun run;
    Record record(run);
    run.start(WebApiCriteria(QUrl(QStringLiteral("http://api.example.invalid"))));
    QTRY_VERIFY_WITH_TIMEOUT(record.failure.has_value(), Wait);
    QCOMPARE(record.failure->webApi.end, WebApiEnd::InsecureRefused);
    VerifyKeyless(ui::FailureMessage(*record.failure));

    SearchCriteria noKey = WebApiCriteria(QUrl(QStringLiteral("http://127.0.0.1:9")));
    noKey.ApiKey.clear();
    run.start(noKey);
    QTRY_COMPARE_WITH_TIMEOUT(record.failure->webApi.end, WebApiEnd::NoKey, Wait);
}

QTEST_GUILESS_MAIN(TestSearchWebApi)
#include "tst_searchwebapi.moc"
