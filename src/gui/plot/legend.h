#pragma once
// A legend: a swatch and a title per entry, in one row or in columns, anchored at a corner or
// side of the graph.
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

class QPainter;

namespace tc::gui {

struct LegendEntry {
    QString title;
    QColor swatch;
    QColor hatch; // stripes over the swatch, as over its slice; invalid: none
};

struct Legend {
    enum class Anchor { TopLeft, Right };
    Anchor anchor = Anchor::TopLeft;
    QPointF displacement; // pixels from the anchor
    int columns = 0;      // 0: one row; otherwise entries fill this many columns
    QSizeF swatchSize{12, 12};
    QFont font;
    QColor textColor; // invalid: the theme's legend text
    QColor fill;      // invalid: clear
    QVector<LegendEntry> entries;

    QSizeF size() const;
    QRectF frame(const QRectF& graph) const;
    void draw(QPainter& painter, const QRectF& graph, QColor themeText) const;
};

} // namespace tc::gui
