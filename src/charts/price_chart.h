#pragma once
// The price chart of one instrument at one interval, without any drawing: its bars (a reply's,
// then grown by live quotes), the visible window, the price range and the labels of both axes.
// The chart view draws what this says.
#include "charts/bar_series.h"
#include "charts/chart_interval.h"
#include "charts/live_bars.h"
#include "charts/viewport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc::charts {

struct PriceTick {
    double value = 0;
    std::string text;
};

struct TimeLabel {
    std::size_t bar = 0;
    std::string text;
};

// Prices with `decimals` places (0 counts as 2, as everywhere prices are printed); empty for a
// value that is not finite.
std::string formatPrice(double value, int decimals);
// The quote's prices rounded to `decimals` places (0 counts as 2), as a reply's bars are written.
LiveQuote roundedQuote(const LiveQuote& quote, int decimals);

class PriceChart {
public:
    // How many bars a chart asks the server for.
    static constexpr int kRequestedBars = 200;
    // Live quotes grow a chart by at most this many bars past those loaded: a tick chart left open
    // would otherwise add a bar a second for as long as the program runs. Past a tenth more, the
    // oldest go.
    static constexpr std::size_t kMaxLiveBars = 20'000;

    // (Re)starts the chart: no bars until load(). An unknown interval code keeps the display name
    // of the previous start; an unknown type draws no price plot.
    void start(std::string code, int decimals, int intervalCode, int type);
    // The bars of a reply, copied: live quotes then grow this chart's own series. The window
    // shows the newest bars.
    void load(const BarSeries& bars);
    // One live quote, its prices rounded to the instrument's decimals; a window that follows the
    // newest bar moves along with it.
    LiveStep applyQuote(const LiveQuote& quote);
    // Chart type change in place (line, OHLC, candlestick, bid/ask): the bars stay, the price
    // range is refitted to what the new type draws.
    void setType(int type);

    // Window changes, each refitting the price range to the visible bars.
    void setXRange(AxisRange proposed);
    bool dragBy(double bars);
    void zoomBy(double factor, double anchor);
    void scrollToEnd();

    const std::string& code() const { return code_; }
    int decimals() const { return decimals_; }
    const ChartInterval& interval() const { return interval_; }
    const std::string& intervalName() const { return intervalName_; }
    // The language key of intervalName(), for a title in the selected language.
    const std::string& intervalTextKey() const { return intervalTextKey_; }
    const std::string& key() const { return key_; }
    std::optional<ChartType> type() const { return type_; }
    const BarSeries& bars() const { return bars_; }
    const Viewport& viewport() const { return viewport_; }
    // "EURUSD, One Minute".
    std::string title() const;

    // Lowest and highest price of the visible bars that the type draws (NaN and infinities are
    // skipped); nullopt when there is none.
    std::optional<std::pair<double, double>> extremes() const { return extremes_; }
    AxisRange yRange() const { return yRange_; }
    // Price axis: ticks at the whole multiples of `interval` inside the y range, labelled as prices
    // are. The interval is a sixth of the visible span after a load, an eighth once the window has
    // moved, rounded up to 1, 2 or 5 times a power of ten and at least one unit of the last
    // decimal.
    double priceTickInterval() const { return tickInterval_; }
    std::vector<PriceTick> priceTicks() const;
    // Time axis: the labelled bars inside the window.
    std::vector<TimeLabel> timeLabels() const;
    std::optional<std::size_t> barAt(double x) const { return viewport_.barAt(x); }
    // The crosshair box: date, then High, Low, Open and Close of the bar.
    std::string crosshairText(std::size_t bar) const;
    // The latest bid and ask seen, for the price lines; nullopt before the first quote with one.
    std::optional<double> bid() const { return bid_; }
    std::optional<double> ask() const { return ask_; }

private:
    void refit(double tickDivisor);

    std::string code_;
    int decimals_ = 0;
    ChartInterval interval_;
    std::string intervalName_;
    std::string intervalTextKey_;
    std::string key_;
    std::optional<ChartType> type_;
    BarSeries bars_;
    // The most bars kept: kMaxLiveBars, or the bars loaded when more.
    std::size_t barLimit_ = kMaxLiveBars;
    Viewport viewport_;
    std::optional<std::pair<double, double>> extremes_;
    AxisRange yRange_{0, 1};
    double tickInterval_ = 0;
    double tickDivisor_ = 6;
    std::optional<double> bid_, ask_;
};

} // namespace tc::charts
