#include "gui/market/detail_content.h"
#include "gui/market/market_fixture.h"
#include "session/data_service/data_service_replies.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

using namespace tc;

using namespace tc::gui;

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;
// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

std::string valueOf(const DetailContent& content, std::string_view caption) {
    for (const DetailRow& row : content.rows)
        if (row.caption == caption)
            return row.value;
    return "<no row>";
}

std::vector<std::string> captions(const DetailContent& content) {
    std::vector<std::string> out;
    for (const DetailRow& row : content.rows)
        out.push_back(row.caption);
    return out;
}

class DetailContentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ItemDetails& item = s.item("GOLD", 4, 2);
        item.ContractSize = 100_cdec;
        item.Name = "Gold";
        item.InstrumentTypeName = "Metal";
        item.marketID = 9;
        s.account(11).AccountName = "Trader";
        settings = &s.settings(4);
        settings->InitialMargin = 12.5_cdec;
    }

    DetailContent instrument(DetailType type) {
        const SessionQueries queries(s.model, SessionQuerySources{{}, &dataService, {}});
        return instrumentDetail(type, "GOLD", {s.model, queries, 11, 0});
    }

    markettest::Session s;
    GroupInstruments* settings = nullptr;
    DataServiceCollections dataService;
    MarketScheduleCollection& schedules = dataService.marketSessionSchedulesCollection;
};

TEST_F(DetailContentTest, DeliveryReceipt) {
    auto position = markettest::Session::order("P7", "11", "GOLD", "2");
    position->OrderPrice = dec("1.5");
    position->TransactionDateTime = wallTimeFromWire("20240305143000");
    BankDetails bank;
    bank.BankName = "First Bank";
    DetailContent receipt = deliveryReceipt(findPosition({position}, "P7"), s.model, &bank, 0);
    ASSERT_EQ(receipt.rows.size(), 14u);
    EXPECT_TRUE(receipt.recordFound);
    EXPECT_EQ(receipt.rows[0], (DetailRow{"Account No.", "11"}));
    EXPECT_EQ(valueOf(receipt, "Account Name"), "Trader");
    EXPECT_EQ(valueOf(receipt, "Bank Name"), "First Bank");
    EXPECT_EQ(valueOf(receipt, "Bank Account Number"), "") << "a number of 0 shows nothing";
    EXPECT_EQ(valueOf(receipt, "Position ID"), "P7");
    EXPECT_EQ(valueOf(receipt, "Buy/Sell"), "B");
    EXPECT_EQ(valueOf(receipt, "Price"), "1.50");
    EXPECT_EQ(valueOf(receipt, "Total Cost"), "300 (three hundred)");
    EXPECT_EQ(valueOf(receipt, "Initial Margin"), "25 (twenty-five)");

    position->RemainingQty = position->OrderQty = dec("3");
    position->OrderPrice = dec("4.1152");
    bank.BankAccountNumber = 123456789;
    receipt = deliveryReceipt(position.get(), s.model, &bank, 0);
    // 3 x 100 x 4.1152 = 1234.56: the words are those of the whole part.
    EXPECT_EQ(valueOf(receipt, "Total Cost"), "1234.56 (one thousand two hundred thirty-four)");
    EXPECT_EQ(valueOf(receipt, "Initial Margin"), "38 (thirty-eight)") << "37.5 rounds to whole units";
    EXPECT_EQ(valueOf(receipt, "Bank Account Number"), "123456789");
    s.model.GroupDetailCollection.clear();
    EXPECT_EQ(valueOf(deliveryReceipt(position.get(), s.model, &bank, 0), "Initial Margin"), "")
        << "no settings, no margin";

    const DetailContent gone = deliveryReceipt(findPosition({position}, "P8"), s.model, nullptr, 0);
    EXPECT_FALSE(gone.recordFound);
    EXPECT_EQ(captions(gone), captions(receipt));
    for (const DetailRow& row : gone.rows)
        EXPECT_EQ(row.value, "");
}

TEST_F(DetailContentTest, InstrumentDetailsLeaveOutNullDatesAndZeroMargins) {
    s.model.ItemCollection.get("GOLD")->get()->FND =
        WallTime{std::chrono::sys_days{std::chrono::year{1} / 1 / 1}};
    settings->BuyInterestRate = 2.5_cdec;
    DetailContent details = instrument(DetailType::InstrumentDetails);
    EXPECT_EQ(captions(details),
              (std::vector<std::string>{"Symbol", "Type", "Name", "Tick", "Contract Size", "Last Trading Day",
                                        "Buy Storage Rate", "Sell Storage Rate", "Limit Min Pips",
                                        "Stop Min Pips", "Initial Margin", "Overnight Margin"}));
    EXPECT_EQ(valueOf(details, "Last Trading Day"), "-");
    EXPECT_EQ(valueOf(details, "Buy Storage Rate"), "2.5");
    EXPECT_EQ(valueOf(details, "Initial Margin"), "12.5");

    settings->marginCalculationMode = 2;
    settings->InitialMargin = 5_cdec;
    settings->IntradayOrderMargin = 3_cdec;
    EXPECT_EQ(valueOf(instrument(DetailType::InstrumentDetails), "Intraday Margin"), "3%");
    const DetailContent margins = instrument(DetailType::MarginRequirement);
    EXPECT_EQ(margins.rows,
              (std::vector<DetailRow>{
                  {"Initial Margin", "5%"}, {"Overnight Margin", "5%"}, {"Intraday Margin", "3%"}}));
}

