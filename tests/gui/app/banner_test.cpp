#include "gui/app/in_app_notification_center.h"
#include "gui/app/sound_notification.h"
#include "gui/gui_test_support.h"
#include "gui/texts.h"
#include "platform/dispatch.h"
#include "session/business/session_events.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

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

interfaces::InAppNotification settled(int n) {
    interfaces::InAppNotification s = note(5);
    s.subtitle = "Order Settled";
    s.informativeText = "#" + std::to_string(700000 + n) + "\nSettled EURUSD @1.0850";
    s.soundName = std::string(interfaces::kInAppNotificationDefaultSound);
    return s;
}

std::vector<std::string> keptLines(const Banner& banner) {
    std::vector<std::string> lines;
    for (const QString& line : banner.lines().kept())
        lines.push_back(line.toStdString());
    return lines;
}

std::vector<std::string> settledLines(int from, int to) {
    std::vector<std::string> lines;
    for (int n = from; n < to; ++n)
        lines.push_back(settled(n).informativeText);
    return lines;
}

// A burst of one kind (200 settlements after a Close All) is one window with one sound, listing its
// newest lines in order and how many came before them; another kind, or a banner to act on, keeps a
// window of its own.
TEST_F(Banners, ABurstOfOneKindIsOneWindowListingItsNewestLinesInOrderWithOneSound) {
    defaults->set("SoundKey", false);
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    const int built = builtBanners();
    QPointer<Banner> first = centre().deliverNotification(settled(0));
    for (int n = 1; n < 200; ++n)
        EXPECT_EQ(centre().deliverNotification(settled(n)), first.data());
    EXPECT_EQ(builtBanners() - built, 1);
    const std::size_t kept = Banner::kBannerLines;
    EXPECT_EQ(keptLines(*first), settledLines(200 - int(kept), 200));
    EXPECT_EQ(first->lines().dropped(), 200 - std::int64_t(kept));
    // The list reads the kept lines, then how many more: edited as lines came, never written whole.
    auto* list = first->findChild<QPlainTextEdit*>("bannerLinesList");
    ASSERT_NE(list, nullptr);
    const QString more = QStringLiteral("and %1 more").arg(200 - kept);
    EXPECT_EQ(list->document()->toPlainText().toStdString(), first->lines().joined(more).toStdString());
    EXPECT_EQ(list->document()->lastBlock().text().toStdString(), more.toStdString());
    EXPECT_EQ(list->document()->blockCount(), int(2 * kept + 1));
    EXPECT_TRUE(first->accessibleDescription().endsWith(more));
    EXPECT_EQ(sounds.count(), 1);

    QPointer<Banner> other = centre().deliverNotification(note(5)); // another kind: its own
    EXPECT_NE(other.data(), first.data());
    // The burst's banner is still in sight, under none: the next of the burst joins it.
    EXPECT_EQ(centre().deliverNotification(settled(200)), first.data());
    EXPECT_EQ(keptLines(*first).back(), settled(200).informativeText);
    EXPECT_EQ(list->document()->toPlainText().toStdString(),
              first->lines().joined(QStringLiteral("and %1 more").arg(201 - kept)).toStdString());
    QPointer<Banner> acted = centre().deliverNotification(note(5, true));
    EXPECT_NE(centre().deliverNotification(note(5, true)), acted.data());
    EXPECT_EQ(builtBanners() - built, 4);
    EXPECT_EQ(sounds.count(), 1); // the settlements' only; note() names no sound
}

