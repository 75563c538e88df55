#pragma once
// A deposit or withdrawal of an account as the data service lists it, read from its record once, so
// that no window cuts the row's text itself.
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

// What a transaction of a sub-type code books, as the statement's figures group the codes; Other for
// a code no figure counts.
enum class FinancialSubType {
    Other,
    Deposit,         // 1, 11, 14
    Withdrawal,      // 2, 12
    Commission,      // 4
    TDS,             // 5
    RealizedStorage, // 6
    SettledLoss,     // 7
    SettledProfit,   // 8
    Adjustment,      // 9
    Miscellaneous,   // 10, 13, 17, 18, 19
    DailyTDS,        // 15
    MonthlyTDS,      // 16
};
FinancialSubType financialSubTypeOf(std::int64_t code);

// One row of the deposit and withdrawal history ("getfinancialtransactions"); the statement reader
// fills the same record from its own table, with the two type fields.
struct FinancialTransactionDetails {
    std::int64_t TransactionId = 0;
    std::string TransactionCode;
    std::int64_t AccountId = 0;
    std::int64_t SubTransactionId = 0;
    platform::Decimal CrAmount; // credit
    platform::Decimal DrAmount; // debit
    // The balance the transaction left; none when the server sent none.
    std::optional<platform::Decimal> BalAmountPostTransaction;
    std::string SubTransactionCode;
    std::string Narration;
    std::optional<WallTime> TransactionDate;
    std::int32_t TransactionType = 0;
    std::int32_t SubTransactionType = 0;

    // Credits count positive, debits negative.
    platform::Decimal amount() const { return CrAmount - DrAmount; }

    // Ten pieces by position; an amount that does not begin with a number reads as 0, the date is
    // read in the wire form "yyyyMMddHHmmss" as the server's clock wrote it, no zone applied (absent when
    // missing or unreadable).
    static FinancialTransactionDetails fromRecord(std::string_view record);
};

} // namespace tc
