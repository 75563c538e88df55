#include "orders/order_requests.h"

#include "client/headless_application.h"
#include "fake_order_host.h"
#include "order_fixture.h"
#include "platform/user_defaults.h"
#include "session/business/business_services.h"
#include "session/business/session_requests.h"
#include "support/capturing_sender.h"
#include "support/wire_text.h"
#include "wire/envelope_opener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace tc;

using testing_support::asciiFrame;
using testing_support::body;
using testing_support::wireText;

platform::Decimal dec(std::string_view text) {
    return *platform::Decimal::fromString(text);
}

// Texts are the keys, but for the confirmation's line, which shows how its placeholders fill.
void fileConfirmationLine(FakeOrderHost& host) {
    host.keysAsTexts = true;
    host.texts.insert_or_assign("20220", "Buy limit {0} lots of {1} at {2}");
}

// An order message's frame: its own fields, the quote fields every order message carries for the
// fixture's instrument, then `tail`.
std::string frameOf(std::string_view head, std::string_view tail = "") {
    std::string fields(head);
    fields += "|56=1.2000|54=1.2010|61=1.2005|60=1.2100|62=1.1900|67=20240315092958|78=20240315093000";
    if (!tail.empty())
        fields.append("|").append(tail);
    return asciiFrame(body(fields));
}

class OrderRequestsTest : public OrderFixture {
protected:
    OrderRequestsTest() {
        item->High = 1.2100_cdec;
        item->Low = 1.1900_cdec;
        item->UpdateTime = wallTimeFromWire("20240315092958");
        fileConfirmationLine(host);
    }
    void SetUp() override { ASSERT_TRUE(platform::setDeviceTimeZone("UTC")); }
    void TearDown() override { platform::resetDeviceTimeZone(); }

    std::vector<std::string> sentFrames() {
        std::vector<std::string> out;
        for (const auto& r : host.capture.sent)
            out.push_back(host.capture.opened(r));
        return out;
    }
    std::string lastFrame() {
        return host.capture.sent.empty() ? "" : host.capture.opened(host.capture.sent.back());
    }
    // What the loss alert names of each request still waiting; none waits afterwards.
    std::vector<std::string> unanswered() {
        std::vector<std::string> out;
        for (RequestsInFlight::Request& r : requests.inFlight().takeUnanswered())
            out.push_back(requests.UnansweredText(r));
        return out;
    }
    std::vector<std::string> noticeTexts() const {
        std::vector<std::string> out;
        for (const auto& n : notices)
            out.push_back(n.text);
        return out;
    }

    OrderInfo marketBuy() const {
        OrderInfo i;
        i.accountNo = 1001;
        i.itemCode = "EURUSD";
        i.kind = OrderKind::Market;
        i.side = Side::Buy;
        i.delivery = Delivery::Regular;
        i.timeInForce = TimeInForce::GoodTillCancelled;
        i.quantity = dec("1");
        i.deviation = -1;
        return i;
    }
    std::shared_ptr<Order> heldPosition(std::string id, std::int32_t side, std::string qty,
                                        std::string accountNumber = "1001") {
        auto p = position(side, std::move(qty), "1.1950", std::move(accountNumber));
        p->OpenPositionId = std::move(id);
        p->timeInForce = 1;
        return p;
    }
    std::shared_ptr<Order> workingLimitBuy(std::string id, std::string qty) {
        auto o = std::make_shared<Order>();
        o->AccountNumber = "1001";
        o->ItemCode = "EURUSD";
        o->orderType = 2;
        o->tradingMode = 0;
        o->deliveryMode = 1;
        o->timeInForce = 1;
        o->OrderPrice = dec("1.1980");
        o->RemainingQty = dec(qty);
        o->PendingOrderId = std::move(id);
        model.PendingOrderCollection.push_back(o);
        return o;
    }

    OrderRequests requests{host, manager};
};

// ---- new orders

TEST_F(OrderRequestsTest, MarketOrdersArePricedFromTheLiveQuoteAndJoinThePendingListAtOnce) {
    OrderInfo buy = marketBuy();
    buy.price = dec("9.9999"); // a market order ignores the typed price
    ASSERT_TRUE(kept(requests.PlaceOrder(buy))) << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(),
              frameOf("10=60|34=1001|23=jdoe|33=42|19=REF77|12=EURUSD|32=29|117=51|37=1|38=1.2010|39=|40=|"
                      "90=0|36=45|77=-1|24=0|43=47"));
    ASSERT_EQ(model.PendingOrderCollection.size(), 1u);
    EXPECT_EQ(model.PendingOrderCollection[0]->RequestId, 42);
    EXPECT_EQ(host.journal.size(), 1u);
    EXPECT_EQ(requests.AwaitingConfirmations(), 0u);
    EXPECT_TRUE(notices.empty());

    // Sell at the bid; a take-profit of "0" counts as given but is not above 0, so 39 stays empty.
    OrderInfo sell = marketBuy();
    sell.side = Side::Sell;
    sell.limitPrice = dec("0");
    sell.timeInForce = static_cast<TimeInForce>(3); // no wire value: the writer puts (null)
    sell.delivery = Delivery::Intraday;
    ASSERT_TRUE(kept(requests.PlaceOrder(sell)));
    EXPECT_EQ(lastFrame(),
              frameOf("10=60|34=1001|23=jdoe|33=42|19=REF77|12=EURUSD|32=29|117=52|37=1|38=1.2000|39=|40=|"
                      "90=0|36=46|77=-1|24=0|43=(null)"));
    EXPECT_EQ(model.PendingOrderCollection.back()->orderTypeInfo, 1);
}

TEST_F(OrderRequestsTest, AQuoteFinerThanTheInstrumentGoesOutAndPricesAtItsDecimals) {
    // 1.20105 is just below its half as a double, so it prints 1.2010; 1.19995 prints 1.2000.
    item->Ask = 1.20105_cdec;
    item->Bid = 1.19995_cdec;
    ASSERT_TRUE(kept(requests.PlaceOrder(marketBuy())));
    EXPECT_EQ(lastFrame(),
              frameOf("10=60|34=1001|23=jdoe|33=42|19=REF77|12=EURUSD|32=29|117=51|37=1|38=1.2010|39=|40=|"
                      "90=0|36=45|77=-1|24=0|43=47"));
    EXPECT_EQ(model.PendingOrderCollection.back()->OrderPrice, dec("1.201"));
    EXPECT_EQ(model.PendingOrderCollection.back()->Bid, dec("1.2"));
}

TEST_F(OrderRequestsTest, LimitOrderCarriesItsPriceAndProtectivePricesAndAwaitsOneConfirmation) {
    OrderInfo limit = marketBuy();
    limit.kind = OrderKind::Limit;
    limit.price = dec("1.1990");
    limit.limitPrice = dec("1.2100");
    limit.TakeProfitEnabled = true;
    limit.timeInForce = TimeInForce::Day;
    ASSERT_TRUE(kept(requests.PlaceOrder(limit))) << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(),
              frameOf("10=60|34=1001|23=jdoe|33=42|19=REF77|12=EURUSD|32=30|117=51|37=1|38=1.1990|39=1.2100|"
                      "40=|90=0|36=45|77=-1|24=0|43=54"));
    EXPECT_EQ(requests.AwaitingConfirmations(), 1u);
    EXPECT_EQ(model.PendingOrderCollection.back()->orderTypeInfo, 3);
}

TEST_F(OrderRequestsTest, RefusedOrderTouchesNothing) {
    OrderInfo bad = marketBuy();
    bad.quantity = dec("0");
    EXPECT_FALSE(kept(requests.PlaceOrder(bad)));
    EXPECT_FALSE(kept(requests.ValidationsBeforeOrderPlacing(bad)));
    EXPECT_EQ(noticeTexts(), (std::vector<std::string>{"1003", "1003"}));
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_TRUE(host.journal.empty());
    EXPECT_TRUE(kept(requests.ValidationsBeforeOrderPlacing(marketBuy())));
    EXPECT_TRUE(host.capture.sent.empty());
}

