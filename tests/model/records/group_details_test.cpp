#include "model/records/group_details.h"
#include "model/records/record_fields.h"

#include "support/wire_text.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using tc::testing_support::operator""_dec;

using namespace tc;
using testing_support::wireText;

std::string groupInstrumentRecord(const std::string& marginMode) {
    return wireText(
        "77<C>4<C>12<C>0.01<C>100<C>0.1<C>3<C>5<C>2<C>1.5<C>-0.5<C>10<C>20<C>Y<C>1000<C>500<C>250<C>"
        "300<C>400<C>600<C>7.5<C>1<C>" +
        marginMode + "<C>x<C>x<C>900<C>6<C>1");
}

GroupInstruments settingsOf(std::int32_t instrumentId, std::int32_t spreadBid = 0) {
    GroupInstruments s;
    s.InstrumentId = instrumentId;
    s.SpreadBid = spreadBid;
    return s;
}

std::vector<std::int32_t> idsOf(const GroupInstrumentTable& table) {
    std::vector<std::int32_t> ids;
    for (const GroupInstruments& s : table)
        ids.push_back(s.InstrumentId);
    return ids;
}

// What a const group hands out cannot write its settings.
static_assert(std::is_same_v<decltype(std::declval<const GroupDetails&>().groupInstrument(1)),
                             const GroupInstruments*>);
static_assert(
    std::is_same_v<decltype(*std::declval<const GroupInstrumentTable&>().begin()), const GroupInstruments&>);
static_assert(
    std::is_same_v<decltype(std::declval<const GroupInstrumentTable&>().find(1)), const GroupInstruments*>);

TEST(GroupDetails, NewGroupCanFileInstrumentsAtOnceAndLooksThemUp) {
    GroupDetails g;
    EXPECT_TRUE(g.GroupInstrumentCollection.empty());
    EXPECT_EQ(g.groupInstrument(12), nullptr);

    EXPECT_TRUE(g.fileGroupInstrument(settingsOf(12, 1)));
    EXPECT_TRUE(g.fileGroupInstrument(settingsOf(3)));
    ASSERT_NE(g.groupInstrument(12), nullptr);
    EXPECT_EQ(g.groupInstrument(12)->SpreadBid, 1);
    EXPECT_TRUE(g.GroupInstrumentCollection.contains(12));
    EXPECT_FALSE(g.GroupInstrumentCollection.contains(4));

    // The same instrument again replaces the settings in their place.
    const GroupInstruments* first = g.groupInstrument(12);
    EXPECT_TRUE(g.fileGroupInstrument(settingsOf(12, 9)));
    EXPECT_EQ(g.GroupInstrumentCollection.size(), 2u);
    EXPECT_EQ(g.GroupInstrumentCollection.front().SpreadBid, 9);
    EXPECT_EQ(g.groupInstrument(12), first);
    EXPECT_EQ(idsOf(g.GroupInstrumentCollection), (std::vector<std::int32_t>{12, 3}));
}

TEST(GroupDetails, InstrumentCountIsCapped) {
    GroupDetails g;
    for (std::size_t i = 0; i < GroupDetails::kMaxGroupInstruments; ++i)
        g.GroupInstrumentCollection.file(settingsOf(static_cast<std::int32_t>(i)));
    EXPECT_FALSE(g.fileGroupInstrument(settingsOf(-1)));
    EXPECT_TRUE(g.fileGroupInstrument(settingsOf(0, 5))); // replacing an existing id is still allowed
    EXPECT_EQ(g.GroupInstrumentCollection.size(), GroupDetails::kMaxGroupInstruments);
    EXPECT_EQ(g.GroupInstrumentCollection.front().SpreadBid, 5);
}

