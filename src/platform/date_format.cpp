#include "platform/date_format.h"

#include "platform/log.h"

#include <unicode/calendar.h>
#include <unicode/coll.h>
#include <unicode/decimfmt.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/parsepos.h>
#include <unicode/rbnf.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

namespace tc::platform {
namespace {

icu::UnicodeString toUnicode(std::string_view s) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

// ICU falls back to the root locale for unknown names; we want explicit, known locales only.
std::optional<icu::Locale> makeLocale(std::string_view name) {
    if (name.empty() || name.size() > 64)
        return std::nullopt;
    icu::Locale loc(std::string(name).c_str());
    if (loc.isBogus())
        return std::nullopt;
    return loc;
}

// nullptr for an id ICU does not know (it would otherwise hand back "Etc/Unknown" as GMT).
icu::TimeZone* makeZone(std::string_view id) {
    if (id.empty() || id.size() > 64)
        return nullptr;
    icu::TimeZone* tz = icu::TimeZone::createTimeZone(toUnicode(id));
    if (!tz || *tz == icu::TimeZone::getUnknown()) {
        delete tz;
        return nullptr;
    }
    return tz;
}

int32_t countWhitespace(const icu::UnicodeString& s) {
    int32_t n = 0;
    for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1))
        n += u_isUWhiteSpace(s.char32At(i)) ? 1 : 0;
    return n;
}

// Name fields (zone, era, day period) may hold spaces of their own.
bool patternHasSpacedNames(std::string_view pattern) {
    bool quoted = false;
    for (char c : pattern) {
        if (c == '\'')
            quoted = !quoted;
        else if (!quoted && std::string_view("zvVGBb").find(c) != std::string_view::npos)
            return true;
    }
    return false;
}

} // namespace

Date Date::now() {
    using namespace std::chrono;
    return Date{duration<double>(system_clock::now().time_since_epoch()).count()};
}

struct DateFormatter::Impl {
    std::unique_ptr<icu::SimpleDateFormat> fmt;
    // ICU skips whitespace before numeric fields even when not lenient; the count of whitespace
    // characters in a matching text equals the pattern's own (-1: not checked).
    int32_t whitespace = -1;
    // ICU reads abutting numeric fields by trial and error (about 40 us a text); the wire pattern,
    // read for every table row, is split by hand and checked by the same strict calendar.
    std::unique_ptr<icu::Calendar> wireCalendar;
};

DateFormatter::DateFormatter(std::string_view pattern, std::string_view locale, std::string_view timeZone)
    : pattern_(pattern) {
    if (pattern.empty() || pattern.size() > kMaxDateTextBytes)
        return;
    auto loc = makeLocale(locale);
    if (!loc)
        return;
    UErrorCode status = U_ZERO_ERROR;
    auto fmt = std::make_unique<icu::SimpleDateFormat>(toUnicode(pattern), *loc, status);
    if (U_FAILURE(status)) {
        Log::warning("date pattern refused: {}", pattern);
        return;
    }
    if (!timeZone.empty()) {
        icu::TimeZone* tz = makeZone(timeZone);
        if (!tz) {
            Log::warning("unknown time zone: {}", timeZone);
            return;
        }
        fmt->adoptTimeZone(tz);
    }
    // Lenient parsing reads junk such as "2019-13-45" or stray spaces; only exact matches count.
    fmt->setLenient(false);
    fmt->setBooleanAttribute(UDAT_PARSE_ALLOW_WHITESPACE, false, status);
    fmt->setBooleanAttribute(UDAT_PARSE_ALLOW_NUMERIC, false, status);
    fmt->setBooleanAttribute(UDAT_PARSE_PARTIAL_LITERAL_MATCH, false, status);
    fmt->setBooleanAttribute(UDAT_PARSE_MULTIPLE_PATTERNS_FOR_MATCH, false, status);
    if (U_FAILURE(status))
        return;
    impl_ = std::make_unique<Impl>();
    impl_->fmt = std::move(fmt);
    if (!patternHasSpacedNames(pattern))
        impl_->whitespace = countWhitespace(toUnicode(pattern));
    if (pattern == kCompactDateTimePattern)
        impl_->wireCalendar.reset(impl_->fmt->getCalendar()->clone());
}

DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

std::string DateFormatter::format(Date date) const {
    if (!impl_)
        return {};
    icu::UnicodeString out;
    impl_->fmt->format(date.milliseconds(), out);
    return toUtf8(out);
}

