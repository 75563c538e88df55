// The validation chain in its order: each check refuses with its own key, and the first failure
// ends the chain with exactly one notice that carries the order.
#include "order_fixture.h"

#include "support/decimal_literal.h"

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;
// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;

using Validate = OrderFixture;

TEST_F(Validate, AcceptsTheBaselineOrdersWithoutANotice) {
    expectAccepted(limitBuy());
    expectAccepted(market(0));
    expectAccepted(market(1));
}

TEST_F(Validate, NetworkDownRefusesBeforeAnyOtherCheck) {
    host.networkUp = false;
    auto o = limitBuy();
    o->ItemCode.clear();
    o->orderType = 0;
    expectRefused(o, "1007");
}

TEST_F(Validate, MissingCodesAndOrderTypeRefuseInTurn) {
    auto o = limitBuy();
    o->ItemCode.clear();
    o->AccountNumber.clear();
    expectRefused(o, "20227");
    o->ItemCode = "EURUSD";
    expectRefused(o, "0335");
    o->AccountNumber = "1001";
    o->orderType = 0;
    expectRefused(o, "1080");
}

TEST_F(Validate, OrderTypeMasksOfAccountThenInstrument) {
    auto o = limitBuy();
    account->availableOrderTypes = 6; // take profit and stop loss, but not trading
    expectRefused(o, "1081");
    account->availableOrderTypes = 1;
    item->availableOrderTypes = 2;
    expectRefused(o, "1082");
    // Unknown records read as all zero and fail at their masks.
    o->AccountNumber = "999";
    expectRefused(o, "1081");
    o->AccountNumber = "1001";
    o->ItemCode = "GBPUSD";
    expectRefused(o, "1082");
}

TEST_F(Validate, AccountTradingStatus) {
    auto o = limitBuy();
    const std::vector<std::pair<std::int32_t, std::string>> refused = {
        {2, "1068"}, {3, "0334"}, {4, "1068"}, {5, "0333"}, {6, "1068"}};
    for (const auto& [status, key] : refused) {
        account->tradingStatus = status;
        expectRefused(o, key);
    }
    // Close Position Only lets a closing order through.
    account->tradingStatus = 4;
    o->isCloseNew = true;
    o->PreviousOrderQty = dec("1");
    expectAccepted(o);
    account->tradingStatus = 0; // unknown statuses pass
    expectAccepted(limitBuy());
}

TEST_F(Validate, AccountAccessTypeAndInstrumentStatusAllowOnlyClosing) {
    auto o = limitBuy();
    account->accountAccessType = 3;
    expectRefused(o, "1068");
    account->accountAccessType = 2;
    expectRefused(o, "1068");
    o->isCloseNew = true;
    o->PreviousOrderQty = dec("1");
    expectAccepted(o);
    account->accountAccessType = 1;
    item->instrumentTradingStatus = 2;
    expectAccepted(o);
    expectRefused(limitBuy(), "1068");
}

TEST_F(Validate, PriceMustBeOneNumberAboveZero) {
    for (const char* price : {"0", "-1.2", "", "1.2.3", "1.2000x", "abc", "nan", "inf"})
        expectRefused(limitBuy(price), "1035 0");
}

TEST_F(Validate, QuantityMustBeOneNumberAboveZero) {
    for (const char* qty : {"0", "-1", "", "1.2.3", "5x", "1e", "NaN"})
        expectRefused(limitBuy("1.1990", qty), "1003");
}

TEST_F(Validate, ClosingMoreThanThePositionShowsTheRemainder) {
    auto o = limitBuy("1.1990", "6");
    o->isCloseNew = true;
    o->PreviousOrderQty = dec("5.50");
    expectRefused(o, "1030 5.5");
    o->OrderQty = dec("5.5");
    expectAccepted(o);
}

TEST_F(Validate, GroupMustOfferTheInstrument) {
    settings->isAvailableForTrading = false;
    expectRefused(limitBuy(), "1069");
    group->GroupInstrumentCollection = {};
    expectRefused(limitBuy(), "1069");
}

TEST_F(Validate, SellOrdersMeetTheShortSellLimitBeforeTheRights) {
    settings->AllowShortSelling = false;
    settings->availableOrderSettings = 1; // selling not allowed either
    expectRefused(market(1), "1196");
    // Buys are never limited here, and fail at their own right when it is missing.
    settings->availableOrderSettings = 2;
    expectRefused(market(0), "1106");
}

