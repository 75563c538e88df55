// The chart's numbers: all 23 studies over 100,000 bars (goal: under 50 ms together), one live
// quote applied to a chart of 100,000 bars (goal: under 50 microseconds), and reading a chart
// reply of 100,000 bars.
#include "charts/chart_reply.h"
#include "charts/price_chart.h"
#include "charts/studies.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <chrono>
#include <random>
#include <string>

namespace {

using namespace tc;

constexpr std::size_t kBars = 100'000;

// A random walk of one-minute bars around 1.1 with five-decimal prices.
const charts::BarSeries& walk() {
    static const charts::BarSeries bars = [] {
        charts::BarSeries b;
        std::mt19937 random(7);
        std::normal_distribution<double> step(0, 0.0002);
        std::uniform_real_distribution<double> wick(0, 0.0003);
        double close = 1.1;
        for (std::size_t i = 0; i < kBars; ++i) {
            const double open = close;
            close = std::max(0.5, close + step(random));
            b.push({static_cast<std::int64_t>(i) * 60, open, std::max(open, close) + wick(random),
                    std::min(open, close) - wick(random), close, close, close});
        }
        return b;
    }();
    return bars;
}

void BM_AllStudies100kBars(benchmark::State& state) {
    const charts::BarSeries& bars = walk();
    const charts::StudyParams params;
    double bestMs = 1e300;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < charts::kStudyCount; ++k)
            benchmark::DoNotOptimize(charts::computeStudy(static_cast<charts::Study>(k), params, bars));
        const auto t1 = std::chrono::steady_clock::now();
        bestMs = std::min(bestMs, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    state.counters["best_ms_all_23"] = bestMs;
    state.counters["goal_ms"] = 50;
}
BENCHMARK(BM_AllStudies100kBars)->Unit(benchmark::kMillisecond)->Iterations(20);

// Quotes that move the newest bar's close every call and start a new bar every 60 calls, on a
// chart showing its newest bars (the window follows them).
void BM_LiveBarTick(benchmark::State& state) {
    charts::PriceChart chart;
    chart.start("EURUSD", 5, 1, 3);
    chart.load(walk());
    std::int64_t t = walk().back().time;
    double price = walk().back().close;
    std::int64_t n = 0;
    for (auto _ : state) {
        price += (n & 1) ? 0.00001 : -0.00002;
        ++n;
        t += 1;
        benchmark::DoNotOptimize(chart.applyQuote({t, price, price - 0.00002, price + 0.00002}));
    }
    state.counters["bars_at_end"] = static_cast<double>(chart.bars().size());
    state.counters["goal_us"] = 50;
}
BENCHMARK(BM_LiveBarTick)->Unit(benchmark::kMicrosecond);

void BM_ParseChartReply100kBars(benchmark::State& state) {
    static const std::string reply = [] {
        const charts::BarSeries& b = walk();
        std::string d, t, c, h, l, o;
        for (std::size_t i = 0; i < b.size(); ++i) {
            const char* sep = i ? "," : "";
            d += sep + std::string("03/11/24");
            t += fmt::format("{}{:02}:{:02}:00", sep, i / 60 % 24, i % 60);
            c += fmt::format("{}{:.5f}", sep, b.closes()[i]);
            h += fmt::format("{}{:.5f}", sep, b.highs()[i]);
            l += fmt::format("{}{:.5f}", sep, b.lows()[i]);
            o += fmt::format("{}{:.5f}", sep, b.opens()[i]);
        }
        return "<1041~EURUSD^O~100000>" + d + "#" + t + "#" + c + "#" + h + "#" + l + "#" + o + "<END>";
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(charts::parseChartBars(reply));
    state.counters["reply_MiB"] = static_cast<double>(reply.size()) / (1 << 20);
}
BENCHMARK(BM_ParseChartReply100kBars)->Unit(benchmark::kMillisecond);

} // namespace
