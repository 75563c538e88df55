#include "charts/live_bars.h"

#include "charts/chart_interval.h"

#include <algorithm>
#include <cmath>

namespace tc::charts {
namespace {

bool usable(double price) {
    return std::isfinite(price) && price != 0;
}

bool same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Keeps a side price of the bar when the quote has none.
double sidePrice(double quoted, double kept) {
    return usable(quoted) ? quoted : kept;
}

} // namespace

LiveStep applyQuote(BarSeries& bars, const LiveQuote& quote, std::int64_t barSeconds) {
    if (!usable(quote.last) || quote.time == kNoTime)
        return LiveStep::Ignored;
    barSeconds = std::max<std::int64_t>(barSeconds, 1);
    const double price = quote.last;

    std::int64_t start = barStart(quote.time, barSeconds);
    if (!bars.empty() && bars.back().time != kNoTime) {
        Bar bar = bars.back();
        const std::int64_t elapsed = std::max<std::int64_t>(quote.time - bar.time, 0);
        if (elapsed < barSeconds) {
            Bar next = bar;
            next.close = price;
            next.open = std::isnan(bar.open) ? price : bar.open;
            next.high = std::isnan(bar.high) ? price : std::max(bar.high, price);
            next.low = std::isnan(bar.low) ? price : std::min(bar.low, price);
            next.bid = sidePrice(quote.bid, bar.bid);
            next.ask = sidePrice(quote.ask, bar.ask);
            if (same(next.close, bar.close) && same(next.open, bar.open) && same(next.high, bar.high) &&
                same(next.low, bar.low) && same(next.bid, bar.bid) && same(next.ask, bar.ask))
                return LiveStep::Unchanged;
            bars.set(bars.size() - 1, next);
            return LiveStep::Updated;
        }
        start = bar.time + elapsed / barSeconds * barSeconds;
    }
    const double bid = usable(quote.bid) ? quote.bid : kNoPrice;
    const double ask = usable(quote.ask) ? quote.ask : kNoPrice;
    if (!bars.push({start, price, price, price, price, bid, ask}))
        return LiveStep::Ignored;
    return LiveStep::Rolled;
}

} // namespace tc::charts
