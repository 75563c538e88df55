#include "wire/message_cracker.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace tc;

TEST(MessageCracker, GetMessageValueGivesEverythingAfterTheSeparator) {
    const std::string field = "27=abc==";
    EXPECT_EQ(MessageCracker::GetMessageValue(field, "27="), "abc==");
    // "=" inside a value survives with either separator.
    EXPECT_EQ(MessageCracker::GetMessageValue(field, "="), "abc==");
    EXPECT_EQ(MessageCracker::GetMessageValue("a=b=c", "="), "b=c");
    EXPECT_EQ(MessageCracker::GetMessageValue("10=76", "="), "76");
    // Its own prefix later in the value does not cut it.
    EXPECT_EQ(MessageCracker::GetMessageValue("27=abc27=d", "27="), "abc27=d");
    EXPECT_EQ(MessageCracker::GetMessageValue("=x", "="), "x");
    EXPECT_EQ(MessageCracker::GetMessageValue("10=", "10="), "");
}

TEST(MessageCracker, GetMessageValueWithoutSeparatorGivesNothing) {
    EXPECT_FALSE(MessageCracker::GetMessageValue("10", "="));
    EXPECT_FALSE(MessageCracker::GetMessageValue("", "="));
    EXPECT_FALSE(MessageCracker::GetMessageValue("20=5", "21="));
    EXPECT_FALSE(MessageCracker::GetMessageValue("20=5", ""));
}

TEST(MessageCracker, IntegerValueReadsTheLeadingNumber) {
    EXPECT_EQ(MessageCracker::integerValue("1023"), 1023);
    EXPECT_EQ(MessageCracker::integerValue("  -42abc"), -42);
    EXPECT_EQ(MessageCracker::integerValue("+7"), 7);
    EXPECT_EQ(MessageCracker::integerValue("x1"), 0);
    EXPECT_EQ(MessageCracker::integerValue(""), 0);
    EXPECT_EQ(MessageCracker::integerValue("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(MessageCracker::integerValue("-99999999999999999999"), INT64_MIN);
}

TEST(MessageCracker, GetXmlTakesTheTextBetweenTagAndClosingTag) {
    EXPECT_EQ(MessageCracker::GetXML("<r><P>1.5</P></r>", "<P>"), "1.5");
    EXPECT_EQ(MessageCracker::GetXML("<r><P>1.5</P></r>", "<Q>"), "");
    EXPECT_EQ(MessageCracker::GetXML("<P>1.5", "<P>"), "");
    EXPECT_EQ(MessageCracker::GetXML("</P><P>1.5", "<P>"), "");
    EXPECT_EQ(MessageCracker::GetXML("<P></P>", "<P>"), "");
    EXPECT_EQ(MessageCracker::GetXML("x", ""), "");
}

TEST(MessageCracker, StringBetweenKeepsTheStartText) {
    EXPECT_EQ(MessageCracker::stringBetweenString("ab<H>cd<END>", "<H>", "<END>"), "<H>cd");
    EXPECT_THROW(MessageCracker::stringBetweenString("abc", "x", "c"), std::out_of_range);
    EXPECT_THROW(MessageCracker::stringBetweenString("abc", "a", "x"), std::out_of_range);
    EXPECT_THROW(MessageCracker::stringBetweenString("cab", "a", "c"), std::out_of_range);
}

TEST(MessageCracker, RequiredChartDataIsTheHeadAndTheEndMarker) {
    EXPECT_EQ(MessageCracker::GetRequiredChartData("<EURUSD,60>1,2,3#4,5,6<END>", 2), "<EURUSD,60><END>");
    EXPECT_EQ(MessageCracker::GetRequiredChartData("no head", 2), "<END>");
}

TEST(MessageChecker, RemoveTagsDeletesEveryTagEverywhere) {
    EXPECT_EQ(MessageChecker::removeTags("<b>x</b> <b>y"), "x y");
    EXPECT_EQ(MessageChecker::removeTags("<H 1,2>1.1,1.2#<END>"), "1.1,1.2#");
    EXPECT_EQ(MessageChecker::removeTags("plain"), "plain");
    EXPECT_EQ(MessageChecker::removeTags("a<b"), "a<b");
    EXPECT_EQ(MessageChecker::removeTags("a>b<>c"), "a>bc");
    EXPECT_EQ(MessageChecker::removeTags(""), "");
}

TEST(MessageChecker, RemoveTagsWithNestedBracketsReplacesGlobally) {
    // The first tag found is "<b>" and it goes everywhere at once, which breaks up "<x<b>" before
    // the scan reaches it; that tag then finds nothing to remove.
    EXPECT_EQ(MessageChecker::removeTags("<b> <x<b>"), " <x");
    EXPECT_EQ(MessageChecker::removeTags("<x<b> <b>"), " ");
}

TEST(MessageChecker, FlattenHtmlPutsASpaceForEachTag) {
    EXPECT_EQ(MessageChecker::flattenHTML("<p>a</p>"), " a ");
    EXPECT_EQ(MessageChecker::flattenHTML("a<br>b<br>"), "a b ");
}

TEST(MessageChecker, CheckMessageGivesTheOpeningTag) {
    EXPECT_EQ(MessageChecker::CheckMessage("<R>data</R>"), "<R>");
    EXPECT_EQ(MessageChecker::CheckMessage("<R>data"), "<R>");
    EXPECT_EQ(MessageChecker::CheckMessage(">x"), "");
    // Text that begins with the closing form of its own head: "</R>" has the closing tag "<//R>"...
    EXPECT_EQ(MessageChecker::CheckMessage("</R>x"), "</R>");
    // ...so the empty answer comes only when the head's closing tag leads the text.
    EXPECT_EQ(MessageChecker::CheckMessage("<//R>"), "<//R>");
    EXPECT_THROW(MessageChecker::CheckMessage("no tag"), std::out_of_range);
}

} // namespace
