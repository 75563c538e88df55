#pragma once
// Tick direction of live prices, kept by each view for itself: the quotes board, the advanced board,
// the open positions and the order ticket each compare against their own previous price, so one
// view never takes another's tick away. Prices are noted once per refresh (the one-second timer),
// never while painting; painting only reads the direction. No Qt here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tc::gui {

enum class Tick : std::uint8_t { Same, Up, Down };

class TickTracker {
public:
    // Notes the key's price for this refresh and gives its direction against the previous refresh.
    // The first price of a key, and a price of 0 or not finite on either side (no quote), give Same.
    // A second note of the same key within one refresh changes nothing.
    Tick note(std::string_view key, double price);
    // Keeps the key's previous price and direction through this refresh without a new price.
    void keep(std::string_view key);
    // Ends a refresh: keys neither noted nor kept since the previous end are forgotten.
    void endRefresh();
    // The direction the last refresh gave; Same for a key not known.
    Tick tick(std::string_view key) const;
    std::size_t size() const { return states_.size(); }

private:
    struct State {
        double price = 0;
        Tick tick = Tick::Same;
        std::uint64_t refresh = 0;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, State, Hash, std::equal_to<>> states_;
    std::uint64_t refresh_ = 1;
};

// The bid and ask ticks of the instruments one quotes view shows, keyed by instrument code.
struct QuoteTicks {
    TickTracker bid;
    TickTracker ask;
};

} // namespace tc::gui
