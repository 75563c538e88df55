#pragma once
// Bar times: wall-clock seconds of the server's clock, counted as if it were UTC. Chart replies and
// live quotes both carry the server's local date and time without a zone, so no zone is applied
// anywhere and bar boundaries fall on the server's minutes, days and weeks.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tc::charts {

// A bar whose date or time could not be read.
inline constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();

struct CivilTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// No range checks: callers pass a valid date.
std::int64_t wallSeconds(const CivilTime& t);
CivilTime civilTime(std::int64_t seconds);

// "MM/dd/yy" and "HH:mm:ss" of a chart reply (one- or two-digit fields; a four-digit year is also
// taken). Two-digit years below 70 are 20xx, the others 19xx. nullopt unless both name a real time.
std::optional<std::int64_t> parseBarTime(std::string_view date, std::string_view time);
// "MM/dd/yyyy HH:mm:ss", the quote time of an instrument.
std::optional<std::int64_t> parseQuoteTime(std::string_view text);

// The date text under the time axis and in the crosshair box: "dd MMM yyyy" for daily and weekly
// bars ("D", "W"), "HH:mm:ss" for ticks ("T", "BA"), "dd MMM HH:mm" otherwise; empty for kNoTime.
std::string axisDateText(std::int64_t seconds, std::string_view intervalText);

} // namespace tc::charts
