#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_spec.h"
#include "gui/market/market_fixture.h"
#include "gui/texts.h"
#include "platform/bundle.h"
#include "platform/numeric_order.h"
#include "platform/string_table.h"
#include "platform/user_defaults.h"
#include "support/settings_lock.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

using namespace tc;

using namespace tc::gui;

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

constexpr Grid kGrids[] = {Grid::Watchlist,       Grid::Accounts,         Grid::OpenPositions,
                           Grid::PendingOrders,   Grid::SettledPositions, Grid::ExecutedPositions,
                           Grid::CancelledOrders, Grid::BuyDepth,         Grid::SellDepth};

TEST(GridSpec, EveryColumnIsNamedByAKeyWithAnEnglishTitle) {
    const auto folder = platform::Bundle::localizationFolder("en");
    ASSERT_TRUE(folder);
    platform::StringTable::ParseReport report;
    const auto table = platform::StringTable::load(*folder / platform::StringTable::kFileName, &report);
    ASSERT_TRUE(table);
    EXPECT_TRUE(report.duplicateLines.empty())
        << "a key is listed twice, first repeat on line " << report.duplicateLines.front();
    EXPECT_TRUE(report.malformedLines.empty());
    for (Grid grid : kGrids) {
        std::set<std::string_view> seen;
        for (const ColumnSpec& column : columnsOf(grid)) {
            EXPECT_TRUE(seen.insert(column.id).second) << column.id;
            EXPECT_GT(column.width, 0);
            EXPECT_EQ(columnOf(grid, column.id), &column);
            if (column.field == Field::ContractDetail) {
                EXPECT_EQ(headerTitle(column, 0), "i");
                continue;
            }
            EXPECT_NE(table->find(column.title), nullptr) << column.id << " has no English title";
            EXPECT_EQ(headerTitle(column, 0), *table->find(column.title));
        }
    }
    // Every other key these grids and windows use.
    for (std::string_view key : {texts::kCloseAll,
                                 texts::kNewDeposit,
                                 texts::kNewWithdrawal,
                                 texts::kDate,
                                 texts::kSearch,
                                 texts::kReset,
                                 texts::kCancelLimitOrder,
                                 texts::kCancelStopOrder,
                                 texts::kModifyLimitOrder,
                                 texts::kModifyStopOrder,
                                 texts::kPendingOrdersAlreadyCloseWhole,
                                 texts::kInstrumentNotAvailableTradingAccount,
                                 texts::kValidation,
                                 texts::kAccountNo,
                                 texts::kInstrument,
                                 texts::kBuySell,
                                 texts::kInitialMargin,
                                 texts::kName,
                                 texts::kContractSize,
                                 texts::kTickSize,
                                 texts::kUnit,
                                 texts::kDecimalPlaces,
                                 texts::kMinOrderQty,
                                 texts::kMaxOrderQty,
                                 texts::kOrderQtyStep,
                                 texts::kLimitMinDistance,
                                 texts::kStopMinDistance,
                                 texts::kOvernightMargin,
                                 texts::kIntradayMargin,
                                 texts::kBTSTMargin,
                                 texts::kUpperLimit,
                                 texts::kLowerLimit,
                                 texts::kBuyStorageRate,
                                 texts::kSellStorageRate,
                                 texts::kFirstNoticeDay,
                                 texts::kLastTradingDay,
                                 texts::kSunday,
                                 texts::kSaturday,
                                 texts::kClosed,
                                 texts::kDescription,
                                 texts::kOtherCharges,
                                 texts::kNotAvailableVersion,
                                 texts::kModifyTakeProfitStopLoss,
                                 texts::kClosePositionMenu,
                                 texts::kOffsetPositionMenu,
                                 texts::kDeliveryReceipt})
        EXPECT_NE(table->find(key), nullptr) << key << " has no English text";
}

// The column a title heads in a grid.
const ColumnSpec* titled(Grid grid, std::string_view title) {
    for (const ColumnSpec& column : columnsOf(grid))
        if (column.title == title)
            return &column;
    return nullptr;
}

