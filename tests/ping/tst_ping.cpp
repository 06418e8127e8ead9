#include "ping/Ping.h"

#include <QFile>
#include <QTest>
#include <climits>
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

// Why this machine will not let us send an echo, or an empty text when it will.
QString icmpRefusal()
{
    for (int type : { SOCK_DGRAM, SOCK_RAW }) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return {};
        }
    }
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    const QString groups = range.open(QIODevice::ReadOnly) ? QString::fromLatin1(range.readAll().trimmed())
                                                           : QStringLiteral("unreadable");
    return QStringLiteral("ICMP sockets are not permitted here (net.ipv4.ping_group_range = %1, no raw "
                          "socket privilege)")
        .arg(groups);
}

bool writeFile(const char *path, const char *text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text, std::strlen(text)) == ssize_t(std::strlen(text));
    ::close(fd);
    return ok;
}

// A network of our own: nothing sent inside it can reach any other machine.
bool enterIsolatedNetwork()
{
    if (::unshare(CLONE_NEWNET) == 0)
        return true;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    const QByteArray uidMap = "0 " + QByteArray::number(uid) + " 1";
    const QByteArray gidMap = "0 " + QByteArray::number(gid) + " 1";
    return writeFile("/proc/self/setgroups", "deny") && writeFile("/proc/self/uid_map", uidMap.constData())
        && writeFile("/proc/self/gid_map", gidMap.constData());
}

bool raiseLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    ifreq request {};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return ok;
}

// Pings `address` from a child process inside an isolated network; nullopt when this machine
// cannot make one or may not send ICMP there.
std::optional<int> pingInIsolatedNetwork(const char *address, bool loopbackUp, bool ignoreEchoes)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        int status = INT_MIN;
        if (enterIsolatedNetwork() && (!loopbackUp || raiseLoopback())
            && (!ignoreEchoes || writeFile("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            && icmpRefusal().isEmpty())
            status = PingAddress(QString::fromLatin1(address)).status;
        [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &status, sizeof status);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    int status = INT_MIN;
    if (child < 0 || ::read(pipeEnds[0], &status, sizeof status) != sizeof status)
        status = INT_MIN;
    ::close(pipeEnds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    if (status == INT_MIN)
        return std::nullopt;
    return status;
}

} // namespace

class TestPing final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dottedToAddress_data();
    void dottedToAddress();
    void statusText_data();
    void statusText();
    void icmpErrors_data();
    void icmpErrors();
    void pingLoopback();
    void pingZeroAddressSendsNothing();
    void pingInIsolatedNetwork_data();
    void pingInIsolatedNetwork();
    void pingerSeam();
};

void TestPing::dottedToAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // lowest byte first

    QTest::newRow("ok_private") << "10.0.0.1" << QByteArray::fromHex("0a000001");
    QTest::newRow("ok_high") << "192.168.1.255" << QByteArray::fromHex("c0a801ff");
    QTest::newRow("ok_loopback") << "127.0.0.1" << QByteArray::fromHex("7f000001");
    QTest::newRow("wrap_lowByte") << "256.257.1.511" << QByteArray::fromHex("000101ff");
    QTest::newRow("bad_twoDots") << "10.0.1" << QByteArray::fromHex("00000000");
    QTest::newRow("bad_noDots") << "localhost" << QByteArray::fromHex("00000000");
    QTest::newRow("bad_empty") << "" << QByteArray::fromHex("00000000");
    QTest::newRow("odd_emptyPart") << "10..0.1" << QByteArray::fromHex("0a000001");
    QTest::newRow("odd_textPart") << "10.x.0.1" << QByteArray::fromHex("0a000001");
    QTest::newRow("odd_tailAfterThirdDot") << "10.0.0.1.9" << QByteArray::fromHex("0a000002");
}

void TestPing::dottedToAddress()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const auto value = quint32(DottedToAddress(text));
    QByteArray actual;
    for (int shift = 0; shift < 32; shift += 8)
        actual.append(char((value >> shift) & 0xFF));
    QCOMPARE(actual.toHex(), bytes.toHex());
}

