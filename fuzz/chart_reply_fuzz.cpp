// Any chart reply parses into bars without fault: never more bars than close items, one key at
// most (kept when short enough), and a chart drawn and studied from them keeps its window and
// price range finite.
#include "charts/chart_cache.h"
#include "charts/chart_reply.h"
#include "charts/price_chart.h"
#include "charts/studies.h"
#include "fuzz_support.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const charts::BarSeries bars = charts::parseChartBars(text);
    if (bars.size() > static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1)
        std::abort();

    charts::ChartDataStore store;
    const auto key = charts::chartReplyKey(text);
    if (store.fillChartData(text, 1) != (key && key->size() <= charts::ChartDataStore::kMaxKeyBytes))
        std::abort();

    charts::PriceChart chart;
    chart.start("A", 5, size % 10, 1 + static_cast<int>(size % 4));
    chart.load(bars);
    chart.zoomBy(0.5, 3);
    chart.dragBy(2);
    chart.applyQuote({bars.empty() ? 0 : bars.back().time, 1.5, 1.4, 1.6});
    const charts::AxisRange x = chart.viewport().xRange(), y = chart.yRange();
    if (!std::isfinite(x.location) || !(x.length > 0) || !std::isfinite(y.location) || !(y.length > 0))
        std::abort();
    (void)chart.timeLabels();
    (void)chart.priceTicks();
    if (!chart.bars().empty())
        (void)chart.crosshairText(chart.bars().size() - 1);

    // Studies over a short series reach every branch; long ones only cost the search its speed.
    if (bars.size() <= 256) {
        charts::StudyParams params;
        params.period = 1 + static_cast<int>(size % 70);
        for (std::size_t k = 0; k < charts::kStudyCount; ++k) {
            const auto result = charts::computeStudy(static_cast<charts::Study>(k), params, bars);
            for (const auto& line : result.lines)
                if (line.values.size() != bars.size())
                    std::abort();
        }
    }
    return 0;
}
