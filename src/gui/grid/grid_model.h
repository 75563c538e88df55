#pragma once
// One table model for every grid of the quotes board, the accounts, the position and order lists and
// the depth ladders, over the session model. A row is a record id (an instrument code, an account
// number, a position, order or settlement id, a depth level's place); its cells come from the grid
// rules and are kept here between refreshes, so painting never reads the session.
//
// What a grid reads, which announcements refresh it, its live columns, totals and cells are its row
// of the grid table (grid_sources.h): the model asks that row, never which grid it is.
//
// Refreshes compare: rows that came or went are inserted and removed, rows that changed places are
// moved (many at once: one layout change), and one dataChanged spans the cells whose text or tone
// changed; never a reset, but when the client is replaced. The quotes board and the depth ladders
// refresh every cell on the session's tick, the accounts when the session announced something since;
// the open positions and pending orders their live columns; every order grid its rows when its table
// changed, every cell of the rows that came and of those the change names as rewritten, and no cell
// of the others, whose live cells the tick moves (all of its cells when the change cannot name
// them), and its rows when an account's change shows or hides orders. A ladder waits for the tick, not for
// its depth messages, so that it and the board's and ticket's prices beside it are of one moment.
//
// A row keeps the records it names (instrument, account, group settings) between its table's
// changes, for as long as the session model stands (its generation). The cells made of a few numbers
// (prices, profit and loss) keep those numbers as their key and are formatted only when first read
// after the numbers moved, so a refresh of 10,000 positions formats only what a view shows.
//
// What belongs to one view stays in the view: the tick colours of live prices and the sort order
// (GridViewProxy), hidden columns and widths (the header, from the column specs here). Date columns
// show the whole date and time; a view whose column is narrow shows only the time
// (dateTimeForWidth).
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_sources.h"
#include "gui/grid/grid_spec.h"
#include "gui/grid/grid_totals.h"
#include "gui/grid/row_changes.h"
#include "gui/market/depth_ladder.h"

#include <QAbstractTableModel>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tc::gui {

class ClientModel;

