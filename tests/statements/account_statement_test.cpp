#include "statements/statement_reader.h"

#include "model/position_arithmetic.h"
#include "model/text/formatter.h"
#include "support/device_zone.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace tc;

using namespace tc::statements;

// A row of `table` from "Column=text|Column=text".
std::string row(std::string_view table, std::string_view columns) {
    std::string out = "<" + std::string(table) + ">";
    while (!columns.empty()) {
        const std::size_t bar = columns.find('|');
        const std::string_view column = columns.substr(0, bar);
        const std::string name(column.substr(0, column.find('=')));
        out += "<" + name + ">" + std::string(column.substr(name.size() + 1)) + "</" + name + ">";
        columns.remove_prefix(bar == std::string_view::npos ? columns.size() : bar + 1);
    }
    return out + "</" + std::string(table) + ">";
}

AccountStatementInfo parse(const std::vector<std::string>& rows) {
    std::string xml = "<NewDataSet>";
    for (const auto& r : rows)
        xml += r;
    return parseAccountStatement(xml + "</NewDataSet>");
}

std::string snapshot(std::string_view date, std::string_view balance) {
    return row("Table", std::string("TAHDate=") + std::string(date) + "|Balance=" + std::string(balance));
}

TEST(AccountStatement, TakesTheEarliestAndTheLatestSnapshot) {
    const auto three = parse({snapshot("2015-03-31T00:00:00", "3"), snapshot("2015-03-01T00:00:00.250", "1"),
                              snapshot("2015-03-15T00:00:00", "2")});
    ASSERT_TRUE(three.StartInfo && three.EndInfo);
    EXPECT_EQ(three.StartInfo->Balance.toDouble(), 1);
    EXPECT_EQ(three.EndInfo->Balance.toDouble(), 3);
    const auto one = parse({snapshot("2015-03-31T00:00:00", "3")});
    EXPECT_EQ(one.StartInfo, one.EndInfo);
    const auto unreadable = parse({snapshot("2015-03-31T00:00:00", "3"), snapshot("", "1")});
    EXPECT_FALSE(unreadable.StartInfo || unreadable.EndInfo);
}

TEST(AccountStatement, AReplyWithoutTablesLeavesNothingOfAnEarlierOne) {
    for (std::string_view reply : {"<NewDataSet/>", "", "ERROR"}) {
        const auto s = parseAccountStatement(reply);
        EXPECT_FALSE(s.StartInfo);
        EXPECT_TRUE(s.OpenPositionInfo.empty() && s.FinancialTransactionInfo.empty() &&
                    s.InstrumentInfo.empty());
    }
}

TEST(AccountStatement, ReadsPositionsWithTheirInstrumentsAndPrices) {
    const auto s = parse({
        row("Table1", "PositionId=10|InstrumentId=7|IsBuy=true|PositionInitialQty=100|PositionQty=40|"
                      "CommisionPaid=25|PositionDate=2015-03-02T14:05:09.123|ValueDate=2015-03-04T00:00:00"),
        row("Table1", "PositionId=9|InstrumentId=7|IsBuy=false|PositionInitialQty=0|CommisionPaid=25"),
        row("Table1", "PositionId=0"),
        row("Table2", "OrderQty=5"),
        row("Table2", "PendingOrderId=P1|OrderQty=2"),
        row("Table3", "SettledPL=1"),
        // Instruments come after the positions in the document and are still found.
        row("Table5", "InstrumentId=7|Code=EURUSD|Name=Euro &amp; Dollar"),
        row("Table6", "InstrumentId=7|Bid=1.1000|Ask=1.1002"),
        row("Table6", "InstrumentId=8|Bid=5"),
    });
    ASSERT_EQ(s.OpenPositionInfo.size(), 2u);
    const auto& nine = s.OpenPositionInfo[0];
    const auto& ten = s.OpenPositionInfo[1];
    EXPECT_EQ(nine.OpenPositionId, "9");
    EXPECT_EQ(ten.ItemCode, "EURUSD");
    EXPECT_EQ(ten.CurrentPrice.toString(), "1.1");     // a buy at the bid
    EXPECT_EQ(nine.CurrentPrice.toString(), "1.1002"); // a sell at the ask
    EXPECT_DOUBLE_EQ(positionCommission(ten), 10);     // 25 paid for 100, 40 still open
    EXPECT_DOUBLE_EQ(positionCommission(nine), 25);
    EXPECT_EQ(displayDateTime(ten.TransactionDateTime), "03/02/2015 14:05:09");
    EXPECT_EQ(displayDateTime(ten.ValueDate), "03/04/2015 00:00:00");
    EXPECT_EQ(s.InstrumentInfo.get("7")->Name, "Euro & Dollar");
    ASSERT_EQ(s.PendingOrderInfo.size(), 1u);
    EXPECT_TRUE(s.SettledPositionInfo.empty());
}

