#include "platform/date_format.h"

#include "support/device_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace tc;

using platform::Date;
using platform::DateFormatter;

// 2019-05-01T10:00:00Z
constexpr double kMay1At10 = 1556704800;

using testing_support::DeviceZone;

TEST(DateFormatter, WireFormatRoundTripsInNamedZone) {
    DateFormatter wire(platform::kCompactDateTimePattern, "en_US", "GMT");
    ASSERT_TRUE(wire.valid());
    EXPECT_EQ(wire.format(Date{kMay1At10}), "20190501100000");
    auto d = wire.parse("20190501100000");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->secondsSince1970, kMay1At10);
}

TEST(DateFormatter, RefusesTextsThatDoNotMatchThePattern) {
    DateFormatter wire(platform::kCompactDateTimePattern, "en_US", "GMT");
    for (std::string_view bad : {"", "2019050110000", "20191301100000", "20190230100000", " 20190501100000",
                                 "20190501100000x", "2019-05-01 10:00", "garbage"})
        EXPECT_FALSE(wire.parse(bad)) << bad;
    EXPECT_FALSE(wire.parse(std::string(platform::kMaxDateTextBytes + 1, '1')));

    DateFormatter display("MM/dd/yyyy HH:mm:ss", "en_US", "GMT");
    EXPECT_TRUE(display.parse("05/01/2019 10:00:00"));
    EXPECT_FALSE(display.parse("05/01/2019  10:00:00"));
    EXPECT_FALSE(display.parse("05/01/2019 10:00: 00"));
    EXPECT_FALSE(display.parse("05/01/2019 25:00:00"));

    // A fraction of a second too long to hold is refused before ICU reads it (it used to crash).
    DateFormatter iso("yyyy-MM-dd'T'HH:mm:ss.SSS", "en_US", "GMT");
    EXPECT_TRUE(iso.parse("2015-03-01T00:00:00.123456789"));
    for (std::size_t digits : {10, 40, 200})
        EXPECT_FALSE(iso.parse("2015-03-01T00:00:00." + std::string(digits, '1'))) << digits;
}

TEST(DateFormatter, BadZoneOrPatternGivesAnInertFormatter) {
    DateFormatter zone("yyyy", "en_US", "Mars/Olympus_Mons");
    EXPECT_FALSE(zone.valid());
    EXPECT_EQ(zone.format(Date{kMay1At10}), "");
    EXPECT_FALSE(zone.parse("2019"));
    EXPECT_FALSE(DateFormatter("").valid());
    EXPECT_FALSE(DateFormatter(std::string(platform::kMaxDateTextBytes + 1, 'y')).valid());
}

TEST(DateFormatter, DeviceZoneAppliesOnlyToFormattersWithoutAZone) {
    DeviceZone riyadh("Asia/Riyadh"); // UTC+3 all year
    EXPECT_EQ(platform::deviceTimeZoneId(), "Asia/Riyadh");
    EXPECT_EQ(DateFormatter("HH:mm").format(Date{kMay1At10}), "13:00");
    EXPECT_EQ(DateFormatter("HH:mm", "en_US", "GMT").format(Date{kMay1At10}), "10:00");
    auto local = DateFormatter(platform::kCompactDateTimePattern).parse("20190501130000");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->secondsSince1970, kMay1At10);

    EXPECT_FALSE(platform::setDeviceTimeZone("No/Such_Zone"));
    EXPECT_EQ(platform::deviceTimeZoneId(), "Asia/Riyadh");
}

TEST(DateFormatter, ResetReturnsToTheHostZone) {
    platform::resetDeviceTimeZone();
    const std::string host = platform::deviceTimeZoneId();
    const char* other = host == "Asia/Tokyo" ? "Europe/Paris" : "Asia/Tokyo";
    ASSERT_TRUE(platform::setDeviceTimeZone(other));
    EXPECT_EQ(platform::deviceTimeZoneId(), other);
    platform::resetDeviceTimeZone();
    EXPECT_EQ(platform::deviceTimeZoneId(), host);
}

TEST(DateFormatter, CalendarYearIsNotTheWeekYear) {
    // Monday 2024-12-30 lies in the first week of 2025.
    const Date dec30{1735560000};
    EXPECT_EQ(DateFormatter("MMM dd, yyyy HH:mm:ss", "en_US", "GMT").format(dec30), "Dec 30, 2024 12:00:00");
    EXPECT_EQ(DateFormatter("MMM dd, YYYY HH:mm:ss", "en_US", "GMT").format(dec30), "Dec 30, 2025 12:00:00");
}

TEST(DateFormatter, TwelveHourClockReadsAndPrints) {
    DateFormatter f("MMM dd, yyyy hh:mm:ss a", "en_US", "GMT");
    auto d = f.parse("May 01, 2019 01:05:09 PM");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->secondsSince1970, kMay1At10 + 3 * 3600 + 5 * 60 + 9);
    EXPECT_EQ(f.format(Date{kMay1At10}), "May 01, 2019 10:00:00 AM");
}

