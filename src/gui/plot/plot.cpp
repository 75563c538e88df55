#include "gui/plot/plot.h"

#include "charts/pie_data.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <numbers>
#include <vector>

namespace tc::gui {
namespace {

bool finite(double v) {
    return std::isfinite(v);
}

double at(std::span<const double> values, std::size_t i) {
    return i < values.size() ? values[i] : std::numeric_limits<double>::quiet_NaN();
}

// One pixel column's share of many bars.
struct Column {
    long index = 0;
    double open = NAN, high = -INFINITY, low = INFINITY, close = NAN;
    bool empty() const { return !(low <= high); }
};

// Groups records [first, last) by the pixel column they fall in and hands each column that holds
// a high and a low to `done`: its first open, highest high, lowest low and last close. `read`
// gives a record's open, high, low and close.
template <typename Read, typename Done>
void byPixelColumn(const PlotSpace& space, std::size_t first, std::size_t last, Read read, Done done) {
    Column col;
    col.index = LONG_MIN;
    for (std::size_t i = first; i < last; ++i) {
        const auto [op, hi, lo, cl] = read(i);
        if (!finite(hi) || !finite(lo))
            continue;
        const long index = std::lround(std::floor(space.viewX(static_cast<double>(i))));
        if (index != col.index) {
            if (!col.empty())
                done(col);
            col = Column{index, op, hi, lo, cl};
        } else {
            col.high = std::max(col.high, hi);
            col.low = std::min(col.low, lo);
            if (finite(cl))
                col.close = cl;
        }
    }
    if (!col.empty())
        done(col);
}

} // namespace

std::size_t Plot::records() const {
    return source_ ? source_->numberOfRecords(*this) : 0;
}

std::span<const double> Plot::field(PlotField f) const {
    return source_ ? source_->numbers(*this, f) : std::span<const double>();
}

std::pair<std::size_t, std::size_t> Plot::visibleRecords(const PlotSpace& space, double halfWidth) const {
    const std::size_t n = records();
    if (!field(PlotField::X).empty())
        return {0, n};
    const PlotRange x = space.xRange();
    const double first = std::max(0.0, std::ceil(x.location - halfWidth));
    const double last = std::min(static_cast<double>(n), std::floor(x.end() + halfWidth) + 1);
    if (!(first < last))
        return {0, 0};
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

void LinePlot::draw(QPainter& painter, const PlotSpace& space, const PlotTheme&) const {
    const auto xs = field(PlotField::X), ys = field(PlotField::Y);
    const auto [first, last] = visibleRecords(space, 1.0);
    if (first >= last)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(pen);
    QPolygonF run;
    auto flush = [&] {
        if (run.size() > 1)
            painter.drawPolyline(run);
        run.clear();
    };
    const double width = space.area().width();
    if (xs.empty() && static_cast<double>(last - first) > 4 * width) {
        // Many records per pixel: first, lowest, highest and last of each column.
        byPixelColumn(
            space, first, last,
            [&](std::size_t i) {
                return std::array<double, 4>{ys[i], ys[i], ys[i], ys[i]};
            },
            [&](const Column& col) {
                for (double y : {col.open, col.low, col.high, col.close})
                    run << QPointF(col.index + 0.5, space.viewY(y));
            });
        flush();
    } else {
        for (std::size_t i = first; i < last; ++i) {
            const double x = xs.empty() ? static_cast<double>(i) : at(xs, i), y = at(ys, i);
            if (!finite(x) || !finite(y)) {
                flush();
                continue;
            }
            run << space.viewPoint(x, y);
        }
        if (symbolSize > 0) {
            painter.setBrush(pen.color());
            for (const QPointF& p : run)
                painter.drawEllipse(p, symbolSize / 2, symbolSize / 2);
        }
        flush();
    }
    painter.restore();
}

QColor TradingRangePlot::legendColor() const {
    return QColor(Qt::green);
}

void TradingRangePlot::draw(QPainter& painter, const PlotSpace& space, const PlotTheme& theme) const {
    const auto o = field(PlotField::Open), h = field(PlotField::High), l = field(PlotField::Low),
               c = field(PlotField::Close);
    const auto [first, last] = visibleRecords(space, 1.0);
    if (first >= last)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const bool candles = style == Style::Candlestick;
    const double slot = space.area().width() / space.xRange().length;

    if (slot < 2) {
        // Bars closer than two pixels: one stroke per pixel column from its lowest low to its
        // highest high, coloured by its first open against its last close.
        std::vector<QLineF> rising, falling;
        byPixelColumn(
            space, first, last,
            [&](std::size_t i) {
                return std::array<double, 4>{at(o, i), at(h, i), at(l, i), at(c, i)};
            },
            [&](const Column& col) {
                const double x = col.index + 0.5;
                (!candles || !(col.close < col.open) ? rising : falling)
                    .emplace_back(x, space.viewY(col.low), x, space.viewY(col.high));
            });
        painter.setPen(QPen(candles ? theme.risingOutline : theme.priceLine, 0));
        painter.drawLines(rising.data(), static_cast<int>(rising.size()));
        painter.setPen(QPen(theme.fallingFill, 0));
        painter.drawLines(falling.data(), static_cast<int>(falling.size()));
        painter.restore();
        return;
    }

    std::vector<QLineF> lines;
    std::vector<QRectF> risingBodies, fallingBodies;
    lines.reserve((last - first) * (candles ? 1 : 3));
    const double body = std::clamp(slot * 0.8, 1.0, barWidth);
    const double stick = std::min(stickLength, slot / 2);
    for (std::size_t i = first; i < last; ++i) {
        const double x = space.viewX(static_cast<double>(i));
        const double hi = at(h, i), lo = at(l, i), op = at(o, i), cl = at(c, i);
        if (finite(hi) && finite(lo))
            lines.emplace_back(x, space.viewY(lo), x, space.viewY(hi));
        if (candles) {
            if (!finite(op) || !finite(cl))
                continue;
            const double top = space.viewY(std::max(op, cl)), bottom = space.viewY(std::min(op, cl));
            (cl >= op ? risingBodies : fallingBodies).emplace_back(x - body / 2, top, body, bottom - top);
            continue;
        }
        if (finite(op))
            lines.emplace_back(x - stick, space.viewY(op), x, space.viewY(op));
        if (finite(cl))
            lines.emplace_back(x, space.viewY(cl), x + stick, space.viewY(cl));
    }
    painter.setPen(QPen(candles ? theme.wick : theme.priceLine, lineWidth));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    if (candles) {
        painter.setPen(QPen(theme.risingOutline, bodyLineWidth));
        painter.setBrush(theme.risingFill);
        painter.drawRects(risingBodies.data(), static_cast<int>(risingBodies.size()));
        painter.setPen(QPen(theme.fallingFill, bodyLineWidth));
        painter.setBrush(theme.fallingFill);
        painter.drawRects(fallingBodies.data(), static_cast<int>(fallingBodies.size()));
    }
    painter.restore();
}

void BarPlot::draw(QPainter& painter, const PlotSpace& space, const PlotTheme&) const {
    const auto ys = field(PlotField::Y);
    const auto [first, last] = visibleRecords(space, 1.0);
    const double width = std::max(1.0, widthFraction * space.area().width() / space.xRange().length);
    const double base = space.viewY(0);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t i = first; i < last; ++i) {
        const double y = at(ys, i);
        if (!finite(y))
            continue;
        const QColor custom = dataSource() ? dataSource()->barFill(*this, i) : QColor();
        const double x = space.viewX(static_cast<double>(i)), top = space.viewY(y);
        painter.fillRect(QRectF(x - width / 2, std::min(top, base), width, std::abs(base - top)),
                         custom.isValid() ? custom : fill);
    }
    painter.restore();
}

std::vector<double> PiePlot::sliceSpans() const {
    const auto sizes = field(PlotField::SliceWidth);
    return tc::charts::sliceAngles(sizes.first(std::min(sizes.size(), records())));
}

QPointF PiePlot::centreIn(const PlotSpace& space) const {
    return centre.isNull() ? space.area().center() : centre;
}

double PiePlot::radiusIn(const PlotSpace& space) const {
    return radius > 0 ? radius : std::min(space.area().width(), space.area().height()) * 0.35;
}

void PiePlot::draw(QPainter& painter, const PlotSpace& space, const PlotTheme&) const {
    const std::vector<double> spans = sliceSpans();
    const QPointF c = centreIn(space);
    const double r = radiusIn(space);
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(border);
    double angle = startAngle;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (spans[i] <= 0)
            continue;
        const double sweep = counterClockwise ? spans[i] : -spans[i];
        QPainterPath slice(c);
        slice.arcTo(box, angle * 180 / std::numbers::pi, sweep * 180 / std::numbers::pi);
        slice.closeSubpath();
        const QColor fill = dataSource() ? dataSource()->sliceFill(*this, i) : QColor();
        painter.setBrush(fill.isValid() ? fill : QColor(Qt::gray));
        painter.drawPath(slice);
        if (const QColor hatch = dataSource() ? dataSource()->sliceHatch(*this, i) : QColor();
            hatch.isValid())
            painter.fillPath(slice, QBrush(hatch, Qt::BDiagPattern));
        angle += sweep;
    }
    painter.restore();
}

} // namespace tc::gui
