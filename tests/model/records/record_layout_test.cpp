#include "model/records/record_layout.h"
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;
using namespace tc::records;
using platform::Decimal;
using testing_support::wireText;

Decimal dec(std::string_view text) {
    return Decimal::fromString(text).value();
}

struct Sample {
    std::int32_t id = -1;
    std::int64_t wideFrom32 = -1;
    std::uint64_t unsignedFrom32 = 7;
    std::int64_t wide = -1;
    std::uint64_t unsignedWide = 7;
    double real = -1;
    Decimal price = dec("-1");
    bool enabled = false;
    std::int32_t flagAsNumber = -1;
    std::string name = "kept";
    std::int32_t loaded = 0;
    int loaderCalls = 0;
};

constexpr auto kSampleLayout =
    recordLayout(int32(0, &Sample::id), int32(1, &Sample::wideFrom32), int32(2, &Sample::unsignedFrom32),
                 int64(3, &Sample::wide), int64(4, &Sample::unsignedWide), real(5, &Sample::real),
                 decimal(6, &Sample::price), flag(7, &Sample::enabled), flag(8, &Sample::flagAsNumber),
                 text(9, &Sample::name), int32(10, [](Sample& s, std::int32_t v) {
                     s.loaded = v * 2;
                     ++s.loaderCalls;
                 }));

TEST(RecordLayout, EachRowReadsItsFieldInItsTypeIntoItsMember) {
    const std::string record =
        wireText("12<C>99999999999<C>-1<C>99999999999<C>-2<C>2.5<C>1.23455<C>Y<C>t<C>EURUSD<C>21");
    Sample s;
    readRecord(RecordFields(record), kSampleLayout, s);
    EXPECT_EQ(s.id, 12);
    EXPECT_EQ(s.wideFrom32, std::numeric_limits<std::int32_t>::max()); // the 32-bit reading saturates
    EXPECT_EQ(s.unsignedFrom32, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(s.wide, 99999999999);
    EXPECT_EQ(s.unsignedWide, std::numeric_limits<std::uint64_t>::max() - 1);
    EXPECT_EQ(s.real, 2.5);
    EXPECT_EQ(s.price, dec("1.23455"));
    EXPECT_EQ(s.price.toString(), "1.23455");
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.flagAsNumber, 1);
    EXPECT_EQ(s.name, "EURUSD");
    EXPECT_EQ(s.loaded, 42);
    EXPECT_EQ(s.loaderCalls, 1);
}

TEST(RecordLayout, FieldsPastTheRecordsEndLeaveTheirTargetsAndLoadersAlone) {
    const std::string record = wireText("5<C><C>");
    Sample s;
    readRecord(RecordFields(record), kSampleLayout, s);
    EXPECT_EQ(s.id, 5);
    EXPECT_EQ(s.wideFrom32, 0); // present but empty reads as 0
    EXPECT_EQ(s.unsignedFrom32, 0u);
    EXPECT_EQ(s.wide, -1);
    EXPECT_EQ(s.price, dec("-1"));
    EXPECT_EQ(s.name, "kept");
    EXPECT_EQ(s.loaderCalls, 0);
}

TEST(RecordLayout, DecimalsReadExactlyAndLenientlyLikeTheOtherNumbers) {
    struct Prices {
        Decimal value;
    };
    constexpr auto layout = recordLayout(decimal(0, &Prices::value));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"0.1", "0.1"},
        {"-0.00001", "-0.00001"},
        {"1234500", "1234500"},
        {"1.50000", "1.5"},
        {"-0", "0"},
        {"9999999999999999999", "9999999999999999999"},       // 19 digits, the widest plain form
        {"12345678901234567890.5", "12345678901234567890.5"}, // past it, read by the general reading
        {" 2.5x", "2.5"},
        {"+3", "3"},
        {"1e3", "1000"},
        {"abc", "0"},
        {"", "0"},
        {"nan", "0"},
        {"1e999", "0"},
        {"5.", "5"},
        {".5", "0.5"},
    };
    for (const auto& [text, expected] : cases) {
        Prices p{dec("42")};
        readRecord(RecordFields(text), layout, p);
        EXPECT_EQ(p.value.toString(), expected) << text;
    }
}

// A row of named columns, as the statement's XML tables give them.
struct NamedRow {
    std::map<std::string, std::string, std::less<>> columns;
    const std::string* get(std::string_view name) const {
        const auto it = columns.find(name);
        return it == columns.end() ? nullptr : &it->second;
    }
};

struct Dated {
    std::int32_t id = -1;
    Decimal amount = dec("-1");
    bool buy = false;
    std::optional<WallTime> when;
    std::optional<WallTime> wireTime;
    std::optional<WallTime> zoned;
    std::string note = "kept";
    int side = -1;
};

