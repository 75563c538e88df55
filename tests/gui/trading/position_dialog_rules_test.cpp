// The close, cancel, modify, offset and close-all rules over a session filled by hand.
#include "gui/market/market_fixture.h"
#include "gui/texts.h"
#include "gui/trading/close_all_rules.h"
#include "gui/trading/offset_rules.h"
#include "gui/trading/position_dialog_rules.h"
#include "model/position_quantities.h"
#include "model/records/session_settings.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc::gui;
using markettest::Session;

using tc::testing_support::dec;

class DialogRules : public ::testing::Test {
protected:
    void SetUp() override {
        ItemDetails& eur = s.item("EURUSD", 1, 5);
        eur.Name = "Euro";
        eur.Bid = 1.1_cdec;
        eur.Ask = 1.2_cdec;
        eur.ContractSize = 1000_cdec;
        eur.TickSize = 0.0001_cdec;
        eur.availableOrderTypes = 2 | 4;
        eur.CurrentTradeSessionSettingId = 1;
        AccountDetails& account = s.account(20001);
        account.availableOrderTypes = 2;
        GroupInstruments& settings = s.settings(1);
        settings.isAvailableForTrading = true;
        settings.MinOrderQty = 1_cdec;
        settings.OrderQtyStep = 1_cdec;
        settings.MaxOrderQty = 100_cdec;
        settings.LimitMinPips = 10;
        settings.StopMinPips = 20;
        auto session = std::make_shared<SessionSettings>();
        session->settingsID = 1;
        session->allowNewMarket = true;
        s.model.fileSessionSettings(session);
    }
    std::shared_ptr<Order> position(const char* id, const char* quantity, std::int32_t side = 0,
                                    const char* price = "1.00000") {
        auto p = Session::order(id, "20001", "EURUSD", quantity, side);
        p->OrderPrice = dec(price);
        s.model.OpenOrderCollection.push_back(p);
        return p;
    }
    std::shared_ptr<Order> pending(const char* id, const char* quantity, std::int32_t type,
                                   std::int32_t side = 0, const char* closes = "") {
        auto o = Session::order("", "20001", "EURUSD", quantity, side);
        o->PendingOrderId = id;
        o->orderType = type;
        o->OrderPrice = dec("1.05");
        o->LiquidateOrderNumber = closes;
        s.model.PendingOrderCollection.push_back(o);
        return o;
    }
    std::optional<CloseView> close(const char* id, CloseJob job = CloseJob::Close,
                                   std::optional<std::string_view> typed = std::nullopt) {
        return closeView(s.model, queries, job, id, 0, typed);
    }

    Session s;
    SessionQueries queries{s.model};
};

TEST_F(DialogRules, ClosableQuantityListsAndLimit) {
    position("1", "5");
    pending("p1", "1.5", 2, 1, "1");
    pending("p2", "0.5", 3, 1, "1");
    pending("p3", "4", 2, 1, "other");
    auto v = close("1");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->quantity, "3");
    EXPECT_EQ(v->quantityList, (std::vector<std::string>{"1", "2", "3"}));

    position("2", "2.5");
    EXPECT_EQ(close("2")->quantity, "2.5");
    EXPECT_EQ(close("2")->quantityList, (std::vector<std::string>{"1", "2"}));
    position("3", "0.5");
    EXPECT_TRUE(close("3")->quantityList.empty());
    // Closing orders for more than is held leave nothing, never a negative quantity.
    pending("p4", "9", 2, 1, "3");
    EXPECT_EQ(close("3")->quantity, "0");
    // The list is worked out, not counted up to an absurd quantity.
    EXPECT_EQ(wholeQuantityList(dec("1e30")).size(), kMaxQuantityEntries);

    // The limit is what is left once pending closes are counted.
    const Decimal closable =
        closableQuantity(*s.model.OpenOrderCollection[0], queries.getPendingOrderCollection());
    EXPECT_FALSE(closeRefusal("3", closable, std::nullopt));
    const auto above = closeRefusal("3.5", closable, std::nullopt);
    ASSERT_TRUE(above);
    EXPECT_EQ(std::tie(above->key, above->limit), std::make_tuple(kAboveClosableKey, "3"));
    EXPECT_EQ(closeRefusal("0", closable, std::nullopt)->key, kBadQuantityKey);
    // A text that is no number says why, naming the field.
    const auto unread = closeRefusal("1.2.3", closable, std::nullopt);
    EXPECT_EQ(std::tie(unread->key, unread->fieldKey), std::make_tuple(texts::kNotNumber, texts::kQuantity));
    EXPECT_EQ(closeRefusal("0,5", closable, std::nullopt)->key, texts::kHoldsAComma);
    EXPECT_EQ(closeRefusal("1", closable, std::string_view())->key, kDeviationMissingKey);
    EXPECT_FALSE(closeRefusal("1", closable, std::string_view("0")));
    EXPECT_EQ(closeRefusal("1", closable, std::string_view("1.5"))->key, texts::kHoldsDecimals);
    EXPECT_EQ(closeRefusal("1", closable, std::string_view("x1"))->key, texts::kNotWholeNumber);
    EXPECT_EQ(closeRefusal("1", closable, std::string_view("123456"))->key, texts::kTooManyDigits);
    // A modify names the field that is empty or not a number, in the sheet's order; unticked
    // brackets and a position's price are not looked at.
    EXPECT_FALSE(modifyRefusal(std::nullopt, std::nullopt, std::nullopt, 5));
    EXPECT_FALSE(modifyRefusal("1.05", "1.1", "1.0", 5));
    EXPECT_EQ(modifyRefusal("", "", "", 5)->key, kBadOrderPriceKey);
    EXPECT_EQ(modifyRefusal(std::nullopt, "", "", 5)->key, kBadTakeProfitKey);
    const auto stop = modifyRefusal("1.05", "1.1", "1..0", 5);
    EXPECT_EQ(std::tie(stop->key, stop->fieldKey), std::make_tuple(texts::kNotNumber, texts::kStopLoss));
    const auto decimals = modifyRefusal("1.050001", std::nullopt, std::nullopt, 5);
    EXPECT_EQ(std::tie(decimals->key, decimals->limit, decimals->fieldKey),
              std::make_tuple(texts::kTooManyDecimals, "5", texts::kPriceField));

    // A record that went away is told, not replaced by another row.
    EXPECT_FALSE(close("9"));
    EXPECT_FALSE(close("1", CloseJob::Cancel));
}

