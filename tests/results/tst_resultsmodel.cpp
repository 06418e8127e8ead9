#include "results/ResultsModel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

using rollcall::results::ResultsModel;
using rollcall::results::RowId;
using rollcall::search::ResultRow;

namespace {

ResultRow makeRow(const QString &ip, const QString &name, const QString &frags = QStringLiteral("0"))
{
    ResultRow row;
    row.Cells = { ip, QStringLiteral("27015"), QStringLiteral("20"), name, frags, QStringLiteral("01:00") };
    return row;
}

QList<ResultRow> rowsWithNames(const QStringList &names)
{
    QList<ResultRow> rows;
    for (qsizetype i = 0; i < names.size(); ++i)
        rows.append(makeRow(QStringLiteral("10.0.0.%1").arg(i), names[i]));
    return rows;
}

QStringList column(const ResultsModel &model, int col)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts.append(model.index(r, col).data().toString());
    return texts;
}

} // namespace

class tst_ResultsModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headers();
    void appendKeepsOrderAndIdentity();
    void sortByText_data();
    void sortByText();
    void appendWhileSortedMatchesFullSort_data();
    void appendWhileSortedMatchesFullSort();
    void appendEmitsOneInsertPerGap();
    void sortingOffKeepsOrder();
    void setCellMovesRowAndPersistentIndex();
    void resortMovesPersistentIndex();
    void clearForgetsRows();
    void largeBatchesSplitBlocks();
};

void tst_ResultsModel::headers()
{
    ResultsModel model;
    const QStringList captions
        = { QStringLiteral("Server IP"), QStringLiteral("Port"), QStringLiteral("Ping"),
              QStringLiteral("Player Name"), QStringLiteral("Frags"), QStringLiteral("Time") };
    const QList<Qt::Alignment> aligns
        = { Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight };
    QCOMPARE(model.columnCount(), 6);
    model.appendRows({ makeRow(QStringLiteral("1.2.3.4"), QStringLiteral("x")) });
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), captions[c]);
        const auto cellAlign = model.index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        QCOMPARE(cellAlign & Qt::AlignHorizontal_Mask, aligns[c]);
    }
}

void tst_ResultsModel::appendKeepsOrderAndIdentity()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("c"), QStringLiteral("a") }));
    model.appendRows(rowsWithNames({ QStringLiteral("b") }));
    QCOMPARE(
        column(model, 3), (QStringList { QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b") }));
    const RowId idA = model.rowId(1);
    QVERIFY(idA != 0);
    QCOMPARE(model.rowOf(idA), 1);
    QCOMPARE(model.rowById(idA)->cell(ResultRow::PlayerName), QStringLiteral("a"));
    QCOMPARE(model.rowId(3), RowId(0));
    QCOMPARE(model.rowOf(RowId(0)), -1);
}

void tst_ResultsModel::sortByText_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");

    const auto asc = int(Qt::AscendingOrder);
    const auto desc = int(Qt::DescendingOrder);
    // Numbers are text here: "10" before "9", as the list has always shown them.
    QTest::newRow("text_numbers") << QStringList { "9", "10", "100", "2" } << asc
                                  << QStringList { "10", "100", "2", "9" };
    QTest::newRow("case_ignored") << QStringList { "b", "A", "a", "B" } << asc
                                  << QStringList { "A", "a", "b", "B" };
    QTest::newRow("case_ignored_desc")
        << QStringList { "b", "A", "a", "B" } << desc << QStringList { "b", "B", "A", "a" };
    // Folded to small letters, then by character code: '_' (0x5F) sorts before 'a', '[' (0x5B) too.
    QTest::newRow("char_code") << QStringList { "a", "_x", "Z", "[x" } << asc
                               << QStringList { "[x", "_x", "a", "Z" };
    QTest::newRow("prefix_first") << QStringList { "abc", "ab", "", "abcd" } << asc
                                  << QStringList { "", "ab", "abc", "abcd" };
    // Texts that agree in their first twelve characters and beyond.
    QTest::newRow("long_sharedStart") << QStringList { "Player_0000001b", "player_0000001", "PLAYER_0000001A",
        "player_0000000z", "player_00000010" }
                                      << asc
                                      << QStringList { "player_0000000z", "player_0000001", "player_00000010",
                                             "PLAYER_0000001A", "Player_0000001b" };
    QTest::newRow("high_codes") << QStringList { QStringLiteral("\uffee"), QStringLiteral("\u0101"),
        "~" } << asc << QStringList { "~", QStringLiteral("\u0101"), QStringLiteral("\uffee") };
    QTest::newRow("latin1") << QStringList { QStringLiteral("\u00e9"), "z", QStringLiteral("\u00c9x") } << asc
                            << QStringList { "z", QStringLiteral("\u00e9"), QStringLiteral("\u00c9x") };
}

void tst_ResultsModel::sortByText()
{
    QFETCH(QStringList, names);
    QFETCH(int, order);
    QFETCH(QStringList, expected);

    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames(names));
    model.setSorting(true, ResultRow::PlayerName, Qt::SortOrder(order));
    QCOMPARE(column(model, ResultRow::PlayerName), expected);
    QVERIFY(model.isSortEnabled());
    QCOMPARE(model.sortColumn(), int(ResultRow::PlayerName));
    QCOMPARE(model.sortOrder(), Qt::SortOrder(order));
}