void TestPing::statusText_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("success") << 0 << "Success";
    QTest::newRow("pingTimeout") << 1000 << "Ping timeout";
    QTest::newRow("hostUnreachable") << 11003 << "Dest. host unreachable";
    QTest::newRow("timedOut") << 11010 << "Request timed out";
    QTest::newRow("ttlTransit") << 11013 << "TTL Expired Transit";
    QTest::newRow("mtu") << 11020 << "Spec. MTU Change";
    QTest::newRow("general") << 11050 << "General failure";
    QTest::newRow("pending") << 11255 << "Pending...";
    QTest::newRow("unknown_gap") << 11024 << "Unknown";
    QTest::newRow("unknown_negative") << -1 << "Unknown";
}

void TestPing::statusText()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QCOMPARE(EchoStatusText(status), text);
}

void TestPing::icmpErrors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("status");
    QTest::newRow("unreach_net") << 3 << 0 << 11002;
    QTest::newRow("unreach_host") << 3 << 1 << 11003;
    QTest::newRow("unreach_protocol") << 3 << 2 << 11004;
    QTest::newRow("unreach_port") << 3 << 3 << 11005;
    QTest::newRow("unreach_fragNeeded") << 3 << 4 << 11009;
    QTest::newRow("unreach_hostProhibited") << 3 << 13 << 11003;
    QTest::newRow("quench") << 4 << 0 << 11016;
    QTest::newRow("ttl_transit") << 11 << 0 << 11013;
    QTest::newRow("ttl_reassembly") << 11 << 1 << 11014;
    QTest::newRow("paramProblem") << 12 << 0 << 11015;
    QTest::newRow("other") << 5 << 0 << 11050;
}

void TestPing::icmpErrors()
{
    QFETCH(int, type);
    QFETCH(int, code);
    QFETCH(int, status);
    QCOMPARE(StatusForIcmpError(type, code), status);
}

void TestPing::pingLoopback()
{
    if (const QString why = icmpRefusal(); !why.isEmpty())
        QSKIP(qPrintable(why));
    const PingResult result = PingAddress(QStringLiteral("127.0.0.1"));
    QCOMPARE(result.status, qint16(0));
    QCOMPARE(result.statusText, QStringLiteral("Success"));
    QVERIFY(result.roundTrip >= 0 && result.roundTrip <= 1000);
}

void TestPing::pingZeroAddressSendsNothing()
{
    // An address that does not convert must not fall through to 0.0.0.0, which Linux delivers here.
    const PingResult result = PingAddress(QStringLiteral("not an address"));
    QCOMPARE(result.status, qint16(Status::BadDestination));
    QCOMPARE(result.statusText, QStringLiteral("Bad destination"));
}

void TestPing::pingInIsolatedNetwork_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<bool>("loopbackUp");
    QTest::addColumn<bool>("ignoreEchoes");
    QTest::addColumn<int>("status");
    // No interface is up, so there is no route anywhere: the send itself fails.
    QTest::newRow("noRoute") << QByteArray("10.0.0.1") << false << false << 11002;
    // The loopback answers no echo: nothing comes back within the second.
    QTest::newRow("noReply") << QByteArray("127.0.0.1") << true << true << 11010;
    QTest::newRow("reply") << QByteArray("127.0.0.1") << true << false << 0;
}

void TestPing::pingInIsolatedNetwork()
{
    QFETCH(QByteArray, address);
    QFETCH(bool, loopbackUp);
    QFETCH(bool, ignoreEchoes);
    QFETCH(int, status);
    const std::optional<int> actual = ::pingInIsolatedNetwork(address.constData(), loopbackUp, ignoreEchoes);
    if (!actual)
        QSKIP("This machine cannot create a network namespace with ICMP permitted in it");
    QCOMPARE(*actual, status);
}

void TestPing::pingerSeam()
{
    QString asked;
    pinger() = [&](const QString &address, const MessageSink &) {
        asked = address;
        return PingResult { 0, qint16(11003), EchoStatusText(11003) };
    };
    const PingResult result = pinger()(QStringLiteral("10.0.0.1"), {});
    QCOMPARE(asked, QStringLiteral("10.0.0.1"));
    QCOMPARE(result.statusText, QStringLiteral("Dest. host unreachable"));
    resetPinger();
    QVERIFY(StartSockets() && StopSockets());
}

QTEST_GUILESS_MAIN(TestPing)
#include "tst_ping.moc"
