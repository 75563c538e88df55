#pragma once
// The news feed over the HTTP client: one GET per category load, its body (at most 8 MiB) parsed on
// the shared pool, the items handed to the main queue. A new load cancels the one before it, and a
// reply that is not the latest load's is dropped, however late it comes. Main queue, but for parsing.
#include "interfaces/news.h"
#include "platform/handler.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc {
class LoginInputData;
}

namespace tc::http {
class HTTPRequestOperation;
class HTTPRequestOperationManager;
} // namespace tc::http

namespace tc::news {

// The feed's address for a category: scheme, host and port of the source, then the service's path and
// query (the slash after the host doubled, "newsID" and "maxCount" empty). nullopt for a category
// that is not letters and digits, a scheme other than http or https, or no host.
std::optional<std::string> feedURL(const interfaces::NewsSource& source, std::string_view category);

// The source the login property list names for a mode's section ("LiveMode", "SimulationMode"):
// NewsScheme (https when absent), NewsHost, NewsPort and NewsCertificate (a resource file name).
interfaces::NewsSource sourceFromLoginList(const LoginInputData& login, std::string_view section);

class NewsService {
public:
    using Listener = std::function<void(const interfaces::NewsLoad& load)>;

    NewsService();
    ~NewsService();
    NewsService(const NewsService&) = delete;
    NewsService& operator=(const NewsService&) = delete;

    const interfaces::NewsSource& source() const { return source_; }
    void setSource(interfaces::NewsSource source);
    interfaces::RequestId loadCategory(std::string_view category);
    void cancelLoad();
    void setListener(Listener listener) { listener_ = std::move(listener); }
    // The text of a key in the user's language, for the reason of a load that failed (English until
    // set).
    using TextFn = std::function<std::string(std::string_view key)>;
    void setTexts(TextFn text) { text_ = std::move(text); }

private:
    // Main queue: hands the latest load on, drops any other.
    void finished(interfaces::NewsLoad load);
    std::shared_ptr<http::HTTPRequestOperationManager> manager();

    interfaces::NewsSource source_;
    std::shared_ptr<http::HTTPRequestOperationManager> manager_;
    std::shared_ptr<http::HTTPRequestOperation> running_;
    interfaces::RequestId latest_ = 0;
    interfaces::RequestId nextId_ = 0;
    Listener listener_;
    TextFn text_;
    platform::CallbackGuard guard_; // last: nothing reaches a service that is gone
};

} // namespace tc::news
