// The funding windows' arithmetic and checks without widgets: the withdrawable amount's text and the
// amount typed, read whole or refused with its reason; the deposit estimate in every
// currency case; the checks in their order with their texts; the history's types, cells and period;
// which deposit window a gateway reply belongs to; which listed request a lost one is.
#include "gui/funding/funding_window_rules.h"
#include "gui/funding/lost_funding_requests.h"
#include "gui/funding/pay_gate_requests.h"
#include "gui/texts.h"
#include "model/records/currency_records.h"
#include "model/records/record_decimal.h"
#include "platform/amount_text.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc::gui;
using tc::TradeCurrency;

TEST(WithdrawableAmount, FieldTexts) {
    EXPECT_EQ(withdrawableText(7800), "7,800.00"); // as every window shows an amount
    EXPECT_EQ(withdrawableText(0), "0.00");
    EXPECT_EQ(withdrawableText(-12.5), "0.00");
}

TEST(WithdrawalChecks, OrderAndTexts) {
    WithdrawalForm form;
    form.withdrawable = 100;
    const auto key = [&](std::string amount) {
        form.amountText = std::move(amount);
        const auto refusal = checkWithdrawalForm(form);
        return refusal ? refusal->key : std::string("accepted");
    };
    EXPECT_EQ(key("100"), "accepted");
    EXPECT_EQ(key("100.01"), texts::kAmountMustGreaterThanZero);
    EXPECT_EQ(key("0"), texts::kAmountMustGreaterThanZero);
    EXPECT_EQ(key("-5"), texts::kAmountMustGreaterThanZero);
    EXPECT_EQ(key(""), texts::kAmountMustGreaterThanZero);
    EXPECT_EQ(key("100abc"), texts::kNotNumber);
    EXPECT_EQ(key("1,000"), texts::kHoldsAComma); // never 1.00
    // The request carries two decimals: an amount they would change is refused, not rounded.
    EXPECT_EQ(key("0.001"), texts::kAmountMoreThanTwoDecimals);
    EXPECT_EQ(key("99.999"), texts::kAmountMoreThanTwoDecimals);
    EXPECT_EQ(key("99.990"), "accepted");
    EXPECT_EQ(key("0.01"), "accepted");
    EXPECT_EQ(key("1234567890123456789"), texts::kAmountAboveMostOneRequest); // whatever is withdrawable
    form.withdrawable = -50; // nothing to withdraw: every amount is refused
    EXPECT_EQ(key("1"), texts::kAmountMustGreaterThanZero);
    form.accountChosen = false; // no account: the withdrawable amount is not checked
    EXPECT_EQ(key("1"), "accepted");
    form.accountChosen = true;
    form.withdrawable = 100;
    form.networkAvailable = false; // the network first, before the amount
    EXPECT_EQ(key("abc"), texts::kNoConnectionTradingServer);
    form.networkAvailable = true;
    form.texts = {{texts::kRemarks, std::string("pay\x01me")}};
    form.amountText = "10";
    const auto refusal = checkWithdrawalForm(form);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, (Refusal{texts::kHoldsCharacterCannotSentControl, {}, texts::kRemarks}));
    form.texts = {{texts::kRemarks, std::string(kMaxFundingText + 1, 'a')}};
    EXPECT_EQ(checkWithdrawalForm(form), (Refusal{texts::kLongerThanCharacters, "500", texts::kRemarks}));
    form.texts = {{texts::kRemarks, std::string(kMaxFundingText, 'a')}};
    EXPECT_FALSE(checkWithdrawalForm(form));
}

TEST(WithdrawalFigures, NoResultingBalanceForARefusedAmount) {
    interfaces::WithdrawalFigures f;
    f.balance = 11320.5;
    f.pending = 100;
    f.withdrawable = 1000;
    EXPECT_EQ(resultingBalanceText(f, "250.25"), "10,970.25"); // as every window shows an amount
    for (const char* refused : {"-100", "0", "", "abc", "1e400", "1000.01", "250abc", "1,000"})
        EXPECT_EQ(resultingBalanceText(f, refused), "") << refused;
}

struct Currencies {
    TradeCurrency usd, eur, chf;
    Currencies() {
        usd.currencyID = 1;
        usd.currencyCode = "USD";
        eur.currencyID = 2;
        eur.currencyCode = "EUR";
        eur.depositRate = 0.92_cdec;
        eur.isDirect = true;
        chf.currencyID = 3;
        chf.currencyCode = "CHF";
    }
};

