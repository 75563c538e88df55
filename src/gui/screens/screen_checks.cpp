#include "gui/screens/screen_checks.h"

#include "gui/screens/screen_layouts.h"
#include "gui/screens/screen_registry.h"
#include "gui/screens/tab_order_check.h"
#include "gui/screens/text_check.h"

#include <algorithm>

namespace tc::gui {

int checkScreens(GuiContext& gui, QtShell& shell, const ScreenRegistry& registry, ScreenWalk walk,
                 ScreenChecks checks, QTextStream& log) {
    const ScreenWalk asked = walk;
    if (checks.texts) {
        // English, the text check's reference, not asked for itself: built at the first size only.
        if (std::find(walk.languages.begin(), walk.languages.end(), 0) == walk.languages.end())
            walk.firstSizeOnly.push_back(0);
        std::erase(walk.languages, std::int64_t{0});
        walk.languages.insert(walk.languages.begin(), 0);
        walk.screenByScreen = true;
    }
    int sizeTurn = -1;
    walk.atFontSize = [&](std::int64_t size) {
        ++sizeTurn;
        if (size > 0)
            log << "font size " << size << '\n';
    };
    LayoutCheck layout(log);
    TextCheck texts(log);
    TabCheck tabs(log);
    walkScreens(gui, shell, registry, walk, [&](const ShownScreen& shown) {
        const bool languageAsked =
            asked.languages.empty() || std::find(asked.languages.begin(), asked.languages.end(),
                                                 shown.language) != asked.languages.end();
        // The layout check last: it resizes the window.
        if (checks.texts && sizeTurn == 0)
            texts.visit(shown);
        if (checks.tabs && languageAsked && sizeTurn == 0)
            tabs.visit(shown);
        if (checks.layout && languageAsked)
            layout.visit(shown);
    });
    int faults = 0;
    if (checks.layout) {
        const int found = layout.finish(asked);
        log << found << " layout fault(s)\n";
        faults += found;
    }
    if (checks.texts) {
        log << texts.faults() << " text(s) shown together that read the same\n";
        faults += texts.faults();
    }
    if (checks.tabs) {
        log << tabs.faults() << " tab order fault(s)\n";
        faults += tabs.faults();
    }
    log.flush();
    return faults;
}

} // namespace tc::gui
