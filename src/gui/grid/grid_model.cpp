#include "gui/grid/grid_model.h"

#include "gui/grid/grid_tones.h"
#include "gui/grid/grid_totals.h"
#include "gui/grid/row_changes.h"
#include "gui/models/client_model.h"
#include "model/account_figures.h"
#include "model/data_service_collections.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"

#include <QFont>

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tc::gui {

// What one refresh reads of the session, row by row in the session's order (ids written out only
// when some repeat or rows changed places: fillIds).
struct GridModel::Snapshot : GridRows {
    const SessionModel* model = nullptr;
    std::unique_ptr<RowRecordsCache> records;
};

namespace {

// The cells worked out from a few numbers of the row's records: they are keyed by those numbers.
bool isKeyed(RowKind rows, Field field) {
    switch (field) {
    case Field::Bid:
    case Field::Ask:
    case Field::SpreadTicks:
    case Field::Open:
    case Field::High:
    case Field::Low:
    case Field::PrevClose:
    case Field::Last:
        return rows == RowKind::Instrument;
    case Field::ClosingPrice:
    case Field::MarketPrice:
    case Field::UnrealisedPL:
    case Field::PositionMargin:
        return rows == RowKind::Order;
    default:
        return false;
    }
}

// The states of a closing price's key.
constexpr double kFrozen = 1;
constexpr double kPriced = 2;
constexpr double kUnpriced = 3;

// A reorder that moves more rows than this is one layout change instead of many moves.
constexpr std::size_t kMaxMoves = 8;

// Ids that repeat get their occurrence appended, so every row has a key of its own. True when some
// id repeated.
bool makeUnique(std::vector<std::string>& ids) {
    std::unordered_map<std::string, int> seen;
    bool repeated = false;
    for (std::string& id : ids) {
        const int n = ++seen[id];
        if (n > 1) {
            id += "\x1f" + std::to_string(n);
            repeated = true;
        }
    }
    return repeated;
}

} // namespace

GridModel::GridModel(ClientModel& session, Grid grid, QObject* parent)
    : QAbstractTableModel(parent), session_(session), grid_(grid), source_(gridSource(grid)),
      columns_(source_.columns.begin(), source_.columns.end()) {
    const bool orders = source_.rows == RowKind::Order;
    for (const ColumnSpec& column : columns_) {
        // Numbers sort by value, as their records hold them: an order's own field, the numbers a
        // keyed cell is made of, or the number the grid's rows keep beside their cells.
        sorts_.push_back(orders && (column.sortable || column.numeric) ? sortDescriptor(column.field, true)
                                                                       : std::nullopt);
        keySlots_.push_back(isKeyed(source_.rows, column.field) ? static_cast<int>(keyCount_++) : -1);
        const bool stored = column.numeric && !sorts_.back() && keySlots_.back() < 0;
        Q_ASSERT(!stored || source_.number);
        numberSlots_.push_back(stored && source_.number ? static_cast<int>(numberCount_++) : -1);
        allColumns_.push_back(allColumns_.size());
        if (column.live)
            liveColumns_.push_back(allColumns_.back());
        if (column.live && column.field != Field::UnrealisedPL)
            quoteColumns_.push_back(allColumns_.back());
        else if (column.live)
            figureColumns_.push_back(allColumns_.back());
        hasLiveColumns_ = hasLiveColumns_ || column.live;
        liveKeyed_ = liveKeyed_ && (!column.live || keySlots_.back() >= 0);
    }
    // A row's stale cells are the bits of one word.
    Q_ASSERT(keyCount_ <= 32);

    connect(&session_, &ClientModel::tick, this, [this] {
        switch (source_.onTick) {
        case OnTick::Quotes:
            refresh(Scope::Quotes);
            break;
        case OnTick::Announced:
            // Nothing new while no announcement came since the last refresh.
            if (announcements_ != announcementsRead_)
                refresh(Scope::All);
            break;
        case OnTick::Everything:
            refresh(Scope::All);
            break;
        case OnTick::Nothing:
            break;
        }
    });
    connect(&session_, &ClientModel::tablesChanged, this, [this](const interfaces::TableChange& tables) {
        ++announcements_;
        // An account's change shows or hides its orders and freezes or frees its positions' prices:
        // the rows and the live cells, not every cell of every order grid. The one-second refresh of
        // the positions' figures moves only their live cells. A change that names the records it
        // rewrote (a fill, a position's update) reads those rows and the rows that came, not all.
        if (touches(tables, source_.tables) && tables.rowsNamed && source_.rows == RowKind::Order) {
            refreshRows(tables.rewritten);
            // The rows it does not name keep their live cells but for the figures it announces too;
            // their prices and margins move on the tick.
            if (source_.followsFigures && tables.contains(interfaces::Table::OpenPositionFigures))
                refresh(Scope::Figures);
        } else if (touches(tables, source_.tables))
            refresh(Scope::All);
        else if (source_.followsFigures && tables.contains(interfaces::Table::OpenPositionFigures))
            refresh(Scope::Figures);
        else if (source_.followsAccounts && tables.contains(interfaces::Table::Accounts))
            refresh(Scope::Live);
    });
    connect(&session_, &ClientModel::loginStateChanged, this, [this] {
        ++announcements_;
        refresh(Scope::All);
        followLoginState();
    });
    connect(&session_, &ClientModel::answeringChanged, this, [this] { followLoginState(); });
    connect(&session_, &ClientModel::clientAboutToBeReplaced, this, [this] { dropClient(); });
    connect(&session_, &ClientModel::clientReplaced, this, [this] {
        ++announcements_;
        detached_ = false;
        refresh(Scope::All);
        followLoginState();
    });
    signedOut_ = !session_.isLive();
    refresh(Scope::All);
}

void GridModel::followLoginState() {
    // A server that answers nothing leaves the last prices standing: they read as not current.
    const bool signedOut = !session_.isLive();
    if (signedOut == signedOut_)
        return;
    signedOut_ = signedOut;
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                           {Qt::ForegroundRole, Qt::BackgroundRole, Qt::FontRole, ToneRole});
}

