#include "server_wire.h"

#include "platform/base64.h"
#include "platform/message_cipher.h"
#include "wire/data_additions.h"
#include "wire/message_base.h"
#include "wire/separators.h"
#include "wire/wire_names.h"

#include <cstdint>
#include <span>

using namespace tc;

namespace testserver {

namespace msg = tc::wire::msg;
namespace tag = tc::wire::tag;

WireField typeField(std::int64_t type) {
    return {wire::tag::kMessageType, std::to_string(type)};
}

std::string frameFields(const WireFields& fields) {
    std::string body;
    for (const auto& f : fields) {
        body += std::to_string(f.tag);
        body.push_back('=');
        body += f.value;
        body.push_back(wire::kFieldEnd);
    }
    return MessageBase::frame(body);
}

std::optional<std::string> sealEnvelope(std::string_view framedMessage, std::string_view key) {
    if (key.empty())
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(framedMessage.data());
    auto cipher =
        platform::Crypto::transformData(std::span(bytes, framedMessage.size()),
                                        platform::Crypto::kAlgorithmAES, platform::Crypto::kEncrypt, key);
    if (!cipher)
        return std::nullopt;
    // A reader that ends a value where "27=" recurs cannot be misled: the character before a
    // Base64 padding "=" always has its low bits clear, which "7" has not.
    auto text = platform::Base64::encodeBase64WithData(*cipher);
    if (!text)
        return std::nullopt;
    return frameFields({typeField(msg::kEnvelope), {tag::kSealedPayload, std::move(*text)}});
}

std::optional<std::string> compressPayload(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    // The deflater hands an empty input back as it is; the client wants a stream all the same.
    static constexpr std::uint8_t kEmptyGzip[] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3,
                                                  3,    0,    0, 0, 0, 0, 0, 0, 0, 0};
    auto stream = text.empty()
                      ? std::optional(NSDataAdditions::Bytes(std::begin(kEmptyGzip), std::end(kEmptyGzip)))
                      : NSDataAdditions::gzipDeflate(std::span(bytes, text.size()));
    if (!stream || text.size() > 0xFFFFFFFFu)
        return std::nullopt;
    std::vector<std::uint8_t> payload;
    payload.reserve(stream->size() + 6);
    const auto length = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
        payload.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    payload.insert(payload.end(), stream->begin(), stream->end());
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto encoded = platform::Base64::encodeBase64WithData(payload);
        if (!encoded)
            return std::nullopt;
        if (encoded->find("1050=") == std::string::npos)
            return encoded;
        payload.push_back(0);
    }
    return std::nullopt;
}

// "yyyyMMddHHmmss" -> "yyyy-MM-ddTHH:mm:ss", the date form of the statement document.
std::string xmlDate(std::string_view wire) {
    if (wire.size() != 14)
        return {};
    return std::string(wire.substr(0, 4)) + "-" + std::string(wire.substr(4, 2)) + "-" +
           std::string(wire.substr(6, 2)) + "T" + std::string(wire.substr(8, 2)) + ":" +
           std::string(wire.substr(10, 2)) + ":" + std::string(wire.substr(12, 2));
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

XmlRow& XmlRow::col(std::string_view name, std::string_view value) {
    body_.append(1, '<').append(name).append(1, '>').append(xmlEscaped(value));
    body_.append("</").append(name).append(1, '>');
    return *this;
}

} // namespace testserver
