// A whole search of a server list file on loopback: the file's servers asked with the queries
// chosen for it (legacy or A2S), each once whatever name or line lists it, bad lines said after
// the end while the good ones are searched, and a file that gives nothing to search a failure.

#include "FakeServers.h"
#include "LoopbackSteam.h"
#include "search/SearchRun.h"
#include "ui/RunTexts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace rollcall;
using namespace rollcall::search;
using rollcall::testsupport::FakeGameServer;
using ProblemKind = ListFileProblem::Kind;

namespace {

constexpr int Wait = 15000; // bounded waits: generous, the machine is shared

SearchCriteria ListCriteria(const QString &path, ServerQueries queries, const QByteArray &name)
{
    SearchCriteria c;
    c.Protocol = ListProtocol::ListFile;
    c.ServerListFile = path;
    c.ListFileQueries = queries;
    c.Slots[0] = { true, false, name };
    c.MasterServer = QStringLiteral("unused.invalid:27010"); // never asked
    c.MaxConnections = 4;
    c.QueryTimeout = 1000;
    return c;
}

// What one run reported, in order.
struct Record
{
    QStringList events;
    QStringList rows; // "address:port name"
    std::optional<RunFailure> failure;
    std::optional<RunNotice> notice;
    int listCuts = 0;

    explicit Record(SearchRun &run)
    {
        const auto on = [&run](auto signal, auto slot) { QObject::connect(&run, signal, &run, slot); };
        on(&SearchRun::rowsFound, [this](const QList<ResultRow> &found) {
            for (const ResultRow &row : found)
                rows << row.cell(ResultRow::ServerIp) + u':' + row.cell(ResultRow::Port) + u' '
                        + row.cell(ResultRow::PlayerName);
        });
        on(&SearchRun::runEnded, [this] { events << QStringLiteral("done"); });
        on(&SearchRun::failed, [this](const RunFailure &f) {
            failure = f;
            events << QStringLiteral("failed");
        });
        on(&SearchRun::noticed, [this](const RunNotice &n) {
            notice = n;
            events << QStringLiteral("notice");
        });
        on(&SearchRun::masterListCut, [this](int) { ++listCuts; });
    }

    bool ended() const { return events.contains(QStringLiteral("done")); }
};

} // namespace

class TestSearchListFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void legacyQueries();
    void a2sQueries();
    void capAndGivenContent();
    void nothingToSearch_data();
    void nothingToSearch();

private:
    QString write(const QString &name, const QByteArray &content);
    QTemporaryDir m_dir;
};

void TestSearchListFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestSearchListFile::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestSearchListFile::legacyQueries()
{
    FakeGameServer first;
    FakeGameServer second;
    QVERIFY(first.listen());
    QVERIFY(second.listen());
    first.setPlayers({ { "player_one", 3, 10.f }, { "someone", 1, 1.f } });
    second.setPlayers({ { "Player_Two", 5, 20.f } });
    const QByteArray one = QByteArray::number(first.port());
    const QByteArray two = QByteArray::number(second.port());
    // The first server by name and by address, the second twice by address: each asked once.
    const QString path = write(QStringLiteral("legacy.txt"),
        "# LAN\n"
        "localhost:"
            + one
            + "\n"
              "what is this\n"
              "127.0.0.1:"
            + two
            + "  # upstairs\n"
              "127.0.0.1:"
            + one
            + "\n"
              "127.0.0.1:"
            + two
            + "\n"
              "224.0.0.5:"
            + one + "\n");

    SearchRun run;
    Record record(run);
    run.start(ListCriteria(path, ServerQueries::Legacy, "player"));
    QTRY_VERIFY_WITH_TIMEOUT(record.ended(), Wait);
    QTRY_COMPARE_WITH_TIMEOUT(record.events.size(), 2, Wait);

    QCOMPARE(record.events, QStringList({ "done", "notice" }));
    QStringList expected = { "127.0.0.1:" + QString::number(second.port()) + " Player_Two",
        "127.0.0.1:" + QString::number(first.port()) + " player_one" };
    expected.sort();
    record.rows.sort();
    QCOMPARE(record.rows, expected);
    QCOMPARE(first.requestCount(FakeGameServer::Kind::Players), 1);
    QCOMPARE(second.requestCount(FakeGameServer::Kind::Players), 1);
    QCOMPARE(run.serverCount(), 2);
    QVERIFY(!record.failure);
    QCOMPARE(record.listCuts, 0);

    QVERIFY(record.notice);
    QCOMPARE(record.notice->kind, RunNotice::Kind::ListFileBadLines);
    QCOMPARE(record.notice->listFile, path);
    QCOMPARE(record.notice->listed, 2);
    QCOMPARE(record.notice->problems.size(), 2);
    QCOMPARE(record.notice->problems[0].line, 3);
    QCOMPARE(record.notice->problems[0].kind, ProblemKind::BadHost);
    QCOMPARE(record.notice->problems[1].line, 7);
    QCOMPARE(record.notice->problems[1].kind, ProblemKind::UnusableAddress);

    const ui::UserMessage message = ui::NoticeMessage(*record.notice);
    QCOMPARE(message.text,
        QStringLiteral("2 lines of the server list file were passed over; the other servers were searched."));
    QCOMPARE(message.informativeText,
        "File: " + path + "\nLine 3: not an IPv4 address or a host name: what is this\n"
            + "Line 7: no game server can have this address: 224.0.0.5:" + QString::number(first.port()));
}

