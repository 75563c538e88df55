#pragma once
// Data-service replies (type 1024).
//
// A reply is handled in two steps. parse() runs on the thread that received it: it reads the
// records into a value of the kind the request asked for and touches no shared state. apply() runs
// where the collections live (the main queue): it fills them and returns the notifications to post.
// The kind is taken from the pending request the reply answers, so two requests of the same
// sub-type in flight can no longer take each other's replies.
#include "model/data_service_collections.h"
#include "model/records/history_rows.h"
#include "model/records/request_records.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tc {

class Order;
struct PendingRequest;
struct SessionModel;

namespace dsreply {

// Empty, "ERROR" in any case, or refused as oversize: fills nothing, clears the bank details.
struct Failed {};
// A procedure this client does not read.
struct Ignored {};
struct OpenPositions {
    std::vector<OpenOrderHD> rows;
    bool subscribeAll = false; // the reply had records: renew the feed subscription once
};
struct PendingOrders {
    std::vector<PendingOrderHD> rows;
    bool subscribeAll = false;
};
struct SettledPositions {
    std::vector<SettledOrderHD> rows;
};
// forStatement: the request was the statement window's (sub-type 10), not the login's.
struct CancelledOrders {
    std::vector<CancelledOrderHD> rows;
    bool forStatement = false;
};
struct EquityHitPrices {
    std::vector<EquityHitPriceInfos> rows;
};
struct BankAccounts {
    std::optional<BankDetails> details; // the first record only
};
struct ExecutedPositions {
    std::vector<ExecutedPositionRow> rows;
};
struct Instruments {
    std::vector<AdvancedInstrumentInfo> rows;
};
struct SessionSchedules {
    std::vector<SessionScheduleInfo> rows;
};
struct UserAccountMapList {
    std::vector<UserAccountMaps> rows;
};
struct Resources {
    std::vector<FileResource> rows;
};
// The funding code reads these records with its own readers; they are carried as received.
struct ApprovalRequests {
    std::vector<std::string> records;
};
struct FinancialApprovals {
    std::vector<std::string> records;
};
struct FinancialTransactions {
    std::vector<FinancialTransactionDetails> rows;
};
struct PayGateSettings {
    std::vector<std::string> records;
};
// The payload as sent (Base64 of the compressed file); the resource store decodes it within its cap.
struct ResourceDownload {
    std::string payloadBase64;
};
// Not split: the statement is an XML document for the statement reader.
struct AccountStatement {
    std::string xml;
};
struct EditUserAccess {
    bool success = false;
};

} // namespace dsreply

using ParsedDataServiceReply =
    std::variant<dsreply::Failed, dsreply::Ignored, dsreply::OpenPositions, dsreply::PendingOrders,
                 dsreply::SettledPositions, dsreply::CancelledOrders, dsreply::EquityHitPrices,
                 dsreply::BankAccounts, dsreply::ExecutedPositions, dsreply::Instruments,
                 dsreply::SessionSchedules, dsreply::UserAccountMapList, dsreply::Resources,
                 dsreply::ApprovalRequests, dsreply::FinancialApprovals, dsreply::FinancialTransactions,
                 dsreply::PayGateSettings, dsreply::ResourceDownload, dsreply::AccountStatement,
                 dsreply::EditUserAccess>;

struct DataServiceReply {
    std::string procedure;
    int dsRequestType = 0; // sub-type of the request answered
    ParsedDataServiceReply value;
};

// The order rows go to the order collections' own fillers, which the business object owns.
class HistoryRowSink {
public:
    virtual ~HistoryRowSink() = default;
    virtual void FillInitialOpenOrderCollection(const OpenOrderHD& row) = 0;
    virtual void FillInitialPendingOrderCollection(const PendingOrderHD& row) = 0;
    virtual void FillInitialSettledOrderCollection(const SettledOrderHD& row) = 0;
    virtual void FillInitialCancelledOrderCollection(const CancelledOrderHD& row) = 0;
    virtual void SetEquityHitPriceInOrders(const EquityHitPriceInfos& row) = 0;
};

// What apply() asks the caller to announce, in this order.
enum class DataServiceEvent {
    depositWithdrawalNotification,
    executedPositionSearchNotification,
    MarketSessionScheduleNotification,
    UserAccountMapNotification,
    EditUserAccountAccessSucessNotification,
    EditUserAccountAccessFailureNotification,
    accountStatementUpdateNotification,
    bankDetailsReceivedNotification,
    resourcesFound,
};

struct DataServiceOutcome {
    std::vector<DataServiceEvent> events;
    // Rows for the funding layer, as received.
    std::vector<std::string> approvalRequests, financialApprovals, payGateSettings;
    bool hasApprovalRequests = false, hasFinancialApprovals = false, hasPayGateSettings = false;
    // Subscribe the feed to every instrument (getAllItems) once.
    bool subscribeAllItems = false;
};

class DataServiceReplies {
public:
    // Larger reply texts are refused whole as failed replies.
    static constexpr std::size_t kMaxReplyBytes = 64 * 1024 * 1024;

    // The data service's refusal: an empty reply text or "ERROR" (any case).
    static bool isRefusal(std::string_view text);

    // The reply text (tag 159), the tag-1050 field as received, read as the reply to `request`.
    static DataServiceReply parse(const PendingRequest& request, const std::optional<std::string>& data,
                                  std::string_view compressedField);
    // The same by procedure name and data-service sub-type.
    static DataServiceReply parse(std::string_view procedure, int dsRequestType,
                                  const std::optional<std::string>& data, std::string_view compressedField);

    // Fills the collections from a parsed reply. `rows` may be null when no order collections are
    // attached (their rows are then dropped). A user-map reply for `accountId` (when given) first
    // drops the users filed for that account, so users whose access was revoked disappear.
    static DataServiceOutcome apply(const DataServiceReply& reply, SessionModel& model,
                                    DataServiceCollections& targets, HistoryRowSink* rows,
                                    std::optional<std::uint64_t> accountId = std::nullopt);
};

} // namespace tc