// ---- close, bracket change, edit, cancel (addressed by id)

TEST_F(OrderRequestsTest, CloseOfAPositionByIdSendsTheMarketPriceOfTheClosingSide) {
    heldPosition("P1", 0, "2");
    // Another position arriving in front must not change which one is closed.
    auto other = heldPosition("P0", 1, "5", "1001");
    std::rotate(model.OpenOrderCollection.begin(), model.OpenOrderCollection.end() - 1,
                model.OpenOrderCollection.end());
    ASSERT_EQ(model.OpenOrderCollection.front(), other);

    ASSERT_TRUE(kept(requests.ClosePosition("P1", dec("1.5"), 5)))
        << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(),
              frameOf("10=60|34=1001|125=P1|23=jdoe|33=42|19=REF77|12=EURUSD|32=29|117=51|37=1.5|38=1.2000|"
                      "90=0|36=46|77=5|24=0|43=47"));
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(host.journal.empty());
    EXPECT_TRUE(model.PendingOrderCollection.empty());

    // The whole remainder is allowed.
    EXPECT_TRUE(kept(requests.ClosePosition("P1", dec("2.0"), std::nullopt)));
}

TEST_F(OrderRequestsTest, CloseQuantityChecksComeBeforeEverythingElse) {
    heldPosition("P1", 0, "1.00");
    EXPECT_FALSE(kept(requests.ClosePosition("P1", dec("1.5"), std::nullopt)));
    EXPECT_FALSE(kept(requests.ClosePosition("P1", dec("0"), std::nullopt)));
    EXPECT_FALSE(kept(requests.ClosePosition("P1", dec("-1"), std::nullopt)));
    EXPECT_FALSE(kept(requests.ClosePosition("P1", platform::Decimal::notANumber(), std::nullopt)));
    EXPECT_FALSE(kept(requests.ClosePosition("P9", dec("1"), std::nullopt)));
    EXPECT_EQ(noticeTexts(), (std::vector<std::string>{"1030 1", "1003", "1003",
                                                       "20260 (the quantity is not a number)", "20261 P9"}));
    EXPECT_TRUE(host.capture.sent.empty());
}

TEST_F(OrderRequestsTest, BracketChangeSendsZeroForAnUntickedLeg) {
    heldPosition("P1", 0, "2");
    ASSERT_TRUE(kept(requests.EditPositionBrackets("P1", dec("1.2100"), std::nullopt)))
        << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(), frameOf("10=72|1035=EBO|34=1001|23=jdoe|573=P1|33=42|19=REF77|12=EURUSD|32=29|"
                                   "117=51|37=2|38=1.1950|39=1.2100|40=0|90=0|36=46|24=0|43=47"));
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(app.soundsPlayed().empty());

    // A position whose price was never reported sends no price, not 0.
    heldPosition("P2", 0, "2")->OrderPrice.reset();
    ASSERT_TRUE(kept(requests.EditPositionBrackets("P2", std::nullopt, dec("1.1800"))))
        << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(), frameOf("10=72|1035=EBO|34=1001|23=jdoe|573=P2|33=42|19=REF77|12=EURUSD|32=29|"
                                   "117=51|37=2|38=|39=0|40=1.1800|90=0|36=46|24=0|43=47"));
}

// An edit to what is held already would be carried out as nothing: refused here, nothing sent.
TEST_F(OrderRequestsTest, AnEditThatChangesNothingIsRefusedAndNotSent) {
    auto p = heldPosition("P1", 0, "2");
    p->LimitPrice = dec("1.2100");
    p->StopPrice = dec("0");
    auto w = workingLimitBuy("W9", "1");
    w->LimitPrice = dec("1.2500");
    const std::string unchanged(OrderRequests::kNothingToChangeKey);
    EXPECT_EQ(requests.EditPositionBrackets("P1", dec("1.21"), std::nullopt).key, unchanged);
    EXPECT_EQ(requests.EditPendingOrder("W9", dec("1.0"), dec("1.198"), dec("1.25"), std::nullopt).key,
              unchanged);
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_EQ(requests.inFlight().waiting(), 0u);
    // Any one value changed goes out: a leg taken off, a leg added, the quantity, the price.
    EXPECT_TRUE(kept(requests.EditPositionBrackets("P1", std::nullopt, std::nullopt)));
    EXPECT_TRUE(kept(requests.EditPositionBrackets("P1", dec("1.21"), dec("1.18"))));
    EXPECT_TRUE(kept(requests.EditPendingOrder("W9", dec("2"), dec("1.198"), dec("1.25"), std::nullopt)));
    EXPECT_TRUE(kept(requests.EditPendingOrder("W9", dec("1"), dec("1.197"), dec("1.25"), std::nullopt)));
    EXPECT_EQ(host.capture.sent.size(), 4u);
}

TEST_F(OrderRequestsTest, EditAndCancelOfAPendingOrder) {
    workingLimitBuy("W9", "1");
    ASSERT_TRUE(kept(requests.EditPendingOrder("W9", dec("3"), dec("1.1985"), std::nullopt, std::nullopt)))
        << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(), frameOf("10=72|1035=EWO|34=1001|23=jdoe|79=W9|33=42|19=REF77|12=EURUSD|32=30|"
                                   "117=51|37=3|38=1.1985|39=0|40=0|90=0|36=45|24=0|43=47"));
    EXPECT_TRUE(app.soundsPlayed().empty());

    // A cancel goes out as a market order of quantity 0 at the order's own price.
    ASSERT_TRUE(kept(requests.CancelPendingOrder("W9"))) << (notices.empty() ? "" : notices.back().text);
    EXPECT_EQ(lastFrame(), frameOf("10=72|1035=EWO|34=1001|23=jdoe|79=W9|33=42|19=REF77|12=EURUSD|32=29|"
                                   "117=51|37=0|38=1.1980|39=0|40=0|90=0|36=45|24=0|43=47"));
    EXPECT_EQ(app.soundsPlayed(), (std::vector<std::string>{"cancelOrder"}));
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(host.journal.empty());
}

TEST_F(OrderRequestsTest, AWorkingSellKeepsItsOwnLotsForItsCancelOrReductionAfterTheLongLotsWent) {
    settings->AllowShortSelling = false;
    // 4 lots long backed two working sells of 2 and 2; a stop-out then closed 3 of them.
    heldPosition("P1", 0, "1");
    auto sell = workingLimitBuy("W1", "2");
    sell->tradingMode = 1;
    sell->OrderPrice = dec("1.2040");
    workingLimitBuy("W2", "2")->tradingMode = 1;
    ASSERT_LT(manager.getAllowedSellLots("EURUSD", "1001", 1), 0);

    EXPECT_TRUE(kept(requests.CancelPendingOrder("W1"))) << (notices.empty() ? "" : notices.back().text);
    EXPECT_TRUE(kept(requests.EditPendingOrder("W1", dec("1"), dec("1.2040"), std::nullopt, std::nullopt)))
        << (notices.empty() ? "" : notices.back().text);
    // Its own lots at another price (the same lots at the same price would change nothing).
    EXPECT_TRUE(kept(requests.EditPendingOrder("W1", dec("2"), dec("1.2045"), std::nullopt, std::nullopt)))
        << (notices.empty() ? "" : notices.back().text);
    // Growing it still needs free long lots.
    EXPECT_FALSE(kept(requests.EditPendingOrder("W1", dec("3"), dec("1.2040"), std::nullopt, std::nullopt)));
    EXPECT_EQ(noticeTexts(), (std::vector<std::string>{"1196"}));
    EXPECT_EQ(host.capture.sent.size(), 3u);
}

