#include "wire/message_builders.h"

#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/separators.h"
#include "wire/wire_names.h"

#include <charconv>
#include <utility>

namespace tc {

namespace {

using enum BuildPath;
using namespace wire::tag;
namespace msg = wire::msg;

// One row per builder. Every builder writes exactly its listed tags, in this order, each value taken
// from the dictionary (tag 10 included: callers put the type there themselves). No builder writes a
// value of its own; what sets rows apart is the path, the multi-frame reply of the resource download,
// the record text some of them carry, and the ping's notice to the sender.
constexpr MessageLayout kLayouts[] = {
    // Login and account messages.
    {.type = msg::kLogin,
     .builder = "BuildLoginRequestMessage",
     .tags = tags(kMessageType, kUserName, kPassword, kRequestId, kReferenceId, kProductName, kProductVersion,
                  kDeviceAddress, kDeviceDescription, kDeviceUser, kPayloadForm, kTime),
     .path = StreamInitial},
    {.type = msg::kDemoRegistration,
     .builder = "BuildDemoUserCreationRequestMessage",
     .tags = tags(kMessageType, kEmail, kRegistrationKind, kAmount, kQualifier, kRegistrationField2,
                  kRegistrationField3, kRegistrationField4, kRegistrationField5, kTelephone, kNewsletter,
                  kFullName, kRegistrationProduct, kRequestId, kReferenceId, kDeviceAddress,
                  kDeviceDescription, kDeviceUser),
     .path = StreamInitial},
    {.type = msg::kPing,
     .builder = "BuildPingConnectionRequestMessage",
     .tags = tags(kMessageType, kRequestId, kTime),
     .path = Stream,
     .hook = BuildHook::PingSent},
    {.type = msg::kPasswordChange,
     .builder = "BuildPasswordChangeRequestMessage",
     .tags = tags(kMessageType, kUserName, kOldPassword, kNewPassword, kRequestId, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kControl,
     .builder = "buildControlClientMessageRequest",
     .tags = tags(kMessageType, kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kApproval,
     .builder = "buildApprovalRequest",
     .tags = tags(kMessageType, kApprovalCount, kApprovalAction, kRemarks, kRequestId, kFundingUserId,
                  kApprovalRecord, kApprovalFlag, kUserName, kReferenceId, kTime),
     .path = Stream,
     .recordTag = kApprovalRecord},
    {.type = msg::kPayGateMaster,
     .builder = "buildPayGateMasterRequest",
     .tags = tags(kMessageType, kPayGate, kEmail, kAccount, kApprovalAmount, kAmount, kRemarks, kRequestId,
                  kFundingUserId, kUserName, kReferenceId, kTime),
     .path = Stream},

    // Order messages.
    {.type = msg::kOrder,
     .subtypeField = SubtypeField::NewOrder,
     .subtypeMask = subtypes({0}),
     .builder = "BuildPlaceNewOrderRequestMessage",
     .tags =
         tags(kMessageType, kAccount, kUserName, kOrderRequestId, kReferenceId, kInstrument, kOrderType,
              kDeliveryMode, kQuantity, kPrice, kLimitPrice, kStopPrice, kSpread, kTradingMode, kDeviation,
              kOrderStatus, kTimeInForce, kBid, kAsk, kLast, kHigh, kLow, kItemTime, kTransactionTime),
     .path = Stream},
    {.type = msg::kOrder,
     .subtypeField = SubtypeField::NewOrder,
     .subtypeMask = subtypes({1}),
     .builder = "BuildOffsetOrderRequestMessage",
     .tags = tags(kMessageType, kAccount, kOffsetOrder, kUserName, kOrderRequestId, kReferenceId, kInstrument,
                  kOrderType, kDeliveryMode, kQuantity, kPrice, kSpread, kTradingMode, kDeviation,
                  kOrderStatus, kTimeInForce, kBid, kAsk, kLast, kHigh, kLow, kItemTime, kTransactionTime),
     .path = Stream},
    {.type = msg::kEditOrder,
     .subtypeField = SubtypeField::EditOrder,
     .subtypeMask = subtypes({0}),
     .builder = "BuildEditBracketOrderRequestMessage",
     .tags = tags(kMessageType, kEditKind, kAccount, kUserName, kBracketPositionId, kOrderRequestId,
                  kReferenceId, kInstrument, kOrderType, kDeliveryMode, kQuantity, kPrice, kLimitPrice,
                  kStopPrice, kSpread, kTradingMode, kOrderStatus, kTimeInForce, kBid, kAsk, kLast, kHigh,
                  kLow, kItemTime, kTransactionTime),
     .path = Stream},
    {.type = msg::kEditOrder,
     .subtypeField = SubtypeField::EditOrder,
     .subtypeMask = subtypes({1, 2}), // 1 cancel, 2 edit: same layout, the caller's quantity differs
     .builder = "BuildEditWorkingOrderRequestMessage",
     .tags = tags(kMessageType, kEditKind, kAccount, kUserName, kPendingOrderId, kOrderRequestId,
                  kReferenceId, kInstrument, kOrderType, kDeliveryMode, kQuantity, kPrice, kLimitPrice,
                  kStopPrice, kSpread, kTradingMode, kOrderStatus, kTimeInForce, kBid, kAsk, kLast, kHigh,
                  kLow, kItemTime, kTransactionTime),
     .path = Stream},
    {.type = msg::kMultiAccountOrder,
     .builder = "BuildBulkOrderRequest",
     .tags = tags(kMessageType, kUserName, kReferenceId, kInstrument, kOrderType, kDeliveryMode, kPrice,
                  kLimitPrice, kStopPrice, kSpread, kTradingMode, kDeviation, kOrderStatus, kTimeInForce,
                  kBid, kAsk, kLast, kHigh, kLow, kItemTime, kTransactionTime, kAccountRecords),
     .path = Stream,
     .recordTag = kAccountRecords}, // per-account records: account 0x05 quantity 0x05 request 0x06
    {.type = msg::kCloseAll,
     .builder = "buildClosePositionsRequest",
     .tags = tags(kMessageType, kCloseRecords, kRequestId, kUserName, kReferenceId, kTime),
     .path = Stream,
     .recordTag = kCloseRecords},
    {.type = msg::kCloseHedged,
     .builder = "BuildCloseHedgedPositions",
     .tags = tags(kMessageType, kAccount, kInstrument, kCloseRecords, kUserName, kReferenceId, kTime),
     .path = Stream,
     .recordTag = kCloseRecords},

    // Chat messages.
    {.type = msg::kContactList,
     .builder = "BuildGetContacListInfoRequest",
     .tags = tags(kMessageType, kUserName, kContactFilter, kChatUser, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kRecentConversation,
     .builder = "BuildGetRecentConversationRequest",
     .tags = tags(kMessageType, kUserName, kChatUser, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kOfflineMessages,
     .builder = "BuildGetOfflineMessageRequest",
     .tags = tags(kMessageType, kUserName, kChatUser, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kRoomMessages,
     .builder = "BuildGetRoomMessageRequest",
     .tags = tags(kMessageType, kUserName, kRoomName, kRoomId, kChatUser, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kChatAcknowledgement,
     .builder = "BuildChatMessageAcknowledgement",
     .tags = tags(kMessageType, kAcknowledgementText, kAcknowledgedMessage, kChatUser, kUserName,
                  kReferenceId, kTime),
     .path = Stream,
     .recordTag = kAcknowledgedMessage}, // room name 0x05 message number
    {.type = msg::kRoomCreation,
     .builder = "BuildNewRoomCreationRequest",
     .tags = tags(kMessageType, kRequestId, kChatPartner, kRoomState, kChatUser, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kChatMessage,
     .builder = "BuildNewChatMessage",
     .tags = tags(kMessageType, kRoomId, kChatUser, kRoomName, kText, kReferenceId, kTime),
     .path = Stream},
    {.type = msg::kChatQueueRequest,
     .builder = "BuildNewChatRequestToQueue",
     .tags = tags(kMessageType, kQueueId, kAccount, kText, kRequestId, kRoomState, kChatUser, kReferenceId,
                  kTime),
     .path = Stream},

    // Data-service requests, by sub-type, and the chart request.
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({0}),
     .builder = "BuildDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kRequestId, kUserId, kUserName, kReferenceId,
                  kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({1}),
     .builder = "BuildEqityHitDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPayloadForm, kPage, kRequestId, kAccount, kUserId,
                  kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({2}),
     .builder = "BuildFinancialTransactionsDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kAccount, kFromDate, kToDate,
                  kTransactionFilter, kRequestId, kUserId, kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({3}),
     .builder = "BuildAccountStatementDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kAccount, kFromDate, kToDate, kRequestId,
                  kUserId, kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({4}),
     .builder = "BuildBankDetailsDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kAccount, kQualifier, kRequestId, kUserId,
                  kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({5}),
     .builder = "BuildExecutedPositionDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kFromDate, kToDate, kRequestId, kUserId,
                  kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({6}),
     .builder = "buildInstrumentDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPayloadForm, kPage, kRequestId, kUserId, kUserName,
                  kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({7}),
     .builder = "buildSessionScheduleDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kMarketId, kRequestId, kUserId, kUserName,
                  kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({8}),
     .builder = "buildUserMapWithMyAccountDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kAccount, kRequestId, kUserId, kUserName,
                  kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({9}),
     .builder = "buildEditUserAccountAccessDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kQualifier, kRecordText, kRequestId, kUserId,
                  kUserName, kReferenceId, kTime),
     .path = RequestSocket,
     .recordTag = kRecordText},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({10}),
     .builder = "buildCancelledOrderHistoryDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kAccount, kFromDate, kToDate, kRequestId,
                  kUserId, kUserName, kReferenceId, kTime),
     .path = RequestSocket},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({11}),
     .builder = "buildDSRequestResourceSearch",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kRecordText, kPayloadForm, kRequestId, kUserId,
                  kUserName, kReferenceId, kTime),
     .path = RequestSocket,
     .recordTag = kRecordText},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({12}),
     .builder = "buildDSRequestResourceDownload",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kRecordText, kRequestId, kUserId, kUserName,
                  kReferenceId, kTime),
     .path = RequestSocket,
     .receivingStrategy = 1, // the file comes back in several frames
     .recordTag = kRecordText},
    {.type = msg::kDataService,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({13}),
     .builder = "buildAllPayGateSettingsDSRequest",
     .tags = tags(kMessageType, kProcedure, kPageSize, kPage, kRequestId, kUserId, kUserName, kReferenceId,
                  kTime),
     .path = RequestSocket},
    {.type = msg::kChartData,
     .builder = "BuildChartDataRequest",
     .tags = tags(kMessageType, kInstrument, kChartInterval, kRequestId, kBarCount, kUserName, kReferenceId,
                  kTime),
     .path = RequestSocket},
};

static_assert(std::size(kLayouts) == 37, "one layout per builder");

int subtypeOf(const MessageBase& m, SubtypeField field) noexcept {
    switch (field) {
    case SubtypeField::NewOrder:
        return m.newOrderRequestType();
    case SubtypeField::EditOrder:
        return m.editOrderRequestType();
    case SubtypeField::DataService:
        return m.dsRequestType();
    case SubtypeField::None:
        break;
    }
    return 0;
}

bool matches(const MessageLayout& layout, const MessageBase& m) noexcept {
    if (layout.type != m.messageType())
        return false;
    if (layout.subtypeField == SubtypeField::None)
        return true;
    const int sub = subtypeOf(m, layout.subtypeField);
    return sub >= 0 && sub < 16 && (layout.subtypeMask >> sub & 1u) != 0;
}

} // namespace

