// The statement window's rules without widgets: summary rows, status lines, detail cells, the journal.
#include "gui/statements/statement_sections.h"
#include "gui/texts.h"
#include "model/records/record_decimal.h"
#include "model/text/formatter.h"
#include "statements/statement_reader.h"
#include "support/device_zone.h"

#include <gtest/gtest.h>

#include <memory>

namespace texts = tc::gui::texts;

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using tc::gui::JournalRow;
using tc::gui::StatementData;
using tc::gui::StatementTable;
using tc::gui::SummaryRow;
using tc::statements::AccountStatementInfo;

std::shared_ptr<AccountStatementInfo> withSnapshots() {
    auto s = std::make_shared<AccountStatementInfo>();
    auto start = std::make_shared<tc::AccountHistoryInfo>();
    start->OpeningBalanceOfDay = *tc::platform::Decimal::fromString("12345.678");
    start->Balance = tc::platform::CompactDecimal(
        tc::platform::Decimal::fromInt64(1)); // the closing balance must come from the end snapshot
    auto end = std::make_shared<tc::AccountHistoryInfo>();
    end->Balance = tc::platform::CompactDecimal(tc::platform::Decimal::fromInt64(900));
    end->AccumulatingStorage = tc::platform::CompactDecimal(tc::platform::Decimal::fromInt64(-4));
    end->UnrealisedPL = 55.5;
    end->Equity = 955.5;
    end->CollateralSecurity = tc::platform::CompactDecimal(tc::platform::Decimal::fromInt64(7));
    end->UsedMargin = tc::platform::CompactDecimal(tc::platform::Decimal::fromInt64(100));
    end->AvailableMargin = 855.5;
    s->StartInfo = start;
    s->EndInfo = end;
    return s;
}

void addTransaction(AccountStatementInfo& s, std::int32_t subType, double credit, double debit) {
    tc::statements::FinancialTransactionHistoryInfo t;
    t.SubTransactionType = subType;
    t.CrAmount = tc::decimalFromDouble(credit);
    t.DrAmount = tc::decimalFromDouble(debit);
    s.FinancialTransactionInfo.push_back(t);
}

std::vector<std::string> captions(const std::vector<SummaryRow>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows)
        out.push_back(row.caption);
    return out;
}

TEST(StatementSections, AccountSummaryHasSixteenRowsAndOneMorePerTdsKind) {
    auto s = withSnapshots();
    addTransaction(*s, 11, 500, 0);
    addTransaction(*s, 2, 0, 20);
    auto rows = tc::gui::accountSummaryRows(s.get(), 0);
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0], (SummaryRow{"Opening Balance", "12,345.68"}));
    EXPECT_EQ(rows[1].value, "500.00");
    EXPECT_EQ(rows[2].value, "-20.00");
    EXPECT_EQ(rows[3].value, "0.00");
    // The closing figures come from the end snapshot.
    EXPECT_EQ(rows[8], (SummaryRow{"Closing Balance", "900.00"}));
    EXPECT_EQ(rows[10].value, "55.50");
    EXPECT_EQ(rows[14].value, "855.50");
    const auto all = captions(rows);
    EXPECT_EQ(std::vector<std::string>(all.end() - 3, all.end()),
              (std::vector<std::string>{"Used Margin", "Available Margin", "Miscellaneous"}));

    addTransaction(*s, 15, 0, 0.5);
    rows = tc::gui::accountSummaryRows(s.get(), 0);
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_EQ(rows[8], (SummaryRow{"Daily TDS", "-0.50"}));

    addTransaction(*s, 16, 0, 1.5);
    rows = tc::gui::accountSummaryRows(s.get(), 0);
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[8].caption, "Daily TDS");
    EXPECT_EQ(rows[9], (SummaryRow{"Monthly TDS", "-1.50"}));

    // Without a snapshot, or without a statement, there is no row at all.
    s->EndInfo.reset();
    EXPECT_TRUE(tc::gui::accountSummaryRows(s.get(), 0).empty());
    EXPECT_TRUE(tc::gui::accountSummaryRows(nullptr, 0).empty());
}

