#include "gui/funding/funding_window_rules.h"
#include "gui/controls/text_entry_rules.h"
#include "gui/texts.h"

#include "gui/controls/input_rules.h"
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/financial_approval.h"
#include "model/records/wall_time.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"

#include <charconv>
#include <cmath>
#include <regex>

namespace tc::gui {
namespace {

// Signs are read, so that "-5" is refused as no amount above 0, as "0" is.
platform::NumberEntry readAmount(std::string_view text) {
    return platform::readNumberEntry(text, {.allowNegative = true, .maxDecimals = std::nullopt});
}

// Why the entry is no number, naming the amount field. Past the digits any field takes is past the
// cap too, which the checks name with its figure.
std::optional<Refusal> notANumber(const platform::NumberEntry& entry) {
    if (entry.ok() || entry.fault == platform::EntryFault::Empty ||
        entry.fault == platform::EntryFault::TooLarge)
        return std::nullopt;
    return Refusal{std::string(entryFaultKey(entry.fault)), entryFaultLimit(entry.fault), texts::kAmount};
}

} // namespace

std::optional<platform::Decimal> typedAmount(std::string_view text) {
    return readAmount(text).value;
}

std::string fixed2(double value) {
    return Formatter::formatDecimal(value, 2);
}

std::string fixed2(const platform::Decimal& amount) {
    return Formatter::formatDecimal(amount, 2);
}

double currencyConversion(double amount, double rate, bool direct) {
    if (direct)
        return rate == 0 ? amount : amount / rate;
    return amount * rate;
}

std::string depositEstimate(std::string_view amountText, bool onlinePayment, const DepositCurrencies& c) {
    // Nothing beside an amount the deposit refuses, nor where no conversion is known.
    if (depositAmountRefusal(amountText, onlinePayment, c))
        return {};
    const platform::Decimal amount = typedAmount(amountText).value_or(platform::Decimal());
    if (!onlinePayment)
        return fixed2(amount);
    if (currencyRefusalCode(c) != 0)
        return {};
    if (c.account->currencyID == c.gateway->currencyID)
        return fixed2(amount);
    const double x = amount.toDouble();
    if (c.system->currencyID == c.account->currencyID)
        return fixed2(currencyConversion(x, c.gateway->depositRate.toDouble(), !c.gateway->isDirect));
    return fixed2(currencyConversion(x, c.account->depositRate.toDouble(), c.account->isDirect));
}

std::int64_t currencyRefusalCode(const DepositCurrencies& c) {
    if (!c.account)
        return 10001;
    if (!c.gatewayChosen || !c.gateway)
        return 10002;
    if (c.account->currencyID == c.gateway->currencyID)
        return 0;
    if (!c.system)
        return 10000;
    if (c.system->currencyID == c.gateway->currencyID || c.system->currencyID == c.account->currencyID)
        return 0;
    return 10003;
}

bool isValidEmail(std::string_view text) {
    // Addresses are short; the cap keeps the pattern's work bounded.
    if (text.size() > 254)
        return false;
    static const std::regex pattern("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,4}");
    return std::regex_match(text.begin(), text.end(), pattern);
}

bool isCarriedText(std::string_view text) {
    return textEntryFault(text, kMaxFundingText) == TextFault::None;
}

namespace {

Refusal refusal(std::string key) {
    return Refusal{std::move(key)};
}

std::optional<Refusal> firstUncarried(const std::vector<std::pair<std::string, std::string>>& texts) {
    for (const auto& [key, text] : texts)
        if (auto refusal = textRefusal({key, text, kMaxFundingText}))
            return refusal;
    return std::nullopt;
}

constexpr int kMaxGatewayAmountDigits = 15;

int significantDigits(const platform::Decimal& value) {
    int digits = 0;
    for (unsigned __int128 m = value.mantissa(); m != 0; m /= 10)
        ++digits;
    return digits;
}

// The amount typed, in the order of its faults: not above 0 (`notPositiveKey`), above the cap,
// more decimals than an approval request carries (only when `approval`: a gateway payment goes in
// the gateway's currency, whose decimals are its own).
std::optional<Refusal> amountRefusal(std::string_view text, std::string_view notPositiveKey, bool approval) {
    const platform::NumberEntry entry = readAmount(text);
    if (auto fault = notANumber(entry))
        return fault;
    const Refusal aboveCap{texts::kAmountAboveMostOneRequest, platform::amountText(kMaxFundingAmount)};
    if (entry.fault == platform::EntryFault::TooLarge)
        return aboveCap;
    const double amount = entry.value ? entry.value->toDouble() : 0;
    if (!std::isfinite(amount) || amount <= 0)
        return refusal(std::string(notPositiveKey));
    if (amount > kMaxFundingAmount)
        return aboveCap;
    if (approval && !funding::FinancialApproval::carriesExactly(*entry.value))
        return refusal(texts::kAmountMoreThanTwoDecimals);
    // A gateway payment goes out as a double: past its digits it would be another amount.
    if (!approval && significantDigits(*entry.value) > kMaxGatewayAmountDigits)
        return Refusal{texts::kTooManyDigits, std::to_string(kMaxGatewayAmountDigits), texts::kAmount};
    return std::nullopt;
}

} // namespace

bool paidInAccountCurrency(const DepositCurrencies& c) {
    return c.account && c.gatewayChosen && c.gateway && c.account->currencyID == c.gateway->currencyID;
}

std::optional<Refusal> depositAmountRefusal(std::string_view amountText, bool onlinePayment,
                                            const DepositCurrencies& c) {
    // Paid in the account's own currency, the amount is what the account is credited: in cents.
    return amountRefusal(amountText, texts::kEnterAmountGreaterThanZero,
                         !onlinePayment || paidInAccountCurrency(c));
}

std::optional<Refusal> checkDepositForm(const DepositForm& form) {
    if (!form.networkAvailable)
        return refusal(texts::kNoConnectionTradingServer);
    if (auto amount =
            depositAmountRefusal(form.amountText, form.mode == funding::kOnlinePayment, form.currencies))
        return amount;
    if (auto uncarried = firstUncarried(form.texts))
        return uncarried;
    if (form.mode != funding::kOnlinePayment)
        return std::nullopt;
    if (form.gatewayText.empty())
        return refusal(texts::kChoosePaymentGateway);
    if (!isValidEmail(form.email))
        return refusal(texts::kEnterValidEMailAddress);
    if (const std::int64_t code = currencyRefusalCode(form.currencies))
        return Refusal{texts::kAccountsCurrencyCannotPaidThrough, std::to_string(code)};
    return std::nullopt;
}

std::string withdrawableText(double withdrawable) {
    return platform::amountText(withdrawable > 0 ? withdrawable : 0.0);
}

std::optional<Refusal> withdrawalAmountRefusal(std::string_view amountText,
                                               std::optional<double> withdrawable) {
    if (auto amount = amountRefusal(amountText, texts::kAmountMustGreaterThanZero, true))
        return amount;
    if (withdrawable && typedAmount(amountText).value_or(platform::Decimal()).toDouble() > *withdrawable)
        return refusal(texts::kAmountMustGreaterThanZero);
    return std::nullopt;
}

std::optional<Refusal> checkWithdrawalForm(const WithdrawalForm& form) {
    if (!form.networkAvailable)
        return refusal(texts::kNoConnectionTradingServer);
    if (auto amount = withdrawalAmountRefusal(
            form.amountText, form.accountChosen ? std::optional<double>(form.withdrawable) : std::nullopt))
        return amount;
    if (auto uncarried = firstUncarried(form.texts))
        return uncarried;
    return std::nullopt;
}

std::string resultingBalanceText(const interfaces::WithdrawalFigures& figures, std::string_view amountText) {
    if (withdrawalAmountRefusal(amountText, figures.withdrawable))
        return {};
    return platform::amountText(
        figures.resultingBalance(typedAmount(amountText).value_or(platform::Decimal()).toDouble()));
}

std::optional<std::string_view> transactionCodeFor(bool typeTextEmpty, std::optional<std::size_t> chosen) {
    if (typeTextEmpty)
        return kTransactionTypes[0].code;
    if (!chosen || *chosen >= kTransactionTypes.size())
        return std::nullopt;
    return kTransactionTypes[*chosen].code;
}

HistoryAccount historyAccountOf(std::string_view typed) {
    const platform::IntegerEntry entry = platform::readIntegerEntry(typed);
    if (entry.fault == platform::EntryFault::Empty)
        return {};
    if (!entry.ok())
        return {{},
                Refusal{std::string(wholeNumberFaultKey(typed, entry.fault)), entryFaultLimit(entry.fault),
                        texts::kAccount}};
    return {std::to_string(*entry.value), std::nullopt};
}

namespace {

// The number's shortest text as a double, grouped, with at least two decimals: the cell keeps the
// double's form (past three decimals, the shortest text picks its exponent form over the digits).
std::string amountCell(const platform::Decimal& amount) {
    const double value = amount.toDouble();
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    std::string plain = ec == std::errc() ? std::string(buf, end) : std::string("0");
    if (plain.find_first_of("eE") != std::string::npos)
        plain = Formatter::formatDecimal(value, 2);
    return Formatter::formatAmountWithString(plain);
}

} // namespace

std::string historyCell(const FinancialTransactionDetails& row, std::string_view columnKey) {
    if (columnKey == texts::kAccountNo)
        return std::to_string(row.AccountId);
    if (columnKey == texts::kSubType)
        return std::to_string(row.SubTransactionId);
    if (columnKey == texts::kCode)
        return row.SubTransactionCode;
    if (columnKey == texts::kCredit)
        return amountCell(row.CrAmount);
    if (columnKey == texts::kDebit)
        return amountCell(row.DrAmount);
    if (columnKey == texts::kBalanceAfter)
        return row.BalAmountPostTransaction ? amountCell(*row.BalAmountPostTransaction) : std::string();
    if (columnKey == texts::kNarration)
        return row.Narration;
    if (columnKey == texts::kTransactionDate)
        return displayDateTime(row.TransactionDate);
    return {};
}

std::optional<std::string_view> subTypeNameKey(std::int64_t code) {
    using S = FinancialSubType;
    switch (financialSubTypeOf(code)) {
    case S::Deposit:
        return texts::kDeposit;
    case S::Withdrawal:
        return texts::kWithdrawal;
    case S::Commission:
        return texts::kCommission;
    case S::TDS:
        return texts::kTDS;
    case S::RealizedStorage:
        return texts::kRealizedStorage;
    case S::SettledLoss:
        return texts::kSettledLoss;
    case S::SettledProfit:
        return texts::kSettledProfit;
    case S::Adjustment:
        return texts::kAdjustment;
    case S::Miscellaneous:
        return texts::kMiscellaneous;
    case S::DailyTDS:
        return texts::kDailyTDS;
    case S::MonthlyTDS:
        return texts::kMonthlyTDS;
    case S::Other:
        break;
    }
    return std::nullopt;
}

} // namespace tc::gui
