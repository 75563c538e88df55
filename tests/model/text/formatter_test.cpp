#include "model/text/formatter.h"

#include "support/device_zone.h"

#include <gtest/gtest.h>

#include <unicode/locid.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <locale>
#include <string>

namespace {

using namespace tc;

using platform::Date;

constexpr double kMay1At10 = 1556704800; // 2019-05-01T10:00:00Z

using testing_support::DeviceZone;

std::string printfFixed(double v, int precision) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", precision, v);
    return buf;
}

TEST(FormatDecimal, FixedNotationWithTwoDigitsForZero) {
    EXPECT_EQ(Formatter::formatDecimal(1.23456, 0), "1.23");
    EXPECT_EQ(Formatter::formatDecimal(1.23456, 5), "1.23456");
    EXPECT_EQ(Formatter::formatDecimal(-0.5, 1), "-0.5");
    EXPECT_EQ(Formatter::formatDecimal(1234567.0, 2), "1234567.00");
    EXPECT_EQ(Formatter::formatDecimal(-0.0, 2), "-0.00");
    EXPECT_EQ(Formatter::formatDecimal(7.0, -4), "7.00");
    EXPECT_EQ(Formatter::formatDecimal(1e300, 2).size(), 301u + 3u);
}

TEST(FormatDecimal, RoundsLikePrintfOnTheBinaryValue) {
    // 2.675 is stored just below .675; 0.125 is an exact tie and goes to even.
    EXPECT_EQ(Formatter::formatDecimal(2.675, 2), "2.67");
    EXPECT_EQ(Formatter::formatDecimal(0.125, 2), "0.12");
    EXPECT_EQ(Formatter::formatDecimal(0.1, 20), "0.10000000000000000555");
    // The C library in the "C" locale is the reference.
    const double values[] = {0.0,        1.005, -1.005,  2.5,        3.5,    1e-7,
                             123456.789, 0.045, -99.995, 1e15 + 0.3, 5e-324, 1.7976931348623157e308,
                             0.3 - 0.1};
    for (double v : values)
        for (int d = 1; d <= 12; ++d)
            EXPECT_EQ(Formatter::formatDecimal(v, d), printfFixed(v, d)) << v << " " << d;
    EXPECT_EQ(Formatter::formatDecimal(std::numeric_limits<double>::infinity(), 2), "inf");
}

// A C++ global locale whose decimal point is ',' and whose grouping is '.'.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(FormatDecimal, IgnoresTheCppAndIcuDefaultLocales) {
    const std::locale savedCpp = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale savedIcu = icu::Locale::getDefault();
    icu::Locale::setDefault(icu::Locale("de_DE"), status);

    EXPECT_EQ(Formatter::formatDecimal(1234.5, 1), "1234.5");
    EXPECT_EQ(Formatter::formatDecimalWithString("1234567.891"), "1,234,567.891");
    EXPECT_EQ(Formatter::roundupDouble(1234.561, 2), "1,234.57");
    EXPECT_EQ(Formatter::spelloutFromString("3"), "three");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("20191201100000", Formatter::kWireDateTime, "MMM yyyy"),
              "Dec 2019");

    icu::Locale::setDefault(savedIcu, status);
    std::locale::global(savedCpp);
}

TEST(FormatDecimal, IgnoresTheCProcessLocale) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8",  "fr_FR.UTF-8",
                                "fr_FR.utf8",  "ru_RU.UTF-8", "de_DE"};
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* found = nullptr;
    for (const char* c : candidates) {
        if (std::setlocale(LC_ALL, c)) {
            found = c;
            break;
        }
    }
    if (!found)
        GTEST_SKIP() << "no locale with a ',' decimal point is installed (see `locale -a`)";
    EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    EXPECT_EQ(Formatter::formatDecimal(1234.5, 1), "1234.5");
    EXPECT_EQ(Formatter::formatDecimalWithString("1234.5"), "1,234.5");
    std::setlocale(LC_ALL, saved.c_str());
}

// Amounts show grouped with at least two decimals; more are kept.
TEST(FormatAmountWithString, GroupsAndPadsToTwoDecimals) {
    EXPECT_EQ(Formatter::formatAmountWithString("1234567"), "1,234,567.00");
    EXPECT_EQ(Formatter::formatAmountWithString("1234.5"), "1,234.50");
    EXPECT_EQ(Formatter::formatAmountWithString("-0.125"), "-0.125");
    EXPECT_EQ(Formatter::formatAmountWithString("12.30"), "12.30");
}

