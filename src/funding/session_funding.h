#pragma once
// The session's funding: the payment-gateway transactions, approval requests and their financial
// records, and the gateways the server offers, kept for one login; the deposit and withdrawal requests;
// the handlers of the gateway replies (94, 98, 96), the approval actions (694) and the funding rows of
// the data service. The business object owns it (through its services) and forwards to it; everything
// here runs on the main queue.
#include "funding/funding_rules.h"
#include "funding/waiting_approvals.h"
#include "interfaces/funding.h"
#include "model/funding_collections.h"
#include "model/records/financial_approval.h"
#include "model/records/funding_records.h"
#include "model/records/record_layout.h"
#include "platform/ordered_map.h"
#include "session/business/business_services.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace tc {
class BusinessBase;
class SessionEvents;
} // namespace tc

namespace tc::funding {

// The message of a deposit (93 for an online payment, else 693 with action 801) or a withdrawal (693
// with 802), without the request number, user id and header; `error` when a value cannot be written.
struct FundingMessage {
    MessageBase message;
    std::string error;
};
FundingMessage depositMessage(const NewDeposit& deposit);
FundingMessage withdrawalMessage(const NewWithdrawal& withdrawal);

// The label-0x03-value lines of a deposit or withdrawal request (wire::approval); empty for other actions.
// The amount is the request's standing amount: what was asked for while nothing is approved.
std::vector<std::string> approvalLines(std::int64_t action, const ApprovalReq& request,
                                       std::int64_t language);
// The banner (title, message) of a completed approval (930, 931) of a deposit or withdrawal.
struct ApprovalBanner {
    std::string title;
    std::string message;
};
ApprovalBanner approvalBanner(std::int64_t action, const ApprovalReq& request, std::int64_t language);
// The banner of a receipt (wire::approval) that came after its window had stopped waiting: the request, the
// account and the amount asked for, and where to look before sending it again.
ApprovalBanner lateReceiptBanner(std::int64_t action, const ApprovalReq& request, std::int64_t language);
// The banner of a receipt for one of the trader's accounts that answers no request waiting here.
ApprovalBanner unclaimedReceiptBanner(std::int64_t action, const ApprovalReq& request, std::int64_t language);

class SessionFunding final : public FundingHandlers {
public:
    using ReplyListener = std::function<void(const interfaces::FundingReply&)>;
    using FailureListener = std::function<void(const interfaces::FundingFailure&)>;

    explicit SessionFunding(BusinessBase& business);
    ~SessionFunding() override;

    // Requests. Refused (nothing sent) when the checks of funding_rules fail, when the account is not
    // one of this session's, or when the writer refuses a value; the error says why. An approval
    // request sent has a ticket, which the event of its answer names.
    interfaces::FundingRequestSent sendDepositRequest(const NewDeposit& deposit);
    interfaces::FundingRequestSent sendWithdrawalRequest(const NewWithdrawal& withdrawal);
    interfaces::RequestId requestGetAllPayGateSettings();
    // The window of the request of `ticket` stopped waiting for its answer.
    void giveUpRequest(std::uint64_t ticket) { waiting_.givenUp(ticket); }

    // The gateways held, in the order they arrived.
    std::vector<std::shared_ptr<const PayGateSetting>> getAllPayGateSettings() const;
    const FundingCollections& collections() const { return collections_; }

    void setListeners(ReplyListener replies, FailureListener failures);

    // FundingHandlers.
    // The pay-gate replies and the approval answers, handled below.
    void enterMessages(MessageRooms& rooms) override;
    void payGateMasterResponse(const MessageBase& message);
    void payGateTransactionResponse(const MessageBase& message);
    void payGateStatusResponse(const MessageBase& message);
    void createApprovalAction(std::int64_t actionCode, const std::vector<std::string>& fields);
    void fillApprovalRequests(const std::vector<std::string>& rows) override;
    void fillFinancialApprovals(const std::vector<std::string>& rows) override;
    void fillPayGateSettings(const std::vector<std::string>& rows) override;
    std::vector<std::string> takeUnansweredRequests() override;

private:
    using Tags = std::vector<records::TaggedField>;

    bool accountHeld(const std::shared_ptr<const AccountDetails>& account) const;
    bool accountHeld(std::uint64_t accountId) const;
    // Sends a composed request; `approvalAction` (wire::approval) makes it an approval request that waits
    // for its answer, 0 a gateway payment.
    // `description` names the request should the line be lost before its answer.
    interfaces::FundingRequestSent send(MessageBase& message, std::int64_t approvalAction,
                                        std::string description);
    // What the trader reads of a request: its kind, account and amount (and mode or gateway).
    std::string describe(const NewDeposit& deposit) const;
    std::string describe(const NewWithdrawal& withdrawal) const;
    // The text of `key` in the user's language, its {0} the text of `whyKey` when one is given.
    interfaces::CommandResult refusal(std::string_view key, std::string_view whyKey = {}) const;
    std::shared_ptr<PayGateTransaction> addOrUpdatePayGateTransaction(std::shared_ptr<PayGateTransaction> tx);
    void announcePayGate(std::int32_t state, const std::shared_ptr<PayGateTransaction>& tx,
                         std::int64_t error);
    // A receipt (of a wire::approval action) names the request it answers; one given up, or one for an
    // account of the trader's that no request claims, is told with a banner too.
    void announceApproval(std::int64_t action, const ApprovalReq& request,
                          WaitingApprovals::Answer answer = {});
    void newApprovalRequest(std::int64_t action, const Tags& tags);
    // The server's refusal a reply carries (its error, tag 1015, and text), told to the failure
    // listener as `failure`, else the window waiting for the request would wait for ever; a refused
    // approval request names the ticket of the request it answers, and is told with a banner when no
    // window waits for it. False when the reply carries no error. `number` names the request in the
    // log.
    bool toldRefusal(const Tags& tags, interfaces::FundingFailure failure, std::uint64_t number);
    std::shared_ptr<ApprovalReq> findRequest(std::uint64_t approvalRequestId);
    void emit(interfaces::FundingReply reply);

    BusinessBase& business_;
    std::unique_ptr<SessionEvents> events_;
    FundingCollections collections_;
    // Requests whose answer (a wire::approval receipt) was told; within the requests held, so bounded by
    // them.
    std::unordered_set<std::uint64_t> announced_;
    WaitingApprovals waiting_;
    // The gateway payments sent whose registration (94) has not come, named; the server answers them
    // in the order sent.
    std::deque<std::string> paymentsWaiting_;
    ReplyListener replyListener_;
    FailureListener failureListener_;
};

} // namespace tc::funding
