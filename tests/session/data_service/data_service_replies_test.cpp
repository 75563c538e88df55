#include "session/data_service/data_service_replies.h"

#include "model/records/account_details.h"
#include "model/records/history_rows.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "session/business/business_test_support.h"
#include "session/business/session_requests.h"
#include "support/decimal_literal.h"
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;

using E = DataServiceEvent;
using sessiontest::RowLog;
using testing_support::dec;
using testing_support::wireText;

// Records each ended by 0x06.
std::string reply(std::initializer_list<std::string> records) {
    std::string out;
    for (const auto& r : records)
        out += r + '\x06';
    return out;
}

class DataServiceRepliesTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto item = std::make_shared<ItemDetails>();
        item->InstrumentId = 42;
        item->Code = "EURUSD";
        model.ItemCollection.insert_or_assign("EURUSD", item);
        auto account = std::make_shared<AccountDetails>();
        account->AccountId = 7;
        model.AccountDetailCollection.insert_or_assign("7", account);
    }

    DataServiceOutcome run(std::string_view procedure, const std::string& text, int subType = 0) {
        return DataServiceReplies::apply(DataServiceReplies::parse(procedure, subType, text, ""), model,
                                         targets, &rows);
    }

    SessionModel model;
    DataServiceCollections targets;
    RowLog rows;
};

TEST_F(DataServiceRepliesTest, OrderRowsGoToTheirFillersAndRenewTheSubscriptionOnce) {
    auto out = run("getopenpositions", wireText("P1<C>7<C>42<R>P2<R>P1<C>7<C>42<R>"));
    EXPECT_EQ(rows.of("open"), (std::vector<std::string>{"P1", "P2", "P1"}));
    EXPECT_TRUE(out.subscribeAllItems); // a duplicate last record still subscribes

    out = run("getpendingorders", wireText("O1<R>O2<R>"));
    EXPECT_EQ(rows.of("pending"), (std::vector<std::string>{"O1", "O2"}));
    EXPECT_TRUE(out.subscribeAllItems);

    run("getsettledpositions", wireText("S1<R>"));
    run("getequityhitpriceinfo", wireText("1<C>2<C>P9<R>"));
    EXPECT_EQ(rows.of("settled"), std::vector<std::string>{"S1"});
    EXPECT_EQ(rows.of("equity"), std::vector<std::string>{"P9"});
    EXPECT_TRUE(out.events.empty());
}

TEST_F(DataServiceRepliesTest, OversizeRecordIsSkippedAndItsNeighboursKept) {
    const std::string big(history::kMaxRecordBytes + 1, 'x');
    run("getopenpositions", reply({wireText("P1"), big, wireText("P3")}));
    EXPECT_EQ(rows.of("open"), (std::vector<std::string>{"P1", "P3"}));
    run("getusermapwithmyaccount", reply({wireText("5<C>7<C>1<C>ann"), big, wireText("6<C>7<C>2<C>bob")}));
    EXPECT_EQ(targets.userAccountMapCollection.size(), 2u);
}

