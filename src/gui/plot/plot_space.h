#pragma once
// A plot space maps plot coordinates (x, y ranges) onto the plot area of a graph and turns the
// user's drags and wheel turns into proposed ranges, which its delegate may change or refuse.
#include "charts/viewport.h"

#include <QPointF>
#include <QRectF>
#include <QString>

namespace tc::gui {

// A range of plot coordinates: where it starts and how long it is.
using PlotRange = tc::charts::AxisRange;

enum class Coordinate { X, Y };

class PlotSpace;

// What the owner of a plot space says to the user's interaction. Every answer has a default that
// lets the plot space go on with its own handling.
class PlotSpaceDelegate {
public:
    virtual ~PlotSpaceDelegate() = default;
    // The range the space will take instead of `proposed`.
    virtual PlotRange willChangePlotRange(PlotSpace&, PlotRange proposed, Coordinate) { return proposed; }
    // The displacement (plot units) a drag step will apply instead of `displacement`.
    virtual QPointF willDisplaceBy(PlotSpace&, QPointF displacement) { return displacement; }
    virtual void didChangePlotRange(PlotSpace&, Coordinate) {}
    // factor above 1 zooms in about `plotPoint`; false refuses the scale.
    virtual bool shouldScaleBy(PlotSpace&, double /*factor*/, QPointF /*plotPoint*/) { return true; }
    // Pointer events in view coordinates; false stops the space's own handling.
    virtual bool shouldHandlePointerDown(PlotSpace&, QPointF /*viewPoint*/) { return true; }
    virtual bool shouldHandlePointerDragged(PlotSpace&, QPointF /*viewPoint*/) { return true; }
    virtual bool shouldHandlePointerUp(PlotSpace&, QPointF /*viewPoint*/) { return true; }
    virtual bool shouldHandlePointerCancelled(PlotSpace&) { return true; }
};

class PlotSpace {
public:
    explicit PlotSpace(QString identifier) : identifier_(std::move(identifier)) {}

    const QString& identifier() const { return identifier_; }
    PlotRange xRange() const { return x_; }
    PlotRange yRange() const { return y_; }
    // Ranges whose parts are not finite, or whose length is not above 0, are not taken.
    void setXRange(PlotRange range);
    void setYRange(PlotRange range);

    bool allowsUserInteraction() const { return interactive_; }
    void setAllowsUserInteraction(bool on) { interactive_ = on; }
    PlotSpaceDelegate* delegate() const { return delegate_; }
    void setDelegate(PlotSpaceDelegate* delegate) { delegate_ = delegate; }

    // The plot area the ranges are mapped onto, in view coordinates; set by the graph.
    QRectF area() const { return area_; }
    void setArea(QRectF area) { area_ = area; }
    double viewX(double x) const { return area_.left() + (x - x_.location) / x_.length * area_.width(); }
    double viewY(double y) const { return area_.bottom() - (y - y_.location) / y_.length * area_.height(); }
    QPointF viewPoint(double x, double y) const { return {viewX(x), viewY(y)}; }
    QPointF plotPoint(QPointF view) const;
    // Plot units per view pixel along x.
    double xUnitsPerPixel() const { return area_.width() > 0 ? x_.length / area_.width() : 0; }

    // The user's interaction, in view coordinates. Each returns whether it was handled.
    bool pointerDown(QPointF view);
    bool pointerDragged(QPointF view);
    bool pointerUp(QPointF view);
    bool pointerCancelled();
    // Wheel and pinch: factor above 1 zooms in about the view point.
    bool scaleBy(double factor, QPointF view);

private:
    void propose(PlotRange x, PlotRange y);

    QString identifier_;
    PlotRange x_{0, 1};
    PlotRange y_{0, 1};
    QRectF area_;
    bool interactive_ = true;
    PlotSpaceDelegate* delegate_ = nullptr;
    bool dragging_ = false;
    QPointF last_;
};

} // namespace tc::gui
