#include "session/business/session_events.h"
#include "support/wire_text.h"

#include "client/headless_application.h"
#include "model/records/order.h"
#include "model/text/event_texts.h"
#include "platform/clock.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "platform/utf8.h"
#include "wire/wire_names.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;
using testing_support::wireText;

using platform::RunLoop;

class SessionEventsTest : public ::testing::Test {
protected:
    SessionEventsTest() : app_(defaults_), events_(app_) { app_.setApplicationName("Trader"); }
    void SetUp() override {
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPending();
    }
    void TearDown() override { RunLoop::main().discardPending(); }

    // Runs the main queue until nothing is left.
    void pump() {
        while (RunLoop::main().runOnce() > 0) {
        }
    }
    std::vector<interfaces::InAppNotification> banners() const {
        std::vector<interfaces::InAppNotification> out;
        for (const auto& c : app_.callsNamed("showBanner"))
            out.push_back(*c.banner);
        return out;
    }
    // (title, text) of each system notification.
    std::vector<std::vector<std::string>> systemNotifications() const {
        std::vector<std::vector<std::string>> out;
        for (const auto& c : app_.callsNamed("showSystemNotification"))
            out.push_back(c.args);
        return out;
    }
    std::vector<std::string> methods() const {
        std::vector<std::string> out;
        for (const auto& c : app_.calls())
            out.push_back(c.method);
        return out;
    }

    EventTextsBundle bundle_;
    platform::UserDefaults defaults_;
    HeadlessApplication app_;
    SessionEvents events_;
};

TEST_F(SessionEventsTest, NothingQueuedByAPartOfAGoneOwnerIsShown) {
    auto owner = std::make_unique<platform::CallbackGuard>();
    SessionEvents part(app_, owner->scope());
    part.LoginSuccessNotification();
    part.MarginCallNotification(7);
    // The owner goes before the main queue gets to them: a later login's user must not see them.
    owner.reset();
    pump();
    EXPECT_TRUE(app_.calls().empty());
}

TEST_F(SessionEventsTest, CallsFromAReceivingThreadWaitForTheMainQueue) {
    std::thread receiver([this] {
        events_.OrderRejectionNotification("late");
        events_.LoginSuccessNotification();
    });
    receiver.join();
    EXPECT_TRUE(app_.calls().empty());
    pump();
    EXPECT_EQ(app_.callsNamed("showMessageBanner").size(), 1u);
    ASSERT_FALSE(app_.soundsPlayed().empty());
    EXPECT_EQ(app_.soundsPlayed().back(), "welcome");
}

TEST_F(SessionEventsTest, LoginSuccessPlaysTheWelcomeOnTheMainQueue) {
    events_.LoginSuccessNotification();
    EXPECT_TRUE(app_.calls().empty());
    pump();
    EXPECT_EQ(app_.soundsPlayed(), std::vector<std::string>{"welcome"});

    // With sounds switched off the welcome stays silent.
    defaults_.set("SoundKey", platform::PlistValue(true));
    app_.clearCalls();
    events_.LoginSuccessNotification();
    pump();
    EXPECT_EQ(app_.callsNamed("playSound").size(), 1u);
    EXPECT_TRUE(app_.soundsPlayed().empty());
}

