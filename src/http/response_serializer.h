#pragma once
// Response serializers: validate status and content type, then turn the body into an object (bytes,
// JSON, an XML parser or document, a property list, an image's size).
#include "http/text_encoding.h"
#include "http/xml_parser.h"

#include "platform/property_list.h"

#include <nlohmann/json.hpp>

#include <any>
#include <set>
#include <typeinfo>

namespace tc::http {

// What a serializer returns: Bytes, nlohmann::json, std::shared_ptr<XMLParser>, XMLDocument,
// platform::PlistValue, Image, or (for a finished download) the file's URL; empty for none.
using ResponseObject = std::any;

// A decoded image header: the size and kind of a bitmap, with its bytes. Pixels are decoded by the
// window layer (Qt), which this library does not use.
struct Image {
    std::string format; // "png", "jpeg", "gif", "bmp", "tiff", "ico"
    int pixelWidth = 0;
    int pixelHeight = 0;
    Bytes data;
};

// The size of a PNG, JPEG, GIF, BMP, TIFF or ICO image; nullopt when the bytes are none of these.
std::optional<Image> decodeImageHeader(const Bytes& data);

// User-information keys of the response-serialization errors (beside the Error struct's own fields).
inline constexpr char kResponseErrorResponseKey[] = "com.tradeclient.serialization.response.error.response";
inline constexpr char kResponseErrorDataKey[] = "com.tradeclient.serialization.response.error.data";

// A set of integers kept as sorted, disjoint ranges: the status codes 200-299 are one range, so every
// request's serializer costs no hundred-entry tree.
class IndexSet {
public:
    IndexSet() = default;
    // The integers first..last, both included.
    IndexSet(int first, int last);
    bool contains(int value) const;
    std::size_t count(int value) const { return contains(value) ? 1 : 0; }
    std::size_t size() const;
    void insert(int value);
    void remove(int value);
    friend bool operator==(const IndexSet&, const IndexSet&) = default;

private:
    std::vector<std::pair<int, int>> ranges_; // inclusive, ascending, never touching
};

class HTTPResponseSerializer {
public:
    static std::shared_ptr<HTTPResponseSerializer> serializer() {
        return std::make_shared<HTTPResponseSerializer>();
    }
    HTTPResponseSerializer();
    virtual ~HTTPResponseSerializer() = default;
    virtual std::shared_ptr<HTTPResponseSerializer> copy() const;

    StringEncoding stringEncoding = StringEncoding::UTF8;
    std::optional<IndexSet> acceptableStatusCodes{std::in_place, 200, 299};

    std::optional<std::set<std::string>> acceptableContentTypes; // none: any type

    // True when acceptable. A refusal sets `error` when given, except for a content-type refusal of an
    // empty body, which is refused without one.
    bool validateResponse(const HTTPURLResponse* response, const Bytes* data,
                          std::optional<Error>* error) const;
    // The plain serializer: the bytes as they came (the verdict reaches the caller through `error`).
    virtual ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                                     std::optional<Error>* error) const;
    // False when the serializer only validates (it costs less than handing it to another thread).
    virtual bool decodesBody() const { return typeid(*this) != typeid(HTTPResponseSerializer); }

protected:
    // The refusal rule of the decoding serializers: true when decoding should stop.
    bool refuses(const HTTPURLResponse* response, const Bytes* data, std::optional<Error>* error,
                 std::optional<Error>& validation) const;
    StringEncoding encodingFor(const HTTPURLResponse* response) const;
};

class JSONResponseSerializer : public HTTPResponseSerializer {
public:
    static constexpr unsigned kMutableContainers = 1;
    static constexpr unsigned kAllowFragments = 4;
    static constexpr int kMaxDepth = 512;
    static std::shared_ptr<JSONResponseSerializer> serializer() { return serializerWithReadingOptions(0); }
    static std::shared_ptr<JSONResponseSerializer> serializerWithReadingOptions(unsigned options);
    JSONResponseSerializer();
    std::shared_ptr<HTTPResponseSerializer> copy() const override;
    ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                             std::optional<Error>* error) const override;
    bool removesKeysWithNullValues = false;
    unsigned readingOptions = 0;
};

// Every object and array without its null-valued keys, at every depth; arrays keep their length.
nlohmann::json removingNullValues(const nlohmann::json& value);

// Parses JSON text as the JSON serializer does: nullopt with `error` for malformed text, nesting past
// kMaxDepth, or a bare top-level value unless fragments are allowed.
std::optional<nlohmann::json> readJSON(std::string_view text, unsigned readingOptions, Error* error);

// Returns a parser over the body, not yet run.
class XMLParserResponseSerializer : public HTTPResponseSerializer {
public:
    static std::shared_ptr<XMLParserResponseSerializer> serializer() {
        return std::make_shared<XMLParserResponseSerializer>();
    }
    XMLParserResponseSerializer();
    std::shared_ptr<HTTPResponseSerializer> copy() const override;
    ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                             std::optional<Error>* error) const override;
};

class XMLDocumentResponseSerializer : public HTTPResponseSerializer {
public:
    static std::shared_ptr<XMLDocumentResponseSerializer> serializer() {
        return serializerWithXMLDocumentOptions(0);
    }
    static std::shared_ptr<XMLDocumentResponseSerializer> serializerWithXMLDocumentOptions(unsigned options);
    XMLDocumentResponseSerializer();
    std::shared_ptr<HTTPResponseSerializer> copy() const override;
    ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                             std::optional<Error>* error) const override;
    unsigned options = 0;
};

class PropertyListResponseSerializer : public HTTPResponseSerializer {
public:
    static std::shared_ptr<PropertyListResponseSerializer> serializer() {
        return serializerWithFormat(100, 0);
    }
    static std::shared_ptr<PropertyListResponseSerializer> serializerWithFormat(unsigned format,
                                                                                unsigned readOptions);
    PropertyListResponseSerializer();
    std::shared_ptr<HTTPResponseSerializer> copy() const override;
    ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                             std::optional<Error>* error) const override;
    unsigned format = 0;
    unsigned readOptions = 0;
};

class ImageResponseSerializer : public HTTPResponseSerializer {
public:
    static std::shared_ptr<ImageResponseSerializer> serializer() {
        return std::make_shared<ImageResponseSerializer>();
    }
    ImageResponseSerializer();
    std::shared_ptr<HTTPResponseSerializer> copy() const override;
    ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                             std::optional<Error>* error) const override;
};

class CompoundResponseSerializer : public HTTPResponseSerializer {
public:
    static std::shared_ptr<CompoundResponseSerializer> compoundSerializerWithResponseSerializers(
        std::vector<std::shared_ptr<HTTPResponseSerializer>> serializers);
    std::shared_ptr<HTTPResponseSerializer> copy() const override;
    ResponseObject responseObjectForResponse(const HTTPURLResponse* response, const Bytes* data,
                                             std::optional<Error>* error) const override;
    std::vector<std::shared_ptr<HTTPResponseSerializer>> responseSerializers;
};

} // namespace tc::http
