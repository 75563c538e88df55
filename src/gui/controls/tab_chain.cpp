#include "gui/controls/tab_chain.h"

namespace tc::gui {

void chainTabOrder(const std::vector<QWidget*>& parts) {
    std::vector<QWidget*> controls;
    for (QWidget* part : parts) {
        if (!part)
            continue;
        // The window's chain is a ring: walk it once from the window and keep what lies in the part.
        QWidget* window = part->window();
        for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
            if ((w == part || part->isAncestorOf(w)) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
                controls.push_back(w);
    }
    for (std::size_t i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
}

} // namespace tc::gui
