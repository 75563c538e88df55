#pragma once
// The outgoing side of the session: every request the business object sends that is not an order,
// composed each in its own MessageBase so requests from the main queue and from the dispatching
// thread never share a builder. Data-service and chart requests are also noted in a registry of
// pending requests, so their replies can be routed by what the request asked for rather than by
// whichever request happened to be built last.
#include "model/records/request_records.h"
#include "platform/date_format.h"
#include "wire/message_base.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace interfaces {
struct DemoRegistration;
}

namespace tc {

class AccountDetails;
class LoginInputData;
struct FileResource;
struct SearchInfo;
struct SessionModel;
struct UserAccountMaps;

// What the requests read from the session. The business object implements it; requests are composed
// on the main queue, where the session values live.
class RequestContext {
public:
    virtual ~RequestContext() = default;
    // Receives the built messages: stream messages already in their envelope, data-service, chart and
    // control messages plain (isZMQ).
    virtual MessageSender& sender() = 0;
    // The login user name: tag 23 of every header and the chat user of tag 504.
    virtual std::string userName() const = 0;
    // Tag 19 of the login snapshot.
    virtual std::string referenceId() const = 0;
    // The last request number received from the server; requests send it plus one.
    virtual std::int32_t requestId() const = 0;
    // UserId of the signed-in user (tag 115).
    virtual std::int32_t userId() const = 0;
    // Product of the session, for the resource searches.
    virtual std::uint64_t productId() const = 0;
    // Read only for its account collection (the equity requests at login completion and the account
    // of a support-queue chat), on the thread that owns the model.
    virtual const SessionModel& model() const = 0;
    // Tag 21 is this moment as local wire time.
    virtual platform::Date now() const { return platform::Date::now(); }
    // A request recorded as pending that will get no reply (the registry was full); any thread.
    // `reasonKey`: the text key of why.
    virtual void requestAbandoned(const struct PendingRequest& /*request*/, std::string_view /*reasonKey*/) {}
};

// The request number a request sends: the server's last one plus one, wrapping as the server's 32-bit
// counter does.
inline std::int32_t followingRequestId(std::int32_t last) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(last) + 1u);
}

// One data-service or chart request that has been sent and not yet answered.
struct PendingRequest {
    std::uint64_t sequence = 0;   // order of sending within the registry, unique
    std::int32_t requestId = 0;   // tag 20 as sent
    std::int64_t messageType = 0; // 1023 (data service) or 1040 (chart)
    int dsRequestType = 0;        // sub-type of a data-service request
    std::string procedure;        // tag 151; empty for a chart request
    std::string subject;  // resource search: the type; download: the resource name; chart: the instrument
    std::string interval; // chart only: the bar interval
};

// Data-service and chart requests in sending order, until their replies take them. The request
// socket answers one request at a time in order, so the oldest matching entry is the one a reply
// belongs to; request numbers alone do not tell requests apart (two sent before the next server
// message carry the same number). Thread-safe.
class PendingRequests {
public:
    // Past this the oldest entry is dropped (its reply never came); the session holds a few dozen.
    static constexpr std::size_t kMaxPending = 512;

    // Records a request; returns its sequence number. When the registry is full the oldest entry
    // makes room and is handed to `dropped`.
    std::uint64_t add(PendingRequest request, std::optional<PendingRequest>* dropped = nullptr);
    // Removes and returns the entry of that sequence (a request that could not be sent, or whose
    // transport failed); nullopt when none is pending.
    std::optional<PendingRequest> withdraw(std::uint64_t sequence);
    // Takes the oldest entry of the request type (1023 or 1040) matching the reply: its request number
    // when given, its procedure when not empty. nullopt when nothing pending matches.
    std::optional<PendingRequest> take(std::int64_t messageType, std::optional<std::int32_t> requestId,
                                       std::string_view procedure = {});
    // The oldest matching entry, left in place.
    std::optional<PendingRequest> find(std::int64_t messageType, std::optional<std::int32_t> requestId,
                                       std::string_view procedure = {}) const;
    std::size_t size() const;
    // Forgets everything: the request socket was closed, no reply will come.
    void clear();

private:
    std::deque<PendingRequest>::const_iterator
    match(std::int64_t messageType, std::optional<std::int32_t> requestId, std::string_view procedure) const;

    mutable std::mutex mutex_;
    std::deque<PendingRequest> entries_;
    std::uint64_t nextSequence_ = 1;
};

