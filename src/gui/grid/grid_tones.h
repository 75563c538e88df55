#pragma once
// The one place where a grid cell's tone becomes colours and weight, each a role of the program's
// theme table (gui/app/theme_table.h). Every table model and view proxy asks here. A tone that
// colours the cell's ground sets its text colour too, so the text stays readable in both themes.
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_spec.h"

#include <QColor>

#include <cstdint>
#include <optional>

namespace tc::gui {

struct ToneStyle {
    std::optional<QColor> foreground;
    std::optional<QColor> background;
    bool bold = false;
};

// The grid matters: a fall is a brighter red on the quotes board than among the open positions, and
// a loss is the other way round.
ToneStyle toneStyle(Grid grid, Tone tone, std::int64_t theme);

// A session colour of the board's code cell.
QColor calibratedColor(const CalibratedColor& colour);

// The tone of a live price's tick direction.
Tone tickTone(Tick tick);

} // namespace tc::gui
