#pragma once
// The news feed's web service of the simulation mode: an RSS 2.0 document per category at the path the
// client asks ("//news/Service1.asmx/Rss2_V2?category=NAME&newsID=&maxCount="), over loopback HTTP and
// over HTTPS with the test certificate below (shipped to the client as resources/news-simulation.pem).
// Tests may replace a category's document and hold a category's answers until released.
#include "http_server.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace testserver {

// The HTTPS side's certificate (for 127.0.0.1 and localhost, self-signed), PEM.
std::string_view newsCertificatePem();

// The generated feed of a category: `count` items with entities in their titles and links.
std::string newsFeedDocument(std::string_view category, int count);

class NewsDesk {
public:
    // Listens on 127.0.0.1 (0: any free port); throws std::runtime_error when a port is taken.
    NewsDesk(int httpsPort, int httpPort);
    ~NewsDesk();
    NewsDesk(const NewsDesk&) = delete;
    NewsDesk& operator=(const NewsDesk&) = delete;

    int httpsPort() const { return https_->port(); }
    int httpPort() const { return http_->port(); }

    // The body a category answers from now on (any bytes), instead of its generated feed.
    void setReply(const std::string& category, std::string body);
    // A category's answers wait until release() (or the desk stops).
    void hold(const std::string& category);
    void release();
    // Requests that reached the desk for a category, and answers sent for it (whether or not the client
    // still listened).
    std::uint64_t asked(const std::string& category) const;
    std::uint64_t answered(const std::string& category) const;

private:
    HttpResponse answer(const HttpRequest& request);

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, std::string> replies_;
    std::set<std::string> held_;
    std::map<std::string, std::uint64_t> asked_;
    std::map<std::string, std::uint64_t> answered_;
    bool stopping_ = false;
    std::unique_ptr<HttpServer> https_;
    std::unique_ptr<HttpServer> http_;
};

} // namespace testserver
