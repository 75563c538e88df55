// Which approval request an answer of the server belongs to: the oldest of its kind waiting, the
// oldest with the echoed request number where the answer carries one.
#include "funding/waiting_approvals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

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

// A request given up keeps its place in the server's order: an answer that cannot tell it from the
// next (a refusal naming nothing, a receipt of the same account and amount sent again) is its own,
// told late, and the next request's answer stays the next request's.
TEST(WaitingApprovals, ARequestGivenUpTakesItsOwnAnswerLateAndNeverTheNextOnes) {
    using Answer = WaitingApprovals::Answer;
    const auto asked = [](std::uint64_t account, std::int64_t amount) {
        return WaitingApprovals::Asked{account, tc::platform::Decimal::fromInt64(amount)};
    };
    WaitingApprovals waiting;
    // Sent again after its window gave up: the first receipt is the first request's.
    const std::uint64_t lost = waiting.sent(801, 5, asked(20001, 100));
    waiting.givenUp(lost);
    const std::uint64_t again = waiting.sent(801, 5, asked(20001, 100));
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 100)), (Answer{lost, true}));
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 100)), (Answer{again, false}));

    // A refusal names nothing asked: the oldest takes it, given up or not, and the receipt of the
    // next still finds its own request.
    const std::uint64_t refused = waiting.sent(801, 6, asked(20003, 2'000'000));
    waiting.givenUp(refused);
    const std::uint64_t next = waiting.sent(801, 7, asked(20003, 222));
    EXPECT_EQ(waiting.answered(801, std::nullopt), (Answer{refused, true}));
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20003, 222)), (Answer{next, false}));

    // A receipt finds the request that asked for what it names, whichever is older; what no request
    // asked for is none of ours.
    const std::uint64_t small = waiting.sent(801, 8, asked(20001, 100));
    const std::uint64_t large = waiting.sent(801, 8, asked(20001, 900));
    waiting.givenUp(large);
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 900)), (Answer{large, true}));
    EXPECT_EQ(waiting.answered(801, std::nullopt, asked(20001, 77)), Answer{});
    EXPECT_EQ(waiting.answered(801, std::nullopt), (Answer{small, false}));
    EXPECT_EQ(waiting.waiting(), 0u);
}

// The shape of every waiting list's rule test: requests sent in order, the first given up, then the
// server's answers in the order it took them; each answer goes to the oldest request it can answer
// within each step, given up or not, and only the given-up one is told as late.
TEST(WaitingApprovals, WithinEachStepTheOldestTakesTheAnswerGivenUpOrNot) {
    using Asked = std::optional<WaitingApprovals::Asked>;
    const auto asked = [](std::uint64_t account, std::int64_t amount) -> Asked {
        return WaitingApprovals::Asked{account, tc::platform::Decimal::fromInt64(amount)};
    };
    struct Sent {
        std::int64_t action;
        std::int64_t number;
        Asked asked;
    };
    struct Answer {
        std::int64_t action;
        std::optional<std::int64_t> number;
        Asked asked;
    };
    struct RuleCase {
        const char* name;
        std::vector<Sent> sent; // the first is given up
        std::vector<Answer> answers;
        std::vector<std::size_t> taken; // the place of the request each answer went to, in order
    };
    const std::vector<RuleCase> cases{
        {"refusals naming nothing",
         {{801, 6, asked(20003, 100)}, {801, 7, asked(20003, 222)}},
         {{801, std::nullopt, std::nullopt}, {801, std::nullopt, std::nullopt}},
         {0, 1}},
        {"echoes of one number",
         {{801, 5, asked(20001, 100)}, {801, 5, asked(20001, 100)}},
         {{801, 5, asked(20001, 100)}, {801, 5, asked(20001, 100)}},
         {0, 1}},
        // A receipt naming what only the newer asked for is the newer's, whatever is older.
        {"receipts of two amounts",
         {{801, 8, asked(20001, 100)}, {801, 8, asked(20001, 900)}},
         {{801, std::nullopt, asked(20001, 900)}, {801, std::nullopt, asked(20001, 100)}},
         {1, 0}},
        // An echoed number is the closer step: the newer takes its echo first.
        {"echoes of two numbers",
         {{802, 1, std::nullopt}, {802, 2, std::nullopt}},
         {{802, 2, std::nullopt}, {802, 3, std::nullopt}},
         {1, 0}},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        WaitingApprovals waiting;
        std::vector<std::uint64_t> tickets;
        for (const Sent& s : c.sent)
            tickets.push_back(waiting.sent(s.action, s.number, s.asked));
        waiting.givenUp(tickets.front());
        std::vector<std::size_t> taken;
        for (const Answer& a : c.answers) {
            const WaitingApprovals::Answer answer = waiting.answered(a.action, a.number, a.asked);
            const auto place = std::find(tickets.begin(), tickets.end(), answer.ticket);
            ASSERT_NE(place, tickets.end());
            EXPECT_EQ(answer.late, place == tickets.begin());
            taken.push_back(static_cast<std::size_t>(place - tickets.begin()));
        }
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(waiting.waiting(), 0u);
    }
}

} // namespace