TEST_F(OrderRequestsTest, CancelOfAnOrderWithNothingRemainingIsRefusedWhateverTheZeroLooksLike) {
    workingLimitBuy("W1", "0");
    workingLimitBuy("W2", "0.0");
    workingLimitBuy("W3", "0.000000");
    EXPECT_FALSE(kept(requests.CancelPendingOrder("W1")));
    EXPECT_FALSE(kept(requests.CancelPendingOrder("W2")));
    EXPECT_FALSE(kept(requests.CancelPendingOrder("W3")));
    EXPECT_FALSE(kept(requests.CancelPendingOrder("gone")));
    EXPECT_EQ(noticeTexts(), (std::vector<std::string>{"1003", "1003", "1003", "20261 gone"}));
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_TRUE(app.soundsPlayed().empty());
}

TEST_F(OrderRequestsTest, RefusalsOfTheRequestsFillTheirValueIntoTheEnglishText) {
    FakeOrderHost english(model, app);
    OrderRequests englishRequests(english, manager);
    heldPosition("P1", 0, "2.50");
    EXPECT_FALSE(kept(englishRequests.CancelPendingOrder("W404")));
    EXPECT_FALSE(kept(englishRequests.ClosePosition("P1", dec("3"), std::nullopt)));
    EXPECT_EQ(noticeTexts(),
              (std::vector<std::string>{"Position or order W404 is no longer held.",
                                        "The quantity is more than the position holds (2.5 lots)."}));
}

TEST_F(OrderRequestsTest, WorkingEditWithoutACancelOrEditSubtypeIsNotSent) {
    workingLimitBuy("W9", "1");
    OrderInfo info;
    info.accountNo = 1001;
    info.itemCode = "EURUSD";
    info.kind = OrderKind::Limit;
    info.quantity = dec("1");
    info.price = dec("1.1985");
    info.orderNo = "W9";
    info.editOrderReqType = 0;
    EXPECT_FALSE(kept(requests.PlaceEditWorkingOrder(info)));
    EXPECT_TRUE(host.capture.sent.empty());
    // Said as an incomplete request, not as characters the server refuses.
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{std::string(OrderRequests::kIncompleteKey)});
}

// ---- offset and multi-account

TEST_F(OrderRequestsTest, OffsetSendsTheDetailsAsComposedByTheWindow) {
    auto hedgeSession = std::make_shared<SessionSettings>();
    hedgeSession->settingsID = 1;
    model.fileSessionSettings(hedgeSession);
    item->CurrentTradeSessionSettingId = 1;
    const std::string details = wireText("P1<C>2<R><S>P7<C>1<R>P8<C>1<R><S>");
    ASSERT_TRUE(kept(requests.PlaceOffsetOrder(details, "EURUSD", "1001")))
        << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(), asciiFrame(body("10=1052|34=1001|12=EURUSD|583=P1<C>2<R><S>P7<C>1<R>P8<C>1<R><S>|"
                                           "23=jdoe|19=REF77|21=20240315093000")));
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(host.journal.empty());

    // The session of the fixture's instrument does not allow offsets: refused by the check.
    item->CurrentTradeSessionSettingId = 3;
    EXPECT_FALSE(kept(requests.PlaceOffsetOrder(details, "EURUSD", "1001")));
    EXPECT_EQ(noticeTexts(), (std::vector<std::string>{"1071"}));
    // A field end inside the details would cut the frame.
    item->CurrentTradeSessionSettingId = 1;
    EXPECT_FALSE(kept(requests.PlaceOffsetOrder(wireText("P1<F>"), "EURUSD", "1001")));
    EXPECT_EQ(host.capture.sent.size(), 1u);
}

TEST_F(OrderRequestsTest, OffsetByLegsComposesTheDetailsFromTheHeldPositions) {
    // The layout's own example: 501 offset by 3 against 611 (1) and 612 (2), in that order.
    using Leg = OrderRequests::OffsetLeg;
    const Leg example[] = {{"611", *platform::Decimal::fromString("1")},
                           {"612", *platform::Decimal::fromString("2")}};
    EXPECT_EQ(OrderRequests::OffsetDetails("501", *platform::Decimal::fromString("3"), example),
              wireText("501<C>3<R><S>611<C>1<R>612<C>2<R><S>"));

    auto hedgeSession = std::make_shared<SessionSettings>();
    hedgeSession->settingsID = 1;
    model.fileSessionSettings(hedgeSession);
    item->CurrentTradeSessionSettingId = 1;
    heldPosition("P1", 0, "2");
    heldPosition("P7", 1, "1.5");
    heldPosition("P8", 1, "1");
    heldPosition("P9", 1, "1", "1002"); // another account
    const auto q = [](std::string_view text) { return *platform::Decimal::fromString(text); };
    const Leg legs[] = {{"P7", q("1.0")}, {"P8", q("0.5")}};
    ASSERT_TRUE(kept(requests.offsetPosition("P1", legs))) << (notices.empty() ? "" : notices[0].text);
    EXPECT_EQ(lastFrame(),
              asciiFrame(body("10=1052|34=1001|12=EURUSD|583=P1<C>1.5<R><S>P7<C>1<R>P8<C>0.5<R><S>|"
                              "23=jdoe|19=REF77|21=20240315093000")));

    // Each leg is checked against what is held; nothing more is sent.
    const Leg ownSide[] = {{"P1", q("1")}};
    const Leg otherAccount[] = {{"P9", q("1")}};
    const Leg aboveLeg[] = {{"P8", q("1.5")}};
    const Leg aboveTotal[] = {{"P7", q("1.5")}, {"P8", q("1")}};
    const Leg zero[] = {{"P7", q("0")}};
    const Leg gone[] = {{"P6", q("1")}};
    notices.clear();
    EXPECT_FALSE(kept(requests.offsetPosition("P1", ownSide)));
    EXPECT_FALSE(kept(requests.offsetPosition("P1", otherAccount)));
    EXPECT_FALSE(kept(requests.offsetPosition("P1", aboveLeg)));
    EXPECT_FALSE(kept(requests.offsetPosition("P1", aboveTotal)));
    EXPECT_FALSE(kept(requests.offsetPosition("P1", zero)));
    EXPECT_FALSE(kept(requests.offsetPosition("P1", gone)));
    EXPECT_FALSE(kept(requests.offsetPosition("P1", {})));
    EXPECT_FALSE(kept(requests.offsetPosition("P6", legs)));
    std::vector<std::string> keys; // the texts are the keys, some with the id after them
    for (const auto& n : notices)
        keys.push_back(n.text.substr(0, 5));
    EXPECT_EQ(keys, (std::vector<std::string>{"20262", "20262", "20243", "20242", "20241", "20261", "20262",
                                              "20261"}));
    EXPECT_EQ(host.capture.sent.size(), 1u);
}

TEST_F(OrderRequestsTest, MultiAccountOrderCarriesOneRecordPerAccountWithTheSameRequestId) {
    const interfaces::AccountQuantity accounts[] = {{1001, dec("1")}, {1002, dec("2.5")}, {1003, dec("0.1")}};
    OrderInfo info;
    info.itemCode = "EURUSD";
    info.side = Side::Sell;
    info.kind = OrderKind::Limit;
    info.delivery = Delivery::Intraday;
    info.timeInForce = TimeInForce::Day;
    info.price = dec("1.2050");
    info.deviation = -1;
    info.orderDetails = requests.MultiAccountDetails(accounts);
    EXPECT_EQ(info.orderDetails,
              wireText("1001<C>1.000000<C>42<R>1002<C>2.500000<C>42<R>1003<C>0.100000<C>42<R>"));
    ASSERT_TRUE(kept(requests.CreateNewBulkOrderMessage(info)));
    EXPECT_EQ(lastFrame(),
              frameOf("10=77|23=jdoe|19=REF77|12=EURUSD|32=30|117=52|38=1.2050|39=|40=|90=0|36=46|"
                      "77=-1|24=0|43=54",
                      "91=1001<C>1.000000<C>42<R>1002<C>2.500000<C>42<R>1003<C>0.100000<C>42<R>"));
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_EQ(host.journal.size(), 1u);
    EXPECT_EQ(requests.AwaitingConfirmations(), 3u);

    // No account at all: nothing to send.
    info.orderDetails.clear();
    EXPECT_FALSE(kept(requests.CreateNewBulkOrderMessage(info)));
    EXPECT_EQ(host.capture.sent.size(), 1u);
}

