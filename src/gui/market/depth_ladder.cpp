#include "gui/market/depth_ladder.h"

#include "gui/market/grid_cells.h"
#include "platform/lenient.h"
#include "session/feed/price_feed.h"

#include <algorithm>

namespace tc::gui {

std::vector<LadderRow> ladderRows(const MarketDepthStore& depth, std::string_view code, DepthSide side,
                                  const ItemDetails* item) {
    const std::vector<std::string>* levels = side == DepthSide::Buy ? depth.buy(code) : depth.sell(code);
    std::vector<LadderRow> rows;
    if (!levels)
        return rows;
    const std::size_t count = std::min(levels->size(), kLadderLevels);
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view level = (*levels)[i];
        const auto comma = level.find(',');
        const std::string_view price = level.substr(0, comma);
        // The quantity is the second ","-separated part, as received.
        std::string_view quantity;
        if (comma != std::string_view::npos) {
            quantity = level.substr(comma + 1);
            quantity = quantity.substr(0, quantity.find(','));
        }
        rows.push_back({priceText(platform::lenientReal(price), item), std::string(quantity)});
    }
    return rows;
}

} // namespace tc::gui
