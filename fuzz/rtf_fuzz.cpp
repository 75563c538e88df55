// Any bytes must read as RTF without a fault and give UTF-8 text no longer than three bytes per
// input byte, and any valid UTF-8 text must survive a trip through the writer and the reader, less
// the control characters the reader does not keep.
#include "chat/rtf_reader.h"
#include "fuzz_support.h"
#include "platform/rtf_writer.h"
#include "platform/utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const tc::chat::RtfDocument doc = tc::chat::RtfReader::read(input);
    if (doc.text.size() > input.size() * 3 || !platform::isValidUtf8(doc.text))
        std::abort();
    for (const auto& run : doc.fontRuns)
        if (run.start > run.end || run.end > doc.text.size())
            std::abort();
    if (platform::isValidUtf8(input)) {
        std::string kept;
        for (char c : input)
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                kept += c;
        if (tc::chat::RtfReader::ConvertRTFToString(platform::rtfFromPlainText(input)) != kept)
            std::abort();
    }
    return 0;
}
