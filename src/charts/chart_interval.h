#pragma once
// Chart intervals and types, the start key "interval#type" that windows hand to a chart, and the
// chart key that names a chart's bars in the reply cache.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc::charts {

enum class ChartType : int { Line = 1, Ohlc = 2, Candlestick = 3, BidAsk = 4 };

// Types 1..4; anything else draws no price plot.
std::optional<ChartType> chartTypeOf(int value);

struct ChartInterval {
    int code = 0;
    std::string_view text; // sent to the server: "T", "O", "5", "1", "15", "3", "H", "D", "W", "BA"
    std::string_view name; // the English name, for logs and title(); empty for an unknown code
    std::int64_t seconds = 1;
    std::string_view textKey; // the name's key in the language tables; empty for an unknown code
};

// Codes 0..9; any other code sends "T" with 1-second bars and has no name of its own (the chart
// keeps the name it showed before).
ChartInterval chartInterval(int code);

struct StartKey {
    int interval = 0;
    int type = 0;
};
// "9#4" gives interval 9, type 4. nullopt without a "#" and a second part.
std::optional<StartKey> parseStartKey(std::string_view key);

// "EURUSD^O": instrument code, "^", interval text.
std::string chartKey(std::string_view code, std::string_view intervalText);

// The start of the bar of `seconds` length holding time t: bars of a day or shorter start on
// multiples of their length counted from midnight, weekly bars on Monday 00:00.
std::int64_t barStart(std::int64_t t, std::int64_t seconds);

} // namespace tc::charts
