#pragma once
// Live prices of the market: a seeded random walk per instrument, the feed texts of a quote and of
// market depth, and generated chart bars. Thread-safe: the feed thread moves prices while the stream
// and data-service threads read them.
#include "market.h"
#include "model/records/wall_time.h"

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// Prices in units of 10^-decimals of the instrument.
struct Quote {
    std::int64_t bid = 0;
    std::int64_t ask = 0;
    std::int64_t last = 0;
    std::int64_t high = 0;
    std::int64_t low = 0;
    std::int64_t open = 0;
    std::int64_t prevClose = 0;
};

// Most bars one chart reply carries, and the count used when a request names none.
inline constexpr int kMaxChartBars = 5000;
inline constexpr int kDefaultChartBars = 200;

class PriceBook {
public:
    PriceBook(std::vector<Instrument> instruments, std::uint64_t seed);

    std::size_t size() const noexcept { return instruments_.size(); }
    const Instrument& instrument(std::size_t index) const { return instruments_.at(index); }
    // The index of a code; size() when unknown.
    std::size_t indexOf(std::string_view code) const;

    // Moves the instrument one random step and answers its new quote.
    Quote step(std::size_t index);
    Quote quote(std::size_t index) const;
    // Puts the instrument at the given bid and ask (same units); the walk goes on from there.
    Quote set(std::size_t index, std::int64_t bid, std::int64_t ask);
    std::vector<Quote> quotes() const;

    // Feed texts. The quote time is "yyyyMMddHHmmss".
    static std::string quoteText(const Instrument& instrument, const Quote& quote, std::string_view time);
    static std::string depthText(const Instrument& instrument, const Quote& quote);

    // Bar length in seconds of a chart interval text; 0 when the text is unknown.
    static int intervalSeconds(std::string_view interval);
    // The text of a chart reply (header, six columns, end marker) with `count` bars that end at `now`
    // (the server's clock: its fields written as they are) and at the instrument's current bid. The
    // same seed, instrument, interval and time give the same bars.
    std::string chartText(std::size_t index, std::string_view interval, int count, tc::WallTime now) const;
    // Header and end marker only, for an instrument or interval the market does not have.
    static std::string emptyChartText(std::string_view code, std::string_view interval);

private:
    std::vector<Instrument> instruments_;
    std::uint64_t seed_;
    mutable std::mutex mutex_;
    std::vector<Quote> quotes_;
    std::mt19937_64 random_;
};

} // namespace testserver
