// Every study against a plain computation written here from its formula: windows summed or
// scanned afresh for each bar, no running sums, no deques, no compensation.
#include "charts/live_bars.h"
#include "charts/studies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

namespace {

using namespace tc;

using charts::Study;
using charts::StudyParams;
using V = std::vector<double>;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Ohlc {
    V o, h, l, c;
    std::size_t n() const { return c.size(); }
};

// Five-decimal prices, as quoted for most currency pairs.
Ohlc sample() {
    Ohlc s;
    s.o = {1.08500, 1.08512, 1.08530, 1.08497, 1.08561, 1.08540,
           1.08602, 1.08588, 1.08555, 1.08571, 1.08620, 1.08613};
    s.c = {1.08512, 1.08530, 1.08497, 1.08561, 1.08540, 1.08602,
           1.08588, 1.08555, 1.08571, 1.08620, 1.08613, 1.08650};
    const V wick = {11e-5, 7e-5, 20e-5, 4e-5, 13e-5, 9e-5, 16e-5, 3e-5, 12e-5, 8e-5, 5e-5, 10e-5};
    for (std::size_t i = 0; i < s.c.size(); ++i) {
        s.h.push_back(std::max(s.o[i], s.c[i]) + wick[i]);
        s.l.push_back(std::min(s.o[i], s.c[i]) - wick[(i + 5) % wick.size()]);
    }
    return s;
}

// `times` copies of the sample, most lifted by a few points so that windows meet new extremes.
Ohlc repeated(int times) {
    Ohlc s;
    for (int t = 0; t < times; ++t) {
        const Ohlc b = sample();
        const double shift = 0.001 * ((t * 7) % 5);
        for (std::size_t i = 0; i < b.n(); ++i)
            s.o.push_back(b.o[i] + shift), s.h.push_back(b.h[i] + shift), s.l.push_back(b.l[i] + shift),
                s.c.push_back(b.c[i] + shift);
    }
    return s;
}

charts::BarSeries toBars(const Ohlc& s) {
    charts::BarSeries bars;
    for (std::size_t i = 0; i < s.n(); ++i)
        bars.push({static_cast<std::int64_t>(i) * 60, s.o[i], s.h[i], s.l[i], s.c[i], 0, 0});
    return bars;
}

// Window [lo, i] of the last p values, shorter at the start.
std::size_t lo(std::size_t i, std::size_t p) {
    return i + 1 > p ? i + 1 - p : 0;
}

V sma(const V& x, std::size_t p) {
    V out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        double sum = 0;
        for (std::size_t j = lo(i, p); j <= i; ++j)
            sum += x[j];
        out[i] = sum / static_cast<double>(i - lo(i, p) + 1);
    }
    return out;
}

V ema(const V& x, std::size_t p) {
    V out = sma(x, p);
    for (std::size_t i = p; i < x.size(); ++i)
        out[i] = out[i - 1] + 2.0 / (static_cast<double>(p) + 1) * (x[i] - out[i - 1]);
    return out;
}

V stdev(const V& x, std::size_t p) {
    const V mean = sma(x, p);
    V out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        double sq = 0;
        for (std::size_t j = lo(i, p); j <= i; ++j)
            sq += (x[j] - mean[i]) * (x[j] - mean[i]);
        out[i] = std::sqrt(sq / static_cast<double>(i - lo(i, p) + 1));
    }
    return out;
}

V zip(const V& a, const V& b, const std::function<double(double, double)>& f) {
    V out(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        out[i] = f(a[i], b[i]);
    return out;
}
V sub(const V& a, const V& b) {
    return zip(a, b, std::minus<>());
}

V earlier(const V& x, std::size_t p, const std::function<double(double, double)>& f) {
    V out(x.size(), 0.0);
    for (std::size_t i = p; i < x.size(); ++i)
        out[i] = f(x[i], x[i - p]);
    return out;
}
V roc(const V& x, std::size_t p) {
    return earlier(x, p, [](double a, double b) { return (a - b) / b * 100; });
}

// Highest high and lowest low with the lead-in rule (the bar's own value until p bars exist).
V extreme(const V& x, std::size_t p, bool high) {
    V out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        out[i] = x[i];
        if (i + 1 >= p)
            for (std::size_t j = lo(i, p); j <= i; ++j)
                out[i] = high ? std::max(out[i], x[j]) : std::min(out[i], x[j]);
    }
    return out;
}