TEST_F(Validate, BuyingAndSellingRights) {
    settings->availableOrderSettings = 2;
    expectRefused(limitBuy(), "1106");
    expectAccepted(market(1));
    settings->availableOrderSettings = 1;
    expectRefused(market(1), "1107");
    EXPECT_FALSE(OrderManager::hasOrderSettingsRights(nullptr, 1));
    EXPECT_TRUE(OrderManager::hasOrderSettingsRights(settings, 1));
}

TEST_F(Validate, OrderTypesOutsideMarketLimitStopSkipTheSecondHalf) {
    model.SessionSettingCollection = {}; // would refuse with "1049" in the second half
    auto o = limitBuy();
    o->orderType = 4;
    expectAccepted(o);
    expectRefused(limitBuy(), "1049");
}

using Verify = OrderFixture;

TEST_F(Verify, SessionPermissionsByOrderKind) {
    tradingSession->allowNewMarket = false;
    expectRefused(market(0), "1050");
    auto bracket = market(0);
    bracket->isEditBracketOrder = true;
    expectRefused(bracket, "1051");
    auto withTp = market(0);
    withTp->orderTypeInfo = 1;
    withTp->isEditWorkOrder = true;
    expectRefused(withTp, "1053");

    tradingSession->allowNewMarket = true;
    tradingSession->allowNewTpSl = false;
    withTp->isEditWorkOrder = false;
    expectRefused(withTp, "1051");
    auto limitWithTp = limitBuy();
    limitWithTp->orderTypeInfo = 3;
    expectRefused(limitWithTp, "1051");
    expectAccepted(limitBuy());

    tradingSession->allowNewContigent = false;
    expectRefused(limitBuy(), "1052");
    expectRefused(limitWithTp, "1052");
    expectAccepted(market(0));
}

TEST_F(Verify, GroupTradingSwitchAndMissingSettings) {
    group->TradingEnabled = false;
    expectRefused(limitBuy(), "1068");
    group->TradingEnabled = true;
    // Validate stops a missing setting earlier; called on its own the second half names it.
    group->GroupInstrumentCollection = {};
    notices.clear();
    EXPECT_FALSE(kept(manager.VerifyOrder(limitBuy())));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "1075");
}

TEST_F(Verify, QuantityLimitsShowTheLimitAsWritten) {
    expectRefused(limitBuy("1.1990", "150"), "1023 (100)");
    settings->MaxOrderQty = 0.5_cdec;
    expectRefused(limitBuy("1.1990", "0.6"), "1023 (0.5)");
    settings->MaxOrderQty = 100_cdec;
    expectRefused(limitBuy("1.1990", "0.05"), "1024 (0.1)");
}

TEST_F(Verify, QuantityIsHeldToTheStepAndLimitsExactly) {
    // 0.3 is not a whole multiple of 0.1 in binary; held as decimals it is.
    expectAccepted(limitBuy("1.1990", "0.3"));
    expectAccepted(limitBuy("1.1990", "2.7"));
    expectRefused(limitBuy("1.1990", "0.25"), "1034 (0.1)");
    // Digits past the sixth decimal, or past what a double tells apart, are off the step too.
    expectRefused(limitBuy("1.1990", "0.5000001"), "1034 (0.1)");
    expectRefused(limitBuy("1.1990", "0.500000000000000000001"), "1034 (0.1)");
    expectRefused(limitBuy("1.1990", "100.000000000000000001"), "1023 (100)");
    // A step finer than a millionth is named whole.
    settings->OrderQtyStep = 0.0000001_cdec;
    expectAccepted(limitBuy("1.1990", "0.5000001"));
    expectRefused(limitBuy("1.1990", "0.50000001"), "1034 (0.0000001)");
}

TEST_F(Verify, ClosingTheWholeRemainderIsExemptFromMinimumAndStep) {
    auto o = limitBuy("1.1990", "0.05");
    o->isCloseNew = true;
    o->PreviousOrderQty = dec("0.05");
    expectAccepted(o);
    o->OrderQty = dec("0.25");
    o->PreviousOrderQty = dec("0.25");
    expectAccepted(o);
    o->PreviousOrderQty = dec("0.35");
    expectRefused(o, "1034 (0.1)");
}

TEST_F(Verify, EntryPriceMustLieOnTheGrid) {
    expectRefused(limitBuy("1.1987"), "0423");
    // The waiver of the distances keeps the grid.
    item->orderSettings2 = 1;
    expectRefused(limitBuy("1.1987"), "0423");
    expectAccepted(limitBuy("1.2500"));
}

