#include "session/business/session_requests.h"

#include "connection/device_info.h"
#include "interfaces/client.h"
#include "model/records/account_details.h"
#include "model/records/request_records.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "platform/decimal_text.h"
#include "platform/log.h"
#include "platform/strict_integer.h"
#include "wire/login_inputdata.h"
#include "wire/record_text.h"
#include "wire/separators.h"
#include "wire/wire_date.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <utility>

namespace tc {

namespace msg = wire::msg;
namespace tag = wire::tag;

namespace {

// Data-service sub-types: each selects the writer of its tag list.
enum DsType : int {
    kDsPlain = 0,
    kDsEquityHit = 1,
    kDsFinancialTransactions = 2,
    kDsAccountStatement = 3,
    kDsBankDetails = 4,
    kDsExecutedPositions = 5,
    kDsInstruments = 6,
    kDsSessionSchedule = 7,
    kDsUserMap = 8,
    kDsEditUserAccess = 9,
    kDsCancelledOrderHistory = 10,
    kDsResourceSearch = 11,
    kDsResourceDownload = 12,
    kDsPayGateSettings = 13,
};

std::optional<std::int32_t> readInt32(const std::string* text) {
    return text ? platform::strictInteger<std::int32_t>(*text) : std::nullopt;
}

} // namespace

// ---- PendingRequests

std::uint64_t PendingRequests::add(PendingRequest request, std::optional<PendingRequest>* dropped) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= kMaxPending) {
        const PendingRequest& oldest = entries_.front();
        platform::Log::warning("pending request {} ({}) dropped unanswered", oldest.requestId,
                               oldest.procedure);
        if (dropped)
            *dropped = std::move(entries_.front());
        entries_.pop_front();
    }
    request.sequence = nextSequence_++;
    entries_.push_back(std::move(request));
    return entries_.back().sequence;
}

std::optional<PendingRequest> PendingRequests::withdraw(std::uint64_t sequence) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [sequence](const PendingRequest& p) { return p.sequence == sequence; });
    if (it == entries_.end())
        return std::nullopt;
    PendingRequest found = std::move(*it);
    entries_.erase(it);
    return found;
}

std::deque<PendingRequest>::const_iterator PendingRequests::match(std::int64_t messageType,
                                                                  std::optional<std::int32_t> requestId,
                                                                  std::string_view procedure) const {
    return std::find_if(entries_.begin(), entries_.end(), [&](const PendingRequest& p) {
        return p.messageType == messageType && (!requestId || p.requestId == *requestId) &&
               (procedure.empty() || p.procedure == procedure);
    });
}

std::optional<PendingRequest> PendingRequests::take(std::int64_t messageType,
                                                    std::optional<std::int32_t> requestId,
                                                    std::string_view procedure) {
    std::lock_guard lock(mutex_);
    const auto it = match(messageType, requestId, procedure);
    if (it == entries_.end())
        return std::nullopt;
    PendingRequest found = *it;
    entries_.erase(it);
    return found;
}

std::optional<PendingRequest> PendingRequests::find(std::int64_t messageType,
                                                    std::optional<std::int32_t> requestId,
                                                    std::string_view procedure) const {
    std::lock_guard lock(mutex_);
    const auto it = match(messageType, requestId, procedure);
    if (it == entries_.end())
        return std::nullopt;
    return *it;
}

std::size_t PendingRequests::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void PendingRequests::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

// ---- SessionRequests: composition

void SessionRequests::setMessageProperties(MessageBase& message) const {
    message.setValue(tag::kUserName, context_.userName());
    message.setValue(tag::kReferenceId, context_.referenceId());
    message.setValue(tag::kTime, wire::dateText(context_.now()));
}

std::int32_t SessionRequests::nextRequestId() const {
    return followingRequestId(context_.requestId());
}

bool SessionRequests::sendRequest(MessageBase& message) {
    return send(message);
}

bool SessionRequests::send(MessageBase& message) {
    setMessageProperties(message);
    message.setSender(&context_.sender());
    const bool sent = message.BuildMessage();
    message.setSender(nullptr);
    return sent;
}

SentRequest SessionRequests::send(MessageBase& message, PendingRequest pending) {
    setMessageProperties(message);
    std::optional<PendingRequest> dropped;
    const std::uint64_t sequence = pending_.add(std::move(pending), &dropped);
    if (dropped)
        context_.requestAbandoned(*dropped, "93350"); // no reply before too many later requests
    message.setSender(&context_.sender());
    const bool sent = message.BuildMessage(sequence);
    message.setSender(nullptr);
    if (!sent) {
        pending_.withdraw(sequence);
        return {};
    }
    return {sequence};
}