TEST(GroupInstrumentTable, EntriesStayPutKeepFilingOrderAndCopyWhole) {
    GroupInstrumentTable table;
    table.reserve(3);
    // Ids far apart, negative, and many sharing the low bits, with growth past the reserve.
    std::vector<std::int32_t> ids{2'000'000'000, -7, 0};
    for (std::int32_t i = 1; i <= 5000; ++i)
        ids.push_back(i * 1024);
    std::vector<const GroupInstruments*> where;
    for (std::int32_t id : ids)
        where.push_back(table.file(settingsOf(id, id % 97)).first);
    ASSERT_EQ(table.size(), ids.size());
    EXPECT_EQ(idsOf(table), ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        // References taken before the table grew still hold their entries.
        ASSERT_EQ(table.find(ids[i]), where[i]) << ids[i];
        EXPECT_EQ(where[i]->SpreadBid, ids[i] % 97);
    }
    EXPECT_EQ(table.find(1), nullptr);
    EXPECT_EQ(table.find(1025), nullptr);

    auto [again, isNew] = table.file(settingsOf(-7, 42));
    EXPECT_FALSE(isNew);
    EXPECT_EQ(again, where[1]);
    EXPECT_EQ(where[1]->SpreadBid, 42);

    GroupInstrumentTable copy(table);
    EXPECT_EQ(idsOf(copy), ids);
    EXPECT_NE(copy.find(-7), table.find(-7));
    EXPECT_EQ(copy.find(-7)->SpreadBid, 42);
    GroupInstrumentTable moved(std::move(copy));
    EXPECT_EQ(moved.size(), ids.size());
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(copy.begin(), copy.end());

    table.clear();
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.find(-7), nullptr);
    EXPECT_EQ(table.begin(), table.end());
    table.file(settingsOf(5));
    EXPECT_EQ(idsOf(table), (std::vector<std::int32_t>{5}));
    table = moved;
    EXPECT_EQ(idsOf(table), ids);
}

TEST(GroupInstruments, MarginModeZeroMeansNotApplicableAndUnknownModesLeaveItAlone) {
    EXPECT_EQ(GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("0"))).marginCalculationMode,
              926);
    EXPECT_EQ(GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("2"))).marginCalculationMode,
              2);
    auto g = GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("3")));
    EXPECT_EQ(g.MarginCalcModeId, 3);
    EXPECT_EQ(g.marginCalculationMode, 0);
    g.loadMarginCalcModeId(1);
    g.loadMarginCalcModeId(7);
    EXPECT_EQ(g.marginCalculationMode, 1);
    // Without the field nothing is derived.
    EXPECT_EQ(GroupInstruments::fromAmpRecord(RecordFields(wireText("1<C>2<C>3"))).marginCalculationMode, 0);
}

TEST(GroupInstruments, SnapshotRecordFillsEveryListedPosition) {
    auto g = GroupInstruments::fromAmpRecord(RecordFields(groupInstrumentRecord("1")));
    EXPECT_EQ(
        std::tuple(g.groupdetailsid, g.GroupId, g.InstrumentId, g.SpreadBid, g.SpreadAsk, g.SpreadTypeId),
        std::tuple(77, 4, 12, 3, 5, 2));
    EXPECT_EQ(std::tuple(g.OrderQtyStep, g.MaxOrderQty, g.MinOrderQty, g.BuyInterestRate, g.SellInterestRate),
              std::tuple(0.01_dec, 100_dec, 0.1_dec, 1.5_dec, -0.5_dec));
    EXPECT_EQ(std::tuple(g.LimitMinPips, g.StopMinPips, g.AllowShortSelling), std::tuple(10, 20, true));
    EXPECT_EQ(std::tuple(g.InitialMargin, g.LimitOrderMargin, g.LiquidationMargin, g.IntradayOrderMargin,
                         g.BTSTOrderMargin, g.OverNightMargin, g.Commission, g.InitialSellMargin),
              std::tuple(1000_dec, 500_dec, 250_dec, 300_dec, 400_dec, 600_dec, 7.5_dec, 900_dec));
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
              std::tuple(50, 20, 1000_dec, 0.01_dec));
    EXPECT_EQ(std::tuple(g.IsTrailingStopEnabled, g.MarginCallLevel, g.StopOutLevel, g.LeverageOnFProfit,
                         g.RevLeverageOnFLoss, g.ReportHistoryDaysLimit),
              std::tuple(true, 80_dec, 50_dec, 100, 200, 90));
    EXPECT_EQ(std::tuple(g.SendMailReports, g.SendExecutionSMS, g.CreditRating), std::tuple(true, false, 3));
    EXPECT_TRUE(g.GroupInstrumentCollection.empty());
}

} // namespace
