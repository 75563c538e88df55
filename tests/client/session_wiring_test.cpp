// The composition root assembles the session's parts, and a service given in their place is kept.
#include "chat/session_chat.h"
#include "client/headless_application.h"
#include "client/session_wiring.h"
#include "downloads/session_resources.h"
#include "funding/session_funding.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "statements/session_statements.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;

class GivenChat final : public ChatHandlers {};

TEST(SessionWiring, EveryPartIsOwnedByTheBusinessObjectUnlessGiven) {
    platform::RunLoop::main().bindToCurrentThread();
    auto defaults = platform::UserDefaults::inMemory();
    HeadlessApplication app(*defaults);
    BusinessServices services;
    services.userDefaults = defaults.get();
    WiredSession wired = wireSession(app, app.loginData(), services);
    ASSERT_TRUE(wired.funding && wired.chat && wired.statements && wired.resources);
    EXPECT_EQ(wired.business->services().funding.get(), wired.funding);
    EXPECT_EQ(wired.business->services().chat.get(), wired.chat);
    EXPECT_EQ(wired.business->services().statements.get(), wired.statements);
    EXPECT_EQ(wired.business->services().resources.get(), wired.resources);

    auto chat = std::make_shared<GivenChat>();
    services.chat = chat;
    WiredSession given = wireSession(app, app.loginData(), services);
    EXPECT_EQ(given.chat, nullptr);
    EXPECT_EQ(given.business->services().chat, chat);
    EXPECT_NE(given.funding, nullptr);
    platform::RunLoop::main().discardPending();
}

} // namespace
