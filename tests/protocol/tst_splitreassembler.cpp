#include "protocol/SplitReassembler.h"

#include <QTest>

using namespace rollcall::protocol;

namespace {

QByteArray piece(quint32 id, int number, int count, const QByteArray &share)
{
    QByteArray bytes = QByteArray::fromHex("FEFFFFFF");
    for (int i = 0; i < 4; ++i)
        bytes += char((id >> (8 * i)) & 0xFF);
    bytes += char((number << 4) | count);
    return bytes + share;
}

} // namespace

class tst_SplitReassembler : public QObject
{
    Q_OBJECT

private slots:
    void sequence_data();
    void sequence();
    void resetForgetsPieces();
};

void tst_SplitReassembler::sequence_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    // What comes out, in order; datagrams that give nothing are left out.
    QTest::addColumn<QList<QByteArray>>("replies");

    using List = QList<QByteArray>;
    const QByteArray plain = QByteArray::fromHex("FFFFFFFF4400");
    const QByteArray almostSplit = QByteArray::fromHex("FEFFFF7F0100000012");

    QTest::newRow("plain_passesThrough") << List { plain, almostSplit } << List { plain, almostSplit };
    QTest::newRow("ok_shuffledThree")
        << List { piece(9, 2, 3, "E"), piece(9, 0, 3, "A"), piece(9, 1, 3, "C") } << List { "ACE" };
    QTest::newRow("ok_singlePiece") << List { piece(1, 0, 1, "whole") } << List { "whole" };
    QTest::newRow("ok_plainBetweenPieces")
        << List { piece(7, 0, 2, "AB"), plain, piece(7, 1, 2, "CD") } << List { plain, "ABCD" };
    QTest::newRow("ok_twoRepliesInTurn")
        << List { piece(1, 0, 2, "A"), piece(1, 1, 2, "B"), piece(2, 1, 2, "D"), piece(2, 0, 2, "C") }
        << List { "AB", "CD" };

    List fifteen;
    QByteArray joined;
    for (int i = 0; i < 15; ++i) {
        fifteen.prepend(piece(3, i, 15, QByteArray(1, char('a' + i))));
        joined += char('a' + i);
    }
    QTest::newRow("ok_fifteenPieces") << fifteen << List { joined };

    QTest::newRow("dup_ignored") << List { piece(7, 0, 2, "AB"), piece(7, 0, 2, "XX"), piece(7, 1, 2, "CD") }
                                 << List { "ABCD" };
    QTest::newRow("dup_afterCompletionStartsOver")
        << List { piece(7, 0, 2, "AB"), piece(7, 1, 2, "CD"), piece(7, 1, 2, "CD") } << List { "ABCD" };

    QTest::newRow("drop_countZero") << List { piece(4, 0, 0, "A") } << List {};
    QTest::newRow("drop_numberNotBelowCount")
        << List { piece(4, 0, 2, "A"), piece(4, 2, 2, "X"), piece(4, 15, 2, "Y"), piece(4, 1, 2, "B") }
        << List { "AB" };
    QTest::newRow("drop_countChangesForSameId")
        << List { piece(4, 0, 2, "A"), piece(4, 1, 3, "X"), piece(4, 1, 2, "B") } << List { "AB" };
    QTest::newRow("drop_headerCut") << List { QByteArray::fromHex("FEFFFFFF01000000") } << List {};

    // The socket has moved on: an older reply's late pieces must not mix with the newer one.
    QTest::newRow("newId_replacesPending")
        << List { piece(1, 0, 2, "A"), piece(2, 0, 2, "C"), piece(2, 1, 2, "D") } << List { "CD" };
    QTest::newRow("newId_latePieceOfOldId")
        << List { piece(1, 0, 2, "A"), piece(2, 0, 2, "C"), piece(1, 1, 2, "B") } << List {};
    QTest::newRow("newId_invalidPieceKeepsPending")
        << List { piece(1, 0, 2, "A"), piece(2, 0, 0, "X"), piece(1, 1, 2, "B") } << List { "AB" };

    // 64 KiB in all at most, however it is shared out.
    const QByteArray half(32 * 1024, 'a');
    QTest::newRow("size_exactly64KiB")
        << List { piece(5, 0, 2, half), piece(5, 1, 2, half) } << List { half + half };
    QTest::newRow("size_oneByteOver") << List { piece(5, 0, 2, half), piece(5, 1, 2, half + 'b') } << List {};
    QTest::newRow("size_onePieceOver") << List { piece(5, 0, 1, half + half + 'b') } << List {};
}

void tst_SplitReassembler::sequence()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QList<QByteArray>, replies);

    SplitReassembler reassembler;
    QList<QByteArray> out;
    for (const QByteArray &datagram : datagrams) {
        if (const std::optional<QByteArray> reply = reassembler.feed(datagram))
            out.append(*reply);
    }
    QCOMPARE(out, replies);
}

void tst_SplitReassembler::resetForgetsPieces()
{
    SplitReassembler reassembler;
    QVERIFY(!reassembler.feed(piece(7, 0, 2, "AB")));
    reassembler.reset();
    QVERIFY(!reassembler.feed(piece(7, 1, 2, "CD")));
    QCOMPARE(reassembler.feed(piece(7, 0, 2, "ab")), std::optional<QByteArray>("abCD"));
}

QTEST_APPLESS_MAIN(tst_SplitReassembler)
#include "tst_splitreassembler.moc"
