#include "gui/trading/ticket_state.h"

#include "gui/grid/grid_cells.h"
#include "gui/market/market_fixture.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using interfaces::OrderKind;
using interfaces::Side;
using Bracket = TicketState::Bracket;

// Limits that tell the side and the entry price they were measured from; refuses one account.
struct FakeOrders : interfaces::Orders {
    std::vector<interfaces::OrderTicket> checked;
    std::int32_t refusedAccount = -1;

    interfaces::OrderResult checkOrder(const interfaces::OrderTicket& t) override {
        checked.push_back(t);
        if (t.account == refusedAccount)
            return interfaces::OrderResult::refused("1007", "");
        return interfaces::OrderResult::wasSent();
    }
    interfaces::PriceLimit entryPriceLimit(const interfaces::OrderTicket& t) const override {
        return {t.side == Side::Buy ? "1.10000" : "1.20000", t.side == Side::Buy};
    }
    interfaces::PriceLimit takeProfitLimit(const interfaces::OrderTicket& t) const override {
        return {t.price ? "tp@" + t.price->toString() : "tp@market", false};
    }
    interfaces::PriceLimit stopLossLimit(const interfaces::OrderTicket& t) const override {
        return {t.price ? "sl@" + t.price->toString() : "sl@market", true};
    }
    interfaces::OrderResult placeOrder(const interfaces::OrderTicket&) override { return {}; }
    interfaces::OrderResult placeMultiAccountOrder(const interfaces::OrderTicket&,
                                                   std::span<const interfaces::AccountQuantity>) override {
        return {};
    }
    interfaces::OrderResult closePosition(std::string_view, const interfaces::Decimal&,
                                          std::optional<std::int32_t>) override {
        return {};
    }
    interfaces::OrderResult editPositionBrackets(std::string_view, std::optional<interfaces::Decimal>,
                                                 std::optional<interfaces::Decimal>) override {
        return {};
    }
    interfaces::OrderResult editPendingOrder(std::string_view, const interfaces::Decimal&,
                                             const interfaces::Decimal&, std::optional<interfaces::Decimal>,
                                             std::optional<interfaces::Decimal>) override {
        return {};
    }
    interfaces::OrderResult cancelPendingOrder(std::string_view) override { return {}; }
    std::vector<interfaces::OrderResult> checkClosePositions(std::span<const std::string>) override {
        return {};
    }
    std::size_t closeAllLimit() const override { return 0; }
    std::vector<interfaces::AwaitedPositions> requestsOnPositions() const override { return {}; }
    interfaces::OrderResult checkPositionBrackets(std::string_view, std::optional<interfaces::Decimal>,
                                                  std::optional<interfaces::Decimal>) override {
        return {};
    }
    interfaces::OrderResult checkPendingOrderEdit(std::string_view, const interfaces::Decimal&,
                                                  const interfaces::Decimal&,
                                                  std::optional<interfaces::Decimal>,
                                                  std::optional<interfaces::Decimal>) override {
        return {};
    }
    interfaces::OrderResult closeAllPositions(std::span<const std::string>,
                                              interfaces::CloseAllScope) override {
        return {};
    }
    interfaces::OrderResult offsetPosition(std::string_view,
                                           std::span<const interfaces::OffsetLeg>) override {
        return {};
    }
    std::unique_ptr<interfaces::Handler> handleBulkCloseReport(BulkCloseFn) override { return nullptr; }
    void giveUpRequest(std::uint64_t) override {}
    std::unique_ptr<interfaces::Handler> handleRequestAnswered(RequestAnsweredFn) override { return nullptr; }
};

struct TicketStateTest : ::testing::Test, markettest::Session {
    FakeOrders orders;
    TicketState state;
    AccountList accounts;

