#pragma once
// Puts parts of a window into the tab chain in the order given: each part's controls (itself when
// it takes Tab) keep their own order among themselves, and the parts follow one another. For
// windows whose panes are built in another order than they read (the main window's splitters, a
// sheet's rows of fields made after its buttons).
#include <QWidget>

#include <vector>

namespace tc::gui {

void chainTabOrder(const std::vector<QWidget*>& parts);

} // namespace tc::gui
