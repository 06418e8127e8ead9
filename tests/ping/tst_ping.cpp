#include "ping/Ping.h"

#include <QFile>
#include <QTest>
#include <netinet/in.h>
#include <sys/socket.h>
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
