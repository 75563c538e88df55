#include "charts/studies.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

namespace tc::charts {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The oscillators' fixed periods: the awesome oscillator's two averages of the median price, and
// the accelerator's average of the awesome oscillator.
constexpr std::size_t kAwesomeFast = 5, kAwesomeSlow = 34, kAcceleratorAverage = 5;

bool finite(double v) {
    return std::isfinite(v);
}

// A sum that values enter and leave, with Neumaier's compensation so that a long series adding
// and removing prices does not drift. Values that are not finite are only counted.
class WindowSum {
public:
    void add(double v) {
        if (!finite(v)) {
            ++missing_;
            return;
        }
        const double t = sum_ + v;
        carry_ += std::abs(sum_) >= std::abs(v) ? (sum_ - t) + v : (v - t) + sum_;
        sum_ = t;
    }
    void remove(double v) {
        if (!finite(v)) {
            --missing_;
            return;
        }
        add(-v);
    }
    double value() const { return sum_ + carry_; }
    bool complete() const { return missing_ == 0; }

private:
    double sum_ = 0, carry_ = 0;
    std::size_t missing_ = 0;
};

// A value that every series of a study may subtract before squaring, so that the sum of squares
// of prices far from zero does not cancel: the first finite value.
double reference(std::span<const double> values) {
    for (double v : values)
        if (finite(v))
            return v;
    return 0;
}

// Sliding extreme of the last `period` values with the lead-in rule of the highest-high and
// lowest-low windows: until `period` values have been seen the result is the value itself.
// `Before(a, b)` is true when a is the better extreme; the oldest of equal extremes is kept, so
// front() is also where the extreme stands.
template <typename Before>
class WindowExtreme {
public:
    WindowExtreme(std::span<const double> values, std::size_t period)
        : values_(values), period_(period), ring_(std::min(period, values.size()) + 1) {}

    // Enters value i (values enter in order) and drops the one that left the window.
    void enter(std::size_t i) {
        if (i >= period_ && !finite(values_[i - period_]))
            --missing_;
        while (size_ > 0 && front() + period_ <= i)
            popFront();
        const double v = values_[i];
        if (!finite(v)) {
            ++missing_;
            return;
        }
        while (size_ > 0 && Before()(v, values_[back()]))
            --size_;
        ring_[wrap(head_ + size_)] = i;
        ++size_;
    }
    bool full(std::size_t i) const { return i + 1 >= period_; }
    bool complete() const { return missing_ == 0 && size_ > 0; }
    std::size_t where() const { return front(); }
    double value() const { return values_[front()]; }

private:
    // A ring of indices with decreasing (increasing) values: a deque without its allocations.
    std::size_t wrap(std::size_t k) const { return k >= ring_.size() ? k - ring_.size() : k; }
    std::size_t front() const { return ring_[head_]; }
    std::size_t back() const { return ring_[wrap(head_ + size_ - 1)]; }
    void popFront() {
        head_ = wrap(head_ + 1);
        --size_;
    }

