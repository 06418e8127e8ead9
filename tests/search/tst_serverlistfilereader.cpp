// Reading a server list file: what stops a file from being read, host names looked up (only
// "localhost", which the hosts file answers, so nothing leaves the machine), the unusable-address
// rule, each server once, and a read dropped in the middle. Then adding a server to a file,
// which only ever appends.

#include "search/ServerListFileReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace rollcall;
using namespace rollcall::search;
using Kind = ListFileProblem::Kind;

Q_DECLARE_METATYPE(ListFileEnd)

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

// The one result of a read, waited for on the event loop.
std::optional<ListFileResult> waitForResult(ServerListFileReader &reader, QSignalSpy &spy)
{
    if (!spy.wait(10000) && spy.isEmpty())
        return std::nullopt;
    QTest::qWait(20); // a second report would come now
    if (spy.size() != 1 || reader.isReading())
        return std::nullopt;
    return spy.takeFirst().at(0).value<ListFileResult>();
}

QStringList addresses(const ListFileResult &result)
{
    QStringList out;
    for (const protocol::ServerEntry &entry : result.servers)
        out << entry.Address + u':' + QString::number(entry.Port);
    return out;
}

} // namespace

class tst_ServerListFileReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unreadable_data();
    void unreadable();
    void unreadablePermissions();
    void servers();
    void givenContent();
    void abortDropsTheRead();
    void addServer_data();
    void addServer();
    void addServerRefused();

private:
    QTemporaryDir m_dir;
};

void tst_ServerListFileReader::initTestCase()
{
    qRegisterMetaType<ListFileResult>();
    QVERIFY(m_dir.isValid());
}

void tst_ServerListFileReader::unreadable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<ListFileEnd>("end");

    QTemporaryDir &dir = m_dir;
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    QVERIFY(
        !writeFile(dir, QStringLiteral("huge.txt"), QByteArray(ServerListFileReader::MaxFileBytes + 1, '#'))
             .isEmpty());
    QVERIFY(
        !writeFile(dir, QStringLiteral("atBound.txt"), QByteArray(ServerListFileReader::MaxFileBytes, '\n'))
             .isEmpty());

    QTest::newRow("missing") << "nothing-here.txt" << ListFileEnd::Missing;
    QTest::newRow("directory") << "folder" << ListFileEnd::NotRegularFile;
    QTest::newRow("tooLarge") << "huge.txt" << ListFileEnd::TooLarge;
    QTest::newRow("atBound") << "atBound.txt" << ListFileEnd::Read;
#ifdef Q_OS_UNIX
    // Opening a pipe for reading would wait for a writer that never comes.
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600) == 0);
    QTest::newRow("fifo") << "pipe" << ListFileEnd::NotRegularFile;
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));
    QTest::newRow("danglingLink") << "dangling" << ListFileEnd::Missing;
#endif
}

void tst_ServerListFileReader::unreadable()
{
    QFETCH(QString, name);
    QFETCH(ListFileEnd, end);

    ServerListFileReader reader;
    QSignalSpy spy(&reader, &ServerListFileReader::finished);
    reader.readFile(m_dir.filePath(name));
    QVERIFY(spy.isEmpty()); // from the event loop, never from inside the call
    QVERIFY(reader.isReading());
    const std::optional<ListFileResult> result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(result->end, end);
    QVERIFY(result->servers.isEmpty());
    QVERIFY(result->problems.isEmpty());
}

void tst_ServerListFileReader::unreadablePermissions()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        QSKIP("root reads any file: the permission bits cannot make one unreadable");
    const QString path = writeFile(m_dir, QStringLiteral("locked.txt"), "10.0.0.1\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    ServerListFileReader reader;
    QSignalSpy spy(&reader, &ServerListFileReader::finished);
    reader.readFile(path);
    const std::optional<ListFileResult> result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(result->end, ListFileEnd::Unreadable);
    QVERIFY(!result->detail.isEmpty());
#else
    QSKIP("permission bits are a Unix matter");
#endif
}