// Grouping and rounding up are the platform's number texts, tested there.
TEST(SpelloutFromString, LeadingIntegerInWords) {
    EXPECT_EQ(Formatter::spelloutFromString("12abc"), "twelve");
    EXPECT_EQ(Formatter::spelloutFromString("42"), "forty-two");
    EXPECT_EQ(Formatter::spelloutFromString("  -7 apples"), "minus seven");
    EXPECT_EQ(Formatter::spelloutFromString("+3"), "three");
    EXPECT_EQ(Formatter::spelloutFromString("abc"), "zero");
    EXPECT_EQ(Formatter::spelloutFromString(""), "zero");
    EXPECT_EQ(Formatter::spelloutFromString("2.9"), "two");
    // Out of range stops at the 64-bit limits instead of wrapping.
    EXPECT_EQ(Formatter::spelloutFromString("99999999999999999999"),
              Formatter::spelloutFromString("9223372036854775807"));
    EXPECT_EQ(Formatter::spelloutFromString("-99999999999999999999"),
              Formatter::spelloutFromString("-9223372036854775808"));
    EXPECT_NE(Formatter::spelloutFromString("-9223372036854775808"),
              Formatter::spelloutFromString("-9223372036854775807"));
}

TEST(FormatIndexForString, PlaceholdersBecomePositionalArguments) {
    EXPECT_EQ(Formatter::formatIndexForString("a {1} b {0} {1}"), "a %2$@ b %1$@ %2$@");
    EXPECT_EQ(Formatter::formatIndexForString("Order {0} of {9}"), "Order %1$@ of %10$@");
    EXPECT_EQ(Formatter::formatIndexForString("no braces here"), "no braces here");
    EXPECT_EQ(Formatter::formatIndexForString("{10} {x} {} {{0}}"), "{10} {x} {} {%1$@}");
    EXPECT_EQ(Formatter::formatIndexForString("{0"), "{0");
}

TEST(WireDates, PrintInTheDeviceZone) {
    DeviceZone utc("UTC");
    EXPECT_EQ(Formatter::setAmpFormat(Date{kMay1At10}), "20190501100000");
    EXPECT_EQ(Formatter::formatDate(Date{kMay1At10}), "05/01/2019");
    DeviceZone auckland("Pacific/Auckland"); // UTC+12 in May: already the next day
    EXPECT_EQ(Formatter::setAmpFormat(Date{kMay1At10 + 3 * 3600}), "20190502010000");
    EXPECT_EQ(Formatter::formatDate(Date{kMay1At10 + 3 * 3600}), "05/02/2019");
}

TEST(FormatDateAndTimeFromString, ReformatsOrGivesNil) {
    const auto wire = Formatter::kWireDateTime;
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("00010101000000", wire, "MM/dd/yyyy"), "");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("00010101000000", "nonsense", "x"), "");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("", wire, "MM/dd/yyyy"), "");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("20190501153000", wire, Formatter::kEventDateTime),
              "May 01, 2019 15:30:00");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("20190501153000", wire, Formatter::kEventDateTime12h),
              "May 01, 2019 03:30:00 PM");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("20241230120000", wire, Formatter::kEventDateTime),
              "Dec 30, 2024 12:00:00");
    EXPECT_FALSE(Formatter::formatDateAndTimeFromString("garbage", wire, "MM/dd/yyyy"));
    EXPECT_FALSE(Formatter::formatDateAndTimeFromString("2019050115300", wire, "MM/dd/yyyy"));
    // Read and printed in the same zone: the wall-clock time is kept.
    DeviceZone zone("Asia/Riyadh");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("20190501153000", wire, "HH:mm"), "15:30");
}

TEST(DateStringFromString, HonoursTheTextsOffset) {
    const auto iso = Formatter::kIsoDateTimeWithOffset;
    const auto out = Formatter::kDisplayDateTime;
    DeviceZone utc("UTC");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00+03:00", iso, out), "05/01/2019 07:00:00");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00-02:30", iso, out), "05/01/2019 12:30:00");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00+0300", iso, out), "05/01/2019 07:00:00");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00Z", iso, out), "05/01/2019 10:00:00");
    // No offset at all: universal time.
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00", iso, out), "05/01/2019 10:00:00");
    EXPECT_FALSE(Formatter::dateStringFromString("garbage", iso, out));
    EXPECT_FALSE(Formatter::dateStringFromString("", iso, out));
    EXPECT_FALSE(Formatter::dateStringFromString("2019-05-01T10:00:00+03:00junk", iso, out));

    DeviceZone riyadh("Asia/Riyadh");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00+03:00", iso, out), "05/01/2019 10:00:00");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00-02:30", iso, out), "05/01/2019 15:30:00");
    EXPECT_EQ(Formatter::dateStringFromString("2019-05-01T10:00:00", iso, out), "05/01/2019 13:00:00");
}

