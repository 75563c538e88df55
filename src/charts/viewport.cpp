#include "charts/viewport.h"

#include <algorithm>
#include <cmath>

namespace tc::charts {

double Viewport::maxFrom(double width) const {
    return std::max(0.0, static_cast<double>(count_) - width);
}

void Viewport::reset(std::size_t count) {
    count_ = count;
    slots_ = std::clamp(static_cast<double>(count), kMinSlots, kDefaultSlots);
    from_ = maxFrom(slots_);
    following_ = true;
}

void Viewport::setCount(std::size_t count) {
    count_ = count;
    if (following_) {
        if (from_ <= 0 && slots_ < kDefaultSlots)
            slots_ = std::max(slots_, std::min(static_cast<double>(count), kDefaultSlots));
        from_ = maxFrom(slots_);
        return;
    }
    setRange(xRange());
}

void Viewport::dropFront(std::size_t n) {
    n = std::min(n, count_);
    from_ = std::max(0.0, from_ - static_cast<double>(n));
    setCount(count_ - n);
}

void Viewport::scrollToEnd() {
    from_ = maxFrom(slots_);
    following_ = true;
}

AxisRange Viewport::constrain(AxisRange proposed) const {
    const double widest = std::max(static_cast<double>(count_), kMinSlots);
    const double width =
        std::isfinite(proposed.length) ? std::clamp(proposed.length, kMinSlots, widest) : slots_;
    const double from = std::isfinite(proposed.location) ? proposed.location + 0.5 : from_;
    return {std::clamp(from, 0.0, maxFrom(width)) - 0.5, width};
}

void Viewport::setRange(AxisRange proposed) {
    const AxisRange range = constrain(proposed);
    from_ = range.location + 0.5;
    slots_ = range.length;
    following_ = from_ + slots_ >= static_cast<double>(count_) - 1e-9;
}

bool Viewport::dragBy(double bars) {
    if (static_cast<double>(count_) <= slots_)
        return false;
    setRange({xRange().location - bars, slots_});
    return true;
}

void Viewport::zoomBy(double factor, double anchor) {
    if (!std::isfinite(factor) || factor <= 0)
        return;
    const AxisRange now = xRange();
    const double widest = std::max(static_cast<double>(count_), kMinSlots);
    const double width = std::clamp(now.length * factor, kMinSlots, widest);
    if (!std::isfinite(anchor))
        anchor = now.location + now.length / 2;
    setRange({anchor - (anchor - now.location) * (width / now.length), width});
}

std::pair<std::size_t, std::size_t> Viewport::visibleBars() const {
    const AxisRange r = xRange();
    const double first = std::max(0.0, std::floor(r.location - 0.5) + 1);
    const double last = std::min(static_cast<double>(count_), std::ceil(r.end() + 0.5));
    if (last <= first)
        return {0, 0};
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

std::optional<std::size_t> Viewport::barAt(double x) const {
    if (count_ == 0 || std::isnan(x))
        return std::nullopt;
    const double nearest = std::clamp(std::round(x), 0.0, static_cast<double>(count_ - 1));
    return static_cast<std::size_t>(nearest);
}

std::optional<AxisRange> priceRange(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high) || high < low)
        return std::nullopt;
    const double span = high - low;
    if (span > 0 && std::isfinite(1.1 * span))
        return AxisRange{low - 0.002 * span, 1.1 * span};
    const double pad = low != 0 ? std::abs(low) * 0.001 : 1.0;
    return AxisRange{low - pad, 2 * pad};
}

std::size_t labelStep(double width) {
    const double step = width > 6 ? width / 3 : width;
    return std::isfinite(step) && step >= 1 ? static_cast<std::size_t>(step) : 1;
}

} // namespace tc::charts
