#include "gui/grid/grid_view_proxy.h"

#include "gui/grid/grid_model.h"
#include "gui/grid/grid_tones.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace tc::gui {

GridViewProxy::GridViewProxy(GridModel& grid, QObject* parent) : QAbstractProxyModel(parent), grid_(grid) {
    for (int column = 0; column < grid.columnCount(); ++column)
        if (grid.isTickColumn(column))
            tickColumns_.push_back({column, {}});
    proxyToSource_ = sortedRows();
    mapRows();
    setSourceModel(&grid);
    if (!tickColumns_.empty())
        connect(&grid, &GridModel::refreshed, this, &GridViewProxy::noteTicks);
    connect(&grid, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &GridViewProxy::sourceRowsAboutToBeRemoved);
    connect(&grid, &QAbstractItemModel::rowsRemoved, this, &GridViewProxy::sourceRowsRemoved);
    connect(&grid, &QAbstractItemModel::rowsInserted, this, &GridViewProxy::sourceRowsInserted);
    // A move of the grid's rows is a layout change of the view: its sorted rows keep their places,
    // and in the grid's order they follow the grid.
    connect(&grid, &QAbstractItemModel::rowsAboutToBeMoved, this,
            &GridViewProxy::sourceLayoutAboutToBeChanged);
    connect(&grid, &QAbstractItemModel::rowsMoved, this, &GridViewProxy::sourceLayoutChanged);
    connect(&grid, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &GridViewProxy::sourceLayoutAboutToBeChanged);
    connect(&grid, &QAbstractItemModel::layoutChanged, this, &GridViewProxy::sourceLayoutChanged);
    connect(&grid, &QAbstractItemModel::dataChanged, this, &GridViewProxy::sourceDataChanged);
    connect(&grid, &QAbstractItemModel::headerDataChanged, this, &GridViewProxy::sourceHeaderDataChanged);
    connect(&grid, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&grid, &QAbstractItemModel::modelReset, this, &GridViewProxy::sourceReset);
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

QModelIndex GridViewProxy::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column, gridIndexId(row, column));
}

QModelIndex GridViewProxy::parent(const QModelIndex&) const {
    return {};
}

QModelIndex GridViewProxy::sibling(int row, int column, const QModelIndex&) const {
    return index(row, column);
}

int GridViewProxy::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(proxyToSource_.size());
}

int GridViewProxy::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.columnCount();
}

bool GridViewProxy::hasChildren(const QModelIndex& parent) const {
    return !parent.isValid() && rowCount() > 0 && columnCount() > 0;
}

QModelIndex GridViewProxy::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || proxyIndex.model() != this || proxyIndex.row() >= rowCount())
        return {};
    return grid_.index(proxyToSource_[static_cast<std::size_t>(proxyIndex.row())], proxyIndex.column());
}

QModelIndex GridViewProxy::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.model() != &grid_ ||
        static_cast<std::size_t>(sourceIndex.row()) >= sourceToProxy_.size())
        return {};
    const int row = sourceToProxy_[static_cast<std::size_t>(sourceIndex.row())];
    return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
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
    return QAbstractProxyModel::data(index, role);
}

QVariant GridViewProxy::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal)
        return grid_.headerData(section, orientation, role);
    const QModelIndex source = mapToSource(index(section, 0));
    return source.isValid() ? grid_.headerData(source.row(), orientation, role) : QVariant();
}

void GridViewProxy::sort(int column, Qt::SortOrder order) {
    if (column >= 0 && (column >= grid_.columnCount() || !grid_.columnSpec(column).sortable))
        return;
    // The sort the view already has (its header set again) keeps the places it made.
    if (column == sortColumn_ && order == sortOrder_)
        return;
    // A sort places every row by its figures as they are now.
    sortColumn_ = column;
    sortOrder_ = order;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> was = proxyToSource_;
    proxyToSource_ = sortedRows();
    reorder(was);
}

bool GridViewProxy::before(int left, int right) const {
    return sortOrder_ == Qt::AscendingOrder ? grid_.compareRows(left, right, sortColumn_) < 0
                                            : grid_.compareRows(right, left, sortColumn_) < 0;
}

std::vector<int> GridViewProxy::sortedRows() const {
    std::vector<int> rows(static_cast<std::size_t>(grid_.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    if (sortColumn_ >= 0)
        std::stable_sort(rows.begin(), rows.end(), [this](int a, int b) { return before(a, b); });
    return rows;
}

void GridViewProxy::mapRows() {
    sourceToProxy_.assign(static_cast<std::size_t>(grid_.rowCount()), -1);
    for (std::size_t row = 0; row < proxyToSource_.size(); ++row)
        sourceToProxy_[static_cast<std::size_t>(proxyToSource_[row])] = static_cast<int>(row);
}

void GridViewProxy::reorder(const std::vector<int>& sourceOfRowsBefore) {
    mapRows();
    // Every persistent index (the selection's, an accessibility client's cells) follows its row.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& at : from) {
        const auto row = static_cast<std::size_t>(at.row());
        const int source = row < sourceOfRowsBefore.size() ? sourceOfRowsBefore[row] : -1;
        const int now = source < 0 ? -1 : sourceToProxy_[static_cast<std::size_t>(source)];
        to.append(now < 0 ? QModelIndex() : index(now, at.column()));
    }
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void GridViewProxy::sourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last) {
    if (parent.isValid())
        return;
    // The view's rows of the grid's go while the grid still has them, a run of adjacent rows at a
    // time from the bottom up.
    std::vector<int> rows;
    for (int row = first; row <= last; ++row)
        if (const int at = sourceToProxy_[static_cast<std::size_t>(row)]; at >= 0)
            rows.push_back(at);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i + 1;
        while (j < rows.size() && rows[j] == rows[j - 1] - 1)
            ++j;
        const int top = rows[j - 1];
        const int bottom = rows[i];
        beginRemoveRows({}, top, bottom);
        proxyToSource_.erase(proxyToSource_.begin() + top, proxyToSource_.begin() + bottom + 1);
        mapRows();
        endRemoveRows();
        i = j;
    }
}

