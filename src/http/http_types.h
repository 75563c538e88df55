#pragma once
// The value types the HTTP client passes around: errors, header fields, URLs, requests and responses,
// and the queues and groups its callbacks run on.
#include "platform/dispatch.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tc::http {

using Bytes = std::vector<std::uint8_t>;

inline std::string_view asText(const Bytes& b) {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}
inline Bytes toBytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// Every label of the client shares this prefix.
inline constexpr std::string_view kLabelPrefix = "com.tradeclient";

// Error domains.
inline constexpr char kURLErrorDomain[] = "com.tradeclient.error.url";
inline constexpr char kResponseSerializationErrorDomain[] = "com.tradeclient.error.serialization.response";
inline constexpr char kRequestSerializationErrorDomain[] = "com.tradeclient.error.serialization.request";
inline constexpr char kFileErrorDomain[] = "com.tradeclient.error.file"; // codes are errno values

// Codes of the URL error domain.
namespace urlerror {
inline constexpr int kUnknown = -1;
inline constexpr int kCancelled = -999;
inline constexpr int kBadURL = -1000;
inline constexpr int kTimedOut = -1001;
inline constexpr int kUnsupportedURL = -1002;
inline constexpr int kCannotFindHost = -1003;
inline constexpr int kCannotConnectToHost = -1004;
inline constexpr int kNetworkConnectionLost = -1005;
inline constexpr int kHTTPTooManyRedirects = -1007;
inline constexpr int kBadServerResponse = -1011;
inline constexpr int kUserCancelledAuthentication = -1012;
inline constexpr int kUserAuthenticationRequired = -1013;
inline constexpr int kCannotDecodeContentData = -1016;
inline constexpr int kDataLengthExceedsMaximum = -1103;
inline constexpr int kSecureConnectionFailed = -1200;
inline constexpr int kServerCertificateUntrusted = -1202;
inline constexpr int kCannotWriteToFile = -3003;
inline constexpr int kCannotMoveFile = -3005;
inline constexpr int kCannotResumeDownload = -3010; // resume data refused, or the server resumed elsewhere
inline constexpr int kRequestBodyStreamExhausted = -1021;
} // namespace urlerror

class HTTPURLResponse;

// An error: domain, code and what the user information of the platform's error objects carries.
struct Error {
    std::string domain;
    int code = 0;
    std::string localizedDescription;
    std::string failureReason;
    std::string failingURL;
    std::shared_ptr<const HTTPURLResponse> response;
    std::optional<Bytes> data;
    std::shared_ptr<const Error> underlying;
    // A download the network broke off: what downloadTaskWithResumeData takes to fetch only the rest.
    std::optional<Bytes> resumeData;

    static Error make(std::string domain, int code, std::string description);
    // The error itself when there is no earlier one, the earlier one when there is no error, otherwise a
    // copy of the error holding the earlier one as underlying error (unless it already has one).
    static std::optional<Error> chain(const std::optional<Error>& error, const std::optional<Error>& earlier);
    // True when this error or one down its underlying chain is in `domain` with `code`.
    bool hasInChain(std::string_view domain, int code) const;
    std::string describe() const;
};

// A caller's error (a missing or wrong argument): "Invalid parameter not satisfying: <condition>".
class InvalidParameter : public std::logic_error {
public:
    explicit InvalidParameter(std::string_view condition);
};

inline void require(bool ok, std::string_view condition) {
    if (!ok)
        throw InvalidParameter(condition);
}

// Header fields: names compare without regard to case; the first spelling is kept and order is the
// order of first setting.
class HeaderFields {
public:
    using Entry = std::pair<std::string, std::string>;
    std::optional<std::string> value(std::string_view name) const;
    // The value without a copy; null when the field is absent.
    const std::string* lookup(std::string_view name) const {
        auto e = find(name);
        return e ? &e->second : nullptr;
    }
    void reserve(std::size_t fields) { entries_.reserve(fields); }
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    void set(std::string_view name, std::string_view value);
    // Adds to an existing field the way HTTP folds repeated fields (", ").
    void add(std::string_view name, std::string_view value);
    void remove(std::string_view name);
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }
    friend bool operator==(const HeaderFields&, const HeaderFields&) = default;

private:
    const Entry* find(std::string_view name) const;
    std::vector<Entry> entries_;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string toUpperASCII(std::string_view s);
std::string toLowerASCII(std::string_view s);

// A URL reference (RFC 3986) split into its parts. Parsing checks the shape, not the scheme.
class URL {
public:
    static std::optional<URL> parse(std::string_view text);
    // Resolves `reference` against `base` (RFC 3986 section 5.2); nullopt when the reference is malformed.
    static std::optional<URL> resolve(std::string_view reference, const URL& base);
    static URL fileURL(std::string_view path);

