// Inflation of arbitrary bytes under a lowered cap; what inflates must stay under it and deflate back;
// the input itself must survive a deflate/inflate round trip.
#include "fuzz_support.h"
#include "wire/data_additions.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using namespace tc;
constexpr std::size_t kFuzzCap = std::size_t{1} << 20;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    const auto inflated = NSDataAdditions::gzipInflate(input, kFuzzCap);
    if (inflated && inflated->size() > kFuzzCap)
        std::abort();
    const auto skipped = NSDataAdditions::gzipInflateSkippingPrefix(input, kFuzzCap);
    if (skipped && skipped->size() > kFuzzCap)
        std::abort();
    if (size < NSDataAdditions::kPayloadPrefixLength && skipped)
        std::abort();

    if (inflated && !inflated->empty()) {
        const auto packed = NSDataAdditions::gzipDeflate(*inflated);
        if (!packed || NSDataAdditions::gzipInflate(*packed, kFuzzCap) != inflated)
            std::abort();
    }
    // The input as plain data: deflated, it inflates back, and a cut-off copy never inflates.
    if (size > 0) {
        const auto packed = NSDataAdditions::gzipDeflate(input);
        if (!packed ||
            NSDataAdditions::gzipInflate(*packed, kFuzzCap) != std::vector<uint8_t>(data, data + size))
            std::abort();
        if (NSDataAdditions::gzipInflate(std::span(*packed).first(packed->size() - 1), kFuzzCap))
            std::abort();
    }
    return 0;
}
