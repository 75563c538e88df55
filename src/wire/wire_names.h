#pragma once
// Names of the wire's numbers: message types (the value of tag 10), tags, and the report statuses the
// dispatcher acts on. The layouts of the outgoing messages are in message_builders.cpp. A number may
// mean different things in different messages (tag 24 is an order's status in an order and an
// account's status in an account summary); each meaning has its own name.
#include <cstdint>

namespace tc::wire {

namespace msg {

// Login and account.
inline constexpr std::int64_t kLoginCompleted = 18;
inline constexpr std::int64_t kLogin = 32;
inline constexpr std::int64_t kLoginSnapshot = 33;
inline constexpr std::int64_t kPasswordChange = 37;
inline constexpr std::int64_t kPasswordChangeReply = 38;
inline constexpr std::int64_t kLoggedInElsewhere = 44;
inline constexpr std::int64_t kLoginRefused = 47;
inline constexpr std::int64_t kDemoRegistration = 1026;
inline constexpr std::int64_t kDemoRegistrationReply = 1027;
inline constexpr std::int64_t kRelogin = 1028;
inline constexpr std::int64_t kAccountSummary = 1045;

// Orders and execution reports.
inline constexpr std::int64_t kOrder = 60; // new and offset orders
inline constexpr std::int64_t kExecutionReport = 62;
inline constexpr std::int64_t kPositionSettled = 66;
inline constexpr std::int64_t kPositionReport = 67;
inline constexpr std::int64_t kEditOrder = 72; // bracket and working-order edits
inline constexpr std::int64_t kMultiAccountOrder = 77;
inline constexpr std::int64_t kCloseAll = 82;
inline constexpr std::int64_t kCloseHedged = 1052;

// Envelopes.
inline constexpr std::int64_t kEnvelope = 76;
inline constexpr std::int64_t kCompressed = 105;

// Funding.
inline constexpr std::int64_t kPayGateMaster = 93;
inline constexpr std::int64_t kPayGateMasterReply = 94;
inline constexpr std::int64_t kPayGateTransactionReply = 96;
inline constexpr std::int64_t kPayGateStatusReply = 98;
inline constexpr std::int64_t kApproval = 693;
inline constexpr std::int64_t kApprovalReply = 694;

// Chat.
inline constexpr std::int64_t kRoomCreation = 601;
inline constexpr std::int64_t kRoomCreationReply = 602;
inline constexpr std::int64_t kChatMessage = 603;
inline constexpr std::int64_t kChatAcknowledgement = 608;
inline constexpr std::int64_t kOfflineMessages = 613;
inline constexpr std::int64_t kOfflineMessagesReply = 614;
inline constexpr std::int64_t kRoomMessages = 615;
inline constexpr std::int64_t kRoomMessagesReply = 616;
inline constexpr std::int64_t kContactList = 617;
inline constexpr std::int64_t kContactListReply = 618;
inline constexpr std::int64_t kChatUserStatus = 619;
inline constexpr std::int64_t kRecentConversation = 626;
inline constexpr std::int64_t kRecentConversationReply = 627;
inline constexpr std::int64_t kAddUserReply = 643;
inline constexpr std::int64_t kChatQueueRequest = 678;
inline constexpr std::int64_t kChatQueueReply = 679;
inline constexpr std::int64_t kChatQueueStatus = 680;

// The request socket, the ping and the feed's status message.
inline constexpr std::int64_t kControl = 1002;
inline constexpr std::int64_t kPing = 1018;
inline constexpr std::int64_t kPingReply = 1019;
inline constexpr std::int64_t kDataService = 1023;
inline constexpr std::int64_t kDataServiceReply = 1024;
inline constexpr std::int64_t kChartData = 1040;
inline constexpr std::int64_t kChartDataReply = 1041;
inline constexpr std::int64_t kInstrumentStatus = 1049;

} // namespace msg

namespace tag {

inline constexpr int kMessageType = 10;
inline constexpr int kInstrument = 12; // the code; in a settlement the instrument's id
inline constexpr int kText = 17;       // chat text, chart data, the password change's outcome
inline constexpr int kPassword = 18;
inline constexpr int kReferenceId = 19;
inline constexpr int kRequestId = 20;
inline constexpr int kTime = 21; // wire date text
inline constexpr int kUserName = 23;
inline constexpr int kOrderStatus = 24;
inline constexpr int kAccountStatus = 24; // account summary
inline constexpr int kSealedPayload = 27;
inline constexpr int kOrderType = 32;
inline constexpr int kOrderRequestId = 33;
inline constexpr int kAccount = 34;
inline constexpr int kTradingMode = 36; // buy or sell
inline constexpr int kQuantity = 37;
inline constexpr int kPrice = 38;
inline constexpr int kLimitPrice = 39;
inline constexpr int kStopPrice = 40;
inline constexpr int kTimeInForce = 43;
inline constexpr int kExpiryDate = 44;
inline constexpr int kAsk = 54;
inline constexpr int kBid = 56;
inline constexpr int kHigh = 60;
inline constexpr int kLast = 61;
inline constexpr int kLow = 62;
inline constexpr int kItemTime = 67;
inline constexpr int kExecutionId = 72;
inline constexpr int kReportStatus = 73;
inline constexpr int kRejectionCode = 74;
inline constexpr int kRemainingQuantity = 76;
inline constexpr int kDeviation = 77;
inline constexpr int kTransactionTime = 78;
inline constexpr int kPendingOrderId = 79;
inline constexpr int kPositionId = 80;
inline constexpr int kTicketId = 81;
inline constexpr int kChartInterval = 83;
inline constexpr int kUsedMargin = 84;
inline constexpr int kAvailableMargin = 85;
inline constexpr int kSettlementId = 86;
inline constexpr int kClosingPositionId = 87;
inline constexpr int kSettledProfit = 88;
inline constexpr int kSettledQuantity = 89;
inline constexpr int kSpread = 90;
inline constexpr int kAccountRecords = 91; // multi-account order: account, quantity, request per record
inline constexpr int kNewPassword = 103;
inline constexpr int kOldPassword = 104;
inline constexpr int kDeviceAddress = 105; // login and registration
inline constexpr int kNotice = 105;        // a login elsewhere: the address it came from
inline constexpr int kProductVersion = 114;
inline constexpr int kUserId = 115;
inline constexpr int kDeliveryMode = 117;
inline constexpr int kOneSideMargin = 120;
inline constexpr int kOffsetOrder = 125; // the order being offset; echoed in a rejection
inline constexpr int kMarginStatus = 129;
inline constexpr int kEquity = 130;
inline constexpr int kLeverage = 132;
inline constexpr int kStorage = 141;
inline constexpr int kCurrencyRate = 142;
inline constexpr int kOtherCharges = 143;
inline constexpr int kCollateral = 144;
inline constexpr int kPayGate = 145;
inline constexpr int kProcedure = 151; // data-service request name
inline constexpr int kPageSize = 152;
inline constexpr int kPage = 153;
inline constexpr int kRecordText = 159;  // data-service reply data and request records
inline constexpr int kPayloadForm = 160; // "AMP" for the snapshot; a request parameter of some procedures
inline constexpr int kBaseCurrencyRate = 162;
inline constexpr int kRoomId = 501;
inline constexpr int kRoomName = 502;
inline constexpr int kChatPartner = 503; // room creation: the partner; its reply: the room request
inline constexpr int kChatUser = 504;
inline constexpr int kDeviceUser = 504; // login and registration: the system account's full name
inline constexpr int kAcknowledgedMessage = 505;
inline constexpr int kAcknowledgementText = 507;
inline constexpr int kContactFilter = 520;
inline constexpr int kRoomState = 530;
inline constexpr int kRemarks = 535;
inline constexpr int kCommission = 545;
inline constexpr int kTransactionFilter = 551;
inline constexpr int kBalance = 560;
inline constexpr int kProductName = 563;
inline constexpr int kAmount = 564; // registration deposit; pay-gate estimated amount
inline constexpr int kOrderRouteId = 570;
inline constexpr int kBracketPositionId = 573;
inline constexpr int kInstrumentState = 574;
inline constexpr int kFromDate = 575;
inline constexpr int kToDate = 576;
inline constexpr int kMarketId = 581;
inline constexpr int kCloseRecords = 583;
inline constexpr int kValueDate = 585;
inline constexpr int kAccountCurrencyRate = 604;
inline constexpr int kDeviceDescription = 1018; // login and registration
inline constexpr int kBarCount = 1025;
inline constexpr int kQueueId = 1026;
inline constexpr int kRegistrationKind = 1033;
inline constexpr int kEditKind = 1035;       // "EBO" or "EWO" in an edit
inline constexpr int kApprovalAction = 1035; // funding approvals
inline constexpr int kApprovalAmount = 1038;
inline constexpr int kFundingUserId = 1040;
inline constexpr int kCompressedPayload = 1050;
inline constexpr int kApprovalRecord = 1059;
inline constexpr int kApprovalFlag = 1060;
inline constexpr int kApprovalCount = 1063;
inline constexpr int kQualifier = 1132; // registration: the country; data service: the procedure's variant
inline constexpr int kRegistrationField2 = 1133;
inline constexpr int kRegistrationField3 = 1134;
inline constexpr int kRegistrationField4 = 1135;
inline constexpr int kRegistrationField5 = 1136;
inline constexpr int kTelephone = 1137;
inline constexpr int kNewsletter = 1138;
inline constexpr int kFullName = 1139;
inline constexpr int kRegistrationProduct = 1140;
inline constexpr int kEmail = 1152;
inline constexpr int kInitialEnvelope = 1153;

} // namespace tag

// Statuses of an execution report (tag 73) the dispatcher acts on or names.
namespace report {

inline constexpr int kNew = 21;
inline constexpr int kPartlyFilled = 22;
inline constexpr int kFullyFilled = 23;
inline constexpr int kCancelled = 24;
inline constexpr int kRejected = 25;
inline constexpr int kExpired = 26;
inline constexpr int kSuspended = 27;
inline constexpr int kPending = 28;
inline constexpr int kEdited = 75;
inline constexpr int kExchangeRejected = 826;
// Of a position report.
inline constexpr int kPositionUpdate = 73;
inline constexpr int kPositionOpened = 74;

} // namespace report

// The actions (tag::kApprovalAction) of an approval request and of the receipt that answers it.
namespace approval {
inline constexpr int kDeposit = 801;
inline constexpr int kWithdrawal = 802;
} // namespace approval

// Why a demo registration was refused (tag::kRejectionCode of its answer): the field of the form
// the server did not take, or that it has no user left to hand out.
namespace registration {
inline constexpr int kNameRefused = 1;
inline constexpr int kEmailRefused = 2;
inline constexpr int kPhoneRefused = 3;
inline constexpr int kCountryRefused = 4;
inline constexpr int kFormRefused = 5; // another field of the form (the deposit, the product)
inline constexpr int kNoUsersLeft = 6;
} // namespace registration

} // namespace tc::wire