TEST_F(DataServiceRepliesTest, CancelledOrdersRoutedByTheRequestNotTheLastBuilt) {
    // The statement window's request (sub-type 10) and the login's are both pending; each reply is
    // read as the request it answers, whatever was built last.
    PendingRequests pending;
    for (int subType : {10, 4}) {
        PendingRequest request;
        request.messageType = 1023;
        request.dsRequestType = subType;
        request.procedure = "getcancelledorders";
        pending.add(request);
    }

    const std::string text = reply(
        {wireText("C1<C>2.5<C>T1<C>PO1<C>42<C>7<C>r<C>20240102030405<C>u<C>Y<C>3<C><C><C><C><C>2<C>1.25"),
         // Past a double's digits, at six decimals.
         wireText("C4<C>123456789012345.1<C>T4<C>PO4<C>42<C>7<C><C><C><C><C><C><C><C><C><C><C>0.0000005"),
         wireText("C2<C>1<C>T2<C>PO2<C>42<C>99"), // account not held
         wireText("C3<C>1<C>T3<C>PO3<C>0<C>7")}); // no instrument
    auto first = pending.take(1023, std::nullopt, "getcancelledorders");
    ASSERT_TRUE(first);
    auto out = DataServiceReplies::apply(DataServiceReplies::parse(*first, text, ""), model, targets, &rows);
    EXPECT_EQ(out.events, std::vector<E>{E::accountStatementUpdateNotification});
    ASSERT_EQ(targets.cancelledOrderInfo.size(), 2u);
    const Order& big = *targets.cancelledOrderInfo[1];
    EXPECT_EQ(std::tuple(big.OrderQty.toString(), big.OrderPrice->toString()),
              std::tuple("123456789012345.1", "0.000001"));
    const Order& o = *targets.cancelledOrderInfo[0];
    EXPECT_EQ(std::tuple(o.CancelledOrderId, o.OrderQty, o.TicketId, o.PendingOrderId, o.ItemCode,
                         o.AccountNumber, displayDateTime(o.TransactionDateTime), o.tradingMode,
                         o.deliveryMode, o.orderType, o.OrderPrice),
              std::tuple("C1", *platform::Decimal::fromString("2.5"), "T1", "PO1", "EURUSD", "7",
                         "01/02/2024 03:04:05", 0, 3, 2, *platform::Decimal::fromString("1.25")));
    EXPECT_TRUE(rows.of("cancelled").empty());

    auto second = pending.take(1023, std::nullopt, "getcancelledorders");
    ASSERT_TRUE(second);
    out = DataServiceReplies::apply(DataServiceReplies::parse(*second, text, ""), model, targets, &rows);
    EXPECT_TRUE(out.events.empty());
    EXPECT_EQ(rows.of("cancelled"), (std::vector<std::string>{"C1", "C4", "C2", "C3"}));
    EXPECT_EQ(targets.cancelledOrderInfo.size(), 2u); // the statement's list is left alone
}

TEST_F(DataServiceRepliesTest, ErrorRepliesClearBankDetailsButKeepTheRoutingSteps) {
    auto out = run("getbankaccounts", wireText("1<C>12345<C>3<C>Main<C>840<C>note<C>Acme<R>2<C>999<R>"));
    EXPECT_EQ(out.events, std::vector<E>{E::bankDetailsReceivedNotification});
    ASSERT_TRUE(targets.bankDetails);
    EXPECT_EQ(std::tuple(targets.bankDetails->BankAccountNumber, targets.bankDetails->CurrencyId,
                         targets.bankDetails->BankName),
              std::tuple(12345, 840, "Acme"));

    targets.FinancialTransactionCollection = {FinancialTransactionDetails{}};
    out = run("getfinancialtransactions", "error");
    EXPECT_FALSE(targets.bankDetails);
    EXPECT_TRUE(targets.FinancialTransactionCollection.empty());
    EXPECT_EQ(out.events,
              (std::vector<E>{E::bankDetailsReceivedNotification, E::depositWithdrawalNotification}));

    // Nothing to clear any more: no bank notification; an empty text is a list without rows.
    out = run("getsessionschedule", "");
    EXPECT_EQ(out.events, std::vector<E>{E::MarketSessionScheduleNotification});
    EXPECT_EQ(targets.marketSessionSchedulesCollection.size(), 0u);

    // Unsplit replies read "ERROR" as text.
    out = run("addedituac", "ERROR");
    EXPECT_EQ(out.events, std::vector<E>{E::EditUserAccountAccessFailureNotification});
    out = run("addedituac", "SuCcEsS");
    EXPECT_EQ(out.events, std::vector<E>{E::EditUserAccountAccessSucessNotification});
}

