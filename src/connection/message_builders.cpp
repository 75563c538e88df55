#include "connection/message_builders.h"

#include "connection/separators.h"
#include "platform/log.h"
#include "platform/utf8.h"

#include <charconv>
#include <utility>

namespace tc {

namespace {

using enum BuildPath;

// One row per builder. Every builder writes exactly its listed tags, in this order, each value taken
// from the dictionary (tag 10 included: callers put the type there themselves). No builder writes a
// value of its own; what sets rows apart is the path, the multi-frame reply of the resource download,
// the record text some of them carry, and the ping's notice to the sender.
constexpr MessageLayout kLayouts[] = {
    // Login and account messages.
    {.type = 32,
     .builder = "BuildLoginRequestMessage",
     .tags = tags(10, 23, 18, 20, 19, 563, 114, 105, 1018, 504, 160, 21),
     .path = StreamInitial},
    {.type = 1026,
     .builder = "BuildDemoUserCreationRequestMessage",
     .tags = tags(10, 1152, 1033, 564, 1132, 1133, 1134, 1135, 1136, 1137, 1138, 1139, 1140, 20, 19, 105,
                  1018, 504),
     .path = StreamInitial},
    {.type = 1018,
     .builder = "BuildPingConnectionRequestMessage",
     .tags = tags(10, 20, 21),
     .path = Stream,
     .hook = BuildHook::PingSent},
    {.type = 37,
     .builder = "BuildPasswordChangeRequestMessage",
     .tags = tags(10, 23, 104, 103, 20, 19, 21),
     .path = Stream},
    {.type = 1002,
     .builder = "buildControlClientMessageRequest",
     .tags = tags(10, 23, 19, 21),
     .path = RequestSocket},
    {.type = 693,
     .builder = "buildApprovalRequest",
     .tags = tags(10, 1063, 1035, 535, 20, 1040, 1059, 1060, 23, 19, 21),
     .path = Stream,
     .recordTag = 1059},
    {.type = 93,
     .builder = "buildPayGateMasterRequest",
     .tags = tags(10, 145, 1152, 34, 1038, 564, 535, 20, 1040, 23, 19, 21),
     .path = Stream},

    // Order messages.
    {.type = 60,
     .subtypeField = SubtypeField::NewOrder,
     .subtypeMask = subtypes({0}),
     .builder = "BuildPlaceNewOrderRequestMessage",
     .tags = tags(10, 34, 23, 33, 19, 12, 32, 117, 37, 38, 39, 40, 90, 36, 77, 24, 43, 56, 54, 61, 60, 62, 67,
                  78),
     .path = Stream},
    {.type = 60,
     .subtypeField = SubtypeField::NewOrder,
     .subtypeMask = subtypes({1}),
     .builder = "BuildOffsetOrderRequestMessage",
     .tags =
         tags(10, 34, 125, 23, 33, 19, 12, 32, 117, 37, 38, 90, 36, 77, 24, 43, 56, 54, 61, 60, 62, 67, 78),
     .path = Stream},
    {.type = 72,
     .subtypeField = SubtypeField::EditOrder,
     .subtypeMask = subtypes({0}),
     .builder = "BuildEditBracketOrderRequestMessage",
     .tags = tags(10, 1035, 34, 23, 573, 33, 19, 12, 32, 117, 37, 38, 39, 40, 90, 36, 24, 43, 56, 54, 61, 60,
                  62, 67, 78),
     .path = Stream},
    {.type = 72,
     .subtypeField = SubtypeField::EditOrder,
     .subtypeMask = subtypes({1, 2}), // 1 cancel, 2 edit: same layout, the caller's quantity differs
     .builder = "BuildEditWorkingOrderRequestMessage",
     .tags = tags(10, 1035, 34, 23, 79, 33, 19, 12, 32, 117, 37, 38, 39, 40, 90, 36, 24, 43, 56, 54, 61, 60,
                  62, 67, 78),
     .path = Stream},
    {.type = 77,
     .builder = "BuildBulkOrderRequest",
     .tags = tags(10, 23, 19, 12, 32, 117, 38, 39, 40, 90, 36, 77, 24, 43, 56, 54, 61, 60, 62, 67, 78, 91),
     .path = Stream,
     .recordTag = 91}, // per-account records: account 0x05 quantity 0x05 request 0x06
    {.type = 82,
     .builder = "buildClosePositionsRequest",
     .tags = tags(10, 583, 20, 23, 19, 21),
     .path = Stream,
     .recordTag = 583},
    {.type = 1052,
     .builder = "BuildCloseHedgedPositions",
     .tags = tags(10, 34, 12, 583, 23, 19, 21),
     .path = Stream,
     .recordTag = 583},

    // Chat messages.
    {.type = 617,
     .builder = "BuildGetContacListInfoRequest",
     .tags = tags(10, 23, 520, 504, 19, 21),
     .path = Stream},
    {.type = 626,
     .builder = "BuildGetRecentConversationRequest",
     .tags = tags(10, 23, 504, 19, 21),
     .path = Stream},
    {.type = 613,
     .builder = "BuildGetOfflineMessageRequest",
     .tags = tags(10, 23, 504, 19, 21),
     .path = Stream},
    {.type = 615,
     .builder = "BuildGetRoomMessageRequest",
     .tags = tags(10, 23, 502, 501, 504, 19, 21),
     .path = Stream},
    {.type = 608,
     .builder = "BuildChatMessageAcknowledgement",
     .tags = tags(10, 507, 505, 504, 23, 19, 21),
     .path = Stream,
     .recordTag = 505}, // room name 0x05 message number
    {.type = 601,
     .builder = "BuildNewRoomCreationRequest",
     .tags = tags(10, 20, 503, 530, 504, 19, 21),
     .path = Stream},
    {.type = 603,
     .builder = "BuildNewChatMessage",
     .tags = tags(10, 501, 504, 502, 17, 19, 21),
     .path = Stream},
    {.type = 678,
     .builder = "BuildNewChatRequestToQueue",
     .tags = tags(10, 1026, 34, 17, 20, 530, 504, 19, 21),
     .path = Stream},

    // Data-service requests, by sub-type, and the chart request.
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({0}),
     .builder = "BuildDSRequest",
     .tags = tags(10, 151, 152, 153, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({1}),
     .builder = "BuildEqityHitDSRequest",
     .tags = tags(10, 151, 152, 160, 153, 20, 34, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({2}),
     .builder = "BuildFinancialTransactionsDSRequest",
     .tags = tags(10, 151, 152, 153, 34, 575, 576, 551, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({3}),
     .builder = "BuildAccountStatementDSRequest",
     .tags = tags(10, 151, 152, 153, 34, 575, 576, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({4}),
     .builder = "BuildBankDetailsDSRequest",
     .tags = tags(10, 151, 152, 153, 34, 1132, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({5}),
     .builder = "BuildExecutedPositionDSRequest",
     .tags = tags(10, 151, 152, 153, 575, 576, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({6}),
     .builder = "buildInstrumentDSRequest",
     .tags = tags(10, 151, 152, 160, 153, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({7}),
     .builder = "buildSessionScheduleDSRequest",
     .tags = tags(10, 151, 152, 153, 581, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({8}),
     .builder = "buildUserMapWithMyAccountDSRequest",
     .tags = tags(10, 151, 152, 153, 34, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({9}),
     .builder = "buildEditUserAccountAccessDSRequest",
     .tags = tags(10, 151, 152, 153, 1132, 159, 20, 115, 23, 19, 21),
     .path = RequestSocket,
     .recordTag = 159},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({10}),
     .builder = "buildCancelledOrderHistoryDSRequest",
     .tags = tags(10, 151, 152, 153, 34, 575, 576, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({11}),
     .builder = "buildDSRequestResourceSearch",
     .tags = tags(10, 151, 152, 153, 159, 160, 20, 115, 23, 19, 21),
     .path = RequestSocket,
     .recordTag = 159},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({12}),
     .builder = "buildDSRequestResourceDownload",
     .tags = tags(10, 151, 152, 153, 159, 20, 115, 23, 19, 21),
     .path = RequestSocket,
     .receivingStrategy = 1, // the file comes back in several frames
     .recordTag = 159},
    {.type = 1023,
     .subtypeField = SubtypeField::DataService,
     .subtypeMask = subtypes({13}),
     .builder = "buildAllPayGateSettingsDSRequest",
     .tags = tags(10, 151, 152, 153, 20, 115, 23, 19, 21),
     .path = RequestSocket},
    {.type = 1040,
     .builder = "BuildChartDataRequest",
     .tags = tags(10, 12, 83, 20, 1025, 23, 19, 21),
     .path = RequestSocket},
};

static_assert(std::size(kLayouts) == 37, "one layout per builder");

int subtypeOf(const MessageBase& m, SubtypeField field) noexcept {
    switch (field) {
    case SubtypeField::NewOrder:
        return m.neworderrequestType();
    case SubtypeField::EditOrder:
        return m.editorderrequestType();
    case SubtypeField::DataService:
        return m.dsrequestType();
    case SubtypeField::None:
        break;
    }
    return 0;
}

bool matches(const MessageLayout& layout, const MessageBase& m) noexcept {
    if (layout.type != m.messagetype())
        return false;
    if (layout.subtypeField == SubtypeField::None)
        return true;
    const int sub = subtypeOf(m, layout.subtypeField);
    return sub >= 0 && sub < 16 && (layout.subtypeMask >> sub & 1u) != 0;
}

// A value may not hold the bytes that cut frames and fields (0x01-0x04); the record separators
// (0x05-0x07) belong only in the layout's record text, anywhere else the server would cut there.
ComposeStatus checkValue(std::string_view value, bool isRecord) noexcept {
    const char lastAllowedBelow = isRecord ? wire::kColumn : wire::kSection + 1;
    for (char c : value) {
        if (c >= wire::kFrameStart && c < lastAllowedBelow)
            return ComposeStatus::SeparatorInValue;
    }
    if (!platform::isValidUtf8(value))
        return ComposeStatus::InvalidText;
    return ComposeStatus::Built;
}

} // namespace

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
        const ComposeStatus check = checkValue(value, tag == layout.recordTag);
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

void MessageBase::BuildMessage() {
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
            platform::Log::warning("message type {} ({}) not sent: tag {} {}", messagetype_,
                                   built.layout->builder, built.refusedTag, refusalReason(built.status));
            break;
        case ComposeStatus::Built: {
            const MessageLayout& layout = *built.layout;
            messageLength_ = built.bodyLength;
            if (sender_ == nullptr) {
                platform::Log::debug("message type {} ({}) built without a sender; not sent", messagetype_,
                                     layout.builder);
                break;
            }
            // Noted before it leaves: on loopback the reply can be handled before the send returns.
            if (layout.hook == BuildHook::PingSent)
                sender_->pingSent();
            if (layout.isZMQ()) {
                sender_->sendMessage(
                    RequestMessage{std::move(built.framed), true, 0, layout.receivingStrategy});
            } else {
                EncryptMessage(built.framed, layout.isInitialRequest(), false);
            }
            break;
        }
        }
    } catch (...) {
        // A build that fails ends quietly; the dictionary is emptied all the same.
    }
    messageDataDictionary_.clear();
}

} // namespace tc