// What sending a data-service or chart request left: its sequence among the pending requests, which
// its reply or failure names; 0 when nothing was sent.
struct SentRequest {
    std::uint64_t sequence = 0;
    explicit operator bool() const noexcept { return sequence != 0; }
};

// The request methods of the business object, which forwards to them under the same names. Every
// method builds a fresh message and returns whether it was handed to the sender (false when a value
// is refused by the writer or a required input is missing; the reason is logged). Safe to call from
// several threads at once when the context is.
class SessionRequests {
public:
    explicit SessionRequests(RequestContext& context) : context_(context) {}

    // Puts the common header into the message: 23 user name, 19 reference id, 21 local wire time.
    void setMessageProperties(MessageBase& message) const;
    // The tag-20 value of a request: RequestId + 1 in 32-bit arithmetic (wrapping as the server's
    // counter does), never stored.
    std::int32_t nextRequestId() const;
    // Sends a request composed elsewhere (funding, chat) in its own message on the stream: adds the
    // header, builds and hands it to the sender. False when the writer refused a value or nothing went.
    bool sendRequest(MessageBase& message);

    // Data-service requests, type 1023, to the request socket; each answers with its pending sequence.
    SentRequest requestOpenPosition();
    SentRequest requestPendingOrders();
    SentRequest requestSettledOrders();
    SentRequest requestCancelledOrders();
    SentRequest requestEquityPriceInfo(std::int32_t accountId);
    SentRequest requestFinancialTransactions(const SearchInfo& search);
    SentRequest requestAccountStatement(const StatementSelection& selection);
    SentRequest requestBankDetails(const AccountDetails& account);
    SentRequest requestExecutedPosition(const SearchInfo& search);
    SentRequest requestAdvancedInstrumentInfo();
    SentRequest requestSessionSchedule(std::uint64_t marketId);
    SentRequest requestUserMapWithMyAccount(std::int32_t accountId);
    SentRequest requestEditUserAccountAccessByClient(const UserAccountMaps& access);
    SentRequest requestCancelledOrderHistoryForAccount(const StatementSelection& selection);
    SentRequest requestApprovalRequest();
    SentRequest requestFinancialApprovals();
    SentRequest requestGetAllPayGateSettings();
    // One search per type, in the given order; true when every one was sent.
    bool requestResourceSearchForTypes(std::span<const std::string> resourceTypes);
    SentRequest requestResourceSearch(std::string_view resourceType);
    SentRequest requestFileResourceDownload(const FileResource& resource);

    // Chart data, type 1040. Tag 20 is RequestId as it stands: the chart raises it first and keys
    // the reply by it.
    SentRequest requestChartData(std::string_view instrument, std::string_view interval,
                                 std::int32_t noOfData);

    // Type 37 on the stream.
    bool changeMyPassword(std::string_view oldPassword, std::string_view newPassword);
    // Type 1002, the request socket's keep-alive.
    bool requestControlClientConnectMessage();

    // Chat requests on the stream. The chat room's texts are passed as they stand in its record.
    bool requestContactList();
    bool requestRecentConversation();
    bool requestOfflineMessages();
    bool requestRoomMessage(std::string_view roomName, std::string_view roomId);
    bool requestChatMessageAcknowledgement(std::string_view roomName, std::string_view messageId);
    bool SendRoomRequest(std::string_view partner);
    bool SendNewChatMessageToServer(std::string_view text, std::string_view roomNumber,
                                    std::string_view roomName);
    // Not sent when the session has no account to name.
    bool SendChatQueueRequest(std::string_view queueId, std::string_view text);

    PendingRequests& pendingRequests() noexcept { return pending_; }
    const PendingRequests& pendingRequests() const noexcept { return pending_; }

private:
    // A type-1023 message with the fields every data-service request carries.
    MessageBase dataServiceMessage(int dsRequestType, std::string_view procedure) const;
    // Adds the header, builds and sends; a pending entry is recorded before the send (a fast reply
    // must find it) and withdrawn when nothing was sent.
    bool send(MessageBase& message);
    SentRequest send(MessageBase& message, PendingRequest pending);
    SentRequest sendDataService(MessageBase& message, std::string subject = {});

    RequestContext& context_;
    PendingRequests pending_;
};

// The demo-registration request (type 1026) of a form, sent in place of a login: its fields, the
// product's name and this machine's facts, the constant request and reference numbers; nullopt when
// a text holds a wire control byte.
std::optional<MessageBase> composeDemoRegistration(const interfaces::DemoRegistration& form,
                                                   const LoginInputData& login);

} // namespace tc