    TicketStateTest() {
        auto& eur = item("EURUSD", 1);
        eur.availableOrderTypes =
            kMarketOrders | kLimitOrders | kStopOrders | kTakeProfitOrders | kStopLossOrders;
        eur.ContractSize = tc::platform::CompactDecimal(platform::Decimal::fromInt64(1000));
        eur.TickSize = tc::platform::CompactDecimal(platform::Decimal::fromParts(false, 1, -4));
        eur.DecimalPlaces = 4;
        settings(1).availableOrderSettings = 3;
        settings(1).MaxOrderQty = 1000_cdec; // the ticket holds its lots to the group's maximum
        for (std::int32_t id : {1001, 1002}) {
            auto& a = account(id);
            a.availableOrderTypes = eur.availableOrderTypes;
            a.accountSettings = kDeviationAllowed;
            accounts.push_back(*model.AccountDetailCollection.get(std::to_string(id)));
        }
        state.setAccounts(accounts);
        state.chooseInstrument("EURUSD");
        state.setLive(true);
    }
    TicketRecords records() {
        const ItemDetails* eur = instrumentOf(model, "EURUSD");
        const AccountDetails* a = model.AccountDetailCollection.get(std::to_string(state.accountId()))->get();
        return {a, eur, groupSettings(model, a, eur)};
    }
    ItemDetails& eur() { return **model.ItemCollection.get("EURUSD"); }
};

TEST_F(TicketStateTest, ModesStartAfreshAndFillTheLimitsForTheSideAndKind) {
    EXPECT_EQ(state.accountId(), 1001);
    state.setMode(true, records(), &orders);
    EXPECT_EQ(state.kinds().size(), 3u);
    EXPECT_EQ(state.kind(), OrderKind::Market);
    EXPECT_TRUE(state.price().empty()); // a market order has no entry price
    state.setKind(OrderKind::Limit, records(), &orders);
    EXPECT_EQ(state.price(), "1.10000");
    state.setBracket(Bracket::TakeProfit, true, &orders);
    EXPECT_EQ(state.bracket(Bracket::TakeProfit).text, "tp@1.1");
    // Another side refills the entry, and the bracket is measured from the new entry.
    state.selectSide(Side::Sell, &orders);
    EXPECT_EQ(state.price(), "1.20000");
    EXPECT_EQ(state.bracket(Bracket::TakeProfit).text, "tp@1.2");
    state.setBracket(Bracket::TakeProfit, false, &orders);
    EXPECT_TRUE(state.bracket(Bracket::TakeProfit).text.empty());
    EXPECT_TRUE(state.controls(records()).pendingPrice);

    state.setDeviation(true);
    state.setMode(false, records(), &orders);
    EXPECT_TRUE(state.price().empty());
    EXPECT_FALSE(state.deviation().on || state.bracket(Bracket::StopLoss).on);
    EXPECT_EQ(state.side(), Side::Buy);
    EXPECT_FALSE(state.controls(records()).advanced);

    // Selling alone: the advanced mode prefers the sell side and turns the brackets off.
    settings(1).availableOrderSettings = 2;
    state.setMode(true, records(), &orders);
    EXPECT_EQ(state.side(), Side::Sell);
    EXPECT_FALSE(state.controls(records()).bracketsEnabled);
}

TEST_F(TicketStateTest, WhatIsNotOfferedIsHiddenAndTurnedOff) {
    state.setMode(true, records(), &orders);
    state.setDeviation(true);
    EXPECT_TRUE(state.controls(records()).deviationShown);
    state.setKind(OrderKind::Stop, records(), &orders); // a deviation goes with market orders only
    EXPECT_FALSE(state.deviation().on);
    EXPECT_FALSE(state.controls(records()).deviationShown);

    state.setBracket(Bracket::StopLoss, true, &orders);
    (*model.AccountDetailCollection.get("1001"))->availableOrderTypes &= ~kStopLossOrders;
    state.loadKinds(records(), &orders);
    EXPECT_FALSE(state.bracket(Bracket::StopLoss).on);
    EXPECT_FALSE(state.controls(records()).stopLossShown);
    // Several accounts: every bracket shows, the rows are filtered instead.
    state.setMultiAccount(true);
    EXPECT_TRUE(state.controls(records()).stopLossShown);
    EXPECT_FALSE(state.controls(records()).singleAccount);
}