TEST(DepositEstimate, EveryCurrencyCase) {
    Currencies k;
    DepositCurrencies c{&k.usd, &k.eur, &k.usd, true};
    EXPECT_EQ(depositEstimate(" 12 ", false, c), "12.00"); // not a gateway payment: the amount
    // System currency is the account's: the gateway's rate, direct the other way round.
    EXPECT_EQ(depositEstimate("100", true, c), "92.00");
    // System currency is the gateway's: the account's rate as it stands.
    c = {&k.eur, &k.usd, &k.usd, true};
    EXPECT_EQ(depositEstimate("100", true, c), "108.70");
    // Rate 0 with a direct conversion leaves the amount.
    k.eur.depositRate = 0_cdec;
    EXPECT_EQ(depositEstimate("100", true, c), "100.00");
    k.eur.depositRate = 0.92_cdec;
    // Paid in the account's currency: the amount in the program's format, never the text typed.
    EXPECT_EQ(depositEstimate("100.0", true, {&k.usd, &k.usd, &k.eur, true}), "100.00");
    EXPECT_EQ(depositEstimate(".5", true, {&k.usd, &k.usd, nullptr, true}), "0.50");
    // No conversion known (no system currency, a third one, anything missing): no estimate.
    EXPECT_EQ(depositEstimate("100", true, {&k.usd, &k.eur, nullptr, true}), "");
    EXPECT_EQ(depositEstimate("100", true, {&k.usd, &k.eur, &k.chf, true}), "");
    EXPECT_EQ(depositEstimate("100", true, {nullptr, &k.eur, &k.usd, true}), "");
    EXPECT_EQ(depositEstimate("100", true, {&k.usd, nullptr, &k.usd, true}), "");
    EXPECT_EQ(depositEstimate("100", true, {&k.usd, &k.eur, &k.usd, false}), "");
    // An amount the deposit refuses is worked into no estimate, nor shown as one.
    for (const char* refused : {"-100", "0", "abc", "1e13", "12abc", "1,000"}) {
        EXPECT_EQ(depositEstimate(refused, true, {&k.usd, &k.eur, &k.usd, true}), "") << refused;
        EXPECT_EQ(depositEstimate(refused, false, c), "") << refused;
    }
    // A third decimal is refused where the account is credited what is paid; a gateway in another
    // currency takes its currency's own.
    EXPECT_EQ(depositEstimate("0.001", false, c), "");
    EXPECT_EQ(depositEstimate("0.001", true, {&k.usd, &k.usd, &k.usd, true}), "");
    EXPECT_EQ(depositAmountRefusal("0.001", true, {&k.usd, &k.usd, &k.usd, true})->key,
              texts::kAmountMoreThanTwoDecimals);
    EXPECT_EQ(depositAmountRefusal("0.001", true, {&k.usd, &k.eur, &k.usd, true}), std::nullopt);

    EXPECT_EQ(currencyRefusalCode({nullptr, &k.eur, &k.usd, true}), 10001);
    EXPECT_EQ(currencyRefusalCode({&k.usd, nullptr, &k.usd, true}), 10002);
    EXPECT_EQ(currencyRefusalCode({&k.usd, &k.eur, &k.usd, false}), 10002);
    EXPECT_EQ(currencyRefusalCode({&k.usd, &k.usd, nullptr, true}), 0);
    EXPECT_EQ(currencyRefusalCode({&k.usd, &k.eur, nullptr, true}), 10000);
    EXPECT_EQ(currencyRefusalCode({&k.usd, &k.eur, &k.eur, true}), 0);
    EXPECT_EQ(currencyRefusalCode({&k.usd, &k.eur, &k.usd, true}), 0);
    EXPECT_EQ(currencyRefusalCode({&k.usd, &k.eur, &k.chf, true}), 10003);

    EXPECT_DOUBLE_EQ(currencyConversion(100, 4, true), 25);
    EXPECT_DOUBLE_EQ(currencyConversion(100, 4, false), 400);
    EXPECT_DOUBLE_EQ(currencyConversion(100, 0, false), 0);
}

