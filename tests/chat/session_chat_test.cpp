// The session's chat handlers against a session without a server.
#include "chat/session_chat.h"
#include "client/session_wiring.h"

#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;
using namespace tc::sessiontest;

class SessionChatTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::RunLoop::main().bindToCurrentThread();
        services.notifications = std::make_shared<FakeNotifications>();
        services.requests = std::make_shared<FakeRequests>();
        services.userDefaults = defaults.get();
        wired = wireSession(app, app.logindata(), services);
    }
    void TearDown() override {
        wired.business.reset();
        platform::RunLoop::main().discardPending();
    }

    FakeApplication app;
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    WiredSession wired;
};

TEST_F(SessionChatTest, ContactRepliesCannotGrowTheContactsAndQueuesWithoutEnd) {
    chat::SessionChat& chat = *wired.chat;
    // Users of eight columns and queues of three, each row ended by 0x06.
    const auto reply = [&](std::size_t first, std::size_t users, std::size_t queues) {
        std::string userTable, queueTable;
        for (std::size_t i = first; i < first + users; ++i)
            userTable += std::to_string(i) + "\x05u" + std::to_string(i) +
                         "\x05Online\x05\x05\x05"
                         "1\x05\x05U\x06";
        for (std::size_t q = 1; q <= queues; ++q)
            queueTable += std::to_string(first + q) + "\x05Q\x05"
                                                      "0\x06";
        chat.FillChatGroupsAndUsers({"521=" + userTable, "1019=" + queueTable});
    };
    reply(0, 60'000, 1'500);
    reply(60'000, 60'000, 0);
    EXPECT_EQ(chat.collections().UserChatCollection.size(), chat::ChatCollections::kMaxUsers);
    EXPECT_EQ(chat.collections().ChatQueueCollection.size(), chat::ChatCollections::kMaxQueues);
    EXPECT_TRUE(chat.collections().UserChatCollection.contains("u0"));
}

} // namespace
