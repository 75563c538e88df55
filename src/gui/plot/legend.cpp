#include "plot/legend.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace plot {
namespace {

constexpr double kPadding = 4, kGap = 6;

} // namespace

QSizeF Legend::size() const {
    if (entries.isEmpty())
        return {};
    const QFontMetricsF metrics(font);
    const double rowHeight = std::max(swatchSize.height(), metrics.height());
    double widest = 0;
    for (const auto& e : entries)
        widest = std::max(widest, metrics.horizontalAdvance(e.title));
    const double entryWidth = swatchSize.width() + 4 + widest;
    const int count = static_cast<int>(entries.size());
    const int perRow = columns > 0 ? std::min(columns, count) : count;
    const int rows = (count + perRow - 1) / perRow;
    return {2 * kPadding + perRow * entryWidth + (perRow - 1) * kGap, 2 * kPadding + rows * rowHeight};
}

QRectF Legend::frame(const QRectF& graph) const {
    const QSizeF s = size();
    QPointF topLeft = anchor == Anchor::TopLeft
                          ? graph.topLeft()
                          : QPointF(graph.right() - s.width(), graph.center().y() - s.height() / 2);
    return {topLeft + displacement, s};
}

void Legend::draw(QPainter& painter, const QRectF& graph) const {
    if (entries.isEmpty())
        return;
    const QRectF box = frame(graph);
    const QFontMetricsF metrics(font);
    const double rowHeight = std::max(swatchSize.height(), metrics.height());
    double widest = 0;
    for (const auto& e : entries)
        widest = std::max(widest, metrics.horizontalAdvance(e.title));
    const double entryWidth = swatchSize.width() + 4 + widest;
    const int count = static_cast<int>(entries.size());
    const int perRow = columns > 0 ? std::min(columns, count) : count;
    painter.save();
    if (fill.isValid())
        painter.fillRect(box, fill);
    painter.setFont(font);
    for (int i = 0; i < count; ++i) {
        const double x = box.left() + kPadding + (i % perRow) * (entryWidth + kGap);
        const double y = box.top() + kPadding + (i / perRow) * rowHeight;
        const QRectF swatch(x, y + (rowHeight - swatchSize.height()) / 2, swatchSize.width(),
                            swatchSize.height());
        painter.fillRect(swatch, entries[i].swatch);
        painter.setPen(textColor);
        painter.drawText(
            QPointF(swatch.right() + 4, y + (rowHeight + metrics.ascent() - metrics.descent()) / 2),
            entries[i].title);
    }
    painter.restore();
}

} // namespace plot
