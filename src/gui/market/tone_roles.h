#pragma once
// The theme roles a grid cell of each tone is drawn with: its text, and the ground behind it where
// the tone colours the cell itself (tick directions, a frozen price); a tone without a ground stands
// on the table's own rows.
#include "gui/app/theme_table.h"
#include "gui/market/grid_cells.h"

#include <optional>

namespace tc::gui {

struct ToneRoles {
    std::optional<ThemeRole> text; // none: the table's own text colour
    std::optional<ThemeRole> ground;
    bool bold = false;
};

ToneRoles toneRoles(Tone tone);

} // namespace tc::gui
