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

constexpr int Name = ResultRow::PlayerName;

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

QStringList column(const ResultsModel &model, int col = Name)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts.append(model.index(r, col).data().toString());
    return texts;
}

using Tester = QAbstractItemModelTester;
using namespace Qt::StringLiterals;

} // namespace

class tst_ResultsModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void identity();
    void controlCharactersShowAsReplacement_data();
    void controlCharactersShowAsReplacement();
    void sortByText_data();
    void sortByText();
    void sortByValue_data();
    void sortByValue();
    void appendMatchesReferenceSort_data();
    void appendMatchesReferenceSort();
    void appendEmitsOneInsertPerGap();
    void switchingSortKeepsShownOrder();
    void setCellMovesRowAndPersistentIndex();
};

void tst_ResultsModel::identity()
{
    ResultsModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("c"), QStringLiteral("a") }));
    model.appendRows(rowsWithNames({ QStringLiteral("b") }));
    QCOMPARE(column(model), (QStringList { "c", "a", "b" }));
    const RowId idA = model.rowId(1);
    QVERIFY(idA != 0);
    QCOMPARE(model.rowOf(idA), 1);
    QCOMPARE(model.rowById(idA)->cell(Name), QStringLiteral("a"));
    QCOMPARE(model.rowId(3), RowId(0));
    QCOMPARE(model.rowOf(RowId(0)), -1);

    // A new search's rows never take an old row's identity, and an old one updates nothing.
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.rowOf(idA), -1);
    QVERIFY(!model.rowById(idA));
    QVERIFY(!model.setCell(idA, ResultRow::Ping, QStringLiteral("1")));
    model.appendRows(rowsWithNames({ QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f") }));
    for (int r = 0; r < 3; ++r)
        QVERIFY(model.rowId(r) != idA);
    QCOMPARE(model.rowOf(idA), -1);
}

void tst_ResultsModel::controlCharactersShowAsReplacement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << u"Bob \u00e9\u00a0x"_s << u"Bob \u00e9\u00a0x"_s;
    QTest::newRow("c0") << u"\tBob\u0001"_s << u"\ufffdBob\ufffd"_s;
    QTest::newRow("del") << u"a\u007fb"_s << u"a\ufffdb"_s;
    QTest::newRow("c1") << u"\u0080x\u0085y\u009f"_s << u"\ufffdx\ufffdy\ufffd"_s;
}

void tst_ResultsModel::controlCharactersShowAsReplacement()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    ResultsModel model;
    model.appendRows(rowsWithNames({ name }));
    QCOMPARE(model.index(0, Name).data().toString(), shown);
    // The row keeps the name as the server sent it: a refresh finds the player by it.
    QCOMPARE(model.rowById(model.rowId(0))->cell(Name), name);
}

void tst_ResultsModel::sortByText_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("expected");

    const auto row
        = [](const char *tag, const QStringList &names, bool descending, const QStringList &expected) {
              QTest::newRow(tag) << names << descending << expected;
          };
    // Names are text even when they look like numbers: "10" before "9".
    row("text_numbers", { "9", "10", "100", "2" }, false, { "10", "100", "2", "9" });
    // Equal texts keep their order, whichever the direction.
    row("case_ignored", { "b", "A", "a", "B" }, false, { "A", "a", "b", "B" });
    row("case_ignored_desc", { "b", "A", "a", "B" }, true, { "b", "B", "A", "a" });
    // Folded to small letters, then by character code: '_' (0x5F) sorts before 'a', '[' (0x5B) too.
    row("char_code", { "a", "_x", "Z", "[x" }, false, { "[x", "_x", "a", "Z" });
    row("prefix_first", { "abc", "ab", "", "abcd" }, false, { "", "ab", "abc", "abcd" });
    // Texts that agree in their first twelve characters and beyond.
    row("long_sharedStart",
        { "Player_0000001b", "player_0000001", "PLAYER_0000001A", "player_0000000z", "player_00000010" },
        false,
        { "player_0000000z", "player_0000001", "player_00000010", "PLAYER_0000001A", "Player_0000001b" });
    row("high_codes", { u"\uffee"_s, u"\u0101"_s, "~", u"\u00e9"_s, "z", u"\u00c9x"_s }, false,
        { "z", "~", u"\u00e9"_s, u"\u00c9x"_s, u"\u0101"_s, u"\uffee"_s });
}

