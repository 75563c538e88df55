#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "platform/lenient.h"
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using namespace tc;
using testing_support::wireText;

TEST(RecordFields, CutsAtTheSeparatorKeepingEmptyFieldsAndAbsentPositionsLeaveTargetsAlone) {
    const std::string text = wireText("7<C><C>x<C>");
    RecordFields f(text);
    ASSERT_EQ(f.size(), 4u); // a trailing separator ends with an empty field
    EXPECT_EQ(f.text(1), "");
    EXPECT_EQ(f.text(2), "x");
    EXPECT_EQ(f.text(9), "");

    std::int32_t i = 42;
    EXPECT_FALSE(f.readInt(4, i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(f.readInt(1, i)); // present but empty reads as 0
    EXPECT_EQ(i, 0);
    std::string s = "kept";
    EXPECT_FALSE(f.readText(5, s));
    EXPECT_EQ(s, "kept");

    EXPECT_EQ(RecordFields("").size(), 1u);
}

TEST(RecordFields, NumbersAreReadLenientlyAndThirtyTwoBitReadingsSaturate) {
    const std::string text =
        wireText(" -12abc<C>99999999999<C>-99999999999<C>abc<C>2.5e1x<C>nan<C>1e999<C>-1");
    RecordFields f(text);
    std::int32_t i = 0;
    f.readInt(0, i);
    EXPECT_EQ(i, -12);
    f.readInt(1, i);
    EXPECT_EQ(i, std::numeric_limits<std::int32_t>::max());
    f.readInt(2, i);
    EXPECT_EQ(i, std::numeric_limits<std::int32_t>::min());
    f.readInt(3, i);
    EXPECT_EQ(i, 0);

    std::int64_t wide = 0;
    f.readInt64(1, wide);
    EXPECT_EQ(wide, 99999999999);
    f.readInt(1, wide); // the 32-bit reading, sign-extended
    EXPECT_EQ(wide, std::numeric_limits<std::int32_t>::max());

    std::uint64_t u = 0;
    f.readInt(7, u); // -1 sign-extended into an unsigned target
    EXPECT_EQ(u, std::numeric_limits<std::uint64_t>::max());

    double d = -1;
    f.readDouble(4, d);
    EXPECT_DOUBLE_EQ(d, 25.0);
    f.readDouble(5, d);
    EXPECT_EQ(d, 0.0);
    d = -1;
    f.readDouble(6, d);
    EXPECT_EQ(d, 0.0);
}

TEST(RecordFields, FlagsFollowTheFirstSignificantCharacter) {
    const std::string text = wireText("Y<C>true<C>007<C>000<C>N<C><C> t<C>-3");
    RecordFields f(text);
    const bool expected[] = {true, true, true, false, false, false, true, true};
    for (std::size_t pos = 0; pos < f.size(); ++pos) {
        bool b = !expected[pos];
        EXPECT_TRUE(f.readBool(pos, b));
        EXPECT_EQ(b, expected[pos]) << "position " << pos;
    }
    std::int32_t asInt = 9;
    f.readBool(0, asInt);
    EXPECT_EQ(asInt, 1);
    f.readBool(3, asInt);
    EXPECT_EQ(asInt, 0);
}

TEST(RecordFields, FieldAndPieceCountsAreBounded) {
    std::string many(3 * RecordFields::kMaxFields, '\x05');
    EXPECT_EQ(RecordFields(many).size(), RecordFields::kMaxFields);

    bool truncated = true;
    const std::string twoPieces = wireText("<R>a<R><R>b<R>"), threePieces = wireText("a<R>b<R>c");
    auto pieces = nonEmptyPieces(twoPieces, '\x06', 10, &truncated);
    EXPECT_EQ(pieces, (std::vector<std::string_view>{"a", "b"}));
    EXPECT_FALSE(truncated);
    pieces = nonEmptyPieces(threePieces, '\x06', 2, &truncated);
    EXPECT_EQ(pieces, (std::vector<std::string_view>{"a", "b"}));
    EXPECT_TRUE(truncated);
    EXPECT_TRUE(nonEmptyPieces("", '\x06', 5).empty());
}

// Fields end at every offset within and across the blocks read at once, next to bytes that differ from
// the separator by one or have the high bit set; each cut matches a plain byte-by-byte split.
TEST(RecordFields, CutsMatchAPlainSplitAtEveryOffset) {
    const char fillers[] = {'a', '\x04', '\x06', '\x85', '\xff', '\0'};
    for (std::size_t length = 0; length < 150; ++length) {
        for (std::size_t seed = 0; seed < 12; ++seed) {
            std::string text;
            for (std::size_t k = 0; k < length; ++k)
                text += ((k * 7 + seed * 3) % (seed % 5 + 2) == 0) ? '\x05' : fillers[(k + seed) % 6];
            std::vector<std::string_view> expected;
            std::size_t start = 0;
            for (std::size_t k = 0; k <= text.size(); ++k)
                if (k == text.size() || text[k] == '\x05') {
                    expected.emplace_back(text.data() + start, k - start);
                    start = k + 1;
                }
            RecordFields f(text);
            ASSERT_EQ(f.size(), expected.size()) << "length " << length << " seed " << seed;
            for (std::size_t pos = 0; pos < expected.size(); ++pos)
                EXPECT_EQ(f.text(pos), expected[pos]) << "length " << length << " seed " << seed;
        }
    }
    std::string manyLong;
    for (std::size_t k = 0; k < 2 * RecordFields::kMaxFields; ++k)
        manyLong += "field" + std::to_string(k) + '\x05';
    RecordFields capped(manyLong);
    ASSERT_EQ(capped.size(), RecordFields::kMaxFields);
    EXPECT_EQ(capped.text(RecordFields::kMaxFields - 1), "field255");
}

// Every field reads as the general readings read it, whether it takes the quick path for plain numbers
// or not: signs, points, leading zeros, digit counts at and past the quick limits, trailing text.
TEST(RecordFields, NumbersReadAsTheGeneralReadingsReadThem) {
    const char* const texts[] = {"0",
                                 "-0",
                                 "7",
                                 "-7",
                                 "007",
                                 "123456789",
                                 "-123456789",
                                 "1234567890",
                                 "2147483647",
                                 "2147483648",
                                 "-2147483648",
                                 "-2147483649",
                                 "99999999999",
                                 "-",
                                 "",
                                 ".",
                                 "-.",
                                 "+5",
                                 " 5",
                                 "5 ",
                                 "5x",
                                 "1e3",
                                 "0.5",
                                 "-0.25",
                                 ".5",
                                 "5.",
                                 "1.2.3",
                                 "0.00001",
                                 "1.00013",
                                 "123456789012345",
                                 "1234567890123456",
                                 "0.123456789012345",
                                 "0.1234567890123456",
                                 "12345678901234.5",
                                 "-999999999999999",
                                 "1234567890123456789",
                                 "12345678901234567890",
                                 "-0.1234567890123456789",
                                 "1,5",
                                 "\x85"};
    std::string text;
    for (const char* t : texts) {
        text += t;
        text += '\x05';
    }
    RecordFields f(text);
    for (std::size_t pos = 0; pos < std::size(texts); ++pos) {
        std::int32_t i = -99;
        ASSERT_TRUE(f.readInt(pos, i));
        const std::int64_t wide = platform::lenientInteger(texts[pos]);
        EXPECT_EQ(i, std::clamp<std::int64_t>(wide, std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max()))
            << texts[pos];
        double d = -99;
        ASSERT_TRUE(f.readDouble(pos, d));
        const double general = platform::lenientReal(texts[pos]);
        EXPECT_EQ(d, std::isfinite(general) ? general : 0.0) << texts[pos];
        EXPECT_EQ(std::signbit(d), std::signbit(general)) << texts[pos];
        // The exact reading, whose nearest double is the double reading: records keep decimals where
        // their arithmetic still runs in doubles.
        platform::Decimal x = platform::Decimal::fromInt64(-99);
        ASSERT_TRUE(f.readDecimal(pos, x));
        EXPECT_EQ(x, lenientDecimal(texts[pos])) << texts[pos];
        EXPECT_EQ(x.toDouble(), d) << texts[pos];
    }
}

} // namespace