MessageBase SessionRequests::dataServiceMessage(int dsRequestType, std::string_view procedure) const {
    MessageBase m;
    m.startRequest(msg::kDataService);
    m.setDsRequestType(dsRequestType);
    m.setValue(tag::kProcedure, procedure);
    m.setValue(tag::kPageSize, "1000");
    m.setValue(tag::kPage, "1");
    m.setValue(tag::kRequestId, nextRequestId());
    m.setValue(tag::kUserId, context_.userId());
    return m;
}

SentRequest SessionRequests::sendDataService(MessageBase& message, std::string subject) {
    PendingRequest pending;
    pending.requestId = readInt32(message.value(tag::kRequestId)).value_or(0);
    pending.messageType = msg::kDataService;
    pending.dsRequestType = message.dsRequestType();
    if (const std::string* procedure = message.value(tag::kProcedure))
        pending.procedure = *procedure;
    pending.subject = std::move(subject);
    return send(message, std::move(pending));
}

// ---- Data-service requests

SentRequest SessionRequests::requestOpenPosition() {
    MessageBase m = dataServiceMessage(kDsPlain, "getopenpositions");
    return sendDataService(m);
}

SentRequest SessionRequests::requestPendingOrders() {
    MessageBase m = dataServiceMessage(kDsPlain, "getpendingorders");
    return sendDataService(m);
}

SentRequest SessionRequests::requestSettledOrders() {
    MessageBase m = dataServiceMessage(kDsPlain, "getsettledpositions");
    return sendDataService(m);
}

SentRequest SessionRequests::requestCancelledOrders() {
    MessageBase m = dataServiceMessage(kDsPlain, "getcancelledorders");
    return sendDataService(m);
}

SentRequest SessionRequests::requestEquityPriceInfo(std::int32_t accountId) {
    MessageBase m = dataServiceMessage(kDsEquityHit, "getequityhitpriceinfo");
    m.setValue(tag::kPayloadForm, "0");
    m.setValue(tag::kAccount, platform::decimalText(accountId));
    return sendDataService(m, platform::decimalText(accountId));
}

SentRequest SessionRequests::requestFinancialTransactions(const SearchInfo& search) {
    if (!search.FromDate || !search.ToDate) {
        platform::Log::warning("financial transactions not requested: the search has no period");
        return {};
    }
    MessageBase m = dataServiceMessage(kDsFinancialTransactions, "getfinancialtransactions");
    m.setValue(tag::kAccount, search.AccountNumber);
    m.setValue(tag::kFromDate, wireDateTime(*search.FromDate));
    m.setValue(tag::kToDate, wireDateTime(*search.ToDate));
    m.setValue(tag::kTransactionFilter, search.TransactionDetails);
    return sendDataService(m);
}

SentRequest SessionRequests::requestAccountStatement(const StatementSelection& selection) {
    MessageBase m = dataServiceMessage(kDsAccountStatement, "getdsaccountstatement");
    m.setValue(tag::kAccount, selection.AccountId);
    m.setValue(tag::kFromDate, wireDateTime(selection.FromDate));
    m.setValue(tag::kToDate, wireDateTime(selection.ToDate));
    return sendDataService(m);
}

SentRequest SessionRequests::requestBankDetails(const AccountDetails& account) {
    MessageBase m = dataServiceMessage(kDsBankDetails, "getbankaccounts");
    m.setValue(tag::kAccount, platform::decimalText(account.AccountId));
    m.setValue(tag::kQualifier, "1");
    return sendDataService(m);
}

SentRequest SessionRequests::requestExecutedPosition(const SearchInfo& search) {
    if (!search.FromDate || !search.ToDate) {
        platform::Log::warning("executed positions not requested: the search has no period");
        return {};
    }
    MessageBase m = dataServiceMessage(kDsExecutedPositions, "getexecutedpositions");
    m.setValue(tag::kFromDate, wireDateTime(*search.FromDate));
    m.setValue(tag::kToDate, wireDateTime(*search.ToDate));
    return sendDataService(m);
}

SentRequest SessionRequests::requestAdvancedInstrumentInfo() {
    MessageBase m = dataServiceMessage(kDsInstruments, "getinstruments");
    m.setValue(tag::kPayloadForm, "3");
    return sendDataService(m);
}

SentRequest SessionRequests::requestSessionSchedule(std::uint64_t marketId) {
    MessageBase m = dataServiceMessage(kDsSessionSchedule, "getsessionschedule");
    m.setValue(tag::kMarketId, platform::decimalText(marketId));
    return sendDataService(m, platform::decimalText(marketId));
}