TEST_F(OrderRequestsTest, MultiAccountOrderNamesTheTypedInstrumentEvenWithoutAQuote) {
    OrderInfo info;
    info.itemCode = "NOPE";
    info.kind = OrderKind::Market;
    info.delivery = Delivery::Regular;
    info.timeInForce = TimeInForce::GoodTillCancelled;
    info.orderDetails = wireText("1001<C>1.000000<C>42<R>");
    ASSERT_TRUE(kept(requests.CreateNewBulkOrderMessage(info)));
    EXPECT_EQ(lastFrame(),
              asciiFrame(body("10=77|23=jdoe|19=REF77|12=NOPE|32=29|117=51|38=0.00|39=|40=|90=0|36=45|"
                              "77=0|24=0|43=47|56=0.00|54=0.00|61=0.00|60=0.00|62=0.00|67=|"
                              "78=20240315093000|91=1001<C>1.000000<C>42<R>")));
    EXPECT_EQ(requests.AwaitingConfirmations(), 0u);
}

// ---- close-all

class CloseAllTest : public OrderRequestsTest {
protected:
    CloseAllTest() {
        auto gbp = std::make_shared<ItemDetails>();
        gbp->Code = "GBPUSD";
        gbp->InstrumentId = 8;
        gbp->DecimalPlaces = 4;
        gbp->Bid = 1.3_cdec;
        gbp->Ask = 1.3002_cdec;
        gbp->UpdateTime = wallTimeFromWire("20240315092959");
        model.ItemCollection.insert_or_assign("GBPUSD", gbp);
        p1 = heldPosition("P1", 0, "2");
        p2 = heldPosition("P2", 1, "1", "1002");
        p2->ItemCode = "GBPUSD";
        p3 = heldPosition("P3", 0, "0.5", "1002");
    }
    std::string bodyOf(const std::string& frame) {
        MessageBase m;
        if (frame.size() < 2)
            return {};
        m.loadFrame(std::string_view(frame).substr(1, frame.size() - 2));
        const std::string* v = m.value(583);
        return v ? *v : "";
    }

    std::shared_ptr<Order> p1, p2, p3;
};

TEST_F(CloseAllTest, AllListedPositionsInOneRequest) {
    const std::string ids[] = {"P1", "P2", "P3"};
    ASSERT_TRUE(kept(requests.CloseAllPositions(ids, static_cast<interfaces::CloseAllScope>(1))));
    EXPECT_EQ(lastFrame(),
              asciiFrame(body("10=82|583=1001<R>1002<R><S>1<S>2<S>7<R>8<R>7<R><S><S>"
                              "7<C>1.200000<C>1.201000<C>20240315092958<R>"
                              "8<C>1.300000<C>1.300200<C>20240315092959<R><S>0<S>0<S>0<S>0<S><S>|"
                              "20=42|23=jdoe|19=REF77|21=20240315093000")));
}

TEST_F(CloseAllTest, SelectedPositionsListEachEntryWithAnEmptySecondField) {
    const std::shared_ptr<const Order> list[] = {p1, p2};
    ASSERT_TRUE(kept(requests.createBulkClosePositionInfo(list, 3)));
    EXPECT_EQ(
        bodyOf(lastFrame()),
        wireText(
            "1001<R>1002<R><S>3<S>2<S>7<R>8<R><S>P1<C><C>2<C>1001<R>P2<C><C>1<C>1002<R><S>7<C>1.200000<C>1."
            "201000<C>20240315092958<R>8<C>1.300000<C>1.300200<C>20240315092959<R><S>0<S>0<S>0<S>0<S><S>"));
}

TEST_F(CloseAllTest, EmptyListStillGoesOutAndUnknownInstrumentsPriceAsZero) {
    ASSERT_TRUE(kept(requests.createBulkClosePositionInfo({}, 1)));
    EXPECT_EQ(bodyOf(lastFrame()), wireText("<S>1<S>2<S><S><S><S>0<S>0<S>0<S>0<S><S>"));
    p3->ItemCode = "XAUUSD";
    const std::shared_ptr<const Order> list[] = {p3};
    ASSERT_TRUE(kept(requests.createBulkClosePositionInfo(list, 1)));
    EXPECT_EQ(bodyOf(lastFrame()),
              wireText("1002<R><S>1<S>2<S>0<R><S><S>0<C>0.000000<C>0.000000<C><R><S>0<S>0<S>0<S>0<S><S>"));
    EXPECT_EQ(host.capture.sent.size(), 2u);
}

TEST_F(CloseAllTest, GonePositionsAndClosedRemaindersAreLeftOut) {
    p2->RemainingQty = dec("0.0");
    const std::string ids[] = {"P2", "P9", "P3"};
    ASSERT_TRUE(kept(requests.CloseAllPositions(ids, static_cast<interfaces::CloseAllScope>(3))));
    EXPECT_EQ(bodyOf(lastFrame()), wireText("1002<R><S>3<S>2<S>7<R><S>P3<C><C>0.5<C>1002<R><S>7<C>1.200000<C>"
                                            "1.201000<C>20240315092958<R><S>0<S>0<S>0<S>0<S><S>"));
    // Request types other than 1 and 3 are not sent.
    EXPECT_FALSE(kept(requests.CloseAllPositions(ids, static_cast<interfaces::CloseAllScope>(2))));
    EXPECT_EQ(host.capture.sent.size(), 1u);
}

// An account below its margin, hedged in one instrument: three lots bought, two sold, each a
// position of its own. Net margin 1 × 1000, equity 500.
class CloseAllMarginTest : public OrderRequestsTest {
protected:
    CloseAllMarginTest() {
        account->UsedMargin = 1000_cdec;
        account->Equity = 500;
        account->AvailableMargin = -500;
        for (const char* id : {"B1", "B2", "B3"})
            heldPosition(id, 0, "1");
        for (const char* id : {"S1", "S2"})
            heldPosition(id, 1, "1");
    }
    // The ids the check refused, and for what.
    std::vector<std::pair<std::string, std::string>> refusedOf(std::vector<std::string> ids) {
        std::vector<std::pair<std::string, std::string>> refused;
        const auto answers = requests.ValidatePositionsForCloseAll(ids);
        EXPECT_EQ(answers.size(), ids.size());
        for (std::size_t i = 0; i < answers.size(); ++i)
            if (!answers[i])
                refused.emplace_back(ids[i], answers[i].key);
        EXPECT_TRUE(host.capture.sent.empty());
        return refused;
    }
    using Refused = std::vector<std::pair<std::string, std::string>>;
};

TEST_F(CloseAllMarginTest, ClosingEveryPositionOfTheAccountIsNeverRefusedForMargin) {
    EXPECT_EQ(refusedOf({"B1", "B2", "B3", "S1", "S2"}), Refused{});
    // Nor any set that does not raise the margin: one bought lot (2 against 2: nothing net), a lot of
    // each side (1 net, as before).
    EXPECT_EQ(refusedOf({"B1"}), Refused{});
    EXPECT_EQ(refusedOf({"B1", "S1"}), Refused{});
}