TEST_F(DialogRules, CloseAndCancelViewsPriceAndEstimate) {
    position("1", "2", 0, "1.00000");
    position("2", "2", 1, "1.30000");
    auto buy = close("1");
    EXPECT_EQ(buy->currentPrice, "1.10000"); // a buy position closes at the Bid
    // (1.1 - 1.0) × 2 × 1000, no conversion without a trade currency.
    EXPECT_EQ(buy->estimatedResult, "200.00");
    EXPECT_EQ(buy->quantityDescription, "2 x 1000.00 = 2000.00");
    EXPECT_EQ(buy->boxTitle, "Close Position #1");
    EXPECT_EQ(buy->buttonTitle, "Close #1 (Sell 2 EURUSD @ Market Rate)");
    EXPECT_EQ(buy->orderType, "Market");
    EXPECT_EQ(buy->orderPrice, "1.00000");
    EXPECT_FALSE(buy->deviationShown);
    // A typed quantity drives the estimate, the description and the title.
    auto typed = close("1", CloseJob::Close, "1");
    EXPECT_EQ(typed->estimatedResult, "100.00");
    EXPECT_EQ(typed->buttonTitle, "Close #1 (Sell 1 EURUSD @ Market Rate)");
    auto sell = close("2");
    EXPECT_EQ(sell->currentPrice, "1.20000");
    EXPECT_EQ(sell->estimatedResult, "200.00");
    EXPECT_EQ(sell->buttonTitle, "Close #2 (Buy 2 EURUSD @ Market Rate)");
    s.model.AccountDetailCollection.get("20001")->get()->accountSettings = 2;
    EXPECT_TRUE(close("1")->deviationShown);

    pending("p1", "1.50", 2, 0);
    pending("p2", "1", 3, 1);
    pending("p3", "1", 0, 1);
    auto limit = close("p1", CloseJob::Cancel);
    EXPECT_EQ(limit->currentPrice, "1.20000"); // a buy order shows the Ask
    EXPECT_EQ(limit->quantity, "1.5");
    EXPECT_FALSE(limit->quantityEditable);
    EXPECT_FALSE(limit->resultShown);
    EXPECT_EQ(limit->boxTitle, "Cancel Order #p1");
    EXPECT_EQ(limit->buttonTitle, "Cancel Limit Order #p1");
    EXPECT_EQ(close("p2", CloseJob::Cancel)->currentPrice, "1.10000");
    EXPECT_EQ(close("p2", CloseJob::Cancel)->buttonTitle, "Cancel Stop Order #p2");
    EXPECT_EQ(close("p3", CloseJob::Cancel)->orderType, "None");
    EXPECT_EQ(close("p3", CloseJob::Cancel)->buttonTitle, " #p3");
}

TEST_F(DialogRules, RefusedQuantitiesGetNoEstimateOrDescription) {
    position("1", "2", 0, "1.00000");
    const auto typed = [&](const char* quantity) { return close("1", CloseJob::Close, quantity); };
    // Lots the sheet refuses: more than it holds, none, not a number; and lots the group's rules
    // refuse: off the step of 1, below the minimum of 1 without closing the whole remainder.
    for (const char* refused : {"99999999999", "2.5", "0", "1.2.3", "", "0,5", "1e0", "0.5", "1.5"}) {
        const auto v = typed(refused);
        ASSERT_TRUE(v) << refused;
        EXPECT_EQ(std::tie(v->estimatedResult, v->quantityDescription), std::make_tuple("", "")) << refused;
        EXPECT_TRUE(v->resultShown);
    }
    EXPECT_EQ(std::tie(typed("2")->estimatedResult, typed("2")->quantityDescription),
              std::make_tuple("200.00", "2 x 1000.00 = 2000.00"));
    // The button names only lots the sheet and the rules take, as read.
    for (const char* refused : {"0.5", "0,5", "-1", "", "1.0000001"})
        EXPECT_EQ(typed(refused)->buttonTitle, "Close #1 (Sell EURUSD @ Market Rate)") << refused;
    EXPECT_EQ(typed(" 1.0 ")->buttonTitle, "Close #1 (Sell 1 EURUSD @ Market Rate)");
    // The whole remainder closes whatever the minimum and step; the maximum still holds.
    position("3", "0.5", 0, "1.00000");
    EXPECT_EQ(close("3", CloseJob::Close, "0.5")->quantityDescription, "0.5 x 1000.00 = 500.00");
    position("4", "150", 0, "1.00000");
    EXPECT_EQ(close("4", CloseJob::Close, "150")->estimatedResult, "");
    // Digits a decimal would round away are refused, never read as the shorter number.
    const std::string zeros(40, '0');
    EXPECT_EQ(quantityRefusal("0.5" + zeros + "1")->key, texts::kTooManyDecimals);
    EXPECT_EQ(quantityRefusal("0.5" + zeros + "1")->limit, "23");
    EXPECT_FALSE(quantityRefusal("0.5" + std::string(21, '0') + "1"));
    // The modify sheet's typed quantity is held to its own check the same way.
    EXPECT_EQ(typedQuantityDescription("-5", 1000, nullptr), "");
    EXPECT_EQ(typedQuantityDescription("abc", 1000, nullptr), "");
    EXPECT_EQ(typedQuantityDescription("0.015", 100000, nullptr), "0.015 x 100000.00 = 1500.00");
}

