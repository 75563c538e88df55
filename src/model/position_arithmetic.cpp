#include "model/position_arithmetic.h"

#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "platform/lenient.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace tc {

namespace {

constexpr std::array<double, ItemDetails::kMaxDecimalPlaces + 1> kPowersOfTen = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5,
                                                                                 1e6, 1e7, 1e8, 1e9, 1e10};

// Mid price of the instrument that converts modes 5 and 6; 1 when there is none or it is 0.
double calculationMid(const ItemDetails& item) {
    const auto calc = item.CalculationItems.lock();
    if (!calc)
        return 1.0;
    const double mid = (calc->Bid.toDouble() + calc->Ask.toDouble()) * 0.5;
    return mid == 0 ? 1.0 : mid;
}

// The digits after the point a decimal carries (1.250 carries 2, 1200 none).
int placesOf(const platform::Decimal& value) {
    return value.isNaN() ? 0 : std::max(0, -value.exponent());
}

// The digits of the decimal the floating P/L stands for, where its mode makes it a product of decimals
// (the price difference, the quantity, the contract size and, for mode 5, the mid of two quotes); -1
// where a division leaves it none.
int plPlaces(const ItemDetails& item, const platform::Decimal& quantity, const platform::Decimal& openPrice,
             const platform::Decimal& currentPrice) {
    const std::int32_t mode = item.PLCalcModeId <= 0 ? 1 : item.PLCalcModeId;
    const int product = std::max(placesOf(openPrice), placesOf(currentPrice)) + placesOf(quantity) +
                        placesOf(item.ContractSize);
    if (mode == 1)
        return product;
    if (mode == 5) {
        const auto calc = item.CalculationItems.lock();
        if (!calc)
            return product;
        return product + std::max(placesOf(calc->Bid), placesOf(calc->Ask)) + 1;
    }
    return -1;
}

// The double worked out in the floating P/L's arithmetic brought to the nearest double of the decimal
// it stands for at `places` digits: 0.25 × (191.00 - 186.58) comes out of the doubles as
// 1.1049999999999969, whose cents would round down, where the decimal is 1.105 and rounds up as
// every other half cent does.
double atPlaces(double value, int places) {
    constexpr std::array<double, 16> kScales = {1.0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (places < 0 || places >= static_cast<int>(kScales.size()) || !std::isfinite(value))
        return value;
    const double scale = kScales[static_cast<std::size_t>(places)];
    const double units = value * scale;
    // Past 2^53 the double holds no whole number of units to come back to.
    if (!(std::abs(units) < 9007199254740992.0))
        return value;
    return std::round(units) / scale;
}

// CalculateFloatingPL over decimals, its result the decimal's nearest double where it has one.
double decimalPL(const ItemDetails& item, std::int32_t side, const platform::Decimal& quantity,
                 const platform::Decimal& openPrice, const platform::Decimal& currentPrice) {
    const double pl =
        CalculateFloatingPL(&item, side, quantity.toDouble(), openPrice.toDouble(), currentPrice.toDouble());
    return atPlaces(pl, plPlaces(item, quantity, openPrice, currentPrice));
}

} // namespace

double CalculateFloatingPL(const ItemDetails* item, std::int32_t side, double quantity, double openPrice,
                           double currentPrice) {
    if (!item || !(quantity > 0) || !(openPrice > 0) || !(currentPrice > 0))
        return 0;
    const std::int32_t mode = item->PLCalcModeId <= 0 ? 1 : item->PLCalcModeId;
    // Profit is worked in doubles, as the prices are.
    const double cs = item->ContractSize.toDouble();
    double raw = 0;
    switch (mode) {
    case 1:
        raw = (openPrice - currentPrice) * quantity * cs;
        break;
    case 2:
        raw = (1 / openPrice - 1 / currentPrice) * quantity * cs;
        break;
    case 3:
        raw = std::round(kPowersOfTen[static_cast<std::size_t>(item->DisplayDecimalPlaces())] *
                         (openPrice - currentPrice) * item->Point.toDouble() * quantity);
        break;
    case 4:
        raw = (openPrice - currentPrice) * cs * quantity / currentPrice;
        break;
    case 5:
        raw = (openPrice - currentPrice) * quantity * cs * calculationMid(*item);
        break;
    case 6:
        raw = (openPrice - currentPrice) * quantity * cs / calculationMid(*item);
        break;
    default:
        return 0;
    }
    return side == 0 ? -raw : raw;
}

double currencyConversion(double amount, double price, double isDirect) {
    if (isDirect == 0)
        return amount * price;
    return price == 0 ? amount : amount / price;
}

