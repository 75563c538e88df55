#pragma once
// The order requests' view of the business object: its sender, stream state, session values,
// application shell and the live order lists (main queue).
#include "orders/order_requests.h"

namespace tc {

class BusinessBase;

class BusinessOrderContext final : public OrderRequestContext {
public:
    // Past this the local record of a new order is not kept (the execution reports still bring it).
    static constexpr std::size_t kMaxPendingOrders = 100'000;

    explicit BusinessOrderContext(BusinessBase& business) : business_(business) {}

    MessageSender& sender() override;
    bool isStreamConnected() const override;
    std::string userName() const override;
    std::string referenceId() const override;
    std::int32_t requestId() const override;
    std::string serverTime() const override;
    std::optional<platform::Date> serverDate() const override;
    interfaces::ApplicationInterface& application() override;
    std::shared_ptr<Order> openPositionForId(std::string_view positionId) const override;
    std::shared_ptr<Order> pendingOrderForId(std::string_view pendingOrderId) const override;
    void addPendingOrder(std::shared_ptr<Order> order) override;
    void appendJournal(std::string line) override;

private:
    BusinessBase& business_;
};

} // namespace tc
