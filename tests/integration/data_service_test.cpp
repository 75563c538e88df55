// Every data-service procedure against the loopback server: the request goes out on the client's
// request socket, the server answers from its market, and the reply lands in its collection on the
// main queue. Requests the program's seam offers go through the client; the others through the
// session behind it.
#include "client/client_factory.h"
#include "funding/session_funding.h"
#include "loopback_fixture.h"
#include "market.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "orders/session_orders.h"
#include "platform/bundle.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/business_test_support.h"
#include "statements/statement_reader.h"
#include "test_server.h"
#include "wire/login_inputdata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <vector>

namespace {

using namespace tc;
using namespace std::chrono_literals;
using namespace sessiontest;

WallTime utc(int year, int month, int day) {
    return std::chrono::sys_days(std::chrono::year(year) / month / day);
}

class DataServiceRoundTrip : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        startServer(200, 5);

        BusinessServices services;
        services.historyRows = rows;
        client = tc::makeClient(app, {defaults.get(), false}, services);
        countLogins(*client);
        ASSERT_TRUE(client->signIn(loginOf()));
        ASSERT_TRUE(loggedIn());
        // The login's own requests are answered in order; the last is the financial approvals.
        ASSERT_TRUE(platform::RunLoop::main().runUntil(
            [&] { return !client->funding().collections().financialApprovals.empty(); }, 10s));
    }
    void TearDown() override {
        client.reset();
        LoopbackTest::TearDown();
    }

    // Runs the main queue until no request of this session waits for its reply. The last reply may
    // still be on its way to the main queue: wait for its effect with eventually().
    bool answered() {
        return platform::RunLoop::main().runUntil(
            [&] { return inside().sessionRequests().pendingRequests().size() == 0; }, 10s);
    }
    bool eventually(const std::function<bool()>& done) {
        return platform::RunLoop::main().runUntil(done, 10s);
    }
    const DataServiceCollections& got() { return client->dataService(); }
    // The requests the seam does not offer (the statement's equity hits, pay-gate settings,
    // resource downloads, another user's account).
    BusinessBase& inside() { return tc::sessionOf(*client); }
    SessionRequests& ask() { return inside().sessionRequests(); }

    FakeApplication app;
    std::shared_ptr<RowLog> rows = std::make_shared<RowLog>();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<interfaces::Client> client;
};

TEST_F(DataServiceRoundTrip, LoginRequestsFillTheOrderListsInstrumentsResourcesAndApprovals) {
    ASSERT_TRUE(answered());
    ASSERT_TRUE(eventually([&] { return !client->funding().collections().approvalRequests.empty(); }));
    // Only the signed-in user's accounts: 300003, 310003 and 330002 belong to another user.
    EXPECT_EQ(rows->setOf("open"), (std::set<std::string>{"300001", "300002"}));
    EXPECT_EQ(rows->setOf("pending"), (std::set<std::string>{"310001", "310002"}));
    EXPECT_EQ(rows->setOf("settled"), (std::set<std::string>{"320001", "320002"}));
    EXPECT_EQ(rows->setOf("cancelled"), std::set<std::string>{"330001"});

    const ItemDetails& eurusd = **client->model().ItemCollection.get("EURUSD");
    EXPECT_EQ(eurusd.marketID, 1u);
    EXPECT_FALSE(eurusd.exchangeName.empty());

    const auto& resources = got().resourceSearchCollection;
    ASSERT_TRUE(resources.contains("holidays.ics"));
    ASSERT_TRUE(resources.contains("eurusd.ico"));
    EXPECT_EQ(resources.at("holidays.ics").searchKey, "CAL");
    EXPECT_EQ(resources.at("eurusd.ico").fileCRC, "4d5e6f");

    ASSERT_EQ(client->funding().collections().approvalRequests.size(), 1u);
    EXPECT_EQ(client->funding().collections().approvalRequests.begin()->first, 700001u);
    // The financial record of the request is linked to it.
    ASSERT_TRUE(client->funding().collections().approvalRequests.begin()->second->information);
    EXPECT_EQ(
        client->funding().collections().approvalRequests.begin()->second->information->beneficiaryAccount,
        20001u);
}

