#pragma once
// The twenty-three technical studies, computed in double from the bars held when a study is
// switched on. Every study reads rows 0..size()-1 of the series and yields one value per bar.
//
// Values that cannot be computed (a zero divisor, a missing price in the window) are NaN or
// infinite and stay in the series; drawing and ranges skip them. A missing input price spoils only
// the values whose window holds it: sums track the missing prices of their window, and the
// recursive averages skip the bar and carry on (re-seeding from the plain average when needed).
#include "charts/bar_series.h"

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace tc::charts {

enum class Study {
    SimpleMovingAverage,
    ExponentialMovingAverage,
    BollingerBands,
    Macd,
    MacdHistogram,
    RateOfChange,
    StandardDeviation,
    CommodityChannelIndex,
    RelativeStrengthIndex,
    StochasticOscillator,
    DeMarker,
    Momentum,
    WilliamsPercentRange,
    BearsPower,
    BullsPower,
    RelativeVigourIndex,
    Trix,
    AverageTrueRange,
    AwesomeOscillator,
    AcceleratorOscillator,
    Alligator,
    Aroon,
    AroonOscillator,
};
inline constexpr std::size_t kStudyCount = 23;

// Every parameter a study may take; each study reads its own (see computeStudy()).
struct StudyParams {
    int period = 14;
    double deviation = 2.0;
    int fastPeriod = 12, slowPeriod = 26, signalPeriod = 9;
    int kPeriod = 5, dPeriod = 3, slowing = 3;
    int jawsPeriod = 13, teethPeriod = 8, lipsPeriod = 5;
};

enum class StudyError { None, PeriodBelowOne, DeviationNotFinite };

using Series = std::vector<double>;

struct StudyLine {
    std::string_view name; // an identifier ("SMA", "Upper", "Signal", ...), not a display text
    Series values;
};

struct StudyResult {
    std::vector<StudyLine> lines;
    StudyError error = StudyError::None;
    bool ok() const { return error == StudyError::None; }
};

// The whole-number parameters each study reads, in the order the analysis panel lists its fields
// (none for the awesome and accelerator oscillators).
enum class StudyParam {
    Period,
    Deviation,
    FastPeriod,
    SlowPeriod,
    SignalPeriod,
    KPeriod,
    DPeriod,
    Slowing,
    JawsPeriod,
    TeethPeriod,
    LipsPeriod,
};
std::span<const StudyParam> studyParamsOf(Study study);
// The study's parameters from `values` in that order (missing ones keep their defaults).
StudyParams studyParamsFrom(Study study, std::span<const long long> values);

// Whole standard deviations of the Bollinger bands: past five the bands lie far outside the prices.
inline constexpr long long kMinDeviation = 1;
inline constexpr long long kMaxDeviation = 5;

// The fewest bars on which the study has a value worked from whole windows: a period p needs p
// bars, a change over p bars p + 1, chained averages the sum of their lead-ins.
std::size_t barsNeeded(Study study, const StudyParams& params);

// What entered parameters draw on the bars a chart holds. Each must lie in its range: 1 up to the
// longest period whose study still has a value on those bars (the other periods at 1), the
// deviation kMinDeviation to kMaxDeviation; then the periods together must fit the bars.
struct StudyCheck {
    enum class Fault {
        None,
        OutOfRange,    // values[param] lies outside [min, max]
        TooFewBars,    // even the shortest periods need `needed` bars
        PeriodsTooLong // these periods together need `needed` bars
    };
    Fault fault = Fault::None;
    std::size_t param = 0;
    long long min = 0, max = 0;
    bool rangeFollowsBars = false; // the range is the bars' (a period), not a fixed one
    std::size_t needed = 0;
    bool ok() const { return fault == Fault::None; }
};
StudyCheck checkStudyParams(Study study, std::span<const long long> values, std::size_t bars);

// Periods: "period" for the single-period studies; fast, slow and signal for both MACD studies;
// %K, %D and slowing for the stochastic; jaws, teeth and lips for the Alligator; none for the
// awesome and accelerator oscillators (5 and 34). A period below 1 is refused.
StudyResult computeStudy(Study study, const StudyParams& params, const BarSeries& bars);

// The routines the studies share. A period of 0 gives NaN throughout.
// Mean of the last `period` values; the first period-1 entries average the values so far.
Series simpleMovingAverage(std::span<const double> values, std::size_t period);
// Entries 0..period-1 are the simple moving average (so the first full average seeds it); then
// prev + 2 / (period + 1) * (value - prev).
Series exponentialMovingAverage(std::span<const double> values, std::size_t period);
// Population standard deviation of the last `period` values (fewer at the start).
Series movingStandardDeviation(std::span<const double> values, std::size_t period);

// Bar colours of the awesome and accelerator oscillators: rising when the value is at least the
// previous bar's (the first bar, and a bar after a missing value, count as rising).
bool barRises(std::span<const double> values, std::size_t i);

} // namespace tc::charts