constexpr auto kDatedLayout = recordLayout(
    int32("Id", &Dated::id), decimal("Amount", &Dated::amount), flag("IsBuy", &Dated::buy),
    isoDate("When", &Dated::when), records::time("Wire", &Dated::wireTime), zonedTime("Zoned", &Dated::zoned),
    text("Note", &Dated::note), flag("IsBuy", [](Dated& d, bool buy) { d.side = buy ? 0 : 1; }));

TEST(RecordLayout, ColumnTablesReadByNameWithTheFieldsReadings) {
    Dated d;
    readColumns(NamedRow{{{"Id", "99999999999"},
                          {"Amount", " 12.50x"},
                          {"IsBuy", "true"},
                          {"When", "2015-03-02T14:05:09.123"},
                          {"Wire", "00010101000000"},
                          {"Zoned", "2024-06-27T20:00:00+03:00"},
                          {"Other", "9"}}},
                kDatedLayout, d);
    EXPECT_EQ(d.id, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(d.amount, dec("12.5"));
    EXPECT_TRUE(d.buy);
    EXPECT_EQ(d.side, 0);
    ASSERT_TRUE(d.when);
    EXPECT_EQ(displayDateTime(d.when), "03/02/2015 14:05:09");
    EXPECT_FALSE(d.wireTime);                                   // the wire's null time
    EXPECT_EQ(displayDateTime(d.zoned), "06/27/2024 17:00:00"); // in universal time
    EXPECT_EQ(d.note, "kept");                                  // a missing column leaves its target alone

    Dated blank;
    readColumns(
        NamedRow{{{"Amount", "nan"}, {"When", "03/02/2015"}, {"IsBuy", "0"}, {"Zoned", "20240627200000"}}},
        kDatedLayout, blank);
    EXPECT_EQ(std::tuple(blank.id, blank.amount, blank.buy, blank.side), std::tuple(-1, Decimal(), false, 1));
    EXPECT_FALSE(blank.when);  // not ISO: no date
    EXPECT_FALSE(blank.zoned); // no offset: no time
}

// The same sample read from a tag=value message, the tags standing where the positions stood.
constexpr auto kSampleTags = recordLayout(
    int32(100, &Sample::id), int32(101, &Sample::wideFrom32), int32(102, &Sample::unsignedFrom32),
    int64(103, &Sample::wide), int64(104, &Sample::unsignedWide), real(105, &Sample::real),
    decimal(106, &Sample::price), flag(107, &Sample::enabled), flag(108, &Sample::flagAsNumber),
    text(109, &Sample::name), int32(110, [](Sample& s, std::int32_t v) {
        // Sees what the fields before it in the message set.
        s.loaded = v * 2 + s.id;
        ++s.loaderCalls;
    }));

TEST(RecordLayout, TagTablesReadEachFieldByItsTagWithTheFieldsReadings) {
    const std::vector<TaggedField> fields = {
        {110, "21"},      {109, "EURUSD"},      {108, "t"},  {107, "Y"},
        {106, "1.23455"}, {105, "2.5"},         {104, "-2"}, {103, "99999999999"},
        {102, "-1"},      {101, "99999999999"}, {100, "12"}, {999, "not ours"},
    };
    Sample s;
    readTagged(fields, kSampleTags, s);
    EXPECT_EQ(s.id, 12);
    EXPECT_EQ(s.wideFrom32, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(s.unsignedFrom32, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(s.wide, 99999999999);
    EXPECT_EQ(s.unsignedWide, std::numeric_limits<std::uint64_t>::max() - 1);
    EXPECT_EQ(s.real, 2.5);
    EXPECT_EQ(s.price.toString(), "1.23455");
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.flagAsNumber, 1);
    EXPECT_EQ(s.name, "EURUSD");
    EXPECT_EQ(s.loaded, 42 - 1); // the id was not read yet when the loader ran
    EXPECT_EQ(s.loaderCalls, 1);

    // Absent tags leave their targets alone; present but empty ones read as 0 or the empty text.
    Sample sparse;
    readTagged(std::vector<TaggedField>{{100, ""}, {109, ""}, {-100, "5"}}, kSampleTags, sparse);
    EXPECT_EQ(std::tuple(sparse.id, sparse.wide, sparse.price, sparse.name, sparse.loaderCalls),
              std::tuple(0, std::int64_t{-1}, dec("-1"), std::string(), 0));

    // Times and dates by tag, with the column tables' readings.
    constexpr auto timed = recordLayout(records::time(78, &Dated::wireTime), isoDate(79, &Dated::when));
    Dated d;
    readTagged(std::vector<TaggedField>{{78, "20240131154500"}, {79, "2015-03-02T14:05:09"}}, timed, d);
    EXPECT_EQ(d.wireTime, wallTimeFromWire("20240131154500"));
    EXPECT_EQ(d.when, isoDateFromText("2015-03-02T14:05:09"));
    ASSERT_TRUE(d.wireTime && d.when);
    readTagged(std::vector<TaggedField>{{78, "00010101000000"}, {79, "03/02/2015"}}, timed, d);
    EXPECT_FALSE(d.wireTime); // the wire's null time
    EXPECT_FALSE(d.when);
}

TEST(RecordLayout, ARepeatedTagIsReadEachTimeSoItsLastValueStays) {
    Sample s;
    readTagged(std::vector<TaggedField>{{109, "first"}, {100, "3"}, {110, "1"}, {109, "last"}, {110, "2"}},
               kSampleTags, s);
    EXPECT_EQ(s.name, "last");
    EXPECT_EQ(s.loaded, 7);
    EXPECT_EQ(s.loaderCalls, 2);

    // Joined tables read a field into every row of its tag, in table order.
    std::vector<std::string> seen;
    struct Log {
        std::vector<std::string>* seen;
    } log{&seen};
    constexpr auto first =
        recordLayout(text(1, [](Log& l, std::string_view v) { l.seen->push_back("a" + std::string(v)); }));
    constexpr auto second =
        recordLayout(text(1, [](Log& l, std::string_view v) { l.seen->push_back("b" + std::string(v)); }),
                     text(2, [](Log& l, std::string_view v) { l.seen->push_back("c" + std::string(v)); }));
    readTagged(std::vector<TaggedField>{{2, "x"}, {1, "y"}}, joined(first, second), log);
    EXPECT_EQ(seen, (std::vector<std::string>{"cx", "ay", "by"}));
}

TEST(RecordLayout, ADecimalThatMayBeNoneIsNoneOnlyForAnEmptyField) {
    struct Quote {
        std::optional<Decimal> price = dec("9");
    };
    constexpr auto byTag = recordLayout(decimalOrNone(7, &Quote::price));
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"", std::nullopt}, {"0", "0"}, {"1.2500", "1.25"}, {"abc", "0"}, {" 3x", "3"}};
    for (const auto& [text, expected] : cases) {
        Quote tagged, positional;
        readTagged(std::vector<TaggedField>{{7, text}}, byTag, tagged);
        readRecord(RecordFields(text), recordLayout(decimalOrNone(0, &Quote::price)), positional);
        for (const Quote& q : {tagged, positional}) {
            ASSERT_EQ(q.price.has_value(), expected.has_value()) << text;
            if (expected) {
                EXPECT_EQ(q.price->toString(), *expected) << text;
            }
        }
    }
    Quote untouched;
    readTagged(std::vector<TaggedField>{{8, ""}}, byTag, untouched);
    EXPECT_EQ(untouched.price, dec("9"));
}

