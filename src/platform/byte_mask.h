#pragma once
// Where one byte value occurs in a short run of text, as a bit mask: the splitters of records,
// frames and quotes take a field per bit scan instead of a pass over its few bytes.
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tc::platform {

// Bit i is set where from[i] == c, over the first n bytes (n at most 64).
inline std::uint64_t byteMask(const char* from, std::size_t n, char c) noexcept {
    std::uint64_t mask = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        mask |= std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)))}
                << i;
    }
#endif
    for (; i < n; ++i)
        mask |= std::uint64_t{from[i] == c} << i;
    return mask;
}

} // namespace tc::platform