TEST_F(CloseAllMarginTest, ASetThatLeavesOneSideOpenAloneIsJudgedOnWhatIsLeft) {
    // Both sold lots leave three bought (3000 of margin), the bought ones two sold (2000): more
    // than the equity carries, so every close of the set is refused for margin, not only one side.
    const std::string margin(OrderRequests::kNoMarginToCloseKey);
    EXPECT_EQ(refusedOf({"S1", "S2"}), (Refused{{"S1", margin}, {"S2", margin}}));
    EXPECT_EQ(refusedOf({"B1", "B2", "B3"}), (Refused{{"B1", margin}, {"B2", margin}, {"B3", margin}}));
    // With equity above 1000 - 1000 + 3000 the account carries what is left.
    account->Equity = 3000.01;
    EXPECT_EQ(refusedOf({"S1", "S2"}), Refused{});
}

TEST_F(CloseAllMarginTest, TheMarginIsJudgedOnTheClosesThatPassEveryOtherCheck) {
    // Gone positions are refused as such and close nothing: the two sold lots alone are what is
    // judged.
    const std::string margin(OrderRequests::kNoMarginToCloseKey);
    EXPECT_EQ(
        refusedOf({"S1", "S2", "B9"}),
        (Refused{{"S1", margin}, {"S2", margin}, {"B9", std::string(OrderRequests::kUnknownRecordKey)}}));
}

TEST_F(CloseAllMarginTest, TheBookIsReadOnceHoweverManyHoldingsTheSetTouches) {
    const auto held = [&](std::string_view id) -> Order* {
        for (auto& p : model.OpenOrderCollection)
            if (p->OpenPositionId == id)
                return p.get();
        return nullptr;
    };
    // Three holdings (one per delivery mode) among the account's five positions.
    held("B3")->deliveryMode = 2;
    held("S2")->deliveryMode = 3;
    const std::size_t before = manager.positionsRead();
    EXPECT_EQ(refusedOf({"B1", "B3", "S2"}), Refused{});
    EXPECT_EQ(manager.positionsRead() - before, model.OpenOrderCollection.size());
    // Each holding still judged on its own positions: the two sold lots of the plain one.
    held("S2")->deliveryMode = held("S1")->deliveryMode;
    const std::string margin(OrderRequests::kNoMarginToCloseKey);
    EXPECT_EQ(refusedOf({"S1", "S2", "B3"}), (Refused{{"S1", margin}, {"S2", margin}}));
}

TEST_F(CloseAllTest, PerPositionCheckAnswersWithTheRefusedOrder) {
    const std::string p1Only[] = {"P1"};
    EXPECT_TRUE(kept(requests.ValidatePositionsForCloseAll(p1Only).at(0)));
    account->tradingStatus = 3;
    EXPECT_FALSE(kept(requests.ValidatePositionsForCloseAll(p1Only).at(0)));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "0334");
    ASSERT_NE(notices[0].order, nullptr);
    EXPECT_EQ(std::tuple(notices[0].order->LiquidateOrderNumber, notices[0].order->tradingMode,
                         notices[0].order->isCloseNew),
              std::tuple("P1", 1, true));
    EXPECT_TRUE(host.capture.sent.empty());
}

// ---- stream down

TEST_F(CloseAllTest, EveryRequestIsRefusedWhileTheStreamIsDown) {
    host.streamUp = false;
    workingLimitBuy("W9", "1");
    OrderInfo multi = marketBuy();
    multi.orderDetails = wireText("1001<C>1.000000<C>42<R>");
    const std::string ids[] = {"P1"};
    EXPECT_FALSE(kept(requests.PlaceOrder(marketBuy())));
    EXPECT_FALSE(kept(requests.ClosePosition("P1", dec("1"), std::nullopt)));
    EXPECT_FALSE(kept(requests.EditPositionBrackets("P1", dec("1.2100"), std::nullopt)));
    EXPECT_FALSE(kept(requests.EditPendingOrder("W9", dec("1"), dec("1.1985"), std::nullopt, std::nullopt)));
    EXPECT_FALSE(kept(requests.CancelPendingOrder("W9")));
    EXPECT_FALSE(kept(requests.PlaceOffsetOrder(wireText("P1<C>1<R><S><S>"), "EURUSD", "1001")));
    EXPECT_FALSE(kept(requests.CreateNewBulkOrderMessage(multi)));
    EXPECT_FALSE(kept(requests.CloseAllPositions(ids, static_cast<interfaces::CloseAllScope>(1))));
    EXPECT_EQ(noticeTexts(), std::vector<std::string>(8, "1007"));
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_EQ(model.PendingOrderCollection.size(), 1u);
    EXPECT_TRUE(host.journal.empty());
    EXPECT_TRUE(app.soundsPlayed().empty());
    EXPECT_EQ(requests.AwaitingConfirmations(), 0u);

    host.streamUp = true;
    EXPECT_TRUE(kept(requests.PlaceOrder(marketBuy())));
}

// ---- as many requests waiting as the list keeps

// Past the bound nothing is dropped: a new request is refused here, with its reason, and every
// request already waiting, the oldest given up among them, is still answered and still listed.
TEST_F(CloseAllTest, PastTheBoundOfWaitingRequestsANewOneIsRefusedAndNoneWaitingIsDropped) {
    RequestsInFlight& list = requests.inFlight();
    RequestsInFlight::Request close;
    close.kind = RequestsInFlight::Kind::Close;
    close.targets = {"P1"};
    close.description = "oldest";
    list.giveUp(list.sent(close));
    RequestsInFlight::Request other;
    other.kind = RequestsInFlight::Kind::NewOrder;
    other.description = "other";
    while (list.waiting() < RequestsInFlight::kMaxRequests)
        list.sent(other);
    EXPECT_FALSE(kept(requests.PlaceOrder(marketBuy())));
    EXPECT_FALSE(kept(requests.ClosePosition("P1", dec("0.5"), std::nullopt)));
    EXPECT_EQ(noticeTexts(), std::vector<std::string>(2, std::string(OrderRequests::kTooManyWaitingKey)));
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_EQ(list.waiting(), RequestsInFlight::kMaxRequests);
    const std::vector<std::string> update{"10=67", "73=73", "80=P1", "76=0"};
    const auto answered = list.answered(ExecutionReport(67, update));
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->request.description, "oldest");
    EXPECT_TRUE(answered->request.givenUp);
    EXPECT_TRUE(kept(requests.PlaceOrder(marketBuy())));
}

// ---- a server that answers nothing, and the requests it has not answered