// In a right-to-left language the list reads as the one-line banner does: every line flush right
// and laid out from the right, a line opening with a number or a symbol too; left to right as before.
TEST_F(Banners, ABurstsListReadsFromTheLanguagesSide) {
    struct Restore {
        Qt::LayoutDirection was = QGuiApplication::layoutDirection();
        ~Restore() { QGuiApplication::setLayoutDirection(was); }
    } restore;
    const QString mixed = QStringLiteral("EURUSD \u0645\u0633\u0648\u0649"); // a symbol, then Arabic
    for (const Qt::LayoutDirection direction : {Qt::RightToLeft, Qt::LeftToRight}) {
        SCOPED_TRACE(direction == Qt::RightToLeft ? "right to left" : "left to right");
        QGuiApplication::setLayoutDirection(direction);
        QPointer<Banner> banner;
        for (int n = 0; n < 3; ++n) {
            interfaces::InAppNotification s = settled(n);
            s.informativeText = "#" + std::to_string(600360 + n) + "\n" + mixed.toStdString();
            s.feature.dismissDelayTime = -1;
            Banner* delivered = centre().deliverNotification(s);
            if (!banner)
                banner = delivered;
        }
        ASSERT_TRUE(waitFor([&] { return banner->phase() == Banner::Phase::Shown; }));
        auto* list = banner->findChild<QPlainTextEdit*>("bannerLinesList");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->document()->blockCount(), 6);
        for (QTextBlock block = list->document()->begin(); block.isValid(); block = block.next()) {
            SCOPED_TRACE(block.text().toStdString());
            const QTextLine line = block.layout()->lineAt(0);
            ASSERT_TRUE(line.isValid());
            const QRectF drawn = line.naturalTextRect();
            if (direction == Qt::RightToLeft)
                EXPECT_NEAR(drawn.right(), line.width(), 1.0);
            else
                EXPECT_NEAR(drawn.left(), 0.0, 1.0);
            if (block.text() != mixed)
                continue;
            // The symbol first stands where the reader starts: at the right in a right-to-left one.
            const qreal symbol = line.cursorToX(1);
            const qreal arabic = line.cursorToX(int(mixed.size()) - 1);
            if (direction == Qt::RightToLeft)
                EXPECT_GT(symbol, arabic);
            else
                EXPECT_LT(symbol, arabic);
        }
        centre().dismissAllBanners();
        ASSERT_TRUE(waitFor([&] { return centre().banners().isEmpty(); }));
    }
}