// A value may not hold the bytes that cut frames and fields (0x01-0x04); the record separators
// (0x05-0x07) belong only in the layout's record text, anywhere else the server would cut there.
ComposeStatus checkMessageValue(std::string_view value, bool isRecord) noexcept {
    const char lastAllowedBelow = isRecord ? wire::kColumn : wire::kSection + 1;
    for (char c : value) {
        if (c >= wire::kFrameStart && c < lastAllowedBelow)
            return ComposeStatus::SeparatorInValue;
    }
    if (!platform::isValidUtf8(value))
        return ComposeStatus::InvalidText;
    return ComposeStatus::Built;
}

std::span<const MessageLayout> messageLayouts() noexcept {
    return kLayouts;
}

const MessageLayout* findLayout(const MessageBase& message) noexcept {
    for (const MessageLayout& layout : kLayouts) {
        if (matches(layout, message))
            return &layout;
    }
    return nullptr;
}

const MessageLayout* layoutNamed(std::string_view builder) noexcept {
    for (const MessageLayout& layout : kLayouts) {
        if (layout.builder == builder)
            return &layout;
    }
    return nullptr;
}

ComposedMessage composeWithLayout(const MessageBase& message, const MessageLayout& layout) {
    ComposedMessage out;
    out.layout = &layout;
    const MessageBase::Dictionary& dict = message.messageDataDictionary();

    std::string body;
    body.reserve(512);
    for (const std::uint16_t tag : layout.tags.view()) {
        const auto it = dict.find(tag);
        const std::string_view value = it == dict.end() ? kMissingValue : std::string_view(it->second);
        const ComposeStatus check = checkMessageValue(value, tag == layout.recordTag);
        if (check == ComposeStatus::Built && body.size() + value.size() + 8 > kMaxMessageBody)
            out.status = ComposeStatus::TooLong;
        else
            out.status = check;
        if (out.status != ComposeStatus::Built) {
            out.refusedTag = tag;
            return out;
        }
        char digits[8];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, tag);
        (void)ec;
        body.append(digits, end);
        body.push_back('=');
        body.append(value);
        body.push_back(wire::kFieldEnd);
    }
    out.bodyLength = MessageBase::frameLength(body);
    MessageBase::appendFrame(out.framed, body);
    return out;
}

