#include "gui/grid/grid_spec.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_sources.h"

#include "model/position_arithmetic.h"
#include "model/records/order.h"
#include "model/text/language_string.h"
#include "platform/numeric_order.h"
#include "platform/user_defaults.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tc::gui {
namespace {

// The column a login switch takes away, if any.
bool takenAway(Grid grid, const ColumnSpec& column, const ColumnSwitches& switches) {
    if (!switches.showAccountCurrency &&
        ((grid == Grid::Accounts && column.field == Field::TradeCurrency) ||
         (grid == Grid::SettledPositions && column.field == Field::AccountCurrencyRate)))
        return true;
    return !switches.baseCurrencyAvailable && grid == Grid::OpenPositions &&
           column.field == Field::BaseCurrencyRate;
}

// ---- sorting

const platform::NumericOrder& numericOrder() {
    static const platform::NumericOrder order;
    return order;
}

bool isAsciiAlnum(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A stored value: a column id, or the header's text key a column was stored by before ids.
const ColumnSpec* storedColumn(Grid grid, std::string_view value) {
    if (const ColumnSpec* column = columnOf(grid, value))
        return column;
    if (value.empty() || value.size() > 5 || !std::all_of(value.begin(), value.end(), isDigit))
        return nullptr;
    int number = 0;
    for (char c : value)
        number = number * 10 + (c - '0');
    for (const ColumnSpec& column : columnsOf(grid))
        if (column.storedKeyBefore == number)
            return &column;
    return nullptr;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Digit runs by value (leading zeros do not count), digits before letters, letters without regard
// to case, a text before its longer continuations; then, between texts equal so far, the first
// difference of case with the lower case first.
int asciiNaturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = isDigit(a[i]);
        const bool db = isDigit(b[j]);
        if (da != db)
            return da ? -1 : 1;
        if (!da) {
            if (lower(a[i]) != lower(b[j]))
                return lower(a[i]) < lower(b[j]) ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const auto run = [](std::string_view s, std::size_t& at) {
            while (at < s.size() && s[at] == '0')
                ++at;
            const std::size_t start = at;
            while (at < s.size() && isDigit(s[at]))
                ++at;
            return s.substr(start, at - start);
        };
        const std::string_view x = run(a, i);
        const std::string_view y = run(b, j);
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        if (const int c = x.compare(y); c != 0)
            return c < 0 ? -1 : 1;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Equal but for case and leading zeros: the letters in turn decide by case.
    for (i = 0, j = 0;; ++i, ++j) {
        while (i < a.size() && isDigit(a[i]))
            ++i;
        while (j < b.size() && isDigit(b[j]))
            ++j;
        if (i >= a.size() || j >= b.size())
            return 0;
        if (a[i] != b[j])
            return a[i] > b[j] ? -1 : 1; // 'a' > 'A' in ASCII, and the lower case goes first
    }
}

int compareText(std::string_view a, std::string_view b) {
    return naturalCompare(a, b);
}

int compareInt(std::int64_t x, std::int64_t y) {
    return x < y ? -1 : y < x ? 1 : 0;
}

// Times in time order, none after them.
int compareTime(std::optional<WallTime> a, std::optional<WallTime> b) {
    if (a && b)
        return *a < *b ? -1 : *b < *a ? 1 : 0;
    return a ? -1 : b ? 1 : 0;
}

// Only the day a day column shows: times of one day keep their order among themselves.
std::optional<WallTime> dayOf(std::optional<WallTime> time) {
    if (time)
        return std::chrono::floor<std::chrono::days>(*time);
    return time;
}

using Compare = std::function<int(const Order&, const Order&)>;

template <class Get>
Compare byText(Get get) {
    return [get](const Order& a, const Order& b) { return compareText(get(a), get(b)); };
}
// NaN goes first, as in compareNumbers.
template <class Get>
Compare byDecimal(Get get) {
    return [get](const Order& a, const Order& b) {
        const auto order = get(a).compare(get(b));
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    };
}
template <class Get>
Compare byDouble(Get get) {
    return [get](const Order& a, const Order& b) { return compareNumbers(get(a), get(b)); };
}
template <class Get>
Compare byInt(Get get) {
    return [get](const Order& a, const Order& b) { return compareInt(get(a), get(b)); };
}
template <class Get>
Compare byTime(Get get) {
    return [get](const Order& a, const Order& b) { return compareTime(get(a), get(b)); };
}
template <class Get>
Compare byDay(Get get) {
    return [get](const Order& a, const Order& b) { return compareTime(dayOf(get(a)), dayOf(get(b))); };
}

std::optional<Compare> comparatorOf(Field field) {
    switch (field) {
    case Field::OpenPositionId:
        return byText([](const Order& o) -> const std::string& { return o.OpenPositionId; });
    case Field::PendingOrderId:
    case Field::PendingOrderIdOrDash:
        return byText([](const Order& o) -> const std::string& { return o.PendingOrderId; });
    case Field::SettlementId:
        return byText([](const Order& o) -> const std::string& { return o.SettlementId; });
    case Field::ClosingPositionId:
        return byText([](const Order& o) -> const std::string& { return o.ClosingPositionId; });
    case Field::BracketPosition:
        return byText([](const Order& o) -> const std::string& { return o.RefPositionIdOfBracket; });
    case Field::AccountNumber:
        return byText([](const Order& o) -> const std::string& { return o.AccountNumber; });
    case Field::ItemCode:
        return byText([](const Order& o) -> const std::string& { return o.ItemCode; });
    case Field::RemainingQty:
        return byDecimal([](const Order& o) { return o.RemainingQty; });
    case Field::OrderQty:
        return byDecimal([](const Order& o) { return o.OrderQty; });
    case Field::SettledQty:
        return byDecimal([](const Order& o) { return o.SettledQty; });
    case Field::ExecutedQty:
        return byDecimal(executedQuantity);
    case Field::OrderPrice:
        return byDecimal([](const Order& o) { return o.OrderPrice.value_or(platform::Decimal()); });
    case Field::SettledPrice:
        return byDecimal([](const Order& o) { return o.SettledPrice.value_or(platform::Decimal()); });
    case Field::SettledPL:
        return byDecimal([](const Order& o) { return o.SettledPL; });
    case Field::TakeProfit:
        return byDecimal([](const Order& o) { return o.LimitPrice.value_or(platform::Decimal()); });
    case Field::StopLoss:
        return byDecimal([](const Order& o) { return o.StopPrice.value_or(platform::Decimal()); });
    case Field::UnrealisedPL:
        return byDouble([](const Order& o) { return o.UnrealisedPL; });
    case Field::Commission:
        return byDouble([](const Order& o) { return o.Commission; });
    case Field::PositionCommission:
        return byDouble(positionCommission);
    case Field::BaseCurrencyRate:
        return byDouble([](const Order& o) { return o.BaseCurrencyRate; });
    case Field::Storage:
        return byDecimal([](const Order& o) { return o.Storage; });
    case Field::OtherCharges:
        return byDecimal([](const Order& o) { return o.OtherCharges; });
    case Field::CurrencyRate:
        return byDecimal(
            [](const Order& o) { return o.CurrencyRate.value_or(platform::Decimal::notANumber()); });
    case Field::AccountCurrencyRate:
        return byDecimal([](const Order& o) { return o.accountCurrencyRate; });
    case Field::Side:
        return byInt([](const Order& o) { return o.tradingMode; });
    case Field::OrderType:
        return byInt([](const Order& o) { return o.orderType; });
    case Field::DeliveryMode:
        return byInt([](const Order& o) { return o.deliveryMode; });
    case Field::TimeInForce:
        return byInt([](const Order& o) { return o.timeInForce; });
    case Field::TransactionTime:
    case Field::TransactionTimeOnly:
        return byTime([](const Order& o) { return o.TransactionDateTime; });
    case Field::ItemTime:
        return byTime([](const Order& o) { return o.ItemTime; });
    case Field::ValueDate:
        return byDay([](const Order& o) { return o.ValueDate; });
    case Field::ExpiryDate:
        return byDay([](const Order& o) { return o.ExpiryDate; });
    default:
        return std::nullopt;
    }
}

} // namespace

int compareNumbers(double x, double y) {
    // Not-a-number goes first, as the smallest value, so the order stays strict.
    if (std::isnan(x) || std::isnan(y))
        return std::isnan(x) == std::isnan(y) ? 0 : std::isnan(x) ? -1 : 1;
    return x < y ? -1 : y < x ? 1 : 0;
}

int naturalCompare(std::string_view a, std::string_view b) {
    if (isAsciiAlnum(a) && isAsciiAlnum(b))
        return asciiNaturalCompare(a, b);
    const auto& order = numericOrder();
    return order.less(a, b) ? -1 : order.less(b, a) ? 1 : 0;
}

std::span<const ColumnSpec> columnsOf(Grid grid) {
    return gridSource(grid).columns;
}

const ColumnSpec* columnOf(Grid grid, std::string_view id) {
    for (const ColumnSpec& column : columnsOf(grid))
        if (column.id == id)
            return &column;
    return nullptr;
}

std::string headerTitle(const ColumnSpec& column, std::int64_t language) {
    if (column.field == Field::ContractDetail)
        return "i";
    const std::string key = LanguageString::setLanguageKey(column.title);
    return LanguageString::stringForSelectedLanguage(language, key).value_or(key);
}

std::vector<ColumnState> columnStates(Grid grid, const ColumnSwitches& switches,
                                      const std::optional<std::vector<std::string>>& storedHidden) {
    std::vector<ColumnState> states;
    for (const ColumnSpec& column : columnsOf(grid)) {
        if (takenAway(grid, column, switches)) {
            states.push_back({&column, true, false});
            continue;
        }
        const bool hidden = storedHidden ? std::find(storedHidden->begin(), storedHidden->end(), column.id) !=
                                               storedHidden->end()
                                         : column.hiddenByDefault;
        states.push_back({&column, hidden, true});
    }
    return states;
}

std::string hiddenColumnsKey(Grid grid) {
    return "HiddenColumns." + std::string(gridSource(grid).name);
}

std::optional<std::vector<std::string>> storedHiddenColumns(const platform::UserDefaults& defaults,
                                                            Grid grid) {
    auto stored = defaults.stringArrayForKey(hiddenColumnsKey(grid));
    if (!stored)
        return std::nullopt;
    // Only columns of this grid count; anything else in the store is ignored.
    std::vector<std::string> ids;
    for (const std::string& value : *stored)
        if (const ColumnSpec* column = storedColumn(grid, value))
            ids.emplace_back(column->id);
    return ids;
}

void storeColumnHidden(platform::UserDefaults& defaults, Grid grid, std::string_view id, bool hidden) {
    defaults.edit(hiddenColumnsKey(grid), [grid, id = std::string(id),
                                           hidden](std::optional<platform::PlistValue> value) {
        std::vector<std::string> ids;
        if (value && value->isArray()) {
            // Old header keys become ids; what no column of this grid is stays as it was.
            for (const platform::PlistValue& item : *value->array()) {
                if (!item.isString())
                    continue;
                const ColumnSpec* column = storedColumn(grid, *item.string());
                ids.push_back(column ? std::string(column->id) : *item.string());
            }
        } else {
            for (const ColumnSpec& column : columnsOf(grid))
                if (column.hiddenByDefault)
                    ids.emplace_back(column.id);
        }
        std::erase(ids, id);
        if (hidden)
            ids.push_back(id);
        return std::optional(platform::PlistValue(platform::PlistArray(ids.begin(), ids.end())));
    });
    defaults.synchronize();
}

std::optional<OrderSortDescriptor> sortDescriptor(Field field, bool ascending) {
    auto compare = comparatorOf(field);
    if (!compare)
        return std::nullopt;
    return OrderSortDescriptor{std::move(*compare), ascending};
}

bool isSortableGrid(Grid grid) {
    return gridSource(grid).sortable;
}

std::string_view gridNameKey(Grid grid) {
    return gridSource(grid).nameKey;
}

} // namespace tc::gui
