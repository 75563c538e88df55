#pragma once
// What the deposit, withdrawal and funding-history windows work out, without widgets: the amount
// typed read as a number, the gateway estimate in the account's currency, the withdrawable amount's text,
// the checks before sending (in their fixed order, the first failure naming its text) and the
// history's transaction types and cells.
#include "gui/controls/refusal.h"
#include "gui/texts.h"
#include "interfaces/funding.h"
#include "model/funding_collections.h"
#include "model/records/financial_transaction.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc {
class AccountDetails;
class TradeCurrency;
} // namespace tc

namespace tc::gui {

// accountSettings bits: deposits, withdrawals, online payments offered.
inline constexpr std::int64_t kDepositsAllowedBit = 0x10;
inline constexpr std::int64_t kWithdrawalsAllowedBit = 0x20;
inline constexpr std::int64_t kOnlinePaymentBit = 0x100;

// No amount a person types for one request comes near this; past it the amount is refused.
inline constexpr double kMaxFundingAmount = 1e12;
// Longest text a funding field takes; a longer one is refused before sending.
inline constexpr std::size_t kMaxFundingText = 500;

// "%.2f" without grouping: the deposit's estimate, which is read back as an entry when sent.
std::string fixed2(double value);
// The same of an amount, rounded at its own digits.
std::string fixed2(const platform::Decimal& amount);

// ---- deposit

// Direct: divided by the rate (unchanged for a rate of 0); otherwise multiplied by it.
double currencyConversion(double amount, double rate, bool direct);

struct DepositCurrencies {
    const TradeCurrency* account = nullptr; // the account's trade currency
    const TradeCurrency* gateway = nullptr; // the chosen gateway's currency
    const TradeCurrency* system = nullptr;  // the system currency
    bool gatewayChosen = false;
};

// The estimate shown for the amount text, "%.2f": the amount itself when paid in the account's
// currency (or for a bank deposit), else converted; empty for an amount the deposit's checks refuse
// and for a gateway payment whose conversion is not known (currencyRefusalCode).
std::string depositEstimate(std::string_view amountText, bool onlinePayment, const DepositCurrencies& c);

// The currency rule of a gateway payment: 0 accepts, else the refusal's code (10000 to 10003).
std::int64_t currencyRefusalCode(const DepositCurrencies& c);

bool isValidEmail(std::string_view text);

// The funding checks refuse as every window does (refusal.h): a text that names its field (a text the
// wire cannot carry, an entry that is no number) with the field's label key, a text too long with its
// limit, the amount cap's text with the cap. The currency rule's refusal holds its code (10000 to
// 10003) as its figure; the deposit window shows it as "<0541> : <code>\n<20306>".

// An amount as typed, read whole by the number rule (platform::readNumberEntry): nothing for an
// empty text or one that is no number, never its leading digits.
std::optional<platform::Decimal> typedAmount(std::string_view text);

// A typed text that the request can carry: no character the wire cannot carry or the trader cannot
// see (text_entry_rules.h), and at most kMaxFundingText characters.
bool isCarriedText(std::string_view text);

struct DepositForm {
    bool networkAvailable = true;
    std::string amountText;
    std::int64_t mode = 0;
    std::string gatewayText; // the gateway box's text
    std::string email;
    DepositCurrencies currencies;
    // Key of each typed field and its text, checked for what the wire cannot carry.
    std::vector<std::pair<std::string, std::string>> texts;
};

// Whether a gateway payment is made in the account's own currency, and so credited as paid.
bool paidInAccountCurrency(const DepositCurrencies& c);
// The amount's own checks (a number, above 0, within the cap, and at most two decimals for a bank
// deposit or a payment in the account's currency); nullopt when it may be sent.
std::optional<Refusal> depositAmountRefusal(std::string_view amountText, bool onlinePayment,
                                            const DepositCurrencies& c = {});
// nullopt when the deposit may be sent.
std::optional<Refusal> checkDepositForm(const DepositForm& form);

// ---- withdrawal

// The withdrawable field: W with "%.2f" when above 0, else "0.00".
std::string withdrawableText(double withdrawable);

struct WithdrawalForm {
    bool networkAvailable = true;
    std::string amountText;
    double withdrawable = 0;
    bool accountChosen = true;
    std::vector<std::pair<std::string, std::string>> texts;
};

// The amount's own checks (a number, above 0, within the cap, at most two decimals, and no more
// than `withdrawable` when an account gives one); nullopt when it may be sent.
std::optional<Refusal> withdrawalAmountRefusal(std::string_view amountText,
                                               std::optional<double> withdrawable);
std::optional<Refusal> checkWithdrawalForm(const WithdrawalForm& form);

// The resulting balance for the amount text, "%.2f"; empty for an amount the withdrawal's checks
// refuse (not a usable number, or more than may be withdrawn).
std::string resultingBalanceText(const interfaces::WithdrawalFigures& figures, std::string_view amountText);

// ---- funding history

struct TransactionType {
    std::string_view labelKey;
    std::string_view code;
};

inline constexpr std::array<TransactionType, 11> kTransactionTypes{{
    {texts::kAllTransactions, "#DWR"},
    {texts::kDeposits, "#DEP"},
    {texts::kWithdrawals, "#WID"},
    {texts::kOtherDeposits, "#ODE"},
    {texts::kOtherWithdrawals, "#CWI"},
    {texts::kMarginCallDeposits, "#MCD"},
    {texts::kWaivers, "#WAV"},
    {texts::kAdjustments, "#ADJ"},
    {texts::kPaymentCharges, "#PCH"},
    {texts::kTransfersIn, "#TRD"},
    {texts::kTransfersOut, "#TRM"},
}};

// The code a search sends: "#DWR" for an empty type text, the chosen entry's code otherwise, nullopt
// (nothing sent) for a typed text with no entry chosen.
std::optional<std::string_view> transactionCodeFor(bool typeTextEmpty, std::optional<std::size_t> chosen);

// The account a history search names, read whole as an account number: its digits as sent ("" when
// none is typed, which is sent so), or why the text is no account number, naming the account field.
struct HistoryAccount {
    std::string number;
    std::optional<Refusal> refusal;
};
HistoryAccount historyAccountOf(std::string_view typed);

// The default period: the whole day, 00:00:00 to 23:59:59, as seconds into the day.
struct DayPeriod {
    int fromSecond = 0;
    int toSecond = 24 * 3600 - 1;
};
inline constexpr DayPeriod kDefaultHistoryPeriod{};

// The history's columns, by their text keys, in the window's order.
inline constexpr std::array<std::string_view, 8> kHistoryColumns{
    texts::kAccountNo, texts::kSubType,      texts::kCode,      texts::kCredit,
    texts::kDebit,     texts::kBalanceAfter, texts::kNarration, texts::kTransactionDate};

// A cell of a history row by its column key; empty for a key outside the history's columns. The
// sub-type is its code here: the window shows its name (subTypeNameKey) where it has one.
std::string historyCell(const FinancialTransactionDetails& row, std::string_view columnKey);

// The text key naming what a sub-type code books; nullopt for a code with no name, shown as it came.
std::optional<std::string_view> subTypeNameKey(std::int64_t code);
// No code above this one has a name.
inline constexpr std::int64_t kLastNamedSubType = 19;

} // namespace tc::gui