bool GridModel::isLiveColumn(int column) const {
    switch (source_.live) {
    case LiveColumns::All:
        return true;
    case LiveColumns::Flagged:
        return columnSpec(column).live || isTickColumn(column);
    case LiveColumns::None:
        return false;
    }
    return false;
}

GridModel::~GridModel() = default;

int GridModel::columnOf(std::string_view id) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].id == id)
            return static_cast<int>(i);
    return -1;
}

int GridModel::rowOf(std::string_view id) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id)
            return static_cast<int>(i);
    return -1;
}

const std::string& GridModel::rowId(int row) const {
    return rows_[static_cast<std::size_t>(row)].id;
}

const Cell& GridModel::cell(int row, int column) const {
    const Row& r = rows_[static_cast<std::size_t>(row)];
    const auto c = static_cast<std::size_t>(column);
    if (r.stale != 0) {
        if (const int slot = keySlots_[c]; slot >= 0 && (r.stale >> slot & 1U) != 0) {
            r.cells[c] = keyedCell(columns_[c].field, r.keys[static_cast<std::size_t>(slot)]);
            r.stale &= ~(1U << slot);
        }
    }
    return r.cells[c];
}

void GridModel::setInstrument(std::string code) {
    if (code == instrument_)
        return;
    instrument_ = std::move(code);
    refresh(Scope::All);
}

void GridModel::setLanguage(std::int64_t language) {
    if (language == language_)
        return;
    language_ = language;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    // The names in the cells (side, order type, validity, time in force) read in the new language.
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
}

void GridModel::setTheme(std::int64_t theme) {
    if (theme == theme_)
        return;
    theme_ = theme;
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                           {Qt::ForegroundRole, Qt::BackgroundRole, Qt::FontRole});
}

bool GridModel::isTickColumn(int column) const {
    const Field field = columnSpec(column).field;
    return std::find(source_.tickFields.begin(), source_.tickFields.end(), field) != source_.tickFields.end();
}