void GridViewProxy::sourceRowsRemoved(const QModelIndex& parent, int first, int last) {
    if (parent.isValid())
        return;
    const int count = last - first + 1;
    for (int& row : proxyToSource_)
        if (row > last)
            row -= count;
    mapRows();
}

void GridViewProxy::sourceRowsInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid())
        return;
    const int count = last - first + 1;
    for (int& row : proxyToSource_)
        if (row >= first)
            row += count;
    std::vector<int> fresh(static_cast<std::size_t>(count));
    std::iota(fresh.begin(), fresh.end(), first);
    if (sortColumn_ < 0) {
        // In the grid's order the view's rows are the grid's.
        beginInsertRows({}, first, last);
        proxyToSource_.insert(proxyToSource_.begin() + first, fresh.begin(), fresh.end());
        mapRows();
        endInsertRows();
        return;
    }
    // Rows that came are placed by their figures among the rows as they stand; those that land at one
    // place come in as one run.
    std::stable_sort(fresh.begin(), fresh.end(), [this](int a, int b) { return before(a, b); });
    std::vector<std::size_t> places;
    places.reserve(fresh.size());
    for (const int row : fresh)
        places.push_back(
            static_cast<std::size_t>(std::upper_bound(proxyToSource_.begin(), proxyToSource_.end(), row,
                                                      [this](int a, int b) { return before(a, b); }) -
                                     proxyToSource_.begin()));
    std::size_t inserted = 0;
    for (std::size_t i = 0; i < fresh.size();) {
        std::size_t j = i + 1;
        while (j < fresh.size() && places[j] == places[i])
            ++j;
        const auto at = static_cast<int>(places[i] + inserted);
        beginInsertRows({}, at, at + static_cast<int>(j - i) - 1);
        proxyToSource_.insert(proxyToSource_.begin() + at, fresh.begin() + static_cast<std::ptrdiff_t>(i),
                              fresh.begin() + static_cast<std::ptrdiff_t>(j));
        mapRows();
        endInsertRows();
        inserted += j - i;
        i = j;
    }
}

void GridViewProxy::sourceLayoutAboutToBeChanged() {
    serialsBefore_.clear();
    serialsBefore_.reserve(proxyToSource_.size());
    for (const int row : proxyToSource_)
        serialsBefore_.push_back(grid_.rowSerial(row));
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void GridViewProxy::sourceLayoutChanged() {
    std::unordered_map<std::uint64_t, int> rowOf;
    rowOf.reserve(static_cast<std::size_t>(grid_.rowCount()));
    for (int row = 0; row < grid_.rowCount(); ++row)
        rowOf.emplace(grid_.rowSerial(row), row);
    std::vector<int> was;
    was.reserve(serialsBefore_.size());
    for (const std::uint64_t serial : serialsBefore_) {
        const auto found = rowOf.find(serial);
        was.push_back(found == rowOf.end() ? -1 : found->second);
    }
    serialsBefore_.clear();
    if (sortColumn_ < 0 || std::count(was.begin(), was.end(), -1) > 0 ||
        was.size() != static_cast<std::size_t>(grid_.rowCount())) {
        proxyToSource_ = sortedRows();
    } else {
        proxyToSource_ = was;
    }
    reorder(was);
}

void GridViewProxy::sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                      const QList<int>& roles) {
    if (!topLeft.isValid() || !bottomRight.isValid() || rowCount() == 0)
        return;
    // The rows of the grid's span stand anywhere in the view: the span of the view's rows holding them.
    int top = rowCount();
    int bottom = -1;
    if (topLeft.row() == 0 && bottomRight.row() >= grid_.rowCount() - 1) {
        top = 0;
        bottom = rowCount() - 1;
    } else {
        const int last = std::min(bottomRight.row(), static_cast<int>(sourceToProxy_.size()) - 1);
        for (int row = topLeft.row(); row <= last; ++row)
            if (const int at = sourceToProxy_[static_cast<std::size_t>(row)]; at >= 0) {
                top = std::min(top, at);
                bottom = std::max(bottom, at);
            }
    }
    if (top <= bottom)
        Q_EMIT dataChanged(index(top, topLeft.column()), index(bottom, bottomRight.column()), roles);
}

void GridViewProxy::sourceHeaderDataChanged(Qt::Orientation orientation, int first, int last) {
    if (orientation == Qt::Horizontal)
        Q_EMIT headerDataChanged(orientation, first, last);
    else if (rowCount() > 0)
        Q_EMIT headerDataChanged(orientation, 0, rowCount() - 1);
}

void GridViewProxy::sourceReset() {
    // Rows that come with a new session are placed by the view's sort.
    serialsBefore_.clear();
    proxyToSource_ = sortedRows();
    mapRows();
    endResetModel();
}

} // namespace tc::gui
