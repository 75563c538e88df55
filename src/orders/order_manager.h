#pragma once
// The order manager: the one service through which the order windows send their requests. This
// part holds its rules: the validation chain an order passes before it may be sent, the price grid
// and band checks, the margin check, the short-sell limit, the pie chart's hedge-margin figure, the
// price hints of the ticket. A check answers with its refusal (OrderAnswer); it keeps nothing between
// calls but the account chosen in the main window; the session comes through its OrderHost.
#include "model/records/order.h"
#include "model/session_model_lookup.h"
#include "orders/margin_rules.h"
#include "orders/order_answer.h"
#include "platform/decimal.h"
#include "platform/ordered_map.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

struct GroupInstruments;
class ItemDetails;
class OrderHost;

class OrderManager {
public:
    explicit OrderManager(OrderHost& host);

    // The records of the host's model as the rules read them.
    const SessionModelLookup& lookup() const { return lookup_; }
    // The AccountId chosen in the main window, which the hedge margin is worked out for.
    std::int32_t currentAccount() const { return currentAccount_; }
    void setCurrentAccount(std::int32_t accountId) { currentAccount_ = accountId; }

    // Whether the chain ends with the margin check of the order on its own, or leaves the margin to
    // its caller, which judges a set of closes together (closesRefusedForMargin).
    enum class MarginCheck : std::uint8_t { OfTheOrder, LeftToCaller };
    // The whole chain; passed when the order may be sent, else the first refusal, carrying the order.
    OrderAnswer Validate(const std::shared_ptr<Order>& order,
                         MarginCheck margin = MarginCheck::OfTheOrder) const;
    // The session, group, quantity, price-grid, distance, band and margin checks of market, limit
    // and stop orders; reached through Validate.
    OrderAnswer VerifyOrder(const std::shared_ptr<Order>& order,
                            MarginCheck margin = MarginCheck::OfTheOrder) const;
    // Pre-check of closing hedged positions; its refusals carry no order.
    OrderAnswer validateOffsetPosition(std::string_view itemCode, std::string_view accountNumber) const;
    static bool isContingentOrder(const Order& order) { return order.orderType == 2 || order.orderType == 3; }
    static bool isOrderAlongWithTPSL(const Order& order) {
        return order.isTakeProfitEnabled || order.isStopLossEnabled;
    }
    // Buying needs bit 1, selling bit 2 of the group's availableOrderSettings ("1106" / "1107").
    OrderAnswer validateOrderSettingsRights(const std::shared_ptr<Order>& order) const;
    static bool hasOrderSettingsRights(const GroupInstruments* settings, std::int32_t mask);

    // Price grid and band.
    static platform::Decimal CheckTickPrice(double price, std::int32_t decimalPlaces, double tickSize);
    static double CalculateContingentPrice(double price, double offset, bool add);
    static double doPriceTickCorrection(double tickSize, double price, std::uint32_t decimalPlaces, bool add);
    static double getFluctuationLimitUpPrice(const ItemDetails* item);
    static double getFluctuationLimitDownPrice(const ItemDetails* item);
    static bool verifyFluctuationLimit(const ItemDetails* item, double price, double* up, double* down);
    // The band test; its refusal is "1202" with both limits.
    OrderAnswer verifyCircuitLimit(const ItemDetails* item, const std::shared_ptr<Order>& order,
                                   double price) const;

    // Price hints: the bound an entry order must respect ("" for order types other than 2 and 3),
    // and the bound of a take-profit or stop-loss price for the protective side. With sign, the
    // bound is prefixed "<= " or ">= ".
    std::string OrderTypeChange(std::int32_t orderType, std::int32_t side, std::string_view itemCode,
                                std::int32_t accountNo, bool withSign) const;
    std::string UpdateTakeProfitAndStopLoss(std::int32_t protectiveSide, std::string_view itemCode,
                                            bool takeProfit, std::int32_t accountNo, std::int32_t orderType,
                                            std::string_view price, bool withSign) const;

