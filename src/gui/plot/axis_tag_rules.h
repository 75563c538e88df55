#pragma once
// Price tags on one axis never cover each other: each stands centred on its price where it can;
// tags that would overlap are pushed apart just enough, as a group about their prices, and kept
// within the axis. No Qt here.
#include <vector>

namespace tc::gui {

struct AxisTag {
    double centre = 0; // where the tag's middle wants to be, down the axis
    double height = 0;
};

// The tops of the tags, in the order given: no two overlap, and all lie within [top, bottom] when
// their heights fit there (otherwise they run on past the bottom, still apart).
std::vector<double> spreadTags(const std::vector<AxisTag>& tags, double top, double bottom);

} // namespace tc::gui
