#include "gui/grid/row_changes.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tc::gui {
namespace {

// Index of each id of ids[first, last), by its place in the whole list; nullopt when an id repeats.
std::optional<std::unordered_map<std::string_view, std::size_t>>
indexOf(const std::vector<std::string_view>& ids, std::size_t first, std::size_t last) {
    std::unordered_map<std::string_view, std::size_t> index;
    index.reserve(last - first);
    for (std::size_t i = first; i < last; ++i)
        if (!index.emplace(ids[i], i).second)
            return std::nullopt;
    return index;
}

// Whether any of `ids` (those of the changed middle that come or go) is also one of the rows the two
// lists share at their head and tail: an id listed twice.
bool repeatsAnEnd(const std::vector<std::string_view>& ids, const std::vector<std::string_view>& list,
                  std::size_t head, std::size_t tail) {
    if (ids.empty() || head + tail == 0)
        return false;
    const auto inEnds = [&](auto&& contains) {
        for (std::string_view id : ids)
            if (contains(id))
                return true;
        return false;
    };
    // A few ids are looked for along the ends; many are looked up in an index of them.
    if (ids.size() <= 16)
        return inEnds([&](std::string_view id) {
            for (std::size_t i = 0; i < head; ++i)
                if (list[i] == id)
                    return true;
            for (std::size_t i = list.size() - tail; i < list.size(); ++i)
                if (list[i] == id)
                    return true;
            return false;
        });
    std::unordered_set<std::string_view> ends;
    ends.reserve(head + tail);
    for (std::size_t i = 0; i < head; ++i)
        ends.insert(list[i]);
    for (std::size_t i = list.size() - tail; i < list.size(); ++i)
        ends.insert(list[i]);
    return inEnds([&](std::string_view id) { return ends.contains(id); });
}

} // namespace

std::optional<std::vector<RowChange>> rowChanges(const std::vector<std::string_view>& before,
                                                 const std::vector<std::string_view>& after) {
    // Most refreshes add, drop or rewrite a few rows of many: the rows both lists share at their head
    // and tail stay as they are and are not indexed.
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    std::size_t tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const std::size_t beforeEnd = before.size() - tail;
    const std::size_t afterEnd = after.size() - tail;
    const auto oldIndex = indexOf(before, head, beforeEnd);
    const auto newIndex = indexOf(after, head, afterEnd);
    if (!oldIndex || !newIndex)
        return std::nullopt;

    // The rows that stay must keep their order.
    std::size_t lastKept = 0;
    bool anyKept = false;
    std::vector<std::string_view> inserted;
    for (std::size_t i = head; i < afterEnd; ++i) {
        const auto found = oldIndex->find(after[i]);
        if (found == oldIndex->end()) {
            inserted.push_back(after[i]);
            continue;
        }
        if (anyKept && found->second < lastKept)
            return std::nullopt;
        lastKept = found->second;
        anyKept = true;
    }
    std::vector<std::string_view> removed;
    for (std::size_t i = head; i < beforeEnd; ++i)
        if (!newIndex->contains(before[i]))
            removed.push_back(before[i]);
    if (repeatsAnEnd(removed, before, head, tail) || repeatsAnEnd(inserted, after, head, tail))
        return std::nullopt;

    std::vector<RowChange> changes;
    // Removals bottom up, so the indexes of earlier runs still hold.
    for (std::size_t i = beforeEnd; i > head;) {
        if (newIndex->contains(before[i - 1])) {
            --i;
            continue;
        }
        std::size_t end = i;
        while (i > head && !newIndex->contains(before[i - 1]))
            --i;
        changes.push_back({RowChange::Kind::Remove, i, end - i});
    }
    // Insertions top down: each lands where it stands in `after`.
    for (std::size_t i = head; i < afterEnd;) {
        if (oldIndex->contains(after[i])) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        while (i < afterEnd && !oldIndex->contains(after[i]))
            ++i;
        changes.push_back({RowChange::Kind::Insert, first, i - first});
    }
    return changes;
}

} // namespace tc::gui