TEST_F(DataServiceRoundTrip, AccountDetailsSchedulesAndAccessMaps) {
    int banks = 0, schedules = 0, maps = 0, accepted = 0, refused = 0;
    auto bankEvents =
        client->funding().handleBankDetails([&](const interfaces::BankDetailsArrival&) { ++banks; });
    auto scheduleEvents =
        client->handleSessionSchedule([&](const interfaces::ScheduleArrival&) { ++schedules; });
    auto mapEvents = client->handleUserAccess([&](const interfaces::UserAccessArrival&) { ++maps; });
    auto editEvents = client->handleUserAccessEdited(
        [&](const interfaces::UserAccessEdit& e) { ++(e.accepted ? accepted : refused); });
    ASSERT_NE(client->funding().requestBankDetails(20001), 0u);
    ASSERT_NE(client->requestSessionSchedule(1), 0u);
    ASSERT_NE(client->requestUserMapWithAccount(20001), 0u);
    ASSERT_TRUE(answered());
    ASSERT_TRUE(eventually([&] { return banks == 1 && schedules == 1 && maps == 1; }));
    ASSERT_TRUE(got().bankDetails);
    EXPECT_EQ(got().bankDetails->BankName, "First Loopback Bank");
    EXPECT_EQ(got().bankDetails->BankAccountNumber, 123456789);
    ASSERT_TRUE(got().marketSessionSchedulesCollection.contains("1"));
    EXPECT_EQ(got().marketSessionSchedulesCollection.at("1").size(), 5u);
    ASSERT_TRUE(got().userAccountMapCollection.contains("1002:20001")); // trader may see 20001
    EXPECT_EQ(got().userAccountMapCollection.at("1002:20001")->accountAccessTypeId, 1u);

    // Changing an access and reading the maps again shows the change.
    UserAccountMaps change = *got().userAccountMapCollection.at("1002:20001");
    change.accountAccessTypeId = 2;
    ASSERT_NE(client->requestEditUserAccess(change), 0u);
    ASSERT_NE(client->requestUserMapWithAccount(20001), 0u);
    ASSERT_TRUE(answered());
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return accepted == 1; }, 2s));
    EXPECT_TRUE(eventually(
        [&] { return got().userAccountMapCollection.at("1002:20001")->accountAccessTypeId == 2u; }));

    // Another user's account is refused: the bank details go and the window hears of it.
    AccountDetails foreign;
    foreign.AccountId = 20011;
    ASSERT_TRUE(ask().requestBankDetails(foreign));
    ASSERT_TRUE(answered());
    ASSERT_TRUE(eventually([&] { return banks == 2; }));
    EXPECT_FALSE(got().bankDetails);
    EXPECT_EQ(refused, 0);
}

TEST_F(DataServiceRoundTrip, EachReplyAWindowWaitsForComesAsATypedEventNamingItsRequest) {
    ASSERT_TRUE(answered());
    std::vector<interfaces::BankDetailsArrival> banks;
    std::vector<interfaces::ScheduleArrival> schedules;
    std::vector<interfaces::UserAccessArrival> access;
    std::vector<interfaces::UserAccessEdit> edits;
    std::vector<interfaces::RequestId> histories;
    auto h1 = client->funding().handleBankDetails([&](const auto& a) { banks.push_back(a); });
    auto h2 = client->handleSessionSchedule([&](const auto& a) { schedules.push_back(a); });
    auto h3 = client->handleUserAccess([&](const auto& a) { access.push_back(a); });
    auto h4 = client->handleUserAccessEdited([&](const auto& e) { edits.push_back(e); });
    auto h5 =
        client->funding().handleFundingHistory([&](interfaces::RequestId id) { histories.push_back(id); });

    const interfaces::RequestId bank = client->funding().requestBankDetails(20001);
    const interfaces::RequestId schedule = client->requestSessionSchedule(1);
    const interfaces::RequestId map = client->requestUserMapWithAccount(20001);
    SearchInfo year;
    year.FromDate = utc(2024, 1, 1);
    year.ToDate = utc(2024, 12, 31);
    year.AccountNumber = "20001";
    const interfaces::RequestId history = client->funding().requestFinancialTransactions(year);
    ASSERT_TRUE(eventually(
        [&] { return !banks.empty() && !schedules.empty() && !access.empty() && !histories.empty(); }));
    ASSERT_TRUE(banks[0].details);
    EXPECT_EQ(banks[0].id, bank);
    EXPECT_EQ(banks[0].details->BankName, "First Loopback Bank");
    EXPECT_EQ(schedules[0].id, schedule);
    EXPECT_EQ(schedules[0].marketId, 1u);
    EXPECT_EQ(got().marketSessionSchedulesCollection.at("1").size(), 5u);
    EXPECT_EQ(access[0].id, map);
    EXPECT_EQ(access[0].accountId, 20001);
    EXPECT_EQ(histories, std::vector<interfaces::RequestId>{history});
    EXPECT_EQ(got().FinancialTransactionCollection.size(), 3u);

    UserAccountMaps change = *got().userAccountMapCollection.at("1002:20001");
    change.accountAccessTypeId = 2;
    const interfaces::RequestId edit = client->requestEditUserAccess(change);
    ASSERT_TRUE(eventually([&] { return !edits.empty(); }));
    EXPECT_EQ(edits[0].id, edit);
    EXPECT_TRUE(edits[0].accepted);
    // An account the session does not hold sends nothing and hears nothing.
    EXPECT_EQ(client->funding().requestBankDetails(99999), 0u);
    EXPECT_EQ(banks.size(), 1u);
}

