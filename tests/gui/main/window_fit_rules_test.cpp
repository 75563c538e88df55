// The toolbar's groups sharing a narrow window's width, without widgets.
#include "gui/main/window_fit_rules.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::toolbarRows;

TEST(WindowFitRulesTest, ToolbarGroupsFillARowThenWrapInOrder) {
    // Wide enough for all: one row.
    EXPECT_EQ(toolbarRows({200, 150, 300}, 10, 700), (std::vector<int>{0, 0, 0}));
    // Exactly the room, separators counted: still one row; a pixel less and the last wraps.
    EXPECT_EQ(toolbarRows({200, 150, 300}, 10, 670), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(toolbarRows({200, 150, 300}, 10, 669), (std::vector<int>{0, 0, 1}));
    // A group that starts a row takes no separator: a short group after a wrapped one joins it.
    EXPECT_EQ(toolbarRows({300, 300, 300, 90}, 10, 400), (std::vector<int>{0, 1, 2, 2}));
    // A group wider than the room stands alone, and those after it start a row of their own.
    EXPECT_EQ(toolbarRows({100, 500, 100}, 10, 400), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(toolbarRows({}, 10, 400).empty());
}

} // namespace
