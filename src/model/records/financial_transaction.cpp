#include "model/records/financial_transaction.h"

#include "model/records/record_layout.h"

namespace tc {
namespace {

using namespace records;
using FT = FinancialTransactionDetails;

constexpr auto kTransactionLayout =
    recordLayout(int64(0, &FT::TransactionId), text(1, &FT::TransactionCode), int64(2, &FT::AccountId),
                 int64(3, &FT::SubTransactionId), decimal(4, &FT::CrAmount), decimal(5, &FT::DrAmount),
                 decimal(6, &FT::BalAmountPostTransaction), text(7, &FT::SubTransactionCode),
                 text(8, &FT::Narration), time(9, &FT::TransactionDate));

} // namespace

FinancialTransactionDetails FinancialTransactionDetails::fromRecord(std::string_view record) {
    FinancialTransactionDetails d;
    readRecord(RecordFields(record), kTransactionLayout, d);
    return d;
}

} // namespace tc
