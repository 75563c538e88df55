#pragma once
// Read-only queries the windows run over the session collections: they filter out what the user
// may not see, pick records by key, sort and build display lists. List results are new vectors
// holding the stored records themselves; nothing here changes a collection.
#include "model/data_service_collections.h"
#include "model/records/request_records.h"
#include "model/session_model.h"
#include "platform/ordered_map.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc {

class AccountDetails;
class Order;

using OrderList = SessionModel::OrderList;
// What the queries hand out: the records as they stand, which a reader cannot write.
using OrderView = std::vector<std::shared_ptr<const Order>>;

// What the queries read besides the model, live: they see each collection as it stands at the call.
// Collections not given read as empty.
struct SessionQuerySources {
    // The positions that were closed or arrived closed, kept by the order side (null: none).
    std::function<const OrderList*()> OpenOrderCollectionCopy;
    // The executed-position search (its rows and whether it is on), the access maps and the market
    // schedules.
    const DataServiceCollections* dataService = nullptr;
    // The user's selected language as it stands, for day names and the closed-day text; 0 when not given.
    std::function<std::int64_t()> language;
};

class SessionQueries {
public:
    // Caps on what one query hands back, so a runaway collection cannot make a window build an
    // unbounded list.
    static constexpr std::size_t kMaxListSize = 1'000'000;
    static constexpr std::size_t kMaxSymbolEntriesPerType = 100'000;
    // The language key of the text listed for a market day without an open session.
    static constexpr std::string_view kClosedDayKey = "10971";

    explicit SessionQueries(const SessionModel& model, SessionQuerySources sources = {})
        : model_(model), sources_(std::move(sources)) {}

    // Instruments.
    // The name of a type id; nullopt when the type is unknown.
    std::optional<std::string> getInstrumentTypeName(std::int32_t instrumentTypeId) const;
    // Per instrument type (in collection order), its "CODE:Name" entries; empty entries are left out.
    std::vector<std::pair<std::string, std::vector<std::string>>> getSymbolTypes() const;
    // The Code of the first instrument with that id; "" when none.
    std::string getItemCode(std::int32_t instrumentId) const;
    // The id of the first instrument with that Code; 0 when none (or the stored id is negative).
    std::uint64_t getItemIdForItemCode(std::string_view code) const;

    // Orders and positions: the stored lists in stored order, without the orders of accounts that
    // are suspended, closed, view-market-only or without access.
    OrderView getOpenOrderCollection() const;
    OrderView getOpenOrderCollectionCopy() const;
    OrderView getPendingOrderCollection() const;
    OrderView getCancelledOrderCollection() const;
    OrderView getSettledOrderCollection() const;
    // The search result when a search is on, else the open positions and their copy; ascending by
    // OpenPositionId with digit runs compared by value, equal ids in list order.
    OrderView getExecutedOrderCollection() const;

    // Accounts and access.
    // The visible accounts in collection order.
    std::vector<std::shared_ptr<const AccountDetails>> getAccountCollection() const;
    // Status 1, 2, 4 or 5 and access type 1, 2 or 3.
    static bool canShowAccount(const AccountDetails& account);
    // Whether the signed-in user is the primary holder of some visible account.
    bool canShowAERights() const;
    bool isUserMappedWithAccount(std::uint64_t accountId) const;
    // The maps of the account other than its primary holder's, in collection order.
    std::vector<std::shared_ptr<const UserAccountMaps>>
    getUserMappedWithAccount(std::uint64_t accountId) const;

    // Resources whose caption holds no "#", ascending by key with digit runs compared by value.
    std::vector<std::shared_ptr<const ResourceDetails>> getResourceCollection() const;

    // Sessions.
    bool checkMarketSessionSchedulesIsAvailable(std::uint64_t marketId) const;
    // Day id -> "start - stop" texts of the day's open (status 1 or 2) sessions in stored order, or
    // the single closed-day text when the day has none. Empty for an unknown market.
    std::map<std::uint64_t, std::vector<std::string>>
    getMarketSessionSchedulesCollection(std::uint64_t marketId) const;
    // The day name of index 0 to 6 in the selected language; "" for other indexes.
    std::string getDaysOfTheWeekName(std::uint64_t dayIndex) const;

private:
    OrderView visibleOrders(const OrderList* orders) const;
    std::string languageText(std::string_view key) const;

    const SessionModel& model_;
    SessionQuerySources sources_;
};

// The two writes that go with these queries: a sort of a list of one's own (the stored lists are never
// reordered; each view sorts for itself) and the data service's access-map updates.

// One key of a table sort: compare < 0 when `a` goes before `b` ascending.
struct OrderSortDescriptor {
    std::function<int(const Order& a, const Order& b)> compare;
    bool ascending = true;
};
// Sorts an order list in place by the descriptors in turn; records equal on every key keep
// their order, empty records go last. No descriptors leave the list as it is.
void sortOrderCollection(OrderList& orders, const std::vector<OrderSortDescriptor>& descriptors);

// The stored map of `map.userId` takes its access type; false, changing nothing, when none is stored.
bool updateUserAccountMaps(UserAccountMapCollection& maps, const UserAccountMaps& map);

} // namespace tc
