#include "session/business/message_labels.h"

#include "wire/wire_names.h"

#include <array>
#include <utility>

namespace tc {

namespace {

namespace msg = wire::msg;
namespace report = wire::report;

using Label = std::pair<std::int64_t, std::string_view>;

// The login road and the envelopes (18, 33, 44, 47, 76, 1019) have no name: their number stands.
constexpr std::array kTypeLabels{
    Label{msg::kPasswordChangeReply, "PasswordChangeResponseMessage"},
    Label{msg::kPositionSettled, "OrderSettled"},
    Label{msg::kPayGateMasterReply, "PayGateMasterResponse"},
    Label{msg::kPayGateTransactionReply, "PayGateTransactionResponse"},
    Label{msg::kPayGateStatusReply, "PayGateStatusResponse"},
    Label{msg::kCompressed, "CompressedMessage"},
    Label{msg::kRoomCreation, "NewRoomCreationRequest"},
    Label{msg::kRoomCreationReply, "NewRoomCreationResponse"},
    Label{msg::kChatMessage, "NewChatMessage"},
    Label{msg::kOfflineMessagesReply, "GetOfflineMessageResponse"},
    Label{msg::kRoomMessagesReply, "GetRoomMessageResponse"},
    Label{msg::kContactListReply, "GetContacListInfoResponse"}, // sic, as older traces spell it
    Label{msg::kChatUserStatus, "statusChange"},
    Label{msg::kRecentConversationReply, "GetRecentConversationResponse"},
    Label{msg::kAddUserReply, "AddUserResponse"},
    Label{msg::kChatQueueReply, "ChatResponseFromQueue"},
    Label{msg::kChatQueueStatus, "ChatQueueStatus"},
    Label{msg::kApprovalReply, "ApprovalResponse"},
    Label{msg::kDataServiceReply, "DSResponse"},
    Label{msg::kDemoRegistrationReply, "DemoUserCreationResponse"},
    Label{msg::kRelogin, "UserReloginRequest"},
    Label{msg::kChartDataReply, "ChartDataResponse"},
    Label{msg::kAccountSummary, "AccountSummary"},
    Label{msg::kInstrumentStatus, "InstrumentStatusChange"},
    Label{msg::kCloseHedged, "CloseHedgedPositions"},
};

constexpr std::array kExecutionLabels{
    Label{report::kNew, "OrderStatusNew"},
    Label{report::kPartlyFilled, "OrderPartlyFilled"},
    Label{report::kFullyFilled, "OrderFullyFilled"},
    Label{report::kCancelled, "OrderCancelled"},
    Label{report::kRejected, "OrderRejected"},
    Label{report::kExpired, "OrderExpired"},
    Label{report::kSuspended, "OrderSuspended"},
    Label{report::kPending, "OrderPending"},
    Label{report::kEdited, "OrderEdited"},
    Label{report::kExchangeRejected, "OrderExchangeRejected"},
};

constexpr std::array kPositionLabels{
    Label{report::kPositionUpdate, "StatusUpdate"},
    Label{report::kPositionOpened, "OrderExecuted"},
};

template <std::size_t N>
constexpr std::string_view find(const std::array<Label, N>& table, std::int64_t key) {
    for (const Label& l : table)
        if (l.first == key)
            return l.second;
    return {};
}

} // namespace

std::string_view inboundMessageLabel(std::int64_t type, std::int64_t status) {
    if (type == msg::kExecutionReport)
        return find(kExecutionLabels, status);
    if (type == msg::kPositionReport)
        return find(kPositionLabels, status);
    return find(kTypeLabels, type);
}

} // namespace tc