TEST_F(SessionEventsTest, InAppBannersCarryTheirTextsDelaysAndSounds) {
    events_.MarginCallNotification(1234);
    events_.NewMessagesNotification(3);
    events_.NewMessageNotification("Holiday hours");
    events_.demoUserCreationFailureNotification();
    EXPECT_TRUE(app_.calls().empty());
    pump();
    const auto b = banners();
    ASSERT_EQ(b.size(), 3u);
    // A margin call is one kind whatever its account (each a line of one banner) and is never
    // dropped; notices are kept in their window and may give way.
    interfaces::InAppNotification margin{
        "Trader", "MC", "Acct 1234 in MC", false, "", "InAppNotificationDefaultSound", {}, {30.0, 0}, false};
    interfaces::InAppNotification notices{"Trader", "Notices", "3 new notices",
                                          false,    "",        "InAppNotificationDefaultSound",
                                          {},       {15.0, 0}, true};
    interfaces::InAppNotification notice{
        "Trader", "Holiday hours", "New notice", false, "", "InAppNotificationDefaultSound",
        {},       {30.0, 0},       true};
    EXPECT_EQ(b[0], margin);
    EXPECT_EQ(b[1], notices);
    EXPECT_EQ(b[2], notice);
    EXPECT_EQ(systemNotifications(),
              (std::vector<std::vector<std::string>>{{"Acct : 1234", "Margin call"},
                                                     {"Notices", "3 new notices"},
                                                     {"Holiday hours", "New notice"}}));
    const auto alerts = app_.callsNamed("showMessageAlert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].args, (std::vector<std::string>{"Demo failed", "Trader"}));
}

TEST_F(SessionEventsTest, ARegistrationRefusedForItsContentNamesTheFieldNotALaterTry) {
    events_.demoUserCreationFailureNotification(wire::registration::kNameRefused);
    events_.demoUserCreationFailureNotification(wire::registration::kNoUsersLeft);
    events_.demoUserCreationFailureNotification(0);
    events_.demoUserCreationFailureNotification(99);
    pump();
    std::vector<std::string> told;
    for (const auto& alert : app_.callsNamed("showMessageAlert"))
        told.push_back(alert.args.at(0));
    EXPECT_EQ(told,
              (std::vector<std::string>{"Name refused", "No users left", "Demo failed", "Demo failed"}));
    // Every field the server may name has a text of its own.
    std::set<std::string_view> keys;
    for (std::int32_t code : {wire::registration::kNameRefused, wire::registration::kEmailRefused,
                              wire::registration::kPhoneRefused, wire::registration::kCountryRefused,
                              wire::registration::kFormRefused, wire::registration::kNoUsersLeft})
        keys.insert(SessionEvents::demoRefusalKey(code));
    EXPECT_EQ(keys.size(), 6u);
    EXPECT_FALSE(keys.contains("0314"));
}

TEST_F(SessionEventsTest, ChatBannersSkipTheSignedInUser) {
    events_.NewChatMessageNotification({}, "chatme", "me");
    events_.NewChatMessageNotification({"", "hi", "Nobody"}, "chatme", "me");
    events_.NewChatMessageNotification({"me", "hi", "Me"}, "chatme", "me");
    events_.NewChatMessageNotification({"chatme", "hi", "Me"}, "chatme", "me");
    events_.NewChatMessageNotification({"ann", "hello %n", "Ann B"}, "chatme", "me");
    pump();
    const auto b = banners();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].subtitle, "Chat : Ann B");
    EXPECT_EQ(b[0].informativeText, "hello %n");
    EXPECT_EQ(b[0].feature.dismissDelayTime, 15.0);
    EXPECT_TRUE(b[0].keptElsewhere); // the chat window keeps it
    EXPECT_EQ(systemNotifications(), (std::vector<std::vector<std::string>>{{"Chat : Ann B", "hello %n"}}));
}

TEST_F(SessionEventsTest, SettledOrderShowsTheBanner) {
    events_.ShowSettledOrderNotification("EURUSD#1.0921#S17");
    events_.ShowSettledOrderNotification("XAU");
    pump();
    const auto common = app_.callsNamed("showMessageBanner");
    ASSERT_EQ(common.size(), 2u);
    EXPECT_EQ(common[0].args, (std::vector<std::string>{"#S17\nSettled EURUSD @1.0921 ", "Settlement"}));
    // A short argument leaves the missing parts empty.
    EXPECT_EQ(common[1].args, (std::vector<std::string>{"#\nSettled XAU @ ", "Settlement"}));
    EXPECT_EQ(systemNotifications()[0],
              (std::vector<std::string>{"Settlement", "#S17\nSettled EURUSD @1.0921 "}));
    // The common banner is the shell's own: program name, the title as subtitle, 5 s, default sound.
    const auto b = banners();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0], interfaces::makeCommonBanner("Trader", "#S17\nSettled EURUSD @1.0921 ", "Settlement"));
    EXPECT_EQ(b[0].feature.dismissDelayTime, 5.0);
    EXPECT_EQ(b[0].soundName, "InAppNotificationDefaultSound");
}

