#include "session/item_details.h"

#include "session/decimal_extension.h"
#include "session/record_decimal.h"

#include <algorithm>
#include <array>
#include <cmath>

using platform::Decimal;
using platform::DecimalRounding;
using platform::RoundingMode;

namespace {

bool isPositiveFinite(double value) {
    return std::isfinite(value) && value > 0;
}

} // namespace

double PriceUpdate::GetSpread(double pointSize) const {
    if (!isPositiveFinite(pointSize))
        return 0;
    // Worked in decimals: in doubles a spread of exactly 5 points of 0.00001 counts as 4.9999...
    const Decimal bid = decimalFromDouble(Bid);
    const Decimal ask = decimalFromDouble(Ask);
    const Decimal point = decimalFromDouble(pointSize);
    const double points = absoluteNumber(ask - bid).divide(point).toDouble();
    if (std::isfinite(points))
        return points;
    return std::fabs(Ask - Bid) / pointSize;
}

double PriceUpdate::dotPositionForDecimals(std::int64_t decimals) {
    const auto d = std::clamp<std::int64_t>(decimals, 0, kMaxDotDecimals);
    double scale = 1;
    for (std::int64_t i = 0; i < d; ++i)
        scale *= 10;
    return scale;
}

void ItemDetails::ApplySpread(PriceUpdate& update) const {
    if (update.ItemCode != Code)
        return;
    if (update.Bid == 0 || update.Ask == 0)
        return;
    if (!isPositiveFinite(priceTick))
        return;
    switch (Spreadtype) {
    case kSpreadFixed:
        ApplyFixedSpread(update, BidSpread, AskSpread);
        break;
    case kSpreadMinimum: {
        // Widened integer sum: two extreme point counts must not overflow.
        const std::int64_t points = std::int64_t{BidSpread} + AskSpread;
        if (static_cast<double>(points) > update.GetSpread(priceTick))
            ApplyFixedSpread(update, BidSpread, AskSpread);
        break;
    }
    case kSpreadTopup:
        ApplyTopupSpread(update, BidSpread, AskSpread);
        break;
    default:
        break;
    }
}

void ItemDetails::ApplyFixedSpread(PriceUpdate& update, double bidPoints, double askPoints) const {
    if (!isPositiveFinite(priceTick))
        return;
    const double mid = DoMidPriceTickCorrection((update.Bid + update.Ask) * 0.5);
    update.Bid = mid - bidPoints * priceTick;
    update.Ask = mid + askPoints * priceTick;
}

void ItemDetails::ApplyTopupSpread(PriceUpdate& update, double bidPoints, double askPoints) const {
    if (!isPositiveFinite(priceTick))
        return;
    update.Bid = update.Bid - bidPoints * priceTick;
    update.Ask = update.Ask + askPoints * priceTick;
}

double ItemDetails::DoMidPriceTickCorrection(double price) const {
    if (!isPositiveFinite(TickSize) || !std::isfinite(price))
        return price;
    const Decimal x = decimalFromDouble(price);
    const Decimal tick = decimalFromDouble(TickSize);
    if (x.isNaN() || tick.isNaN() || tick.isZero())
        return price;
    // Truncating remainder: the quotient is cut toward zero, so r has the sign of x.
    const RoundingMode toZero = x.isNegative() ? RoundingMode::Up : RoundingMode::Down;
    const Decimal quotient = x.divide(tick, DecimalRounding{toZero, 0});
    const Decimal remainder = x - quotient * tick;
    if (quotient.isNaN() || remainder.isNaN())
        return price;
    static const Decimal kHalf = Decimal::fromString("0.5").value();
    const Decimal half = tick * kHalf;
    Decimal corrected = x - remainder;
    if (remainder > half)
        corrected = corrected + tick;
    const double result = corrected.toDouble();
    return std::isfinite(result) ? result : price;
}

std::int32_t ItemDetails::displayDecimalPlaces() const {
    return std::clamp<std::int32_t>(DecimalPlaces, 0, kMaxDecimalPlaces);
}

std::string_view ItemDetails::getInstrumentTradingStatus(std::int32_t status) {
    static constexpr std::array<std::string_view, 5> kNames = {"Unknown", "Active", "CloseOnly", "Expired",
                                                               "Disabled"};
    if (status < 0 || static_cast<std::size_t>(status) >= kNames.size())
        return "";
    return kNames[static_cast<std::size_t>(status)];
}

std::string_view ItemDetails::getUnits(std::uint64_t unitId) {
    static constexpr std::array<std::string_view, 22> kUnits = {
        "MegawattHours", "OneMillionBTU", "Barrels",          "Gallons",
        "MetricTons",    "TonsUS",        "MillionBarrels",   "pounds",
        "TroyOunces",    "USDollars",     "BillionCubicFeet", "Bushels",
        "Allowances",    "Gram",          "Kilogram",         "Quintal",
        "Currency",      "Index",         "Shares",           "MillionBritishThermalUnit",
        "Litre",         "Bale"};
    if (unitId < 1 || unitId > kUnits.size())
        return "";
    return kUnits[unitId - 1];
}
