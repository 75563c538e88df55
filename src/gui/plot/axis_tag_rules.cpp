#include "gui/plot/axis_tag_rules.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

namespace tc::gui {

std::vector<double> spreadTags(const std::vector<AxisTag>& tags, double top, double bottom) {
    std::vector<std::size_t> order(tags.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return tags[a].centre < tags[b].centre; });

    // Tags that touch stand stacked as one group, placed where its members' wishes average out.
    struct Group {
        std::size_t count = 0;
        double height = 0;
        double wanted = 0; // the sum of each member's wanted top less its offset in the group
        double at = 0;
    };
    const auto place = [&](Group& g) {
        g.at = std::clamp(g.wanted / static_cast<double>(g.count), top, std::max(top, bottom - g.height));
    };
    std::vector<Group> groups;
    for (const std::size_t i : order) {
        Group g{1, tags[i].height, tags[i].centre - tags[i].height / 2, 0};
        place(g);
        while (!groups.empty() && groups.back().at + groups.back().height > g.at) {
            const Group before = groups.back();
            groups.pop_back();
            g.wanted = before.wanted + g.wanted - static_cast<double>(g.count) * before.height;
            g.count += before.count;
            g.height += before.height;
            place(g);
        }
        groups.push_back(g);
    }

    std::vector<double> tops(tags.size());
    std::size_t next = 0;
    for (const Group& g : groups) {
        double at = g.at;
        for (std::size_t k = 0; k < g.count; ++k, ++next) {
            tops[order[next]] = at;
            at += tags[order[next]].height;
        }
    }
    return tops;
}

} // namespace tc::gui