TEST(AccountStatement, OrderTimesAreWallClockTimesAndOnesThatDoNotReadAreKeptAsSent) {
    // In New York 02:30 on 8 March 2015 is skipped; the statement's digits still stand.
    const testing_support::DeviceZone zone("America/New_York");
    const auto s = parse({
        row("Table1", "PositionId=1|PositionDate=2015-03-08T02:30:00|ValueDate=2015-03-04T00:00:00+05:00|"
                      "ExpiryDate="),
        row("Table2", "PendingOrderId=P1|OrderTime=soon|ExpiryDateTime=2015-03-09T10:00:00"),
        row("Table3", "SettlementId=S1|SettlementDate=2015-03-02T14:05:09.999"),
    });
    ASSERT_EQ(std::tuple(s.OpenPositionInfo.size(), s.PendingOrderInfo.size(), s.SettledPositionInfo.size()),
              std::tuple(1u, 1u, 1u));
    const auto& open = s.OpenPositionInfo[0];
    EXPECT_EQ(std::tuple(displayDateTime(open.TransactionDateTime), open.PositionDateAsSent),
              std::tuple("03/08/2015 02:30:00", ""));
    EXPECT_EQ(std::tuple(open.ValueDate, open.ValueDateAsSent),
              std::tuple(std::nullopt, "2015-03-04T00:00:00+05:00"));
    EXPECT_EQ(std::tuple(open.ExpiryDate, open.ExpiryDateAsSent), std::tuple(std::nullopt, ""));
    const auto& pending = s.PendingOrderInfo[0];
    EXPECT_EQ(std::tuple(pending.TransactionDateTime, pending.OrderTimeAsSent),
              std::tuple(std::nullopt, "soon"));
    EXPECT_EQ(pending.ExpiryDate, wallTimeFromWire("20150309100000"));
    EXPECT_EQ(std::tuple(displayDateTime(s.SettledPositionInfo[0].TransactionDateTime),
                         s.SettledPositionInfo[0].SettlementDateAsSent),
              std::tuple("03/02/2015 14:05:09", ""));
}

