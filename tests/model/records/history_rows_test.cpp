#include "model/records/history_rows.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;

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
              std::tuple(2.5, 1.5, 1.23456, -12.75));
    EXPECT_EQ(std::tuple(row->DeliveryMode, row->OrderTypeId, row->Storage), std::tuple(2, 3, -0.4));
    EXPECT_EQ(std::tuple(row->ValueDate, row->ExpiryDate, row->BaseCurrencyRate),
              std::tuple("", "20240131000000", 1.0875));
}

TEST(HistoryRows, EveryRowTakesItsLastPosition) {
    const auto open = OpenOrderHD::initWithMessage(numbered(28));
    ASSERT_TRUE(open);
    EXPECT_EQ(std::tuple(open->ExpiryDate, open->BaseCurrencyRate), std::tuple("121", 127.0));

    const auto pending = PendingOrderHD::initWithMessage(numbered(29));
    ASSERT_TRUE(pending);
    EXPECT_EQ(std::tuple(pending->PendingOrderId, pending->InstrumentId, pending->OrderQty,
                         pending->TralingStopPrice, pending->TimeInForceId, pending->OCOSStop),
              std::tuple("100", 103, 106.0, 113.0, 115, 120.0));
    EXPECT_EQ(std::tuple(pending->Spread, pending->RefPositionIdOfBracket, pending->TouchPrice,
                         pending->TouchDateTime),
              std::tuple("121", "125", 127.0, "128"));

    const auto cancelled = CancelledOrderHD::initWithMessage(numbered(18));
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(std::tuple(cancelled->CancelledQty, cancelled->InstrumentId, cancelled->AccountId,
                         cancelled->IsBuy, cancelled->OrderLow, cancelled->OrderPrice, cancelled->OrderTime),
              std::tuple(101.0, 104, "105", true, 114.0, 116.0, "117"));

    const auto hit = EquityHitPriceInfos::initWithMessage(numbered(14));
    ASSERT_TRUE(hit);
    EXPECT_EQ(std::tuple(hit->EHOrderHistoryId, hit->RefEHMCId, hit->PositionId, hit->HitPrice,
                         hit->AccountId, hit->ContractSize),
              std::tuple(100, 101, "102", 105.0, "106", 113.0));
}

TEST(HistoryRows, SettledRateOnlyFromTwentyFields) {
    auto row = SettledOrderHD::initWithMessage(numbered(19));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->DeliveryModeId, 117);
    EXPECT_EQ(row->accountCurrencyRate, 0);
    row = SettledOrderHD::initWithMessage(numbered(20));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->accountCurrencyRate, 119.0);
    EXPECT_EQ(row->ClosePrice, "114");
    // 20 fields where the 20th is empty: read, and empty reads 0.
    row = SettledOrderHD::initWithMessage(numbered(19) + "\x05");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->accountCurrencyRate, 0);
}

TEST(HistoryRows, ShortEmptyAndExtraFields) {
    // Short: three fields; the rest stay blank.
    auto row = OpenOrderHD::initWithMessage(record({"1", "2", "3"}));
    ASSERT_TRUE(row);
    EXPECT_EQ(std::tuple(row->InstrumentId, row->IsBuy, row->OrderPrice, row->BaseCurrencyRate),
              std::tuple(3, false, 0, 0));
    // Empty text: a row of blanks.
    row = OpenOrderHD::initWithMessage("");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->PositionId, "");
    EXPECT_EQ(row->InstrumentId, 0);
    // Far more fields than any row reads.
    row = OpenOrderHD::initWithMessage(numbered(500));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->BaseCurrencyRate, 127.0);
    const std::string wide = numbered(500);
    EXPECT_EQ(history::Fields(wide).count(), history::kMaxFields);
    // Empty fields between filled ones.
    const auto hit =
        EquityHitPriceInfos::initWithMessage(record({"", "", "", "", "", "", "", "", "", "", "", "5"}));
    ASSERT_TRUE(hit);
    EXPECT_EQ(std::tuple(hit->EHOrderHistoryId, hit->IsBuy, hit->PositionQty), std::tuple(0, false, 5.0));
}

TEST(HistoryRows, LenientNumbersAndFlags) {
    const std::string text = record({"12abc", "abc", " -3.5x", "1", "0", "y", "007", "000", "inf", "nan",
                                     "99999999999", "-99999999999", "1e999", " t", "+N"});
    const history::Fields f(text);
    EXPECT_EQ(f.int32(0), 12);
    EXPECT_EQ(f.int32(1), 0);
    EXPECT_EQ(f.real(2), -3.5);
    EXPECT_EQ(f.int32(2), -3);
    EXPECT_TRUE(f.flag(3));
    EXPECT_FALSE(f.flag(4));
    EXPECT_TRUE(f.flag(5));
    EXPECT_TRUE(f.flag(6));
    EXPECT_FALSE(f.flag(7));
    EXPECT_EQ(f.real(8), 0); // no infinities or NaN into money fields
    EXPECT_EQ(f.real(9), 0);
    EXPECT_EQ(f.int32(10), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(f.int32(11), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(f.real(12), 0);
    EXPECT_TRUE(f.flag(13));
    EXPECT_FALSE(f.flag(14));
    EXPECT_EQ(f.text(99), ""); // past the last field
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
