#pragma once
// Dates and numbers printed and read through ICU, always with an explicit locale, so the text never
// depends on the process locale or the user's region.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc::platform {

// A point in time: seconds since 1970-01-01T00:00:00Z, fractions allowed (the same scale as the
// platform's "time interval since 1970"). ICU's UDate is this value times 1000.
struct Date {
    double secondsSince1970 = 0.0;

    static Date now();
    static Date fromMilliseconds(double ms) { return Date{ms / 1000.0}; }
    double milliseconds() const { return secondsSince1970 * 1000.0; }

    friend auto operator<=>(const Date&, const Date&) = default;
};

// Fourteen digits, year to second: read by hand instead of through ICU's trial and error, as fast as
// every table row needs it.
inline constexpr std::string_view kCompactDateTimePattern = "yyyyMMddHHmmss";

// Longest date text or pattern accepted; dates are short, anything longer is refused outright.
inline constexpr size_t kMaxDateTextBytes = 256;
// Longest run of digits a parsed date text may hold (the wire form is read apart).
inline constexpr size_t kMaxDateDigitRun = 9;

// One date pattern in one locale and time zone. Parsing is strict: the whole text must match the
// pattern and name a real calendar date. Not to be shared between threads without a lock.
class DateFormatter {
public:
    // An empty time zone means the device's zone (see setDeviceTimeZone); otherwise an ICU zone id
    // such as "GMT" or "Europe/London". A bad pattern, locale or zone gives a formatter for which
    // valid() is false: it prints "" and parses nothing.
    explicit DateFormatter(std::string_view pattern, std::string_view locale = "en_US",
                           std::string_view timeZone = {});
    ~DateFormatter();
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;

    bool valid() const { return impl_ != nullptr; }
    const std::string& pattern() const { return pattern_; }

    std::string format(Date date) const;
    std::optional<Date> parse(std::string_view text) const;

private:
    struct Impl;
    std::string pattern_;
    std::unique_ptr<Impl> impl_;
};

// A formatter of `pattern`, `locale` and time zone kept per thread: making one costs more than using it,
// and tables format a date per row. Valid until the thread's next call.
const DateFormatter& cachedFormatter(std::string_view pattern, std::string_view locale,
                                     std::string_view zone);
// The same in the device's current zone.
const DateFormatter& deviceFormatter(std::string_view pattern, std::string_view locale = "en_US");

// Number helpers, all in an explicit locale.
namespace number {

// The decimal style: grouping every three digits, 0 to 3 fraction digits, half-even rounding.
std::string decimal(double value, std::string_view locale = "en_US");
// The decimal style rounded away from zero to at most maxFractionDigits (clamped to 0..100).
std::string decimalRoundedUp(double value, int32_t maxFractionDigits, std::string_view locale = "en_US");
// The value in words by the locale's spell-out rules: 42 -> "forty-two".
std::string spellOut(int64_t value, std::string_view locale = "en_US");
// Reads a plain decimal number (optional '-', digits, optional '.' and digits; no grouping) and prints
// it in the decimal style. The whole text must be a number; nullopt otherwise.
std::optional<std::string> reprintWithGrouping(std::string_view text, std::string_view locale = "en_US");

} // namespace number

// Compares two texts as the user expects in sorted lists: digit runs by numeric value ("A9" < "A10").
// Returns <0, 0 or >0.
int numericCompare(std::string_view a, std::string_view b, std::string_view locale = "en_US");

// The device's time zone, used by formatters made without a zone. It starts as the host zone (TZ).
// Returns false, changing nothing, for an unknown zone id.
bool setDeviceTimeZone(std::string_view zoneId);
// Goes back to the host's zone.
void resetDeviceTimeZone();
std::string deviceTimeZoneId();

} // namespace tc::platform
