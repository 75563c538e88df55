// The services around trading against the loopback server, through the client: approval requests
// for bank deposits and withdrawals, the refusals made before anything is sent, and the chat between
// two signed-in users and with a support queue.
#include "chat/session_chat.h"
#include "client/client_factory.h"
#include "client/headless_application.h"
#include "funding/session_funding.h"
#include "integration/loopback_fixture.h"
#include "model/records/account_details.h"
#include "model/records/record_decimal.h"
#include "model/records/request_records.h"
#include "model/session_model.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/session_requests.h"
#include "session/data_service/data_service_replies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace tc;
using namespace std::chrono_literals;

struct User {
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<HeadlessApplication> app = std::make_unique<HeadlessApplication>(*defaults);
    std::unique_ptr<interfaces::Client> client;

    bool signIn(int port, const std::string& name, const std::string& password) {
        client = tc::makeClient(*app, {defaults.get(), false});
        if (!client->signIn({interfaces::LoginMode::Simulation, "127.0.0.1", port, name, password}))
            return false;
        return platform::RunLoop::main().runUntil(
            [&] { return client->loginState() == interfaces::LoginState::SignedIn; }, 10s);
    }
    std::shared_ptr<const AccountDetails> account(int id) const {
        const auto* found = client->model().AccountDetailCollection.get(std::to_string(id));
        return found ? found->shared() : nullptr;
    }
};

class ServicesRoundTrip : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        startServer(50, 5);
        ASSERT_TRUE(demo.signIn(ports.stream, "demo", "demo1234"));
    }
    void TearDown() override {
        demo.client.reset();
        trader.client.reset();
        LoopbackTest::TearDown();
    }

    User demo;
    User trader;
};

TEST_F(ServicesRoundTrip, BankDepositAndWithdrawalBecomeApprovedRequestsAndTransactions) {
    std::vector<interfaces::FundingReply> replies;
    auto handler = demo.client->funding().handleFundingReply(
        [&](const interfaces::FundingReply& r) { replies.push_back(r); });
    const double depositedBefore = demo.account(20003)->Balance.toDouble();
    const double withdrawnBefore = demo.account(20001)->Balance.toDouble();
    funding::NewDeposit deposit;
    deposit.accountDetail = demo.account(20003);
    deposit.mode = funding::kBankTransfer;
    deposit.amount = platform::Decimal::fromInt64(750);
    deposit.depositDate = "20240601";
    deposit.bankName = "First Loopback Bank";
    deposit.remarks = "June / salary";
    ASSERT_TRUE(demo.client->funding().requestDeposit(deposit));
    funding::NewWithdrawal withdrawal;
    withdrawal.accountDetail = demo.account(20001);
    withdrawal.amount = *platform::Decimal::fromString("125.5");
    ASSERT_TRUE(demo.client->funding().requestWithdrawal(withdrawal));
    ASSERT_TRUE(until([&] { return replies.size() == 4; }));
    // Once approved, the money has moved: the server tells each account's new balance.
    EXPECT_TRUE(until([&] {
        return demo.account(20003)->Balance.toDouble() == depositedBefore + 750 &&
               demo.account(20001)->Balance.toDouble() == withdrawnBefore - 125.5;
    })) << demo.account(20003)->Balance.toDouble()
        << " and " << demo.account(20001)->Balance.toDouble();
    server->book().with([](const testserver::Books& b) {
        EXPECT_EQ(b.balances.at(20003), "25750");
        EXPECT_EQ(b.balances.at(20001), "9874.5");
    });
    using Kind = interfaces::FundingReply::Kind;
    EXPECT_EQ(replies[0].kind, Kind::DepositRequested);
    EXPECT_EQ(replies[1].kind, Kind::ApprovalCompleted);
    EXPECT_EQ(replies[2].kind, Kind::WithdrawalRequested);
    EXPECT_EQ(replies[3].kind, Kind::ApprovalCompleted);
    EXPECT_EQ(replies[3].code, 930);
    // The deposit's lines name its account and remarks, label and value apart.
    EXPECT_NE(std::find_if(replies[0].lines.begin(), replies[0].lines.end(),
                           [](const interfaces::LabelValue& l) {
                               return l.value == "June / salary" && !l.label.empty();
                           }),
              replies[0].lines.end());
    const auto& requests = demo.client->funding().collections().approvalRequests;
    ASSERT_TRUE(requests.contains(replies[0].id));
    const funding::ApprovalReq& dep = *requests.at(replies[0].id);
    EXPECT_EQ(dep.approvalSubType, funding::ApprovalReq::kDepositSubType);
    EXPECT_FALSE(dep.isOpen);
    ASSERT_TRUE(dep.information);
    EXPECT_EQ(dep.information->beneficiaryAccount, 20003u);
    EXPECT_EQ(dep.information->approvedAmount, platform::Decimal::fromInt64(750));
    EXPECT_EQ(requests.at(replies[2].id)->information->benefactorAccount, 20001u);

    // The data service lists the withdrawal as a money movement of the account.
    SearchInfo all;
    all.FromDate = platform::Date{0};
    all.ToDate = platform::Date::now();
    all.AccountNumber = "20001";
    ASSERT_NE(demo.client->funding().requestFinancialTransactions(all), 0u);
    ASSERT_TRUE(until([&] {
        const auto& rows = demo.client->dataService().FinancialTransactionCollection;
        return std::any_of(rows.begin(), rows.end(), [](const FinancialTransactionDetails& r) {
            return r.DrAmount == *platform::Decimal::fromString("125.5");
        });
    }));
}