// A night of fills behind the lock: one banner at unlock, holding no more than a banner lists.
TEST_F(Banners, ABurstWhileHeldWaitsAsBoundedLinesAndShowsWhenTheHoldEnds) {
    const int built = builtBanners();
    centre().setHeld(true);
    for (int n = 0; n < 20'000; ++n)
        EXPECT_EQ(centre().deliverNotification(settled(n)), nullptr);
    interfaces::InAppNotification alone = note(5);
    alone.informativeText = "line 0";
    centre().deliverNotification(alone);
    EXPECT_EQ(builtBanners(), built);
    centre().setHeld(false);
    const auto open = centre().banners();
    ASSERT_EQ(open.size(), 2);
    EXPECT_EQ(builtBanners() - built, 2);
    EXPECT_EQ(keptLines(*open.front()), settledLines(20'000 - int(Banner::kBannerLines), 20'000));
    EXPECT_EQ(open.front()->lines().dropped(), 20'000 - std::int64_t(Banner::kBannerLines));
    auto* list = open.front()->findChild<QPlainTextEdit*>("bannerLinesList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->document()->lastBlock().text().toStdString(),
              "and " + std::to_string(20'000 - Banner::kBannerLines) + " more");
    EXPECT_EQ(keptLines(*open.back()), std::vector<std::string>{"line 0"});
    EXPECT_EQ(open.back()->findChild<QPlainTextEdit*>("bannerLinesList"), nullptr);
}

// The lock comes while banners are on screen: they go at once, and those not dismissed show again
// at the unlock, lines and all, before those delivered behind the lock; none sounds again.
TEST_F(Banners, BannersOnScreenAtTheLockShowAgainAtTheUnlock) {
    defaults->set("SoundKey", false);
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    interfaces::InAppNotification late = note(5);
    late.subtitle = "Late Answer from the Server";
    late.informativeText = "The server carried out a request after its window had stopped waiting for it.";
    late.soundName = std::string(interfaces::kInAppNotificationDefaultSound);
    interfaces::InAppNotification kept = note(-1, true);
    kept.subtitle = "App Updates Available";
    interfaces::InAppNotification dismissed = note(-1);
    dismissed.subtitle = "Dismissed";
    QPointer<Banner> told = centre().deliverNotification(late);
    QPointer<Banner> burst = centre().deliverNotification(settled(0));
    for (int n = 1; n < 3; ++n)
        EXPECT_EQ(centre().deliverNotification(settled(n)), burst.data());
    QPointer<Banner> acted = centre().deliverNotification(kept);
    QPointer<Banner> gone = centre().deliverNotification(dismissed);
    ASSERT_TRUE(told && burst && acted && gone);
    ASSERT_TRUE(waitFor([&] { return gone->phase() == Banner::Phase::Shown; }));
    gone->dismissBanner();
    const int soundsBefore = sounds.count();

    centre().setHeld(true);
    EXPECT_TRUE(centre().banners().isEmpty());
    EXPECT_TRUE(waitFor([&] { return !told && !burst && !acted && !gone; })); // closed, not hidden
    interfaces::InAppNotification behind = note(5);
    behind.subtitle = "While locked";
    EXPECT_EQ(centre().deliverNotification(behind), nullptr);
    centre().setHeld(false);
    std::vector<std::string> shown;
    for (const Banner* banner : centre().banners())
        shown.push_back(banner->notification().subtitle);
    EXPECT_EQ(shown, (std::vector<std::string>{"Late Answer from the Server", "Order Settled",
                                               "App Updates Available", "While locked"}));
    ASSERT_EQ(centre().banners().size(), 4);
    EXPECT_EQ(keptLines(*centre().banners().at(1)), settledLines(0, 3));
    EXPECT_EQ(keptLines(*centre().banners().at(0)), std::vector<std::string>{late.informativeText});
    EXPECT_NE(centre().banners().at(2)->findChild<QPushButton*>("actionButton"), nullptr);
    EXPECT_EQ(sounds.count(), soundsBefore);
}

// A late answer tells what no window shows any more: the settlements after it stack under it
// rather than over it, and their banner growing pushes it down, never over it.
TEST_F(Banners, ALaterBannerOfAnotherKindNeverCoversOneOnScreen) {
    interfaces::InAppNotification late = note(5);
    late.subtitle = "Late Answer from the Server";
    late.informativeText = "The server carried out a request after its window had stopped waiting for it: "
                           "Offset of position #600341.";
    const auto apart = [](const Banner* a, const Banner* b) {
        return !QRectF(a->geometry()).adjusted(0, 0, 0, tc::gui::kBannerGap - 1).intersects(b->geometry());
    };
    const auto inPlace = [](const Banner* b) {
        return b->phase() == Banner::Phase::Shown &&
               b->geometry().topLeft() ==
                   QPoint(qRound(b->bannerLayout().shown.x), qRound(b->bannerLayout().shown.y));
    };
    QPointer<Banner> told = centre().deliverNotification(late);
    QPointer<Banner> burst = centre().deliverNotification(settled(0)); // 30 ms later, as seen
    ASSERT_NE(burst.data(), told.data());
    ASSERT_TRUE(waitFor([&] { return told && burst && inPlace(told) && inPlace(burst); }));
    EXPECT_TRUE(told->isVisible());
    EXPECT_GT(burst->geometry().top(), told->geometry().bottom());
    EXPECT_TRUE(apart(told, burst));
    for (int n = 1; n < 30; ++n)
        EXPECT_EQ(centre().deliverNotification(settled(n)), burst.data());
    ASSERT_TRUE(waitFor([&] { return burst && told && inPlace(burst) && inPlace(told); }));
    EXPECT_TRUE(apart(told, burst));

    // The other way round: the burst's banner on top grows as lines join, the late one under it
    // moves down with it.
    centre().forgetAll();
    QPointer<Banner> above = centre().deliverNotification(settled(100));
    QPointer<Banner> under = centre().deliverNotification(late);
    ASSERT_TRUE(waitFor([&] { return above && under && inPlace(above) && inPlace(under); }));
    const int before = under->geometry().top();
    for (int n = 101; n < 130; ++n)
        EXPECT_EQ(centre().deliverNotification(settled(n)), above.data());
    ASSERT_TRUE(waitFor([&] { return under && inPlace(under) && under->geometry().top() > before; }));
    EXPECT_TRUE(apart(above, under));
    EXPECT_TRUE(under->isVisible());
}

// More kinds than the screen has room for: none covers another or leaves the screen; the rest wait
// and show as places free.
TEST_F(Banners, BannersTheScreenHasNoRoomForWaitForAPlace) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    std::vector<QPointer<Banner>> shown;
    for (int n = 0; n < 12; ++n) {
        interfaces::InAppNotification kind = note(-1);
        kind.subtitle = "Kind " + std::to_string(n);
        if (Banner* banner = centre().deliverNotification(kind))
            shown.emplace_back(banner);
    }
    ASSERT_GE(shown.size(), 2u);
    ASSERT_LT(shown.size(), 12u);
    EXPECT_EQ(centre().waitingBanners(), 12 - shown.size());
    for (std::size_t a = 0; a < shown.size(); ++a) {
        EXPECT_LE(shown[a]->bannerLayout().shown.y + shown[a]->bannerLayout().height, screen.bottom() + 1);
        for (std::size_t b = a + 1; b < shown.size(); ++b)
            EXPECT_FALSE(QRectF(shown[a]->geometry()).intersects(shown[b]->geometry()));
    }
    // A kept banner leaves only when dismissed: the waiting ones then take the places.
    centre().dismissAllBanners();
    EXPECT_TRUE(waitFor([&] { return centre().waitingBanners() == 0; }));
    EXPECT_TRUE(waitFor([&] {
        const auto open = centre().banners();
        return !open.isEmpty() &&
               open.front()->notification().subtitle == "Kind " + std::to_string(shown.size());
    }));
}

// The screen full, the burst's banner at the top grows as a second line joins it: those under it move
// down, and the one the screen no longer has room for leaves it at once and waits for a place again
// (first among those waiting), rather than standing past the screen's end.
TEST_F(Banners, ABannerPushedPastTheScreensEndWaitsForAPlaceAgain) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const auto burst = [](int n) {
        interfaces::InAppNotification s = settled(n);
        s.feature.dismissDelayTime = -1;
        return s;
    };
    QPointer<Banner> top = centre().deliverNotification(burst(0));
    ASSERT_TRUE(top);
    std::vector<QPointer<Banner>> shown;
    for (int n = 0; n < 12; ++n) {
        interfaces::InAppNotification kind = note(-1);
        kind.subtitle = "Kind " + std::to_string(n);
        if (Banner* banner = centre().deliverNotification(kind))
            shown.emplace_back(banner);
    }
    ASSERT_GE(shown.size(), 2u);
    const std::size_t waiting = centre().waitingBanners();
    ASSERT_GE(waiting, 1u);
    const int before = top->height();
    EXPECT_EQ(centre().deliverNotification(burst(1)), top.data());
    ASSERT_GT(top->height(), before);
    // The slack under the last was less than the growth: it no longer fits.
    const std::string last = shown.back()->notification().subtitle;
    ASSERT_GT(shown.back()->bannerLayout().shown.y + shown.back()->bannerLayout().height,
              screen.bottom() + 1 - (top->height() - before));
    const auto open = centre().banners();
    for (const Banner* banner : open)
        EXPECT_LE(banner->bannerLayout().shown.y + banner->bannerLayout().height, screen.bottom() + 1)
            << banner->notification().subtitle;
    EXPECT_TRUE(std::none_of(open.begin(), open.end(),
                             [&](const Banner* b) { return b->notification().subtitle == last; }));
    EXPECT_EQ(centre().waitingBanners(), waiting + 1);
    // Places free: it is the first of those waiting to show.
    centre().dismissAllBanners();
    EXPECT_TRUE(waitFor([&] {
        const auto now = centre().banners();
        return !now.isEmpty() && now.front()->notification().subtitle == last;
    }));
}

// What the session tells through the shell, as the trader's banners come: the events run on the
// main queue, in order; back once every one has reached the banner centre.
class SessionBanners : public Banners {
protected:
    void told() {
        bool done = false;
        tc::platform::MainQueue::async([&done] { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
    }
    std::string text(std::string_view key) const { return context->text(key).toStdString(); }
    std::string marginLine(int account) const {
        return context->text(tc::SessionEvents::kMarginCallKey)
            .replace(QStringLiteral("{0}"), QString::number(account))
            .toStdString();
    }
    std::string notShown(int count) const {
        if (count == 1)
            return text(tc::gui::texts::kOneBannerChatMessageOr);
        return context->text(tc::gui::texts::kBannersChatMessagesNoticesNot)
            .replace(QStringLiteral("{0}"), QString::number(count))
            .toStdString();
    }
    std::string notShownBehindLock(int count) const {
        if (count == 1)
            return text(tc::gui::texts::kOneBannerDroppedBehindLock);
        return context->text(tc::gui::texts::kBannersDroppedBehindLock)
            .replace(QStringLiteral("{0}"), QString::number(count))
            .toStdString();
    }
    // Every banner on screen or waiting, by its subtitle, in the order they show.
    std::vector<std::string> everyBanner() const {
        std::vector<std::string> all;
        for (const Banner* banner : context->banners().banners())
            all.push_back(banner->notification().subtitle);
        for (const interfaces::InAppNotification& waiting : context->banners().waitingNotifications())
            all.push_back(waiting.subtitle);
        return all;
    }
    void SetUp() override {
        Banners::SetUp();
        events = std::make_unique<tc::SessionEvents>(*shell);
    }
    void TearDown() override {
        events.reset();
        Banners::TearDown();
    }
    std::unique_ptr<tc::SessionEvents> events;
};

// Margin calls of ten accounts behind the lock: at the unlock one banner lists every account, in the
// order called; none is lost however many accounts are called, locked or not.
TEST_F(SessionBanners, MarginCallsOfManyAccountsGatherAsLinesOfOneBanner) {
    centre().setHeld(true);
    for (int account = 20001; account <= 20010; ++account)
        events->MarginCallNotification(account);
    told();
    centre().setHeld(false);
    auto open = centre().banners();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open.front()->notification().subtitle, text(tc::gui::texts::kMarginCall));
    std::vector<std::string> accounts;
    for (int account = 20001; account <= 20010; ++account)
        accounts.push_back(marginLine(account));
    EXPECT_EQ(keptLines(*open.front()), accounts);
    EXPECT_EQ(centre().waitingBanners(), 0u);

    // Unlocked, on a screen with room for a few banners: twenty accounts, one banner.
    centre().forgetAll();
    for (int account = 30001; account <= 30020; ++account)
        events->MarginCallNotification(account);
    told();
    open = centre().banners();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open.front()->lines().total(), 20);
    EXPECT_EQ(open.front()->lines().kept().front().toStdString(), marginLine(30001));
    EXPECT_EQ(centre().waitingBanners(), 0u);
}

// A late answer's refusal on screen at the lock, then chat messages and notices of eight senders and
// titles behind it: past the bound a chat message or a notice gives way, never the refusal, and a
// banner says how many were not shown, why (the lock's bound, not the screen's room) and where to
// read them.
TEST_F(SessionBanners, PastTheBoundWhatGoesIsKeptElsewhereAndTheUnlockSaysHowMany) {
    const std::string lateTitle = text("94161");
    shell->showMessageBanner("The server rejected a request after its window had stopped waiting for it: "
                             "Close of 9950 positions. Market closed",
                             lateTitle);
    ASSERT_EQ(centre().banners().size(), 1);
    centre().setHeld(true);
    for (int n = 0; n < 4; ++n) {
        events->TriggerNewChatNotification("Sender " + std::to_string(n), "hello");
        events->NewMessageNotification("Notice " + std::to_string(n));
    }
    told();
    EXPECT_EQ(centre().waitingBanners(), 9u); // the refusal, seven kinds and the banner saying one went
    centre().setHeld(false);
    std::vector<std::string> all = everyBanner();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), lateTitle);
    const std::string chat = text("20240") + " : ";
    EXPECT_EQ(std::count(all.begin(), all.end(), chat + "Sender 0"), 0); // the oldest kept elsewhere
    EXPECT_EQ(std::count(all.begin(), all.end(), chat + "Sender 1"), 1);
    ASSERT_EQ(std::count(all.begin(), all.end(), text(tc::gui::texts::kBannersNotShown)), 1);
    interfaces::InAppNotification said;
    for (const Banner* banner : centre().banners())
        if (banner->notification().subtitle == text(tc::gui::texts::kBannersNotShown))
            said = banner->notification();
    for (const interfaces::InAppNotification& waiting : centre().waitingNotifications())
        if (waiting.subtitle == text(tc::gui::texts::kBannersNotShown))
            said = waiting;
    EXPECT_EQ(said.informativeText, notShownBehindLock(1));

    // Unlocked, with the screen full: margin calls and refusals wait, however many chat messages
    // come; those past the bound are counted into the one banner that says so, for want of room.
    centre().forgetAll();
    for (int n = 0; n < 20; ++n)
        events->TriggerNewChatNotification("Sender " + std::to_string(n), "hello");
    events->MarginCallNotification(20001);
    shell->showMessageBanner("The server rejected a request after its window had stopped waiting for it: "
                             "New order: Buy 1 EURUSD (Request ID 24). Market closed",
                             lateTitle);
    for (int n = 20; n < 40; ++n)
        events->TriggerNewChatNotification("Sender " + std::to_string(n), "hello");
    told();
    all = everyBanner();
    EXPECT_EQ(std::count(all.begin(), all.end(), text(tc::gui::texts::kMarginCall)), 1);
    EXPECT_EQ(std::count(all.begin(), all.end(), lateTitle), 1);
    EXPECT_EQ(std::count(all.begin(), all.end(), text(tc::gui::texts::kBannersNotShown)), 1);
    EXPECT_LE(centre().waitingBanners(), tc::gui::InAppNotificationCenter::kMaxHeld + 1);
    std::int64_t shownOrWaiting = 0;
    for (const std::string& subtitle : all)
        shownOrWaiting += subtitle.starts_with(chat);
    const auto waiting = centre().waitingNotifications();
    const auto summary = std::find_if(waiting.begin(), waiting.end(), [&](const auto& n) {
        return n.subtitle == text(tc::gui::texts::kBannersNotShown);
    });
    ASSERT_NE(summary, waiting.end());
    EXPECT_EQ(summary->informativeText, notShown(int(40 - shownOrWaiting)));
}