TEST(AccountStatement, TheStatementsOwnColumnsAreTyped) {
    const auto s = parse({
        row("Table",
            "TAHDate=2015-03-31T00:00:00|TAHEntryDateTime=garbage|InterestWaiveoffExpiryDate=2015-04-30T00:"
            "00:00|"
            "StorageWaiveOffModeId=2.9|TradingStatusId=3|MarginStatusId=-2|OpeningBalanceOfDay=10.10"),
        row("Table2",
            "PendingOrderId=P1|TPOHDate=2015-03-02T14:05:09|MinQty=0.5|TouchPrice=1.23450|TouchTime=x"),
        row("Table3",
            "SettlementId=S1|OpenDate=2015-03-01T10:00:00.500|CloseDate=|SettlementDate=2015-03-02T00:00:00"),
    });
    ASSERT_TRUE(s.StartInfo);
    const auto& a = *s.StartInfo;
    EXPECT_EQ(a.TAHDate, wallTimeFromIso("2015-03-31T00:00:00"));
    EXPECT_FALSE(a.TAHEntryDateTime);
    EXPECT_EQ(a.InterestWaiveoffExpiryDate, wallTimeFromIso("2015-04-30T00:00:00"));
    EXPECT_EQ(std::tuple(a.StorageWaiveOffModeId, a.TradingStatusId, a.tradingStatus, a.MarginStatus,
                         a.accountMarginStatus),
              std::tuple(2u, 3, 3, -2, -2));
    EXPECT_EQ(a.OpeningBalanceOfDay.toString(), "10.1");
    ASSERT_EQ(s.PendingOrderInfo.size(), 1u);
    const auto& p = s.PendingOrderInfo[0];
    EXPECT_EQ(p.TPOHDate, wallTimeFromIso("2015-03-02T14:05:09"));
    EXPECT_EQ(std::tuple(p.MinQty.toString(), p.TouchPrice.toString()), std::tuple("0.5", "1.2345"));
    EXPECT_FALSE(p.TouchTime);
    ASSERT_EQ(s.SettledPositionInfo.size(), 1u);
    const auto& settled = s.SettledPositionInfo[0];
    EXPECT_EQ(settled.OpenDate, wallTimeFromIso("2015-03-01T10:00:00.500"));
    EXPECT_FALSE(settled.CloseDate);
    EXPECT_EQ(displayDateTime(settled.TransactionDateTime), "03/02/2015 00:00:00");
}

TEST(AccountStatement, ItsOwnDatesAreTheServersClockInAnHourTheComputersZoneSkips) {
    // Berlin skips 02:00-03:00 on 2027-03-28 and repeats 02:00-03:00 on 2027-10-31: the statement's
    // times read as sent, in order, whatever the computer's zone makes of them.
    testing_support::DeviceZone berlin("Europe/Berlin");
    const auto skipped = parse({snapshot("2027-03-28T03:15:00", "2"), snapshot("2027-03-28T02:30:00", "1"),
                                snapshot("2027-03-28T03:45:00", "3")});
    ASSERT_TRUE(skipped.StartInfo && skipped.EndInfo);
    EXPECT_EQ(skipped.StartInfo->Balance.toDouble(), 1);
    EXPECT_EQ(skipped.EndInfo->Balance.toDouble(), 3);
    const auto repeated = parse({snapshot("2027-10-31T02:10:00", "2"), snapshot("2027-10-31T02:50:00", "3"),
                                 snapshot("2027-10-31T02:05:00", "1")});
    ASSERT_TRUE(repeated.StartInfo && repeated.EndInfo);
    EXPECT_EQ(repeated.StartInfo->Balance.toDouble(), 1);
    EXPECT_EQ(repeated.EndInfo->Balance.toDouble(), 3);
}

TEST(AccountStatement, AccountTablesAndTheirLookups) {
    const auto s = parse(
        {row("Table7", "AccountId=5001|MarginCallCount=2"), row("Table7", "AccountId=5001|MarginCallCount=3"),
         row("Table8", "AccountId=5001|Address1=1 Main St"), row("Table9", "CompanyAddress=Broker Ltd")});
    EXPECT_EQ(s.getMarginCallCountForAccountId(5001), 3u);
    EXPECT_EQ(s.getMarginCallCountForAccountId(42), 0u);
    EXPECT_EQ(s.getClientAddressForAccountId(5001), "1 Main St");
    EXPECT_FALSE(s.getClientAddressForAccountId(42).has_value());
    EXPECT_EQ(s.getCompanyAddressForAccountId(0), "Broker Ltd");
}

std::string money(std::string_view subType, std::string_view credit, std::string_view debit) {
    return row("Table4", std::string("SubFinancialTransactionTypeId=") + std::string(subType) +
                             "|CrAmount=" + std::string(credit) + "|DrAmount=" + std::string(debit));
}

