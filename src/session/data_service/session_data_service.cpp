#include "session/data_service/session_data_service.h"
#include "connection/wire_names.h"

#include "platform/log.h"
#include "session/business/business_base.h"
#include "session/business/notification_names.h"
#include "session/data_service/data_service_replies.h"

#include <memory>

namespace tc {

SessionDataService::SessionDataService(BusinessBase& business)
    : business_(business),
      events_(business.application(),
              platform::NotificationObject(static_cast<const BusinessBase*>(&business))) {}

void SessionDataService::processDSResponse(const std::optional<std::string>& data,
                                           const std::string& compressedField,
                                           const std::optional<std::string>& requestName) {
    const std::string procedure = requestName.value_or("");
    // Replies come back in the order the requests left; the oldest pending one of the same procedure
    // is the one answered.
    const std::optional<PendingRequest> pending =
        business_.sessionRequests().pendingRequests().take(wire::msg::kDataService, std::nullopt, procedure);
    if (!pending)
        platform::Log::warning("data-service reply {} answers no pending request; read as the login's",
                               procedure);
    applyOnMain(std::make_shared<const DataServiceReply>(
        pending ? DataServiceReplies::parse(*pending, data, compressedField)
                : DataServiceReplies::parse(procedure, 0, data, compressedField)));
}

void SessionDataService::requestFailed(const FailedRequest& request) {
    PendingRequests& pending = business_.sessionRequests().pendingRequests();
    if (request.messageType == wire::msg::kDataService) {
        // Answered as the server's own failure reply would be, so the window waiting for it hears.
        const std::optional<PendingRequest> entry =
            pending.take(wire::msg::kDataService, std::nullopt, request.procedure);
        platform::Log::warning("data-service request {} failed: {}", request.procedure, request.reason);
        if (entry)
            applyOnMain(std::make_shared<const DataServiceReply>(DataServiceReplies::failed(*entry)));
    } else if (request.messageType == wire::msg::kChartData) {
        // No chart comes for it: the entry goes, so a later reply is not taken for this one.
        pending.take(wire::msg::kChartData, request.requestId);
        platform::Log::warning("chart request {} failed: {}", request.requestId.value_or(0), request.reason);
    } else {
        platform::Log::warning("request of type {} failed: {}", request.messageType, request.reason);
    }
}

void SessionDataService::applyOnMain(std::shared_ptr<const DataServiceReply> reply) {
    business_.postMain([this, reply] {
        const DataServiceOutcome outcome = DataServiceReplies::apply(
            *reply, business_.session(), business_.dataServiceCollections(), business_.historyRows());
        for (const DataServiceEvent event : outcome.events) {
            switch (event) {
            case DataServiceEvent::depositwithdrawalNotification:
                events_.depositwithdrawalNotification();
                break;
            case DataServiceEvent::executedPositionSearchNotification:
                events_.executedPositionSearchNotification();
                break;
            case DataServiceEvent::MarketSessionScheduleNotification:
                events_.postNotification(std::string(kMarketSessionScheduleNotification));
                break;
            case DataServiceEvent::UserAccountMapNotification:
                events_.postNotification(std::string(kUserAccountMapNotification));
                break;
            case DataServiceEvent::EditUserAccountAccessSucessNotification:
                events_.postNotification(std::string(kEditUserAccountAccessSucessNotification));
                break;
            case DataServiceEvent::EditUserAccountAccessFailureNotification:
                events_.postNotification(std::string(kEditUserAccountAccessFailureNotification));
                break;
            case DataServiceEvent::accountStatementUpdateNotification:
                events_.accountStatementUpdateNotification();
                break;
            case DataServiceEvent::bankDetailsReceivedNotification:
                events_.bankDetailsReceivedNotification();
                break;
            case DataServiceEvent::accountStatementReceived:
            case DataServiceEvent::financialApprovalsReceived:
            case DataServiceEvent::payGateSettingsReceived:
            case DataServiceEvent::resourceDownloadReceived:
                // Kept in the collections for the statement, funding and resource readers.
                break;
            }
        }
        if (outcome.subscribeAllItems)
            business_.SubscribePriceforHistoryData();
    });
}

void SessionDataService::fillChartData(const std::optional<std::string>& data, std::uint64_t requestId) {
    if (business_.chartDataCollection().fillChartData(data, requestId))
        events_.chartDataReceivedNotification(requestId);
}

} // namespace tc
