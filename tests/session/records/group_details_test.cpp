#include "session/records/group_details.h"
#include "session/records/record_fields.h"

#include "record_text.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace tc;

std::string groupInstrumentRecord(const std::string& marginMode) {
    return recordText({"77",   "4",  "12",       "0.01", "100",  "0.1", "3",   "5",   "2",   "1.5",
                       "-0.5", "10", "20",       "Y",    "1000", "500", "250", "300", "400", "600",
                       "7.5",  "1",  marginMode, "x",    "x",    "900", "6",   "1"});
}

TEST(GroupDetails, NewGroupCanFileInstrumentsAtOnceAndLooksThemUp) {
    GroupDetails g;
    EXPECT_TRUE(g.GroupInstrumentCollection.empty());
    EXPECT_EQ(g.groupInstrument(12), nullptr);

    auto first = std::make_shared<GroupInstruments>();
    first->InstrumentId = 12;
    first->SpreadBid = 1;
    EXPECT_TRUE(g.fileGroupInstrument(first));
    auto second = std::make_shared<GroupInstruments>();
    second->InstrumentId = 3;
    EXPECT_TRUE(g.fileGroupInstrument(second));
    EXPECT_EQ(g.groupInstrument(12), first);
    EXPECT_TRUE(g.GroupInstrumentCollection.contains("12"));

    // The same instrument again replaces the settings in their place.
    auto again = std::make_shared<GroupInstruments>();
    again->InstrumentId = 12;
    again->SpreadBid = 9;
    EXPECT_TRUE(g.fileGroupInstrument(again));
    EXPECT_EQ(g.GroupInstrumentCollection.size(), 2u);
    EXPECT_EQ(g.GroupInstrumentCollection.front().second->SpreadBid, 9);
    EXPECT_FALSE(g.fileGroupInstrument(nullptr));
}

TEST(GroupDetails, InstrumentCountIsCapped) {
    GroupDetails g;
    for (std::size_t i = 0; i < GroupDetails::kMaxGroupInstruments; ++i)
        g.GroupInstrumentCollection.insert_or_assign(std::to_string(i), nullptr);
    auto extra = std::make_shared<GroupInstruments>();
    extra->InstrumentId = -1;
    EXPECT_FALSE(g.fileGroupInstrument(extra));
    extra->InstrumentId = 0; // replacing an existing key is still allowed
    EXPECT_TRUE(g.fileGroupInstrument(extra));
    EXPECT_EQ(g.GroupInstrumentCollection.size(), GroupDetails::kMaxGroupInstruments);
}

TEST(GroupInstruments, MarginModeZeroMeansNotApplicableAndUnknownModesLeaveItAlone) {
    EXPECT_EQ(GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("0"))).margincalculationMode,
              926);
    EXPECT_EQ(GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("2"))).margincalculationMode,
              2);
    auto g = GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("3")));
    EXPECT_EQ(g.MarginCalcModeId, 3);
    EXPECT_EQ(g.margincalculationMode, 0);
    g.loadMarginCalcModeId(1);
    g.loadMarginCalcModeId(7);
    EXPECT_EQ(g.margincalculationMode, 1);
    // Without the field nothing is derived.
    EXPECT_EQ(
        GroupInstruments::fromAmpRecord(RecordFields(recordText({"1", "2", "3"}))).margincalculationMode, 0);
}

TEST(GroupInstruments, SnapshotRecordFillsEveryListedPosition) {
    auto g = GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("1")));
    EXPECT_EQ(g.groupdetailsid, 77);
    EXPECT_EQ(g.GroupId, 4);
    EXPECT_EQ(g.InstrumentId, 12);
    EXPECT_DOUBLE_EQ(g.OrderQtyStep, 0.01);
    EXPECT_DOUBLE_EQ(g.MaxOrderQty, 100);
    EXPECT_DOUBLE_EQ(g.MinOrderQty, 0.1);
    EXPECT_EQ(g.SpreadBid, 3);
    EXPECT_EQ(g.SpreadAsk, 5);
    EXPECT_EQ(g.SpreadTypeId, 2);
    EXPECT_DOUBLE_EQ(g.BuyInterestRate, 1.5);
    EXPECT_DOUBLE_EQ(g.SellInterestRate, -0.5);
    EXPECT_EQ(g.LimitMinPips, 10);
    EXPECT_EQ(g.StopMinPips, 20);
    EXPECT_TRUE(g.AllowShortSelling);
    EXPECT_DOUBLE_EQ(g.InitialMargin, 1000);
    EXPECT_DOUBLE_EQ(g.LimitOrderMargin, 500);
    EXPECT_DOUBLE_EQ(g.LiquidationMargin, 250);
    EXPECT_DOUBLE_EQ(g.IntradayOrderMargin, 300);
    EXPECT_DOUBLE_EQ(g.BTSTOrderMargin, 400);
    EXPECT_DOUBLE_EQ(g.OverNightMargin, 600);
    EXPECT_DOUBLE_EQ(g.Commission, 7.5);
    EXPECT_EQ(g.AutoExecutionModeId, 1);
    EXPECT_DOUBLE_EQ(g.InitialSellMargin, 900);
    EXPECT_EQ(g.availableOrderSettings, 6);
    EXPECT_TRUE(g.isAvailableForTrading);
    EXPECT_EQ(g.PLCalcModeId, 0);
}

TEST(GroupDetails, SnapshotRecordSkipsPositionFour) {
    auto g = GroupDetails::fromAmpRecord(
        RecordFields(recordText({"4",    "Retail", "Y", "2",  "skip", "Y",   "N",   "Y",  "N", "50", "20",
                                 "1000", "0.01",   "Y", "80", "50",   "100", "200", "90", "Y", "N",  "3"})));
    EXPECT_EQ(g.GroupId, 4);
    EXPECT_EQ(g.Name, "Retail");
    EXPECT_TRUE(g.TradingEnabled);
    EXPECT_EQ(g.CompanyId, 2);
    EXPECT_TRUE(g.IsNewsEnabled);
    EXPECT_FALSE(g.IsMailEnabled);
    EXPECT_TRUE(g.IsChatEnabled);
    EXPECT_FALSE(g.IsEAEnabled);
    EXPECT_EQ(g.InstrumentLimit, 50);
    EXPECT_EQ(g.WatchlistItemLimit, 20);
    EXPECT_DOUBLE_EQ(g.MaxOrderQty, 1000);
    EXPECT_DOUBLE_EQ(g.OrderQtyStep, 0.01);
    EXPECT_TRUE(g.IsTrailingStopEnabled);
    EXPECT_DOUBLE_EQ(g.MarginCallLevel, 80);
    EXPECT_DOUBLE_EQ(g.StopOutLevel, 50);
    EXPECT_EQ(g.LeverageOnFProfit, 100);
    EXPECT_EQ(g.RevLeverageOnFLoss, 200);
    EXPECT_EQ(g.ReportHistoryDaysLimit, 90);
    EXPECT_TRUE(g.SendMailReports);
    EXPECT_FALSE(g.SendExecutionSMS);
    EXPECT_EQ(g.CreditRating, 3);
    EXPECT_TRUE(g.GroupInstrumentCollection.empty());
}

} // namespace
