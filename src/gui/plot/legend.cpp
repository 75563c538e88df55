#include "gui/plot/legend.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace tc::gui {
namespace {

constexpr double kPadding = 4, kGap = 6;

// Where the entries of a legend go: a grid of equal cells.
struct Grid {
    double rowHeight = 0, entryWidth = 0;
    int perRow = 1, rows = 0;

    explicit Grid(const Legend& legend) {
        const QFontMetricsF metrics(legend.font);
        rowHeight = std::max(legend.swatchSize.height(), metrics.height());
        double widest = 0;
        for (const auto& e : legend.entries)
            widest = std::max(widest, metrics.horizontalAdvance(e.title));
        entryWidth = legend.swatchSize.width() + 4 + widest;
        const int count = static_cast<int>(legend.entries.size());
        perRow = std::max(1, legend.columns > 0 ? std::min(legend.columns, count) : count);
        rows = (count + perRow - 1) / perRow;
    }
    QPointF cell(int i) const { return {(i % perRow) * (entryWidth + kGap), (i / perRow) * rowHeight}; }
};

} // namespace

QSizeF Legend::size() const {
    if (entries.isEmpty())
        return {};
    const Grid grid(*this);
    return {2 * kPadding + grid.perRow * grid.entryWidth + (grid.perRow - 1) * kGap,
            2 * kPadding + grid.rows * grid.rowHeight};
}

QRectF Legend::frame(const QRectF& graph) const {
    const QSizeF s = size();
    QPointF topLeft = anchor == Anchor::TopLeft
                          ? graph.topLeft()
                          : QPointF(graph.right() - s.width(), graph.center().y() - s.height() / 2);
    return {topLeft + displacement, s};
}

void Legend::draw(QPainter& painter, const QRectF& graph, QColor themeText) const {
    if (entries.isEmpty())
        return;
    const QRectF box = frame(graph);
    const QFontMetricsF metrics(font);
    const Grid grid(*this);
    const double rowHeight = grid.rowHeight;
    painter.save();
    if (fill.isValid())
        painter.fillRect(box, fill);
    painter.setFont(font);
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        const QPointF cell = box.topLeft() + QPointF(kPadding, kPadding) + grid.cell(i);
        const double x = cell.x(), y = cell.y();
        const QRectF swatch(x, y + (rowHeight - swatchSize.height()) / 2, swatchSize.width(),
                            swatchSize.height());
        painter.fillRect(swatch, entries[i].swatch);
        if (entries[i].hatch.isValid())
            painter.fillRect(swatch, QBrush(entries[i].hatch, Qt::BDiagPattern));
        painter.setPen(textColor.isValid() ? textColor : themeText);
        painter.drawText(
            QPointF(swatch.right() + 4, y + (rowHeight + metrics.ascent() - metrics.descent()) / 2),
            entries[i].title);
    }
    painter.restore();
}

} // namespace tc::gui