void tst_ResultsModel::sortByText()
{
    QFETCH(QStringList, names);
    QFETCH(bool, descending);
    QFETCH(QStringList, expected);
    ResultsModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames(names));
    model.setSorting(true, Name, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QCOMPARE(column(model), expected);
}

void tst_ResultsModel::sortByValue_data()
{
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QList<int>>("order"); // positions of the cells as given, as sorted

    const auto row
        = [](const char *tag, int column, const QStringList &cells, bool descending,
              const QList<int> &order) { QTest::newRow(tag) << column << cells << descending << order; };
    row("port", ResultRow::Port, { "27015", "9", "100", "27016" }, false, { 1, 2, 0, 3 });
    // Text order would put "99" above "100" here.
    row("ping_desc", ResultRow::Ping, { "99", "100", "5", "9999" }, true, { 3, 1, 0, 2 });
    row("frags_negative", ResultRow::Frags, { "-3", "10", "0", "-20" }, false, { 3, 0, 2, 1 });
    row("time_bySeconds", ResultRow::Time, { "01:00:00", "00:59:59", "100:00:00", "00:09:99", "99:59:59" },
        false, { 3, 1, 0, 4, 2 });
    row("address_byValue", ResultRow::ServerIp, { "127.0.0.10", "127.0.0.9", "10.1.1.1", "192.168.0.1" },
        false, { 2, 1, 0, 3 });
    // A refreshed row whose player has gone shows "-": such cells go last, together, in either
    // direction, keeping their order.
    row("noValue_asc", ResultRow::Ping, { "-", "20", "", "5", "x1" }, false, { 3, 1, 0, 2, 4 });
    row("noValue_desc", ResultRow::Frags, { "-", "20", "", "5" }, true, { 1, 3, 0, 2 });
    row("time_noValue", ResultRow::Time, { "-", "00:00:01", "1:2:3:4" }, false, { 1, 0, 2 });
    row("address_noValue", ResultRow::ServerIp, { "10.0.0.256", "10.0.0.1", "10.0.0" }, true, { 1, 0, 2 });
    // Equal values keep their order, whichever the direction.
    row("equal_stable_asc", ResultRow::Frags, { "5", "05", "4", "5" }, false, { 2, 0, 1, 3 });
    row("equal_stable_desc", ResultRow::Frags, { "5", "05", "4", "5" }, true, { 0, 1, 3, 2 });
}

void tst_ResultsModel::sortByValue()
{
    QFETCH(int, sortColumn);
    QFETCH(QStringList, cells);
    QFETCH(bool, descending);
    QFETCH(QList<int>, order);
    ResultsModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    QList<ResultRow> rows;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        ResultRow r = makeRow(QStringLiteral("10.0.0.1"), QString::number(i));
        r.Cells[size_t(sortColumn)] = cells[i];
        rows.append(r);
    }
    // Half before sorting begins, half placed as they arrive: both ways give the same order.
    model.appendRows(rows.mid(0, rows.size() / 2));
    model.setSorting(true, sortColumn, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    model.appendRows(rows.mid(rows.size() / 2));
    QStringList expected;
    for (int i : order)
        expected.append(QString::number(i));
    QCOMPARE(column(model), expected);
}

void tst_ResultsModel::appendMatchesReferenceSort_data()
{
    QTest::addColumn<int>("order"); // -1: sorting off
    QTest::addColumn<int>("batch");
    QTest::newRow("asc_batch1") << int(Qt::AscendingOrder) << 1;
    QTest::newRow("asc_batch20") << int(Qt::AscendingOrder) << 20;
    QTest::newRow("desc_batch700") << int(Qt::DescendingOrder) << 700;
    // One batch far larger than a block of the list's order, sorted and not.
    QTest::newRow("asc_oneBatch") << int(Qt::AscendingOrder) << 5000;
    QTest::newRow("unsorted_batch700") << -1 << 700;
}