TEST(DepositChecks, OrderAndTexts) {
    Currencies k;
    DepositForm form;
    form.mode = tc::funding::kBankTransfer;
    const auto refusal = [&](std::string amount) {
        form.amountText = std::move(amount);
        return checkDepositForm(form);
    };
    const auto key = [&](std::string amount) {
        const auto r = refusal(std::move(amount));
        return r ? r->key : std::string("accepted");
    };
    EXPECT_EQ(key("250"), "accepted"); // a bank mode asks nothing more
    for (const char* bad : {"0", "-1", ""})
        EXPECT_EQ(key(bad), texts::kEnterAmountGreaterThanZero) << bad;
    // No number at all is said so, naming the field, and never read by its leading digits.
    for (const char* bad : {"abc", "$100", "250abc", "inf", "1e400"})
        EXPECT_EQ(refusal(bad), (Refusal{texts::kNotNumber, {}, texts::kAmount})) << bad;
    EXPECT_EQ(refusal("5,5"), (Refusal{texts::kHoldsAComma, {}, texts::kAmount}));
    EXPECT_EQ(refusal("1 000"), (Refusal{texts::kHoldsSpaceInsideNumber, {}, texts::kAmount}));
    // Above the cap: said so, with the cap.
    EXPECT_EQ(refusal("10000000000000"),
              (Refusal{texts::kAmountAboveMostOneRequest, "1,000,000,000,000.00"}));
    EXPECT_EQ(key("1000000000000"), "accepted");
    for (const char* cents : {"0.001", "1000.005", "12.5001"})
        EXPECT_EQ(key(cents), texts::kAmountMoreThanTwoDecimals) << cents;
    EXPECT_EQ(key("0.10"), "accepted");
    form.networkAvailable = false;
    EXPECT_EQ(key("abc"), texts::kNoConnectionTradingServer);
    form.networkAvailable = true;

    form.mode = tc::funding::kOnlinePayment;
    form.currencies = {&k.usd, &k.eur, &k.usd, true};
    form.email = "trader@example.com";
    EXPECT_EQ(key("250"), texts::kChoosePaymentGateway); // no gateway named
    form.gatewayText = "Loopback Pay";
    EXPECT_EQ(key("250"), "accepted");
    EXPECT_EQ(key("0.001"), "accepted"); // in the gateway's currency, with its own decimals
    // It goes out as a double: more digits than one carries would send another amount.
    EXPECT_EQ(key("12345.1234567891"), "accepted");
    EXPECT_EQ(refusal("12345.12345678901"), (Refusal{texts::kTooManyDigits, "15", texts::kAmount}));
    for (const char* bad : {"a@b.c", "a@b.abcde", " a@b.com", "a@b.com ", "ab.com", ""}) {
        form.email = bad;
        EXPECT_EQ(key("250"), texts::kEnterValidEMailAddress) << bad;
    }
    for (const char* good : {"a@b.co", "first.last+x@mail.example.info", "A_B%c@x-y.ORG"}) {
        form.email = good;
        EXPECT_EQ(key("250"), "accepted") << good;
    }
    // Gateway text typed but none chosen: the e-mail passes, the currency rule refuses.
    form.currencies.gatewayChosen = false;
    EXPECT_EQ(refusal("250"), (Refusal{texts::kAccountsCurrencyCannotPaidThrough, "10002"}));
    form.currencies = {&k.usd, &k.eur, &k.chf, true};
    EXPECT_EQ(refusal("250"), (Refusal{texts::kAccountsCurrencyCannotPaidThrough, "10003"}));
    // A text the wire cannot carry, before the gateway's checks.
    form.texts = {{texts::kRemarks, "ok"}, {texts::kBankName, std::string("bank\x05")}};
    EXPECT_EQ(refusal("250"), (Refusal{texts::kHoldsCharacterCannotSentControl, {}, texts::kBankName}));
}

