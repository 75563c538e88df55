#include "model/text/formatter.h"

#include "platform/log.h"
#include "platform/rtf_writer.h"
#include "wire/wire_date.h"

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace tc {

using platform::Date;
using platform::DateFormatter;

namespace {

const DateFormatter& deviceFormatter(std::string_view pattern) {
    return platform::deviceFormatter(pattern, Formatter::kLocale);
}

const DateFormatter& universalFormatter(std::string_view pattern) {
    return platform::cachedFormatter(pattern, Formatter::kLocale, "GMT");
}

} // namespace

std::string Formatter::formatDecimal(double value, int32_t decimals) {
    const int precision = decimals <= 0 ? 2 : std::min(decimals, 64);
    // The largest double has 309 integer digits.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (ec != std::errc())
        return {};
    return std::string(buf, end);
}

std::string Formatter::formatDecimal(const platform::Decimal& value, int32_t decimals) {
    return formatDecimal(value.toDouble(), decimals);
}

std::optional<std::string> Formatter::formatDecimalWithString(std::string_view text) {
    return platform::number::reprintWithGrouping(text, kLocale);
}

std::string Formatter::formatAmountWithString(std::string_view text) {
    std::string grouped = formatDecimalWithString(text).value_or(std::string(text));
    const std::size_t point = grouped.find('.');
    if (point == std::string::npos)
        grouped += ".00";
    else if (grouped.size() - point - 1 < 2)
        grouped.append(2 - (grouped.size() - point - 1), '0');
    return grouped;
}

std::string Formatter::roundupDouble(double value, int32_t fractionDigits) {
    return platform::number::decimalRoundedUp(value, fractionDigits, kLocale);
}

std::string Formatter::spelloutFromString(std::string_view text) {
    // Like reading a leading integer: leading spaces, a sign, digits; the rest is ignored and values
    // out of range stop at the 64-bit limits.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    int64_t value = 0;
    if (i > start) {
        uint64_t magnitude = 0;
        auto [p, ec] = std::from_chars(text.data() + start, text.data() + i, magnitude);
        (void)p;
        constexpr uint64_t maxPositive = std::numeric_limits<int64_t>::max();
        if (ec == std::errc::result_out_of_range || magnitude > maxPositive + (negative ? 1 : 0))
            value = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
        else if (negative)
            value = magnitude == maxPositive + 1 ? std::numeric_limits<int64_t>::min()
                                                 : -static_cast<int64_t>(magnitude);
        else
            value = static_cast<int64_t>(magnitude);
    }
    return platform::number::spellOut(value, kLocale);
}

std::string Formatter::formatIndexForString(std::string_view text) {
    if (text.size() > kMaxTextBytes) {
        platform::Log::warning("placeholder text of {} bytes left as is", text.size());
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9' &&
            text[i + 2] == '}') {
            out += '%';
            out += std::to_string(text[i + 1] - '0' + 1);
            out += "$@";
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Formatter::setAmpFormat(Date date) {
    return wire::dateText(date);
}

std::string Formatter::formatDate(Date date) {
    return deviceFormatter(kDisplayDate).format(date);
}

std::string Formatter::formatDateTime(Date date) {
    return deviceFormatter(kDisplayDateTime).format(date);
}

std::optional<std::string> Formatter::formatDateAndTimeFromString(std::string_view text,
                                                                  std::string_view sourceFormat,
                                                                  std::string_view destinationFormat) {
    if (text.empty() || text == kNullWireDateTime)
        return std::string();
    auto date = deviceFormatter(sourceFormat).parse(text);
    if (!date)
        return std::nullopt;
    return deviceFormatter(destinationFormat).format(*date);
}

std::optional<std::string> Formatter::dateStringFromString(std::string_view text,
                                                           std::string_view sourceFormat,
                                                           std::string_view destinationFormat) {
    // Read in universal time: an offset in the text wins, a text without one is taken as UTC.
    DateFormatter reader(sourceFormat, kLocale, "GMT");
    auto date = reader.parse(text);
    if (!date && !text.empty() && text.size() < platform::kMaxDateTextBytes)
        date = reader.parse(std::string(text) + "+0000");
    if (!date)
        return std::nullopt;
    return deviceFormatter(destinationFormat).format(*date);
}

namespace {

int twoDigits(std::string_view s, std::size_t at) {
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// A wire date-time naming a real calendar second ("yyyyMMddHHmmss"), printed as "MM/dd/yyyy" with or
// without " HH:mm:ss" by moving its digits: universal time has no gaps, so nothing else can change.
// Tables print such a date per row; this spares them the formatter. nullopt for anything else.
std::optional<std::string> rearrangedWireDate(std::string_view t, bool withTime) {
    if (t.size() != 14 || !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int year = twoDigits(t, 0) * 100 + twoDigits(t, 2);
    const int month = twoDigits(t, 4);
    const int day = twoDigits(t, 6);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap) ||
        twoDigits(t, 8) > 23 || twoDigits(t, 10) > 59 || twoDigits(t, 12) > 59)
        return std::nullopt;
    std::string out;
    out.reserve(19);
    out.append(t.substr(4, 2)).append(1, '/').append(t.substr(6, 2)).append(1, '/').append(t.substr(0, 4));
    if (withTime) {
        out.append(1, ' ').append(t.substr(8, 2)).append(1, ':').append(t.substr(10, 2)).append(1, ':');
        out.append(t.substr(12, 2));
    }
    return out;
}

} // namespace

std::optional<std::string> Formatter::wireDateString(std::string_view text, std::string_view sourceFormat,
                                                     std::string_view destinationFormat) {
    if (text.empty() || text == kNullWireDateTime)
        return std::string();
    if (sourceFormat == kWireDateTime &&
        (destinationFormat == kDisplayDateTime || destinationFormat == kDisplayDate))
        if (auto quick = rearrangedWireDate(text, destinationFormat == kDisplayDateTime))
            return quick;
    const DateFormatter& reader = universalFormatter(sourceFormat);
    auto date = reader.parse(text);
    if (!date && text.size() < platform::kMaxDateTextBytes && sourceFormat.ends_with('Z'))
        date = reader.parse(std::string(text) + "+0000");
    if (!date)
        return std::nullopt;
    return universalFormatter(destinationFormat).format(*date);
}

std::string Formatter::formatDateAndTimeFromString(std::string_view text,
                                                   std::string_view destinationFormat) {
    if (text.empty())
        return {};
    auto date = formatDateFromString(text);
    if (!date)
        return std::string(text);
    return deviceFormatter(destinationFormat).format(*date);
}

std::optional<Date> Formatter::formatDateFromString(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    if (auto d = deviceFormatter(kIsoDateTimeMillis).parse(text))
        return d;
    return deviceFormatter(kIsoDateTime).parse(text);
}

DateFormatter Formatter::getDateFormatter(std::string_view pattern) {
    return DateFormatter(pattern, kLocale);
}

std::optional<Date> Formatter::getDate(Date date, uint64_t daysAhead) {
    if (daysAhead > kMaxDaysAhead)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar cal(icu::TimeZone::createDefault(), icu::Locale("en_US"), status);
    if (U_FAILURE(status))
        return std::nullopt;
    cal.setTime(date.milliseconds(), status);
    cal.add(UCAL_DATE, static_cast<int32_t>(daysAhead), status);
    UDate result = cal.getTime(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return Date::fromMilliseconds(result);
}

std::string Formatter::timeOfDisplayDateTime(std::string_view dateString) {
    // Read and print in one fixed zone so the wall-clock time comes out exactly as written, even in
    // an hour skipped by a daylight-saving change.
    DateFormatter reader(kDisplayDateTime, kLocale, "GMT");
    auto date = reader.parse(dateString);
    if (!date)
        return std::string(dateString);
    return DateFormatter(kDisplayTime, kLocale, "GMT").format(*date);
}

std::string Formatter::convertStringToRTF(std::string_view text) {
    return platform::rtfFromPlainText(text);
}

} // namespace tc
