#pragma once
// The chart reply: a header "<f0~key~...>", then six columns separated by "#" (dates "MM/dd/yy",
// times "HH:mm:ss", closes, highs, lows, opens), each a list of items separated by ",", oldest
// first, and an optional "<END>". Item i of every column belongs to bar i.
#include "charts/bar_series.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tc::charts {

// Longer reply texts are refused whole.
inline constexpr std::size_t kMaxChartReplyBytes = 16 * 1024 * 1024;

// The chart key of a reply: the second "~" field of the header between the first character and
// the first ">". nullopt when the reply has no such header.
std::optional<std::string> chartReplyKey(std::string_view text);

// The bars of a reply, read by position: every "<...>" is dropped (header, end marker), the six
// columns are taken in order (an empty column stays in its place) and item i of each column goes
// to bar i, an empty or unreadable item leaving that field missing (NaN, or kNoTime for a date or
// time) instead of moving the later items up. There is one bar per close item; trailing empty
// closes (a final ",") are not bars. At most BarSeries::kMaxBars bars are read. A bar with a date
// and no time (an empty item, or no times column at all) starts at 00:00:00 of its day.
BarSeries parseChartBars(std::string_view text);

// A plain decimal number of an outside text (blanks around it allowed); nullopt for anything
// else, including infinities and NaN.
std::optional<double> readPrice(std::string_view item);

} // namespace tc::charts