TEST_F(DialogRules, ModifyViewsAndBracketDefaults) {
    auto p = position("1", "2.5", 0, "1.00000");
    p->LimitPrice = dec("1.25");
    auto v = modifyView(s.model, queries, ModifyMode::PositionBrackets, "1", 0);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->boxTitle, "Modify Position #1");
    EXPECT_EQ(v->buttonTitle, v->boxTitle);
    EXPECT_FALSE(v->quantityEditable);
    EXPECT_FALSE(v->priceEditable);
    EXPECT_EQ(v->quantityList, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(v->takeProfitOn);
    EXPECT_EQ(v->takeProfit, "1.25000");
    EXPECT_FALSE(v->stopLossOn);
    // Take profit offered by both the account and the instrument, stop loss by the instrument only.
    EXPECT_TRUE(v->takeProfitShown);
    EXPECT_FALSE(v->stopLossShown);
    // Defaults from the live price: a buy's take profit above the Bid, its stop loss below.
    EXPECT_EQ(defaultBracketPrice(s.model, *p, ModifyMode::PositionBrackets, true), "1.10100");
    EXPECT_EQ(defaultBracketPrice(s.model, *p, ModifyMode::PositionBrackets, false), "1.09800");

    auto o = pending("p1", "2", 3, 1);
    o->RefPositionIdOfBracket = "1";
    auto order = modifyView(s.model, queries, ModifyMode::PendingOrder, "p1", 0);
    EXPECT_EQ(order->boxTitle, "Modify Stop Order #p1");
    EXPECT_TRUE(order->priceEditable);
    EXPECT_FALSE(order->quantityEditable); // a bracket of a position keeps its quantity
    EXPECT_EQ(order->price, "1.05000");
    // From the stored order price: a sell's take profit below it.
    EXPECT_EQ(defaultBracketPrice(s.model, *o, ModifyMode::PendingOrder, true), "1.04900");
    pending("p2", "2", 0, 0);
    EXPECT_EQ(modifyView(s.model, queries, ModifyMode::PendingOrder, "p2", 0)->boxTitle, " #p2");
    EXPECT_TRUE(modifyView(s.model, queries, ModifyMode::PendingOrder, "p2", 0)->quantityEditable);
    EXPECT_EQ(steppedPrice("1.10000", 0.0001, 5, -2), "1.09980");
    EXPECT_FALSE(modifyView(s.model, queries, ModifyMode::PendingOrder, "1", 0));
}

TEST_F(DialogRules, OffsetRowsListsAndChecksInOrder) {
    position("1", "3", 0, "1.00000");
    position("2", "2.5", 1, "1.10000");
    position("3", "1", 1, "1.20000");
    position("4", "1", 0, "1.20000"); // same side
    s.model.OpenOrderCollection.back()->deliveryMode = 0;
    auto other = position("5", "1", 1, "1.20000");
    other->deliveryMode = 2; // another delivery mode
    OffsetState offset;
    ASSERT_TRUE(offset.fill(s.model, queries, "1"));
    ASSERT_EQ(offset.rows().size(), 2u);
    EXPECT_EQ(offset.rows()[0].positionId, "2");
    EXPECT_EQ(offset.rows()[1].positionId, "3");
    EXPECT_TRUE(offset.quantityList(s.model, 0).empty()); // not ticked

    // Checks in their order: the network, a tick, the total, each row, the account, the settings,
    // the session.
    EXPECT_EQ(offset.refusalKey(s.model, false), texts::kNoConnectionTradingServer);
    EXPECT_EQ(offset.refusalKey(s.model, true), kNothingTickedKey);
    offset.toggle(1);
    offset.toggle(0);
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kEnterOffsetQuantityGreaterThan);
    EXPECT_EQ(offset.quantityList(s.model, 0), (std::vector<std::string>{"0", "1", "2", "2.5"}));
    s.model.GroupDetailCollection.get("7")->get()->groupInstrument(1)->OrderQtyStep = 0.5_cdec;
    EXPECT_EQ(offset.quantityList(s.model, 0),
              (std::vector<std::string>{"0", "0.5", "1", "1.5", "2", "2.5"}));
    s.model.GroupDetailCollection.get("7")->get()->groupInstrument(1)->OrderQtyStep = 0_cdec;
    EXPECT_EQ(offset.quantityList(s.model, 0), (std::vector<std::string>{"0", "2.5"}));

    offset.setQuantity(s.model, 0, "2.5");
    offset.setQuantity(s.model, 1, "1");
    EXPECT_EQ(offset.offsetTotal(), "3.5");
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kOffsetQuantityMoreThanPosition);
    offset.setQuantity(s.model, 0, "1.5");
    EXPECT_EQ(offset.remaining(), "0.5");
    EXPECT_EQ(offset.rows()[0].QtyAvailable, dec("1"));
    // The sell leg valued as closed at the position's open price: (1.1 - 1.0) × 1.5 × 1000.
    EXPECT_NEAR(offset.rows()[0].profitLoss.toDouble(), 150.0, 1e-6);
    offset.setQuantity(s.model, 1, "0");
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kEnterOffsetQuantityGreaterThan);
    offset.setQuantity(s.model, 1, "1.2.3");
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kEnterOffsetQuantityGreaterThan);
    offset.setQuantity(s.model, 1, "1.5");
    offset.setQuantity(s.model, 0, "1");
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kQuantityTakenFromPositionMore);
    offset.setQuantity(s.model, 1, "1");
    AccountDetails& account = *s.model.AccountDetailCollection.get("20001")->get();
    for (const auto& [status, key] :
         std::vector<std::pair<int, const char*>>{{2, texts::kTradingNotAllowedAccountOr},
                                                  {3, texts::kAccountSuspended},
                                                  {5, texts::kAccountReachedEquityLimit},
                                                  {6, texts::kTradingNotAllowedAccountOr}}) {
        account.tradingStatus = status;
        EXPECT_EQ(offset.refusalKey(s.model, true), key) << status;
    }
    account.tradingStatus = 4; // close only passes
    account.accountAccessType = 3;
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kTradingNotAllowedAccountOr);
    account.accountAccessType = 1;
    s.model.GroupDetailCollection.get("7")->get()->groupInstrument(1)->isAvailableForTrading = false;
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kInstrumentNotAvailableTradingAccount);
    s.model.GroupDetailCollection.get("7")->get()->groupInstrument(1)->isAvailableForTrading = true;
    s.model.ItemCollection.get("EURUSD")->get()->CurrentTradeSessionSettingId = 9;
    EXPECT_EQ(offset.refusalKey(s.model, true), texts::kNewMarketOrdersNotAllowed);
    s.model.ItemCollection.get("EURUSD")->get()->CurrentTradeSessionSettingId = 1;
    EXPECT_EQ(offset.refusalKey(s.model, true), std::nullopt);

    // Legs in the order they were ticked, not the table's.
    const auto legs = offset.legs();
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(std::tie(legs[0].positionId, legs[1].positionId), std::make_tuple("3", "2"));
    EXPECT_EQ(legs[0].quantity, dec("1"));
    // Unticking resets the row.
    offset.toggle(0);
    EXPECT_EQ(std::tie(offset.rows()[0].offsetText, offset.rows()[0].offsetQty, offset.rows()[0].QtyAvailable,
                       offset.rows()[0].profitLoss),
              std::make_tuple("0", std::optional(dec("0")), dec("2.5"), dec("0")));
    EXPECT_FALSE(offset.fill(s.model, queries, "99"));
}