TEST(NumberFormat, DecimalStyleGroupsAndRounds) {
    EXPECT_EQ(platform::number::decimal(1234567.891), "1,234,567.891");
    EXPECT_EQ(platform::number::decimal(-1234.5), "-1,234.5");
    EXPECT_EQ(platform::number::decimal(2.0), "2");
}

TEST(NumberFormat, RoundUpGoesAwayFromZero) {
    using platform::number::decimalRoundedUp;
    EXPECT_EQ(decimalRoundedUp(1.231, 2), "1.24");
    EXPECT_EQ(decimalRoundedUp(-1.231, 2), "-1.24");
    EXPECT_EQ(decimalRoundedUp(1234.01, 0), "1,235");
    EXPECT_EQ(decimalRoundedUp(1.2, 2), "1.2");
    // 1.1 is just above 1.1 in binary; rounding the shortest decimal form keeps it 1.1.
    EXPECT_EQ(decimalRoundedUp(1.1, 1), "1.1");
    EXPECT_EQ(decimalRoundedUp(1.01, -3), "2");
}

TEST(NumberFormat, SpellOutInEnglish) {
    using platform::number::spellOut;
    EXPECT_EQ(spellOut(42), "forty-two");
    EXPECT_EQ(spellOut(0), "zero");
    EXPECT_EQ(spellOut(-7), "minus seven");
    EXPECT_EQ(spellOut(1000000), "one million");
    EXPECT_EQ(spellOut(115), "one hundred fifteen");
}

TEST(NumberFormat, ReprintTakesOnlyPlainNumbersAndKeepsEveryDigit) {
    using platform::number::reprintWithGrouping;
    EXPECT_EQ(reprintWithGrouping("1234567.891"), "1,234,567.891");
    EXPECT_EQ(reprintWithGrouping("-1234"), "-1,234");
    EXPECT_EQ(reprintWithGrouping(".5"), "0.5");
    // Decimal digits, not the nearest double: no binary noise in long numbers.
    EXPECT_EQ(reprintWithGrouping("12345678901234567890"), "12,345,678,901,234,567,890");
    // At most 3 fraction digits, ties to even on the decimal value.
    EXPECT_EQ(reprintWithGrouping("1.2345"), "1.234");
    EXPECT_EQ(reprintWithGrouping("1.2355"), "1.236");
    for (std::string_view bad : {"", "-", ".", "1,234", "1e5", "abc", "12abc", " 12", "1.2.3", "+5"})
        EXPECT_FALSE(reprintWithGrouping(bad)) << bad;
    EXPECT_FALSE(reprintWithGrouping(std::string(65, '9')));
}

TEST(NumericCompare, DigitRunsCompareByValue) {
    EXPECT_LT(platform::numericCompare("A9", "A10"), 0);
    EXPECT_GT(platform::numericCompare("A10", "A9"), 0);
    EXPECT_EQ(platform::numericCompare("A10", "A10"), 0);
    std::vector<std::string> names{"Order 10", "Order 2", "Order 1", "Order 100"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return platform::numericCompare(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::string>{"Order 1", "Order 2", "Order 10", "Order 100"}));
}

} // namespace

namespace {

// The wire pattern is read by a shortcut; it must agree with ICU's own reading of the same fields.
TEST(DateFormatter, WireShortcutAgreesWithIcu) {
    for (std::string_view zone : {"GMT", "America/New_York", "Asia/Riyadh"}) {
        DateFormatter wire(platform::kCompactDateTimePattern, "en_US", zone);
        DateFormatter spaced("yyyy MM dd HH mm ss", "en_US", zone);
        for (std::string_view text :
             {"20190501100000", "20240229235959", "20230229000000", "20241231240000", "20240101006000",
              "20240101000060", "20240001000000", "20240100000000", "00000101000000", "00010101000000",
              "99991231235959", "20240310023000", "20241103013000", "20240310013000"}) {
            const std::string split = std::string(text.substr(0, 4)) + " " + std::string(text.substr(4, 2)) +
                                      " " + std::string(text.substr(6, 2)) + " " +
                                      std::string(text.substr(8, 2)) + " " + std::string(text.substr(10, 2)) +
                                      " " + std::string(text.substr(12, 2));
            auto a = wire.parse(text);
            auto b = spaced.parse(split);
            EXPECT_EQ(a.has_value(), b.has_value()) << zone << " " << text;
            if (a && b) {
                EXPECT_EQ(a->secondsSince1970, b->secondsSince1970) << zone << " " << text;
            }
        }
        EXPECT_FALSE(wire.parse("2019050110000a"));
        EXPECT_FALSE(wire.parse("+2019050110000"));
    }
}

} // namespace
