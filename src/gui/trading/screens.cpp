// The order ticket and the position dialogs over the demo's first records.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerTradingScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/charts/chart_controller.h"
#include "gui/grid/grid_cells.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/models/client_model.h"
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/close_and_cancel_position_window_controller.h"
#include "gui/trading/close_position_status_window_controller.h"
#include "gui/trading/modify_position_window_controller.h"
#include "gui/trading/multi_account_model.h"
#include "gui/trading/offset_position_window_controller.h"
#include "gui/trading/position_dialogs.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "model/records/order.h"
#include "model/session_queries.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>

#include <functional>
#include <string>

namespace tc::gui {
namespace {

// The order ticket for the first watched instrument, its quote refreshed again once the feed moved
// it, so that the moves show their arrows.
TradeTicketWindowController* ticket(ScreenContext& c) {
    c.context().guiObjects().showTradeTicket(nullptr);
    TradeTicketWindowController* window = c.own(c.context().guiObjects().tradeTicketWindowController());
    if (!window)
        return nullptr;
    window->findChild<QComboBox*>(QStringLiteral("QuantityComboBox"))->setEditText(QStringLiteral("2"));
    c.waitForQuoteMoves({window->itemCode()}, 1100);
    window->UpdateValuesInTimer();
    return window;
}

// Advanced mode: a limit order with take profit and stop loss, the depth and chart drawer and the
// multi-account drawer open.
QWidget* ticketAdvanced(ScreenContext& c) {
    TradeTicketWindowController* window = ticket(c);
    if (!window)
        return nullptr;
    window->setMode(TradeTicketWindowController::kAdvancedMode);
    window->toggleRightDrawer();
    window->toggleLeftDrawer(); // reloads the order types
    window->selectOrderType(interfaces::OrderKind::Limit);
    for (const char* box : {"TakeProfitCheckBox", "StopLossCheckBox"})
        if (auto* check = window->findChild<QCheckBox*>(QString::fromLatin1(box));
            check && check->isEnabled())
            check->click();
    c.waitUntil(
        [window] {
            return !window->tradeChart()->chart().bars().empty() &&
                   window->buyDepth()->model()->rowCount() > 0;
        },
        15000);
    window->UpdateValuesInTimer();
    return window;
}

// The multi-account rows: two ticked with their quantities, the ticket's total below.
QWidget* ticketMultiAccount(ScreenContext& c) {
    TradeTicketWindowController* window = ticket(c);
    if (!window)
        return nullptr;
    window->toggleLeftDrawer();
    MultiAccountTableModel& rows = window->multiAccountModel();
    for (int row = 0; row < rows.rowCount() && row < 2; ++row) {
        rows.setTicked(row, true);
        rows.setQuantity(row, row == 0 ? QStringLiteral("1.5") : QStringLiteral("2"));
    }
    window->UpdateValuesInTimer();
    return window;
}

QWidget* confirmationOn(ScreenContext& c, TradeTicketWindowController* window) {
    if (!window)
        return nullptr;
    window->findChild<QPushButton*>(QStringLiteral("buyButton"))->click();
    QMessageBox* sheet = window->confirmationSheet();
    c.waitUntil([sheet] { return sheet && sheet->isVisible(); });
    return sheet;
}

// A position dialog as a sheet on a plain owner, for the first record of the demo's lists.
QWidget* positionSheet(ScreenContext& c, const std::function<QWidget*(QWidget* owner, ClientModel&)>& open) {
    auto* owner = c.own(new QWidget);
    owner->resize(1000, 700);
    owner->show();
    QWidget* sheet = open(owner, c.session());
    if (sheet)
        c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

std::string firstPosition(ClientModel& session) {
    const auto positions = session.client().queries().getOpenOrderCollection();
    return positions.empty() ? std::string() : positions.front()->OpenPositionId;
}

// The first limit or stop order: the grids offer modify and cancel for those.
std::string firstPendingOrder(ClientModel& session) {
    for (const auto& order : session.client().queries().getPendingOrderCollection())
        if (order->orderType == 2 || order->orderType == 3)
            return order->PendingOrderId;
    return {};
}

QWidget* offsetSheet(ScreenContext& c) {
    return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
        // The rows' floating P/L of the core's first refresh, not the sign-in's zeros.
        c.waitUntil([&session] {
            const auto positions = session.client().queries().getOpenOrderCollection();
            return !positions.empty() && positions.front()->UnrealisedPL != 0;
        });
        auto* sheet = openOffsetDialog(c.context(), owner, firstPosition(session));
        if (sheet && !sheet->state().rows().empty()) {
            sheet->hitCheckbox(0);
            sheet->QuantitySelectedAtIndex(
                0, QString::fromStdString(quantityText(sheet->state().rows().front().totalQty)));
        }
        return sheet;
    });
}

// The close-all window as a sheet on a plain owner; with `refused`, its check has run and the status
// sheet shows the refused position (nothing is sent).
QWidget* closeAll(ScreenContext& c, bool refused) {
    auto* owner = c.own(new QWidget);
    owner->resize(1100, 700);
    owner->show();
    CloseAllWindowController* window = openCloseAll(c.context(), owner);
    if (!window)
        return nullptr;
    c.waitUntil([window] { return window->isVisible(); });
    // The positions valued by the core's first refresh, not the sign-in's zeros.
    c.waitUntil([&c] {
        const auto positions = c.session().client().queries().getOpenOrderCollection();
        return !positions.empty() && positions.front()->UnrealisedPL != 0;
    });
    c.session().tickNow();
    if (!refused)
        return window;
    window->closeAllButtonClicked();
    QWidget* status = window->statusSheet();
    if (status)
        c.waitUntil([status] { return status->isVisible(); });
    return status;
}

} // namespace

void registerTradingScreens(ScreenRegistry& r) {
    r.add("ticket-simple", [](ScreenContext& c) { return static_cast<QWidget*>(ticket(c)); });
    r.add("ticket-advanced", ticketAdvanced);
    r.add("ticket-multi-account", ticketMultiAccount);
    r.add("ticket-confirmation", [](ScreenContext& c) { return confirmationOn(c, ticket(c)); });
    // The question of an order over two accounts, each named with its share.
    r.add("ticket-multi-account-confirmation", [](ScreenContext& c) {
        return confirmationOn(c, static_cast<TradeTicketWindowController*>(ticketMultiAccount(c)));
    });
    r.add("close-position", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openCloseDialog(c.context(), owner, CloseJob::Close, firstPosition(session));
        });
    });
    r.add("cancel-order", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openCloseDialog(c.context(), owner, CloseJob::Cancel, firstPendingOrder(session));
        });
    });
    r.add("modify-position", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openModifyDialog(c.context(), owner, ModifyMode::PositionBrackets, firstPosition(session));
        });
    });
    r.add("modify-order", [](ScreenContext& c) {
        return positionSheet(c, [&](QWidget* owner, ClientModel& session) -> QWidget* {
            return openModifyDialog(c.context(), owner, ModifyMode::PendingOrder, firstPendingOrder(session));
        });
    });
    r.add("offset-position", offsetSheet);
    r.add("close-all", [](ScreenContext& c) { return closeAll(c, false); });
    r.add("close-all-status", [](ScreenContext& c) { return closeAll(c, true); });
}

} // namespace tc::gui