GridModel::LiveQuote GridModel::liveQuote(int row, int column) const {
    if (detached_ || row < 0 || row >= rowCount() || !isTickColumn(column))
        return {};
    // The price the last refresh read for the cell (its key), so the views' ticks follow the text
    // shown and look nothing up again.
    const Row& r = rows_[static_cast<std::size_t>(row)];
    const int slot = keySlots_[static_cast<std::size_t>(column)];
    if (slot < 0)
        return {};
    const CellKey& key = r.keys[static_cast<std::size_t>(slot)];
    if (!key.known)
        return {};
    if (source_.rows == RowKind::Instrument)
        return {key.record ? std::optional<double>(key.values[0]) : std::nullopt, false};
    // An open position's closing price: none when frozen (equity hit) or without its instrument.
    return {key.values[1] == kPriced ? std::optional<double>(key.values[0]) : std::nullopt,
            key.values[1] == kFrozen};
}

void GridModel::liveQuotes(int column, std::vector<LiveQuote>& quotes) const {
    quotes.assign(rows_.size(), LiveQuote{});
    if (detached_ || column < 0 || column >= columnCount() || !isTickColumn(column))
        return;
    const int slot = keySlots_[static_cast<std::size_t>(column)];
    if (slot < 0)
        return;
    const bool board = source_.rows == RowKind::Instrument;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const CellKey& key = rows_[row].keys[static_cast<std::size_t>(slot)];
        if (!key.known)
            continue;
        if (board)
            quotes[row] = {key.record ? std::optional<double>(key.values[0]) : std::nullopt, false};
        else
            quotes[row] = {key.values[1] == kPriced ? std::optional<double>(key.values[0]) : std::nullopt,
                           key.values[1] == kFrozen};
    }
}

int GridModel::compareRows(int left, int right, int column) const {
    const Row& a = rows_[static_cast<std::size_t>(left)];
    const Row& b = rows_[static_cast<std::size_t>(right)];
    const auto c = static_cast<std::size_t>(column);
    if (sorts_[c] && a.order && b.order)
        return sorts_[c]->compare(*a.order, *b.order);
    if (const int slot = keySlots_[c]; slot >= 0) {
        const auto k = static_cast<std::size_t>(slot);
        return compareNumbers(keyedNumber(columns_[c].field, a.keys[k]),
                              keyedNumber(columns_[c].field, b.keys[k]));
    }
    if (const int slot = numberSlots_[c]; slot >= 0)
        return compareNumbers(a.numbers[static_cast<std::size_t>(slot)],
                              b.numbers[static_cast<std::size_t>(slot)]);
    return naturalCompare(a.cells[c].text, b.cells[c].text);
}

void GridModel::refresh() {
    refresh(Scope::All);
}

void GridModel::refreshRows(const std::vector<std::shared_ptr<const Order>>& rewritten) {
    named_.clear();
    for (const auto& record : rewritten)
        named_.insert(record.get());
    refresh(Scope::Rows);
    named_.clear();
}

void GridModel::refresh(Scope scope) {
    if (detached_)
        return;
    const SessionModel& model = session_.client().model();
    const bool orders = source_.rows == RowKind::Order;
    if (model.generation != modelGeneration_ || (scope == Scope::All && orders)) {
        modelGeneration_ = model.generation;
        ++recordsStamp_;
        // Every row's records are looked up again: every cell with them.
        if (scope == Scope::Rows)
            scope = Scope::All;
    }
    // A choice of another account (the session announces its accounts then) moves the totals alone.
    const bool accountMoved = totalsAccountMoved();
    if (orders) {
        // An order grid's rows change with its table's announcement, or when an account's change
        // shows or hides its orders; else the live cells follow the records the rows hold.
        std::vector<AccountState> accounts = accountStates(model);
        if (scope != Scope::All && scope != Scope::Rows && accounts == accountsSeen_ &&
            rowsReadAt_ == recordsStamp_ && liveKeyed_) {
            if (!hasLiveColumns_ && !accountMoved)
                return;
            const bool figures = source_.totals == GridTotals::OpenPositions && scope == Scope::Figures;
            OpenPositionTotals summed;
            if (hasLiveColumns_) {
                // The figures' pass leaves the quote-driven cells as the tick left them.
                if (scope != Scope::Figures)
                    ++quotesRead_;
                updateCells(nullptr, scope, figures ? &summed : nullptr);
            }
            if (source_.totals == GridTotals::OpenPositions && (figures || accountMoved)) {
                sumOpenPositionTotals(figures ? &summed : nullptr);
                Q_EMIT totalsChanged();
            } else if (source_.totals == GridTotals::Settled && accountMoved) {
                sumSettledTotals();
                Q_EMIT totalsChanged();
            }
            Q_EMIT refreshed();
            return;
        }
        // An account's state moved (an equity hit freezes its positions' prices): every live cell.
        rowsLive_ = scope == Scope::Rows && accounts != accountsSeen_;
        accountsSeen_ = std::move(accounts);
        // Rows read again: every live cell, as for an announcement.
        if (scope == Scope::Quotes)
            scope = Scope::Live;
    }
    announcementsRead_ = announcements_;
    ++quotesRead_;
    Snapshot snapshot = read();
    weightsMoved_ = applyRows(snapshot) || weightsMoved_;
    weightsMoved_ = updateCells(&snapshot, scope) || weightsMoved_;
    if (hasLiveColumns_ || scope == Scope::All || scope == Scope::Rows)
        rowsReadAt_ = recordsStamp_;
    // From the rows read, not from the cells: a hidden margin column still counts. Only when the
    // table or the positions' figures changed: the figures summed are the records', which the core
    // announces when its one-second refresh moves them, so the quote-driven tick has nothing to add.
    if (source_.totals == GridTotals::OpenPositions &&
        (scope == Scope::Figures || scope == Scope::All || scope == Scope::Rows || accountMoved)) {
        sumOpenPositionTotals();
        Q_EMIT totalsChanged();
    } else if (source_.totals == GridTotals::Settled) {
        // The rows were read: an account's change may have shown or hidden some.
        sumSettledTotals();
        Q_EMIT totalsChanged();
    }
    Q_EMIT refreshed();
}