TEST(StatementSections, StatusLinesEndEveryItemWithFiveBlanks) {
    EXPECT_EQ(tc::gui::openStatusLine(nullptr, 0),
              "Quantity : 0     P/L : 0.00     Commission : 0.00     Storage : 0.00     ");
    AccountStatementInfo s;
    // Sums in double: single precision would show 16777217 lots as 16777216.
    for (const char* qty : {"16777216", "1", "0.25"}) {
        tc::OpenPositionHistoryInfo p;
        p.RemainingQty = dec(qty);
        p.UnrealisedPL = 1000.5;
        p.Commission = -1;
        s.OpenPositionInfo.push_back(p);
    }
    EXPECT_EQ(tc::gui::openStatusLine(&s, 0),
              "Quantity : 16777217.25     P/L : 3,001.50     Commission : -3.00     Storage : 0.00     ");
    tc::SettledPositionHistoryInfo settled;
    settled.SettledQty = dec("1.5");
    settled.SettledPL = dec("-12.345");
    settled.OtherCharges = dec("2");
    s.SettledPositionInfo = {settled, settled};
    EXPECT_EQ(tc::gui::settledStatusLine(&s, 0), "Quantity : 3     P/L : -24.69     Commission : 0.00     "
                                                 "Storage : 0.00     TDS : 4.00     ");
    // Storage and charges are summed as the decimals they are: three of 0.005 make a cent and a
    // half, which rounds up, where their sum in double lies just below it.
    tc::SettledPositionHistoryInfo half;
    half.Storage = half.OtherCharges = half.SettledPL = dec("0.005");
    s.SettledPositionInfo = {half, half, half};
    EXPECT_EQ(tc::gui::settledStatusLine(&s, 0), "Quantity : 0     P/L : 0.02     Commission : 0.00     "
                                                 "Storage : 0.02     TDS : 0.02     ");
    for (auto& open : s.OpenPositionInfo)
        open.Storage = dec("0.005");
    EXPECT_NE(tc::gui::openStatusLine(&s, 0).find("Storage : 0.02     "), std::string::npos);
}

TEST(StatementSections, OrderAndMarginSummaries) {
    auto s = std::make_shared<AccountStatementInfo>();
    tc::PendingOrderHistoryInfo pending;
    pending.OrderQty = dec("12.5");
    s->PendingOrderInfo = {pending};
    s->marginCallSummaryInfo.insert_or_assign("20001", tc::MarginCallSummaryInfo{20001, 2});
    auto cancelled = std::make_shared<tc::Order>();
    cancelled->OrderQty = dec("1.000000");
    const StatementData data = tc::gui::makeStatementData(s, {cancelled}, {});
    EXPECT_EQ(tc::gui::orderSummaryRows(data, 0), (std::vector<SummaryRow>{{"Settled Positions", "0"},
                                                                           {"Open Positions", "0"},
                                                                           {"Pending Orders", "12.5"},
                                                                           {"Cancelled Orders", "1"}}));
    EXPECT_EQ(tc::gui::marginSummaryRows(s.get(), 20001, 0),
              (std::vector<SummaryRow>{{"Margin Calls", "2"}}));
    // An account without an entry has had none.
    EXPECT_EQ(tc::gui::marginSummaryRows(s.get(), 20002, 0).front().value, "0");
}

