#include "orders/order_id_index.h"

#include "model/records/order.h"

#include <algorithm>

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

std::size_t OrderIdIndex::shifted(std::size_t stored) const {
    return stored - static_cast<std::size_t>(std::lower_bound(erasedAt_.begin(), erasedAt_.end(), stored) -
                                             erasedAt_.begin());
}

std::size_t OrderIdIndex::stored(std::size_t position) const {
    for (const std::size_t erased : erasedAt_) {
        if (erased > position)
            break;
        ++position;
    }
    return position;
}

void OrderIdIndex::add(const OrderList& list, std::size_t position) {
    const Order* order = list[position].get();
    if (!order || ((*order).*member_).empty())
        return;
    const bool added = finds_ == Finds::First
                           ? positions_.try_emplace((*order).*member_, stored(position)).second
                           : positions_.insert_or_assign((*order).*member_, stored(position)).second;
    duplicates_ = !added || duplicates_;
}

void OrderIdIndex::rebuild(const OrderList& list) {
    ++rebuilds_;
    positions_.clear();
    erasedAt_.clear();
    duplicates_ = false;
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

void OrderIdIndex::erased(const OrderList& list, std::size_t position, const Order* gone) {
    // Only an erase from the very list last seen: one record fewer, its ends where they were unless
    // the erased record was one of them.
    const bool seen = valid_ && gone && list.size() + 1 == size_ && position < size_ &&
                      (position == 0 ? gone == front_ : !list.empty() && list.front().get() == front_) &&
                      (position + 1 == size_ ? gone == back_ : !list.empty() && list.back().get() == back_);
    if (!seen) {
        valid_ = false;
        return;
    }
    // The places after it are not moved one by one: a look-up counts the erased places before.
    const std::size_t place = stored(position);
    erasedAt_.insert(std::lower_bound(erasedAt_.begin(), erasedAt_.end(), place), place);
    const std::string& id = (*gone).*member_;
    const auto it = id.empty() ? positions_.end() : positions_.find(id);
    if (it != positions_.end() && it->second == place) {
        positions_.erase(it);
        // The first record of the same id after it (the last before it), if the list holds another, is
        // now the one found.
        if (duplicates_ && finds_ == Finds::First) {
            for (std::size_t i = position; i < list.size(); ++i)
                if (list[i] && (*list[i]).*member_ == id) {
                    positions_.try_emplace(id, stored(i));
                    break;
                }
        } else if (duplicates_) {
            for (std::size_t i = position; i-- > 0;)
                if (list[i] && (*list[i]).*member_ == id) {
                    positions_.try_emplace(id, stored(i));
                    break;
                }
        }
    }
    if (erasedAt_.size() > kMaxErased) {
        for (auto& entry : positions_)
            entry.second = shifted(entry.second);
        erasedAt_.clear();
    }
    remember(list);
}

std::size_t OrderIdIndex::placeOf(OrderList& list, std::string_view id) {
    if (id.empty())
        return npos;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!current(list))
            rebuild(list);
        const auto it = positions_.find(id);
        if (it == positions_.end())
            return npos;
        const std::size_t position = shifted(it->second);
        if (position < list.size()) {
            const auto& order = list[position];
            if (order && (*order).*member_ == id)
                return position;
        }
        valid_ = false;
    }
    return npos;
}

std::shared_ptr<Order> OrderIdIndex::find(OrderList& list, std::string_view id) {
    const std::size_t position = placeOf(list, id);
    return position == npos ? nullptr : list[position];
}

std::shared_ptr<Order> OrderIdIndex::findLast(OrderList& list, std::string_view id) {
    auto found = find(list, id);
    if (!found || finds_ == Finds::Last || !duplicates_)
        return found;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (*it && (**it).*member_ == id)
            return *it;
    return found;
}

} // namespace tc
