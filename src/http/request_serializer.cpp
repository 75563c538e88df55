#include "http/request_serializer.h"

#include "platform/bundle.h"
#include "platform/host_info.h"
#include "platform/property_list.h"
#include "platform/utf8.h"

#include <fmt/format.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tc::http {

// ---- query encoding

std::string percentEscapedQueryText(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == '?';
        if (allowed)
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string parameterDescription(const Parameters& v) {
    switch (v.type()) {
    case Parameters::value_t::string:
        return v.get_ref<const std::string&>();
    case Parameters::value_t::boolean:
        return v.get<bool>() ? "1" : "0";
    case Parameters::value_t::number_integer:
        return std::to_string(v.get<std::int64_t>());
    case Parameters::value_t::number_unsigned:
        return std::to_string(v.get<std::uint64_t>());
    case Parameters::value_t::number_float:
        return v.dump();
    case Parameters::value_t::binary: {
        std::string s = "<";
        for (auto b : v.get_binary())
            s += fmt::format("{:02x}", b);
        return s + ">";
    }
    case Parameters::value_t::null:
        return "";
    default:
        return v.dump();
    }
}

std::string QueryStringPair::URLEncodedStringValue() const {
    if (value.is_null())
        return percentEscapedQueryText(field);
    return percentEscapedQueryText(field) + "=" + percentEscapedQueryText(parameterDescription(value));
}

namespace {

void collectPairs(const std::optional<std::string>& key, const Parameters& value,
                  std::vector<QueryStringPair>& out) {
    if (value.is_object()) {
        for (const auto& [k, v] : value.items()) // std::map order: keys sorted by plain comparison
            collectPairs(key ? fmt::format("{}[{}]", *key, k) : k, v, out);
    } else if (value.is_array()) {
        for (const auto& element : value)
            collectPairs(fmt::format("{}[]", key.value_or("")), element, out);
    } else {
        out.push_back({key.value_or(""), value});
    }
}

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// ASCII for a header value: Latin letters lose their accents, anything else without an ASCII form is dropped.
std::string asciiTransliteration(std::string_view utf8) {
    static const char* latin1 = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
    std::string out;
    std::string text = platform::repairUtf8(utf8);
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (len == 2) {
            unsigned cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            if (cp >= 0xC0 && cp <= 0xFF && cp != 0xD7 && cp != 0xF7)
                out += latin1[cp - 0xC0];
        }
        i += static_cast<std::size_t>(len);
    }
    return out;
}

std::vector<std::string> systemPreferredLanguages() {
    std::vector<std::string> out;
    auto add = [&](std::string_view entry) {
        std::string_view id = entry.substr(0, entry.find_first_of(".@"));
        if (id.empty() || id == "C" || id == "POSIX")
            return;
        std::string tag(id);
        for (char& ch : tag)
            if (ch == '_')
                ch = '-';
        if (std::find(out.begin(), out.end(), tag) == out.end())
            out.push_back(tag);
    };
    if (const char* list = std::getenv("LANGUAGE"); list && *list) {
        std::string_view rest = list;
        while (!rest.empty()) {
            auto colon = rest.find(':');
            add(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        }
    }
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = std::getenv(var); v && *v && out.empty())
            add(v);
    if (out.empty())
        out.push_back("en");
    return out;
}

std::mutex& infoMutex() {
    static std::mutex m;
    return m;
}
std::optional<ApplicationInfo>& infoOverride() {
    static std::optional<ApplicationInfo> info;
    return info;
}

} // namespace

std::vector<QueryStringPair> queryStringPairs(const Parameters& parameters) {
    std::vector<QueryStringPair> out;
    collectPairs(std::nullopt, parameters, out);
    return out;
}

std::string queryStringFromParameters(const Parameters& parameters) {
    std::string s;
    for (const auto& pair : queryStringPairs(parameters)) {
        if (!s.empty())
            s += '&';
        s += pair.URLEncodedStringValue();
    }
    return s;
}

// ---- default headers

