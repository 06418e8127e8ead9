// One A2S exchange against scripted servers on loopback: challenge rounds and their bound, the
// info layouts some servers mix, split replies, the ping of the round that was answered, where a
// challenge may be reused, and that nothing leaks out after abort() or a receiver's restart.

#include "protocol/A2sProtocol.h"
#include "search/A2sExchange.h"
#include "search/ServerSocket.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#include <memory>

using namespace rollcall;
using namespace rollcall::search;
using Kind = A2sExchange::Kind;

namespace {

constexpr int Wait = 10000; // bounded waits: generous, the machine is shared

QByteArray Challenge(const QByteArray &bytes)
{
    return QByteArray::fromHex("FFFFFFFF41") + bytes;
}

// Short stand-ins for each reply type; the exchange hands bytes over without decoding them.
const QByteArray ReplyI = QByteArray::fromHex("FFFFFFFF49") + "source layout";
const QByteArray ReplyM = QByteArray::fromHex("FFFFFFFF6D") + "goldsrc layout";
const QByteArray ReplyD = QByteArray::fromHex("FFFFFFFF4400");
const QByteArray ReplyE = QByteArray::fromHex("FFFFFFFF450000");

QByteArray RequestFor(Kind kind, const QByteArray &challenge)
{
    const std::optional<QByteArray> c = challenge.isEmpty() ? std::nullopt : std::optional(challenge);
    switch (kind) {
    case Kind::Info:
        return protocol::BuildA2sInfoRequest(c);
    case Kind::Players:
        return protocol::BuildA2sPlayersRequest(c);
    case Kind::Rules:
        return protocol::BuildA2sRulesRequest(c);
    }
    return {};
}

// GoldSrc pieces: FE FF FF FF, the id, (number << 4 | count), then the share.
QList<QByteArray> Pieces(const QByteArray &reply, int size)
{
    const int count = int((reply.size() + size - 1) / size);
    QList<QByteArray> pieces;
    for (int i = 0; i < count; ++i)
        pieces << QByteArray::fromHex("FEFFFFFF07000000") + char(i << 4 | count) + reply.mid(i * size, size);
    return pieces;
}

struct Send
{
    int delayMs = 0; // after the request came in
    QByteArray datagram;
};

// A server whose answers the test writes: `script` sees each request and its 0-based number.
class ScriptedServer final : public QObject
{
public:
    using Script = std::function<QList<Send>(const QByteArray &request, int number)>;

    bool listen()
    {
        if (!m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
            return false;
        connect(&m_socket, &QUdpSocket::readyRead, this, &ScriptedServer::read);
        return true;
    }
    quint16 port() const { return m_socket.localPort(); }

    Script script;
    QList<QByteArray> requests;
    QList<quint16> clientPorts;
    int sent = 0;

private:
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            requests << d.data();
            clientPorts << quint16(d.senderPort());
            const QList<Send> answers = script ? script(d.data(), int(requests.size()) - 1) : QList<Send>();
            // Datagrams of one delay leave together, so the client finds them waiting side by side.
            for (qsizetype i = 0; i < answers.size();) {
                QList<QByteArray> batch;
                const int delay = answers.at(i).delayMs;
                for (; i < answers.size() && answers.at(i).delayMs == delay; ++i)
                    batch << answers.at(i).datagram;
                // Precise: a coarse timer may fire early, and the ping test counts on the delay.
                QTimer::singleShot(delay, Qt::PreciseTimer, this,
                    [this, batch, to = d.senderAddress(), port = quint16(d.senderPort())] {
                        for (const QByteArray &datagram : batch)
                            m_socket.writeDatagram(datagram, to, port);
                        sent += int(batch.size());
                    });
            }
        }
    }

    QUdpSocket m_socket;
};

