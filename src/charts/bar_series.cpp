#include "charts/bar_series.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tc::charts {

Bar BarSeries::bar(std::size_t i) const {
    return {times_[i], opens_[i], highs_[i], lows_[i], closes_[i], bids_[i], asks_[i]};
}

bool BarSeries::push(const Bar& bar) {
    if (full())
        return false;
    times_.push_back(bar.time);
    opens_.push_back(bar.open);
    highs_.push_back(bar.high);
    lows_.push_back(bar.low);
    closes_.push_back(bar.close);
    bids_.push_back(bar.bid);
    asks_.push_back(bar.ask);
    return true;
}

void BarSeries::set(std::size_t i, const Bar& bar) {
    times_[i] = bar.time;
    opens_[i] = bar.open;
    highs_[i] = bar.high;
    lows_[i] = bar.low;
    closes_[i] = bar.close;
    bids_[i] = bar.bid;
    asks_[i] = bar.ask;
}

void BarSeries::reserve(std::size_t n) {
    n = std::min(n, kMaxBars);
    times_.reserve(n);
    for (auto* column : {&opens_, &highs_, &lows_, &closes_, &bids_, &asks_})
        column->reserve(n);
}

void BarSeries::clear() {
    times_.clear();
    for (auto* column : {&opens_, &highs_, &lows_, &closes_, &bids_, &asks_})
        column->clear();
}

void BarSeries::dropFront(std::size_t n) {
    n = std::min(n, size());
    times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(n));
    for (auto* column : {&opens_, &highs_, &lows_, &closes_, &bids_, &asks_})
        column->erase(column->begin(), column->begin() + static_cast<std::ptrdiff_t>(n));
}

bool operator==(const BarSeries& a, const BarSeries& b) {
    // NaN marks a missing price; two missing prices are the same bar.
    auto same = [](const std::vector<double>& x, const std::vector<double>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [](double u, double v) { return u == v || (std::isnan(u) && std::isnan(v)); });
    };
    return a.times_ == b.times_ && same(a.opens_, b.opens_) && same(a.highs_, b.highs_) &&
           same(a.lows_, b.lows_) && same(a.closes_, b.closes_) && same(a.bids_, b.bids_) &&
           same(a.asks_, b.asks_);
}

} // namespace tc::charts
