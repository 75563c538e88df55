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
    EXPECT_EQ(waiting.answered(801, 9).ticket, deposit3);
    EXPECT_EQ(waiting.answered(801, 7).ticket, deposit1); // the oldest of those that share the number
    EXPECT_EQ(waiting.answered(802, std::nullopt).ticket, withdrawal);
    EXPECT_EQ(waiting.answered(801, 42).ticket, deposit2);     // an echo no request carried
    EXPECT_EQ(waiting.answered(801, std::nullopt).ticket, 0u); // none of ours
    // Requests never answered are forgotten past the bound, oldest first.
    const std::uint64_t oldest = waiting.sent(802, 1);
    for (std::size_t i = 0; i < WaitingApprovals::kMaxWaiting; ++i)
        waiting.sent(802, 2);
    EXPECT_EQ(waiting.answered(802, 1).ticket, oldest + 1);
}

TEST(WaitingApprovals, ARequestGivenUpNeverTakesTheAnswerOfOneStillWaitedForButTakesItsOwnLate) {
    using Answer = WaitingApprovals::Answer;
    const auto asked = [](std::uint64_t account, std::int64_t amount) {
        return WaitingApprovals::Asked{account, tc::platform::Decimal::fromInt64(amount)};
    };
    WaitingApprovals waiting;
    const std::uint64_t lost = waiting.sent(801, 5, asked(20001, 100));
    waiting.givenUp(lost);
    const std::uint64_t again = waiting.sent(801, 5, asked(20001, 100));
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 100)), (Answer{again, false}));
    // The receipt of the request given up, when it comes at last, is its own and late.
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 100)), (Answer{lost, true}));

    // A receipt finds the request that asked for what it names, whichever is older.
    const std::uint64_t small = waiting.sent(801, 6, asked(20001, 100));
    waiting.givenUp(small);
    const std::uint64_t large = waiting.sent(801, 6, asked(20001, 900));
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 100)), (Answer{small, true}));
    // A refusal names nothing asked: the request still waited for takes it.
    const std::uint64_t refused = waiting.sent(801, 7, asked(20003, 50));
    waiting.givenUp(refused);
    EXPECT_EQ(waiting.answered(801, std::nullopt), (Answer{large, false}));
    // What no request asked for is none of ours; the given-up one still waits for its own.
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 77)), Answer{});
    EXPECT_EQ(waiting.answered(801, std::nullopt), (Answer{refused, true}));
    EXPECT_EQ(waiting.waiting(), 0u);
}

} // namespace