    std::span<const double> values_;
    std::size_t period_;
    std::vector<std::size_t> ring_;
    std::size_t head_ = 0, size_ = 0;
    std::size_t missing_ = 0;
};
using WindowHigh = WindowExtreme<std::greater<>>;
using WindowLow = WindowExtreme<std::less<>>;

Series elementwise(std::span<const double> a, std::span<const double> b, double (*op)(double, double)) {
    Series out(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        out[i] = op(a[i], b[i]);
    return out;
}
double minus(double a, double b) {
    return a - b;
}

// Entry i: f(x_i, x_{i-period}); the first `period` entries are 0.
template <typename F>
Series againstEarlier(std::span<const double> x, std::size_t period, F f) {
    Series out(x.size(), 0.0);
    for (std::size_t i = period; i < x.size(); ++i)
        out[i] = f(x[i], x[i - period]);
    return out;
}

Series rateOfChange(std::span<const double> x, std::size_t period) {
    return againstEarlier(x, period, [](double now, double then) { return (now - then) / then * 100; });
}

Series momentum(std::span<const double> x, std::size_t period) {
    return againstEarlier(x, period, [](double now, double then) { return now / then * 100; });
}

struct Bands {
    Series middle, upper, lower;
};

// Mean and population deviation over the window, from sums of values less a reference price.
template <typename Report>
void windowDeviation(std::span<const double> x, std::size_t period, Report report) {
    const double ref = reference(x);
    WindowSum sum, squares;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = x[i] - ref;
        sum.add(v);
        squares.add(v * v);
        if (i >= period) {
            const double u = x[i - period] - ref;
            sum.remove(u);
            squares.remove(u * u);
        }
        if (!sum.complete()) {
            report(i, kNaN, kNaN);
            continue;
        }
        const double n = static_cast<double>(std::min(i + 1, period));
        const double mean = sum.value() / n;
        // Rounding may leave a window of equal prices a hair below zero.
        const double variance = std::max(0.0, (squares.value() - mean * sum.value()) / n);
        report(i, mean + ref, std::sqrt(variance));
    }
}

Bands bollingerBands(std::span<const double> x, std::size_t period, double k) {
    Bands b{Series(x.size()), Series(x.size()), Series(x.size())};
    windowDeviation(x, period, [&](std::size_t i, double mean, double sigma) {
        b.middle[i] = mean;
        b.upper[i] = mean + k * sigma;
        b.lower[i] = mean - k * sigma;
    });
    return b;
}

// Mean absolute deviation of the window's values from `centre[i]`, by walking the window; the
// walk costs the period per bar, so long periods use ranked sums instead.
Series meanDeviationWalk(std::span<const double> x, std::span<const double> centre, std::size_t period) {
    Series out(x.size(), kNaN);
    for (std::size_t i = period - 1; i < x.size(); ++i) {
        double sum = 0;
        for (std::size_t j = i + 1 - period; j <= i; ++j)
            sum += std::abs(centre[i] - x[j]);
        out[i] = sum / static_cast<double>(period);
    }
    return out;
}

// The same with two Fenwick trees over the ranks of the values (count and sum), so each bar costs
// a logarithm: sum |c - x| = c * below - sum(below) + sum(above) - c * above.
Series meanDeviationRanked(std::span<const double> x, std::span<const double> centre, std::size_t period) {
    const double ref = reference(x);
    std::vector<double> sorted;
    sorted.reserve(x.size());
    for (double v : x)
        if (finite(v))
            sorted.push_back(v - ref);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    const std::size_t ranks = sorted.size();
    std::vector<double> counts(ranks + 1, 0.0), sums(ranks + 1, 0.0);
    auto update = [&](double v, double sign) {
        const std::size_t r =
            static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin()) + 1;
        for (std::size_t k = r; k <= ranks; k += k & (~k + 1)) {
            counts[k] += sign;
            sums[k] += sign * v;
        }
    };
    auto prefix = [&](std::size_t r, double& count, double& sum) {
        count = 0;
        sum = 0;
        for (std::size_t k = r; k > 0; k -= k & (~k + 1)) {
            count += counts[k];
            sum += sums[k];
        }
    };
    Series out(x.size(), kNaN);
    std::size_t missing = 0;
    double total = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (finite(x[i])) {
            update(x[i] - ref, 1);
            total += x[i] - ref;
        } else {
            ++missing;
        }
        if (i >= period) {
            const double u = x[i - period];
            if (finite(u)) {
                update(u - ref, -1);
                total -= u - ref;
            } else {
                --missing;
            }
        }
        if (i + 1 < period || missing > 0 || !finite(centre[i]))
            continue;
        const double c = centre[i] - ref;
        const std::size_t r =
            static_cast<std::size_t>(std::upper_bound(sorted.begin(), sorted.end(), c) - sorted.begin());
        double below = 0, belowSum = 0;
        prefix(r, below, belowSum);
        const double above = static_cast<double>(period) - below;
        out[i] = (c * below - belowSum + (total - belowSum) - c * above) / static_cast<double>(period);
    }
    return out;
}