TEST_F(DataServiceRoundTrip, SearchesStatementsAndEquityHits) {
    int histories = 0, statementsArrived = 0;
    auto historyEvents = client->funding().handleFundingHistory([&](interfaces::RequestId) { ++histories; });
    auto statementEvents = client->statements().handleStatementArrived(
        [&](const interfaces::StatementArrival&) { ++statementsArrived; });
    SearchInfo year;
    year.FromDate = utc(2024, 1, 1);
    year.ToDate = utc(2024, 12, 31);
    year.AccountNumber = "20001";
    ASSERT_NE(client->searchExecutedPositions(year), 0u);
    ASSERT_NE(client->funding().requestFinancialTransactions(year), 0u);
    StatementSelection january{"20001", utc(2024, 1, 1), utc(2024, 1, 31)};
    ASSERT_NE(client->statements().requestAccountStatement(january), 0u);
    ASSERT_NE(client->statements().requestCancelledOrderHistory(january), 0u);
    ASSERT_TRUE(ask().requestEquityPriceInfo(20003));
    ASSERT_TRUE(answered());
    ASSERT_TRUE(eventually([&] {
        return histories == 1 && statementsArrived == 2 && got().ExecutedOrderSearchCollection.size() == 2 &&
               !rows->of("equity").empty();
    }));

    // The executed-positions table now lists the search.
    std::set<std::string> executed;
    for (const auto& order : client->queries().getExecutedOrderCollection())
        executed.insert(order->OpenPositionId);
    EXPECT_EQ(executed, (std::set<std::string>{"300001", "300002"}));
    EXPECT_EQ(got().ExecutedOrderSearchCollection.size(), 2u);
    EXPECT_EQ(got().FinancialTransactionCollection.size(), 3u);
    ASSERT_TRUE(eventually([&] { return client->statements().statement() != nullptr; }));
    const statements::AccountStatementInfo& statement = *client->statements().statement();
    EXPECT_FALSE(statement.InstrumentInfo.empty());
    // The account's margin calls and both addresses, as the market seeds them.
    EXPECT_EQ(statement.getMarginCallCountForAccountId(20001), 2u);
    EXPECT_EQ(statement.getClientAddressForAccountId(20001), "1 Loopback Lane, Localhost");
    EXPECT_EQ(statement.getCompanyAddressForAccountId(20001), "Tradeclient Markets Ltd, 127 Local Road");
    // The statement's cancelled orders, apart from the login's list.
    ASSERT_EQ(got().cancelledOrderInfo.size(), 1u);
    EXPECT_EQ(got().cancelledOrderInfo[0]->ItemCode, "AUDUSD");
    EXPECT_DOUBLE_EQ(statements::AccountStatementInfo::getCancelledQuantity(got().cancelledOrderInfo), 1);
    EXPECT_EQ(rows->setOf("cancelled"), std::set<std::string>{"330001"});
    EXPECT_EQ(rows->setOf("equity"), std::set<std::string>{"299007"});
}

TEST_F(DataServiceRoundTrip, PayGateSettingsAreRead) {
    ASSERT_TRUE(answered());
    ASSERT_NE(client->funding().requestPayGateSettings(), 0u);
    ASSERT_TRUE(eventually([&] { return client->funding().collections().payGateSettings.size() == 2; }));
    const auto gates = client->funding().collections().payGateSettings.getAllPayGateSettings();
    EXPECT_EQ(gates[0]->name, "Loopback Pay");
    EXPECT_TRUE(gates[0]->enabled);
    ASSERT_TRUE(gates[0]->currency); // linked to the session's currency of that id
}

TEST_F(DataServiceRoundTrip, ChartRequestIsStoredAndAnnounced) {
    // The chart's reply is announced with the request it answers and the key it is kept under.
    std::vector<interfaces::ChartArrival> arrivals;
    auto chartEvents =
        client->handleChartArrived([&](const interfaces::ChartArrival& a) { arrivals.push_back(a); });
    const interfaces::RequestId id = client->requestChartData("EURUSD", "60", 50);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(eventually([&] { return arrivals.size() == 1; }));
    EXPECT_EQ(arrivals[0].id, id);
    EXPECT_FALSE(arrivals[0].key.empty());
    EXPECT_EQ(client->chartData().size(), 1u);
}

} // namespace
