// Floating profit and loss by mode, commission proration and the one-second refresh; expected figures
// worked by hand from the formulas. The conversion into the account currency is the account records'
// (tested with them).
#include "model/position_arithmetic.h"

#include "model/records/currency_records.h"
#include "model/records/record_decimal.h"
#include "orders/order_fixture.h"
#include "platform/amount_text.h"
#include "support/decimal_literal.h"

#include <limits>
#include <string>
#include <vector>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

ItemDetails instrument(std::int32_t mode, double contractSize) {
    ItemDetails i;
    i.PLCalcModeId = mode;
    i.ContractSize = tc::platform::CompactDecimal(tc::decimalFromDouble(contractSize));
    return i;
}

TEST(FloatingPL, ModeOneByPriceDifference) {
    const ItemDetails i = instrument(1, 100000);
    // Buy 2 at 1.2000, bid 1.2100: (1.2000 - 1.2100) × 2 × 100000 = -2000, negated.
    EXPECT_NEAR(CalculateFloatingPL(&i, 0, 2, 1.2, 1.21), 2000, 1e-6);
    // Sell 1 at 1.2000, ask 1.2100: -1000.
    EXPECT_NEAR(CalculateFloatingPL(&i, 1, 1, 1.2, 1.21), -1000, 1e-6);
}

TEST(FloatingPL, ModeTwoByInversePrices) {
    const ItemDetails i = instrument(2, 1000);
    // (1 ÷ 1.25 - 1 ÷ 1.6) × 1 × 1000 = (0.8 - 0.625) × 1000 = 175, negated for a buy.
    EXPECT_NEAR(CalculateFloatingPL(&i, 0, 1, 1.25, 1.6), -175, 1e-9);
}

TEST(FloatingPL, ModeThreeInPointsRoundedHalfAway) {
    ItemDetails i = instrument(3, 0);
    i.DecimalPlaces = 4;
    i.Point = 10_cdec;
    // 10^4 × (1.2000 - 1.1995) × 10 × 2 = 100 on a sell.
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 1, 2, 1.2, 1.1995), 100);
    // Exactly half a point: 10^0 × (1.5 - 1.25) × 2 × 1 = 0.5, away from zero to 1 (not to even 0).
    i.DecimalPlaces = 0;
    i.Point = 2_cdec;
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 1, 1, 1.5, 1.25), 1);
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 0, 1, 1.5, 1.25), -1);
}

TEST(FloatingPL, ModeFourDividedByTheCurrentPrice) {
    const ItemDetails i = instrument(4, 1000);
    // (110 - 100) × 1000 × 2 ÷ 100 = 200 on a sell.
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 1, 2, 110, 100), 200);
}

TEST(FloatingPL, ModesFiveAndSixUseTheCalculationMid) {
    auto calc = std::make_shared<ItemDetails>();
    calc->Bid = 1.3_cdec;
    calc->Ask = 1.5_cdec; // mid 1.4
    ItemDetails five = instrument(5, 100);
    five.CalculationItems = calc;
    // Buy 1 at 1.0, bid 1.1: (1.0 - 1.1) × 1 × 100 × 1.4 = -14, negated.
    EXPECT_NEAR(CalculateFloatingPL(&five, 0, 1, 1.0, 1.1), 14, 1e-9);
    ItemDetails six = instrument(6, 100);
    six.CalculationItems = calc; // 10 ÷ 1.4
    EXPECT_NEAR(CalculateFloatingPL(&six, 0, 1, 1.0, 1.1), 10 / 1.4, 1e-9);
    calc->Bid = 0_cdec;
    calc->Ask = 0_cdec; // a mid of 0 counts as 1
    EXPECT_NEAR(CalculateFloatingPL(&six, 0, 1, 1.0, 1.1), 10, 1e-9);
    five.CalculationItems.reset();
    EXPECT_NEAR(CalculateFloatingPL(&five, 0, 1, 1.0, 1.1), 10, 1e-9);
}

TEST(FloatingPL, ModesOutsideTheTableAndEmptyInputs) {
    const ItemDetails seven = instrument(7, 100);
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&seven, 0, 1, 1.0, 2.0), 0);
    const ItemDetails zero = instrument(0, 100); // works as mode 1
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&zero, 0, 1, 1.0, 2.0), 100);
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&zero, 0, 0, 1.0, 2.0), 0);
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(&zero, 0, -1, 1.0, 2.0), 0);
    EXPECT_DOUBLE_EQ(CalculateFloatingPL(nullptr, 0, 1, 1.0, 2.0), 0);
}