TEST_F(TicketStateTest, ChecksRefuseWithKeysThenAskTheOrderRules) {
    state.setMode(true, records(), &orders);
    state.setQuantity("2");
    state.setDeviation(true);
    state.setDeviationText("");
    EXPECT_EQ(state.check(Side::Buy, true, records(), &orders, {}).key, kNoDeviationKey);
    state.setDeviationText("15");
    auto verdict = state.check(Side::Buy, true, records(), &orders, {});
    EXPECT_TRUE(verdict.go());
    ASSERT_EQ(orders.checked.size(), 1u);
    EXPECT_EQ(orders.checked[0].deviation, 15);
    EXPECT_EQ(orders.checked[0].quantity.toString(), "2");

    // Simple mode sends at the market, without the deviation.
    eur().availableOrderTypes &= ~kMarketOrders;
    EXPECT_EQ(state.check(Side::Sell, false, records(), &orders, {}).key, kNoMarketOrderKey);
    eur().availableOrderTypes |= kMarketOrders;
    EXPECT_TRUE(state.check(Side::Sell, false, records(), &orders, {}).go());
    EXPECT_FALSE(orders.checked.back().deviation);
    EXPECT_EQ(orders.checked.back().side, Side::Sell);

    orders.refusedAccount = 1001;
    verdict = state.check(Side::Buy, true, records(), &orders, {});
    EXPECT_EQ(verdict.outcome, TicketVerdict::Outcome::Refused);
    EXPECT_EQ(verdict.key, "1007");
    state.setLive(false); // signed out: nothing to say, nothing asked
    const auto asked = orders.checked.size();
    EXPECT_EQ(state.check(Side::Buy, true, records(), &orders, {}).outcome, TicketVerdict::Outcome::Quiet);
    EXPECT_EQ(orders.checked.size(), asked);
}

TEST_F(TicketStateTest, SeveralAccountsCheckEachTickedRowWithItsQuantity) {
    state.setMultiAccount(true);
    state.setMode(true, records(), &orders);
    std::vector<MultiAccountRow> rows{{accounts[0], *fieldDecimal("1.5"), true},
                                      {accounts[1], *fieldDecimal("3"), false}};
    EXPECT_EQ(state.orderQuantity(Side::Buy, false, rows).toString(), "1.5");
    EXPECT_TRUE(state.check(Side::Buy, true, records(), &orders, rows).go());
    ASSERT_EQ(orders.checked.size(), 1u);
    EXPECT_EQ(orders.checked[0].account, 1001);
    EXPECT_EQ(orders.checked[0].quantity.toString(), "1.5");
    rows[0].ticked = false;
    EXPECT_EQ(state.check(Side::Buy, true, records(), &orders, rows).key, kNoAccountTickedKey);
    rows[1].ticked = true;
    orders.refusedAccount = 1002;
    EXPECT_EQ(state.check(Side::Buy, false, records(), &orders, rows).key, "1007");

    // A row holding a text it refuses stops the order with the text's reason, before any rule.
    orders.checked.clear();
    rows[1].refusedText = "0,5";
    const TicketVerdict comma = state.check(Side::Buy, false, records(), &orders, rows);
    EXPECT_EQ(std::tie(comma.key, comma.fieldKey), std::tie(texts::kHoldsAComma, texts::kQuantity));
    EXPECT_TRUE(orders.checked.empty());

    // No row because the deviation left every account out: the refusal says that, not "choose one".
    state.setDeviation(true);
    for (const auto& account : accounts)
        model.AccountDetailCollection.get(std::to_string(account->AccountId))->get()->accountSettings = 0;
    EXPECT_EQ(state.check(Side::Buy, true, records(), &orders, {}).key, texts::kNoAccountListAllowsPrice);
    state.setDeviation(false);
    EXPECT_EQ(state.check(Side::Buy, true, records(), &orders, {}).key, kNoAccountTickedKey);
}

