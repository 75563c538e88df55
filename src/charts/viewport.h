#pragma once
// The visible window of a price chart in bar slots. Bar i is drawn centred at x = i, and so are its
// time label and the crosshair that marks it. The window is `slots` wide and starts at slot `from`
// (fractions allowed while dragging); its x range is [from - 0.5, from - 0.5 + slots].
#include <cstddef>
#include <optional>
#include <utility>

namespace tc::charts {

struct AxisRange {
    double location = 0;
    double length = 1;
    double end() const { return location + length; }
    friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

class Viewport {
public:
    static constexpr double kDefaultSlots = 35.0;
    static constexpr double kMinSlots = 3.0;

    // The newest bars (at most kDefaultSlots of them, at least kMinSlots slots wide), following.
    void reset(std::size_t count);
    // The bar count changed. A following window keeps the newest bar in view and widens with
    // the bars up to kDefaultSlots while it still starts at the first bar.
    void setCount(std::size_t count);
    // The oldest n bars are gone: the window keeps showing the same bars where it can.
    void dropFront(std::size_t n);
    // Back to the newest bar, following again.
    void scrollToEnd();

    // A proposed x range made valid: the width within kMinSlots..max(count, kMinSlots), the window
    // neither before the first bar nor past the newest. Non-finite parts keep the current values.
    AxisRange constrain(AxisRange proposed) const;
    // Applies constrain(); following is then whether the newest bar is at the right edge.
    void setRange(AxisRange proposed);
    // A drag by `bars` slots to the right (the bars move right, the window left). Returns false,
    // moving nothing, while every bar fits in the window.
    bool dragBy(double bars);
    // Scales the width by `factor` keeping x = anchor at the same place on screen.
    void zoomBy(double factor, double anchor);

    AxisRange xRange() const { return {from_ - 0.5, slots_}; }
    double from() const { return from_; }
    double width() const { return slots_; }
    bool following() const { return following_; }
    std::size_t count() const { return count_; }

    // Bars at least partly inside the window: [first, last).
    std::pair<std::size_t, std::size_t> visibleBars() const;
    // The bar nearest to x (halves away from zero), kept within the bars; nullopt without bars.
    std::optional<std::size_t> barAt(double x) const;

private:
    double maxFrom(double width) const;

    std::size_t count_ = 0;
    double from_ = 0;
    double slots_ = kMinSlots;
    bool following_ = true;
};

// The y range of a window whose prices span [low, high]: from low - 0.2 % of the span, 110 % of the
// span high. A flat window gets 0.1 % of its price (or 1 at 0) on each side; nullopt when either
// end is not finite.
std::optional<AxisRange> priceRange(double low, double high);

// Bars that carry a time label are the whole multiples of this step: a third of the window's width
// when it is above 6 slots, else the whole width, in whole bars (at least 1).
std::size_t labelStep(double width);

} // namespace tc::charts