TEST(FloatingPL, NoQuoteGivesNothingInEveryMode) {
    auto calc = std::make_shared<ItemDetails>();
    calc->Bid = calc->Ask = 2_cdec;
    for (std::int32_t mode = 1; mode <= 6; ++mode) {
        ItemDetails i = instrument(mode, 100000);
        i.DecimalPlaces = 4;
        i.Point = 1_cdec;
        i.CalculationItems = calc;
        EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 0, 1, 1.2, 0), 0) << mode;
        EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 1, 1, 1.2, 0), 0) << mode;
        EXPECT_DOUBLE_EQ(CalculateFloatingPL(&i, 1, 1, 0, 1.2), 0) << mode;
    }
}

TEST(Conversion, DirectAndIndirectPrices) {
    EXPECT_DOUBLE_EQ(currencyConversion(10, 4, 0), 40);
    EXPECT_DOUBLE_EQ(currencyConversion(10, 4, 1), 2.5);
    EXPECT_DOUBLE_EQ(currencyConversion(10, 0, 1), 10);
    EXPECT_DOUBLE_EQ(currencyConversion(10, 0, 0), 0);
}

TEST(Commission, ProratedToTheRemainder) {
    const auto d = [](std::int64_t v) { return platform::Decimal::fromInt64(v); };
    EXPECT_DOUBLE_EQ(calcCommission(d(10), d(4), 5), 2);
    EXPECT_DOUBLE_EQ(calcCommission(d(10), d(0), 5), 0);
    // Nothing to prorate against: the commission stays.
    EXPECT_DOUBLE_EQ(calcCommission(d(0), d(4), 5), 5);
    EXPECT_DOUBLE_EQ(calcCommission(platform::Decimal::notANumber(), d(4), 5), 5);
    EXPECT_DOUBLE_EQ(calcCommission(d(-2), d(4), 5), 5);
}

// A result that ends in a half cent reads as its decimal does, rounded away from zero, whichever side
// of it the doubles' arithmetic lands: a buy of 0.25 from 186.58 to 191.00 is 1.105, and reads 1.11.
TEST(FloatingPL, AHalfCentRoundsAsTheDecimalItStandsFor) {
    using platform::Decimal;
    ItemDetails i = instrument(1, 1);
    i.Bid = 191.00_cdec;
    i.Ask = 191.02_cdec;
    Order position;
    position.RemainingQty = 0.25_dec;
    position.OrderPrice = 186.58_dec;
    EXPECT_EQ(platform::amountText(*floatingPLOfPosition(position, &i, nullptr)), "1.11");
    position.RemainingQty = 0.5_dec;
    position.OrderPrice = 188.97_dec;
    EXPECT_EQ(platform::amountText(*floatingPLOfPosition(position, &i, nullptr)), "1.02");

    // Every cent of open price over five dollars, each side, at quantities whose result has a half cent
    // or a quarter: the figure shown is the exact decimal's, rounded once.
    int subCent = 0;
    std::vector<std::string> wrong;
    for (const char* size : {"1", "100"}) {
        i.ContractSize = platform::CompactDecimal(*Decimal::fromString(size));
        for (const char* quantity : {"0.25", "0.5", "0.75", "1.5", "0.125"}) {
            position.RemainingQty = *Decimal::fromString(quantity);
            for (int cents = 18600; cents < 19100; ++cents) {
                position.OrderPrice = Decimal::fromParts(false, static_cast<unsigned>(cents), -2);
                for (const std::int32_t side : {0, 1}) {
                    position.tradingMode = side;
                    const Decimal quote = side == 0 ? Decimal(i.Bid) : Decimal(i.Ask);
                    const Decimal gain =
                        side == 0 ? quote - *position.OrderPrice : *position.OrderPrice - quote;
                    const Decimal exact = gain * position.RemainingQty * Decimal(i.ContractSize);
                    const std::string shown =
                        platform::amountText(*floatingPLOfPosition(position, &i, nullptr));
                    if (shown != platform::amountText(exact))
                        wrong.push_back(
                            std::string(quantity) + " x " + size + (side == 0 ? " bought at " : " sold at ") +
                            position.OrderPrice->toString() + ": " + exact.toString() + " reads " + shown);
                    subCent += exact.rounded(2) != exact ? 1 : 0;
                }
            }
        }
    }
    EXPECT_GT(subCent, 1000);
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " read otherwise, the first: " << wrong.front();
}