TEST_F(DetailContentTest, ContractPanes) {
    ItemDetails& item = *s.model.ItemCollection.get("GOLD")->get();
    item.UnitId = 9;
    item.LTD = wallTimeFromWire("20241227000000");
    settings->MinOrderQty = 0.01_cdec;
    settings->SellInterestRate = -1.25_cdec;
    const DetailContent contract = instrument(DetailType::ContractSpecification);
    EXPECT_EQ(valueOf(contract, "Contract Size"), "100.00");
    EXPECT_EQ(valueOf(contract, "Unit"), "TroyOunces");
    EXPECT_EQ(valueOf(contract, "Min. Order Qty"), "0.01");
    EXPECT_EQ(valueOf(instrument(DetailType::Storage), "Sell Storage Rate"), "-1.25");
    EXPECT_EQ(
        instrument(DetailType::RelatedDates).rows,
        (std::vector<DetailRow>{{"First Notice Day", ""}, {"Last Trading Day", "12/27/2024 00:00:00"}}));
    item.exchangeName = "COMEX";
    EXPECT_EQ(instrument(DetailType::SymbolSpecification).rows,
              (std::vector<DetailRow>{{"Name", "Gold"}, {"Exchange", "COMEX"}}));
    item.circuitLimitUp = 2100.456_cdec;
    item.circuitLimitDown = 1900_cdec;
    EXPECT_EQ(instrument(DetailType::DailyPriceLimits).rows,
              (std::vector<DetailRow>{{"Upper limit", "2100.46"}, {"Lower limit", "1900.00"}}))
        << "prices with the instrument's two decimals";
    EXPECT_TRUE(instrument(DetailType::OpenPositionReceipt).rows.empty()) << "not an instrument content";
    // A missing instrument still gives every row, with zeros.
    const SessionQueries queries(s.model);
    EXPECT_EQ(
        instrumentDetail(DetailType::ContractSpecification, "NONE", {s.model, queries, 11, 0}).rows.size(),
        contract.rows.size());
}

TEST_F(DetailContentTest, MarketSessionsWaitForTheSchedule) {
    EXPECT_TRUE(instrument(DetailType::MarketSessions).needsSchedule);
    auto open = std::make_shared<SessionSettings>();
    open->settingsID = 5;
    open->marketTradingStatus = 1;
    s.model.fileSessionSettings(open);
    const auto at = [](std::string_view text) { return tc::dayTimeFromWire(text); };
    schedules.insert_or_assign("9", std::vector<SessionScheduleInfo>{{1, 9, 5, 1, at("09:00"), at("12:00")},
                                                                     {2, 9, 5, 1, at("13:00"), at("17:00")},
                                                                     {3, 9, 6, 0, at("00:00"), at("23:59")},
                                                                     {4, 9, 5, 7, at("10:00"), at("11:00")}});
    const DetailContent sessions = instrument(DetailType::MarketSessions);
    EXPECT_FALSE(sessions.needsSchedule);
    EXPECT_EQ(sessions.rows,
              (std::vector<DetailRow>{
                  {"Sunday", "Closed"}, {"Monday", "09:00 - 12:00\n13:00 - 17:00"}, {"", "10:00 - 11:00"}}));
}

TEST(DetailContent, DepositWithdrawalInformation) {
    const std::vector<DetailRow> lines{{"Amount", "100"}, {"Remarks", ""}, {"Bank", "Main"}};
    EXPECT_EQ(depositWithdrawalInfo(lines).rows, lines);
    EXPECT_TRUE(depositWithdrawalInfo({}).rows.empty());
    EXPECT_EQ(detailPrintRows(depositWithdrawalInfo({{"Amount", "100"}}), 0),
              (ConsolidatedTableData::Rows{{"Entity", "Details"}, {"Amount", "100"}}));
    EXPECT_EQ(detailTypeOf(11), std::nullopt);
    EXPECT_EQ(detailTitle(DetailType::ExecutedPositionReceipt), "Delivery Receipt:");
}

} // namespace