QByteArray AnswerFor(const QByteArray &request)
{
    switch (request.size() > 4 ? request.at(4) : 0) {
    case 'T':
        return ReplyI;
    case 'U':
        return ReplyD;
    case 'V':
        return ReplyE;
    }
    return {};
}

// The challenge a request carries: the last 4 bytes, none for a bare info request.
QByteArray CarriedChallenge(const QByteArray &request)
{
    return request == protocol::BuildA2sInfoRequest() ? QByteArray() : request.right(4);
}

enum class Behaviour {
    Answers, // the right reply at once
    ChallengesOnce, // "ABCD" until a request carries it
    ChallengesTwice, // a fresh challenge for each of the first two requests, whatever they carry
    AlwaysChallenges,
    AnswersD, // a players reply, whatever was asked
};

ScriptedServer::Script ScriptFor(Behaviour behaviour)
{
    return [behaviour](const QByteArray &request, int number) -> QList<Send> {
        switch (behaviour) {
        case Behaviour::Answers:
            return { { 0, AnswerFor(request) } };
        case Behaviour::ChallengesOnce:
            if (CarriedChallenge(request) == "ABCD")
                return { { 0, AnswerFor(request) } };
            return { { 0, Challenge("ABCD") } };
        case Behaviour::ChallengesTwice:
            if (number < 2)
                return { { 0, Challenge(QByteArray("c") + char('1' + number) + "__") } };
            return { { 0, CarriedChallenge(request) == "c2__" ? AnswerFor(request) : QByteArray() } };
        case Behaviour::AlwaysChallenges:
            return { { 0, Challenge(QByteArray("k") + char('0' + number) + "__") } };
        case Behaviour::AnswersD:
            return { { 0, ReplyD } };
        }
        return {};
    };
}

// Everything an exchange reports, in order.
struct Log
{
    QList<QByteArray> answers;
    QList<int> pings;
    int timeouts = 0;
    int total() const { return int(answers.size()) + timeouts; }

    explicit Log(A2sExchange &exchange)
    {
        QObject::connect(&exchange, &A2sExchange::answered, &exchange, [this](const QByteArray &r, int ping) {
            answers << r;
            pings << ping;
        });
        QObject::connect(&exchange, &A2sExchange::timedOut, &exchange, [this] { ++timeouts; });
    }
};

} // namespace

class TestA2sExchange final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rounds_data();
    void rounds();
    void infoLayouts_data();
    void infoLayouts();
    void splitRepliesOutOfOrder_data();
    void splitRepliesOutOfOrder();
    void pingOfTheAnsweredRound();
    void challengeKeptPerServerAndPort();
    void nothingAfterAbort();
    void receiverDeletesOrRestarts_data();
    void receiverDeletesOrRestarts();
    void restartInsideReplyIgnoresWaitingDatagrams();
    void lentSocketStaysTheCallers();
};

void TestA2sExchange::rounds_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("answer"); // empty: timed out
    QTest::addColumn<QList<QByteArray>>("challenges"); // carried by each request sent, in order

    const QList<QByteArray> none { "" };
    QTest::newRow("players_directAnswer") << Kind::Players << Behaviour::Answers << ReplyD << none;
    QTest::newRow("players_challengeThenAnswer")
        << Kind::Players << Behaviour::ChallengesOnce << ReplyD << QList<QByteArray> { "", "ABCD" };
    QTest::newRow("rules_challengeThenAnswer")
        << Kind::Rules << Behaviour::ChallengesOnce << ReplyE << QList<QByteArray> { "", "ABCD" };
    QTest::newRow("info_bare") << Kind::Info << Behaviour::Answers << ReplyI << none;
    QTest::newRow("info_challengeThenAnswer")
        << Kind::Info << Behaviour::ChallengesOnce << ReplyI << QList<QByteArray> { "", "ABCD" };
    QTest::newRow("players_wrongChallengeRechallenged")
        << Kind::Players << Behaviour::ChallengesTwice << ReplyD << QList<QByteArray> { "", "c1__", "c2__" };
    QTest::newRow("players_alwaysChallenges_silentAfterThree")
        << Kind::Players << Behaviour::AlwaysChallenges << QByteArray()
        << QList<QByteArray> { "", "k0__", "k1__" };
    QTest::newRow("info_playersReplyIgnored") << Kind::Info << Behaviour::AnswersD << QByteArray() << none;
    QTest::newRow("rules_playersReplyIgnored") << Kind::Rules << Behaviour::AnswersD << QByteArray() << none;
}

