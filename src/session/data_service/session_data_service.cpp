#include "session/data_service/session_data_service.h"

#include "charts/chart_reply.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "session/data_service/data_service_replies.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>

namespace tc {

namespace {

// The replies that fill no order list and rewrite no order record nor what an order row shows of its
// instrument (the instruments' reply adds their exchange, descriptions and units): their announcement
// names the order lists' rows as unchanged, so a funding or resource reply does not read every row.
bool leavesOrderListsAlone(const std::string& procedure) {
    static constexpr std::string_view kOthers[] = {"getbankaccounts",          "getsessionschedule",
                                                   "getapprovalrequest",       "getfinancialapprovals",
                                                   "getfinancialtransactions", "getusermapwithmyaccount",
                                                   "resourcesearch",           "resourcedownload",
                                                   "paygategetsettings",       "addedituac",
                                                   "getdsaccountstatement",    "getinstruments"};
    return std::find(std::begin(kOthers), std::end(kOthers), procedure) != std::end(kOthers);
}

} // namespace

SessionDataService::SessionDataService(BusinessBase& business) : business_(business) {}

void SessionDataService::enterMessages(MessageRooms& rooms) {
    using interfaces::Table;
    MessageRoom reply;
    reply.tags = {wire::tag::kRecordText, wire::tag::kProcedure};
    reply.read = [this](const RoomMessage& m) {
        return processDSResponse(m.value(wire::tag::kRecordText), m.compressedField(),
                                 m.value(wire::tag::kProcedure));
    };
    reply.tables = {Table::Accounts,         Table::OpenPositions,   Table::PendingOrders,
                    Table::SettledPositions, Table::CancelledOrders, Table::ExecutedPositions};
    // A reply that loads an order list says so as it is applied (its rows are then not named).
    reply.namesRows = true;
    rooms.enter(wire::msg::kDataServiceReply, std::move(reply));
    // Keyed by the request number as it now stands: the chart raised it before asking.
    rooms.enter(wire::msg::kChartDataReply, {wire::tag::kText}, false, [this](const RoomMessage& m) {
        fillChartData(m.value(wire::tag::kText), static_cast<std::uint32_t>(m.requestId()));
    });
}

std::function<void()> SessionDataService::processDSResponse(const std::optional<std::string>& data,
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
    auto reply = std::make_shared<const DataServiceReply>(
        pending ? DataServiceReplies::parse(*pending, data, compressedField)
                : DataServiceReplies::parse(procedure, 0, data, compressedField));

    // The statement is read here, off the main queue, by the statement reader; it installs it there.
    // A refusal, or a reply past the cap, fails its request: the window says so instead of showing an
    // empty statement or waiting for one that never comes.
    if (procedure == "getdsaccountstatement") {
        const auto* statement = std::get_if<dsreply::AccountStatement>(&reply->value);
        if (!statement || DataServiceReplies::isRefusal(statement->xml)) {
            return [this, pending] {
                if (pending)
                    business_.events().requestFailed(*pending, business_.textForKey("93351"));
            };
        }
        if (StatementHandlers* reader = business_.services().statements.get())
            return reader->readAccountStatement(pending ? &*pending : nullptr, statement->xml);
    }

    // A download is decoded here too (Base64, inflation); only the file is written on the main queue.
    std::function<void()> storeDownload;
    if (ResourceHandlers* resources = business_.services().resources.get();
        resources && procedure == "resourcedownload") {
        const auto* download = std::get_if<dsreply::ResourceDownload>(&reply->value);
        // A failed download still answers its request.
        storeDownload = resources->readResourceDownload(pending ? &*pending : nullptr,
                                                        download ? download->payloadBase64 : std::string());
    }

    return [this, reply, pending, procedure, storeDownload = std::move(storeDownload)] {
        if (!leavesOrderListsAlone(procedure))
            business_.tablesChanged({interfaces::Table::OpenPositions, interfaces::Table::PendingOrders,
                                     interfaces::Table::SettledPositions, interfaces::Table::CancelledOrders,
                                     interfaces::Table::ExecutedPositions});
        if (pending && std::holds_alternative<dsreply::Failed>(reply->value))
            business_.events().requestFailed(*pending, business_.textForKey("93352"));
        if (pending && std::holds_alternative<dsreply::AccountStatement>(reply->value) &&
            !business_.services().statements)
            business_.events().requestFailed(*pending, business_.textForKey("93348"));
        // A user-map reply answers for the account it asked about.
        std::optional<std::uint64_t> account;
        if (pending && pending->procedure == "getusermapwithmyaccount" && !pending->subject.empty())
            account = static_cast<std::uint64_t>(platform::lenientInteger(pending->subject));
        const DataServiceOutcome outcome =
            DataServiceReplies::apply(*reply, business_.session(), business_.dataServiceCollections(),
                                      business_.historyRows(), account);
        const BusinessServices& services = business_.services();
        if (outcome.hasApprovalRequests)
            services.funding->fillApprovalRequests(outcome.approvalRequests);
        if (outcome.hasFinancialApprovals)
            services.funding->fillFinancialApprovals(outcome.financialApprovals);
        if (outcome.hasPayGateSettings)
            services.funding->fillPayGateSettings(outcome.payGateSettings);
        if (storeDownload)
            storeDownload();
        if (account)
            business_.events().userAccessLoaded(pending->sequence, static_cast<std::int32_t>(*account));
        const std::uint64_t sequence = pending ? pending->sequence : 0;
        SessionEventSink& sink = business_.events();
        for (const DataServiceEvent event : outcome.events) {
            switch (event) {
            case DataServiceEvent::depositWithdrawalNotification:
                sink.fundingHistoryArrived(sequence);
                break;
            case DataServiceEvent::executedPositionSearchNotification:
                break;
            case DataServiceEvent::MarketSessionScheduleNotification: {
                // The market asked about; else the one the reply's rows name.
                std::uint64_t market = 0;
                if (pending && !pending->subject.empty())
                    market = static_cast<std::uint64_t>(platform::lenientInteger(pending->subject));
                else if (!business_.dataServiceCollections().sessionSchedulesArray.empty())
                    market = business_.dataServiceCollections().sessionSchedulesArray.front().marketID;
                sink.sessionScheduleArrived(sequence, market);
                break;
            }
            case DataServiceEvent::UserAccountMapNotification:
                break;
            case DataServiceEvent::EditUserAccountAccessSucessNotification:
                sink.userAccessEdited(sequence, true);
                break;
            case DataServiceEvent::EditUserAccountAccessFailureNotification:
                sink.userAccessEdited(sequence, false);
                break;
            case DataServiceEvent::accountStatementUpdateNotification:
                sink.statementCancelledOrdersArrived(sequence);
                break;
            case DataServiceEvent::bankDetailsReceivedNotification:
                sink.bankDetailsArrived(sequence);
                break;
            case DataServiceEvent::resourcesFound:
                if (business_.services().resources)
                    business_.services().resources->resourcesFound(pending ? &*pending : nullptr);
                break;
            }
        }
        if (outcome.subscribeAllItems)
            business_.SubscribePriceForHistoryData();
    };
}

void SessionDataService::fillChartData(const std::optional<std::string>& data, std::uint64_t requestId) {
    // The reply is keyed by the request number the chart request carried.
    std::optional<PendingRequest> pending = business_.sessionRequests().pendingRequests().take(
        wire::msg::kChartData, static_cast<std::int32_t>(static_cast<std::uint32_t>(requestId)));
    const std::string key = data ? charts::chartReplyKey(*data).value_or("") : "";
    const bool stored = business_.chartDataCollection().fillChartData(data, requestId);
    if (stored)
        business_.events().chartArrived(pending ? pending->sequence : 0, key);
    else if (pending)
        business_.events().requestFailed(*pending, business_.textForKey("93353"));
}

} // namespace tc
