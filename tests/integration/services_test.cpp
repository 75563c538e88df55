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
#include "model/text/language_string.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/session_requests.h"
#include "session/data_service/data_service_replies.h"
#include "wire/wire_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

namespace {

using namespace tc;
using namespace std::chrono_literals;

struct User {
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<HeadlessApplication> app = std::make_unique<HeadlessApplication>(*defaults);
    std::unique_ptr<interfaces::Client> client;

    // With `kept`, the conversations of the user's session before are taken over first.
    bool signIn(int port, const std::string& name, const std::string& password,
                const std::vector<chat::KeptConversation>* kept = nullptr) {
        client = tc::makeClient(*app, {defaults.get(), false});
        if (kept)
            client->chat().takeOverConversations(*kept);
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
    all.FromDate = WallTime{};
    all.ToDate = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
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

// The server answers approval requests in turn. A request given up keeps its place: sent again with
// the same account and amount, the first receipt is the first request's, told late in a banner, and
// the second the second's; a refusal given up is the given-up request's, told in a banner too, and
// the next request keeps its own receipt. A receipt for demo's account that no request here waits for
// (sent by another program of the user) is told, never dropped.
TEST_F(ServicesRoundTrip, EachApprovalAnswerGoesToItsOwnRequestInTurnAndNoneIsDropped) {
    std::vector<interfaces::FundingReply> receipts;
    auto handler = demo.client->funding().handleFundingReply([&](const interfaces::FundingReply& r) {
        if (r.kind == interfaces::FundingReply::Kind::DepositRequested)
            receipts.push_back(r);
    });
    std::vector<interfaces::FundingFailure> failures;
    auto failed = demo.client->funding().handleFundingFailure(
        [&](const interfaces::FundingFailure& f) { failures.push_back(f); });
    const auto depositOf = [&](double amount) {
        funding::NewDeposit d;
        d.accountDetail = demo.account(20003);
        d.mode = funding::kBankTransfer;
        d.amount = decimalFromDouble(amount);
        d.depositDate = "20240601";
        return d;
    };
    const auto deposit = [&](double amount) {
        const interfaces::FundingRequestSent sent = demo.client->funding().requestDeposit(depositOf(amount));
        EXPECT_TRUE(sent) << sent.error;
        return sent.ticket;
    };
    const auto sentCount = [&](int n) { return until([&] { return streamCount(693) == n; }); };
    // The text of the banner of that title, empty when none was shown.
    const auto banner = [&](const std::string& title) {
        for (const HeadlessApplication::Call& c : demo.app->callsNamed("showMessageBanner"))
            if (c.args.size() == 2 && c.args[1] == title)
                return c.args[0];
        return std::string();
    };

    server->holdApprovals(true);
    const std::uint64_t lost = deposit(111);
    ASSERT_TRUE(sentCount(1));
    demo.client->funding().giveUpRequest(lost);
    const std::uint64_t again = deposit(111);
    const std::uint64_t refused = deposit(testserver::kApprovalLimit * 2);
    ASSERT_TRUE(sentCount(3));
    demo.client->funding().giveUpRequest(refused);
    const std::uint64_t next = deposit(222);
    ASSERT_TRUE(sentCount(4));
    server->holdApprovals(false);
    ASSERT_TRUE(until([&] { return receipts.size() == 3 && failures.size() == 1; }));
    EXPECT_EQ(std::tie(receipts[0].ticket, receipts[0].late), std::tuple(lost, true));
    EXPECT_EQ(std::tie(receipts[1].ticket, receipts[1].late), std::tuple(again, false));
    EXPECT_EQ(std::tie(receipts[2].ticket, receipts[2].late), std::tuple(next, false));
    EXPECT_EQ(failures[0].id, refused);
    ASSERT_TRUE(until([&] { return !banner("Deposit request refused").empty(); }));
    EXPECT_NE(banner("Deposit request refused").find("limit"), std::string::npos);
    const std::string late = banner("Deposit request answered late");
    EXPECT_NE(late.find("20003"), std::string::npos) << late;
    EXPECT_NE(late.find("111.00"), std::string::npos) << late;

    // Sent past this session's waiting list, as another program of demo's would.
    MessageBase foreign = funding::depositMessage(depositOf(333)).message;
    BusinessBase& business = tc::sessionOf(*demo.client);
    foreign.setValue(wire::tag::kRequestId, std::to_string(business.sessionRequests().nextRequestId()));
    foreign.setValue(wire::tag::kFundingUserId, std::to_string(business.userId()));
    ASSERT_TRUE(business.sessionRequests().sendRequest(foreign));
    ASSERT_TRUE(until([&] { return receipts.size() == 4; }));
    EXPECT_EQ(receipts[3].ticket, 0u);
    ASSERT_TRUE(until([&] { return !banner("Deposit request received").empty(); }));
    EXPECT_NE(banner("Deposit request received").find("333.00"), std::string::npos);
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

TEST_F(ServicesRoundTrip, TextsToASignedOutContactAreHeldAndDeliveredIntoTheConversationAtSignIn) {
    const auto& demoChat = demo.client->chat();
    ASSERT_TRUE(until([&] { return demoChat.collections().UserChatCollection.contains("trader"); }));
    const std::size_t before = server->chatConversation("demo", "trader").size();
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "msg A"));
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "msg A2"));
    ASSERT_TRUE(until([&] { return server->chatConversation("demo", "trader").size() == before + 2; }));
    // The sender's transcript says the server holds them for the contact.
    const chat::ChatRoom& demoRoom = **demoChat.collections().ChatRoomCollection.get("trader");
    ASSERT_EQ(demoRoom.messages.size(), 2u);
    EXPECT_TRUE(demoRoom.messages[0].heldForContact && demoRoom.messages[1].heldForContact);

    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234"));
    const auto traderRoom = [&]() -> const chat::ChatRoom* {
        const auto* room = trader.client->chat().collections().ChatRoomCollection.get("demo");
        return room ? room->get() : nullptr;
    };
    ASSERT_TRUE(until([&] { return traderRoom() && traderRoom()->messages.size() == 2; }));
    EXPECT_EQ(traderRoom()->messages[0].msg, "msg A");
    EXPECT_EQ(traderRoom()->messages[1].msg, "msg A2");
    EXPECT_EQ(traderRoom()->messages[1].sender, "demo");
    EXPECT_EQ(traderRoom()->messages[1].senderDisplayName, "Demo User");
    // One banner for the conversation, with its last text; the server is told they arrived.
    const auto bannersOf = [&](const std::string& text) {
        const auto banners = trader.app->callsNamed("showBanner");
        return std::count_if(banners.begin(), banners.end(), [&](const HeadlessApplication::Call& c) {
            return c.banner && c.banner->informativeText == text;
        });
    };
    ASSERT_TRUE(until([&] { return streamCount(608) >= 1 && bannersOf("msg A2") == 1; }));
    EXPECT_EQ(bannersOf("msg A"), 0);

