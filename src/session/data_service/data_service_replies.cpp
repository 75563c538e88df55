#include "session/data_service/data_service_replies.h"

#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/records/record_layout.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "platform/log.h"
#include "session/business/session_requests.h"
#include "wire/envelope_opener.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

namespace tc {

namespace {

constexpr int kStatementSubType = 10;

// The service's word that it could not answer. An empty text is no failure: it is a list without rows.
bool isFailure(std::string_view text) {
    constexpr std::string_view error = "ERROR";
    if (text.size() != error.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != error[i])
            return false;
    }
    return true;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i])
            return false;
    }
    return true;
}

// The non-empty records a filler may read; an oversize one is skipped, its neighbours kept.
std::vector<std::string_view> readableRecords(std::string_view reply) {
    std::vector<std::string_view> records = history::splitRecords(reply);
    std::erase_if(records, [](std::string_view r) {
        if (r.size() <= history::kMaxRecordBytes)
            return false;
        platform::Log::warning("data-service record of {} bytes skipped", r.size());
        return true;
    });
    return records;
}

namespace layouts {

using namespace records;

constexpr auto kBankDetails = recordLayout(
    int64(0, &BankDetails::BankAccountId), int64(1, &BankDetails::BankAccountNumber),
    int64(2, &BankDetails::BankBranchId), text(3, &BankDetails::AccountName),
    int64(4, &BankDetails::CurrencyId), text(5, &BankDetails::Remarks), text(6, &BankDetails::BankName));

using Executed = ExecutedPositionRow;
constexpr auto kExecutedPosition = recordLayout(
    text(0, &Executed::OpenPositionId), text(1, &Executed::AccountNumber), int32(2, &Executed::InstrumentId),
    flag(3, [](Executed& r, bool isBuy) { r.tradingMode = isBuy ? 0 : 1; }),
    decimal(4, &Executed::RemainingQty), decimal(5, &Executed::OrderQty),
    decimalOrNone(6, &Executed::OrderPrice), int32(7, &Executed::orderType),
    int32(8, &Executed::deliveryMode), time(9, &Executed::TransactionDateTime),
    time(10, &Executed::ValueDate), time(11, &Executed::ExpiryDate), text(12, &Executed::PendingOrderId));

// Position 4 is not read.
constexpr auto kInstrumentInfo = recordLayout(
    int32(0, &AdvancedInstrumentInfo::instrumentId), int64(1, &AdvancedInstrumentInfo::marketID),
    text(2, &AdvancedInstrumentInfo::exchangeName), text(3, &AdvancedInstrumentInfo::descriptions),
    text(5, &AdvancedInstrumentInfo::iconResource), int64(6, &AdvancedInstrumentInfo::priceUnitID),
    decimal(7, &AdvancedInstrumentInfo::priceUnitValue), text(8, &AdvancedInstrumentInfo::extraInfo));

} // namespace layouts

template <class Row, class Layout>
Row rowOf(std::string_view record, const Layout& layout) {
    Row row;
    records::readRecord(RecordFields(record), layout, row);
    return row;
}

template <class Row, class Read>
std::vector<Row> rowsOf(std::string_view reply, Read read) {
    std::vector<Row> rows;
    for (std::string_view record : readableRecords(reply))
        rows.push_back(read(record));
    return rows;
}

template <class Row, class... Rows>
std::vector<Row> rowsOf(std::string_view reply, const records::RecordLayout<Rows...>& layout) {
    return rowsOf<Row>(reply, [&](std::string_view record) { return rowOf<Row>(record, layout); });
}

std::vector<std::string> textsOf(std::string_view reply) {
    std::vector<std::string> texts;
    for (std::string_view record : readableRecords(reply))
        texts.emplace_back(record);
    return texts;
}

template <class T>
bool roomFor(const T& collection, std::string_view name) {
    if (collection.size() < DataServiceCollections::kMaxEntries)
        return true;
    platform::Log::warning("{} is full; entry dropped", name);
    return false;
}

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>; // clang 14 does not deduce aggregates yet

} // namespace

DataServiceReply DataServiceReplies::parse(const PendingRequest& request,
                                           const std::optional<std::string>& data,
                                           std::string_view compressedField) {
    return parse(request.procedure, request.dsRequestType, data, compressedField);
}

bool DataServiceReplies::isRefusal(std::string_view text) {
    return isFailure(text);
}