interfaces::InAppNotification kind(std::size_t n) {
    interfaces::InAppNotification kind = note(-1);
    kind.subtitle = "Kind " + std::to_string(n);
    return kind;
}

// Whether the notification is one of the kinds that waited before any was folded.
bool waitedFirst(const interfaces::InAppNotification& n) {
    return n.subtitle.starts_with("Kind ") &&
           std::stoul(n.subtitle.substr(5)) < tc::gui::InAppNotificationCenter::kMaxWaiting;
}

// Past the kinds the list holds, one more that must be told joins a banner of many kinds as a line
// naming its own; none is dropped.
TEST_F(Banners, KindsThatMustBeToldPastTheListsBoundGatherInOneBanner) {
    centre().setHeld(true);
    const std::size_t kinds = tc::gui::InAppNotificationCenter::kMaxWaiting + 5;
    for (std::size_t n = 0; n < kinds; ++n)
        centre().deliverNotification(kind(n));
    const auto waiting = centre().waitingNotifications();
    ASSERT_EQ(waiting.size(), tc::gui::InAppNotificationCenter::kMaxWaiting + 1);
    EXPECT_EQ(waiting.front().subtitle, "Kind 0");
    EXPECT_EQ(waiting.back().subtitle, context->text(tc::gui::texts::kMoreBanners).toStdString());
    // The others withdrawn, it is the first to show at the unlock.
    centre().withdraw(waitedFirst);
    centre().setHeld(false);
    ASSERT_EQ(centre().banners().size(), 1);
    const Banner* many = centre().banners().front();
    EXPECT_EQ(many->notification().subtitle, waiting.back().subtitle);
    std::vector<std::string> lines;
    for (std::size_t n = tc::gui::InAppNotificationCenter::kMaxWaiting; n < kinds; ++n)
        lines.push_back("Kind " + std::to_string(n) + ": " + note(-1).informativeText);
    EXPECT_EQ(keptLines(*many), lines);
}

