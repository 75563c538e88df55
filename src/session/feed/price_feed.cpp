#include "session/feed/price_feed.h"
#include "wire/wire_names.h"

#include "model/records/record_fields.h"
#include "model/text/formatter.h"
#include "platform/byte_mask.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "wire/message_cracker.h"
#include "wire/separators.h"
#include "wire/wire_date.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

namespace tc {

using platform::Decimal;
using platform::leadingDecimal;

namespace {

constexpr int kHeldDecimals = 6;
constexpr std::string_view kDepthPrefix = "MD_";
constexpr std::string_view kServerMessagePrefix = "IS;";
constexpr std::string_view kBookmarkPrefix = "*#bm#*:";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        if (at == std::string_view::npos) {
            pieces.push_back(text.substr(from));
            return pieces;
        }
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
}

// Non-empty entries of one depth side, or the reason it is refused.
FeedError depthSide(std::string_view list, std::vector<DepthLevel>& out) {
    for (std::string_view entry : split(list, '|')) {
        if (entry.empty())
            continue;
        if (entry.size() > kMaxDepthEntryLength)
            return FeedError::DepthEntryTooLong;
        if (out.size() == kMaxDepthEntries)
            return FeedError::LadderTooDeep;
        out.push_back(DepthLevel::read(entry));
    }
    return FeedError::None;
}

} // namespace

std::string_view feedErrorText(FeedError error) {
    switch (error) {
    case FeedError::None:
        return "none";
    case FeedError::TooLong:
        return "text too long";
    case FeedError::TooFewFields:
        return "quote with too few fields";
    case FeedError::BaseNotANumber:
        return "quote base is not a number";
    case FeedError::TooFewPieces:
        return "depth text with too few pieces";
    case FeedError::EmptyCode:
        return "depth text without instrument code";
    case FeedError::LadderTooDeep:
        return "depth side too deep";
    case FeedError::DepthEntryTooLong:
        return "depth entry too long";
    case FeedError::CodeTooLong:
        return "instrument code too long";
    }
    return "unknown";
}

RoutedFeedText routeFeedText(std::string_view text) {
    if (text.size() > kMaxFeedTextLength)
        return {FeedTextKind::Refused, {}};
    if (text.starts_with(kDepthPrefix))
        return {FeedTextKind::MarketDepth, text.substr(kDepthPrefix.size())};
    if (text.starts_with(kServerMessagePrefix)) {
        const std::string_view rest = text.substr(kServerMessagePrefix.size());
        return {FeedTextKind::ServerMessage, rest.substr(0, rest.find(';'))};
    }
    if (text.starts_with(kBookmarkPrefix))
        return {FeedTextKind::Bookmark, {}};
    return {FeedTextKind::Price, text};
}

PriceUpdate FeedQuote::toPriceUpdate() const& {
    return FeedQuote(*this).toPriceUpdate();
}

PriceUpdate FeedQuote::toPriceUpdate() && {
    PriceUpdate u;
    u.ItemCode = std::move(ItemCode);
    u.Time = Time;
    u.DotPosition = PriceUpdate::DotPositionForDecimals(Decimals);
    auto price = [](const std::optional<Decimal>& v) {
        return v ? RecordFields::compactOf(*v) : platform::CompactDecimal();
    };
    u.Last = price(Last);
    u.Bid = price(Bid);
    u.Ask = price(Ask);
    u.High = price(High);
    u.Low = price(Low);
    u.Open = price(Open);
    u.PreviousClose = price(PreviousClose);
    return u;
}

