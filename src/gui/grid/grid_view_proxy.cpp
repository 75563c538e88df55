#include "gui/grid/grid_view_proxy.h"

#include "gui/grid/grid_model.h"
#include "gui/grid/grid_tones.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>

namespace tc::gui {

GridViewProxy::GridViewProxy(GridModel& grid, QObject* parent) : QSortFilterProxyModel(parent), grid_(grid) {
    for (int column = 0; column < grid.columnCount(); ++column)
        if (grid.isTickColumn(column))
            tickColumns_.push_back({column, {}});
    setSourceModel(&grid);
    if (!tickColumns_.empty())
        connect(&grid, &GridModel::refreshed, this, &GridViewProxy::noteTicks);
    // Rows that came are placed by their figures; from then on they keep their places as the others.
    connect(this, &QAbstractItemModel::rowsInserted, this, &GridViewProxy::notePlaces);
    connect(this, &QAbstractItemModel::layoutChanged, this, &GridViewProxy::notePlaces);
    connect(this, &QAbstractItemModel::modelReset, this, [this] { places_.clear(); });
}

namespace {

// Past this many ticks changed in one refresh, the view repaints the whole column at once.
constexpr std::size_t kManyTicks = 16;

bool isQuote(double price) {
    return std::isfinite(price) && price != 0;
}

} // namespace

Tick GridViewProxy::tick(int sourceRow, int column) const {
    if (sourceRow < 0 || sourceRow >= grid_.rowCount())
        return Tick::Same;
    const auto row = static_cast<std::size_t>(sourceRow);
    for (const TickColumn& entry : tickColumns_)
        if (entry.column == column)
            return row < entry.rows.size() && entry.rows[row].known &&
                           entry.rows[row].serial == grid_.rowSerial(sourceRow)
                       ? entry.rows[row].tick
                       : Tick::Same;
    return Tick::Same;
}

void GridViewProxy::noteTicks() {
    // A refresh that moved no live price (the positions' figures alone) leaves every tick as it is,
    // for the rest of its second.
    if (std::exchange(quotesNoted_, grid_.quotesRead()) == grid_.quotesRead())
        return;
    const int count = grid_.rowCount();
    for (TickColumn& entry : tickColumns_) {
        std::vector<RowTick>& next = spareRows_;
        next.assign(static_cast<std::size_t>(count), RowTick{});
        grid_.liveQuotes(entry.column, quotes_);
        // The last refresh's places of its rows, made only once some row is found to have moved.
        std::unordered_map<std::uint64_t, std::size_t> places;
        // Past kManyTicks the rows are only counted: the whole column is repainted.
        std::vector<int> changed;
        std::size_t changes = 0;
        std::uint64_t newest = 0;
        for (int row = 0; row < count; ++row) {
            const auto at = static_cast<std::size_t>(row);
            const std::uint64_t serial = grid_.rowSerial(row);
            newest = std::max(newest, serial);
            const RowTick* before = nullptr;
            if (at < entry.rows.size() && entry.rows[at].serial == serial) {
                before = &entry.rows[at];
            } else if (serial <= entry.newest && !entry.rows.empty()) {
                // A row seen before, at another place: rows that came have serials past all noted.
                if (places.empty())
                    for (std::size_t i = 0; i < entry.rows.size(); ++i)
                        places.emplace(entry.rows[i].serial, i);
                if (const auto found = places.find(serial); found != places.end())
                    before = &entry.rows[found->second];
            }
            if (before && !before->known)
                before = nullptr;
            RowTick& now = next[at];
            const GridModel::LiveQuote& quote = quotes_[at];
            if (quote.frozen) {
                // A frozen price (an account in equity hit) keeps the tick it had.
                if (before)
                    now = *before;
            } else if (const auto& price = quote.price) {
                // The first price of a row, and a price of 0 or not finite on either side, give Same.
                if (before && isQuote(*price) && isQuote(before->price))
                    now.tick = *price > before->price   ? Tick::Up
                               : *price < before->price ? Tick::Down
                                                        : Tick::Same;
                now.price = *price;
                now.known = true;
            }
            now.serial = serial;
            if (now.tick != (before ? before->tick : Tick::Same) && ++changes <= kManyTicks)
                changed.push_back(row);
        }
        std::swap(entry.rows, next);
        entry.newest = newest;
        if (changes == 0)
            continue;
        const int column = mapFromSource(grid_.index(0, entry.column)).column();
        if (changes > kManyTicks && column >= 0 && rowCount() > 0) {
            Q_EMIT dataChanged(index(0, column), index(rowCount() - 1, column),
                               {Qt::BackgroundRole, Qt::ForegroundRole});
            continue;
        }
        for (const int row : changed) {
            const QModelIndex at = mapFromSource(grid_.index(row, entry.column));
            if (at.isValid())
                Q_EMIT dataChanged(at, at, {Qt::BackgroundRole, Qt::ForegroundRole});
        }
    }
}

QVariant GridViewProxy::data(const QModelIndex& index, int role) const {
    // The view's tick colours its ground, and the text on it with it.
    // A signed-out grid's prices are stale: the grid's own grey, no tick.
    if ((role == Qt::BackgroundRole || role == Qt::ForegroundRole) && index.isValid() &&
        !tickColumns_.empty() && !grid_.isSignedOut()) {
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
    // The sort the view already has (its header set again) keeps the places it made.
    if (column == sortColumn() && order == sortOrder() && (column < 0 || !places_.empty()))
        return;
    // A sort places every row by its figures as they are now.
    places_.clear();
    QSortFilterProxyModel::sort(column, order);
    notePlaces();
}

void GridViewProxy::notePlaces() {
    places_.clear();
    if (sortColumn() < 0)
        return;
    const int count = rowCount();
    places_.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        places_.emplace(grid_.rowSerial(mapToSource(index(row, 0)).row()), row);
}

bool GridViewProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // Two rows placed by the sort keep their order, whatever their figures became since (the
    // descending order asks with the rows swapped).
    if (!places_.empty()) {
        const auto a = places_.find(grid_.rowSerial(left.row()));
        const auto b = places_.find(grid_.rowSerial(right.row()));
        if (a != places_.end() && b != places_.end())
            return sortOrder() == Qt::AscendingOrder ? a->second < b->second : a->second > b->second;
    }
    return grid_.compareRows(left.row(), right.row(), left.column()) < 0;
}

} // namespace tc::gui
