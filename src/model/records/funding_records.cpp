#include "model/records/funding_records.h"

#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/text/formatter.h"
#include "wire/record_text.h"

#include <fmt/format.h>

namespace tc::funding {
namespace {

std::string decimal(std::uint64_t v) {
    return fmt::format("{}", v);
}

} // namespace

std::string_view FinancialEnum::getFinancialTransferMode(std::int64_t mode) {
    switch (mode) {
    case kTTCopy:
        return "TTCopy";
    case kBankTransfer:
        return "BankTransfer";
    case kOnlinePayment:
        return "OnlinePayment";
    default:
        return "Unknown";
    }
}

std::int64_t FinancialEnum::getFinancialTransferModeValue(std::string_view name) {
    for (std::int64_t mode : {kTTCopy, kBankTransfer, kOnlinePayment})
        if (name == getFinancialTransferMode(mode))
            return mode;
    return kTransferUnknown;
}

PayGateSetting PayGateSetting::fromRecord(std::string_view record) {
    const RecordFields f(record);
    PayGateSetting s;
    f.readInt64(0, s.payGateId);
    f.readText(1, s.name);
    f.readBool(2, s.enabled);
    f.readText(3, s.systemWebURL);
    f.readText(4, s.lastUpdateTime);
    f.readInt64(5, s.currencyId);
    f.readInt64(6, s.organizationId);
    return s;
}

void AmpPayGateTransaction::loadFromString(std::string_view text, std::int64_t mode) {
    const RecordFields f(wire::firstRecord(text));
    if (mode == kShortForm) {
        f.readInt64(0, refRequestId);
        f.readText(1, payTransactionId);
        if (f.has(2))
            payApprovedAmount = lenientDecimal(f.text(2));
        return;
    }
    f.readInt64(0, transId);
    f.readInt64(1, refRequestId);
    f.readText(2, payRequestId);
    if (f.has(3))
        payApprovedAmount = lenientDecimal(f.text(3));
    f.readText(4, transactionDate);
    f.readInt64(5, payStatus);
    f.readInt64(6, resultCode);
    f.readText(7, authCode);
    f.readText(8, currency);
    f.readText(9, resultDesc);
    f.readText(10, payTransactionId);
    f.readText(11, riskIndicator);
    f.readText(12, payMethod);
    f.readText(13, payMethodDetail);
    f.readInt64(14, approvalRequestId);
    f.readInt64(15, transStatus);
}

wire::RecordText AmpPayGateTransaction::toString(std::int64_t mode) const {
    wire::RecordWriter w;
    if (payApprovedAmount.isNaN())
        w.refuse("payApprovedAmount is not a number");
    const std::string amount = payApprovedAmount.toString();
    if (mode == kShortForm)
        return w.raw(decimal(refRequestId)).text("payTransactionId", payTransactionId).raw(amount).finish();
    return w.raw(decimal(transId))
        .raw(decimal(refRequestId))
        .text("payRequestId", payRequestId)
        .raw(amount)
        .text("transactionDate", transactionDate)
        .raw(decimal(payStatus))
        .raw(decimal(resultCode))
        .text("authCode", authCode)
        .text("currency", currency)
        .text("resultDesc", resultDesc)
        .text("payTransactionId", payTransactionId)
        .text("riskIndicator", riskIndicator)
        .text("payMethod", payMethod)
        .text("payMethodDetail", payMethodDetail)
        .raw(decimal(approvalRequestId))
        .raw(decimal(transStatus))
        .finish();
}

void PayGateTransaction::applyResult(const AmpPayGateTransaction& result) {
    transactionId = result.transId;
    payRequestId = result.payRequestId;
    payTransactionId = result.payTransactionId;
    transactionDate = result.transactionDate;
    payApprovedAmount = result.payApprovedAmount;
    authCode = result.authCode;
    resultCode = result.resultCode;
    resultDesc = result.resultDesc;
    currency = result.currency;
    riskIndicator = result.riskIndicator;
    payMethod = result.payMethod;
    payMethodDetail = result.payMethodDetail;
    transStatus = static_cast<std::int64_t>(result.transStatus);
}

} // namespace tc::funding