TEST(FundingHistory, TypeCodesCellsAndPeriod) {
    ASSERT_EQ(kTransactionTypes.size(), 11u);
    EXPECT_EQ(transactionCodeFor(true, std::nullopt), "#DWR");
    EXPECT_EQ(transactionCodeFor(true, 4), "#DWR"); // an empty text wins
    EXPECT_EQ(transactionCodeFor(false, 1), "#DEP");
    EXPECT_EQ(transactionCodeFor(false, 10), "#TRM");
    EXPECT_EQ(transactionCodeFor(false, 7), "#ADJ");
    EXPECT_EQ(kTransactionTypes[7].labelKey, texts::kAdjustments);
    EXPECT_FALSE(transactionCodeFor(false, std::nullopt)); // typed by hand: nothing is sent
    EXPECT_FALSE(transactionCodeFor(false, 11));

    // The account searched for is read whole: its number as sent, nothing for none, else the reason in
    // the words of whole numbers, with a whole number for its example.
    EXPECT_EQ(historyAccountOf(" 020003 ").number, "20003");
    EXPECT_FALSE(historyAccountOf("").refusal);
    for (const auto& [typed, key] :
         {std::pair{"20,003", texts::kHoldsAComma92601}, std::pair{"2000.3", texts::kHoldsDecimals},
          std::pair{"-20003", texts::kWholeNumberCannotBeNegative},
          std::pair{"2000300000000000", texts::kWholeNumberTooLarge}})
        EXPECT_EQ(historyAccountOf(typed).refusal, (Refusal{key, {}, texts::kAccount})) << typed;

    EXPECT_EQ(kDefaultHistoryPeriod.fromSecond, 0);
    EXPECT_EQ(kDefaultHistoryPeriod.toSecond, 24 * 3600 - 1); // the day's end: this afternoon too

    tc::FinancialTransactionDetails row;
    row.AccountId = 20003;
    row.SubTransactionId = 7;
    row.SubTransactionCode = "BANK";
    row.CrAmount = *tc::platform::Decimal::fromString("1234.5");
    row.BalAmountPostTransaction = *tc::platform::Decimal::fromString("1234567.891");
    row.Narration = "Bank deposit";
    row.TransactionDate = tc::wallTimeFromWire("20240304100000");
    EXPECT_EQ(historyCell(row, texts::kAccountNo), "20003");
    EXPECT_EQ(historyCell(row, texts::kSubType), "7");
    EXPECT_EQ(historyCell(row, texts::kCode), "BANK");
    EXPECT_EQ(historyCell(row, texts::kCredit), "1,234.50");
    EXPECT_EQ(historyCell(row, texts::kDebit), "0.00");
    EXPECT_EQ(historyCell(row, texts::kBalanceAfter), "1,234,567.891");
    EXPECT_EQ(historyCell(row, texts::kNarration), "Bank deposit");
    EXPECT_EQ(historyCell(row, texts::kTransactionDate), "03/04/2024 10:00:00")
        << "in the device's zone, as it was read";
    EXPECT_EQ(historyCell(row, "0999"), "");
    row.TransactionDate.reset();
    EXPECT_EQ(historyCell(row, texts::kTransactionDate), "");
    EXPECT_EQ(tc::platform::amountText(1234.5), "1,234.50");
    EXPECT_EQ(tc::platform::amountText(-7), "-7.00");
    // Sub-types are named as the statement groups them; a code no figure counts has no name.
    EXPECT_EQ(subTypeNameKey(14), texts::kDeposit);
    EXPECT_EQ(subTypeNameKey(12), texts::kWithdrawal);
    EXPECT_EQ(subTypeNameKey(18), texts::kMiscellaneous);
    EXPECT_TRUE(subTypeNameKey(kLastNamedSubType));
    for (const std::int64_t code :
         {std::int64_t{0}, std::int64_t{3}, std::int64_t{-1}, kLastNamedSubType + 1})
        EXPECT_EQ(subTypeNameKey(code), std::nullopt) << code;
}

TEST(PayGateRequests, RepliesGoToTheWindowsInTheOrderTheyAsked) {
    PayGateRequests requests;
    int first = 0, second = 0, third = 0;
    requests.asked(&first);
    requests.asked(&second);
    requests.asked(&third);
    EXPECT_EQ(requests.ownerOf(501), &first);
    EXPECT_EQ(requests.ownerOf(501), &first); // a later reply of the same request
    // The page opens once, for the owner only.
    EXPECT_FALSE(requests.takePageOpening(501, &second));
    EXPECT_TRUE(requests.takePageOpening(501, &first));
    EXPECT_FALSE(requests.takePageOpening(501, &first));
    // A closed window keeps its place: the reply after it still reaches the third window.
    requests.forget(&second);
    EXPECT_EQ(requests.ownerOf(502), nullptr);
    EXPECT_FALSE(requests.takePageOpening(502, &third));
    EXPECT_EQ(requests.ownerOf(503), &third);
    EXPECT_TRUE(requests.takePageOpening(503, &third));
    EXPECT_EQ(requests.ownerOf(504), nullptr); // nobody asked
    EXPECT_EQ(requests.waiting(), 0u);
}

