#include "model/records/financial_transaction.h"

#include "model/records/record_fields.h"
#include "model/text/formatter.h"

namespace tc {

FinancialTransactionDetails FinancialTransactionDetails::fromRecord(std::string_view record) {
    const RecordFields f(record);
    FinancialTransactionDetails d;
    f.readInt64(0, d.TransactionId);
    f.readText(1, d.TransactionCode);
    f.readInt64(2, d.AccountId);
    f.readInt64(3, d.SubTransactionId);
    f.readDouble(4, d.CrAmount);
    f.readDouble(5, d.DrAmount);
    f.readDouble(6, d.BalAmountPostTransaction);
    f.readText(7, d.SubTransactionCode);
    f.readText(8, d.Narration);
    if (f.has(9))
        d.TransactionDate = Formatter::formatDateandTimeFromString(f.text(9), Formatter::kWireDateTime,
                                                                   Formatter::kDisplayDateTime);
    return d;
}

} // namespace tc
