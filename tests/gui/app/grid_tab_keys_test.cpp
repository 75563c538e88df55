#include "gui/app/grid_tab_keys.h"

#include "gui/gui_test_support.h"

#include <QApplication>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

namespace {

TEST(GridTabKeys, TabAndCtrlTabLeaveAGridAndTheArrowsMoveInsideIt) {
    tc::gui::GridTabKeys keys;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QPushButton(QStringLiteral("Before"));
    auto* table = new QTableView;
    auto* after = new QPushButton(QStringLiteral("Place Order"));
    QStandardItemModel model(3, 3);
    table->setModel(&model);
    for (QWidget* w :
         {static_cast<QWidget*>(before), static_cast<QWidget*>(table), static_cast<QWidget*>(after)})
        layout->addWidget(w);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(guitest::waitForActive(&window));
    // Into the grid as a trader enters it: a click on its first cell.
    ASSERT_TRUE(guitest::clickInto(table->viewport(), table->visualRect(model.index(0, 0)).center()));
    ASSERT_EQ(QApplication::focusWidget(), table);
    ASSERT_EQ(table->currentIndex(), model.index(0, 0));

    guitest::pressKey(Qt::Key_Right);
    EXPECT_EQ(table->currentIndex(), model.index(0, 1)) << "the arrows move inside";
    guitest::pressKey(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), after);
    EXPECT_EQ(table->currentIndex(), model.index(0, 1)) << "the current cell stays";
    guitest::pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), table);
    guitest::pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), before);

    ASSERT_TRUE(guitest::tabTo(table));
    guitest::pressKey(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), after) << "Ctrl+Tab leaves as Tab does";
    ASSERT_TRUE(guitest::tabTo(table));
    guitest::pressKey(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), before);
    EXPECT_EQ(table->currentIndex(), model.index(0, 1));
}

} // namespace
