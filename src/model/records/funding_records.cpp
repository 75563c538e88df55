#include "model/records/funding_records.h"

#include "model/records/record_layout.h"
#include "model/text/formatter.h"
#include "wire/record_text.h"

#include <fmt/format.h>

namespace tc::funding {
namespace {

std::string numberText(std::uint64_t v) {
    return fmt::format("{}", v);
}

using namespace records;
using Amp = AmpPayGateTransaction;

constexpr auto kPayGateSettingLayout = recordLayout(
    int64(0, &PayGateSetting::payGateId), text(1, &PayGateSetting::name), flag(2, &PayGateSetting::enabled),
    text(3, &PayGateSetting::systemWebURL), time(4, &PayGateSetting::lastUpdateTime),
    int64(5, &PayGateSetting::currencyId), int64(6, &PayGateSetting::organizationId));

constexpr auto kAmpShortLayout = recordLayout(int64(0, &Amp::refRequestId), text(1, &Amp::payTransactionId),
                                              decimal(2, &Amp::payApprovedAmount));

constexpr auto kAmpFullLayout = recordLayout(
    int64(0, &Amp::transId), int64(1, &Amp::refRequestId), text(2, &Amp::payRequestId),
    decimal(3, &Amp::payApprovedAmount), time(4, &Amp::transactionDate), int64(5, &Amp::payStatus),
    int64(6, &Amp::resultCode), text(7, &Amp::authCode), text(8, &Amp::currency), text(9, &Amp::resultDesc),
    text(10, &Amp::payTransactionId), text(11, &Amp::riskIndicator), text(12, &Amp::payMethod),
    text(13, &Amp::payMethodDetail), int64(14, &Amp::approvalRequestId), int64(15, &Amp::transStatus));

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
    PayGateSetting s;
    readRecord(RecordFields(record), kPayGateSettingLayout, s);
    return s;
}

void AmpPayGateTransaction::loadFromString(std::string_view text, std::int64_t mode) {
    const RecordFields f(wire::firstRecord(text));
    if (mode == kShortForm)
        readRecord(f, kAmpShortLayout, *this);
    else
        readRecord(f, kAmpFullLayout, *this);
}

wire::RecordText AmpPayGateTransaction::toString(std::int64_t mode) const {
    wire::RecordWriter w;
    if (payApprovedAmount.isNaN())
        w.refuse("payApprovedAmount is not a number");
    const std::string amount = payApprovedAmount.toString();
    if (mode == kShortForm)
        return w.raw(numberText(refRequestId))
            .text("payTransactionId", payTransactionId)
            .raw(amount)
            .finish();
    return w.raw(numberText(transId))
        .raw(numberText(refRequestId))
        .text("payRequestId", payRequestId)
        .raw(amount)
        .raw(wireDateTime(transactionDate))
        .raw(numberText(payStatus))
        .raw(numberText(resultCode))
        .text("authCode", authCode)
        .text("currency", currency)
        .text("resultDesc", resultDesc)
        .text("payTransactionId", payTransactionId)
        .text("riskIndicator", riskIndicator)
        .text("payMethod", payMethod)
        .text("payMethodDetail", payMethodDetail)
        .raw(numberText(approvalRequestId))
        .raw(numberText(transStatus))
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
