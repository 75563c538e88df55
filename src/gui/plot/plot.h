#pragma once
// Plots draw records that their data source gives by plot identifier: lines, OHLC bars and
// candlesticks, study bars and pie slices. Record i stands at x = i unless the source gives an X
// field. Values that are not finite are not drawn.
#include "gui/plot/plot_space.h"
#include "gui/plot/plot_theme.h"

#include <QColor>
#include <QPen>
#include <QString>

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

class QPainter;

namespace tc::gui {

enum class PlotField { X, Y, Open, High, Low, Close, SliceWidth };

class Plot;
class BarPlot;
class PiePlot;

class PlotDataSource {
public:
    virtual ~PlotDataSource() = default;
    virtual std::size_t numberOfRecords(const Plot& plot) const = 0;
    // The field's values for records 0..n-1; an empty span when the plot has no such field (X
    // then counts records).
    virtual std::span<const double> numbers(const Plot& plot, PlotField field) const = 0;
    // An invalid colour leaves the plot's own choice.
    virtual QColor barFill(const BarPlot&, std::size_t /*record*/) const { return {}; }
    virtual QString legendTitle(const PiePlot&, std::size_t /*record*/) const { return {}; }
    virtual QColor sliceFill(const PiePlot&, std::size_t /*record*/) const { return {}; }
    // Stripes of this colour over the slice's fill; an invalid colour: none.
    virtual QColor sliceHatch(const PiePlot&, std::size_t /*record*/) const { return {}; }
};

class Plot {
public:
    explicit Plot(QString identifier) : identifier_(std::move(identifier)) {}
    virtual ~Plot() = default;
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;

    const QString& identifier() const { return identifier_; }
    // The plot space (by identifier) the plot is drawn in; the graph's default one when empty.
    const QString& plotSpace() const { return plotSpace_; }
    void setPlotSpace(QString identifier) { plotSpace_ = std::move(identifier); }
    PlotDataSource* dataSource() const { return source_; }
    void setDataSource(PlotDataSource* source) { source_ = source; }
    // The legend's text and swatch colour of a plot that is not a pie.
    const QString& title() const { return title_; }
    void setTitle(QString title) { title_ = std::move(title); }
    virtual QColor legendColor() const { return {}; }

    virtual void draw(QPainter& painter, const PlotSpace& space, const PlotTheme& theme) const = 0;

protected:
    std::size_t records() const;
    std::span<const double> field(PlotField f) const;
    // Records [first, last) that may show in the space's x range (all of them with an X field).
    std::pair<std::size_t, std::size_t> visibleRecords(const PlotSpace& space, double halfWidth) const;

private:
    QString identifier_;
    QString plotSpace_;
    QString title_;
    PlotDataSource* source_ = nullptr;
};

// A line through (x, y) of each record, broken where a value is missing; optionally a round
// symbol at every point.
class LinePlot : public Plot {
public:
    using Plot::Plot;
    QPen pen{QColor(Qt::green), 1.5};
    double symbolSize = 0; // diameter in pixels; 0 draws none
    QColor legendColor() const override { return pen.color(); }
    void draw(QPainter& painter, const PlotSpace& space, const PlotTheme& theme) const override;
};

// Open, high, low and close of each record: OHLC bars (a stick with the open to its left and the
// close to its right) or candlesticks. Where bars come closer than two pixels, each pixel column
// shows the range of its bars as one stroke.
class TradingRangePlot : public Plot {
public:
    enum class Style { Ohlc, Candlestick };
    TradingRangePlot(QString identifier, Style style) : Plot(std::move(identifier)), style(style) {}

    Style style;
    double lineWidth = 1.5;     // OHLC bars and candlestick wicks
    double stickLength = 6.0;   // OHLC open and close ticks, pixels
    double barWidth = 7.0;      // candle bodies, pixels (narrower when bars are closer)
    double bodyLineWidth = 1.0; // candle body outlines
    QColor legendColor() const override;
    void draw(QPainter& painter, const PlotSpace& space, const PlotTheme& theme) const override;
};

// Bars from 0 to the value of each record, coloured by the data source.
class BarPlot : public Plot {
public:
    using Plot::Plot;
    double widthFraction = 0.6; // of the distance between records
    QColor fill{Qt::gray};
    QColor legendColor() const override { return fill; }
    void draw(QPainter& painter, const PlotSpace& space, const PlotTheme& theme) const override;
};

// Slices sized by the SliceWidth field, the first starting at `startAngle` (radians from
// three o'clock), going counter-clockwise, filled by the data source.
class PiePlot : public Plot {
public:
    using Plot::Plot;
    double radius = 0; // pixels; 0 fits the plot area
    double startAngle = 0.7853981633974483;
    bool counterClockwise = true;
    QPen border{Qt::NoPen};
    // Where the pie is centred; an invalid point centres it in the plot area.
    QPointF centre;
    // The angle spans the slices take (radians), in record order.
    std::vector<double> sliceSpans() const;
    // The pie's centre and radius in the space's plot area.
    QPointF centreIn(const PlotSpace& space) const;
    double radiusIn(const PlotSpace& space) const;
    void draw(QPainter& painter, const PlotSpace& space, const PlotTheme& theme) const override;
};

} // namespace tc::gui