V aroon(const V& x, std::size_t p, bool high) {
    V out(x.size(), 100);
    for (std::size_t i = p - 1; i < x.size(); ++i) {
        std::size_t best = lo(i, p);
        for (std::size_t j = lo(i, p); j <= i; ++j)
            if (high ? x[j] > x[best] : x[j] < x[best])
                best = j;
        out[i] = std::floor((static_cast<double>(p) - static_cast<double>(i - best)) * 100 /
                            static_cast<double>(p));
    }
    return out;
}

V median(const Ohlc& s) {
    return zip(s.h, s.l, [](double h, double l) { return (h + l) / 2; });
}

std::vector<V> expected(Study study, const Ohlc& s, const StudyParams& q) {
    const std::size_t p = static_cast<std::size_t>(q.period);
    switch (study) {
    case Study::SimpleMovingAverage:
        return {sma(s.c, p)};
    case Study::ExponentialMovingAverage:
        return {ema(s.c, p)};
    case Study::BollingerBands: {
        const V m = sma(s.c, p), d = stdev(s.c, p);
        return {m, zip(m, d, [&](double a, double b) { return a + q.deviation * b; }),
                zip(m, d, [&](double a, double b) { return a - q.deviation * b; })};
    }
    case Study::Macd:
    case Study::MacdHistogram: {
        const V m = sub(ema(s.c, 12), ema(s.c, 26)), sig = ema(m, 9);
        return {m, sig, sub(m, sig)};
    }
    case Study::RateOfChange:
        return {roc(s.c, p)};
    case Study::StandardDeviation:
        return {stdev(s.c, p)};
    case Study::CommodityChannelIndex: {
        V tp(s.n()), out(s.n(), 0.0);
        for (std::size_t i = 0; i < s.n(); ++i)
            tp[i] = (s.h[i] + s.l[i] + s.c[i]) / 3;
        const V avg = sma(tp, p);
        for (std::size_t i = p - 1; i < s.n(); ++i) {
            double md = 0;
            for (std::size_t j = lo(i, p); j <= i; ++j)
                md += std::abs(avg[i] - tp[j]);
            out[i] = (tp[i] - avg[i]) / (0.015 * md / static_cast<double>(p));
        }
        return {out};
    }
    case Study::RelativeStrengthIndex: {
        V out(s.n(), 100);
        double up = 0, down = 0, m = 2.0 / (static_cast<double>(p) + 1);
        for (std::size_t i = 1; i < s.n(); ++i) {
            const double d = s.c[i] - s.c[i - 1];
            up += m * (std::max(d, 0.0) - up);
            down += m * (std::max(-d, 0.0) - down);
            out[i] = up + down == 0 ? 100 : 100 * up / (up + down);
        }
        return {out};
    }
    case Study::StochasticOscillator: {
        const std::size_t k = 5;
        const V hh = extreme(s.h, k, true), ll = extreme(s.l, k, false);
        V raw(s.n());
        for (std::size_t i = 0; i < s.n(); ++i)
            raw[i] = std::clamp((s.c[i] - ll[i]) / (hh[i] - ll[i]) * 100, 0.0, 100.0);
        const V main = sma(raw, 3); // slowed %K
        return {main, sma(main, 3)};
    }
    case Study::DeMarker: {
        V up(s.n(), 0.0), down(s.n(), 0.0);
        for (std::size_t i = 1; i < s.n(); ++i) {
            up[i] = std::max(s.h[i] - s.h[i - 1], 0.0);
            down[i] = std::max(s.l[i - 1] - s.l[i], 0.0);
        }
        const V a = sma(up, p), b = sma(down, p);
        return {zip(a, b, [](double x, double y) { return x / (x + y); })};
    }
    case Study::Momentum:
        return {earlier(s.c, p, [](double a, double b) { return a / b * 100; })};
    case Study::WilliamsPercentRange: {
        const V hh = extreme(s.h, p, true), ll = extreme(s.l, p, false);
        V out(s.n());
        for (std::size_t i = 0; i < s.n(); ++i)
            out[i] = (hh[i] - s.c[i]) / (hh[i] - ll[i]) * -100;
        return {out};
    }
    case Study::BearsPower:
        return {sub(s.l, ema(s.c, p))};
    case Study::BullsPower:
        return {sub(s.h, ema(s.c, p))};
    case Study::RelativeVigourIndex: {
        V raw(s.n());
        for (std::size_t i = 0; i < s.n(); ++i)
            raw[i] = (s.c[i] - s.o[i]) / (s.h[i] - s.l[i]);
        return {sma(raw, p), ema(raw, p)};
    }
    case Study::Trix:
        return {roc(ema(ema(ema(s.c, p), p), p), 1)};
    case Study::AverageTrueRange: {
        V tr(s.n());
        for (std::size_t i = 0; i < s.n(); ++i)
            tr[i] = i == 0 ? s.h[i] - s.l[i]
                           : std::max({s.h[i] - s.l[i], std::abs(s.h[i] - s.c[i - 1]),
                                       std::abs(s.l[i] - s.c[i - 1])});
        V out = sma(tr, p);
        for (std::size_t i = p; i < s.n(); ++i)
            out[i] = (tr[i] + out[i - 1] * (static_cast<double>(p) - 1)) / static_cast<double>(p);
        return {out};
    }
    case Study::AwesomeOscillator:
        return {sub(sma(median(s), 5), sma(median(s), 34))};
    case Study::AcceleratorOscillator: {
        const V ao = sub(sma(median(s), 5), sma(median(s), 34));
        return {sub(ao, sma(ao, 5))};
    }
    case Study::Alligator:
        return {sma(median(s), 13), sma(median(s), 8), sma(median(s), 5)};
    case Study::Aroon:
        return {aroon(s.h, p, true), aroon(s.l, p, false)};
    case Study::AroonOscillator:
        return {sub(aroon(s.h, p, true), aroon(s.l, p, false))};
    }
    return {};
}

