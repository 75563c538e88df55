#include "gui/grid/grid_sources.h"

#include "gui/texts.h"
#include "interfaces/client.h"
#include "model/account_figures.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/session_model.h"

#include <array>

namespace tc::gui {
namespace {

// id, title, field, width, numeric, hidden by default, live, sortable, the number stored before ids
constexpr ColumnSpec kWatchlist[] = {
    {"Code", texts::kSymbol, Field::Code, 90, false, false, false, false, 11},
    {"Name", texts::kName, Field::Name, 150, false, false, false, false, 21},
    {"InstrumentType", texts::kInstrumentType, Field::InstrumentType, 100, false, true, false, false, 199},
    {"Bid", texts::kBid, Field::Bid, 110, true, false, true, false, 192},
    {"Ask", texts::kAsk, Field::Ask, 110, true, false, true, false, 193},
    {"SpreadTicks", texts::kSpread, Field::SpreadTicks, 60, true, false, true, false, 130},
    {"Open", texts::kOpen, Field::Open, 80, true, false, true, false, 10987},
    {"High", texts::kHigh, Field::High, 80, true, false, true, false, 195},
    {"Low", texts::kLow, Field::Low, 80, true, false, true, false, 196},
    {"PrevClose", texts::kPrevClose, Field::PrevClose, 80, true, false, true, false, 376},
    {"Last", texts::kLast, Field::Last, 80, true, false, true, false, 194},
    {"UpdateTime", texts::kTimeColumn, Field::UpdateTime, 70, false, false, true, false, 153},
    {"SessionName", texts::kStatus, Field::SessionName, 100, false, false, true, false, 144},
    {"TradingStatus", texts::kTradingStatus, Field::TradingStatus, 80, false, false, false, false, 514},
    {"ContractDetail", "", Field::ContractDetail, 24, false, false, false, false, 0},
};

constexpr ColumnSpec kAccounts[] = {
    {"AccountId", texts::kAccount, Field::AccountId, 70, true, false, true, false, 12},
    {"AccountName", texts::kAccountName, Field::AccountName, 140, false, false, true, false, 239},
    {"AccountStatus", texts::kStatus, Field::AccountStatus, 110, false, false, true, false, 144},
    {"Balance", texts::kBalance, Field::Balance, 100, true, false, true, false, 13},
    {"FloatingPL", texts::kFloatingPL, Field::FloatingPL, 100, true, false, true, false, 139},
    {"FloatingCredit", texts::kFloatingCredit, Field::FloatingCredit, 100, true, false, true, false, 438},
    {"AccumulatedStorage", texts::kStorage, Field::AccumulatedStorage, 90, true, false, true, false, 432},
    {"Equity", texts::kEquity, Field::Equity, 100, true, false, true, false, 222},
    {"UsedMargin", texts::kUsedMargin, Field::UsedMargin, 100, true, false, true, false, 15},
    {"AvailableMargin", texts::kAvailableMargin, Field::AvailableMargin, 110, true, false, true, false, 14},
    {"AccountType", texts::kAccountType, Field::AccountType, 110, false, false, true, false, 240},
    {"AccessType", texts::kAccessType, Field::AccessType, 90, false, false, true, false, 492},
    {"TradeCurrency", texts::kCurrency, Field::TradeCurrency, 70, false, false, true, false, 697},
};

// Columns the order grids share, sortable; the executed positions sort none of theirs.
constexpr ColumnSpec kPositionIdColumn{
    "OpenPositionId", texts::kPositionIDColumn, Field::OpenPositionId, 90, true, false, false, true, 317};
constexpr ColumnSpec kOrderIdOrDashColumn{
    "PendingOrderId", texts::kOrderID, Field::PendingOrderIdOrDash, 90, true, false, false, true, 70};
constexpr ColumnSpec kAccountNumberColumn{
    "AccountNumber", texts::kAccount, Field::AccountNumber, 70, true, false, false, true, 12};
constexpr ColumnSpec kItemCodeColumn{
    "ItemCode", texts::kSymbol, Field::ItemCode, 80, false, false, false, true, 11};
constexpr ColumnSpec kSideColumn{"Side", texts::kSide, Field::Side, 40, false, false, false, true, 20};
constexpr ColumnSpec kTypeColumn{"OrderType", texts::kType, Field::OrderType, 60, false, false, false, true,
                                 28};
constexpr ColumnSpec kPriceColumn{
    "OrderPrice", texts::kPriceField, Field::OrderPrice, 80, true, false, false, true, 232};
constexpr ColumnSpec kOpenPriceColumn{
    "OrderPrice", texts::kOpenPrice, Field::OrderPrice, 80, true, false, false, true, 318};
constexpr ColumnSpec kTakeProfitColumn{
    "TakeProfit", texts::kTakeProfit, Field::TakeProfit, 80, true, false, false, true, 233};
constexpr ColumnSpec kStopLossColumn{
    "StopLoss", texts::kStopLoss, Field::StopLoss, 80, true, false, false, true, 234};
constexpr ColumnSpec kCommissionColumn{
    "Commission", texts::kCommission, Field::Commission, 80, true, false, false, true, 275};
constexpr ColumnSpec kStorageColumn{"Storage", texts::kStorage, Field::Storage, 80, true,
                                    false,     false,           true,           432};
constexpr ColumnSpec kDeliveryColumn{
    "DeliveryMode", texts::kDelivery, Field::DeliveryMode, 70, false, false, false, true, 132};
constexpr ColumnSpec kOpenTimeColumn{
    "TransactionTime", texts::kOpenTime, Field::TransactionTime, 140, false, false, false, true, 137};

constexpr ColumnSpec unsorted(ColumnSpec column) {
    column.sortable = false;
    return column;
}

constexpr ColumnSpec kOpenPositions[] = {
    kPositionIdColumn,
    kAccountNumberColumn,
    kItemCodeColumn,
    {"RemainingQty", texts::kQuantity, Field::RemainingQty, 60, true, false, false, true, 27},
    kSideColumn,
    kOpenPriceColumn,
    {"ClosingPrice", texts::kMarketPrice, Field::ClosingPrice, 90, true, false, true, false, 147},
    {"UnrealisedPL", texts::kPL, Field::UnrealisedPL, 90, true, false, true, true, 319},
    kTakeProfitColumn,
    kStopLossColumn,
    kOpenTimeColumn,
    {"Commission", texts::kCommission, Field::PositionCommission, 80, true, false, false, true, 275},
    {"PositionMargin", texts::kMargin, Field::PositionMargin, 90, true, false, false, false, 128},
    {"BaseCurrencyRate", texts::kBaseCurrency, Field::BaseCurrencyRate, 90, true, true, false, true, 30469},
    kStorageColumn,
    kDeliveryColumn,
    {"ValueDate", texts::kValueDate, Field::ValueDate, 90, false, true, false, true, 478},
    {"ExpiryDate", texts::kExpiryDate, Field::ExpiryDate, 90, false, true, false, true, 483},
};

constexpr ColumnSpec kPendingOrders[] = {
    {"PendingOrderId", texts::kOrderID, Field::PendingOrderId, 90, true, false, false, true, 70},
    kAccountNumberColumn,
    kItemCodeColumn,
    {"OrderQty", texts::kOrderQty, Field::OrderQty, 60, true, false, false, true, 328},
    {"RemainingQty", texts::kRemainingQty, Field::RemainingQty, 60, true, false, false, true, 71},
    kSideColumn,
    kTypeColumn,
    kPriceColumn,
    {"MarketPrice", texts::kMarketPrice, Field::MarketPrice, 90, true, false, true, false, 147},
    kTakeProfitColumn,
    kStopLossColumn,
    {"BracketPosition", texts::kRefPosition, Field::BracketPosition, 90, true, false, false, true, 287},
    {"TimeInForce", texts::kTimeInForce, Field::TimeInForce, 50, false, false, false, true, 337},
    kDeliveryColumn,
    {"TransactionTime", texts::kOrderTime, Field::TransactionTime, 140, false, false, false, true, 326},
};

constexpr ColumnSpec kSettledPositions[] = {
    {"SettlementId", texts::kSettlementID, Field::SettlementId, 90, true, false, false, true, 148},
    kAccountNumberColumn,
    kItemCodeColumn,
    {"SettledQty", texts::kQuantity, Field::SettledQty, 60, true, false, false, true, 27},
    kSideColumn,
    kOpenPriceColumn,
    {"SettledPrice", texts::kClosePrice, Field::SettledPrice, 80, true, false, false, true, 77},
    {"SettledPL", texts::kPL, Field::SettledPL, 90, true, false, false, true, 319},
    kCommissionColumn,
    kStorageColumn,
    {"OtherCharges", texts::kOtherCharges, Field::OtherCharges, 80, true, false, false, true, 439},
    kDeliveryColumn,
    {"OpenPositionId", texts::kOpenPositionID, Field::OpenPositionId, 90, true, false, false, true, 323},
    {"ClosingPositionId", texts::kClosingPositionID, Field::ClosingPositionId, 90, true, false, false, true,
     324},
    {"ItemTime", texts::kSettledOpenTime, Field::ItemTime, 140, false, false, false, true, 325},
    {"TransactionTimeOnly", texts::kTime, Field::TransactionTimeOnly, 70, false, false, false, true, 151},
    {"CurrencyRate", texts::kCurrencyRate, Field::CurrencyRate, 80, true, true, false, true, 434},
    {"AccountCurrencyRate", texts::kAccountCurrencyRate, Field::AccountCurrencyRate, 90, true, false, false,
     true, 830},
};

constexpr ColumnSpec kExecutedPositions[] = {
    unsorted(kPositionIdColumn),
    unsorted(kAccountNumberColumn),
    unsorted(kItemCodeColumn),
    {"ExecutedQty", texts::kQuantity, Field::ExecutedQty, 60, true, false, false, false, 27},
    unsorted(kSideColumn),
    unsorted(kPriceColumn),
    unsorted(kTypeColumn),
    unsorted(kOrderIdOrDashColumn),
    unsorted(kDeliveryColumn),
    unsorted(kOpenTimeColumn),
};

constexpr ColumnSpec kCancelledOrders[] = {
    kAccountNumberColumn,
    kItemCodeColumn,
    {"OrderQty", texts::kQuantity, Field::OrderQty, 60, true, false, false, true, 27},
    kSideColumn,
    kTypeColumn,
    kPriceColumn,
    kOrderIdOrDashColumn,
    kDeliveryColumn,
    {"TransactionTime", texts::kCancelledTime, Field::TransactionTime, 140, false, false, false, true, 495},
};

constexpr ColumnSpec kBuyDepth[] = {
    {"DepthPrice", texts::kBuyPrice, Field::DepthPrice, 80, true, false, true, false, 213},
    {"DepthQuantity", texts::kBuyQty, Field::DepthQuantity, 70, true, false, true, false, 212},
};

constexpr ColumnSpec kSellDepth[] = {
    {"DepthPrice", texts::kSellPrice, Field::DepthPrice, 80, true, false, true, false, 214},
    {"DepthQuantity", texts::kSellQty, Field::DepthQuantity, 70, true, false, true, false, 215},
};

// ---- rows

void readWatchList(const interfaces::Client& client, const std::string&, GridRows& rows) {
    rows.codes = client.watchList();
}

void readAccounts(const interfaces::Client& client, const std::string&, GridRows& rows) {
    const SessionModel& model = client.model();
    rows.accounts = accountFigures(model, client.queries().getAccountCollection(), model.OpenOrderCollection);
    for (const AccountDetails& account : rows.accounts)
        rows.ids.push_back(std::to_string(account.AccountId));
    rows.idsFilled = true;
}

template <OrderView (SessionQueries::*list)() const>
void readOrders(const interfaces::Client& client, const std::string&, GridRows& rows) {
    OrderView orders = (client.queries().*list)();
    rows.orders.reserve(orders.size());
    for (auto& order : orders)
        if (order)
            rows.orders.push_back(std::move(order));
}

template <DepthSide side>
void readDepth(const interfaces::Client& client, const std::string& instrument, GridRows& rows) {
    if (!instrument.empty()) {
        rows.levels = ladderRows(client.depth(), instrument, side, instrumentOf(client.model(), instrument));
        const auto levels = ladderLevels(client.depth(), instrument, side);
        rows.depth.assign(levels.begin(), levels.end());
    }
    for (std::size_t i = 0; i < rows.levels.size(); ++i)
        rows.ids.push_back(std::to_string(i));
    rows.idsFilled = true;
}

const std::string& positionId(const Order& order) {
    return order.OpenPositionId;
}

const std::string& pendingOrderId(const Order& order) {
    return order.PendingOrderId;
}

const std::string& settlementId(const Order& order) {
    return order.SettlementId;
}

// ---- cells

Cell instrumentCell(const RowView& row, Field field) {
    return boardCell(row.model, row.item, field);
}

Cell accountRowCell(const RowView& row, Field field) {
    return accountCell(row.rows.accounts[row.index], field);
}

Cell orderRowCell(const RowView& row, Field field) {
    return orderCell(*row.rows.orders[row.index], row.records, field);
}

Cell levelCell(const RowView& row, Field field) {
    const LadderRow& level = row.rows.levels[row.index];
    return field == Field::DepthPrice ? Cell(level.price) : Cell(level.quantity);
}

// ---- numbers

double accountRowNumber(const RowView& row, Field field) {
    return accountFigure(row.rows.accounts[row.index], field);
}

// A level without a quantity shows none: it sorts as 0.
double levelNumber(const RowView& row, Field field) {
    const DepthLevel& level = row.rows.depth[row.index];
    if (field == Field::DepthPrice)
        return level.price.toDouble();
    return orZero(level.quantity).toDouble();
}

// ---- row menus

std::vector<MenuItem> openPositionRowMenu(const MenuInputs& in) {
    return openPositionMenu(in.order, in.records, in.queries.getOpenOrderCollection(), in.sheetOpen);
}

std::vector<MenuItem> pendingOrderRowMenu(const MenuInputs& in) {
    return pendingOrderMenu(in.order, in.sheetOpen);
}

std::vector<MenuItem> executedPositionRowMenu(const MenuInputs& in) {
    return executedPositionMenu(in.records, in.sheetOpen);
}

// ---- the table

using interfaces::Table;
constexpr Table kAccountsTable[] = {Table::Accounts};
constexpr Table kOpenTable[] = {Table::OpenPositions};
constexpr Table kPendingTable[] = {Table::PendingOrders};
constexpr Table kSettledTable[] = {Table::SettledPositions};
// Executed rows follow the open positions.
constexpr Table kExecutedTables[] = {Table::ExecutedPositions, Table::OpenPositions};
constexpr Table kCancelledTable[] = {Table::CancelledOrders};

constexpr Field kBoardTicks[] = {Field::Bid, Field::Ask};
constexpr Field kPositionTicks[] = {Field::ClosingPrice};

// Indexed by Grid. The quotes board and the ladders follow every tick; the accounts' figures move
// only with what the session announces (their records, the positions and their figures), never with
// a quote; the open positions and pending orders follow quotes in their live columns, and an
// account's change (the session announces one every second with the floating figures) shows or
// hides every order grid's orders.
constexpr GridSource kSources[] = {
    {Grid::Watchlist,
     "Watchlist",
     texts::kWatchList,
     kWatchlist,
     RowKind::Instrument,
     readWatchList,
     nullptr,
     nullptr,
     instrumentCell,
     nullptr,
     {},
     false,
     false,
     OnTick::Everything,
     LiveColumns::All,
     kBoardTicks,
     GridTotals::None,
     false,
     nullptr},
    {Grid::Accounts,
     "Accounts",
     texts::kAccounts,
     kAccounts,
     RowKind::Account,
     readAccounts,
     nullptr,
     nullptr,
     accountRowCell,
     accountRowNumber,
     kAccountsTable,
     false,
     false,
     OnTick::Announced,
     LiveColumns::All,
     {},
     GridTotals::None,
     false,
     nullptr},
    {Grid::OpenPositions, "OpenPositions", texts::kOpenPositionsTab, kOpenPositions, RowKind::Order,
     readOrders<&SessionQueries::getOpenOrderCollection>, &SessionQueries::getOpenOrderCollection, positionId,
     orderRowCell, nullptr, kOpenTable, true, true, OnTick::Quotes, LiveColumns::Flagged, kPositionTicks,
     GridTotals::OpenPositions, true, openPositionRowMenu},
    {Grid::PendingOrders,
     "PendingOrders",
     texts::kPendingOrdersTab,
     kPendingOrders,
     RowKind::Order,
     readOrders<&SessionQueries::getPendingOrderCollection>,
     &SessionQueries::getPendingOrderCollection,
     pendingOrderId,
     orderRowCell,
     nullptr,
     kPendingTable,
     false,
     true,
     OnTick::Quotes,
     LiveColumns::Flagged,
     {},
     GridTotals::None,
     true,
     pendingOrderRowMenu},
    {Grid::SettledPositions,
     "SettledPositions",
     texts::kSettledPositionsTab,
     kSettledPositions,
     RowKind::Order,
     readOrders<&SessionQueries::getSettledOrderCollection>,
     &SessionQueries::getSettledOrderCollection,
     settlementId,
     orderRowCell,
     nullptr,
     kSettledTable,
     false,
     true,
     OnTick::Nothing,
     LiveColumns::None,
     {},
     GridTotals::Settled,
     true,
     nullptr},
    {Grid::ExecutedPositions,
     "ExecutedPositions",
     texts::kExecutedPositions,
     kExecutedPositions,
     RowKind::Order,
     readOrders<&SessionQueries::getExecutedOrderCollection>,
     &SessionQueries::getExecutedOrderCollection,
     positionId,
     orderRowCell,
     nullptr,
     kExecutedTables,
     false,
     true,
     OnTick::Nothing,
     LiveColumns::None,
     {},
     GridTotals::None,
     false,
     executedPositionRowMenu},
    {Grid::CancelledOrders,
     "CancelledOrders",
     texts::kCancelledOrders,
     kCancelledOrders,
     RowKind::Order,
     readOrders<&SessionQueries::getCancelledOrderCollection>,
     &SessionQueries::getCancelledOrderCollection,
     pendingOrderId,
     orderRowCell,
     nullptr,
     kCancelledTable,
     false,
     true,
     OnTick::Nothing,
     LiveColumns::None,
     {},
     GridTotals::None,
     true,
     nullptr},
    {Grid::BuyDepth,
     "BuyDepth",
     texts::kBuyMarketDepth,
     kBuyDepth,
     RowKind::Level,
     readDepth<DepthSide::Buy>,
     nullptr,
     nullptr,
     levelCell,
     levelNumber,
     {},
     false,
     false,
     OnTick::Everything,
     LiveColumns::All,
     {},
     GridTotals::None,
     false,
     nullptr},
    {Grid::SellDepth,
     "SellDepth",
     texts::kSellMarketDepth,
     kSellDepth,
     RowKind::Level,
     readDepth<DepthSide::Sell>,
     nullptr,
     nullptr,
     levelCell,
     levelNumber,
     {},
     false,
     false,
     OnTick::Everything,
     LiveColumns::All,
     {},
     GridTotals::None,
     false,
     nullptr},
};

constexpr bool inGridOrder() {
    for (std::size_t i = 0; i < std::size(kSources); ++i)
        if (static_cast<std::size_t>(kSources[i].grid) != i)
            return false;
    return true;
}
static_assert(inGridOrder(), "the table is indexed by Grid");

} // namespace

std::span<const GridSource> gridSources() {
    return kSources;
}

const GridSource& gridSource(Grid grid) {
    return kSources[static_cast<std::size_t>(grid)];
}

bool touches(interfaces::TableSet tables, std::span<const interfaces::Table> watched) {
    for (const interfaces::Table table : watched)
        if (tables.contains(table))
            return true;
    return false;
}

} // namespace tc::gui
