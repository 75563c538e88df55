#include "gui/plot/axis_tag_rules.h"

#include <gtest/gtest.h>

using tc::gui::AxisTag;
using tc::gui::spreadTags;

namespace {

using Tops = std::vector<double>;

TEST(AxisTags, OverlappingTagsArePushedApartAboutTheirPricesWithinTheAxis) {
    EXPECT_EQ(spreadTags({{20, 16}, {80, 16}}, 0, 100), (Tops{12, 72})) << "apart: each on its price";
    EXPECT_EQ(spreadTags({{52, 16}, {50, 16}}, 0, 100), (Tops{51, 35})) << "each gives way half";
    EXPECT_EQ(spreadTags({{40, 10}, {42, 10}, {53, 10}}, 0, 100), (Tops{30, 40, 50}))
        << "a push takes a third";
    EXPECT_EQ(spreadTags({{99, 16}, {98, 16}}, 0, 100), (Tops{84, 68}))
        << "at the bottom the other gives way";
    EXPECT_EQ(spreadTags({{10, 16}, {10, 16}}, 0, 20), (Tops{0, 16}))
        << "an axis too short: apart all the same";
}

} // namespace
