#include "model/records/group_details.h"
#include "model/records/record_fields.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

using namespace tc;
using testing_support::wireText;

std::string groupInstrumentRecord(const std::string& marginMode) {
    return wireText(
        "77<C>4<C>12<C>0.01<C>100<C>0.1<C>3<C>5<C>2<C>1.5<C>-0.5<C>10<C>20<C>Y<C>1000<C>500<C>250<C>"
        "300<C>400<C>600<C>7.5<C>1<C>" +
        marginMode + "<C>x<C>x<C>900<C>6<C>1");
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
    EXPECT_EQ(GroupInstruments::fromAmpRecord(RecordFields(wireText("1<C>2<C>3"))).margincalculationMode, 0);
}

TEST(GroupInstruments, SnapshotRecordFillsEveryListedPosition) {
    auto g = GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("1")));
    EXPECT_EQ(
        std::tuple(g.groupdetailsid, g.GroupId, g.InstrumentId, g.SpreadBid, g.SpreadAsk, g.SpreadTypeId),
        std::tuple(77, 4, 12, 3, 5, 2));
    EXPECT_EQ(std::tuple(g.OrderQtyStep, g.MaxOrderQty, g.MinOrderQty, g.BuyInterestRate, g.SellInterestRate),
              std::tuple(0.01, 100.0, 0.1, 1.5, -0.5));
    EXPECT_EQ(std::tuple(g.LimitMinPips, g.StopMinPips, g.AllowShortSelling), std::tuple(10, 20, true));
    EXPECT_EQ(std::tuple(g.InitialMargin, g.LimitOrderMargin, g.LiquidationMargin, g.IntradayOrderMargin,
                         g.BTSTOrderMargin, g.OverNightMargin, g.Commission, g.InitialSellMargin),
              std::tuple(1000.0, 500.0, 250.0, 300.0, 400.0, 600.0, 7.5, 900.0));
    EXPECT_EQ(
        std::tuple(g.AutoExecutionModeId, g.availableOrderSettings, g.isAvailableForTrading, g.PLCalcModeId),
        std::tuple(1, 6, true, 0));
}

TEST(GroupDetails, SnapshotRecordSkipsPositionFour) {
    auto g = GroupDetails::fromAmpRecord(
        RecordFields(wireText("4<C>Retail<C>Y<C>2<C>skip<C>Y<C>N<C>Y<C>N<C>50<C>20<C>1000<C>0.01<C>Y<C>80<C>"
                              "50<C>100<C>200<C>90<C>Y<C>N<C>3")));
    EXPECT_EQ(std::tuple(g.GroupId, g.Name, g.TradingEnabled, g.CompanyId), std::tuple(4, "Retail", true, 2));
    EXPECT_EQ(std::tuple(g.IsNewsEnabled, g.IsMailEnabled, g.IsChatEnabled, g.IsEAEnabled),
              std::tuple(true, false, true, false));
    EXPECT_EQ(std::tuple(g.InstrumentLimit, g.WatchlistItemLimit, g.MaxOrderQty, g.OrderQtyStep),
              std::tuple(50, 20, 1000.0, 0.01));
    EXPECT_EQ(std::tuple(g.IsTrailingStopEnabled, g.MarginCallLevel, g.StopOutLevel, g.LeverageOnFProfit,
                         g.RevLeverageOnFLoss, g.ReportHistoryDaysLimit),
              std::tuple(true, 80.0, 50.0, 100, 200, 90));
    EXPECT_EQ(std::tuple(g.SendMailReports, g.SendExecutionSMS, g.CreditRating), std::tuple(true, false, 3));
    EXPECT_TRUE(g.GroupInstrumentCollection.empty());
}

} // namespace
