#include "http/response_serializer.h"

#include <fmt/format.h>

#include <algorithm>

namespace tc::http {

namespace {

Error serializationError(int code, std::string description, const HTTPURLResponse* response,
                         const Bytes* data) {
    Error e = Error::make(kResponseSerializationErrorDomain, code, std::move(description));
    if (response) {
        e.failingURL = response->url().absoluteString();
        e.response = std::make_shared<const HTTPURLResponse>(*response);
    }
    if (data)
        e.data = *data;
    return e;
}

void chainInto(std::optional<Error>* out, const std::optional<Error>& error,
               const std::optional<Error>& earlier) {
    if (out)
        *out = Error::chain(error, earlier);
}

} // namespace

// ---- validation

IndexSet::IndexSet(int first, int last) {
    if (first <= last)
        ranges_.emplace_back(first, last);
}

bool IndexSet::contains(int value) const {
    auto it = std::lower_bound(ranges_.begin(), ranges_.end(), value,
                               [](const std::pair<int, int>& r, int v) { return r.second < v; });
    return it != ranges_.end() && it->first <= value;
}

std::size_t IndexSet::size() const {
    std::size_t n = 0;
    for (const auto& [first, last] : ranges_)
        n += static_cast<std::size_t>(static_cast<std::int64_t>(last) - first + 1);
    return n;
}

void IndexSet::insert(int value) {
    if (contains(value))
        return;
    // The first range that ends at or after value - 1 is the only one that may take it in.
    const std::int64_t v = value;
    auto it = std::lower_bound(ranges_.begin(), ranges_.end(), v,
                               [](const std::pair<int, int>& r, std::int64_t x) { return r.second < x - 1; });
    bool joinsBefore = it != ranges_.end() && it->second == v - 1;
    auto after = joinsBefore ? it + 1 : it;
    bool joinsAfter = after != ranges_.end() && after->first == v + 1;
    if (joinsBefore && joinsAfter) {
        it->second = after->second;
        ranges_.erase(after);
    } else if (joinsBefore)
        it->second = value;
    else if (joinsAfter)
        after->first = value;
    else
        ranges_.insert(it, {value, value});
}

void IndexSet::remove(int value) {
    auto it = std::lower_bound(ranges_.begin(), ranges_.end(), value,
                               [](const std::pair<int, int>& r, int v) { return r.second < v; });
    if (it == ranges_.end() || it->first > value)
        return;
    auto [first, last] = *it;
    if (first == last)
        ranges_.erase(it);
    else if (value == first)
        it->first = value + 1;
    else if (value == last)
        it->second = value - 1;
    else {
        it->second = value - 1;
        ranges_.insert(it + 1, {value + 1, last});
    }
}

HTTPResponseSerializer::HTTPResponseSerializer() = default;

std::shared_ptr<HTTPResponseSerializer> HTTPResponseSerializer::copy() const {
    auto s = std::make_shared<HTTPResponseSerializer>();
    s->acceptableStatusCodes = acceptableStatusCodes;
    s->acceptableContentTypes = acceptableContentTypes;
    return s;
}

bool HTTPResponseSerializer::validateResponse(const HTTPURLResponse* response, const Bytes* data,
                                              std::optional<Error>* error) const {
    if (!response)
        return true;
    bool valid = true;
    std::optional<Error> validation;
    if (acceptableContentTypes && !acceptableContentTypes->count(response->mimeType())) {
        valid = false;
        if (data && !data->empty())
            validation = serializationError(
                urlerror::kCannotDecodeContentData,
                fmt::format("Request failed: unacceptable content-type: {}", response->mimeType()), response,
                data);
    }
    if (acceptableStatusCodes && !acceptableStatusCodes->count(response->statusCode())) {
        valid = false;
        Error status = serializationError(
            urlerror::kBadServerResponse,
            fmt::format("Request failed: {} ({})",
                        HTTPURLResponse::localizedStringForStatusCode(response->statusCode()),
                        response->statusCode()),
            response, data);
        validation = Error::chain(status, validation);
    }
    if (!valid && error)
        *error = validation;
    return valid;
}

ResponseObject HTTPResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                 const Bytes* data,
                                                                 std::optional<Error>* error) const {
    validateResponse(response, data, error);
    return data ? ResponseObject(*data) : ResponseObject();
}