bool GridModel::totalsAccountMoved() {
    if (source_.totals == GridTotals::None)
        return false;
    const std::int32_t account = session_.client().currentAccount();
    if (account == totalsAccount_)
        return false;
    totalsAccount_ = account;
    weightsMoved_ = true;
    return true;
}

void GridModel::sumSettledTotals() {
    SettledTotals totals;
    totals.account = totalsAccount_;
    for (const Row& row : rows_)
        if (row.order && row.account == totalsAccount_)
            addSettlement(totals, *row.order);
    settledTotals_ = totals;
}

void GridModel::sumOpenPositionTotals(const OpenPositionTotals* figures) {
    // The lots and margins only when some row's record or records changed; the figures every time,
    // or as the pass that refreshed them summed them.
    if (std::exchange(weightsMoved_, false)) {
        weightTotals_ = {};
        for (const Row& row : rows_)
            if (row.account == totalsAccount_)
                addWeights(weightTotals_, row.weights);
    }
    OpenPositionTotals totals = weightTotals_;
    totals.account = totalsAccount_;
    marginAsTheServerHoldsIt(totals, session_.client().model());
    OpenPositionTotals summed;
    if (!figures) {
        for (const Row& row : rows_)
            if (row.account == totalsAccount_)
                addFigures(summed, *row.order);
        figures = &summed;
    }
    totals.profitLoss = figures->profitLoss;
    totals.commission = figures->commission;
    totals.storage = figures->storage;
    totals.valued = figures->valued || session_.figuresValued();
    totals.listed = session_.client().dataService().openPositionsListed;
    openTotals_ = totals;
}

std::vector<GridModel::AccountState> GridModel::accountStates(const SessionModel& model) const {
    std::vector<AccountState> states;
    states.reserve(model.AccountDetailCollection.size());
    for (const auto& [key, account] : model.AccountDetailCollection)
        if (account)
            states.push_back({account.get(), account->tradingStatus, account->accountAccessType});
    return states;
}

GridModel::Snapshot GridModel::read() const {
    const interfaces::Client& client = session_.client();
    Snapshot s;
    s.model = &client.model();
    s.records = std::make_unique<RowRecordsCache>(*s.model);
    source_.read(client, instrument_, s);
    return s;
}

void GridModel::fillIds(Snapshot& s) const {
    if (s.idsFilled)
        return;
    if (source_.rows == RowKind::Instrument) {
        s.ids = s.codes;
    } else {
        s.ids.reserve(s.orders.size());
        for (const auto& order : s.orders)
            s.ids.push_back(source_.orderId(*order));
    }
    s.idsFilled = true;
}