TEST_F(Verify, EntryDistancesPerTypeAndSide) {
    // Limit buy: at most ask - 4 ticks = 1.1990.
    expectAccepted(limitBuy("1.1990"));
    expectRefused(limitBuy("1.1995"), "1039 1.1990");
    // Limit sell: at least bid + 4 ticks = 1.2020.
    auto o = limitBuy("1.2015");
    o->tradingMode = 1;
    expectRefused(o, "1038 1.2020");
    o->OrderPrice = dec("1.2020");
    expectAccepted(o);
    // Stop buy: at least ask + 6 ticks = 1.2040.
    o = limitBuy("1.2035");
    o->orderType = 3;
    expectRefused(o, "1042 1.2040");
    o->OrderPrice = dec("1.2040");
    expectAccepted(o);
    // Stop sell: at most bid - 6 ticks = 1.1970.
    o->tradingMode = 1;
    o->OrderPrice = dec("1.1975");
    expectRefused(o, "1043 1.1970");
    o->OrderPrice = dec("1.1970");
    expectAccepted(o);
    // Without a bid or ask the last price stands in: limit buy at most 1.2005 - 0.0020.
    item->Ask = 0_cdec;
    expectRefused(limitBuy("1.1990"), "1039 1.1985");
    item->orderSettings2 = 1;
    expectAccepted(limitBuy("1.1990"));
}

TEST_F(Verify, DailyBandOfContingentOrders) {
    item->orderSettings2 = 2;
    item->PrevClose = 1.2_cdec;
    item->CircuitLimit = 1_cdec; // 1.212 and 1.188, both on the 0.0005 grid
    expectAccepted(limitBuy("1.1880"));
    expectRefused(limitBuy("1.1875"), "1202\n0760 : 1.2120\t0761 : 1.1880");
    // Market orders are not banded at their own price.
    item->Bid = 1.3_cdec;
    item->Ask = 1.3_cdec;
    expectAccepted(market(0));
}

TEST_F(Verify, TakeProfitOfAMarketBuyIsMeasuredFromTheBid) {
    auto o = market(0);
    o->orderTypeInfo = 1;
    o->isTakeProfitEnabled = true;
    o->LimitPrice = dec("1.2020"); // bid 1.2000 + 4 ticks, exactly
    expectAccepted(o);
    o->LimitPrice = dec("1.2015");
    expectRefused(o, "20231 1.2020");
    o->LimitPrice = dec("1.2021");
    expectRefused(o, "20232");
    o->LimitPrice = platform::Decimal::notANumber(); // typed as "1.2.3"
    expectRefused(o, "20232");
}

TEST_F(Verify, StopLossOfAMarketBuyFollowsTheTakeProfit) {
    auto o = market(0);
    o->orderTypeInfo = 1;
    o->isTakeProfitEnabled = true;
    o->isStopLossEnabled = true;
    o->LimitPrice = dec("1.2015");
    o->StopPrice = dec("1.1999");
    expectRefused(o, "20231 1.2020"); // the take profit is checked first
    o->LimitPrice = dec("1.2020");
    expectRefused(o, "20229");
    o->StopPrice = dec("1.1975");
    expectRefused(o, "20230 1.1970");
    o->StopPrice = dec("1.1970");
    expectAccepted(o);
}

TEST_F(Verify, ProtectivePricesOfAMarketSellAreMeasuredFromTheAsk) {
    auto o = market(1);
    o->orderTypeInfo = 1;
    o->isTakeProfitEnabled = true;
    o->LimitPrice = dec("1.1995"); // at most ask 1.2010 - 4 ticks = 1.1990
    expectRefused(o, "20233 1.1990");
    o->LimitPrice = dec("1.1990");
    o->isStopLossEnabled = true;
    o->StopPrice = dec("1.2035"); // at least ask + 6 ticks = 1.2040
    expectRefused(o, "20228 1.2040");
    o->StopPrice = dec("1.2040");
    expectAccepted(o);
    item->orderSettings2 = 1; // distances waived, grid kept
    o->StopPrice = dec("1.2012");
    expectRefused(o, "20229");
    o->StopPrice = dec("1.2010");
    expectAccepted(o);
}

TEST_F(Verify, EditedBracketIsMeasuredFromItsOwnPriceOnItsOwnSide) {
    // Editing the take profit of a long position: the edit sells, based on the order's price.
    auto o = market(1);
    o->OrderPrice = dec("1.1000");
    o->isEditBracketOrder = true;
    o->orderTypeInfo = 1;
    o->isTakeProfitEnabled = true;
    o->LimitPrice = dec("1.1015");
    expectRefused(o, "20231 1.1020");
    o->LimitPrice = dec("1.1020");
    expectAccepted(o);
}