void tst_ServerListFileReader::servers()
{
    const QString path = writeFile(m_dir, QStringLiteral("lan.txt"),
        "# the LAN party\n"
        "localhost:27016\n"
        "127.0.0.1:27016   # the same server by its address\n"
        "10.0.0.9\n"
        "LOCALHOST\n"
        "0.1.2.3:27015\n"
        "bad line\n"
        "224.0.0.1\n"
        "10.0.0.9:27015\n"
        "255.255.255.255:27015\n"
        "127.0.0.2:70000\n");

    ServerListFileReader reader;
    QSignalSpy spy(&reader, &ServerListFileReader::finished);
    reader.readFile(path);
    const std::optional<ListFileResult> result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(result->end, ListFileEnd::Read);
    // Names show as the address they resolved to; the first line of a server sets its place.
    QCOMPARE(addresses(*result),
        QStringList({ QStringLiteral("127.0.0.1:27016"), QStringLiteral("10.0.0.9:27015"),
            QStringLiteral("127.0.0.1:27015") }));
    const QList<ListFileProblem> problems = {
        { 6, Kind::UnusableAddress, QStringLiteral("0.1.2.3:27015") },
        { 7, Kind::BadHost, QStringLiteral("bad line") },
        { 8, Kind::UnusableAddress, QStringLiteral("224.0.0.1:27015") },
        { 10, Kind::UnusableAddress, QStringLiteral("255.255.255.255:27015") },
        { 11, Kind::BadPort, QStringLiteral("127.0.0.2:70000") },
    };
    QCOMPARE(result->problems, problems);
}

void tst_ServerListFileReader::givenContent()
{
    ServerListFileReader reader;
    QSignalSpy spy(&reader, &ServerListFileReader::finished);

    reader.readContent("127.0.0.1:27020\r\n127.0.0.1:27021\r\n");
    QVERIFY(spy.isEmpty());
    std::optional<ListFileResult> result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(addresses(*result),
        QStringList({ QStringLiteral("127.0.0.1:27020"), QStringLiteral("127.0.0.1:27021") }));

    reader.readContent("");
    result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(result->end, ListFileEnd::Read);
    QVERIFY(result->servers.isEmpty() && result->problems.isEmpty());

    reader.readContent(QByteArray(ServerListFileReader::MaxFileBytes + 1, '\n'));
    result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(result->end, ListFileEnd::TooLarge);
}

void tst_ServerListFileReader::abortDropsTheRead()
{
    ServerListFileReader reader;
    QSignalSpy spy(&reader, &ServerListFileReader::finished);

    // A name waits on its lookup, a literal address or a missing file on the event loop:
    // abort() drops either, and so does the next read.
    reader.readContent("localhost\n");
    reader.abort();
    QVERIFY(!reader.isReading());
    reader.readFile(m_dir.filePath(QStringLiteral("nothing-here.txt")));
    reader.abort();
    QTest::qWait(200);
    QVERIFY(spy.isEmpty());

    reader.readContent("localhost:27030\n");
    reader.readContent("10.0.0.1:27031\n");
    const std::optional<ListFileResult> result = waitForResult(reader, spy);
    QVERIFY(result);
    QCOMPARE(addresses(*result), QStringList(QStringLiteral("10.0.0.1:27031")));
    QTest::qWait(200);
    QVERIFY(spy.isEmpty());
}

