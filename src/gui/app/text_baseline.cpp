#include "gui/app/text_baseline.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHash>
#include <QLineEdit>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tc::gui {
namespace {

// Latin, with its marks: every program font holds it, so no other font sets the line.
bool plainLatin(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x0370)
            return false;
    return true;
}

// The line Qt lays out for a text, and how far its letters reach above and below its baseline: some
// scripts' marks reach past their font's own descent.
struct LineOf {
    qreal ascent = 0;
    qreal descent = 0;
    qreal inkTop = 0; // negative: above the baseline
    qreal inkBottom = 0;
};

LineOf lineMetrics(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    const QRectF ink = QFontMetricsF(font).tightBoundingRect(text);
    return {line.ascent(), line.descent(), ink.top(), ink.bottom()};
}

// Moves a field's text by its margins just before it paints: down at the top as much as up at the
// bottom, so that the field asks for no more room.
class FieldBaseline : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* field = event->type() == QEvent::Paint ? qobject_cast<QLineEdit*>(watched) : nullptr;
        if (!field)
            return false;
        const QString text = field->text().isEmpty() ? field->placeholderText() : field->displayText();
        const int shift = qRound(baselineShift(field->font(), text, Qt::AlignTop));
        const QMargins margins(0, shift, 0, -shift);
        if (field->textMargins() != margins)
            field->setTextMargins(margins);
        return false;
    }
};

} // namespace

void keepOnBaseline(QLineEdit* field) {
    static FieldBaseline filter;
    field->installEventFilter(&filter); // once: a second install only moves it to the front
}

namespace {

// The ascent and descent of the line of a text whose line may not stand on the font's baseline;
// nothing for one that does.
std::optional<LineOf> shiftedLine(const QFont& font, const QString& text, Qt::Alignment alignment) {
    if (text.isEmpty() || plainLatin(text) || text.contains(QLatin1Char('\n')) ||
        text.contains(QChar::LineSeparator))
        return std::nullopt;
    QString shown = text;
    if (alignment & (Qt::TextShowMnemonic | Qt::TextHideMnemonic))
        shown.remove(QLatin1Char('&')); // the mark is not drawn, so it does not set the line
    // A window repaints the same few words again and again; figures never come here.
    static QHash<QString, LineOf> known;
    const QString key = font.key() + QChar(0) + shown;
    auto it = known.constFind(key);
    if (it == known.cend()) {
        if (known.size() > 4096)
            known.clear();
        it = known.insert(key, lineMetrics(font, shown));
    }
    return *it;
}

} // namespace

namespace {

qreal shiftOf(const LineOf& line, const QFont& font, Qt::Alignment alignment) {
    const QFontMetricsF own(font);
    if (alignment & Qt::AlignTop)
        return own.ascent() - line.ascent;
    if (alignment & Qt::AlignBottom)
        return line.descent - own.descent();
    return ((own.ascent() - own.descent()) - (line.ascent - line.descent)) / 2;
}

} // namespace

qreal baselineShift(const QFont& font, const QString& text, Qt::Alignment alignment) {
    const auto line = shiftedLine(font, text, alignment);
    return line ? shiftOf(*line, font, alignment) : 0;
}

int baselineShiftWithin(const QFont& font, const QString& text, Qt::Alignment alignment, const QRect& rect) {
    const auto line = shiftedLine(font, text, alignment);
    if (!line)
        return 0;
    const int shift = qRound(shiftOf(*line, font, alignment));
    // Where Qt sets the line's baseline in the rectangle, before the shift.
    const qreal height = line->ascent + line->descent;
    qreal top = rect.top();
    if (alignment & Qt::AlignBottom)
        top = rect.bottom() + 1 - height;
    else if (!(alignment & Qt::AlignTop))
        top = rect.top() + (rect.height() - height) / 2;
    const qreal baseline = top + line->ascent;
    // The shifts that keep every letter inside; where none does, the letters stay where Qt sets them.
    const int highest = static_cast<int>(std::ceil(rect.top() - (baseline + line->inkTop)));
    const int lowest = static_cast<int>(std::floor(rect.bottom() + 1 - (baseline + line->inkBottom)));
    if (highest > lowest)
        return 0;
    return std::clamp(shift, highest, lowest);
}

int inkWidth(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRect ink = metrics.boundingRect(line);
        widest = std::max(widest, std::max(ink.right() + 1, metrics.horizontalAdvance(line)) -
                                      std::min(0, ink.left()));
    }
    return widest;
}

} // namespace tc::gui
