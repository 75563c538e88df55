#include "funding/session_funding.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/record_decimal.h"
#include "model/records/record_layout.h"
#include "model/records/tagged_fields.h"
#include "model/records/wall_time.h"
#include "model/text/formatter.h"
#include "model/text/journal_data.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "platform/amount_text.h"
#include "platform/decimal_text.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/strict_integer.h"
#include "session/business/business_base.h"
#include "session/business/session_events.h"
#include "wire/login_inputdata.h"
#include "wire/record_text.h"
#include "wire/wire_names.h"

#include <charconv>
#include <cmath>

namespace tc::funding {

namespace msg = wire::msg;
namespace tag = wire::tag;

namespace {

// Tags of the gateway replies that only this part reads.
constexpr int kGatewayInitiated = 146;
constexpr int kGatewayRequestId = 147;
constexpr int kGatewayRedirected = 148;
constexpr int kGatewayNotified = 149;
constexpr int kGatewayApiStatus = 150;
constexpr int kGatewayClosed = 49;
constexpr int kGatewayStatus = 572;
constexpr int kServerError = 1015;
constexpr int kRequestTime = 1058;
constexpr int kResultText = 1061;
constexpr int kResultForm = 1062;
constexpr int kApprovalRequestId = 1054;
constexpr int kApprovalOpen = 1055;
constexpr int kApprovalSentOn = 1056;
constexpr int kApprovalReadyToPost = 1057;
constexpr int kApprovalReference = 1064;

constexpr char kLineSeparator = '\x03';

using records::TaggedField;

// A gateway transaction as the master reply opens it.
constexpr auto kPayGateMasterLayout =
    records::recordLayout(records::int64(kGatewayRequestId, &PayGateTransaction::requestId),
                          records::int64(tag::kReferenceId, &PayGateTransaction::clientSessionId),
                          records::int64(tag::kAccount, &PayGateTransaction::accountId),
                          records::int64(tag::kPayGate, &PayGateTransaction::payGateId),
                          records::text(tag::kRemarks, &PayGateTransaction::remarks),
                          records::text(tag::kEmail, &PayGateTransaction::email),
                          records::text(tag::kTransactionFilter, &PayGateTransaction::transactionKey),
                          records::decimal(tag::kApprovalAmount, &PayGateTransaction::payRequestAmount),
                          records::int64(tag::kFundingUserId, &PayGateTransaction::requestedByUserId),
                          records::int64(kGatewayStatus, &PayGateTransaction::status),
                          records::time(kRequestTime, &PayGateTransaction::requestTime));

// The server's error on a gateway reply (0 for none) and its text.
struct ServerError {
    std::int64_t error = 0;
    std::string text;
};
constexpr auto kServerErrorLayout = records::recordLayout(records::int64(kServerError, &ServerError::error),
                                                          records::text(tag::kText, &ServerError::text));

// A gateway status reply. The state it reports replaces the held one, 0 for a missing value; its
// times are kept as sent, since an empty one and a missing one mean different things.
struct GatewayStatus {
    std::uint64_t requestId = 0;
    std::int64_t status = 0;
    std::int64_t apiStatus = 0;
    bool closed = false;
    std::optional<std::string_view> initiated, redirected, notified;
};
constexpr auto kGatewayStatusLayout = records::recordLayout(
    records::int64(kGatewayRequestId, &GatewayStatus::requestId),
    records::int64(kGatewayStatus, &GatewayStatus::status),
    records::int64(kGatewayApiStatus, &GatewayStatus::apiStatus),
    records::flag(kGatewayClosed, &GatewayStatus::closed),
    records::text(kGatewayInitiated, [](GatewayStatus& r, std::string_view v) { r.initiated = v; }),
    records::text(kGatewayRedirected, [](GatewayStatus& r, std::string_view v) { r.redirected = v; }),
    records::text(kGatewayNotified, [](GatewayStatus& r, std::string_view v) { r.notified = v; }));

// A gateway transaction's result record, in its form.
struct GatewayResult {
    std::string text;
    std::int64_t form = 0;
};
constexpr auto kGatewayResultLayout = records::recordLayout(
    records::text(kResultText, &GatewayResult::text), records::int64(kResultForm, &GatewayResult::form));

// What an approval reply says of the request it names, read only when present.
constexpr auto kApprovalStatusLayout =
    records::recordLayout(records::flag(kApprovalOpen, &ApprovalReq::isOpen),
                          records::flag(kApprovalReadyToPost, &ApprovalReq::isReadyToPost),
                          records::flag(kApprovalSentOn, &ApprovalReq::isRequestSentToCMS),
                          records::int64(kApprovalReference, &ApprovalReq::refRequestId));

// A request as the answer to a new one opens it, then its status.
constexpr auto kNewApprovalLayout = records::joined(
    records::recordLayout(records::int64(kApprovalRequestId, &ApprovalReq::approvalRequestId),
                          records::int64(tag::kApprovalCount, &ApprovalReq::approvalType),
                          records::int64(tag::kFundingUserId, &ApprovalReq::requestedByUserId),
                          records::time(kRequestTime, &ApprovalReq::requestedDateTime),
                          records::text(tag::kRemarks, &ApprovalReq::remarks),
                          records::int64(kGatewayRequestId, &ApprovalReq::transMasterId)),
    kApprovalStatusLayout);

// The request an approval reply names and the approval record it carries, in its form.
struct ApprovalAnswer {
    std::uint64_t requestId = 0;
    std::optional<std::string_view> record;
    std::int64_t recordForm = 0;
};
constexpr auto kApprovalAnswerLayout = records::recordLayout(
    records::int64(kApprovalRequestId, &ApprovalAnswer::requestId),
    records::text(tag::kApprovalRecord, [](ApprovalAnswer& a, std::string_view v) { a.record = v; }),
    records::int64(tag::kApprovalFlag, &ApprovalAnswer::recordForm));

// The request number (tag 20) an answer echoes, when it carries one that reads.
std::optional<std::int64_t> echoedRequestNumber(const std::vector<TaggedField>& fields) {
    std::optional<std::int64_t> echoed;
    for (const TaggedField& f : fields) {
        if (f.tag != tag::kRequestId)
            continue;
        echoed = platform::strictInteger<std::int64_t>(f.value);
    }
    return echoed;
}

ApprovalAnswer approvalAnswerOf(const std::vector<TaggedField>& fields) {
    ApprovalAnswer answer;
    records::readTagged(fields, kApprovalAnswerLayout, answer);
    return answer;
}

// An amount in the pay-gate request's form: the shortest text of its nearest double, "250", "99.5".
std::string wireAmount(const platform::Decimal& amount) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, amount.toDouble());
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::string text(std::int64_t language, std::string_view key) {
    return LanguageString::stringForSelectedLanguage(language, key).value_or(std::string(key));
}

// A banner's line: "label : value".
std::string bannerLine(std::int64_t language, std::string_view key, std::string_view value) {
    return text(language, key) + " : " + std::string(value);
}

std::string line(std::int64_t language, std::string_view key, std::string_view value) {
    std::string out = text(language, key);
    out.push_back(kLineSeparator);
    out.append(value);
    return out;
}

// The lines as the seam hands them on: label and value apart.
std::vector<interfaces::LabelValue> labelValuesOf(const std::vector<std::string>& lines) {
    std::vector<interfaces::LabelValue> out;
    out.reserve(lines.size());
    for (const std::string& l : lines) {
        const std::size_t cut = l.find(kLineSeparator);
        if (cut == std::string::npos)
            out.push_back({l, {}});
        else
            out.push_back({l.substr(0, cut), l.substr(cut + 1)});
    }
    return out;
}

std::string displayDate(const std::optional<std::string>& wire) {
    if (!wire)
        return {};
    return JournalData::reformatClockText(*wire, Formatter::kWireDateTime, Formatter::kDisplayDate)
        .value_or("");
}

// As every window shows an amount.
std::string twoDecimals(const platform::Decimal& amount) {
    return platform::amountText(amount.toDouble());
}

// The account and amount an approval record names, as the server reads them.
WaitingApprovals::Asked askedOf(const FinancialApproval& approval) {
    const bool deposit = approval.financialTransactionTypeId == FinancialApproval::kDeposit;
    return {deposit ? approval.beneficiaryAccount : approval.benefactorAccount, approval.requestedAmount};
}

// What an approval request about to go out asks for, read back from its record.
std::optional<WaitingApprovals::Asked> askedIn(const MessageBase& message) {
    const std::string* record = message.value(tag::kApprovalRecord);
    if (!record)
        return std::nullopt;
    FinancialApproval approval;
    approval.loadFromString(*record, FinancialApproval::kFullForm);
    return askedOf(approval);
}

} // namespace