bool same(double got, double want) {
    if (std::isnan(want) || std::isinf(want))
        return std::isnan(want) ? std::isnan(got) : got == want;
    return std::abs(got - want) <= 1e-9 * std::max(1.0, std::abs(want));
}

void expectSeries(const charts::StudyResult& r, const std::vector<V>& want) {
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.lines.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        ASSERT_EQ(r.lines[k].values.size(), want[k].size()) << r.lines[k].name;
        for (std::size_t i = 0; i < want[k].size(); ++i)
            EXPECT_TRUE(same(r.lines[k].values[i], want[k][i]))
                << r.lines[k].name << "[" << i << "] = " << r.lines[k].values[i] << ", want " << want[k][i];
    }
}

constexpr std::size_t kCount = charts::kStudyCount;
Study studyAt(std::size_t i) {
    return static_cast<Study>(i);
}

TEST(Studies, EveryStudyMatchesItsFormulaForShortAndLongPeriods) {
    // 60 bars: past the lead-in of the MACD's 26 and the oscillators' 34 bars.
    const Ohlc s = repeated(5);
    const charts::BarSeries bars = toBars(s);
    // 1, a short window, the series' length and longer than the series.
    for (int period : {1, 3, 60, 65}) {
        for (std::size_t k = 0; k < kCount; ++k) {
            SCOPED_TRACE(::testing::Message() << "study " << k << ", period " << period);
            StudyParams q;
            q.period = period;
            expectSeries(charts::computeStudy(studyAt(k), q, bars), expected(studyAt(k), s, q));
        }
    }
}

TEST(Studies, LongCommodityChannelPeriodsMatchTheWalkedWindow) {
    // Periods above 64 take ranked sums instead of walking each window.
    const Ohlc s = repeated(25);
    StudyParams q;
    q.period = 100;
    expectSeries(charts::computeStudy(Study::CommodityChannelIndex, q, toBars(s)),
                 expected(Study::CommodityChannelIndex, s, q));
}

