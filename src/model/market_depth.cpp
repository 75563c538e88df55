#include "model/market_depth.h"

#include "platform/log.h"

namespace tc {

DepthLevel DepthLevel::read(std::string_view text) {
    const auto comma = text.find(',');
    DepthLevel level;
    level.price = platform::leadingDecimal(text.substr(0, comma)).value_or(platform::Decimal());
    if (comma != std::string_view::npos) {
        std::string_view quantity = text.substr(comma + 1);
        quantity = quantity.substr(0, quantity.find(','));
        level.quantity = platform::leadingDecimal(quantity);
    }
    return level;
}

bool MarketDepthStore::store(MarketDepthLadder ladder) {
    return exchange(ladder);
}

bool MarketDepthStore::exchange(MarketDepthLadder& ladder) {
    auto buyIt = buyMarketDepthDataCollection.find(ladder.Code);
    if (buyIt == buyMarketDepthDataCollection.end()) {
        if (buyMarketDepthDataCollection.size() >= maxCodes_) {
            platform::Log::warning("Market depth for {} refused: {} instruments kept already", ladder.Code,
                                   maxCodes_);
            return false;
        }
        buyIt = buyMarketDepthDataCollection.emplace(ladder.Code, std::vector<DepthLevel>{}).first;
    }
    buyIt->second.swap(ladder.Buy);
    sellMarketDepthDataCollection[ladder.Code].swap(ladder.Sell);
    return true;
}

const std::vector<DepthLevel>* MarketDepthStore::buy(std::string_view code) const {
    const auto it = buyMarketDepthDataCollection.find(code);
    return it == buyMarketDepthDataCollection.end() ? nullptr : &it->second;
}

const std::vector<DepthLevel>* MarketDepthStore::sell(std::string_view code) const {
    const auto it = sellMarketDepthDataCollection.find(code);
    return it == sellMarketDepthDataCollection.end() ? nullptr : &it->second;
}

} // namespace tc
