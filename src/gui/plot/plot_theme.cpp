#include "gui/plot/plot_theme.h"

#include "gui/app/theme_table.h"

namespace tc::gui {

static_assert(std::tuple_size_v<decltype(PlotTheme::pieSlices)> == kPieSliceColours);

std::optional<PlotTheme> PlotTheme::named(int number) {
    if (!isTheme(number))
        return std::nullopt;
    const auto colour = [number](ThemeRole role) {
        const Rgba c = colourOf(number, role);
        return QColor(c.r, c.g, c.b, c.a);
    };
    PlotTheme t;
    t.number = number;
    t.background = colour(ThemeRole::ChartGround);
    t.border = colour(ThemeRole::ChartBorder);
    t.axis = colour(ThemeRole::ChartAxis);
    t.grid = colour(ThemeRole::ChartGrid);
    t.legendText = colour(ThemeRole::ChartLegendText);
    t.overlayFill = colour(ThemeRole::ChartOverlayFill);
    t.priceLine = colour(ThemeRole::ChartPriceLine);
    t.wick = colour(ThemeRole::ChartWick);
    t.risingFill = colour(ThemeRole::ChartRisingFill);
    t.risingOutline = colour(ThemeRole::ChartRisingOutline);
    t.fallingFill = colour(ThemeRole::ChartFallingFill);
    t.crosshair = colour(ThemeRole::ChartCrosshair);
    t.crosshairTag = colour(ThemeRole::ChartCrosshairTag);
    t.bidSeries = colour(ThemeRole::ChartBidSeries);
    t.askSeries = colour(ThemeRole::ChartAskSeries);
    t.bidLine = colour(ThemeRole::ChartBidLine);
    t.askLine = colour(ThemeRole::ChartAskLine);
    t.tagText = colour(ThemeRole::ChartTagText);
    t.studyRising = colour(ThemeRole::StudyRising);
    t.studyFalling = colour(ThemeRole::StudyFalling);
    t.macdBars = colour(ThemeRole::StudyMacdBars);
    t.macdLine = colour(ThemeRole::StudyMacdLine);
    t.rocLine = colour(ThemeRole::StudyRocLine);
    t.stdDevLine = colour(ThemeRole::StudyStdDevLine);
    t.tealLine = colour(ThemeRole::StudyTealLine);
    t.blueLine = colour(ThemeRole::StudyBlueLine);
    t.aquaLine = colour(ThemeRole::StudyAquaLine);
    t.powerBars = colour(ThemeRole::StudyPowerBars);
    for (std::size_t i = 0; i < t.pieSlices.size(); ++i)
        t.pieSlices[i] = colour(pieSliceRole(i));
    return t;
}

} // namespace tc::gui