TEST_F(SessionEventsTest, ServerTextsShowVerbatimAndLongOnesAreCut) {
    events_.OrderRejectionNotification("%s %n {0}");
    pump();
    const auto common = app_.callsNamed("showMessageBanner");
    ASSERT_EQ(common.size(), 1u);
    EXPECT_EQ(common[0].args, (std::vector<std::string>{"Ord : Rej\nWhy: %s %n {0}", "Rejected order"}));
    EXPECT_EQ(systemNotifications()[0],
              (std::vector<std::string>{"Rejected order", "Ord : Rej\nWhy: %s %n {0}"}));

    // Two-byte characters straddle the cut: it lands on a character boundary.
    app_.clearCalls();
    std::string huge = "x";
    for (int i = 0; i < 20000; ++i)
        huge += "\xC3\xA9";
    events_.TradeConfirmationNotification(huge);
    pump();
    const auto shown = app_.callsNamed("showSystemNotification");
    ASSERT_EQ(shown.size(), 1u);
    const std::string& text = shown[0].args[1];
    EXPECT_LE(text.size(), SessionEvents::kMaxServerTextBytes + 3);
    EXPECT_GT(text.size(), SessionEvents::kMaxServerTextBytes - 3);
    EXPECT_TRUE(platform::isValidUtf8(text));
    EXPECT_EQ(text.substr(0, 3), "x\xC3\xA9");
}

TEST_F(SessionEventsTest, TradeConfirmationFollowsTheUsersPreference) {
    events_.TradeConfirmationNotification("done");
    pump();
    EXPECT_EQ(methods(),
              (std::vector<std::string>{"playSound", "showMessageAlert", "showSystemNotification"}));
    EXPECT_EQ(app_.callsNamed("showMessageAlert")[0].args, (std::vector<std::string>{"done", "Confirm"}));
    EXPECT_EQ(app_.soundsPlayed(), std::vector<std::string>{"order"});

    app_.clearCalls();
    app_.setShowConfirmationAlert(false);
    events_.TradeConfirmationNotification("done");
    pump();
    EXPECT_EQ(methods(), (std::vector<std::string>{"playSound", "showMessageBanner", "showBanner",
                                                   "playSound", "showSystemNotification"}));
    EXPECT_EQ(systemNotifications()[0], (std::vector<std::string>{"Confirm", "done"}));
}

TEST_F(SessionEventsTest, ExecutedOrderConfirmsAndGivesItsJournalLine) {
    JournalContext context;
    context.ServerTime = "20240315143005";
    EXPECT_EQ(events_.orderExecutedNotification(nullptr, context, 0), std::nullopt);
    auto order = std::make_shared<Order>();
    order->AccountNumber = "12";
    order->OpenPositionId = "P7";
    order->ItemCode = "{1}%s";
    order->OrderPrice = dec("1.5");
    for (const platform::Decimal& none : {dec("0"), dec("-1"), platform::Decimal::notANumber()}) {
        order->RemainingQty = none;
        EXPECT_EQ(events_.orderExecutedNotification(order, context, 0), std::nullopt) << none.toString();
    }
    pump();
    EXPECT_TRUE(app_.calls().empty());

    order->RemainingQty = dec("2.5");
    order->tradingMode = 1;
    EXPECT_EQ(events_.orderExecutedNotification(order, context, 0),
              "Mar 15, 2024 14:30:05#$#Exec {1}%s #P7 @1.5");
    // The price shows the instrument's digits, as the server wrote it, in the line and the banner.
    EXPECT_EQ(events_.orderExecutedNotification(order, context, 3),
              "Mar 15, 2024 14:30:05#$#Exec {1}%s #P7 @1.500");
    order->tradingMode = 0;
    EXPECT_TRUE(events_.orderExecutedNotification(order, context, 0).has_value());
    EXPECT_TRUE(app_.calls().empty());
    pump();
    const auto alerts = app_.callsNamed("showMessageAlert");
    ASSERT_EQ(alerts.size(), 3u);
    EXPECT_EQ(alerts[0].args[0], "Acct : 12\nPos : P7\nSold 2.5 {1}%s @ 1.5");
    EXPECT_EQ(alerts[1].args[0], "Acct : 12\nPos : P7\nSold 2.5 {1}%s @ 1.500");
    EXPECT_EQ(alerts[2].args[0], "Acct : 12\nPos : P7\nBought 2.5 {1}%s @ 1.5");
}