DataServiceReply DataServiceReplies::parse(std::string_view procedure, int dsRequestType,
                                           const std::optional<std::string>& data,
                                           std::string_view compressedField) {
    using namespace dsreply;
    DataServiceReply reply{std::string(procedure), dsRequestType, Ignored{}};
    const std::string_view text = data ? std::string_view(*data) : std::string_view();
    // These two are not cut into records, so "ERROR" is just text to them, and an oversize one is
    // no failure of the split either: the access window still needs its answer.
    if (procedure == "addedituac") {
        reply.value = EditUserAccess{equalsIgnoringCase(text, "success")};
        return reply;
    }
    const bool oversize = text.size() > kMaxReplyBytes;
    if (oversize)
        platform::Log::warning("data-service reply {} of {} bytes refused", procedure, text.size());
    if (procedure == "getdsaccountstatement") {
        if (!oversize)
            reply.value = AccountStatement{std::string(text)};
        return reply;
    }
    if (oversize) {
        reply.value = Failed{};
        return reply;
    }
    // A reply without its data field at all is unreadable; one with an empty field lists nothing.
    if (!data || isFailure(text)) {
        reply.value = Failed{};
        return reply;
    }

    if (procedure == "getopenpositions") {
        OpenPositions v{history::parseRows<OpenOrderHD>(text), !history::splitRecords(text).empty()};
        reply.value = std::move(v);
    } else if (procedure == "getpendingorders") {
        PendingOrders v{history::parseRows<PendingOrderHD>(text), !history::splitRecords(text).empty()};
        reply.value = std::move(v);
    } else if (procedure == "getsettledpositions") {
        reply.value = SettledPositions{history::parseRows<SettledOrderHD>(text)};
    } else if (procedure == "getcancelledorders") {
        reply.value =
            CancelledOrders{history::parseRows<CancelledOrderHD>(text), dsRequestType == kStatementSubType};
    } else if (procedure == "getequityhitpriceinfo") {
        reply.value = EquityHitPrices{history::parseRows<EquityHitPriceInfos>(text)};
    } else if (procedure == "getbankaccounts") {
        BankAccounts v;
        auto records = readableRecords(text);
        if (!records.empty())
            v.details = rowOf<BankDetails>(records.front(), layouts::kBankDetails);
        reply.value = std::move(v);
    } else if (procedure == "getexecutedpositions") {
        reply.value = ExecutedPositions{rowsOf<ExecutedPositionRow>(text, layouts::kExecutedPosition)};
    } else if (procedure == "getinstruments") {
        reply.value = Instruments{rowsOf<AdvancedInstrumentInfo>(text, layouts::kInstrumentInfo)};
    } else if (procedure == "getsessionschedule") {
        reply.value = SessionSchedules{rowsOf<SessionScheduleInfo>(
            text, [](std::string_view r) { return SessionScheduleInfo::fromFields(RecordFields(r)); })};
    } else if (procedure == "getapprovalrequest") {
        reply.value = ApprovalRequests{textsOf(text)};
    } else if (procedure == "getfinancialapprovals") {
        reply.value = FinancialApprovals{textsOf(text)};
    } else if (procedure == "getfinancialtransactions") {
        reply.value = FinancialTransactions{rowsOf<FinancialTransactionDetails>(
            text, [](std::string_view r) { return FinancialTransactionDetails::fromRecord(r); })};
    } else if (procedure == "getusermapwithmyaccount") {
        reply.value = UserAccountMapList{rowsOf<UserAccountMaps>(
            text, [](std::string_view r) { return UserAccountMaps::fromFields(RecordFields(r)); })};
    } else if (procedure == "resourcesearch") {
        reply.value = Resources{rowsOf<FileResource>(text, [](std::string_view r) {
            return FileResource::fromFields(RecordFields(r), FileResource::kSearchMode);
        })};
    } else if (procedure == "resourcedownload") {
        constexpr std::string_view kPayloadPrefix = "1050=";
        ResourceDownload v;
        if (compressedField.starts_with(kPayloadPrefix))
            v.payloadBase64 = std::string(compressedField.substr(kPayloadPrefix.size()));
        reply.value = std::move(v);
    } else if (procedure == "paygategetsettings") {
        reply.value = PayGateSettings{textsOf(text)};
    }
    return reply;
}

