#include "charts/chart_cache.h"

#include "charts/chart_reply.h"
#include "platform/log.h"

namespace tc::charts {

bool ChartDataStore::fillChartData(const std::optional<std::string>& text, std::uint64_t requestId) {
    if (!text)
        return false;
    if (text->size() > kMaxChartReplyBytes) {
        platform::Log::warning("chart reply of {} bytes refused", text->size());
        return false;
    }
    auto key = chartReplyKey(*text);
    if (!key)
        return false;
    // Parsed outside the lock: the main thread reads the store while a long reply is read here.
    Entry fresh{std::make_shared<const BarSeries>(parseChartBars(*text)), platform::Clock::currentTime(),
                requestId};
    std::lock_guard lock(mutex_);
    auto it = entries_.find(*key);
    if (it != entries_.end()) {
        it->second = std::move(fresh);
        return true;
    }
    if (entries_.size() >= kMaxEntries) {
        platform::Log::warning("chart store is full; reply for {} dropped", *key);
        return false;
    }
    entries_.emplace(std::move(*key), std::move(fresh));
    return true;
}

std::optional<ChartDataStore::Entry> ChartDataStore::entry(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end())
        return std::nullopt;
    return it->second;
}

std::shared_ptr<const BarSeries> ChartDataStore::freshBars(std::string_view key,
                                                           std::chrono::seconds maxAge) const {
    const auto now = platform::Clock::currentTime();
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end())
        return nullptr;
    // In seconds, so that seconds::max() does not overflow the clock's finer unit.
    if (std::chrono::duration_cast<std::chrono::seconds>(now - it->second.received) >= maxAge)
        return nullptr;
    return it->second.bars;
}

std::size_t ChartDataStore::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void ChartDataStore::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace tc::charts