    // The next text goes at once, with the trader's conversation with demo open, into it.
    trader.client->chat().setOpenConversation("demo");
    ASSERT_TRUE(until([&] { return demoChat.collections().UserChatCollection.at("trader")->IsUserOnline; }));
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "msg B"));
    EXPECT_FALSE(demoRoom.messages.back().heldForContact);
    ASSERT_TRUE(until([&] { return traderRoom()->messages.size() == 3; }));
    EXPECT_EQ(traderRoom()->messages[2].msg, "msg B");

    // Delivered and acknowledged, nothing is held any more: a new sign-in brings them no second time.
    trader.client.reset();
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234"));
    const int acknowledged = streamCount(608);
    ASSERT_TRUE(until([&] { return streamCount(613) >= 2; }));
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "msg C"));
    ASSERT_TRUE(until([&] { return traderRoom() && !traderRoom()->messages.empty(); }));
    ASSERT_EQ(traderRoom()->messages.size(), 1u);
    EXPECT_EQ(traderRoom()->messages[0].msg, "msg C");
    EXPECT_EQ(streamCount(608), acknowledged);
}

TEST_F(ServicesRoundTrip, ATextTheServerHadNotReadWhenTheLineWasLostIsMarkedAndNamedInTheLossAlert) {
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234"));
    auto& demoChat = demo.client->chat();
    ASSERT_TRUE(until([&] {
        const auto* contact = demoChat.collections().UserChatCollection.get("trader");
        return contact && *contact && (*contact)->IsUserOnline;
    }));
    ASSERT_TRUE(demoChat.sendChat("trader", "read in time"));
    const auto traderRoom = [&]() -> const chat::ChatRoom* {
        const auto* room = trader.client->chat().collections().ChatRoomCollection.get("demo");
        return room ? room->get() : nullptr;
    };
    ASSERT_TRUE(until([&] { return traderRoom() && traderRoom()->messages.size() == 1; }));
    // A ping sent after it is answered: the server has read it.
    const BusinessBase& business = sessionOf(*demo.client);
    const std::uint64_t pings = business.pingsSent();
    ASSERT_TRUE(until([&] { return business.pingsAnswered() > pings; }));

    // The server stands still, the text goes into its socket, and the line drops.
    server->pauseStream(true);
    ASSERT_TRUE(demoChat.sendChat("trader", "into the silence"));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return !demo.app->callsNamed("onConnectionLost").empty(); }));
    server->pauseStream(false);
    const std::vector<std::string> named = demo.app->callsNamed("onConnectionLost").front().args;
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named[0].find("Trader Two"), std::string::npos) << named[0];
    EXPECT_NE(named[0].find("into the silence"), std::string::npos) << named[0];
    const chat::ChatRoom& room = **demoChat.collections().ChatRoomCollection.get("trader");
    ASSERT_EQ(room.messages.size(), 2u);
    EXPECT_FALSE(room.messages[0].unconfirmed);
    EXPECT_TRUE(room.messages[1].unconfirmed);
}

