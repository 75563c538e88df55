#include "funding/funding_rules.h"
#include "model/pay_gate_settings.h"
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/financial_approval.h"
#include "model/records/funding_records.h"
#include "model/records/record_decimal.h"
#include "model/text/formatter.h"
#include "support/wire_text.h"
#include "wire/record_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>

namespace {

using namespace tc;

using namespace tc::funding;
using testing_support::wireText;

TEST(FinancialEnum, NamesAndValuesOfTheTransferModes) {
    const std::pair<std::int64_t, std::string_view> names[] = {{0, "Unknown"},      {1, "TTCopy"},
                                                               {2, "BankTransfer"}, {3, "OnlinePayment"},
                                                               {4, "Unknown"},      {-1, "Unknown"}};
    for (const auto& [mode, name] : names)
        EXPECT_EQ(FinancialEnum::getFinancialTransferMode(mode), name) << mode;
    EXPECT_EQ(FinancialEnum::getFinancialTransferModeValue("BankTransfer"), 2);
    EXPECT_EQ(FinancialEnum::getFinancialTransferModeValue("onlinepayment"), 0);
    EXPECT_EQ(FinancialEnum::getFinancialTransferModeValue("Unknown"), 0);
}

TEST(FinancialApproval, WritesTheFourteenFieldFormOfBothKinds) {
    FinancialApproval deposit;
    deposit.financialTransactionTypeId = FinancialApproval::kDeposit;
    deposit.beneficiaryAccount = 5001;
    deposit.requestedAmount = platform::Decimal::fromInt64(100);
    deposit.transferMode = kBankTransfer;
    deposit.dateOfTransaction = "20240131";
    deposit.bankName = "Bank";
    deposit.branch = "Branch";
    deposit.sourceBankAccount = "SRC-1";
    deposit.destinationBankAccount = "";
    const auto full = deposit.getString(FinancialApproval::kFullForm);
    ASSERT_TRUE(full.ok()) << full.error;
    EXPECT_EQ(
        full.text,
        wireText(
            "0<C>0<C>5001<C>(null)<C>100.00<C>0.00<C>1<C>0<C>2<C>20240131<C>Bank<C>Branch<C>SRC-1<C><R>"));

    FinancialApproval withdrawal;
    withdrawal.financialTransactionTypeId = FinancialApproval::kWithdrawal;
    withdrawal.benefactorAccount = 5001;
    withdrawal.requestedAmount = *platform::Decimal::fromString("50.5");
    EXPECT_EQ(withdrawal.getString(FinancialApproval::kFullForm).text,
              wireText("0<C>0<C>(null)<C>5001<C>50.50<C>0.00<C>2<C>0<C>0<C>(null)<C>(null)<C>(null)<C>(null)<"
                       "C>(null)<R>"));
    EXPECT_EQ(withdrawal.getString(FinancialApproval::kShortForm).text,
              wireText("0<C>0<C>(null)<C>5001<C>50.50<C>0.00<C>2<R>"));
}

TEST(FinancialApproval, RefusesWhatTheFormCannotCarry) {
    FinancialApproval a;
    a.financialTransactionTypeId = FinancialApproval::kDeposit;
    for (std::string_view bad : {wireText("a<C>b"), wireText("a<R>"), wireText("<B>"), wireText("x<S>")}) {
        a.bankName = std::string(bad);
        const auto written = a.getString(FinancialApproval::kFullForm);
        EXPECT_FALSE(written.ok());
        EXPECT_NE(written.error.find("bankName"), std::string::npos) << written.error;
        EXPECT_TRUE(written.text.empty());
    }
    a.bankName.reset();
    // Overflow reads as no number too.
    for (const platform::Decimal& amount :
         {platform::Decimal::notANumber(), *platform::Decimal::fromString("1e400")}) {
        a.requestedAmount = amount;
        EXPECT_FALSE(a.getString(FinancialApproval::kShortForm).ok());
    }
}

TEST(FinancialApproval, ReadsInPlaceAsFarAsTheTextGoes) {
    const std::string full =
        wireText("12<C>3<C>(null)<C>5001<C>50.50<C>40<C>2<C>1<C>2<C>(null)<C>Bank<C>Br<C>S<C>D<R>");
    FinancialApproval a;
    a.loadFromString(full, FinancialApproval::kFullForm);
    // beneficiaryAccount "(null)" is no number.
    EXPECT_EQ(std::tuple(a.approvalRequestId, a.beneficiaryAccount, a.benefactorAccount),
              std::tuple(12u, 0u, 5001u));
    EXPECT_EQ(a.approvedAmount.toString(), "40");
    EXPECT_EQ(a.requestedAmount.toString(), "50.5");
    // dateOfTransaction an incoming "(null)" stays that text.
    EXPECT_EQ(std::tuple(a.isCollateral, a.dateOfTransaction, a.destinationBankAccount),
              std::tuple(true, "(null)", "D"));

    FinancialApproval shortRead;
    shortRead.transferMode = 9;
    shortRead.bankName = "kept";
    shortRead.loadFromString(full, FinancialApproval::kShortForm);
    EXPECT_EQ(std::tuple(shortRead.approvalRequestId, shortRead.transferMode, shortRead.bankName),
              std::tuple(12u, 9u, "kept"));
    EXPECT_FALSE(shortRead.isCollateral);

    FinancialApproval three;
    three.requestedAmount = platform::Decimal::fromInt64(7);
    three.loadFromString(wireText("1<C>2<C>3"), FinancialApproval::kFullForm);
    EXPECT_EQ(three.beneficiaryAccount, 3u);
    EXPECT_EQ(three.requestedAmount.toString(), "7");
}

TEST(FinancialApproval, DepositAndWithdrawalGiveTheirMoneySide) {
    auto account = std::make_shared<AccountDetails>();
    account->AccountId = 5001;
    NewDeposit d;
    d.accountDetail = account;
    d.amount = platform::Decimal::fromInt64(250);
    d.mode = kTTCopy;
    d.bankName = "Bank";
    const FinancialApproval a = FinancialApproval::forDeposit(d);
    EXPECT_EQ(std::tuple(a.financialTransactionTypeId, a.beneficiaryAccount, a.transferMode),
              std::tuple(FinancialApproval::kDeposit, 5001u, 1u));
    EXPECT_FALSE(a.branch.has_value()); // absent stays absent: written "(null)"

    NewWithdrawal w;
    w.accountDetail = account;
    w.amount = *platform::Decimal::fromString("50.5");
    EXPECT_EQ(FinancialApproval::forWithdrawal(w).getString(0).text,
              wireText("0<C>0<C>(null)<C>5001<C>50.50<C>0.00<C>2<C>0<C>0<C>(null)<C>(null)<C>(null)<C>(null)<"
                       "C>(null)<R>"));
}

TEST(AmpPayGateTransaction, ReadsBothFormsOfTheGatewayResult) {
    const std::string text = wireText("7<C>PT-1<C>12.5<R>") + wireText("9<C>10");
    AmpPayGateTransaction shortForm;
    shortForm.loadFromString(text, AmpPayGateTransaction::kShortForm);
    EXPECT_EQ(shortForm.refRequestId, 7u);
    EXPECT_EQ(shortForm.payTransactionId, "PT-1");
    EXPECT_EQ(shortForm.payApprovedAmount.toString(), "12.5");

    AmpPayGateTransaction fullForm;
    fullForm.loadFromString(text, AmpPayGateTransaction::kFullForm);
    EXPECT_EQ(std::tuple(fullForm.transId, fullForm.refRequestId, fullForm.payRequestId),
              std::tuple(7u, 0u, "12.5"));
    EXPECT_TRUE(fullForm.payTransactionId.empty());

    AmpPayGateTransaction all;
    all.loadFromString(wireText("41<C>77<C>REQ<C>250.75<C>20240131<C>1<C>0<C>AUTH<C>USD<C>ok<C>PT<C>low<C>"
                                "card<C>visa<C>5<C>3<C>seventeenth"),
                       0);
    EXPECT_EQ(all.transStatus, 3u);
    EXPECT_EQ(all.approvalRequestId, 5u);
    const auto written = all.toString(AmpPayGateTransaction::kFullForm);
    ASSERT_TRUE(written.ok());
    AmpPayGateTransaction again;
    again.loadFromString(written.text, 0);
    EXPECT_EQ(again.payMethodDetail, "visa");
    EXPECT_EQ(again.payApprovedAmount.toString(), "250.75");
    EXPECT_FALSE(again.transactionDate) << "a date without its time names no time";
    all.transactionDate = wallTimeFromWire("20240131235900");
    again.loadFromString(all.toString(AmpPayGateTransaction::kFullForm).text, 0);
    EXPECT_EQ(again.transactionDate, all.transactionDate);
    PayGateTransaction payment;
    payment.applyResult(again);
    EXPECT_EQ(displayDateTime(payment.transactionDate), "01/31/2024 23:59:00");
}

TEST(PayGateTransaction, AShortResultAfterAFullOneClearsWhatItLacks) {
    AmpPayGateTransaction full;
    full.loadFromString(wireText("41<C>77<C>REQ<C>10<C>d<C>1<C>5<C>AUTH"), 0);
    PayGateTransaction t;
    t.applyResult(full);
    EXPECT_EQ(t.resultCode, 5u);
    AmpPayGateTransaction shortForm;
    shortForm.loadFromString(wireText("77<C>PT<C>9"), AmpPayGateTransaction::kShortForm);
    t.applyResult(shortForm);
    EXPECT_EQ(t.transactionId, 0u);
    EXPECT_EQ(t.resultCode, 0u);
    EXPECT_TRUE(t.authCode.empty());
    EXPECT_EQ(t.payTransactionId, "PT");
}

TEST(FinancialTransactionDetails, ReadsAHistoryRow) {
    const auto row = FinancialTransactionDetails::fromRecord(
        wireText("1001<C>DEP<C>5001<C>11<C>500<C>0<C>1500<C>DEPT<C>Bank deposit<C>20240131235959"));
    EXPECT_EQ(row.TransactionId, 1001);
    EXPECT_EQ(row.amount(), platform::Decimal::fromInt64(500));
    EXPECT_EQ(row.BalAmountPostTransaction, platform::Decimal::fromInt64(1500));
    // A balance the server left empty is none, never 0.
    EXPECT_FALSE(FinancialTransactionDetails::fromRecord(wireText("1<C>DEP<C>5<C>1<C>2<C>0<C><C>S<C>N"))
                     .BalAmountPostTransaction);
    ASSERT_TRUE(row.TransactionDate);
    EXPECT_EQ(displayDateTime(row.TransactionDate), "01/31/2024 23:59:59");
    const auto nine = FinancialTransactionDetails::fromRecord(wireText("x<C>C<C>5<C>1<C>2<C>3<C>4<C>S<C>N"));
    EXPECT_EQ(nine.TransactionId, 0);
    EXPECT_FALSE(nine.TransactionDate.has_value());
}

TEST(PayGateSettings, TheFirstRowOfAGatewayStays) {
    PayGateSettings settings;
    auto usd = std::make_shared<TradeCurrency>();
    usd->currencyID = 2;
    const auto lookup = [&](std::uint64_t id) { return id == 2 ? usd : nullptr; };
    EXPECT_TRUE(
        settings.fillPayGateSettingsDetails(wireText("4<C>CardPay<C>1<C>https://p<C>t<C>2<C>1"), lookup));
    EXPECT_TRUE(settings.fillPayGateSettingsDetails(wireText("3<C>Wire<C>0"), lookup));
    EXPECT_FALSE(settings.fillPayGateSettingsDetails(wireText("4<C>Other<C>0"), lookup));
    const auto all = settings.getAllPayGateSettings();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->name, "CardPay");
    EXPECT_EQ(all[0]->currency, usd);
    EXPECT_EQ(all[1]->currency, nullptr);
    EXPECT_EQ(settings.find(3)->name, "Wire");
    EXPECT_EQ(all[0]->systemWebURL, "https://p");
    EXPECT_FALSE(all[0]->lastUpdateTime) << "t names no time";
    ASSERT_TRUE(settings.fillPayGateSettingsDetails(wireText("5<C>Card<C>1<C>u<C>20240301101500<C>2")));
    EXPECT_EQ(wireDateTime(settings.find(5)->lastUpdateTime), "20240301101500");
}

