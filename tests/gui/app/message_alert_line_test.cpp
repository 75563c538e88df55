#include "gui/app/message_alert_line.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::MessageAlert;
using Line = tc::gui::MessageAlertLine;

MessageAlert fill(std::size_t n) {
    return {"Trade Confirmation", "Position ID : " + std::to_string(n)};
}

TEST(MessageAlertLine, OneShowsTheRestWaitInOrderOnceAndAnUnreadHourOfFillsKeepsTheNewestHundred) {
    Line line;
    EXPECT_TRUE(line.add(fill(0)));
    EXPECT_EQ(line.next(), fill(0));
    EXPECT_FALSE(line.add(fill(0))); // showing
    for (std::size_t n = 1; n <= 3600; ++n)
        ASSERT_TRUE(line.add(fill(n)));
    EXPECT_FALSE(line.add(fill(3600))); // waiting
    EXPECT_FALSE(line.next());          // one at a time
    EXPECT_EQ(line.dropped(), 3600 - Line::kMaxWaiting);
    for (std::size_t n = 3601 - Line::kMaxWaiting; n <= 3600; ++n) {
        line.closed();
        EXPECT_EQ(line.next(), fill(n));
    }
    line.closed();
    EXPECT_EQ(line.waiting(), 0u);
    EXPECT_TRUE(line.add(fill(0))); // closed, so it may show again
}

} // namespace
