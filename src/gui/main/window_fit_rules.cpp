#include "gui/main/window_fit_rules.h"

namespace tc::gui {

std::vector<int> toolbarRows(const std::vector<int>& groupWidths, int separator, int room) {
    std::vector<int> rows;
    rows.reserve(groupWidths.size());
    int row = 0;
    int used = 0;
    for (const int width : groupWidths) {
        if (used > 0 && used + separator + width > room) {
            ++row;
            used = 0;
        }
        used += (used > 0 ? separator : 0) + width;
        rows.push_back(row);
    }
    return rows;
}

} // namespace tc::gui
