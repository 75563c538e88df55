#pragma once
// The chart replies of the login, parsed, one bar series per chart key. A reply is parsed on the
// thread that received it and replaces the series kept for its key; charts take a series only
// while it is younger than one of their bars and ask the server again otherwise. Shared between
// the receiving thread and the main thread, hence the lock.
#include "charts/bar_series.h"
#include "platform/clock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tc::charts {

class ChartDataStore {
public:
    static constexpr std::size_t kMaxEntries = 4096;
    // A chart key is an instrument code (at most 64 bytes), "^" and an interval text.
    static constexpr std::size_t kMaxKeyBytes = 128;
    // All series together hold at most this many bars (one full series): the series filed
    // longest ago make room for a new one. Charts keep their own copies, so nothing drawn is lost.
    static constexpr std::size_t kMaxStoredBars = BarSeries::kMaxBars;

    explicit ChartDataStore(std::size_t maxStoredBars = kMaxStoredBars) : maxBars_(maxStoredBars) {}

    struct Entry {
        std::shared_ptr<const BarSeries> bars;
        platform::Clock::time_point received;
        std::uint64_t requestId = 0;
        std::uint64_t filed = 0; // order of filing, 1 for the first
    };

    // Files the reply's bars under its key, replacing what was there. False when the reply is
    // dropped: no text, no key or one longer than kMaxKeyBytes, longer than kMaxChartReplyBytes,
    // more bars than the store holds, or the store is full and the key new. Announcing it is the
    // caller's.
    bool fillChartData(const std::optional<std::string>& text, std::uint64_t requestId);

    std::optional<Entry> entry(std::string_view key) const;
    // The bars of `key` when they arrived less than `maxAge` ago (by the platform clock, in whole
    // seconds); null when there are none or they are older. seconds::max() takes any age.
    std::shared_ptr<const BarSeries> freshBars(std::string_view key, std::chrono::seconds maxAge) const;
    std::size_t size() const;
    void clear();

private:
    const std::size_t maxBars_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry, std::less<>> entries_;
    std::size_t bars_ = 0; // held by all entries
    std::uint64_t filed_ = 0;
};

} // namespace tc::charts
