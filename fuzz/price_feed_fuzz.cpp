// Feed texts on arbitrary bytes: each is routed and decoded as the feed would, the quote applied to
// an instrument of its code and the ladder stored. A leading byte 0x05 reads the rest as the fields
// of an instrument-status message, split on newlines.
#include "fuzz_support.h"
#include "session/feed/price_feed.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tc;

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool finiteOrZero(const std::optional<platform::Decimal>& v) {
    return !v || !v->isNaN();
}

void quote(std::string_view body) {
    const PriceDecoding d = decodePriceText(body);
    check(d.quote.has_value() == (d.error == FeedError::None));
    // The plain reading, when it is taken, gives the general reading's update bit for bit.
    PriceUpdate plain;
    if (decodePlainPriceUpdate(body, plain)) {
        check(d.quote.has_value());
        const PriceUpdate g = d.quote->toPriceUpdate();
        check(plain.ItemCode == g.ItemCode && plain.Time == g.Time && plain.DotPosition == g.DotPosition);
        const platform::CompactDecimal mine[] = {plain.Last, plain.Low,  plain.Bid,          plain.Ask,
                                                 plain.High, plain.Open, plain.PreviousClose};
        const platform::CompactDecimal theirs[] = {g.Last, g.Low,  g.Bid,          g.Ask,
                                                   g.High, g.Open, g.PreviousClose};
        check(std::memcmp(mine, theirs, sizeof mine) == 0);
    }
    if (!d.quote)
        return;
    const FeedQuote& q = *d.quote;
    check(q.Decimals >= 0 && q.Decimals <= PriceUpdate::kMaxDotDecimals);
    for (const auto* v : {&q.Last, &q.Bid, &q.Ask, &q.High, &q.Low, &q.Open, &q.PreviousClose})
        check(finiteOrZero(*v));
    const PriceUpdate u = q.toPriceUpdate();
    check(u.DotPosition >= 0 && u.DotPosition <= PriceUpdate::kMaxDotDecimals);
    ItemCollectionMap items;
    auto item = std::make_shared<ItemDetails>();
    item->Code = q.ItemCode;
    item->SpreadType = ItemDetails::kSpreadTopup;
    item->priceTick = tc::platform::CompactDecimal(platform::Decimal::fromParts(false, 1, -4));
    item->BidSpread = 1;
    item->AskSpread = 2;
    items.insert_or_assign(q.ItemCode, item);
    check(UpdateItemCollection(items, u));
    check(item->isPriceUpdateReceived);
}

void depth(std::string_view body) {
    const DepthDecoding d = decodeMarketDepth(body);
    check(d.ladder.has_value() == (d.error == FeedError::None));
    if (!d.ladder)
        return;
    check(!d.ladder->Code.empty());
    check(d.ladder->Buy.size() <= kMaxDepthEntries && d.ladder->Sell.size() <= kMaxDepthEntries);
    for (const auto* side : {&d.ladder->Buy, &d.ladder->Sell})
        for (const DepthLevel& level : *side)
            check(!level.price.isNaN() && (!level.quantity || !level.quantity->isNaN()));
    MarketDepthStore store(1);
    const std::size_t buys = d.ladder->Buy.size();
    check(store.store(*d.ladder));
    check(store.buy(d.ladder->Code)->size() == buys);
}

void status(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    while (fields.size() < 64) {
        const std::size_t at = text.find('\n', from);
        fields.emplace_back(
            text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            break;
        from = at + 1;
    }
    const InstrumentStatusChange c = decodeInstrumentStatus(fields);
    check(!c.TradeSessionSettingId || *c.TradeSessionSettingId > 0);
    ItemCollectionMap items;
    auto item = std::make_shared<ItemDetails>();
    item->Code = c.Code;
    items.insert_or_assign(c.Code, item);
    check(applyInstrumentStatus(items, c) == c.TradeSessionSettingId.has_value());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (!input.empty() && input.front() == '\x05') {
        status(input.substr(1));
        return 0;
    }
    const RoutedFeedText r = routeFeedText(input);
    switch (r.kind) {
    case FeedTextKind::Price:
        quote(r.body);
        break;
    case FeedTextKind::MarketDepth:
        depth(r.body);
        break;
    case FeedTextKind::ServerMessage:
        check(r.body.find(';') == std::string_view::npos);
        break;
    case FeedTextKind::Bookmark:
    case FeedTextKind::Refused:
        break;
    }
    return 0;
}
