// The withdrawable amount of an account: its open withdrawals, the minimum balance and the
// floating-profit rule.
#include "funding/funding_rules.h"

#include "model/records/account_details.h"
#include "model/records/financial_approval.h"
#include "model/records/record_decimal.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace tc::funding;
using tc::AccountDetails;

AccountDetails account(double balance, double equity, double collateral, double margin, double leverage) {
    AccountDetails a;
    a.AccountId = 20001;
    a.Balance = tc::platform::CompactDecimal(tc::decimalFromDouble(balance));
    a.Equity = equity;
    a.CollateralSecurity = tc::platform::CompactDecimal(tc::decimalFromDouble(collateral));
    a.oneSideMargin = tc::platform::CompactDecimal(tc::decimalFromDouble(margin));
    a.Leverage = leverage;
    return a;
}

void addApproval(FundingCollections& c, std::uint64_t id, std::uint64_t benefactor, std::uint64_t beneficiary,
                 bool open, double requested, double approved) {
    auto info = std::make_shared<FinancialApproval>();
    info->benefactorAccount = benefactor;
    info->beneficiaryAccount = beneficiary;
    info->requestedAmount = tc::decimalFromDouble(requested);
    info->approvedAmount = tc::decimalFromDouble(approved);
    auto request = std::make_shared<ApprovalReq>();
    request->approvalRequestId = id;
    request->isOpen = open;
    request->information = info;
    c.approvalRequests[id] = request;
}

TEST(WithdrawableAmount, PendingApprovalsCountOpenWithdrawalsOfTheAccountOnly) {
    FundingCollections c;
    addApproval(c, 1, 20001, 0, true, 100, 0);   // requested amount counts
    addApproval(c, 2, 20001, 0, true, 300, 50);  // the approved amount counts
    addApproval(c, 3, 20001, 0, false, 1000, 0); // closed
    addApproval(c, 4, 20002, 0, true, 1000, 0);  // another account
    addApproval(c, 5, 0, 20001, true, 1000, 0);  // a deposit to the account
    EXPECT_EQ(pendingWithdrawals(c, 20001), tc::platform::Decimal::fromInt64(150));
    EXPECT_TRUE(pendingWithdrawals(c, 20003).isZero());
    EXPECT_TRUE(pendingWithdrawals(c, 0).isZero());
}

TEST(WithdrawableAmount, FormulaWithFloatingProfitAndMinimumBalance) {
    interfaces::FundingRules rules;
    // Equity - collateral - margin - pending.
    EXPECT_DOUBLE_EQ(
        withdrawalFigures(account(9000, 10000, 500, 1000, 0), tc::platform::Decimal::fromInt64(200), rules)
            .withdrawable,
        8300);
    // A floating profit is not withdrawable unless the rules say so; a loss deducts nothing.
    EXPECT_DOUBLE_EQ(
        withdrawalFigures(account(9000, 10000, 500, 1000, 300), tc::platform::Decimal::fromInt64(200), rules)
            .withdrawable,
        8000);
    rules.canWithdrawFloatingPL = true;
    EXPECT_DOUBLE_EQ(
        withdrawalFigures(account(9000, 10000, 500, 1000, 300), tc::platform::Decimal::fromInt64(200), rules)
            .withdrawable,
        8300);
    rules.canWithdrawFloatingPL = false;
    EXPECT_DOUBLE_EQ(
        withdrawalFigures(account(9000, 10000, 500, 1000, -300), tc::platform::Decimal::fromInt64(200), rules)
            .withdrawable,
        8300);
    // No floor without a minimum balance, or with 0.
    rules.minimumBalance = 0;
    EXPECT_DOUBLE_EQ(
        withdrawalFigures(account(9000, 10000, 500, 1000, 0), tc::platform::Decimal::fromInt64(200), rules)
            .withdrawable,
        8300);
    // With one, at most balance - pending - minimum.
    rules.minimumBalance = 1000;
    const interfaces::WithdrawalFigures f =
        withdrawalFigures(account(9000, 10000, 500, 1000, 0), tc::platform::Decimal::fromInt64(200), rules);
    EXPECT_DOUBLE_EQ(f.withdrawable, 9000 - 200 - 1000);
    EXPECT_DOUBLE_EQ(f.minimumBalance, 1000);
    EXPECT_DOUBLE_EQ(f.pending, 200);
    // What the balance comes to once the amount and the open withdrawals are paid out.
    EXPECT_DOUBLE_EQ(f.balance, 9000);
    EXPECT_DOUBLE_EQ(f.resultingBalance(0), 8800);
    EXPECT_DOUBLE_EQ(f.resultingBalance(500.5), 8299.5);
    // A floor the balance already keeps changes nothing.
    rules.minimumBalance = 100;
    EXPECT_DOUBLE_EQ(
        withdrawalFigures(account(9000, 10000, 500, 1000, 0), tc::platform::Decimal::fromInt64(200), rules)
            .withdrawable,
        8300);
}

} // namespace
