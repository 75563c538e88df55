#pragma once
// Every notification name the session posts or observes, the connection's own two included, spelled
// exactly as the server-side and window code expect (misspellings included: they are part of the
// contract between poster and observer).
// "ChartDataReceivedNotification" is also a prefix: chart replies append the request id in decimal.
#include "connection/connection_notifications.h"

#include <array>
#include <string_view>

namespace tc {

inline constexpr std::string_view kAccountStatementNotification = "AccountStatementNotification";
inline constexpr std::string_view kBankDetailsNotification = "BankDetailsNotification";
inline constexpr std::string_view kBulkCloseNotification = "BulkCloseNotification";
inline constexpr std::string_view kCancelledOrderTableNotification = "CancelledOrderTableNotification";
inline constexpr std::string_view kChartDataReceivedNotification = "ChartDataReceivedNotification";
inline constexpr std::string_view kChartSymbolDragNotification = "ChartSymbolDragNotification";
inline constexpr std::string_view kChatQueueStatusUpdate = "ChatQueueStatusUpdate";
inline constexpr std::string_view kChatRoomCreationNotification = "ChatRoomCreationNotification";
inline constexpr std::string_view kCloseHedgePositionNotification = "CloseHedgePositionNotification";
inline constexpr std::string_view kDemoUserCreationNotification = "DemoUserCreationNotification";
inline constexpr std::string_view kDepositRequestNotification = "DepositRequestNotification";
inline constexpr std::string_view kDepositWithdrawalTableNotification = "DepositWithdrawalTableNotification";
inline constexpr std::string_view kEditUserAccountAccessFailureNotification =
    "EditUserAccountAccessFailureNotification";
inline constexpr std::string_view kEditUserAccountAccessSucessNotification =
    "EditUserAccountAccessSucessNotification";
inline constexpr std::string_view kExecutedPositionTableNotification = "ExecutedPositionTableNotification";
// Never posted under this name: the history refresh posts the seven table notifications instead.
inline constexpr std::string_view kHistoryDataUpdateNotification = "HistoryDataUpdateNotification";
inline constexpr std::string_view kInAppNotificationActivatedWithTypeNotification =
    "InAppNotificationActivatedWithTypeNotification";
inline constexpr std::string_view kInAppNotificationDismissBannerNotification =
    "InAppNotificationDismissBannerNotification";
inline constexpr std::string_view kInAppNotificationHasBeenPresentedNotification =
    "InAppNotificationHasBeenPresentedNotification";
inline constexpr std::string_view kItemUpdateNotification = "ItemUpdateNotification";
inline constexpr std::string_view kJournalTableNotification = "JournalTableNotification";
inline constexpr std::string_view kLoginSuccessNotification = "LoginSuccessNotification";
inline constexpr std::string_view kMarketSessionScheduleNotification = "MarketSessionScheduleNotification";
inline constexpr std::string_view kNetworkSpeedNotification = "NetworkSpeedNotification";
inline constexpr std::string_view kNoticeMessageNotification = "NoticeMessageNotification";
inline constexpr std::string_view kNoticeMessageReceivedNotification = "NoticeMessageReceivedNotification";
inline constexpr std::string_view kOpenPositionTableNotification = "OpenPositionTableNotification";
inline constexpr std::string_view kPasswordChangeNotification = "PasswordChangeNotification";
inline constexpr std::string_view kPayGateTransactionNotification = "PayGateTransactionNotification";
inline constexpr std::string_view kPendingOrderNotification = "PendingOrderNotification";
inline constexpr std::string_view kPendingOrderTableNotification = "PendingOrderTableNotification";
inline constexpr std::string_view kPieChartUpdateNotification = "PieChartUpdateNotification";
inline constexpr std::string_view kPlaceOrderNotification = "PlaceOrderNotification";
inline constexpr std::string_view kRecentConversationReceivedNotification =
    "RecentConversationReceivedNotification";
inline constexpr std::string_view kResourceDownloadCompletedNotification =
    "ResourceDownloadCompletedNotification";
inline constexpr std::string_view kSettledPositionTableNotification = "SettledPositionTableNotification";
inline constexpr std::string_view kTableHeaderEditNotification = "TableHeaderEditNotification";
inline constexpr std::string_view kThemeChangedNotification = "ThemeChangedNotification";
inline constexpr std::string_view kUpdateChatMessageNotification = "UpdateChatMessageNotification";
inline constexpr std::string_view kUserAccountMapNotification = "UserAccountMapNotification";
inline constexpr std::string_view kUserStatusNotification = "UserStatusNotification";
inline constexpr std::string_view kWatchlistTableNotification = "WatchlistTableNotification";
inline constexpr std::string_view kWatchlistUpdateNotification = "WatchlistUpdateNotification";
inline constexpr std::string_view kWithdrawalRequestNotification = "WithdrawalRequestNotification";

// All of the above, sorted byte-wise.
inline constexpr std::array<std::string_view, 46> kAllNotificationNames = {
    kAccountStatementNotification,
    kBankDetailsNotification,
    kBulkCloseNotification,
    kCancelledOrderTableNotification,
    kChartDataReceivedNotification,
    kChartSymbolDragNotification,
    kChatQueueStatusUpdate,
    kChatRoomCreationNotification,
    kCloseHedgePositionNotification,
    kDemoUserCreationNotification,
    kDepositRequestNotification,
    kDepositWithdrawalTableNotification,
    kEditUserAccountAccessFailureNotification,
    kEditUserAccountAccessSucessNotification,
    kExecutedPositionTableNotification,
    kHistoryDataUpdateNotification,
    kInAppNotificationActivatedWithTypeNotification,
    kInAppNotificationDismissBannerNotification,
    kInAppNotificationHasBeenPresentedNotification,
    kItemUpdateNotification,
    kJournalTableNotification,
    kLoginSuccessNotification,
    kMarketSessionScheduleNotification,
    kNetworkSpeedNotification,
    kNoticeMessageNotification,
    kNoticeMessageReceivedNotification,
    kOpenPositionTableNotification,
    kPasswordChangeNotification,
    kPayGateTransactionNotification,
    kPendingOrderNotification,
    kPendingOrderTableNotification,
    kPieChartUpdateNotification,
    kPlaceOrderNotification,
    kRecentConversationReceivedNotification,
    kResourceDownloadCompletedNotification,
    kSendLoginRegistrationRequest,
    kSettledPositionTableNotification,
    kTableHeaderEditNotification,
    kThemeChangedNotification,
    kUpdateChatMessageNotification,
    kUserAccountMapNotification,
    kUserStatusNotification,
    kWatchlistTableNotification,
    kWatchlistUpdateNotification,
    kWithdrawalRequestNotification,
    kkReachabilityChangedNotification,
};

} // namespace tc
