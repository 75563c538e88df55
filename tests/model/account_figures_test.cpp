// The accounts' figures and the account pie's numbers, read from a session built by hand.
#include "model/account_figures.h"

#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

// One account in a currency converted at twice the amount, two instruments, positions of this
// account and of others.
class AccountFigures : public ::testing::Test {
protected:
    AccountFigures() {
        euro = instrument("EURUSD", 7, 1.2100_cdec, 1.2110_cdec);
        gold = instrument("XAUUSD", 3, 2000_cdec, 2001_cdec);
        auto conversion = instrument("USDJPY", 9, 2_cdec, 4_cdec);
        (void)conversion;
        auto currency = std::make_shared<TradeCurrency>();
        currency->instrumentID = 9;
        currency->conversionMode = 1;
        account = std::make_shared<AccountDetails>();
        account->AccountId = 1001;
        account->GroupId = "5";
        account->tradingStatus = 1;
        account->accountAccessType = 1;
        account->Equity = 10000;
        account->AvailableMargin = 6000;
        account->tradeCurrency = currency;
        model.AccountDetailCollection.insert_or_assign("1001", account);
        auto group = std::make_shared<GroupDetails>();
        group->GroupId = 5;
        for (std::int32_t id : {7, 3}) {
            GroupInstruments settings;
            settings.InstrumentId = id;
            settings.InitialMargin = id == 7 ? 1000_cdec : 500_cdec;
            group->fileGroupInstrument(settings);
        }
        model.fileGroup(group);
    }
    std::shared_ptr<ItemDetails> instrument(const char* code, std::int32_t id, platform::CompactDecimal bid,
                                            platform::CompactDecimal ask) {
        auto item = std::make_shared<ItemDetails>();
        item->Code = code;
        item->InstrumentId = id;
        item->Bid = bid;
        item->Ask = ask;
        item->ContractSize = 100000_cdec;
        item->PLCalcModeId = 1;
        model.ItemCollection.insert_or_assign(code, item);
        return item;
    }
    std::shared_ptr<Order> position(const char* code, const char* qty, const char* price,
                                    const char* accountNumber = "1001") {
        auto o = std::make_shared<Order>();
        o->AccountNumber = accountNumber;
        o->ItemCode = code;
        o->tradingMode = 0;
        o->deliveryMode = 1;
        o->RemainingQty = platform::Decimal::fromString(qty).value_or(platform::Decimal());
        o->OrderPrice = platform::Decimal::fromString(price).value_or(platform::Decimal());
        o->UnrealisedPL = 7; // what the core's last refresh left
        o->UnrealisedPLValued = true;
        positions.push_back(o);
        return o;
    }

    SessionModel model;
    std::shared_ptr<ItemDetails> euro, gold;
    std::shared_ptr<AccountDetails> account;
    OrderView positions;
};

TEST_F(AccountFigures, ProfitAndLossIsTheLastRefreshsFigureAsTheTotalsSumIt) {
    // The quotes have moved since the last refresh (or the stream was lost after they came): the
    // pie stays with the refresh, as the totals and the summary do.
    position("EURUSD", "2", "1.2000");
    position("EURUSD", "1", "1.2200")->UnrealisedPL = -2.5;
    position("XAUUSD", "1", "2000.5");
    position("EURUSD", "5", "1.0000", "2002"); // another account's
    const auto holdings = pieHoldings(model, positions, 1001, PieMode::ProfitLoss);
    ASSERT_EQ(holdings.size(), 3u);
    EXPECT_EQ(holdings[0].amount, 7);
    EXPECT_EQ(holdings[1].amount, -2.5);
    EXPECT_EQ(holdings[2].instrumentId, 3);

    const auto slices = accountPieSlices(model, positions, 1001, PieMode::ProfitLoss);
    ASSERT_EQ(slices.size(), 2u);
    EXPECT_EQ(slices[0].title, "XAUUSD");
    EXPECT_EQ(slices[1].title, "EURUSD");
    EXPECT_EQ(slices[1].value, 4.5) << "one slice per instrument, its positions summed";
    EXPECT_EQ(slices[0].value + slices[1].value, floatingPLByAccount(positions).at(1001));

    // An account in Equity Hit: the server's figure, which the refresh keeps there.
    account->tradingStatus = AccountDetails::kStatusEquityHit;
    EXPECT_EQ(pieHoldings(model, positions, 1001, PieMode::ProfitLoss)[0].amount, 7);
}

