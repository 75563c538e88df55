#pragma once
// Look-up of a record by its id in one of the session's order lists, in constant time, so filling
// a list of n rows with duplicate checks costs n steps, not n squared. The lists stay plain vectors
// that other code may change too: the index keeps the list's length and end records as they were
// when it last looked, and a list that changed otherwise than by an append it was told of is
// indexed anew on the next look-up. An erase it was told of is followed too. A hit is checked against
// the record itself.
#include "model/session_model.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc {

class Order;

class OrderIdIndex {
public:
    using OrderList = SessionModel::OrderList;

    // Which record of several with one id a look-up finds: the first, or the last (the newest of a
    // list that only grows at its end).
    enum class Finds { First, Last };
    explicit OrderIdIndex(std::string Order::*member, Finds finds = Finds::First)
        : member_(member), finds_(finds) {}

    // The first (or last, as built) record of `list` whose id is `id`; null for an empty id or none.
    std::shared_ptr<Order> find(OrderList& list, std::string_view id);
    // Its place in `list`, or npos.
    std::size_t placeOf(OrderList& list, std::string_view id);
    // The last record of `list` whose id is `id`, whichever way the index finds: read from the end
    // only when some id is held more than once.
    std::shared_ptr<Order> findLast(OrderList& list, std::string_view id);
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // After one record was appended to `list`.
    void appended(const OrderList& list);
    // After `gone`, the record at `position`, was erased from `list`: the index follows in one pass
    // of small steps, where indexing anew would copy and hash every id of a large book again.
    void erased(const OrderList& list, std::size_t position, const Order* gone);
    // After a record's id changed in place.
    void invalidate() { valid_ = false; }
    // How often a list was indexed anew: the cost the tests watch.
    std::size_t rebuilds() const { return rebuilds_; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    bool current(const OrderList& list) const;
    void rebuild(const OrderList& list);
    void add(const OrderList& list, std::size_t position);
    // A list position from the one kept, and back: kept places do not move at an erase.
    std::size_t shifted(std::size_t stored) const;
    std::size_t stored(std::size_t position) const;
    void remember(const OrderList& list);

    std::string Order::*member_;
    Finds finds_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> positions_;
    bool valid_ = false;
    std::size_t size_ = 0;
    const Order* front_ = nullptr;
    const Order* back_ = nullptr;
    std::size_t rebuilds_ = 0;
    // The kept places erased since the list was indexed, in order; past this many they are settled.
    static constexpr std::size_t kMaxErased = 512;
    std::vector<std::size_t> erasedAt_;
    bool duplicates_ = false; // some id is held by more than one record
};

} // namespace tc
