#include "gui/controls/price_text.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace tc::gui {
namespace {

QFont resized(const QFont& base, double factor, double growth) {
    QFont font = base;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * factor + growth);
    else
        font.setPixelSize(qRound(base.pixelSize() * factor + growth * 4.0 / 3.0));
    return font;
}

struct Run {
    QString text;
    QFont font;
    double raise = 0;
};

std::vector<Run> runsOf(const PriceHighlight& price, const PriceTextStyle& style) {
    const QFont big = resized(style.font, 1.0, style.bigGrowth);
    const QFont small = resized(style.font, 1.0 / 1.5, 0);
    const double raise = QFontMetricsF(big).capHeight() - 0.5 * QFontMetricsF(small).capHeight();
    const QString text = QString::fromStdString(price.text);
    std::vector<Run> runs;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        Run run{QString(text[i]), style.font, 0};
        if (price.bigLength && at >= price.bigStart && at < price.bigStart + price.bigLength)
            run.font = big;
        else if (price.smallLength && at >= price.smallStart && at < price.smallStart + price.smallLength)
            run = {QString(text[i]), small, raise};
        if (!runs.empty() && runs.back().font == run.font && runs.back().raise == run.raise)
            runs.back().text += run.text;
        else
            runs.push_back(std::move(run));
    }
    return runs;
}

} // namespace

QSizeF priceTextSize(const PriceHighlight& price, const PriceTextStyle& style) {
    double width = 0;
    double height = 0;
    for (const Run& run : runsOf(price, style)) {
        const QFontMetricsF m(run.font);
        width += m.horizontalAdvance(run.text);
        height = std::max(height, m.height() + run.raise);
    }
    return {width, height};
}

void drawPriceText(QPainter& painter, const QRectF& rect, const PriceHighlight& price,
                   const PriceTextStyle& style) {
    const std::vector<Run> runs = runsOf(price, style);
    double width = 0;
    double ascent = 0;
    double descent = 0;
    for (const Run& run : runs) {
        const QFontMetricsF m(run.font);
        width += m.horizontalAdvance(run.text);
        ascent = std::max(ascent, m.ascent());
        descent = std::max(descent, m.descent());
    }
    double x = rect.center().x() - width / 2;
    const double baseline = rect.top() + (rect.height() - (ascent + descent)) / 2 + ascent;
    painter.save();
    painter.setPen(style.colour);
    for (const Run& run : runs) {
        painter.setFont(run.font);
        painter.drawText(QPointF(x, baseline - run.raise), run.text);
        x += QFontMetricsF(run.font).horizontalAdvance(run.text);
    }
    painter.restore();
}

PriceHighlight lastCharactersEnlarged(const QString& text) {
    PriceHighlight h;
    h.text = text.toStdString();
    const auto size = static_cast<std::size_t>(text.size()); // indices count the text's UTF-16 units
    h.bigLength = std::min<std::size_t>(2, size);
    h.bigStart = size - h.bigLength;
    return h;
}

} // namespace tc::gui
