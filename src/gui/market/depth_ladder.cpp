#include "gui/market/depth_ladder.h"

#include "gui/grid/grid_cells.h"
#include "model/market_depth.h"

#include <algorithm>

namespace tc::gui {

std::vector<LadderRow> ladderRows(const MarketDepthStore& depth, std::string_view code, DepthSide side,
                                  const ItemDetails* item) {
    const std::vector<DepthLevel>* levels = side == DepthSide::Buy ? depth.buy(code) : depth.sell(code);
    std::vector<LadderRow> rows;
    if (!levels)
        return rows;
    const std::size_t count = std::min(levels->size(), kLadderLevels);
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const DepthLevel& level = (*levels)[i];
        rows.push_back(
            {priceText(level.price.toDouble(), item), level.quantity ? level.quantity->toString() : ""});
    }
    return rows;
}

} // namespace tc::gui