// A banner taken back leaves the banner of many kinds it was folded into, waiting or on screen, and
// that banner goes once none is left.
TEST_F(Banners, ABannerTakenBackLeavesTheBannerOfManyKinds) {
    const std::size_t first = tc::gui::InAppNotificationCenter::kMaxWaiting;
    const auto isKind = [](std::size_t n) {
        return [n](const interfaces::InAppNotification& k) { return k.subtitle == kind(n).subtitle; };
    };
    centre().setHeld(true);
    for (std::size_t n = 0; n < first + 4; ++n)
        centre().deliverNotification(kind(n));
    centre().withdraw(isKind(first));
    centre().withdraw(waitedFirst);
    ASSERT_EQ(centre().waitingBanners(), 1u);
    centre().setHeld(false);
    ASSERT_EQ(centre().banners().size(), 1);
    QPointer<Banner> many = centre().banners().front();
    const auto line = [](std::size_t n) { return kind(n).subtitle + ": " + note(-1).informativeText; };
    EXPECT_EQ(keptLines(*many),
              (std::vector<std::string>{line(first + 1), line(first + 2), line(first + 3)}));
    centre().withdraw(isKind(first + 2));
    EXPECT_EQ(keptLines(*many), (std::vector<std::string>{line(first + 1), line(first + 3)}));
    EXPECT_EQ(many->findChild<QPlainTextEdit*>("bannerLinesList")->toPlainText().toStdString(),
              line(first + 1) + "\n" + line(first + 3));
    centre().withdraw(isKind(first + 1));
    EXPECT_FALSE(many->isLeaving());
    centre().withdraw(isKind(first + 3));
    EXPECT_TRUE(waitFor([&] { return !many || many->phase() == Banner::Phase::Closed; }));
}

