#include "session/records/record_fields.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

using namespace tc;

TEST(RecordFields, CutsAtTheSeparatorKeepingEmptyFieldsAndAbsentPositionsLeaveTargetsAlone) {
    RecordFields f("7\x05\x05x\x05");
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
    RecordFields f(" -12abc\x05"
                   "99999999999\x05"
                   "-99999999999\x05"
                   "abc\x05"
                   "2.5e1x\x05"
                   "nan\x05"
                   "1e999\x05"
                   "-1");
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
    RecordFields f("Y\x05true\x05"
                   "007\x05"
                   "000\x05N\x05\x05 t\x05-3");
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
    auto pieces = nonEmptyPieces("\x06"
                                 "a\x06\x06"
                                 "b\x06",
                                 '\x06', 10, &truncated);
    EXPECT_EQ(pieces, (std::vector<std::string_view>{"a", "b"}));
    EXPECT_FALSE(truncated);
    pieces = nonEmptyPieces("a\x06"
                            "b\x06"
                            "c",
                            '\x06', 2, &truncated);
    EXPECT_EQ(pieces, (std::vector<std::string_view>{"a", "b"}));
    EXPECT_TRUE(truncated);
    EXPECT_TRUE(nonEmptyPieces("", '\x06', 5).empty());
}

} // namespace
