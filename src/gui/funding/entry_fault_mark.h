#pragma once
// How a funding window's numeric field shows that it holds a text it cannot read: in the theme's
// colours of an invalid entry, with the reason as its tooltip, for as long as it holds that text.
#include <QString>

class QLineEdit;

namespace tc::gui {

class ThemeManager;

// An empty reason takes the mark off.
void markEntryFault(QLineEdit* field, const QString& reason, const ThemeManager& themes);

} // namespace tc::gui