TEST_F(CloseAllTest, EveryRequestIsRefusedWhileTheServerIsSilentAndEachSentOneWaitsForItsOwnAnswer) {
    workingLimitBuy("W9", "1");
    OrderInfo multi = marketBuy();
    // Of another quantity than the new order sent in the same pass: a report naming the quantity is
    // the new order's alone.
    multi.orderDetails = wireText("1001<C>2.000000<C>42<R>");
    const std::string ids[] = {"P1"};
    const auto sendAll = [&] {
        return std::vector<bool>{
            bool(kept(requests.PlaceOrder(marketBuy()))),
            bool(kept(requests.ClosePosition("P1", dec("0.5"), std::nullopt))),
            bool(kept(requests.EditPositionBrackets("P1", dec("1.2100"), std::nullopt))),
            bool(kept(requests.EditPendingOrder("W9", dec("1"), dec("1.1985"), std::nullopt, std::nullopt))),
            bool(kept(requests.CancelPendingOrder("W9"))),
            bool(kept(requests.PlaceOffsetOrder(wireText("P1<C>1<R><S><S>"), "EURUSD", "1001"))),
            bool(kept(requests.CreateNewBulkOrderMessage(multi))),
            bool(kept(requests.CloseAllPositions(ids, static_cast<interfaces::CloseAllScope>(1))))};
    };
    host.serverAnswering = false;
    EXPECT_EQ(sendAll(), std::vector<bool>(8, false));
    EXPECT_EQ(noticeTexts(), std::vector<std::string>(8, "93101"));
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_EQ(requests.inFlight().waiting(), 0u);

    host.serverAnswering = true;
    // A session whose number allows offsets as well.
    auto offsets = std::make_shared<SessionSettings>(*tradingSession);
    offsets->settingsID = 1;
    model.fileSessionSettings(offsets);
    item->CurrentTradeSessionSettingId = 1;
    EXPECT_EQ(sendAll(), std::vector<bool>(8, true));
    EXPECT_EQ(requests.inFlight().waiting(), 8u);
    // Each report answers the request it names: the new order by its request number, the close by
    // its position's update, the pending order's edit by the order's report; the offset answer the
    // offset.
    const std::int32_t newOrder = followingRequestId(host.requestId());
    const std::vector<std::string> byNumber{"10=62", "33=" + std::to_string(newOrder), "73=28", "34=1001",
                                            "37=1"};
    const std::vector<std::string> onP1{"10=67", "73=73", "80=P1", "76=1.5"};
    const std::vector<std::string> onW9{"10=62", "79=W9", "73=75"};
    const std::vector<std::string> offset{"10=1052", "74=0"};
    requests.inFlight().answered(ExecutionReport(62, byNumber));
    requests.inFlight().answered(ExecutionReport(67, onP1));
    requests.inFlight().answered(ExecutionReport(62, onW9));
    requests.inFlight().answered(ExecutionReport(1052, offset));
    const std::vector<std::string> left = unanswered();
    ASSERT_EQ(left.size(), 4u);
    EXPECT_EQ(left[0], "95640"); // the bracket change of P1
    EXPECT_EQ(left[1], "95642"); // the cancel of W9
    EXPECT_EQ(left[2], "95403"); // the market order for several accounts
    EXPECT_EQ(left[3], "97952"); // the close-all, of one position
    EXPECT_EQ(requests.inFlight().waiting(), 0u) << "told once";
}

// Each request sent has a number of its own, which the report answering it gives back, so that the
// window that sent it follows it to its answer: two requests on one position, answered in either
// order, each get their own report.
TEST_F(CloseAllTest, EachRequestSentHasItsOwnNumberWhichItsAnswerGivesBack) {
    for (const bool editAnsweredFirst : {true, false}) {
        SCOPED_TRACE(editAnsweredFirst ? "the edit answered first" : "the close answered first");
        const OrderAnswer close = kept(requests.ClosePosition("P1", dec("0.5"), std::nullopt));
        const OrderAnswer brackets = kept(requests.EditPositionBrackets("P1", dec("1.2100"), std::nullopt));
        ASSERT_TRUE(close && brackets);
        EXPECT_NE(close.request, 0u);
        EXPECT_NE(brackets.request, 0u);
        EXPECT_NE(close.request, brackets.request);
        EXPECT_TRUE(requests.inFlight().isWaiting(close.request));
        const std::string number = "33=" + std::to_string(followingRequestId(host.requestId()));
        const std::vector<std::string> closeReport{"10=67", "73=73", "80=P1", "76=1.5"};
        const std::vector<std::string> editReport{"10=62", "73=28", number, "79=L1", "573=P1"};
        std::vector<std::uint64_t> answeredRequests;
        for (const bool edit : {editAnsweredFirst, !editAnsweredFirst}) {
            const auto answer = requests.inFlight().answered(
                ExecutionReport(edit ? 62 : 67, edit ? editReport : closeReport));
            ASSERT_TRUE(answer);
            answeredRequests.push_back(answer->request.number);
        }
        const std::vector<std::uint64_t> own = editAnsweredFirst
                                                   ? std::vector{brackets.request, close.request}
                                                   : std::vector{close.request, brackets.request};
        EXPECT_EQ(answeredRequests, own);
        EXPECT_FALSE(requests.inFlight().isWaiting(close.request));
        EXPECT_FALSE(requests.inFlight().isWaiting(brackets.request));
    }
    // Lost unanswered: no longer waiting.
    const OrderAnswer close = kept(requests.ClosePosition("P1", dec("0.5"), std::nullopt));
    requests.inFlight().takeUnanswered();
    EXPECT_FALSE(requests.inFlight().isWaiting(close.request));
}

TEST_F(OrderRequestsTest, TwoOrdersOfOneRequestNumberAreEachAnsweredByTheirOwnReports) {
    ASSERT_TRUE(kept(requests.PlaceOrder(marketBuy())));
    ASSERT_TRUE(kept(requests.PlaceOrder(marketBuy())));
    const std::string number = "33=" + std::to_string(followingRequestId(host.requestId()));
    const std::vector<std::string> stored{"10=62", number, "79=X1", "73=0"};
    const std::vector<std::string> filled{"10=62", number, "79=X1", "80=P7", "73=2"};
    const std::vector<std::string> second{"10=62", number, "79=X2", "73=0"};
    // Alike on the wire: both wait until each has its report, then are told together.
    requests.inFlight().answered(ExecutionReport(62, stored));
    requests.inFlight().answered(ExecutionReport(62, filled));
    EXPECT_EQ(requests.inFlight().waiting(), 2u) << "the first order's fill is no answer to the second";
    requests.inFlight().answered(ExecutionReport(62, second));
    EXPECT_EQ(requests.inFlight().takeGivenBack().size(), 1u);
    EXPECT_EQ(requests.inFlight().waiting(), 0u);
}

// Requests sent in one pass share a number; the session's own commands note with each what the
// reports name of it, so two that differ only there are told apart: market buys alike but for their
// accounts (each report names its account), a close of the whole position and a close of part of it
// (the settlement names the quantity settled). Each is told its own outcome, none "not known".
TEST_F(OrderRequestsTest, RequestsOfOneNumberAreToldApartByWhatTheCommandsNoteOfThem) {
    auto other = std::make_shared<AccountDetails>(*account);
    other->AccountId = 1002;
    model.AccountDetailCollection.insert_or_assign("1002", other);
    const std::string number = "33=" + std::to_string(followingRequestId(host.requestId()));
    const auto told = [&](const std::vector<std::string>& fields, std::int32_t code = 0) {
        ExecutionReport report(std::stoll(fields.front().substr(3)), fields);
        report.rejectionCode = code;
        const auto answered = requests.inFlight().answered(report);
        std::vector<std::string> out;
        if (answered)
            out.push_back(std::to_string(answered->request.number) + (answered->notKnown   ? " not known"
                                                                      : answered->rejected ? " refused"
                                                                                           : " done"));
        for (const auto& more : requests.inFlight().takeGivenBack())
            out.push_back(std::to_string(more.request.number) + (more.notKnown   ? " not known"
                                                                 : more.rejected ? " refused"
                                                                                 : " done"));
        return out;
    };
    {
        SCOPED_TRACE("market buys of two accounts");
        OrderInfo second = marketBuy();
        second.accountNo = 1002;
        const OrderAnswer first = kept(requests.PlaceOrder(marketBuy()));
        const OrderAnswer next = kept(requests.PlaceOrder(second));
        ASSERT_TRUE(first && next) << (notices.empty() ? "" : notices[0].text);
        // The second account's refused first, then the first's stored.
        EXPECT_EQ(told({"10=62", "73=25", number, "34=1002", "12=EURUSD", "36=45", "37=1", "74=7"}, 7),
                  std::vector<std::string>{std::to_string(next.request) + " refused"});
        EXPECT_EQ(told({"10=62", "73=28", number, "34=1001", "12=EURUSD", "36=45", "37=1", "79=W7"}),
                  std::vector<std::string>{std::to_string(first.request) + " done"});
        EXPECT_EQ(requests.inFlight().waiting(), 0u);
    }
    {
        SCOPED_TRACE("a close of the whole and of part of one position");
        heldPosition("P1", 0, "1.5");
        const OrderAnswer whole = kept(requests.ClosePosition("P1", dec("1.5"), std::nullopt));
        const OrderAnswer part = kept(requests.ClosePosition("P1", dec("0.4"), std::nullopt));
        ASSERT_TRUE(whole && part) << (notices.empty() ? "" : notices[0].text);
        // The part taken first; the whole then refused.
        EXPECT_EQ(told({"10=67", "73=73", "80=P1", "76=1.1"}), std::vector<std::string>{});
        EXPECT_EQ(told({"10=66", "80=P1", "87=P9", "89=0.4", "12=7"}),
                  std::vector<std::string>{std::to_string(part.request) + " done"});
        EXPECT_EQ(told({"10=62", "73=25", number, "74=5", "79=", "125=P1"}, 5),
                  std::vector<std::string>{std::to_string(whole.request) + " refused"});
        EXPECT_EQ(requests.inFlight().waiting(), 0u);
    }
}

