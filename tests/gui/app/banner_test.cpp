#include "gui/app/in_app_notification_center.h"
#include "gui/app/sound_notification.h"
#include "gui/gui_test_support.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextDocument>

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
    // Banner windows built and not yet gone.
    static int builtBanners() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<Banner*>(w) != nullptr;
        return n;
    }
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

// A burst of one kind (200 settlements after a Close All) is one window listing every line in order,
// with one sound; another kind, or a banner to act on, keeps a window of its own.
TEST_F(Banners, ABurstOfOneKindIsOneWindowListingEveryLineInOrderWithOneSound) {
    defaults->set("SoundKey", false);
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    const auto settled = [](int n) {
        interfaces::InAppNotification s = note(5);
        s.subtitle = "Order Settled";
        s.informativeText = "#" + std::to_string(700000 + n) + "\nSettled EURUSD @1.0850";
        s.soundName = std::string(interfaces::kInAppNotificationDefaultSound);
        return s;
    };
    const int built = builtBanners();
    QPointer<Banner> first = centre().deliverNotification(settled(0));
    for (int n = 1; n < 200; ++n)
        EXPECT_EQ(centre().deliverNotification(settled(n)), first.data());
    EXPECT_EQ(builtBanners() - built, 1);
    ASSERT_EQ(first->lines().size(), 200);
    for (int n = 0; n < 200; ++n)
        EXPECT_EQ(first->lines().at(n).toStdString(), settled(n).informativeText);
    auto* list = first->findChild<QPlainTextEdit*>("bannerLinesList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->document()->toPlainText().count(QLatin1String("Settled EURUSD")), 200);
    EXPECT_EQ(sounds.count(), 1);

    QPointer<Banner> other = centre().deliverNotification(note(5)); // another kind: its own, on top
    EXPECT_NE(other.data(), first.data());
    QPointer<Banner> after = centre().deliverNotification(settled(200)); // not under another kind
    EXPECT_NE(after.data(), first.data());
    QPointer<Banner> acted = centre().deliverNotification(note(5, true));
    EXPECT_NE(centre().deliverNotification(note(5, true)), acted.data());
    EXPECT_EQ(builtBanners() - built, 5);
    EXPECT_EQ(sounds.count(), 2); // the two settlement banners; note() names no sound
}

TEST_F(Banners, ABurstWhileHeldWaitsAsLinesAndShowsWholeWhenTheHoldEnds) {
    const int built = builtBanners();
    centre().setHeld(true);
    for (int n = 0; n < 30; ++n) {
        interfaces::InAppNotification s = note(5);
        s.informativeText = "line " + std::to_string(n);
        EXPECT_EQ(centre().deliverNotification(s), nullptr);
    }
    EXPECT_EQ(builtBanners(), built);
    centre().setHeld(false);
    const auto open = centre().banners();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(builtBanners() - built, 1);
    ASSERT_EQ(open.front()->lines().size(), 30);
    EXPECT_EQ(open.front()->lines().front(), "line 0");
    EXPECT_EQ(open.front()->lines().back(), "line 29");
}

TEST_F(Banners, AJoinedLineKeepsTheBannerForItsOwnTime) {
    QPointer<Banner> banner = centre().deliverNotification(note(2.0));
    ASSERT_TRUE(waitFor([&] { return banner->phase() == Banner::Phase::Shown; }));
    interfaces::InAppNotification later = note(2.0);
    later.informativeText = "Account 1002 is below its margin.";
    centre().deliverNotification(later);
    ASSERT_EQ(banner->lines().size(), 2);
    // Gone only after the last line's own time, never before it was shown for it.
    QElapsedTimer joined;
    joined.start();
    ASSERT_TRUE(waitFor([&] { return !banner || banner->phase() != Banner::Phase::Shown; }));
    EXPECT_GE(joined.elapsed(), 1900);
}

} // namespace