Series commodityChannelIndex(std::span<const double> h, std::span<const double> l, std::span<const double> c,
                             std::size_t period) {
    Series typical(c.size());
    for (std::size_t i = 0; i < c.size(); ++i)
        typical[i] = (h[i] + l[i] + c[i]) / 3;
    const Series average = simpleMovingAverage(typical, period);
    constexpr std::size_t kWalkLimit = 64;
    const Series deviation = period <= kWalkLimit ? meanDeviationWalk(typical, average, period)
                                                  : meanDeviationRanked(typical, average, period);
    Series out(c.size(), 0.0);
    for (std::size_t i = period - 1; i < c.size(); ++i)
        out[i] = (typical[i] - average[i]) / (0.015 * deviation[i]);
    return out;
}

Series relativeStrengthIndex(std::span<const double> c, std::size_t period) {
    const double m = 2.0 / (static_cast<double>(period) + 1);
    Series out(c.size());
    bool started = false;
    double previous = 0, gains = 0, losses = 0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (!finite(c[i])) {
            out[i] = kNaN;
            continue;
        }
        if (!started) {
            started = true;
            previous = c[i];
            out[i] = 100;
            continue;
        }
        const double d = c[i] - previous;
        gains += m * (std::max(d, 0.0) - gains);
        losses += m * (std::max(-d, 0.0) - losses);
        const double sum = gains + losses;
        out[i] = sum == 0 ? 100 : 100 * gains / sum;
        previous = c[i];
    }
    return out;
}

// Per bar: f(close, highest high, lowest low) over the last `period` bars, the bar's own high and
// low before the window is full; NaN while the window misses a price.
template <typename F>
Series rangePosition(std::span<const double> h, std::span<const double> l, std::span<const double> c,
                     std::size_t period, F f) {
    WindowHigh highest(h, period);
    WindowLow lowest(l, period);
    Series out(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        lowest.enter(i);
        highest.enter(i);
        if (!highest.full(i)) {
            out[i] = f(c[i], h[i], l[i]);
            continue;
        }
        out[i] = highest.complete() && lowest.complete() ? f(c[i], highest.value(), lowest.value()) : kNaN;
    }
    return out;
}

struct Pair {
    Series first, second;
};

Pair stochastic(std::span<const double> h, std::span<const double> l, std::span<const double> c,
                std::size_t k, std::size_t d, std::size_t slowing) {
    const Series raw = rangePosition(h, l, c, k, [](double close, double hh, double ll) {
        const double position = (close - ll) / (hh - ll) * 100;
        return std::isnan(position) ? position : std::clamp(position, 0.0, 100.0);
    });
    // The main line is the slowed %K, so that Slowing changes what is drawn and the signal line
    // averages the line shown beside it; slowing 1 leaves raw %K.
    Series main = simpleMovingAverage(raw, slowing);
    Series signal = simpleMovingAverage(main, d);
    return {std::move(main), std::move(signal)};
}

Series williamsPercentRange(std::span<const double> h, std::span<const double> l, std::span<const double> c,
                            std::size_t period) {
    return rangePosition(h, l, c, period,
                         [](double close, double hh, double ll) { return (hh - close) / (hh - ll) * -100; });
}

Series deMarker(std::span<const double> h, std::span<const double> l, std::size_t period) {
    // The first bar has no previous bar: neither a rise nor a fall.
    Series rises(h.size(), 0.0), falls(h.size(), 0.0);
    for (std::size_t i = 1; i < h.size(); ++i) {
        const double up = h[i] - h[i - 1], down = l[i - 1] - l[i];
        rises[i] = std::isnan(up) ? up : std::max(up, 0.0);
        falls[i] = std::isnan(down) ? down : std::max(down, 0.0);
    }
    const Series a = simpleMovingAverage(rises, period), b = simpleMovingAverage(falls, period);
    Series out(h.size());
    for (std::size_t i = 0; i < h.size(); ++i)
        out[i] = a[i] / (a[i] + b[i]);
    return out;
}