bool HTTPResponseSerializer::refuses(const HTTPURLResponse* response, const Bytes* data,
                                     std::optional<Error>* error, std::optional<Error>& validation) const {
    if (validateResponse(response, data, &validation))
        return false;
    // A status refusal alone still decodes the body; a content-type refusal does not.
    if (!error || !validation ||
        validation->hasInChain(kResponseSerializationErrorDomain, urlerror::kCannotDecodeContentData)) {
        if (error)
            *error = validation;
        return true;
    }
    return false;
}

StringEncoding HTTPResponseSerializer::encodingFor(const HTTPURLResponse* response) const {
    if (response && !response->textEncodingName().empty())
        if (auto enc = encodingForIANACharsetName(response->textEncodingName()))
            return *enc;
    return stringEncoding;
}

// ---- JSON

nlohmann::json removingNullValues(const nlohmann::json& value) {
    if (value.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& e : value)
            out.push_back(removingNullValues(e));
        return out;
    }
    if (value.is_object()) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [k, v] : value.items())
            if (!v.is_null())
                out[k] = removingNullValues(v);
        return out;
    }
    return value;
}

std::optional<nlohmann::json> readJSON(std::string_view text, unsigned readingOptions, Error* error) {
    auto refuse = [&](std::string why) -> std::optional<nlohmann::json> {
        if (error) {
            *error = Error::make(kResponseSerializationErrorDomain, urlerror::kCannotDecodeContentData,
                                 "The data couldn't be read because it isn't in the correct format.");
            error->failureReason = std::move(why);
        }
        return std::nullopt;
    };
    // Nesting is checked before parsing: the tree is built and freed recursively.
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"')
            inString = true;
        else if (c == '[' || c == '{') {
            if (++depth > JSONResponseSerializer::kMaxDepth)
                return refuse(
                    fmt::format("JSON nests deeper than {} levels.", JSONResponseSerializer::kMaxDepth));
        } else if (c == ']' || c == '}')
            --depth;
    }
    nlohmann::json value;
    try {
        value = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& e) {
        return refuse(e.what());
    }
    if (!(readingOptions & JSONResponseSerializer::kAllowFragments) && !value.is_object() &&
        !value.is_array())
        return refuse("JSON text did not start with array or object and option to allow fragments not set.");
    return value;
}

std::shared_ptr<JSONResponseSerializer>
JSONResponseSerializer::serializerWithReadingOptions(unsigned options) {
    auto s = std::make_shared<JSONResponseSerializer>();
    s->readingOptions = options;
    return s;
}

JSONResponseSerializer::JSONResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/json", "text/json", "text/javascript"};
}

std::shared_ptr<HTTPResponseSerializer> JSONResponseSerializer::copy() const {
    auto s = std::make_shared<JSONResponseSerializer>();
    s->readingOptions = readingOptions;
    s->removesKeysWithNullValues = removesKeysWithNullValues;
    return s;
}

ResponseObject JSONResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                 const Bytes* data,
                                                                 std::optional<Error>* error) const {
    std::optional<Error> validation;
    if (refuses(response, data, error, validation))
        return {};
    std::optional<Error> parseError;
    ResponseObject object;
    auto text = data ? decodeText(asText(*data), encodingFor(response)) : std::nullopt;
    if (text && *text != " ") {
        if (data->empty()) {
            if (error)
                *error = validation;
            return {};
        }
        Error e;
        if (auto value = readJSON(*text, readingOptions, &e))
            object = removesKeysWithNullValues ? removingNullValues(*value) : std::move(*value);
        else {
            e.failingURL = response ? response->url().absoluteString() : std::string();
            parseError = std::move(e);
        }
    } else if (data && !data->empty() && !text) {
        parseError = serializationError(urlerror::kCannotDecodeContentData,
                                        "Data failed decoding as a UTF-8 string", response, data);
        parseError->failureReason = "Could not decode string: the body is not valid in its text encoding";
    }
    chainInto(error, parseError, validation);
    return object;
}

// ---- XML

XMLParserResponseSerializer::XMLParserResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/xml", "text/xml"};
}

std::shared_ptr<HTTPResponseSerializer> XMLParserResponseSerializer::copy() const {
    return std::make_shared<XMLParserResponseSerializer>();
}