// The internal id of a grid's index (the grid model's and its views'): a pure function of the row and
// column, so that the indexes Qt makes again match, and scattered, since Qt 6 hashes a persistent
// index as (row << 4) + column + id: with one id for all, the cells of a grid wider than 16 columns
// fill one hash cluster, which every row removed, inserted or sorted walks once per index held.
constexpr quintptr gridIndexId(int row, int column) {
    std::uint64_t x = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32) |
                      static_cast<std::uint32_t>(column);
    // splitmix64's finaliser.
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return static_cast<quintptr>(x);
}

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1, // the row's record id (QString)
        ToneRole,                  // the cell's Tone (int)
        IdentifierRole,            // header data: the column's id (QString)
        SortsRole,                 // header data: whether a click on the title sorts (bool)
    };

    // The session model must outlive the grid model (and its proxies).
    GridModel(ClientModel& session, Grid grid, QObject* parent = nullptr);
    ~GridModel() override;

    Grid grid() const { return grid_; }
    const ColumnSpec& columnSpec(int column) const { return columns_[static_cast<std::size_t>(column)]; }
    // -1 when the grid has no column of that id.
    int columnOf(std::string_view identifier) const;
    // -1 when no row has that id.
    int rowOf(std::string_view id) const;
    const std::string& rowId(int row) const;
    const Cell& cell(int row, int column) const;

    // The depth ladders show the levels of one instrument (none until one is set).
    void setInstrument(std::string code);
    const std::string& instrument() const { return instrument_; }
    // The language of the header titles and the theme of the cell colours.
    void setLanguage(std::int64_t language);
    void setTheme(std::int64_t theme);
    std::int64_t theme() const { return theme_; }
    std::int64_t language() const { return language_; }

    // The live price a view's tick colour follows (the board's bid and ask, a position's closing
    // price) as the grid's last refresh read it; nullopt for other columns, or when the row has none.
    std::optional<double> livePrice(int row, int column) const { return liveQuote(row, column).price; }
    // The live price with whether it is held (an account in equity hit: its tick stays as it was),
    // in one look: what a view's ticks read of every row.
    struct LiveQuote {
        std::optional<double> price;
        bool frozen = false;
    };
    LiveQuote liveQuote(int row, int column) const;
    // Every row's liveQuote of the column, in row order, into `quotes` (its old contents dropped):
    // one call per refresh for a view's ticks instead of one per row.
    void liveQuotes(int column, std::vector<LiveQuote>& quotes) const;
    // Moves whenever a refresh may have moved a live quote or the rows (every refresh but the one of
    // the positions' figures alone): a view whose ticks were noted at this count has nothing new.
    std::uint64_t quotesRead() const { return quotesRead_; }
    // A number of the row's own, never given to another row of this model: what a view keys its
    // state of the row by, whichever place the row moves to.
    std::uint64_t rowSerial(int row) const { return rows_[static_cast<std::size_t>(row)].serial; }
    // Whether the column's cells carry a tick colour.
    bool isTickColumn(int column) const;
    // The grid's order of two rows by a column (<0, 0, >0): the session's list order for the order
    // grids, numbers by the value their records hold in numeric columns (never read back from the
    // cell's text), texts with digit runs by value otherwise.
    int compareRows(int left, int right, int column) const;

    // Reads the session now and signals what changed (the tick and the client's events do this).
    void refresh();

    // The session is not signed in, or its server answers nothing: the live cells (prices, figures)
    // are what it last heard, and read as stale (Tone::Stale, no tick colour) until a login completes
    // or the server answers again.
    bool isSignedOut() const { return signedOut_; }
    // Whether the column's cells are live figures: the whole quotes board, depth ladders and accounts,
    // the live columns of the open positions and pending orders; never the history grids.
    bool isLiveColumn(int column) const;

    // The open positions' totals bar and the settled positions' totals, worked out from the rows of
    // every refresh (zero for the other grids), whichever columns a view shows. They are the totals
    // of the session's current account, the one the status bar shows, and follow it when it changes.
    const OpenPositionTotals& openPositionTotals() const { return openTotals_; }
    const SettledTotals& settledTotals() const { return settledTotals_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // After every refresh, once the rows and cells stand: views note their own state (ticks) here.
    void refreshed();
    // The totals were worked out again (open and settled positions, after each refresh).
    void totalsChanged();

private:
    // The inputs of a number cell (its values, decimals, record): the cell is worked out again only
    // when they moved.
    struct CellKey {
        double values[3] = {0, 0, 0};
        std::int32_t state = 0;
        const void* record = nullptr;
        bool known = false;
        // Bit for bit, so that a NaN figure that stays NaN counts as unchanged.
        bool operator==(const CellKey& other) const {
            for (std::size_t i = 0; i < 3; ++i)
                if (std::bit_cast<std::uint64_t>(values[i]) != std::bit_cast<std::uint64_t>(other.values[i]))
                    return false;
            return known && other.known && state == other.state && record == other.record;
        }
    };
    // What every cell of one row reads, looked up once for the row.
    struct RowInputs {
        const ItemDetails* item = nullptr;
        RowRecords records;
        std::int32_t side = 0; // the order's tradingMode, kept so the live keys leave the record be
    };
    struct Row {
        std::string id;
        std::shared_ptr<const Order> order; // the order grids' record
        // A keyed cell's text is made from its key when it is first read after the key moved (the
        // bits of `stale`, by key slot): cells nobody looks at are never formatted.
        mutable std::vector<Cell> cells;
        std::vector<CellKey> keys;   // one per keyed column (keySlots_)
        std::vector<double> numbers; // one per column sorted by a number kept here (numberSlots_)
        RowInputs inputs;            // looked up under recordsStamp
        PositionWeights weights;     // the open positions' lots and margin, with the inputs
        std::int32_t account = 0;    // the account the order counts towards, with the inputs
        std::uint64_t recordsStamp = 0;
        std::uint64_t serial = 0;
        mutable std::uint32_t stale = 0;
        bool fresh = false; // inserted by the refresh running now
    };
    struct Snapshot;
    // The state of an account that decides whether its orders are listed.
    struct AccountState {
        const void* account = nullptr;
        std::int32_t status = 0;
        std::int32_t access = 0;
        friend bool operator==(const AccountState&, const AccountState&) = default;
    };
    // Quotes: the live cells that follow quotes (the tick). Live: the live cells. Figures: the live
    // cells and the totals (the positions' figures moved). Rows: the rows, every cell of the rows
    // that came and of those whose records are named_ or replaced, the totals; of the other rows the
    // live cells only when an account's state moved (rowsLive_).
    enum class Scope { Quotes, Live, Figures, Rows, All };

    void refresh(Scope scope);
    // An order grid's table change that names the records it rewrote in place.
    void refreshRows(const std::vector<std::shared_ptr<const Order>>& rewritten);
    Snapshot read() const;
    bool applyRows(Snapshot& snapshot);
    // `ids`: the snapshot's row ids, by its row.
    void applyInsertions(const std::vector<RowChange>& changes, const Snapshot& snapshot,
                         const std::vector<std::string_view>& ids);
    void applyRemovals(const std::vector<RowChange>& changes);
    void reorderRows(const std::vector<std::string_view>& target);
    // True when some row's records were looked up again. Without a snapshot, the rows as they stand.
    // With `figures`, every row's profit, commission and storage are added to it.
    bool updateCells(const Snapshot* snapshot, Scope scope, OpenPositionTotals* figures = nullptr);
    Row makeRow(const Snapshot& snapshot, std::size_t index, std::string id);
    void lookUpRecords(Row& row, const Snapshot& snapshot, std::size_t index) const;
    Cell cellOf(const Snapshot& snapshot, std::size_t index, const RowInputs& inputs,
                const ColumnSpec& column) const;
    CellKey keyOf(const RowInputs& inputs, const Order* order, Field field) const;
    Cell keyedCell(Field field, const CellKey& key) const;
    // The board's spread in ticks from its key (ask, bid, tick), at the six decimals it shows: the
    // doubles' noise would otherwise tell equal spreads apart. 0 without an instrument or a tick price.
    static platform::Decimal spreadTicks(const CellKey& key);
    // The number a keyed cell shows, which its column sorts by.
    double keyedNumber(Field field, const CellKey& key) const;
    // Keeps the row's number of the column, when the column sorts by one kept beside its cell.
    void noteNumber(Row& row, const Snapshot& snapshot, std::size_t index, std::size_t column) const;
    std::vector<AccountState> accountStates(const SessionModel& model) const;
    void sumOpenPositionTotals(const OpenPositionTotals* figures = nullptr);
    void sumSettledTotals();
    // Whether the session's current account moved since the totals were summed (noted then).
    bool totalsAccountMoved();
    void fillIds(Snapshot& snapshot) const;
    void dropClient();
    void followLoginState();

    ClientModel& session_;
    const Grid grid_;
    const GridSource& source_;
    const std::vector<ColumnSpec> columns_;
    std::vector<std::optional<OrderSortDescriptor>> sorts_;
    std::vector<int> keySlots_; // per column, its place in Row::keys; -1 for cells worked out always
    std::size_t keyCount_ = 0;
    // Per column, its place in Row::numbers: numeric columns whose rows keep no record to sort by
    // (accounts, depth levels); -1 for the others.
    std::vector<int> numberSlots_;
    std::size_t numberCount_ = 0;
    std::vector<std::size_t> allColumns_;  // 0, 1, 2, ...
    std::vector<std::size_t> liveColumns_; // the columns refreshed every second
    // The live columns a quote can move: a position's profit moves only with the core's figures pass,
    // which announces it, so the tick leaves it be.
    std::vector<std::size_t> quoteColumns_;
    std::vector<std::size_t> figureColumns_; // the live columns the positions' figures move
    std::uint64_t quotesRead_ = 0;
    bool hasLiveColumns_ = false;
    bool liveKeyed_ = true; // every live column is keyed: its cells follow the rows' records alone
    std::vector<Row> rows_;
    std::uint64_t lastSerial_ = 0;
    // Rows' records are looked up again when this moves: a new session model, or a table change of an
    // order grid (its records may have been rewritten in place).
    std::uint64_t recordsStamp_ = 1;
    std::uint64_t modelGeneration_ = 0;
    std::uint64_t rowsReadAt_ = 0; // the stamp under which every row was last read and looked up
    std::vector<AccountState> accountsSeen_;
    OpenPositionTotals weightTotals_;     // the lots and margin of the rows as they stand
    bool weightsMoved_ = true;            // some row came, went or was looked up since weightTotals_
    std::uint64_t announcements_ = 0;     // the session's table and login announcements heard
    std::uint64_t announcementsRead_ = 0; // as of the last refresh that read the session
    OpenPositionTotals openTotals_;
    SettledTotals settledTotals_;
    std::int32_t totalsAccount_ = 0; // the account the totals are of
    std::string instrument_;
    std::int64_t language_ = 0;
    std::int64_t theme_ = 0;
    std::unordered_set<const Order*> named_; // the records a Scope::Rows refresh reads again
    bool rowsLive_ = false; // and it reads every row's live cells too (an account's state moved)
    bool detached_ = false; // between clientAboutToBeReplaced and clientReplaced
    bool signedOut_ = false;
};

} // namespace tc::gui
