#include "gui/app/text_baseline.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHash>
#include <QLineEdit>
#include <QTextLayout>

namespace tc::gui {
namespace {

// Latin, with its marks: every program font holds it, so no other font sets the line.
bool plainLatin(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x0370)
            return false;
    return true;
}

// The ascent and descent of the line Qt lays out for `text`.
std::pair<qreal, qreal> lineMetrics(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    return {line.ascent(), line.descent()};
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

qreal baselineShift(const QFont& font, const QString& text, Qt::Alignment alignment) {
    if (text.isEmpty() || plainLatin(text) || text.contains(QLatin1Char('\n')) ||
        text.contains(QChar::LineSeparator))
        return 0;
    QString shown = text;
    if (alignment & (Qt::TextShowMnemonic | Qt::TextHideMnemonic))
        shown.remove(QLatin1Char('&')); // the mark is not drawn, so it does not set the line
    // A window repaints the same few words again and again; figures never come here.
    static QHash<QString, std::pair<qreal, qreal>> known;
    const QString key = font.key() + QChar(0) + shown;
    auto it = known.constFind(key);
    if (it == known.cend()) {
        if (known.size() > 4096)
            known.clear();
        it = known.insert(key, lineMetrics(font, shown));
    }
    const auto [ascent, descent] = *it;
    const QFontMetricsF own(font);
    if (alignment & Qt::AlignTop)
        return own.ascent() - ascent;
    if (alignment & Qt::AlignBottom)
        return descent - own.descent();
    return ((own.ascent() - own.descent()) - (ascent - descent)) / 2;
}

} // namespace tc::gui
