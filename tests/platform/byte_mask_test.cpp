#include "platform/byte_mask.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using tc::platform::byteMask;

// Every length from 0 to 64 at every offset into the buffer, across the vector blocks and the
// byte-by-byte tail, with the byte wanted anywhere (and bytes above 0x7f, which compare signed).
TEST(ByteMask, MatchesAByteLoopAtEveryLengthAndOffset) {
    std::mt19937 rng(20261208);
    std::string text(64 + 16, '\0');
    for (int round = 0; round < 200; ++round) {
        const char wanted = static_cast<char>(rng() & 0xff);
        for (char& c : text)
            c = (rng() % 4 == 0) ? wanted : static_cast<char>(rng() & 0xff);
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (std::size_t n = 0; n <= 64; ++n) {
                std::uint64_t expected = 0;
                for (std::size_t i = 0; i < n; ++i)
                    if (text[offset + i] == wanted)
                        expected |= std::uint64_t{1} << i;
                ASSERT_EQ(byteMask(text.data() + offset, n, wanted), expected)
                    << "round " << round << " offset " << offset << " length " << n;
            }
        }
    }
}

} // namespace
