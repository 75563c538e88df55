#include "model/records/financial_approval.h"

#include "model/records/account_details.h"
#include "model/records/record_layout.h"
#include "wire/record_text.h"

#include <fmt/format.h>

namespace tc::funding {
namespace {

constexpr std::string_view kAbsent = "(null)";

std::uint64_t accountIdOf(const std::shared_ptr<const AccountDetails>& account) {
    return account ? static_cast<std::uint64_t>(static_cast<std::int64_t>(account->AccountId)) : 0;
}

// Printed as "%.2f" prints the nearest double (0.125 gives 0.12), as Formatter::formatDecimal prints amounts.
std::string twoDecimals(const platform::Decimal& amount) {
    return fmt::format("{:.2f}", amount.toDouble());
}

using namespace records;
using FA = FinancialApproval;

// An incoming text, "(null)" included, is kept as it came.
template <std::optional<std::string> FA::*Member>
void keepText(FA& a, std::string_view text) {
    a.*Member = std::string(text);
}

constexpr auto kApprovalShortLayout = recordLayout(
    int64(0, &FA::approvalRequestId), int64(1, &FA::approvalFinancialId), int64(2, &FA::beneficiaryAccount),
    int64(3, &FA::benefactorAccount), decimal(4, &FA::requestedAmount), decimal(5, &FA::approvedAmount),
    int64(6, &FA::financialTransactionTypeId));

constexpr auto kApprovalTailLayout = recordLayout(
    flag(7, &FA::isCollateral), int64(8, &FA::transferMode), text(9, keepText<&FA::dateOfTransaction>),
    text(10, keepText<&FA::bankName>), text(11, keepText<&FA::branch>),
    text(12, keepText<&FA::sourceBankAccount>), text(13, keepText<&FA::destinationBankAccount>));

constexpr auto kApprovalRequestLayout =
    recordLayout(int64(0, &ApprovalReq::approvalRequestId),
                 int64(1,
                       [](ApprovalReq& a, std::int64_t type) {
                           a.approvalTypeId = static_cast<std::uint64_t>(type);
                           a.approvalType = type;
                       }),
                 flag(2, &ApprovalReq::isOpen), flag(3, &ApprovalReq::isRequestSentToCMS),
                 flag(4, &ApprovalReq::isReadyToPost), time(5, &ApprovalReq::requestedDateTime),
                 int64(6, &ApprovalReq::refRequestId), int64(7, &ApprovalReq::requestedByUserId),
                 text(8, &ApprovalReq::remarks), int64(9, [](ApprovalReq& a, std::int64_t subType) {
                     a.approvalSubTypeId = static_cast<std::uint64_t>(subType);
                     a.approvalSubType = subType;
                 }));

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

bool FinancialApproval::carriesExactly(const platform::Decimal& amount) {
    return !amount.isNaN() && amount.rounded(2) == amount;
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
    readRecord(f, kApprovalShortLayout, *this);
    if (mode == kFullForm)
        readRecord(f, kApprovalTailLayout, *this);
}

ApprovalReq ApprovalReq::fromRecord(std::string_view record) {
    ApprovalReq a;
    readRecord(RecordFields(record), kApprovalRequestLayout, a);
    return a;
}

} // namespace tc::funding
