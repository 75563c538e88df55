#include "news/news_service.h"

#include "http/request_operation_manager.h"
#include "http/response_serializer.h"
#include "model/text/language_string.h"
#include "news/news_feed.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "wire/login_inputdata.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <any>
#include <fstream>
#include <iterator>

namespace tc::news {

namespace {

bool isLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// A certificate file as DER: PEM ("BEGIN CERTIFICATE") or DER as it stands; nullopt when it is
// missing, past 64 KiB or not a certificate.
std::optional<http::Bytes> certificateFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    bytes.resize(64 * 1024 + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.empty() || bytes.size() > 64 * 1024)
        return std::nullopt;
    X509* x = nullptr;
    if (bytes.find("-----BEGIN CERTIFICATE-----") != std::string::npos) {
        BIO* bio = BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size()));
        x = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
    } else {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        x = d2i_X509(nullptr, &p, static_cast<long>(bytes.size()));
    }
    if (!x)
        return std::nullopt;
    const int n = i2d_X509(x, nullptr);
    std::optional<http::Bytes> der;
    if (n > 0) {
        der.emplace(static_cast<std::size_t>(n));
        unsigned char* out = der->data();
        i2d_X509(x, &out);
    }
    X509_free(x);
    return der;
}

// The text key of why the feed could not be fetched; the log keeps the error's own words.
std::string_view failureKey(const http::Error& error) {
    platform::Log::warning("news feed not fetched: {}", error.localizedDescription.empty()
                                                            ? error.describe()
                                                            : error.localizedDescription);
    if (error.response && error.response->statusCode() >= 400)
        return "93358";
    if (error.domain != http::kURLErrorDomain)
        return "93359";
    switch (error.code) {
    case http::urlerror::kTimedOut:
        return "93354";
    case http::urlerror::kCannotFindHost:
        return "93355";
    case http::urlerror::kCannotConnectToHost:
    case http::urlerror::kNetworkConnectionLost:
        return "93356";
    case http::urlerror::kDataLengthExceedsMaximum:
        return "93361";
    case http::urlerror::kSecureConnectionFailed:
    case http::urlerror::kServerCertificateUntrusted:
        return "93357";
    default:
        return "93359";
    }
}

} // namespace

std::optional<std::string> feedURL(const interfaces::NewsSource& source, std::string_view category) {
    if (category.empty() || category.size() > 64)
        return std::nullopt;
    for (char c : category)
        if (!isLetterOrDigit(c))
            return std::nullopt;
    if (source.scheme != "http" && source.scheme != "https")
        return std::nullopt;
    if (source.host.empty() || source.port < 0 || source.port > 65535)
        return std::nullopt;
    for (char c : source.host)
        if (!isLetterOrDigit(c) && c != '.' && c != '-' && c != ':' && c != '[' && c != ']')
            return std::nullopt;
    std::string url = source.scheme + "://" + source.host;
    if (source.port != 0)
        url += ":" + std::to_string(source.port);
    url += "//news/Service1.asmx/Rss2_V2?category=";
    url += category;
    url += "&newsID=&maxCount=";
    return url;
}

interfaces::NewsSource sourceFromLoginList(const LoginInputData& login, std::string_view section) {
    interfaces::NewsSource source;
    const auto text = [&](std::string_view key) -> std::string {
        const auto value = login.getLoginValueForMode(section, key);
        return value ? value->asString().value_or("") : std::string();
    };
    if (std::string scheme = text("NewsScheme"); !scheme.empty())
        source.scheme = std::move(scheme);
    source.host = text("NewsHost");
    if (const auto port = login.getLoginValueForMode(section, "NewsPort")) {
        const std::int64_t n = port->asInt();
        source.port = n > 0 && n <= 65535 ? static_cast<std::int32_t>(n) : 0;
    }
    if (const std::string certificate = text("NewsCertificate"); !certificate.empty()) {
        const std::filesystem::path name(certificate);
        if (const auto path =
                platform::Bundle::pathForResource(name.stem().string(), name.extension().string().substr(1)))
            source.pinnedCertificate = path->string();
        else
            platform::Log::warning("the news feed's certificate {} is not among the resources", certificate);
    }
    return source;
}

