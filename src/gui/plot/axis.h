#pragma once
// An axis along the bottom (x) or the right (y) edge of the plot area with labels at given
// locations, a tick and a dashed grid line at each. Labels whose location is not finite or lies
// outside the range are left out.
#include "gui/plot/plot_space.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QVector>

#include <utility>
#include <vector>

class QPainter;

namespace tc::gui {

struct AxisLabel {
    double location = 0;
    QString text;
};

class Axis {
public:
    enum class Edge { Bottom, Right };
    explicit Axis(Edge edge) : edge_(edge) {}

    Edge edge() const { return edge_; }
    bool visible = true;
    bool gridLines = true;
    double lineWidth = 1.0;
    double tickLength = 3.0;
    double gridWidth = 0.8;
    QFont font;
    QVector<AxisLabel> labels;

    // A label that is drawn and its text's box in view coordinates.
    struct LaidLabel {
        QRectF box;
        const AxisLabel* label = nullptr;
    };
    // The labels drawn, in order: each centred on its tick but whole inside `bounds`; one that
    // would overlap the label before it or one of `covered` (boxes drawn over the axis, such as
    // price tags) is left out, its tick kept.
    std::vector<LaidLabel> layoutLabels(const PlotSpace& space, const QRectF& bounds,
                                        const std::vector<QRectF>& covered = {}) const;
    // Lines and labels in the theme's axis colour (see layoutLabels()).
    void draw(QPainter& painter, const PlotSpace& space, QColor axis, const QRectF& bounds,
              const std::vector<QRectF>& covered = {}) const;
    // Grid lines only, drawn under the plots.
    void drawGrid(QPainter& painter, const PlotSpace& space, QColor grid) const;

private:
    // The labels inside the range, each with where its tick stands in view coordinates.
    std::vector<std::pair<double, const AxisLabel*>> placed(const PlotSpace& space) const;

    Edge edge_;
};

} // namespace tc::gui
