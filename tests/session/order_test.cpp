#include "session/order.h"

#include "platform/bundle.h"
#include "platform/string_table.h"
#include "session/language_string.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>

namespace {

constexpr std::int32_t kNA = 926;

TEST(OrderWireValues, Tables) {
    const std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();

    EXPECT_EQ(Order::GetOrderTypeTagValue(0), kNA);
    EXPECT_EQ(Order::GetOrderTypeTagValue(1), 29);
    EXPECT_EQ(Order::GetOrderTypeTagValue(2), 30);
    EXPECT_EQ(Order::GetOrderTypeTagValue(3), 31);
    for (std::int32_t code : {4, -1, min, max})
        EXPECT_EQ(Order::GetOrderTypeTagValue(code), kNA) << code;

    EXPECT_EQ(Order::GetDeliveryModeTagValue(0), kNA);
    EXPECT_EQ(Order::GetDeliveryModeTagValue(1), 51);
    EXPECT_EQ(Order::GetDeliveryModeTagValue(2), 52);
    EXPECT_EQ(Order::GetDeliveryModeTagValue(3), 53);
    for (std::int32_t code : {4, -1, min, max})
        EXPECT_EQ(Order::GetDeliveryModeTagValue(code), kNA) << code;

    const std::int32_t timeInForce[] = {kNA, 47, 48, kNA, kNA, 54};
    for (std::int32_t code = 0; code <= 5; ++code)
        EXPECT_EQ(Order::GetTimeInForceTagValue(code), timeInForce[code]) << code;
    for (std::int32_t code : {6, -1, min, max})
        EXPECT_EQ(Order::GetTimeInForceTagValue(code), kNA) << code;

    EXPECT_EQ(Order::GetTradingModeTagValue(0), 45);
    for (std::int32_t code : {1, 2, -1, min})
        EXPECT_EQ(Order::GetTradingModeTagValue(code), 46) << code;
}

TEST(OrderTexts, StatusAndQuoteOrders) {
    EXPECT_EQ(Order::GetOrderStatus(21), "New");
    EXPECT_EQ(Order::GetOrderStatus(22), "Partly Filled");
    EXPECT_EQ(Order::GetOrderStatus(23), "Fully Filled");
    EXPECT_EQ(Order::GetOrderStatus(24), "Cancelled");
    EXPECT_EQ(Order::GetOrderStatus(26), "Expired");
    EXPECT_EQ(Order::GetOrderStatus(27), "Suspended");
    EXPECT_EQ(Order::GetOrderStatus(28), "Pending");
    for (std::int32_t code : {25, 20, 29, 0, -21})
        EXPECT_FALSE(Order::GetOrderStatus(code)) << code;
    EXPECT_FALSE(Order().isQuoteOrder());
}

class OrderSideTexts : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("order_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(root_ / "en.lproj");
        std::ofstream(root_ / "en.lproj" / std::string(platform::StringTable::kFileName))
            << "0009\tTo buy\n0010\tTo sell\n";
        platform::Bundle::setResourcesRoot(root_);
        platform::StringTableCache::clear();
    }
    void TearDown() override {
        platform::StringTableCache::clear();
        platform::Bundle::setResourcesRoot({});
        std::filesystem::remove_all(root_);
    }
    std::filesystem::path root_;
};

TEST_F(OrderSideTexts, ShortExpandedAndUnknownSides) {
    EXPECT_EQ(Order::GetTradingModeString(0, false, 0), "B");
    EXPECT_EQ(Order::GetTradingModeString(1, false, 0), "S");
    EXPECT_EQ(Order::GetTradingModeString(0, true, 0), "To buy");
    EXPECT_EQ(Order::GetTradingModeString(1, true, 0), "To sell");
    EXPECT_EQ(Order::GetTradingModeString(2, true, 0), "");
    EXPECT_EQ(Order::GetTradingModeString(-1, false, 0), "");
    // A language whose folder is missing (1, "zh-Hans", here) keeps the short form.
    EXPECT_EQ(Order::GetTradingModeString(1, true, 1), "S");
}

} // namespace
