// The fakes must speak the real wire format, or every test built on them proves nothing.

#include "FakeServers.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

using namespace rollcall::testsupport;

class TestFakeServers final : public QObject
{
    Q_OBJECT

    static int drain(QUdpSocket &socket, QList<QNetworkDatagram> &got)
    {
        while (socket.hasPendingDatagrams())
            got.append(socket.receiveDatagram());
        return int(got.size());
    }

    static QByteArray receiveOne(QUdpSocket &socket)
    {
        QList<QNetworkDatagram> got;
        QDeadlineTimer deadline(5000);
        while (drain(socket, got) == 0 && !deadline.hasExpired())
            QTest::qWait(10);
        return got.isEmpty() ? QByteArray() : got.first().data();
    }

private Q_SLOTS:
    void encodersMatchKnownBytes()
    {
        // 3725.9 s does not survive float exactly; the bytes below are that float.
        QCOMPARE(EncodePlayersReply({{"Bob", 5, 60.f}, {"", -3, 3725.9f}}).toHex(),
                 QByteArray("ffffffff4402" "00426f62000500000000007042" "0100fdffffff66de6845"));
        QCOMPARE(EncodeMasterReply(QByteArray(4, '\0'), {{"192.168.0.1", 27015}}).toHex(),
                 QByteArray("ffffffff660a00000000c0a800016987"));
        FakeInfo info;
        info.Address = "10.0.0.1:27015";
        info.HostName = "Test";
        info.MapName = "map1";
        info.GameDirectory = "valve";
        info.GameDescription = "Half-Life";
        info.PlayerCount = 5;
        QCOMPARE(EncodeInfoReply(info),
                 QByteArray("\xFF\xFF\xFF\xFF" "C10.0.0.1:27015\0Test\0map1\0valve\0Half-Life\0\x05\x10\x2F", 49));
        QCOMPARE(EncodeRulesReply({{"mp_a", ""}}), QByteArray("\xFF\xFF\xFF\xFF" "E\x01\0mp_a\0\0", 13));
    }

    void splitPiecesCarryNumberAndCount()
    {
        const QList<QByteArray> pieces = SplitIntoPieces("abcdefg", 0x01020304, 3);
        QCOMPARE(pieces.size(), 3);
        QCOMPARE(pieces.at(0).toHex(), QByteArray("feffffff0403020103616263"));
        QCOMPARE(pieces.at(2).toHex(), QByteArray("feffffff040302012367"));
    }

    void masterPagesAndRecordsRequests()
    {
        FakeMasterServer master;
        QVERIFY(master.listen());
        QList<FakeEntry> entries;
        for (int i = 1; i <= 5; ++i)
            entries.append({QStringLiteral("10.0.0.%1").arg(i), quint16(27000 + i)});
        master.setEntries(entries);
        master.setPageSize(2);
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress::LocalHost, 0));
        auto ask = [&](const QByteArray &key) {
            client.writeDatagram(MasterRequestBytes(key, "\\empty\\1"), QHostAddress::LocalHost, master.port());
            return receiveOne(client);
        };
        QCOMPARE(ask(QByteArray(4, '\0')), EncodeMasterReply(MasterPageKey(0), entries.mid(0, 2)));
        QCOMPARE(ask(MasterPageKey(0)), EncodeMasterReply(MasterPageKey(1), entries.mid(2, 2)));
        QCOMPARE(ask(MasterPageKey(1)), EncodeMasterReply(QByteArray(4, '\0'), entries.mid(4)));
        QCOMPARE(master.requests().size(), 3);
        QCOMPARE(master.requests().at(1), MasterRequestBytes(MasterPageKey(0), "\\empty\\1"));
    }

    void gameServerAnswersAndMisbehaves()
    {
        FakeGameServer server;
        QVERIFY(server.listen());
        server.setPlayers({{"Bob", 1, 2.f}});
        server.setSpoof("spoof");
        server.setSplit(4, {1});
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress::LocalHost, 0));
        client.writeDatagram(QByteArray("\xFF\xFF\xFF\xFFplayers"), QHostAddress::LocalHost, server.port());
        QList<QNetworkDatagram> got;
        QTRY_VERIFY_WITH_TIMEOUT(drain(client, got) == 2, 5000);
        QCOMPARE(server.requestCount(FakeGameServer::Kind::Players), 1);
        QCOMPARE(got.at(0).data(), QByteArray("spoof"));
        QCOMPARE(got.at(0).senderPort(), int(server.spoofPort()));
        QCOMPARE(got.at(1).senderPort(), int(server.port()));
        QCOMPARE(got.at(1).data(), SplitIntoPieces(EncodePlayersReply({{"Bob", 1, 2.f}}), 0x1234, 4).at(1));
    }
};

QTEST_GUILESS_MAIN(TestFakeServers)
#include "tst_fakeservers.moc"
