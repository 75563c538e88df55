// Strict and lenient Base64 decoding of arbitrary text; whatever decodes must survive a re-encode.
#include "fuzz_support.h"
#include "platform/base64.h"
#include "wire/data_additions.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)NSDataAdditions::initWithBase64EncodedString(text);

    const auto decoded = platform::Base64::decodeBase64WithString(text);
    if (!decoded || decoded->empty())
        return 0;
    // Never more bytes than three per four characters of text.
    if (decoded->size() > size / 4 * 3 + 2)
        std::abort();
    const auto encoded = platform::Base64::encodeBase64WithData(*decoded);
    if (!encoded || platform::Base64::decodeBase64WithString(*encoded) != decoded)
        std::abort();
    if (NSDataAdditions::initWithBase64EncodedString(*encoded) != decoded)
        std::abort();
    const auto wrapped =
        NSDataAdditions::base64EncodingWithLineLength(*decoded, static_cast<uint32_t>(size % 80));
    if (!wrapped || platform::Base64::decodeBase64WithString(*wrapped) != decoded)
        std::abort();
    return 0;
}
