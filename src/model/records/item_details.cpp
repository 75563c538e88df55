#include "model/records/item_details.h"

#include "model/records/decimal_extension.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/records/record_layout.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tc {

using platform::CompactDecimal;
using platform::Decimal;
using platform::DecimalRounding;
using platform::RoundingMode;

namespace {

// Above 0, so not NaN either.
bool isPositive(const Decimal& value) {
    return value > Decimal();
}

} // namespace

double PriceUpdate::GetSpread(const Decimal& pointSize) const {
    if (!isPositive(pointSize))
        return 0;
    // Worked in decimals: in doubles a spread of exactly 5 points of 0.00001 counts as 4.9999...
    const Decimal bid = Bid;
    const Decimal ask = Ask;
    const double points = absoluteNumber(ask - bid).divide(pointSize).toDouble();
    if (std::isfinite(points))
        return points;
    return std::fabs(Ask.toDouble() - Bid.toDouble()) / pointSize.toDouble();
}

std::int32_t PriceUpdate::DotPositionForDecimals(std::int64_t decimals) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(decimals, 0, kMaxDotDecimals));
}

void ItemDetails::ApplySpread(PriceUpdate& update) const {
    if (update.ItemCode != Code)
        return;
    if (update.Bid.isZero() || update.Ask.isZero())
        return;
    if (!priceTick.isPositive())
        return;
    switch (SpreadType) {
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

// Worked in exact decimals: the spread puts the prices on whole points of the tick.
void ItemDetails::ApplyFixedSpread(PriceUpdate& update, std::int64_t bidPoints,
                                   std::int64_t askPoints) const {
    if (!priceTick.isPositive())
        return;
    const Decimal tick = priceTick;
    static const Decimal kHalf = Decimal::fromString("0.5").value();
    const Decimal mid = DoMidPriceTickCorrection((Decimal(update.Bid) + Decimal(update.Ask)) * kHalf);
    update.Bid = RecordFields::compactOf(mid - Decimal::fromInt64(bidPoints) * tick);
    update.Ask = RecordFields::compactOf(mid + Decimal::fromInt64(askPoints) * tick);
}

void ItemDetails::ApplyTopupSpread(PriceUpdate& update, std::int64_t bidPoints,
                                   std::int64_t askPoints) const {
    if (!priceTick.isPositive())
        return;
    const Decimal tick = priceTick;
    update.Bid = RecordFields::compactOf(Decimal(update.Bid) - Decimal::fromInt64(bidPoints) * tick);
    update.Ask = RecordFields::compactOf(Decimal(update.Ask) + Decimal::fromInt64(askPoints) * tick);
}

Decimal ItemDetails::DoMidPriceTickCorrection(const Decimal& price) const {
    if (!TickSize.isPositive() || price.isNaN())
        return price;
    const Decimal& x = price;
    const Decimal tick = TickSize;
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
    return corrected.isNaN() ? price : corrected;
}

std::int32_t ItemDetails::DisplayDecimalPlaces() const {
    return std::clamp<std::int32_t>(DecimalPlaces, 0, kMaxDecimalPlaces);
}

void ItemDetails::SettleTickSizes() {
    if (!TickSize.isPositive())
        TickSize =
            DecimalPlaces > 0 ? CompactDecimal::fromUnits(1, -DisplayDecimalPlaces()) : CompactDecimal();
    if (!priceTick.isPositive())
        priceTick = TickSize;
}

namespace {

using namespace records;

constexpr auto loadTradingStatus = [](ItemDetails& item, std::int32_t status) {
    item.TradingStatusId = status;
    item.instrumentTradingStatus = status >= 1 && status <= 4 ? status : 0;
};

// Positions 34 to 36 and 49 on only say that no quote has been applied yet, which a new record
// already says.
constexpr auto kItemLayout = recordLayout(
    int32(0, &ItemDetails::InstrumentId), text(1, &ItemDetails::Name), text(2, &ItemDetails::Code),
    int32(3, &ItemDetails::CurrencyID), flag(4, &ItemDetails::Enabled),
    int32(5, &ItemDetails::InstrumentTypeId), decimal(6, &ItemDetails::TickSize),
    decimal(7, &ItemDetails::Point), int32(8, &ItemDetails::DecimalPlaces), text(9, &ItemDetails::MonthCode),
    decimal(10, &ItemDetails::ContractSize), int32(11, &ItemDetails::UnitId), int32(12, loadTradingStatus),
    flag(13, &ItemDetails::IsAvailableForWatchlist), int32(14, &ItemDetails::UnderlyingInstrumentId),
    real(15, &ItemDetails::MaxUpdateFrequency), int32(16, &ItemDetails::CutOffLimitPercentCP),
    time(17, &ItemDetails::FND), time(18, &ItemDetails::LTD), decimal(19, &ItemDetails::CircuitLimit),
    int32(20, &ItemDetails::PLCalcModeId), decimal(21, &ItemDetails::Bid), decimal(22, &ItemDetails::Ask),
    decimal(23, &ItemDetails::Last), decimal(24, &ItemDetails::High), decimal(25, &ItemDetails::Low),
    decimal(26, &ItemDetails::DayOpen), decimal(27, &ItemDetails::PrevClose),
    time(28, &ItemDetails::UpdateTime), int32(29, &ItemDetails::CurrentTradeSessionSettingId),
    int32(30, &ItemDetails::HedgeModeId), int32(31, &ItemDetails::MaxHoldingDays),
    int32(32, &ItemDetails::HighlightColor), int32(33, &ItemDetails::availableOrderTypes),
    flag(37, &ItemDetails::isAvailableForTrading), int32(38, &ItemDetails::availableOrderSettings),
    int64(41, &ItemDetails::mostSignificantDigitLength), int64(42, &ItemDetails::leastSignificantDigitLength),
    decimal(43, &ItemDetails::priceTick), decimal(44, &ItemDetails::circuitLimitUp),
    decimal(45, &ItemDetails::circuitLimitDown), int64(46, &ItemDetails::orderSettings2),
    int64(47, &ItemDetails::BaseCurrencyId), int64(48, &ItemDetails::MarginFormulaId));

constexpr auto kItemColumns = recordLayout(
    decimal("Ask", &ItemDetails::Ask), decimal("Bid", &ItemDetails::Bid),
    decimal("CircuitLimit", &ItemDetails::CircuitLimit), text("Code", &ItemDetails::Code),
    decimal("ContractSize", &ItemDetails::ContractSize), int32("CurrencyID", &ItemDetails::CurrencyID),
    int32("CutOffLimitPercentCP", &ItemDetails::CutOffLimitPercentCP),
    decimal("DayOpen", &ItemDetails::DayOpen), int32("DecimalPlaces", &ItemDetails::DecimalPlaces),
    flag("Enabled", &ItemDetails::Enabled), zonedTime("FND", &ItemDetails::FND),
    decimal("High", &ItemDetails::High), decimal("Low", &ItemDetails::Low),
    decimal("Last", &ItemDetails::Last), int32("InstrumentId", &ItemDetails::InstrumentId),
    int32("InstrumentTypeId", &ItemDetails::InstrumentTypeId),
    flag("IsAvailableForWatchList", &ItemDetails::IsAvailableForWatchlist),
    zonedTime("LTD", &ItemDetails::LTD), real("MaxUpdateFrequency", &ItemDetails::MaxUpdateFrequency),
    text("MonthCode", &ItemDetails::MonthCode), text("Name", &ItemDetails::Name),
    int32("PLCalcModeId", &ItemDetails::PLCalcModeId), decimal("Point", &ItemDetails::Point),
    decimal("PrevClose", &ItemDetails::PrevClose), decimal("TickSize", &ItemDetails::TickSize),
    int32("TradingStatusId", loadTradingStatus),
    int32("UnderlyingInstrumentId", &ItemDetails::UnderlyingInstrumentId),
    int32("UnitId", &ItemDetails::UnitId), zonedTime("UpdateTime", &ItemDetails::UpdateTime),
    int32("CurrentTradeSessionSettingId", &ItemDetails::CurrentTradeSessionSettingId),
    int32("AvailableOrderTypes", &ItemDetails::availableOrderTypes),
    int32("HedgeModeId", &ItemDetails::HedgeModeId), int32("MaxHoldingDays", &ItemDetails::MaxHoldingDays),
    int32("HighlightColor", &ItemDetails::HighlightColor),
    flag("isAvailableForTrading", &ItemDetails::isAvailableForTrading),
    int32("availableOrderSettings", &ItemDetails::availableOrderSettings),
    int64("mostSignificantDigitLength", &ItemDetails::mostSignificantDigitLength),
    int64("leastSignificantDigitLength", &ItemDetails::leastSignificantDigitLength),
    decimal("priceTick", &ItemDetails::priceTick), decimal("circuitLimitUp", &ItemDetails::circuitLimitUp),
    decimal("circuitLimitDown", &ItemDetails::circuitLimitDown),
    int64("orderSettings2", &ItemDetails::orderSettings2),
    int64("BaseCurrencyId", &ItemDetails::BaseCurrencyId),
    int64("MarginFormulaId", &ItemDetails::MarginFormulaId));

} // namespace

ItemDetails ItemDetails::fromAmpRecord(const RecordFields& f) {
    ItemDetails item;
    readRecord(f, kItemLayout, item);
    // Every record gets a grid, short ones too: an instrument without one cannot carry a spread.
    item.SettleTickSizes();
    return item;
}

void ItemDetails::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kItemColumns, *this);
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