SentRequest SessionRequests::requestUserMapWithMyAccount(std::int32_t accountId) {
    MessageBase m = dataServiceMessage(kDsUserMap, "getusermapwithmyaccount");
    m.setValue(tag::kAccount, platform::decimalText(accountId));
    return sendDataService(m, platform::decimalText(accountId));
}

SentRequest SessionRequests::requestEditUserAccountAccessByClient(const UserAccountMaps& access) {
    MessageBase m = dataServiceMessage(kDsEditUserAccess, "addedituac");
    m.setValue(tag::kQualifier, "edituabycl");
    std::string record = platform::decimalText(access.userId);
    record += wire::kColumn;
    record += platform::decimalText(access.accountId);
    record += wire::kColumn;
    record += platform::decimalText(access.accountAccessTypeId);
    record += wire::kColumn;
    record += wire::kRecord;
    m.setValue(tag::kRecordText, record);
    return sendDataService(m);
}

SentRequest SessionRequests::requestCancelledOrderHistoryForAccount(const StatementSelection& selection) {
    MessageBase m = dataServiceMessage(kDsCancelledOrderHistory, "getcancelledorders");
    m.setValue(tag::kAccount, selection.AccountId);
    m.setValue(tag::kFromDate, wireDateTime(selection.FromDate));
    m.setValue(tag::kToDate, wireDateTime(selection.ToDate));
    return sendDataService(m);
}

SentRequest SessionRequests::requestApprovalRequest() {
    MessageBase m = dataServiceMessage(kDsPlain, "getapprovalrequest");
    return sendDataService(m);
}

SentRequest SessionRequests::requestFinancialApprovals() {
    MessageBase m = dataServiceMessage(kDsPlain, "getfinancialapprovals");
    return sendDataService(m);
}

SentRequest SessionRequests::requestGetAllPayGateSettings() {
    MessageBase m = dataServiceMessage(kDsPayGateSettings, "paygategetsettings");
    return sendDataService(m);
}

bool SessionRequests::requestResourceSearchForTypes(std::span<const std::string> resourceTypes) {
    bool all = true;
    for (const std::string& type : resourceTypes)
        all = static_cast<bool>(requestResourceSearch(type)) && all;
    return all;
}

SentRequest SessionRequests::requestResourceSearch(std::string_view resourceType) {
    const FileResource search = FileResource::initWithResourceType(resourceType, context_.productId());
    MessageBase m = dataServiceMessage(kDsResourceSearch, "resourcesearch");
    m.setValue(tag::kRecordText, search.getString(FileResource::kSearchMode));
    m.setValue(tag::kPayloadForm, 1);
    return sendDataService(m, std::string(resourceType));
}

SentRequest SessionRequests::requestFileResourceDownload(const FileResource& resource) {
    MessageBase m = dataServiceMessage(kDsResourceDownload, "resourcedownload");
    m.setValue(tag::kRecordText, resource.getString(FileResource::kDownloadMode));
    return sendDataService(m, resource.resourceName);
}

// ---- Chart, password, control

SentRequest SessionRequests::requestChartData(std::string_view instrument, std::string_view interval,
                                              std::int32_t noOfData) {
    MessageBase m;
    m.startRequest(msg::kChartData);
    m.setValue(tag::kInstrument, instrument);
    m.setValue(tag::kChartInterval, interval);
    const std::int32_t requestId = context_.requestId();
    m.setValue(tag::kRequestId, requestId);
    m.setValue(tag::kBarCount, noOfData);
    PendingRequest pending;
    pending.requestId = requestId;
    pending.messageType = msg::kChartData;
    pending.subject = std::string(instrument);
    pending.interval = std::string(interval);
    return send(m, std::move(pending));
}

bool SessionRequests::changeMyPassword(std::string_view oldPassword, std::string_view newPassword) {
    MessageBase m;
    m.startRequest(msg::kPasswordChange);
    m.setValue(tag::kOldPassword, oldPassword);
    m.setValue(tag::kNewPassword, newPassword);
    m.setValue(tag::kRequestId, platform::decimalText(nextRequestId()));
    return send(m);
}

bool SessionRequests::requestControlClientConnectMessage() {
    MessageBase m;
    m.startRequest(msg::kControl);
    return send(m);
}

// ---- Chat

bool SessionRequests::requestContactList() {
    MessageBase m;
    m.startRequest(msg::kContactList);
    m.setValue(tag::kChatUser, context_.userName());
    m.setValue(tag::kContactFilter, "1");
    return send(m);
}

bool SessionRequests::requestRecentConversation() {
    MessageBase m;
    m.startRequest(msg::kRecentConversation);
    m.setValue(tag::kChatUser, context_.userName());
    return send(m);
}

