// Any bytes must read as a news feed without a fault: an error or items, never both, each text valid
// UTF-8 and no longer than the input; decoding entities never lengthens a text.
#include "fuzz_support.h"
#include "news/news_feed.h"
#include "platform/utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const news::FeedResult feed = news::readNewsFeed(input);
    if (!feed.error.empty() && !feed.items.empty())
        std::abort();
    for (const auto& item : feed.items)
        for (const std::string* text : {&item.title, &item.link, &item.pubDate})
            if (text->size() > input.size() || !platform::isValidUtf8(*text))
                std::abort();
    if (news::decodeEntities(input).size() > input.size())
        std::abort();
    return 0;
}
