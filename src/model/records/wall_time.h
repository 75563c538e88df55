#pragma once
// Times as the server's clock writes them: no zone is applied, so the digits shown are the digits
// sent. Records hold these; only cells and texts turn them into words.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

using WallTime = std::chrono::sys_seconds;

// "yyyyMMddHHmmss": nullopt for the wire's null time ("00010101000000"), an empty text and anything
// that names no real time.
std::optional<WallTime> wallTimeFromWire(std::string_view text);
// The date-time pattern of texts with a UTC offset ("2024-06-27T20:00:00+03:00").
inline constexpr std::string_view kZonedTimeFormat = "yyyy-MM-dd'T'HH:mm:ssZZZ";
// A date-time text of `sourceFormat` (a date formatter pattern, in universal time): nullopt as above.
std::optional<WallTime> wallTimeFromText(std::string_view text, std::string_view sourceFormat);
// "yyyy-MM-ddTHH:mm:ss", with or without ".SSS" (dropped): nullopt as above.
std::optional<WallTime> wallTimeFromIso(std::string_view text);

// "MM/dd/yyyy HH:mm:ss"; "" without a time.
std::string displayDateTime(std::optional<WallTime> time);
// "MM/dd/yyyy"; "" without a time.
std::string displayDate(std::optional<WallTime> time);
// In a date formatter pattern of its own ("dd/MM/yyyy hh:mm:ss a"); "" without a time.
std::string wallTimeText(std::optional<WallTime> time, std::string_view pattern);
// "MMM dd, yyyy hh:mm:ss a" as en_US writes it ("Jan 31, 2024 03:45:00 PM"), without ICU: a journal
// line's time; "" without a time.
std::string eventDateTime12h(std::optional<WallTime> time);
// "HH:mm:ss"; "" without a time.
std::string clockTime(std::optional<WallTime> time);
// "yyyyMMddHHmmss"; "" without a time.
std::string wireDateTime(std::optional<WallTime> time);

// A time of day from midnight, as market schedules give it.
using DayTime = std::chrono::seconds;

// "HH:mm" or "HH:mm:ss": nullopt for anything else.
std::optional<DayTime> dayTimeFromWire(std::string_view text);
// "HH:mm", with ":ss" only when the seconds are not zero (as the server writes it); "" without one.
std::string dayTimeText(std::optional<DayTime> time);

} // namespace tc