void GridModel::lookUpRecords(Row& row, const Snapshot& s, std::size_t i) const {
    RowInputs inputs;
    if (source_.rows == RowKind::Instrument) {
        inputs.item = instrumentOf(*s.model, s.codes[i]);
    } else if (source_.rows == RowKind::Order) {
        inputs.records = s.records->of(*s.orders[i]);
        inputs.item = inputs.records.item;
        inputs.side = s.orders[i]->tradingMode;
        if (source_.totals != GridTotals::None)
            row.account = accountIdOfNumber(s.orders[i]->AccountNumber);
        if (source_.totals == GridTotals::OpenPositions)
            row.weights = positionWeights(*s.orders[i], inputs.records);
    }
    row.inputs = inputs;
    row.recordsStamp = recordsStamp_;
}

Cell GridModel::cellOf(const Snapshot& s, std::size_t i, const RowInputs& inputs,
                       const ColumnSpec& column) const {
    return source_.cell({*s.model, s, i, inputs.item, inputs.records}, column.field);
}

void GridModel::noteNumber(Row& row, const Snapshot& s, std::size_t i, std::size_t column) const {
    if (const int slot = numberSlots_[column]; slot >= 0)
        row.numbers[static_cast<std::size_t>(slot)] =
            source_.number({*s.model, s, i, row.inputs.item, row.inputs.records}, columns_[column].field);
}

// Inlined into the pass over every row each second: a call per cell, its key handed back through
// memory, cost more than working the key out.
[[gnu::always_inline]] inline GridModel::CellKey GridModel::keyOf(const RowInputs& inputs, const Order* order,
                                                                  Field field) const {
    // Each key holds every number its cell's text and tone are made of (see boardCell, orderCell).
    CellKey key;
    key.known = true;
    const ItemDetails* item = inputs.item;
    key.record = item;
    key.state = item ? item->DisplayDecimalPlaces() : -1;
    if (source_.rows == RowKind::Instrument) {
        if (!item)
            return key;
        switch (field) {
        case Field::Bid:
            key.values[0] = item->Bid.toDouble();
            break;
        case Field::Ask:
            key.values[0] = item->Ask.toDouble();
            break;
        case Field::SpreadTicks:
            key.values[0] = item->Ask.toDouble();
            key.values[1] = item->Bid.toDouble();
            key.values[2] = item->priceTick.toDouble();
            break;
        case Field::Open:
            key.values[0] = item->Open.toDouble();
            break;
        case Field::High:
            key.values[0] = item->High.toDouble();
            break;
        case Field::Low:
            key.values[0] = item->Low.toDouble();
            break;
        case Field::PrevClose:
            key.values[0] = item->PrevClose.toDouble();
            break;
        case Field::Last:
            key.values[0] = item->Last.toDouble();
            break;
        default:
            return {};
        }
        return key;
    }
    const bool frozen = isEquityHit(inputs.records.account);
    switch (field) {
    case Field::ClosingPrice:
        // As closingPrice(): none when frozen or unpriced.
        key.values[0] = frozen  ? order->EquityHitPrice.toDouble()
                        : !item ? 0
                                : closingQuote(*item, inputs.side).toDouble();
        key.values[1] = frozen ? kFrozen : item ? kPriced : kUnpriced;
        break;
    case Field::MarketPrice:
        key.values[0] = frozen || !item ? 0 : (inputs.side == 0 ? item->Ask : item->Bid).toDouble();
        break;
    case Field::UnrealisedPL:
        key.values[0] = order->UnrealisedPL;
        key.state = order->UnrealisedPLValued ? 1 : 0;
        break;
    case Field::PositionMargin:
        key.values[0] = positionMarginValue(*order, inputs.records);
        key.state = inputs.records.item ? 1 : 0;
        break;
    default:
        return {};
    }
    return key;
}

