#include "model/price_grid.h"

#include "model/records/decimal_extension.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"

#include <algorithm>
#include <cmath>

namespace tc {

using platform::Decimal;

Decimal CheckTickPrice(double price, std::int32_t decimalPlaces, double tickSize) {
    if (!(tickSize > 0) || !std::isfinite(tickSize))
        return Decimal();
    const double scale =
        std::pow(10.0, std::clamp<std::int32_t>(decimalPlaces, 0, ItemDetails::kMaxDecimalPlaces));
    const Decimal a = Decimal::fromDouble(price * scale);
    const Decimal b = Decimal::fromDouble(tickSize * scale);
    if (b.isZero())
        return Decimal();
    return moduloFor(a, b);
}

double CalculateContingentPrice(double price, double offset, bool add) {
    if (offset == 0)
        return price;
    return add ? price + offset : price - offset;
}

double doPriceTickCorrection(double tickSize, double price, std::uint32_t, bool add) {
    if (!(tickSize > 0))
        return price;
    const Decimal p = Decimal::fromDouble(price);
    const Decimal tick = Decimal::fromDouble(tickSize);
    const Decimal r = moduloFor(p, tick);
    if (r.isNaN())
        return price;
    const Decimal down = p - r;
    if (!add || r.isZero())
        return down.toDouble();
    return (down + tick).toDouble();
}

double getFluctuationLimitUpPrice(const ItemDetails* item) {
    if (!item)
        return 0;
    if (item->circuitLimitUp > Decimal())
        return item->circuitLimitUp.toDouble();
    if (item->CircuitLimit > Decimal()) {
        // The band is worked in doubles, as the previous close is.
        const double prevClose = item->PrevClose.toDouble();
        const double up = prevClose + (prevClose * item->CircuitLimit.toDouble()) / 100;
        return doPriceTickCorrection(item->TickSize.toDouble(), up,
                                     static_cast<std::uint32_t>(item->DisplayDecimalPlaces()), false);
    }
    return 0;
}

double getFluctuationLimitDownPrice(const ItemDetails* item) {
    if (!item)
        return 0;
    if (item->circuitLimitDown > Decimal())
        return item->circuitLimitDown.toDouble();
    if (item->CircuitLimit > Decimal()) {
        const double prevClose = item->PrevClose.toDouble();
        const double down = prevClose + (prevClose * item->CircuitLimit.toDouble()) / -100;
        return doPriceTickCorrection(item->TickSize.toDouble(), down,
                                     static_cast<std::uint32_t>(item->DisplayDecimalPlaces()), true);
    }
    return 0;
}

bool verifyFluctuationLimit(const ItemDetails* item, double price, double* up, double* down) {
    const double u = getFluctuationLimitUpPrice(item);
    const double d = getFluctuationLimitDownPrice(item);
    if (up)
        *up = u;
    if (down)
        *down = d;
    if (u > 0 && !(price <= u))
        return false;
    if (d > 0 && !(price >= d))
        return false;
    return true;
}

double bracketDefaultPrice(double base, bool buy, bool takeProfit, const ItemDetails* item,
                           const GroupInstruments* settings) {
    double distance = 0;
    if (settings && item)
        distance = (takeProfit ? settings->LimitMinPips : settings->StopMinPips) * item->TickSize.toDouble();
    const bool up = buy == takeProfit;
    return up ? base + distance : base - distance;
}

double steppedPrice(double price, double tickSize, int steps) {
    return std::max(0.0, price + steps * tickSize);
}

} // namespace tc
