// Arbitrary text opened as the tag-27 value of an encrypted envelope under a fixed key, and as the
// value of a compressed tag-1050 field. Whatever opens must be UTF-8 and seal back to the same bytes.
#include "fuzz_support.h"
#include "platform/base64.h"
#include "platform/crypto.h"
#include "platform/message_cipher.h"
#include "platform/utf8.h"
#include "wire/envelope_opener.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tc;
constexpr std::string_view kKey =
    "Bu5fr9qBVR+KDtQPOzOiReyjI/L7/ZySpc2mcNhILA7/MJzSJfVuY2z/xK1NQOdzWY5LpZX1gIrJzk83jkgnqQ==";
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string field = "1050=" + std::string(text);
    if (compressedPayloadOfField(field) != text)
        std::abort();
    (void)decompressedPayloadOfField(field);

    const auto opened = openEncryptedEnvelope(text, kKey);
    if (!opened)
        return 0;
    if (!platform::isValidUtf8(*opened))
        std::abort();
    // CBC under a fixed key and IV is deterministic and the padding canonical: sealing the plain text
    // again must give exactly the bytes that were opened.
    const auto sealed = platform::Base64::decodeBase64WithString(text);
    const auto again = platform::Crypto::transformData(
        platform::asBytes(*opened), platform::Crypto::kAlgorithmAES, platform::Crypto::kEncrypt, kKey);
    if (!sealed || !again || *again != *sealed)
        std::abort();
    return 0;
}
