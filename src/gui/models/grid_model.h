#pragma once
// One table model for every grid of the quotes board, the accounts, the position and order lists and
// the depth ladders, over the session model. A row is a record id (an instrument code, an account
// number, a position, order or settlement id, a depth level's place); its cells come from the grid
// rules and are kept here between refreshes, so painting never reads the session.
//
// Refreshes compare: rows that came or went are inserted and removed, rows that changed places are
// moved (many at once: one layout change), and dataChanged names only the cells whose text or tone
// changed; never a reset, but when the client is replaced. The quotes board, the accounts and the
// depth ladders refresh every cell on the session's tick; the open positions and pending orders their
// live columns; every order grid all of its cells when its table (or the accounts) changed.
//
// What belongs to one view stays in the view: the tick colours of live prices and the sort order
// (GridViewProxy), hidden columns and widths (the header, from the column specs here). Date columns
// show the whole date and time; a view whose column is narrow shows only the time
// (dateTimeForWidth).
#include "gui/market/depth_ladder.h"
#include "gui/market/grid_cells.h"
#include "gui/market/grid_spec.h"
#include "gui/market/grid_totals.h"
#include "gui/market/row_changes.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

class ClientModel;

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1, // the row's record id (QString)
        ToneRole,                  // the cell's Tone (int)
        IdentifierRole,            // header data: the column identifier (QString)
    };

    // The session model must outlive the grid model (and its proxies).
    GridModel(ClientModel& session, Grid grid, QObject* parent = nullptr);
    ~GridModel() override;

    Grid grid() const { return grid_; }
    const ColumnSpec& columnSpec(int column) const { return columns_[static_cast<std::size_t>(column)]; }
    // -1 when the grid has no column of that identifier.
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

    // The live price a view's tick colour follows (the board's bid and ask, a position's closing
    // price); nullopt for other columns, or when the row has none. Read at the view's refresh.
    std::optional<double> livePrice(int row, int column) const;
    // Whether the column's cells carry a tick colour.
    bool isTickColumn(int column) const;
    // The grid's order of two rows by a column (<0, 0, >0): the session's list order for the order
    // grids, numbers by value in numeric columns, texts with digit runs by value otherwise.
    int compareRows(int left, int right, int column) const;

    // Reads the session now and signals what changed (the tick and the client's events do this).
    void refresh();

    // The open positions' totals bar and the settled positions' totals, worked out from the rows of
    // every refresh (zero for the other grids), whichever columns a view shows.
    const OpenPositionTotals& openPositionTotals() const { return openTotals_; }
    const SettledTotals& settledTotals() const { return settledTotals_; }

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
        bool operator==(const CellKey& other) const;
    };
    struct Row {
        std::string id;
        std::shared_ptr<const Order> order; // the order grids' record
        std::vector<Cell> cells;
        std::vector<CellKey> keys; // one per keyed column (keySlots_)
        bool fresh = false;        // inserted by the refresh running now
    };
    struct Snapshot;
    struct RowInputs;
    // Live: the live cells. Figures: the live cells and the totals (the positions' figures moved).
    enum class Scope { Live, Figures, All };

    void refresh(Scope scope);
    Snapshot read() const;
    void applyRows(Snapshot& snapshot);
    void applyInsertions(const std::vector<RowChange>& changes, const Snapshot& snapshot);
    void applyRemovals(const std::vector<RowChange>& changes);
    void reorderRows(const std::vector<std::string>& target);
    void updateCells(const Snapshot& snapshot, Scope scope);
    Row makeRow(const Snapshot& snapshot, std::size_t index) const;
    RowInputs inputsOf(const Snapshot& snapshot, std::size_t index, bool liveOnly) const;
    Cell cellOf(const Snapshot& snapshot, std::size_t index, const RowInputs& inputs,
                const ColumnSpec& column) const;
    CellKey keyOf(const RowInputs& inputs, std::size_t index, const Snapshot& snapshot, Field field) const;
    void fillIds(Snapshot& snapshot) const;
    void dropClient();

    ClientModel& session_;
    const Grid grid_;
    const std::vector<ColumnSpec> columns_;
    std::vector<std::optional<OrderSortDescriptor>> sorts_;
    std::vector<int> keySlots_; // per column, its place in Row::keys; -1 for cells worked out always
    std::size_t keyCount_ = 0;
    std::vector<Row> rows_;
    OpenPositionTotals openTotals_;
    SettledTotals settledTotals_;
    std::string instrument_;
    std::int64_t language_ = 0;
    std::int64_t theme_ = 0;
    bool detached_ = false; // between clientAboutToBeReplaced and clientReplaced
};

} // namespace tc::gui
