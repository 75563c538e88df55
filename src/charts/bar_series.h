#pragma once
// The bars of one chart as numbers, one column per field, oldest bar first. Columns grow with the
// bars; a missing price is NaN and a missing time kNoTime, so every bar keeps its position.
#include "charts/bar_time.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace tc::charts {

inline constexpr double kNoPrice = std::numeric_limits<double>::quiet_NaN();

struct Bar {
    std::int64_t time = kNoTime;
    double open = kNoPrice;
    double high = kNoPrice;
    double low = kNoPrice;
    double close = kNoPrice;
    // The bid and ask series of the bid/ask chart: the live bid and ask, or the high and low
    // columns of a reply (where the server sends them for that chart).
    double bid = kNoPrice;
    double ask = kNoPrice;
};

class BarSeries {
public:
    // More bars than this are refused: a chart never needs them, and a hostile reply or a feed
    // running for months must not take the memory.
    static constexpr std::size_t kMaxBars = 10'000'002;

    std::size_t size() const { return times_.size(); }
    bool empty() const { return times_.empty(); }
    bool full() const { return size() >= kMaxBars; }

    Bar bar(std::size_t i) const;
    const Bar back() const { return bar(size() - 1); }
    // False, storing nothing, when the series is full.
    bool push(const Bar& bar);
    void set(std::size_t i, const Bar& bar);
    void reserve(std::size_t n);
    void clear();
    // Drops the oldest n bars (all when n is past the size).
    void dropFront(std::size_t n);

    std::span<const std::int64_t> times() const { return times_; }
    std::span<const double> opens() const { return opens_; }
    std::span<const double> highs() const { return highs_; }
    std::span<const double> lows() const { return lows_; }
    std::span<const double> closes() const { return closes_; }
    std::span<const double> bids() const { return bids_; }
    std::span<const double> asks() const { return asks_; }

    friend bool operator==(const BarSeries&, const BarSeries&);

private:
    std::vector<std::int64_t> times_;
    std::vector<double> opens_, highs_, lows_, closes_, bids_, asks_;
};

} // namespace tc::charts
