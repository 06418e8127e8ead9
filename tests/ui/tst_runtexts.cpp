// The words for the core's facts: each phase and figure of a run, each failure, each complaint
// of the socket library, to the exact text the window shows and rollcall-find prints.

#include "ui/PingTexts.h"
#include "ui/RunTexts.h"

#include <QTest>

using namespace rollcall;
using namespace rollcall::ui;
using search::RunFailure;
using search::RunNotice;
using search::RunPhase;
using search::RunProgress;

namespace {

const QString Searching = QStringLiteral("Searching For Players...");

// -1: no failure.
RunProgress Progress(RunPhase phase, int listed, int left, int rows, int failure = -1)
{
    RunProgress progress;
    progress.phase = phase;
    progress.listed = listed;
    progress.handedOut = listed - left;
    progress.left = left;
    progress.rows = rows;
    progress.server = { QStringLiteral("10.0.0.7"), 27016 };
    if (failure >= 0)
        progress.failure = RunFailure { RunFailure::Kind(failure), QStringLiteral("master:27010"), {} };
    return progress;
}

} // namespace

class tst_RunTexts final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void progressTexts_data();
    void progressTexts();
    void labelsKeepHiddenCounts();
    void failureMessages_data();
    void failureMessages();
    void noticeMessages_data();
    void noticeMessages();
    void socketsFailureMessages_data();
    void socketsFailureMessages();
};

void tst_RunTexts::progressTexts_data()
{
    QTest::addColumn<RunProgress>("progress");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("left"); // with "Total Servers: <listed>"
    QTest::addColumn<int>("percent"); // the bar: the share handed out

    const auto row = [](const char *name, const RunProgress &p, const QString &heading, const char *status,
                         const char *left, int percent) {
        QTest::newRow(name) << p << heading << QString::fromLatin1(status) << QString::fromLatin1(left)
                            << percent;
    };
    row("resolving", Progress(RunPhase::Resolving, 0, 0, 0), Searching, "Status: Downloading Server List...",
        "Servers Left: 0 (100%)", 0);
    row("downloading", Progress(RunPhase::DownloadingList, 231, 0, 0), Searching,
        "Status: Downloading Server List (231)...", "Servers Left: 0 (0%)", 100);
    // The first round, one server per socket, counts as not reached yet.
    row("querying_firstRound", Progress(RunPhase::Querying, 7, 7, 0), Searching,
        "Status: Downloading Server List (7)...", "Servers Left: 7 (100%)", 0);
    row("refreshing_entry2of200", Progress(RunPhase::Refreshing, 200, 198, 3), Searching,
        "Status: Refreshing 10.0.0.7:27016...", "Servers Left: 198 (99%)", 1);
    row("refreshing_entry21of200", Progress(RunPhase::Refreshing, 200, 179, 0), Searching,
        "Status: Refreshing 10.0.0.7:27016...", "Servers Left: 179 (90%)", 10);
    // 29 / 100 * 100 is 28.999... in double: floored to 28, so 72% are left, not 71%.
    row("refreshing_entry29of100_doubleRounding", Progress(RunPhase::Refreshing, 100, 71, 0), Searching,
        "Status: Refreshing 10.0.0.7:27016...", "Servers Left: 71 (72%)", 28);
    row("refreshing_last", Progress(RunPhase::Refreshing, 3, 0, 0), Searching,
        "Status: Refreshing 10.0.0.7:27016...", "Servers Left: 0 (0%)", 100);
    row("done_rows", Progress(RunPhase::Done, 3, 0, 12), QStringLiteral("12 Players Found"), "Status: Done.",
        "Servers Left: 0 (0%)", 100);
    row("done_stoppedDuringDownload", Progress(RunPhase::Done, 0, 0, 0), QStringLiteral("0 Players Found"),
        "Status: Done.", "Servers Left: 0 (100%)", 0);
    row("done_unreachable", Progress(RunPhase::Done, 0, 0, 0, int(RunFailure::Kind::MasterUnreachable)),
        QStringLiteral("0 Players Found"), "Status: Done.", "Servers Left: 0 (100%)", 0);
    // A reply that is no master list ends the run before the heading counts anything.
    row("done_badReply", Progress(RunPhase::Done, 0, 0, 0, int(RunFailure::Kind::BadMasterReply)), Searching,
        "Status: Done.", "Servers Left: 0 (100%)", 0);
}