TEST_F(ServicesRoundTrip, NothingIsSentForAnIneligibleAccountOrAnAmountThatIsNotFinite) {
    const int before = streamCount(693) + streamCount(93);
    funding::NewDeposit deposit;
    deposit.mode = funding::kBankTransfer;
    deposit.amount = platform::Decimal::fromInt64(100);
    deposit.accountDetail = demo.account(20002); // allows no funding
    EXPECT_FALSE(demo.client->funding().requestDeposit(deposit));
    deposit.accountDetail = nullptr;
    EXPECT_FALSE(demo.client->funding().requestDeposit(deposit));
    deposit.accountDetail = demo.account(20003);
    for (double amount :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -5.0})
        EXPECT_FALSE(
            demo.client->funding().requestDeposit((deposit.amount = decimalFromDouble(amount), deposit)))
            << amount;
    // The approval record carries two decimals: a third would be lost on the way.
    deposit.amount = *platform::Decimal::fromString("0.001");
    EXPECT_NE(demo.client->funding().requestDeposit(deposit).error.find("two decimals"), std::string::npos);
    deposit.amount = platform::Decimal::fromInt64(100);
    deposit.bankName = std::string("Bank\x06"
                                   "injected");
    const interfaces::CommandResult refused = demo.client->funding().requestDeposit(deposit);
    EXPECT_FALSE(refused);
    // Said in the user's language (English here), the log naming the field.
    EXPECT_EQ(refused.error, "Deposit refused: A text of the form holds a character that cannot be sent.");
    funding::NewWithdrawal withdrawal;
    withdrawal.accountDetail = demo.account(20002);
    withdrawal.amount = platform::Decimal::fromInt64(10);
    EXPECT_FALSE(demo.client->funding().requestWithdrawal(withdrawal));
    // An account of another session is not sent either, however its settings read.
    auto foreign = std::make_shared<AccountDetails>(*demo.account(20001));
    foreign->AccountId = 20011;
    withdrawal.accountDetail = foreign;
    EXPECT_FALSE(demo.client->funding().requestWithdrawal(withdrawal));
    // A refused password change answers in stream order: whatever was sent before it has arrived.
    int answered = 0;
    auto barrier = demo.client->handlePasswordRefused([&](const std::string&) { ++answered; });
    ASSERT_TRUE(tc::sessionOf(*demo.client).sessionRequests().changeMyPassword("not-it", "x"));
    ASSERT_TRUE(until([&] { return answered == 1; }));
    EXPECT_EQ(streamCount(693) + streamCount(93), before);
}