TEST(StatementTotals, MoneyMovementsBySubType) {
    const auto s = parse({money("1", "1000", "0"), money("11", "200", "0"), money("2", "0", "300"),
                          money("4", "0", "12.5"), money("4", "0", "7"), money("3", "99", "0"),
                          money("20", "99", "0"), money("15", "5", "5"), money("16", "0", "2.25"),
                          money("7", "40", "0"), money("13", "1.5", "0"), money("19", "0", "0.5")});
    EXPECT_DOUBLE_EQ(s.getDeposit().toDouble(), 1200);
    EXPECT_DOUBLE_EQ(s.getWithDrawal().toDouble(), -300);
    EXPECT_DOUBLE_EQ(s.getCommission().toDouble(), -12.5); // the first row of its code only
    EXPECT_DOUBLE_EQ(s.getSettledPL().toDouble(), 40);     // code 7 alone
    EXPECT_DOUBLE_EQ(s.getMiscellaneous().toDouble(), 1);
    EXPECT_DOUBLE_EQ(s.getDailyTDS().toDouble(), 0);
    EXPECT_FALSE(s.isDailyTDSAvailable());
    EXPECT_TRUE(s.isMonthlyTDSAvailable());
    EXPECT_TRUE((s.getTDS() + s.getRealizedStorage() + s.getAdjustments()).isZero());
    // Document order: the first code-4 row is the 12.5 one.
    EXPECT_DOUBLE_EQ(s.FinancialTransactionInfo[3].DrAmount.toDouble(), 12.5);
}

TEST(StatementTotals, SumsAndPiesOverThePositions) {
    const auto s = parse({
        row("Table5", "InstrumentId=1|Code=A"),
        row("Table5", "InstrumentId=2|Code=B"),
        row("Table3", "SettlementId=S1|InstrumentId=1|SettledPL=10|SettledQty=1.5|OtherCharges=0.25"),
        row("Table3", "SettlementId=S2|InstrumentId=2|SettledPL=3|SettledQty=2"),
        row("Table3", "SettlementId=S3|InstrumentId=1|SettledPL=-4"),
        // An instrument the statement did not list: grouped under its id.
        row("Table3", "SettlementId=S4|InstrumentId=99|SettledPL=0.5"),
        row("Table1", "PositionId=1|InstrumentId=2|UnrealisedPL=-2.5|PositionQty=3"),
    });
    const PieInput settled = s.getSettledPLForItems();
    EXPECT_EQ(settled.titles, (std::vector<std::string>{"A", "B", "99"}));
    EXPECT_EQ(settled.values, (std::vector<double>{6, 3, 0.5}));
    EXPECT_DOUBLE_EQ(s.getSettledProfitOrLoss().toDouble(), 9.5);
    EXPECT_DOUBLE_EQ(s.getSettledQuantity(), 3.5);
    EXPECT_DOUBLE_EQ(s.getSettledTDS().toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(s.getSettledPLForItem("99"), 0.5);
    EXPECT_EQ(s.getOpendPLForItems().titles, (std::vector<std::string>{"B"}));
    EXPECT_DOUBLE_EQ(s.getOpenQuantity(), 3);
    const auto empty = parseAccountStatement("<x/>");
    EXPECT_TRUE(empty.getSettledPLForItems().titles.empty());

    // A row of a listed instrument that lacks its code still counts in that instrument's slice.
    AccountStatementInfo mixed;
    OpenPositionHistoryInfo coded, bare;
    coded.InstrumentId = bare.InstrumentId = 7;
    bare.UnrealisedPL = 2;
    coded.ItemCode = "EURUSD";
    coded.UnrealisedPL = 1;
    mixed.OpenPositionInfo = {bare, coded};
    const PieInput open = mixed.getOpendPLForItems();
    EXPECT_EQ(open.titles, (std::vector<std::string>{"EURUSD"}));
    EXPECT_EQ(open.values, (std::vector<double>{3}));
    EXPECT_DOUBLE_EQ(empty.getOpenProfitOrLoss() + empty.getPendingQuantity(), 0);
}

} // namespace
