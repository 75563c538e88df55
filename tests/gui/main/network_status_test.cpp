#include "gui/app/images.h"
#include "gui/main/network_status.h"
#include "gui/texts.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(NetworkStatus, NetworkStatusOutsideTheFourClassesChangesNothing) {
    EXPECT_EQ(networkStatusLook(0)->connectionImage, "network-status-online");
    EXPECT_EQ(networkStatusLook(2)->connectionImage, "network-status-away");
    EXPECT_EQ(networkStatusLook(3)->textKey, texts::kNoConnectionTradingServer);
    EXPECT_FALSE(networkStatusLook(4));
    EXPECT_FALSE(networkStatusLook(-1));
}

// The status images are asked for every second: each name is rendered into one icon once, not anew.
TEST(NetworkStatus, StatusImagesAreMadeOncePerName) {
    const QIcon first = image(networkStatusLook(0)->speedImage);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(image(networkStatusLook(0)->speedImage).cacheKey(), first.cacheKey());
    EXPECT_NE(image(networkStatusLook(3)->speedImage).cacheKey(), first.cacheKey());
    EXPECT_TRUE(image("no-such-image").isNull());
}

} // namespace
} // namespace tc::gui