FundingMessage depositMessage(const NewDeposit& deposit) {
    FundingMessage out;
    MessageBase& m = out.message;
    if (deposit.mode == kOnlinePayment) {
        m.startRequest(msg::kPayGateMaster);
        m.setValue(tag::kPayGate, platform::decimalText(deposit.payGateId));
        if (deposit.email)
            m.setValue(tag::kEmail, *deposit.email);
        m.setValue(tag::kAccount,
                   platform::decimalText(deposit.accountDetail ? deposit.accountDetail->AccountId : 0));
        m.setValue(tag::kApprovalAmount, wireAmount(deposit.amount));
        m.setValue(tag::kAmount, wireAmount(deposit.estimatedAmount));
    } else {
        const wire::RecordText record =
            FinancialApproval::forDeposit(deposit).getString(FinancialApproval::kFullForm);
        if (!record.ok()) {
            out.error = record.error;
            return out;
        }
        m.startRequest(msg::kApproval);
        m.setValue(tag::kApprovalCount, "1");
        m.setValue(tag::kApprovalAction, std::to_string(wire::approval::kDeposit));
        m.setValue(tag::kApprovalRecord, record.text);
        m.setValue(tag::kApprovalFlag, "0");
    }
    if (deposit.remarks)
        m.setValue(tag::kRemarks, *deposit.remarks);
    return out;
}

