#pragma once
// Qt sets a line of text by the fonts its letters come from: Nepali and Bengali words fall back on
// fonts whose ascent is smaller and descent larger than the program's font, so a word of theirs
// centred in a cell or beside a field stood higher than the figures next to it. A line is put back
// on the baseline the widget's own font gives, which figures and Latin words use, in every script.
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

class QLineEdit;

namespace tc::gui {

// How many pixels down (up when negative) a single line of `text` drawn in `font` at `alignment`
// (its vertical part; Qt::AlignVCenter when none) must move to stand on the font's own baseline.
// 0 for several lines, and for text the font holds itself.
qreal baselineShift(const QFont& font, const QString& text, Qt::Alignment alignment);

// That shift in whole pixels for text drawn in `rect`, kept to what leaves the line Qt lays out for
// the text inside the rectangle: a Pashto word whose letters reach lower than the font's own would
// otherwise be cut at the foot of a label one line of its font tall.
int baselineShiftWithin(const QFont& font, const QString& text, Qt::Alignment alignment, const QRect& rect);

// The width the widest line of `text` takes: its advance or, where some scripts' letters reach past
// it, their ink.
int inkWidth(const QFontMetrics& metrics, const QString& text);

// A field sets its line below the top the font's own height leaves, by the line's ascent: from now
// on, at each paint, its text (or placeholder) is moved onto the font's baseline. Its height stays.
void keepOnBaseline(QLineEdit* field);

} // namespace tc::gui
