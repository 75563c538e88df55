#include "platform/ordered_map.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tc;

using platform::OrderedMap;

template <class M>
std::vector<std::string> keysOf(const M& m) {
    std::vector<std::string> keys;
    for (const auto& [k, v] : m)
        keys.push_back(k);
    return keys;
}

TEST(OrderedMap, IteratesInFirstInsertionOrderAndReplacingKeepsThePlace) {
    OrderedMap<std::string, int> m;
    EXPECT_TRUE(m.insert_or_assign("30", 1).second);
    EXPECT_TRUE(m.insert_or_assign("4", 2).second);
    EXPECT_TRUE(m.insert_or_assign("100", 3).second);
    // Neither lexical nor numeric order: the order of arrival.
    EXPECT_EQ(keysOf(m), (std::vector<std::string>{"30", "4", "100"}));

    auto [it, inserted] = m.insert_or_assign("4", 20);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(it->second, 20);
    EXPECT_EQ(keysOf(m), (std::vector<std::string>{"30", "4", "100"}));
    EXPECT_EQ(m.size(), 3u);
    EXPECT_EQ(m.front().first, "30");
    EXPECT_EQ(m.back().first, "100");
}

TEST(OrderedMap, EraseKeepsTheOrderOfTheRestAndAReinsertGoesLast) {
    OrderedMap<std::string, int> m{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}};
    EXPECT_EQ(m.erase("b"), 1u);
    EXPECT_EQ(m.erase("b"), 0u);
    EXPECT_EQ(keysOf(m), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_FALSE(m.contains("b"));

    // Erasing the first entry makes the next one the front.
    auto next = m.erase(m.find("a"));
    EXPECT_EQ(next->first, "c");
    EXPECT_EQ(m.front().first, "c");

    m.insert_or_assign("a", 10);
    EXPECT_EQ(keysOf(m), (std::vector<std::string>{"c", "d", "a"}));
    EXPECT_EQ(m.at("a"), 10);
}

TEST(OrderedMap, LookupsByViewAndMissingKeys) {
    OrderedMap<std::string, int> m{{"EURUSD", 1}};
    const std::string_view view = std::string_view("xEURUSDx").substr(1, 6);
    EXPECT_TRUE(m.contains(view));
    EXPECT_EQ(m.find(view)->second, 1);
    EXPECT_EQ(m.count("EURUSD"), 1u);
    ASSERT_NE(m.get(view), nullptr);
    *m.get(view) = 5;
    EXPECT_EQ(m.at(std::string("EURUSD")), 5);

    EXPECT_EQ(m.find("GBPUSD"), m.end());
    EXPECT_EQ(m.get("GBPUSD"), nullptr);
    EXPECT_THROW(m.at("GBPUSD"), std::out_of_range);
    const auto& cm = m;
    EXPECT_THROW(cm.at(""), std::out_of_range);
    EXPECT_EQ(cm.find("x"), cm.end());
}

TEST(OrderedMap, TryEmplaceAndSubscriptDoNotDisturbExistingEntries) {
    OrderedMap<int, std::string> m;
    EXPECT_TRUE(m.try_emplace(7, "seven").second);
    EXPECT_FALSE(m.try_emplace(7, "other").second);
    EXPECT_EQ(m.at(7), "seven");
    m[3] += "three"; // made empty at the end, then appended to
    EXPECT_EQ(m.back().first, 3);
    EXPECT_EQ(m.at(3), "three");
    EXPECT_EQ(m.size(), 2u);
}

TEST(OrderedMap, ReferencesSurviveGrowthAndOtherErasures) {
    OrderedMap<std::string, int> m;
    m.insert_or_assign("keep", 1);
    int* kept = m.get("keep");
    for (int i = 0; i < 1000; ++i)
        m.insert_or_assign(std::to_string(i), i);
    for (int i = 0; i < 1000; i += 2)
        m.erase(std::to_string(i));
    EXPECT_EQ(kept, m.get("keep"));
    EXPECT_EQ(*kept, 1);
    EXPECT_EQ(m.size(), 501u);
    // The odd keys are still in ascending order behind "keep".
    int expected = 1;
    for (auto it = std::next(m.begin()); it != m.end(); ++it, expected += 2)
        EXPECT_EQ(it->second, expected);
}

TEST(OrderedMap, CopiesAreIndependentAndMovesKeepTheIndex) {
    OrderedMap<std::string, int> a{{"x", 1}, {"y", 2}};
    OrderedMap<std::string, int> b = a;
    b.insert_or_assign("x", 100);
    b.erase("y");
    EXPECT_EQ(a.at("x"), 1);
    EXPECT_TRUE(a.contains("y"));
    // The copy's index points into the copy, not the source.
    EXPECT_EQ(b.at("x"), 100);
    EXPECT_EQ(b.size(), 1u);

    OrderedMap<std::string, int> c = std::move(a);
    EXPECT_EQ(keysOf(c), (std::vector<std::string>{"x", "y"}));
    c.erase("x");
    EXPECT_EQ(c.front().first, "y");

    b = c;
    EXPECT_TRUE(b == c);
    b.insert_or_assign("z", 3);
    EXPECT_FALSE(c.contains("z"));
    b.clear();
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.begin(), b.end());
}

TEST(OrderedMap, HoldsMoveOnlyValues) {
    OrderedMap<std::string, std::unique_ptr<int>> m;
    m.insert_or_assign("a", std::make_unique<int>(1));
    m.insert_or_assign("a", std::make_unique<int>(2));
    EXPECT_EQ(*m.at("a"), 2);
    auto moved = std::move(m);
    EXPECT_EQ(*moved.front().second, 2);
}

TEST(OrderedMap, CrowdedKeysAreFoundAfterEveryInsertAndErase) {
    // Thousands of scattered keys make runs of neighbouring buckets in the index; erasing from the
    // middle of a run must leave every later key of it reachable.
    OrderedMap<int, int> m;
    std::map<int, int> expected;
    auto agree = [&] {
        ASSERT_EQ(m.size(), expected.size());
        for (const auto& [key, value] : expected) {
            const int* found = m.get(key);
            ASSERT_NE(found, nullptr) << key;
            EXPECT_EQ(*found, value);
        }
    };
    std::mt19937 random(7);
    std::vector<int> keys(3000);
    for (int& key : keys)
        key = static_cast<int>(random() % 1'000'000);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        m.insert_or_assign(keys[i], static_cast<int>(i));
        expected[keys[i]] = static_cast<int>(i);
    }
    agree();
    for (std::size_t i = 0; i < keys.size(); i += 3) {
        m.erase(keys[i]);
        expected.erase(keys[i]);
    }
    agree();
    EXPECT_FALSE(m.contains(keys[0]));
    for (std::size_t i = 0; i < keys.size(); i += 7) {
        m.insert_or_assign(keys[i], -1);
        expected[keys[i]] = -1;
    }
    agree();
    for (auto it = m.begin(); it != m.end();) {
        if (it->first % 2 == 0) {
            expected.erase(it->first);
            it = m.erase(it);
        } else {
            ++it;
        }
    }
    agree();
}

} // namespace
