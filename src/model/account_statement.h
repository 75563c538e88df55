#pragma once
// The account statement of one account over one period, as typed records, and the figures the
// statement window shows (money movements by transaction sub-type, sums over the position and order
// lists, profit-and-loss pie input). statements/statement_reader.h reads the server's reply into one.
#include "model/record_ptr.h"
#include "model/records/funding_records.h"
#include "model/records/statement_rows.h"
#include "platform/decimal.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
struct SessionModel;
}

namespace tc::statements {

// An instrument of the statement ("Table5"), with its closing prices ("Table6").
struct InstrumentHistoryInfo {
    std::int32_t InstrumentId = 0;
    std::string Name;
    std::string Code;
    std::int32_t DecimalPlaces = 0;
    platform::Decimal Bid; // the period's closing prices
    platform::Decimal Ask;
};

// A money movement of the period ("Table4"), tagged with its transaction sub-type.
using FinancialTransactionHistoryInfo = funding::FinancialTransactionDetails;

// The input of a profit-and-loss pie: titles and values at matching positions.
struct PieInput {
    std::vector<std::string> titles;
    std::vector<double> values;
};

struct AccountStatementInfo {
    // Rows kept per table; past it the rest of the table is dropped with a warning.
    static constexpr std::size_t kMaxRowsPerTable = 200'000;

    platform::OrderedMap<std::string, InstrumentHistoryInfo> InstrumentInfo; // by "%d" of the id
    std::vector<OpenPositionHistoryInfo> OpenPositionInfo;                   // by OpenPositionId
    std::vector<PendingOrderHistoryInfo> PendingOrderInfo;                   // by PendingOrderId
    std::vector<SettledPositionHistoryInfo> SettledPositionInfo;             // by SettlementId
    // The earliest and the latest snapshot of "Table"; both set or both none (the same record when
    // the table has one row).
    std::shared_ptr<const AccountHistoryInfo> StartInfo;
    std::shared_ptr<const AccountHistoryInfo> EndInfo;
    std::vector<FinancialTransactionHistoryInfo> FinancialTransactionInfo; // in document order
    platform::OrderedMap<std::string, MarginCallSummaryInfo> marginCallSummaryInfo;
    platform::OrderedMap<std::string, ClientAddressInfo> clientAddressInfo;
    platform::OrderedMap<std::string, OrganizationInfo> organizationInfo;

    std::uint64_t getMarginCallCountForAccountId(std::int32_t accountId) const;
    std::optional<std::string> getClientAddressForAccountId(std::int32_t accountId) const;
    std::optional<std::string> getCompanyAddressForAccountId(std::int32_t accountId) const;

    // Money movements by sub-type, exact: the amount of a row is its credit minus its debit. Summed over
    // every row of their codes: deposits (1, 11, 14), withdrawals (2, 12), miscellaneous (10, 13,
    // 17, 18, 19). The first row of its code only: commission (4), TDS (5), realised storage (6),
    // adjustments (9), daily TDS (15), monthly TDS (16); settled profit and loss is the first row
    // of code 8 plus the first of code 7.
    const FinancialTransactionHistoryInfo* getFinancialTransactionHistoryInfo(std::int32_t subType) const;
    platform::Decimal getDeposit() const;
    platform::Decimal getWithDrawal() const;
    platform::Decimal getMiscellaneous() const;
    platform::Decimal getCommission() const;
    platform::Decimal getTDS() const;
    platform::Decimal getRealizedStorage() const;
    platform::Decimal getAdjustments() const;
    platform::Decimal getDailyTDS() const;
    platform::Decimal getMonthlyTDS() const;
    platform::Decimal getSettledPL() const;
    bool isDailyTDSAvailable() const { return !getDailyTDS().isZero(); }
    bool isMonthlyTDSAvailable() const { return !getMonthlyTDS().isZero(); }

    // The floating credit of the statement's end snapshot: its group's share of the snapshot's
    // floating result, so that the header and the summary read one moment. The group is the
    // snapshot's, else that of the session's record of the account; nullopt without an end snapshot.
    std::optional<double> getFloatingCredit(const SessionModel& session) const;

    // Sums over the lists; quantities and profits held as decimal text are read as numbers.
    double getOpenQuantity() const;
    double getOpenProfitOrLoss() const;
    double getOpenCommission() const; // of positionCommission, as the live positions show it
    platform::Decimal getOpenStorage() const;
    double getSettledQuantity() const;
    platform::Decimal getSettledProfitOrLoss() const;
    double getSettledCommission() const;
    platform::Decimal getSettledStorage() const;
    platform::Decimal getSettledTDS() const;
    double getPendingQuantity() const;
    // The orders cancelled in the period are not part of the statement's reply: the cancelled-order
    // reply that follows each statement request fills the data service's list
    // (DataServiceCollections::cancelledOrderInfo), which this sums.
    static double getCancelledQuantity(const std::vector<RecordPtr<Order>>& cancelledOrderInfo);

    // Profit and loss by instrument. A position without an instrument code is grouped under its
    // instrument id (decimal), so no profit goes missing from the pie; titles come in the order the
    // instruments first appear.
    double getSettledPLForItem(std::string_view itemKey) const;
    double getOpenPLForItem(std::string_view itemKey) const;
    PieInput getSettledPLForItems() const;
    PieInput getOpendPLForItems() const;
};

} // namespace tc::statements
