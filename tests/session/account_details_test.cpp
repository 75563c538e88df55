#include "session/account_details.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(AccountDetailsTexts, Tables) {
    EXPECT_EQ(AccountDetails::getAccountStatus(1), "Normal");
    EXPECT_EQ(AccountDetails::getAccountStatus(4), "Close Position Only");
    EXPECT_EQ(AccountDetails::getAccountStatus(5), "Equity Hit");
    EXPECT_EQ(AccountDetails::getAccountStatus(6), "Closed");
    for (std::int32_t code : {0, 7, -1})
        EXPECT_EQ(AccountDetails::getAccountStatus(code), "") << code;

    EXPECT_EQ(AccountDetails::getAccountType(0), "Unknown");
    EXPECT_EQ(AccountDetails::getAccountType(8), "NonClearing Member");
    EXPECT_EQ(AccountDetails::getAccountType(13), "Error Account");
    for (std::int64_t code : {std::int64_t{14}, std::int64_t{-1}, std::numeric_limits<std::int64_t>::min(),
                              std::numeric_limits<std::int64_t>::max()})
        EXPECT_EQ(AccountDetails::getAccountType(code), "") << code;

    EXPECT_EQ(AccountDetails::getAccountAccessType(0), "Unknown");
    EXPECT_EQ(AccountDetails::getAccountAccessType(3), "View Trade");
    EXPECT_EQ(AccountDetails::getAccountAccessType(4), "View Market");
    EXPECT_EQ(AccountDetails::getAccountAccessType(10), "None");
    for (std::int32_t code : {5, 6, 9, 11, -1})
        EXPECT_EQ(AccountDetails::getAccountAccessType(code), "") << code;
}

} // namespace
