#pragma once
// Reading a news feed (RSS 2.0): every element named "item", wherever it stands, becomes one item, in
// the order of their start tags (an item inside an item follows its parent); a child named twice keeps
// the later text. Character entities are decoded in the texts kept.
#include "interfaces/news.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::news {

// The largest feed read; the HTTP client refuses a larger body before it gets here.
inline constexpr std::size_t kMaxFeedBytes = std::size_t{8} << 20;

struct FeedResult {
    std::vector<interfaces::NewsItem> items;
    std::string error; // the text key of why it was not read; empty when it was (it may hold no items)
};

// The items of a feed document; an error for a body that is not UTF-8, not XML (no element at all,
// or text before the first markup), past kMaxFeedBytes or past the XML reader's caps.
FeedResult readNewsFeed(std::string_view body);

// The five named entities and decimal or hexadecimal character references decoded; anything else
// (an unknown name, a reference to no character) stays as it stands.
std::string decodeEntities(std::string_view text);

} // namespace tc::news