TEST_F(Verify, BandOfTheProtectiveBase) {
    item->orderSettings2 = 2;
    item->circuitLimitUp = 1.1990_cdec; // the bid of 1.2000 is above the band
    auto o = market(0);
    o->orderTypeInfo = 1;
    o->isTakeProfitEnabled = true;
    o->LimitPrice = dec("1.2020");
    expectRefused(o, "1202\n0760 : 1.1990\t0761 : 0.0000");
}

TEST_F(Verify, MarginIsTheLastCheck) {
    account->AvailableMargin = 500; // one lot needs 1000
    account->Equity = 500;
    account->UsedMargin = 0_cdec;
    expectRefused(limitBuy(), "1067");
    // A close the account cannot carry is refused as a close, not as an order.
    auto close = limitBuy();
    close->isCloseNew = true;
    close->PreviousOrderQty = dec("2");
    expectRefused(close, "95408");
    auto cancel = limitBuy();
    cancel->isCancelOrder = true;
    expectAccepted(cancel);
}

TEST_F(Verify, EntryBoundIsComparedAsTheWrittenDecimal) {
    // 0.3 - 2 × 0.1 is 0.09999999999999998 in binary, below a limit buy at 0.1; the bound the user
    // sees is 0.1, so that price is accepted. Likewise 0.1 + 0.2 > 0.3 for a limit sell.
    item->DecimalPlaces = 1;
    item->TickSize = 0.1_cdec;
    item->Ask = 0.3_cdec;
    item->Bid = 0.1_cdec;
    settings->LimitMinPips = 2;
    settings->InitialMargin = 0_cdec;
    expectAccepted(limitBuy("0.1"));
    expectRefused(limitBuy("0.2"), "1039 0.1");
    auto sell = limitBuy("0.3");
    sell->tradingMode = 1;
    expectAccepted(sell);
}

using OffsetCheck = OrderFixture;

TEST_F(OffsetCheck, RefusalsCarryNoOrder) {
    const auto expectOffsetRefused = [this](const std::string& key) {
        notices.clear();
        EXPECT_FALSE(kept(manager.validateOffsetPosition("EURUSD", "1001")));
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].text, key);
        EXPECT_EQ(notices[0].key, key);
        EXPECT_EQ(notices[0].order, nullptr);
    };
    item->CurrentTradeSessionSettingId = 4;
    expectOffsetRefused("1049");
    item->CurrentTradeSessionSettingId = 3; // a session other than 0 or 1
    expectOffsetRefused("1071");
    tradingSession->settingsID = 1;
    model.SessionSettingCollection = {};
    model.fileSessionSettings(tradingSession);
    item->CurrentTradeSessionSettingId = 1;
    notices.clear();
    EXPECT_TRUE(kept(manager.validateOffsetPosition("EURUSD", "1001")));
    EXPECT_TRUE(notices.empty());
    for (const auto& [status, key] : std::vector<std::pair<int, std::string>>{
             {2, "1072"}, {4, "1072"}, {6, "1072"}, {3, "0334"}, {5, "0333"}}) {
        account->tradingStatus = status;
        expectOffsetRefused(key);
    }
    account->tradingStatus = 1;
    account->accountAccessType = 2;
    expectOffsetRefused("1072");
    account->accountAccessType = 1;
    group->TradingEnabled = false;
    expectOffsetRefused("1072");
    group->TradingEnabled = true;
    group->GroupInstrumentCollection = {};
    expectOffsetRefused("1075");
}

using RefusalAnswer = OrderFixture;

TEST_F(RefusalAnswer, CarriesItsKeyTextAndOrderAndAPassCarriesNone) {
    auto o = limitBuy("1.1990", "0");
    const OrderAnswer refused = manager.Validate(o);
    EXPECT_FALSE(refused);
    EXPECT_EQ(std::tuple(refused.key, refused.text, refused.order), std::tuple("1003", "1003", o));
    const OrderAnswer passed = manager.Validate(limitBuy());
    EXPECT_TRUE(passed);
    EXPECT_TRUE(passed.key.empty() && passed.text.empty());
    EXPECT_FALSE(manager.Validate(nullptr));
}

TEST_F(RefusalAnswer, ItsTextIsTheHostsInTheUsersLanguage) {
    host.keysAsTexts = false;
    host.networkUp = false;
    const OrderAnswer english = manager.Validate(limitBuy());
    EXPECT_EQ(english.key, "1007");
    EXPECT_FALSE(english.text.empty());
    EXPECT_NE(english.text, "1007") << "the English table's text, not the key";
    host.texts.insert_or_assign("1007", "offline");
    EXPECT_EQ(manager.Validate(limitBuy()).text, "offline");
}

} // namespace
