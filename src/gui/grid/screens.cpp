// The account, position and order grids of the main window's tabs.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerGridScreens().
#include "gui/screens/screen_registry.h"

#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/models/client_model.h"
#include "model/records/account_details.h"
#include "model/session_queries.h"

namespace tc::gui {
namespace {

// An account, position or order grid of the main window's tabs, with its totals, status line or
// search bar.
QWidget* gridPane(ScreenContext& c, Grid which) {
    // The totals are the current account's: the first, as the main window chooses it at sign-in.
    interfaces::Client& client = c.session().client();
    if (const auto accounts = client.queries().getAccountCollection(); !accounts.empty() && accounts.front())
        client.setCurrentAccount(accounts.front()->AccountId);
    auto* pane = c.own(new GridPane(c.context(), which));
    pane->resize(1400, 320);
    pane->show();
    c.session().tickNow();
    c.waitUntil([pane] { return pane->gridModel().rowCount() > 0; });
    return pane;
}

} // namespace

void registerGridScreens(ScreenRegistry& r) {
    r.add("grid-accounts", [](ScreenContext& c) { return gridPane(c, Grid::Accounts); });
    r.add("grid-open-positions", [](ScreenContext& c) { return gridPane(c, Grid::OpenPositions); });
    r.add("grid-pending-orders", [](ScreenContext& c) { return gridPane(c, Grid::PendingOrders); });
    r.add("grid-settled-positions", [](ScreenContext& c) { return gridPane(c, Grid::SettledPositions); });
    r.add("grid-executed-positions", [](ScreenContext& c) { return gridPane(c, Grid::ExecutedPositions); });
    r.add("grid-cancelled-orders", [](ScreenContext& c) { return gridPane(c, Grid::CancelledOrders); });
}

} // namespace tc::gui
