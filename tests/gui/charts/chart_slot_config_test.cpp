// The chart slots' configuration as kept between sign-ins.
#include "gui/charts/chart_slot_config.h"
#include "platform/user_defaults.h"
#include "support/settings_lock.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tc;
using tc::gui::ChartSlotConfig;

TEST(ChartSlotConfig, TextsRoundTripAndRefuseWhatNoSlotCanShow) {
    const ChartSlotConfig config{"EURUSD", 8, 2};
    EXPECT_EQ(gui::slotText(config), "EURUSD#8#2");
    EXPECT_EQ(gui::parseSlotText("EURUSD#8#2"), config);
    for (const char* bad : {"", "EURUSD", "EURUSD#1", "#1#3", "EURUSD#0#3", "EURUSD#9#3", "EURUSD#1#4",
                            "EURUSD#1#3#", "EURUSD#x#3", "EURUSD# 1#3", "EURUSD#1#-3"})
        EXPECT_FALSE(gui::parseSlotText(bad)) << bad;
    EXPECT_FALSE(gui::parseSlotText(std::string(65, 'A') + "#1#3")) << "no instrument code is that long";
    EXPECT_TRUE(gui::parseSlotText(std::string(64, 'A') + "#1#3"));
}

TEST(ChartSlotConfig, SlotsStartFromWhatWasStoredElseFromTheWatchList) {
    auto known = [](std::string_view code) { return code != "GONE"; };
    const std::vector<std::string> watch{"GBPUSD", "EURUSD"};
    // Nothing stored: the first watched instrument at M1, M5, M10 and M15, as candlesticks.
    auto slots = gui::startingSlots({}, watch, known);
    for (std::size_t i = 0; i < gui::kChartSlots; ++i) {
        ASSERT_TRUE(slots[i]) << i;
        EXPECT_EQ(*slots[i], (ChartSlotConfig{"GBPUSD", int(i) + 1, 3}));
    }
    // Stored slots come back; an unreadable text or an instrument the session lacks falls back.
    slots = gui::startingSlots({"XAUUSD#7#1", "junk", "GONE#2#2"}, watch, known);
    EXPECT_EQ(*slots[0], (ChartSlotConfig{"XAUUSD", 7, 1}));
    EXPECT_EQ(*slots[1], (ChartSlotConfig{"GBPUSD", 2, 3}));
    EXPECT_EQ(*slots[2], (ChartSlotConfig{"GBPUSD", 3, 3}));
    EXPECT_EQ(*slots[3], (ChartSlotConfig{"GBPUSD", 4, 3}));
    // An empty watch list leaves the slots without a stored chart empty.
    slots = gui::startingSlots({"XAUUSD#1#3"}, {}, known);
    EXPECT_TRUE(slots[0]);
    EXPECT_FALSE(slots[1]);
}

// Two programs on one home: A sets slot 1, B slot 3; the file keeps both, and each program's other
// slots stay as the other left them.
TEST(ChartSlotConfig, TwoProgramsStoringSlotsKeepEachOthersSlots) {
    testing_support::TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    testing_support::seedStringArray(file, gui::kChartSlotsKey,
                                     {"EURUSD#1#3", "EURUSD#2#3", "EURUSD#3#3", "EURUSD#4#3"});
    platform::UserDefaults a(file);
    platform::UserDefaults b(file);
    gui::storeChartSlot(a, 0, "EURUSD#6#3");
    gui::storeChartSlot(b, 2, "GBPUSD#7#1");
    const std::vector<std::string> both{"EURUSD#6#3", "EURUSD#2#3", "GBPUSD#7#1", "EURUSD#4#3"};
    EXPECT_EQ(platform::UserDefaults(file).stringArrayForKey(gui::kChartSlotsKey), both);
    EXPECT_EQ(b.stringArrayForKey(gui::kChartSlotsKey), both);
    // A short or damaged list takes the slot in its place, the rest empty.
    a.setStringArray(gui::kChartSlotsKey, {"EURUSD#1#3"});
    gui::storeChartSlot(a, 3, "");
    gui::storeChartSlot(a, 4, "NOSLOT#1#1");
    EXPECT_EQ(platform::UserDefaults(file).stringArrayForKey(gui::kChartSlotsKey),
              (std::vector<std::string>{"EURUSD#1#3", "", "", ""}));
}

// A slot changed at quit behind another program's lock is set in its place at the next start, beside
// the slot the other program changed meanwhile.
TEST(ChartSlotConfig, ASlotKeptAsideAtQuitKeepsItsPlace) {
    testing_support::TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    testing_support::seedStringArray(file, gui::kChartSlotsKey,
                                     {"EURUSD#1#3", "EURUSD#2#3", "EURUSD#3#3", "EURUSD#4#3"});
    platform::UserDefaults other(file);
    testing_support::SettingsLock lock(file);
    ASSERT_TRUE(lock.held());
    {
        platform::UserDefaults quitting(file);
        gui::storeChartSlot(quitting, 0, "XAUUSD#6#3");
        EXPECT_TRUE(quitting.finishSaves(std::chrono::milliseconds(100)));
    }
    lock.release();
    gui::storeChartSlot(other, 2, "GBPUSD#7#1");
    platform::UserDefaults next(file);
    ASSERT_TRUE(next.waitForPendingSave(std::chrono::seconds(60)));
    EXPECT_EQ(platform::UserDefaults(file).stringArrayForKey(gui::kChartSlotsKey),
              (std::vector<std::string>{"XAUUSD#6#3", "EURUSD#2#3", "GBPUSD#7#1", "EURUSD#4#3"}));
}

} // namespace
