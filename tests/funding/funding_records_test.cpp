#include "funding/financial_approval.h"
#include "funding/funding_records.h"
#include "funding/funding_rules.h"
#include "funding/pay_gate_settings.h"
#include "session/records/account_details.h"
#include "session/records/currency_records.h"
#include "session/records/record_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {

using namespace tc;

using namespace tc::funding;

// Fields joined by 0x05, the record ended by 0x06 unless said.
std::string record(std::initializer_list<std::string> fields, bool ended = true) {
    return recordText(fields) + (ended ? "\x06" : "");
}

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
    deposit.requestedAmount = 100;
    deposit.transferMode = kBankTransfer;
    deposit.dateOfTransaction = "20240131";
    deposit.bankName = "Bank";
    deposit.branch = "Branch";
    deposit.sourceBankAccount = "SRC-1";
    deposit.destinationBankAccount = "";
    const auto full = deposit.getString(FinancialApproval::kFullForm);
    ASSERT_TRUE(full.ok()) << full.error;
    EXPECT_EQ(full.text, record({"0", "0", "5001", "(null)", "100.00", "0.00", "1", "0", "2", "20240131",
                                 "Bank", "Branch", "SRC-1", ""}));

    FinancialApproval withdrawal;
    withdrawal.financialTransactionTypeId = FinancialApproval::kWithdrawal;
    withdrawal.benefactorAccount = 5001;
    withdrawal.requestedAmount = 50.5;
    EXPECT_EQ(withdrawal.getString(FinancialApproval::kFullForm).text,
              record({"0", "0", "(null)", "5001", "50.50", "0.00", "2", "0", "0", "(null)", "(null)",
                      "(null)", "(null)", "(null)"}));
    EXPECT_EQ(withdrawal.getString(FinancialApproval::kShortForm).text,
              record({"0", "0", "(null)", "5001", "50.50", "0.00", "2"}));
}

TEST(FinancialApproval, RefusesWhatTheFormCannotCarry) {
    FinancialApproval a;
    a.financialTransactionTypeId = FinancialApproval::kDeposit;
    for (std::string_view bad : {"a\x05"
                                 "b",
                                 "a\x06", "\x01", "x\x07"}) {
        a.bankName = std::string(bad);
        const auto written = a.getString(FinancialApproval::kFullForm);
        EXPECT_FALSE(written.ok());
        EXPECT_NE(written.error.find("bankName"), std::string::npos) << written.error;
        EXPECT_TRUE(written.text.empty());
    }
    a.bankName.reset();
    for (double amount : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        a.requestedAmount = amount;
        EXPECT_FALSE(a.getString(FinancialApproval::kShortForm).ok());
    }
}

TEST(FinancialApproval, ReadsInPlaceAsFarAsTheTextGoes) {
    const std::string full =
        record({"12", "3", "(null)", "5001", "50.50", "40", "2", "1", "2", "(null)", "Bank", "Br", "S", "D"});
    FinancialApproval a;
    a.loadFromString(full, FinancialApproval::kFullForm);
    EXPECT_EQ(a.approvalRequestId, 12u);
    EXPECT_EQ(a.beneficiaryAccount, 0u); // "(null)" is no number
    EXPECT_EQ(a.benefactorAccount, 5001u);
    EXPECT_DOUBLE_EQ(a.approvedAmount, 40);
    EXPECT_TRUE(a.isCollateral);
    EXPECT_EQ(a.dateOfTransaction, "(null)"); // an incoming "(null)" stays that text
    EXPECT_EQ(a.destinationBankAccount, "D");

    FinancialApproval shortRead;
    shortRead.transferMode = 9;
    shortRead.bankName = "kept";
    shortRead.loadFromString(full, FinancialApproval::kShortForm);
    EXPECT_EQ(shortRead.approvalRequestId, 12u);
    EXPECT_EQ(shortRead.transferMode, 9u);
    EXPECT_EQ(shortRead.bankName, "kept");
    EXPECT_FALSE(shortRead.isCollateral);

    FinancialApproval three;
    three.requestedAmount = 7;
    three.loadFromString(record({"1", "2", "3"}, false), FinancialApproval::kFullForm);
    EXPECT_EQ(three.beneficiaryAccount, 3u);
    EXPECT_DOUBLE_EQ(three.requestedAmount, 7);
}