TEST_F(DialogRules, OffsetShowsNoFigureWorkedFromARefusedQuantity) {
    position("1", "0.1", 0, "1.00000");
    position("2", "1.5", 1, "1.10000");
    position("3", "1", 1, "1.20000");
    OffsetState offset;
    ASSERT_TRUE(offset.fill(s.model, queries, "1"));
    offset.toggle(0);
    offset.toggle(1);
    offset.setQuantity(s.model, 1, "0.05");
    // More than the row holds: neither what it leaves nor the totals worked from it.
    offset.setQuantity(s.model, 0, "5");
    EXPECT_TRUE(offset.refusedEntry(0));
    EXPECT_FALSE(offset.refusedEntry(1));
    EXPECT_EQ(std::tuple(offset.offsetTotal(), offset.remaining()), std::tuple("", ""));
    // Not a number: nothing either.
    offset.setQuantity(s.model, 0, "1.2.3");
    EXPECT_TRUE(offset.refusedEntry(0));
    EXPECT_EQ(offset.offsetTotal(), "");
    // Each row within what it holds, but more than the position: the total stands, not the remainder.
    offset.setQuantity(s.model, 0, "1");
    EXPECT_FALSE(offset.refusedEntry(0));
    EXPECT_EQ(std::tuple(offset.offsetTotal(), offset.remaining()), std::tuple("1.05", ""));
    offset.setQuantity(s.model, 0, "0.05");
    EXPECT_EQ(std::tuple(offset.offsetTotal(), offset.remaining()), std::tuple("0.1", "0"));
    // An unticked row is not sent: its "0" refuses nothing.
    offset.toggle(1);
    EXPECT_FALSE(offset.refusedEntry(1));
    EXPECT_EQ(offset.remaining(), "0.05");
}

// Read again (after a sign-in again), the position's and rows' figures are the session's now; a row
// still there keeps its tick and typed quantity, worked on its new figures; a row gone leaves its tick.
TEST_F(DialogRules, OffsetReadAgainTakesTheNewFiguresAndKeepsTicksAndTypedQuantities) {
    auto held = position("1", "3", 0, "1.00000");
    auto kept = position("2", "2.5", 1, "1.10000");
    position("3", "1", 1, "1.20000");
    OffsetState offset;
    ASSERT_TRUE(offset.fill(s.model, queries, "1"));
    offset.toggle(1);
    offset.toggle(0);
    offset.setQuantity(s.model, 0, "1.5");
    offset.setQuantity(s.model, 1, "1");
    // The server closed 1 of each of 1 and 2, and all of 3, while the line was down.
    held->RemainingQty = dec("2");
    kept->RemainingQty = dec("1.5");
    s.model.OpenOrderCollection.pop_back();
    ASSERT_TRUE(offset.reread(s.model, queries));
    EXPECT_EQ(offset.quantity(), dec("2"));
    ASSERT_EQ(offset.rows().size(), 1u);
    EXPECT_EQ(offset.rows()[0].totalQty, dec("1.5"));
    EXPECT_EQ(offset.ticked(), std::vector<std::string>{"2"});
    EXPECT_EQ(offset.rows()[0].offsetText, "1.5");
    EXPECT_EQ(offset.rows()[0].QtyAvailable, dec("0"));
    EXPECT_EQ(std::tuple(offset.offsetTotal(), offset.remaining()), std::tuple("1.5", "0.5"));
    EXPECT_NEAR(offset.rows()[0].profitLoss.toDouble(), 150.0, 1e-6);
    // Gone, it reads nothing.
    s.model.OpenOrderCollection.clear();
    EXPECT_FALSE(offset.reread(s.model, queries));
}

// The close-all check of a set, answered position by position.
CloseAllFlow::CheckFn eachChecked(std::function<interfaces::OrderResult(const std::string&)> check) {
    return [check = std::move(check)](const std::vector<std::string>& ids) {
        std::vector<interfaces::OrderResult> results;
        for (const std::string& id : ids)
            results.push_back(check(id));
        return results;
    };
}

