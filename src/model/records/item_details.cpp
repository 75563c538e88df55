#include "model/records/item_details.h"

#include "model/records/decimal_extension.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tc {

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

void ItemDetails::settleTickSizes() {
    // Exact powers, so 5 decimals give the same double as the literal 0.00001.
    static constexpr std::array<double, kMaxDecimalPlaces + 1> kGrid = {1,    1e-1, 1e-2, 1e-3, 1e-4, 1e-5,
                                                                        1e-6, 1e-7, 1e-8, 1e-9, 1e-10};
    if (!isPositiveFinite(TickSize))
        TickSize = DecimalPlaces > 0 ? kGrid[static_cast<std::size_t>(displayDecimalPlaces())] : 0.0;
    if (!isPositiveFinite(priceTick))
        priceTick = TickSize;
}

ItemDetails ItemDetails::fromAmpRecord(const RecordFields& f, const DateRewrite& rewriteDate) {
    ItemDetails item;
    auto date = [&](std::size_t pos, std::string& out) {
        if (f.has(pos))
            out = rewriteDate ? rewriteDate(f.text(pos)) : std::string(f.text(pos));
    };
    f.readInt(0, item.InstrumentId);
    f.readText(1, item.Name);
    f.readText(2, item.Code);
    f.readInt(3, item.CurrencyID);
    f.readBool(4, item.Enabled);
    f.readInt(5, item.InstrumentTypeId);
    f.readDouble(6, item.TickSize);
    f.readDouble(7, item.Point);
    f.readInt(8, item.DecimalPlaces);
    f.readText(9, item.MonthCode);
    f.readDouble(10, item.ContractSize);
    f.readInt(11, item.UnitId);
    if (f.readInt(12, item.TradingStatusId))
        item.instrumentTradingStatus =
            item.TradingStatusId >= 1 && item.TradingStatusId <= 4 ? item.TradingStatusId : 0;
    f.readBool(13, item.IsAvailableForWatchlist);
    f.readInt(14, item.UnderlyingInstrumentId);
    f.readDouble(15, item.MaxUpdateFrequency);
    f.readInt(16, item.CutOffLimitPercentCP);
    date(17, item.FND);
    date(18, item.LTD);
    f.readDouble(19, item.CircuitLimit);
    f.readInt(20, item.PLCalcModeId);
    f.readDouble(21, item.Bid);
    f.readDouble(22, item.Ask);
    f.readDouble(23, item.Last);
    f.readDouble(24, item.High);
    f.readDouble(25, item.Low);
    f.readDouble(26, item.DayOpen);
    f.readDouble(27, item.PrevClose);
    date(28, item.UpdateTime);
    f.readInt(29, item.CurrentTradeSessionSettingId);
    f.readInt(30, item.HedgeModeId);
    f.readInt(31, item.MaxHoldingDays);
    f.readInt(32, item.HighlightColor);
    f.readInt(33, item.availableOrderTypes);
    // Positions 34 to 36 and 49 on only say that no quote has been applied yet, which a new
    // record already says.
    f.readBool(37, item.isAvailableForTrading);
    f.readInt(38, item.availableOrderSettings);
    f.readInt64(41, item.mostSignificantDigitLength);
    f.readInt64(42, item.leastSignificantDigitLength);
    f.readDouble(43, item.priceTick);
    f.readDouble(44, item.circuitLimitUp);
    f.readDouble(45, item.circuitLimitDown);
    f.readInt64(46, item.orderSettings2);
    f.readInt64(47, item.BaseCurrencyId);
    f.readInt64(48, item.MarginFormulaId);
    // Every record gets a grid, short ones too: an instrument without one cannot carry a spread.
    item.settleTickSizes();
    return item;
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

} // namespace tc