TEST(FinancialApproval, DepositAndWithdrawalGiveTheirMoneySide) {
    auto account = std::make_shared<AccountDetails>();
    account->AccountId = 5001;
    NewDeposit d;
    d.accountDetail = account;
    d.amount = 250;
    d.mode = kTTCopy;
    d.bankName = "Bank";
    const FinancialApproval a = FinancialApproval::forDeposit(d);
    EXPECT_EQ(a.financialTransactionTypeId, FinancialApproval::kDeposit);
    EXPECT_EQ(a.beneficiaryAccount, 5001u);
    EXPECT_EQ(a.transferMode, 1u);
    EXPECT_FALSE(a.branch.has_value()); // absent stays absent: written "(null)"

    NewWithdrawal w;
    w.accountDetail = account;
    w.amount = 50.5;
    EXPECT_EQ(FinancialApproval::forWithdrawal(w).getString(0).text,
              record({"0", "0", "(null)", "5001", "50.50", "0.00", "2", "0", "0", "(null)", "(null)",
                      "(null)", "(null)", "(null)"}));
}

TEST(AmpPayGateTransaction, ReadsBothFormsOfTheGatewayResult) {
    const std::string text = record({"7", "PT-1", "12.5"}) + record({"9", "10"}, false);
    AmpPayGateTransaction shortForm;
    shortForm.loadFromString(text, AmpPayGateTransaction::kShortForm);
    EXPECT_EQ(shortForm.refRequestId, 7u);
    EXPECT_EQ(shortForm.payTransactionId, "PT-1");
    EXPECT_DOUBLE_EQ(shortForm.payApprovedAmount, 12.5);

    AmpPayGateTransaction fullForm;
    fullForm.loadFromString(text, AmpPayGateTransaction::kFullForm);
    EXPECT_EQ(fullForm.transId, 7u);
    EXPECT_EQ(fullForm.refRequestId, 0u);
    EXPECT_EQ(fullForm.payRequestId, "12.5");
    EXPECT_TRUE(fullForm.payTransactionId.empty());

    AmpPayGateTransaction all;
    all.loadFromString(record({"41", "77", "REQ", "250.75", "20240131", "1", "0", "AUTH", "USD", "ok", "PT",
                               "low", "card", "visa", "5", "3", "seventeenth"},
                              false),
                       0);
    EXPECT_EQ(all.transStatus, 3u);
    EXPECT_EQ(all.approvalRequestId, 5u);
    const auto written = all.toString(AmpPayGateTransaction::kFullForm);
    ASSERT_TRUE(written.ok());
    AmpPayGateTransaction again;
    again.loadFromString(written.text, 0);
    EXPECT_EQ(again.payMethodDetail, "visa");
    EXPECT_DOUBLE_EQ(again.payApprovedAmount, 250.75);
}

TEST(PayGateTransaction, AShortResultAfterAFullOneClearsWhatItLacks) {
    AmpPayGateTransaction full;
    full.loadFromString(record({"41", "77", "REQ", "10", "d", "1", "5", "AUTH"}, false), 0);
    PayGateTransaction t;
    t.applyResult(full);
    EXPECT_EQ(t.resultCode, 5u);
    AmpPayGateTransaction shortForm;
    shortForm.loadFromString(record({"77", "PT", "9"}, false), AmpPayGateTransaction::kShortForm);
    t.applyResult(shortForm);
    EXPECT_EQ(t.transactionId, 0u);
    EXPECT_EQ(t.resultCode, 0u);
    EXPECT_TRUE(t.authCode.empty());
    EXPECT_EQ(t.payTransactionId, "PT");
}

