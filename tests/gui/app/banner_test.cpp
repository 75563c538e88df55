#include "gui/app/in_app_notification_center.h"
#include "gui/gui_test_support.h"

#include <QPushButton>
#include <QSignalSpy>

namespace {

using Banner = tc::gui::InAppNotificationBannerController;
using guitest::waitFor;

interfaces::InAppNotification note(double delay, bool buttons = false) {
    interfaces::InAppNotification n;
    n.title = "TradeClient";
    n.subtitle = "Margin call";
    n.informativeText = "Account 1001 is below its margin.";
    n.hasActionButton = buttons;
    n.feature.dismissDelayTime = delay;
    return n;
}

class Banners : public guitest::ShellTest {
protected:
    tc::gui::InAppNotificationCenter& centre() { return context->banners(); }
};

TEST_F(Banners, ABannerDismissedWhileSlidingInStillDisappears) {
    QPointer<Banner> banner = centre().deliverNotification(note(-1));
    ASSERT_EQ(banner->phase(), Banner::Phase::Showing);
    centre().dismissAllBanners();
    EXPECT_TRUE(waitFor([&] { return !banner || banner->phase() == Banner::Phase::Closed; }));
    EXPECT_TRUE(centre().banners().isEmpty());
}

TEST_F(Banners, ADelayShorterThanTheSlideInDismissesOnceInPlace) {
    QPointer<Banner> banner = centre().deliverNotification(note(0.05));
    EXPECT_TRUE(waitFor([&] { return !banner || banner->phase() == Banner::Phase::Closed; }));
}

TEST_F(Banners, AKeptBannerStaysUntilItsCloseButton) {
    QPointer<Banner> banner = centre().deliverNotification(note(-1, true));
    ASSERT_TRUE(waitFor([&] { return banner->phase() == Banner::Phase::Shown; }));
    EXPECT_TRUE(banner->isVisible());
    QTest::mouseClick(banner->findChild<QPushButton*>("otherButton"), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return !banner || banner->phase() == Banner::Phase::Closed; }));
}

TEST_F(Banners, AClickGoesToTheDelegateWhichClosesEveryBanner) {
    QPointer<Banner> first = centre().deliverNotification(note(-1));
    QPointer<Banner> second = centre().deliverNotification(note(-1, true));
    ASSERT_TRUE(waitFor([&] { return second->phase() == Banner::Phase::Shown; }));
    QSignalSpy activations(&centre(), &tc::gui::InAppNotificationCenter::activatedWithType);

    QTest::mouseClick(second, Qt::LeftButton); // no delegate: announced, nothing more
    EXPECT_EQ(activations.count(), 1);
    EXPECT_EQ(second->phase(), Banner::Phase::Shown);

    std::vector<std::string> activated;
    shell->setBannerDelegate(
        [&](const interfaces::InAppNotification& n) { activated.push_back(n.subtitle); });
    QTest::mouseClick(second->findChild<QPushButton*>("actionButton"), Qt::LeftButton);
    EXPECT_EQ(activations.at(1).front().toInt(), Banner::kActionButton);
    EXPECT_EQ(activated, std::vector<std::string>{"Margin call"});
    EXPECT_TRUE(waitFor([&] { return centre().banners().isEmpty(); }));
}

} // namespace