    // Margin.
    bool CheckMargin(const Order& order) const;
    // The margin of closing these open positions in one request, judged on what each account holds
    // once the whole set has closed, not close by close as new opposite orders: an account instrument
    // (and delivery mode) whose margin the closes do not raise passes, and so does every close of an
    // account whose equity is above its used margin after the set. What is left, the closes that
    // leave one side of a hedge open alone on an account that cannot carry it, is given back by
    // position id. Closing every position of an account never raises its margin.
    std::vector<std::string>
    closesRefusedForMargin(std::span<const std::shared_ptr<const Order>> closing) const;
    // Positions of the book that check read, one at a time: the cost the tests watch.
    std::size_t positionsRead() const { return positionsRead_; }
    static double getMargin(const GroupInstruments* settings, std::int32_t deliveryMode) {
        return tc::getMargin(settings, deliveryMode);
    }
    static double calculateMargin(const LotMarginInputs& inputs) { return tc::calculateMargin(inputs); }
    static double calculateHedgeMargin(double totalBuy, double totalSell, double margin, double percent) {
        return tc::calculateHedgeMargin(totalBuy, totalSell, margin, percent);
    }
    static double Hedge(const AccountDetails* account, double totalBuy, double totalSell, double margin,
                        double percent, bool netOnly, bool forceHedge) {
        return tc::Hedge(account, totalBuy, totalSell, margin, percent, netOnly, forceHedge);
    }
    // Adds the account's open lots (and costs) in the instrument and delivery mode onto `totals`.
    void getTotalLotsAndCost(std::string_view itemCode, std::string_view accountNumber,
                             std::int32_t deliveryMode, LotTotals& totals) const;
    void getTotalLots(std::string_view itemCode, std::string_view accountNumber, std::int32_t deliveryMode,
                      double* totalBuy, double* totalSell) const;
    // Stores the margin figure of the order's instrument and delivery mode for the account chosen
    // in the main window into HedgeMarginCollection ("%.2f" under "CODE#mode").
    void CalcHedgeMargin(const Order& order) const;
    // The figures CalcHedgeMargin stores, for every instrument and delivery mode the chosen
    // account holds, in one pass over the open positions: what HedgeMarginCollection is to hold.
    platform::OrderedMap<std::string, std::string> hedgeMargins() const;

    // Short selling.
    OrderAnswer verifyShortSellAllowed(const std::shared_ptr<Order>& order) const;
    // Lots of the account still free to sell: long lots less short lots, the account's working
    // sell orders and one protective leg per position. May be negative.
    double getAllowedSellLots(std::string_view itemCode, std::string_view accountNumber,
                              std::int32_t deliveryMode) const;

private:
    mutable std::size_t positionsRead_ = 0;
    struct Context;
    Context contextOf(const Order& order) const;
    OrderAnswer refuse(std::string_view key, const std::shared_ptr<Order>& order) const;
    OrderAnswer refuse(std::string_view key, std::string_view detail,
                       const std::shared_ptr<Order>& order) const;
    OrderAnswer refuseBracketed(std::string_view key, std::string_view detail,
                                const std::shared_ptr<Order>& order) const;
    OrderAnswer checkProtectivePrices(const std::shared_ptr<Order>& order, const Context& c,
                                      double base) const;
    // The margin check's lot-margin operation over these totals at the order's group settings.
    double lotMarginOf(const Context& c, std::int32_t deliveryMode, const LotTotals& totals) const;
    // The hedge rule over these lots at the order's per-lot margin, by the account's hedge mode.
    double hedgeMarginOf(const Order& order, const AccountDetails* account, double totalBuy,
                         double totalSell) const;
    double freeSellLots(std::string_view itemCode, std::string_view accountNumber, std::int32_t deliveryMode,
                        std::string_view editedOrderId, std::string_view editedPositionId) const;

    OrderHost& host_;
    SessionModelLookup lookup_;
    std::int32_t currentAccount_ = 0;
};

} // namespace tc
