#include "models/grid_view_proxy.h"

#include "models/grid_model.h"
#include "models/grid_tones.h"

namespace tc::gui {

GridViewProxy::GridViewProxy(GridModel& grid, QObject* parent) : QSortFilterProxyModel(parent), grid_(grid) {
    for (int column = 0; column < grid.columnCount(); ++column)
        if (grid.isTickColumn(column))
            tickColumns_.push_back({column, {}});
    setSourceModel(&grid);
    if (!tickColumns_.empty())
        connect(&grid, &GridModel::refreshed, this, &GridViewProxy::noteTicks);
}

market::Tick GridViewProxy::tick(int sourceRow, int column) const {
    for (const TickColumn& tc : tickColumns_)
        if (tc.column == column)
            return tc.ticks.tick(grid_.rowId(sourceRow));
    return market::Tick::Same;
}

void GridViewProxy::noteTicks() {
    for (TickColumn& tc : tickColumns_) {
        for (int row = 0; row < grid_.rowCount(); ++row) {
            const std::string& id = grid_.rowId(row);
            // A frozen price (an account in equity hit) keeps the tick it had.
            if (grid_.cell(row, tc.column).tone == market::Tone::Frozen) {
                tc.ticks.keep(id);
                continue;
            }
            const auto price = grid_.livePrice(row, tc.column);
            if (!price)
                continue;
            const market::Tick before = tc.ticks.tick(id);
            if (tc.ticks.note(id, *price) != before) {
                const QModelIndex at = mapFromSource(grid_.index(row, tc.column));
                if (at.isValid())
                    Q_EMIT dataChanged(at, at, {Qt::BackgroundRole});
            }
        }
        tc.ticks.endRefresh();
    }
}

QVariant GridViewProxy::data(const QModelIndex& index, int role) const {
    if (role == Qt::BackgroundRole && index.isValid() && !tickColumns_.empty()) {
        const QModelIndex source = mapToSource(index);
        const market::Tone tone = grid_.cell(source.row(), source.column()).tone;
        const bool ticking =
            tone == market::Tone::TickSame || tone == market::Tone::TickUp || tone == market::Tone::TickDown;
        if (ticking && grid_.isTickColumn(source.column())) {
            if (const auto colour =
                    toneStyle(grid_.grid(), tickTone(tick(source.row(), source.column())), grid_.theme())
                        .background)
                return *colour;
        }
    }
    return QSortFilterProxyModel::data(index, role);
}

void GridViewProxy::sort(int column, Qt::SortOrder order) {
    if (column >= 0 && (column >= grid_.columnCount() || !grid_.columnSpec(column).sortable))
        return;
    QSortFilterProxyModel::sort(column, order);
}

bool GridViewProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return grid_.compareRows(left.row(), right.row(), left.column()) < 0;
}

} // namespace tc::gui
