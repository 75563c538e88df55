#include "gui/app/gui_context.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_model.h"
#include "gui/models/session_fixture.h"

#include <QHeaderView>

namespace {

using guitest::waitFor;

class GridTableTest : public guitest::SessionTest {};

TEST_F(GridTableTest, ShowsTheDemosPositionsWithTheGridsColumnsAndFollowsTheTheme) {
    context->setClientModel(session.get());
    ASSERT_TRUE(signIn());
    tc::gui::GridTable table(*context, tc::gui::Grid::OpenPositions);
    tc::gui::GridModel& model = table.gridModel();
    EXPECT_TRUE(waitFor([&] { return table.model()->rowCount() >= 2; }, 15000));
    for (int column = 0; column < model.columnCount(); ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(table.isColumnHidden(column), model.columnSpec(column).hiddenByDefault);
        if (!table.isColumnHidden(column) && column + 1 < model.columnCount()) {
            // The grid's width, widened where the header's title needs more.
            EXPECT_GE(table.columnWidth(column), model.columnSpec(column).width);
            EXPECT_GT(table.columnWidth(column), table.titleWidth(column));
        }
    }
    EXPECT_EQ(table.horizontalHeader()->sortIndicatorSection(), -1) << "the session's order until a click";
    EXPECT_EQ(model.theme(), 0);
    context->themes().saveTheme(1);
    EXPECT_EQ(model.theme(), 1);
}

} // namespace
