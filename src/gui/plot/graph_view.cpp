#include "gui/plot/graph_view.h"

#include "gui/plot/axis_tag_rules.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tc::gui {

GraphView::GraphView(QWidget* parent) : QWidget(parent), theme_(*PlotTheme::named(0)) {
    spaces_.push_back(std::make_unique<PlotSpace>(kDefaultSpace));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    // Time runs left to right and labels read so in every language: a chart is never mirrored.
    setLayoutDirection(Qt::LeftToRight);
    QFont font = this->font();
    font.setPixelSize(12);
    xAxis_.font = yAxis_.font = font;
    // Room below the plot for the time labels in whatever font the system gives (Noto is taller).
    padding_.setBottom(
        std::max(padding_.bottom(), std::ceil(xAxis_.tickLength + 1 + QFontMetricsF(font).height())));
    layout(rect());
}

GraphView::~GraphView() = default;

void GraphView::setTheme(const PlotTheme& theme) {
    theme_ = theme;
    update();
}

void GraphView::setPlotAreaPadding(QMarginsF padding) {
    padding_ = padding;
    layout(rect());
    update();
}

QRectF GraphView::plotArea() const {
    return QRectF(rect()).marginsRemoved(padding_);
}

PlotSpace* GraphView::plotSpace(const QString& identifier) {
    for (auto& s : spaces_)
        if (s->identifier() == identifier)
            return s.get();
    return nullptr;
}

Plot& GraphView::addPlot(std::unique_ptr<Plot> plot) {
    removePlot(plot->identifier());
    plots_.push_back(std::move(plot));
    update();
    return *plots_.back();
}

Plot* GraphView::plot(const QString& identifier) const {
    for (const auto& p : plots_)
        if (p->identifier() == identifier)
            return p.get();
    return nullptr;
}

void GraphView::removePlot(const QString& identifier) {
    std::erase_if(plots_, [&](const auto& p) { return p->identifier() == identifier; });
    update();
}

void GraphView::removeAllPlots() {
    plots_.clear();
    update();
}

void GraphView::setTextAnnotation(TextAnnotation annotation) {
    removeAnnotation(annotation.identifier);
    texts_.push_back(std::move(annotation));
    update();
}

void GraphView::setHorizontalLine(HorizontalLine line) {
    removeAnnotation(line.identifier);
    lines_.push_back(std::move(line));
    update();
}

void GraphView::removeAnnotation(const QString& identifier) {
    std::erase_if(texts_, [&](const auto& a) { return a.identifier == identifier; });
    std::erase_if(lines_, [&](const auto& a) { return a.identifier == identifier; });
    update();
}

void GraphView::removeAllAnnotations() {
    texts_.clear();
    lines_.clear();
    update();
}

GraphView::PlacedTags GraphView::placeTags() const {
    const PlotSpace& space = *spaces_.front();
    PlacedTags placed;
    std::vector<std::size_t> pinned;
    std::vector<AxisTag> tags;
    for (const TextAnnotation& text : texts_) {
        placed.texts.push_back(text.box(space));
        if (text.pinned && text.shown()) {
            pinned.push_back(placed.texts.size() - 1);
            // Where its price stands, even off the plot: two prices below the view keep their order.
            const double wanted = space.viewPoint(text.x, text.y).y() + text.displacement.y();
            tags.push_back({wanted, placed.texts.back().height()});
        }
    }
    if (crosshair_) {
        placed.crosshairTag = crosshair_->tagBox(space);
        if (!placed.crosshairTag.isEmpty())
            tags.push_back({placed.crosshairTag.center().y(), placed.crosshairTag.height()});
    }
    // Two prices a pip apart on a short chart would put one tag over the other.
    const QRectF area = space.area();
    const std::vector<double> tops = spreadTags(tags, area.top(), area.bottom());
    for (std::size_t i = 0; i < pinned.size(); ++i)
        placed.texts[pinned[i]].moveTop(tops[i]);
    if (tags.size() > pinned.size())
        placed.crosshairTag.moveTop(tops.back());
    return placed;
}