TEST(FinancialTransactionDetails, ReadsAHistoryRow) {
    const auto row = FinancialTransactionDetails::fromRecord(record(
        {"1001", "DEP", "5001", "11", "500", "0", "1500", "DEPT", "Bank deposit", "20240131235959"}, false));
    EXPECT_EQ(row.TransactionId, 1001);
    EXPECT_DOUBLE_EQ(row.amount(), 500);
    EXPECT_EQ(row.TransactionDate, "01/31/2024 23:59:59");
    const auto nine =
        FinancialTransactionDetails::fromRecord(record({"x", "C", "5", "1", "2", "3", "4", "S", "N"}, false));
    EXPECT_EQ(nine.TransactionId, 0);
    EXPECT_FALSE(nine.TransactionDate.has_value());
}

TEST(PayGateSettings, TheFirstRowOfAGatewayStays) {
    PayGateSettings settings;
    auto usd = std::make_shared<TradeCurrency>();
    usd->currencyID = 2;
    const auto lookup = [&](std::uint64_t id) { return id == 2 ? usd : nullptr; };
    EXPECT_TRUE(settings.fillPayGateSettingsDetails(
        record({"4", "CardPay", "1", "https://p", "t", "2", "1"}, false), lookup));
    EXPECT_TRUE(settings.fillPayGateSettingsDetails(record({"3", "Wire", "0"}, false), lookup));
    EXPECT_FALSE(settings.fillPayGateSettingsDetails(record({"4", "Other", "0"}, false), lookup));
    const auto all = settings.getAllPayGateSettings();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->name, "CardPay");
    EXPECT_EQ(all[0]->currency, usd);
    EXPECT_EQ(all[1]->currency, nullptr);
    EXPECT_EQ(settings.find(3)->name, "Wire");
    EXPECT_EQ(all[0]->systemWebURL, "https://p");
}

TEST(ApprovalReq, ARowIsReadByPosition) {
    const auto a = ApprovalReq::fromRecord(
        record({"12", "1", "1", "0", "1", "20240101120000", "9", "7", "r", "2"}, false));
    EXPECT_EQ(a.approvalType, 1);
    EXPECT_EQ(a.approvalSubType, ApprovalReq::kWithdrawalSubType);
    EXPECT_TRUE(a.isReadyToPost);
    EXPECT_EQ(a.requestedByUserId, 7u);
}

// An account the user sees (status 1, access 1) with the given settings.
std::shared_ptr<AccountDetails> account(std::int64_t settings, std::int32_t status = 1) {
    auto a = std::make_shared<AccountDetails>();
    a->AccountId = 5001;
    a->tradingStatus = status;
    a->accountaccessType = 1;
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
        {account(0x30), 10, kTTCopy, 0,
         "line\x05"
         "cut",
         C::TextNotCarried, C::TextNotCarried},
    };
    for (const Case& c : cases) {
        NewDeposit d;
        d.accountDetail = c.account;
        d.amount = c.amount;
        d.mode = c.mode;
        d.payGateId = c.gateway;
        d.remarks = c.remarks;
        NewWithdrawal w;
        w.accountDetail = c.account;
        w.amount = c.amount;
        w.remarks = c.remarks;
        const auto deposit = checkDeposit(d);
        const auto withdrawal = checkWithdrawal(w);
        EXPECT_EQ(deposit ? std::optional(deposit->code) : std::nullopt, c.deposit) << c.amount;
        EXPECT_EQ(withdrawal ? std::optional(withdrawal->code) : std::nullopt, c.withdrawal) << c.amount;
    }
    EXPECT_EQ(eligibleAccounts({account(0x10), account(0x20), nullptr}, FundingKind::Withdrawal).size(), 1u);
}

} // namespace
