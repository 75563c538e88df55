#include "gui/grid/tick_tracker.h"

#include <cmath>

namespace tc::gui {
namespace {

bool isQuote(double price) {
    return std::isfinite(price) && price != 0;
}

} // namespace

Tick TickTracker::note(std::string_view key, double price) {
    auto it = states_.find(key);
    if (it == states_.end()) {
        states_.emplace(std::string(key), State{price, Tick::Same, refresh_});
        return Tick::Same;
    }
    State& state = it->second;
    if (state.refresh == refresh_)
        return state.tick;
    if (!isQuote(price) || !isQuote(state.price))
        state.tick = Tick::Same;
    else
        state.tick = price > state.price ? Tick::Up : price < state.price ? Tick::Down : Tick::Same;
    state.price = price;
    state.refresh = refresh_;
    return state.tick;
}

void TickTracker::keep(std::string_view key) {
    if (auto it = states_.find(key); it != states_.end())
        it->second.refresh = refresh_;
}

void TickTracker::endRefresh() {
    std::erase_if(states_, [&](const auto& entry) { return entry.second.refresh != refresh_; });
    ++refresh_;
}

Tick TickTracker::tick(std::string_view key) const {
    const auto it = states_.find(key);
    return it == states_.end() ? Tick::Same : it->second.tick;
}

} // namespace tc::gui
