#include "gui/plot/axis_tag_rules.h"

#include <gtest/gtest.h>

using tc::gui::AxisTag;
using tc::gui::spreadTags;

namespace {

using Tops = std::vector<double>;

TEST(AxisTags, OverlappingTagsArePushedApartAboutTheirPricesWithinTheAxis) {
    // Apart already: each stands centred on its price.
    EXPECT_EQ(spreadTags({{20, 16}, {80, 16}}, 0, 100), (Tops{12, 72}));
    // Two prices a pip apart: each gives way half, in the order given (the higher price first).
    EXPECT_EQ(spreadTags({{52, 16}, {50, 16}}, 0, 100), (Tops{51, 35}));
    // Three on one price stack about it.
    EXPECT_EQ(spreadTags({{50, 10}, {50, 10}, {50, 10}}, 0, 100), (Tops{35, 45, 55}));
    // A push that reaches a third tag takes it along.
    EXPECT_EQ(spreadTags({{40, 10}, {42, 10}, {53, 10}}, 0, 100), (Tops{30, 40, 50}));
    // At either end of the axis the other one gives way.
    EXPECT_EQ(spreadTags({{2, 16}, {3, 16}}, 0, 100), (Tops{0, 16}));
    EXPECT_EQ(spreadTags({{99, 16}, {98, 16}}, 0, 100), (Tops{84, 68}));
    // An axis too short for both: apart all the same, from its top.
    EXPECT_EQ(spreadTags({{10, 16}, {10, 16}}, 0, 20), (Tops{0, 16}));
    EXPECT_TRUE(spreadTags({}, 0, 100).empty());
}

} // namespace