void tst_RunTexts::progressTexts()
{
    QFETCH(RunProgress, progress);
    QFETCH(QString, heading);
    QFETCH(QString, status);
    QFETCH(QString, left);
    QFETCH(int, percent);
    QCOMPARE(HeadingText(progress), heading);
    QCOMPARE(StatusText(progress), status);
    QCOMPARE(TotalText(progress), QStringLiteral("Total Servers: ") + QString::number(progress.listed));
    QCOMPARE(LeftText(progress), left);
    QCOMPARE(HandedOutPercent(progress), percent);
}

void tst_RunTexts::labelsKeepHiddenCounts()
{
    RunLabels labels;
    QCOMPARE(labels.heading(), Searching);
    QCOMPARE(labels.status(), QStringLiteral("Status: Downloading Server List..."));
    QCOMPARE(labels.total(), QStringLiteral("Total Servers:"));
    QCOMPARE(labels.left(), QStringLiteral("Servers Left:"));
    QVERIFY(!labels.countsShown());

    // Hidden counts are not written: only a list that arrives changes them.
    QCOMPARE(labels.update(Progress(RunPhase::DownloadingList, 3, 0, 0)), int(RunLabels::Status));
    QCOMPARE(labels.total(), QStringLiteral("Total Servers:"));
    QCOMPARE(labels.update(Progress(RunPhase::Querying, 3, 3, 0)), RunLabels::Total | RunLabels::Left);
    QVERIFY(labels.countsShown());
    QCOMPARE(labels.left(), QStringLiteral("Servers Left: 3 (100%)"));
    QCOMPARE(labels.update(Progress(RunPhase::Refreshing, 3, 1, 0)), RunLabels::Status | RunLabels::Left);
    QCOMPARE(labels.handedOutPercent(), 66);
    QCOMPARE(labels.update(Progress(RunPhase::Refreshing, 3, 1, 0)), 0);

    QCOMPARE(labels.update(Progress(RunPhase::Done, 3, 1, 4)), int(RunLabels::AllParts));
    QCOMPARE(labels.heading(), QStringLiteral("4 Players Found"));
    QVERIFY(!labels.countsShown());
    QCOMPARE(labels.left(), QStringLiteral("Servers Left: 1 (34%)"));

    // A new run: every part anew, the old counts kept until its list arrives.
    QCOMPARE(labels.restart(), int(RunLabels::AllParts));
    QCOMPARE(labels.heading(), Searching);
    QCOMPARE(labels.status(), QStringLiteral("Status: Downloading Server List..."));
    QCOMPARE(labels.total(), QStringLiteral("Total Servers: 3"));
    QVERIFY(!labels.countsShown());
    QCOMPARE(labels.handedOutPercent(), 0);
    QCOMPARE(labels.update(RunProgress()), 0);
}

void tst_RunTexts::failureMessages_data()
{
    QTest::addColumn<RunFailure::Kind>("kind");
    QTest::addColumn<QString>("text");

    const QString later = QStringLiteral("\r\n\r\nPlease try again later.");
    QTest::newRow("unreachable") << RunFailure::Kind::MasterUnreachable
                                 << QStringLiteral("Unable to contact the master server.\r\n\r\n"
                                                   "Please check the address and try again.");
    QTest::newRow("badReply") << RunFailure::Kind::BadMasterReply << "Bad master server response." + later;
    const QString unknown = "An unknown error occurred while obtaining the server list." + later;
    QTest::newRow("malformedReply") << RunFailure::Kind::MalformedMasterReply << unknown;
    QTest::newRow("socketFailure") << RunFailure::Kind::SocketFailure << unknown;
    // The same words for silence and for an empty list; only rollcall-find's status differs.
    const QString none = "No servers received from master." + later;
    QTest::newRow("timedOut") << RunFailure::Kind::MasterTimedOut << none;
    QTest::newRow("noServers") << RunFailure::Kind::NoServersListed << none;
}