void tst_ResultsModel::appendMatchesReferenceSort()
{
    // Few distinct frags values, so ties are everywhere and the tie order is checked too.
    QFETCH(int, order);
    QFETCH(int, batch);
    const auto sortOrder = order < 0 ? Qt::AscendingOrder : Qt::SortOrder(order);

    ResultsModel model;
    // No model tester here: it walks the whole model after every insertion.
    model.setSorting(order >= 0, ResultRow::Frags, sortOrder);
    QRandomGenerator rng(42);
    QList<ResultRow> all;
    for (int b = 0; b < 5000 / batch; ++b) {
        QList<ResultRow> rows;
        for (int i = 0; i < batch; ++i) {
            rows.append(
                makeRow(QString::number(all.size()), QStringLiteral("p"), QString::number(rng.bounded(30))));
            all.append(rows.back());
        }
        model.appendRows(rows);
    }
    if (order >= 0) {
        std::stable_sort(all.begin(), all.end(), [&](const ResultRow &a, const ResultRow &b) {
            const int fa = a.cell(ResultRow::Frags).toInt();
            const int fb = b.cell(ResultRow::Frags).toInt();
            return sortOrder == Qt::AscendingOrder ? fa < fb : fa > fb;
        });
    }
    QCOMPARE(model.rowCount(), int(all.size()));
    for (int r = 0; r < model.rowCount(); ++r) {
        QCOMPARE(model.index(r, ResultRow::ServerIp).data().toString(), all[r].cell(ResultRow::ServerIp));
        QCOMPARE(model.rowOf(model.rowId(r)), r);
    }
}

void tst_ResultsModel::appendEmitsOneInsertPerGap()
{
    ResultsModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("b"), QStringLiteral("d") }));
    model.setSorting(true, Name, Qt::AscendingOrder);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    // a, a2 go before "b"; c between "b" and "d"; e, f at the end: three gaps.
    model.appendRows(rowsWithNames({ QStringLiteral("f"), QStringLiteral("a2"), QStringLiteral("c"),
        QStringLiteral("a"), QStringLiteral("e") }));
    QCOMPARE(column(model), (QStringList { "a", "a2", "b", "c", "d", "e", "f" }));
    QList<std::pair<int, int>> ranges;
    for (const QList<QVariant> &args : std::as_const(inserted))
        ranges.append({ args.at(1).toInt(), args.at(2).toInt() });
    QCOMPARE(ranges, (QList<std::pair<int, int>> { { 0, 1 }, { 3, 3 }, { 5, 6 } }));
}

void tst_ResultsModel::switchingSortKeepsShownOrder()
{
    ResultsModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames({ QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a") }));
    QPersistentModelIndex held(model.index(0, Name)); // "b", as a selection holds it
    model.setSorting(true, Name, Qt::DescendingOrder);
    QCOMPARE(held.data().toString(), QStringLiteral("b"));
    QCOMPARE(held.row(), 1);

    // Switched off, the rows stay where they are and later ones go to the end.
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    model.setSorting(false, Name, Qt::DescendingOrder);
    model.appendRows(rowsWithNames({ QStringLiteral("z") }));
    QCOMPARE(layout.size(), 0);
    QCOMPARE(column(model), (QStringList { "c", "b", "a", "z" }));
    // Sorting again starts from the order shown: equal texts keep it.
    model.setSorting(true, ResultRow::Port, Qt::AscendingOrder);
    QCOMPARE(column(model), (QStringList { "c", "b", "a", "z" }));
    model.setSorting(true, ResultRow::ServerIp, Qt::DescendingOrder); // "b" and "z" share 10.0.0.0
    QCOMPARE(column(model), (QStringList { "a", "c", "b", "z" }));
    QCOMPARE(held.row(), 2);
}

void tst_ResultsModel::setCellMovesRowAndPersistentIndex()
{
    ResultsModel model;
    Tester tester(&model, Tester::FailureReportingMode::QtTest);
    model.appendRows(rowsWithNames(
        { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d") }));
    model.setSorting(true, Name, Qt::AscendingOrder);
    const RowId idB = model.rowId(1);
    QPersistentModelIndex held(model.index(1, 0));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setCell(idB, Name, QStringLiteral("zz")));
    QCOMPARE(column(model), (QStringList { "a", "c", "d", "zz" }));
    QCOMPARE(model.rowOf(idB), 3);
    QCOMPARE(held.row(), 3);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0].at(0).toModelIndex().row(), 3);

    // Another column: the row stays put.
    QVERIFY(model.setCell(idB, ResultRow::Ping, QStringLiteral("999")));
    QCOMPARE(model.rowOf(idB), 3);
    QCOMPARE(model.index(3, ResultRow::Ping).data().toString(), QStringLiteral("999"));

    // Back to the front, after the equal text already there.
    QVERIFY(model.setCell(idB, Name, QStringLiteral("A")));
    QCOMPARE(column(model), (QStringList { "a", "A", "c", "d" }));
    QCOMPARE(held.row(), 1);
    QVERIFY(!model.setCell(idB, ResultRow::ColumnCount, QStringLiteral("x")));
}

QTEST_GUILESS_MAIN(tst_ResultsModel)
#include "tst_resultsmodel.moc"