void tst_ServerListFileReader::addServer_data()
{
    QTest::addColumn<QByteArray>("before"); // "-": no file
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("created") << QByteArray("-") << "10.0.0.1" << 27015 << true
                             << QByteArray("10.0.0.1:27015\n");
    QTest::newRow("emptyFile") << QByteArray("") << "10.0.0.1" << 27016 << true
                               << QByteArray("10.0.0.1:27016\n");
    QTest::newRow("appended") << QByteArray("# mine\n10.0.0.2\n") << "10.0.0.1" << 27015 << true
                              << QByteArray("# mine\n10.0.0.2\n10.0.0.1:27015\n");
    QTest::newRow("lastLineKept") << QByteArray("10.0.0.2 # no line end") << "10.0.0.1" << 27015 << true
                                  << QByteArray("10.0.0.2 # no line end\n10.0.0.1:27015\n");
    QTest::newRow("crlfKept") << QByteArray("10.0.0.2\r\n10.0.0.3") << "10.0.0.1" << 27015 << true
                              << QByteArray("10.0.0.2\r\n10.0.0.3\r\n10.0.0.1:27015\r\n");
    QTest::newRow("otherPort") << QByteArray("10.0.0.1\n") << "10.0.0.1" << 27016 << true
                               << QByteArray("10.0.0.1\n10.0.0.1:27016\n");
    QTest::newRow("dup_defaultPort") << QByteArray("10.0.0.1\n") << "10.0.0.1" << 27015 << false
                                     << QByteArray("10.0.0.1\n");
    QTest::newRow("dup_withComment") << QByteArray("  10.0.0.1:27017 # x") << "10.0.0.1" << 27017 << false
                                     << QByteArray("  10.0.0.1:27017 # x");
    QTest::newRow("dup_amongBadLines") << QByteArray("\xff\xfe junk\n10.0.0.1:27015\n") << "10.0.0.1" << 27015
                                       << false << QByteArray("\xff\xfe junk\n10.0.0.1:27015\n");
    QTest::newRow("commentedOutIsNotListed") << QByteArray("# 10.0.0.1\n") << "10.0.0.1" << 27015 << true
                                             << QByteArray("# 10.0.0.1\n10.0.0.1:27015\n");
}

void tst_ServerListFileReader::addServer()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(bool, added);
    QFETCH(QByteArray, after);

    const QString path
        = m_dir.filePath(QStringLiteral("add-%1.txt").arg(QLatin1String(QTest::currentDataTag())));
    if (before != "-")
        QVERIFY(!writeFile(m_dir, QFileInfo(path).fileName(), before).isEmpty());
    const ListFileAddResult result = AddServerToListFile(path, { address, port });
    QCOMPARE(result.end, added ? ListFileAddEnd::Added : ListFileAddEnd::AlreadyListed);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), after);

    // What was added is listed from then on, and what the reader finds.
    QCOMPARE(AddServerToListFile(path, { address, port }).end, ListFileAddEnd::AlreadyListed);
}

void tst_ServerListFileReader::addServerRefused()
{
    const protocol::ServerEntry server { QStringLiteral("10.0.0.1"), 27015 };
    QDir(m_dir.path()).mkdir(QStringLiteral("addFolder"));
    QCOMPARE(AddServerToListFile(m_dir.filePath(QStringLiteral("addFolder")), server).end,
        ListFileAddEnd::NotRegularFile);

    const QByteArray huge(ServerListFileReader::MaxFileBytes + 1, '#');
    const QString hugePath = writeFile(m_dir, QStringLiteral("addHuge.txt"), huge);
    QCOMPARE(AddServerToListFile(hugePath, server).end, ListFileAddEnd::TooLarge);
    QCOMPARE(QFileInfo(hugePath).size(), huge.size());

    const ListFileAddResult noFolder
        = AddServerToListFile(m_dir.filePath(QStringLiteral("no/such/folder.txt")), server);
    QCOMPARE(noFolder.end, ListFileAddEnd::Unwritable);
    QVERIFY(!noFolder.detail.isEmpty());
#ifdef Q_OS_UNIX
    // A link to nothing is not followed into a new file somewhere else.
    const QString link = m_dir.filePath(QStringLiteral("addDangling"));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("addTarget")), link));
    QCOMPARE(AddServerToListFile(link, server).end, ListFileAddEnd::Unreadable);
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("addTarget"))));
#endif
}

QTEST_GUILESS_MAIN(tst_ServerListFileReader)
#include "tst_serverlistfilereader.moc"
