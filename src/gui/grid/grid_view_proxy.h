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
#include "gui/grid/grid_model.h"
#include "gui/grid/tick_tracker.h"

#include <QSortFilterProxyModel>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tc::gui {

class GridViewProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit GridViewProxy(GridModel& grid, QObject* parent = nullptr);

    GridModel& grid() const { return grid_; }
    // The view's tick of a live price cell, by the grid model's row and column.
    Tick tick(int sourceRow, int column) const;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    void noteTicks();
    // Keeps the rows' places as they stand as the order of the sort.
    void notePlaces();

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
    // Each row's place in the sorted view, by row serial; empty while the view is in the grid's order.
    std::unordered_map<std::uint64_t, int> places_;
};

} // namespace tc::gui
