#include "charts/study_board.h"

#include <algorithm>
#include <cmath>

namespace tc::charts {
namespace {

// No axis ever carries more ticks than this, whatever a window or a series holds.
constexpr std::size_t kMaxTicks = 4096;

} // namespace

bool isPriceStudy(Study study) {
    switch (study) {
    case Study::SimpleMovingAverage:
    case Study::ExponentialMovingAverage:
    case Study::BollingerBands:
    case Study::Alligator:
        return true;
    default:
        return false;
    }
}

std::optional<Study> StudyBoard::switchOn(Study study) {
    if (shows(study))
        return std::nullopt;
    std::optional<Study> replaced;
    if (!isPriceStudy(study)) {
        replaced = lowerStudy();
        if (replaced)
            switchOff(*replaced);
    }
    shown_.push_back(study);
    return replaced;
}

void StudyBoard::switchOff(Study study) {
    shown_.erase(std::remove(shown_.begin(), shown_.end(), study), shown_.end());
}

bool StudyBoard::shows(Study study) const {
    return std::find(shown_.begin(), shown_.end(), study) != shown_.end();
}

std::optional<Study> StudyBoard::lowerStudy() const {
    for (Study s : shown_)
        if (!isPriceStudy(s))
            return s;
    return std::nullopt;
}

std::size_t rangeLineOf(Study study) {
    switch (study) {
    case Study::MacdHistogram:
        return 2; // MACD, signal, histogram
    case Study::StochasticOscillator:
    case Study::RelativeVigourIndex:
        return 1; // main, signal
    default:
        return 0;
    }
}

double roundStep(double wanted) {
    if (!(wanted > 0) || !std::isfinite(wanted))
        return 1;
    const double unit = std::pow(10.0, std::floor(std::log10(wanted)));
    double best = unit;
    for (double f : {2.0, 5.0, 10.0})
        if (std::abs(std::log(f * unit / wanted)) < std::abs(std::log(best / wanted)))
            best = f * unit;
    return best;
}

StudyAxis studyAxis(std::span<const double> values, std::size_t first, std::size_t last, double width,
                    std::size_t count) {
    StudyAxis axis;
    last = std::min(last, values.size());
    double low = INFINITY, high = -INFINITY;
    for (std::size_t i = first; i < last; ++i) {
        if (std::isfinite(values[i])) {
            low = std::min(low, values[i]);
            high = std::max(high, values[i]);
        }
    }
    if (low <= high) {
        axis.y = priceRange(low, high).value_or(axis.y);
        const double span = high - low;
        // A flat window steps by a quarter of the room around its value.
        axis.tickInterval = roundStep((span > 0 ? span : axis.y.length) * 0.25);
        // Whole multiples of the step inside the range; the slack keeps a tick on an edge.
        const double from = std::ceil(axis.y.location / axis.tickInterval - 1e-9);
        const double to = std::floor(axis.y.end() / axis.tickInterval + 1e-9);
        for (double k = from; k <= to && axis.yTicks.size() < kMaxTicks; ++k)
            axis.yTicks.push_back(k * axis.tickInterval + 0.0); // + 0.0: no "-0"
    }
    const double sixth = std::isfinite(width) ? std::trunc(width / 6) : 1;
    const std::size_t step = sixth >= 1 ? static_cast<std::size_t>(sixth) : 1;
    for (std::size_t bar = 0; bar < count && axis.xTicks.size() < kMaxTicks; bar += step)
        axis.xTicks.push_back(bar);
    return axis;
}

} // namespace tc::charts
