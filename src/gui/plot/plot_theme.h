#pragma once
// The two chart themes, 0 dark (black ground, light grey axes) and 1 light (white ground, black
// axes), read from the program's theme table (gui/app/theme_table.h).
#include <QColor>

#include <array>
#include <optional>

namespace tc::gui {

struct PlotTheme {
    int number = 0;
    QColor background;         // the whole graph
    QColor border;             // the plot area's frame
    QColor axis;               // axis lines, ticks and labels
    QColor grid;               // dashed grid lines
    QColor legendText;         // legends and the crosshair box
    QColor overlayFill;        // the crosshair box
    QColor priceLine;          // line chart and OHLC bars
    QColor wick;               // candlestick wicks
    QColor risingFill;         // candlestick body of a bar that closed at or above its open
    QColor risingOutline;      //
    QColor fallingFill;        // and of one that closed below
    QColor crosshair;          // crosshair lines and marker
    QColor crosshairTag;       // the crosshair's price tag
    QColor bidSeries;          // the bid and ask lines of the bid/ask chart
    QColor askSeries;          //
    QColor bidLine;            // the live bid and ask across the chart, and their price tags
    QColor askLine;            //
    QColor tagText;            // the text of those tags
    QColor studyRising;        // oscillator bars at or above the bar before
    QColor studyFalling;       // and below it; signal lines
    QColor macdBars, macdLine; // the studies' own series
    QColor rocLine, stdDevLine, tealLine, blueLine, aquaLine;
    QColor powerBars;                // bears and bulls power
    std::array<QColor, 5> pieSlices; // repeating after five

    QColor pieSlice(std::size_t index) const { return pieSlices[index % pieSlices.size()]; }

    // nullopt for numbers other than 0 and 1.
    static std::optional<PlotTheme> named(int number);
};

} // namespace tc::gui