ApplicationInfo ApplicationInfo::current() {
    {
        std::lock_guard lock(infoMutex());
        if (infoOverride())
            return *infoOverride();
    }
    ApplicationInfo info;
    info.executableName = program_invocation_short_name ? program_invocation_short_name : "";
    info.bundleIdentifier = "com.tradeclient.tradeclient";
    info.shortVersion = platform::Bundle::shortVersionString();
    info.bundleVersion = info.shortVersion;
    info.preferredLanguages = systemPreferredLanguages();
    return info;
}

void ApplicationInfo::setOverride(std::optional<ApplicationInfo> info) {
    std::lock_guard lock(infoMutex());
    infoOverride() = std::move(info);
}

std::string acceptLanguageValue(const std::vector<std::string>& languages) {
    std::string s;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        float q = 1.0f - 0.1f * static_cast<float>(i);
        if (!s.empty())
            s += ", ";
        s += fmt::format("{};q={:.1g}", languages[i], q);
        if (q <= 0.5f)
            break;
    }
    return s;
}

std::string userAgentValue(const ApplicationInfo& info, const std::string& systemVersion) {
    const std::string& name = info.executableName.empty() ? info.bundleIdentifier : info.executableName;
    const std::string& version = info.shortVersion.empty() ? info.bundleVersion : info.shortVersion;
    std::string text = fmt::format("{}/{} (Linux {})", name, version, systemVersion);
    bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? text : asciiTransliteration(text);
}

// ---- the serializer

HTTPRequestSerializer::HTTPRequestSerializer() {
    ApplicationInfo info = ApplicationInfo::current();
    headers_.set("Accept-Language", acceptLanguageValue(info.preferredLanguages));
    headers_.set("User-Agent",
                 userAgentValue(info, platform::HostInfo::operatingSystemVersionString().value_or("")));
}

void HTTPRequestSerializer::copyInto(HTTPRequestSerializer& other) const {
    std::lock_guard lock(mutex_);
    other.headers_ = headers_;
    other.queryStyle_ = queryStyle_;
    other.queryBlock_ = queryBlock_;
}

std::shared_ptr<HTTPRequestSerializer> HTTPRequestSerializer::copy() const {
    auto s = std::make_shared<HTTPRequestSerializer>();
    copyInto(*s);
    return s;
}

HeaderFields HTTPRequestSerializer::HTTPRequestHeaders() const {
    std::lock_guard lock(mutex_);
    return headers_;
}

void HTTPRequestSerializer::setValueForHTTPHeaderField(std::optional<std::string> value,
                                                       std::string_view field) {
    std::lock_guard lock(mutex_);
    if (value)
        headers_.set(field, *value);
    else
        headers_.remove(field);
}

std::optional<std::string> HTTPRequestSerializer::valueForHTTPHeaderField(std::string_view field) const {
    std::lock_guard lock(mutex_);
    return headers_.value(field);
}

void HTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(std::string_view username,
                                                                    std::string_view password) {
    setValueForHTTPHeaderField("Basic " + base64(fmt::format("{}:{}", username, password)), "Authorization");
}

void HTTPRequestSerializer::setAuthorizationHeaderFieldWithToken(std::string_view token) {
    setValueForHTTPHeaderField(fmt::format("Token token=\"{}\"", token), "Authorization");
}

void HTTPRequestSerializer::clearAuthorizationHeader() {
    setValueForHTTPHeaderField(std::nullopt, "Authorization");
}

void HTTPRequestSerializer::setQueryStringSerializationWithStyle(unsigned style) {
    std::lock_guard lock(mutex_);
    queryStyle_ = style;
    queryBlock_ = nullptr;
}

void HTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerialization block) {
    std::lock_guard lock(mutex_);
    queryBlock_ = std::move(block);
}

bool HTTPRequestSerializer::encodesParametersInURI(std::string_view method) const {
    return HTTPMethodsEncodingParametersInURI.count(toUpperASCII(method)) > 0;
}