namespace {

// offset / 10^decimals: a shift of the exponent, exact, without a long division.
Decimal shiftedDown(const Decimal& offset, int decimals) {
    if (offset.isNaN() || offset.exponent() - decimals < Decimal::kMinExponent) {
        Decimal scale = Decimal::fromInt64(1);
        for (int d = 0; d < decimals; ++d)
            scale = scale * Decimal::fromInt64(10);
        return offset.divide(scale);
    }
    return Decimal::fromParts(offset.isNegative(), offset.mantissa(), offset.exponent() - decimals);
}

// An offset written as plain digits (a sign allowed, the leading number only, as leadingDecimal
// reads it) into `out`; false when it needs the general reader: a fraction, an exponent, no digits or
// more than 18 of them. Inline: it runs for every price of every quote.
[[gnu::always_inline]] inline bool readPlainInteger(std::string_view text, std::int64_t& out) {
    // Offsets seldom start with a blank; the test spares a call per field.
    const bool plainStart = !text.empty() && (isDigit(text[0]) || text[0] == '-' || text[0] == '+');
    const std::string_view s = plainStart ? text : platform::skipBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (++digits > 18)
            return false;
        value = value * 10 + (s[i++] - '0');
    }
    if (digits == 0 || (i < s.size() && (s[i] == '.' || s[i] == 'e' || s[i] == 'E')))
        return false;
    out = negative ? -value : value;
    return true;
}

std::optional<std::int64_t> plainInteger(std::string_view text) {
    std::int64_t value = 0;
    if (!readPlainInteger(text, value))
        return std::nullopt;
    return value;
}

constexpr std::int64_t kPow10[] = {1,
                                   10,
                                   100,
                                   1000,
                                   10000,
                                   100000,
                                   1000000,
                                   10000000,
                                   100000000,
                                   1000000000,
                                   10000000000,
                                   100000000000,
                                   1000000000000,
                                   10000000000000,
                                   100000000000000,
                                   1000000000000000,
                                   10000000000000000,
                                   100000000000000000,
                                   1000000000000000000};

// base + offset / 10^decimals held to six decimals, in whole units of 10^-6: the same value as the
// decimal arithmetic of the general path (the offset rounded half away from zero to six decimals,
// then added), without it. nullopt when the base does not fit this form.
// The offset's part of such a price, in the same units.
__int128 offsetUnits(std::int64_t offset, int decimals) {
    __int128 o = 0;
    if (decimals <= kHeldDecimals) {
        o = static_cast<__int128>(offset) * kPow10[kHeldDecimals - decimals];
    } else {
        const std::int64_t p = kPow10[decimals - kHeldDecimals];
        const std::uint64_t magnitude =
            offset < 0 ? 0 - static_cast<std::uint64_t>(offset) : static_cast<std::uint64_t>(offset);
        std::uint64_t q = magnitude / static_cast<std::uint64_t>(p);
        if (2 * (magnitude % static_cast<std::uint64_t>(p)) >= static_cast<std::uint64_t>(p))
            ++q;
        o = offset < 0 ? -static_cast<__int128>(q) : static_cast<__int128>(q);
    }
    return o;
}

std::optional<Decimal> integerPrice(const Decimal& base, std::int64_t offset, int decimals) {
    if (base.isNaN() || base.exponent() < -kHeldDecimals || base.exponent() > 12 ||
        base.mantissa() >= static_cast<unsigned __int128>(kPow10[18]))
        return std::nullopt;
    const __int128 units = static_cast<__int128>(base.mantissa()) * kPow10[base.exponent() + kHeldDecimals];
    const __int128 b = base.isNegative() ? -units : units;
    const __int128 sum = b + offsetUnits(offset, decimals);
    return Decimal::fromParts(sum < 0, static_cast<unsigned __int128>(sum < 0 ? -sum : sum), -kHeldDecimals);
}

// A base written "[-]digits[.digits]" with at most six decimals and fifteen digits, nothing around
// it, in units of 10^-6 (exact: the rounding to six decimals changes nothing); nullopt otherwise.
std::optional<std::int64_t> plainBaseUnits(std::string_view s) {
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        ++i;
    std::int64_t mantissa = 0;
    int digits = 0;
    int fraction = -1; // digits after the point; -1 before it
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(c)) {
            if (++digits > 15)
                return std::nullopt;
            mantissa = mantissa * 10 + (c - '0');
            if (fraction >= 0 && ++fraction > kHeldDecimals)
                return std::nullopt;
        } else if (c == '.' && fraction < 0 && digits > 0) {
            fraction = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || fraction == 0)
        return std::nullopt;
    // Fifteen digits and six more places may pass 64 bits; such a base is the general reader's.
    const __int128 units = static_cast<__int128>(mantissa) * kPow10[kHeldDecimals - std::max(fraction, 0)];
    if (units >= (__int128{1} << 62))
        return std::nullopt;
    return negative ? -static_cast<std::int64_t>(units) : static_cast<std::int64_t>(units);
}

