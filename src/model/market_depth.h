#pragma once
// The market depth the feed delivered: per instrument code, the buy and the sell levels of its last
// depth text, read into numbers and kept in the order received (neither sorted nor merged).
#include "platform/decimal.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

// One level of a depth side, read from its "price,quantity" text.
struct DepthLevel {
    // The leading number of the price part; 0 when it does not begin with one.
    platform::Decimal price;
    // The leading number of the second part; nullopt when the level has none or it does not begin
    // with a number.
    std::optional<platform::Decimal> quantity;

    // Reads one level; further ","-separated parts are ignored.
    static DepthLevel read(std::string_view text);
    friend bool operator==(const DepthLevel&, const DepthLevel&) = default;
};

// The depth of one instrument, as one depth text carries it.
struct MarketDepthLadder {
    std::string Code;
    std::vector<DepthLevel> Buy;
    std::vector<DepthLevel> Sell;
};

// Instruments whose depth the store keeps.
inline constexpr std::size_t kMaxDepthCodes = 10'000;

// The buy and sell ladders per instrument code; each depth text replaces both sides of its code.
class MarketDepthStore {
public:
    explicit MarketDepthStore(std::size_t maxCodes = kMaxDepthCodes) : maxCodes_(maxCodes) {}

    // False (logged) for a new code past the cap; the store is then unchanged.
    bool store(MarketDepthLadder ladder);
    // The same, leaving the levels the ladder replaced in it (none for a new code), so that the
    // thread that made the ladder can free them with it; false and untouched past the cap.
    bool exchange(MarketDepthLadder& ladder);
    // nullptr for a code without depth.
    const std::vector<DepthLevel>* buy(std::string_view code) const;
    const std::vector<DepthLevel>* sell(std::string_view code) const;
    std::size_t size() const { return buyMarketDepthDataCollection.size(); }

private:
    std::size_t maxCodes_;
    std::map<std::string, std::vector<DepthLevel>, std::less<>> buyMarketDepthDataCollection;
    std::map<std::string, std::vector<DepthLevel>, std::less<>> sellMarketDepthDataCollection;
};

} // namespace tc