Series averageTrueRange(std::span<const double> h, std::span<const double> l, std::span<const double> c,
                        std::size_t period) {
    Series range(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        range[i] = h[i] - l[i];
        if (i > 0)
            range[i] = std::max({range[i], std::abs(h[i] - c[i - 1]), std::abs(l[i] - c[i - 1])});
        if (i > 0 && !finite(c[i - 1]))
            range[i] = kNaN; // std::max would quietly drop it
    }
    const Series lead = simpleMovingAverage(range, period);
    Series out(c.size());
    const double p = static_cast<double>(period);
    double average = kNaN;
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (i < period) {
            out[i] = average = lead[i];
        } else if (!finite(range[i])) {
            out[i] = kNaN;
        } else {
            average = finite(average) ? (range[i] + average * (p - 1)) / p : lead[i];
            out[i] = average;
        }
    }
    return out;
}

Series medianPrice(std::span<const double> h, std::span<const double> l) {
    Series m(h.size());
    for (std::size_t i = 0; i < h.size(); ++i)
        m[i] = (h[i] + l[i]) / 2;
    return m;
}

Series awesomeOscillator(std::span<const double> h, std::span<const double> l) {
    const Series m = medianPrice(h, l);
    return elementwise(simpleMovingAverage(m, kAwesomeFast), simpleMovingAverage(m, kAwesomeSlow), minus);
}

// Bars since the window's extreme, 0 before the window is full; NaN while it misses a price. As
// 0..100 in whole numbers: (p - since) * 100 / p, in integers so no value lands a hair below.
template <typename Window>
Series aroonLine(std::span<const double> x, std::size_t period) {
    Window window(x, period);
    Series out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        window.enter(i);
        if (!window.full(i)) {
            out[i] = 100;
            continue;
        }
        if (!window.complete()) {
            out[i] = kNaN;
            continue;
        }
        const std::uint64_t since = i - window.where();
        out[i] = static_cast<double>((period - since) * 100 / period);
    }
    return out;
}

StudyLine line(std::string_view name, Series values) {
    return {name, std::move(values)};
}

bool periodsValid(std::initializer_list<int> periods) {
    return std::all_of(periods.begin(), periods.end(), [](int p) { return p >= 1; });
}

} // namespace

Series simpleMovingAverage(std::span<const double> values, std::size_t period) {
    if (period == 0)
        return Series(values.size(), kNaN);
    Series out(values.size());
    WindowSum sum;
    for (std::size_t i = 0; i < values.size(); ++i) {
        sum.add(values[i]);
        if (i >= period)
            sum.remove(values[i - period]);
        out[i] = sum.complete() ? sum.value() / static_cast<double>(std::min(i + 1, period)) : kNaN;
    }
    return out;
}

Series exponentialMovingAverage(std::span<const double> values, std::size_t period) {
    Series out = simpleMovingAverage(values, period);
    const double w = 2.0 / (static_cast<double>(period) + 1);
    double previous = period > 0 && period <= out.size() ? out[period - 1] : kNaN;
    for (std::size_t i = period; i < values.size(); ++i) {
        if (!finite(values[i])) {
            out[i] = kNaN;
        } else if (!finite(previous)) {
            previous = out[i]; // the plain average seeds it again once its window is whole
        } else {
            previous += w * (values[i] - previous);
            out[i] = previous;
        }
    }
    return out;
}

Series movingStandardDeviation(std::span<const double> values, std::size_t period) {
    if (period == 0)
        return Series(values.size(), kNaN);
    Series out(values.size());
    windowDeviation(values, period, [&](std::size_t i, double, double sigma) { out[i] = sigma; });
    return out;
}

