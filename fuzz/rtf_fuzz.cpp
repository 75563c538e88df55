// Any bytes must read as RTF without a fault, and any valid UTF-8 text must survive a trip through
// the writer and the reader unchanged.
#include "fuzz_support.h"
#include "platform/rtf.h"

#include <unicode/utf8.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tc;

bool validUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const auto n = static_cast<int32_t>(s.size());
    int32_t i = 0;
    while (i < n) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c < 0)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string text = platform::plainTextFromRtf(input);
    if (text.size() > input.size() * 3 + 16)
        std::abort();
    if (validUtf8(input) && platform::plainTextFromRtf(platform::rtfFromPlainText(input)) != input)
        std::abort();
    return 0;
}
