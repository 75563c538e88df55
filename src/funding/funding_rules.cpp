#include "funding/funding_rules.h"

#include "model/records/account_details.h"
#include "model/session_queries.h"
#include "wire/record_text.h"

#include <cmath>
#include <string_view>

namespace tc::funding {
namespace {

std::optional<FundingRefusal> checkAccount(const std::shared_ptr<const AccountDetails>& account,
                                           FundingKind kind) {
    if (!account)
        return FundingRefusal{FundingRefusalCode::NoAccount, "no account chosen"};
    if (!isEligibleAccount(*account, kind))
        return FundingRefusal{FundingRefusalCode::AccountNotEligible,
                              "account " + std::to_string(account->AccountId) + " does not allow " +
                                  (kind == FundingKind::Deposit ? "deposits" : "withdrawals")};
    return std::nullopt;
}

std::optional<FundingRefusal> checkAmount(std::string_view name, const platform::Decimal& amount) {
    if (amount.isNaN())
        return FundingRefusal{FundingRefusalCode::AmountNotFinite, std::string(name) + " is not a number"};
    if (amount <= platform::Decimal())
        return FundingRefusal{FundingRefusalCode::AmountNotPositive, std::string(name) + " is not above 0"};
    return std::nullopt;
}

// The amount of an approval request, which goes out with two decimals.
std::optional<FundingRefusal> checkApprovalAmount(const platform::Decimal& amount) {
    if (auto refusal = checkAmount("amount", amount))
        return refusal;
    if (!FinancialApproval::carriesExactly(amount))
        return FundingRefusal{FundingRefusalCode::AmountPastCents, "amount has more than two decimals"};
    return std::nullopt;
}

std::optional<FundingRefusal> checkText(std::string_view name, const std::optional<std::string>& text) {
    if (text && wire::findControlByte(*text) != std::string_view::npos)
        return FundingRefusal{FundingRefusalCode::TextNotCarried,
                              std::string(name) + " holds a control character that cannot be sent"};
    return std::nullopt;
}

} // namespace

std::string_view refusalKey(FundingRefusalCode code) {
    switch (code) {
    case FundingRefusalCode::NoAccount:
        return "93323";
    case FundingRefusalCode::AccountNotEligible:
        return "93324";
    case FundingRefusalCode::AmountNotFinite:
        return "93325";
    case FundingRefusalCode::AmountNotPositive:
        return "93326";
    case FundingRefusalCode::AmountPastCents:
        return "93327";
    case FundingRefusalCode::NoPayGate:
        return "93328";
    case FundingRefusalCode::TextNotCarried:
        break;
    }
    return "93329";
}

bool isEligibleAccount(const AccountDetails& account, FundingKind kind) {
    const std::int64_t bit = kind == FundingKind::Deposit ? kDepositsAllowed : kWithdrawalsAllowed;
    return account.AccountId > 0 && SessionQueries::canShowAccount(account) &&
           (account.accountSettings & bit) != 0;
}

std::vector<std::shared_ptr<AccountDetails>>
eligibleAccounts(const std::vector<std::shared_ptr<AccountDetails>>& accounts, FundingKind kind) {
    std::vector<std::shared_ptr<AccountDetails>> offered;
    for (const auto& account : accounts)
        if (account && isEligibleAccount(*account, kind))
            offered.push_back(account);
    return offered;
}

std::optional<FundingRefusal> checkDeposit(const NewDeposit& deposit) {
    if (auto refusal = checkAccount(deposit.accountDetail, FundingKind::Deposit))
        return refusal;
    // A gateway payment goes in the gateway's currency, whose decimals are its own.
    if (auto refusal = deposit.mode == kOnlinePayment ? checkAmount("amount", deposit.amount)
                                                      : checkApprovalAmount(deposit.amount))
        return refusal;
    if (deposit.mode == kOnlinePayment) {
        if ((deposit.accountDetail->accountSettings & kOnlinePaymentOffered) == 0)
            return FundingRefusal{FundingRefusalCode::AccountNotEligible,
                                  "the account does not offer online payment"};
        if (deposit.payGateId == 0)
            return FundingRefusal{FundingRefusalCode::NoPayGate, "no payment gateway chosen"};
        // The estimate may be 0 (no conversion known) but never a non-number.
        if (deposit.estimatedAmount.isNaN())
            return FundingRefusal{FundingRefusalCode::AmountNotFinite, "estimatedAmount is not a number"};
    }
    for (const auto& [name, text] :
         {std::pair<std::string_view, const std::optional<std::string>&>{"depositDate", deposit.depositDate},
          {"bankName", deposit.bankName},
          {"bankBranch", deposit.bankBranch},
          {"sourceAccount", deposit.sourceAccount},
          {"depositedAccount", deposit.depositedAccount},
          {"remarks", deposit.remarks},
          {"email", deposit.email}})
        if (auto refusal = checkText(name, text))
            return refusal;
    return std::nullopt;
}

std::optional<FundingRefusal> checkWithdrawal(const NewWithdrawal& withdrawal) {
    if (auto refusal = checkAccount(withdrawal.accountDetail, FundingKind::Withdrawal))
        return refusal;
    if (auto refusal = checkApprovalAmount(withdrawal.amount))
        return refusal;
    return checkText("remarks", withdrawal.remarks);
}

platform::Decimal standingAmount(const FinancialApproval& approval) {
    return approval.approvedAmount > platform::Decimal() ? approval.approvedAmount : approval.requestedAmount;
}

platform::Decimal pendingWithdrawals(const FundingCollections& funding, std::int32_t accountId) {
    platform::Decimal pending;
    for (const auto& [id, request] : funding.approvalRequests) {
        if (!request || !request->isOpen || !request->information)
            continue;
        const FinancialApproval& info = *request->information;
        if (accountId <= 0 || info.benefactorAccount != static_cast<std::uint64_t>(accountId))
            continue;
        pending = pending + standingAmount(info);
    }
    return pending;
}

interfaces::WithdrawalFigures withdrawalFigures(const AccountDetails& account,
                                                const platform::Decimal& pendingAmount,
                                                const interfaces::FundingRules& rules) {
    interfaces::WithdrawalFigures f;
    // The rule is worked in doubles, as the account's computed figures are.
    const double pending = pendingAmount.toDouble();
    f.balance = account.Balance.toDouble();
    f.pending = pending;
    f.minimumBalance = rules.minimumBalance.value_or(0);
    double w =
        account.Equity - account.CollateralSecurity.toDouble() - account.oneSideMargin.toDouble() - pending;
    if (account.Leverage > 0 && !rules.canWithdrawFloatingPL)
        w -= account.Leverage;
    const double remaining = account.Balance.toDouble() - (pending + w);
    if (f.minimumBalance > 0 && remaining < f.minimumBalance)
        w -= f.minimumBalance - remaining;
    f.withdrawable = w;
    return f;
}

} // namespace tc::funding