TEST(ClosingQuote, ABuySellsAtTheBidAnyOtherSideBuysBackAtTheAsk) {
    ItemDetails i;
    i.Bid = 1.2100_cdec;
    i.Ask = 1.2103_cdec;
    Order position;
    EXPECT_EQ(&closingQuote(i, position), &i.Bid);
    for (const std::int32_t side : {1, 7, -1}) {
        position.tradingMode = side;
        EXPECT_EQ(&closingQuote(i, position), &i.Ask) << side;
    }
    // Quotes of another form (a statement's closing prices, a request's doubles) by the same rule.
    EXPECT_EQ(closingQuote(0, 1.5, 1.6), 1.5);
    EXPECT_EQ(closingQuote(1, 1.5, 1.6), 1.6);

    // The floating result is valued at it: a sell of 1 opened at 1.2000, 0.0103 against it.
    i.PLCalcModeId = 1;
    i.ContractSize = 1000_cdec;
    position.RemainingQty = 1_dec;
    position.OrderPrice = 1.2_dec;
    EXPECT_NEAR(*floatingPLOfPosition(position, &i, nullptr), -10.3, 1e-9);
}

class PositionArithmeticOverSession : public OrderFixture {
protected:
    PositionArithmeticOverSession() {
        conversion = std::make_shared<ItemDetails>();
        conversion->Code = "USDJPY";
        conversion->InstrumentId = 9;
        conversion->Bid = 2_cdec;
        conversion->Ask = 4_cdec;
        model.ItemCollection.insert_or_assign("USDJPY", conversion);
        currency = std::make_shared<TradeCurrency>();
        currency->instrumentID = 9;
        account->tradeCurrency = currency;
        item->PLCalcModeId = 1;
    }
    std::shared_ptr<ItemDetails> conversion;
    std::shared_ptr<TradeCurrency> currency;
    PositionArithmetic arithmetic{lookup};
};

TEST_F(PositionArithmeticOverSession, BuyValuedAtBidSellAtAsk) {
    auto buy = position(0, "2", "1.2000");
    auto sell = position(1, "1", "1.2000");
    item->Bid = 1.2100_cdec;
    item->Ask = 1.2110_cdec;
    arithmetic.CalcPL(*buy);
    arithmetic.CalcPL(*sell);
    EXPECT_NEAR(buy->UnrealisedPL, 2000, 1e-6);   // (1.21 - 1.2) × 2 × 100000
    EXPECT_NEAR(sell->UnrealisedPL, -1100, 1e-6); // (1.2 - 1.211) × 1 × 100000
}

TEST_F(PositionArithmeticOverSession, ACloseIsValuedAtTheClosingSidesPriceInTheAccountsCurrency) {
    currency->conversionMode = 1; // × 2
    auto buy = position(0, "2", "1.2000");
    auto sell = position(1, "1", "1.2000");
    item->Bid = 1.2100_cdec;
    item->Ask = 1.2110_cdec;
    EXPECT_NEAR(closeResult(*buy, 0.5, lookup), 1000, 1e-6); // (1.21 - 1.2) × 0.5 × 100000 × 2
    EXPECT_NEAR(closeResult(*sell, 1, lookup), -2200, 1e-6); // (1.2 - 1.211) × 1 × 100000 × 2
    EXPECT_DOUBLE_EQ(closeResult(*buy, 0, lookup), 0);
    buy->ItemCode = "GONE";
    EXPECT_DOUBLE_EQ(closeResult(*buy, 1, lookup), 0);
}

TEST_F(PositionArithmeticOverSession, ACloseAndAnOffsetEndingInAHalfCentRoundItAsTheDecimal) {
    item->ContractSize = 1_cdec;
    item->DecimalPlaces = 2;
    item->Bid = 191.00_cdec;
    item->Ask = 191.02_cdec;
    auto buy = position(0, "1", "186.58");
    EXPECT_EQ(platform::amountText(closeResult(*buy, 0.25, lookup)), "1.11"); // 0.25 × 4.42 = 1.105
    auto sell = position(1, "1", "191.00");
    EXPECT_EQ(platform::amountText(offsetResult(*buy, 0.25_dec, *sell, item.get())), "1.11");
}

