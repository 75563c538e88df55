#include "model/position_quantities.h"

#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"

namespace tc {

using platform::Decimal;

Decimal closingQuantity(const Order& position, const OrderView& pendingOrders) {
    Decimal lots;
    if (position.OpenPositionId.empty())
        return lots;
    for (const auto& order : pendingOrders)
        if (order && order->LiquidateOrderNumber == position.OpenPositionId)
            lots = lots + order->OrderQty;
    return lots;
}

Decimal closableQuantity(const Order& position, const OrderView& pendingOrders) {
    const Decimal left = position.RemainingQty - closingQuantity(position, pendingOrders);
    return left.isNaN() || left.isNegative() ? Decimal() : left;
}

std::optional<QuantityBreach> quantityBreach(const Decimal& quantity, const GroupInstruments& settings,
                                             bool closesRemainder) {
    using Rule = QuantityBreach::Rule;
    const Decimal maximum = settings.MaxOrderQty.toDecimal();
    if (quantity.isNaN() || quantity > maximum)
        return QuantityBreach{Rule::AboveMaximum, maximum};
    if (closesRemainder)
        return std::nullopt;
    const Decimal minimum = settings.MinOrderQty.toDecimal();
    if (quantity < minimum)
        return QuantityBreach{Rule::BelowMinimum, minimum};
    const Decimal step = settings.OrderQtyStep.toDecimal();
    if (step > Decimal()) {
        const Decimal steps =
            quantity.divide(step, platform::DecimalRounding{platform::RoundingMode::Down, 0});
        if (!(quantity - step * steps).isZero())
            return QuantityBreach{Rule::OffStep, step};
    }
    return std::nullopt;
}

double contractValue(double quantity, double contractSize) {
    return contractSize * quantity;
}

double deliveryTotalCost(const Order& position, const ItemDetails* item) {
    const double contractSize = item ? item->ContractSize.toDouble() : 0;
    return position.OrderQty.toDouble() * contractSize * orZero(position.OrderPrice).toDouble();
}

std::optional<Decimal> deliveryMargin(const Order& position, const GroupInstruments* settings,
                                      const ItemDetails* item) {
    if (!item)
        return std::nullopt;
    const auto perLot = position.GetMarginForSingleLot(settings, *item);
    if (!perLot)
        return std::nullopt;
    const Decimal total = perLot->multiply(decimalFromDouble(position.OrderQty.toDouble()),
                                           platform::DecimalRounding{platform::RoundingMode::Plain, 0});
    if (total.isNaN())
        return std::nullopt;
    return total;
}

OffsetTotals offsetTotals(const Decimal& positionQuantity, std::span<const Decimal> taken) {
    OffsetTotals totals;
    for (const Decimal& quantity : taken)
        totals.offset = totals.offset + quantity;
    totals.remaining = positionQuantity - totals.offset;
    return totals;
}

std::vector<Decimal> offsetQuantitySteps(const Decimal& total, const Decimal& step, std::size_t cap) {
    std::vector<Decimal> steps{Decimal()};
    // Arithmetic steps with a cap: a tiny step on a large position gives its first entries, then the total.
    if (!step.isZero() && !step.isNaN())
        for (Decimal value = step; value < total && steps.size() + 1 < cap; value = value + step)
            steps.push_back(value);
    if (steps.back() < total)
        steps.push_back(total);
    return steps;
}

} // namespace tc
