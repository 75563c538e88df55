#include "model/records/history_rows.h"

#include "model/records/record_fields.h"
#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;
using platform::Decimal;

using tc::testing_support::dec;

WallTime at(const char* wire) {
    return *wallTimeFromWire(wire);
}

std::string record(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += '\x05';
        out += fields[i];
    }
    return out;
}

// A record whose field at position p holds the text of p + 100, so every field shows where it
// was taken from.
std::string numbered(std::size_t count) {
    std::vector<std::string> fields;
    for (std::size_t p = 0; p < count; ++p)
        fields.push_back(std::to_string(p + 100));
    return record(fields);
}

TEST(HistoryRows, OpenPositionFieldsByPosition) {
    auto fields = std::vector<std::string>(28, "");
    fields[0] = "9001";
    fields[1] = "42";
    fields[2] = "7";
    fields[3] = "Y";
    fields[7] = "2.5";
    fields[8] = "1.5";
    fields[9] = "1.23456";
    fields[14] = "-12.75";
    fields[17] = "2";
    fields[18] = "3";
    fields[19] = "-0.4";
    fields[21] = "20240131000000";
    for (std::size_t p = 22; p <= 26; ++p)
        fields[p] = "999"; // never read
    fields[27] = "1.0875";
    const auto row = OpenOrderHD::initWithMessage(record(fields));
    ASSERT_TRUE(row);
    EXPECT_EQ(std::tuple(row->PositionId, row->AccountId, row->InstrumentId, row->IsBuy),
              std::tuple("9001", "42", 7, true));
    EXPECT_EQ(std::tuple(row->PositionInitialQty, row->PositionQty, row->OrderPrice, row->UnrealisedPL),
              std::tuple(dec("2.5"), dec("1.5"), dec("1.23456"), dec("-12.75")));
    EXPECT_EQ(std::tuple(row->DeliveryMode, row->OrderTypeId, row->Storage),
              std::tuple(Delivery::Intraday, OrderKind::Stop, dec("-0.4")));
    EXPECT_EQ(std::tuple(row->ValueDate, row->ExpiryDate, row->BaseCurrencyRate),
              std::tuple(std::nullopt, at("20240131000000"), dec("1.0875")));
}

TEST(HistoryRows, EveryRowTakesItsLastPosition) {
    const auto open = OpenOrderHD::initWithMessage(numbered(28));
    ASSERT_TRUE(open);
    // "121" names no time.
    EXPECT_EQ(std::tuple(open->ExpiryDate, open->BaseCurrencyRate), std::tuple(std::nullopt, dec("127")));

    const auto pending = PendingOrderHD::initWithMessage(numbered(29));
    ASSERT_TRUE(pending);
    EXPECT_EQ(std::tuple(pending->PendingOrderId, pending->InstrumentId, pending->OrderQty,
                         pending->TralingStopPrice, pending->TimeInForceId, pending->OCOSStop),
              std::tuple("100", 103, dec("106"), dec("113"), static_cast<TimeInForce>(115), dec("120")));
    EXPECT_EQ(std::tuple(pending->Spread, pending->RefPositionIdOfBracket, pending->TouchPrice,
                         pending->TouchDateTime),
              std::tuple(dec("121"), "125", dec("127"), std::nullopt));

    const auto cancelled = CancelledOrderHD::initWithMessage(numbered(18));
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(std::tuple(cancelled->CancelledQty, cancelled->InstrumentId, cancelled->AccountId,
                         cancelled->IsBuy, cancelled->OrderLow, cancelled->OrderPrice, cancelled->OrderTime),
              std::tuple(dec("101"), 104, "105", true, dec("114"), dec("116"), std::nullopt));

    const auto hit = EquityHitPriceInfos::initWithMessage(numbered(14));
    ASSERT_TRUE(hit);
    EXPECT_EQ(std::tuple(hit->EHOrderHistoryId, hit->RefEHMCId, hit->PositionId, hit->HitPrice,
                         hit->AccountId, hit->ContractSize),
              std::tuple(100, 101, "102", dec("105"), "106", dec("113")));
}

TEST(HistoryRows, SettledRateOnlyFromTwentyFields) {
    auto row = SettledOrderHD::initWithMessage(numbered(19));
    ASSERT_TRUE(row);
    EXPECT_EQ(codeOf(row->DeliveryModeId), 117);
    EXPECT_EQ(row->accountCurrencyRate, Decimal());
    row = SettledOrderHD::initWithMessage(numbered(20));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->accountCurrencyRate, dec("119"));
    EXPECT_EQ(row->ClosePrice, dec("114"));
    // 20 fields where the 20th is empty: read, and empty reads 0.
    row = SettledOrderHD::initWithMessage(numbered(19) + "\x05");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->accountCurrencyRate, Decimal());
}

