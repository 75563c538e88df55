#include "gui/grid/executed_search.h"
#include "gui/grid/grid_cells.h"
#include "gui/market/market_fixture.h"
#include "gui/market/row_menu_rules.h"
#include "gui/texts.h"
#include "model/text/formatter.h"
#include "support/device_zone.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tc;

using namespace tc::gui;

namespace {

std::string shown(const std::vector<MenuItem>& items) {
    std::string out;
    for (const MenuItem& item : items)
        out += item.visible ? (item.enabled ? 'E' : 'd') : '-';
    return out;
}

// Items: modify brackets, close, offset, delivery receipt; E shown and enabled, - not shown.
TEST(RowMenus, OpenPositionItemsFollowTheGroupAndOrderTypeBits) {
    struct Case {
        std::int32_t settings, accountTypes, itemTypes;
        bool sheetOpen;
        std::string items;
    };
    const Case cases[] = {
        {3, 2 | 32, 4 | 32, false, "EE--"}, {3, 1, 32, false, "----"},  {3, 32 | 2, 2, false, "E---"},
        {5, 38, 38, false, "---E"},         {7, 38, 38, false, "EE--"}, {4, 38, 38, false, "----"},
        {3, 38, 38, true, "----"},
    };
    for (const Case& c : cases) {
        markettest::Session s;
        s.item("EURUSD").availableOrderTypes = c.itemTypes;
        s.account(11).availableOrderTypes = c.accountTypes;
        s.settings(1).availableOrderSettings = c.settings;
        const auto position = markettest::Session::order("1", "11", "EURUSD");
        EXPECT_EQ(shown(openPositionMenu(*position, recordsOf(s.model, *position), {position}, c.sheetOpen)),
                  c.items)
            << c.settings << " " << c.accountTypes << " " << c.itemTypes;
    }
}

TEST(RowMenus, OffsetNeedsAnOppositePositionOfTheSameDelivery) {
    auto buy = markettest::Session::order("1", "11", "EURUSD", "1", 0);
    auto sell = markettest::Session::order("2", "11", "EURUSD", "1", 1);
    auto otherAccount = markettest::Session::order("3", "12", "EURUSD", "1", 1);
    EXPECT_EQ(shown(openPositionMenu(*sell, {}, {buy, sell}, false)), "--E-");
    EXPECT_FALSE(canOffset(*buy, {buy, otherAccount}));
    sell->deliveryMode = 2;
    EXPECT_FALSE(canOffset(*buy, {buy, sell}));
}

TEST(RowMenus, PendingAndExecutedMenus) {
    Order order;
    for (auto [type, sheet, items, edit, cancel] :
         {std::tuple{3, false, "EE", texts::kModifyStopOrder, texts::kCancelStopOrder},
          {2, false, "EE", texts::kModifyLimitOrder, texts::kCancelLimitOrder},
          {2, true, "--", texts::kModifyLimitOrder, texts::kCancelLimitOrder},
          {1, false, "--", texts::kModifyLimitOrder, texts::kCancelLimitOrder}}) {
        order.orderType = type;
        const auto menu = pendingOrderMenu(order, sheet);
        EXPECT_EQ(shown(menu), items);
        EXPECT_EQ(menu[0].titleKey, edit);
        EXPECT_EQ(menu[1].titleKey, cancel);
    }
    GroupInstruments settings;
    settings.availableOrderSettings = 5;
    EXPECT_EQ(shown(executedPositionMenu({nullptr, nullptr, &settings}, false)), "E");
    EXPECT_EQ(shown(executedPositionMenu({nullptr, nullptr, &settings}, true)), "-");
    settings.availableOrderSettings = 4;
    EXPECT_EQ(shown(executedPositionMenu({nullptr, nullptr, &settings}, false)), "-");
}

// The kPendingOrdersAlreadyCloseWhole check: pending orders that close the position's whole remaining
// quantity.
TEST(RowMenus, CloseIsRefusedWhenPendingOrdersAlreadyCloseEveryLot) {
    const auto closing = [](std::string id, std::string quantity) {
        auto order = markettest::Session::order("", "11", "EURUSD", std::move(quantity));
        order->LiquidateOrderNumber = std::move(id);
        return order;
    };
    GroupInstruments tradable;
    tradable.availableOrderSettings = 3;
    const RowRecords records{nullptr, nullptr, &tradable};
    struct Case {
        std::string remaining;
        OrderView pending;
        CloseCheck check;
    };
    const Case cases[] = {
        {"0.3", {}, CloseCheck::Allowed},
        {"0.3",
         {closing("1", "0.1"), closing("1", "0.2")},
         CloseCheck::AlreadyClosing}, // exact, not 0.30000000000000004
        {"0.3", {closing("1", "0.1")}, CloseCheck::Allowed},
        {"0.3", {closing("1", "0.1"), closing("2", "0.2")}, CloseCheck::Allowed},
        {"0.3",
         {closing("1", "0.5")},
         CloseCheck::AlreadyClosing}, // more than remains: nothing left to close
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            closeCheck(*markettest::Session::order("1", "11", "EURUSD", c.remaining), records, c.pending),
            c.check);
    // A position without an id is not closed by the orders that close nothing.
    EXPECT_EQ(closeCheck(*markettest::Session::order("", "11", "EURUSD", "0.3"), records, {closing("", "1")}),
              CloseCheck::Allowed);
    tradable.availableOrderSettings = 1;
    EXPECT_EQ(closeCheck(*markettest::Session::order("1", "11", "EURUSD"), records, {}),
              CloseCheck::NotAllowed);
    EXPECT_EQ(closeCheck(*markettest::Session::order("1", "11", "EURUSD"), {}, {}), CloseCheck::NotAllowed);
}

TEST(RowMenus, TheTicketOpensOnlyForActiveInstruments) {
    ItemDetails item;
    item.instrumentTradingStatus = 2;
    EXPECT_EQ(ticketRefusalKey(&item), texts::kInstrumentNotAvailableTradingAccount);
    EXPECT_EQ(ticketRefusalKey(nullptr), texts::kInstrumentNotAvailableTradingAccount);
    item.instrumentTradingStatus = 1;
    EXPECT_EQ(ticketRefusalKey(&item), std::nullopt);
    EXPECT_FALSE(isActionAvailable(RowAction::OpenTicket));
    for (RowAction action : {RowAction::DeliveryReceipt, RowAction::ClosePosition, RowAction::CancelOrder,
                             RowAction::ModifyBrackets, RowAction::EditOrder, RowAction::OffsetPosition})
        EXPECT_TRUE(isActionAvailable(action));
}

} // namespace

namespace {

// A day search asks for the whole day, not the one second at its start.
TEST(ExecutedSearch, TheWholeChosenDay) {
    const auto search = executedDaySearch(2024, 2, 29);
    ASSERT_TRUE(search);
    EXPECT_EQ(wireDateTime(*search->FromDate), "20240229000000");
    EXPECT_EQ(wireDateTime(*search->ToDate), "20240229235959");
    EXPECT_FALSE(executedDaySearch(2023, 2, 29));
    EXPECT_FALSE(executedDaySearch(2024, 13, 1));
    // A day whose midnight the device's zone skips (Santiago goes from 00:00 to 01:00 on 8 September
    // 2024) is the server's day all the same, asked for whole.
    testing_support::DeviceZone zone("America/Santiago");
    const auto skipped = executedDaySearch(2024, 9, 8);
    ASSERT_TRUE(skipped);
    EXPECT_EQ(wireDateTime(*skipped->FromDate), "20240908000000");
    EXPECT_EQ(wireDateTime(*skipped->ToDate), "20240908235959");
}

} // namespace
