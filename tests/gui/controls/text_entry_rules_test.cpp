#include "gui/controls/text_entry_rules.h"
#include "gui/texts.h"

#include <gtest/gtest.h>

#include <string>

namespace tc::gui {
namespace {

TEST(TextEntryRules, AControlCharacterOrBrokenUtf8CannotBeSentAnywhereInTheText) {
    for (const char* control : {"\x01", "\x03", "\x07", "\t", "\n", "\r", "\x1f", "\x7f", "\xc2\x85",
                                "\xe2\x80\xa8", "\xe2\x80\xa9"})
        for (const std::string& text : {std::string(control) + "demo", "de" + std::string(control) + "mo",
                                        "demo" + std::string(control)})
            EXPECT_EQ(textEntryFault(text, 256), TextFault::Unsendable) << text;
    EXPECT_EQ(textEntryFault(std::string("de\0mo", 5), 256), TextFault::Unsendable);
    EXPECT_EQ(textEntryFault("de\xffmo", 256), TextFault::Unsendable);     // not UTF-8
    EXPECT_EQ(textEntryFault("de\xc3mo", 256), TextFault::Unsendable);     // a sequence cut short
    EXPECT_EQ(textEntryFault("a b-c_d!~", 256), TextFault::None);          // blanks and signs are typed
    EXPECT_EQ(textEntryFault("Ärger 价格 مرحبا 😀", 256), TextFault::None); // any script
    EXPECT_EQ(textEntryFault("", 256), TextFault::None);
}

TEST(TextEntryRules, TheLimitCountsCharactersNotBytes) {
    EXPECT_EQ(characterCount("价格😀a"), 4u);
    EXPECT_EQ(textEntryFault(std::string(256, 'a'), 256), TextFault::None);
    EXPECT_EQ(textEntryFault(std::string(257, 'a'), 256), TextFault::TooLong);
    std::string wide;
    for (int i = 0; i < 256; ++i)
        wide += "价";
    EXPECT_EQ(textEntryFault(wide, 256), TextFault::None) << "768 bytes, 256 characters";
    EXPECT_EQ(textEntryFault(wide + "价", 256), TextFault::TooLong);
    // A character that cannot be sent is named before the length.
    EXPECT_EQ(textEntryFault(std::string(300, 'a') + "\x03", 256), TextFault::Unsendable);
}

TEST(TextEntryRules, TheFirstFieldThatCannotBeSentIsNamedWithItsLimit) {
    EXPECT_FALSE(firstTextRefusal({{texts::kUserName, "demo"}, {texts::kPassword, "demo1234"}}));
    EXPECT_EQ(
        firstTextRefusal({{texts::kUserName, "demo"},
                          {texts::kPassword, std::string(kMaxPasswordLength + 1, 'p'), kMaxPasswordLength},
                          {texts::kServerAddress, "\x01"}}),
        (TextRefusal{texts::kLongerThanCharacters, texts::kPassword, kMaxPasswordLength}));
    EXPECT_EQ(firstTextRefusal({{texts::kUserName, "de\x03mo"}, {texts::kPassword, "\x01"}}),
              (TextRefusal{texts::kHoldsCharacterCannotSentControl, texts::kUserName, kMaxFormTextLength}));
    EXPECT_TRUE(textFaultKey(TextFault::None).empty());
}

TEST(TextEntryRules, APhoneNumberIsSixToFifteenDigitsWithAnOptionalPlusAndSeparators) {
    for (const char* good :
         {"+977 1 4000000", "+44 (20) 7946-0958", "020.7946.0958", "123456", "123456789012345"})
        EXPECT_TRUE(isPhoneNumber(good)) << good;
    for (const char* bad : {"abc", " ", "", "12345", "1234567890123456", "+", "1+23456789", "++4420794609",
                            "0049 30 12345 ext 6", "٠١٢٣٤٥٦٧", "+44 20 7946 0958 0000 0000 0000 00"})
        EXPECT_FALSE(isPhoneNumber(bad)) << bad;
}

} // namespace
} // namespace tc::gui
