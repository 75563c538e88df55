#include "model/records/wall_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tc;

TEST(WallTime, WireTimesReadAsTheServersClockAndWriteBackInEachForm) {
    const auto t = wallTimeFromWire("20240229235958");
    ASSERT_TRUE(t);
    EXPECT_EQ(displayDateTime(t), "02/29/2024 23:59:58");
    EXPECT_EQ(clockTime(t), "23:59:58");
    EXPECT_EQ(displayDate(t), "02/29/2024");
    EXPECT_EQ(wireDateTime(t), "20240229235958");
    EXPECT_EQ(*wallTimeFromWire("20240301000000") - *t, std::chrono::seconds(2));
    EXPECT_EQ(displayDateTime(wallTimeFromWire("00050102030405")), "01/02/0005 03:04:05");
    EXPECT_EQ(wireDateTime(wallTimeFromWire("99991231235959")), "99991231235959");
}

TEST(WallTime, IsoTimesReadTheirDigitsWithOrWithoutMilliseconds) {
    EXPECT_EQ(wallTimeFromIso("2015-03-02T14:05:09"), wallTimeFromWire("20150302140509"));
    EXPECT_EQ(wallTimeFromIso("2015-03-02T14:05:09.999"), wallTimeFromWire("20150302140509"));
    // The short forms agree with the formatter's reading of the same texts.
    for (std::string text : {"2024-02-29T23:59:58", "0005-01-02T03:04:05.120", "2023-02-29T10:10:10",
                             "2015-03-02T24:00:00", "2015-03-02T14:05:09.12x"})
        EXPECT_EQ(wallTimeFromIso(text), text.size() == 19
                                             ? wallTimeFromText(text, "yyyy-MM-dd'T'HH:mm:ss")
                                             : wallTimeFromText(text, "yyyy-MM-dd'T'HH:mm:ss.SSS"))
            << text;
    for (const char* text : {"", "2015-03-02", "2015-03-02T14:05:09+05:00", "2015-03-02 14:05:09", "soon"})
        EXPECT_FALSE(wallTimeFromIso(text)) << text;
}

TEST(WallTime, TextsThatNameNoTimeGiveNoneWhichWritesAsNothing) {
    const std::vector<std::string> none = {"",          "00010101000000", "20230229101010", "2024022923595",
                                           "yesterday", "20241301000000", "20240101240000", "20240101006000"};
    for (const auto& text : none)
        EXPECT_FALSE(wallTimeFromWire(text)) << text;
    EXPECT_EQ(displayDateTime(std::nullopt), "");
    EXPECT_EQ(clockTime(std::nullopt), "");
    EXPECT_EQ(wireDateTime(std::nullopt), "");
    EXPECT_EQ(displayDate(std::nullopt), "");
}

// The journal's time written by hand reads as the date formatter writes the same pattern: every
// month, both sides of midnight and noon, a leap day.
TEST(WallTime, TheJournalsTwelveHourTimeReadsAsTheFormattersOwn) {
    EXPECT_EQ(eventDateTime12h(wallTimeFromWire("20240131154500")), "Jan 31, 2024 03:45:00 PM");
    std::vector<std::string> wires;
    for (int month = 1; month <= 12; ++month)
        for (const char* clock : {"000000", "005959", "010203", "115959", "120000", "123001", "235959"})
            wires.push_back("2024" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "09" +
                            clock);
    wires.push_back("20240229120000");
    wires.push_back("19991231235959");
    for (const std::string& wire : wires) {
        const auto time = wallTimeFromWire(wire);
        ASSERT_TRUE(time) << wire;
        EXPECT_EQ(eventDateTime12h(time), wallTimeText(time, "MMM dd, yyyy hh:mm:ss a")) << wire;
    }
    EXPECT_EQ(eventDateTime12h(std::nullopt), "");
}

TEST(DayTime, ScheduleTimesReadFromMidnightAndWriteAsTheServerDoes) {
    using namespace std::chrono;
    EXPECT_EQ(dayTimeFromWire("14:30"), hours(14) + minutes(30));
    EXPECT_EQ(dayTimeFromWire("00:00"), seconds(0));
    EXPECT_EQ(dayTimeFromWire("23:59:07"), hours(23) + minutes(59) + seconds(7));
    for (std::string_view text : {"", "x", "9:00", "24:00", "12:60", "12:00:60", "12-00", "12:00:0", "1200"})
        EXPECT_FALSE(dayTimeFromWire(text)) << text;
    EXPECT_EQ(dayTimeText(dayTimeFromWire("09:05")), "09:05");
    EXPECT_EQ(dayTimeText(dayTimeFromWire("09:05:00")), "09:05");
    EXPECT_EQ(dayTimeText(dayTimeFromWire("21:00:30")), "21:00:30");
    EXPECT_EQ(dayTimeText(std::nullopt), "");
}

TEST(WallTime, TextsWithAnOffsetReadInUniversalTime) {
    constexpr std::string_view kIso = "yyyy-MM-dd'T'HH:mm:ssZZZ";
    EXPECT_EQ(displayDateTime(wallTimeFromText("2019-05-01T10:00:00+03:00", kIso)), "05/01/2019 07:00:00");
    EXPECT_EQ(displayDateTime(wallTimeFromText("2019-05-01T10:00:00-02:30", kIso)), "05/01/2019 12:30:00");
    EXPECT_FALSE(wallTimeFromText("not a date", kIso));
}

} // namespace
