// The record table: cells from the column descriptions, rows by id, a refresh that reports only the
// cells that changed while the ids stay, and a reset when they do not or the rows are replaced.
#include "gui/models/record_table_model.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct Line {
    std::string id;
    std::string name;
    int amount = 0;
};

using Model = tc::gui::RecordTableModel<Line>;

std::unique_ptr<Model> makeModel() {
    std::vector<Model::Column> columns{
        {"", [](const Line& l) { return QString::fromStdString(l.id); }},
        {"name", [](const Line& l) { return QString::fromStdString(l.name); }},
        {"amount", [](const Line& l) { return QString::number(l.amount); }, Qt::AlignRight | Qt::AlignVCenter,
         [](const Line& l, int role) {
             return role == Qt::ForegroundRole && l.amount < 0 ? QVariant(QBrush(Qt::red)) : QVariant();
         }}};
    return std::make_unique<Model>(
        std::move(columns), [](const Line& l) { return l.id; },
        [](std::string_view key) {
            return QStringLiteral("T:") + QString::fromUtf8(key.data(), key.size());
        });
}

TEST(RecordTableModelTest, CellsTitlesAndFlagsComeFromTheColumns) {
    auto model = makeModel();
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    model->setRecords({{"7", "seven", 70}, {"9", "nine", -9}});
    ASSERT_EQ(model->rowCount(), 2);
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->index(1, 1).data().toString(), "nine");
    EXPECT_EQ(model->index(1, 2).data().toString(), "-9");
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), " ");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "T:amount");
    EXPECT_EQ(model->index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_FALSE(model->index(0, 1).data(Qt::TextAlignmentRole).isValid()) << "the view's own alignment";
    EXPECT_FALSE(model->index(0, 2).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(model->index(1, 2).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_EQ(model->rowOf("9"), 1);
    EXPECT_EQ(model->rowOf("8"), -1);
    EXPECT_EQ(model->idAt(0), "7");
    ASSERT_TRUE(model->recordAt(1));
    EXPECT_EQ(model->recordAt(1)->name, "nine");
    EXPECT_FALSE(model->recordAt(2));
    EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsSelectable);
    model->setSelectable(false);
    EXPECT_EQ(model->flags(model->index(0, 0)), Qt::ItemIsEnabled);
}

TEST(RecordTableModelTest, RefreshReportsChangedCellsAndResetsOnOtherIds) {
    auto model = makeModel();
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    model->setRecords({{"7", "seven", 70}, {"9", "nine", 9}});
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);

    model->setRecords({{"7", "seven", 70}, {"9", "NINE", -9}});
    EXPECT_EQ(reset.count(), 0);
    ASSERT_EQ(changed.count(), 1) << "the unchanged row is not reported";
    EXPECT_EQ(changed[0][0].toModelIndex(), model->index(1, 1));
    EXPECT_EQ(changed[0][1].toModelIndex(), model->index(1, 2));
    EXPECT_EQ(model->index(1, 1).data().toString(), "NINE");

    changed.clear();
    model->setRecords({{"7", "seven", 70}, {"9", "NINE", -9}});
    EXPECT_EQ(changed.count(), 0);

    model->setRecords({{"9", "NINE", -9}});
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model->rowOf("9"), 0);
    model->setRecords({});
    EXPECT_EQ(model->rowCount(), 0);
}

TEST(RecordTableModelTest, ReplacedRowsAlwaysResetAndTheHeaderNamesItsKeys) {
    auto model = makeModel();
    QAbstractItemModelTester tester(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    model->setRecords({{"7", "seven", 70}});
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    model->replaceRecords({{"7", "seven", 70}});
    EXPECT_EQ(reset.count(), 1) << "another request's rows, even with the same ids";
    ASSERT_EQ(model->records().size(), 1u);
    EXPECT_EQ(model->rowOf("7"), 0);

    constexpr int keyRole = Qt::UserRole + 9;
    EXPECT_FALSE(model->headerData(1, Qt::Horizontal, keyRole).isValid());
    model->setKeyRole(keyRole);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, keyRole).toString(), "name");
    EXPECT_FALSE(model->headerData(0, Qt::Vertical).isValid()) << "rows have no titles";
}

// A tick column over many rows: one row's tick changed reads that row alone, and the title's tick
// comes from a count kept as rows change, not from a pass over the rows at each paint.
TEST(RecordTableModelTest, OneRowsTickReadsThatRowAloneAndTheTitleFollowsTheCount) {
    int reads = 0;
    std::vector<Model::Column> columns{
        {"",
         {},
         {},
         {},
         [&reads](const Line& l) {
             ++reads;
             return l.amount > 0;
         }},
        {"name", [](const Line& l) { return QString::fromStdString(l.name); }}};
    Model model(
        std::move(columns), [](const Line& l) { return l.id; }, [](std::string_view) { return QString(); });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    constexpr int kRows = 1000;
    std::vector<Line> lines;
    for (int n = 0; n < kRows; ++n)
        lines.push_back({std::to_string(n), "row", 1});
    model.setRecords(lines);
    const auto title = [&] { return model.headerData(0, Qt::Horizontal, Qt::CheckStateRole); };
    EXPECT_EQ(title(), Qt::Checked);
    EXPECT_EQ(model.rowOf("700"), 700);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy retitled(&model, &QAbstractItemModel::headerDataChanged);
    const auto untick = [](Line& l) { return std::exchange(l.amount, 0) != 0; };
    reads = 0;
    EXPECT_TRUE(model.changeRow(model.rowOf("700"), untick, 0, 0));
    for (int paint = 0; paint < 10; ++paint)
        EXPECT_EQ(title(), Qt::PartiallyChecked);
    EXPECT_LE(reads, 8) << "the other rows' ticks are not read";
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(700, 0));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(700, 0));
    EXPECT_EQ(retitled.count(), 1) << "all to some";
    EXPECT_FALSE(model.changeRow(model.rowOf("700"), untick, 0, 0)) << "already unticked";
    EXPECT_FALSE(model.changeRow(kRows, untick, 0, 0));
    EXPECT_EQ(changed.count(), 1);

    // Every row unticked in place, then one ticked by a new record, then new rows: the title agrees.
    model.changeInPlace(untick, 0, 0);
    EXPECT_EQ(title(), Qt::Unchecked);
    model.setRecordAt(3, {"3", "row", 1});
    EXPECT_EQ(title(), Qt::PartiallyChecked);
    EXPECT_EQ(retitled.count(), 3);
    model.setRecords({{"a", "x", 1}, {"b", "y", 1}});
    EXPECT_EQ(title(), Qt::Checked);
    EXPECT_EQ(model.rowOf("700"), -1);
    model.replaceRecords({{"b", "y", 0}});
    EXPECT_EQ(title(), Qt::Unchecked);
    // An id listed twice: rowOf finds its first row, and a change of the id reaches both.
    model.setRecords({{"7", "x", 1}, {"8", "y", 1}, {"7", "z", 1}});
    EXPECT_EQ(model.rowOf("7"), 0);
    model.changeRowsOf("7", untick, 0, 0);
    EXPECT_FALSE(model.index(0, 0).data(Qt::CheckStateRole) == Qt::Checked ||
                 model.index(2, 0).data(Qt::CheckStateRole) == Qt::Checked);
    EXPECT_EQ(model.index(1, 0).data(Qt::CheckStateRole), Qt::Checked);
    EXPECT_EQ(title(), Qt::PartiallyChecked);
    model.changeRowsOf("8", untick, 0, 0);
    EXPECT_EQ(title(), Qt::Unchecked);
}

} // namespace