FundingMessage withdrawalMessage(const NewWithdrawal& withdrawal) {
    FundingMessage out;
    const wire::RecordText record =
        FinancialApproval::forWithdrawal(withdrawal).getString(FinancialApproval::kFullForm);
    if (!record.ok()) {
        out.error = record.error;
        return out;
    }
    MessageBase& m = out.message;
    m.startRequest(msg::kApproval);
    m.setValue(tag::kApprovalCount, "1");
    m.setValue(tag::kApprovalAction, std::to_string(wire::approval::kWithdrawal));
    if (withdrawal.remarks)
        m.setValue(tag::kRemarks, *withdrawal.remarks);
    m.setValue(tag::kApprovalRecord, record.text);
    m.setValue(tag::kApprovalFlag, "0");
    return out;
}

std::vector<std::string> approvalLines(std::int64_t action, const ApprovalReq& request,
                                       std::int64_t language) {
    const FinancialApproval none;
    const FinancialApproval& info = request.information ? *request.information : none;
    const auto l = [language](std::string_view key, std::string_view value) {
        return line(language, key, value);
    };
    const auto orEmpty = [](const std::optional<std::string>& v) { return v.value_or(""); };
    if (action == wire::approval::kDeposit)
        return {
            l("0725", std::to_string(request.approvalRequestId)),
            l("0012", std::to_string(info.beneficiaryAccount)),
            l("0726", tc::displayDate(request.requestedDateTime)),
            l("0714", FinancialEnum::getFinancialTransferMode(static_cast<std::int64_t>(info.transferMode))),
            l("0715", displayDate(info.dateOfTransaction)),
            l("0590", twoDecimals(standingAmount(info))),
            l("0624", orEmpty(info.bankName)),
            l("0716", orEmpty(info.branch)),
            l("0717", orEmpty(info.sourceBankAccount)),
            l("0718", orEmpty(info.destinationBankAccount)),
            l("0622", request.remarks),
        };
    if (action == wire::approval::kWithdrawal)
        return {
            l("0725", std::to_string(request.approvalRequestId)),
            l("0012", std::to_string(info.benefactorAccount)),
            l("0726", tc::displayDate(request.requestedDateTime)),
            l("0590", twoDecimals(standingAmount(info))),
            l("0622", request.remarks),
        };
    return {};
}

ApprovalBanner approvalBanner(std::int64_t action, const ApprovalReq& request, std::int64_t language) {
    ApprovalBanner banner;
    if ((action != 930 && action != 931) || (request.approvalSubType != ApprovalReq::kDepositSubType &&
                                             request.approvalSubType != ApprovalReq::kWithdrawalSubType))
        return banner;
    const bool deposit = request.approvalSubType == ApprovalReq::kDepositSubType;
    const FinancialApproval none;
    const FinancialApproval& info = request.information ? *request.information : none;
    banner.title =
        text(language, deposit ? (action == 930 ? "1181" : "1183") : (action == 930 ? "1182" : "1184"));
    banner.message = bannerLine(language, "0012",
                                std::to_string(deposit ? info.beneficiaryAccount : info.benefactorAccount)) +
                     '\n' + bannerLine(language, "0590", twoDecimals(info.approvedAmount));
    return banner;
}