TEST(StatementSections, DetailCellsFollowTheirColumnFormats) {
    auto s = std::make_shared<AccountStatementInfo>();
    s->InstrumentInfo.insert_or_assign(
        "7", tc::statements::InstrumentHistoryInfo{7, "Euro", "EURUSD", 5, tc::decimalFromDouble(1.1),
                                                   tc::decimalFromDouble(1.10012)});
    tc::OpenPositionHistoryInfo open;
    open.InstrumentId = 7;
    open.RemainingQty = dec("100.000");
    open.tradingMode = 2;
    open.OrderPrice = dec("1.0832");
    open.deliveryMode = 4;
    open.UnrealisedPL = -3.456;
    s->OpenPositionInfo = {open};
    tc::PendingOrderHistoryInfo pending;
    pending.InstrumentId = 99; // not in the statement: two decimals
    pending.OrderPrice = dec("150.25");
    pending.orderType = 4;
    pending.timeInForce = 3;
    tc::PendingOrderHistoryInfo leg; // a take profit without a stop loss
    leg.InstrumentId = 7;
    s->PendingOrderInfo = {pending, leg};
    auto cancelled = std::make_shared<tc::Order>();
    cancelled->ItemCode = "USDJPY";
    cancelled->OrderPrice = dec("150.250000");
    const StatementData data = tc::gui::makeStatementData(
        s, {cancelled}, [](std::string_view code) { return code == "USDJPY" ? 3 : -1; });

    const auto open0 = [&](std::string_view key) {
        return tc::gui::statementCell(data, StatementTable::OpenPositions, 0, key);
    };
    EXPECT_EQ(open0(texts::kQuantity), "100");
    EXPECT_EQ(open0(texts::kSide), "S");
    EXPECT_EQ(open0(texts::kOpenPrice), "1.08320");
    EXPECT_EQ(open0(texts::kPL), "-3.46");
    EXPECT_EQ(open0(texts::kDelivery), "Unknown");
    EXPECT_EQ(open0("9999"), "");
    const auto pending0 = [&](std::string_view key) {
        return tc::gui::statementCell(data, StatementTable::PendingOrders, 0, key);
    };
    EXPECT_EQ(pending0(texts::kPriceField), "150.25");
    EXPECT_EQ(pending0(texts::kTakeProfit), "0.00");
    EXPECT_EQ(pending0(texts::kRefPosition), "0");
    // No stop loss: 0 in the instrument's decimals, as the grid shows the order's.
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::PendingOrders, 1, texts::kStopLoss), "0.00000");
    EXPECT_EQ(pending0(texts::kType), "");
    EXPECT_EQ(pending0(texts::kTimeInForce), "");
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::CancelledOrders, 0, texts::kPriceField),
              "150.250");
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::CancelledOrders, 0, texts::kOrderID), "-");
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::Instruments, 0, texts::kBid), "1.10000");
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::Instruments, 1, texts::kBid), "");
    // The settled rows' own dates are shown as sent; none shows blank.
    auto dated = std::make_shared<AccountStatementInfo>();
    tc::SettledPositionHistoryInfo settled;
    settled.OpenDate = tc::wallTimeFromIso("2015-03-02T14:05:09");
    dated->SettledPositionInfo = {settled};
    const StatementData settledData = tc::gui::makeStatementData(dated, {}, {});
    EXPECT_EQ(
        tc::gui::statementCell(settledData, StatementTable::SettledPositions, 0, texts::kSettledOpenTime),
        "03/02/2015 14:05:09");
    EXPECT_EQ(tc::gui::statementCell(settledData, StatementTable::SettledPositions, 0, texts::kCloseDate),
              "");
    // A rate the statement did not carry is blank, never 0.
    EXPECT_EQ(tc::gui::statementCell(settledData, StatementTable::SettledPositions, 0, texts::kCurrencyRate),
              "");
    EXPECT_EQ(tc::gui::statementRowCount(data, StatementTable::SettledPositions), 0u);

    // The order times show in the column's form; one the statement sent unreadable shows as sent.
    tc::OpenPositionHistoryInfo timed;
    timed.TransactionDateTime = tc::wallTimeFromWire("20150302140509");
    timed.ValueDate = tc::wallTimeFromWire("20150304120000");
    timed.ExpiryDateAsSent = "2015-03-09T00:00:00Z";
    tc::PendingOrderHistoryInfo unread;
    unread.OrderTimeAsSent = "soon";
    settled.TransactionDateTime = tc::wallTimeFromWire("20150303000000");
    auto times = std::make_shared<AccountStatementInfo>();
    times->OpenPositionInfo = {timed};
    times->PendingOrderInfo = {unread};
    times->SettledPositionInfo = {settled};
    auto cancelledAt = std::make_shared<tc::Order>();
    cancelledAt->TransactionDateTime = tc::wallTimeFromWire("20150305101112");
    const StatementData timesData = tc::gui::makeStatementData(times, {cancelledAt}, {});
    const auto cell = [&](StatementTable table, std::string_view key) {
        return tc::gui::statementCell(timesData, table, 0, key);
    };
    EXPECT_EQ(std::tuple(cell(StatementTable::OpenPositions, texts::kOpenTime),
                         cell(StatementTable::OpenPositions, texts::kValueDate),
                         cell(StatementTable::OpenPositions, texts::kExpiryDate),
                         cell(StatementTable::PendingOrders, texts::kOrderTime),
                         cell(StatementTable::SettledPositions, texts::kTime),
                         cell(StatementTable::CancelledOrders, texts::kCancelledTime)),
              std::tuple("03/02/2015 14:05:09", "03/04/2015", "2015-03-09T00:00:00Z", "soon",
                         "03/03/2015 00:00:00", "03/05/2015 10:11:12"));
    EXPECT_EQ(tc::gui::statementRowCount(StatementData{}, StatementTable::Instruments), 0u);
    EXPECT_TRUE(tc::gui::isStatementDateColumn(StatementTable::CancelledOrders, texts::kCancelledTime));
    EXPECT_FALSE(tc::gui::hasStatementHeaderMenu(StatementTable::Instruments));
    EXPECT_TRUE(tc::gui::isStatementNumberColumn(texts::kPL));
    EXPECT_FALSE(tc::gui::isStatementNumberColumn(texts::kPositionIDColumn)) << "ids are texts";
}