double calcCommission(const platform::Decimal& orderQuantity, const platform::Decimal& remainingQuantity,
                      double commission) {
    const double ordered = orderQuantity.toDouble();
    if (!(ordered > 0))
        return commission;
    return commission / ordered * remainingQuantity.toDouble();
}

double positionCommission(const Order& position) {
    return calcCommission(position.OrderQty, position.RemainingQty, position.Commission);
}

const platform::CompactDecimal& closingQuote(const ItemDetails& item, std::int32_t side) {
    return closingQuote(side, item.Bid, item.Ask);
}

const platform::CompactDecimal& closingQuote(const ItemDetails& item, const Order& position) {
    return closingQuote(item, position.tradingMode);
}

std::optional<double> floatingPLOfPosition(const Order& position, const ItemDetails* item,
                                           const AccountDetails* account) {
    // Without the instrument (not in the snapshot) nothing can be priced: the server's figure stands.
    if (!item || (account && account->tradingStatus == AccountDetails::kStatusEquityHit))
        return std::nullopt;
    return decimalPL(*item, position.tradingMode, position.RemainingQty, orZero(position.OrderPrice),
                     closingQuote(*item, position));
}

double closeResult(const Order& position, double quantity, const SessionLookup& session) {
    const auto item = session.instrumentForCode(position.ItemCode);
    if (!item)
        return 0;
    // The quantity as the decimal its shortest text reads (0.5, never 0.50000000000000011).
    const auto asDecimal = decimalFromDouble(quantity);
    const double result = decimalPL(*item, position.tradingMode, asDecimal, orZero(position.OrderPrice),
                                    closingQuote(*item, position));
    return convertIntoAccountCurrency(result, position, session);
}

platform::Decimal offsetResult(const Order& leg, const platform::Decimal& quantity, const Order& position,
                               const ItemDetails* item) {
    if (!item)
        return {};
    const std::string shown =
        Formatter::formatDecimal(orZero(leg.OrderPrice).toDouble(), item->DisplayDecimalPlaces());
    const auto shownPrice = platform::Decimal::fromString(shown);
    if (!shownPrice)
        return {};
    return decimalFromDouble(
        decimalPL(*item, leg.tradingMode, quantity, *shownPrice, orZero(position.OrderPrice)));
}

void PositionArithmetic::CalcPL(Order& position) {
    const auto item = session_.instrumentForCode(position.ItemCode);
    const auto account = session_.accountForId(position.AccountNumber);
    if (const auto pl = floatingPLOfPosition(position, item.get(), account.get())) {
        position.UnrealisedPL = *pl;
        position.UnrealisedPLValued = true;
    } else if (!item || (account && account->tradingStatus == AccountDetails::kStatusEquityHit)) {
        // The server's figure stands: its fixed one, or the listed one of a position whose
        // instrument the login did not carry (nothing to price it at).
        position.UnrealisedPLValued = true;
    }
}

double PositionArithmetic::calculateCurrencyConversionForValue(double value, const Order& position) {
    return convertIntoAccountCurrency(value, position, session_);
}

double marginForSingleLot(const Order& position, const GroupInstruments* settings, const ItemDetails& item) {
    if (!settings)
        return 0;
    // The per-lot figure is worked in doubles, as the margin totals it feeds are.
    double rate = settings->InitialMargin.toDouble();
    if (position.deliveryMode == 3)
        rate = settings->BTSTOrderMargin.toDouble();
    else if (position.deliveryMode == 2)
        rate = settings->IntradayOrderMargin.toDouble();
    else if (position.tradingMode == 1 && settings->InitialSellMargin.isPositive())
        rate = settings->InitialSellMargin.toDouble();
    if (settings->marginCalculationMode != 2)
        return rate;
    double value = rate * item.ContractSize.toDouble() / 100;
    switch (item.MarginFormulaId) {
    case 4:
        if (position.BaseCurrencyRate > 0)
            value /= position.BaseCurrencyRate;
        break;
    case 3:
        value *= position.BaseCurrencyRate;
        break;
    case 1:
        value *= orZero(position.OrderPrice).toDouble();
        break;
    default:
        break;
    }
    return value;
}

