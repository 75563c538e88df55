#pragma once
// Which row actions the grids offer for a row, the checks a row action makes before it opens its
// dialog, and whether the dialog behind an action exists yet. No Qt here.
#include "gui/texts.h"
#include "model/session_queries.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tc {
class ItemDetails;
class Order;
} // namespace tc

namespace tc::gui {

struct RowRecords;

enum class RowAction : std::uint8_t {
    ModifyBrackets, // take profit and stop loss of an open position
    ClosePosition,  // also the click on a position's current price
    OffsetPosition,
    DeliveryReceipt, // of an open or an executed position
    EditOrder,       // a pending limit or stop order
    CancelOrder,
    OpenTicket, // the order ticket, from the quotes boards
};

// Text key of the tooltip of an action whose dialog is not in this version (the order ticket's).
inline constexpr std::string_view kNotAvailableKey = texts::kNotAvailableVersion;
// Whether the dialog an action opens exists; the others are shown disabled with that tooltip.
bool isActionAvailable(RowAction action);
// The actions that send an order or change one (all but the delivery receipt).
bool isOrderAction(RowAction action);

struct MenuItem {
    RowAction action;
    std::string_view titleKey;
    bool visible = false;
    bool enabled = false; // visible and its dialog exists
};

// The open positions' row menu, items in this order: modify brackets, close, offset, delivery
// receipt. Nothing shows while a sheet is open on the main window.
std::vector<MenuItem> openPositionMenu(const Order& position, const RowRecords& records,
                                       const OrderView& openPositions, bool sheetOpen);
// The pending orders' row menu: edit and cancel of a limit or a stop order, titled by its type;
// nothing for any other order type.
std::vector<MenuItem> pendingOrderMenu(const Order& order, bool sheetOpen);
// The executed positions' row menu: the delivery receipt, when the group's settings for the
// instrument carry both bit 1 and bit 4.
std::vector<MenuItem> executedPositionMenu(const RowRecords& records, bool sheetOpen);

// Whether another open position of the same account, instrument and delivery mode faces the other
// way, so the position can be offset against it.
bool canOffset(const Order& position, const OrderView& openPositions);

// What a close request on a position comes to.
enum class CloseCheck : std::uint8_t {
    NotAllowed,     // the group's settings for the instrument lack buying or selling: nothing happens
    AlreadyClosing, // pending orders already close all its lots: the alert of key
                    // kPendingOrdersAlreadyCloseWhole
    Allowed,
};
// `pendingOrders`: the pending orders shown; those naming the position in LiquidateOrderNumber close
// it. Lots are summed exactly, and orders for more lots than remain also leave nothing to close.
CloseCheck closeCheck(const Order& position, const RowRecords& records, const OrderView& pendingOrders);
inline constexpr std::string_view kAlreadyClosingKey = texts::kPendingOrdersAlreadyCloseWhole;

// Opening the order ticket for an instrument of the quotes boards: the key of the alert that refuses
// it (kInstrumentNotAvailableTradingAccount, titled kValidation) when the instrument is missing or not
// active; nullopt when it may open.
std::optional<std::string_view> ticketRefusalKey(const ItemDetails* item);
inline constexpr std::string_view kValidationTitleKey = texts::kValidation;

} // namespace tc::gui
