#include "info/TextListModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using rollcall::info::TextListModel;

namespace {

QStringList column(const TextListModel &model, int c)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts.append(model.text(r, c));
    return texts;
}

QList<TextListModel::Column> twoColumns()
{
    return { { QStringLiteral("Rule"), Qt::AlignLeft }, { QStringLiteral("Value"), Qt::AlignLeft } };
}

} // namespace

class TestTextListModel final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sortsAsText_data();
    void sortsAsText();
    void directionFlipsOnEveryClick();
    void rowsAddedWhileSortedTakeTheirPlace();
    void valueChangeInSortColumnKeepsOrder();
    void copyTextIsExact();
};

void TestTextListModel::sortsAsText_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("numbers_asText") << QStringList { "20", "100", "3" } << Qt::AscendingOrder
                                    << QStringList { "100", "20", "3" };
    QTest::newRow("numbers_descending")
        << QStringList { "20", "100", "3" } << Qt::DescendingOrder << QStringList { "3", "20", "100" };
    QTest::newRow("case_ignored") << QStringList { "b", "A", "a", "B" } << Qt::AscendingOrder
                                  << QStringList { "A", "a", "b", "B" };
    QTest::newRow("case_ignored_descendingStable")
        << QStringList { "b", "A", "a", "B" } << Qt::DescendingOrder << QStringList { "b", "B", "A", "a" };
    QTest::newRow("time_textIsTimeOrder") << QStringList { "01:00:00", "00:59:59",
        "10:00:00" } << Qt::AscendingOrder << QStringList { "00:59:59", "01:00:00", "10:00:00" };
}

void TestTextListModel::sortsAsText()
{
    QFETCH(QStringList, cells);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, expected);
    TextListModel model(twoColumns());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString &cell : cells)
        model.appendRow({ cell, cell });
    model.setSorting(true, 0, order);
    QCOMPARE(column(model, 0), expected);
}

void TestTextListModel::directionFlipsOnEveryClick()
{
    TextListModel model(twoColumns());
    model.appendRow({ "b", "1" });
    model.appendRow({ "a", "2" });
    model.appendRow({ "c", "0" });
    QVERIFY(!model.isSortEnabled());
    model.sortByHeaderClick(0); // starts descending, so the first click sorts ascending
    QCOMPARE(column(model, 0), (QStringList { "a", "b", "c" }));
    model.sortByHeaderClick(0);
    QCOMPARE(column(model, 0), (QStringList { "c", "b", "a" }));
    model.sortByHeaderClick(1); // another column: the direction still flips, so ascending
    QCOMPARE(model.sortOrder(), Qt::AscendingOrder);
    QCOMPARE(column(model, 1), (QStringList { "0", "1", "2" }));
}

void TestTextListModel::rowsAddedWhileSortedTakeTheirPlace()
{
    TextListModel model(twoColumns());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setSorting(true, 1, Qt::AscendingOrder);
    for (const char *value : { "5", "30", "100", "30", "7" })
        model.appendRow({ QString::number(model.rowCount()), QLatin1String(value) });
    QCOMPARE(column(model, 1), (QStringList { "100", "30", "30", "5", "7" }));
    // Equal texts keep the order they came in.
    QCOMPARE(column(model, 0), (QStringList { "2", "1", "3", "0", "4" }));
}

void TestTextListModel::valueChangeInSortColumnKeepsOrder()
{
    TextListModel model(twoColumns());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRow({ "Host Name", "n/a" });
    model.appendRow({ "Map Name", "n/a" });
    model.setSorting(true, 1, Qt::AscendingOrder);
    QVERIFY(model.setValueOf("Map Name", 1, "crossfire"));
    QVERIFY(model.setValueOf("Host Name", 1, "zed"));
    QVERIFY(!model.setValueOf("Nothing", 1, "x"));
    QCOMPARE(column(model, 0), (QStringList { "Map Name", "Host Name" }));
    QCOMPARE(model.valueOf("Host Name"), QStringLiteral("zed"));
}

void TestTextListModel::copyTextIsExact()
{
    TextListModel model(
        { { "ID", Qt::AlignLeft }, { "Player Name", Qt::AlignLeft }, { "Frags", Qt::AlignHCenter } });
    QCOMPARE(model.copyText(), QString());
    model.appendRow({ "1", "Bob", "5" });
    model.appendRow({ "2", "", "-1" });
    QCOMPARE(model.copyText().toLatin1(), QByteArray("1\tBob\t5\r\n2\t\t-1\r\n"));
}

QTEST_GUILESS_MAIN(TestTextListModel)
#include "tst_textlistmodel.moc"
