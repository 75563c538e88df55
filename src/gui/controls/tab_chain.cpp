#include "gui/controls/tab_chain.h"

namespace tc::gui {

void chainTabOrder(const std::vector<QWidget*>& parts) {
    std::vector<QWidget*> controls;
    for (QWidget* part : parts) {
        if (!part)
            continue;
        // A container that hands its focus to a child of its own (a tab widget to its tab bar) is
        // left out of the chain: Tab on it went to that child from the container's old place.
        QList<QWidget*> inPart = part->findChildren<QWidget*>();
        inPart.prepend(part);
        for (QWidget* w : inPart)
            if (w->focusProxy() && w->isAncestorOf(w->focusProxy()) && (w->focusPolicy() & Qt::TabFocus))
                w->setFocusPolicy(Qt::ClickFocus);
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
