#include "charts/chart_interval.h"

#include <array>
#include <charconv>

namespace tc::charts {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::optional<int> integerPart(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<ChartType> chartTypeOf(int value) {
    if (value < 1 || value > 4)
        return std::nullopt;
    return static_cast<ChartType>(value);
}

ChartInterval chartInterval(int code) {
    static constexpr std::array<ChartInterval, 10> kTable{{
        {0, "T", "Tick", 1, "90500"},
        {1, "O", "One Minute", 60, "90501"},
        {2, "5", "Five Minutes", 300, "90502"},
        {3, "1", "Ten Minutes", 600, "90503"},
        {4, "15", "Fifteen Minutes", 900, "90504"},
        {5, "3", "Thirty Minutes", 1800, "90505"},
        {6, "H", "Hourly", 3600, "90506"},
        {7, "D", "Daily", 86400, "90507"},
        {8, "W", "Weekly", 604800, "90508"},
        {9, "BA", "Mini Tick", 1, "90509"},
    }};
    if (code >= 0 && code < static_cast<int>(kTable.size()))
        return kTable[static_cast<std::size_t>(code)];
    return {code, "T", {}, 1, {}};
}

std::optional<StartKey> parseStartKey(std::string_view key) {
    const std::size_t hash = key.find('#');
    if (hash == std::string_view::npos)
        return std::nullopt;
    // Parts that are not numbers count as 0, as an integer reading of a text gives.
    return StartKey{integerPart(key.substr(0, hash)).value_or(0),
                    integerPart(key.substr(hash + 1)).value_or(0)};
}

std::string chartKey(std::string_view code, std::string_view intervalText) {
    std::string key;
    key.reserve(code.size() + 1 + intervalText.size());
    key.append(code).append(1, '^').append(intervalText);
    return key;
}

std::int64_t barStart(std::int64_t t, std::int64_t seconds) {
    if (seconds <= 1)
        return t;
    // 1970-01-01 was a Thursday: weeks are counted from Monday 1969-12-29.
    const std::int64_t origin = seconds % 604800 == 0 ? -3 * 86400 : 0;
    return floorDiv(t - origin, seconds) * seconds + origin;
}

} // namespace tc::charts
