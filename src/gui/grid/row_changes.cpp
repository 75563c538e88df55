#include "gui/grid/row_changes.h"

#include <string_view>
#include <unordered_map>

namespace tc::gui {
namespace {

// Index of each id; nullopt when an id repeats.
std::optional<std::unordered_map<std::string_view, std::size_t>>
indexOf(const std::vector<std::string>& ids) {
    std::unordered_map<std::string_view, std::size_t> index;
    index.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (!index.emplace(ids[i], i).second)
            return std::nullopt;
    return index;
}

} // namespace

std::optional<std::vector<RowChange>> rowChanges(const std::vector<std::string>& before,
                                                 const std::vector<std::string>& after) {
    const auto oldIndex = indexOf(before);
    const auto newIndex = indexOf(after);
    if (!oldIndex || !newIndex)
        return std::nullopt;

    // The rows that stay must keep their order.
    std::size_t lastKept = 0;
    bool anyKept = false;
    for (const std::string& id : after) {
        const auto found = oldIndex->find(id);
        if (found == oldIndex->end())
            continue;
        if (anyKept && found->second < lastKept)
            return std::nullopt;
        lastKept = found->second;
        anyKept = true;
    }

    std::vector<RowChange> changes;
    // Removals bottom up, so the indexes of earlier runs still hold.
    for (std::size_t i = before.size(); i > 0;) {
        if (newIndex->contains(before[i - 1])) {
            --i;
            continue;
        }
        std::size_t end = i;
        while (i > 0 && !newIndex->contains(before[i - 1]))
            --i;
        changes.push_back({RowChange::Kind::Remove, i, end - i});
    }
    // Insertions top down: each lands where it stands in `after`.
    for (std::size_t i = 0; i < after.size();) {
        if (oldIndex->contains(after[i])) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        while (i < after.size() && !oldIndex->contains(after[i]))
            ++i;
        changes.push_back({RowChange::Kind::Insert, first, i - first});
    }
    return changes;
}

} // namespace tc::gui
