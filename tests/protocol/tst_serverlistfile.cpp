// Hand-kept server lists: which lines name a server, which are bad and why, and the bounds that
// hold whatever the file holds.

#include "protocol/ServerListFile.h"

#include <QTest>

using namespace rollcall::protocol;

namespace {

// "host:port" of an entry, or "!fault" for a bad line, or "" for a line that names nothing.
QString describeLine(const QString &line)
{
    std::optional<ListLineFault> fault;
    const std::optional<ListFileEntry> entry = ParseServerListLine(line, &fault);
    if (entry)
        return entry->Host + u':' + QString::number(entry->Port) + (entry->Address ? u"=ip" : u"");
    if (fault)
        return u'!' + QString::number(int(*fault));
    return QString();
}

QString bad(ListLineFault fault)
{
    return u'!' + QString::number(int(fault));
}

} // namespace

class tst_ServerListFile : public QObject
{
    Q_OBJECT

private slots:
    void line_data();
    void line();
    void file();
    void bounds();
    void excerpt_data();
    void excerpt();
};

void tst_ServerListFile::line_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ok_addressAndPort") << "10.0.0.1:27016"
                                       << "10.0.0.1:27016=ip";
    QTest::newRow("ok_defaultPort") << "10.0.0.1"
                                    << "10.0.0.1:27015=ip";
    QTest::newRow("ok_trimmed") << " \t10.0.0.1:27016  "
                                << "10.0.0.1:27016=ip";
    QTest::newRow("ok_comment") << "10.0.0.1:27016 # the LAN box"
                                << "10.0.0.1:27016=ip";
    QTest::newRow("ok_commentNoSpace") << "10.0.0.1#x"
                                       << "10.0.0.1:27015=ip";
    QTest::newRow("ok_name") << "Game-1.Example.lan:27017"
                             << "game-1.example.lan:27017";
    QTest::newRow("ok_localhost") << "localhost"
                                  << "localhost:27015";
    QTest::newRow("ok_portBounds") << "a.lan:65535"
                                   << "a.lan:65535";
    QTest::newRow("ok_portOne") << "a.lan:1"
                                << "a.lan:1";
    QTest::newRow("ok_nameWithDigits") << "hl2.lan"
                                       << "hl2.lan:27015";
    QTest::newRow("ok_label63") << QString(63, u'a') + u".lan" << QString(63, u'a') + u".lan:27015";

    QTest::newRow("none_blank") << ""
                                << "";
    QTest::newRow("none_spaces") << "   \t "
                                 << "";
    QTest::newRow("none_comment") << "# servers of the LAN"
                                  << "";
    QTest::newRow("none_indentedComment") << "   # 10.0.0.1"
                                          << "";

    QTest::newRow("port_zero") << "10.0.0.1:0" << bad(ListLineFault::BadPort);
    QTest::newRow("port_tooBig") << "10.0.0.1:65536" << bad(ListLineFault::BadPort);
    QTest::newRow("port_empty") << "10.0.0.1:" << bad(ListLineFault::BadPort);
    QTest::newRow("port_letters") << "10.0.0.1:http" << bad(ListLineFault::BadPort);
    QTest::newRow("port_sign") << "10.0.0.1:+27015" << bad(ListLineFault::BadPort);
    QTest::newRow("port_spaceSeparated") << "10.0.0.1 27015" << bad(ListLineFault::BadHost);
    QTest::newRow("port_trailingWords") << "10.0.0.1:27015 foo" << bad(ListLineFault::BadPort);
    QTest::newRow("port_manyDigits") << "10.0.0.1:0000027015" << bad(ListLineFault::BadPort);

    QTest::newRow("host_missing") << ":27015" << bad(ListLineFault::MissingHost);
    QTest::newRow("host_leadingZero") << "010.0.0.1" << bad(ListLineFault::BadHost);
    QTest::newRow("host_shortForm") << "127.1" << bad(ListLineFault::BadHost);
    QTest::newRow("host_octetTooBig") << "10.0.0.256" << bad(ListLineFault::BadHost);
    QTest::newRow("host_hexNumber") << "0x7f000001" << bad(ListLineFault::BadHost);
    QTest::newRow("host_numericLastLabel") << "a.0x1" << bad(ListLineFault::BadHost);
    QTest::newRow("host_ipv6") << "[::1]:27015" << bad(ListLineFault::BadHost);
    QTest::newRow("host_ipv6Bare") << "::1" << bad(ListLineFault::BadHost);
    QTest::newRow("host_underscore") << "my_server.lan" << bad(ListLineFault::BadHost);
    QTest::newRow("host_emptyLabel") << "a..lan" << bad(ListLineFault::BadHost);
    QTest::newRow("host_trailingDot") << "a.lan." << bad(ListLineFault::BadHost);
    QTest::newRow("host_hyphenEdge") << "-a.lan" << bad(ListLineFault::BadHost);
    QTest::newRow("host_label64") << QString(64, u'a') + u".lan" << bad(ListLineFault::BadHost);
    QTest::newRow("host_nonAscii") << QStringLiteral("s\u00e9rver.lan") << bad(ListLineFault::BadHost);
    QTest::newRow("host_url") << "steam://connect/10.0.0.1:27015" << bad(ListLineFault::BadHost);
    QTest::newRow("host_control") << QStringLiteral("10.0.0.1\u0001") << bad(ListLineFault::BadHost);

    QString longName;
    while (longName.size() < 260)
        longName += QStringLiteral("abcdefghi.");
    QTest::newRow("host_over253") << longName + u"lan" << bad(ListLineFault::BadHost);
    QTest::newRow("long_line") << QString(1001, u'a') << bad(ListLineFault::LineTooLong);
    QTest::newRow("long_comment") << u'#' + QString(1000, u'a') << bad(ListLineFault::LineTooLong);
    QTest::newRow("long_atBound") << u"a.lan #" + QString(993, u'x') << "a.lan:27015";
}

