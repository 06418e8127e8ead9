#include "ping/EchoReply.h"
#include "ping/Ping.h"

#include <QTest>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rollcall::ping;

namespace {

// Whether this machine lets us open an ICMP socket of either kind.
bool icmpPermitted()
{
    for (int type : { SOCK_DGRAM, SOCK_RAW }) {
        if (const int fd = ::socket(AF_INET, type, IPPROTO_ICMP); fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

bool writeFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY);
    const bool ok = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// A network of our own: nothing sent inside it can reach any other machine.
bool enterIsolatedNetwork()
{
    if (::unshare(CLONE_NEWNET) == 0)
        return true;
    const QByteArray uid = QByteArray::number(::getuid()), gid = QByteArray::number(::getgid());
    return ::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 && writeFile("/proc/self/setgroups", "deny")
        && writeFile("/proc/self/uid_map", "0 " + uid + " 1")
        && writeFile("/proc/self/gid_map", "0 " + gid + " 1");
}

bool raiseLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request {};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Pings `address` from a child process inside an isolated network; nullopt when this machine
// cannot make one or may not send ICMP there. The child's exit code is the status less 11000.
std::optional<int> pingInIsolatedNetwork(const char *address, bool loopbackUpIgnoringEchoes)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (!enterIsolatedNetwork()
            || (loopbackUpIgnoringEchoes
                && !(raiseLoopback() && writeFile("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1")))
            || !icmpPermitted())
            ::_exit(255);
        const int status = PingAddress(QString::fromLatin1(address)).status;
        ::_exit(status == 0 ? 0 : std::clamp(status - 11000, 1, 254));
    }
    int result = 0;
    if (child < 0 || ::waitpid(child, &result, 0) != child || !WIFEXITED(result)
        || WEXITSTATUS(result) == 255)
        return std::nullopt;
    return WEXITSTATUS(result) == 0 ? 0 : 11000 + WEXITSTATUS(result);
}

} // namespace

class TestPing final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dottedToAddress_data();
    void dottedToAddress();
    void icmpErrors_data();
    void icmpErrors();
    void echoDatagrams_data();
    void echoDatagrams();
    void pingLoopback();
    void pingInIsolatedNetwork_data();
    void pingInIsolatedNetwork();
    void pingerSeam();
};

void TestPing::dottedToAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("value"); // the first part in the lowest byte
    QTest::newRow("ok_private") << "10.0.0.1" << 0x0100000Au;
    QTest::newRow("ok_high") << "192.168.1.255" << 0xFF01A8C0u;
    QTest::newRow("wrap_lowByte") << "256.257.1.511" << 0xFF010100u;
    QTest::newRow("bad_twoDots") << "10.0.1" << 0u;
    QTest::newRow("odd_emptyAndTextParts") << "10..x.1" << 0x0100000Au;
    QTest::newRow("odd_tailAfterThirdDot") << "10.0.0.1.9" << 0x0200000Au; // "1.9" rounds to 2
}

void TestPing::dottedToAddress()
{
    QFETCH(QString, text);
    QFETCH(quint32, value);
    QCOMPARE(quint32(DottedToAddress(text)), value);
}

void TestPing::icmpErrors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("unreach_net") << 3 << 0 << 11002 << "Dest. net unreachable";
    QTest::newRow("unreach_host") << 3 << 1 << 11003 << "Dest. host unreachable";
    QTest::newRow("unreach_protocol") << 3 << 2 << 11004 << "Dest. prot unreachable";
    QTest::newRow("unreach_port") << 3 << 3 << 11005 << "Dest. port unreachable";
    QTest::newRow("unreach_fragNeeded") << 3 << 4 << 11009 << "Packet too big";
    QTest::newRow("quench") << 4 << 0 << 11016 << "Source quench";
    QTest::newRow("ttl_transit") << 11 << 0 << 11013 << "TTL Expired Transit";
    QTest::newRow("ttl_reassembly") << 11 << 1 << 11014 << "TTL Expired Reassem";
    QTest::newRow("paramProblem") << 12 << 0 << 11015 << "Param problem";
    QTest::newRow("other") << 5 << 0 << 11050 << "General failure";
}

void TestPing::icmpErrors()
{
    QFETCH(int, type);
    QFETCH(int, code);
    QFETCH(int, status);
    QFETCH(QString, text);
    QCOMPARE(StatusForIcmpError(type, code), status);
    QCOMPARE(EchoStatusText(status), text);
}

