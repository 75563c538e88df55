#pragma once
// Number, date, spell-out and rich-text conversions shared by every window and snapshot loader.
// Every formatter uses the locale "en_US" and the device's time zone, so display text never depends
// on the user's region; a fresh formatter is made per call, so everything here is thread-safe.
#include "platform/date_format.h"
#include "platform/decimal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class Formatter {
public:
    // Patterns of the system. Calendar years are "yyyy": "YYYY" is the week-based year, which
    // prints the next year in the last days of December.
    static constexpr std::string_view kWireDateTime = platform::kCompactDateTimePattern;
    static constexpr std::string_view kNullWireDateTime = "00010101000000";
    static constexpr std::string_view kDisplayDate = "MM/dd/yyyy";
    static constexpr std::string_view kDisplayDateTime = "MM/dd/yyyy HH:mm:ss";
    static constexpr std::string_view kDisplayTime = "HH:mm:ss";
    static constexpr std::string_view kEventDateTime = "MMM dd, yyyy HH:mm:ss";
    static constexpr std::string_view kEventDateTime12h = "MMM dd, yyyy hh:mm:ss a";
    static constexpr std::string_view kIsoDateTimeWithOffset = "yyyy-MM-dd'T'HH:mm:ssZZZ";
    static constexpr std::string_view kIsoDateTimeMillis = "yyyy-MM-dd'T'HH:mm:ss.SSS";
    static constexpr std::string_view kIsoDateTime = "yyyy-MM-dd'T'HH:mm:ss";
    static constexpr std::string_view kLocale = "en_US";
    // Longest text taken by the text conversions; longer texts are refused.
    static constexpr size_t kMaxTextBytes = 1 << 20;
    // Furthest getDate() looks ahead (about 27 centuries).
    static constexpr uint64_t kMaxDaysAhead = 1'000'000;

    // Fixed notation with `decimals` fraction digits (2 when decimals is 0 or negative, at most 64),
    // rounded to nearest from the exact binary value, no grouping, "." whatever the process locale.
    static std::string formatDecimal(double value, int32_t decimals);
    // The same of an amount's nearest double, so an amount prints alike whether held as a decimal or
    // a double ("%.2f" of 0.125 gives 0.12).
    static std::string formatDecimal(const platform::Decimal& value, int32_t decimals);
    // A plain number text re-printed with grouping: "1234567.891" -> "1,234,567.891" (0 to 3 fraction
    // digits, half-even). nullopt when the text is not a plain number.
    static std::optional<std::string> formatDecimalWithString(std::string_view text);
    // The same with at least two fraction digits, as amounts show ("1234.5" -> "1,234.50"); a text
    // that is not a plain number comes back as it is, padded the same way.
    static std::string formatAmountWithString(std::string_view text);
    // Grouped decimal text rounded away from zero to at most fractionDigits digits.
    static std::string roundupDouble(double value, int32_t fractionDigits);
    // The text's leading integer (0 when none) in English words.
    static std::string spelloutFromString(std::string_view text);
    // "{0}".."{9}" become the positional arguments "%1$@".."%10$@". Texts over the cap come back as is.
    static std::string formatIndexForString(std::string_view text);

    // The wire date-time text of a date.
    static std::string setAmpFormat(platform::Date date);
    // "MM/dd/yyyy".
    static std::string formatDate(platform::Date date);
    // "MM/dd/yyyy HH:mm:ss" in the device's zone.
    static std::string formatDateTime(platform::Date date);
    // Reads `text` with sourceFormat and prints it with destinationFormat in the device's zone.
    // "" for an empty text or the null wire date; nullopt when the text does not match.
    static std::optional<std::string> formatDateAndTimeFromString(std::string_view text,
                                                                  std::string_view sourceFormat,
                                                                  std::string_view destinationFormat);
    // Reads a text carrying a UTC offset ("+03:00", "-0230", "Z"; none means universal time) and
    // prints that moment in the device's zone. nullopt when the text does not match sourceFormat.
    static std::optional<std::string> dateStringFromString(std::string_view text,
                                                           std::string_view sourceFormat,
                                                           std::string_view destinationFormat);
    // A wire date-time for display. Wire times are universal time and are shown as universal time
    // whatever the device's zone, so both snapshot forms and the feed show the server's clock alike:
    // an offset in the text is applied, a text without one is taken as universal time. "" for an
    // empty text or the null wire date; nullopt when the text does not match sourceFormat.
    static std::optional<std::string> wireDateString(std::string_view text, std::string_view sourceFormat,
                                                     std::string_view destinationFormat);
    // ISO local date-time, with or without milliseconds, printed with destinationFormat; "" for an empty
    // text, the text itself when it is not ISO.
    static std::string formatDateAndTimeFromString(std::string_view text, std::string_view destinationFormat);
    // ISO local date-time, with or without milliseconds, in the device's zone.
    static std::optional<platform::Date> formatDateFromString(std::string_view text);
    // An "en_US" formatter in the device's zone.
    static platform::DateFormatter getDateFormatter(std::string_view pattern);
    // The date plus that many Gregorian calendar days in the device's zone (wall-clock time kept across
    // daylight-saving changes). nullopt past kMaxDaysAhead.
    static std::optional<platform::Date> getDate(platform::Date date, uint64_t daysAhead);
    // "HH:mm:ss" of a "MM/dd/yyyy HH:mm:ss" text (what a narrow table column shows of it); the text
    // unchanged when it does not match.
    static std::string timeOfDisplayDateTime(std::string_view dateString);

    // Plain text to an RTF document (chat messages travel as RTF; the chat's RtfReader reads them).
    static std::string convertStringToRTF(std::string_view text);
};

} // namespace tc