// The pieces of a quote a decoding reads: the first kRead pieces and the last one, of `count` in all.
struct QuotePieces {
    static constexpr std::size_t kRead = 10;
    std::array<std::string_view, kRead> first{};
    std::string_view last;
    std::size_t count = 0;

    std::string_view operator[](std::size_t i) const { return i + 1 == count ? last : first[i]; }
};

// Pieces are a few bytes long: a bit scan per piece costs less than a search call or a byte loop.
QuotePieces quotePieces(std::string_view text, char separator) {
    QuotePieces out;
    const char* const data = text.data();
    std::size_t from = 0;
    auto cut = [&](std::size_t at) {
        const std::string_view piece(data + from, at - from);
        if (out.count < QuotePieces::kRead)
            out.first[out.count] = piece;
        ++out.count;
        from = at + 1;
    };
    for (std::size_t block = 0; block < text.size(); block += 64) {
        const std::size_t n = std::min<std::size_t>(64, text.size() - block);
        for (std::uint64_t mask = platform::byteMask(data + block, n, separator); mask != 0; mask &= mask - 1)
            cut(block + static_cast<std::size_t>(std::countr_zero(mask)));
    }
    out.last = std::string_view(data + from, text.size() - from);
    if (out.count < QuotePieces::kRead)
        out.first[out.count] = out.last;
    ++out.count;
    return out;
}

} // namespace

bool decodePlainPriceUpdate(std::string_view text, PriceUpdate& u) {
    if (text.size() > kMaxPriceTextLength)
        return false;
    const QuotePieces fields = quotePieces(text, wire::kFeedField);
    if (fields.count < 4 || fields[0].size() > ItemDetails::kMaxCodeBytes)
        return false;
    const auto base = plainBaseUnits(fields[2]);
    if (!base)
        return false;
    const std::size_t last = fields.count - 1;
    const int decimals = static_cast<int>(
        std::clamp<std::int64_t>(platform::lenientInteger(fields[last]), 0, PriceUpdate::kMaxDotDecimals));
    std::array<platform::CompactDecimal*, 7> prices{&u.Last, &u.Bid,  &u.Ask,          &u.High,
                                                    &u.Low,  &u.Open, &u.PreviousClose};
    for (platform::CompactDecimal* price : prices)
        *price = platform::CompactDecimal();
    // Below 2^53 units a price has at most 16 digits: its units are the compact mantissa as they are.
    constexpr __int128 kExact = __int128{1} << 53;
    for (std::size_t i = 3; i < last && i <= 9; ++i) {
        if (fields[i].empty())
            continue; // not carried
        std::int64_t whole = 0;
        if (!readPlainInteger(fields[i], whole))
            return false;
        const __int128 sum = __int128{*base} + offsetUnits(whole, decimals);
        if (sum >= kExact || sum <= -kExact)
            return false;
        *prices[i - 3] = platform::CompactDecimal::fromUnits(static_cast<std::int64_t>(sum), -kHeldDecimals);
    }
    u.ItemCode.assign(fields[0]);
    u.Time = wallTimeFromWire(fields[1]);
    u.DotPosition = PriceUpdate::DotPositionForDecimals(decimals);
    return true;
}

