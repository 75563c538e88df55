#include "charts/chart_cache.h"

#include "charts/chart_reply.h"
#include "platform/log.h"

#include <algorithm>

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
    if (key->size() > kMaxKeyBytes) {
        platform::Log::warning("chart reply with a key of {} bytes refused", key->size());
        return false;
    }
    // Parsed outside the lock: the main thread reads the store while a long reply is read here.
    Entry fresh{std::make_shared<const BarSeries>(parseChartBars(*text)), platform::Clock::currentTime(),
                requestId};
    const std::size_t count = fresh.bars->size();
    if (count > maxBars_) {
        platform::Log::warning("chart reply of {} bars refused", count);
        return false;
    }
    std::lock_guard lock(mutex_);
    auto it = entries_.find(*key);
    if (it == entries_.end() && entries_.size() >= kMaxEntries) {
        platform::Log::warning("chart store is full; reply for {} dropped", *key);
        return false;
    }
    if (it != entries_.end()) {
        bars_ -= it->second.bars->size();
        entries_.erase(it);
    }
    while (bars_ + count > maxBars_ && !entries_.empty()) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
            return a.second.filed < b.second.filed;
        });
        bars_ -= oldest->second.bars->size();
        entries_.erase(oldest);
    }
    fresh.filed = ++filed_;
    bars_ += count;
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
    bars_ = 0;
}

} // namespace tc::charts
