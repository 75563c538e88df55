#pragma once
// The newest bar kept current from the instrument's live quote. A quote inside the newest bar's
// time span extends it; a quote past it starts a new bar from its own price; bars roll on the time
// boundary of the interval, however many quotes came or did not come in between.
#include "charts/bar_series.h"

#include <cstdint>

namespace tc::charts {

struct LiveQuote {
    std::int64_t time = kNoTime; // wall-clock seconds of the quote (see bar_time.h)
    double last = 0;             // 0: no trade price yet
    double bid = 0;
    double ask = 0;
};

enum class LiveStep {
    Ignored,   // no usable price or time, or the series is full
    Unchanged, // the newest bar already holds these prices
    Updated,   // the newest bar changed
    Rolled,    // a new bar began
};

// Applies one quote to bars of `barSeconds` length. New bars start on the boundaries of the newest
// bar's own grid (so a server that starts its weeks on Sunday keeps doing so), or on barStart()
// when there is no bar with a time. A quote timed before the newest bar (the server's clock set
// back, as when daylight saving time ends) is the current price all the same: it extends the
// newest bar, and bars roll again once the clock passes that bar's end.
LiveStep applyQuote(BarSeries& bars, const LiveQuote& quote, std::int64_t barSeconds);

} // namespace tc::charts