PriceDecoding decodePriceText(std::string_view text) {
    if (text.size() > kMaxPriceTextLength)
        return {std::nullopt, FeedError::TooLong};
    const QuotePieces fields = quotePieces(text, wire::kFeedField);
    // Code, time, base and the decimals count at least.
    if (fields.count < 4)
        return {std::nullopt, FeedError::TooFewFields};
    const std::size_t last = fields.count - 1;
    if (fields[0].size() > ItemDetails::kMaxCodeBytes)
        return {std::nullopt, FeedError::CodeTooLong};

    FeedQuote q;
    const auto base = leadingDecimal(fields[2]);
    if (!base)
        return {std::nullopt, FeedError::BaseNotANumber};
    q.Base = base->rounded(kHeldDecimals);
    q.Decimals = static_cast<int>(
        std::clamp<std::int64_t>(platform::lenientInteger(fields[last]), 0, PriceUpdate::kMaxDotDecimals));
    q.ItemCode = std::string(fields[0]);
    q.Time = wallTimeFromWire(fields[1]);

    const std::array<std::optional<Decimal>*, 7> prices{&q.Last, &q.Bid,  &q.Ask,          &q.High,
                                                        &q.Low,  &q.Open, &q.PreviousClose};
    // Fields 3..9 are prices; the decimals count is never one.
    for (std::size_t i = 3; i < last && i <= 9; ++i) {
        if (const auto whole = plainInteger(fields[i])) {
            if (auto price = integerPrice(q.Base, *whole, q.Decimals)) {
                *prices[i - 3] = *price;
                continue;
            }
        }
        const auto offset = leadingDecimal(fields[i]);
        if (!offset)
            continue;
        const Decimal scaled = shiftedDown(*offset, q.Decimals).rounded(kHeldDecimals);
        const Decimal price = q.Base.add(scaled).rounded(kHeldDecimals);
        if (!price.isNaN())
            *prices[i - 3] = price;
    }
    return {std::move(q), FeedError::None};
}

bool applyPriceUpdate(ItemDetails& item, PriceUpdate update) {
    if (update.ItemCode != item.Code)
        return false;
    item.ApplySpread(update);
    item.UpdateTime = update.Time;
    auto carry = [](platform::CompactDecimal& to, platform::CompactDecimal from) {
        if (!from.isZero())
            to = from;
    };
    carry(item.Bid, update.Bid);
    carry(item.Ask, update.Ask);
    carry(item.Last, update.Last);
    carry(item.High, update.High);
    carry(item.Low, update.Low);
    carry(item.Open, update.Open);
    carry(item.PrevClose, update.PreviousClose);
    item.isPriceUpdateReceived = true;
    return true;
}

bool UpdateItemCollection(ItemCollectionMap& items, const PriceUpdate& update) {
    const auto it = items.find(update.ItemCode);
    if (it == items.end() || !it->second)
        return false;
    return applyPriceUpdate(*it->second, update);
}

DepthDecoding decodeMarketDepth(std::string_view text) {
    if (text.size() > kMaxFeedTextLength)
        return {std::nullopt, FeedError::TooLong};
    const auto pieces = split(text, ';');
    if (pieces.size() < 3)
        return {std::nullopt, FeedError::TooFewPieces};
    if (pieces[0].empty())
        return {std::nullopt, FeedError::EmptyCode};
    if (!ItemDetails::IsAcceptableCode(pieces[0]))
        return {std::nullopt, FeedError::CodeTooLong};
    MarketDepthLadder ladder;
    ladder.Code = std::string(pieces[0]);
    if (const FeedError e = depthSide(pieces[1], ladder.Buy); e != FeedError::None)
        return {std::nullopt, e};
    if (const FeedError e = depthSide(pieces[2], ladder.Sell); e != FeedError::None)
        return {std::nullopt, e};
    return {std::move(ladder), FeedError::None};
}

InstrumentStatusChange decodeInstrumentStatus(const std::vector<std::string>& fields) {
    InstrumentStatusChange change;
    std::optional<std::string_view> setting;
    for (const std::string& field : fields) {
        const auto value = MessageCracker::GetMessageValue(std::string_view(field), "=");
        if (!value)
            continue;
        const std::int64_t tag = MessageCracker::integerValue(field);
        if (tag == wire::tag::kInstrument)
            change.Code = std::string(*value);
        else if (tag == wire::tag::kInstrumentState)
            setting = *value;
    }
    if (setting) {
        const std::int64_t id = MessageCracker::integerValue(*setting);
        // Past the record's range the id names no setting; it is not cut down to another one.
        if (id > 0 && id <= std::numeric_limits<std::int32_t>::max())
            change.TradeSessionSettingId = static_cast<std::int32_t>(id);
        else
            change.TradeSessionSettingId.reset();
    }
    return change;
}

bool applyInstrumentStatus(ItemCollectionMap& items, const InstrumentStatusChange& change) {
    if (!change.TradeSessionSettingId)
        return false;
    const auto it = items.find(change.Code);
    if (it == items.end() || !it->second)
        return false;
    it->second->CurrentTradeSessionSettingId = *change.TradeSessionSettingId;
    return true;
}

} // namespace tc