TEST_F(TicketStateTest, UnitsLineShowsTheLotsAsTypedBesideNoRefusedQuantity) {
    GroupInstruments& rules = settings(1);
    rules.MinOrderQty = 0.01_cdec;
    rules.OrderQtyStep = 0.005_cdec;
    rules.MaxOrderQty = 100_cdec;
    // The lots shown are the ones multiplied, not a rounding of them.
    state.setQuantity("0.015");
    EXPECT_EQ(state.contractValue(records()), "0.015 x 1000.00 = 15.00");
    // Whatever the order rules refuse gets no product: none, negative, unreadable, above the maximum,
    // below the minimum, off the step.
    for (const char* refused : {"0", "-1", "", "1.2.3", "100.005", "9999999999999999999", "0.005", "0.012"}) {
        state.setQuantity(refused);
        EXPECT_EQ(state.contractValue(records()), "") << refused;
    }
    // Several accounts: each ticked row is held to its own account's rules, as the order is; the
    // total shows only when every row keeps them.
    state.setMultiAccount(true);
    state.setQuantity("150");
    EXPECT_EQ(state.contractValue(records(), {{75_dec, &rules}, {75_dec, &rules}}),
              "150 x 1000.00 = 150000.00");
    EXPECT_EQ(state.contractValue(records(), {{149.995_dec, &rules}, {0.005_dec, &rules}}), "");
    EXPECT_EQ(state.contractValue(records(), {{150_dec, &rules}}), "");
}

TEST_F(TicketStateTest, QuoteHintsStepsAndTheConfirmation) {
    eur().Ask = 1.2345_cdec;
    eur().Bid = 1.2343_cdec;
    EXPECT_FALSE(state.quote(nullptr).known);
    auto quote = state.quote(&eur());
    EXPECT_EQ(quote.code, "EURUSD");
    EXPECT_EQ(quote.askTick, Tick::Same); // the first price has no direction
    eur().Ask = 1.2346_cdec;
    quote = state.quote(&eur());
    EXPECT_EQ(quote.askTick, Tick::Up);
    EXPECT_EQ(quote.bidTick, Tick::Same);
    EXPECT_EQ(quote.ask, state.quoteTexts(&eur()).ask);

    EXPECT_EQ(state.priceHints(&orders).entry.check, PriceCheck::Untested); // simple mode tests nothing
    state.setMode(true, records(), &orders);
    state.setKind(OrderKind::Limit, records(), &orders);
    auto hints = state.priceHints(&orders);
    EXPECT_EQ(hints.entry.limit, "<= 1.10000");
    EXPECT_EQ(hints.entry.check, PriceCheck::Valid);
    ASSERT_TRUE(state.step(TicketState::PriceField::Entry, &eur(), true));
    EXPECT_EQ(state.price(), "1.1001");
    EXPECT_EQ(state.priceHints(&orders).entry.check, PriceCheck::Invalid);
    EXPECT_FALSE(state.step(TicketState::PriceField::Entry, nullptr, true));
    EXPECT_EQ(state.priceHints(nullptr).entry.check, PriceCheck::Untested);

    state.setQuantity("0531.50");
    settings(1).MaxOrderQty = 1000_cdec;
    EXPECT_EQ(state.contractValue(records()), "0531.50 x 1000.00 = 531500.00");
    state.setBracket(Bracket::StopLoss, true, &orders);
    state.setBracketText(Bracket::StopLoss, "1.0900");
    const std::string body = state.confirmation({"Buy", "at market", "TP", "SL", "Account {0}: {1} ({2})"},
                                                state.orderQuantity(Side::Buy, false, {}), &eur());
    EXPECT_NE(body.find("531.5"), std::string::npos);
    EXPECT_NE(body.find("SL"), std::string::npos);
    EXPECT_EQ(body.find("TP"), std::string::npos); // the take profit is off
}

} // namespace
} // namespace tc::gui
