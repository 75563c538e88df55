#pragma once
// A graph in a widget: a plot area inside paddings, plot spaces mapping data onto it, plots,
// a bottom and a right axis, text and line annotations, an optional crosshair and a legend, all
// drawn with QPainter in one of the two themes. Pointer drags and wheel turns go to the default
// plot space, which asks its delegate.
#include "gui/plot/annotation.h"
#include "gui/plot/axis.h"
#include "gui/plot/legend.h"
#include "gui/plot/plot.h"
#include "gui/plot/plot_space.h"
#include "gui/plot/plot_theme.h"

#include <QMarginsF>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace tc::gui {

class GraphView : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kDefaultSpace = "Graph";

    explicit GraphView(QWidget* parent = nullptr);
    ~GraphView() override;

    const PlotTheme& theme() const { return theme_; }
    void setTheme(const PlotTheme& theme);
    // Space between the widget's edge and the plot area (axes and labels live there).
    void setPlotAreaPadding(QMarginsF padding);
    QRectF plotArea() const;
    QPen border{QColor(Qt::gray), 0.6};

    PlotSpace& defaultPlotSpace() { return *spaces_.front(); }
    PlotSpace* plotSpace(const QString& identifier);

    // The graph owns its plots; adding one with an identifier already present replaces it.
    Plot& addPlot(std::unique_ptr<Plot> plot);
    Plot* plot(const QString& identifier) const;
    void removePlot(const QString& identifier);
    void removeAllPlots();
    const std::vector<std::unique_ptr<Plot>>& plots() const { return plots_; }

    Axis& xAxis() { return xAxis_; }
    Axis& yAxis() { return yAxis_; }

    // Annotations by identifier; setting one again replaces it.
    void setTextAnnotation(TextAnnotation annotation);
    void setHorizontalLine(HorizontalLine line);
    void removeAnnotation(const QString& identifier);
    void removeAllAnnotations();
    const std::vector<TextAnnotation>& textAnnotations() const { return texts_; }
    // Where each text annotation stands, in the order of textAnnotations(): the pinned tags of the
    // price axis pushed apart so that none covers another.
    std::vector<QRectF> textBoxes() const;
    // The crosshair's price tag where it stands among them; empty without one.
    QRectF crosshairTagBox() const;
    void setCrosshair(std::optional<Crosshair> crosshair);
    const std::optional<Crosshair>& crosshair() const { return crosshair_; }
    void setLegend(std::optional<Legend> legend);
    const std::optional<Legend>& legend() const { return legend_; }

    // Draws the whole graph into `target` (for images and printing): the plot spaces are laid
    // out for it.
    void paint(QPainter& painter, const QRect& target);
    // Asks for a repaint after the data source's records changed.
    void reloadData() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The pinned tags and the crosshair's tag, spread down the price axis in price order.
    struct PlacedTags {
        std::vector<QRectF> texts;
        QRectF crosshairTag;
    };
    PlacedTags placeTags() const;

    void layout(const QRectF& bounds);

    PlotTheme theme_;
    QMarginsF padding_{0, 0, 60, 20};
    std::vector<std::unique_ptr<PlotSpace>> spaces_;
    std::vector<std::unique_ptr<Plot>> plots_;
    Axis xAxis_{Axis::Edge::Bottom};
    Axis yAxis_{Axis::Edge::Right};
    std::vector<TextAnnotation> texts_;
    std::vector<HorizontalLine> lines_;
    std::optional<Crosshair> crosshair_;
    std::optional<Legend> legend_;
    bool pressed_ = false;
};

} // namespace tc::gui