    std::string absoluteString() const;
    const std::string& scheme() const { return scheme_; } // lower case
    const std::string& host() const { return host_; }     // without brackets
    std::optional<int> port() const { return port_; }
    const std::string& path() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    bool hasAuthority() const { return hasAuthority_; }
    bool isAbsolute() const { return !scheme_.empty(); }
    bool isFileURL() const { return scheme_ == "file"; }
    bool isHTTP() const { return scheme_ == "http" || scheme_ == "https"; }
    // The path with percent escapes undone (file URLs).
    std::string filePath() const;
    std::string lastPathComponent() const;
    std::string pathExtension() const;
    URL withPath(std::string path) const;
    friend bool operator==(const URL& a, const URL& b) { return a.absoluteString() == b.absoluteString(); }

private:
    std::string scheme_;
    bool hasAuthority_ = false;
    std::string userInfo_;
    std::string host_;
    bool hostIsIPv6_ = false;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

class InputStream;

// The six request settings that a serializer copies only once its owner set them.
enum class CachePolicy : unsigned { UseProtocolCachePolicy = 0, ReloadIgnoringLocalCacheData = 1 };
enum class NetworkServiceType : unsigned { Default = 0, Background = 3 };

// An HTTP request. A value: copying it gives the mutable copy the serializers work on. A body stream is
// shared by copies (as stream objects are).
struct URLRequest {
    URL url;
    std::string httpMethod = "GET";
    HeaderFields headers;
    std::optional<Bytes> httpBody;
    std::shared_ptr<InputStream> httpBodyStream;
    bool allowsCellularAccess = true;
    CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy;
    bool HTTPShouldHandleCookies = true;
    bool HTTPShouldUsePipelining = false;
    NetworkServiceType networkServiceType = NetworkServiceType::Default;
    double timeoutInterval = 60.0; // seconds without progress

    URLRequest() = default;
    explicit URLRequest(URL u) : url(std::move(u)) {}
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const {
        return headers.value(name);
    }
    void setValueForHTTPHeaderField(std::string_view value, std::string_view name) {
        headers.set(name, value);
    }
};

class HTTPURLResponse {
public:
    HTTPURLResponse(URL url, int statusCode, HeaderFields headers);
    const URL& url() const { return url_; }
    int statusCode() const { return statusCode_; }
    const HeaderFields& allHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const {
        return headers_.value(name);
    }
    // The media type of Content-Type in lower case, without parameters; empty when there is none.
    const std::string& mimeType() const { return mimeType_; }
    // The charset parameter of Content-Type; empty when there is none.
    const std::string& textEncodingName() const { return textEncodingName_; }
    // Content-Length, or -1 when unknown.
    std::int64_t expectedContentLength() const { return expectedContentLength_; }
    // A safe base name for saving the body: from Content-Disposition, else the URL's last component.
    std::string suggestedFilename() const;
    // The lower-case reason text for a status code ("not found").
    static std::string localizedStringForStatusCode(int code);

private:
    URL url_;
    int statusCode_;
    HeaderFields headers_;
    std::string mimeType_;
    std::string textEncodingName_;
    std::int64_t expectedContentLength_ = -1;
};

// Reduces an outside file name to a safe base name (no folders, no control characters, no dot names).
std::string safeFileName(std::string_view name);

// Where callbacks run: the main queue (the default), the shared concurrent pool, a serial queue, or the
// network thread.
class DispatchQueue {
public:
    DispatchQueue() = default; // the main queue
    static DispatchQueue main() { return {}; }
    static DispatchQueue global();
    static DispatchQueue serial(std::shared_ptr<platform::SerialQueue> queue);
    // The network thread itself, for callables that only hand work on or start the next request: they
    // cost no thread hop, and one that blocks stalls every transfer.
    static DispatchQueue network();
    void async(platform::Task work) const;
    bool isMain() const { return kind_ == Kind::Main; }
    const platform::SerialQueue* serialQueue() const { return serial_.get(); }

private:
    enum class Kind { Main, Global, Serial, Network };
    Kind kind_ = Kind::Main;
    std::shared_ptr<platform::SerialQueue> serial_;
};

// Counts work in flight; waiters and notify callbacks run when the count returns to zero.
class DispatchGroup {
public:
    void enter();
    void leave();
    void wait();
    bool waitFor(std::chrono::steady_clock::duration timeout);
    // Runs `work` on `queue` once the group is empty (at once when it already is).
    void notify(DispatchQueue queue, platform::Task work);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    long count_ = 0;
    std::vector<std::pair<DispatchQueue, platform::Task>> waiting_;
};

// Runs `work` on `queue` inside `group` (entered now, left after the work ran).
void asyncInGroup(const std::shared_ptr<DispatchGroup>& group, const DispatchQueue& queue,
                  platform::Task work);

} // namespace tc::http
