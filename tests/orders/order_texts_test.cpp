// A refused order reads as an English sentence with its values filled in, never as a bare key.
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "order_fixture.h"

#include "support/decimal_literal.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;
// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;

// Every quoted four- or five-digit key in the order code (rules, requests, collections).
std::set<std::string> keysUsedByTheOrderCode() {
    const std::filesystem::path orders = std::filesystem::path(TC_SOURCE_DIR) / "src" / "orders";
    const std::regex key("\"([0-9]{4,5})\"");
    std::set<std::string> keys;
    for (const auto& entry : std::filesystem::directory_iterator(orders)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string source = text.str();
        for (std::sregex_iterator it(source.begin(), source.end(), key), end; it != end; ++it)
            keys.insert((*it)[1].str());
    }
    return keys;
}

TEST(OrderTexts, EveryKeyTheOrderCodeUsesHasAnEnglishText) {
    const auto keys = keysUsedByTheOrderCode();
    // The rules alone use more than forty keys; an empty scan would prove nothing.
    ASSERT_GT(keys.size(), 60u);
    for (const auto& key : keys) {
        const auto text = LanguageString::stringForSelectedLanguage(0, key);
        ASSERT_TRUE(text);
        EXPECT_NE(*text, key) << "no English text for " << key;
    }
}

// The real English table behind the order rules.
class EnglishRefusals : public OrderFixture {
protected:
    std::string refusal(const std::shared_ptr<Order>& order) {
        notices.clear();
        EXPECT_FALSE(kept(english.Validate(order)));
        return notices.size() == 1 ? notices[0].text : "";
    }
    FakeOrderHost texts{model, app};
    OrderManager english{texts};
};

TEST_F(EnglishRefusals, ValuesAreFilledIntoTheSentence) {
    auto sell = limitBuy("1.2015");
    sell->tradingMode = 1;
    auto stopBuy = limitBuy("1.2035");
    stopBuy->orderType = 3;
    auto closing = market(1, "6");
    closing->isCloseNew = true;
    closing->PreviousOrderQty = dec("5.50");
    const std::vector<std::pair<std::shared_ptr<Order>, std::string>> cases = {
        // ask 1.2010 less 4 ticks of 0.0005
        {limitBuy("1.1995"), "The buy limit price must be at or below 1.1990."},
        // bid 1.2000 plus 4 ticks
        {sell, "The sell limit price must be at or above 1.2020."},
        // ask plus 6 ticks
        {stopBuy, "The buy stop price must be at or above 1.2040."},
        {limitBuy("1.1990", "150"), "The quantity is above the maximum of 100 lots."},
        {limitBuy("1.1990", "0.05"), "The quantity is below the minimum of 0.1 lots."},
        {limitBuy("1.1990", "0.25"), "The quantity must be a multiple of 0.1 lots."},
        {limitBuy("0"), "The price must be greater than 0."},
        {closing, "The quantity is more than the position holds (5.5 lots)."},
    };
    for (const auto& [order, expected] : cases)
        EXPECT_EQ(refusal(order), expected);

    account->tradingStatus = 2;
    const std::string closedAccount = refusal(limitBuy());
    EXPECT_FALSE(closedAccount.empty());
    EXPECT_EQ(closedAccount.find_first_not_of("0123456789"), 0u) << closedAccount;
    account->tradingStatus = 1;

    // The band names both limits.
    item->orderSettings2 = 2;
    item->PrevClose = 1.2_cdec;
    item->CircuitLimit = 1_cdec;
    EXPECT_EQ(refusal(limitBuy("1.1875")),
              "The price is outside today's price limits.\nUpper limit : 1.2120\tLower limit : 1.1880");
}

TEST(OrderTexts, ADetailWithoutAPlaceholderFollowsTheText) {
    // An untranslated table shows the key; the value still follows it.
    EXPECT_EQ(withDetail("1039", "1.1990"), "1039 1.1990");
    EXPECT_EQ(withDetail("1023", "100", true), "1023 (100)");
    EXPECT_EQ(withDetail("Limit {0}.", "1.1990", true), "Limit 1.1990.");
    // A value is never read as a placeholder.
    EXPECT_EQ(withDetail("Held: {0}", "{0}%s"), "Held: {0}%s");
    EXPECT_EQ(withDetail("Sent.", ""), "Sent.");
}

} // namespace
