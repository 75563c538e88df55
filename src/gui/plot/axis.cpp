#include "gui/plot/axis.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tc::gui {
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

std::vector<Axis::LaidLabel> Axis::layoutLabels(const PlotSpace& space, const QRectF& bounds,
                                                const std::vector<QRectF>& covered) const {
    // Time labels keep a little room between them.
    constexpr double kGap = 6;
    const QRectF area = space.area();
    const QFontMetricsF metrics(font);
    std::vector<LaidLabel> out;
    for (const auto& [at, label] : placed(space)) {
        const double width = metrics.horizontalAdvance(label->text), height = metrics.height();
        QRectF box;
        if (edge_ == Edge::Bottom) {
            const double left =
                std::clamp(at - width / 2, bounds.left(), std::max(bounds.left(), bounds.right() - width));
            box = QRectF(left, area.bottom() + tickLength + 1, width, height);
        } else {
            const double top =
                std::clamp(at - height / 2, bounds.top(), std::max(bounds.top(), bounds.bottom() - height));
            box = QRectF(area.right() + tickLength + 3, top, width, height);
        }
        const QRectF spaced = edge_ == Edge::Bottom ? box.adjusted(-kGap, 0, kGap, 0) : box;
        if ((!out.empty() && out.back().box.intersects(spaced)) ||
            std::any_of(covered.begin(), covered.end(), [&](const QRectF& c) { return c.intersects(box); }))
            continue;
        out.push_back({box, label});
    }
    return out;
}

void Axis::draw(QPainter& painter, const PlotSpace& space, QColor axis, const QRectF& bounds,
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
    if (edge_ == Edge::Bottom)
        painter.drawLine(area.bottomLeft(), area.bottomRight());
    else
        painter.drawLine(area.topRight(), area.bottomRight());
    for (const auto& [at, label] : placed(space)) {
        if (edge_ == Edge::Bottom)
            painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + tickLength));
        else
            painter.drawLine(QPointF(area.right(), at), QPointF(area.right() + tickLength, at));
    }
    const double ascent = QFontMetricsF(font).ascent();
    for (const LaidLabel& laid : layoutLabels(space, bounds, covered))
        painter.drawText(QPointF(laid.box.left(), laid.box.top() + ascent), laid.label->text);
    painter.restore();
}

} // namespace tc::gui