URLRequest HTTPRequestSerializer::withDefaultHeaders(const URLRequest& request) const {
    URLRequest copy = request;
    std::lock_guard lock(mutex_);
    for (const auto& [field, value] : headers_)
        if (!request.headers.contains(field))
            copy.headers.set(field, value);
    return copy;
}

std::optional<URLRequest>
HTTPRequestSerializer::requestWithMethod(std::string_view method, std::string_view URLString,
                                         const std::optional<Parameters>& parameters, Error* error) {
    require(!method.empty(), "method");
    require(!URLString.empty(), "URLString");
    auto url = URL::parse(URLString);
    require(url.has_value(), "url");
    URLRequest request(std::move(*url));
    request.httpMethod = std::string(method);
    {
        std::lock_guard lock(mutex_);
        if (allowsCellularAccess_)
            request.allowsCellularAccess = *allowsCellularAccess_;
        if (cachePolicy_)
            request.cachePolicy = *cachePolicy_;
        if (HTTPShouldHandleCookies_)
            request.HTTPShouldHandleCookies = *HTTPShouldHandleCookies_;
        if (HTTPShouldUsePipelining_)
            request.HTTPShouldUsePipelining = *HTTPShouldUsePipelining_;
        if (networkServiceType_)
            request.networkServiceType = *networkServiceType_;
        if (timeoutInterval_)
            request.timeoutInterval = *timeoutInterval_;
    }
    return requestBySerializingRequest(request, parameters, error);
}

std::optional<URLRequest> HTTPRequestSerializer::requestBySerializingRequest(
    const URLRequest& request, const std::optional<Parameters>& parameters, Error* error) const {
    URLRequest copy = withDefaultHeaders(request);
    std::optional<std::string> query;
    if (parameters) {
        QueryStringSerialization block;
        unsigned style;
        {
            std::lock_guard lock(mutex_);
            block = queryBlock_;
            style = queryStyle_;
        }
        if (block) {
            Error e;
            e.code = 0;
            query = block(request, *parameters, &e);
            if (!query) {
                if (error)
                    *error = std::move(e);
                return std::nullopt;
            }
        } else if (style == 0) {
            query = queryStringFromParameters(*parameters);
        }
    }
    if (encodesParametersInURI(request.httpMethod)) {
        if (query && !query->empty()) {
            std::string text = copy.url.absoluteString();
            text += copy.url.query() ? "&" + *query : "?" + *query;
            auto url = URL::parse(text);
            require(url.has_value(), "url");
            copy.url = *url;
        }
        return copy;
    }
    auto body = encodeText(query.value_or(""), stringEncoding);
    if (!body) {
        if (error)
            *error = Error::make(kRequestSerializationErrorDomain, urlerror::kBadURL,
                                 "The parameters cannot be written in the serializer's text encoding.");
        return std::nullopt;
    }
    copy.httpBody = toBytes(*body);
    copy.httpBodyStream.reset();
    if (!copy.headers.contains("Content-Type"))
        copy.headers.set("Content-Type", "application/x-www-form-urlencoded");
    return copy;
}

std::optional<URLRequest> HTTPRequestSerializer::multipartFormRequestWithMethod(
    std::string_view method, std::string_view URLString, const std::optional<Parameters>& parameters,
    const std::function<void(MultipartFormData&)>& block, Error* error) {
    require(!method.empty(), "method");
    require(method != "GET" && method != "HEAD",
            "![method isEqualToString:@\"GET\"] && ![method isEqualToString:@\"HEAD\"]");
    auto request = requestWithMethod(method, URLString, std::nullopt, error);
    if (!request)
        return std::nullopt;
    StreamingMultipartFormData form(*request);
    if (parameters) {
        for (const auto& pair : queryStringPairs(*parameters)) {
            Bytes data;
            if (pair.value.is_binary())
                data.assign(pair.value.get_binary().begin(), pair.value.get_binary().end());
            else if (!pair.value.is_null()) {
                auto text = encodeText(parameterDescription(pair.value), stringEncoding);
                if (!text)
                    continue;
                data = toBytes(*text);
            }
            form.appendPartWithFormData(std::move(data), pair.field);
        }
    }
    if (block)
        block(form);
    return form.requestByFinalizingMultipartFormData();
}

