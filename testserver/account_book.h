#pragma once
// What the server keeps per account: open positions, pending orders (take-profit and stop-loss
// brackets among them), settlements and cancellations. The order engine changes it as orders come
// and fill; the data service reads it to answer the history procedures. Quantities and prices are
// decimal texts as they travel; times are wire texts "yyyyMMddHHmmss". Thread-safe: every access
// goes through with(), under one lock.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testserver {

struct ServerPosition {
    std::int64_t positionId = 0;
    int accountId = 0;
    int instrumentId = 0;
    bool isBuy = true;
    std::string initialQty = "0";
    std::string qty = "0";
    std::string openPrice = "0";
    // Paid in full when the position opened, for its initial quantity; what the open part still
    // carries is this prorated (commissionCarried).
    std::string commission = "0";
    std::string openedAt;
    std::int64_t refTicketId = 0;
    std::int64_t refPendingOrderId = 0;
    std::int64_t executionId = 0;
    int orderTypeId = 1;
    int deliveryMode = 0;
    std::string storage = "0";
    // The rate of the instrument's base currency at the fill: 1, as this server converts nothing.
    std::string baseCurrencyRate = "1";
};

struct ServerPendingOrder {
    std::int64_t pendingOrderId = 0;
    std::int64_t ticketId = 0;
    int accountId = 0;
    int instrumentId = 0;
    bool isBuy = true;
    int orderTypeId = 1;
    std::string orderQty = "0";
    std::string remainingQty = "0";
    std::string orderPrice = "0";
    std::string limitPrice = "0";
    std::string stopPrice = "0";
    int deliveryMode = 0;
    int timeInForce = 0;
    std::string expiry;
    std::string placedAt;
    // The position a take-profit or stop-loss order belongs to; 0 for an entry order.
    std::int64_t refPositionId = 0;
};

struct ServerSettlement {
    std::int64_t settlementId = 0;
    int accountId = 0;
    int instrumentId = 0;
    std::int64_t refPositionId = 0;
    std::int64_t refClosingPositionId = 0;
    std::string qty = "0";
    std::string pl = "0";
    std::string settledAt;
    // The share of the commission paid at opening that the settled quantity carried (already
    // charged to the balance then; told here so the settlements add up to what was paid).
    std::string commission = "0";
    // What the profit was converted at, into the account's currency and from the quote currency:
    // 1, as this server converts nothing.
    std::string currencyRate = "1";
    std::string accountCurrencyRate = "1";
    bool isBuy = true;
    std::string openPrice = "0";
    std::string closePrice = "0";
    std::string openedAt;
    std::string closedAt;
    int deliveryMode = 0;
};

struct ServerCancellation {
    std::int64_t cancelledOrderId = 0;
    std::string qty = "0";
    std::int64_t refTicketId = 0;
    std::int64_t refPendingOrderId = 0;
    int instrumentId = 0;
    int accountId = 0;
    int reasonId = 0;
    std::string cancelledAt;
    int byUserId = 0;
    bool isBuy = true;
    int deliveryMode = 0;
    int orderTypeId = 1;
    std::string orderPrice = "0";
    std::string orderedAt;
};

// A commission charged to an account's balance: on opening a position, for its whole quantity.
struct ServerCharge {
    int accountId = 0;
    std::int64_t positionId = 0;
    std::string amount = "0";
    std::string chargedAt;
};

// Everything of every account; ids are unique across the server.
struct Books {
    std::vector<ServerPosition> positions;
    std::vector<ServerPendingOrder> pendingOrders;
    std::vector<ServerSettlement> settlements;
    std::vector<ServerCancellation> cancellations;
    // Executed positions keep every position ever opened, closed or not, for the executed-position
    // search.
    std::vector<ServerPosition> executed;
    // The commissions charged, as the statements count them.
    std::vector<ServerCharge> charges;
    // Balance of every account (decimal text): the market file's, plus every settled profit since,
    // less every commission charged since.
    std::map<int, std::string> balances;
    std::int64_t nextId = 100001;

    std::int64_t newId() { return nextId++; }
};

// Per-account lists are bounded so a runaway test cannot exhaust memory.
inline constexpr std::size_t kMaxBookEntries = 100'000;

class AccountBook {
public:
    template <typename F>
    decltype(auto) with(F&& f) {
        std::lock_guard lock(mutex_);
        return std::forward<F>(f)(books_);
    }
    template <typename F>
    decltype(auto) with(F&& f) const {
        std::lock_guard lock(mutex_);
        return std::forward<F>(f)(static_cast<const Books&>(books_));
    }

private:
    mutable std::mutex mutex_;
    Books books_;
};

} // namespace testserver
