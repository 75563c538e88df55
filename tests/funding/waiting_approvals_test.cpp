// Which approval request an answer of the server belongs to: the oldest of its kind still waiting,
// the oldest with the echoed request number where the answer carries one.
#include "funding/waiting_approvals.h"

#include <gtest/gtest.h>

namespace {

using tc::funding::WaitingApprovals;

TEST(WaitingApprovals, AnAnswerTakesTheOldestRequestOfItsKindOrTheOneItEchoes) {
    WaitingApprovals waiting;
    const std::uint64_t deposit1 = waiting.sent(801, 7);
    const std::uint64_t withdrawal = waiting.sent(802, 7);
    const std::uint64_t deposit2 = waiting.sent(801, 7);
    const std::uint64_t deposit3 = waiting.sent(801, 9);
    EXPECT_EQ(waiting.answered(801, 9), deposit3);
    EXPECT_EQ(waiting.answered(801, 7), deposit1); // the oldest of those that share the number
    EXPECT_EQ(waiting.answered(802, std::nullopt), withdrawal);
    EXPECT_EQ(waiting.answered(801, 42), deposit2);     // an echo no request carried
    EXPECT_EQ(waiting.answered(801, std::nullopt), 0u); // none of ours
    // Requests never answered are forgotten past the bound, oldest first.
    const std::uint64_t oldest = waiting.sent(802, 1);
    for (std::size_t i = 0; i < WaitingApprovals::kMaxWaiting; ++i)
        waiting.sent(802, 2);
    EXPECT_EQ(waiting.answered(802, 1), oldest + 1);
}

} // namespace