TEST_F(PositionArithmeticOverSession, AnOffsetValuesTheLegAtItsShownPriceAgainstThePosition) {
    auto held = position(0, "2", "1.2000");
    auto leg = position(1, "1", "1.21004"); // shown at four decimals: 1.2100
    EXPECT_NEAR(offsetResult(*leg, 0.5_dec, *held, item.get()).toDouble(), 500,
                1e-6); // (1.21 - 1.2) × 0.5 × 100000
    // A buy leg against the sell: from 1.2000 to the position's own unshown price.
    EXPECT_NEAR(offsetResult(*held, 1_dec, *leg, item.get()).toDouble(), 1004, 1e-6);
    EXPECT_EQ(offsetResult(*leg, 0.5_dec, *held, nullptr), 0_dec);
}

TEST_F(PositionArithmeticOverSession, EquityHitKeepsTheStoredFigure) {
    auto buy = position(0, "2", "1.2000");
    buy->UnrealisedPL = 123;
    account->tradingStatus = AccountDetails::kStatusEquityHit;
    arithmetic.CalcPL(*buy);
    EXPECT_DOUBLE_EQ(buy->UnrealisedPL, 123);
}

TEST_F(PositionArithmeticOverSession, RefreshConvertsEachPositionAndAddsMargins) {
    currency->conversionMode = 1; // × 2
    item->Bid = 1.2100_cdec;
    auto buy = position(0, "2", "1.2000");
    auto frozen = position(0, "1", "1.0", "2002");
    auto frozenAccount = std::make_shared<AccountDetails>();
    frozenAccount->AccountId = 2002;
    frozenAccount->tradingStatus = AccountDetails::kStatusEquityHit;
    model.AccountDetailCollection.insert_or_assign("2002", frozenAccount);
    frozen->UnrealisedPL = 7;
    // Stored, not yet worked out: no figure to show.
    EXPECT_FALSE(buy->UnrealisedPLValued);
    const auto totals = refreshOpenPositions(model.OpenOrderCollection, lookup);
    EXPECT_NEAR(buy->UnrealisedPL, 4000, 1e-6); // 2000 converted at the bid of 2
    EXPECT_DOUBLE_EQ(frozen->UnrealisedPL, 7);
    EXPECT_TRUE(buy->UnrealisedPLValued);
    EXPECT_TRUE(frozen->UnrealisedPLValued); // the server's figure of an account in equity hit
    EXPECT_NEAR(totals.unrealisedPL, 4007, 1e-6);
    // Only account 1001 has a group: 1000 per lot × 2 lots.
    EXPECT_DOUBLE_EQ(totals.margin, 2000);
    EXPECT_EQ(totals.positions, 2u);
    // An instrument the login's lists do not carry: nothing to price it at, so the figure the
    // server listed stands, valued as it is, and counts in the totals.
    auto unpriced = position(0, "1");
    unpriced->ItemCode = "NOSUCH";
    unpriced->UnrealisedPL = -12.5;
    const auto withUnpriced = refreshOpenPositions(model.OpenOrderCollection, lookup);
    EXPECT_TRUE(unpriced->UnrealisedPLValued);
    EXPECT_DOUBLE_EQ(unpriced->UnrealisedPL, -12.5);
    EXPECT_NEAR(withUnpriced.unrealisedPL, 4007 - 12.5, 1e-6);
    EXPECT_EQ(withUnpriced.positions, 3u);
    // The single position's own valuation says the same.
    auto another = position(0, "1");
    another->ItemCode = "NOSUCH";
    another->UnrealisedPL = 3;
    arithmetic.CalcPL(*another);
    EXPECT_TRUE(another->UnrealisedPLValued);
    EXPECT_DOUBLE_EQ(another->UnrealisedPL, 3);
}

TEST_F(PositionArithmeticOverSession, RefreshConvertsTheEquityHitFigureOnceEveryPass) {
    currency->conversionMode = 1; // × 2
    auto frozen = position(0, "1", "1.2000");
    account->tradingStatus = AccountDetails::kStatusEquityHit;
    frozen->UnrealisedPL = 50;
    frozen->EquityHitPL = 50;
    const double once = arithmetic.calculateCurrencyConversionForValue(50, *frozen);
    ASSERT_NE(once, 50); // the account's currency needs converting
    for (int pass = 0; pass < 3; ++pass) {
        const auto totals = refreshOpenPositions(model.OpenOrderCollection, lookup);
        EXPECT_DOUBLE_EQ(frozen->UnrealisedPL, once) << pass;
        EXPECT_DOUBLE_EQ(totals.unrealisedPL, once) << pass;
    }
}