namespace {

// What one pass needs of an account, found once.
struct ResolvedAccount {
    std::shared_ptr<const AccountDetails> account;
    std::shared_ptr<const GroupDetails> group;
    std::shared_ptr<const ItemDetails> conversionInstrument;
    bool shown = true;
};

ResolvedAccount resolveAccount(std::string_view number, const SessionLookup& session) {
    ResolvedAccount r;
    r.account = session.accountForId(number);
    if (!r.account)
        return r;
    // The rule of the displayable list: suspended and closed accounts, and access types 4 (view
    // market) and 10 (none), are not shown.
    const std::int32_t status = r.account->tradingStatus;
    const std::int32_t access = r.account->accountAccessType;
    r.shown = status != 3 && status != 6 && access != 4 && access != 10;
    r.group = session.groupForId(r.account->GroupId);
    const auto& currency = r.account->tradeCurrency;
    if (currency && currency->needsConversionQuote())
        r.conversionInstrument = session.instrumentForId(static_cast<std::int64_t>(currency->instrumentID));
    return r;
}

bool isEquityHit(const AccountDetails* account) {
    return account && account->tradingStatus == AccountDetails::kStatusEquityHit;
}

double convertWith(double value, const ResolvedAccount& r) {
    if (!r.account || !r.account->tradeCurrency)
        return value;
    if (!r.conversionInstrument)
        return r.account->tradeCurrency->convert(value, nullptr);
    const ConversionQuote quote{r.conversionInstrument->Bid, r.conversionInstrument->Ask};
    return r.account->tradeCurrency->convert(value, &quote);
}

// Positions lie apart in the heap: fetching the lines a pass reads of the one a few places ahead
// (the record's first lines, where the fields the refresh reads sit) lets their misses overlap with
// the work on this one instead of queueing behind it.
constexpr std::size_t kPrefetchAhead = 8;

void prefetchPosition(const Order* order) {
    if (!order)
        return;
    __builtin_prefetch(&order->AccountNumber);
    __builtin_prefetch(&order->ItemCode);
    __builtin_prefetch(&order->RemainingQty);
}

} // namespace

RefreshTotals refreshOpenPositions(std::span<RecordPtr<Order>> positions, const SessionLookup& session) {
    RefreshTotals totals;
    // Keys view the positions' own AccountNumber texts, which outlive the pass.
    std::unordered_map<std::string_view, ResolvedAccount> accounts;
    std::string_view lastNumber;
    const ResolvedAccount* last = nullptr;
    for (std::size_t n = 0; n < positions.size(); ++n) {
        if (n + kPrefetchAhead < positions.size())
            prefetchPosition(positions[n + kPrefetchAhead].get());
        auto& position = positions[n];
        if (!position)
            continue;
        Order& order = *position;
        if (!last || order.AccountNumber != lastNumber) {
            auto [it, added] = accounts.try_emplace(order.AccountNumber);
            if (added)
                it->second = resolveAccount(order.AccountNumber, session);
            last = &it->second;
            lastNumber = order.AccountNumber;
        }
        if (!last->shown)
            continue;
        // Uncounted: the collection holds the record through the pass.
        const ItemDetails* item = session.instrumentRecordForCode(order.ItemCode);
        if (const auto pl = floatingPLOfPosition(order, item, last->account.get())) {
            order.UnrealisedPL = convertWith(*pl, *last);
            order.UnrealisedPLValued = true;
        } else if (order.EquityHitPL && isEquityHit(last->account.get())) {
            // The server's fixed figure, converted afresh: converting the stored result again each
            // pass would compound the rate.
            order.UnrealisedPL = convertWith(*order.EquityHitPL, *last);
            order.UnrealisedPLValued = true;
        } else if (!item || isEquityHit(last->account.get())) {
            // The server's figure as it sent it stands; without the instrument (not in the login's
            // lists) there is nothing else to value it at, and a position never valued would leave
            // every account's figures blank.
            order.UnrealisedPLValued = true;
        }
        if (std::isfinite(order.UnrealisedPL))
            totals.unrealisedPL += order.UnrealisedPL;
        if (item && last->group) {
            const GroupDetails& group = *last->group;
            totals.margin += positionMargin(order, group.groupInstrument(item->InstrumentId), *item);
        }
        ++totals.positions;
    }
    return totals;
}

double positionMargin(const Order& position, const GroupInstruments* settings, const ItemDetails& item) {
    return marginForSingleLot(position, settings, item) * position.RemainingQty.toDouble();
}

double hedgeMarginOfInstrument(const SessionModel& model, std::string_view code) {
    double sum = 0;
    for (const auto& [key, text] : model.HedgeMarginCollection) {
        if (std::string_view(key).substr(0, key.find('#')) != code)
            continue;
        const double margin = platform::lenientReal(text);
        if (std::isfinite(margin))
            sum += margin;
    }
    return sum;
}

} // namespace tc