DataServiceOutcome DataServiceReplies::apply(const DataServiceReply& reply, SessionModel& model,
                                             DataServiceCollections& targets, HistoryRowSink* rows,
                                             std::optional<std::uint64_t> accountId) {
    using namespace dsreply;
    DataServiceOutcome out;
    const std::string& procedure = reply.procedure;
    const bool forStatement = reply.dsRequestType == kStatementSubType;

    // Before the records: the lists these requests replace, emptied even when the reply failed.
    if (procedure == "getfinancialtransactions")
        targets.FinancialTransactionCollection.clear();
    else if (procedure == "getexecutedpositions")
        targets.ExecutedOrderSearchCollection.clear();
    else if (procedure == "getsessionschedule")
        targets.sessionSchedulesArray.clear();
    else if (procedure == "getcancelledorders" && forStatement)
        targets.cancelledOrderInfo.clear();
    else if (procedure == "getusermapwithmyaccount" && accountId) {
        std::vector<std::string> revoked;
        for (const auto& [key, map] : targets.userAccountMapCollection)
            if (!map || map->accountId == *accountId)
                revoked.push_back(key);
        for (const std::string& key : revoked)
            targets.userAccountMapCollection.erase(key);
    }

    const SessionQueries queries(model);
    std::visit(
        Overloaded{
            [&](const Failed&) {
                if (targets.bankDetails) {
                    targets.bankDetails.reset();
                    out.events.push_back(DataServiceEvent::bankDetailsReceivedNotification);
                }
            },
            [](const Ignored&) {},
            [&](const OpenPositions& v) {
                targets.openPositionsListed = true;
                if (rows) {
                    for (const auto& r : v.rows)
                        rows->FillInitialOpenOrderCollection(r);
                }
                out.subscribeAllItems = out.subscribeAllItems || v.subscribeAll;
            },
            [&](const PendingOrders& v) {
                targets.pendingOrdersListed = true;
                if (rows) {
                    for (const auto& r : v.rows)
                        rows->FillInitialPendingOrderCollection(r);
                }
                out.subscribeAllItems = out.subscribeAllItems || v.subscribeAll;
            },
            [&](const SettledPositions& v) {
                if (rows) {
                    for (const auto& r : v.rows)
                        rows->FillInitialSettledOrderCollection(r);
                }
            },
            [&](const CancelledOrders& v) {
                for (const auto& r : v.rows) {
                    if (!v.forStatement) {
                        if (rows)
                            rows->FillInitialCancelledOrderCollection(r);
                        continue;
                    }
                    // Only rows of accounts this session holds, and only with an instrument.
                    if (r.InstrumentId == 0 || !model.AccountDetailCollection.contains(r.AccountId))
                        continue;
                    if (!roomFor(targets.cancelledOrderInfo, "cancelledOrderInfo"))
                        break;
                    auto order = std::make_shared<Order>();
                    order->CancelledOrderId = r.CancelledOrderId;
                    // Six decimals, as the rows were always shown, rounded from the exact value.
                    order->OrderQty = r.CancelledQty.rounded(6);
                    order->TicketId = r.RefTicketId;
                    order->PendingOrderId = r.RefPendingOrderId;
                    order->ItemCode = queries.getItemCode(r.InstrumentId);
                    order->AccountNumber = r.AccountId;
                    order->TransactionDateTime = r.CancelDateTime;
                    order->tradingMode = r.IsBuy ? 0 : 1;
                    order->deliveryMode = codeOf(r.DeliveryMode);
                    order->orderType = codeOf(r.OrderTypeId);
                    order->OrderPrice = r.OrderPrice.rounded(6);
                    targets.cancelledOrderInfo.push_back(std::move(order));
                }
            },
            [&](const EquityHitPrices& v) {
                if (rows) {
                    for (const auto& r : v.rows)
                        rows->SetEquityHitPriceInOrders(r);
                }
            },
            [&](const BankAccounts& v) {
                // No account on file is an answer too: the window waiting for it hears of it.
                targets.bankDetails = v.details;
                out.events.push_back(DataServiceEvent::bankDetailsReceivedNotification);
            },
            [&](const ExecutedPositions& v) {
                for (const auto& r : v.rows) {
                    if (!roomFor(targets.ExecutedOrderSearchCollection, "ExecutedOrderSearchCollection"))
                        break;
                    auto order = std::make_shared<Order>();
                    order->OpenPositionId = r.OpenPositionId;
                    order->AccountNumber = r.AccountNumber;
                    order->ItemCode = queries.getItemCode(r.InstrumentId);
                    order->tradingMode = r.tradingMode;
                    order->RemainingQty = r.RemainingQty;
                    order->OrderQty = r.OrderQty;
                    order->OrderPrice = r.OrderPrice;
                    order->orderType = r.orderType;
                    order->deliveryMode = r.deliveryMode;
                    order->TransactionDateTime = r.TransactionDateTime;
                    order->ValueDate = r.ValueDate;
                    order->ExpiryDate = r.ExpiryDate;
                    order->PendingOrderId = r.PendingOrderId;
                    targets.ExecutedOrderSearchCollection.push_back(std::move(order));
                }
            },
            [&](const Instruments& v) {
                for (const auto& r : v.rows) {
                    const std::string code = queries.getItemCode(r.instrumentId);
                    auto it = model.ItemCollection.find(code);
                    if (code.empty() || it == model.ItemCollection.end() || !it->second)
                        continue;
                    ItemDetails& item = *it->second;
                    item.marketID = r.marketID;
                    item.exchangeName = r.exchangeName;
                    item.descriptions = r.descriptions;
                    item.iconResource = r.iconResource;
                    item.priceUnitID = r.priceUnitID;
                    item.priceUnitValue = r.priceUnitValue;
                    item.extraInfo = r.extraInfo;
                }
            },
            [&](const SessionSchedules& v) {
                for (const auto& r : v.rows) {
                    if (!roomFor(targets.sessionSchedulesArray, "sessionSchedulesArray"))
                        break;
                    targets.sessionSchedulesArray.push_back(r);
                }
            },
            [&](const UserAccountMapList& v) {
                for (const auto& r : v.rows) {
                    SessionModel::file(targets.userAccountMapCollection, r.key(),
                                       std::make_shared<UserAccountMaps>(r), "userAccountMapCollection",
                                       DataServiceCollections::kMaxEntries);
                }
            },
            [&](const Resources& v) {
                for (const auto& r : v.rows) {
                    SessionModel::file(targets.resourceSearchCollection, r.resourceName, r,
                                       "resourceSearchCollection", DataServiceCollections::kMaxEntries);
                }
                out.events.push_back(DataServiceEvent::resourcesFound);
            },
            [&](const ApprovalRequests& v) {
                out.approvalRequests = v.records;
                out.hasApprovalRequests = true;
            },
            [&](const FinancialApprovals& v) {
                out.financialApprovals = v.records;
                out.hasFinancialApprovals = true;
            },
            [&](const FinancialTransactions& v) {
                for (const auto& r : v.rows) {
                    if (!roomFor(targets.FinancialTransactionCollection, "FinancialTransactionCollection"))
                        break;
                    targets.FinancialTransactionCollection.push_back(r);
                }
            },
            [&](const PayGateSettings& v) {
                out.payGateSettings = v.records;
                out.hasPayGateSettings = true;
            },
            [](const ResourceDownload&) {}, // the resource store's: see SessionDataService
            [](const AccountStatement&) {}, // the statement reader's
            [&](const EditUserAccess& v) {
                out.events.push_back(v.success ? DataServiceEvent::EditUserAccountAccessSucessNotification
                                               : DataServiceEvent::EditUserAccountAccessFailureNotification);
            },
        },
        reply.value);

    // After the records.
    if (procedure == "getfinancialtransactions") {
        out.events.push_back(DataServiceEvent::depositWithdrawalNotification);
    } else if (procedure == "getexecutedpositions") {
        out.events.push_back(DataServiceEvent::executedPositionSearchNotification);
    } else if (procedure == "getsessionschedule") {
        if (!targets.sessionSchedulesArray.empty()) {
            SessionModel::file(targets.marketSessionSchedulesCollection,
                               std::to_string(targets.sessionSchedulesArray.front().marketID),
                               targets.sessionSchedulesArray, "marketSessionSchedulesCollection",
                               DataServiceCollections::kMaxEntries);
        }
        out.events.push_back(DataServiceEvent::MarketSessionScheduleNotification);
    } else if (procedure == "getusermapwithmyaccount") {
        out.events.push_back(DataServiceEvent::UserAccountMapNotification);
    } else if (procedure == "getcancelledorders" && forStatement) {
        out.events.push_back(DataServiceEvent::accountStatementUpdateNotification);
    }
    return out;
}

} // namespace tc
