#include "gui/market/depth_ladder.h"

#include "gui/grid/grid_cells.h"
#include "model/market_depth.h"

#include <algorithm>

namespace tc::gui {

std::span<const DepthLevel> ladderLevels(const MarketDepthStore& depth, std::string_view code,
                                         DepthSide side) {
    const std::vector<DepthLevel>* levels = side == DepthSide::Buy ? depth.buy(code) : depth.sell(code);
    if (!levels)
        return {};
    return std::span<const DepthLevel>(*levels).first(std::min(levels->size(), kLadderLevels));
}

std::vector<LadderRow> ladderRows(const MarketDepthStore& depth, std::string_view code, DepthSide side,
                                  const ItemDetails* item) {
    const std::span<const DepthLevel> levels = ladderLevels(depth, code, side);
    std::vector<LadderRow> rows;
    rows.reserve(levels.size());
    for (const DepthLevel& level : levels)
        rows.push_back(
            {priceText(level.price.toDouble(), item), level.quantity ? level.quantity->toString() : ""});
    return rows;
}

} // namespace tc::gui
