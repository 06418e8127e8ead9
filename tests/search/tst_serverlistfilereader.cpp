// Reading a server list file: what stops a file from being read, host names looked up (only
// "localhost", which the hosts file answers, so nothing leaves the machine), the unusable-address
// rule, each server once, and a read dropped in the middle.

#include "search/ServerListFileReader.h"

#include <QFile>
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

QTEST_GUILESS_MAIN(tst_ServerListFileReader)
#include "tst_serverlistfilereader.moc"
