// The words for a server list file: each kind of bad line, the list cut for a window's box, why a
// file gave nothing, and standard input named as such.

#include "ui/ListFileTexts.h"
#include "ui/RunTexts.h"

#include <QTest>

using namespace rollcall;
using namespace rollcall::search;
using namespace rollcall::ui;
using Kind = ListFileProblem::Kind;

class tst_ListFileTexts : public QObject
{
    Q_OBJECT

private slots:
    void problem_data();
    void problem();
    void problemsCut();
    void failures();
    void addFailures();
};

void tst_ListFileTexts::problem_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("badHost") << int(Kind::BadHost) << "Line 7: not an IPv4 address or a host name: x y";
    QTest::newRow("missingHost") << int(Kind::MissingHost) << "Line 7: no host before the port: x y";
    QTest::newRow("badPort") << int(Kind::BadPort) << "Line 7: the port is not a number from 1 to 65535: x y";
    QTest::newRow("tooLong") << int(Kind::LineTooLong) << "Line 7: longer than 1000 characters: x y";
    QTest::newRow("tooMany")
        << int(Kind::TooManyEntries)
        << "Line 7: a list may name at most 10000 servers; the rest of the file was not read.";
    QTest::newRow("notFound") << int(Kind::NameNotFound) << "Line 7: the host name was not found: x y";
    QTest::newRow("noIPv4") << int(Kind::NoIPv4Address) << "Line 7: the host name has no IPv4 address: x y";
    QTest::newRow("timedOut") << int(Kind::LookupTimedOut)
                              << "Line 7: the host name lookup got no answer in time: x y";
    QTest::newRow("unusable") << int(Kind::UnusableAddress)
                              << "Line 7: no game server can have this address: x y";
}

void tst_ListFileTexts::problem()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QCOMPARE(ListFileProblemText({ 7, Kind(kind), QStringLiteral("x y") }), text);
}

void tst_ListFileTexts::problemsCut()
{
    QList<ListFileProblem> problems;
    for (int line = 1; line <= 23; ++line)
        problems.append({ line, Kind::BadHost, QStringLiteral("?") });

    const QStringList shown = ListFileProblemsText(problems).split(u'\n');
    QCOMPARE(shown.size(), 21);
    QCOMPARE(shown.constFirst(), QStringLiteral("Line 1: not an IPv4 address or a host name: ?"));
    QCOMPARE(shown[19], QStringLiteral("Line 20: not an IPv4 address or a host name: ?"));
    QCOMPARE(shown.constLast(), QStringLiteral("... and 3 more bad line(s)."));
    QCOMPARE(ListFileProblemsText(problems, -1).split(u'\n').size(), 23);
    QCOMPARE(ListFileProblemsText(problems.mid(0, 20)).split(u'\n').size(), 20);
}

void tst_ListFileTexts::failures()
{
    RunFailure failure;
    failure.kind = RunFailure::Kind::ListFileUnreadable;
    failure.listFile = QStringLiteral("/srv/lan.txt");
    failure.listFileEnd = ListFileEnd::Unreadable;
    failure.detail = QStringLiteral("Permission denied");
    UserMessage message = FailureMessage(failure);
    QCOMPARE(message.text, QStringLiteral("The server list file could not be read."));
    QCOMPARE(message.informativeText, QStringLiteral("/srv/lan.txt could not be read: Permission denied"));
    failure.listFileEnd = ListFileEnd::TooLarge;
    QCOMPARE(FailureMessage(failure).informativeText, QStringLiteral("/srv/lan.txt is larger than 4 MiB."));

    failure.kind = RunFailure::Kind::NoUsableServer;
    failure.listFile = QStringLiteral("-");
    message = FailureMessage(failure);
    QCOMPARE(message.text, QStringLiteral("The server list file names no server that can be searched."));
    QCOMPARE(message.informativeText, QStringLiteral("standard input has no server lines."));

    RunNotice notice;
    notice.kind = RunNotice::Kind::ListFileBadLines;
    notice.listFile = QStringLiteral("lan.txt");
    notice.problems = { { 2, Kind::BadPort, QStringLiteral("a:0") } };
    message = NoticeMessage(notice);
    QCOMPARE(message.text,
        QStringLiteral("1 line of the server list file was passed over; the other servers were searched."));
    QCOMPARE(message.informativeText,
        QStringLiteral("File: lan.txt\nLine 2: the port is not a number from 1 to 65535: a:0"));
}

void tst_ListFileTexts::addFailures()
{
    const QString path = QStringLiteral("/srv/lan.txt");
    QCOMPARE(ListFileAddMessage({ ListFileAddEnd::Unwritable, QStringLiteral("Disk full") }, path),
        UserMessage(UserMessage::Icon::Exclamation,
            QStringLiteral("The server was not added to the server list file."),
            QStringLiteral("/srv/lan.txt could not be written: Disk full")));
    QCOMPARE(ListFileAddMessage({ ListFileAddEnd::NotRegularFile, QString() }, path).informativeText,
        QStringLiteral("/srv/lan.txt is not a regular file."));
}

QTEST_APPLESS_MAIN(tst_ListFileTexts)
#include "tst_listfiletexts.moc"