TEST(HistoryRows, ShortEmptyAndExtraFields) {
    // Short: three fields; the rest stay blank.
    auto row = OpenOrderHD::initWithMessage(record({"1", "2", "3"}));
    ASSERT_TRUE(row);
    EXPECT_EQ(std::tuple(row->InstrumentId, row->IsBuy, row->OrderPrice, row->BaseCurrencyRate),
              std::tuple(3, false, Decimal(), Decimal()));
    // Empty text: a row of blanks.
    row = OpenOrderHD::initWithMessage("");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->PositionId, "");
    EXPECT_EQ(row->InstrumentId, 0);
    // Far more fields than any row reads.
    row = OpenOrderHD::initWithMessage(numbered(500));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->BaseCurrencyRate, dec("127"));
    const std::string wide = numbered(500);
    EXPECT_EQ(RecordFields(wide).size(), RecordFields::kMaxFields);
    // Empty fields between filled ones.
    const auto hit =
        EquityHitPriceInfos::initWithMessage(record({"", "", "", "", "", "", "", "", "", "", "", "5"}));
    ASSERT_TRUE(hit);
    EXPECT_EQ(std::tuple(hit->EHOrderHistoryId, hit->IsBuy, hit->PositionQty),
              std::tuple(0, false, dec("5")));
}

TEST(HistoryRows, LenientNumbersFlagsAndTimes) {
    // An equity-hit row: ids at 0, 1 and 3, amounts at 4, 5, 7 to 9 and 11 to 13, the flag at 10.
    auto hit = EquityHitPriceInfos::initWithMessage(
        record({"12abc", "abc", "", "99999999999", " -3.5x", "inf", "", "nan", "1e999",
                "1.000000000000000000001", "007", "+N", "-99999999999"}));
    ASSERT_TRUE(hit);
    EXPECT_EQ(std::tuple(hit->EHOrderHistoryId, hit->RefEHMCId, hit->InstrumentId),
              std::tuple(12, 0, std::numeric_limits<std::int32_t>::max()));
    // No infinities or NaN into money fields; exact digits are kept.
    EXPECT_EQ(std::tuple(hit->OrderPrice, hit->HitPrice, hit->UnrealisedPL, hit->UnrealisedCharges),
              std::tuple(dec("-3.5"), Decimal(), Decimal(), Decimal()));
    EXPECT_EQ(hit->AccumulatingStorage, dec("1.000000000000000000001"));
    EXPECT_TRUE(hit->IsBuy);
    EXPECT_EQ(std::tuple(hit->PositionQty, hit->CurrencyRate), std::tuple(Decimal(), dec("-99999999999")));

    for (const auto& [flag, buy] : std::vector<std::pair<std::string, bool>>{{"1", true},
                                                                             {"0", false},
                                                                             {"y", true},
                                                                             {"007", true},
                                                                             {"000", false},
                                                                             {" t", true},
                                                                             {"+N", false}})
        EXPECT_EQ(OpenOrderHD::initWithMessage(record({"1", "2", "3", flag}))->IsBuy, buy) << flag;

    // Times: the wire's null time, an impossible date and a blank name no time.
    const auto settled =
        SettledOrderHD::initWithMessage(record({"S", "1", "2", "", "", "1", "2", "20240229235959", "", "", "",
                                                "", "", "", "", "00010101000000", "20230229000000"}));
    ASSERT_TRUE(settled);
    EXPECT_EQ(displayDateTime(settled->SettlementDate), "02/29/2024 23:59:59");
    EXPECT_EQ(std::tuple(settled->OpenPositionDate, settled->ClosePositionDate),
              std::tuple(std::nullopt, std::nullopt));
}

TEST(HistoryRows, OneBadRecordLeavesItsNeighbours) {
    const std::string oversize(history::kMaxRecordBytes + 1, '7');
    EXPECT_FALSE(OpenOrderHD::initWithMessage(oversize));
    EXPECT_TRUE(OpenOrderHD::initWithMessage(std::string(history::kMaxRecordBytes, '7')));

    const std::string reply = "\x06" + record({"A", "1"}) + "\x06\x06" + oversize + "\x06" +
                              record({"B", "2"}) + "\x06" + "garbage\x01\x02" + "\x06";
    const auto rows = history::parseRows<OpenOrderHD>(reply);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].PositionId, "A");
    EXPECT_EQ(rows[1].PositionId, "B");
    EXPECT_EQ(rows[1].AccountId, "2");
    EXPECT_EQ(rows[2].PositionId, "garbage\x01\x02");

    EXPECT_TRUE(history::splitRecords("").empty());
    EXPECT_TRUE(history::splitRecords("\x06\x06").empty());
    EXPECT_EQ(history::splitRecords("a\x06"
                                    "b")
                  .size(),
              2u);
}

} // namespace