Cell GridModel::keyedCell(Field field, const CellKey& key) const {
    // What boardCell and orderCell make of the same numbers (priceText: the instrument's decimals,
    // none without an instrument).
    const auto price = [&](double value) {
        return Formatter::formatDecimal(value, key.record ? key.state : 0);
    };
    if (source_.rows == RowKind::Instrument) {
        switch (field) {
        case Field::Bid:
        case Field::Ask:
            return {price(key.values[0]), Tone::TickSame};
        case Field::SpreadTicks:
            return {spreadTicks(key).toString()};
        default:
            return {price(key.values[0])};
        }
    }
    switch (field) {
    case Field::ClosingPrice:
        // Without its instrument no price of it is known, as orderCell leaves it.
        if (key.values[1] == kUnpriced)
            return {};
        return {price(key.values[0]), key.values[1] == kFrozen ? Tone::Frozen : Tone::TickSame};
    case Field::UnrealisedPL:
        // Blank until the client has valued the position: 0.00 would read as a figure.
        if (key.state == 0)
            return {};
        return {platform::amountText(key.values[0]), key.values[0] < 0 ? Tone::Loss : Tone::Gain};
    case Field::PositionMargin:
        if (key.state == 0)
            return {}; // without its instrument the margin is the server's alone
        return {platform::amountText(key.values[0])};
    default:
        return {price(key.values[0])};
    }
}

platform::Decimal GridModel::spreadTicks(const CellKey& key) {
    return key.record && key.values[2] > 0 ? sixDecimals((key.values[0] - key.values[1]) / key.values[2])
                                           : platform::Decimal();
}

double GridModel::keyedNumber(Field field, const CellKey& key) const {
    // The number keyedCell shows; a row without its instrument shows zeros.
    if (source_.rows == RowKind::Instrument && field == Field::SpreadTicks)
        return spreadTicks(key).toDouble();
    return key.values[0];
}

GridModel::Row GridModel::makeRow(const Snapshot& s, std::size_t index, std::string id) {
    Row row;
    row.id = std::move(id);
    row.serial = ++lastSerial_;
    const Order* order = nullptr;
    if (index < s.orders.size()) {
        row.order = s.orders[index];
        order = row.order.get();
    }
    lookUpRecords(row, s, index);
    row.cells.resize(columns_.size());
    row.keys.resize(keyCount_);
    row.numbers.resize(numberCount_);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (const int slot = keySlots_[c]; slot >= 0) {
            row.keys[static_cast<std::size_t>(slot)] = keyOf(row.inputs, order, columns_[c].field);
            row.stale |= 1U << slot;
        } else {
            row.cells[c] = cellOf(s, index, row.inputs, columns_[c]);
            noteNumber(row, s, index, c);
        }
    }
    row.fresh = true;
    return row;
}

bool GridModel::applyRows(Snapshot& snapshot) {
    // The session's ids as they stand, seen where they are kept rather than copied: a fill among
    // 10,000 positions compares and indexes views.
    std::vector<std::string_view> after;
    if (snapshot.idsFilled) {
        after.assign(snapshot.ids.begin(), snapshot.ids.end());
    } else if (source_.rows == RowKind::Instrument) {
        after.assign(snapshot.codes.begin(), snapshot.codes.end());
    } else {
        after.reserve(snapshot.orders.size());
        for (const auto& order : snapshot.orders)
            after.push_back(source_.orderId(*order));
    }
    const auto sameId = [](const Row& row, std::string_view id) { return row.id == id; };
    if (rows_.size() == after.size() && std::equal(rows_.begin(), rows_.end(), after.begin(), sameId))
        return false;
    {
        std::vector<std::string_view> before;
        before.reserve(rows_.size());
        for (const Row& row : rows_)
            before.push_back(row.id);
        if (const auto changes = rowChanges(before, after)) {
            applyRemovals(*changes);
            applyInsertions(*changes, snapshot, after);
            return true;
        }
    }
    // An id listed twice, or rows that changed places: ids of their own, each occurrence a row. The
    // old ids are copied, as the removals move the rows. Without a repeated id the rows moved, which
    // the changes above already found.
    fillIds(snapshot);
    const bool repeated = makeUnique(snapshot.ids);
    after.assign(snapshot.ids.begin(), snapshot.ids.end());
    std::vector<std::string> old;
    old.reserve(rows_.size());
    for (const Row& row : rows_)
        old.push_back(row.id);
    const std::vector<std::string_view> before(old.begin(), old.end());
    if (const auto changes = repeated ? rowChanges(before, after) : std::nullopt) {
        applyRemovals(*changes);
        applyInsertions(*changes, snapshot, after);
        return true;
    }
    // The rows that stayed changed places: removals first, then the moves, then the insertions.
    const std::unordered_set<std::string_view> inAfter(after.begin(), after.end());
    const std::unordered_set<std::string_view> inBefore(before.begin(), before.end());
    std::vector<std::string_view> kept;
    for (const std::string_view id : before)
        if (inAfter.contains(id))
            kept.push_back(id);
    std::vector<std::string_view> target;
    for (const std::string_view id : after)
        if (inBefore.contains(id))
            target.push_back(id);
    if (const auto removals = rowChanges(before, kept))
        applyRemovals(*removals);
    reorderRows(target);
    if (const auto insertions = rowChanges(target, after))
        applyInsertions(*insertions, snapshot, after);
    return true;
}