TEST_F(PositionArithmeticOverSession, RefreshLeavesOutPositionsOfHiddenAccounts) {
    item->Bid = 1.2100_cdec;
    auto shown = position(0, "1", "1.2000");
    auto hidden = position(0, "1", "1.2000", "2002");
    auto suspended = std::make_shared<AccountDetails>();
    suspended->AccountId = 2002;
    suspended->tradingStatus = 3;
    model.AccountDetailCollection.insert_or_assign("2002", suspended);
    hidden->UnrealisedPL = 5;
    const auto totals = refreshOpenPositions(model.OpenOrderCollection, lookup);
    EXPECT_EQ(totals.positions, 1u);
    EXPECT_DOUBLE_EQ(hidden->UnrealisedPL, 5);
    EXPECT_NEAR(totals.unrealisedPL, 1000, 1e-6); // (1.21 - 1.2) × 1 × 100000, no conversion
    suspended->tradingStatus = 1;
    suspended->accountAccessType = 10;
    EXPECT_EQ(refreshOpenPositions(model.OpenOrderCollection, lookup).positions, 1u);
    suspended->accountAccessType = 1;
    EXPECT_EQ(refreshOpenPositions(model.OpenOrderCollection, lookup).positions, 2u);
}

TEST_F(PositionArithmeticOverSession, RefreshAgreesWithThePerPositionOperations) {
    currency->conversionMode = 3;
    item->Bid = 1.1950_cdec;
    item->Ask = 1.1960_cdec;
    std::vector<std::shared_ptr<Order>> copies;
    for (int n = 1; n <= 6; ++n) {
        auto p = position(n % 2, std::to_string(n), n % 3 ? "1.2000" : "1.1900");
        auto copy = std::make_shared<Order>(*p);
        arithmetic.CalcPL(*copy);
        copy->UnrealisedPL = arithmetic.calculateCurrencyConversionForValue(copy->UnrealisedPL, *copy);
        copies.push_back(copy);
    }
    refreshOpenPositions(model.OpenOrderCollection, lookup);
    for (std::size_t n = 0; n < copies.size(); ++n)
        EXPECT_DOUBLE_EQ(model.OpenOrderCollection[n]->UnrealisedPL, copies[n]->UnrealisedPL) << n;
}

TEST_F(PositionArithmeticOverSession, APositionWithoutItsInstrumentKeepsTheServersFigureAndNeedsNoMargin) {
    item->Bid = 1.2100_cdec;
    position(0, "1", "1.2000");
    auto orphan = position(0, "3", "1.2000");
    orphan->ItemCode.clear();
    orphan->UnknownInstrumentId = 99;
    orphan->UnrealisedPL = 42;
    arithmetic.CalcPL(*orphan);
    EXPECT_DOUBLE_EQ(orphan->UnrealisedPL, 42);
    const auto totals = refreshOpenPositions(model.OpenOrderCollection, lookup);
    EXPECT_EQ(totals.positions, 2u);
    EXPECT_DOUBLE_EQ(orphan->UnrealisedPL, 42);
    // (1.21 - 1.2) × 1 × 100000 and the server's 42; margin only for the lot that has settings.
    EXPECT_NEAR(totals.unrealisedPL, 1042, 1e-6);
    EXPECT_DOUBLE_EQ(totals.margin, 1000);
}

TEST_F(PositionArithmeticOverSession, MarginOfOneLotMatchesTheDecimalRule) {
    settings->marginCalculationMode = 2;
    settings->InitialMargin = 2_cdec; // 2 % of 100000 = 2000
    item->MarginFormulaId = 1;
    auto p = position(0, "1", "1.25"); // × 1.25 = 2500
    EXPECT_DOUBLE_EQ(marginForSingleLot(*p, settings, *item), 2500);
    EXPECT_DOUBLE_EQ(p->GetMarginForSingleLot(settings, *item)->toDouble(), 2500);
    EXPECT_DOUBLE_EQ(marginForSingleLot(*p, nullptr, *item), 0);
}

} // namespace