// Before the core's first refresh a position holds no figure: its 0 is no profit, so the pie's legend
// reads blank for its instrument, while the session has not valued its figures yet; once it has, a new
// fill counts as 0 until the next refresh, as in every window.
TEST_F(AccountFigures, APositionNotValuedYetHasNoFigureInThePie) {
    position("EURUSD", "2", "1.2000");
    auto fresh = position("XAUUSD", "1", "2000.5");
    position("EURUSD", "5", "1.0000", "2002")->UnrealisedPLValued = false; // another account's
    fresh->UnrealisedPLValued = false;
    fresh->UnrealisedPL = 0;
    const auto slices = accountPieSlices(model, positions, 1001, PieMode::ProfitLoss);
    ASSERT_EQ(slices.size(), 2u);
    const auto gold =
        std::find_if(slices.begin(), slices.end(), [](const auto& s) { return s.title == "XAUUSD"; });
    ASSERT_NE(gold, slices.end());
    EXPECT_EQ(charts::legendText(*gold), "XAUUSD: ") << "not 0.00";
    EXPECT_EQ(gold->size, 0);
    const auto euroSlice =
        std::find_if(slices.begin(), slices.end(), [](const auto& s) { return s.title == "EURUSD"; });
    ASSERT_NE(euroSlice, slices.end());
    EXPECT_EQ(charts::legendText(*euroSlice), "EURUSD: 7.00");
    const auto once = accountPieSlices(model, positions, 1001, PieMode::ProfitLoss, false);
    ASSERT_EQ(once.size(), 2u);
    EXPECT_EQ(charts::legendText(once[1]), "XAUUSD: 0.00");
}

TEST_F(AccountFigures, MarginSharesOfEquityAndNoneWithoutEquity) {
    position("XAUUSD", "2", "2000");
    position("EURUSD", "1", "1.2");
    position("EURUSD", "1.5", "1.2");
    // The session's figures under the hedge rule, per instrument and delivery mode: an instrument's
    // modes add up, and its positions take one slice, not one figure each.
    model.HedgeMarginCollection.insert_or_assign("XAUUSD#1", "1000.00");
    model.HedgeMarginCollection.insert_or_assign("EURUSD#1", "600.00");
    model.HedgeMarginCollection.insert_or_assign("EURUSD#2", "400.00");
    model.HedgeMarginCollection.insert_or_assign("EURUSDX#1", "5000.00"); // another code
    auto slices = accountPieSlices(model, positions, 1001, PieMode::Margin);
    ASSERT_EQ(slices.size(), 3u);
    // Each instrument's margin, then the available margin, as shares of equity.
    EXPECT_EQ(slices[0].title, "XAUUSD");
    EXPECT_DOUBLE_EQ(slices[0].value, 10);
    EXPECT_DOUBLE_EQ(slices[1].value, 10);
    EXPECT_EQ(slices[1].title, "EURUSD") << "equal shares by instrument id";
    EXPECT_EQ(slices[2].title, "Avl.Mgn");
    EXPECT_DOUBLE_EQ(slices[2].value, 60);
    account->Equity = 0;
    EXPECT_TRUE(accountPieSlices(model, positions, 1001, PieMode::Margin).empty());
    EXPECT_TRUE(accountPieSlices(model, positions, 4444, PieMode::Margin).empty())
        << "an account the session does not hold";
}

// Only the server works out the margin of an instrument the login's lists lack: the account's used
// margin as it sent it holds that margin, and what the others' leave of it is that instrument's. With
// two such instruments how it splits is not known: their legends read blank, never a share of 0.
TEST_F(AccountFigures, AnInstrumentTheLoginsListsDoNotCarryTakesTheServersMarginLeft) {
    position("XAUUSD", "2", "2000");
    position("NOSUCH", "1", "1.5");
    account->UsedMargin = 3500_cdec;
    model.HedgeMarginCollection.insert_or_assign("XAUUSD#1", "1000.00");
    model.HedgeMarginCollection.insert_or_assign("NOSUCH#1", "0.00"); // what the client can work out
    auto slices = accountPieSlices(model, positions, 1001, PieMode::Margin);
    ASSERT_EQ(slices.size(), 3u);
    EXPECT_EQ(slices[0].title, "NOSUCH") << "the largest first";
    EXPECT_DOUBLE_EQ(slices[0].value, 25);
    EXPECT_EQ(slices[1].title, "XAUUSD");
    EXPECT_DOUBLE_EQ(slices[1].value, 10) << "the others' shares stand";

    position("", "1", "1.5")->UnknownInstrumentId = 99999;
    slices = accountPieSlices(model, positions, 1001, PieMode::Margin);
    ASSERT_EQ(slices.size(), 4u);
    for (const auto& slice : slices)
        if (slice.title == "NOSUCH" || slice.title == "99999") {
            EXPECT_TRUE(std::isnan(slice.value)) << slice.title;
            EXPECT_EQ(slice.size, 0);
        }
    EXPECT_DOUBLE_EQ(slices.front().value, 10);
}

