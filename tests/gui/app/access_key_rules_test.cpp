#include "gui/app/access_key_rules.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::accessKeysOf;
using tc::gui::withoutAccessKey;

TEST(AccessKeyRules, TheMarkedKeyAndTheTextShownWithoutIt) {
    EXPECT_EQ(accessKeysOf("&Trade"), std::vector<std::string>{"T"});
    EXPECT_EQ(accessKeysOf("Close &All"), std::vector<std::string>{"A"});
    EXPECT_EQ(accessKeysOf("Market Depth && Chart"), std::vector<std::string>{}) << "&& is an & of the text";
    EXPECT_EQ(accessKeysOf("Отме&нённые"), std::vector<std::string>{"н"}) << "a whole character";
    EXPECT_EQ(accessKeysOf("交易 (&T)"), std::vector<std::string>{"T"});
    EXPECT_EQ(accessKeysOf("&A&B").size(), 2u);

    EXPECT_EQ(withoutAccessKey("Close &All"), "Close All");
    EXPECT_EQ(withoutAccessKey("Отме&нённые ордера"), "Отменённые ордера");
    EXPECT_EQ(withoutAccessKey("交易 (&T)"), "交易");
    EXPECT_EQ(withoutAccessKey("أمر جديد (&N)"), "أمر جديد");
    EXPECT_EQ(withoutAccessKey("Market Depth && Chart"), "Market Depth & Chart");
    EXPECT_EQ(withoutAccessKey("Plain"), "Plain");
}

} // namespace