std::vector<QRectF> GraphView::textBoxes() const {
    return placeTags().texts;
}

QRectF GraphView::crosshairTagBox() const {
    return placeTags().crosshairTag;
}

void GraphView::setCrosshair(std::optional<Crosshair> crosshair) {
    crosshair_ = std::move(crosshair);
    update();
}

void GraphView::setLegend(std::optional<Legend> legend) {
    legend_ = std::move(legend);
    update();
}

void GraphView::layout(const QRectF& bounds) {
    const QRectF area = bounds.marginsRemoved(padding_);
    for (auto& s : spaces_)
        s->setArea(area.isValid() ? area : QRectF(bounds.topLeft(), QSizeF(1, 1)));
}

void GraphView::paint(QPainter& painter, const QRect& target) {
    // Also when painted into a pixmap or a printer, which take the application's direction.
    painter.setLayoutDirection(Qt::LeftToRight);
    layout(target);
    const PlotSpace& space = *spaces_.front();
    const QRectF area = space.area();
    painter.fillRect(target, theme_.background);

    xAxis_.drawGrid(painter, space, theme_.grid);
    yAxis_.drawGrid(painter, space, theme_.grid);

    painter.save();
    painter.setClipRect(area);
    for (const auto& p : plots_) {
        const PlotSpace* own = p->plotSpace().isEmpty() ? &space : plotSpace(p->plotSpace());
        p->draw(painter, own ? *own : space, theme_);
    }
    for (const auto& line : lines_)
        line.draw(painter, space);
    painter.restore();

    if (border.style() != Qt::NoPen) {
        painter.save();
        QPen pen = border;
        pen.setColor(theme_.border);
        painter.setPen(pen);
        // A plot area reaching the view's edge keeps its whole frame: the line falls inside the view.
        const double inset = std::max(1.0, pen.widthF());
        painter.drawRect(area.intersected(QRectF(target).adjusted(0, 0, -inset, -inset)));
        painter.restore();
    }
    // Price tags and the crosshair's tag are drawn over the price axis: its labels give way.
    const PlacedTags placed = placeTags();
    const std::vector<QRectF>& boxes = placed.texts;
    std::vector<QRectF> tags;
    for (std::size_t i = 0; i < texts_.size(); ++i)
        if (texts_[i].shown())
            tags.push_back(boxes[i]);
    if (!placed.crosshairTag.isEmpty())
        tags.push_back(placed.crosshairTag);
    xAxis_.draw(painter, space, theme_.axis, QRectF(target));
    yAxis_.draw(painter, space, theme_.axis, QRectF(target), tags);
    for (std::size_t i = 0; i < texts_.size(); ++i)
        texts_[i].draw(painter, boxes[i]);
    if (crosshair_) {
        painter.save();
        painter.setClipRect(target);
        crosshair_->draw(painter, space, placed.crosshairTag);
        painter.restore();
    }
    if (legend_)
        legend_->draw(painter, QRectF(target), theme_.legendText);
}

void GraphView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, rect());
}

void GraphView::resizeEvent(QResizeEvent*) {
    layout(rect());
}

void GraphView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = true;
    defaultPlotSpace().pointerDown(event->position());
    update();
}

void GraphView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_)
        return;
    defaultPlotSpace().pointerDragged(event->position());
    update();
}

void GraphView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    defaultPlotSpace().pointerUp(event->position());
    update();
}

void GraphView::wheelEvent(QWheelEvent* event) {
    // One notch (120) zooms in or out by a fifth.
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0 || !plotArea().contains(event->position()))
        return;
    defaultPlotSpace().scaleBy(std::pow(1.2, notches), event->position());
    event->accept();
    update();
}

} // namespace tc::gui
