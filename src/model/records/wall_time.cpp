#include "model/records/wall_time.h"

#include "model/text/formatter.h"
#include "platform/date_format.h"

#include <array>

namespace tc {

namespace {

using namespace std::chrono;

// Reads `count` digits at `at`; -1 when one is not a digit.
int digitsAt(std::string_view t, std::size_t at, std::size_t count) {
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const unsigned d = static_cast<unsigned char>(t[i]) - unsigned{'0'};
        if (d > 9)
            return -1;
        v = v * 10 + static_cast<int>(d);
    }
    return v;
}

std::optional<WallTime> civil(int y, int mo, int d, int h, int mi, int s) {
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!date.ok())
        return std::nullopt;
    return sys_days{date} + hours{h} + minutes{mi} + seconds{s};
}

// "MM/dd/yyyy HH:mm:ss", as the formatter writes it.
std::optional<WallTime> fromDisplay(std::string_view t) {
    if (t.size() != 19 || t[2] != '/' || t[5] != '/' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    return civil(digitsAt(t, 6, 4), digitsAt(t, 0, 2), digitsAt(t, 3, 2), digitsAt(t, 11, 2),
                 digitsAt(t, 14, 2), digitsAt(t, 17, 2));
}

void twoDigits(std::string& out, unsigned v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

struct Parts {
    unsigned year, month, day, hour, minute, second;
};

Parts partsOf(WallTime time) {
    const sys_days days = floor<std::chrono::days>(time);
    const year_month_day date{days};
    const hh_mm_ss clock{time - days};
    return {static_cast<unsigned>(static_cast<int>(date.year())),
            static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()),
            static_cast<unsigned>(clock.hours().count()),
            static_cast<unsigned>(clock.minutes().count()),
            static_cast<unsigned>(clock.seconds().count())};
}

void appendClock(std::string& out, const Parts& p, std::string_view colon) {
    twoDigits(out, p.hour);
    out += colon;
    twoDigits(out, p.minute);
    out += colon;
    twoDigits(out, p.second);
}

} // namespace

std::optional<WallTime> wallTimeFromWire(std::string_view t) {
    if (t.size() == 14) {
        if (auto time = civil(digitsAt(t, 0, 4), digitsAt(t, 4, 2), digitsAt(t, 6, 2), digitsAt(t, 8, 2),
                              digitsAt(t, 10, 2), digitsAt(t, 12, 2)))
            return t == Formatter::kNullWireDateTime ? std::nullopt : time;
    }
    return wallTimeFromText(t, Formatter::kWireDateTime);
}

std::optional<WallTime> wallTimeFromText(std::string_view text, std::string_view sourceFormat) {
    // Through the formatter, which knows every pattern and its null time; its universal digits are the
    // wall clock's.
    const auto display = Formatter::wireDateString(text, sourceFormat, Formatter::kDisplayDateTime);
    return display ? fromDisplay(*display) : std::nullopt;
}

std::optional<WallTime> wallTimeFromIso(std::string_view t) {
    // Statements carry thousands of these: the usual form is read here, anything else by the formatter.
    if ((t.size() == 19 || (t.size() == 23 && t[19] == '.' && digitsAt(t, 20, 3) >= 0)) && t[4] == '-' &&
        t[7] == '-' && t[10] == 'T' && t[13] == ':' && t[16] == ':') {
        if (auto time = civil(digitsAt(t, 0, 4), digitsAt(t, 5, 2), digitsAt(t, 8, 2), digitsAt(t, 11, 2),
                              digitsAt(t, 14, 2), digitsAt(t, 17, 2)))
            return time;
    }
    if (auto time = wallTimeFromText(t, Formatter::kIsoDateTimeMillis))
        return time;
    return wallTimeFromText(t, Formatter::kIsoDateTime);
}

std::string displayDateTime(std::optional<WallTime> time) {
    std::string out;
    if (!time)
        return out;
    const Parts p = partsOf(*time);
    out.reserve(19);
    twoDigits(out, p.month);
    out += '/';
    twoDigits(out, p.day);
    out += '/';
    twoDigits(out, p.year / 100);
    twoDigits(out, p.year);
    out += ' ';
    appendClock(out, p, ":");
    return out;
}

std::string displayDate(std::optional<WallTime> time) {
    std::string out = displayDateTime(time);
    if (!out.empty())
        out.resize(10);
    return out;
}

std::string wallTimeText(std::optional<WallTime> time, std::string_view pattern) {
    if (!time)
        return {};
    // The digits are the server's clock: printed in universal time, no zone moves them.
    const auto seconds = time->time_since_epoch().count();
    return platform::cachedFormatter(pattern, "en_US", "UTC")
        .format(platform::Date{static_cast<double>(seconds)});
}

std::string eventDateTime12h(std::optional<WallTime> time) {
    static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string out;
    if (!time)
        return out;
    Parts p = partsOf(*time);
    if (p.month < 1 || p.month > 12 || p.year > 9999)
        return wallTimeText(time, Formatter::kEventDateTime12h);
    out.reserve(24);
    out += kMonths[p.month - 1];
    out += ' ';
    twoDigits(out, p.day);
    out += ", ";
    twoDigits(out, p.year / 100);
    twoDigits(out, p.year);
    out += ' ';
    const bool afternoon = p.hour >= 12;
    p.hour = p.hour % 12 == 0 ? 12 : p.hour % 12;
    appendClock(out, p, ":");
    out += afternoon ? " PM" : " AM";
    return out;
}

std::string clockTime(std::optional<WallTime> time) {
    std::string out;
    if (time) {
        out.reserve(8);
        appendClock(out, partsOf(*time), ":");
    }
    return out;
}

std::string wireDateTime(std::optional<WallTime> time) {
    std::string out;
    if (!time)
        return out;
    const Parts p = partsOf(*time);
    out.reserve(14);
    twoDigits(out, p.year / 100);
    twoDigits(out, p.year);
    twoDigits(out, p.month);
    twoDigits(out, p.day);
    appendClock(out, p, "");
    return out;
}

std::optional<DayTime> dayTimeFromWire(std::string_view t) {
    if ((t.size() != 5 && t.size() != 8) || t[2] != ':' || (t.size() == 8 && t[5] != ':'))
        return std::nullopt;
    const int h = digitsAt(t, 0, 2), mi = digitsAt(t, 3, 2), s = t.size() == 8 ? digitsAt(t, 6, 2) : 0;
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    return hours{h} + minutes{mi} + seconds{s};
}

std::string dayTimeText(std::optional<DayTime> time) {
    std::string out;
    if (!time)
        return out;
    const hh_mm_ss clock{*time};
    out.reserve(8);
    twoDigits(out, static_cast<unsigned>(clock.hours().count()));
    out += ':';
    twoDigits(out, static_cast<unsigned>(clock.minutes().count()));
    if (clock.seconds().count() != 0) {
        out += ':';
        twoDigits(out, static_cast<unsigned>(clock.seconds().count()));
    }
    return out;
}

} // namespace tc
