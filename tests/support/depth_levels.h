#pragma once
// Depth levels written as the feed writes them ("price,quantity"), for comparing ladders.
#include "model/market_depth.h"

#include <initializer_list>
#include <ostream>
#include <string_view>
#include <vector>

namespace tc {

inline void PrintTo(const DepthLevel& level, std::ostream* out) {
    *out << level.price.toString() << ',' << (level.quantity ? level.quantity->toString() : "-");
}

namespace testing_support {

inline std::vector<DepthLevel> depthLevels(std::initializer_list<std::string_view> texts) {
    std::vector<DepthLevel> levels;
    for (std::string_view text : texts)
        levels.push_back(DepthLevel::read(text));
    return levels;
}

} // namespace testing_support
} // namespace tc