void TestA2sExchange::rounds()
{
    QFETCH(Kind, kind);
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, answer);
    QFETCH(QList<QByteArray>, challenges);

    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = ScriptFor(behaviour);
    A2sExchange exchange;
    Log log(exchange);
    exchange.start(QStringLiteral("127.0.0.1"), server.port(), kind, 400);
    QTRY_COMPARE_WITH_TIMEOUT(log.total(), 1, Wait);
    QCOMPARE(log.answers, answer.isEmpty() ? QList<QByteArray>() : QList<QByteArray> { answer });
    QCOMPARE(exchange.isActive(), false);

    // Nothing more goes out once the exchange has ended, not even to a server still challenging.
    QTest::qWait(100);
    QList<QByteArray> expected;
    for (const QByteArray &c : std::as_const(challenges))
        expected << RequestFor(kind, c);
    QCOMPARE(server.requests, expected);
    QCOMPARE(exchange.requestsSent(), int(expected.size()));
    QCOMPARE(log.total(), 1);
}

void TestA2sExchange::infoLayouts_data()
{
    QTest::addColumn<QList<Send>>("sends");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("mThenI_IPreferred") << QList<Send> { { 0, ReplyM }, { 0, ReplyI } } << ReplyI;
    QTest::newRow("mDI_IPreferred") << QList<Send> { { 0, ReplyM }, { 0, ReplyD }, { 0, ReplyI } } << ReplyI;
    QTest::newRow("mThenIWithinGrace") << QList<Send> { { 0, ReplyM }, { 100, ReplyI } } << ReplyI;
    QTest::newRow("mAlone") << QList<Send> { { 0, ReplyM } } << ReplyM;
    QTest::newRow("mThenIAfterGrace") << QList<Send> { { 0, ReplyM }, { 1000, ReplyI } } << ReplyM;
    QTest::newRow("IThenM_endsAtI") << QList<Send> { { 0, ReplyI }, { 0, ReplyM } } << ReplyI;
    QTest::newRow("DThenI") << QList<Send> { { 0, ReplyD }, { 0, ReplyI } } << ReplyI;
}

void TestA2sExchange::infoLayouts()
{
    QFETCH(QList<Send>, sends);
    QFETCH(QByteArray, answer);

    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = [sends](const QByteArray &, int) { return sends; };
    A2sExchange exchange;
    Log log(exchange);
    exchange.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Info, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(log.total(), 1, Wait);
    QCOMPARE(log.answers, QList<QByteArray> { answer });
    // Whatever comes after the answer is not reported again.
    QTRY_COMPARE_WITH_TIMEOUT(server.sent, int(sends.size()), Wait);
    QTest::qWait(50);
    QCOMPARE(log.total(), 1);
}

void TestA2sExchange::splitRepliesOutOfOrder_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("reply");

    QByteArray players = QByteArray::fromHex("FFFFFFFF44") + char(60);
    QByteArray rules = QByteArray::fromHex("FFFFFFFF45") + char(120) + char(0);
    for (int i = 0; i < 120; ++i) {
        const QByteArray n = QByteArray::number(i);
        if (i < 60)
            players += QByteArray(1, char(i)) + "player name " + n + '\0' + QByteArray(8, char(i));
        rules += "sv_some_rule_" + n + '\0' + "value " + n + '\0';
    }
    QTest::newRow("players") << Kind::Players << players;
    QTest::newRow("rules") << Kind::Rules << rules;
}