// The line gone, no place waits: the next registration is the next request's, while a request
// registered before keeps its owner.
TEST(PayGateRequests, TheLineGoneLeavesNoPlaceWaitingButKeepsTheClaims) {
    PayGateRequests requests;
    int lost = 0, closed = 0, registered = 0, next = 0;
    requests.asked(&registered);
    EXPECT_EQ(requests.ownerOf(601), &registered);
    requests.asked(&lost);
    requests.asked(&closed);
    requests.forget(&closed);
    requests.lineGone();
    EXPECT_EQ(requests.waiting(), 0u);
    requests.asked(&next);
    EXPECT_EQ(requests.ownerOf(602), &next);
    EXPECT_EQ(requests.ownerOf(601), &registered);
    EXPECT_TRUE(requests.takePageOpening(602, &next));
}

// A listed deposit request of `amount` to `account`, of the online-payment mode or a bank's.
void list(tc::funding::FundingCollections& lists, std::uint64_t id, std::uint64_t account,
          std::int64_t amount, bool payment = false) {
    auto money = std::make_shared<tc::funding::FinancialApproval>();
    money->approvalRequestId = id;
    money->beneficiaryAccount = account;
    money->requestedAmount = tc::platform::Decimal::fromInt64(amount);
    money->transferMode =
        static_cast<std::uint64_t>(payment ? tc::funding::kOnlinePayment : tc::funding::kBankTransfer);
    auto request = std::make_shared<tc::funding::ApprovalReq>();
    request->approvalRequestId = id;
    request->approvalSubType = tc::funding::ApprovalReq::kDepositSubType;
    request->information = money;
    lists.approvalRequests[id] = request;
}

TEST(LostFundingRequests, EachListedRequestIsOneLostRequestsTheOldestFirst) {
    using Asked = LostFundingRequests::Asked;
    const Asked deposit{tc::funding::ApprovalReq::kDepositSubType, false, 20001,
                        tc::platform::Decimal::fromInt64(55)};
    Asked payment = deposit;
    payment.payment = true;
    struct Case {
        const char* name;
        std::vector<std::uint64_t> listed;   // deposits alike in the new lists
        std::set<std::uint64_t> heldBefore;  // listed alike when both were sent
        std::vector<std::uint64_t> answered; // receipts seen since
        std::uint64_t first, second;         // what each of two requests alike is found as
    };
    const std::vector<Case> cases{
        {"one listed: the oldest", {700003}, {}, {}, 700003, 0},
        {"two listed: in order", {700003, 700004}, {}, {}, 700003, 700004},
        {"listed before the sends", {700003, 700004}, {700003}, {}, 700004, 0},
        {"listed before, and only that", {700003}, {700003}, {}, 0, 0},
        {"an answer is no lost one", {700003, 700004}, {}, {700003}, 700004, 0},
        {"none listed", {}, {}, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tc::funding::FundingCollections lists;
        lists.approvalRequestsIn = lists.financialApprovalsIn = true;
        for (const std::uint64_t id : c.listed)
            list(lists, id, 20001, 55);
        // Alike but not these requests: another account, amount or mode.
        list(lists, 600001, 20003, 55);
        list(lists, 600002, 20001, 56);
        list(lists, 600003, 20001, 55, true);
        LostFundingRequests lost;
        const int older = 0, later = 0, third = 0;
        const std::uint64_t olderPlace = lost.nextPlace();
        const std::uint64_t laterPlace = lost.nextPlace();
        // Told lost in the other order: the order sent decides.
        lost.lost(&later, laterPlace, deposit, c.heldBefore, 1);
        lost.lost(&older, olderPlace, deposit, c.heldBefore, 1);
        lost.lost(&third, lost.nextPlace(), payment, {}, 1);
        for (const std::uint64_t id : c.answered)
            lost.answered(id);
        // The session they went on cannot tell; nor lists not in yet.
        EXPECT_FALSE(lost.outcome(&later, lists, 1));
        lists.financialApprovalsIn = false;
        EXPECT_FALSE(lost.outcome(&later, lists, 2));
        lists.financialApprovalsIn = true;
        // The later one asks first.
        EXPECT_EQ(lost.outcome(&later, lists, 2), c.second);
        EXPECT_EQ(lost.outcome(&older, lists, 2), c.first);
        EXPECT_EQ(lost.outcome(&third, lists, 2), 600003u);
        // A window that lets go of its request frees nothing found for another.
        lost.forget(&older);
        EXPECT_FALSE(lost.outcome(&older, lists, 2));
        EXPECT_EQ(lost.outcome(&later, lists, 2), c.second);
    }
}

} // namespace
