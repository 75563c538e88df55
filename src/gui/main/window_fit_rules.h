#pragma once
// How the main window's parts share the width of a small screen. Free of Qt.
#include <vector>

namespace tc::gui {

// The toolbar row each group of commands (the runs between separators) takes in `room` px: the groups
// keep their order, filling a row while they fit and starting the next row with the first that does
// not; a group wider than the room stands alone on its row. `separator` is the room a separator takes
// between two groups of one row.
std::vector<int> toolbarRows(const std::vector<int>& groupWidths, int separator, int room);

} // namespace tc::gui