void GridModel::applyRemovals(const std::vector<RowChange>& changes) {
    for (const RowChange& change : changes) {
        if (change.kind != RowChange::Kind::Remove)
            continue;
        const int first = static_cast<int>(change.first);
        beginRemoveRows({}, first, first + static_cast<int>(change.count) - 1);
        const auto at = rows_.begin() + static_cast<std::ptrdiff_t>(change.first);
        rows_.erase(at, at + static_cast<std::ptrdiff_t>(change.count));
        endRemoveRows();
    }
}

void GridModel::applyInsertions(const std::vector<RowChange>& changes, const Snapshot& snapshot,
                                const std::vector<std::string_view>& ids) {
    for (const RowChange& change : changes) {
        if (change.kind != RowChange::Kind::Insert)
            continue;
        // Insertions land where they stand in the snapshot.
        std::vector<Row> fresh;
        fresh.reserve(change.count);
        for (std::size_t i = 0; i < change.count; ++i)
            fresh.push_back(makeRow(snapshot, change.first + i, std::string(ids[change.first + i])));
        const int first = static_cast<int>(change.first);
        beginInsertRows({}, first, first + static_cast<int>(change.count) - 1);
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(change.first),
                     std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
        endInsertRows();
    }
}

void GridModel::reorderRows(const std::vector<std::string_view>& target) {
    std::size_t misplaced = 0;
    for (std::size_t i = 0; i < target.size(); ++i)
        misplaced += rows_[i].id != target[i];
    if (misplaced == 0)
        return;
    if (misplaced <= kMaxMoves) {
        for (std::size_t i = 0; i < target.size(); ++i) {
            if (rows_[i].id == target[i])
                continue;
            std::size_t j = i + 1;
            while (rows_[j].id != target[i])
                ++j;
            beginMoveRows({}, static_cast<int>(j), static_cast<int>(j), {}, static_cast<int>(i));
            std::rotate(rows_.begin() + static_cast<std::ptrdiff_t>(i),
                        rows_.begin() + static_cast<std::ptrdiff_t>(j),
                        rows_.begin() + static_cast<std::ptrdiff_t>(j) + 1);
            endMoveRows();
        }
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::unordered_map<std::string_view, std::size_t> place;
    for (std::size_t i = 0; i < target.size(); ++i)
        place.emplace(target[i], i);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from)
        to.append(this->index(static_cast<int>(place.at(rows_[static_cast<std::size_t>(index.row())].id)),
                              index.column()));
    std::vector<Row> reordered(rows_.size());
    for (Row& row : rows_) {
        const std::size_t at = place.at(row.id);
        reordered[at] = std::move(row);
    }
    rows_ = std::move(reordered);
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool GridModel::updateCells(const Snapshot* snapshot, Scope scope, OpenPositionTotals* figures) {
    // One announcement for the refresh, over the rows and columns of every cell that changed: a
    // view repaints what it shows of it at once, where a signal per row would cost each row's.
    // Without a snapshot the figures' pass visits only the profit; with one every live cell, as the
    // rows' records may have changed.
    const std::vector<std::size_t>& live = scope == Scope::Quotes                 ? quoteColumns_
                                           : scope == Scope::Figures && !snapshot ? figureColumns_
                                                                                  : liveColumns_;
    int rowFirst = -1;
    int rowLast = -1;
    int columnFirst = 0;
    int columnLast = 0;
    bool lookedUp = false;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        Row& row = rows_[r];
        // The totals' figures in the same pass over the rows.
        if (figures && row.order && row.account == totalsAccount_)
            addFigures(*figures, *row.order);
        if (row.fresh) {
            row.fresh = false;
            lookedUp = true;
            continue;
        }
        bool all = scope == Scope::All;
        if (scope == Scope::Rows && named_.contains(row.order.get())) {
            row.recordsStamp = 0;
            all = true;
        }
        if (snapshot && r < snapshot->orders.size() && row.order != snapshot->orders[r]) {
            row.order = snapshot->orders[r];
            row.recordsStamp = 0;
            all = true;
        }
        // A change that names its rows leaves the others' cells as they stand, live ones too unless
        // it moved them: the tick and the figures' pass move those.
        if (!all && (!hasLiveColumns_ || (scope == Scope::Rows && !rowsLive_)))
            continue;
        // Without a snapshot the rows and their records stand (see refresh): only keyed live cells.
        if (snapshot && row.recordsStamp != recordsStamp_) {
            lookUpRecords(row, *snapshot, r);
            lookedUp = true;
        }
        int first = -1;
        int last = -1;
        for (const std::size_t c : all ? allColumns_ : live) {
            if (const int slot = keySlots_[c]; slot >= 0) {
                // A keyed cell whose numbers stand keeps its text; one whose numbers moved is
                // formatted when it is next read.
                const CellKey key = keyOf(row.inputs, row.order.get(), columns_[c].field);
                CellKey& kept = row.keys[static_cast<std::size_t>(slot)];
                if (key == kept)
                    continue;
                kept = key;
                row.stale |= 1U << slot;
            } else {
                if (!snapshot)
                    continue;
                // The number may move under an unchanged text (past the decimals shown).
                noteNumber(row, *snapshot, r, c);
                Cell now = cellOf(*snapshot, r, row.inputs, columns_[c]);
                if (now == row.cells[c])
                    continue;
                row.cells[c] = std::move(now);
            }
            if (first < 0)
                first = static_cast<int>(c);
            last = static_cast<int>(c);
        }
        if (first < 0)
            continue;
        if (rowFirst < 0) {
            rowFirst = static_cast<int>(r);
            columnFirst = first;
            columnLast = last;
        }
        rowLast = static_cast<int>(r);
        columnFirst = std::min(columnFirst, first);
        columnLast = std::max(columnLast, last);
    }
    if (rowFirst >= 0)
        Q_EMIT dataChanged(index(rowFirst, columnFirst), index(rowLast, columnLast));
    return lookedUp;
}