bool SessionRequests::requestOfflineMessages() {
    MessageBase m;
    m.startRequest(msg::kOfflineMessages);
    m.setValue(tag::kChatUser, context_.userName());
    return send(m);
}

bool SessionRequests::requestRoomMessage(std::string_view roomName, std::string_view roomId) {
    MessageBase m;
    m.startRequest(msg::kRoomMessages);
    m.setValue(tag::kChatUser, context_.userName());
    m.setValue(tag::kRoomName, roomName);
    m.setValue(tag::kRoomId, roomId);
    return send(m);
}

bool SessionRequests::requestChatMessageAcknowledgement(std::string_view roomName,
                                                        std::string_view messageId) {
    MessageBase m;
    m.startRequest(msg::kChatAcknowledgement);
    m.setValue(tag::kAcknowledgementText, "");
    // The server's room name and message id, cut by 0x05: either holding a separator would shift the
    // record's fields, so such an acknowledgement is not sent.
    const wire::RecordText record =
        wire::RecordWriter().text("room name", roomName).text("message id", messageId).finish(false);
    if (!record.ok()) {
        platform::Log::warning("chat acknowledgement not sent: {}", record.error);
        return false;
    }
    m.setValue(tag::kAcknowledgedMessage, record.text);
    m.setValue(tag::kChatUser, context_.userName());
    return send(m);
}

bool SessionRequests::SendRoomRequest(std::string_view partner) {
    MessageBase m;
    m.startRequest(msg::kRoomCreation);
    m.setValue(tag::kRequestId, platform::decimalText(nextRequestId()));
    m.setValue(tag::kChatPartner, partner);
    m.setValue(tag::kRoomState, "0");
    m.setValue(tag::kChatUser, context_.userName());
    return send(m);
}

bool SessionRequests::SendNewChatMessageToServer(std::string_view text, std::string_view roomNumber,
                                                 std::string_view roomName) {
    MessageBase m;
    m.startRequest(msg::kChatMessage);
    m.setValue(tag::kRoomId, roomNumber);
    m.setValue(tag::kRoomName, roomName);
    m.setValue(tag::kText, text);
    m.setValue(tag::kChatUser, context_.userName());
    return send(m);
}

bool SessionRequests::SendChatQueueRequest(std::string_view queueId, std::string_view text) {
    const auto& accounts = context_.model().AccountDetailCollection;
    if (accounts.empty()) {
        platform::Log::warning("support-queue chat not sent: the session has no account");
        return false;
    }
    MessageBase m;
    m.startRequest(msg::kChatQueueRequest);
    m.setValue(tag::kQueueId, queueId);
    m.setValue(tag::kAccount, accounts.front().first);
    m.setValue(tag::kText, text);
    m.setValue(tag::kRequestId, platform::decimalText(nextRequestId()));
    m.setValue(tag::kRoomState, "0");
    m.setValue(tag::kChatUser, context_.userName());
    return send(m);
}

std::optional<MessageBase> composeDemoRegistration(const interfaces::DemoRegistration& form,
                                                   const LoginInputData& login) {
    for (const std::string* text : {&form.name, &form.email, &form.phone, &form.country, &form.deposit})
        if (wire::findControlByte(*text) != std::string_view::npos)
            return std::nullopt;
    MessageBase m;
    m.startRequest(wire::msg::kDemoRegistration);
    m.setValue(tag::kEmail, form.email);
    m.setValue(tag::kRegistrationKind, "Trade");
    m.setValue(tag::kAmount, form.deposit);
    m.setValue(tag::kQualifier, form.country);
    m.setValue(tag::kRegistrationField2, "");
    m.setValue(tag::kRegistrationField3, "");
    m.setValue(tag::kRegistrationField4, "");
    m.setValue(tag::kRegistrationField5, "");
    m.setValue(tag::kTelephone, form.phone);
    m.setValue(tag::kNewsletter, form.newsletter ? "1" : "0");
    m.setValue(tag::kFullName, form.name);
    m.setValue(tag::kRegistrationProduct, login.productName().value_or(""));
    m.setValue(tag::kRequestId, "1");
    m.setValue(tag::kReferenceId, "1");
    m.setValue(tag::kDeviceAddress, DeviceInfo::ipAddress().value_or(""));
    m.setValue(tag::kDeviceDescription,
               DeviceInfo::model().value_or("") + "#" + DeviceInfo::systemVersion().value_or(""));
    m.setValue(tag::kDeviceUser, DeviceInfo::userName().value_or(""));
    return m;
}

} // namespace tc
