#include "platform/number_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace tc::platform {
namespace {

EntryFault faultOf(std::string_view text, EntryRules rules = {}) {
    return readNumberEntry(text, rules).fault;
}

TEST(NumberEntry, ReadsTheWholeTextOrNothing) {
    EXPECT_EQ(readNumberEntry("0.5").value, Decimal::fromString("0.5"));
    EXPECT_EQ(readNumberEntry(" 1000.25\t").value, Decimal::fromString("1000.25")); // a paste's blanks
    EXPECT_EQ(readNumberEntry(".5").value, Decimal::fromString("0.5"));
    EXPECT_EQ(readNumberEntry("007").value, Decimal::fromString("7"));
    EXPECT_EQ(readNumberEntry("-1.5", {true, {}}).value, Decimal::fromString("-1.5"));

    // Never a number made of the leading digits, or of the characters left when others are dropped.
    for (const char* text : {"1.2.3", "1e5", "abc", "$100", "100$", "5 lots", "1..2", ".", "-", "+1", "1-",
                             "0x10", "inf", "nan", "١٢"}) {
        SCOPED_TRACE(text);
        const NumberEntry entry = readNumberEntry(text);
        EXPECT_FALSE(entry.value);
        EXPECT_EQ(entry.fault, EntryFault::NotANumber);
    }
}

TEST(NumberEntry, NamesCommasBlanksSignsAndSizes) {
    // A comma is a decimal mark to some and grouping to others: either reading may be far from what
    // was meant, so it is named rather than read.
    for (const char* text : {"0,5", "1,000", "1,000.50", "5,5", ","})
        EXPECT_EQ(faultOf(text), EntryFault::Comma) << text;
    EXPECT_EQ(faultOf("1 000"), EntryFault::InnerBlank);
    EXPECT_EQ(faultOf("1\xC2\xA0"
                      "000"),
              EntryFault::NotANumber); // a no-break space is no digit
    EXPECT_EQ(faultOf("-1"), EntryFault::Negative);
    EXPECT_EQ(faultOf(""), EntryFault::Empty);
    EXPECT_EQ(faultOf("   "), EntryFault::Empty);

    EXPECT_EQ(faultOf(std::string(15, '9')), EntryFault::None);
    EXPECT_EQ(faultOf(std::string(16, '9')), EntryFault::TooLarge);
    EXPECT_EQ(faultOf(std::string(26, '9')), EntryFault::TooLarge);
    EXPECT_EQ(faultOf(std::string(320, '9')), EntryFault::TooLong); // past any field's length
    EXPECT_EQ(faultOf(std::string(65, '1')), EntryFault::TooLong);
    // Characters are counted, not bytes: an Arabic-Indic digit is two bytes and one character.
    std::string arabicIndic;
    for (int i = 0; i < 64; ++i)
        arabicIndic += "\u0661";
    EXPECT_EQ(faultOf(arabicIndic), EntryFault::NotANumber);
    EXPECT_EQ(faultOf(arabicIndic + "\u0661"), EntryFault::TooLong);
    EXPECT_EQ(faultOf(std::string(64, '\xFF')), EntryFault::NotANumber); // a byte not UTF-8 is one
    EXPECT_EQ(faultOf("  " + std::string(60, '1').insert(1, ".") + "  "), EntryFault::None); // blanks trimmed
    EXPECT_EQ(faultOf("0000000000000000001.5"), EntryFault::None); // leading zeros are no size

    EXPECT_EQ(faultOf("1.005", {false, 2}), EntryFault::TooManyDecimals);
    EXPECT_EQ(faultOf("1.05", {false, 2}), EntryFault::None);
    EXPECT_EQ(faultOf("1", {false, 0}), EntryFault::None);
    EXPECT_EQ(faultOf("1.5", {false, 0}), EntryFault::TooManyDecimals);
}

TEST(NumberEntry, WholeNumbersTakeNoPoint) {
    EXPECT_EQ(readIntegerEntry("14").value, 14);
    EXPECT_EQ(readIntegerEntry(" 99999 ").value, 99999);
    EXPECT_EQ(readIntegerEntry("-3", true).value, -3);
    EXPECT_EQ(readIntegerEntry("-3").fault, EntryFault::Negative);
    EXPECT_EQ(readIntegerEntry("1.0").fault, EntryFault::NotANumber);
    EXPECT_EQ(readIntegerEntry("1,0").fault, EntryFault::Comma);
    EXPECT_EQ(readIntegerEntry("14d").fault, EntryFault::NotANumber);
    EXPECT_EQ(readIntegerEntry(std::string(16, '1')).fault, EntryFault::TooLarge);
}

} // namespace
} // namespace tc::platform
