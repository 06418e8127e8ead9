// The fakes must speak the real wire format, or every test built on them proves nothing.

#include "FakeServers.h"

#include <QTest>

using namespace rollcall::testsupport;

class TestFakeServers final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodersMatchKnownBytes()
    {
        // 3725.9 s does not survive float exactly; the bytes below are that float.
        QCOMPARE(EncodePlayersReply({ { "Bob", 5, 60.f }, { "", -3, 3725.9f } }).toHex(),
            QByteArray("ffffffff4402"
                       "00426f62000500000000007042"
                       "0100fdffffff66de6845"));
        QCOMPARE(EncodeMasterReply(QByteArray(4, '\0'), { { "192.168.0.1", 27015 } }).toHex(),
            QByteArray("ffffffff660a00000000c0a800016987"));
        FakeInfo info;
        info.Address = "10.0.0.1:27015";
        info.HostName = "Test";
        info.MapName = "map1";
        info.GameDirectory = "valve";
        info.GameDescription = "Half-Life";
        info.PlayerCount = 5;
        QCOMPARE(EncodeInfoReply(info),
            QByteArray("\xFF\xFF\xFF\xFF"
                       "C10.0.0.1:27015\0Test\0map1\0valve\0Half-Life\0\x05\x10\x2F",
                49));
        QCOMPARE(EncodeRulesReply({ { "mp_a", "" } }),
            QByteArray("\xFF\xFF\xFF\xFF"
                       "E\x01\0mp_a\0\0",
                13));
        // What a search test compares the client's requests with, and the keys of later pages.
        QCOMPARE(MasterRequestBytes(QByteArray::fromHex("01020304"), "\\empty\\1").toHex(),
            QByteArray("3101020304"
                       "5c656d7074795c31"
                       "00"));
        QCOMPARE(MasterPageKey(0).toHex(), QByteArray("00000001"));
    }

    void splitPiecesCarryNumberAndCount()
    {
        const QList<QByteArray> pieces = SplitIntoPieces("abcdefg", 0x01020304, 3);
        QCOMPARE(pieces.size(), 3);
        QCOMPARE(pieces.at(0).toHex(), QByteArray("feffffff0403020103616263"));
        QCOMPARE(pieces.at(2).toHex(), QByteArray("feffffff040302012367"));
    }
};

QTEST_GUILESS_MAIN(TestFakeServers)
#include "tst_fakeservers.moc"
