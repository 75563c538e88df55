#include "gui/plot/annotation.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tc::gui {

QRectF TextAnnotation::box(const PlotSpace& space) const {
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text) + 8, metrics.height() + 2);
    const QPointF anchor = space.viewPoint(x, y) + displacement;
    double top = anchor.y() - size.height() / 2;
    if (pinned) {
        const QRectF area = space.area();
        top = std::clamp(top, area.top(), std::max(area.top(), area.bottom() - size.height()));
    }
    return {anchor.x(), top, size.width(), size.height()};
}

bool TextAnnotation::shown() const {
    return std::isfinite(x) && std::isfinite(y) && !text.isEmpty();
}

void TextAnnotation::draw(QPainter& painter, const QRectF& r) const {
    if (!shown())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(r, cornerRadius, cornerRadius);
    painter.setPen(textColor);
    painter.setFont(font);
    painter.drawText(r, Qt::AlignCenter, text);
    painter.restore();
}

void HorizontalLine::draw(QPainter& painter, const PlotSpace& space) const {
    if (!std::isfinite(y))
        return;
    const QRectF area = space.area();
    const double at = space.viewY(y);
    if (at < area.top() || at > area.bottom())
        return;
    painter.save();
    painter.setPen(pen);
    painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
    painter.restore();
}

QRectF Crosshair::tagBox(const PlotSpace& space) const {
    if (tag.isEmpty() || !std::isfinite(y))
        return {};
    const QFontMetricsF metrics(font);
    return {space.area().right() + 1, space.viewY(y) - metrics.height() / 2 - 1,
            metrics.horizontalAdvance(tag) + 8, metrics.height() + 2};
}

void Crosshair::draw(QPainter& painter, const PlotSpace& space, const QRectF& tagAt) const {
    if (!std::isfinite(x))
        return;
    const QRectF area = space.area();
    const double vx = space.viewX(x);
    painter.save();
    painter.setPen(pen);
    painter.drawLine(QPointF(vx, area.top()), QPointF(vx, area.bottom()));
    if (std::isfinite(y)) {
        const double vy = space.viewY(y);
        painter.drawLine(QPointF(area.left(), vy), QPointF(area.right(), vy));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setBrush(pen.color());
        painter.drawEllipse(QPointF(vx, vy), symbolSize / 2, symbolSize / 2);
        if (!tag.isEmpty() && !tagAt.isEmpty()) {
            // The tag sits on the right axis, over its labels, and may leave the plot area.
            painter.setClipping(false);
            const QRectF box = tagAt;
            painter.setPen(Qt::NoPen);
            painter.setBrush(tagFill);
            painter.drawRect(box);
            painter.setPen(tagText);
            painter.setFont(font);
            painter.drawText(box, Qt::AlignCenter, tag);
        }
    }
    painter.restore();
}

} // namespace tc::gui
