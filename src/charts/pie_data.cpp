#include "charts/pie_data.h"
#include "platform/amount_text.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <numbers>

namespace tc::charts {
namespace {

double sliceSize(double value) {
    if (!std::isfinite(value))
        return 0;
    return std::round(std::abs(value) * 100) / 100;
}

} // namespace

std::vector<PieSlice> pieSlices(std::span<const std::string> titles, std::span<const double> values) {
    std::vector<PieSlice> slices;
    slices.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        slices.push_back({i < titles.size() ? titles[i] : std::string(), values[i], sliceSize(values[i])});
    return slices;
}

std::string legendText(const PieSlice& slice) {
    if (!std::isfinite(slice.value))
        return fmt::format("{}: ", slice.title);
    // -0.00 reads as 0.00.
    const double shown = std::round(slice.value * 100) / 100;
    return fmt::format("{}: {}", slice.title, platform::amountText(shown == 0 ? 0.0 : slice.value));
}

bool isLoss(const PieSlice& slice) {
    return std::isfinite(slice.value) && std::round(slice.value * 100) < 0;
}

std::vector<std::size_t> SliceColours::assign(std::span<const PieSlice> slices) {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> colours(slices.size(), kNone);
    std::vector<std::size_t> held(colours_, 0);
    const auto keptOf = [this](const std::string& title) {
        return std::find_if(kept_.begin(), kept_.end(), [&](const auto& k) { return k.first == title; });
    };
    // Titles seen before keep their colours first, so a newcomer never takes one of them.
    for (std::size_t i = 0; i < slices.size(); ++i)
        if (const auto kept = keptOf(slices[i].title); kept != kept_.end() && held[kept->second] == 0) {
            colours[i] = kept->second;
            ++held[kept->second];
        }
    for (std::size_t i = 0; i < slices.size(); ++i) {
        if (colours[i] != kNone)
            continue;
        // With more slices than colours some share one: never two side by side (the last slice
        // borders the first). Then the least held colour; among those, one no other title had, then
        // the first.
        const std::size_t n = slices.size();
        const auto besideOne = [&](std::size_t c) {
            return n > 1 && (colours[(i + n - 1) % n] == c || colours[(i + 1) % n] == c);
        };
        std::size_t best = 0;
        bool bestBeside = true;
        bool bestOwned = true;
        for (std::size_t c = 0; c < colours_; ++c) {
            const bool beside = besideOne(c);
            const bool owned = std::any_of(kept_.begin(), kept_.end(), [&](const auto& k) {
                return k.second == c && k.first != slices[i].title;
            });
            const bool better = beside != bestBeside    ? !beside
                                : held[c] != held[best] ? held[c] < held[best]
                                                        : bestOwned && !owned;
            if (c == 0 || better) {
                best = c;
                bestBeside = beside;
                bestOwned = owned;
            }
        }
        colours[i] = best;
        ++held[best];
        if (const auto kept = keptOf(slices[i].title); kept != kept_.end())
            kept->second = best;
        else
            kept_.emplace_back(slices[i].title, best);
    }
    return colours;
}

std::vector<double> sliceAngles(std::span<const double> sizes) {
    auto counted = [](double size) { return std::isfinite(size) && size > 0 ? size : 0.0; };
    double total = 0;
    for (double size : sizes)
        total += counted(size);
    std::vector<double> angles(sizes.size(), 0.0);
    if (!(total > 0) || !std::isfinite(total))
        return angles;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        angles[i] = counted(sizes[i]) / total * 2 * std::numbers::pi;
    return angles;
}

std::vector<PieHolding> byInstrument(std::span<const PieHolding> positions) {
    std::vector<PieHolding> out;
    for (const PieHolding& p : positions) {
        const double amount = std::isfinite(p.amount) ? p.amount : 0.0;
        auto it = std::find_if(out.begin(), out.end(), [&](const PieHolding& h) { return h.code == p.code; });
        if (it == out.end())
            out.push_back({p.code, p.instrumentId, amount});
        else
            it->amount += amount;
    }
    std::stable_sort(out.begin(), out.end(), [](const PieHolding& a, const PieHolding& b) {
        if (a.amount != b.amount)
            return a.amount > b.amount;
        return a.instrumentId < b.instrumentId;
    });
    return out;
}

std::vector<PieSlice> equityShares(std::span<const PieHolding> margins, double equity, double availableMargin,
                                   bool equityHit) {
    if (!std::isfinite(equity) || !(equity > 0))
        return {};
    std::vector<std::string> titles;
    std::vector<double> values;
    for (const PieHolding& h : byInstrument(margins)) {
        titles.push_back(h.code);
        values.push_back(equityHit ? 0.0 : h.amount / equity * 100);
    }
    titles.emplace_back("Avl.Mgn");
    values.push_back(availableMargin / equity * 100);
    return pieSlices(titles, values);
}

std::vector<PieSlice> profitLossShares(std::span<const PieHolding> profits) {
    std::vector<std::string> titles;
    std::vector<double> values;
    for (const PieHolding& h : byInstrument(profits)) {
        titles.push_back(h.code);
        values.push_back(h.amount);
    }
    return pieSlices(titles, values);
}

} // namespace tc::charts
