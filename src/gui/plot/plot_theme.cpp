#include "gui/plot/plot_theme.h"

namespace tc::gui {

std::optional<PlotTheme> PlotTheme::named(int number) {
    if (number != 0 && number != 1)
        return std::nullopt;
    const bool dark = number == 0;
    PlotTheme t;
    t.number = number;
    t.background = dark ? QColor(Qt::black) : QColor(Qt::white);
    t.border = dark ? QColor(Qt::gray) : QColor(128, 128, 128);
    t.axis = dark ? QColor(Qt::lightGray) : QColor(Qt::black);
    t.grid = QColor(50, 50, 50);
    t.legendText = dark ? QColor(Qt::gray) : QColor(96, 96, 96);
    t.overlayFill = dark ? QColor(20, 20, 20, 230) : QColor(248, 248, 248, 230);
    const QColor green = dark ? QColor(Qt::green) : QColor(0, 150, 0);
    t.priceLine = green;
    t.wick = dark ? QColor(Qt::lightGray) : QColor(128, 128, 128);
    t.risingFill = dark ? QColor(Qt::black) : QColor(Qt::white);
    t.risingOutline = green;
    t.fallingFill = dark ? QColor(Qt::lightGray) : QColor(Qt::red);
    t.crosshair = QColor(40, 107, 158);
    t.bidSeries = QColor(Qt::red);
    t.askSeries = dark ? QColor(64, 128, 255) : QColor(Qt::blue);
    return t;
}

} // namespace tc::gui
