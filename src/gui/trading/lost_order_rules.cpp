#include "gui/trading/lost_order_rules.h"

#include <algorithm>
#include <string_view>

namespace tc::gui {
namespace {

using interfaces::AccountQuantity;
using interfaces::OrderKind;

bool onAccount(const Order& record, std::string_view instrument, std::int32_t account) {
    return record.ItemCode == instrument && record.AccountNumber == std::to_string(account);
}

// The server numbers its records in turn: a shorter number is an older one.
bool olderId(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

const std::string& idOf(const Order& record, bool position) {
    return position ? record.OpenPositionId : record.PendingOrderId;
}

// Whether a position opened at `opened` can be the fill of a limit or stop order at `price`. A limit
// fills at its price or better, never worse; a stop, once the market reaches it, fills at its price
// or past it, by as much as the market moved before the fill. So the slippage either may have is on
// one side only, and unbounded there: a buy limit at or below its price, a sell limit at or above, a
// buy stop at or above, a sell stop at or below. A price improvement across a stop's own price is not
// taken: the server fills it at the quote that reached it. A market order fills at any price.
bool couldHaveFilledAt(const interfaces::OrderTicket& t, const std::optional<platform::Decimal>& opened) {
    if (t.kind == OrderKind::Market)
        return true;
    if (!t.price || t.price->isNaN() || !opened || opened->isNaN())
        return false;
    const bool atOrBelow = (t.kind == OrderKind::Limit) == (t.side == interfaces::Side::Buy);
    return atOrBelow ? *opened <= *t.price : *opened >= *t.price;
}

// A list writes "0" for no pending order behind a position.
bool namesNoOrder(const std::string& id) {
    return id.empty() || id == "0";
}

// The oldest record that holds the part and that no other part took or was listed before.
const Order* oldestFitting(const OrderRecords& records, bool position, const SentOrder& order,
                           const AccountQuantity& part, const std::set<std::string>& taken) {
    const interfaces::OrderTicket& t = order.ticket;
    const Order* found = nullptr;
    for (const auto& record : records) {
        if (!record || !onAccount(*record, t.instrument, part.accountId))
            continue;
        const std::string& id = idOf(*record, position);
        if (id.empty() || order.listedBefore.contains(id) || taken.contains(id))
            continue;
        if (record->tradingMode != codeOf(t.side) || record->OrderQty != part.quantity)
            continue;
        if (position) {
            // A position names the kind of order it was opened by where the list says so; one the
            // fill of a pending order listed before or taken opened is that order's, whatever it
            // looks like; and a limit or stop order cannot have opened one at a price it never fills at.
            if (record->orderType != 0 && record->orderType != codeOf(t.kind))
                continue;
            const std::string& from = record->PendingOrderId;
            if (!namesNoOrder(from) && (order.listedBefore.contains(from) || taken.contains(from)))
                continue;
            if (!couldHaveFilledAt(t, record->OrderPrice))
                continue;
        } else if (!record->RefPositionIdOfBracket.empty() || record->orderType != codeOf(t.kind) ||
                   !t.price || !record->OrderPrice || *record->OrderPrice != *t.price) {
            continue;
        }
        if (!found || olderId(id, idOf(*found, position)))
            found = record.get();
    }
    return found;
}

} // namespace

std::vector<AccountQuantity> orderParts(const interfaces::OrderTicket& ticket,
                                        std::span<const AccountQuantity> accounts) {
    if (!accounts.empty())
        return {accounts.begin(), accounts.end()};
    return {{ticket.account, ticket.quantity}};
}

std::set<std::string> listedFor(std::string_view instrument, std::span<const AccountQuantity> accounts,
                                const OrderRecords& positions, const OrderRecords& pendingOrders) {
    std::set<std::string> ids;
    for (const AccountQuantity& part : accounts) {
        for (const auto& p : positions)
            if (p && onAccount(*p, instrument, part.accountId) && !p->OpenPositionId.empty())
                ids.insert(p->OpenPositionId);
        for (const auto& o : pendingOrders)
            if (o && onAccount(*o, instrument, part.accountId) && !o->PendingOrderId.empty())
                ids.insert(o->PendingOrderId);
    }
    return ids;
}

std::vector<std::vector<PartHeld>> heldParts(std::span<const SentOrder> orders, const OrderRecords& positions,
                                             const OrderRecords& pendingOrders,
                                             const std::set<std::string>& taken) {
    std::set<std::string> used = taken;
    std::vector<std::vector<PartHeld>> held;
    held.reserve(orders.size());
    for (const SentOrder& order : orders) {
        std::vector<PartHeld>& parts = held.emplace_back();
        for (const AccountQuantity& part : order.accounts) {
            PartHeld& result = parts.emplace_back();
            result.account = part.accountId;
            // A limit or stop order that has not filled is still a pending order; one that filled is
            // a position. A market order is never listed as pending.
            if (order.ticket.kind != OrderKind::Market)
                if (const Order* o = oldestFitting(pendingOrders, false, order, part, used)) {
                    result.by = PartHeld::By::PendingOrder;
                    result.id = o->PendingOrderId;
                }
            if (result.by == PartHeld::By::Nothing)
                if (const Order* p = oldestFitting(positions, true, order, part, used)) {
                    result.by = PartHeld::By::Position;
                    result.id = p->OpenPositionId;
                }
            if (!result.id.empty())
                used.insert(result.id);
        }
    }
    return held;
}

Held heldOf(std::span<const PartHeld> parts) {
    const auto count = std::count_if(parts.begin(), parts.end(),
                                     [](const PartHeld& part) { return part.by != PartHeld::By::Nothing; });
    if (count == 0)
        return Held::Nothing;
    return static_cast<std::size_t>(count) == parts.size() ? Held::All : Held::Some;
}

bool sameOrder(const SentOrder& sent, const interfaces::OrderTicket& ticket,
               std::span<const AccountQuantity> accounts) {
    const interfaces::OrderTicket& t = sent.ticket;
    if (t.instrument != ticket.instrument || t.side != ticket.side || t.kind != ticket.kind)
        return false;
    if (t.kind != OrderKind::Market && t.price != ticket.price)
        return false;
    const auto parts = orderParts(ticket, accounts);
    return std::equal(parts.begin(), parts.end(), sent.accounts.begin(), sent.accounts.end(),
                      [](const AccountQuantity& a, const AccountQuantity& b) {
                          return a.accountId == b.accountId && a.quantity == b.quantity;
                      });
}

} // namespace tc::gui