NewsService::NewsService()
    : text_([](std::string_view key) {
          return LanguageString::stringForSelectedLanguage(0, key).value_or(std::string(key));
      }) {}

NewsService::~NewsService() {
    guard_.disconnect();
    if (running_)
        running_->cancel();
}

void NewsService::setSource(interfaces::NewsSource source) {
    cancelLoad();
    source_ = std::move(source);
    manager_.reset();
}

void NewsService::cancelLoad() {
    latest_ = 0;
    if (running_)
        running_->cancel();
    running_.reset();
}

std::shared_ptr<http::HTTPRequestOperationManager> NewsService::manager() {
    if (manager_)
        return manager_;
    auto manager = http::HTTPRequestOperationManager::manager();
    // The body as it came: any content type, parsed here.
    manager->setResponseSerializer(http::HTTPResponseSerializer::serializer());
    manager->maximumResponseDataLength = kMaxFeedBytes;
    // Parsing a large feed must not hold the main queue.
    manager->completionQueue = http::DispatchQueue::global();
    if (!source_.pinnedCertificate.empty()) {
        const std::optional<http::Bytes> der = certificateFile(source_.pinnedCertificate);
        if (!der)
            return nullptr;
        auto policy = http::SecurityPolicy::policyWithPinningMode(http::SSLPinningMode::Certificate);
        // The pinned certificate is the anchor: a self-signed one is taken, for its host only.
        policy->allowInvalidCertificates = true;
        policy->validatesDomainName = true;
        policy->setPinnedCertificates(std::vector<http::Bytes>{*der});
        manager->securityPolicy = policy;
    }
    manager_ = manager;
    return manager_;
}

interfaces::RequestId NewsService::loadCategory(std::string_view category) {
    const std::optional<std::string> url = feedURL(source_, category);
    if (!url)
        return 0;
    cancelLoad();
    const interfaces::RequestId id = ++nextId_;
    latest_ = id;
    interfaces::NewsLoad base;
    base.id = id;
    base.category = std::string(category);
    const std::function<void(interfaces::NewsLoad)> done =
        guard_.bind([this](interfaces::NewsLoad load) { finished(std::move(load)); });
    const auto manager = this->manager();
    if (!manager) {
        base.error = "93360"; // the pinned certificate cannot be read
        platform::MainQueue::async([done, base]() mutable { done(std::move(base)); });
        return id;
    }
    running_ = manager->GET(
        *url, std::nullopt,
        [done, base](const std::shared_ptr<http::HTTPRequestOperation>&, const http::ResponseObject& body) {
            // The shared pool: the parse runs here, the main queue only takes the items.
            interfaces::NewsLoad load = base;
            const auto* bytes = std::any_cast<http::Bytes>(&body);
            FeedResult feed = readNewsFeed(
                bytes ? std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())
                      : std::string_view());
            load.items = std::make_shared<const std::vector<interfaces::NewsItem>>(std::move(feed.items));
            load.error = std::move(feed.error);
            platform::MainQueue::async([done, load = std::move(load)]() mutable { done(std::move(load)); });
        },
        [done, base](const std::shared_ptr<http::HTTPRequestOperation>&, const http::Error& error) {
            interfaces::NewsLoad load = base;
            load.error = failureKey(error);
            platform::MainQueue::async([done, load = std::move(load)]() mutable { done(std::move(load)); });
        });
    return id;
}

void NewsService::finished(interfaces::NewsLoad load) {
    // A load cancelled or replaced since: its reply is not what the user chose now.
    if (load.id != latest_)
        return;
    latest_ = 0;
    running_.reset();
    if (!load.error.empty()) {
        // The key becomes the reason in the user's language of this moment.
        platform::Log::warning("news {} not loaded: text {}", load.category, load.error);
        load.error = text_(load.error);
    }
    if (listener_)
        listener_(load);
}

} // namespace tc::news
