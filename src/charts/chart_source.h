#pragma once
// What a chart needs of the session: the instrument, its live quote, the cached bars and a way to
// ask the server for more. The session's side (over the business object, or the client seam)
// implements it; charts and their tests only see this.
#include "charts/bar_series.h"
#include "charts/live_bars.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc::charts {

struct InstrumentInfo {
    std::string code;
    int decimals = 0;
};

// An outstanding chart request. Destroying it forgets its callback (the reply may still arrive
// and be cached).
class ChartRequest {
public:
    virtual ~ChartRequest() = default;
};

class ChartSource {
public:
    virtual ~ChartSource() = default;
    virtual std::optional<InstrumentInfo> instrument(std::string_view code) = 0;
    virtual std::optional<LiveQuote> quote(std::string_view code) = 0;
    // The cached bars of a chart key when they arrived less than `maxAge` ago; null otherwise.
    virtual std::shared_ptr<const BarSeries> cachedBars(std::string_view chartKey,
                                                        std::chrono::seconds maxAge) = 0;
    // Sends a chart request; `arrived` runs on the main thread once the reply for the chart key
    // is in the cache, `failed` with the reason (empty: the session it was sent on is gone) when no
    // reply will come. One of them runs, once. Null when nothing could be sent.
    virtual std::unique_ptr<ChartRequest> requestBars(std::string_view code, std::string_view intervalText,
                                                      int count, std::function<void()> arrived,
                                                      std::function<void(const std::string&)> failed) = 0;
};

} // namespace tc::charts
