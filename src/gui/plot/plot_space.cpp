#include "gui/plot/plot_space.h"

#include <cmath>

namespace tc::gui {
namespace {

bool usable(PlotRange r) {
    return std::isfinite(r.location) && std::isfinite(r.length) && r.length > 0;
}

} // namespace

void PlotSpace::setXRange(PlotRange range) {
    if (usable(range))
        x_ = range;
}

void PlotSpace::setYRange(PlotRange range) {
    if (usable(range))
        y_ = range;
}

QPointF PlotSpace::plotPoint(QPointF view) const {
    if (area_.width() <= 0 || area_.height() <= 0)
        return {x_.location, y_.location};
    return {x_.location + (view.x() - area_.left()) / area_.width() * x_.length,
            y_.location + (area_.bottom() - view.y()) / area_.height() * y_.length};
}

void PlotSpace::propose(PlotRange x, PlotRange y) {
    if (delegate_) {
        x = delegate_->willChangePlotRange(*this, x, Coordinate::X);
        y = delegate_->willChangePlotRange(*this, y, Coordinate::Y);
    }
    const PlotRange oldX = x_, oldY = y_;
    setXRange(x);
    setYRange(y);
    if (delegate_ && !(x_ == oldX))
        delegate_->didChangePlotRange(*this, Coordinate::X);
    if (delegate_ && !(y_ == oldY))
        delegate_->didChangePlotRange(*this, Coordinate::Y);
}

bool PlotSpace::pointerDown(QPointF view) {
    if (delegate_ && !delegate_->shouldHandlePointerDown(*this, view))
        return false;
    if (!interactive_ || !area_.contains(view))
        return false;
    dragging_ = true;
    last_ = view;
    return true;
}

bool PlotSpace::pointerDragged(QPointF view) {
    if (delegate_ && !delegate_->shouldHandlePointerDragged(*this, view))
        return false;
    if (!interactive_ || !dragging_)
        return false;
    const QPointF from = plotPoint(last_), to = plotPoint(view);
    last_ = view;
    QPointF d = to - from;
    if (delegate_)
        d = delegate_->willDisplaceBy(*this, d);
    if (d.isNull())
        return true;
    propose({x_.location - d.x(), x_.length}, {y_.location - d.y(), y_.length});
    return true;
}

bool PlotSpace::pointerUp(QPointF view) {
    const bool was = dragging_;
    dragging_ = false;
    if (delegate_ && !delegate_->shouldHandlePointerUp(*this, view))
        return false;
    return was;
}

bool PlotSpace::pointerCancelled() {
    dragging_ = false;
    return !delegate_ || delegate_->shouldHandlePointerCancelled(*this);
}

bool PlotSpace::scaleBy(double factor, QPointF view) {
    if (!interactive_ || !std::isfinite(factor) || factor <= 0)
        return false;
    const QPointF about = plotPoint(view);
    if (delegate_ && !delegate_->shouldScaleBy(*this, factor, about))
        return false;
    auto scaled = [factor](PlotRange r, double at) {
        return PlotRange{at - (at - r.location) / factor, r.length / factor};
    };
    propose(scaled(x_, about.x()), scaled(y_, about.y()));
    return true;
}

} // namespace tc::gui