TEST_F(DialogRules, CloseAllPhasesScopeAndReports) {
    for (int i = 1; i <= 10; ++i)
        position(std::to_string(i).c_str(), "1", i % 2);
    CloseAllFlow flow;
    OrderView listed = queries.getOpenOrderCollection();
    flow.start(listed);
    EXPECT_EQ(flow.button(0).title, "Close All");
    EXPECT_TRUE(flow.button(0).enabled);
    flow.toggle("3");
    flow.toggle("4");
    EXPECT_EQ(flow.button(0).title, "Close Selected (8)");
    EXPECT_FALSE(flow.isCloseAll());
    flow.toggle("3");
    flow.toggle("4");
    EXPECT_TRUE(flow.isCloseAll());

    // As many ticked as listed, but not the same positions: not "all".
    s.model.OpenOrderCollection.erase(s.model.OpenOrderCollection.begin());
    position("11", "1");
    listed = queries.getOpenOrderCollection();
    flow.list(listed);
    EXPECT_FALSE(flow.isCloseAll());
    flow.follow(listed);
    EXPECT_EQ(flow.ticked().size(), 9u);
    flow.start(listed);
    for (const auto& p : listed)
        flow.toggle(p->OpenPositionId);
    EXPECT_EQ(flow.button(0).title, "Close Selected (0)");
    EXPECT_FALSE(flow.button(0).enabled);

    // Two refused: the sheet offers to go on, and going on sends the others as a selection.
    flow.start(listed);
    int checks = 0;
    const auto twoRefused = eachChecked([&](const std::string& id) {
        ++checks;
        if (id == "2" || id == "5")
            return interfaces::OrderResult::refused(texts::kQuantityAboveMaximumLots,
                                                    "Quantity\nAbove the maximum (50).\nthird");
        return interfaces::OrderResult::wasSent();
    });
    EXPECT_FALSE(flow.validate(s.model, queries, twoRefused));
    EXPECT_EQ(checks, 10);
    EXPECT_EQ(flow.phase(), CloseAllFlow::Phase::Refused);
    ASSERT_EQ(flow.refused().size(), 2u);
    EXPECT_EQ(flow.refused()[0].status, "Above the maximum (50).");
    EXPECT_EQ(flow.refused()[0].tone, Tone::Loss);
    EXPECT_EQ(flow.refused()[1].price, "1.20000"); // a sell closes at the Ask
    EXPECT_TRUE(flow.canGoOn());
    EXPECT_EQ(flow.refusedTextKey(), kSomeRefusedKey);
    EXPECT_EQ(flow.idsToSend().size(), 8u);
    EXPECT_EQ(refusalLine("one line"), "one line");

    EXPECT_EQ(flow.headerKey(), kHeaderChoosingKey);
    flow.sent(s.model, queries, flow.idsToSend(), 0);
    ASSERT_EQ(flow.statusRows().size(), 8u);
    EXPECT_EQ(flow.statusRows()[0].status, "Sent");
    // Nothing closed yet: no price to show, and the heading says it waits.
    EXPECT_EQ(flow.statusRows()[0].price, "");
    EXPECT_EQ(flow.headerKey(), kHeaderWaitingKey);
    const auto row3Status = [&] {
        return std::find_if(flow.statusRows().begin(), flow.statusRows().end(),
                            [](const auto& r) { return r.positionId == "3"; })
            ->status;
    };
    auto settlement = std::make_shared<Order>();
    settlement->OpenPositionId = "3";
    settlement->ItemCode = "EURUSD";
    settlement->SettledPrice = dec("1.08619");
    // Each row reads its own position's answer; a settlement gives its price alone, and only once
    // that answer says closed: until then it may be another request's.
    const auto row3Price = [&] {
        return std::find_if(flow.statusRows().begin(), flow.statusRows().end(),
                            [](const auto& r) { return r.positionId == "3"; })
            ->price;
    };
    EXPECT_FALSE(flow.report(s.model, {interfaces::BulkCloseReport::Kind::Settled, settlement, {}, {}}));
    EXPECT_EQ(row3Status(), "Sent");
    EXPECT_EQ(row3Price(), "");
    EXPECT_EQ(flow.answer("3", true, {}, 0).size(), 1u);
    EXPECT_EQ(row3Price(), "1.08619");
    EXPECT_FALSE(
        flow.report(s.model, {interfaces::BulkCloseReport::Kind::Rejected, nullptr, "4", "Market closed"}));
    // Another request's settlement of 4, before and after this one's refusal of it: a refused row
    // shows no price, never the price the other closed it at.
    auto other = std::make_shared<Order>(*settlement);
    other->OpenPositionId = "4";
    EXPECT_FALSE(flow.report(s.model, {interfaces::BulkCloseReport::Kind::Settled, other, {}, {}}));
    EXPECT_EQ(flow.answer("4", false, "Market closed", 0).size(), 1u);
    EXPECT_FALSE(flow.report(s.model, {interfaces::BulkCloseReport::Kind::Settled, other, {}, {}}));
    EXPECT_TRUE(flow.answer("2", false, "refused before", 0).empty()) << "not sent";
    EXPECT_TRUE(flow.answer("", true, {}, 0).empty()) << "an acceptance of the whole tells no row";
    const auto& rows = flow.statusRows();
    const auto row = [&](const char* id) -> const CloseAllStatusRow& {
        return *std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.positionId == id; });
    };
    // A settled position shows the price it closed at, in its instrument's decimals.
    EXPECT_EQ(std::tie(row("3").status, row("3").tone, row("3").price),
              std::make_tuple("Executed", Tone::Gain, "1.08619"));
    EXPECT_EQ(std::tie(row("4").status, row("4").tone, row("4").price),
              std::make_tuple("Market closed", Tone::Loss, ""));
    EXPECT_EQ(flow.headerKey(), kHeaderWaitingKey) << "six still unanswered";
    for (const char* id : {"6", "7", "8", "9", "10", "11"})
        ASSERT_EQ(flow.answer(id, true, {}, 0).size(), 1u);
    EXPECT_EQ(flow.headerKey(), kHeaderSomeRejectedKey);
    // A settlement coming after its row's answer said closed shows its price at once.
    auto sixth = std::make_shared<Order>(*settlement);
    sixth->OpenPositionId = "6";
    EXPECT_TRUE(flow.report(s.model, {interfaces::BulkCloseReport::Kind::Settled, sixth, {}, {}}));
    EXPECT_EQ(row("6").price, "1.08619");

    // Every ticked position refused: only dismissing.
    flow.start(listed);
    EXPECT_FALSE(flow.validate(s.model, queries, eachChecked([](const std::string&) {
                                   return interfaces::OrderResult::refused(texts::kTradingNotAllowedAccountOr,
                                                                           "No trading");
                               })));
    EXPECT_FALSE(flow.canGoOn());
    EXPECT_EQ(flow.refusedTextKey(), kAllRefusedKey);
    EXPECT_TRUE(flow.idsToSend().empty());
    flow.dismissRefusals();
    EXPECT_EQ(flow.phase(), CloseAllFlow::Phase::Choosing);
}