std::span<const StudyParam> studyParamsOf(Study study) {
    using P = StudyParam;
    static constexpr P kPeriod[] = {P::Period};
    static constexpr P kBands[] = {P::Period, P::Deviation};
    static constexpr P kMacd[] = {P::FastPeriod, P::SlowPeriod, P::SignalPeriod};
    static constexpr P kStochastic[] = {P::KPeriod, P::DPeriod, P::Slowing};
    static constexpr P kAlligator[] = {P::JawsPeriod, P::TeethPeriod, P::LipsPeriod};
    switch (study) {
    case Study::BollingerBands:
        return kBands;
    case Study::Macd:
    case Study::MacdHistogram:
        return kMacd;
    case Study::StochasticOscillator:
        return kStochastic;
    case Study::Alligator:
        return kAlligator;
    case Study::AwesomeOscillator:
    case Study::AcceleratorOscillator:
        return {};
    default:
        return kPeriod;
    }
}

namespace {

// Clamped into int: a checked value always fits, an unchecked one still cannot wrap.
int toInt(long long v) {
    return static_cast<int>(
        std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void setParam(StudyParams& p, StudyParam which, long long v) {
    switch (which) {
    case StudyParam::Period:
        p.period = toInt(v);
        break;
    case StudyParam::Deviation:
        p.deviation = static_cast<double>(v);
        break;
    case StudyParam::FastPeriod:
        p.fastPeriod = toInt(v);
        break;
    case StudyParam::SlowPeriod:
        p.slowPeriod = toInt(v);
        break;
    case StudyParam::SignalPeriod:
        p.signalPeriod = toInt(v);
        break;
    case StudyParam::KPeriod:
        p.kPeriod = toInt(v);
        break;
    case StudyParam::DPeriod:
        p.dPeriod = toInt(v);
        break;
    case StudyParam::Slowing:
        p.slowing = toInt(v);
        break;
    case StudyParam::JawsPeriod:
        p.jawsPeriod = toInt(v);
        break;
    case StudyParam::TeethPeriod:
        p.teethPeriod = toInt(v);
        break;
    case StudyParam::LipsPeriod:
        p.lipsPeriod = toInt(v);
        break;
    }
}

// Bars needed before the last bar has a value from whole windows, in 64 bits so that no period
// entered can wrap it. Each case follows its study's computation in computeStudy().
long long needed(Study study, const StudyParams& p) {
    const auto n = [](auto v) { return static_cast<long long>(v); };
    // A window of `outer` bars over a series whose first whole value needs `inner` bars.
    const auto over = [](long long inner, long long outer) { return inner + outer - 1; };
    const long long change = 2; // a change from the previous bar
    switch (study) {
    case Study::RelativeStrengthIndex:
    case Study::RateOfChange:
    case Study::Momentum:
    case Study::DeMarker:
    case Study::AverageTrueRange:
        return over(change, n(p.period)); // p changes from bar to bar
    case Study::Trix:
        return over(over(over(n(p.period), n(p.period)), n(p.period)), change);
    case Study::Macd:
    case Study::MacdHistogram:
        return over(std::max(n(p.fastPeriod), n(p.slowPeriod)), n(p.signalPeriod));
    case Study::StochasticOscillator:
        return over(over(n(p.kPeriod), n(p.slowing)), n(p.dPeriod));
    case Study::Alligator:
        return std::max({n(p.jawsPeriod), n(p.teethPeriod), n(p.lipsPeriod)});
    case Study::AwesomeOscillator:
        return n(std::max(kAwesomeFast, kAwesomeSlow));
    case Study::AcceleratorOscillator:
        return over(n(std::max(kAwesomeFast, kAwesomeSlow)), n(kAcceleratorAverage));
    default:
        return n(p.period);
    }
}

} // namespace

StudyParams studyParamsFrom(Study study, std::span<const long long> values) {
    StudyParams p;
    const auto params = studyParamsOf(study);
    for (std::size_t i = 0; i < params.size() && i < values.size(); ++i)
        setParam(p, params[i], values[i]);
    return p;
}

std::size_t barsNeeded(Study study, const StudyParams& params) {
    return static_cast<std::size_t>(std::max(needed(study, params), 1LL));
}

StudyCheck checkStudyParams(Study study, std::span<const long long> values, std::size_t bars) {
    const auto params = studyParamsOf(study);
    const long long held = static_cast<long long>(std::min<std::size_t>(bars, 1'000'000'000));
    StudyCheck check;
    // Every period at 1, the deviation at its least.
    std::vector<long long> least(params.size(), 1);
    for (std::size_t i = 0; i < params.size(); ++i)
        if (params[i] == StudyParam::Deviation)
            least[i] = kMinDeviation;
    const long long fewest = needed(study, studyParamsFrom(study, least));
    if (fewest > held) {
        check.fault = StudyCheck::Fault::TooFewBars;
        check.needed = static_cast<std::size_t>(fewest);
        return check;
    }
    for (std::size_t i = 0; i < params.size() && i < values.size(); ++i) {
        long long lo = 1, hi = 1;
        if (params[i] == StudyParam::Deviation) {
            lo = kMinDeviation, hi = kMaxDeviation;
        } else {
            // The longest period that still fits, the others at their least: bars needed grow with
            // each period.
            std::vector<long long> trial = least;
            long long below = 1, above = held + 1; // fits, does not fit
            while (above - below > 1) {
                const long long mid = below + (above - below) / 2;
                trial[i] = mid;
                (needed(study, studyParamsFrom(study, trial)) <= held ? below : above) = mid;
            }
            hi = below;
        }
        if (values[i] < lo || values[i] > hi) {
            check.fault = StudyCheck::Fault::OutOfRange;
            check.param = i;
            check.min = lo;
            check.max = hi;
            check.rangeFollowsBars = params[i] != StudyParam::Deviation;
            return check;
        }
    }
    const long long together = needed(study, studyParamsFrom(study, values));
    if (together > held) {
        check.fault = StudyCheck::Fault::PeriodsTooLong;
        check.needed = static_cast<std::size_t>(together);
    }
    return check;
}

bool barRises(std::span<const double> values, std::size_t i) {
    if (i == 0 || i >= values.size() || !finite(values[i - 1]))
        return true;
    return values[i] >= values[i - 1];
}

StudyResult computeStudy(Study study, const StudyParams& p, const BarSeries& bars) {
    const auto o = bars.opens(), h = bars.highs(), l = bars.lows(), c = bars.closes();
    auto n = [](int period) { return static_cast<std::size_t>(period); };
    StudyResult r;
    auto refuse = [&r](StudyError e) {
        r.error = e;
        return r;
    };

    switch (study) {
    case Study::AwesomeOscillator:
    case Study::AcceleratorOscillator:
        break;
    case Study::Macd:
    case Study::MacdHistogram:
        if (!periodsValid({p.fastPeriod, p.slowPeriod, p.signalPeriod}))
            return refuse(StudyError::PeriodBelowOne);
        break;
    case Study::StochasticOscillator:
        if (!periodsValid({p.kPeriod, p.dPeriod, p.slowing}))
            return refuse(StudyError::PeriodBelowOne);
        break;
    case Study::Alligator:
        if (!periodsValid({p.jawsPeriod, p.teethPeriod, p.lipsPeriod}))
            return refuse(StudyError::PeriodBelowOne);
        break;
    default:
        if (!periodsValid({p.period}))
            return refuse(StudyError::PeriodBelowOne);
        if (study == Study::BollingerBands && !finite(p.deviation))
            return refuse(StudyError::DeviationNotFinite);
        break;
    }
    const std::size_t period = n(p.period);

    switch (study) {
    case Study::SimpleMovingAverage:
        r.lines.push_back(line("SMA", simpleMovingAverage(c, period)));
        break;
    case Study::ExponentialMovingAverage:
        r.lines.push_back(line("EMA", exponentialMovingAverage(c, period)));
        break;
    case Study::BollingerBands: {
        Bands b = bollingerBands(c, period, p.deviation);
        r.lines.push_back(line("Middle", std::move(b.middle)));
        r.lines.push_back(line("Upper", std::move(b.upper)));
        r.lines.push_back(line("Lower", std::move(b.lower)));
        break;
    }
    case Study::Macd:
    case Study::MacdHistogram: {
        Series macd = elementwise(exponentialMovingAverage(c, n(p.fastPeriod)),
                                  exponentialMovingAverage(c, n(p.slowPeriod)), minus);
        Series signal = exponentialMovingAverage(macd, n(p.signalPeriod));
        Series histogram = elementwise(macd, signal, minus);
        r.lines.push_back(line("MACD", std::move(macd)));
        r.lines.push_back(line("Signal", std::move(signal)));
        r.lines.push_back(line("Histogram", std::move(histogram)));
        break;
    }
    case Study::RateOfChange:
        r.lines.push_back(line("ROC", rateOfChange(c, period)));
        break;
    case Study::StandardDeviation:
        r.lines.push_back(line("StdDev", movingStandardDeviation(c, period)));
        break;
    case Study::CommodityChannelIndex:
        r.lines.push_back(line("CCI", commodityChannelIndex(h, l, c, period)));
        break;
    case Study::RelativeStrengthIndex:
        r.lines.push_back(line("RSI", relativeStrengthIndex(c, period)));
        break;
    case Study::StochasticOscillator: {
        Pair s = stochastic(h, l, c, n(p.kPeriod), n(p.dPeriod), n(p.slowing));
        r.lines.push_back(line("Main", std::move(s.first)));
        r.lines.push_back(line("Signal", std::move(s.second)));
        break;
    }
    case Study::DeMarker:
        r.lines.push_back(line("DeMarker", deMarker(h, l, period)));
        break;
    case Study::Momentum:
        r.lines.push_back(line("Momentum", momentum(c, period)));
        break;
    case Study::WilliamsPercentRange:
        r.lines.push_back(line("WPR", williamsPercentRange(h, l, c, period)));
        break;
    case Study::BearsPower:
        r.lines.push_back(line("Bears", elementwise(l, exponentialMovingAverage(c, period), minus)));
        break;
    case Study::BullsPower:
        r.lines.push_back(line("Bulls", elementwise(h, exponentialMovingAverage(c, period), minus)));
        break;
    case Study::RelativeVigourIndex: {
        Series raw(c.size());
        for (std::size_t i = 0; i < c.size(); ++i)
            raw[i] = (c[i] - o[i]) / (h[i] - l[i]);
        r.lines.push_back(line("Main", simpleMovingAverage(raw, period)));
        r.lines.push_back(line("Signal", exponentialMovingAverage(raw, period)));
        break;
    }
    case Study::Trix: {
        const Series e3 = exponentialMovingAverage(
            exponentialMovingAverage(exponentialMovingAverage(c, period), period), period);
        r.lines.push_back(line("TRIX", rateOfChange(e3, 1)));
        break;
    }
    case Study::AverageTrueRange:
        r.lines.push_back(line("ATR", averageTrueRange(h, l, c, period)));
        break;
    case Study::AwesomeOscillator:
        r.lines.push_back(line("AO", awesomeOscillator(h, l)));
        break;
    case Study::AcceleratorOscillator: {
        const Series ao = awesomeOscillator(h, l);
        r.lines.push_back(line("AC", elementwise(ao, simpleMovingAverage(ao, kAcceleratorAverage), minus)));
        break;
    }
    case Study::Alligator: {
        const Series m = medianPrice(h, l);
        r.lines.push_back(line("Jaws", simpleMovingAverage(m, n(p.jawsPeriod))));
        r.lines.push_back(line("Teeth", simpleMovingAverage(m, n(p.teethPeriod))));
        r.lines.push_back(line("Lips", simpleMovingAverage(m, n(p.lipsPeriod))));
        break;
    }
    case Study::Aroon:
        r.lines.push_back(line("Up", aroonLine<WindowHigh>(h, period)));
        r.lines.push_back(line("Down", aroonLine<WindowLow>(l, period)));
        break;
    case Study::AroonOscillator:
        r.lines.push_back(line("Oscillator", elementwise(aroonLine<WindowHigh>(h, period),
                                                         aroonLine<WindowLow>(l, period), minus)));
        break;
    }
    return r;
}

} // namespace tc::charts
