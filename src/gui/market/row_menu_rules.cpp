#include "gui/market/row_menu_rules.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"

namespace tc::gui {
namespace {

// Group settings bits: buying, selling, and the bit the position grids read for physical delivery.
constexpr std::int32_t kBuyAllowed = 1;
constexpr std::int32_t kSellAllowed = 2;
constexpr std::int32_t kDelivery = 4;
// Order-type bits of accounts and instruments: take profit, stop loss, and closing.
constexpr std::int32_t kBrackets = 2 | 4;
constexpr std::int32_t kClose = 32;

bool hasAll(std::int32_t bits, std::int32_t mask) {
    return (bits & mask) == mask;
}

MenuItem item(RowAction action, std::string_view titleKey, bool visible) {
    return {action, titleKey, visible, visible && isActionAvailable(action)};
}

std::int32_t groupBits(const RowRecords& records) {
    return records.settings ? records.settings->availableOrderSettings : 0;
}

} // namespace

bool isActionAvailable(RowAction action) {
    return action != RowAction::OpenTicket;
}

bool isOrderAction(RowAction action) {
    return action != RowAction::DeliveryReceipt;
}

bool canOffset(const Order& position, const OrderView& openPositions) {
    for (const auto& other : openPositions)
        if (other && other->AccountNumber == position.AccountNumber && other->ItemCode == position.ItemCode &&
            other->deliveryMode == position.deliveryMode && other->tradingMode != position.tradingMode)
            return true;
    return false;
}

std::vector<MenuItem> openPositionMenu(const Order& position, const RowRecords& records,
                                       const OrderView& openPositions, bool sheetOpen) {
    bool brackets = false;
    bool close = false;
    bool receipt = false;
    bool offset = false;
    if (!sheetOpen) {
        const std::int32_t settings = groupBits(records);
        const std::int32_t accountTypes = records.account ? records.account->availableOrderTypes : 0;
        const std::int32_t itemTypes = records.item ? records.item->availableOrderTypes : 0;
        if (hasAll(settings, kBuyAllowed | kSellAllowed)) {
            brackets = (accountTypes & kBrackets) != 0 && (itemTypes & kBrackets) != 0;
            close = hasAll(accountTypes, kClose) && hasAll(itemTypes, kClose);
        } else if (hasAll(settings, kDelivery | kBuyAllowed)) {
            receipt = true;
        }
        offset = canOffset(position, openPositions);
    }
    return {
        item(RowAction::ModifyBrackets, texts::kModifyTakeProfitStopLoss, brackets),
        item(RowAction::ClosePosition, texts::kClosePositionMenu, close),
        item(RowAction::OffsetPosition, texts::kOffsetPositionMenu, offset),
        item(RowAction::DeliveryReceipt, texts::kDeliveryReceipt, receipt),
    };
}

std::vector<MenuItem> pendingOrderMenu(const Order& order, bool sheetOpen) {
    const bool shown = !sheetOpen && (order.orderType == 2 || order.orderType == 3);
    const bool stop = order.orderType == 3;
    return {
        item(RowAction::EditOrder, stop ? texts::kModifyStopOrder : texts::kModifyLimitOrder, shown),
        item(RowAction::CancelOrder, stop ? texts::kCancelStopOrder : texts::kCancelLimitOrder, shown),
    };
}

std::vector<MenuItem> executedPositionMenu(const RowRecords& records, bool sheetOpen) {
    return {item(RowAction::DeliveryReceipt, texts::kDeliveryReceipt,
                 !sheetOpen && hasAll(groupBits(records), kDelivery | kBuyAllowed))};
}

CloseCheck closeCheck(const Order& position, const RowRecords& records, const OrderView& pendingOrders) {
    if (!hasAll(groupBits(records), kBuyAllowed | kSellAllowed))
        return CloseCheck::NotAllowed;
    // A position without an id is named by no closing order.
    if (position.OpenPositionId.empty())
        return CloseCheck::Allowed;
    bool closing = false;
    platform::Decimal lots;
    for (const auto& order : pendingOrders)
        if (order && order->LiquidateOrderNumber == position.OpenPositionId) {
            closing = true;
            lots = lots + order->OrderQty;
        }
    if (closing && lots >= position.RemainingQty)
        return CloseCheck::AlreadyClosing;
    return CloseCheck::Allowed;
}

std::optional<std::string_view> ticketRefusalKey(const ItemDetails* item) {
    if (item && item->isInstrumentTradingStatusActive())
        return std::nullopt;
    return texts::kInstrumentNotAvailableTradingAccount;
}

} // namespace tc::gui
