#include "plot/plot_theme.h"

namespace plot {

std::optional<PlotTheme> PlotTheme::named(int number) {
    if (number != 0 && number != 1)
        return std::nullopt;
    const bool dark = number == 0;
    PlotTheme t;
    t.number = number;
    t.background = dark ? QColor(Qt::black) : QColor(Qt::white);
    t.border = QColor(Qt::gray);
    t.axis = dark ? QColor(Qt::lightGray) : QColor(Qt::black);
    t.grid = QColor(50, 50, 50);
    t.legendText = QColor(Qt::gray);
    t.overlayFill = dark ? QColor(20, 20, 20, 230) : QColor(248, 248, 248, 230);
    t.priceLine = QColor(Qt::green);
    // Light grey on white would all but vanish; the light theme draws wicks in plain grey.
    t.wick = dark ? QColor(Qt::lightGray) : QColor(Qt::gray);
    t.risingFill = dark ? QColor(Qt::black) : QColor(Qt::white);
    t.risingOutline = QColor(Qt::green);
    t.fallingFill = dark ? QColor(Qt::lightGray) : QColor(Qt::red);
    t.crosshair = QColor(40, 107, 158);
    return t;
}

} // namespace plot