void TestA2sExchange::splitRepliesOutOfOrder()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, reply);

    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = [reply](const QByteArray &, int) {
        QList<Send> sends;
        const QList<QByteArray> pieces = Pieces(reply, 500);
        for (auto it = pieces.crbegin(); it != pieces.crend(); ++it)
            sends << Send { 0, *it };
        return sends;
    };
    QVERIFY(Pieces(reply, 500).size() >= 3);
    A2sExchange exchange;
    Log log(exchange);
    exchange.start(QStringLiteral("127.0.0.1"), server.port(), kind, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(log.total(), 1, Wait);
    QCOMPARE(log.answers, QList<QByteArray> { reply });
}

void TestA2sExchange::pingOfTheAnsweredRound()
{
    // Each round takes 700 ms of a 1000 ms time-out: the time-out restarts per round, and the
    // ping counts from the request that got the answer, not from the first.
    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = [](const QByteArray &request, int) -> QList<Send> {
        if (CarriedChallenge(request) == "ABCD")
            return { { 700, ReplyD } };
        return { { 700, Challenge("ABCD") } };
    };
    A2sExchange exchange;
    Log log(exchange);
    exchange.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Players, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(log.total(), 1, Wait);
    QCOMPARE(log.answers, QList<QByteArray> { ReplyD });
    QVERIFY2(log.pings.at(0) >= 690 && log.pings.at(0) < 1400, QByteArray::number(log.pings.at(0)));
}

void TestA2sExchange::challengeKeptPerServerAndPort()
{
    ScriptedServer a;
    ScriptedServer b;
    QVERIFY(a.listen());
    QVERIFY(b.listen());
    a.script = ScriptFor(Behaviour::ChallengesOnce);
    b.script = ScriptFor(Behaviour::ChallengesOnce);
    A2sExchange exchange;
    Log log(exchange);
    const auto ask = [&](ScriptedServer &server, Kind kind) {
        exchange.start(QStringLiteral("127.0.0.1"), server.port(), kind, 2000);
        const int before = log.total();
        return QTest::qWaitFor([&] { return log.total() > before; }, Wait);
    };

    QVERIFY(ask(a, Kind::Players));
    QCOMPARE(exchange.requestsSent(), 2);
    // The same server from the same port: its challenge goes out at once, whatever the kind.
    QVERIFY(ask(a, Kind::Rules));
    QVERIFY(ask(a, Kind::Info));
    QCOMPARE(a.requests.mid(2),
        QList<QByteArray>({ RequestFor(Kind::Rules, "ABCD"), RequestFor(Kind::Info, "ABCD") }));
    QCOMPARE(QSet<quint16>(a.clientPorts.cbegin(), a.clientPorts.cend()).size(), 1);
    // Never to another server; and back at the first, the port is new, so its challenge is too.
    QVERIFY(ask(b, Kind::Players));
    QCOMPARE(b.requests.first(), RequestFor(Kind::Players, ""));
    QVERIFY(b.clientPorts.first() != a.clientPorts.first());
    QVERIFY(ask(a, Kind::Players));
    QCOMPARE(a.requests.at(4), RequestFor(Kind::Players, ""));
    QCOMPARE(log.answers, QList<QByteArray>({ ReplyD, ReplyE, ReplyI, ReplyD, ReplyD }));
}

void TestA2sExchange::nothingAfterAbort()
{
    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = [](const QByteArray &request, int) -> QList<Send> {
        return { { 150, AnswerFor(request) } };
    };
    A2sExchange exchange;
    Log log(exchange);
    exchange.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Players, 300);
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 1, Wait);
    exchange.abort();
    QVERIFY(!exchange.isActive());
    // Past the reply and past the time-out.
    QTRY_COMPARE_WITH_TIMEOUT(server.sent, 1, Wait);
    QTest::qWait(400);
    QCOMPARE(log.total(), 0);
}