std::optional<Date> DateFormatter::parse(std::string_view text) const {
    if (!impl_ || text.empty() || text.size() > kMaxDateTextBytes)
        return std::nullopt;
    if (impl_->wireCalendar) {
        if (text.size() != kCompactDateTimePattern.size() ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        auto field = [&](size_t at, size_t len) {
            int32_t v = 0;
            for (size_t i = at; i < at + len; ++i)
                v = v * 10 + (text[i] - '0');
            return v;
        };
        icu::Calendar& cal = *impl_->wireCalendar;
        cal.clear();
        cal.set(field(0, 4), field(4, 2) - 1, field(6, 2), field(8, 2), field(10, 2), field(12, 2));
        UErrorCode status = U_ZERO_ERROR;
        const UDate d = cal.getTime(status);
        if (U_FAILURE(status))
            return std::nullopt;
        return Date::fromMilliseconds(d);
    }
    // ICU reads every digit of a numeric field, and a fraction of a second long enough overflows its
    // divisor to zero and crashes the process. No field of a date needs more than nine digits.
    std::size_t run = 0;
    for (char c : text) {
        run = c >= '0' && c <= '9' ? run + 1 : 0;
        if (run > kMaxDateDigitRun)
            return std::nullopt;
    }
    icu::UnicodeString u = toUnicode(text);
    if (impl_->whitespace >= 0 && countWhitespace(u) != impl_->whitespace)
        return std::nullopt;
    icu::ParsePosition pos(0);
    UDate d = impl_->fmt->parse(u, pos);
    // Trailing text means the pattern did not describe the whole input.
    if (pos.getErrorIndex() >= 0 || pos.getIndex() != u.length())
        return std::nullopt;
    return Date::fromMilliseconds(d);
}

namespace number {
namespace {

std::unique_ptr<icu::DecimalFormat> decimalFormat(std::string_view locale) {
    auto loc = makeLocale(locale);
    if (!loc)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> nf(icu::NumberFormat::createInstance(*loc, UNUM_DECIMAL, status));
    if (U_FAILURE(status) || !nf)
        return nullptr;
    auto* df = dynamic_cast<icu::DecimalFormat*>(nf.get());
    if (!df)
        return nullptr;
    nf.release();
    return std::unique_ptr<icu::DecimalFormat>(df);
}

} // namespace

std::string decimal(double value, std::string_view locale) {
    auto df = decimalFormat(locale);
    if (!df)
        return {};
    icu::UnicodeString out;
    df->format(value, out);
    return toUtf8(out);
}

std::string decimalRoundedUp(double value, int32_t maxFractionDigits, std::string_view locale) {
    auto df = decimalFormat(locale);
    if (!df)
        return {};
    df->setRoundingMode(icu::DecimalFormat::kRoundUp);
    df->setMaximumFractionDigits(std::clamp(maxFractionDigits, 0, 100));
    icu::UnicodeString out;
    df->format(value, out);
    return toUtf8(out);
}

std::string spellOut(int64_t value, std::string_view locale) {
    auto loc = makeLocale(locale);
    if (!loc)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    icu::RuleBasedNumberFormat rbnf(icu::URBNF_SPELLOUT, *loc, status);
    if (U_FAILURE(status))
        return {};
    icu::UnicodeString out;
    rbnf.format(value, out);
    return toUtf8(out);
}

std::optional<std::string> reprintWithGrouping(std::string_view text, std::string_view locale) {
    constexpr size_t kMaxNumberText = 64;
    if (text.empty() || text.size() > kMaxNumberText)
        return std::nullopt;
    // Only a plain number is taken; ICU on its own would also read exponents, grouping and
    // partial prefixes.
    size_t i = 0;
    if (text[i] == '-')
        ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0 || i != text.size())
        return std::nullopt;
    auto df = decimalFormat(locale);
    if (!df)
        return std::nullopt;
    // The parsed value keeps every decimal digit, so long numbers print without binary noise.
    UErrorCode status = U_ZERO_ERROR;
    icu::Formattable value;
    value.setDecimalNumber(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), status);
    if (U_FAILURE(status))
        return std::nullopt;
    icu::UnicodeString out;
    df->format(value, out, status);
    if (U_FAILURE(status))
        return std::nullopt;
    return toUtf8(out);
}

} // namespace number

int numericCompare(std::string_view a, std::string_view b, std::string_view locale) {
    auto loc = makeLocale(locale);
    if (!loc)
        return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> coll(icu::Collator::createInstance(*loc, status));
    if (U_FAILURE(status) || !coll)
        return a.compare(b);
    coll->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    UCollationResult r =
        coll->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                          icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status))
        return a.compare(b);
    return static_cast<int>(r);
}

bool setDeviceTimeZone(std::string_view zoneId) {
    icu::TimeZone* tz = makeZone(zoneId);
    if (!tz)
        return false;
    icu::TimeZone::adoptDefault(tz);
    return true;
}

void resetDeviceTimeZone() {
    if (icu::TimeZone* tz = icu::TimeZone::detectHostTimeZone())
        icu::TimeZone::adoptDefault(tz);
}

std::string deviceTimeZoneId() {
    std::unique_ptr<icu::TimeZone> tz(icu::TimeZone::createDefault());
    icu::UnicodeString id;
    if (tz)
        tz->getID(id);
    return toUtf8(id);
}

const DateFormatter& cachedFormatter(std::string_view pattern, std::string_view locale,
                                     std::string_view zone) {
    struct Entry {
        std::string zone;
        std::string locale;
        DateFormatter formatter;
    };
    constexpr size_t kEntries = 8;
    thread_local std::vector<Entry> cache;
    for (size_t i = 0; i < cache.size(); ++i) {
        if (cache[i].formatter.pattern() == pattern && cache[i].locale == locale && cache[i].zone == zone) {
            // The most used move to the front.
            if (i > 0)
                std::swap(cache[i], cache[i - 1]);
            return cache[i > 0 ? i - 1 : 0].formatter;
        }
    }
    if (cache.size() == kEntries)
        cache.pop_back();
    cache.push_back(Entry{std::string(zone), std::string(locale), DateFormatter(pattern, locale, zone)});
    return cache.back().formatter;
}

const DateFormatter& deviceFormatter(std::string_view pattern, std::string_view locale) {
    return cachedFormatter(pattern, locale, deviceTimeZoneId());
}

} // namespace tc::platform
