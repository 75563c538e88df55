#pragma once
// The layout, text and tab checks over the screen registry in one walk: each screen is built once per
// language and font size and handed to every check asked for, as building the screens, not reading
// them, takes a check's time.
//   tradegui_screens --check-layout --check-texts --check-tabs [--languages ...] [--font-size N,...]
#include <QTextStream>

namespace tc::gui {

class GuiContext;
class QtShell;
class ScreenRegistry;
struct ScreenWalk;

struct ScreenChecks {
    bool layout = false; // lays each screen out at its first-run and its smallest size
    bool texts = false;  // holds each language's texts against the English ones
    bool tabs = false;   // walks each screen's tab chain
};

// The layout and the tab check read each screen in every language of the walk; the text check builds
// each screen in English first (a language of the walk or not) and holds the others against it. The
// text and the tab check read the first font size only; the layout check every size, where after
// the first only the screens showing the board or a grid are built again (ScreenWalk::fontSizes).
// Reports on `log` and returns the number of faults of all the checks.
int checkScreens(GuiContext& context, QtShell& shell, const ScreenRegistry& registry, ScreenWalk walk,
                 ScreenChecks checks, QTextStream& log);

} // namespace tc::gui