TEST(Studies, HandWorkedValues) {
    auto run = [](Study study, const V& c, int period) {
        Ohlc s{c, c, c, c};
        StudyParams q;
        q.period = period;
        return charts::computeStudy(study, q, toBars(s)).lines.at(0).values;
    };
    EXPECT_EQ(run(Study::SimpleMovingAverage, {1, 2, 3, 4}, 3), (V{1, 1.5, 2, 3}));
    EXPECT_EQ(run(Study::ExponentialMovingAverage, {1, 2, 3, 4}, 3), (V{1, 1.5, 2, 3}));
    EXPECT_EQ(run(Study::RelativeStrengthIndex, {5, 5, 5}, 14), (V{100, 100, 100}));
    EXPECT_EQ(run(Study::RateOfChange, {1, 2, 4}, 2), (V{0, 0, 300}));
    EXPECT_EQ(run(Study::Momentum, {1, 2, 4}, 2), (V{0, 0, 400}));

    // Aroon Up with p = 14: 100 on the new high, then 92 and 85 while it ages in the window.
    V highs(20, 1.0);
    highs[15] = 2.0;
    const V up = run(Study::Aroon, highs, 14);
    EXPECT_EQ(up[15], 100);
    EXPECT_EQ(up[16], 92);
    EXPECT_EQ(up[17], 85);
    // p = 50, 21 bars after the high: (50 - 21) / 50 * 100 is 57.99... in floating point, 58 exactly.
    V longHighs(100, 1.0);
    longHighs[60] = 2.0;
    EXPECT_EQ(run(Study::Aroon, longHighs, 50)[81], 58);

    // Flat bars: the stochastic's 0 / 0 and the RVI's h = l are not numbers, not clamped.
    EXPECT_TRUE(std::isnan(run(Study::StochasticOscillator, {2, 2, 2, 2, 2, 2}, 1)[5]));
    EXPECT_TRUE(std::isnan(run(Study::RelativeVigourIndex, {2, 2, 2}, 1)[2]));
}

TEST(Studies, StochasticDrawsTheSlowedKAndItsAverage) {
    // %K 5, %D 3, Slowing 3 over eight bars (high, low, close):
    //   (10 8 9) (11 9 10) (12 10 11) (12 10 10) (13 10 12) (14 11 13) (13 11 11) (12 10 10)
    // Raw %K = (c - LL) / (HH - LL) x 100; the first four bars use their own high and low:
    //   1/2, 1/2, 1/2, 0/2 -> 50 50 50 0; bar 4 over bars 0-4: HH 13, LL 8, (12 - 8) / 5 -> 80;
    //   bar 5 over 1-5: HH 14, LL 9, 4/5 -> 80; bar 6 over 2-6: HH 14, LL 10, 1/4 -> 25;
    //   bar 7 over 3-7: HH 14, LL 10, 0/4 -> 0.
    // Main (slowed %K, average of the last 3 raw values, fewer at the start):
    //   50, 50, 50, 100/3, 130/3, 160/3, 185/3, 105/3 = 35.
    // Signal (average of the last 3 main values):
    //   50, 50, 50, (150 + 100/3) / 3 = 400/9, (50 + 230/3) / 3 = 380/9, 390/9, 475/9, 450/9 = 50.
    Ohlc s{{},
           {10, 11, 12, 12, 13, 14, 13, 12},
           {8, 9, 10, 10, 10, 11, 11, 10},
           {9, 10, 11, 10, 12, 13, 11, 10}};
    s.o = s.c;
    StudyParams q;
    q.kPeriod = 5;
    q.dPeriod = 3;
    q.slowing = 3;
    expectSeries(charts::computeStudy(Study::StochasticOscillator, q, toBars(s)),
                 {{50, 50, 50, 100.0 / 3, 130.0 / 3, 160.0 / 3, 185.0 / 3, 35},
                  {50, 50, 50, 400.0 / 9, 380.0 / 9, 390.0 / 9, 475.0 / 9, 50}});
    // Slowing 1 draws raw %K; the signal averages it.
    q.slowing = 1;
    expectSeries(
        charts::computeStudy(Study::StochasticOscillator, q, toBars(s)),
        {{50, 50, 50, 0, 80, 80, 25, 0}, {50, 50, 50, 100.0 / 3, 130.0 / 3, 160.0 / 3, 185.0 / 3, 35}});
}