// A banner to act on folded into the banner of many kinds keeps its action: its line says so and a
// click on it acts as its button would, a click on another line as that banner.
TEST_F(Banners, AFoldedBannerToActOnActsThroughItsLine) {
    const std::size_t first = tc::gui::InAppNotificationCenter::kMaxWaiting;
    interfaces::InAppNotification acted = note(-1, true);
    acted.subtitle = "Late answer";
    acted.actionButtonTitle = "Open";
    acted.userInfo.insert_or_assign("Request", "7");
    centre().setHeld(true);
    for (std::size_t n = 0; n <= first; ++n)
        centre().deliverNotification(kind(n));
    centre().deliverNotification(acted);
    centre().withdraw(waitedFirst);
    centre().setHeld(false);
    ASSERT_EQ(centre().banners().size(), 1);
    QPointer<Banner> many = centre().banners().front();
    ASSERT_TRUE(waitFor([&] { return many->phase() == Banner::Phase::Shown; }));
    ASSERT_EQ(many->lines().kept().size(), 2u);
    EXPECT_TRUE(many->lines().kept().back().contains(QStringLiteral("(Open: ")));
    QSignalSpy types(&centre(), &tc::gui::InAppNotificationCenter::activatedWithType);
    auto* list = many->findChild<QPlainTextEdit*>("bannerLinesList");
    ASSERT_NE(list, nullptr);
    const auto clickLine = [&](int block) {
        const QTextCursor at(list->document()->findBlockByNumber(block));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cursorRect(at).center());
    };
    clickLine(0); // no delegate yet: only announced
    clickLine(1);
    ASSERT_EQ(types.count(), 2);
    EXPECT_EQ(types.at(0).front().toInt(), Banner::kClicked);
    EXPECT_EQ(types.at(1).front().toInt(), Banner::kActionButton);
    std::vector<interfaces::InAppNotification> activated;
    shell->setBannerDelegate([&](const interfaces::InAppNotification& n) { activated.push_back(n); });
    clickLine(1);
    ASSERT_EQ(activated.size(), 1u);
    EXPECT_EQ(activated.front(), acted);
}