// One title heads a different field in each grid: the field decides what the cell shows.
TEST(GridSpec, ATitleShowsItsGridsField) {
    markettest::Session s;
    s.item("EURUSD", 1, 2);
    Order row;
    row.RemainingQty = dec("1.50");
    row.OrderQty = dec("5.000");
    row.SettledQty = dec("2.250");
    row.OrderPrice = dec("1.2");
    row.SettledPrice = dec("1.3");
    row.PendingOrderId = "";
    row.TransactionDateTime = wallTimeFromWire("20240305143000");
    row.ItemCode = "EURUSD";
    const RowRecords records = recordsOf(s.model, row);
    struct Case {
        Grid grid;
        std::string_view title;
        std::string text;
    };
    const Case cases[] = {
        {Grid::OpenPositions, texts::kQuantity, "1.5"},
        {Grid::SettledPositions, texts::kQuantity, "2.25"},
        {Grid::ExecutedPositions, texts::kQuantity, "1.5"},
        {Grid::CancelledOrders, texts::kQuantity, "5"},
        {Grid::PendingOrders, texts::kOrderQty, "5"},
        {Grid::PendingOrders, texts::kRemainingQty, "1.5"},
        {Grid::OpenPositions, texts::kOpenPrice, "1.20"},
        {Grid::SettledPositions, texts::kClosePrice, "1.30"},
        {Grid::ExecutedPositions, texts::kOrderID, "-"},
        {Grid::PendingOrders, texts::kOrderID, ""},
        {Grid::CancelledOrders, texts::kCancelledTime, "03/05/2024 14:30:00"},
        {Grid::SettledPositions, texts::kTime, "14:30:00"},
    };
    for (const Case& c : cases) {
        const ColumnSpec* column = titled(c.grid, c.title);
        ASSERT_NE(column, nullptr) << c.title;
        EXPECT_EQ(orderCell(row, records, column->field).text, c.text) << c.title;
    }
    EXPECT_EQ(columnOf(Grid::OpenPositions, "9999"), nullptr);
    // The server's 0 names no pending order either; a real id shows as it is.
    const ColumnSpec* pendingId = columnOf(Grid::ExecutedPositions, "PendingOrderId");
    row.PendingOrderId = "0";
    EXPECT_EQ(orderCell(row, records, pendingId->field).text, "-");
    row.PendingOrderId = "310002";
    EXPECT_EQ(orderCell(row, records, pendingId->field).text, "310002");
}

TEST(GridSpec, LoginSwitchesHideColumnsAndTakeThemOutOfTheMenu) {
    const auto state = [](Grid grid, std::string_view id, const ColumnSwitches& switches) {
        for (const ColumnState& s : columnStates(grid, switches, std::nullopt))
            if (s.spec->id == id)
                return std::pair{s.hidden, s.inMenu};
        return std::pair{false, false};
    };
    const ColumnSwitches off{false, false};
    const ColumnSwitches on{true, true};
    EXPECT_EQ(state(Grid::Accounts, "TradeCurrency", off), std::pair(true, false));
    EXPECT_EQ(state(Grid::SettledPositions, "AccountCurrencyRate", off), std::pair(true, false));
    // Found by its id, whatever its header reads in the user's language.
    EXPECT_EQ(state(Grid::OpenPositions, "BaseCurrencyRate", off), std::pair(true, false));
    EXPECT_EQ(state(Grid::Accounts, "TradeCurrency", on), std::pair(false, true));
    EXPECT_EQ(state(Grid::SettledPositions, "AccountCurrencyRate", on), std::pair(false, true));
    EXPECT_EQ(state(Grid::OpenPositions, "BaseCurrencyRate", on),
              std::pair(true, true)); // hidden until shown
}