ResponseObject XMLParserResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                      const Bytes* data,
                                                                      std::optional<Error>* error) const {
    std::optional<Error> validation;
    if (refuses(response, data, error, validation))
        return {};
    if (error)
        *error = validation;
    return std::make_shared<XMLParser>(data ? *data : Bytes{});
}

std::shared_ptr<XMLDocumentResponseSerializer>
XMLDocumentResponseSerializer::serializerWithXMLDocumentOptions(unsigned options) {
    auto s = std::make_shared<XMLDocumentResponseSerializer>();
    s->options = options;
    return s;
}

XMLDocumentResponseSerializer::XMLDocumentResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/xml", "text/xml"};
}

std::shared_ptr<HTTPResponseSerializer> XMLDocumentResponseSerializer::copy() const {
    return serializerWithXMLDocumentOptions(options);
}

ResponseObject XMLDocumentResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                        const Bytes* data,
                                                                        std::optional<Error>* error) const {
    std::optional<Error> validation;
    if (refuses(response, data, error, validation))
        return {};
    Error e;
    auto doc = XMLDocument::fromData(data ? *data : Bytes{}, options, &e);
    chainInto(error, doc ? std::nullopt : std::optional<Error>(e), validation);
    return doc ? ResponseObject(std::move(*doc)) : ResponseObject();
}

// ---- property lists

std::shared_ptr<PropertyListResponseSerializer>
PropertyListResponseSerializer::serializerWithFormat(unsigned format, unsigned readOptions) {
    auto s = std::make_shared<PropertyListResponseSerializer>();
    s->format = format;
    s->readOptions = readOptions;
    return s;
}

PropertyListResponseSerializer::PropertyListResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/x-plist"};
}

std::shared_ptr<HTTPResponseSerializer> PropertyListResponseSerializer::copy() const {
    return serializerWithFormat(format, readOptions);
}

ResponseObject PropertyListResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                         const Bytes* data,
                                                                         std::optional<Error>* error) const {
    std::optional<Error> validation;
    if (refuses(response, data, error, validation))
        return {};
    std::optional<Error> readError;
    ResponseObject object;
    if (data && !data->empty()) {
        auto result = platform::PropertyList::readBytes(asText(*data));
        if (result)
            object = result.value();
        else {
            readError = serializationError(
                urlerror::kCannotDecodeContentData,
                "The data couldn't be read because it isn't in the correct format.", response, nullptr);
            readError->failureReason = result.error();
        }
    }
    chainInto(error, readError, validation);
    return object;
}

// ---- images

