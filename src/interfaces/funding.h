#pragma once
// The funding side of a client: deposits, withdrawals, pay-gate settings, the account's bank details
// and its funding history, with the server's replies as typed events.
#include "interfaces/commands.h"
#include "interfaces/handler.h"
#include "model/data_service_collections.h"
#include "model/funding_collections.h"
#include "model/records/funding_records.h"
#include "model/records/request_records.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace interfaces {

using tc::BankDetails;
using tc::SearchInfo;

// One line of a funding reply: a caption and its value, both as shown.
struct LabelValue {
    std::string label;
    std::string value;
    friend bool operator==(const LabelValue&, const LabelValue&) = default;
};

// A funding reply of the server, after the funding collections took it.
struct FundingReply {
    enum class Kind {
        PayGateStarted,      // reply 94: the gateway transaction exists; open its payment page
        PayGateProgress,     // reply 98
        PayGateResult,       // reply 96; code is the server's error code, 0 for none
        DepositRequested,    // action 801: lines describe the request
        WithdrawalRequested, // action 802
        ApprovalCompleted,   // actions 930 and 931 (code)
        ApprovalUpdated,     // actions 927 to 929 (code)
    };
    Kind kind = Kind::PayGateStarted;
    std::uint64_t id = 0;  // the gateway request id, or the approval request id
    std::int64_t code = 0; // see Kind
    // The gateway states as the reply left them, read before any later reply changes the record:
    // PayGateStarted and PayGateProgress the transaction's status, PayGateResult its trans status.
    std::int64_t status = 0;
    std::vector<LabelValue> lines;
    // DepositRequested and WithdrawalRequested: the ticket of the request it answers
    // (FundingRequestSent::ticket), 0 for none of this client's.
    std::uint64_t ticket = 0;
    // The request's window had given up waiting for it (giveUpRequest): the answer came late, and the
    // core has told the trader with a banner.
    bool late = false;
};

// A funding request the server refused, with its error code and text.
struct FundingFailure {
    // What was refused: a gateway payment, or the approval request of a deposit or a withdrawal
    // (which names no request of the client's: it answers the oldest one of its kind waiting).
    enum class Request { Payment, Deposit, Withdrawal };
    // A payment: the gateway request id (0 when none). A deposit or withdrawal: the ticket of the
    // request it answers (FundingRequestSent::ticket), 0 when none of the client's waits.
    std::uint64_t id = 0;
    std::int64_t code = 0;
    std::string text;
    Request request = Request::Payment;
};

// What a deposit or withdrawal request came to; when an approval request went out, the ticket that
// its answer names (FundingReply::ticket, FundingFailure::id). 0 for a gateway payment or nothing sent.
struct FundingRequestSent : CommandResult {
    std::uint64_t ticket = 0;
    FundingRequestSent(CommandResult result, std::uint64_t sentTicket = 0)
        : CommandResult(std::move(result)), ticket(sentTicket) {}
};

// The bank details an account's request brought (none when the reply held no record).
struct BankDetailsArrival {
    RequestId id = 0;
    std::optional<BankDetails> details;
};

// The login settings' rules for funding requests (the financial request rules of the login).
struct FundingRules {
    bool canSpecifyBankDetails = false;
    bool canWithdrawFloatingPL = false;
    std::optional<double> minimumBalance; // absent: no floor
};

// What an account may withdraw at this moment.
struct WithdrawalFigures {
    double balance = 0;        // the account's balance
    double pending = 0;        // its open withdrawals: the approved amount where above 0, else the requested
    double minimumBalance = 0; // the login's floor, 0 for none
    double withdrawable =
        0; // equity less collateral, margin, open withdrawals and the floor; not floored at 0

    // The balance once `amount` and the open withdrawals are paid out.
    double resultingBalance(double amount) const { return balance - amount - pending; }
};

class Funding {
public:
    virtual ~Funding() = default;

    virtual FundingRules rules() const = 0;
    // The payment page of a held gateway transaction: the gateway's page address with the request id,
    // the requesting user and the percent-encoded transaction key as p1, p2 and p3; empty when the
    // transaction or its gateway is unknown or the key cannot be encoded.
    virtual std::string paymentPageAddress(std::uint64_t requestId) const = 0;

    // The withdrawal figures of one of the user's accounts; all 0 for an account the session does
    // not hold.
    virtual WithdrawalFigures withdrawalFigures(std::int32_t accountId) const = 0;

    // Gateway transactions, approval requests and pay-gate settings of this login.
    virtual const tc::funding::FundingCollections& collections() const = 0;

    // A deposit (gateway payment when its mode is online payment, else an approval request) or a
    // withdrawal; refused before anything is sent when the account is not eligible, the amount not a
    // finite positive number or a text holds a control character.
    virtual FundingRequestSent requestDeposit(const tc::funding::NewDeposit& deposit) = 0;
    virtual FundingRequestSent requestWithdrawal(const tc::funding::NewWithdrawal& withdrawal) = 0;
    // The window that sent the request of `ticket` waits for it no more. Its answer, should it come,
    // never passes for the answer of a request still waited for, and is told to the trader as late.
    virtual void giveUpRequest(std::uint64_t ticket) = 0;
    virtual RequestId requestPayGateSettings() = 0;
    // The bank account of one of the user's accounts; 0 for an unknown account.
    virtual RequestId requestBankDetails(std::int32_t accountId) = 0;
    // The deposits and withdrawals of the search; the rows arrive in the data-service collections.
    virtual RequestId requestFinancialTransactions(const SearchInfo& search) = 0;

    using ReplyFn = std::function<void(const FundingReply& reply)>;
    using FailureFn = std::function<void(const FundingFailure& failure)>;
    using BankDetailsFn = std::function<void(const BankDetailsArrival& arrival)>;
    using HistoryFn = std::function<void(RequestId id)>;

    virtual std::unique_ptr<Handler> handleFundingReply(ReplyFn fn) = 0;
    virtual std::unique_ptr<Handler> handleFundingFailure(FailureFn fn) = 0;
    virtual std::unique_ptr<Handler> handleBankDetails(BankDetailsFn fn) = 0;
    // The funding history of a requestFinancialTransactions arrived.
    virtual std::unique_ptr<Handler> handleFundingHistory(HistoryFn fn) = 0;
};

} // namespace interfaces