TEST(ApprovalReq, ARowIsReadByPosition) {
    const auto a = ApprovalReq::fromRecord(wireText("12<C>1<C>1<C>0<C>1<C>20240101120000<C>9<C>7<C>r<C>2"));
    EXPECT_EQ(std::tuple(a.approvalType, a.approvalSubType, a.isReadyToPost, a.requestedByUserId),
              std::tuple(1, ApprovalReq::kWithdrawalSubType, true, 7u));
    EXPECT_EQ(displayDateTime(a.requestedDateTime), "01/01/2024 12:00:00");
}

// An account the user sees (status 1, access 1) with the given settings.
std::shared_ptr<AccountDetails> account(std::int64_t settings, std::int32_t status = 1) {
    auto a = std::make_shared<AccountDetails>();
    a->AccountId = 5001;
    a->tradingStatus = status;
    a->accountAccessType = 1;
    a->accountSettings = settings;
    return a;
}

TEST(FundingRules, EveryRequestWithoutAnEligibleAccountOrAmountIsRefused) {
    struct Case {
        std::shared_ptr<AccountDetails> account;
        double amount;
        std::int64_t mode;
        std::uint64_t gateway;
        std::optional<std::string> remarks;
        std::optional<FundingRefusalCode> deposit;
        std::optional<FundingRefusalCode> withdrawal;
    };
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    using C = FundingRefusalCode;
    const Case cases[] = {
        {nullptr, 10, kTTCopy, 0, {}, C::NoAccount, C::NoAccount},
        {account(0x30, 3), 10, kTTCopy, 0, {}, C::AccountNotEligible, C::AccountNotEligible},
        {account(0x20), 10, kTTCopy, 0, {}, C::AccountNotEligible, std::nullopt},
        {account(0x10), 10, kTTCopy, 0, {}, std::nullopt, C::AccountNotEligible},
        {account(0x30), nan, kTTCopy, 0, {}, C::AmountNotFinite, C::AmountNotFinite},
        {account(0x30), inf, kTTCopy, 0, {}, C::AmountNotFinite, C::AmountNotFinite},
        {account(0x30), 0, kTTCopy, 0, {}, C::AmountNotPositive, C::AmountNotPositive},
        {account(0x30), -5, kTTCopy, 0, {}, C::AmountNotPositive, C::AmountNotPositive},
        {account(0x30), 10, kOnlinePayment, 4, {}, C::AccountNotEligible, std::nullopt},
        {account(0x130), 10, kOnlinePayment, 0, {}, C::NoPayGate, std::nullopt},
        {account(0x130), 10, kOnlinePayment, 4, {}, std::nullopt, std::nullopt},
        {account(0x30), 10, kTTCopy, 0, wireText("line<C>cut"), C::TextNotCarried, C::TextNotCarried},
    };
    for (const Case& c : cases) {
        NewDeposit d;
        d.accountDetail = c.account;
        d.amount = decimalFromDouble(c.amount);
        d.mode = c.mode;
        d.payGateId = c.gateway;
        d.remarks = c.remarks;
        NewWithdrawal w;
        w.accountDetail = c.account;
        w.amount = decimalFromDouble(c.amount);
        w.remarks = c.remarks;
        const auto deposit = checkDeposit(d);
        const auto withdrawal = checkWithdrawal(w);
        EXPECT_EQ(deposit ? std::optional(deposit->code) : std::nullopt, c.deposit) << c.amount;
        EXPECT_EQ(withdrawal ? std::optional(withdrawal->code) : std::nullopt, c.withdrawal) << c.amount;
    }
    EXPECT_EQ(eligibleAccounts({account(0x10), account(0x20), nullptr}, FundingKind::Withdrawal).size(), 1u);
}

} // namespace
