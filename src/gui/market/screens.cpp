// The quotes board and tiles, the symbol chooser, the grids and the detail windows.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerMarketScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/charts/chart_controller.h"
#include "gui/market/add_remove_window_controller.h"
#include "gui/market/advanced_detail_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/account_details.h"

#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

namespace tc::gui {
namespace {

// The advanced detail window of the first watched instrument, its market sessions and chart in.
QWidget* advancedDetail(ScreenContext& c) {
    const std::string code = c.session().client().watchList().front();
    auto* window = c.own(new AdvancedDetailWindowController(c.context()));
    window->resize(1360, 860);
    window->runModalWindowForItem(code);
    c.waitUntil(
        [window] {
            for (std::size_t i = 0; i < AdvancedDetailWindowController::kPanes; ++i)
                if (window->paneTable(i)->rowCount() == 0)
                    return false;
            return !window->chartController().chart().bars().empty();
        },
        15000);
    return window;
}

// The quotes board with its ladders below, its first instrument selected.
QWidget* quotesBoard(ScreenContext& c) {
    auto* pane = c.own(new QWidget);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* board = new WatchlistTableController(c.context(), pane);
    auto* depth = new MarketDepthPane(c.context(), pane);
    layout->addWidget(board);
    layout->addWidget(depth);
    QObject::connect(board, &WatchlistTableController::instrumentSelected, depth,
                     &MarketDepthPane::setInstrument);
    pane->resize(1240, 420);
    pane->show();
    c.waitUntil([board] { return board->model()->rowCount() > 0; });
    board->selectRow(0);
    c.waitUntil([depth] {
        return depth->buyLadder().model()->rowCount() > 0 && depth->sellLadder().model()->rowCount() > 0;
    });
    return pane;
}

QWidget* quotesTiles(ScreenContext& c) {
    auto* tiles = c.own(new AdvancedWatchlistTableController(c.context()));
    tiles->resize(380, 560);
    tiles->show();
    // Two refreshes with the feed's moves between, so that they show their arrows.
    c.session().tickNow();
    c.waitForQuoteMoves(c.session().client().watchList(), 1100);
    c.session().tickNow();
    return tiles;
}

QWidget* symbolChooser(ScreenContext& c) {
    auto* owner = c.own(new QWidget);
    owner->resize(900, 600);
    owner->show();
    auto* chooser = new AddRemoveWindowController(c.context(), owner);
    chooser->openOn(owner);
    c.waitUntil([chooser] { return chooser->isVisible(); });
    return chooser;
}

// A detail window as a sheet on a plain owner, filled from the demo's session.
QWidget* detail(ScreenContext& c, const std::function<DetailWindowController*(QWidget* owner)>& open) {
    auto* owner = c.own(new QWidget);
    owner->resize(900, 640);
    owner->show();
    DetailWindowController* window = open(owner);
    if (!window)
        return nullptr;
    c.waitUntil([window] { return window->isVisible() && window->detailTableView()->rowCount() > 0; });
    return window;
}

QWidget* receipt(ScreenContext& c) {
    const auto positions = c.session().client().queries().getOpenOrderCollection();
    if (positions.empty())
        return nullptr;
    QWidget* window = detail(c, [&](QWidget* owner) {
        return openDeliveryReceipt(c.context(), owner, positions.front()->OpenPositionId);
    });
    // The bank rows fill in with the account's bank details.
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("detailTableView"));
    c.waitUntil([table] { return table->rowCount() > 2 && !table->item(2, 1)->text().isEmpty(); });
    return window;
}

QWidget* instrument(ScreenContext& c, DetailType type) {
    const std::string code = c.session().client().watchList().front();
    return detail(c, [&](QWidget* owner) { return openInstrumentDetail(c.context(), owner, code, type); });
}

// The lines of a bank deposit request as the server answers them.
QWidget* depositInfo(ScreenContext& c) {
    GuiContext& gui = c.context();
    const auto accounts = c.session().client().queries().getAccountCollection();
    const AccountDetails& account = *accounts.front();
    const std::vector<interfaces::LabelValue> lines{
        {gui.text(texts::kAccountNo).toStdString(), std::to_string(account.AccountId)},
        {gui.text(texts::kAccountName).toStdString(), account.AccountName},
        {"Amount", "2500.00"},
        {"Bank", "First Loopback Bank"},
        {"Remarks", "TT copy sent; the transfer reference is on the copy of the bank's advice"}};
    return detail(c, [&](QWidget* owner) { return openDepositWithdrawalInfo(gui, owner, lines); });
}

} // namespace

void registerMarketScreens(ScreenRegistry& r) {
    r.add("quotes-board", quotesBoard);
    r.add("quotes-tiles", quotesTiles);
    r.add("symbol-chooser", symbolChooser);
    r.add("detail-receipt", receipt);
    r.add("detail-instrument", [](ScreenContext& c) { return instrument(c, DetailType::InstrumentDetails); });
    r.add("detail-contract",
          [](ScreenContext& c) { return instrument(c, DetailType::ContractSpecification); });
    r.add("detail-market-sessions",
          [](ScreenContext& c) { return instrument(c, DetailType::MarketSessions); });
    r.add("detail-deposit-info", depositInfo);
    r.add("advanced-detail", advancedDetail);
}

} // namespace tc::gui
