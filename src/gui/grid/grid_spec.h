#pragma once
// The columns of the quotes board, the depth ladders and the account, position and order grids:
// each column has a stable id, which code and the stored hidden columns name it by, and a header
// title that is a named text of its own, so a title can change without losing what users stored.
// Widths, alignment, which columns start hidden, which refresh every second and how each sorts are
// fixed in the specs (each grid's list is beside its row of the grid table, grid_sources.cpp), so the
// table models only map a column to its spec. No Qt here.
#include "model/session_queries.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

enum class Grid : std::uint8_t {
    Watchlist,
    Accounts,
    OpenPositions,
    PendingOrders,
    SettledPositions,
    ExecutedPositions,
    CancelledOrders,
    BuyDepth,
    SellDepth,
};

// What a cell shows. One title may head different fields in different grids (kQuantity is the
// remaining quantity of a position and the settled quantity of a settlement), so the field, not
// the title, picks the value.
enum class Field : std::uint8_t {
    // quotes board (an instrument)
    Code,
    Name,
    InstrumentType,
    Bid,
    Ask,
    SpreadTicks,
    Open,
    High,
    Low,
    PrevClose,
    Last,
    UpdateTime,
    SessionName,
    TradingStatus,
    ContractDetail,
    // accounts grid (an account)
    AccountId,
    AccountName,
    AccountStatus,
    Balance,
    FloatingPL,
    FloatingCredit,
    AccumulatedStorage,
    Equity,
    UsedMargin,
    AvailableMargin,
    AccountType,
    AccessType,
    TradeCurrency,
    // order grids (an order, position or settlement)
    OpenPositionId,
    PendingOrderId,       // as stored
    PendingOrderIdOrDash, // "-" when the row has none
    SettlementId,
    ClosingPositionId,
    AccountNumber,
    ItemCode,
    RemainingQty,
    OrderQty,
    SettledQty,
    ExecutedQty, // the remaining quantity, or the order quantity once nothing remains
    Side,
    OrderType,
    OrderPrice,
    SettledPrice,
    UnrealisedPL,
    SettledPL,
    TakeProfit,
    StopLoss,
    ClosingPrice, // open positions: the live price a position closes at
    MarketPrice,  // pending orders: the live price an order executes at
    TransactionTime,
    TransactionTimeOnly,
    ItemTime,
    Commission,         // settled positions: the settlement's own
    PositionCommission, // open positions: positionCommission(), prorated to what is still open
    PositionMargin,
    BaseCurrencyRate,
    Storage,
    OtherCharges,
    CurrencyRate,
    AccountCurrencyRate,
    DeliveryMode,
    TimeInForce,
    BracketPosition,
    ValueDate,
    ExpiryDate,
    // depth ladders (a level)
    DepthPrice,
    DepthQuantity,
};

struct ColumnSpec {
    std::string_view id;    // stable, unique in its grid
    std::string_view title; // text key of the header; empty for the board's contract-detail column
    Field field;
    int width;            // default width in points
    bool numeric;         // right-aligned; sorted by value
    bool hiddenByDefault; // until the user shows it
    bool live;            // refreshed every second, not only when the table changes
    bool sortable;
    // Before columns had ids the hidden columns were stored by the header's text key of the time;
    // that key, as a number, still reads as this column.
    int storedKeyBefore;
};

// The columns of a grid in their default order.
std::span<const ColumnSpec> columnsOf(Grid grid);
// nullptr when the grid has no column of that id.
const ColumnSpec* columnOf(Grid grid, std::string_view id);
// The header title of a column in the user's language; the contract-detail column is "i".
std::string headerTitle(const ColumnSpec& column, std::int64_t language);

// Switches of the login settings that take columns away.
struct ColumnSwitches {
    bool showAccountCurrency = false;   // the trade currency and account-currency rate columns
    bool baseCurrencyAvailable = false; // the base-currency rate column
};

// A column as the header and its menu start: hidden or shown, and whether the header menu offers
// it. A column a switch takes away is hidden and left out of the menu, whatever was stored.
struct ColumnState {
    const ColumnSpec* spec;
    bool hidden;
    bool inMenu;
};
// `storedHidden`: the ids of the columns the user hid (nullopt when nothing is stored yet: the
// defaults apply).
std::vector<ColumnState> columnStates(Grid grid, const ColumnSwitches& switches,
                                      const std::optional<std::vector<std::string>>& storedHidden);

// Hidden columns are kept per grid in the user defaults, by id; a value stored before ids (the
// header's text key) reads as the column it named then.
std::string hiddenColumnsKey(Grid grid);
std::optional<std::vector<std::string>> storedHiddenColumns(const platform::UserDefaults& defaults,
                                                            Grid grid);
// Keeps one column hidden or shown and saves; the grid's other columns stay as the file has them, so
// another program on the same home keeps the columns it hid or showed. Nothing stored yet stands for
// the columns hidden by default.
void storeColumnHidden(platform::UserDefaults& defaults, Grid grid, std::string_view id, bool hidden);

// The sort of an order grid's column, for the session's list sorts; nullopt for a column that
// does not sort (or a field that is not an order's).
std::optional<OrderSortDescriptor> sortDescriptor(Field field, bool ascending);

// Numbers by value, not-a-number first (as the smallest): a strict order even over NaN. <0, 0 or >0.
int compareNumbers(double x, double y);

// The order of the session's lists (letters without regard to case, digit runs by value, as the
// core's numeric order has it), worked out without the collator for texts of ASCII letters and
// digits, the ids and codes a sort compares ten thousand times over. <0, 0 or >0.
int naturalCompare(std::string_view a, std::string_view b);

// Whether the grid's rows are the session's stored list, which a column sort reorders (open,
// pending, settled and cancelled). The board keeps the watch list's order, the executed grid its
// position-id order.
bool isSortableGrid(Grid grid);

// The text key of the grid's accessible name, the name a screen reader gives the table.
std::string_view gridNameKey(Grid grid);

// Date columns this wide or narrower show only the time of a date-time text.
inline constexpr double kNarrowDateColumnWidth = 135.0;

} // namespace tc::gui