TEST(Studies, FiveDecimalPricesKeepEveryDigit) {
    // Rounding the old close to four places would give 1.0001 and a change of 0.005 %, not 0.01 %.
    Ohlc s{{}, {}, {}, {1.00005, 1.00015}};
    s.o = s.h = s.l = s.c;
    StudyParams q;
    q.period = 1;
    const double change = charts::computeStudy(Study::RateOfChange, q, toBars(s)).lines[0].values[1];
    EXPECT_NEAR(change, (1.00015 - 1.00005) / 1.00005 * 100, 1e-12);
}

TEST(Studies, AVarianceThatRoundsBelowZeroIsZero) {
    Ohlc s{{}, {}, {}, {0.3, 1.1, 1.1, 1.1, 1.1, 1.1}};
    s.o = s.h = s.l = s.c;
    StudyParams q;
    q.period = 3;
    const auto bands = charts::computeStudy(Study::BollingerBands, q, toBars(s));
    const auto deviation = charts::computeStudy(Study::StandardDeviation, q, toBars(s));
    for (std::size_t i = 3; i < 6; ++i) {
        EXPECT_EQ(deviation.lines[0].values[i], 0.0);
        EXPECT_EQ(bands.lines[1].values[i], bands.lines[0].values[i]);
    }
}

TEST(Studies, PeriodsBelowOneAreRefused) {
    const charts::BarSeries bars = toBars(sample());
    for (int bad : {0, -3}) {
        for (std::size_t k = 0; k < kCount; ++k) {
            StudyParams q;
            q.period = q.fastPeriod = q.kPeriod = q.jawsPeriod = bad;
            const auto r = charts::computeStudy(studyAt(k), q, bars);
            const bool fixed =
                studyAt(k) == Study::AwesomeOscillator || studyAt(k) == Study::AcceleratorOscillator;
            EXPECT_EQ(r.ok(), fixed) << "study " << k;
            EXPECT_EQ(r.lines.empty(), !fixed);
        }
    }
    StudyParams q;
    q.deviation = INFINITY;
    EXPECT_EQ(charts::computeStudy(Study::BollingerBands, q, bars).error,
              charts::StudyError::DeviationNotFinite);
}

TEST(Studies, AMissingPriceSpoilsOnlyTheWindowsThatHoldIt) {
    // 72 bars, enough for the oscillators' 34-bar windows to pass the gaps.
    Ohlc s = repeated(6);
    s.c[5] = kNaN;
    s.h[8] = INFINITY;
    const charts::BarSeries bars = toBars(s);
    for (std::size_t k = 0; k < kCount; ++k) {
        StudyParams q;
        q.period = 4;
        const auto r = charts::computeStudy(studyAt(k), q, bars);
        for (const auto& line : r.lines) {
            EXPECT_EQ(line.values.size(), bars.size());
            EXPECT_TRUE(std::isfinite(line.values.back()))
                << "study " << k << " " << line.name << " recovers";
        }
    }
    const V sma = charts::simpleMovingAverage(bars.closes(), 3);
    EXPECT_TRUE(std::isnan(sma[5]) && std::isnan(sma[7]));
    EXPECT_TRUE(same(sma[4], (s.c[2] + s.c[3] + s.c[4]) / 3) && same(sma[8], (s.c[6] + s.c[7] + s.c[8]) / 3));
    const V ema = charts::exponentialMovingAverage(bars.closes(), 3);
    EXPECT_TRUE(std::isnan(ema[5]));
    EXPECT_TRUE(same(ema[6], ema[4] + 0.5 * (s.c[6] - ema[4]))) << "the average skips the missing close";
}

TEST(Studies, ReadEveryBarAfterLiveGrowthAndNothingPast) {
    const Ohlc s = sample();
    charts::BarSeries bars = toBars(s);
    ASSERT_EQ(charts::applyQuote(bars, {12 * 60, 1.0700, 0, 0}, 60), charts::LiveStep::Rolled);
    Ohlc grown = s;
    for (V* v : {&grown.o, &grown.h, &grown.l, &grown.c})
        v->push_back(1.0700);
    StudyParams q;
    q.period = 5;
    for (std::size_t k = 0; k < kCount; ++k)
        expectSeries(charts::computeStudy(studyAt(k), q, bars), expected(studyAt(k), grown, q));
    // DeMarker keeps nothing from one run to the next.
    EXPECT_EQ(charts::computeStudy(Study::DeMarker, q, bars).lines[0].values.back(),
              charts::computeStudy(Study::DeMarker, q, bars).lines[0].values.back());
}