// After a lost line the trader finds each request by what it names: its kind, side, quantity,
// instrument, price where it has one, account(s), positions and request number.
TEST_F(CloseAllTest, EachRequestWaitingForItsAnswerReadsAsTheTraderPlacedIt) {
    const std::pair<const char*, const char*> texts[] = {
        {"0009", "Buy"},
        {"0010", "Sell"},
        {"95400", "New market order {0} {1} {2}, account {3} (Request ID {4})"},
        {"95401", "New limit order {0} {1} {2} at {3}, account {4} (Request ID {5})"},
        {"95402", "New stop order {0} {1} {2} at {3}, account {4} (Request ID {5})"},
        {"95403", "Market order for several accounts: {0} {1}, accounts {2} (Request ID {3})"},
        {"95404", "Limit order for several accounts: {0} {1} at {2}, accounts {3} (Request ID {4})"},
        {"95406", "Close of {0} positions: {1}"},
        {"95407", "{0} and {1} more"},
        {"95409", "Close of {0} lots of position #{1} ({2}, account {3})"},
        {"95410", "{0}: {1} lots"},
        {"95640", "Take profit and stop loss of position #{0} ({1} {2} {3}, account {4}): take profit {5}, "
                  "stop loss {6}"},
        {"95641", "Edit of pending order #{0} ({1} {2}, account {3}): {4} lots at {5}, take profit {6}, stop "
                  "loss {7}"},
        {"95642", "Cancel of pending order #{0}: {1} {2} {3} at {4}, account {5}"},
        {"95643", "none"},
        {"95782", "Close of {0} positions, {1} of them still without an answer: {2}"},
        {"95783", "Offset of {0} lots of position #{1} ({2}, account {3}) against {4}"}};
    for (const auto& [key, text] : texts)
        host.texts.insert_or_assign(key, text);
    const auto number = [&] { return std::to_string(followingRequestId(host.requestId())); };
    std::vector<std::string> expected;

    ASSERT_TRUE(kept(requests.PlaceOrder(marketBuy())));
    expected.push_back("New market order Buy 1 EURUSD, account 1001 (Request ID " + number() + ")");
    OrderInfo limit = marketBuy();
    limit.kind = OrderKind::Limit;
    limit.price = dec("1.199");
    limit.quantity = dec("0.3");
    ASSERT_TRUE(kept(requests.PlaceOrder(limit)));
    expected.push_back("New limit order Buy 0.3 EURUSD at 1.1990, account 1001 (Request ID " + number() +
                       ")");
    OrderInfo stop = marketBuy();
    stop.kind = OrderKind::Stop;
    stop.side = Side::Sell;
    stop.price = dec("1.1900");
    ASSERT_TRUE(kept(requests.PlaceOrder(stop)));
    expected.push_back("New stop order Sell 1 EURUSD at 1.1900, account 1001 (Request ID " + number() + ")");

    ASSERT_TRUE(kept(requests.ClosePosition("P1", dec("0.5"), std::nullopt)));
    expected.push_back("Close of 0.5 lots of position #P1 (EURUSD, account 1001)");

    OrderInfo multi = marketBuy();
    multi.orderDetails = wireText("1001<C>1.000000<C>42<R>1002<C>0.250000<C>42<R>");
    ASSERT_TRUE(kept(requests.CreateNewBulkOrderMessage(multi)));
    expected.push_back(
        "Market order for several accounts: Buy EURUSD, accounts 1001: 1 lots, 1002: 0.25 lots "
        "(Request ID " +
        number() + ")");
    multi.kind = OrderKind::Limit;
    multi.price = dec("1.1985");
    ASSERT_TRUE(kept(requests.CreateNewBulkOrderMessage(multi)));
    expected.push_back("Limit order for several accounts: Buy EURUSD at 1.1985, accounts 1001: 1 lots, 1002: "
                       "0.25 lots (Request ID " +
                       number() + ")");

    const std::string three[] = {"P1", "P2", "P3"};
    ASSERT_TRUE(kept(requests.CloseAllPositions(three, static_cast<interfaces::CloseAllScope>(3))));
    // Its positions answered are not named as without an answer.
    const std::vector<std::string> closed{"10=67", "73=73", "80=P2", "76=0"};
    ASSERT_TRUE(requests.inFlight().answered(ExecutionReport(67, closed)));
    expected.push_back("Close of 3 positions, 2 of them still without an answer: #P1, #P3");
    // A close of many names its first positions and counts the rest.
    std::vector<std::string> many;
    for (std::size_t i = 0; i < OrderRequests::kNamedPositions + 4; ++i)
        many.push_back(heldPosition("M" + std::to_string(i), 0, "1")->OpenPositionId);
    ASSERT_TRUE(kept(requests.CloseAllPositions(many, static_cast<interfaces::CloseAllScope>(3))));
    std::string named;
    for (std::size_t i = 0; i < OrderRequests::kNamedPositions; ++i)
        named += (i == 0 ? "#M" : ", #M") + std::to_string(i);
    expected.push_back("Close of 14 positions: " + named + " and 4 more");

    // An edit names its record and the figures it sent, a bracket taken off as none; a cancel names
    // the order as it stands.
    ASSERT_TRUE(kept(requests.EditPositionBrackets("P1", dec("1.21"), std::nullopt)));
    expected.push_back(
        "Take profit and stop loss of position #P1 (Buy 2 EURUSD, account 1001): take profit 1.2100, stop "
        "loss none");
    auto working = workingLimitBuy("W9", "1");
    working->LimitPrice = dec("1.2500");
    ASSERT_TRUE(kept(requests.EditPendingOrder("W9", dec("0.4"), dec("1.1975"), dec("1.23"), std::nullopt)));
    expected.push_back(
        "Edit of pending order #W9 (Buy EURUSD, account 1001): 0.4 lots at 1.1975, take profit "
        "1.2300, stop loss none");
    ASSERT_TRUE(kept(requests.CancelPendingOrder("W9")));
    expected.push_back("Cancel of pending order #W9: Buy 1 EURUSD at 1.1980, account 1001");

    // An offset names its position as a close does, and the positions it is closed against.
    auto offsets = std::make_shared<SessionSettings>(*tradingSession);
    offsets->settingsID = 1;
    model.fileSessionSettings(offsets);
    item->CurrentTradeSessionSettingId = 1;
    ASSERT_TRUE(
        kept(requests.PlaceOffsetOrder(wireText("P1<C>1<R><S>P0<C>0.5<R>P4<C>0.5<R><S>"), "EURUSD", "1001")));
    expected.push_back("Offset of 1 lots of position #P1 (EURUSD, account 1001) against #P0, #P4");

    EXPECT_EQ(unanswered(), expected);
}

