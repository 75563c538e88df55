#include "wire/envelope_opener.h"

#include "platform/base64.h"
#include "platform/log.h"
#include "platform/message_cipher.h"
#include "platform/utf8.h"
#include "wire/data_additions.h"
#include "wire/wire_fields.h"
#include "wire/wire_names.h"

namespace tc {

std::optional<std::string> openEncryptedEnvelope(std::string_view tag27Text, std::string_view key) {
    if (tag27Text.size() > kMaxEnvelopeTextLength) {
        platform::Log::warning("encrypted envelope of {} characters over the cap, dropped", tag27Text.size());
        return std::nullopt;
    }
    const auto sealed = platform::Base64::decodeBase64WithString(tag27Text);
    if (!sealed)
        return std::nullopt;
    const auto plain = platform::Crypto::transformData(*sealed, platform::Crypto::kAlgorithmAES,
                                                       platform::Crypto::kDecrypt, key);
    if (!plain)
        return std::nullopt;
    std::string text(plain->begin(), plain->end());
    if (!platform::isValidUtf8(text))
        return std::nullopt;
    return text;
}

std::optional<std::string_view> compressedPayloadOfField(std::string_view field) {
    const wire::Field f = wire::parseField(field);
    if (!f.hasValue || f.tag != wire::tag::kCompressedPayload)
        return std::nullopt;
    return f.value;
}

std::optional<std::string> decompressedPayloadOfField(std::string_view field) {
    const auto payload = compressedPayloadOfField(field);
    if (!payload)
        return std::nullopt;
    return NSDataAdditions::decompressData(*payload);
}

} // namespace tc