// The replies that are not cut into records never take the failure step, not even past the size
// cap: an oversize access answer is still an answer (not "success"), and an oversize statement
// leaves the bank details alone.
TEST_F(DataServiceRepliesTest, OversizeUnsplitRepliesKeepTheirOwnRouting) {
    run("getbankaccounts", wireText("1<C>12345<R>"));
    ASSERT_TRUE(targets.bankDetails);
    const std::string huge(DataServiceReplies::kMaxReplyBytes + 1, 'x');

    auto out = run("addedituac", huge);
    EXPECT_EQ(out.events, std::vector<E>{E::EditUserAccountAccessFailureNotification});

    out = run("getdsaccountstatement", huge);
    EXPECT_TRUE(out.events.empty());
    EXPECT_TRUE(targets.bankDetails);

    // A split reply past the cap is a failure like "ERROR".
    out = run("getfinancialtransactions", huge);
    EXPECT_FALSE(targets.bankDetails);
    EXPECT_EQ(out.events,
              (std::vector<E>{E::bankDetailsReceivedNotification, E::depositWithdrawalNotification}));
}

TEST_F(DataServiceRepliesTest, ListsAndMapsAreFilledFromTheirRecords) {
    auto out =
        run("getsessionschedule", wireText("1<C>7<C>3<C>2<C>09:00<C>17:00<R>2<C>7<C>3<C>3<C>09:30<R>"));
    EXPECT_EQ(out.events, std::vector<E>{E::MarketSessionScheduleNotification});
    ASSERT_EQ(targets.sessionSchedulesArray.size(), 2u);
    ASSERT_TRUE(targets.marketSessionSchedulesCollection.contains("7"));
    EXPECT_EQ(targets.marketSessionSchedulesCollection.at("7").size(), 2u);
    EXPECT_FALSE(targets.sessionSchedulesArray[1].stopTime);

    targets.ExecutedOrderSearchCollection.push_back(std::make_shared<Order>());
    out =
        run("getexecutedpositions",
            wireText("OP1<C>7<C>42<C>N<C>1<C>2<C>1.5<C>4<C>5<C>20240102030405<C>20240103000000<C>bad<C>PO1<R>"
                     "OP2<C>7<C>42<C>Y<C>x<C>2.50<C><R>"));
    EXPECT_EQ(out.events, std::vector<E>{E::executedPositionSearchNotification});
    ASSERT_EQ(targets.ExecutedOrderSearchCollection.size(), 2u);
    const Order& e = *targets.ExecutedOrderSearchCollection[0];
    const Order& unpriced = *targets.ExecutedOrderSearchCollection[1];
    EXPECT_EQ(std::tuple(e.RemainingQty, e.OrderQty, e.OrderPrice),
              std::tuple(dec("1"), dec("2"), dec("1.5")));
    // A quantity that does not read is 0; an empty price is none, never 0.
    EXPECT_EQ(std::tuple(unpriced.tradingMode, unpriced.RemainingQty, unpriced.OrderQty.toString(),
                         unpriced.OrderPrice, unpriced.TransactionDateTime),
              std::tuple(0, dec("0"), "2.5", std::nullopt, std::nullopt));
    EXPECT_EQ(std::tuple(e.ItemCode, e.tradingMode, e.orderType, displayDateTime(e.TransactionDateTime),
                         displayDate(e.ValueDate), e.ExpiryDate, e.PendingOrderId),
              std::tuple("EURUSD", 1, 4, "01/02/2024 03:04:05", "01/03/2024", std::nullopt, "PO1"));

    // Access maps are one per user and account: a user's access to a second account does not
    // replace the first; the same user and account again does. Resources replace by name.
    run("getusermapwithmyaccount", wireText("5<C>7<C>1<C>ann<R>"));
    out = run("getusermapwithmyaccount", wireText("5<C>8<C>2<C>ann2<R>6<C>7<C>1<C>bob<R>5<C>7<C>3<C>ann<R>"));
    EXPECT_EQ(out.events, std::vector<E>{E::UserAccountMapNotification});
    EXPECT_EQ(targets.userAccountMapCollection.at("5:8")->accountAccessTypeId, 2u);
    EXPECT_EQ(targets.userAccountMapCollection.at("5:7")->accountAccessTypeId, 3u);
    EXPECT_EQ(targets.userAccountMapCollection.size(), 3u);
    // A reply for account 7 replaces that account's users: ann's access was revoked, bob's kept; the
    // user's access to account 8 stays.
    const auto forAccount =
        DataServiceReplies::parse("getusermapwithmyaccount", 8, wireText("6<C>7<C>1<C>bob<R>"), "");
    DataServiceReplies::apply(forAccount, model, targets, &rows, 7u);
    EXPECT_FALSE(targets.userAccountMapCollection.contains("5:7"));
    EXPECT_TRUE(targets.userAccountMapCollection.contains("6:7"));
    EXPECT_TRUE(targets.userAccountMapCollection.contains("5:8"));

    run("resourcesearch", wireText("logo.png<C>1<C>2<C>3<C>srv<C>ICO<C>*.png<C>abc<C>1<R>"));
    ASSERT_TRUE(targets.resourceSearchCollection.contains("logo.png"));
    EXPECT_EQ(targets.resourceSearchCollection.at("logo.png").searchKey, "ICO");
    EXPECT_EQ(targets.resourceSearchCollection.at("logo.png").fileEncodeType, 1u);

    // The funding rows go to the funding layer as received.
    out = run("getapprovalrequest", wireText("11<C>3<R>12<R>"));
    EXPECT_TRUE(out.hasApprovalRequests);
    EXPECT_EQ(out.approvalRequests, (std::vector<std::string>{wireText("11<C>3"), "12"}));
    // The deposits and withdrawals are read into their records here, none left as text.
    run("getfinancialtransactions",
        wireText("8<C>DEP<C>20001<C>11<C>250.5<C>0<C>1250.5<C>BANK<C>June<C>20240601103000<R>9<C>WDL<R>"));
    ASSERT_EQ(targets.FinancialTransactionCollection.size(), 2u);
    const FinancialTransactionDetails& deposit = targets.FinancialTransactionCollection[0];
    ASSERT_TRUE(deposit.TransactionDate);
    EXPECT_EQ(std::tuple(deposit.TransactionId, deposit.TransactionCode, deposit.AccountId,
                         deposit.amount().toString(), deposit.Narration,
                         displayDateTime(deposit.TransactionDate)),
              std::tuple(8, "DEP", 20001, "250.5", "June", "06/01/2024 10:30:00"));
    EXPECT_EQ(targets.FinancialTransactionCollection[1].TransactionCode, "WDL");
    out = run("paygategetsettings", wireText("g<R>"));
    EXPECT_TRUE(out.hasPayGateSettings);
    EXPECT_EQ(out.payGateSettings.size(), 1u);
}

