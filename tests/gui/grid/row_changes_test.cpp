#include "gui/grid/row_changes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace tc::gui;

namespace {

using Ids = std::vector<std::string>;

std::vector<std::string_view> views(const Ids& ids) {
    return {ids.begin(), ids.end()};
}

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
        const auto changes = rowChanges(views(c.before), views(c.after));
        ASSERT_TRUE(changes);
        EXPECT_EQ(*changes, c.changes);
        EXPECT_EQ(applied(c.before, *changes, c.after), c.after);
    }
}

TEST(RowChanges, AReorderOrARepeatedIdIsALayoutChange) {
    EXPECT_FALSE(rowChanges({"1", "2", "3"}, {"3", "1"}));
    EXPECT_FALSE(rowChanges({"1", "1"}, {"1"}));
    EXPECT_FALSE(rowChanges({"1"}, {"2", "2"}));
    // An id the changed middle shares with the rows that stay at either end.
    EXPECT_FALSE(rowChanges({"1", "2", "3"}, {"1", "4", "1", "3"}));
    EXPECT_FALSE(rowChanges({"1", "2", "3"}, {"1", "3", "3"}));
}

// A few rows added, dropped, moved or repeated among many, anywhere: the changes lead to the new rows
// exactly when the rows that stay keep their order and no id repeats, and are a layout change
// otherwise.
TEST(RowChanges, AFewRowsChangedAmongManyAnywhere) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        Ids before;
        const int size = static_cast<int>(random() % 40);
        for (int i = 0; i < size; ++i)
            before.push_back(std::to_string(i));
        Ids after = before;
        for (int edit = static_cast<int>(random() % 4); edit > 0; --edit) {
            const auto at = [&] {
                return after.begin() + (after.empty() ? 0 : random() % (after.size() + 1));
            };
            switch (random() % 4) {
            case 0:
                after.insert(at(), "n" + std::to_string(random() % 5));
                break;
            case 1:
                if (!after.empty())
                    after.erase(after.begin() + random() % after.size());
                break;
            case 2:
                if (!after.empty())
                    after.insert(at(), after[random() % after.size()]);
                break;
            default:
                if (after.size() > 1) {
                    const std::size_t i = random() % after.size(), j = random() % after.size();
                    std::swap(after[i], after[j]);
                }
            }
        }
        const bool repeats = std::set<std::string>(after.begin(), after.end()).size() != after.size();
        // The rows that stay, in the new order, by their place before.
        std::vector<std::ptrdiff_t> stayed;
        for (const std::string& id : after)
            if (const auto it = std::find(before.begin(), before.end(), id); it != before.end())
                stayed.push_back(it - before.begin());
        const bool inOrder = std::is_sorted(stayed.begin(), stayed.end());
        const auto changes = rowChanges(views(before), views(after));
        EXPECT_EQ(changes.has_value(), !repeats && inOrder);
        if (changes) {
            EXPECT_EQ(applied(before, *changes, after), after);
        }
    }
}

} // namespace