TEST(RecordLayout, CopyTablesFillARecordFromAnotherInTableOrder) {
    enum class Kind : std::int32_t { Limit = 2 };
    struct Row {
        std::string name = "EURUSD";
        Kind kind = Kind::Limit;
        Decimal rate = dec("1.0834");
        Decimal paid = dec("3");
    };
    struct Filled {
        std::string name;
        std::int32_t kind = 0;
        double rate = 0;
        Decimal paid;
        std::string seen;
    };
    constexpr auto layout = recordLayout(
        copied(&Row::name, &Filled::name), copied(&Row::kind, &Filled::kind),
        copied(&Row::rate, &Filled::rate),
        // Sees what the rows before it filled.
        copied(&Row::paid, [](Filled& f, const Decimal& paid) { f.seen = f.name + ":" + paid.toString(); }),
        copied(&Row::paid, &Filled::paid));
    Filled f;
    copyRecord(Row{}, layout, f);
    EXPECT_EQ(std::tuple(f.name, f.kind, f.rate, f.paid, f.seen),
              std::tuple("EURUSD", 2, 1.0834, dec("3"), "EURUSD:3"));
}

TEST(RecordLayout, AWriterVisitsTheMemberRowsInTableOrderWithTheirTypes) {
    Sample s;
    s.id = 3;
    s.price = dec("0.25");
    s.name = "GBPUSD";
    std::vector<std::string> seen;
    constexpr auto layout = recordLayout(text(4, &Sample::name), int32(0, &Sample::id),
                                         decimal(2, &Sample::price), int32(9, [](Sample&, std::int32_t) {}));
    visitRecord(s, layout, [&](std::size_t position, FieldType type, const auto& value) {
        using V = std::decay_t<decltype(value)>;
        std::string shown;
        if constexpr (std::is_same_v<V, std::string>)
            shown = value;
        else if constexpr (std::is_same_v<V, Decimal>)
            shown = value.toString();
        else
            shown = std::to_string(value);
        seen.push_back(std::to_string(position) + ":" + std::to_string(static_cast<int>(type)) + ":" + shown);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"4:5:GBPUSD", "0:0:3", "2:3:0.25"}));
}

} // namespace