TEST_F(DataServiceRepliesTest, InstrumentDetailsLandOnKnownInstrumentsOnly) {
    run("getinstruments", wireText("42<C>3<C>LSE<C>Euro<C>x<C>icon<C>9<C>0.01<C>more<R>77<C>4<C>NYSE<R>"));
    const ItemDetails& item = *model.ItemCollection.at("EURUSD");
    EXPECT_EQ(std::tuple(item.marketID, item.exchangeName, item.iconResource, item.priceUnitID),
              std::tuple(3u, "LSE", "icon", 9u));
    EXPECT_EQ(item.priceUnitValue.toString(), "0.01");
    EXPECT_EQ(item.extraInfo, "more");
    EXPECT_EQ(model.ItemCollection.size(), 1u);

    // Absent columns count as 0 or empty.
    run("getinstruments", wireText("42<C>5<R>"));
    EXPECT_EQ(std::tuple(item.marketID, item.exchangeName, item.priceUnitValue.toString()),
              std::tuple(5u, "", "0"));
}

TEST_F(DataServiceRepliesTest, UnknownProceduresAndAbsentTextsFillNothing) {
    auto parsed = DataServiceReplies::parse("nosuchthing", 0, wireText("1<R>"), "");
    EXPECT_TRUE(std::holds_alternative<dsreply::Ignored>(parsed.value));
    parsed = DataServiceReplies::parse("getopenpositions", 0, std::nullopt, "");
    EXPECT_TRUE(std::holds_alternative<dsreply::Failed>(parsed.value));
    parsed = DataServiceReplies::parse("getdsaccountstatement", 0, std::string("<a/>"), "");
    ASSERT_TRUE(std::holds_alternative<dsreply::AccountStatement>(parsed.value));
    EXPECT_EQ(std::get<dsreply::AccountStatement>(parsed.value).xml, "<a/>");
}

} // namespace