TEST_F(ServicesRoundTrip, TheServersRefusalOfAnApprovalRequestIsToldWithItsText) {
    std::vector<interfaces::FundingFailure> failures;
    auto failed = demo.client->funding().handleFundingFailure(
        [&](const interfaces::FundingFailure& f) { failures.push_back(f); });
    std::vector<interfaces::FundingReply> replies;
    auto handler = demo.client->funding().handleFundingReply(
        [&](const interfaces::FundingReply& r) { replies.push_back(r); });
    funding::NewWithdrawal withdrawal;
    withdrawal.accountDetail = demo.account(20001);
    withdrawal.amount = decimalFromDouble(testserver::kApprovalLimit + 1);
    ASSERT_TRUE(demo.client->funding().requestWithdrawal(withdrawal));
    ASSERT_TRUE(until([&] { return !failures.empty(); }));
    EXPECT_EQ(failures[0].request, interfaces::FundingFailure::Request::Withdrawal);
    EXPECT_EQ(failures[0].code, testserver::kApprovalAmountError);
    EXPECT_NE(failures[0].text.find("limit"), std::string::npos) << failures[0].text;
    EXPECT_TRUE(replies.empty());
    // Nothing is held for it (the login's own list may still be arriving, so no count is compared).
    for (const auto& [id, request] : demo.client->funding().collections().approvalRequests)
        EXPECT_FALSE(request->information && request->information->requestedAmount == withdrawal.amount)
            << id;
}

TEST_F(ServicesRoundTrip, TwoUsersTalkAndSeeEachOthersPresence) {
    ASSERT_TRUE(
        until([&] { return demo.client->chat().collections().UserChatCollection.contains("trader"); }));
    EXPECT_FALSE(demo.client->chat().collections().UserChatCollection.at("trader")->IsUserOnline);
    ASSERT_TRUE(demo.client->chat().collections().GroupChatCollection.contains("1"));
    EXPECT_TRUE(demo.client->chat().collections().GroupChatCollection.at("1")->GroupUsers.contains("trader"));
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234"));
    ASSERT_TRUE(until(
        [&] { return demo.client->chat().collections().UserChatCollection.at("trader")->IsUserOnline; }));

    ASSERT_TRUE(demo.client->chat().sendChat("trader", "Hello from demo"));
    const auto traderRoom = [&]() -> const chat::ChatRoom* {
        const auto* room = trader.client->chat().collections().ChatRoomCollection.get("demo");
        return room ? room->get() : nullptr;
    };
    ASSERT_TRUE(until([&] { return traderRoom() && !traderRoom()->messages.empty(); }));
    EXPECT_EQ(traderRoom()->messages[0].msg, "Hello from demo");
    EXPECT_EQ(traderRoom()->messages[0].sender, "demo");
    EXPECT_EQ(traderRoom()->messages[0].senderDisplayName, "Demo User");
    // The answer goes back in the room the server made.
    ASSERT_TRUE(trader.client->chat().sendChat("demo", "Hi, Привет"));
    const chat::ChatRoom& demoRoom = **demo.client->chat().collections().ChatRoomCollection.get("trader");
    ASSERT_TRUE(until([&] { return demoRoom.messages.size() == 2; }));
    EXPECT_EQ(demoRoom.messages[1].msg, "Hi, Привет");
    EXPECT_EQ(demoRoom.RoomId, traderRoom()->RoomId);

    trader.client.reset();
    EXPECT_TRUE(until(
        [&] { return !demo.client->chat().collections().UserChatCollection.at("trader")->IsUserOnline; }));
}

TEST_F(ServicesRoundTrip, SupportQueueOpensItsRoomWithTheAgentsGreeting) {
    ASSERT_TRUE(until([&] { return demo.client->chat().collections().ChatQueueCollection.contains("1"); }));
    ASSERT_TRUE(demo.client->chat().requestChatQueue("1", "I need help"));
    const auto room = [&]() -> const chat::ChatRoom* {
        const auto* r = demo.client->chat().collections().ChatRoomCollection.get("1");
        return r ? r->get() : nullptr;
    };
    ASSERT_TRUE(until([&] { return room() && !room()->messages.empty(); }));
    EXPECT_TRUE(room()->isRoomCreationFromQueue);
    EXPECT_EQ(room()->messages[0].msg, "Hello, how can we help?");
    const chat::ChatQueue& queue = *demo.client->chat().collections().ChatQueueCollection.at("1");
    EXPECT_EQ(queue.roomUserName, "trader");
    EXPECT_EQ(queue.chartRequestStatus, 2);
    // The queue's room takes texts at once.
    ASSERT_TRUE(demo.client->chat().sendChat("1", "Thanks"));
    EXPECT_TRUE(until([&] { return streamCount(603) == 1; }));
    EXPECT_EQ(streamCount(601), 0);
}

} // namespace
