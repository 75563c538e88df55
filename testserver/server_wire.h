#pragma once
// The server's side of the wire: framed messages written field by field, the encrypted envelope
// (type 76) it seals its stream replies in, and the compressed payload of tag 1050.
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testserver {

struct WireField {
    int tag = 0;
    std::string value;
};
using WireFields = std::vector<WireField>;

// Tag 10 with the message type.
WireField typeField(std::int64_t type);

// 0x01, body length in UTF-16 units, 0x03, "tag=value" 0x03 ..., 0x02.
std::string frameFields(const WireFields& fields);

// The framed message encrypted with the key, Base64 in tag 27 of a framed type-76 envelope; nullopt
// when the cipher refuses (an empty key).
std::optional<std::string> sealEnvelope(std::string_view framedMessage, std::string_view key);

// Base64 of four bytes (the inflated length, little-endian; the client skips them) and the gzip
// stream of the text. A text whose Base64 would end in "1050=" (which the client strips out of the
// field wherever it stands) gets one byte after the stream, which inflaters ignore, to shift it.
std::optional<std::string> compressPayload(std::string_view text);

// "yyyyMMddHHmmss" -> "yyyy-MM-ddTHH:mm:ss", the date form of the XML documents; "" for another shape.
std::string xmlDate(std::string_view wire);
std::string xmlEscaped(std::string_view text);

// One table row of an XML data set: <Table><Column>text</Column>...</Table>.
class XmlRow {
public:
    explicit XmlRow(std::string table) : table_(std::move(table)) {}
    XmlRow& col(std::string_view name, std::string_view value);
    template <std::integral T>
    XmlRow& col(std::string_view name, T value) {
        return col(name, std::string_view(std::to_string(value)));
    }
    std::string str() const { return "<" + table_ + ">" + body_ + "</" + table_ + ">"; }

private:
    std::string table_;
    std::string body_;
};

} // namespace testserver
