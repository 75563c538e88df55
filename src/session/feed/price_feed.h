#pragma once
// Decoding of the feed texts: quotes, market-depth ladders, server messages wrapped in the feed,
// and the instrument-status message of the trading stream. Pure parsing plus the application of a
// decoded value to the session's records; nothing here is locked or posts a notification.
#include "model/market_depth.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "platform/decimal.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

using ItemCollectionMap = SessionModel::Collection<ItemDetails>;

// Why a feed text was refused.
enum class FeedError {
    None,
    TooLong,        // past the cap of its kind
    TooFewFields,   // a quote without code, time, base and decimals
    BaseNotANumber, // a quote whose base price does not read
    TooFewPieces,   // a depth text without code, buy list and sell list
    EmptyCode,      // a depth text for no instrument
    LadderTooDeep,  // a depth side past kMaxDepthEntries
    DepthEntryTooLong,
    CodeTooLong, // an instrument code longer than a code may be
};
std::string_view feedErrorText(FeedError error);

// What one feed text is, and the part of it that its decoder takes.
enum class FeedTextKind {
    Price,         // body: the whole text
    MarketDepth,   // body: the text after "MD_"
    ServerMessage, // body: the text between "IS;" and the next ";" (stream framing)
    Bookmark,      // "*#bm#*:", dropped
    Refused,       // longer than kMaxFeedTextLength
};
struct RoutedFeedText {
    FeedTextKind kind = FeedTextKind::Refused;
    std::string_view body; // points into the routed text
};

// No feed text comes near this; longer ones are refused before any decoding.
inline constexpr std::size_t kMaxFeedTextLength = 64 * 1024;
// A quote is about a hundred bytes.
inline constexpr std::size_t kMaxPriceTextLength = 1024;
// Entries per side of one depth text, and the length of one entry.
inline constexpr std::size_t kMaxDepthEntries = 256;
inline constexpr std::size_t kMaxDepthEntryLength = 128;

RoutedFeedText routeFeedText(std::string_view text);

// One quote as the feed carries it: each price is base + offset / 10^Decimals, held to six
// decimals; a price the quote does not carry (its field is missing or not a number) is nullopt.
struct FeedQuote {
    std::string ItemCode;
    // None when the wire time does not read.
    std::optional<WallTime> Time;
    platform::Decimal Base;
    // The decimals count of the offsets, clamped to 0..PriceUpdate::kMaxDotDecimals.
    int Decimals = 0;
    std::optional<platform::Decimal> Last, Bid, Ask, High, Low, Open, PreviousClose;

    // Prices not carried become 0.
    PriceUpdate toPriceUpdate() const&;
    // The same, taking the code and time texts along.
    PriceUpdate toPriceUpdate() &&;
};
struct PriceDecoding {
    std::optional<FeedQuote> quote;
    FeedError error = FeedError::None;
};
// Fields split on 0x04: code, time "yyyyMMddHHmmss", base, last, bid, ask, high, low, open,
// previous close, and the decimals count, which is always the last field and never a price. A
// short quote carries the prices of the fields it has before its decimals count.
PriceDecoding decodePriceText(std::string_view text);
// The usual quote (a plain base of at most six decimals, plain whole offsets) read straight into its
// price update, as decodePriceText and toPriceUpdate give it but without the decimal arithmetic;
// false for anything else, which decodePriceText reads. On success every field of `out` is written (its
// texts keep their storage); on failure `out` holds nothing of use.
bool decodePlainPriceUpdate(std::string_view text, PriceUpdate& out);

// Puts the quote on its instrument: the instrument's spread, the update time (always), each price
// the quote carries (0 = not carried), and the price-received mark. False when the quote is for
// another code.
bool applyPriceUpdate(ItemDetails& item, PriceUpdate update);
// The same on the instrument of the quote's code; false when the collection has none.
bool UpdateItemCollection(ItemCollectionMap& items, const PriceUpdate& update);

struct DepthDecoding {
    std::optional<MarketDepthLadder> ladder;
    FeedError error = FeedError::None;
};
// "CODE;buy|buy;sell|sell" (the depth text after its "MD_"), each entry "price,quantity" read into
// numbers (DepthLevel::read) in the order received. Empty entries are skipped; pieces after the sell
// list are ignored.
DepthDecoding decodeMarketDepth(std::string_view text);

// The instrument-status message (type 1049): tag 12 names the instrument, tag 574 its new
// trade-session setting; a later field of the same tag wins.
struct InstrumentStatusChange {
    std::string Code;
    // Only a value in 1..INT32_MAX; anything else leaves the instrument as it is.
    std::optional<std::int32_t> TradeSessionSettingId;
};
// Fields as "tag=value" texts.
InstrumentStatusChange decodeInstrumentStatus(const std::vector<std::string>& fields);
// True when an instrument took the new setting.
bool applyInstrumentStatus(ItemCollectionMap& items, const InstrumentStatusChange& change);

} // namespace tc
