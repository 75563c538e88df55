#include "orders/order_id_index.h"

#include "model/records/order.h"

namespace tc {

bool OrderIdIndex::current(const OrderList& list) const {
    if (!valid_ || list.size() != size_)
        return false;
    return list.empty() || (list.front().get() == front_ && list.back().get() == back_);
}

void OrderIdIndex::remember(const OrderList& list) {
    size_ = list.size();
    front_ = list.empty() ? nullptr : list.front().get();
    back_ = list.empty() ? nullptr : list.back().get();
    valid_ = true;
}

void OrderIdIndex::add(const OrderList& list, std::size_t position) {
    const Order* order = list[position].get();
    if (order && !((*order).*member_).empty())
        positions_.try_emplace((*order).*member_, position);
}

void OrderIdIndex::rebuild(const OrderList& list) {
    positions_.clear();
    positions_.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        add(list, i);
    remember(list);
}

void OrderIdIndex::appended(const OrderList& list) {
    // Only an append onto the very list last seen extends the index; anything else rebuilds later.
    if (!current(list) && valid_ && list.size() == size_ + 1 &&
        (size_ == 0 || (list.front().get() == front_ && list[size_ - 1].get() == back_))) {
        add(list, size_);
        remember(list);
        return;
    }
    if (!current(list))
        valid_ = false;
}

std::shared_ptr<Order> OrderIdIndex::find(OrderList& list, std::string_view id) {
    if (id.empty())
        return nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!current(list))
            rebuild(list);
        const auto it = positions_.find(id);
        if (it == positions_.end())
            return nullptr;
        auto& order = list[it->second];
        if (order && (*order).*member_ == id)
            return order;
        valid_ = false;
    }
    return nullptr;
}

} // namespace tc