void TestSearchListFile::a2sQueries()
{
    // A2S servers answer UTF-8 names, matched caselessly; the silent one only times out.
    loopbacksteam::FakeA2sServer talking;
    loopbacksteam::FakeA2sServer silent;
    QVERIFY(talking.listen());
    QVERIFY(silent.listen());
    talking.players = { { "ивангай", 7, 65.f }, { "Bob", 1, 5.f } };
    silent.kind = loopbacksteam::FakeA2sServer::Kind::Silent;
    const QString path = write(QStringLiteral("a2s.txt"),
        "127.0.0.1:" + QByteArray::number(talking.entry().Port)
            + "\r\nlocalhost:" + QByteArray::number(silent.entry().Port) + "\r\n");

    SearchRun run;
    Record record(run);
    SearchCriteria criteria = ListCriteria(path, ServerQueries::A2s, QStringLiteral("ИВАН").toUtf8());
    criteria.QueryTimeout = 300;
    run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(record.ended(), Wait);
    QTest::qWait(50);
    QCOMPARE(record.events, QStringList({ "done" }));
    QCOMPARE(record.rows, QStringList("127.0.0.1:" + QString::number(talking.entry().Port) + " ивангай"));
    QCOMPARE(talking.answers, 1);
    QVERIFY(silent.requests >= 1);
    QVERIFY(!record.notice);
}

void TestSearchListFile::capAndGivenContent()
{
    FakeGameServer first;
    FakeGameServer second;
    QVERIFY(first.listen());
    QVERIFY(second.listen());
    first.setPlayers({ { "player_one", 3, 10.f } });
    second.setPlayers({ { "player_two", 5, 20.f } });
    // Content given (standard input) is searched in place of the file the criteria name.
    const QByteArray content = "127.0.0.1:" + QByteArray::number(first.port())
        + "\n127.0.0.1:" + QByteArray::number(second.port()) + "\n";

    SearchRun run;
    run.setServerListContent(content);
    Record record(run);
    SearchCriteria criteria = ListCriteria(QStringLiteral("-"), ServerQueries::Legacy, "player");
    criteria.EnableMaxServers = true;
    criteria.MaxServerAmount = 1;
    run.start(criteria);
    QTRY_VERIFY_WITH_TIMEOUT(record.ended(), Wait);
    QTest::qWait(50);
    QCOMPARE(record.rows, QStringList("127.0.0.1:" + QString::number(first.port()) + " player_one"));
    QCOMPARE(second.requestCount(FakeGameServer::Kind::Players), 0);
    QCOMPARE(run.serverCount(), 1);
    QCOMPARE(record.events, QStringList({ "done" }));

    // Without the cap both are asked; a new run reads the content again.
    Record again(run);
    criteria.EnableMaxServers = false;
    run.start(criteria);
    QTRY_COMPARE_WITH_TIMEOUT(again.events, QStringList({ "done" }), Wait);
    QCOMPARE(again.rows.size(), 2);
}

void TestSearchListFile::nothingToSearch_data()
{
    QTest::addColumn<QString>("name"); // empty: no file at all
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("problems");
    QTest::addColumn<QString>("message");

    const int unreadable = int(RunFailure::Kind::ListFileUnreadable);
    const int noUsable = int(RunFailure::Kind::NoUsableServer);
    const QString notSearchable
        = QStringLiteral("The server list file names no server that can be searched.");
    QTest::newRow("missing") << QString() << QByteArray() << unreadable << 0
                             << "The server list file could not be read.";
    QTest::newRow("empty") << "empty.txt" << QByteArray() << noUsable << 0 << notSearchable;
    QTest::newRow("commentsOnly") << "comments.txt" << QByteArray("# nothing yet\n\n") << noUsable << 0
                                  << notSearchable;
    QTest::newRow("allBad") << "bad.txt" << QByteArray("x_y\n0.0.0.1:27015\n10.0.0.1:0\n") << noUsable << 3
                            << notSearchable;
}

void TestSearchListFile::nothingToSearch()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(int, problems);
    QFETCH(QString, message);

    const QString path
        = name.isEmpty() ? m_dir.filePath(QStringLiteral("nothing.txt")) : write(name, content);
    QVERIFY(!path.isEmpty());
    SearchRun run;
    Record record(run);
    run.start(ListCriteria(path, ServerQueries::Legacy, "player"));
    QVERIFY(run.isActive());
    QTRY_COMPARE_WITH_TIMEOUT(record.events, QStringList({ "done", "failed" }), Wait);
    QVERIFY(!run.isActive());
    QVERIFY(record.failure);
    QCOMPARE(int(record.failure->kind), kind);
    QCOMPARE(record.failure->listFile, path);
    QCOMPARE(record.failure->problems.size(), problems);
    QCOMPARE(run.failure(), record.failure);
    QCOMPARE(ui::FailureMessage(*record.failure).text, message);
    QVERIFY(ui::FailureMessage(*record.failure).informativeText.contains(path));
}

QTEST_GUILESS_MAIN(TestSearchListFile)
#include "tst_searchlistfile.moc"
