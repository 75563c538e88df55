#pragma once
// Which studies a chart shows, and what that means for the chart: the price studies (SMA, EMA,
// Bollinger bands, Alligator) combine over the prices, the oscillators take the lower graph one at
// a time, and while any study is shown the live update stays frozen, so the bars a study was
// computed from stay the bars it is drawn over. The lower graph's ranges and ticks are here too.
#include "charts/studies.h"
#include "charts/viewport.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace tc::charts {

// Drawn over the prices (true) or on the lower graph.
bool isPriceStudy(Study study);

class StudyBoard {
public:
    // Shows a study. An oscillator replaces the one on the lower graph, which it returns.
    std::optional<Study> switchOn(Study study);
    // Hides a study; a study not shown changes nothing.
    void switchOff(Study study);
    // Every study hidden (a new instrument or interval: the studies no longer match the bars).
    void clear() { shown_.clear(); }

    bool shows(Study study) const;
    // In the order they were switched on.
    const std::vector<Study>& shown() const { return shown_; }
    std::optional<Study> lowerStudy() const;
    bool lowerPaneShown() const { return lowerStudy().has_value(); }
    // The live update waits while any study is shown.
    bool frozen() const { return !shown_.empty(); }

private:
    std::vector<Study> shown_;
};

// The series of a lower-graph study whose visible values give the graph its y range: MACD its
// line, the MACD histogram the histogram, the stochastic and the RVI their signal lines, Aroon
// its Up line, every other study its one line. An index into StudyResult::lines.
std::size_t rangeLineOf(Study study);

// 1, 2 or 5 times a power of ten, the nearest to `wanted` by ratio: an axis step whose labels read
// as round numbers.
double roundStep(double wanted);

struct StudyAxis {
    AxisRange y{0, 1};
    double tickInterval = 0; // the round step nearest a quarter of the visible span
    std::vector<double> yTicks;
    std::vector<std::size_t> xTicks; // bars with a tick and a grid line, across all the bars
};

// The lower graph's axes for `values` (one per bar; values that are not finite are skipped) seen
// through bars [first, last): the y range from min - 0.2 % of the span, 110 % of the span long
// (a flat or empty window still gets a range of its own), ticks at the whole multiples of a round
// step (see roundStep()) of about a quarter of the span inside that range, and x ticks every sixth of `width`
// bars, at least one bar apart, below `count`.
StudyAxis studyAxis(std::span<const double> values, std::size_t first, std::size_t last, double width,
                    std::size_t count);

} // namespace tc::charts
