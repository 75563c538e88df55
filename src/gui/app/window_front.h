#pragma once
// Bringing a window to the front: shown, its start run (texts and form afresh), raised above the
// others and active. A window its owner keeps is made on first use.
#include <QWidget>

namespace tc::gui {

class GuiContext;

template <class Window, class Base>
void showInFront(Window* window, void (Base::*start)()) {
    window->show();
    (window->*start)();
    window->raise();
    window->activateWindow();
}

template <class Window, class Base>
Window* showKeptWindow(Window*& window, GuiContext& context, QWidget* owner, void (Base::*start)()) {
    if (!window)
        window = new Window(context, owner);
    showInFront(window, start);
    return window;
}

} // namespace tc::gui
