#pragma once
// The layout check over the screen registry: every screen is built, then laid out (not painted) at
// the size it first opens with and at the smallest size the program lets it take, in each language
// asked for; every text that does not fit, every overlap and every control cut by its pane is a
// fault, unless the allow-list (screen_layouts.cpp) names it with the reason.
//   tradegui_screens --check-layout [--languages en,ar] [SCREEN...]
#include "gui/screens/layout_check.h"

#include <QStringList>

#include <cstdint>
#include <vector>

class QTextStream;

namespace tc::gui {

class GuiContext;
class QtShell;
class ScreenRegistry;
struct ScreenWalk;

struct LayoutAllowance {
    const char* screen; // the screen's name
    const char* widget; // a part of the control's path
    LayoutFault::Kind kind;
    const char* why;                // who owns the fault and why it is let through for now
    const char* language = nullptr; // the language's folder it is let through in; null: all
};

const std::vector<LayoutAllowance>& layoutAllowances();

// Checks the screens of the walk; reports every fault on `log`, the allowed ones marked so, and each
// font size as its turn begins. Returns the number of faults not allowed.
int checkScreenLayouts(GuiContext& context, QtShell& shell, const ScreenRegistry& registry, ScreenWalk walk,
                       QTextStream& log);

} // namespace tc::gui
