#pragma once
// The rows of the order ticket's two market-depth ladders: the first levels of one side of an
// instrument's depth, in the order the feed sent them, neither sorted nor merged. No Qt here.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
class ItemDetails;
class MarketDepthStore;
struct DepthLevel;
} // namespace tc

namespace tc::gui {

inline constexpr std::size_t kLadderLevels = 5;

enum class DepthSide { Buy, Sell };

struct LadderRow {
    std::string price;    // with the instrument's decimal places
    std::string quantity; // the level's quantity as a plain number; empty when it has none
    friend bool operator==(const LadderRow&, const LadderRow&) = default;
};

// The levels the rows show, as the depth holds them: at most kLadderLevels; none when the
// instrument has no depth.
std::span<const DepthLevel> ladderLevels(const MarketDepthStore& depth, std::string_view code,
                                         DepthSide side);
// At most kLadderLevels rows; none when the instrument has no depth.
std::vector<LadderRow> ladderRows(const MarketDepthStore& depth, std::string_view code, DepthSide side,
                                  const ItemDetails* item);

} // namespace tc::gui