void GridModel::dropClient() {
    beginResetModel();
    rows_.clear();
    openTotals_ = {};
    settledTotals_ = {};
    detached_ = true;
    endResetModel();
    Q_EMIT totalsChanged();
}

QModelIndex GridModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column, gridIndexId(row, column));
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Cell& c = cell(index.row(), index.column());
    if (signedOut_ && isLiveColumn(index.column())) {
        // What the session last heard, greyed: no tick, session or sign colour reads as live.
        switch (role) {
        case Qt::ForegroundRole:
            return *toneStyle(grid_, Tone::Stale, theme_).foreground;
        case Qt::BackgroundRole:
        case Qt::FontRole:
            return {};
        case ToneRole:
            return static_cast<int>(Tone::Stale);
        default:
            break;
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(c.textKey.empty() ? c.text : languageText(language_, c.textKey));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(
            (columnSpec(index.column()).numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    case Qt::ForegroundRole:
        if (const auto colour = toneStyle(grid_, c.tone, theme_).foreground)
            return *colour;
        return {};
    case Qt::BackgroundRole:
        if (c.background)
            return calibratedColor(*c.background);
        if (const auto colour = toneStyle(grid_, c.tone, theme_).background)
            return *colour;
        return {};
    case Qt::FontRole:
        if (toneStyle(grid_, c.tone, theme_).bold) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case IdRole:
        return QString::fromStdString(rowId(index.row()));
    case ToneRole:
        return static_cast<int>(c.tone);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const ColumnSpec& column = columnSpec(section);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(headerTitle(column, language_));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::Alignment((column.numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    case IdentifierRole:
        return QString::fromUtf8(column.id.data(), static_cast<qsizetype>(column.id.size()));
    case SortsRole:
        return column.sortable;
    default:
        return {};
    }
}

} // namespace tc::gui