// A close-all's count reads as the trader counts: one position in the singular, thousands grouped
// as every other number the program shows.
TEST_F(CloseAllTest, AClosesCountReadsSingularForOneAndGroupedInThousands) {
    for (const auto& [key, text] : {std::pair{"95406", "Close of {0} positions: {1}"},
                                    {"97952", "Close of 1 position: {0}"},
                                    {"95407", "{0} and {1} more"}})
        host.texts.insert_or_assign(key, text);
    const std::string one[] = {"P1"};
    ASSERT_TRUE(kept(requests.CloseAllPositions(one, static_cast<interfaces::CloseAllScope>(3))));
    std::vector<std::string> many;
    for (std::size_t i = 0; i < 1012; ++i)
        many.push_back(heldPosition("M" + std::to_string(i), 0, "1")->OpenPositionId);
    ASSERT_TRUE(kept(requests.CloseAllPositions(many, static_cast<interfaces::CloseAllScope>(3))));
    const std::vector<std::string> left = unanswered();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0], "Close of 1 position: #P1");
    EXPECT_TRUE(left[1].starts_with("Close of 1,012 positions: #M0, #M1")) << left[1];
    EXPECT_TRUE(left[1].ends_with(" and 1,002 more")) << left[1];
}

// An order for several accounts whose reports came for some of them: the loss names only the
// accounts still without one, each with its quantity, as the ticket lists them.
TEST_F(CloseAllTest, AnOrderForSeveralAccountsPartlyAnsweredNamesOnlyTheAccountsWithoutAnAnswer) {
    host.texts.insert_or_assign("0009", "Buy");
    host.texts.insert_or_assign("95403",
                                "Market order for several accounts: {0} {1}, accounts {2} (Request ID {3})");
    host.texts.insert_or_assign("95410", "{0}: {1} lots");
    const std::string number = std::to_string(followingRequestId(host.requestId()));
    OrderInfo multi = marketBuy();
    multi.orderDetails = wireText("1001<C>1.000000<C>42<R>1002<C>0.250000<C>42<R>1003<C>2.000000<C>42<R>");
    ASSERT_TRUE(kept(requests.CreateNewBulkOrderMessage(multi)));
    const std::vector<std::string> stored{"10=62",   "33=" + number, "79=X2", "73=28",
                                          "34=1002", "12=EURUSD",    "36=45"};
    ASSERT_TRUE(requests.inFlight().answered(ExecutionReport(62, stored)));
    EXPECT_EQ(unanswered(),
              std::vector<std::string>{"Market order for several accounts: Buy EURUSD, accounts "
                                       "1001: 1 lots, 1003: 2 lots (Request ID " +
                                       number + ")"});
}

// ---- confirmation of stored pending orders

std::shared_ptr<Order> storedLimitBuy(std::string id) {
    auto o = std::make_shared<Order>();
    o->AccountNumber = "1001";
    o->PendingOrderId = std::move(id);
    o->orderType = 2;
    o->tradingMode = 0;
    o->OrderQty = dec("2");
    o->ItemCode = "EURUSD";
    o->OrderPrice = dec("1.2345");
    o->LimitPrice = dec("1.2500");
    o->StopPrice = dec("0");
    return o;
}

TEST_F(OrderRequestsTest, ConfirmationTextFillsTheOrderIntoItsLines) {
    const auto [message, title] = requests.ConfirmationText(*storedLimitBuy("W77"));
    EXPECT_EQ(message, "0012 : 1001\n0070 : W77\nBuy limit 2 lots of EURUSD at 1.2345\n0233 @ 1.2500\n");
    EXPECT_EQ(title, "2139");

    auto stop = storedLimitBuy("W78");
    stop->orderType = 3;
    stop->tradingMode = 1;
    stop->LimitPrice.reset();
    stop->StopPrice = dec("1.3000");
    EXPECT_EQ(requests.ConfirmationText(*stop).first, "0012 : 1001\n0070 : W78\n20223\n0234 @ 1.3000");
}

TEST_F(OrderRequestsTest, OnePendingOrderOneConfirmationHoweverManyWereSent) {
    OrderInfo limit = marketBuy();
    limit.kind = OrderKind::Limit;
    limit.price = dec("1.1990");
    ASSERT_TRUE(kept(requests.PlaceOrder(limit)));
    ASSERT_TRUE(kept(requests.PlaceOrder(limit)));
    ASSERT_EQ(requests.AwaitingConfirmations(), 2u);

    const auto a = storedLimitBuy("A");
    requests.ShowOrderConfirmation(*a);
    requests.ShowOrderConfirmation(*a); // the same order again
    requests.ShowOrderConfirmation(*storedLimitBuy("B"));
    requests.ShowOrderConfirmation(*storedLimitBuy("C"));

    const auto alerts = app.callsNamed("showMessageAlert");
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[0].args.at(0).find("0070 : A\n"), std::string::npos);
    EXPECT_NE(alerts[1].args.at(0).find("0070 : B\n"), std::string::npos);
    EXPECT_EQ(requests.AwaitingConfirmations(), 0u);
}

TEST_F(OrderRequestsTest, WithoutTheAlertPreferenceTheUserGetsABannerAndASystemNotification) {
    app.setShowConfirmationAlert(false);
    OrderInfo limit = marketBuy();
    limit.kind = OrderKind::Limit;
    limit.price = dec("1.1990");
    ASSERT_TRUE(kept(requests.PlaceOrder(limit)));
    requests.ShowOrderConfirmation(*storedLimitBuy("A"));
    EXPECT_TRUE(app.callsNamed("showMessageAlert").empty());
    const auto banners = app.callsNamed("showMessageBanner");
    const auto system = app.callsNamed("showSystemNotification");
    ASSERT_EQ(banners.size(), 1u);
    ASSERT_EQ(system.size(), 1u);
    EXPECT_EQ(banners[0].args, (std::vector<std::string>{system[0].args.at(1), system[0].args.at(0)}));
}

// A modal alert runs the main queue, so the next stored order can be filed while it is open.
class ModalAlertApplication : public HeadlessApplication {
public:
    using HeadlessApplication::HeadlessApplication;
    void showMessageAlert(const std::string& message, const std::string& title) override {
        HeadlessApplication::showMessageAlert(message, title);
        if (auto next = std::exchange(announceWhileOpen, nullptr))
            orderRequests->ShowOrderConfirmation(*next);
    }
    OrderRequests* orderRequests = nullptr;
    std::shared_ptr<Order> announceWhileOpen;
};

TEST_F(OrderRequestsTest, AnOrderAnnouncedWhileTheConfirmationIsOpenIsNotConfirmedInItsPlace) {
    ModalAlertApplication modal{*defaults};
    FakeOrderHost modalContext{model, modal};
    fileConfirmationLine(modalContext);
    OrderRequests modalRequests{modalContext, manager};
    modal.orderRequests = &modalRequests;

    OrderInfo limit = marketBuy();
    limit.kind = OrderKind::Limit;
    limit.price = dec("1.1990");
    ASSERT_TRUE(kept(modalRequests.PlaceOrder(limit)));
    modal.announceWhileOpen = storedLimitBuy("B");
    modalRequests.ShowOrderConfirmation(*storedLimitBuy("A"));

    // One order placed, one confirmation, and nothing left waiting.
    const auto alerts = modal.callsNamed("showMessageAlert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].args.at(0).find("0070 : A\n"), std::string::npos);
    EXPECT_EQ(modalRequests.AwaitingConfirmations(), 0u);

    // The next limit order is confirmed as usual.
    ASSERT_TRUE(kept(modalRequests.PlaceOrder(limit)));
    EXPECT_EQ(modalRequests.AwaitingConfirmations(), 1u);
    modalRequests.ShowOrderConfirmation(*storedLimitBuy("C"));
    ASSERT_EQ(modal.callsNamed("showMessageAlert").size(), 2u);
    EXPECT_EQ(modalRequests.AwaitingConfirmations(), 0u);
}

TEST_F(OrderRequestsTest, StoredOrdersWhileNothingIsAwaitedAreNotConfirmed) {
    ASSERT_TRUE(kept(requests.PlaceOrder(marketBuy())));
    requests.ShowOrderConfirmation(*storedLimitBuy("A"));
    EXPECT_TRUE(app.callsNamed("showMessageAlert").empty());
}

} // namespace