namespace {

std::uint32_t be(const Bytes& d, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | d[at + static_cast<std::size_t>(i)];
    return v;
}
std::uint32_t le(const Bytes& d, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | d[at + static_cast<std::size_t>(i)];
    return v;
}

std::optional<std::pair<int, int>> jpegSize(const Bytes& d) {
    std::size_t i = 2;
    while (i + 9 < d.size()) {
        if (d[i] != 0xFF)
            return std::nullopt;
        std::uint8_t marker = d[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        std::size_t length = be(d, i + 2, 2);
        if (length < 2)
            return std::nullopt;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return std::pair<int, int>(static_cast<int>(be(d, i + 7, 2)), static_cast<int>(be(d, i + 5, 2)));
        i += 2 + length;
    }
    return std::nullopt;
}

std::optional<std::pair<int, int>> tiffSize(const Bytes& d) {
    bool little = d[0] == 'I';
    auto rd = [&](std::size_t at, int n) { return little ? le(d, at, n) : be(d, at, n); };
    std::size_t ifd = rd(4, 4);
    if (ifd + 2 > d.size())
        return std::nullopt;
    std::size_t count = rd(ifd, 2);
    int w = 0, h = 0;
    for (std::size_t k = 0; k < count && ifd + 2 + 12 * (k + 1) <= d.size(); ++k) {
        std::size_t e = ifd + 2 + 12 * k;
        std::uint32_t tag = rd(e, 2), type = rd(e + 2, 2);
        std::uint32_t value = type == 3 ? rd(e + 8, 2) : rd(e + 8, 4);
        if (tag == 256)
            w = static_cast<int>(value);
        else if (tag == 257)
            h = static_cast<int>(value);
    }
    if (w <= 0 || h <= 0)
        return std::nullopt;
    return std::pair<int, int>(w, h);
}

} // namespace

std::optional<Image> decodeImageHeader(const Bytes& d) {
    Image img;
    std::optional<std::pair<int, int>> size;
    auto starts = [&](std::string_view sig) {
        return d.size() >= sig.size() &&
               std::equal(sig.begin(), sig.end(), d.begin(),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    };
    if (starts("\x89PNG\r\n\x1a\n") && d.size() >= 24 &&
        std::string_view(reinterpret_cast<const char*>(&d[12]), 4) == "IHDR") {
        img.format = "png";
        size = std::pair<int, int>(static_cast<int>(be(d, 16, 4)), static_cast<int>(be(d, 20, 4)));
    } else if ((starts("GIF87a") || starts("GIF89a")) && d.size() >= 10) {
        img.format = "gif";
        size = std::pair<int, int>(static_cast<int>(le(d, 6, 2)), static_cast<int>(le(d, 8, 2)));
    } else if (starts("\xFF\xD8\xFF")) {
        img.format = "jpeg";
        size = jpegSize(d);
    } else if (starts("BM") && d.size() >= 26) {
        img.format = "bmp";
        std::int32_t h = static_cast<std::int32_t>(le(d, 22, 4));
        size = std::pair<int, int>(static_cast<int>(le(d, 18, 4)), h == INT32_MIN ? 0 : (h < 0 ? -h : h));
    } else if ((starts("II*\0") || starts(std::string_view("MM\0*", 4))) && d.size() >= 8) {
        img.format = "tiff";
        size = tiffSize(d);
    } else if (starts(std::string_view("\0\0\1\0", 4)) && d.size() >= 22 && le(d, 4, 2) > 0) {
        img.format = "ico";
        size = std::pair<int, int>(d[6] == 0 ? 256 : d[6], d[7] == 0 ? 256 : d[7]);
    }
    if (!size || size->first <= 0 || size->second <= 0)
        return std::nullopt;
    img.pixelWidth = size->first;
    img.pixelHeight = size->second;
    img.data = d;
    return img;
}

ImageResponseSerializer::ImageResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{
        "image/tiff",   "image/jpeg", "image/gif",   "image/png",       "image/ico",
        "image/x-icon", "image/bmp",  "image/x-bmp", "image/x-xbitmap", "image/x-win-bitmap"};
}

std::shared_ptr<HTTPResponseSerializer> ImageResponseSerializer::copy() const {
    return std::make_shared<ImageResponseSerializer>();
}

ResponseObject ImageResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                  const Bytes* data,
                                                                  std::optional<Error>* error) const {
    std::optional<Error> validation;
    if (!validateResponse(response, data, &validation)) {
        if (error)
            *error = validation;
        if (!error || !validation ||
            validation->hasInChain(kResponseSerializationErrorDomain, urlerror::kCannotDecodeContentData))
            return {};
    }
    auto image = data ? decodeImageHeader(*data) : std::nullopt;
    if (!image) {
        chainInto(error,
                  serializationError(urlerror::kCannotDecodeContentData,
                                     "The image data could not be decoded.", response, nullptr),
                  validation);
        return {};
    }
    return std::move(*image);
}

// ---- compound

std::shared_ptr<CompoundResponseSerializer>
CompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    std::vector<std::shared_ptr<HTTPResponseSerializer>> serializers) {
    auto s = std::make_shared<CompoundResponseSerializer>();
    s->responseSerializers = std::move(serializers);
    return s;
}

std::shared_ptr<HTTPResponseSerializer> CompoundResponseSerializer::copy() const {
    return compoundSerializerWithResponseSerializers(responseSerializers);
}

ResponseObject CompoundResponseSerializer::responseObjectForResponse(const HTTPURLResponse* response,
                                                                     const Bytes* data,
                                                                     std::optional<Error>* error) const {
    for (const auto& member : responseSerializers) {
        if (!member)
            continue;
        std::optional<Error> memberError;
        ResponseObject object = member->responseObjectForResponse(response, data, &memberError);
        if (object.has_value()) {
            if (error)
                *error = Error::chain(memberError, *error);
            return object;
        }
    }
    return HTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

} // namespace tc::http
