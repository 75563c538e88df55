#pragma once
// The checks every deposit and withdrawal passes before anything is composed: an eligible account,
// a finite positive amount, a gateway for an online payment, and typed texts the request can carry.
// Pure functions of the request; the windows show the refusal and keep what was typed.
#include "interfaces/funding.h"
#include "model/funding_collections.h"
#include "model/records/funding_records.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
class AccountDetails;
} // namespace tc

namespace tc::funding {

enum class FundingKind { Deposit, Withdrawal };

// accountSettings bits.
inline constexpr std::int64_t kDepositsAllowed = 0x10;
inline constexpr std::int64_t kWithdrawalsAllowed = 0x20;
inline constexpr std::int64_t kOnlinePaymentOffered = 0x100;

enum class FundingRefusalCode {
    NoAccount,          // no account chosen
    AccountNotEligible, // hidden from the user, or its settings do not allow the kind (or mode)
    AmountNotFinite,
    AmountNotPositive,
    AmountPastCents, // an approval request carries two decimals; more would change the amount sent
    NoPayGate,       // an online payment without a gateway
    TextNotCarried,  // a typed text holds a control character that the message cannot carry
};

struct FundingRefusal {
    FundingRefusalCode code;
    std::string message; // plain English, for logs and tests
};

// The text key that tells the user a refusal of this code.
std::string_view refusalKey(FundingRefusalCode code);

// The user may see the account and its settings allow the kind.
bool isEligibleAccount(const AccountDetails& account, FundingKind kind);
// The accounts offered for the kind, in the given order.
std::vector<std::shared_ptr<AccountDetails>>
eligibleAccounts(const std::vector<std::shared_ptr<AccountDetails>>& accounts, FundingKind kind);

// nullopt when the request may be sent.
std::optional<FundingRefusal> checkDeposit(const NewDeposit& deposit);
std::optional<FundingRefusal> checkWithdrawal(const NewWithdrawal& withdrawal);

// What an approval request stands for until it is settled: its approved amount once above 0, else
// the amount asked for.
platform::Decimal standingAmount(const FinancialApproval& approval);

// The open withdrawals of an account: the standing amount of each open request naming it as
// benefactor. 0 for an id of 0 or below.
platform::Decimal pendingWithdrawals(const FundingCollections& funding, std::int32_t accountId);

// The withdrawable amount: equity less collateral, the one-side margin and the open withdrawals,
// less the floating credit when the rules keep floating profit, then less what the balance would
// fall below the minimum balance.
interfaces::WithdrawalFigures withdrawalFigures(const AccountDetails& account,
                                                const platform::Decimal& pending,
                                                const interfaces::FundingRules& rules);

} // namespace tc::funding
