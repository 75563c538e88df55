#include "gui/grid/row_changes.h"

#include <gtest/gtest.h>

using namespace tc::gui;

namespace {

using Ids = std::vector<std::string>;

// Applies the changes as a table model would, to check they lead from `before` to `after`.
Ids applied(Ids rows, const std::vector<RowChange>& changes, const Ids& after) {
    for (const RowChange& c : changes) {
        const auto at = rows.begin() + static_cast<std::ptrdiff_t>(c.first);
        if (c.kind == RowChange::Kind::Remove)
            rows.erase(at, at + static_cast<std::ptrdiff_t>(c.count));
        else
            rows.insert(at, after.begin() + static_cast<std::ptrdiff_t>(c.first),
                        after.begin() + static_cast<std::ptrdiff_t>(c.first + c.count));
    }
    return rows;
}

TEST(RowChanges, RemovalsAndInsertionsLeadToTheNewRows) {
    using K = RowChange::Kind;
    struct Case {
        Ids before, after;
        std::vector<RowChange> changes;
    };
    const Case cases[] = {
        {{"1", "2", "3"}, {"1", "2", "3"}, {}},
        {{}, {"1", "2"}, {{K::Insert, 0, 2}}},
        {{"1", "2", "3", "4", "5"}, {"1", "4"}, {{K::Remove, 4, 1}, {K::Remove, 1, 2}}},
        {{"1", "2", "3"},
         {"0", "1", "3", "4", "5"},
         {{K::Remove, 1, 1}, {K::Insert, 0, 1}, {K::Insert, 3, 2}}},
        {{"1", "2"}, {"3"}, {{K::Remove, 0, 2}, {K::Insert, 0, 1}}},
    };
    for (const Case& c : cases) {
        const auto changes = rowChanges(c.before, c.after);
        ASSERT_TRUE(changes);
        EXPECT_EQ(*changes, c.changes);
        EXPECT_EQ(applied(c.before, *changes, c.after), c.after);
    }
}

TEST(RowChanges, AReorderOrARepeatedIdIsALayoutChange) {
    EXPECT_FALSE(rowChanges({"1", "2", "3"}, {"3", "1"}));
    EXPECT_FALSE(rowChanges({"1", "1"}, {"1"}));
    EXPECT_FALSE(rowChanges({"1"}, {"2", "2"}));
}

} // namespace
