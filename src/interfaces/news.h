#pragma once
// The news feed of a client: one category at a time, read over HTTP from the feed's server and parsed
// off the main queue. Only the latest load is ever announced: a new load cancels the one before it.
#include "interfaces/commands.h"
#include "interfaces/handler.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {

// The categories the feed's server offers, in the order a chooser lists them.
inline constexpr std::array<std::string_view, 16> kNewsCategories = {
    "BreakingNews", "Business", "Commodities", "Education", "Entertainment", "Financial",
    "Forex",        "Health",   "Political",   "Science",   "Sports",        "Stocks",
    "Technology",   "TopNews",  "Weather",     "WorldNews"};

// One item of a feed, its entities decoded; a missing child is empty.
struct NewsItem {
    std::string title;
    std::string pubDate; // as the feed writes it
    std::string link;
};

// Where the feed is read: scheme ("https" or "http"), host and port (0: the scheme's). A pinned
// certificate (a PEM or DER file) is the only one an https server may present; empty trusts the
// system's anchors.
struct NewsSource {
    std::string scheme = "https";
    std::string host;
    std::int32_t port = 0;
    std::string pinnedCertificate;
};

// A finished load: its items, or why there are none to show (error not empty).
struct NewsLoad {
    RequestId id = 0;
    std::string category;
    std::shared_ptr<const std::vector<NewsItem>> items = std::make_shared<std::vector<NewsItem>>();
    std::string error;
};

class News {
public:
    virtual ~News() = default;

    virtual NewsSource source() const = 0;
    // Later loads read from here; a load under way is cancelled.
    virtual void setSource(const NewsSource& source) = 0;
    // Asks for a category's feed and cancels the load before it, whose reply is then never announced.
    // 0 (nothing asked) for a name that is not letters and digits, or without a source host.
    virtual RequestId loadCategory(std::string_view category) = 0;
    virtual void cancelLoad() = 0;

    using LoadedFn = std::function<void(const NewsLoad& load)>;
    virtual std::unique_ptr<Handler> handleNewsLoaded(LoadedFn fn) = 0;
};

} // namespace interfaces