namespace {

// A receipt told in a banner: the request, the account and the amount asked for, and a closing line.
ApprovalBanner receiptBanner(std::int64_t action, const ApprovalReq& request, std::int64_t language,
                             std::string_view titleKey, std::string_view closingKey) {
    const bool deposit = action == wire::approval::kDeposit;
    const FinancialApproval none;
    const FinancialApproval& info = request.information ? *request.information : none;
    ApprovalBanner banner;
    banner.title = text(language, titleKey);
    banner.message = bannerLine(language, "0725", std::to_string(request.approvalRequestId)) + '\n' +
                     bannerLine(language, "0012",
                                std::to_string(deposit ? info.beneficiaryAccount : info.benefactorAccount)) +
                     '\n' + bannerLine(language, "0590", twoDecimals(info.requestedAmount)) + '\n' +
                     text(language, closingKey);
    return banner;
}

} // namespace

ApprovalBanner lateReceiptBanner(std::int64_t action, const ApprovalReq& request, std::int64_t language) {
    return receiptBanner(action, request, language, action == wire::approval::kDeposit ? "93200" : "93201",
                         "93202");
}

ApprovalBanner unclaimedReceiptBanner(std::int64_t action, const ApprovalReq& request,
                                      std::int64_t language) {
    return receiptBanner(action, request, language, action == wire::approval::kDeposit ? "94706" : "94707",
                         "94708");
}

SessionFunding::SessionFunding(BusinessBase& business)
    : business_(business), events_(SessionEvents::ForPartOf(business)) {}

SessionFunding::~SessionFunding() = default;

void SessionFunding::enterMessages(MessageRooms& rooms) {
    namespace msg = wire::msg;
    rooms.enter(msg::kPayGateMasterReply, {}, true,
                [this](const RoomMessage& m) { payGateMasterResponse(m.message()); });
    rooms.enter(msg::kPayGateTransactionReply, {}, true,
                [this](const RoomMessage& m) { payGateTransactionResponse(m.message()); });
    rooms.enter(msg::kPayGateStatusReply, {}, true,
                [this](const RoomMessage& m) { payGateStatusResponse(m.message()); });
    // A missing action code reads as 0, which no approval handler acts on.
    rooms.enter(msg::kApprovalReply, {wire::tag::kApprovalAction}, true, [this](const RoomMessage& m) {
        createApprovalAction(m.integer(wire::tag::kApprovalAction), m.fields());
    });
}

void SessionFunding::setListeners(ReplyListener replies, FailureListener failures) {
    replyListener_ = std::move(replies);
    failureListener_ = std::move(failures);
}

void SessionFunding::emit(interfaces::FundingReply reply) {
    if (replyListener_)
        replyListener_(reply);
}

// ---- requests

bool SessionFunding::accountHeld(const std::shared_ptr<const AccountDetails>& account) const {
    return account && account->AccountId > 0 && accountHeld(static_cast<std::uint64_t>(account->AccountId));
}

bool SessionFunding::accountHeld(std::uint64_t accountId) const {
    const auto* held = business_.session().AccountDetailCollection.get(sessionKey64(accountId));
    return held && *held;
}

interfaces::CommandResult SessionFunding::refusal(std::string_view key, std::string_view whyKey) const {
    std::string text = business_.textForKey(key);
    if (!whyKey.empty())
        text = fillPositional(text, {business_.textForKey(whyKey)});
    return interfaces::CommandResult::refused(std::move(text));
}

std::string SessionFunding::describe(const NewDeposit& deposit) const {
    const std::string account = deposit.accountDetail ? std::to_string(deposit.accountDetail->AccountId) : "";
    const std::string amount = platform::amountText(deposit.amount);
    if (deposit.mode == kOnlinePayment) {
        const auto gateway = collections_.payGateSettings.find(deposit.payGateId);
        return fillPositional(business_.textForKey("95352"), {amount, gateway ? gateway->name : "", account});
    }
    return fillPositional(
        business_.textForKey("95350"),
        {std::string(FinancialEnum::getFinancialTransferMode(deposit.mode)), amount, account});
}

std::string SessionFunding::describe(const NewWithdrawal& withdrawal) const {
    return fillPositional(
        business_.textForKey("95351"),
        {platform::amountText(withdrawal.amount),
         withdrawal.accountDetail ? std::to_string(withdrawal.accountDetail->AccountId) : ""});
}