void tst_RunTexts::failureMessages()
{
    QFETCH(RunFailure::Kind, kind);
    QFETCH(QString, text);
    const UserMessage message = FailureMessage({ kind, QStringLiteral("127.0.0.1:27010"), {} });
    QCOMPARE(message.icon, UserMessage::Icon::Exclamation);
    QCOMPARE(message.text, text);
}

void tst_RunTexts::noticeMessages_data()
{
    QTest::addColumn<RunNotice::Kind>("kind");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("masterAddress");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("details");

    const QString host = QStringLiteral("hl1master.steampowered.com:27010");
    const QString asked = QStringLiteral("208.64.200.65:27010");
    const QString tried = "Master server tried: " + host + " (" + asked + ")";
    const QString wait
        = QStringLiteral("\r\n\r\nIt answers only so often: wait a minute before the next search.");
    QTest::newRow("silent_many")
        << RunNotice::Kind::MasterStoppedAnswering << 693 << host << asked
        << "The master server stopped answering after 693 servers; those were searched." + wait << tried;
    QTest::newRow("silent_one") << RunNotice::Kind::MasterStoppedAnswering << 1 << host << asked
                                << "The master server stopped answering after 1 server; it was searched."
            + wait << tried;
    // The address says nothing more when it is what was typed.
    QTest::newRow("badReply") << RunNotice::Kind::BadMasterReply << 231 << asked << asked
                              << QStringLiteral("Bad master server response.\r\n\r\n"
                                                "The 231 servers received before it were searched.")
                              << "Master server tried: " + asked;
    QTest::newRow("malformed_one") << RunNotice::Kind::MalformedMasterReply << 1 << host << QString()
                                   << QStringLiteral(
                                          "An unknown error occurred while obtaining the server list."
                                          "\r\n\r\nThe 1 server received before it was searched.")
                                   << "Master server tried: " + host;
}

void tst_RunTexts::noticeMessages()
{
    QFETCH(RunNotice::Kind, kind);
    QFETCH(int, listed);
    QFETCH(QString, master);
    QFETCH(QString, masterAddress);
    QFETCH(QString, text);
    QFETCH(QString, details);
    const UserMessage message = NoticeMessage({ kind, listed, master, masterAddress });
    QCOMPARE(message.icon, UserMessage::Icon::Exclamation);
    QCOMPARE(message.text, text);
    QCOMPARE(message.informativeText, details);
}

void tst_RunTexts::socketsFailureMessages_data()
{
    using Kind = ping::SocketsFailure::Kind;
    QTest::addColumn<ping::SocketsFailure>("failure");
    QTest::addColumn<bool>("critical");
    QTest::addColumn<QString>("text");

    const auto failure = [](Kind kind, int a = 0, int b = 0) {
        ping::SocketsFailure f;
        f.kind = kind;
        f.versionMajor = f.socketsNeeded = f.error = a;
        f.versionMinor = b;
        return f;
    };
    QTest::newRow("notResponding")
        << failure(Kind::NotResponding) << true
        << "Windows Sockets For 32 bit Windows environments is not successfully responding.";
    QTest::newRow("version") << failure(Kind::VersionUnsupported, 1, 0) << false
                             << "Windows Sockets Version 1.0 is not supported by Windows Sockets For 32 bit "
                                "Windows environments.";
    QTest::newRow("tooFewSockets") << failure(Kind::TooFewSockets, 1) << false
                                   << "This application requires a minimum of 1 supported sockets.";
    QTest::newRow("cleanup") << failure(Kind::CleanupFailed, 10093) << false
                             << "Windows Sockets Error 10093 occurred in Cleanup.";
}

void tst_RunTexts::socketsFailureMessages()
{
    QFETCH(ping::SocketsFailure, failure);
    QFETCH(bool, critical);
    QFETCH(QString, text);
    const UserMessage message = SocketsFailureMessage(failure);
    QCOMPARE(message.icon, critical ? UserMessage::Icon::Critical : UserMessage::Icon::Exclamation);
    QCOMPARE(message.text, text);
}

QTEST_GUILESS_MAIN(tst_RunTexts)
#include "tst_runtexts.moc"