TEST(Studies, OscillatorBarsCompareWithThePreviousBar) {
    const V ao = {1, 2, 2, 1, kNaN, 3, -1};
    std::vector<bool> rises;
    for (std::size_t i = 0; i < ao.size(); ++i)
        rises.push_back(charts::barRises(ao, i));
    EXPECT_EQ(rises, (std::vector<bool>{true, true, true, false, false, true, false}));
}

} // namespace

namespace {

charts::StudyCheck check(Study study, std::vector<long long> values, std::size_t bars) {
    return charts::checkStudyParams(study, values, bars);
}

} // namespace

TEST(StudyRanges, EachPeriodRunsFromOneToTheLongestThatStillHasAValueOnTheBarsHeld) {
    using Fault = charts::StudyCheck::Fault;
    struct Case {
        Study study;
        std::vector<long long> values;
        std::size_t bars;
        Fault fault;
        std::size_t param;
        long long max;
    };
    const Case cases[] = {
        {Study::SimpleMovingAverage, {200}, 200, Fault::None, 0, 0},
        {Study::SimpleMovingAverage, {201}, 200, Fault::OutOfRange, 0, 200},
        {Study::SimpleMovingAverage, {0}, 200, Fault::OutOfRange, 0, 200},
        {Study::ExponentialMovingAverage, {-5}, 200, Fault::OutOfRange, 0, 200},
        {Study::RateOfChange, {200}, 200, Fault::OutOfRange, 0, 199}, // a change over p bars
        {Study::Trix, {68}, 200, Fault::OutOfRange, 0, 67},           // three averages in turn
        {Study::Macd, {12, 26, 9}, 200, Fault::None, 0, 0},
        {Study::Macd, {12, 201, 9}, 200, Fault::OutOfRange, 1, 200},
        {Study::MacdHistogram, {12, 26, 9}, 30, Fault::PeriodsTooLong, 0, 0},
        {Study::StochasticOscillator, {5, 3, 3}, 200, Fault::None, 0, 0},
        {Study::Alligator, {13, 8, 300}, 200, Fault::OutOfRange, 2, 200},
    };
    for (const Case& c : cases) {
        const auto r = check(c.study, c.values, c.bars);
        EXPECT_EQ(r.fault, c.fault) << static_cast<int>(c.study) << " " << c.values[0];
        if (c.fault == Fault::OutOfRange) {
            EXPECT_EQ(r.param, c.param);
            EXPECT_EQ(r.min, 1);
            EXPECT_EQ(r.max, c.max);
            EXPECT_TRUE(r.rangeFollowsBars);
        }
    }
    // Slow alone fits; with the signal's lead-in the periods need more bars than are held.
    const auto joint = check(Study::Macd, {12, 200, 9}, 200);
    EXPECT_EQ(joint.fault, Fault::PeriodsTooLong);
    EXPECT_EQ(joint.needed, 208u);
    // The deviation's range is its own, whatever the bars.
    for (long long deviation : {0LL, 6LL}) {
        const auto r = check(Study::BollingerBands, {20, deviation}, 200);
        EXPECT_EQ(r.fault, Fault::OutOfRange);
        EXPECT_EQ(r.param, 1u);
        EXPECT_EQ(r.min, charts::kMinDeviation);
        EXPECT_EQ(r.max, charts::kMaxDeviation);
        EXPECT_FALSE(r.rangeFollowsBars);
    }
    // Too few bars for any period, or for the fixed ones.
    EXPECT_EQ(check(Study::SimpleMovingAverage, {1}, 0).needed, 1u);
    EXPECT_EQ(check(Study::AwesomeOscillator, {}, 33).fault, Fault::TooFewBars);
    EXPECT_EQ(check(Study::AcceleratorOscillator, {}, 37).needed, 38u);
    EXPECT_TRUE(check(Study::AcceleratorOscillator, {}, 38).ok());
}

