#include "gui/charts/chart_slot_config.h"
#include "platform/strict_integer.h"
#include "platform/user_defaults.h"

namespace tc::gui {
namespace {

constexpr std::size_t kMaxCodeLength = 64;

std::optional<int> smallNumber(std::string_view text, int low, int high) {
    const auto value = platform::strictInteger<int>(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::string slotText(const ChartSlotConfig& config) {
    return config.code + "#" + std::to_string(config.interval) + "#" + std::to_string(config.type);
}

std::optional<ChartSlotConfig> parseSlotText(std::string_view text) {
    const std::size_t first = text.find('#');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = text.find('#', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const std::string_view code = text.substr(0, first);
    const auto interval = smallNumber(text.substr(first + 1, second - first - 1), 1, 8);
    const auto type = smallNumber(text.substr(second + 1), 1, 3);
    if (code.empty() || code.size() > kMaxCodeLength || !interval || !type)
        return std::nullopt;
    return ChartSlotConfig{std::string(code), *interval, *type};
}

std::array<std::optional<ChartSlotConfig>, kChartSlots>
startingSlots(const std::vector<std::string>& stored, const std::vector<std::string>& watchList,
              const std::function<bool(std::string_view code)>& known) {
    std::array<std::optional<ChartSlotConfig>, kChartSlots> slots;
    for (std::size_t i = 0; i < kChartSlots; ++i) {
        if (i < stored.size()) {
            if (auto config = parseSlotText(stored[i]); config && known(config->code)) {
                slots[i] = std::move(*config);
                continue;
            }
        }
        if (!watchList.empty())
            slots[i] = ChartSlotConfig{watchList.front(), static_cast<int>(i) + 1, 3};
    }
    return slots;
}

void storeChartSlot(platform::UserDefaults& defaults, std::size_t index, const std::string& text) {
    if (index >= kChartSlots)
        return;
    const auto setSlot = [index, text](std::optional<platform::PlistValue> value) {
        // Whatever is not a text reads as an empty slot, as startingSlots() takes it.
        platform::PlistArray slots;
        if (value && value->isArray())
            for (const platform::PlistValue& item : *value->array())
                slots.push_back(item.isString() ? item : platform::PlistValue(std::string()));
        if (slots.size() < kChartSlots)
            slots.resize(kChartSlots, platform::PlistValue(std::string()));
        slots[index] = platform::PlistValue(text);
        return std::optional(platform::PlistValue(std::move(slots)));
    };
    defaults.edit(kChartSlotsKey, setSlot, platform::UserDefaults::ListMerge::Places);
    defaults.synchronize();
}

} // namespace tc::gui
