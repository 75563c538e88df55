#include "gui/app/message_alert_line.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::MessageAlert;
using tc::gui::MessageAlertLine;

MessageAlert fill(int n) {
    return {"Trade Confirmation", "Position ID : " + std::to_string(n)};
}

TEST(MessageAlertLine, OneShowsAtATimeTheRestWaitInOrderWithoutRepeats) {
    MessageAlertLine line;
    EXPECT_FALSE(line.next());
    EXPECT_TRUE(line.add(fill(1)));
    EXPECT_TRUE(line.add(fill(2)));
    EXPECT_EQ(line.next(), fill(1));
    EXPECT_FALSE(line.next()); // the first still shows
    EXPECT_FALSE(line.add(fill(1)));
    EXPECT_FALSE(line.add(fill(2)));
    EXPECT_TRUE(line.add(fill(3)));
    line.closed();
    EXPECT_EQ(line.next(), fill(2));
    line.closed();
    EXPECT_EQ(line.next(), fill(3));
    line.closed();
    EXPECT_FALSE(line.isShowing());
    EXPECT_FALSE(line.next());
    EXPECT_TRUE(line.add(fill(1))); // closed, so it may show again
}

TEST(MessageAlertLine, AFillPerSecondLeftUnreadKeepsTheNewestHundred) {
    MessageAlertLine line;
    const int fills = 3600;
    for (int n = 0; n < fills; ++n)
        line.add(fill(n));
    EXPECT_EQ(line.waiting(), MessageAlertLine::kMaxWaiting);
    EXPECT_EQ(line.dropped(), fills - MessageAlertLine::kMaxWaiting);
    EXPECT_EQ(line.next(), fill(fills - static_cast<int>(MessageAlertLine::kMaxWaiting)));
    line.closed();
    std::optional<MessageAlert> last;
    while (auto next = line.next()) {
        last = next;
        line.closed();
    }
    EXPECT_EQ(last, fill(fills - 1));
    EXPECT_EQ(line.waiting(), 0u);
}

} // namespace