std::vector<std::string> SessionFunding::takeUnansweredRequests() {
    std::vector<std::string> named = waiting_.takeUnanswered();
    for (std::string& payment : std::exchange(paymentsWaiting_, {}))
        named.push_back(std::move(payment));
    return named;
}

interfaces::FundingRequestSent SessionFunding::send(MessageBase& message, std::int64_t approvalAction,
                                                    std::string description) {
    // Read before the writer empties the message.
    const std::optional<WaitingApprovals::Asked> asked = askedIn(message);
    const std::int32_t number = business_.sessionRequests().nextRequestId();
    message.setValue(tag::kRequestId, platform::decimalText(number));
    message.setValue(tag::kFundingUserId, platform::decimalText(business_.userId()));
    if (!business_.conn().isNetworkAvailable())
        return refusal("1007");
    if (!business_.sessionRequests().sendRequest(message))
        return refusal("93320");
    if (approvalAction == 0) {
        if (paymentsWaiting_.size() >= WaitingApprovals::kMaxWaiting)
            paymentsWaiting_.pop_front();
        paymentsWaiting_.push_back(std::move(description));
        return interfaces::CommandResult::done();
    }
    return {interfaces::CommandResult::done(),
            waiting_.sent(approvalAction, number, asked, std::move(description))};
}

interfaces::FundingRequestSent SessionFunding::sendDepositRequest(const NewDeposit& deposit) {
    constexpr std::string_view kDepositRefused = "93321";
    if (auto refused = checkDeposit(deposit)) {
        platform::Log::info("deposit refused: {}", refused->message);
        return refusal(kDepositRefused, refusalKey(refused->code));
    }
    if (!accountHeld(deposit.accountDetail))
        return refusal(kDepositRefused, "93330");
    if (deposit.mode == kOnlinePayment && !collections_.payGateSettings.find(deposit.payGateId))
        return refusal(kDepositRefused, "93331");
    FundingMessage composed = depositMessage(deposit);
    if (!composed.error.empty()) {
        platform::Log::warning("deposit request not composed: {}", composed.error);
        return refusal(kDepositRefused, "93332");
    }
    return send(composed.message, deposit.mode == kOnlinePayment ? 0 : wire::approval::kDeposit,
                describe(deposit));
}

interfaces::FundingRequestSent SessionFunding::sendWithdrawalRequest(const NewWithdrawal& withdrawal) {
    constexpr std::string_view kWithdrawalRefused = "93322";
    if (auto refused = checkWithdrawal(withdrawal)) {
        platform::Log::info("withdrawal refused: {}", refused->message);
        return refusal(kWithdrawalRefused, refusalKey(refused->code));
    }
    if (!accountHeld(withdrawal.accountDetail))
        return refusal(kWithdrawalRefused, "93330");
    FundingMessage composed = withdrawalMessage(withdrawal);
    if (!composed.error.empty()) {
        platform::Log::warning("withdrawal request not composed: {}", composed.error);
        return refusal(kWithdrawalRefused, "93332");
    }
    return send(composed.message, wire::approval::kWithdrawal, describe(withdrawal));
}

interfaces::RequestId SessionFunding::requestGetAllPayGateSettings() {
    return business_.sessionRequests().requestGetAllPayGateSettings().sequence;
}

std::vector<std::shared_ptr<const PayGateSetting>> SessionFunding::getAllPayGateSettings() const {
    return collections_.payGateSettings.getAllPayGateSettings();
}

// ---- gateway replies

std::shared_ptr<PayGateTransaction>
SessionFunding::addOrUpdatePayGateTransaction(std::shared_ptr<PayGateTransaction> tx) {
    if (!tx || tx->requestId == 0)
        return nullptr;
    const std::string key = platform::decimalText(tx->requestId);
    if (auto* held = collections_.payGateTransactions.get(key))
        return *held;
    if (collections_.payGateTransactions.size() >= FundingCollections::kMaxEntries) {
        platform::Log::warning("payGateTransactions is full; transaction {} dropped", tx->requestId);
        return nullptr;
    }
    collections_.payGateTransactions.insert_or_assign(key, tx);
    return tx;
}