void tst_ResultsModel::appendWhileSortedMatchesFullSort_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("batch");
    QTest::newRow("asc_batch1") << int(Qt::AscendingOrder) << 1;
    QTest::newRow("asc_batch20") << int(Qt::AscendingOrder) << 20;
    QTest::newRow("desc_batch20") << int(Qt::DescendingOrder) << 20;
    QTest::newRow("desc_batch700") << int(Qt::DescendingOrder) << 700;
}

void tst_ResultsModel::appendWhileSortedMatchesFullSort()
{
    // Few distinct frags values, so ties are everywhere and the tie order is checked too.
    QFETCH(int, order);
    QFETCH(int, batch);
    const auto sortOrder = Qt::SortOrder(order);

    ResultsModel model;
    // No model tester here: it walks the whole model after every insertion.
    model.setSorting(true, ResultRow::Frags, sortOrder);
    QRandomGenerator rng(42);
    QList<ResultRow> all;
    for (int b = 0; b < 5000 / batch; ++b) {
        QList<ResultRow> rows;
        for (int i = 0; i < batch; ++i) {
            const int n = int(all.size());
            rows.append(makeRow(QString::number(n), QStringLiteral("p"), QString::number(rng.bounded(30))));
            all.append(rows.back());
        }
        model.appendRows(rows);
    }
    std::stable_sort(all.begin(), all.end(), [&](const ResultRow &a, const ResultRow &b) {
        const int c
            = QString::compare(a.cell(ResultRow::Frags), b.cell(ResultRow::Frags), Qt::CaseInsensitive);
        return sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    QCOMPARE(model.rowCount(), int(all.size()));
    for (int r = 0; r < model.rowCount(); ++r) {
        QCOMPARE(model.index(r, ResultRow::ServerIp).data().toString(), all[r].cell(ResultRow::ServerIp));
        QCOMPARE(model.rowOf(model.rowId(r)), r);
    }
}

void tst_ResultsModel::appendEmitsOneInsertPerGap()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("b"), QStringLiteral("d") }));
    model.setSorting(true, ResultRow::PlayerName, Qt::AscendingOrder);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    // a, a2 go before "b"; c between "b" and "d"; e, f at the end: three gaps.
    model.appendRows(rowsWithNames({ QStringLiteral("f"), QStringLiteral("a2"), QStringLiteral("c"),
        QStringLiteral("a"), QStringLiteral("e") }));
    QCOMPARE(column(model, ResultRow::PlayerName), (QStringList { "a", "a2", "b", "c", "d", "e", "f" }));
    QCOMPARE(inserted.size(), 3);
    QCOMPARE(inserted[0].at(1).toInt(), 0);
    QCOMPARE(inserted[0].at(2).toInt(), 1);
    QCOMPARE(inserted[1].at(1).toInt(), 3);
    QCOMPARE(inserted[1].at(2).toInt(), 3);
    QCOMPARE(inserted[2].at(1).toInt(), 5);
    QCOMPARE(inserted[2].at(2).toInt(), 6);
}

void tst_ResultsModel::sortingOffKeepsOrder()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a") }));
    model.setSorting(true, ResultRow::PlayerName, Qt::DescendingOrder);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    model.setSorting(false, ResultRow::PlayerName, Qt::DescendingOrder);
    model.appendRows(rowsWithNames({ QStringLiteral("z") }));
    QCOMPARE(layout.size(), 0);
    QCOMPARE(column(model, ResultRow::PlayerName), (QStringList { "c", "b", "a", "z" }));
    // Sorting again starts from the order shown: equal texts keep it.
    model.setSorting(true, ResultRow::Port, Qt::AscendingOrder);
    QCOMPARE(column(model, ResultRow::PlayerName), (QStringList { "c", "b", "a", "z" }));
}

