#pragma once
// The shake that tells a refused password: the window swings left and right three times and comes
// to rest where it was. A shake started while one runs continues from the same resting place.
class QWidget;

namespace tc::gui {

void shakeWindow(QWidget* window);

} // namespace tc::gui