// The banner saying how many were not shown stays until closed: more dropped while it is on screen
// add to its count; a second such banner with only the new count would leave two counts to add up. It
// says why they went: behind the lock, then behind the lock and for want of room.
TEST_F(Banners, MoreNotShownWhileTheirBannerIsOnScreenAddToItsCount) {
    const std::string said = context->text(tc::gui::texts::kBannersNotShown).toStdString();
    const auto chat = [](int n) {
        interfaces::InAppNotification kind = note(-1);
        kind.subtitle = "Chat " + std::to_string(n);
        kind.keptElsewhere = true;
        return kind;
    };
    const auto isChat = [](const interfaces::InAppNotification& n) { return n.subtitle.starts_with("Chat"); };
    centre().setHeld(true);
    const int first = int(tc::gui::InAppNotificationCenter::kMaxHeld) + 2;
    for (int n = 0; n < first; ++n)
        centre().deliverNotification(chat(n));
    centre().withdraw(isChat);
    centre().setHeld(false);
    ASSERT_EQ(centre().banners().size(), 1);
    ASSERT_EQ(centre().banners().front()->notification().subtitle, said);
    EXPECT_EQ(centre().banners().front()->notification().informativeText,
              context->text(tc::gui::texts::kBannersDroppedBehindLock)
                  .replace(QStringLiteral("{0}"), QStringLiteral("2"))
                  .toStdString());

    // Unlocked, the screen fills and more go while that banner is on screen.
    const int more = 40;
    for (int n = first; n < first + more; ++n)
        centre().deliverNotification(chat(n));
    std::vector<interfaces::InAppNotification> all = centre().waitingNotifications();
    for (const Banner* banner : centre().banners())
        all.push_back(banner->notification());
    const auto shownOrWaiting = std::count_if(all.begin(), all.end(), isChat);
    ASSERT_LT(shownOrWaiting, more);
    ASSERT_EQ(std::count_if(all.begin(), all.end(), [&](const auto& n) { return n.subtitle == said; }), 1);
    const auto told = std::find_if(all.begin(), all.end(), [&](const auto& n) { return n.subtitle == said; });
    EXPECT_EQ(told->informativeText,
              context->text(tc::gui::texts::kBannersDroppedBehindLockAndForRoom)
                  .replace(QStringLiteral("{0}"), QString::number(2 + more - shownOrWaiting))
                  .toStdString());
}

TEST_F(Banners, AJoinedLineKeepsTheBannerForItsOwnTime) {
    QPointer<Banner> banner = centre().deliverNotification(note(2.0));
    ASSERT_TRUE(waitFor([&] { return banner->phase() == Banner::Phase::Shown; }));
    interfaces::InAppNotification later = note(2.0);
    later.informativeText = "Account 1002 is below its margin.";
    centre().deliverNotification(later);
    ASSERT_EQ(banner->lines().total(), 2);
    // Gone only after the last line's own time, never before it was shown for it.
    QElapsedTimer joined;
    joined.start();
    ASSERT_TRUE(waitFor([&] { return !banner || banner->phase() != Banner::Phase::Shown; }));
    EXPECT_GE(joined.elapsed(), 1900);
}

} // namespace