void tst_ServerListFile::line()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(describeLine(line), expected);
}

void tst_ServerListFile::file()
{
    const QByteArray content = "# LAN party\r\n"
                               "10.0.0.1\r\n"
                               "\n"
                               "bogus host\n"
                               "lan-box.local:27016   # upstairs\n"
                               "10.0.0.1:27015\n"
                               "10.0.0.2:99999\n"
                               "\x01\x02 garbage \xff\n"
                               "10.0.0.3"; // no line end at the end

    const ParsedServerList parsed = ParseServerListFile(content);

    const QList<ListFileEntry> entries = {
        { 2, QStringLiteral("10.0.0.1"), 27015, 0x0a000001 },
        { 5, QStringLiteral("lan-box.local"), 27016, std::nullopt },
        { 6, QStringLiteral("10.0.0.1"), 27015, 0x0a000001 }, // repeats are the reader's to drop
        { 9, QStringLiteral("10.0.0.3"), 27015, 0x0a000003 },
    };
    QCOMPARE(parsed.Entries, entries);
    const QList<ListLineProblem> problems = {
        { 4, ListLineFault::BadHost, QStringLiteral("bogus host") },
        { 7, ListLineFault::BadPort, QStringLiteral("10.0.0.2:99999") },
        { 8, ListLineFault::BadHost, QStringLiteral("garbage \ufffd") }, // the controls are not shown
    };
    QCOMPARE(parsed.Problems, problems);

    QVERIFY(ParseServerListFile("").Entries.isEmpty());
    QVERIFY(ParseServerListFile("\n\n# nothing\n").Problems.isEmpty());
}

void tst_ServerListFile::bounds()
{
    // Blank and comment lines do not count towards the bound; bad lines do.
    QByteArray content = "# header\n\n";
    for (int i = 0; i < MaxListFileEntries - 1; ++i)
        content += "10.0." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256) + "\n";
    content += "not a server\n# still fine\n10.200.0.1\n10.200.0.2\n";

    const ParsedServerList parsed = ParseServerListFile(content);
    QCOMPARE(parsed.Entries.size(), MaxListFileEntries - 1);
    QCOMPARE(parsed.Problems.size(), 2);
    QCOMPARE(parsed.Problems[0].Line, MaxListFileEntries + 2);
    QCOMPARE(parsed.Problems[1].Fault, ListLineFault::TooManyEntries);
    QCOMPARE(parsed.Problems[1].Line, MaxListFileEntries + 4);
    QCOMPARE(parsed.Problems[1].Text, QStringLiteral("10.200.0.1"));

    // A file of nothing but bad lines stops growing the problem list at the bound too.
    const ParsedServerList junk
        = ParseServerListFile(QByteArray(3 * MaxListFileEntries, '\n').replace("\n", "x_\n"));
    QCOMPARE(junk.Problems.size(), MaxListFileEntries + 1);
}

void tst_ServerListFile::excerpt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain") << "a b"
                           << "a b";
    QTest::newRow("trimmed") << "  a  "
                             << "a";
    QTest::newRow("controls") << QStringLiteral("a\tb\u001b[31mc\u007f") << "ab[31mc";
    QTest::newRow("atLimit") << QString(80, u'x') << QString(80, u'x');
    QTest::newRow("overLimit") << QString(81, u'x') << QString(79, u'x') + QChar(0x2026);
    QTest::newRow("bidiOverride") << QStringLiteral("a\u202eb") << "ab";
}

void tst_ServerListFile::excerpt()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(PrintableExcerpt(text), shown);
}

QTEST_APPLESS_MAIN(tst_ServerListFile)
#include "tst_serverlistfile.moc"