void SessionFunding::announcePayGate(std::int32_t state, const std::shared_ptr<PayGateTransaction>& tx,
                                     std::int64_t error) {
    using Kind = interfaces::FundingReply::Kind;
    const Kind kind = state == 1   ? Kind::PayGateStarted
                      : state == 2 ? Kind::PayGateProgress
                                   : Kind::PayGateResult;
    const std::int64_t status = !tx ? 0 : state == 3 ? tx->transStatus : tx->status;
    emit({kind, tx ? tx->requestId : 0, error, status, {}});
}

void SessionFunding::payGateMasterResponse(const MessageBase& message) {
    const Tags tags = records::taggedFields(message.messageArray());
    auto tx = std::make_shared<PayGateTransaction>();
    records::readTagged(tags, kPayGateMasterLayout, *tx);
    tx->payGate = collections_.payGateSettings.find(tx->payGateId);
    // The oldest payment sent is answered, registered or refused.
    if (!paymentsWaiting_.empty())
        paymentsWaiting_.pop_front();
    if (toldRefusal(tags, {tx->requestId, 0, {}, interfaces::FundingFailure::Request::Payment},
                    tx->requestId))
        return;
    auto stored = addOrUpdatePayGateTransaction(tx);
    if (stored && stored == tx)
        announcePayGate(1, stored, 0);
}

void SessionFunding::payGateStatusResponse(const MessageBase& message) {
    GatewayStatus reply;
    records::readTagged(records::taggedFields(message.messageArray()), kGatewayStatusLayout, reply);
    auto* held = collections_.payGateTransactions.get(platform::decimalText(reply.requestId));
    if (!held || !*held)
        return;
    PayGateTransaction& tx = **held;
    tx.status = reply.status;
    tx.apiStatus = reply.apiStatus;
    tx.isClosed = reply.closed;
    // An empty value keeps the time known; an absent one clears it.
    for (const auto& [sent, field] :
         {std::pair{reply.initiated, &tx.initiatedTime}, std::pair{reply.redirected, &tx.redirectedTime},
          std::pair{reply.notified, &tx.notifiedTime}}) {
        if (!sent)
            field->reset();
        else if (!sent->empty())
            *field = wallTimeFromWire(*sent);
    }
    announcePayGate(2, *held, 0);
}

void SessionFunding::payGateTransactionResponse(const MessageBase& message) {
    const Tags tags = records::taggedFields(message.messageArray());
    ServerError answer;
    records::readTagged(tags, kServerErrorLayout, answer);
    const std::int64_t error = answer.error;
    GatewayResult reply;
    records::readTagged(tags, kGatewayResultLayout, reply);
    AmpPayGateTransaction result;
    if (!reply.text.empty())
        result.loadFromString(reply.text, reply.form);
    auto fresh = std::make_shared<PayGateTransaction>();
    fresh->requestId = result.refRequestId;
    auto tx = addOrUpdatePayGateTransaction(fresh);
    if (!tx)
        return;
    tx->applyResult(result);
    announcePayGate(3, tx, error);
    PaymentOutcome outcome{tx->transStatus, tx->payTransactionId, tx->requestId, error};
    const std::string line = JournalData::getPaymentTransactionJournalData(
        outcome, JournalContext::from(business_.loginData(), business_.application().selectedLanguage(),
                                      business_.ServerTime().value_or("")));
    if (!line.empty())
        business_.appendJournal(line);
}

// ---- approvals

std::shared_ptr<ApprovalReq> SessionFunding::findRequest(std::uint64_t approvalRequestId) {
    if (approvalRequestId == 0)
        return nullptr;
    const auto it = collections_.approvalRequests.find(approvalRequestId);
    return it == collections_.approvalRequests.end() ? nullptr : it->second;
}

namespace {

void readFinancialApproval(FinancialApproval& approval, const ApprovalAnswer& answer) {
    if (answer.record)
        approval.loadFromString(*answer.record, answer.recordForm);
}

} // namespace