URLRequest
HTTPRequestSerializer::requestWithMultipartFormRequest(const URLRequest& request, const URL& fileURL,
                                                       std::function<void(std::optional<Error>)> completion) {
    require(request.httpBodyStream != nullptr, "request.HTTPBodyStream");
    require(fileURL.isFileURL(), "[fileURL isFileURL]");
    std::shared_ptr<InputStream> input = request.httpBodyStream;
    platform::GlobalQueue::async([input, path = fileURL.filePath(), completion = std::move(completion)] {
        FileOutputStream output(path, false);
        input->open();
        output.open();
        std::optional<Error> failure = output.streamError();
        std::vector<std::uint8_t> buffer(64 * 1024);
        while (!failure) {
            ssize_t n = input->read(buffer.data(), buffer.size());
            if (n < 0) {
                failure = input->streamError().value_or(Error::make(kURLErrorDomain,
                                                                    urlerror::kRequestBodyStreamExhausted,
                                                                    "The request body could not be read."));
                break;
            }
            if (n == 0)
                break;
            failure = writeFully(output, buffer.data(), static_cast<std::size_t>(n));
        }
        output.close();
        input->close();
        platform::MainQueue::async([completion, failure] {
            if (completion)
                completion(failure);
        });
    });
    URLRequest copy = request;
    copy.httpBodyStream.reset();
    return copy;
}

// ---- JSON and property-list bodies

namespace {

bool jsonWritable(const Parameters& v, std::string& why, int depth = 0) {
    if (depth > 512) {
        why = "The parameters nest too deeply for JSON.";
        return false;
    }
    switch (v.type()) {
    case Parameters::value_t::number_float:
        if (!std::isfinite(v.get<double>())) {
            why = "Invalid number value (NaN or infinity) in JSON write.";
            return false;
        }
        return true;
    case Parameters::value_t::string:
        if (!platform::isValidUtf8(v.get_ref<const std::string&>())) {
            why = "A text in the parameters is not valid UTF-8.";
            return false;
        }
        return true;
    case Parameters::value_t::binary:
        why = "Invalid type in JSON write (binary data).";
        return false;
    case Parameters::value_t::object:
        for (const auto& [k, e] : v.items()) {
            if (!platform::isValidUtf8(k)) {
                why = "A key in the parameters is not valid UTF-8.";
                return false;
            }
            if (!jsonWritable(e, why, depth + 1))
                return false;
        }
        return true;
    case Parameters::value_t::array:
        for (const auto& e : v)
            if (!jsonWritable(e, why, depth + 1))
                return false;
        return true;
    default:
        return true;
    }
}

std::optional<platform::PlistValue> toPlist(const Parameters& v, std::string& why) {
    using platform::PlistValue;
    switch (v.type()) {
    case Parameters::value_t::string:
        return PlistValue(v.get<std::string>());
    case Parameters::value_t::boolean:
        return PlistValue(v.get<bool>());
    case Parameters::value_t::number_integer:
        return PlistValue(v.get<std::int64_t>());
    case Parameters::value_t::number_unsigned:
        if (v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            why = "A number in the parameters is too large for a property list.";
            return std::nullopt;
        }
        return PlistValue(static_cast<std::int64_t>(v.get<std::uint64_t>()));
    case Parameters::value_t::number_float:
        return PlistValue(v.get<double>());
    case Parameters::value_t::binary:
        return PlistValue(platform::PlistData(v.get_binary().begin(), v.get_binary().end()));
    case Parameters::value_t::array: {
        platform::PlistArray a;
        for (const auto& e : v) {
            auto item = toPlist(e, why);
            if (!item)
                return std::nullopt;
            a.push_back(std::move(*item));
        }
        return PlistValue(std::move(a));
    }
    case Parameters::value_t::object: {
        platform::PlistDictionary d;
        for (const auto& [k, e] : v.items()) {
            auto item = toPlist(e, why);
            if (!item)
                return std::nullopt;
            d.set(k, std::move(*item));
        }
        return PlistValue(std::move(d));
    }
    default:
        why = "Property list invalid for format: a null value has no property-list form.";
        return std::nullopt;
    }
}

void setError(Error* error, std::string text) {
    if (error) {
        *error = Error::make(kRequestSerializationErrorDomain, urlerror::kBadURL, text);
        error->failureReason = std::move(text);
    }
}

} // namespace

