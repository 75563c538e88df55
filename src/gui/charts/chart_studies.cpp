// The chart's studies: their plots over the prices and on the lower graph, the lower graph's axes,
// and the live update that waits while a study is shown.
#include "gui/charts/chart_controller.h"
#include "gui/charts/titled_graph.h"

#include <QLabel>

#include <algorithm>
#include <array>
#include <cmath>

namespace tc::gui {

namespace {

using tc::charts::Study;

// A study's plot: its identifier, the line of the study's result it draws, bars or a line, and its
// colour: one of the user's (user >= 0) or a theme's.
struct StudyPlot {
    const char* id;
    std::size_t line;
    bool bars;
    int user;
    QColor PlotTheme::*colour;
    bool dashed = false;
};

using Plots = std::vector<StudyPlot>;

// In the order they are built: bars under lines.
const Plots& plotsOf(Study study) {
    static const std::array<Plots, tc::charts::kStudyCount> table{{
        {{"SMA", 0, false, 0, nullptr}},
        {{"EMA", 0, false, 0, nullptr}},
        {{"bbMidBandPlot", 0, false, 0, nullptr},
         {"bbUpperBandPlot", 1, false, 0, nullptr},
         {"bbLowerBandPlot", 2, false, 0, nullptr}},
        {{"MACDBarPlot", 2, true, -1, &PlotTheme::macdBars},
         {"MACDLinePlot", 0, false, -1, &PlotTheme::macdLine},
         {"MACDSignalLinePlot", 1, false, -1, &PlotTheme::studyFalling}},
        {{"MACDBarPlot", 2, true, -1, &PlotTheme::macdBars},
         {"MACDSignalLinePlot", 1, false, -1, &PlotTheme::studyFalling}},
        {{"ROCPlot", 0, false, -1, &PlotTheme::rocLine}},
        {{"StdDevPlot", 0, false, -1, &PlotTheme::stdDevLine}},
        {{"CCILinePlot", 0, false, -1, &PlotTheme::tealLine}},
        {{"RSILinePlot", 0, false, -1, &PlotTheme::blueLine}},
        {{"StochMainLinePlot", 0, false, -1, &PlotTheme::tealLine},
         {"StochSignalLinePlot", 1, false, -1, &PlotTheme::studyFalling, true}},
        {{"DeMarkerLinePlot", 0, false, -1, &PlotTheme::tealLine}},
        {{"MomentumLinePlot", 0, false, -1, &PlotTheme::blueLine}},
        {{"WilliamPercentLinePlot", 0, false, -1, &PlotTheme::aquaLine}},
        {{"BearsBarPlot", 0, true, -1, &PlotTheme::powerBars}},
        {{"BullsBarPlot", 0, true, -1, &PlotTheme::powerBars}},
        {{"RVIMainLinePlot", 0, false, -1, &PlotTheme::studyRising},
         {"RVISignalLinePlot", 1, false, -1, &PlotTheme::studyFalling}},
        {{"TRIXLinePlot", 0, false, -1, &PlotTheme::studyFalling}},
        {{"ATRLinePlot", 0, false, -1, &PlotTheme::tealLine}},
        {{"AOBarPlot", 0, true, -1, &PlotTheme::studyRising}},
        {{"ACBarPlot", 0, true, -1, &PlotTheme::studyRising}},
        {{"JawsLinePlot", 0, false, 0, nullptr},
         {"TeethLinePlot", 1, false, 1, nullptr},
         {"LipsLinePlot", 2, false, 2, nullptr}},
        {{"AroonUpLinePlot", 0, false, -1, &PlotTheme::studyRising},
         {"AroonDownLinePlot", 1, false, -1, &PlotTheme::studyFalling}},
        {{"AroonOscillatorLinePlot", 0, false, -1, &PlotTheme::studyFalling}},
    }};
    return table[static_cast<std::size_t>(study)];
}

bool risesOrFalls(const QString& id) {
    return id == QLatin1String("AOBarPlot") || id == QLatin1String("ACBarPlot");
}

// Up to `decimals` places, without trailing zeros: "20", "0.0012".
QString studyNumber(double value, int decimals) {
    QString text = QString::number(value + 0.0, 'f', std::clamp(decimals == 0 ? 2 : decimals, 0, 10));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

} // namespace

QWidget& ChartController::indicatorView() {
    return *indicatorView_;
}

tc::charts::StudyError ChartController::loadStudy(Study study, const tc::charts::StudyParams& params,
                                                  const QList<QColor>& colours, const QString& title) {
    tc::charts::StudyResult result = tc::charts::computeStudy(study, params, chart_.bars());
    if (!result.ok())
        return result.error;
    if (board_.shows(study))
        removeStudy(study);
    if (const auto replaced = board_.switchOn(study))
        removeStudyPlots(*replaced);
    shown_.erase(std::remove_if(shown_.begin(), shown_.end(),
                                [this](const ShownStudy& s) { return !board_.shows(s.study); }),
                 shown_.end());
    shown_.push_back({study, std::move(result), params, colours, title});
    addStudyPlots(shown_.back());
    if (!tc::charts::isPriceStudy(study)) {
        indicatorTitle_->setText(title);
        indicatorView_->show();
    }
    refreshView();
    return tc::charts::StudyError::None;
}

void ChartController::removeStudy(Study study) {
    board_.switchOff(study);
    removeStudyPlots(study);
    shown_.erase(std::remove_if(shown_.begin(), shown_.end(),
                                [study](const ShownStudy& s) { return s.study == study; }),
                 shown_.end());
    if (!board_.lowerPaneShown())
        indicatorView_->hide();
    refreshView();
}

void ChartController::dropStudies() {
    for (const ShownStudy& s : shown_)
        removeStudyPlots(s.study);
    shown_.clear();
    board_.clear();
    indicatorView_->hide();
}

void ChartController::recomputeStudies() {
    for (ShownStudy& shown : shown_)
        if (auto result = tc::charts::computeStudy(shown.study, shown.params, chart_.bars()); result.ok())
            shown.result = std::move(result);
}

void ChartController::addStudyPlots(const ShownStudy& shown) {
    const bool price = tc::charts::isPriceStudy(shown.study);
    GraphView& graph = price ? *graph_ : *indicatorGraph_;
    const PlotTheme& theme = graph.theme();
    for (const StudyPlot& p : plotsOf(shown.study)) {
        QColor colour = p.colour ? theme.*p.colour : QColor();
        if (p.user >= 0)
            colour = p.user < shown.colours.size() ? shown.colours[p.user] : theme.priceLine;
        std::unique_ptr<Plot> plot;
        if (p.bars) {
            auto bars = std::make_unique<BarPlot>(QString::fromLatin1(p.id));
            bars->fill = colour;
            plot = std::move(bars);
        } else {
            auto line = std::make_unique<LinePlot>(QString::fromLatin1(p.id));
            line->pen = QPen(colour, 1.8);
            if (p.dashed)
                line->pen.setDashPattern({3, 3});
            plot = std::move(line);
        }
        plot->setDataSource(this);
        graph.addPlot(std::move(plot));
    }
}

void ChartController::removeStudyPlots(Study study) {
    GraphView& graph = tc::charts::isPriceStudy(study) ? *graph_ : *indicatorGraph_;
    for (const StudyPlot& p : plotsOf(study))
        graph.removePlot(QString::fromLatin1(p.id));
}

const tc::charts::Series* ChartController::studySeries(const QString& identifier) const {
    for (const ShownStudy& s : shown_)
        for (const StudyPlot& p : plotsOf(s.study))
            if (identifier == QLatin1String(p.id) && p.line < s.result.lines.size())
                return &s.result.lines[p.line].values;
    return nullptr;
}

QColor ChartController::barFill(const BarPlot& plot, std::size_t record) const {
    if (!risesOrFalls(plot.identifier()))
        return {};
    const tc::charts::Series* values = studySeries(plot.identifier());
    if (!values)
        return {};
    // Against the bar before, whichever bar is drawn first.
    const PlotTheme& theme = indicatorGraph_->theme();
    return tc::charts::barRises(*values, record) ? theme.studyRising : theme.studyFalling;
}

void ChartController::refreshIndicator() {
    if (!indicatorGraph_)
        return;
    const auto lower = board_.lowerStudy();
    const ShownStudy* shown = nullptr;
    for (const ShownStudy& s : shown_)
        if (lower && s.study == *lower)
            shown = &s;
    if (!shown)
        return;
    PlotSpace& space = indicatorGraph_->defaultPlotSpace();
    space.setXRange(chart_.viewport().xRange());
    const std::size_t line = tc::charts::rangeLineOf(shown->study);
    const tc::charts::Series& range =
        shown->result.lines.at(std::min(line, shown->result.lines.size() - 1)).values;
    const auto [first, last] = chart_.viewport().visibleBars();
    const std::size_t count = std::min(range.size(), chart_.bars().size());
    const tc::charts::StudyAxis axis =
        tc::charts::studyAxis(std::span(range).first(count), first, last, chart_.viewport().width(), count);
    space.setYRange(axis.y);
    QVector<AxisLabel> xs, ys;
    for (std::size_t bar : axis.xTicks)
        xs.push_back({static_cast<double>(bar), QString()});
    // Enough decimals for the step, so that neighbouring labels never read the same.
    const int stepDecimals = static_cast<int>(std::ceil(-std::log10(axis.tickInterval) - 1e-9));
    const int decimals = std::max(chart_.decimals() == 0 ? 2 : chart_.decimals(), stepDecimals);
    for (double v : axis.yTicks)
        ys.push_back({v, studyNumber(v, decimals)});
    indicatorGraph_->xAxis().labels = std::move(xs);
    indicatorGraph_->yAxis().labels = std::move(ys);
    indicatorGraph_->update();
}

} // namespace tc::gui