TEST(GridSpec, HiddenColumnsAreKeptPerGridInTheDefaults) {
    auto defaults = platform::UserDefaults::inMemory();
    EXPECT_FALSE(storedHiddenColumns(*defaults, Grid::OpenPositions));
    // The first column shown: the others hidden by default stay hidden.
    storeColumnHidden(*defaults, Grid::OpenPositions, "BaseCurrencyRate", false);
    storeColumnHidden(*defaults, Grid::OpenPositions, "PositionMargin", true);
    const auto stored = storedHiddenColumns(*defaults, Grid::OpenPositions);
    ASSERT_TRUE(stored);
    for (const ColumnState& s : columnStates(Grid::OpenPositions, {true, true}, stored))
        EXPECT_EQ(s.hidden, s.spec->id == "PositionMargin" ||
                                (s.spec->hiddenByDefault && s.spec->id != "BaseCurrencyRate"))
            << s.spec->id;
    EXPECT_FALSE(storedHiddenColumns(*defaults, Grid::PendingOrders));
    // What no column of the grid is stays in the list for whatever wrote it; it hides nothing here.
    defaults->setStringArray(hiddenColumnsKey(Grid::OpenPositions), {"nonsense", "0128"});
    storeColumnHidden(*defaults, Grid::OpenPositions, "Commission", true);
    EXPECT_EQ(defaults->stringArrayForKey(hiddenColumnsKey(Grid::OpenPositions)),
              (std::vector<std::string>{"nonsense", "PositionMargin", "Commission"}));
    EXPECT_EQ(storedHiddenColumns(*defaults, Grid::OpenPositions),
              (std::vector<std::string>{"PositionMargin", "Commission"}));
}

// Two programs on one home: each hides or shows a column of the same grid, and the file keeps both.
TEST(GridSpec, TwoProgramsHidingColumnsOfOneGridKeepEachOthersColumns) {
    testing_support::TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    platform::UserDefaults a(file);
    platform::UserDefaults b(file);
    storeColumnHidden(b, Grid::OpenPositions, "PositionMargin", true);
    storeColumnHidden(a, Grid::OpenPositions, "Storage", true);
    storeColumnHidden(b, Grid::OpenPositions, "BaseCurrencyRate", false);
    const auto hidden = storedHiddenColumns(platform::UserDefaults(file), Grid::OpenPositions);
    ASSERT_TRUE(hidden);
    for (const ColumnState& s : columnStates(Grid::OpenPositions, {true, true}, hidden))
        EXPECT_EQ(s.hidden, s.spec->id == "PositionMargin" || s.spec->id == "Storage" ||
                                (s.spec->hiddenByDefault && s.spec->id != "BaseCurrencyRate"))
            << s.spec->id;
    // A shows Margin again only when A's trader shows it.
    storeColumnHidden(a, Grid::OpenPositions, "PositionMargin", false);
    EXPECT_EQ(storedHiddenColumns(platform::UserDefaults(file), Grid::OpenPositions)->size(),
              hidden->size() - 1);
}

// A change kept aside at quit (another program held the settings' lock) is made again at the next
// start on the list as the other program left it, column by column, though both changes kept the
// list's length.
TEST(GridSpec, HiddenColumnsKeptAsideAtQuitMergeWithTheOtherProgramsColumns) {
    testing_support::TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    const std::string key = hiddenColumnsKey(Grid::OpenPositions);
    testing_support::seedStringArray(file, key, {"PositionMargin", "Storage"});
    platform::UserDefaults other(file);
    testing_support::SettingsLock lock(file);
    ASSERT_TRUE(lock.held());
    {
        platform::UserDefaults quitting(file);
        storeColumnHidden(quitting, Grid::OpenPositions, "PositionMargin", false);
        storeColumnHidden(quitting, Grid::OpenPositions, "Commission", true);
        EXPECT_TRUE(quitting.finishSaves(std::chrono::milliseconds(100)));
    }
    lock.release();
    storeColumnHidden(other, Grid::OpenPositions, "Storage", false);
    storeColumnHidden(other, Grid::OpenPositions, "BaseCurrencyRate", true);
    platform::UserDefaults next(file);
    ASSERT_TRUE(next.waitForPendingSave(std::chrono::seconds(60)));
    const std::vector<std::string> merged{"BaseCurrencyRate", "Commission"};
    EXPECT_EQ(next.stringArrayForKey(key), merged);
    EXPECT_EQ(platform::UserDefaults(file).stringArrayForKey(key), merged);
}

