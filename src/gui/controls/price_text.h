#pragma once
// Drawing of a quote with its big figure enlarged and its last digits small and raised, centred
// in a rectangle (the quotes board's price cells, the order ticket's buttons).
#include "gui/controls/input_rules.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace tc::gui {

struct PriceTextStyle {
    QFont font; // the base font
    QColor colour;
    double bigGrowth = 12; // the big digits' size over the base size, in points
};

// The size the highlighted text needs.
QSizeF priceTextSize(const PriceHighlight& price, const PriceTextStyle& style);
void drawPriceText(QPainter& painter, const QRectF& rect, const PriceHighlight& price,
                   const PriceTextStyle& style);
// A text whose last two characters are 10 points larger (the order ticket's labels).
PriceHighlight lastCharactersEnlarged(const QString& text);

} // namespace tc::gui
