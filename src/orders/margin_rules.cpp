#include "orders/margin_rules.h"

#include "model/records/group_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"

#include <algorithm>
#include <cmath>

namespace tc {

void addLotTotals(std::span<const std::shared_ptr<const Order>> positions, std::string_view itemCode,
                  std::string_view accountNumber, std::int32_t deliveryMode, LotTotals& totals) {
    for (const auto& position : positions) {
        if (!position || position->deliveryMode != deliveryMode || position->AccountNumber != accountNumber ||
            position->ItemCode != itemCode)
            continue;
        const double lots = position->RemainingQty.toDouble();
        const double cost = orZero(position->OrderPrice).toDouble() * lots;
        if (position->tradingMode == 0) {
            totals.buyLots += lots;
            totals.buyCost += cost;
        } else {
            totals.sellLots += lots;
            totals.sellCost += cost;
        }
        totals.rateCost += position->BaseCurrencyRate * lots;
    }
}

double getMargin(const GroupInstruments* settings, std::int32_t deliveryMode) {
    if (!settings)
        return 0;
    if (deliveryMode == 2)
        return settings->IntradayOrderMargin.toDouble();
    if (deliveryMode == 3)
        return settings->BTSTOrderMargin.toDouble();
    return settings->InitialMargin.toDouble();
}

double calculateHedgeMargin(double totalBuy, double totalSell, double margin, double marginPercent) {
    const double hedged = std::min(totalBuy, totalSell);
    return std::fabs(std::fabs(totalBuy - totalSell) * margin + (marginPercent / 100) * hedged * margin);
}

double Hedge(const AccountDetails*, double totalBuy, double totalSell, double margin, double marginPercent,
             bool netOnly, bool forceHedge) {
    if (netOnly && !forceHedge)
        return std::fabs(totalBuy - totalSell) * margin;
    return calculateHedgeMargin(totalBuy, totalSell, margin, marginPercent);
}

double calculateMargin(const LotMarginInputs& in) {
    const double B = in.totalBuy;
    const double S = in.totalSell;
    const double T = B + S;
    if (!(T > 0))
        return 0;
    double m = in.marginRequired;
    if (in.overnightMargin > 0 && in.isEod)
        m = in.overnightMargin * in.marginRequired / 100;
    const std::uint64_t formula = in.marginFormulaId == 0 ? 1 : in.marginFormulaId;
    const double averageRate = in.baseCurrencyRate / T; // R ÷ T

    if (in.sellMarginRequired != 0 && in.sellMarginRequired != in.marginRequired) {
        double mb = m;
        double ms = in.sellMarginRequired;
        if (in.marginMode == 2) {
            mb = m * in.contractSize / 100;
            ms = in.sellMarginRequired * in.contractSize / 100;
            if (formula == 4) {
                if (averageRate != 0) {
                    mb /= averageRate;
                    ms /= averageRate;
                }
            } else if (formula == 3) {
                mb *= averageRate;
                ms *= averageRate;
            } else if (formula == 1) {
                if (B > 0)
                    mb *= in.totalOrderCost / B;
                if (S > 0)
                    ms *= in.totalSellOrderCost / S;
            }
        }
        return mb * B + ms * S;
    }

    if (in.marginMode == 2) {
        const double x = in.contractSize * m / 100;
        if (formula == 4)
            m = averageRate != 0 ? x / averageRate : x;
        else if (formula == 3)
            m = averageRate * x;
        else if (formula == 1)
            m = ((in.totalOrderCost + in.totalSellOrderCost) / T) * x;
    }
    if (in.isOneSideMargin)
        return B > S ? m * B : m * S;
    return calculateHedgeMargin(B, S, m, in.liquidationMargin);
}

} // namespace tc