// A password change the server had not answered is named beside the requests when the line is lost:
// the next sign-in may take the new password. One answered before is not named.
TEST_F(ServicesRoundTrip, APasswordChangeWithoutAnAnswerWhenTheLineIsLostIsNamedInTheLossAlert) {
    int changed = 0;
    auto handler = demo.client->handlePasswordChanged([&] { ++changed; });
    ASSERT_TRUE(demo.client->changePassword("demo1234", "s3cond-pass", "s3cond-pass"));
    ASSERT_TRUE(until([&] { return changed == 1; }));
    server->pauseStream(true);
    ASSERT_TRUE(demo.client->changePassword("s3cond-pass", "th1rd-pass", "th1rd-pass"));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return !demo.app->callsNamed("onConnectionLost").empty(); }));
    server->pauseStream(false);
    const std::string named = LanguageString::stringForSelectedLanguage(0, "97300").value_or("");
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(demo.app->callsNamed("onConnectionLost").front().args, std::vector<std::string>{named});
}

// Answered, done or refused by the server, a password change waits for nothing: a later loss names it
// not, nor writes it in the Journal.
TEST_F(ServicesRoundTrip, APasswordChangeAnsweredBeforeTheLineIsLostIsNotNamedInTheLossAlert) {
    int changed = 0, refused = 0;
    auto done = demo.client->handlePasswordChanged([&] { ++changed; });
    auto notDone = demo.client->handlePasswordRefused([&](const std::string&) { ++refused; });
    // The server's own length rule, which the client does not check: its refusal is an answer too.
    ASSERT_TRUE(demo.client->changePassword("demo1234", "short1", "short1"));
    ASSERT_TRUE(until([&] { return refused == 1; }));
    ASSERT_TRUE(demo.client->changePassword("demo1234", "s3cond-pass", "s3cond-pass"));
    ASSERT_TRUE(until([&] { return changed == 1; }));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return !demo.app->callsNamed("onConnectionLost").empty(); }));
    EXPECT_EQ(demo.app->callsNamed("onConnectionLost").front().args, std::vector<std::string>{});
    const std::string named = LanguageString::stringForSelectedLanguage(0, "97300").value_or("");
    ASSERT_FALSE(named.empty());
    const std::vector<std::string>& journal = demo.client->journal();
    EXPECT_EQ(std::count_if(journal.begin(), journal.end(),
                            [&](const std::string& line) { return line.find(named) != std::string::npos; }),
              0);
}

TEST_F(ServicesRoundTrip, TheSameUserSigningInAgainKeepsTheConversationAndGetsWhatTheServerHoldsBeyondIt) {
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234"));
    ASSERT_TRUE(until([&] {
        const auto* contact = demo.client->chat().collections().UserChatCollection.get("trader");
        return contact && *contact && (*contact)->IsUserOnline;
    }));
    const auto traderRoom = [&]() -> const chat::ChatRoom* {
        const auto* room = trader.client->chat().collections().ChatRoomCollection.get("demo");
        return room ? room->get() : nullptr;
    };
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "one"));
    ASSERT_TRUE(until([&] { return traderRoom() && traderRoom()->messages.size() == 1; }));
    // The conversation as the trader's session held it before the next text (one the line may lose).
    const std::vector<chat::KeptConversation> kept = trader.client->chat().keptConversations();
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "two"));
    ASSERT_TRUE(until([&] { return traderRoom()->messages.size() == 2; }));

    trader.client.reset();
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234", &kept));
    const auto texts = [&] {
        std::vector<std::string> out;
        if (traderRoom())
            for (const chat::ChatMessageEntry& e : traderRoom()->messages)
                out.push_back(e.msg);
        return out;
    };
    // Every text the server holds for the room, once each, in its order (the earlier ones too).
    const std::vector<std::string> all{"Your EURUSD order is filled at 1.0850.",
                                       "Thank you, please keep me posted.", "one", "two"};
    EXPECT_TRUE(until([&] { return texts() == all; })) << texts().size();
    EXPECT_TRUE(traderRoom()->isChatRoomCreated);
}