void tst_ResultsModel::setCellMovesRowAndPersistentIndex()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames(
        { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d") }));
    model.setSorting(true, ResultRow::PlayerName, Qt::AscendingOrder);
    const RowId idB = model.rowId(1);
    QPersistentModelIndex held(model.index(1, 0));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setCell(idB, ResultRow::PlayerName, QStringLiteral("zz")));
    QCOMPARE(column(model, ResultRow::PlayerName), (QStringList { "a", "c", "d", "zz" }));
    QCOMPARE(model.rowOf(idB), 3);
    QCOMPARE(held.row(), 3);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0].at(0).toModelIndex().row(), 3);

    // Another column: the row stays put.
    QVERIFY(model.setCell(idB, ResultRow::Ping, QStringLiteral("999")));
    QCOMPARE(model.rowOf(idB), 3);
    QCOMPARE(model.rowById(idB)->cell(ResultRow::Ping), QStringLiteral("999"));

    // Back to the front.
    QVERIFY(model.setCell(idB, ResultRow::PlayerName, QStringLiteral("A")));
    QCOMPARE(column(model, ResultRow::PlayerName), (QStringList { "a", "A", "c", "d" }));
    QCOMPARE(held.row(), 1);
    QVERIFY(!model.setCell(idB, 6, QStringLiteral("x")));
}

void tst_ResultsModel::resortMovesPersistentIndex()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a") }));
    QPersistentModelIndex held(model.index(0, 3)); // "b"
    model.setSorting(true, ResultRow::PlayerName, Qt::DescendingOrder);
    QCOMPARE(held.data().toString(), QStringLiteral("b"));
    QCOMPARE(held.row(), 1);
    model.setSorting(true, ResultRow::PlayerName, Qt::AscendingOrder);
    QCOMPARE(held.row(), 1);
    model.setSorting(true, ResultRow::ServerIp, Qt::DescendingOrder); // 10.0.0.2 (a) first
    QCOMPARE(column(model, ResultRow::PlayerName), (QStringList { "a", "c", "b" }));
    QCOMPARE(held.row(), 2);
}

void tst_ResultsModel::clearForgetsRows()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("a"), QStringLiteral("b") }));
    const RowId old = model.rowId(1);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.rowOf(old), -1);
    QVERIFY(!model.rowById(old));
    QVERIFY(!model.setCell(old, ResultRow::Ping, QStringLiteral("1")));
    // A new search's rows never take an old row's identity.
    model.appendRows(rowsWithNames({ QStringLiteral("c"), QStringLiteral("d") }));
    QVERIFY(model.rowId(0) != old && model.rowId(1) != old);
    QCOMPARE(model.rowOf(old), -1);
}

void tst_ResultsModel::largeBatchesSplitBlocks()
{
    // One batch far larger than a block, inserted in the middle of a sorted list.
    ResultsModel model;
    QList<ResultRow> edges = rowsWithNames({ QStringLiteral("a"), QStringLiteral("z") });
    model.appendRows(edges);
    model.setSorting(true, ResultRow::PlayerName, Qt::AscendingOrder);
    QList<ResultRow> middle;
    for (int i = 0; i < 3000; ++i)
        middle.append(makeRow(QString::number(i), QStringLiteral("m%1").arg(i % 7)));
    model.appendRows(middle);
    QCOMPARE(model.rowCount(), 3002);
    QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral("a"));
    QCOMPARE(model.index(3001, 3).data().toString(), QStringLiteral("z"));
    for (int r = 1; r < model.rowCount(); ++r) {
        QVERIFY(QString::compare(model.index(r - 1, 3).data().toString(), model.index(r, 3).data().toString(),
                    Qt::CaseInsensitive)
            <= 0);
        QCOMPARE(model.rowOf(model.rowId(r)), r);
    }
    // Unsorted appends of a big batch land at the end, in order.
    model.setSorting(false, ResultRow::PlayerName, Qt::AscendingOrder);
    model.appendRows(middle);
    QCOMPARE(model.index(3002, 0).data().toString(), QStringLiteral("0"));
    QCOMPARE(model.index(6001, 0).data().toString(), QStringLiteral("2999"));
}

QTEST_GUILESS_MAIN(tst_ResultsModel)
#include "tst_resultsmodel.moc"