void TestPing::echoDatagrams_data()
{
    // Our request: id 0x1234, sequence 7, to 10.0.0.9. Raw sockets read the IP header too.
    QTest::addColumn<bool>("raw");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("status"); // -1: somebody else's

    const QByteArray reply = QByteArray::fromHex("0000ffff12340007") + "Echo This";
    const QByteArray ipFromTarget = QByteArray::fromHex("450000250000000040010000"
                                                        "0a000009"
                                                        "0a000001");
    const QByteArray ipFromElsewhere = QByteArray::fromHex("450000250000000040010000"
                                                           "0a000008"
                                                           "0a000001");
    // Port unreachable (3/3) quoting our request's IP header and echo header.
    const QByteArray quoted = QByteArray::fromHex("450000250000000040010000"
                                                  "0a000001"
                                                  "0a000009")
        + QByteArray::fromHex("0800ffff12340007");
    const QByteArray error = QByteArray::fromHex("0303ffff00000000") + quoted;
    QTest::newRow("datagram_reply") << false << reply << int(Status::Success);
    QTest::newRow("datagram_otherSequence") << false << QByteArray::fromHex("0000ffff12340008") << -1;
    QTest::newRow("datagram_shortHeader") << false << reply.first(7) << -1;
    QTest::newRow("datagram_errorIsNotOurs") << false << error << -1;
    QTest::newRow("raw_reply") << true << ipFromTarget + reply << int(Status::Success);
    QTest::newRow("raw_replyFromElsewhere") << true << ipFromElsewhere + reply << -1;
    QTest::newRow("raw_otherId") << true << ipFromTarget + QByteArray::fromHex("0000ffff43210007") << -1;
    QTest::newRow("raw_errorQuotingUs")
        << true << ipFromElsewhere + error << int(Status::DestPortUnreachable);
    QTest::newRow("raw_errorQuotingAnother")
        << true << ipFromElsewhere + QByteArray(error).replace(error.size() - 4, 2, "\x43\x21") << -1;
    QTest::newRow("raw_errorCutInsideQuote") << true << ipFromElsewhere + error.first(error.size() - 1) << -1;
    QTest::newRow("raw_headerLengthBeyondData")
        << true << QByteArray::fromHex("4f") + ipFromTarget.mid(1) + reply << -1;
}

void TestPing::echoDatagrams()
{
    QFETCH(bool, raw);
    QFETCH(QByteArray, datagram);
    QFETCH(int, status);
    const detail::EchoRequest request { 0x1234, 7, raw, { 10, 0, 0, 9 } };
    QCOMPARE(detail::ClassifyEchoDatagram(
                 reinterpret_cast<const quint8 *>(datagram.constData()), datagram.size(), request),
        status);
}

void TestPing::pingLoopback()
{
    if (!icmpPermitted())
        QSKIP("ICMP sockets are not permitted here (net.ipv4.ping_group_range, no raw socket privilege)");
    const PingResult result = PingAddress(QStringLiteral("127.0.0.1"));
    QCOMPARE(result.status, qint16(0));
    QCOMPARE(result.statusText, QStringLiteral("Success"));
    QVERIFY(result.roundTrip >= 0 && result.roundTrip <= 1000);
}

void TestPing::pingInIsolatedNetwork_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<bool>("loopbackUpIgnoringEchoes");
    QTest::addColumn<int>("status");
    // No interface is up, so there is no route anywhere: the send itself fails.
    QTest::newRow("noRoute") << QByteArray("10.0.0.1") << false << 11002;
    // The loopback answers no echo: nothing comes back within the second.
    QTest::newRow("noReply") << QByteArray("127.0.0.1") << true << 11010;
}

void TestPing::pingInIsolatedNetwork()
{
    QFETCH(QByteArray, address);
    QFETCH(bool, loopbackUpIgnoringEchoes);
    QFETCH(int, status);
    const std::optional<int> actual = ::pingInIsolatedNetwork(address.constData(), loopbackUpIgnoringEchoes);
    if (!actual)
        QSKIP("This machine cannot create a network namespace with ICMP permitted in it");
    QCOMPARE(*actual, status);
}

void TestPing::pingerSeam()
{
    QString asked;
    pinger() = [&](const QString &address, const FailureSink &) {
        asked = address;
        return PingResult { 0, qint16(11010), EchoStatusText(11010) };
    };
    QCOMPARE(pinger()(QStringLiteral("10.0.0.1"), {}).statusText, QStringLiteral("Request timed out"));
    QCOMPARE(asked, QStringLiteral("10.0.0.1"));
    // Back to the real echo. An address that does not convert must not become 0.0.0.0, which
    // Linux delivers to this machine: nothing is sent.
    resetPinger();
    QCOMPARE(pinger()(QStringLiteral("not an address"), {}), (PingResult { 0, 11018, "Bad destination" }));
    QVERIFY(StartSockets() && StopSockets());
}

QTEST_GUILESS_MAIN(TestPing)
#include "tst_ping.moc"