// Demo and the trader with no conversation between them yet on the server.
class FirstChatText : public ServicesRoundTrip {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        market.market->chatLines.clear();
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        testserver::ServerOptions options;
        options.rate = 50;
        options.seed = 5;
        options.port = options.feedPort = options.dataPort = 0;
        ports = server->start(options);
        ASSERT_TRUE(demo.signIn(ports.stream, "demo", "demo1234"));
    }
};

// The trader has demo's conversation open, still empty, when demo's first text is lost on the way in:
// signed in again, the trader finds the conversation with that text, once.
TEST_F(FirstChatText, TheFirstTextOfAConversationLostOnTheWayInComesAtTheSignInAgain) {
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234"));
    ASSERT_TRUE(until([&] {
        const auto* contact = demo.client->chat().collections().UserChatCollection.get("trader");
        return contact && *contact && (*contact)->IsUserOnline;
    }));
    ASSERT_TRUE(server->chatConversation("demo", "trader").empty());
    ASSERT_TRUE(trader.client->chat().createChatRoom("demo"));
    // The trader's session as it stood when the line was lost: the open conversation, no text in it.
    const std::vector<chat::KeptConversation> kept = trader.client->chat().keptConversations();
    EXPECT_TRUE(kept.size() == 1u && kept[0].key == "demo" && kept[0].room.messages.empty()) << kept.size();
    ASSERT_TRUE(demo.client->chat().sendChat("trader", "first"));
    ASSERT_TRUE(until([&] { return server->chatConversation("demo", "trader").size() == 1; }));

    trader.client.reset();
    ASSERT_TRUE(trader.signIn(ports.stream, "trader", "trader1234", &kept));
    const auto traderRoom = [&]() -> const chat::ChatRoom* {
        const auto* room = trader.client->chat().collections().ChatRoomCollection.get("demo");
        return room ? room->get() : nullptr;
    };
    const auto texts = [&] {
        std::vector<std::string> out;
        if (traderRoom())
            for (const chat::ChatMessageEntry& e : traderRoom()->messages)
                out.push_back(e.msg);
        return out;
    };
    EXPECT_TRUE(until([&] { return texts() == std::vector<std::string>{"first"}; })) << texts().size();
    ASSERT_NE(traderRoom(), nullptr);
    EXPECT_TRUE(traderRoom()->isChatRoomCreated);
    EXPECT_EQ(traderRoom()->messages[0].sender, "demo");
    // The answer goes in the pair's room, not a new one.
    const std::string roomId = traderRoom()->RoomId;
    ASSERT_TRUE(trader.client->chat().sendChat("demo", "got it"));
    ASSERT_TRUE(until([&] { return server->chatConversation("demo", "trader").size() == 2; }));
    const chat::ChatRoom& demoRoom = **demo.client->chat().collections().ChatRoomCollection.get("trader");
    ASSERT_TRUE(until([&] { return demoRoom.messages.size() == 2; }));
    EXPECT_EQ(demoRoom.RoomId, roomId);
}

TEST_F(ServicesRoundTrip, SupportQueueOpensItsRoomWithTheAgentsGreeting) {
    ASSERT_TRUE(until([&] { return demo.client->chat().collections().ChatQueueCollection.contains("1"); }));
    ASSERT_TRUE(demo.client->chat().requestChatQueue("1", "I need help with a withdrawal"));
    const auto room = [&]() -> const chat::ChatRoom* {
        const auto* r = demo.client->chat().collections().ChatRoomCollection.get("1");
        return r ? r->get() : nullptr;
    };
    ASSERT_TRUE(until([&] { return room() && room()->messages.size() == 2; }));
    EXPECT_TRUE(room()->isRoomCreationFromQueue);
    // The question heads the transcript, the agent's greeting follows.
    EXPECT_EQ(room()->messages[0].msg, "I need help with a withdrawal");
    EXPECT_EQ(room()->messages[0].sender, "demo");
    EXPECT_EQ(room()->messages[1].msg, "Hello, how can we help?");
    const chat::ChatQueue& queue = *demo.client->chat().collections().ChatQueueCollection.at("1");
    EXPECT_EQ(queue.roomUserName, "trader");
    EXPECT_EQ(queue.chartRequestStatus, 2);
    // The queue's room takes texts at once.
    ASSERT_TRUE(demo.client->chat().sendChat("1", "Thanks"));
    EXPECT_TRUE(until([&] { return streamCount(603) == 1; }));
    EXPECT_EQ(streamCount(601), 0);
}

} // namespace