// A position an earlier request still waits for comes unticked and names the oldest such request;
// ticked anyway, the request list to ask about holds each earlier request once, oldest first. The
// waiting list is read again only when it changed, and follows the book.
TEST_F(DialogRules, CloseAllLeavesPositionsOfWaitingRequestsUntickedAndNamesThem) {
    for (int i = 1; i <= 6; ++i)
        position(std::to_string(i).c_str(), "1", i % 2);
    const std::vector<interfaces::AwaitedPositions> waiting{
        {7, "Close of 2 positions: #2, #3", {"2", "3"}},
        {9, "Close of 1 lots of position #5", {"5", "3"}},
        {11, "Close of 1 positions: #40", {"40"}}}; // a position not listed
    CloseAllFlow flow;
    EXPECT_TRUE(flow.awaiting(waiting));
    EXPECT_FALSE(flow.awaiting(waiting));
    OrderView listed = queries.getOpenOrderCollection();
    flow.start(listed);
    EXPECT_EQ(flow.ticked(), (std::vector<std::string>{"1", "4", "6"}));
    EXPECT_EQ(flow.awaitedListed(), 3u);
    ASSERT_TRUE(flow.awaitedBy("3"));
    EXPECT_EQ(flow.awaitedBy("3")->request, 7u); // the oldest of the two
    EXPECT_EQ(flow.awaitedBy("5")->description, "Close of 1 lots of position #5");
    EXPECT_FALSE(flow.awaitedBy("1"));
    EXPECT_FALSE(flow.isCloseAll());
    EXPECT_EQ(flow.button(0).title, "Close Selected (3)");
    EXPECT_EQ(flow.awaitedTicked().positions, 0u);
    EXPECT_TRUE(flow.awaitedTicked().requests.empty());

    // Ticked by the trader: each earlier request named once, oldest first.
    flow.toggle("5");
    flow.toggle("3");
    flow.toggle("2");
    const CloseAllFlow::AwaitedTicked ticked = flow.awaitedTicked();
    EXPECT_EQ(ticked.positions, 3u);
    ASSERT_EQ(ticked.requests.size(), 2u);
    EXPECT_EQ(ticked.requests[0]->request, 7u);
    EXPECT_EQ(ticked.requests[1]->request, 9u);
    EXPECT_TRUE(flow.isCloseAll());

    // The first request answered: its positions wait no more, but 3 still does for the other.
    EXPECT_TRUE(flow.awaiting({waiting[1], waiting[2]}));
    EXPECT_FALSE(flow.awaitedBy("2"));
    EXPECT_EQ(flow.awaitedBy("3")->request, 9u);
    EXPECT_EQ(flow.awaitedListed(), 2u);
    EXPECT_EQ(flow.awaitedTicked().requests.size(), 1u);
    // The book without 5: one listed position waits.
    std::erase_if(s.model.OpenOrderCollection, [](const auto& p) { return p && p->OpenPositionId == "5"; });
    flow.follow(queries.getOpenOrderCollection());
    EXPECT_EQ(flow.awaitedListed(), 1u);
    EXPECT_EQ(flow.awaitedTicked().positions, 1u);
    // Nothing waits: opening again ticks every position.
    EXPECT_TRUE(flow.awaiting({}));
    flow.start(queries.getOpenOrderCollection());
    EXPECT_EQ(flow.ticked().size(), 5u);
    EXPECT_EQ(flow.awaitedListed(), 0u);
}
TEST_F(DialogRules, CloseTheOthersSaysWhichHedgesItWouldEnd) {
    // 20001 EURUSD: three lots bought, two sold; 20002 EURUSD: one bought, one sold.
    for (const char* id : {"B1", "B2", "B3"})
        position(id, "1", 0);
    for (const char* id : {"S1", "S2"})
        position(id, "1", 1);
    auto other = Session::order("C1", "20002", "EURUSD", "1", 0);
    s.model.OpenOrderCollection.push_back(other);
    other = Session::order("C2", "20002", "EURUSD", "1", 1);
    s.model.OpenOrderCollection.push_back(other);
    const OrderView listed = queries.getOpenOrderCollection();
    CloseAllFlow flow;
    const auto refusing = [](std::vector<std::string> refused) {
        return eachChecked([refused = std::move(refused)](const std::string& id) {
            return std::find(refused.begin(), refused.end(), id) == refused.end()
                       ? interfaces::OrderResult::wasSent()
                       : interfaces::OrderResult::refused(texts::kNotEnoughMarginAccountOrder, "No margin");
        });
    };
    using Holdings = std::vector<std::string>;
    // The sold side refused: the others would leave 20001's bought lots alone.
    flow.start(listed);
    EXPECT_FALSE(flow.validate(s.model, queries, refusing({"S1", "S2"})));
    EXPECT_EQ(flow.leftOneSided(), Holdings{"20001 EURUSD"});
    // One sold lot refused: it would stay open alone on its side, and so would 20002's if one of its
    // sides is refused too.
    flow.start(listed);
    EXPECT_FALSE(flow.validate(s.model, queries, refusing({"S1", "C2"})));
    EXPECT_EQ(flow.leftOneSided(), (Holdings{"20001 EURUSD", "20002 EURUSD"}));
    // A lot of each side refused: still hedged. A holding the request leaves alone is not named, nor
    // one left no more exposed than it was (one bought lot left: one lot long, as before).
    flow.start(listed);
    EXPECT_FALSE(flow.validate(s.model, queries, refusing({"B1"})));
    EXPECT_EQ(flow.leftOneSided(), Holdings{});
    flow.start(listed);
    flow.toggle("C1");
    flow.toggle("C2");
    EXPECT_FALSE(flow.validate(s.model, queries, refusing({"B1", "S1"})));
    EXPECT_EQ(flow.leftOneSided(), Holdings{});
    // Nothing refused: the trader's own ticks are sent at once, with nothing to say.
    flow.start(listed);
    EXPECT_TRUE(flow.validate(s.model, queries, refusing({})));
    EXPECT_EQ(flow.leftOneSided(), Holdings{});
}

TEST_F(DialogRules, CloseAllPastTheLimitOrWithoutAnAnswerSaysSo) {
    for (const char* id : {"1", "2", "3"})
        position(id, "1");
    const OrderView listed = queries.getOpenOrderCollection();
    CloseAllFlow flow;
    flow.start(listed);
    // Three ticked against a limit of two: nothing can go until one is unticked.
    EXPECT_TRUE(flow.aboveLimit(2));
    flow.toggle("3");
    EXPECT_FALSE(flow.aboveLimit(2));

    // Sent; one closed, then no answer in time for the others: they say so, and so does the heading.
    flow.sent(s.model, queries, {"1", "2"}, 0);
    ASSERT_EQ(flow.answer("1", true, {}, 0).size(), 1u);
    EXPECT_TRUE(flow.waiting());
    flow.noAnswer(0);
    EXPECT_EQ(flow.headerKey(), kHeaderNoAnswerKey);
    EXPECT_EQ(std::tie(flow.statusRows()[1].status, flow.statusRows()[1].tone),
              std::make_tuple("No answer", Tone::Loss));
    EXPECT_EQ(flow.statusRows()[0].status, "Executed");
    // A late answer still tells what became of it.
    ASSERT_EQ(flow.answer("2", true, {}, 0).size(), 1u);
    EXPECT_FALSE(flow.waiting());
    EXPECT_EQ(flow.headerKey(), kHeaderClosedKey);
}

