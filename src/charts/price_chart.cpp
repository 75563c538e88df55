#include "charts/price_chart.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace tc::charts {
namespace {

constexpr int kMaxDecimals = 10;
// A price axis never carries more ticks than this, whatever a range rounds to.
constexpr std::size_t kMaxPriceTicks = 64;

int clampedDecimals(int decimals) {
    return std::clamp(decimals, 0, kMaxDecimals);
}

// Prices are printed with the instrument's decimals, two when it has none.
int shownDecimals(int decimals) {
    return decimals == 0 ? 2 : clampedDecimals(decimals);
}

// The smallest step of 1, 2 or 5 times a power of ten that is at least `raw`, and never finer
// than one unit of the last decimal shown: each label then names its line's price exactly and no
// two labels read the same. 0 when `raw` is not finite.
double roundPriceStep(double raw, int decimals) {
    const double point = std::pow(10.0, -shownDecimals(decimals));
    if (!std::isfinite(raw))
        return 0;
    if (!(raw > point))
        return point;
    const double power = std::floor(std::log10(raw));
    const double magnitude = std::pow(10.0, power);
    for (double m : {1.0, 2.0, 5.0})
        if (m * magnitude >= raw * (1 - 1e-9))
            return m * magnitude;
    return std::pow(10.0, power + 1);
}

struct Widen {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    void operator()(double v) {
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
};

} // namespace

std::string formatPrice(double value, int decimals) {
    if (!std::isfinite(value))
        return {};
    return fmt::format("{:.{}f}", value, shownDecimals(decimals));
}

void PriceChart::start(std::string code, int decimals, int intervalCode, int type) {
    code_ = std::move(code);
    decimals_ = clampedDecimals(decimals);
    interval_ = chartInterval(intervalCode);
    if (!interval_.name.empty()) {
        intervalName_ = interval_.name;
        intervalTextKey_ = interval_.textKey;
    }
    key_ = chartKey(code_, interval_.text);
    type_ = chartTypeOf(type);
    bars_.clear();
    barLimit_ = kMaxLiveBars;
    bid_.reset();
    ask_.reset();
    viewport_.reset(0);
    refit(6);
}

void PriceChart::load(const BarSeries& bars) {
    bars_ = bars;
    barLimit_ = std::max(kMaxLiveBars, bars_.size());
    viewport_.reset(bars_.size());
    refit(6);
}

LiveQuote roundedQuote(const LiveQuote& quote, int decimals) {
    const double scale = std::pow(10.0, shownDecimals(decimals));
    auto round = [scale](double price) {
        const double r = std::round(price * scale) / scale;
        return std::isfinite(r) ? r : price;
    };
    return {quote.time, round(quote.last), round(quote.bid), round(quote.ask)};
}

LiveStep PriceChart::applyQuote(const LiveQuote& raw) {
    // The bars of a reply hold prices as printed, with the instrument's decimals; live bars match.
    const LiveQuote quote = roundedQuote(raw, decimals_);
    if (std::isfinite(quote.bid) && quote.bid != 0)
        bid_ = quote.bid;
    if (std::isfinite(quote.ask) && quote.ask != 0)
        ask_ = quote.ask;
    const LiveStep step = charts::applyQuote(bars_, quote, interval_.seconds);
    // Dropped a tenth at a time, so that the columns move once per many bars.
    if (step == LiveStep::Rolled && bars_.size() > barLimit_ + barLimit_ / 10) {
        const std::size_t drop = bars_.size() - barLimit_;
        bars_.dropFront(drop);
        viewport_.dropFront(drop);
    }
    if (step == LiveStep::Updated || step == LiveStep::Rolled) {
        const bool following = viewport_.following();
        viewport_.setCount(bars_.size());
        refit(following ? 8 : 0);
    }
    return step;
}

void PriceChart::setType(int type) {
    type_ = chartTypeOf(type);
    refit(0);
}

void PriceChart::setXRange(AxisRange proposed) {
    viewport_.setRange(proposed);
    refit(8);
}

bool PriceChart::dragBy(double bars) {
    if (!viewport_.dragBy(bars))
        return false;
    refit(8);
    return true;
}

void PriceChart::zoomBy(double factor, double anchor) {
    viewport_.zoomBy(factor, anchor);
    refit(8);
}

void PriceChart::scrollToEnd() {
    viewport_.scrollToEnd();
    refit(8);
}

std::string PriceChart::title() const {
    return fmt::format("{}, {}", code_, intervalName_);
}

// divisor 0 keeps the tick interval's divisor as it was.
void PriceChart::refit(double tickDivisor) {
    const auto [first, last] = viewport_.visibleBars();
    Widen widen;
    const auto closes = bars_.closes();
    for (std::size_t i = first; i < last; ++i)
        widen(closes[i]);
    if (type_ == ChartType::Ohlc || type_ == ChartType::Candlestick) {
        for (std::size_t i = first; i < last; ++i) {
            widen(bars_.highs()[i]);
            widen(bars_.lows()[i]);
            widen(bars_.opens()[i]);
        }
    } else if (type_ == ChartType::BidAsk) {
        for (std::size_t i = first; i < last; ++i) {
            widen(bars_.bids()[i]);
            widen(bars_.asks()[i]);
        }
    }
    if (widen.low <= widen.high)
        extremes_.emplace(widen.low, widen.high);
    else
        extremes_.reset();
    if (extremes_)
        yRange_ = priceRange(extremes_->first, extremes_->second).value_or(yRange_);
    if (tickDivisor > 0)
        tickDivisor_ = tickDivisor;
    // About a sixth (an eighth) of the visible prices, rounded; a flat window steps by a share of
    // the room around its price.
    const double span = extremes_ ? extremes_->second - extremes_->first : 0;
    tickInterval_ =
        extremes_ ? roundPriceStep((span > 0 ? span : yRange_.length) / tickDivisor_, decimals_) : 0;
}

std::vector<PriceTick> PriceChart::priceTicks() const {
    std::vector<PriceTick> ticks;
    const double step = tickInterval_;
    if (!extremes_ || !(step > 0))
        return ticks;
    // Whole multiples of the step inside the y range; the slack keeps a tick that lies on an edge.
    const double first = std::ceil(yRange_.location / step - 1e-9);
    const double last = std::floor(yRange_.end() / step + 1e-9);
    if (!std::isfinite(first) || !std::isfinite(last))
        return ticks;
    for (double k = first; k <= last && ticks.size() < kMaxPriceTicks; ++k) {
        const double value = k * step + 0.0; // + 0.0: no "-0.00"
        ticks.push_back({value, formatPrice(value, decimals_)});
    }
    return ticks;
}

std::vector<TimeLabel> PriceChart::timeLabels() const {
    std::vector<TimeLabel> labels;
    const auto [first, last] = viewport_.visibleBars();
    const std::size_t step = labelStep(viewport_.width());
    for (std::size_t bar = (first + step - 1) / step * step; bar < last; bar += step)
        labels.push_back({bar, axisDateText(bars_.times()[bar], interval_.text)});
    return labels;
}

std::string PriceChart::crosshairText(std::size_t bar) const {
    if (bar >= bars_.size())
        return {};
    const Bar b = bars_.bar(bar);
    return fmt::format("{}\nHigh: {}\nLow: {}\nOpen: {}\nClose: {}", axisDateText(b.time, interval_.text),
                       formatPrice(b.high, decimals_), formatPrice(b.low, decimals_),
                       formatPrice(b.open, decimals_), formatPrice(b.close, decimals_));
}

} // namespace tc::charts
