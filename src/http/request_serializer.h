#pragma once
// Requests built from a method, a URL text and parameters: default header fields, the request settings
// the owner changed, and the parameters as a percent-encoded query, a form body, JSON, a property list or
// a multipart body.
#include "http/multipart.h"
#include "http/text_encoding.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <mutex>
#include <set>

namespace tc::http {

// Parameters: a JSON-like tree. Objects keep their keys sorted, which the query encoding needs; binary
// values become multipart data or property-list data.
using Parameters = nlohmann::json;

// One field/value pair of the query encoding. A null value gives the bare field name.
struct QueryStringPair {
    std::string field;
    Parameters value;
    std::string URLEncodedStringValue() const;
};

// The pairs of a parameter tree, keys sorted, nested keys as "a[x]" and array members as "a[]".
std::vector<QueryStringPair> queryStringPairs(const Parameters& parameters);
std::string queryStringFromParameters(const Parameters& parameters);
// Percent-encodes every UTF-8 byte outside letters, digits and "-._~/?".
std::string percentEscapedQueryText(std::string_view text);
// The text a leaf value stands for: texts as they are, numbers in decimal, booleans as 1 or 0.
std::string parameterDescription(const Parameters& value);

// What the default headers are made of; tests and embedders may replace it.
struct ApplicationInfo {
    std::string executableName;
    std::string bundleIdentifier;
    std::string shortVersion;
    std::string bundleVersion;
    std::vector<std::string> preferredLanguages; // "en-US", most preferred first
    static ApplicationInfo current();
    // Replaces what current() answers for the whole process; nullopt restores the system's.
    static void setOverride(std::optional<ApplicationInfo> info);
};

// "en-US;q=1, de;q=0.9": at most six languages, q stepping down by 0.1.
std::string acceptLanguageValue(const std::vector<std::string>& languages);
// "<executable>/<version> (Linux <system version>)" in ASCII.
std::string userAgentValue(const ApplicationInfo& info, const std::string& systemVersion);

class HTTPRequestSerializer {
public:
    using QueryStringSerialization =
        std::function<std::optional<std::string>(const URLRequest&, const Parameters&, Error*)>;

    static std::shared_ptr<HTTPRequestSerializer> serializer() {
        return std::make_shared<HTTPRequestSerializer>();
    }
    HTTPRequestSerializer();
    virtual ~HTTPRequestSerializer() = default;
    // Headers, style and query callable travel; everything else takes its creation value.
    virtual std::shared_ptr<HTTPRequestSerializer> copy() const;

    StringEncoding stringEncoding = StringEncoding::UTF8;
    std::set<std::string> HTTPMethodsEncodingParametersInURI{"GET", "HEAD", "DELETE"};

    // The request settings; each is applied to requests only once it was set here.
    void setAllowsCellularAccess(bool v) { allowsCellularAccess_ = v; }
    void setCachePolicy(CachePolicy v) { cachePolicy_ = v; }
    void setHTTPShouldHandleCookies(bool v) { HTTPShouldHandleCookies_ = v; }
    void setHTTPShouldUsePipelining(bool v) { HTTPShouldUsePipelining_ = v; }
    void setNetworkServiceType(NetworkServiceType v) { networkServiceType_ = v; }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
    std::optional<double> timeoutInterval() const { return timeoutInterval_; }

    HeaderFields HTTPRequestHeaders() const;
    // An absent value removes the field.
    void setValueForHTTPHeaderField(std::optional<std::string> value, std::string_view field);
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    void setAuthorizationHeaderFieldWithUsername(std::string_view username, std::string_view password);
    void setAuthorizationHeaderFieldWithToken(std::string_view token);
    void clearAuthorizationHeader();

    unsigned queryStringSerializationStyle() const { return queryStyle_; }
    void setQueryStringSerializationWithStyle(unsigned style);
    void setQueryStringSerializationWithBlock(QueryStringSerialization block);

    std::optional<URLRequest> requestWithMethod(std::string_view method, std::string_view URLString,
                                                const std::optional<Parameters>& parameters,
                                                Error* error = nullptr);
    // Default headers and parameters applied to a copy of `request`; nullopt with `error` set on failure.
    virtual std::optional<URLRequest> requestBySerializingRequest(const URLRequest& request,
                                                                  const std::optional<Parameters>& parameters,
                                                                  Error* error) const;
    std::optional<URLRequest> multipartFormRequestWithMethod(
        std::string_view method, std::string_view URLString, const std::optional<Parameters>& parameters,
        const std::function<void(MultipartFormData&)>& block, Error* error = nullptr);
    // Copies the multipart body into a file on the shared pool and answers at once with the request
    // without its body stream; `completion` gets the error or nothing, on the main queue.
    URLRequest requestWithMultipartFormRequest(const URLRequest& request, const URL& fileURL,
                                               std::function<void(std::optional<Error>)> completion);

protected:
    // The default headers that the request does not set itself.
    URLRequest withDefaultHeaders(const URLRequest& request) const;
    bool encodesParametersInURI(std::string_view method) const;
    void copyInto(HTTPRequestSerializer& other) const;

private:
    mutable std::mutex mutex_;
    HeaderFields headers_;
    unsigned queryStyle_ = 0;
    QueryStringSerialization queryBlock_;
    std::optional<bool> allowsCellularAccess_;
    std::optional<CachePolicy> cachePolicy_;
    std::optional<bool> HTTPShouldHandleCookies_;
    std::optional<bool> HTTPShouldUsePipelining_;
    std::optional<NetworkServiceType> networkServiceType_;
    std::optional<double> timeoutInterval_;
};

// Bodies as JSON. Option bits: 1 pretty printed, 4 a top-level value that is not an array or object.
class JSONRequestSerializer : public HTTPRequestSerializer {
public:
    static std::shared_ptr<JSONRequestSerializer> serializer() { return serializerWithWritingOptions(0); }
    static std::shared_ptr<JSONRequestSerializer> serializerWithWritingOptions(unsigned options);
    std::shared_ptr<HTTPRequestSerializer> copy() const override;
    std::optional<URLRequest> requestBySerializingRequest(const URLRequest& request,
                                                          const std::optional<Parameters>& parameters,
                                                          Error* error) const override;
    unsigned writingOptions = 0;
};

// Bodies as property lists; format 100 is the XML form, the only one written.
class PropertyListRequestSerializer : public HTTPRequestSerializer {
public:
    static constexpr unsigned kXMLFormat = 100;
    static std::shared_ptr<PropertyListRequestSerializer> serializer() {
        return serializerWithFormat(kXMLFormat, 0);
    }
    static std::shared_ptr<PropertyListRequestSerializer> serializerWithFormat(unsigned format,
                                                                               unsigned writeOptions);
    std::shared_ptr<HTTPRequestSerializer> copy() const override;
    std::optional<URLRequest> requestBySerializingRequest(const URLRequest& request,
                                                          const std::optional<Parameters>& parameters,
                                                          Error* error) const override;
    unsigned format = 0;
    unsigned writeOptions = 0;
};

// The JSON text of a parameter tree; nullopt with `error` for what JSON cannot hold (text that is not
// UTF-8, NaN or infinity, a bare top-level value unless option 4 allows it).
std::optional<std::string> writeJSON(const Parameters& value, unsigned options, Error* error);

} // namespace tc::http
