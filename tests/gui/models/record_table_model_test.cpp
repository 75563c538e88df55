// The record table: cells from the column descriptions, rows by id, a refresh that reports only the
// cells that changed while the ids stay, and a reset when they do not or the rows are replaced.
#include "gui/models/record_table_model.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>

#include <gtest/gtest.h>

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

} // namespace