// Before columns had ids their header's text key was stored: such a value still hides the column
// it named then, in its own grid only, and an unknown number hides nothing.
TEST(GridSpec, HiddenColumnsStoredByHeaderKeysStillHideTheSameColumns) {
    auto defaults = platform::UserDefaults::inMemory();
    const auto hide = [&](Grid grid, std::vector<std::string> stored) {
        defaults->setStringArray(hiddenColumnsKey(grid), stored);
        return *storedHiddenColumns(*defaults, grid);
    };
    using Ids = std::vector<std::string>;
    EXPECT_EQ(
        hide(Grid::OpenPositions, {"0128", "30469", "0478", "0027", "0", "12345"}), // as stored before ids
        (Ids{"PositionMargin", "BaseCurrencyRate", "ValueDate", "RemainingQty"}));
    const Ids settled{"0027", "0830"}; // as stored before ids
    EXPECT_EQ(hide(Grid::SettledPositions, settled), (Ids{"SettledQty", "AccountCurrencyRate"}));
    EXPECT_EQ(hide(Grid::Watchlist, {"0", "0199", "10987", "PositionMargin"}), // as stored before ids
              (Ids{"ContractDetail", "InstrumentType", "Open"}));
    EXPECT_EQ(hide(Grid::Watchlist, {"Name", "0021"}), (Ids{"Name", "Name"})); // as stored before ids
}

TEST(GridSpec, ColumnsSortByValueAndDatesByTime) {
    struct Case {
        Field field;
        bool ascending;
        std::vector<std::string> values, sorted; // written into the field the column sorts by
    };
    const Case cases[] = {
        {Field::OpenPositionId, true, {"100", "9", "10"}, {"9", "10", "100"}},
        {Field::RemainingQty, false, {"10", "2.5", "9"}, {"10", "9", "2.5"}},
        // Times as the wire gives them; a time that did not read goes last.
        {Field::TransactionTime,
         true,
         {"20240102000000", "not a date", "20231231235959"},
         {"20231231235959", "20240102000000", ""}},
        // A day column sorts by the day it shows: times of one day keep their order.
        {Field::ValueDate,
         true,
         {"20240102150000", "", "20240102090000", "20240101230000"},
         {"20240101230000", "20240102150000", "20240102090000", ""}},
    };
    for (const Case& c : cases) {
        const auto set = [&](Order& o, const std::string& v) {
            if (c.field == Field::OpenPositionId)
                o.OpenPositionId = v;
            else if (c.field == Field::RemainingQty)
                o.RemainingQty = dec(v);
            else if (c.field == Field::ValueDate)
                o.ValueDate = wallTimeFromWire(v);
            else
                o.TransactionDateTime = wallTimeFromWire(v);
        };
        const auto get = [&](const Order& o) {
            return c.field == Field::OpenPositionId ? o.OpenPositionId
                   : c.field == Field::RemainingQty ? o.RemainingQty.toString()
                   : c.field == Field::ValueDate    ? wireDateTime(o.ValueDate)
                                                    : wireDateTime(o.TransactionDateTime);
        };
        OrderList orders;
        for (const auto& v : c.values)
            set(*orders.emplace_back(std::make_shared<Order>()), v);
        sortOrderCollection(orders, {*sortDescriptor(c.field, c.ascending)});
        std::vector<std::string> out;
        for (auto& o : orders)
            out.push_back(get(*o));
        EXPECT_EQ(out, c.sorted);
    }
    for (Grid grid : kGrids)
        for (const ColumnSpec& column : columnsOf(grid))
            EXPECT_EQ(column.sortable && isSortableGrid(grid), column.sortable) << column.id;
    for (Grid grid :
         {Grid::OpenPositions, Grid::PendingOrders, Grid::SettledPositions, Grid::CancelledOrders})
        for (const ColumnSpec& column : columnsOf(grid))
            EXPECT_EQ(sortDescriptor(column.field, true).has_value(), column.sortable) << column.id;
}

// The fast order of ids and codes is the collator's.
TEST(GridSpec, NaturalOrderAgreesWithTheCollator) {
    const platform::NumericOrder collator;
    std::mt19937 random(5);
    const std::string_view alphabet = "aAbBzZ00190-_ ";
    const auto text = [&] {
        std::string s(random() % 7, ' ');
        for (char& c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (int n = 0; n < 20000; ++n) {
        const std::string a = text();
        const std::string b = text();
        const int expected = collator.less(a, b) ? -1 : collator.less(b, a) ? 1 : 0;
        ASSERT_EQ(naturalCompare(a, b), expected) << '"' << a << "\" and \"" << b << '"';
    }
    EXPECT_LT(naturalCompare("US30", "US100"), 0);
}

} // namespace
