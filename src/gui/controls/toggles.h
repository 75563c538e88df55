#pragma once
// Check boxes, radios and toggle buttons act on their state change (`toggled`), so a key, a screen
// reader's toggle or setChecked() works as a click does. The program's own resets of a box go
// through setCheckedQuietly, which does not run those reactions.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QSignalBlocker>

namespace tc::gui {

// Sets the state without the button's or its group's toggled signals.
inline void setCheckedQuietly(QAbstractButton* button, bool on) {
    const QSignalBlocker blockButton(button);
    const QSignalBlocker blockGroup(button->group());
    button->setChecked(on);
}

} // namespace tc::gui