std::optional<std::string> writeJSON(const Parameters& value, unsigned options, Error* error) {
    std::string why;
    if (!(options & 4) && !value.is_object() && !value.is_array()) {
        setError(error, "Invalid top-level type in JSON write.");
        return std::nullopt;
    }
    if (!jsonWritable(value, why)) {
        setError(error, why);
        return std::nullopt;
    }
    try {
        return value.dump((options & 1) ? 2 : -1);
    } catch (const std::exception& e) {
        setError(error, e.what());
        return std::nullopt;
    }
}

std::shared_ptr<JSONRequestSerializer> JSONRequestSerializer::serializerWithWritingOptions(unsigned options) {
    auto s = std::make_shared<JSONRequestSerializer>();
    s->writingOptions = options;
    return s;
}

std::shared_ptr<HTTPRequestSerializer> JSONRequestSerializer::copy() const {
    auto s = std::make_shared<JSONRequestSerializer>();
    copyInto(*s);
    s->writingOptions = writingOptions;
    return s;
}

std::optional<URLRequest> JSONRequestSerializer::requestBySerializingRequest(
    const URLRequest& request, const std::optional<Parameters>& parameters, Error* error) const {
    if (encodesParametersInURI(request.httpMethod))
        return HTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    URLRequest copy = withDefaultHeaders(request);
    if (parameters) {
        // A body that cannot be written means no request: a request without its body must not be sent.
        auto text = writeJSON(*parameters, writingOptions, error);
        if (!text)
            return std::nullopt;
        if (!copy.headers.contains("Content-Type"))
            copy.headers.set("Content-Type", "application/json");
        copy.httpBody = toBytes(*text);
        copy.httpBodyStream.reset();
    }
    return copy;
}

std::shared_ptr<PropertyListRequestSerializer>
PropertyListRequestSerializer::serializerWithFormat(unsigned format, unsigned writeOptions) {
    auto s = std::make_shared<PropertyListRequestSerializer>();
    s->format = format;
    s->writeOptions = writeOptions;
    return s;
}

std::shared_ptr<HTTPRequestSerializer> PropertyListRequestSerializer::copy() const {
    auto s = std::make_shared<PropertyListRequestSerializer>();
    copyInto(*s);
    s->format = format;
    s->writeOptions = writeOptions;
    return s;
}

std::optional<URLRequest> PropertyListRequestSerializer::requestBySerializingRequest(
    const URLRequest& request, const std::optional<Parameters>& parameters, Error* error) const {
    if (encodesParametersInURI(request.httpMethod))
        return HTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    URLRequest copy = withDefaultHeaders(request);
    if (parameters) {
        if (format != kXMLFormat) {
            setError(error, fmt::format("Property list format {} is not written; use the XML format ({}).",
                                        format, kXMLFormat));
            return std::nullopt;
        }
        std::string why;
        auto value = toPlist(*parameters, why);
        std::string document;
        if (!value) {
            setError(error, why);
            return std::nullopt;
        }
        if (auto status = platform::PropertyList::write(*value, document); !status) {
            setError(error, status.error);
            return std::nullopt;
        }
        if (!copy.headers.contains("Content-Type"))
            copy.headers.set("Content-Type", "application/x-plist");
        copy.httpBody = toBytes(document);
        copy.httpBodyStream.reset();
    }
    return copy;
}

} // namespace tc::http
