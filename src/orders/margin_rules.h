#pragma once
// Margin arithmetic of the order rules: the per-lot rate of a new order, the margin of a set of
// buy and sell lots under a group's margin mode and an instrument's margin formula, the hedge rule
// for opposite lots, and the lot and cost totals of an account's open positions. All doubles.
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace tc {

class AccountDetails;
struct GroupInstruments;
class Order;

// Totals of an account's open positions in one instrument and delivery mode.
struct LotTotals {
    double buyLots = 0;  // B
    double sellLots = 0; // S
    double buyCost = 0;  // Cb: sum of OrderPrice × RemainingQty of the buys
    double sellCost = 0; // Cs
    double rateCost = 0; // R: sum of BaseCurrencyRate × RemainingQty of all
};

// Adds the matching positions (AccountNumber and ItemCode equal, same deliveryMode) onto `totals`.
void addLotTotals(std::span<const std::shared_ptr<const Order>> positions, std::string_view itemCode,
                  std::string_view accountNumber, std::int32_t deliveryMode, LotTotals& totals);

// Per-lot rate of a new order: 0 without settings; intraday (2) and BTST (3) rates; else initial.
double getMargin(const GroupInstruments* settings, std::int32_t deliveryMode);

// Net lots at the full rate plus the hedged lots at `percent` of it, as a magnitude.
double calculateHedgeMargin(double totalBuy, double totalSell, double margin, double marginPercent);

// Net lots only (|B - S| × rate) when `netOnly` and not `forceHedge`; the hedge rule otherwise.
// The account does not change the result.
double Hedge(const AccountDetails* account, double totalBuy, double totalSell, double margin,
             double marginPercent, bool netOnly, bool forceHedge);

// The inputs of the lot-margin operation.
struct LotMarginInputs {
    double totalBuy = 0;         // B
    double totalSell = 0;        // S
    double marginRequired = 0;   // m, the buy (or common) rate
    std::int32_t marginMode = 0; // 2: rates are percent of the contract
    double overnightMargin = 0;  // percent applied at end of day
    double contractSize = 0;
    double totalOrderCost = 0; // Cb
    bool isEod = false;
    double liquidationMargin = 0;  // percent charged on hedged lots
    double totalSellOrderCost = 0; // Cs
    double sellMarginRequired = 0; // separate sell rate, 0 for none
    bool isOneSideMargin = false;
    std::uint64_t marginFormulaId = 0; // 0 counts as 1
    double baseCurrencyRate = 0;       // R
};

// Margin of a set of lots. A rate total R of 0 under formula 4 leaves out the division by R ÷ T,
// and an average that cannot be formed (no lots on that side) leaves the rate as it is.
double calculateMargin(const LotMarginInputs& in);

} // namespace tc
