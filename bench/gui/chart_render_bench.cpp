// 100,000 candlesticks rendered into a 1600x900 image, offscreen: our chart layer beside
// QCustomPlot's financial plot (a yardstick only, linked into the benchmarks and nothing else),
// same data, same full range, axes and grid on both, best of several passes each. Goal: ours at
// least as fast.
#include "gui/plot/graph_view.h"

#include "gui_bench_support.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
// QCustomPlot's header writes Qt's bare keywords, which the desktop code switches off.
#define signals Q_SIGNALS
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef foreach
#undef signals

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

using namespace tc::gui;

namespace {

constexpr int kCandles = 100'000;
constexpr int kWidth = 1600, kHeight = 900;

struct Candles final : PlotDataSource {
    std::vector<double> keys, open, high, low, close;
    double lowest = 1e300, highest = -1e300;

    Candles() {
        std::mt19937 random(11);
        std::normal_distribution<double> step(0, 0.0002);
        std::uniform_real_distribution<double> wick(0, 0.0003);
        double c = 1.1;
        for (int i = 0; i < kCandles; ++i) {
            const double o = c;
            c = std::max(0.5, c + step(random));
            keys.push_back(i);
            open.push_back(o);
            close.push_back(c);
            high.push_back(std::max(o, c) + wick(random));
            low.push_back(std::min(o, c) - wick(random));
            lowest = std::min(lowest, low.back());
            highest = std::max(highest, high.back());
        }
    }
    std::size_t numberOfRecords(const Plot&) const override { return close.size(); }
    std::span<const double> numbers(const Plot&, PlotField field) const override {
        switch (field) {
        case PlotField::Open:
            return open;
        case PlotField::High:
            return high;
        case PlotField::Low:
            return low;
        case PlotField::Close:
            return close;
        default:
            return {};
        }
    }
};

template <typename Pass>
double bestMs(Pass&& pass, int passes) {
    double best = 1e300;
    for (int r = 0; r < passes; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        pass();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

void BM_Candles100kOursVersusQCustomPlot(benchmark::State& state) {
    ensureApplication();
    const Candles data;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);

    GraphView ours;
    ours.resize(kWidth, kHeight);
    auto candles =
        std::make_unique<TradingRangePlot>("Candlestick Plot", TradingRangePlot::Style::Candlestick);
    candles->setDataSource(const_cast<Candles*>(&data));
    ours.addPlot(std::move(candles));
    ours.defaultPlotSpace().setXRange({-0.5, kCandles});
    const double span = data.highest - data.lowest;
    ours.defaultPlotSpace().setYRange({data.lowest - 0.002 * span, 1.1 * span});
    for (int i = 0; i < kCandles; i += kCandles / 3)
        ours.xAxis().labels.push_back({double(i), QString::number(i)});
    for (int k = 0; k <= 6; ++k) {
        const double v = data.lowest + k * span / 6;
        ours.yAxis().labels.push_back({v, QString::number(v, 'f', 5)});
    }

    QCustomPlot theirs;
    theirs.resize(kWidth, kHeight);
    auto* financial = new QCPFinancial(theirs.xAxis, theirs.yAxis);
    financial->setChartStyle(QCPFinancial::csCandlestick);
    financial->setData(QVector<double>(data.keys.begin(), data.keys.end()),
                       QVector<double>(data.open.begin(), data.open.end()),
                       QVector<double>(data.high.begin(), data.high.end()),
                       QVector<double>(data.low.begin(), data.low.end()),
                       QVector<double>(data.close.begin(), data.close.end()), true);
    financial->setWidth(0.7);
    financial->setTwoColored(true);
    theirs.xAxis->setRange(-0.5, kCandles - 0.5);
    theirs.yAxis->setRange(data.lowest - 0.002 * span, data.highest + 0.098 * span);

    double oursMs = 0, theirsMs = 0;
    for (auto _ : state) {
        oursMs = bestMs(
            [&] {
                QPainter painter(&image);
                ours.paint(painter, image.rect());
            },
            5);
        theirsMs = bestMs(
            [&] {
                QCPPainter painter(&image);
                theirs.toPainter(&painter, kWidth, kHeight);
            },
            3);
    }
    state.counters["ours_ms"] = oursMs;
    state.counters["qcustomplot_ms"] = theirsMs;
    state.counters["speedup"] = theirsMs / oursMs;
}
BENCHMARK(BM_Candles100kOursVersusQCustomPlot)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
