#include "platform/cores.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

using namespace tc;

TEST(Cores, SharesCoverEveryIndexOnceAndFailuresComeBack) {
    EXPECT_GE(platform::usableCores(), 1u);
    for (std::size_t count : {0u, 1u, 99u, 100u, 5'001u}) {
        std::vector<std::atomic<int>> seen(count);
        std::atomic<int> shares{0};
        platform::forEachShare(count, 100, [&](std::size_t begin, std::size_t end) {
            ++shares;
            for (std::size_t i = begin; i < end; ++i)
                ++seen[i];
        });
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(seen[i].load(), 1) << "count " << count << " index " << i;
        // No share is smaller than asked for, unless there is only one.
        EXPECT_LE(static_cast<std::size_t>(shares.load()), std::max<std::size_t>(1, count / 100)) << count;
    }
    EXPECT_THROW(platform::forEachShare(10'000, 10,
                                        [](std::size_t, std::size_t end) {
                                            if (end ==
                                                10'000) // the last share, on a helper when there is one
                                                throw std::runtime_error("share failed");
                                        }),
                 std::runtime_error);
}

} // namespace
