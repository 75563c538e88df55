#include "charts/chart_reply.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tc::charts {
namespace {

constexpr std::size_t kColumns = 6;
enum Column : std::size_t { Dates, Times, Closes, Highs, Lows, Opens };

// Walks the items of one column.
class Items {
public:
    explicit Items(std::string_view column) : rest_(column), done_(column.empty()) {}

    bool atEnd() const { return done_; }
    // The next item, empty when the column has run out.
    std::string_view next() {
        if (done_)
            return {};
        const std::size_t comma = rest_.find(',');
        std::string_view item = rest_.substr(0, comma);
        if (comma == std::string_view::npos)
            done_ = true;
        else
            rest_.remove_prefix(comma + 1);
        return item;
    }

private:
    std::string_view rest_;
    bool done_;
};

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Every "<...>" removed; a "<" without a ">" ends the text.
std::string withoutTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t open = text.find('<');
        out.append(text.substr(0, open));
        if (open == std::string_view::npos)
            break;
        const std::size_t close = text.find('>', open);
        if (close == std::string_view::npos)
            break;
        text.remove_prefix(close + 1);
    }
    return out;
}

// Bars = close items, less trailing empty ones.
std::size_t barCount(std::string_view closes) {
    std::size_t count = 0, lastFilled = 0;
    for (Items items(closes); !items.atEnd() && count < BarSeries::kMaxBars;) {
        ++count;
        if (!trimmed(items.next()).empty())
            lastFilled = count;
    }
    return lastFilled;
}

} // namespace

std::optional<std::string> chartReplyKey(std::string_view text) {
    const std::size_t end = text.find('>');
    if (end == std::string_view::npos || end < 1)
        return std::nullopt;
    std::string_view header = text.substr(1, end - 1);
    const std::size_t first = header.find('~');
    if (first == std::string_view::npos)
        return std::nullopt;
    header.remove_prefix(first + 1);
    return std::string(header.substr(0, header.find('~')));
}

std::optional<double> readPrice(std::string_view item) {
    item = trimmed(item);
    if (item.empty())
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (ec != std::errc() || end != item.data() + item.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

BarSeries parseChartBars(std::string_view text) {
    BarSeries bars;
    if (text.size() > kMaxChartReplyBytes)
        return bars;
    const std::string body = withoutTags(text);
    std::array<std::string_view, kColumns> columns{};
    std::string_view rest = body;
    for (std::size_t c = 0; c < kColumns; ++c) {
        const std::size_t hash = rest.find('#');
        columns[c] = rest.substr(0, hash);
        if (hash == std::string_view::npos)
            break;
        rest.remove_prefix(hash + 1);
    }

    const std::size_t count = barCount(columns[Closes]);
    bars.reserve(count);
    std::array<Items, kColumns> items{Items(columns[0]), Items(columns[1]), Items(columns[2]),
                                      Items(columns[3]), Items(columns[4]), Items(columns[5])};
    for (std::size_t i = 0; i < count; ++i) {
        Bar bar;
        const std::string_view date = items[Dates].next();
        const std::string_view time = items[Times].next();
        // A bar without a time of day (daily and weekly replies may send none) starts its day.
        bar.time =
            parseBarTime(date, trimmed(time).empty() ? std::string_view("00:00:00") : time).value_or(kNoTime);
        bar.close = readPrice(items[Closes].next()).value_or(kNoPrice);
        bar.high = readPrice(items[Highs].next()).value_or(kNoPrice);
        bar.low = readPrice(items[Lows].next()).value_or(kNoPrice);
        bar.open = readPrice(items[Opens].next()).value_or(kNoPrice);
        bar.bid = bar.high;
        bar.ask = bar.low;
        bars.push(bar);
    }
    return bars;
}

} // namespace tc::charts
