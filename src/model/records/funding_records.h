#pragma once
// The records that carry deposits, withdrawals, the funding history and the payment-gateway flow,
// with the readers (and, where the test server sends them, the writers) of their record texts:
// fields cut at 0x05, a record ended by 0x06. Readers never fail: a short record leaves the missing
// fields at their initial values, a piece that does not begin with a number reads as 0.
#include "model/records/financial_transaction.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc {
class AccountDetails;
class TradeCurrency;
} // namespace tc

// The wire's record text, written by the core only: behind the GUI's wall the type stays incomplete.
namespace tc::wire {
struct RecordText;
} // namespace tc::wire

namespace tc::funding {

// The transfer modes of a deposit.
enum TransferMode : std::int64_t {
    kTransferUnknown = 0,
    kTTCopy = 1,
    kBankTransfer = 2,
    kOnlinePayment = 3, // through the payment gateway
};

struct FinancialEnum {
    // "TTCopy", "BankTransfer", "OnlinePayment"; "Unknown" for any other value.
    static std::string_view getFinancialTransferMode(std::int64_t mode);
    // The mode of a name, compared exactly; 0 for any other text.
    static std::int64_t getFinancialTransferModeValue(std::string_view name);
};

// A deposit as the deposit window fills it. An absent text goes out as "(null)", an empty one empty.
struct NewDeposit {
    std::uint64_t requestKey = 0;
    std::shared_ptr<const AccountDetails> accountDetail; // the account credited
    std::int64_t mode = kTransferUnknown;
    std::optional<std::string> depositDate;
    std::optional<std::string> bankName;
    std::optional<std::string> bankBranch;
    std::optional<std::string> sourceAccount;
    std::optional<std::string> depositedAccount;
    platform::Decimal amount;          // account currency
    platform::Decimal estimatedAmount; // the gateway's currency (gateway mode only)
    std::optional<std::string> remarks;
    std::optional<std::string> email; // gateway mode only
    std::uint64_t payGateId = 0;      // the chosen gateway (gateway mode only); 0 for none
};

struct NewWithdrawal {
    std::uint64_t requestKey = 0;
    std::shared_ptr<const AccountDetails> accountDetail; // the account debited
    platform::Decimal amount;
    std::optional<std::string> remarks;
};

// One row of the deposit and withdrawal history: the model's record.
using FinancialTransactionDetails = tc::FinancialTransactionDetails;

// A payment gateway the server offers ("paygategetsettings" row).
struct PayGateSetting {
    bool enabled = false;
    std::uint64_t payGateId = 0; // key, "%lu"
    std::string name;
    std::string systemWebURL; // the payment page, opened in the browser
    std::uint64_t currencyId = 0;
    std::shared_ptr<const TradeCurrency> currency; // looked up by currencyId where the row is kept
    std::uint64_t organizationId = 0;
    std::optional<WallTime> lastUpdateTime;

    // Positions 0 id, 1 name, 2 enabled, 3 page address, 4 last update, 5 currency id,
    // 6 organisation id.
    static PayGateSetting fromRecord(std::string_view record);
};

// The gateway's result as reply 96 carries it (tag 1061, in the form of tag 1062).
struct AmpPayGateTransaction {
    static constexpr std::int64_t kShortForm = 1;
    static constexpr std::int64_t kFullForm = 0;

    std::uint64_t transId = 0;
    std::uint64_t refRequestId = 0; // the requestId of the PayGateTransaction
    std::string payRequestId;
    platform::Decimal payApprovedAmount;
    std::optional<WallTime> transactionDate;
    std::uint64_t payStatus = 0;
    std::uint64_t resultCode = 0;
    std::string authCode;
    std::string currency;
    std::string resultDesc;
    std::string payTransactionId;
    std::string riskIndicator;
    std::string payMethod;
    std::string payMethodDetail;
    std::uint64_t approvalRequestId = 0;
    std::uint64_t transStatus = 0;

    // Only what stands before the first 0x06 is read. Mode 1: the short form (reference, gateway
    // transaction id, approved amount); any other mode: the sixteen fields of the full form.
    void loadFromString(std::string_view text, std::int64_t mode);
    // The form loadFromString reads back; an amount that is not a number is refused.
    wire::RecordText toString(std::int64_t mode) const;
};

// One gateway payment as the client follows it through replies 94, 98 and 96.
struct PayGateTransaction {
    static constexpr std::int64_t kStatusSuccess = 3;
    static constexpr std::int64_t kStatusFailure = 4;

    std::uint64_t requestId = 0; // key, "%lu"
    std::uint64_t payGateId = 0;
    std::shared_ptr<const PayGateSetting> payGate;
    std::uint64_t accountId = 0;
    platform::Decimal payRequestAmount;
    std::optional<WallTime> requestTime;
    std::int64_t status = 0;
    std::string email;
    std::string transactionKey; // handed to the payment page
    std::uint64_t clientSessionId = 0;
    std::string remarks;
    std::uint64_t requestedByUserId = 0;
    platform::Decimal amountInAccountCurrency;
    std::optional<WallTime> initiatedTime;
    std::optional<WallTime> redirectedTime;
    std::optional<WallTime> notifiedTime;
    std::int64_t apiStatus = 0;
    bool isClosed = false;
    std::uint64_t transactionId = 0;
    std::string payRequestId;
    std::string payTransactionId;
    std::optional<WallTime> transactionDate;
    platform::Decimal payApprovedAmount;
    std::uint64_t payStatus = 0;
    std::uint64_t resultCode = 0;
    std::string authCode;
    std::string currency;
    std::string resultDesc;
    std::string riskIndicator;
    std::string payMethod;
    std::string payMethodDetail;
    std::uint64_t approvalRequestId = 0;
    std::int64_t transStatus = 0;

    // Copies the thirteen result fields of reply 96, whatever form it came in.
    void applyResult(const AmpPayGateTransaction& result);
};

} // namespace tc::funding
