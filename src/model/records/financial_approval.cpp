#include "model/records/financial_approval.h"

#include "model/records/account_details.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "wire/record_text.h"

#include <fmt/format.h>

namespace tc::funding {
namespace {

constexpr std::string_view kAbsent = "(null)";

std::uint64_t accountIdOf(const std::shared_ptr<const AccountDetails>& account) {
    return account ? static_cast<std::uint64_t>(static_cast<std::int64_t>(account->AccountId)) : 0;
}

// Printed as "%.2f" prints the nearest double, the product's rounding (0.125 gives 0.12).
std::string twoDecimals(const platform::Decimal& amount) {
    return fmt::format("{:.2f}", amount.toDouble());
}

} // namespace

FinancialApproval FinancialApproval::forDeposit(const NewDeposit& deposit) {
    FinancialApproval a;
    a.financialTransactionTypeId = kDeposit;
    a.beneficiaryAccount = accountIdOf(deposit.accountDetail);
    a.requestedAmount = deposit.amount;
    a.transferMode = static_cast<std::uint64_t>(deposit.mode);
    a.dateOfTransaction = deposit.depositDate;
    a.bankName = deposit.bankName;
    a.branch = deposit.bankBranch;
    a.sourceBankAccount = deposit.sourceAccount;
    a.destinationBankAccount = deposit.depositedAccount;
    return a;
}

FinancialApproval FinancialApproval::forWithdrawal(const NewWithdrawal& withdrawal) {
    FinancialApproval a;
    a.financialTransactionTypeId = kWithdrawal;
    a.benefactorAccount = accountIdOf(withdrawal.accountDetail);
    a.requestedAmount = withdrawal.amount;
    return a;
}

wire::RecordText FinancialApproval::getString(std::int64_t form) const {
    wire::RecordWriter w;
    if (requestedAmount.isNaN())
        w.refuse("requestedAmount is not a number");
    if (approvedAmount.isNaN())
        w.refuse("approvedAmount is not a number");
    const auto account = [&](std::uint64_t value, std::uint64_t unusedByType) {
        return financialTransactionTypeId == unusedByType ? std::string(kAbsent) : fmt::format("{}", value);
    };
    w.raw(fmt::format("{}", approvalRequestId))
        .raw(fmt::format("{}", approvalFinancialId))
        .raw(account(beneficiaryAccount, kWithdrawal))
        .raw(account(benefactorAccount, kDeposit))
        .raw(twoDecimals(requestedAmount))
        .raw(twoDecimals(approvedAmount))
        .raw(fmt::format("{}", financialTransactionTypeId));
    if (form != kFullForm)
        return w.finish();
    const auto text = [&](std::string_view name, const std::optional<std::string>& value) {
        w.text(name, value ? std::string_view(*value) : kAbsent);
    };
    w.raw(isCollateral ? "1" : "0").raw(fmt::format("{}", transferMode));
    text("dateOfTransaction", dateOfTransaction);
    text("bankName", bankName);
    text("branch", branch);
    text("sourceBankAccount", sourceBankAccount);
    text("destinationBankAccount", destinationBankAccount);
    return w.finish();
}

void FinancialApproval::loadFromString(std::string_view text, std::int64_t mode) {
    const RecordFields f(wire::firstRecord(text));
    // A missing piece ends every later one too, so each read simply skips what is not there.
    f.readInt64(0, approvalRequestId);
    f.readInt64(1, approvalFinancialId);
    f.readInt64(2, beneficiaryAccount);
    f.readInt64(3, benefactorAccount);
    if (f.has(4))
        requestedAmount = lenientDecimal(f.text(4));
    if (f.has(5))
        approvedAmount = lenientDecimal(f.text(5));
    f.readInt64(6, financialTransactionTypeId);
    if (mode != kFullForm)
        return;
    f.readBool(7, isCollateral);
    f.readInt64(8, transferMode);
    const auto readText = [&](std::size_t pos, std::optional<std::string>& out) {
        if (f.has(pos))
            out = std::string(f.text(pos));
    };
    readText(9, dateOfTransaction);
    readText(10, bankName);
    readText(11, branch);
    readText(12, sourceBankAccount);
    readText(13, destinationBankAccount);
}

ApprovalReq ApprovalReq::fromRecord(std::string_view record) {
    const RecordFields f(record);
    ApprovalReq a;
    f.readInt64(0, a.approvalRequestId);
    if (f.readInt64(1, a.approvalTypeId))
        a.approvalType = static_cast<std::int64_t>(a.approvalTypeId);
    f.readBool(2, a.isOpen);
    f.readBool(3, a.isRequestSentToCMS);
    f.readBool(4, a.isReadyToPost);
    f.readText(5, a.requestedDateTime);
    f.readInt64(6, a.refRequestId);
    f.readInt64(7, a.requestedByUserId);
    f.readText(8, a.remarks);
    if (f.readInt64(9, a.approvalSubTypeId))
        a.approvalSubType = static_cast<std::int64_t>(a.approvalSubTypeId);
    return a;
}

} // namespace tc::funding