void SessionFunding::announceApproval(std::int64_t action, const ApprovalReq& request,
                                      WaitingApprovals::Answer answer) {
    const std::int64_t language = business_.application().selectedLanguage();
    using Kind = interfaces::FundingReply::Kind;
    if (action == wire::approval::kDeposit || action == wire::approval::kWithdrawal) {
        std::vector<std::string> lines = approvalLines(action, request, language);
        // No window waits for it, and it may be money that moved: the trader is told all the same. A
        // receipt no request of ours claims is told when it is for one of the trader's accounts.
        const FinancialApproval none;
        const FinancialApproval& info = request.information ? *request.information : none;
        const std::uint64_t account =
            action == wire::approval::kDeposit ? info.beneficiaryAccount : info.benefactorAccount;
        if (answer.late || (answer.ticket == 0 && accountHeld(account))) {
            ApprovalBanner told = answer.late ? lateReceiptBanner(action, request, language)
                                              : unclaimedReceiptBanner(action, request, language);
            events_->CommonUserNotification(std::move(told.message), std::move(told.title));
        }
        interfaces::FundingReply reply{action == wire::approval::kDeposit ? Kind::DepositRequested
                                                                          : Kind::WithdrawalRequested,
                                       request.approvalRequestId,
                                       action,
                                       0,
                                       labelValuesOf(lines),
                                       answer.ticket};
        reply.late = answer.late;
        emit(std::move(reply));
        return;
    }
    ApprovalBanner banner = approvalBanner(action, request, language);
    if (!banner.title.empty())
        events_->CommonUserNotification(std::move(banner.message), std::move(banner.title));
    emit({Kind::ApprovalCompleted, request.approvalRequestId, action, 0, {}});
}

bool SessionFunding::toldRefusal(const Tags& tags, interfaces::FundingFailure failure, std::uint64_t number) {
    ServerError answer;
    records::readTagged(tags, kServerErrorLayout, answer);
    if (answer.error == 0)
        return false;
    const bool payment = failure.request == interfaces::FundingFailure::Request::Payment;
    const bool deposit = failure.request == interfaces::FundingFailure::Request::Deposit;
    WaitingApprovals::Answer answered;
    if (!payment) {
        answered = waiting_.answered(deposit ? wire::approval::kDeposit : wire::approval::kWithdrawal,
                                     echoedRequestNumber(tags));
        failure.id = answered.ticket;
    }
    failure.code = answer.error;
    failure.text = answer.text.empty() ? fillPositional(business_.textForKey(payment ? "94700" : "94701"),
                                                        {std::to_string(answer.error)})
                                       : std::move(answer.text);
    platform::Log::warning("{} request {} refused by the server: error {}", payment ? "payment" : "approval",
                           number, answer.error);
    // A refusal no window waits for (its own gave up) is told all the same.
    if (!payment && (answered.late || answered.ticket == 0))
        events_->CommonUserNotification(fillPositional(business_.textForKey("94705"), {failure.text}),
                                        business_.textForKey(deposit ? "94703" : "94704"));
    if (failureListener_)
        failureListener_(std::move(failure));
    return true;
}

void SessionFunding::newApprovalRequest(std::int64_t action, const Tags& tags) {
    using Request = interfaces::FundingFailure::Request;
    if (toldRefusal(tags,
                    {0, 0, {}, action == wire::approval::kDeposit ? Request::Deposit : Request::Withdrawal},
                    static_cast<std::uint64_t>(action)))
        return;
    const ApprovalAnswer answer = approvalAnswerOf(tags);
    const std::uint64_t id = answer.requestId;
    auto approval = std::make_shared<FinancialApproval>();
    readFinancialApproval(*approval, answer);
    const std::uint64_t account =
        action == wire::approval::kDeposit ? approval->beneficiaryAccount : approval->benefactorAccount;
    if (id == 0 || approval->approvalRequestId != id || account == 0)
        return;
    if (const auto known = collections_.approvalRequests.find(id);
        known != collections_.approvalRequests.end()) {
        // The login's list of requests and the answer to a request sent at once cross on the wire: the
        // list may bring the record first, and the answer is still the user's, told once.
        ApprovalReq& request = *known->second;
        if (!request.information) {
            request.information = approval;
            collections_.financialApprovals.try_emplace(id, approval);
        }
        records::readTagged(tags, kApprovalStatusLayout, request);
        if (announced_.insert(id).second &&
            (action == wire::approval::kWithdrawal || request.transMasterId == 0))
            announceApproval(action, request,
                             waiting_.answered(action, echoedRequestNumber(tags), askedOf(*approval)));
        return;
    }
    if (collections_.approvalRequests.size() >= FundingCollections::kMaxEntries) {
        platform::Log::warning("approvalRequests is full; request {} dropped", id);
        return;
    }
    auto request = std::make_shared<ApprovalReq>();
    records::readTagged(tags, kNewApprovalLayout, *request);
    request->approvalSubType =
        action == wire::approval::kDeposit ? ApprovalReq::kDepositSubType : ApprovalReq::kWithdrawalSubType;
    request->information = approval;
    collections_.approvalRequests[id] = request;
    collections_.financialApprovals[id] = approval;
    announced_.insert(id);
    // A gateway deposit is followed by the gateway's own announcements instead, and answers no
    // approval request of ours.
    if (action == wire::approval::kWithdrawal || request->transMasterId == 0)
        announceApproval(action, *request,
                         waiting_.answered(action, echoedRequestNumber(tags), askedOf(*approval)));
}

