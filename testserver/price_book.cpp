#include "price_book.h"

#include "platform/date_format.h"
#include "wire/separators.h"

#include <algorithm>

using namespace tc;

namespace testserver {

namespace {

std::int64_t power10(int n) {
    std::int64_t p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

std::uint64_t fnv1a(std::string_view text, std::uint64_t h = 1469598103934665603ULL) {
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

// Uniform in [-step, step]; modulo bias is irrelevant for a test market.
std::int64_t randomMove(std::mt19937_64& random, std::int64_t step) {
    return static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(2 * step + 1)) - step;
}

// Keeps a walk within half and one and a half times its start, reflecting at the bounds.
std::int64_t bounded(std::int64_t value, std::int64_t start) {
    const std::int64_t low = std::max<std::int64_t>(1, start / 2);
    const std::int64_t high = start + start / 2;
    if (value < low)
        return low + (low - value);
    if (value > high)
        return high - (value - high);
    return value;
}

} // namespace

PriceBook::PriceBook(std::vector<Instrument> instruments, std::uint64_t seed)
    : instruments_(std::move(instruments)), seed_(seed), random_(seed) {
    quotes_.reserve(instruments_.size());
    for (const auto& i : instruments_) {
        Quote q;
        q.bid = q.last = q.high = q.low = q.open = q.prevClose = i.price;
        q.ask = i.price + i.spread;
        quotes_.push_back(q);
    }
}

std::size_t PriceBook::indexOf(std::string_view code) const {
    for (std::size_t i = 0; i < instruments_.size(); ++i)
        if (instruments_[i].code == code)
            return i;
    return instruments_.size();
}

Quote PriceBook::step(std::size_t index) {
    const Instrument& i = instruments_.at(index);
    std::lock_guard lock(mutex_);
    Quote& q = quotes_[index];
    q.bid = bounded(q.bid + randomMove(random_, i.step), i.price);
    q.ask = q.bid + i.spread;
    q.last = q.bid;
    q.high = std::max(q.high, q.bid);
    q.low = std::min(q.low, q.bid);
    return q;
}

Quote PriceBook::set(std::size_t index, std::int64_t bid, std::int64_t ask) {
    std::lock_guard lock(mutex_);
    Quote& q = quotes_.at(index);
    q.bid = q.last = bid;
    q.ask = ask;
    q.high = std::max(q.high, bid);
    q.low = std::min(q.low, bid);
    return q;
}

Quote PriceBook::quote(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return quotes_.at(index);
}

std::vector<Quote> PriceBook::quotes() const {
    std::lock_guard lock(mutex_);
    return quotes_;
}

std::string PriceBook::quoteText(const Instrument& instrument, const Quote& q, std::string_view time) {
    // The base is the whole part of the lowest price carried, so every offset is a plain
    // non-negative count of the last decimal.
    const std::int64_t scale = power10(instrument.decimals);
    const std::int64_t lowest = std::min({q.last, q.bid, q.ask, q.high, q.low, q.open, q.prevClose});
    const std::int64_t base = std::max<std::int64_t>(0, lowest) / scale;
    const std::int64_t baseUnits = base * scale;
    std::string text = instrument.code;
    auto add = [&text](const std::string& field) {
        text.push_back(wire::kFeedField);
        text += field;
    };
    add(std::string(time));
    add(std::to_string(base));
    for (std::int64_t v : {q.last, q.bid, q.ask, q.high, q.low, q.open, q.prevClose})
        add(std::to_string(v - baseUnits));
    add(std::to_string(instrument.decimals));
    return text;
}

std::string PriceBook::depthText(const Instrument& instrument, const Quote& q) {
    const std::int64_t gap = std::max<std::int64_t>(1, instrument.spread);
    std::string text = "MD_" + instrument.code + ";";
    for (int side = 0; side < 2; ++side) {
        for (int level = 0; level < 3; ++level) {
            const std::int64_t price = side == 0 ? q.bid - level * gap : q.ask + level * gap;
            if (level > 0)
                text.push_back('|');
            text += formatScaled(price, instrument.decimals);
            text.push_back(',');
            text += std::to_string((level + 1) * 1000000);
        }
        text.push_back(side == 0 ? ';' : '|');
    }
    text.pop_back();
    return text;
}

int PriceBook::intervalSeconds(std::string_view interval) {
    struct Entry {
        std::string_view text;
        int seconds;
    };
    static constexpr Entry table[] = {{"T", 1},    {"O", 60},   {"5", 300},   {"1", 600},    {"15", 900},
                                      {"3", 1800}, {"H", 3600}, {"D", 86400}, {"W", 604800}, {"BA", 1}};
    for (const auto& e : table)
        if (e.text == interval)
            return e.seconds;
    return 0;
}

std::string PriceBook::emptyChartText(std::string_view code, std::string_view interval) {
    return "<1041~" + std::string(code) + "^" + std::string(interval) + "~0>#####<END>";
}

std::string PriceBook::chartText(std::size_t index, std::string_view interval, int count,
                                 tc::WallTime now) const {
    const int seconds = intervalSeconds(interval);
    if (index >= instruments_.size() || seconds == 0)
        return emptyChartText(index < instruments_.size() ? instruments_[index].code : "", interval);
    const Instrument& inst = instruments_[index];
    count = std::clamp(count, 1, kMaxChartBars);
    const std::int64_t lastClose = quote(index).bid;
    const std::int64_t since1970 = now.time_since_epoch().count();
    const std::int64_t end = (since1970 >= 0 ? since1970 : since1970 - seconds + 1) / seconds * seconds;

    // Walk back from the current bid, so the newest bar meets the live prices.
    std::mt19937_64 random(fnv1a(interval, fnv1a(inst.code, seed_)) ^ static_cast<std::uint64_t>(end));
    std::vector<std::int64_t> closes(static_cast<std::size_t>(count));
    std::int64_t price = lastClose;
    for (int i = count - 1; i >= 0; --i) {
        closes[static_cast<std::size_t>(i)] = price;
        price = bounded(price + randomMove(random, inst.step * 3), inst.price);
    }

    // In universal time: the clock's fields as they are, whatever the computer's zone.
    platform::DateFormatter dateFormat("MM/dd/yy", "en_US", "UTC");
    platform::DateFormatter timeFormat("HH:mm:ss", "en_US", "UTC");
    std::string dates, times, closeColumn, highs, lows, opens;
    std::int64_t open = price;
    for (int i = 0; i < count; ++i) {
        const std::int64_t close = closes[static_cast<std::size_t>(i)];
        const std::int64_t wick =
            static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(inst.step + 1));
        const std::int64_t high = std::max(open, close) + wick;
        const std::int64_t low = std::max<std::int64_t>(1, std::min(open, close) - wick);
        const platform::Date date{
            static_cast<double>(end - static_cast<std::int64_t>(count - 1 - i) * seconds)};
        const char* sep = i == 0 ? "" : ",";
        dates += sep + dateFormat.format(date);
        times += sep + timeFormat.format(date);
        closeColumn += sep + formatScaled(close, inst.decimals);
        highs += sep + formatScaled(high, inst.decimals);
        lows += sep + formatScaled(low, inst.decimals);
        opens += sep + formatScaled(open, inst.decimals);
        open = close;
    }
    return "<1041~" + inst.code + "^" + std::string(interval) + "~" + std::to_string(count) + ">" + dates +
           "#" + times + "#" + closeColumn + "#" + highs + "#" + lows + "#" + opens + "<END>";
}

} // namespace testserver
