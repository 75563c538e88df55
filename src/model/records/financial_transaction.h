#pragma once
// A deposit or withdrawal of an account as the data service lists it, read from its record once, so
// that no window cuts the row's text itself.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

// One row of the deposit and withdrawal history ("getfinancialtransactions"); the statement reader
// fills the same record from its own table, with the two type fields.
struct FinancialTransactionDetails {
    std::int64_t TransactionId = 0;
    std::string TransactionCode;
    std::int64_t AccountId = 0;
    std::int64_t SubTransactionId = 0;
    double CrAmount = 0; // credit
    double DrAmount = 0; // debit
    double BalAmountPostTransaction = 0;
    std::string SubTransactionCode;
    std::string Narration;
    std::optional<std::string> TransactionDate; // "MM/dd/yyyy HH:mm:ss"
    std::int32_t TransactionType = 0;
    std::int32_t SubTransactionType = 0;

    // Credits count positive, debits negative.
    double amount() const { return CrAmount - DrAmount; }

    // Ten pieces by position; the date is read in the wire form "yyyyMMddHHmmss" and kept in the
    // display form (absent when missing or unreadable).
    static FinancialTransactionDetails fromRecord(std::string_view record);
};

} // namespace tc
