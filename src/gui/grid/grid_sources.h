#pragma once
// The grids in one table: for each, the rows it reads of the session, the announcements that
// refresh it, which of its columns are live, its totals, its cells, its row menu and its columns.
// The grid model and the grid pane read a grid's row here instead of asking which grid they hold,
// so a new grid is a row of the table, its cell function and its columns. No Qt here.
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_spec.h"
#include "gui/market/depth_ladder.h"
#include "gui/market/row_menu_rules.h"
#include "interfaces/tables.h"
#include "model/market_depth.h"
#include "model/records/account_details.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {
class Client;
}

namespace tc::gui {

// What a row stands for, which decides how the engine looks up its records and keys its cells.
enum class RowKind : std::uint8_t {
    Instrument, // a watch-list code
    Account,    // an account, with the figures of the refresh that read it
    Order,      // a position, order or settlement of one of the session's order lists
    Level,      // a depth level of the grid's instrument
};

// What the session's one-second tick refreshes of a grid.
enum class OnTick : std::uint8_t {
    Nothing,
    Quotes,    // the live cells quotes move
    Announced, // every cell, when the session announced something since the last read
    Everything,
};

// Which columns read as live figures (greyed while signed out).
enum class LiveColumns : std::uint8_t {
    None,
    Flagged, // those the column specs flag live, and the tick columns
    All,
};

enum class GridTotals : std::uint8_t { None, OpenPositions, Settled };

// One read of the session for a grid, row by row in the session's order. Only the rows' own kind
// is filled.
struct GridRows {
    // The row ids, written out only when the rows differ from the grid's (see GridSource::rowId):
    // most refreshes find the same rows and copy no id.
    std::vector<std::string> ids;
    bool idsFilled = false;
    std::vector<std::string> codes;                   // instruments
    std::vector<std::shared_ptr<const Order>> orders; // orders
    std::vector<AccountDetails> accounts;             // accounts, with this read's figures
    std::vector<LadderRow> levels;                    // depth levels
    std::vector<DepthLevel> depth;                    // the levels' numbers, beside their rows
};

// What a cell function reads of its row.
struct RowView {
    const SessionModel& model;
    const GridRows& rows;
    std::size_t index;
    const ItemDetails* item;   // the row's instrument, looked up with its records
    const RowRecords& records; // an order row's records
};

// What a row menu is made of.
struct MenuInputs {
    const Order& order;
    const RowRecords& records;
    const SessionQueries& queries;
    bool sheetOpen;
};

struct GridSource {
    Grid grid;
    std::string_view name;    // the grid's name in the user defaults' keys ("HiddenColumns.<name>")
    std::string_view nameKey; // text key of the accessible name
    std::span<const ColumnSpec> columns;
    RowKind rows;
    // Reads the rows; `instrument` is the depth ladders' instrument.
    void (*read)(const interfaces::Client& client, const std::string& instrument, GridRows& rows);
    // An order grid's list and the id of its rows (nullptr for other grids).
    OrderView (SessionQueries::*orders)() const;
    const std::string& (*orderId)(const Order& order);
    Cell (*cell)(const RowView& row, Field field);
    // The number a numeric cell shows, as the row's record holds it: what the grid sorts the column
    // by when its rows keep no record of their own (accounts, depth levels). nullptr for the others,
    // whose numeric columns sort by the order's record or by the numbers their cells are made of.
    double (*number)(const RowView& row, Field field);
    // Announcements of these tables re-read the rows and every cell.
    std::span<const interfaces::Table> tables;
    bool followsFigures;  // the positions' one-second figures move the live cells and the totals
    bool followsAccounts; // an account's change shows or hides rows and freezes live prices
    OnTick onTick;
    LiveColumns live;
    std::span<const Field> tickFields; // the columns whose cells carry a tick colour
    GridTotals totals;
    bool sortable; // rows are the session's stored list, which a column sort reorders
    // The row menu; nullptr when the grid's rows have none.
    std::vector<MenuItem> (*menu)(const MenuInputs& inputs);
};

// Every grid's row, indexed by Grid.
std::span<const GridSource> gridSources();
const GridSource& gridSource(Grid grid);

// Whether an announcement of `tables` touches one of `watched`.
bool touches(interfaces::TableSet tables, std::span<const interfaces::Table> watched);

} // namespace tc::gui
