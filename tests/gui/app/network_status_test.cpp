#include "gui/app/network_status.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(NetworkStatus, NetworkStatusOutsideTheFourClassesChangesNothing) {
    EXPECT_EQ(networkStatusLook(0)->connectionImage, "network-status-online");
    EXPECT_EQ(networkStatusLook(2)->connectionImage, "network-status-away");
    EXPECT_EQ(networkStatusLook(3)->textKey, "1007");
    EXPECT_FALSE(networkStatusLook(4));
    EXPECT_FALSE(networkStatusLook(-1));
}

} // namespace
} // namespace tc::gui
