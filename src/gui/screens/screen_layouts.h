#pragma once
// The layout check over the screen registry: every screen is built, then laid out (not painted) at
// the size it first opens with and at the smallest size the program lets it take, in each language
// asked for; every text that does not fit, every overlap and every control cut by its pane is a
// fault, unless the allow-list (screen_layouts.cpp) names it with the reason.
//   tradegui_screens --check-layout [--languages en,ar] [--font-size N[,N...]] [SCREEN...]
#include "gui/screens/layout_check.h"

#include <QStringList>

#include <cstdint>
#include <set>
#include <vector>

class QTextStream;

namespace tc::gui {

struct ScreenWalk;
struct ShownScreen;

struct LayoutAllowance {
    const char* screen; // the screen's name
    const char* widget; // a part of the control's path
    LayoutFault::Kind kind;
    const char* why;                // who owns the fault and why it is let through for now
    const char* language = nullptr; // the language's folder it is let through in; null: all
};

const std::vector<LayoutAllowance>& layoutAllowances();

// Checks each screen shown to it at its first-run and its smallest size; reports every fault on
// `log`, the allowed ones marked so.
class LayoutCheck {
public:
    explicit LayoutCheck(QTextStream& log) : log_(log) {}
    void visit(const ShownScreen& shown);
    // Names each allowance nothing needed in the languages walked, once every screen was checked in
    // them. Returns the number of faults not allowed.
    int finish(const ScreenWalk& walk);

private:
    QTextStream& log_;
    int faults_ = 0;
    std::set<const LayoutAllowance*> used_;
};

} // namespace tc::gui