TEST(StatementSections, RowsShowTheServersTimeInAnHourTheComputersZoneSkips) {
    // The computer in Berlin, which skips 02:00-03:00 on 2027-03-28: every time of a row reads as sent.
    tc::testing_support::DeviceZone berlin("Europe/Berlin");
    auto statement = std::make_shared<AccountStatementInfo>(tc::statements::parseAccountStatement(
        "<NewDataSet><Table3><SettlementId>S1</SettlementId><SettlementDate>2027-03-28T02:45:10"
        "</SettlementDate><OpenDate>2027-03-28T02:00:00</OpenDate><CloseDate>2027-03-28T02:59:59"
        "</CloseDate></Table3><Table1><PositionId>10</PositionId><PositionDate>2027-03-28T02:15:20"
        "</PositionDate></Table1><Table2><PendingOrderId>P1</PendingOrderId><OrderTime>2027-03-28T02:30:00"
        "</OrderTime></Table2></NewDataSet>"));
    const StatementData data = tc::gui::makeStatementData(statement, {}, {});
    const auto settled = [&](std::string_view key) {
        return tc::gui::statementCell(data, StatementTable::SettledPositions, 0, key);
    };
    EXPECT_EQ(settled(texts::kTime), "03/28/2027 02:45:10");
    EXPECT_EQ(settled(texts::kSettledOpenTime), "03/28/2027 02:00:00");
    EXPECT_EQ(settled(texts::kCloseDate), "03/28/2027 02:59:59");
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::OpenPositions, 0, texts::kOpenTime),
              "03/28/2027 02:15:20");
    EXPECT_EQ(tc::gui::statementCell(data, StatementTable::PendingOrders, 0, texts::kOrderTime),
              "03/28/2027 02:30:00");
}

TEST(StatementSections, JournalShowsTheNewestLineFirstSplitAtItsSeparators) {
    const std::vector<std::string> lines = {"10:00:01#$#Login", "10:00:02#$#Order#$#extra", "no separator"};
    EXPECT_EQ(tc::gui::journalRow(lines, 0), (JournalRow{"no separator", ""}));
    EXPECT_EQ(tc::gui::journalRow(lines, 1), (JournalRow{"10:00:02", "Order"}));
    EXPECT_EQ(tc::gui::journalRow(lines, 2), (JournalRow{"10:00:01", "Login"}));
    EXPECT_EQ(tc::gui::journalRow(lines, 3), JournalRow{});
    EXPECT_EQ(tc::gui::journalRow({}, 0), JournalRow{});
}

} // namespace