TEST(StudyRanges, TheLongestPeriodAcceptedStillDrawsAValueFromAWholeWindow) {
    // Rising prices: the longest period accepted fits the bars, one more would not, and the last
    // bar has a value of its own.
    Ohlc s;
    for (int i = 0; i < 40; ++i) {
        s.o.push_back(1 + i * 0.01);
        s.c.push_back(1.005 + i * 0.01);
        s.h.push_back(1.008 + i * 0.01);
        s.l.push_back(0.998 + i * 0.01);
    }
    const charts::BarSeries bars = toBars(s);
    for (Study study : {Study::SimpleMovingAverage, Study::RateOfChange, Study::Trix}) {
        const auto longest = check(study, {1000}, bars.size()).max;
        const auto q = charts::studyParamsFrom(study, std::vector<long long>{longest});
        EXPECT_LE(charts::barsNeeded(study, q), bars.size());
        EXPECT_GT(
            charts::barsNeeded(study, charts::studyParamsFrom(study, std::vector<long long>{longest + 1})),
            bars.size());
        const auto r = charts::computeStudy(study, q, bars);
        ASSERT_TRUE(r.ok());
        EXPECT_TRUE(std::isfinite(r.lines[0].values.back()));
        EXPECT_NE(r.lines[0].values.back(), 0.0) << static_cast<int>(study);
    }
    const auto bands = charts::studyParamsFrom(Study::BollingerBands, std::vector<long long>{20, 3});
    EXPECT_EQ(bands.period, 20);
    EXPECT_EQ(bands.deviation, 3.0);
    const auto stochastic =
        charts::studyParamsFrom(Study::StochasticOscillator, std::vector<long long>{7, 4, 2});
    EXPECT_EQ(std::make_tuple(stochastic.kPeriod, stochastic.dPeriod, stochastic.slowing),
              std::make_tuple(7, 4, 2));
}

TEST(StudyRanges, EachStudysFirstWholeValueStandsWhereItsBarsNeededSay) {
    // A missing first bar puts every window's start one bar later: with the bars a study needs
    // after it, the last bar has a value from whole windows; with one bar fewer it has none. So
    // the count of bars needed can be neither too high nor too low by one.
    const Ohlc wide = repeated(8);
    auto gapped = [&](std::size_t after) {
        Ohlc s;
        s.o = {kNaN}, s.h = {kNaN}, s.l = {kNaN}, s.c = {kNaN};
        for (std::size_t i = 0; i < after; ++i)
            s.o.push_back(wide.o[i]), s.h.push_back(wide.h[i]), s.l.push_back(wide.l[i]),
                s.c.push_back(wide.c[i]);
        return toBars(s);
    };
    for (std::size_t k = 0; k < charts::kStudyCount; ++k) {
        const Study study = static_cast<Study>(k);
        std::vector<long long> periods(charts::studyParamsOf(study).size(), 3);
        for (std::size_t i = 0; i < periods.size(); ++i)
            if (charts::studyParamsOf(study)[i] == charts::StudyParam::Deviation)
                periods[i] = 2;
        if (study == Study::Macd || study == Study::MacdHistogram)
            periods = {3, 5, 4};
        if (study == Study::StochasticOscillator || study == Study::Alligator)
            periods = {5, 3, 4};
        const auto q = charts::studyParamsFrom(study, periods);
        const std::size_t needed = charts::barsNeeded(study, q);
        const auto whole = charts::computeStudy(study, q, gapped(needed));
        const auto shortOfOne = charts::computeStudy(study, q, gapped(needed - 1));
        ASSERT_TRUE(whole.ok() && shortOfOne.ok());
        bool anyShort = false;
        for (std::size_t j = 0; j < whole.lines.size(); ++j) {
            EXPECT_TRUE(std::isfinite(whole.lines[j].values.back())) << k << " " << whole.lines[j].name;
            anyShort = anyShort || !std::isfinite(shortOfOne.lines[j].values.back());
        }
        // RSI smooths from its first change on; it needs p changes by rule, not by a window.
        EXPECT_TRUE(anyShort || study == Study::RelativeStrengthIndex) << k;
    }
}
