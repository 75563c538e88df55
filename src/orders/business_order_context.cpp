#include "orders/business_order_context.h"

#include "model/records/order.h"
#include "platform/log.h"
#include "session/business/business_base.h"

namespace tc {

namespace {

std::shared_ptr<Order> findById(SessionModel::OrderList& list, std::string_view id,
                                std::string Order::*field) {
    if (id.empty())
        return nullptr;
    for (auto& o : list) {
        if (o && (*o).*field == id)
            return o;
    }
    return nullptr;
}

} // namespace

MessageSender& BusinessOrderContext::sender() {
    return business_;
}

bool BusinessOrderContext::isStreamConnected() const {
    return business_.conn().isStreamConnected();
}

std::string BusinessOrderContext::userName() const {
    return business_.userName();
}

std::string BusinessOrderContext::referenceId() const {
    return business_.Referenceid();
}

std::int32_t BusinessOrderContext::requestId() const {
    return business_.Requestid();
}

std::string BusinessOrderContext::serverTime() const {
    return business_.ServerTime().value_or("");
}

std::optional<platform::Date> BusinessOrderContext::serverDate() const {
    return business_.serverDate();
}

interfaces::ApplicationInterface& BusinessOrderContext::application() {
    return business_.application();
}

std::shared_ptr<Order> BusinessOrderContext::openPositionForId(std::string_view positionId) const {
    return findById(business_.session().OpenOrderCollection, positionId, &Order::OpenPositionId);
}

std::shared_ptr<Order> BusinessOrderContext::pendingOrderForId(std::string_view pendingOrderId) const {
    return findById(business_.session().PendingOrderCollection, pendingOrderId, &Order::PendingOrderId);
}

void BusinessOrderContext::addPendingOrder(std::shared_ptr<Order> order) {
    auto& list = business_.session().PendingOrderCollection;
    if (list.size() >= kMaxPendingOrders) {
        platform::Log::warning("pending order list full; local record of request {} not kept",
                               order->RequestId);
        return;
    }
    list.push_back(std::move(order));
}

void BusinessOrderContext::appendJournal(std::string line) {
    business_.appendJournal(std::move(line));
}

} // namespace tc
