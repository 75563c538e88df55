#include "plot/axis.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace plot {
namespace {

// An axis never draws more labels than this, whatever it is given.
constexpr std::size_t kMaxLabels = 200;

} // namespace

std::vector<std::pair<double, const AxisLabel*>> Axis::placed(const PlotSpace& space) const {
    std::vector<std::pair<double, const AxisLabel*>> out;
    const PlotRange r = edge_ == Edge::Bottom ? space.xRange() : space.yRange();
    for (const AxisLabel& label : labels) {
        if (out.size() >= kMaxLabels)
            break;
        if (!std::isfinite(label.location) || label.location < r.location || label.location > r.end())
            continue;
        out.emplace_back(edge_ == Edge::Bottom ? space.viewX(label.location) : space.viewY(label.location),
                         &label);
    }
    return out;
}

void Axis::drawGrid(QPainter& painter, const PlotSpace& space, QColor grid) const {
    if (!visible || !gridLines)
        return;
    const QRectF area = space.area();
    QPen pen(grid, gridWidth);
    pen.setDashPattern({3, 3});
    painter.save();
    painter.setPen(pen);
    for (const auto& [at, label] : placed(space)) {
        if (edge_ == Edge::Bottom)
            painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
        else
            painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
    }
    painter.restore();
}

void Axis::draw(QPainter& painter, const PlotSpace& space, QColor axis, QColor,
                const std::vector<QRectF>& covered) const {
    if (!visible)
        return;
    const QRectF area = space.area();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(axis, lineWidth);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    if (edge_ == Edge::Bottom)
        painter.drawLine(area.bottomLeft(), area.bottomRight());
    else
        painter.drawLine(area.topRight(), area.bottomRight());
    for (const auto& [at, label] : placed(space)) {
        if (edge_ == Edge::Bottom) {
            painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + tickLength));
            // Centred under its tick, but never cut by the graph's edge.
            const double width = metrics.horizontalAdvance(label->text);
            const double right = painter.device() ? painter.device()->width() : area.right();
            const double left = std::clamp(at - width / 2, 0.0, std::max(0.0, right - width));
            painter.drawText(QPointF(left, area.bottom() + tickLength + metrics.ascent() + 1), label->text);
        } else {
            painter.drawLine(QPointF(area.right(), at), QPointF(area.right() + tickLength, at));
            // Centred on its tick, but never cut by the graph's top or bottom.
            const double bottom = painter.device() ? painter.device()->height() : area.bottom();
            const double top =
                std::clamp(at - metrics.height() / 2, 0.0, std::max(0.0, bottom - metrics.height()));
            const QRectF box(area.right() + tickLength + 3, top, metrics.horizontalAdvance(label->text),
                             metrics.height());
            if (std::any_of(covered.begin(), covered.end(),
                            [&](const QRectF& c) { return c.intersects(box); }))
                continue;
            painter.drawText(QPointF(box.left(), top + metrics.ascent()), label->text);
        }
    }
    painter.restore();
}

} // namespace plot
