#include "charts/bar_time.h"

#include <array>
#include <charconv>
#include <fmt/format.h>

namespace tc::charts {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days algorithm).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[static_cast<std::size_t>(m - 1)] + (m == 2 && leapYear(y));
}

// Splits "a<sep>b<sep>c" into three unsigned numbers of 1..maxDigits digits each (the last may have
// up to lastMaxDigits).
bool threeNumbers(std::string_view text, char sep, int maxDigits, int lastMaxDigits, int out[3],
                  int* lastDigits = nullptr) {
    for (int part = 0; part < 3; ++part) {
        const std::size_t end = part < 2 ? text.find(sep) : text.size();
        if (end == std::string_view::npos)
            return false;
        const std::string_view digits = text.substr(0, end);
        const int limit = part < 2 ? maxDigits : lastMaxDigits;
        if (digits.empty() || digits.size() > static_cast<std::size_t>(limit))
            return false;
        for (char c : digits)
            if (c < '0' || c > '9')
                return false;
        std::from_chars(digits.data(), digits.data() + digits.size(), out[part]);
        if (part == 2 && lastDigits)
            *lastDigits = static_cast<int>(digits.size());
        text.remove_prefix(part < 2 ? end + 1 : end);
    }
    return true;
}

std::optional<std::int64_t> compose(int year, int month, int day, std::string_view time) {
    int hms[3];
    if (!threeNumbers(time, ':', 2, 2, hms))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hms[0] > 23 || hms[1] > 59 ||
        hms[2] > 59)
        return std::nullopt;
    return wallSeconds({year, month, day, hms[0], hms[1], hms[2]});
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::int64_t wallSeconds(const CivilTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime civilTime(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Inverse of daysFromCivil.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    return {y,
            m,
            d,
            static_cast<int>(rest / 3600),
            static_cast<int>(rest / 60 % 60),
            static_cast<int>(rest % 60)};
}

std::optional<std::int64_t> parseBarTime(std::string_view date, std::string_view time) {
    int mdy[3];
    int yearDigits = 0;
    if (!threeNumbers(trimmed(date), '/', 2, 4, mdy, &yearDigits) || yearDigits == 3 || yearDigits == 1)
        return std::nullopt;
    int year = mdy[2];
    if (yearDigits == 2)
        year += year < 70 ? 2000 : 1900;
    return compose(year, mdy[0], mdy[1], trimmed(time));
}

std::optional<std::int64_t> parseQuoteTime(std::string_view text) {
    text = trimmed(text);
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return std::nullopt;
    int mdy[3];
    int yearDigits = 0;
    if (!threeNumbers(text.substr(0, blank), '/', 2, 4, mdy, &yearDigits) || yearDigits != 4)
        return std::nullopt;
    return compose(mdy[2], mdy[0], mdy[1], trimmed(text.substr(blank + 1)));
}

std::string axisDateText(std::int64_t seconds, std::string_view intervalText) {
    if (seconds == kNoTime)
        return {};
    static constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CivilTime t = civilTime(seconds);
    const std::string_view month = kMonths[static_cast<std::size_t>(t.month - 1)];
    if (intervalText == "D" || intervalText == "W")
        return fmt::format("{:02} {} {:04}", t.day, month, t.year);
    if (intervalText == "T" || intervalText == "BA")
        return fmt::format("{:02}:{:02}:{:02}", t.hour, t.minute, t.second);
    return fmt::format("{:02} {} {:02}:{:02}", t.day, month, t.hour, t.minute);
}

} // namespace tc::charts