TEST_F(DialogRules, CloseAllTitleActsOnTheRowsItShowsWhateverTheBookHoldsSince) {
    for (const char* id : {"1", "2", "3"})
        position(id, "1");
    CloseAllFlow flow;
    flow.start(queries.getOpenOrderCollection());
    const std::vector<std::string> shown{"1", "2", "3"};
    // A fill opened "4" in the book; its row is not listed yet. The title showed every row ticked:
    // the one click unticks them all, it does not tick the newcomer.
    position("4", "1");
    const OrderView listed = queries.getOpenOrderCollection();
    flow.toggleAll(shown);
    EXPECT_TRUE(flow.ticked().empty());
    EXPECT_FALSE(flow.isTicked("4"));
    // The next ticks the rows shown, in list order, and nothing the trader did not see.
    flow.toggleAll(shown);
    EXPECT_EQ(flow.ticked(), shown);
    EXPECT_FALSE(flow.isCloseAll(listed));
    // Some ticked: every shown row ticked; ticks and their set agree through every change.
    flow.toggle("2");
    EXPECT_FALSE(flow.isTicked("2"));
    flow.toggleAll(shown);
    EXPECT_EQ(flow.ticked(), shown);
    flow.tickTogether({"1", "3"});
    EXPECT_EQ(flow.ticked(), std::vector<std::string>{"2"});
    EXPECT_FALSE(flow.isTicked("1") || flow.isTicked("3"));
    flow.tickTogether({"3", "2", "4"});
    EXPECT_EQ(flow.ticked(), (std::vector<std::string>{"2", "3", "4"}));
    // "2" closed elsewhere: its tick goes with it.
    s.model.OpenOrderCollection.erase(std::next(s.model.OpenOrderCollection.begin()));
    flow.follow(queries.getOpenOrderCollection());
    EXPECT_EQ(flow.ticked(), (std::vector<std::string>{"3", "4"}));
    EXPECT_FALSE(flow.isTicked("2"));
}

// The button is kept as ticks and the book change, never worked out again by a click: a book read
// for each click cost a large book's paint. Each answer agrees with the book read anew.
TEST_F(DialogRules, CloseAllButtonFollowsTicksAndTheBookWithoutReadingItForEachClick) {
    for (const char* id : {"1", "2", "3"})
        position(id, "1");
    position("2", "1"); // listed twice: one position to the button
    position("", "1");  // no id: never ticked, never counted
    CloseAllFlow flow;
    flow.start(queries.getOpenOrderCollection());
    const std::size_t read = flow.booksRead();
    const auto button = [&] {
        const CloseAllFlow::Button b = flow.button(0);
        EXPECT_EQ(flow.isCloseAll(), flow.isCloseAll(queries.getOpenOrderCollection()));
        return std::pair(b.title, b.enabled);
    };
    using Shown = std::pair<std::string, bool>;
    const Shown all{"Close All", true};
    EXPECT_EQ(button(), all);
    EXPECT_EQ(flow.ticked(), (std::vector<std::string>{"1", "2", "3"}));
    flow.toggle("2");
    EXPECT_EQ(button(), Shown("Close Selected (2)", true));
    flow.toggle("2");
    EXPECT_EQ(button(), all);
    // A tick of a position the book does not list: counted, but not "all".
    flow.toggle("9");
    EXPECT_EQ(button(), Shown("Close Selected (4)", true));
    flow.tickTogether({"9", "1"});
    EXPECT_EQ(button(), Shown("Close Selected (2)", true)) << "both were ticked: both unticked";
    flow.tickTogether({"1", "3", "9"});
    EXPECT_EQ(button(), Shown("Close Selected (4)", true));
    flow.tickTogether({"9"});
    EXPECT_EQ(button(), all);
    flow.toggleAll({"1", "2", "3"});
    EXPECT_EQ(button(), Shown("Close Selected (0)", false));
    flow.toggleAll({"1", "2", "3", "2"});
    EXPECT_EQ(button(), all);
    EXPECT_EQ(flow.booksRead(), read) << "no click reads the book";

    // A fill opens "4": the ticks stay, the button reads the new book.
    position("4", "1");
    flow.list(queries.getOpenOrderCollection());
    EXPECT_EQ(button(), Shown("Close Selected (3)", true));
    flow.toggle("4");
    EXPECT_EQ(button(), all);
    // "1" closed elsewhere: its tick stays until the rows follow, and "all" is no longer so.
    s.model.OpenOrderCollection.erase(s.model.OpenOrderCollection.begin());
    flow.list(queries.getOpenOrderCollection());
    EXPECT_EQ(button(), Shown("Close Selected (4)", true));
    flow.toggle("1");
    EXPECT_EQ(button(), all);
    flow.toggle("1");
    flow.follow(queries.getOpenOrderCollection());
    EXPECT_EQ(flow.ticked(), (std::vector<std::string>{"2", "3", "4"}));
    EXPECT_EQ(button(), all);
    // "1" listed again (a sign-in's list): unticked; ticked, all again.
    position("1", "1");
    flow.follow(queries.getOpenOrderCollection());
    EXPECT_EQ(button(), Shown("Close Selected (3)", true));
    flow.toggle("1");
    EXPECT_EQ(button(), all);
    // Every position gone, ticks of none: nothing to send.
    s.model.OpenOrderCollection.clear();
    flow.follow(queries.getOpenOrderCollection());
    EXPECT_EQ(button(), Shown("Close Selected (0)", false));
    EXPECT_EQ(flow.booksRead(), read + 5);
}

