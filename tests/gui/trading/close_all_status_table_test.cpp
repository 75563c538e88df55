#include "gui/app/gui_context.h"
#include "gui/gui_test_support.h"
#include "gui/trading/close_position_status_window_controller.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tc::gui::CloseAllStatusRow;

// Counts the cells whose size is asked for.
class CountingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        ++asked;
        return QStyledItemDelegate::sizeHint(option, index);
    }
    mutable int asked = 0;
};

class CloseAllStatusTable : public guitest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        // A window of its own: the shell's tear-down deletes it.
        table = new QTableView;
        delegate = new CountingDelegate(table);
        tc::gui::setUpStatusTable(*table, *context);
        table->setItemDelegate(delegate);
        table->resize(900, 400);
        std::vector<CloseAllStatusRow> rows;
        for (int n = 0; n < kRows; ++n) {
            CloseAllStatusRow row;
            row.account = "900001";
            row.positionId = std::to_string(300000 + n);
            row.symbol = "EURUSD";
            row.quantity = "1";
            row.status = "Sent";
            rows.push_back(row);
        }
        tc::gui::fillStatusTable(*table, rows);
        table->show();
        QApplication::processEvents();
    }
    const CloseAllStatusRow& record(int row) const {
        return *static_cast<tc::gui::StatusTableModel*>(table->model())->recordAt(row);
    }

    static constexpr int kRows = 200;
    QTableView* table = nullptr;
    CountingDelegate* delegate = nullptr;
};

TEST_F(CloseAllStatusTable, AReportsRowIsSizedAloneAndItsColumnsGrowToFitIt) {
    const int columns = table->model()->columnCount();
    const int priceWidth = table->horizontalHeader()->sectionSize(5);
    const int rowHeight = table->rowHeight(7);
    // Each report reads its own row's cells, a few times at most, never the other rows'.
    delegate->asked = 0;
    for (int row = 0; row < 20; ++row) {
        CloseAllStatusRow answered = record(row);
        answered.price = "1.08469";
        answered.status = "Closed";
        tc::gui::showStatusRecord(*table, row, answered);
        QApplication::processEvents();
    }
    EXPECT_LE(delegate->asked, 20 * 3 * columns);
    EXPECT_EQ(table->model()->index(3, 5).data().toString(), "1.08469");

    // A longer price widens its column as sizing the whole table would; a long reason wraps in the
    // status column and its row grows to fit.
    CloseAllStatusRow wide = record(7);
    wide.price = "123456789.123456789";
    wide.status = QString(40, QLatin1Char('x')).append(' ').repeated(12).toStdString();
    tc::gui::showStatusRecord(*table, 7, wide);
    QApplication::processEvents();
    EXPECT_GT(table->horizontalHeader()->sectionSize(5), priceWidth);
    EXPECT_GE(table->horizontalHeader()->sectionSize(5),
              table->sizeHintForIndex(table->model()->index(7, 5)).width());
    EXPECT_GT(table->rowHeight(7), rowHeight);
    EXPECT_EQ(table->rowHeight(8), rowHeight);
    // A settlement's price reads that cell alone; a tone of its own, or the same texts, none.
    delegate->asked = 0;
    CloseAllStatusRow settled = record(12);
    settled.price = "1.08470";
    tc::gui::showStatusRecord(*table, 12, settled);
    EXPECT_LE(delegate->asked, 1);
    settled.tone = tc::gui::Tone::Loss;
    tc::gui::showStatusRecord(*table, 12, settled);
    EXPECT_LE(delegate->asked, 1);
    // A new status lays its row out again: a reason may wrap.
    settled.status = "Rejected: the market of this instrument is closed.";
    tc::gui::showStatusRecord(*table, 12, settled);
    EXPECT_GT(delegate->asked, 1);
    EXPECT_LE(delegate->asked, 1 + columns);
    EXPECT_EQ(table->model()->index(12, 5).data().toString(), "1.08470");
    // A row out of range changes nothing.
    tc::gui::showStatusRecord(*table, kRows, wide);
    EXPECT_EQ(table->model()->rowCount(), kRows);
}

} // namespace
