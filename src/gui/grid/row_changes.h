#pragma once
// How a table's rows, one record id each, went from one refresh to the next: the removals and
// insertions a table model signals, so the rows that stayed keep their selection and scroll place.
// No Qt here.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tc::gui {

struct RowChange {
    enum class Kind { Remove, Insert };
    Kind kind;
    std::size_t first; // the row index at the moment the change is applied
    std::size_t count;
    friend bool operator==(const RowChange&, const RowChange&) = default;
};

// Removals from the last row up, then insertions from the first row down; applied in order they
// turn `before` (a grid's rows: each id once) into `after`. nullopt when the rows that stayed changed
// their order, or an id appears twice: the model then signals a layout change instead. The rows both
// lists share at their head and tail are compared, not indexed, so a change of a few rows of many
// costs a walk along them.
// The ids are seen where they are kept, not copied.
std::optional<std::vector<RowChange>> rowChanges(const std::vector<std::string_view>& before,
                                                 const std::vector<std::string_view>& after);

} // namespace tc::gui