TEST(WireDateString, ShowsUniversalTimeWhateverTheDeviceZone) {
    const auto iso = Formatter::kIsoDateTimeWithOffset;
    const auto wire = Formatter::kWireDateTime;
    const auto out = Formatter::kDisplayDateTime;
    // Newfoundland: -03:30, and its clocks went from 02:00 to 03:00 on 2024-03-10.
    DeviceZone zone("America/St_Johns");
    EXPECT_EQ(Formatter::wireDateString("2019-05-01T10:00:00+03:00", iso, out), "05/01/2019 07:00:00");
    EXPECT_EQ(Formatter::wireDateString("2019-05-01T10:00:00", iso, out), "05/01/2019 10:00:00");
    EXPECT_EQ(Formatter::wireDateString("20240310023000", wire, out), "03/10/2024 02:30:00");
    EXPECT_EQ(Formatter::wireDateString("20241231235959", wire, Formatter::kDisplayDate), "12/31/2024");
    EXPECT_EQ(Formatter::wireDateString("", wire, out), "");
    EXPECT_EQ(Formatter::wireDateString(Formatter::kNullWireDateTime, wire, out), "");
    EXPECT_FALSE(Formatter::wireDateString("20240230120000", wire, out));
    EXPECT_FALSE(Formatter::wireDateString("garbage", iso, out));
}

TEST(IsoDates, WithAndWithoutMilliseconds) {
    DeviceZone utc("UTC");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("2019-05-01T10:00:00.250", "HH:mm"), "10:00");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("2019-05-01T10:00:00", "HH:mm"), "10:00");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("garbage", "HH:mm"), "garbage");
    EXPECT_EQ(Formatter::formatDateAndTimeFromString("", "HH:mm"), "");

    auto plain = Formatter::formatDateFromString("2019-05-01T10:00:00");
    auto millis = Formatter::formatDateFromString("2019-05-01T10:00:00.250");
    ASSERT_TRUE(plain);
    ASSERT_TRUE(millis);
    EXPECT_EQ(plain->secondsSince1970, kMay1At10);
    EXPECT_DOUBLE_EQ(millis->secondsSince1970 - plain->secondsSince1970, 0.25);
    EXPECT_FALSE(Formatter::formatDateFromString(""));
    EXPECT_FALSE(Formatter::formatDateFromString("garbage"));
    EXPECT_FALSE(Formatter::formatDateFromString("2019-05-01"));
    EXPECT_FALSE(Formatter::formatDateFromString("2019-05-01T10:00:00.250Z"));

    // Local time of the device.
    DeviceZone riyadh("Asia/Riyadh");
    auto local = Formatter::formatDateFromString("2019-05-01T13:00:00");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->secondsSince1970, kMay1At10);
}

TEST(GetDate, AddsCalendarDaysInTheDeviceZone) {
    DeviceZone utc("UTC");
    // 2023-03-01T00:00Z + 365 days lands on the leap day.
    auto leap = Formatter::getDate(Date{1677628800}, 365);
    ASSERT_TRUE(leap);
    EXPECT_EQ(leap->secondsSince1970, 1709164800);
    EXPECT_EQ(Formatter::getDate(Date{kMay1At10}, 0), Date{kMay1At10});
    EXPECT_FALSE(Formatter::getDate(Date{kMay1At10}, Formatter::kMaxDaysAhead + 1));
    EXPECT_FALSE(Formatter::getDate(Date{kMay1At10}, std::numeric_limits<uint64_t>::max()));
}

TEST(GetDate, KeepsWallClockAcrossDaylightSaving) {
    {
        DeviceZone zone("America/New_York");
        // Noon EST on 2024-03-09, plus one day: noon EDT, only 23 hours later.
        auto next = Formatter::getDate(Date{1710003600}, 1);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->secondsSince1970, 1710086400);
    }
    {
        DeviceZone zone("Europe/London");
        // Noon BST on 2024-10-26, plus one day: noon GMT, 25 hours later.
        auto next = Formatter::getDate(Date{1729940400}, 1);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->secondsSince1970, 1730030400);
    }
}

TEST(TimeOfDisplayDateTime, TakesTheTimeOfAMatchingText) {
    EXPECT_EQ(Formatter::timeOfDisplayDateTime("05/01/2019 10:20:30"), "10:20:30");
    EXPECT_EQ(Formatter::timeOfDisplayDateTime("not a date"), "not a date");
    // An hour skipped by the spring change still shows as written.
    DeviceZone zone("America/New_York");
    EXPECT_EQ(Formatter::timeOfDisplayDateTime("03/10/2024 02:30:00"), "02:30:00");
}

} // namespace