ComposedMessage composeMessage(const MessageBase& message) {
    const MessageLayout* layout = findLayout(message);
    if (layout == nullptr)
        return {};
    return composeWithLayout(message, *layout);
}

namespace {

std::string_view refusalReason(ComposeStatus status) noexcept {
    switch (status) {
    case ComposeStatus::SeparatorInValue:
        return "holds a separator byte";
    case ComposeStatus::InvalidText:
        return "is not well-formed UTF-8";
    case ComposeStatus::TooLong:
        return "makes the message too long";
    case ComposeStatus::Built:
    case ComposeStatus::NoLayout:
        break;
    }
    return "";
}

} // namespace

bool MessageBase::BuildMessage(std::uint64_t requestSequence) {
    bool sent = false;
    try {
        ComposedMessage built = composeMessage(*this);
        switch (built.status) {
        case ComposeStatus::NoLayout:
            break;
        case ComposeStatus::SeparatorInValue:
        case ComposeStatus::InvalidText:
        case ComposeStatus::TooLong:
            // Refused rather than cleaned: an order altered behind the user's back is worse than
            // one not sent. The value itself is not logged, it may be a password.
            platform::Log::warning("message type {} ({}) not sent: tag {} {}", messageType_,
                                   built.layout->builder, built.refusedTag, refusalReason(built.status));
            break;
        case ComposeStatus::Built: {
            const MessageLayout& layout = *built.layout;
            messageLength_ = built.bodyLength;
            if (sender_ == nullptr) {
                platform::Log::debug("message type {} ({}) built without a sender; not sent", messageType_,
                                     layout.builder);
                break;
            }
            // Noted before it leaves: on loopback the reply can be handled before the send returns.
            if (layout.hook == BuildHook::PingSent)
                sender_->pingSent();
            if (layout.isZMQ()) {
                sender_->sendMessage(RequestMessage{std::move(built.framed), true, 0,
                                                    layout.receivingStrategy, requestSequence});
            } else {
                EncryptMessage(built.framed, layout.isInitialRequest(), false);
            }
            sent = true;
            break;
        }
        }
    } catch (...) {
        // A build that fails ends quietly; the dictionary is emptied all the same.
        sent = false;
    }
    messageDataDictionary_.clear();
    return sent;
}

} // namespace tc
