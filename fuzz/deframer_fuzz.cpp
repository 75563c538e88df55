// Feeding a stream in arbitrary chunks must give exactly the frames that feeding it whole gives.
// Input: byte 0 picks the cap, byte 1 the number of chunk sizes, then the sizes, then the stream.
#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/stream_deframer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::Log::setLevel(platform::LogLevel::Off);
    if (size < 2)
        return 0;
    const std::size_t cap = 1 + data[0] % 64 + (data[0] & 0x80 ? 4096 : 0);
    const std::size_t nSizes = 1 + data[1] % 8;
    if (size < 2 + nSizes)
        return 0;
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < nSizes; ++i)
        sizes.push_back(1 + data[2 + i] % 97);
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2 + nSizes, size - 2 - nSizes);

    StreamDeframer whole(cap);
    const std::vector<std::string> expected = whole.feed(stream);

    StreamDeframer chunked(cap);
    std::vector<std::string> got;
    std::size_t pos = 0;
    for (std::size_t k = 0; pos < stream.size(); ++k) {
        const std::size_t n = sizes[k % sizes.size()];
        for (auto& f : chunked.feed(stream.substr(pos, n)))
            got.push_back(std::move(f));
        if (chunked.pendingBytes() > cap)
            std::abort();
        pos += n;
    }
    if (got != expected)
        std::abort();
    if (whole.pendingBytes() != chunked.pendingBytes() || whole.insideFrame() != chunked.insideFrame())
        std::abort();
    for (const std::string& f : expected) {
        if (f.empty() || f.find_first_of("\x01\x02") != std::string::npos || !platform::isValidUtf8(f))
            std::abort();
        // A repaired frame may grow (one bad byte becomes three), never past three times the cap.
        if (f.size() > 3 * cap)
            std::abort();
    }
    return 0;
}
