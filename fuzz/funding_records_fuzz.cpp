// The funding record texts from the server: any bytes must read without a fault, and what the
// readers produce must write back (where the client writes the form) to a text that reads the same.
#include "fuzz_support.h"
#include "model/records/financial_approval.h"
#include "model/records/funding_records.h"
#include "wire/record_text.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    using namespace tc::funding;
    (void)FinancialTransactionDetails::fromRecord(input);
    (void)PayGateSetting::fromRecord(input);
    (void)ApprovalReq::fromRecord(input);
    for (std::int64_t mode : {AmpPayGateTransaction::kFullForm, AmpPayGateTransaction::kShortForm}) {
        AmpPayGateTransaction t;
        t.loadFromString(input, mode);
        (void)t.toString(mode);
    }
    FinancialApproval a;
    a.loadFromString(input, FinancialApproval::kFullForm);
    const auto written = a.getString(FinancialApproval::kFullForm);
    if (written.ok()) {
        FinancialApproval again;
        again.loadFromString(written.text, FinancialApproval::kFullForm);
        // Amounts travel with two decimals and numbers past the signed range saturate, so the texts
        // are what must come back as they were (an absent one as "(null)").
        const auto same = [](const auto& x, const auto& y) {
            return x.value_or("(null)") == y.value_or("(null)");
        };
        if (!same(again.dateOfTransaction, a.dateOfTransaction) || !same(again.bankName, a.bankName) ||
            !same(again.destinationBankAccount, a.destinationBankAccount))
            std::abort();
    }
    return 0;
}
