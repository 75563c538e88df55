#pragma once
// What a chart slot of the main window shows (instrument, interval, type), as kept in the user
// defaults between sign-ins, and how the four slots start.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

inline constexpr std::size_t kChartSlots = 4;
// The user-defaults key of the four slots' texts.
inline constexpr char kChartSlotsKey[] = "ChartSlots";

struct ChartSlotConfig {
    std::string code;
    int interval = 1; // 1..8, M1 to W1
    int type = 3;     // 1 line, 2 OHLC bars, 3 candlesticks
    friend bool operator==(const ChartSlotConfig&, const ChartSlotConfig&) = default;
};

// "EURUSD#1#3".
std::string slotText(const ChartSlotConfig& config);
// nullopt for anything but a code of 1 to 64 characters without "#", an interval 1..8 and a type
// 1..3.
std::optional<ChartSlotConfig> parseSlotText(std::string_view text);

// How the slots start: slot i takes its stored text when that names an instrument the session knows
// (`known`), else the first watch-list instrument at interval i + 1 as candlesticks; with neither the
// slot stays empty.
std::array<std::optional<ChartSlotConfig>, kChartSlots>
startingSlots(const std::vector<std::string>& stored, const std::vector<std::string>& watchList,
              const std::function<bool(std::string_view code)>& known);

// Keeps one slot's text (empty for an empty slot) in the stored list and saves; the other slots stay
// as the file has them, so another program on the same home keeps its own slots' changes.
void storeChartSlot(platform::UserDefaults& defaults, std::size_t index, const std::string& text);

} // namespace tc::gui
