#include "gui/controls/text_entry_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace tc::gui {
namespace {

TEST(TextEntryRules, ControlCharactersAndBrokenUtf8CannotBeSentAndTheLimitCountsCharacters) {
    for (const std::string control : {"\x01", "\x03", "\t", "\n", "\x7f", "\xc2\x85", "\xe2\x80\xa8", "\xff"})
        EXPECT_EQ(textEntryFault("de" + control + "mo", 256), TextFault::Unsendable) << control;
    EXPECT_EQ(textEntryFault(std::string("de\0mo", 5), 256), TextFault::Unsendable);
    EXPECT_EQ(textEntryFault("Ärger 价格 مرحبا 😀 a-b_c!", 256), TextFault::None);
    EXPECT_EQ(textEntryFault(std::string(257, 'a'), 256), TextFault::TooLong);
    std::string wide;
    for (int i = 0; i < 256; ++i)
        wide += "价";
    EXPECT_EQ(textEntryFault(wide, 256), TextFault::None) << "768 bytes, 256 characters";
}

TEST(TextEntryRules, APhoneNumberIsSixToFifteenDigitsWithAnOptionalPlusAndSeparators) {
    for (const char* good : {"+977 1 4000000", "+44 (20) 7946-0958", "020.7946.0958", "123456"})
        EXPECT_TRUE(isPhoneNumber(good)) << good;
    for (const char* bad : {"abc", " ", "12345", "1234567890123456", "1+23456789", "0049 30 12345 ext 6"})
        EXPECT_FALSE(isPhoneNumber(bad)) << bad;
}

} // namespace
} // namespace tc::gui