TEST_F(SessionEventsTest, AppUpdateBannerOpensOnlyWebAddresses) {
    events_.appUpdateNotification("https://example.com/app.tgz");
    pump();
    const auto b = banners();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(std::tuple(b[0].title, b[0].subtitle, b[0].informativeText),
              std::tuple("App Updates Available", "Update\nnow", "https://example.com/app.tgz"));
    EXPECT_TRUE(b[0].hasActionButton);
    EXPECT_EQ(std::tuple(b[0].actionButtonTitle, b[0].feature, b[0].soundName),
              std::tuple("Download", (interfaces::InAppNotificationFeature{-1.0, 0}),
                         "InAppNotificationDefaultSound2"));
    EXPECT_EQ(b[0].userInfo.at("AppDownloadURL"), "https://example.com/app.tgz");

    // The click reaches the session as the banner centre's delegate.
    app_.clearCalls();
    app_.activateBanner(b[0]);
    EXPECT_EQ(methods(), (std::vector<std::string>{"openAddress", "quit"}));
    EXPECT_EQ(app_.callsNamed("openAddress")[0].args[0], "https://example.com/app.tgz");

    for (const char* refused : {"javascript:alert(1)", "file:///etc/passwd", "", "ftp://example.com/x",
                                "https://", "http://:80/x", "https://exa mple.com", "data:text/html,x"}) {
        app_.clearCalls();
        interfaces::InAppNotification n = b[0];
        n.userInfo["AppDownloadURL"] = refused;
        app_.activateBanner(n);
        EXPECT_TRUE(app_.calls().empty()) << refused;
    }
    app_.clearCalls();
    interfaces::InAppNotification plain;
    events_.didActivateNotification(plain);
    EXPECT_TRUE(app_.calls().empty());
    events_.didActivateNotification(b[0]);
    EXPECT_EQ(methods(), (std::vector<std::string>{"openAddress", "quit"}));

    // A session that is gone no longer acts on clicks.
    {
        SessionEvents replaced(app_);
        replaced.MarginCallNotification(1);
        pump();
    }
    app_.clearCalls();
    app_.activateBanner(b[0]);
    EXPECT_TRUE(app_.calls().empty());
}

TEST(SessionEventsUrl, OnlyAbsoluteWebAddressesWithAHost) {
    EXPECT_TRUE(SessionEvents::IsOpenableURL("http://example.com"));
    EXPECT_TRUE(SessionEvents::IsOpenableURL("HTTPS://Example.com:8443/a?b=c#d"));
    EXPECT_TRUE(SessionEvents::IsOpenableURL("https://user@example.com/"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL("https://user@/x"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL("https:example.com"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL(" https://example.com"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL("https://example.com/\n"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL("https:\\\\example.com"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL("httpx://example.com"));
    EXPECT_FALSE(SessionEvents::IsOpenableURL("https://example.com/" + std::string(3000, 'a')));
}

TEST_F(SessionEventsTest, HeadlessApplicationShellBehaviour) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    int followUps = 0;
    int terminations = 0;
    app_.setConnectionFailureFollowUp([&] { ++followUps; });
    app_.setTerminationHandler([&] { ++terminations; });

    app_.onConnectionLost({});
    EXPECT_EQ(app_.soundsPlayed(), std::vector<std::string>{"connectionLost"});
    pump();
    clock->advance(std::chrono::milliseconds(3499));
    pump();
    EXPECT_EQ(followUps, 0);
    clock->advance(std::chrono::milliseconds(1));
    pump();
    EXPECT_EQ(followUps, 1);

    app_.onSignedInElsewhere("Signed in from elsewhere");
    EXPECT_EQ(terminations, 1);
    app_.onLoginRefused({"Old version", "3", "https://example.com/new"});
    EXPECT_EQ(app_.callsNamed("onLoginRefused")[0].args,
              (std::vector<std::string>{"Old version", "3", "https://example.com/new"}));
    EXPECT_TRUE(app_.callsNamed("openAddress").empty());

    // A follow-up still pending when the shell goes away is dropped.
    {
        platform::UserDefaults defaults;
        HeadlessApplication gone(defaults);
        gone.setConnectionFailureFollowUp([&] { ++followUps; });
        gone.onConnectionLost({});
    }
    clock->advance(std::chrono::seconds(4));
    pump();
    EXPECT_EQ(followUps, 1);
}

} // namespace
