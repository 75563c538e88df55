#include "model/records/financial_transaction.h"

#include "model/records/record_decimal.h"
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
    d.CrAmount = lenientDecimal(f.text(4));
    d.DrAmount = lenientDecimal(f.text(5));
    d.BalAmountPostTransaction = lenientDecimal(f.text(6));
    f.readText(7, d.SubTransactionCode);
    f.readText(8, d.Narration);
    if (f.has(9) && !f.text(9).empty() && f.text(9) != Formatter::kNullWireDateTime)
        d.TransactionDate = platform::deviceFormatter(Formatter::kWireDateTime).parse(f.text(9));
    return d;
}

} // namespace tc