// The pies of an account whose only position is on an instrument known only by the server's id: both
// name it by that id, and both give it a figure, the margin pie the server's used margin.
TEST_F(AccountFigures, AnInstrumentKnownOnlyByTheServersIdIsNamedAndValuedInBothPies) {
    auto unlisted = position("", "1", "1.5");
    unlisted->UnknownInstrumentId = 99999;
    unlisted->UnrealisedPL = 42;
    account->UsedMargin = 400_cdec;
    const auto margin = accountPieSlices(model, positions, 1001, PieMode::Margin);
    ASSERT_EQ(margin.size(), 2u);
    EXPECT_EQ(charts::legendText(margin[0]), "99999: 4.00");
    EXPECT_EQ(margin[1].title, "Avl.Mgn");
    const auto profit = accountPieSlices(model, positions, 1001, PieMode::ProfitLoss);
    ASSERT_EQ(profit.size(), 1u);
    EXPECT_EQ(charts::legendText(profit[0]), "99999: 42.00");
    // Not yet valued, it is still named, its figure blank.
    unlisted->UnrealisedPLValued = false;
    const auto unvalued = accountPieSlices(model, positions, 1001, PieMode::ProfitLoss);
    ASSERT_EQ(unvalued.size(), 1u);
    EXPECT_EQ(charts::legendText(unvalued[0]), "99999: ");
}

TEST_F(AccountFigures, EachAccountsFiguresAreWorkedOutOnCopiesFromTheStoredFigures) {
    account->Balance = 1000_cdec;
    account->UsedMargin = 100_cdec;
    model.GroupDetailCollection.get("5")->get()->LeverageOnFProfit = 50;
    auto hit = std::make_shared<AccountDetails>(*account);
    hit->AccountId = 1002;
    hit->tradingStatus = AccountDetails::kStatusEquityHit;
    hit->Equity = 50;
    position("EURUSD", "1", "1.2");
    position("EURUSD", "1", "1.2", "01001"); // the same account, read as a number
    position("EURUSD", "1", "1.2", "1002");
    auto broken = std::make_shared<Order>();
    broken->AccountNumber = "1001";
    broken->UnrealisedPL = std::numeric_limits<double>::quiet_NaN();
    positions.push_back(broken);

    const auto figures = accountFigures(model, {account, hit}, positions);
    ASSERT_EQ(figures.size(), 2u);
    EXPECT_EQ(figures[0].UnrealisedPL, 14) << "a figure that is not a number adds nothing";
    EXPECT_EQ(figures[0].Leverage, 7);
    EXPECT_EQ(figures[0].Equity, 1007);
    EXPECT_EQ(figures[0].AvailableMargin, 907);
    EXPECT_EQ(figures[1].UnrealisedPL, 7);
    EXPECT_EQ(figures[1].Equity, 50) << "an account in equity hit keeps its equity";
    EXPECT_EQ(account->UnrealisedPL, 0) << "the session's record is left alone";
    EXPECT_EQ(account->Equity, 10000);

    // Over the stored list as it stands, a hidden account's position among them: the same figures.
    auto hidden = std::make_shared<AccountDetails>(*account);
    hidden->AccountId = 1003;
    hidden->accountAccessType = 4;
    model.AccountDetailCollection.insert_or_assign("1003", hidden);
    position("EURUSD", "1", "1.2", "1003");
    SessionModel::OrderList stored;
    for (const auto& p : positions)
        stored.push_back(std::make_shared<Order>(*p));
    const auto same = accountFigures(model, {account, hit}, stored);
    ASSERT_EQ(same.size(), 2u);
    for (std::size_t i = 0; i < same.size(); ++i) {
        EXPECT_EQ(same[i].UnrealisedPL, figures[i].UnrealisedPL);
        EXPECT_EQ(same[i].Equity, figures[i].Equity);
        EXPECT_EQ(same[i].AvailableMargin, figures[i].AvailableMargin);
    }
}

TEST_F(AccountFigures, FloatingTotalsHoldPastTheAccountNumbersRememberedInOnePass) {
    // More accounts than one pass remembers numbers of, each named by two positions apart.
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 40; ++i)
            position("EURUSD", "1", "1.2", std::to_string(3000 + i).c_str());
    const auto totals = floatingPLByAccount(positions);
    ASSERT_EQ(totals.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(totals.at(3000 + i), 14) << 3000 + i;
}

} // namespace
