#include "model/records/financial_transaction.h"

#include "model/records/record_layout.h"

namespace tc {
namespace {

using namespace records;
using FT = FinancialTransactionDetails;

constexpr auto kTransactionLayout =
    recordLayout(int64(0, &FT::TransactionId), text(1, &FT::TransactionCode), int64(2, &FT::AccountId),
                 int64(3, &FT::SubTransactionId), decimal(4, &FT::CrAmount), decimal(5, &FT::DrAmount),
                 decimalOrNone(6, &FT::BalAmountPostTransaction), text(7, &FT::SubTransactionCode),
                 text(8, &FT::Narration), time(9, &FT::TransactionDate));

} // namespace

FinancialSubType financialSubTypeOf(std::int64_t code) {
    using S = FinancialSubType;
    switch (code) {
    case 1:
    case 11:
    case 14:
        return S::Deposit;
    case 2:
    case 12:
        return S::Withdrawal;
    case 4:
        return S::Commission;
    case 5:
        return S::TDS;
    case 6:
        return S::RealizedStorage;
    case 7:
        return S::SettledLoss;
    case 8:
        return S::SettledProfit;
    case 9:
        return S::Adjustment;
    case 10:
    case 13:
    case 17:
    case 18:
    case 19:
        return S::Miscellaneous;
    case 15:
        return S::DailyTDS;
    case 16:
        return S::MonthlyTDS;
    default:
        return S::Other;
    }
}

FinancialTransactionDetails FinancialTransactionDetails::fromRecord(std::string_view record) {
    FinancialTransactionDetails d;
    readRecord(RecordFields(record), kTransactionLayout, d);
    return d;
}

} // namespace tc
