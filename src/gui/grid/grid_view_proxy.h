#pragma once
// What one view of a grid keeps for itself: its sort order and the tick colours of its live prices.
// Two windows over one grid model each take a proxy of their own, so one sorts by price and the other
// by id, and neither takes the other's tick away.
//
// Sorting follows the grid's rules (the session's list order for the order grids: quantities and
// prices as numbers, dates as dates, ids with their digit runs by value); a column that does not sort
// leaves the order as it is. The order is the one the sort made: rows whose figures move later keep
// their places until the next sort, and a row that comes meanwhile is put where its figures place it
// among the rows as they stand. Ticks are noted once per refresh of the grid model, never while
// painting: a live price above the view's previous one shows the rise colour until the next refresh.
//
// The proxy is a QAbstractProxyModel of our own rather than a QSortFilterProxyModel: Qt keys every
// persistent index (an accessibility client holds one per cell it read, a selection its rows) by row,
// column and internal id, and Qt's proxy gives every index one id, so that a table of more than 16
// columns puts them all in one hash cluster and each row removed, inserted or sorted walks it for
// minutes. This proxy's indexes, like the grid model's, carry an id scattered by row and column
// (gridIndexId).
#include "gui/grid/grid_model.h"
#include "gui/grid/tick_tracker.h"

#include <QAbstractProxyModel>

#include <cstdint>
#include <vector>

namespace tc::gui {

class GridViewProxy : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit GridViewProxy(GridModel& grid, QObject* parent = nullptr);

    GridModel& grid() const { return grid_; }
    // The view's tick of a live price cell, by the grid model's row and column.
    Tick tick(int sourceRow, int column) const;
    // The column the rows were last sorted by (-1: the grid's own order) and its direction.
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void noteTicks();
    // Whether the grid's row `left` stands before `right` in the view's sort.
    bool before(int left, int right) const;
    // The grid's rows in the view's sort, stable: rows alike keep the grid's order.
    std::vector<int> sortedRows() const;
    // sourceToProxy_ made again from proxyToSource_.
    void mapRows();
    // Ends a layout change once proxyToSource_ holds the new order: every persistent index follows
    // its row. `sourceOfRowsBefore`: the grid's row now of each of the view's rows before (-1: gone).
    void reorder(const std::vector<int>& sourceOfRowsBefore);

    void sourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex& parent, int first, int last);
    void sourceRowsInserted(const QModelIndex& parent, int first, int last);
    void sourceLayoutAboutToBeChanged();
    void sourceLayoutChanged();
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);
    void sourceHeaderDataChanged(Qt::Orientation orientation, int first, int last);
    void sourceReset();

    // A row's live price and tick as this view noted them last (as a TickTracker keeps a key's),
    // under the grid's row serial: a row that moved keeps its own.
    struct RowTick {
        std::uint64_t serial = 0;
        double price = 0;
        Tick tick = Tick::Same;
        bool known = false;
    };
    struct TickColumn {
        int column = 0;
        std::vector<RowTick> rows; // by the grid's rows as its last refresh left them
        std::uint64_t newest = 0;  // the largest serial among them: a larger one is a row that came
    };
    GridModel& grid_;
    std::vector<TickColumn> tickColumns_;
    // Buffers kept between refreshes, so noting ticks allocates nothing once the rows stand.
    std::vector<RowTick> spareRows_;
    std::vector<GridModel::LiveQuote> quotes_;
    std::uint64_t quotesNoted_ = 0; // the grid's quotesRead() when the ticks were last noted
    // The view's rows by the grid's, and back. A sort places the rows; they keep those places (rows
    // that came are put where their figures place them among the rows as they stand) until the next.
    std::vector<int> proxyToSource_;
    std::vector<int> sourceToProxy_;
    // The grid's serials of the view's rows while the grid's rows move (a layout change or a move).
    std::vector<std::uint64_t> serialsBefore_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace tc::gui
