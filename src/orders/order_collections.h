#pragma once
// The pending, open, cancelled and settled order lists of a session, kept current from the
// execution reports (types 62, 66, 67) and first filled from the data service's history rows.
//
// Records are addressed by their ids (pending order id, position id, settlement id), never by a
// row position: a dialog that holds an id finds the record again with FindOpenPosition() and
// FindPendingOrder(), whatever reports arrived in between. An empty id matches nothing.
//
// Main queue only: the lists carry no lock.
#include "model/text/journal_data.h"
#include "orders/execution_reports.h"
#include "orders/order_id_index.h"
#include "session/business/business_services.h"
#include "session/data_service/data_service_replies.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class Order;
class OrderHost;
class SessionEvents;
struct SessionModel;

class OrderCollections final : public OrderCollectionHandlers, public HistoryRowSink {
public:
    using OrderList = SessionModel::OrderList;

    // The lists are the host's model's; its request number is used only for a report that carries
    // none itself.
    explicit OrderCollections(OrderHost& host);

    // Where the pending-order, trade-confirmation and settlement banners go; none by default.
    void SetBanners(SessionEvents* banners) { banners_ = banners; }
    SessionEvents* Banners() const { return banners_; }
    // Told when the server stored a limit or stop order, and when a settlement was filed (after its
    // banner). Nothing by default.
    using OrderHandler = std::function<void(const std::shared_ptr<Order>&)>;
    void OnPendingOrderStored(OrderHandler handler) { pendingOrderStored_ = std::move(handler); }
    void OnPositionSettled(OrderHandler handler) { positionSettled_ = std::move(handler); }

    // OrderCollectionHandlers.
    void FillPendingOrderCollection(const Fields& fields, const std::string& pendingOrderId) override;
    void UpdatePendingOrderCollection(const Fields& fields, const std::string& pendingOrderId) override;
    void RemovePendingOrder(const std::string& pendingOrderId) override;
    void FillCancelledOrderCollection(std::int64_t id, int status, const Fields& fields) override;
    void RejectLocalOrder(std::int32_t requestId, const Fields& fields) override;
    void FillOpenOrderCollection(const Fields& fields) override;
    void UpdateOpenOrderCollection(const std::string& positionId, const Fields& fields,
                                   const std::optional<platform::Decimal>& remainingQuantity) override;
    void ModifyBracketOrderUpdateOnOpenOrderCollection(const Fields& fields,
                                                       const std::optional<std::string>& refPositionId,
                                                       int status) override;
    void FillSettledOrderCollection(const Fields& fields) override;
    std::string GetOrderRejectionReason(std::int32_t code) override;
    std::optional<std::string> RefPositionIdOfRemovedPendingOrder(const std::string& pendingOrderId) override;
    void ClearBracketOfRejectedOrder(const std::string& pendingOrderId) override;

    // HistoryRowSink.
    void FillInitialOpenOrderCollection(const OpenOrderHD& row) override;
    void FillInitialPendingOrderCollection(const PendingOrderHD& row) override;
    void FillInitialSettledOrderCollection(const SettledOrderHD& row) override;
    void FillInitialCancelledOrderCollection(const CancelledOrderHD& row) override;
    void SetEquityHitPriceInOrders(const EquityHitPriceInfos& row) override;

    // Look-ups by id for the dialogs; null when no such record is held.
    std::shared_ptr<Order> FindOpenPosition(std::string_view openPositionId) const;
    std::shared_ptr<Order> FindPendingOrder(std::string_view pendingOrderId) const;
    std::shared_ptr<Order> FindSettlement(std::string_view settlementId) const;

    // Pending orders that left the pending list, and positions that were closed or arrived closed;
    // later reports look up their details here. Oldest first.
    const OrderList& PendingOrderCollectionCopy() const { return pendingCopy_; }
    const OrderList& OpenOrderCollectionCopy() const { return openCopy_; }

    // The language key of a rejection code's text.
    static std::string_view RejectionReasonKey(std::int32_t code);
    // True for a quantity text that reads as the number 0 ("0", "0.0", "0.00").
    static bool IsZeroQuantity(std::string_view text);
    static bool IsZeroQuantity(const std::optional<platform::Decimal>& quantity);

    // Records the report handlers read one by one in a list: the cost the tests watch, since a
    // report's own record is found through the indexes, not by a pass over a large book.
    std::size_t RecordsScanned() const { return scanned_; }

private:
    bool AccountHeld(std::string_view accountNumber) const;
    bool InstrumentKnown(std::string_view code) const;
    std::string ItemCodeForId(std::int32_t instrumentId) const;
    // ItemCode of the instrument id, or the id kept as UnknownInstrumentId when the snapshot lacks it.
    void SetInstrument(Order& order, std::int32_t instrumentId) const;
    void NoteUnknownInstrument(std::string_view kind, std::string_view id, std::string_view code) const;
    void NoteUnknownInstrument(std::string_view kind, std::string_view id, const Order& order) const;
    // Appends unless the list is full (then false, logged).
    bool Append(OrderList& list, std::shared_ptr<Order> order, std::string_view listName);
    // Erases a record of one of the four lists, its index told.
    void Erase(OrderList& list, OrderList::iterator at);
    // Appends to a copy list; the oldest entry goes when it is full.
    void AppendCopy(OrderList& copy, std::shared_ptr<Order> order);
    void Journal(std::int32_t kind, const Order& order);
    // The order's instrument's decimals, which its price shows with in a line or banner.
    std::int32_t PriceDecimals(const Order& order) const;

    OrderIdIndex* IndexOf(const OrderList& list) const;
    // The newest record of a position id: the copy's (closed or arrived closed) before the open list's.
    std::shared_ptr<Order> NewestOfPosition(std::string_view openPositionId);

    OrderHost& host_;
    SessionModel& model_;
    SessionEvents* banners_ = nullptr;
    OrderHandler pendingOrderStored_;
    OrderHandler positionSettled_;
    OrderList pendingCopy_;
    OrderList openCopy_;
    // Look-ups by id of the four lists; they follow the lists by themselves.
    mutable OrderIdIndex openIndex_;
    mutable OrderIdIndex pendingIndex_;
    mutable OrderIdIndex settledIndex_;
    mutable OrderIdIndex cancelledIndex_;
    mutable OrderIdIndex openCopyIndex_;
    std::size_t scanned_ = 0;
};

} // namespace tc