TEST_F(DialogRules, CloseAllRowsReadTheirOwnAnswersAndTheHeadingWhatBecameOfThem) {
    for (const char* id : {"1", "2", "3", "4"})
        position(id, "1");
    CloseAllFlow flow;
    flow.start(queries.getOpenOrderCollection());
    const auto status = [&](std::size_t row) {
        return std::tie(flow.statusRows()[row].status, flow.statusRows()[row].tone);
    };
    // One position refused by its own report: the others keep waiting, and read their own answers.
    flow.sent(s.model, queries, {"1", "2", "3"}, 0);
    EXPECT_EQ(flow.answer("1", false, "The market of this instrument is closed.", 0),
              std::vector<std::size_t>{0});
    EXPECT_EQ(status(0), std::make_tuple("The market of this instrument is closed.", Tone::Loss));
    EXPECT_EQ(status(1), std::make_tuple("Sent", Tone::Gain));
    EXPECT_TRUE(flow.waiting());
    EXPECT_EQ(flow.headerKey(), kHeaderWaitingKey);
    EXPECT_EQ(flow.answer("2", true, {}, 0), std::vector<std::size_t>{1});
    // The server silent within the limit: the heading says so; no row reads "No answer".
    flow.serverAnswering(false);
    EXPECT_EQ(flow.headerKey(), kHeaderServerSilentKey);
    EXPECT_EQ(status(2), std::make_tuple("Sent", Tone::Gain));
    flow.serverAnswering(true);
    EXPECT_EQ(flow.headerKey(), kHeaderWaitingKey);
    // At the limit the one unanswered reads "No answer"; its late answer still counts.
    flow.noAnswer(0);
    EXPECT_EQ(status(2), std::make_tuple("No answer", Tone::Loss));
    EXPECT_EQ(status(1), std::make_tuple("Executed", Tone::Gain));
    EXPECT_EQ(flow.headerKey(), kHeaderNoAnswerKey);
    EXPECT_EQ(flow.answer("3", true, {}, 0), std::vector<std::size_t>{2});
    EXPECT_EQ(flow.headerKey(), kHeaderSomeRejectedKey) << "some closed, one refused: not refused as a whole";

    // A refusal naming no position is of the whole request: every row waiting reads it.
    flow.sent(s.model, queries, {"1", "2", "3"}, 0);
    EXPECT_EQ(flow.answer("", false, "Too many positions", 0), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_FALSE(flow.waiting());
    for (std::size_t row = 0; row < 3; ++row)
        EXPECT_EQ(status(row), std::make_tuple("Too many positions", Tone::Loss)) << row;
    EXPECT_EQ(flow.headerKey(), kHeaderRefusedWholeKey);
    // After one position closed, a whole refusal of the rest is not "no position was closed".
    flow.sent(s.model, queries, {"1", "2", "3"}, 0);
    ASSERT_EQ(flow.answer("3", true, {}, 0).size(), 1u);
    EXPECT_EQ(flow.answer("", false, "Refused", 0), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(status(2), std::make_tuple("Executed", Tone::Gain));
    EXPECT_EQ(flow.headerKey(), kHeaderSomeRejectedKey);
    // Every one closed by its own answer.
    flow.sent(s.model, queries, {"1", "4"}, 0);
    EXPECT_TRUE(flow.answer("4", true, {}, 0).size() == 1 && flow.answer("1", true, {}, 0).size() == 1);
    EXPECT_EQ(flow.headerKey(), kHeaderClosedKey);
    // The server closed a position for this request or a like one and refused it to the other: the
    // row reads neither closed nor refused, and the heading says some outcomes are not known.
    flow.sent(s.model, queries, {"1", "2", "3"}, 0);
    ASSERT_EQ(flow.answer("3", false, "Refused", 0).size(), 1u);
    ASSERT_EQ(flow.answer("2", true, {}, 0).size(), 1u);
    EXPECT_EQ(flow.answerNotKnown("1", "one of two", false, 0), std::vector<std::size_t>{0});
    EXPECT_EQ(status(0), std::make_tuple("Not known: one of two", Tone::Plain));
    EXPECT_FALSE(flow.waiting());
    EXPECT_EQ(flow.headerKey(), kHeaderSomeNotKnownKey);
    // Closed all the same, by this request or a like one: the row reads closed, with what is known
    // and the price its settlement named, and the heading says every position closed.
    flow.sent(s.model, queries, {"1", "2"}, 0);
    ASSERT_EQ(flow.answer("2", true, {}, 0).size(), 1u);
    EXPECT_EQ(flow.answerNotKnown("1", "closed for one of two", true, 0), std::vector<std::size_t>{0});
    EXPECT_EQ(status(0), std::make_tuple("Executed: closed for one of two", Tone::Gain));
    EXPECT_EQ(flow.headerKey(), kHeaderClosedSomeByOneOfLikeKey);
    auto settled = std::make_shared<Order>();
    settled->OpenPositionId = "1";
    settled->ItemCode = "EURUSD";
    settled->SettledPrice = 1.2345_cdec;
    ASSERT_EQ(flow.report(s.model, {interfaces::BulkCloseReport::Kind::Settled, settled, {}, {}}),
              std::optional<std::size_t>{0});
    EXPECT_FALSE(flow.statusRows()[0].price.empty());
}

// The same user's sign-in again after a loss: each row still unanswered reads from the new list what
// became of it; the rows answered before keep their answers, and the heading says what the list told.
TEST_F(DialogRules, CloseAllRowsWithoutAnAnswerReadTheNextSignInsList) {
    for (const char* id : {"1", "2", "3", "4"})
        position(id, "1");
    CloseAllFlow flow;
    flow.start(queries.getOpenOrderCollection());
    const auto status = [&](std::size_t row) {
        return std::tie(flow.statusRows()[row].status, flow.statusRows()[row].tone);
    };
    flow.sent(s.model, queries, {"1", "2", "3", "4"}, 0);
    ASSERT_EQ(flow.answer("1", true, {}, 0).size(), 1u);
    flow.noAnswer(0);
    EXPECT_EQ(flow.unanswered(), (std::vector<std::string>{"2", "3", "4"}));
    // The new list: "1" (answered, closed) and "2" gone, "3" as sent, "4" with other lots.
    s.model.OpenOrderCollection.clear();
    position("3", "1");
    position("4", "0.4");
    EXPECT_EQ(flow.takeUpList(queries.getOpenOrderCollection(), 0), (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(status(0), std::make_tuple("Executed", Tone::Gain));
    EXPECT_EQ(status(1), std::make_tuple(languageText(0, kStatusClosedByListKey), Tone::Gain));
    EXPECT_EQ(status(2), std::make_tuple(languageText(0, kStatusStillHeldKey), Tone::Loss));
    EXPECT_EQ(status(3), std::make_tuple(languageText(0, kStatusChangedKey), Tone::Loss));
    EXPECT_FALSE(flow.waiting());
    EXPECT_TRUE(flow.unanswered().empty());
    EXPECT_EQ(flow.headerKey(), kHeaderListSomeClosedKey);
    // Told once: a later list changes nothing.
    EXPECT_TRUE(flow.takeUpList(queries.getOpenOrderCollection(), 0).empty());

    // Every unanswered one gone, or every one still held.
    flow.sent(s.model, queries, {"3", "4"}, 0);
    flow.noAnswer(0);
    s.model.OpenOrderCollection.clear();
    EXPECT_EQ(flow.takeUpList(queries.getOpenOrderCollection(), 0).size(), 2u);
    EXPECT_EQ(flow.headerKey(), kHeaderListAllClosedKey);
    position("3", "1");
    flow.sent(s.model, queries, {"3"}, 0);
    flow.noAnswer(0);
    EXPECT_EQ(flow.takeUpList(queries.getOpenOrderCollection(), 0).size(), 1u);
    EXPECT_EQ(flow.headerKey(), kHeaderListNoneClosedKey);
    // Every row answered before the loss: the list tells nothing, the answers' heading stays.
    flow.sent(s.model, queries, {"3"}, 0);
    ASSERT_EQ(flow.answer("3", true, {}, 0).size(), 1u);
    EXPECT_TRUE(flow.takeUpList(queries.getOpenOrderCollection(), 0).empty());
    EXPECT_EQ(flow.headerKey(), kHeaderClosedKey);
}

} // namespace
