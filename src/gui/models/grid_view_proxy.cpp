#include "gui/models/grid_view_proxy.h"

#include "gui/models/grid_model.h"
#include "gui/models/grid_tones.h"

namespace tc::gui {

GridViewProxy::GridViewProxy(GridModel& grid, QObject* parent) : QSortFilterProxyModel(parent), grid_(grid) {
    for (int column = 0; column < grid.columnCount(); ++column)
        if (grid.isTickColumn(column))
            tickColumns_.push_back({column, {}});
    setSourceModel(&grid);
    if (!tickColumns_.empty())
        connect(&grid, &GridModel::refreshed, this, &GridViewProxy::noteTicks);
}

Tick GridViewProxy::tick(int sourceRow, int column) const {
    for (const TickColumn& entry : tickColumns_)
        if (entry.column == column)
            return entry.ticks.tick(grid_.rowId(sourceRow));
    return Tick::Same;
}

void GridViewProxy::noteTicks() {
    for (TickColumn& entry : tickColumns_) {
        for (int row = 0; row < grid_.rowCount(); ++row) {
            const std::string& id = grid_.rowId(row);
            // A frozen price (an account in equity hit) keeps the tick it had.
            if (grid_.cell(row, entry.column).tone == Tone::Frozen) {
                entry.ticks.keep(id);
                continue;
            }
            const auto price = grid_.livePrice(row, entry.column);
            if (!price)
                continue;
            const Tick before = entry.ticks.tick(id);
            if (entry.ticks.note(id, *price) != before) {
                const QModelIndex at = mapFromSource(grid_.index(row, entry.column));
                if (at.isValid())
                    Q_EMIT dataChanged(at, at, {Qt::BackgroundRole, Qt::ForegroundRole});
            }
        }
        entry.ticks.endRefresh();
    }
}

QVariant GridViewProxy::data(const QModelIndex& index, int role) const {
    // The view's tick colours its ground, and the text on it with it.
    if ((role == Qt::BackgroundRole || role == Qt::ForegroundRole) && index.isValid() &&
        !tickColumns_.empty()) {
        const QModelIndex source = mapToSource(index);
        const Tone tone = grid_.cell(source.row(), source.column()).tone;
        const bool ticking = tone == Tone::TickSame || tone == Tone::TickUp || tone == Tone::TickDown;
        if (ticking && grid_.isTickColumn(source.column())) {
            const ToneStyle style =
                toneStyle(grid_.grid(), tickTone(tick(source.row(), source.column())), grid_.theme());
            if (const auto& colour = role == Qt::BackgroundRole ? style.background : style.foreground)
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