void TestA2sExchange::receiverDeletesOrRestarts_data()
{
    QTest::addColumn<bool>("silent"); // the signal to act in: timedOut, else answered
    QTest::addColumn<bool>("restart"); // else delete

    QTest::newRow("deleteInAnswered") << false << false;
    QTest::newRow("deleteInTimedOut") << true << false;
    QTest::newRow("restartInAnswered") << false << true;
    QTest::newRow("restartInTimedOut") << true << true;
}

void TestA2sExchange::receiverDeletesOrRestarts()
{
    QFETCH(bool, silent);
    QFETCH(bool, restart);

    ScriptedServer server;
    QVERIFY(server.listen());
    // The first request goes unanswered in the silent rows; every other one is answered.
    server.script = [silent](const QByteArray &request, int number) -> QList<Send> {
        if (silent && number == 0)
            return {};
        return { { 0, AnswerFor(request) } };
    };
    auto *exchange = new A2sExchange;
    QPointer<A2sExchange> alive(exchange);
    int ended = 0;
    const auto act = [&] {
        if (++ended > 1)
            return;
        if (restart)
            exchange->start(QStringLiteral("127.0.0.1"), server.port(), Kind::Rules, 1000);
        else
            delete exchange;
    };
    connect(exchange, &A2sExchange::answered, exchange, act);
    connect(exchange, &A2sExchange::timedOut, exchange, act);
    exchange->start(QStringLiteral("127.0.0.1"), server.port(), Kind::Players, 200);

    if (restart) {
        QTRY_COMPARE_WITH_TIMEOUT(ended, 2, Wait);
        QCOMPARE(server.requests.last(), RequestFor(Kind::Rules, ""));
        delete exchange;
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), Wait);
        QCOMPARE(ended, 1);
    }
    // The socket deleted later must be gone before the loop ends, with nothing left to fire.
    QTest::qWait(50);
}

void TestA2sExchange::restartInsideReplyIgnoresWaitingDatagrams()
{
    // The info answer and a stray players reply arrive together. A receiver that asks for
    // players at once must get the reply to its own request, not the one already waiting.
    const QByteArray own = QByteArray::fromHex("FFFFFFFF4401") + "own";
    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = [own](const QByteArray &request, int) -> QList<Send> {
        if (request.at(4) == 'T')
            return { { 0, ReplyI }, { 0, ReplyD } };
        return { { 50, own } };
    };
    A2sExchange exchange;
    Log log(exchange);
    connect(&exchange, &A2sExchange::answered, &exchange, [&](const QByteArray &reply) {
        if (reply == ReplyI)
            exchange.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Players, 2000);
    });
    exchange.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Info, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(log.total(), 2, Wait);
    QCOMPARE(log.answers, QList<QByteArray>({ ReplyI, own }));
}

void TestA2sExchange::lentSocketStaysTheCallers()
{
    ScriptedServer server;
    QVERIFY(server.listen());
    server.script = ScriptFor(Behaviour::ChallengesOnce);
    ServerSocket socket;
    {
        A2sExchange exchange(&socket);
        Log log(exchange);
        exchange.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Players, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(log.answers, QList<QByteArray> { ReplyD }, Wait);
    }
    // Still aimed and open on the same port, for whoever lent it.
    QVERIFY(socket.isOpen());
    QCOMPARE(socket.aimedPort(), server.port());
    A2sExchange next(&socket);
    Log log(next);
    next.start(QStringLiteral("127.0.0.1"), server.port(), Kind::Rules, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(log.answers, QList<QByteArray> { ReplyE }, Wait);
    QCOMPARE(QSet<quint16>(server.clientPorts.cbegin(), server.clientPorts.cend()).size(), 1);
}

QTEST_GUILESS_MAIN(TestA2sExchange)
#include "tst_a2sexchange.moc"
