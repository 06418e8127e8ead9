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

const QList<TextListModel::Column> TwoColumns { { QStringLiteral("Rule"), Qt::AlignLeft },
    { QStringLiteral("Value"), Qt::AlignLeft } };

} // namespace

class TestTextListModel final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headerClicksSortAsTextAndFlip();
    void staysSortedAsRowsComeAndChange();
    void controlCharactersShownNotCopied();
    void columnsSortByTheirKind();
};

void TestTextListModel::headerClicksSortAsTextAndFlip()
{
    TextListModel model(TwoColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QStringList &row : { QStringList { "b", "1" }, { "A", "2" }, { "a", "0" }, { "B", "3" } })
        model.appendRow(row);
    model.sortByHeaderClick(0); // starts descending, so the first click sorts ascending
    QCOMPARE(column(model, 0), (QStringList { "A", "a", "b", "B" })); // case ignored, equals keep their order
    model.sortByHeaderClick(0);
    QCOMPARE(column(model, 0), (QStringList { "b", "B", "A", "a" }));
    model.sortByHeaderClick(1); // another column: the direction still flips, so ascending
    QCOMPARE(column(model, 1), (QStringList { "0", "1", "2", "3" }));
}

void TestTextListModel::staysSortedAsRowsComeAndChange()
{
    TextListModel model(TwoColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setSorting(true, 1, Qt::AscendingOrder);
    for (const char *value : { "5", "30", "100", "30", "7" })
        model.appendRow({ QString::number(model.rowCount()), QLatin1String(value) });
    QCOMPARE(column(model, 1), (QStringList { "100", "30", "30", "5", "7" })); // as text, not as numbers
    QCOMPARE(column(model, 0), (QStringList { "2", "1", "3", "0", "4" })); // equals keep their order
    // A new value in the sort column moves its row.
    QVERIFY(model.setValueOf("2", 1, "9"));
    QVERIFY(!model.setValueOf("none", 1, "0"));
    QCOMPARE(column(model, 0), (QStringList { "1", "3", "0", "4", "2" }));
}

void TestTextListModel::controlCharactersShownNotCopied()
{
    TextListModel model(TwoColumns);
    model.appendRow({ QStringLiteral("sv_name"), QString::fromLatin1("a\x85\tb") });
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("a\uFFFD\uFFFDb"));
    QCOMPARE(model.copyText(), QString::fromLatin1("sv_name\ta\x85\tb\r\n"));
}

void TestTextListModel::columnsSortByTheirKind()
{
    using rollcall::info::CellKind;
    TextListModel model({ { QStringLiteral("ID"), Qt::AlignLeft, CellKind::Number },
        { QStringLiteral("Time"), Qt::AlignRight, CellKind::Duration } });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QStringList &row : { QStringList { "10", "100:00:00" }, { "9", "09:59:59" }, { "-", "-" } })
        model.appendRow(row);
    model.setSorting(true, 0, Qt::DescendingOrder);
    QCOMPARE(column(model, 0), (QStringList { "10", "9", "-" }));
    model.setSorting(true, 1, Qt::AscendingOrder);
    QCOMPARE(column(model, 1), (QStringList { "09:59:59", "100:00:00", "-" }));
}

QTEST_GUILESS_MAIN(TestTextListModel)
#include "tst_textlistmodel.moc"