void SessionFunding::createApprovalAction(std::int64_t actionCode, const std::vector<std::string>& fields) {
    const Tags tags = records::taggedFields(fields);
    switch (actionCode) {
    case wire::approval::kDeposit:
    case wire::approval::kWithdrawal:
        newApprovalRequest(actionCode, tags);
        return;
    case 927:
    case 928:
    case 929: {
        const ApprovalAnswer answer = approvalAnswerOf(tags);
        auto request = findRequest(answer.requestId);
        if (!request)
            return;
        records::readTagged(tags, kApprovalStatusLayout, *request);
        if (actionCode == 929 && request->information) {
            FinancialApproval amounts;
            readFinancialApproval(amounts, answer);
            request->information->requestedAmount = amounts.requestedAmount;
            request->information->approvedAmount = amounts.approvedAmount;
        }
        emit(
            {interfaces::FundingReply::Kind::ApprovalUpdated, request->approvalRequestId, actionCode, 0, {}});
        return;
    }
    case 930:
    case 931: {
        const ApprovalAnswer answer = approvalAnswerOf(tags);
        auto request = findRequest(answer.requestId);
        if (!request)
            return;
        records::readTagged(tags, kApprovalStatusLayout, *request);
        if (!request->information) {
            auto approval = std::make_shared<FinancialApproval>();
            readFinancialApproval(*approval, answer);
            request->information = approval;
            collections_.financialApprovals[request->approvalRequestId] = approval;
        } else {
            auto& stored = collections_.financialApprovals[request->approvalRequestId];
            if (!stored)
                stored = request->information;
            readFinancialApproval(*stored, answer);
        }
        announceApproval(actionCode, *request);
        return;
    }
    default:
        return;
    }
}

// ---- data-service rows

void SessionFunding::fillApprovalRequests(const std::vector<std::string>& rows) {
    collections_.approvalRequestsIn = true;
    for (const std::string& row : rows) {
        auto request = std::make_shared<ApprovalReq>(ApprovalReq::fromRecord(row));
        if (!collections_.approvalRequests.contains(request->approvalRequestId) &&
            collections_.approvalRequests.size() >= FundingCollections::kMaxEntries) {
            platform::Log::warning("approvalRequests is full; rows dropped");
            break;
        }
        // A financial approval already read links at once.
        if (auto it = collections_.financialApprovals.find(request->approvalRequestId);
            it != collections_.financialApprovals.end())
            request->information = it->second;
        collections_.approvalRequests[request->approvalRequestId] = std::move(request);
    }
}

void SessionFunding::fillFinancialApprovals(const std::vector<std::string>& rows) {
    collections_.financialApprovalsIn = true;
    for (const std::string& row : rows) {
        auto approval = std::make_shared<FinancialApproval>();
        approval->loadFromString(row, FinancialApproval::kFullForm);
        const std::uint64_t id = approval->approvalRequestId;
        if (!collections_.financialApprovals.contains(id) &&
            collections_.financialApprovals.size() >= FundingCollections::kMaxEntries) {
            platform::Log::warning("financialApprovals is full; rows dropped");
            break;
        }
        if (auto it = collections_.approvalRequests.find(id); it != collections_.approvalRequests.end())
            it->second->information = approval;
        collections_.financialApprovals[id] = std::move(approval);
    }
}

void SessionFunding::fillPayGateSettings(const std::vector<std::string>& rows) {
    const auto& currencies = business_.session().tradeCurrencyCollection;
    const PayGateSettings::CurrencyLookup currencyOf =
        [&currencies](std::uint64_t id) -> std::shared_ptr<const TradeCurrency> {
        const auto* found = currencies.get(platform::decimalText(id));
        return found ? found->shared() : nullptr;
    };
    for (const std::string& row : rows)
        collections_.payGateSettings.fillPayGateSettingsDetails(row, currencyOf);
}

} // namespace tc::funding
