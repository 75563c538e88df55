#pragma once
// Marks drawn over the plots: a text box anchored at a plot point, a horizontal line at a price,
// and the crosshair (a vertical and a horizontal line through a point, with a dot on it and its
// price tagged on the right axis).
#include "gui/plot/plot_space.h"

#include <QColor>
#include <QFont>
#include <QPen>
#include <QString>

class QPainter;

namespace tc::gui {

struct TextAnnotation {
    QString identifier;
    double x = 0, y = 0;  // plot coordinates of the anchor (the box's left middle)
    QPointF displacement; // pixels from the anchor
    QString text;
    QColor textColor{Qt::white};
    QColor fill;
    double cornerRadius = 2.0;
    QFont font;
    // A tag on the price axis: kept within the plot area's height when its price lies above or
    // below the range, and pushed clear of the other pinned tags (see GraphView::textBoxes).
    bool pinned = false;
    // The box's rectangle in view coordinates, on its own.
    QRectF box(const PlotSpace& space) const;
    // Whether it is drawn at all: a finite anchor and some text.
    bool shown() const;
    void draw(QPainter& painter, const QRectF& box) const;
};

struct HorizontalLine {
    QString identifier;
    double y = 0;
    QPen pen;
    void draw(QPainter& painter, const PlotSpace& space) const;
};

struct Crosshair {
    double x = 0, y = 0;
    QPen pen;
    double symbolSize = 5;
    QString tag; // written in a box on the right axis at y; none when empty
    QColor tagText{Qt::white};
    QColor tagFill{Qt::darkGray}; // apart from the bid's and the ask's, so it is not read as either
    QFont font;
    // The tag's box in view coordinates, centred on y; empty without a tag or a finite y.
    QRectF tagBox(const PlotSpace& space) const;
    // The tag is drawn in `tagAt` (where the graph placed it among the other tags).
    void draw(QPainter& painter, const PlotSpace& space, const QRectF& tagAt) const;
};

} // namespace tc::gui
