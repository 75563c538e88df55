// The session's chat handlers against a session without a server.
#include "chat/session_chat.h"
#include "client/session_wiring.h"

#include "platform/rtf_writer.h"
#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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
        wired = wireSession(app, app.loginData(), services);
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
    EXPECT_EQ(chat.Collections().UserChatCollection.size(), chat::ChatCollections::kMaxUsers);
    EXPECT_EQ(chat.Collections().ChatQueueCollection.size(), chat::ChatCollections::kMaxQueues);
    EXPECT_TRUE(chat.Collections().UserChatCollection.contains("u0"));
}

TEST_F(SessionChatTest, ANoticeRaisesTheNoticeBannerAndAChatMessageTheChatBanner) {
    chat::SessionChat& chat = *wired.chat;
    std::vector<interfaces::NoticeArrival> notices;
    chat.SetListeners({}, [&](const interfaces::NoticeArrival& n) { notices.push_back(n); });
    // A notice room and a conversation, as the server opens them (601).
    chat.FillChatRoomDetails({"10=601", "161=Maintenance", "501=77", "502=N77", "503=77", "504=Server"},
                             "77");
    chat.FillChatRoomDetails({"10=601", "501=78", "502=R78", "503=carol", "504=carol"}, "carol");
    const auto noticeBanners = [&] {
        return std::count_if(app.banners.begin(), app.banners.end(), [](const auto& b) {
            return b.subtitle == "Maintenance" && b.feature.dismissDelayTime == 30.0;
        });
    };
    const auto chatBanners = [&] {
        return std::count_if(app.banners.begin(), app.banners.end(),
                             [](const auto& b) { return b.subtitle.starts_with("New Message : "); });
    };

    // The notice's message with the type field first, then one of only the fields read by name
    // (a sender among them): each is a notice, never a chat message from "Server".
    for (const std::vector<std::string>& message :
         {std::vector<std::string>{"10=603", "501=77", "502=N77", "506=1", "21=20240501-09:00:00",
                                   "17=Early close"},
          std::vector<std::string>{"501=77", "502=N77", "504=Server", "506=2", "17=Late open"}}) {
        app.banners.clear();
        chat.FillChatMessages(message, "N77");
        pump();
        EXPECT_EQ(noticeBanners(), 1) << message.front();
        EXPECT_EQ(chatBanners(), 0) << message.front();
    }
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].roomId, "77");
    EXPECT_EQ(notices[1].title, "Maintenance");
    const auto& room = **chat.Collections().ChatRoomCollection.get("77");
    ASSERT_EQ(room.messages.size(), 2u);
    EXPECT_EQ(room.messages[1].msg, "Late open");

    // A chat message, whatever stray fields it carries, stays a chat message.
    app.banners.clear();
    chat.FillChatMessages({"10=603", "501=78", "502=R78", "504=carol", "517=Carol", "17=Hello", "999=x"},
                          "R78");
    pump();
    EXPECT_EQ(noticeBanners(), 0);
    ASSERT_EQ(chatBanners(), 1);
    EXPECT_NE(app.banners.front().subtitle.find("Carol"), std::string::npos);
    EXPECT_EQ(app.banners.front().informativeText, "Hello");
    EXPECT_EQ(notices.size(), 2u);
}

TEST_F(SessionChatTest, EachChatMessageLeavesWhatItSaysInTheRecords) {
    chat::SessionChat& chat = *wired.chat;
    chat.FillChatGroupsAndUsers({"521=1\x05u1\x05"
                                 "Away\x05\x05\x05"
                                 "1\x05\x05U One\x06",
                                 "1019=5\x05Help\x05"
                                 "0\x05"
                                 "0\x06"});
    const auto& rooms = chat.Collections().ChatRoomCollection;
    ASSERT_TRUE(chat.Collections().ChatQueueCollection.contains("5"));
    ASSERT_TRUE(chat.Collections().UserChatCollection.contains("u1"));
    const chat::ChatQueue& queue = **chat.Collections().ChatQueueCollection.get("5");

    // A queue's room: kept under the queue, its agent named on the queue.
    chat.FillChatRoomDetails({"10=602", "501=90", "502=Q90", "503=me;agent7", "504=me", "20=12", "530=3",
                              "1026=5",
                              "1051=x\x05"
                              "Agent Seven;y\x05Other"},
                             "me;agent7");
    ASSERT_TRUE(rooms.contains("5"));
    const chat::ChatRoom& queued = **rooms.get("5");
    EXPECT_EQ(queued.RoomId, "90");
    EXPECT_EQ(queued.RoomName, "Q90");
    EXPECT_EQ(queued.RoomUsers, "me;agent7");
    EXPECT_EQ(queued.SenderName, "me");
    EXPECT_EQ(queued.RequestId, "12");
    EXPECT_EQ(queued.AddUserToRoomMode, 3);
    EXPECT_EQ(queued.QueueId, "5");
    EXPECT_TRUE(queued.isRoomCreationFromQueue && queued.isChatRoomCreated && !queued.isMessageNotices);
    EXPECT_EQ(queued.RoomUserDisplayName, "Agent Seven");
    EXPECT_EQ(queue.roomUserName, "agent7");

    // A room the window made is filled in place; only a field of no detail marks it made.
    ASSERT_TRUE(chat.CreateRoomForChat("carol"));
    chat.FillChatRoomDetails({"501=78", "502=R78", "503=carol", "504=me", "530=x"}, "carol");
    const chat::ChatRoom& carol = **rooms.get("carol");
    EXPECT_EQ(carol.RoomId, "78");
    EXPECT_EQ(carol.AddUserToRoomMode, 0);
    EXPECT_FALSE(carol.isChatRoomCreated);
    chat.FillChatRoomDetails({"10=602", "504=carol"}, "carol");
    EXPECT_EQ(carol.SenderName, "carol");
    EXPECT_TRUE(carol.isChatRoomCreated);

    // Each text takes the sender and time read before it; the shown name is fixed by the first text.
    chat.FillChatMessages({"10=603", "517=Carol C", "21=20240501090000", "17=first", "517=Late", "504=dave",
                           "21=20240501090500", "506=m9", "17=second"},
                          "R78");
    ASSERT_EQ(carol.messages.size(), 2u);
    EXPECT_EQ(carol.messages[0].msg, "first");
    EXPECT_EQ(carol.messages[0].sender, "carol");
    EXPECT_EQ(carol.messages[0].time, chat::chatTimeOf("20240501090000"));
    EXPECT_EQ(carol.messages[1].sender, "dave");
    EXPECT_EQ(carol.messages[1].time, chat::chatTimeOf("20240501090500"));
    for (const chat::ChatMessageEntry& entry : carol.messages)
        EXPECT_EQ(entry.senderDisplayName, std::optional<std::string>("Carol C"));
    EXPECT_EQ(carol.Message, "second");
    EXPECT_EQ(carol.MessageId, "m9");
    EXPECT_EQ(carol.chatTime, chat::chatTimeOf("20240501090500"));

    // Presence and the queue's answers, each by its one field.
    const chat::ChatUser& user = **chat.Collections().UserChatCollection.get("u1");
    chat.UpdateChatUserStatus("u1", {"10=640", "24=online"});
    EXPECT_EQ(user.Status, "online");
    EXPECT_TRUE(user.IsUserOnline);
    chat.UpdateChatQueueStatus({"10=670", "572=1"}, "5");
    EXPECT_TRUE(queue.isAvailable);
    chat.UpdateChatResponseFromQueue({"10=671", "572=2"}, "5");
    EXPECT_EQ(queue.chartRequestStatus, 2);
    chat.UpdateChatResponseFromQueue({"572=7"}, "5");
    EXPECT_EQ(queue.chartRequestStatus, -1);
    chat.UpdateChatQueueStatus({"572=0"}, "5");
    EXPECT_FALSE(queue.isAvailable);
}

TEST_F(SessionChatTest, AMessageInARoomMadeWhileTheUserWasAwayShowsInTheConversationWithItsSender) {
    chat::SessionChat& chat = *wired.chat;
    const auto& rooms = chat.Collections().ChatRoomCollection;
    // The room exists on the server from before this login: listed among the recent conversations.
    chat.FillRecentConversation({"10=627", "17=demo\x05msg A\x05"
                                           "demo;trader\x05"
                                           "20240501090000\x05"
                                           "5001\x05R5001\x05\x05\x05"
                                           "Demo User\x06"});
    // The conversation with demo is open before demo writes.
    ASSERT_TRUE(chat.CreateRoomForChat("demo"));
    chat.setChatUserName("demo");
    const auto chatBanners = [&](const std::string& text) {
        return std::count_if(app.banners.begin(), app.banners.end(),
                             [&](const auto& b) { return b.informativeText == text; });
    };
    const auto message = [](const std::string& id, const std::string& text) {
        return std::vector<std::string>{"10=603",    "501=5001",      "502=R5001",         "504=demo",
                                        "506=" + id, "517=Demo User", "21=20240501091000", "17=" + text};
    };
    chat.FillChatMessages(message("7", "msg B"), "R5001");
    pump();
    const chat::ChatRoom& demo = **rooms.get("demo");
    ASSERT_EQ(demo.messages.size(), 1u);
    EXPECT_EQ(demo.messages[0].msg, "msg B");
    EXPECT_EQ(demo.messages[0].sender, "demo");
    EXPECT_TRUE(demo.isChatRoomCreated);
    EXPECT_EQ(demo.RoomName, "R5001");
    EXPECT_EQ(chatBanners("msg B"), 0); // in view
    // The conversation is no empty row among the recent ones.
    const auto recent = chat.Collections().getRecentChatCollection();
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0]->Message, "msg B");

    // Out of view, the next comes with a banner, in the same conversation.
    chat.setChatUserName({});
    chat.FillChatMessages(message("8", "msg C"), "R5001");
    pump();
    ASSERT_EQ(demo.messages.size(), 2u);
    EXPECT_EQ(demo.messages[1].msg, "msg C");
    EXPECT_EQ(chatBanners("msg C"), 1);
    EXPECT_EQ(rooms.size(), 2u);
}

TEST_F(SessionChatTest, AHeldTextComesIntoItsConversationOnceHoweverOftenTheServerSendsIt) {
    chat::SessionChat& chat = *wired.chat;
    const auto& rooms = chat.Collections().ChatRoomCollection;
    // Sender, text, users, time, room id, room name, message id, no notice title, display name.
    const std::string row = "demo\x05" + platform::rtfFromPlainText("held text") +
                            "\x05"
                            "demo;trader\x05"
                            "20240501090000\x05"
                            "5001\x05R5001\x05"
                            "41\x05\x05"
                            "Demo User\x06";
    chat.FillOfflineMessages({"10=614", "17=" + row});
    chat.FillOfflineMessages({"10=614", "17=" + row});
    pump();
    const chat::ChatRoom& demo = **rooms.get("demo");
    ASSERT_EQ(demo.messages.size(), 1u);
    EXPECT_EQ(demo.messages[0].messageId, "41");
    EXPECT_EQ(std::count_if(app.banners.begin(), app.banners.end(),
                            [](const auto& b) { return b.informativeText == "held text"; }),
              1);

    // A contact chosen has a room without a server id: no empty row among the recent conversations.
    ASSERT_TRUE(chat.CreateRoomForChat("carol"));
    EXPECT_TRUE(chat.Collections().getRecentChatCollection().empty());
}

TEST_F(SessionChatTest, AConversationTakenOverGetsWhatTheServerHoldsBeyondItOnceInTheServersOrder) {
    app.loginData().setUserName("trader");
    chat::SessionChat& chat = *wired.chat;
    const auto& rooms = chat.Collections().ChatRoomCollection;
    const auto entry = [](std::string text, std::string sender, std::string id) {
        chat::ChatMessageEntry e{std::move(text), std::move(sender), std::nullopt, std::nullopt};
        e.messageId = std::move(id);
        return e;
    };
    // The session before held a text from demo and one of the user's own, never confirmed.
    chat::ChatRoom before;
    before.RoomId = "5001";
    before.RoomName = "R5001";
    before.isChatRoomCreated = true;
    before.messages = {entry("msg B", "demo", "41"), entry("mine", "trader", "")};
    before.messages[1].unconfirmed = true;
    before.messages[1].ownNumber = 1;
    chat.TakeOverConversations({{"demo", before}});
    const chat::ChatRoom& demo = **rooms.get("demo");
    ASSERT_EQ(demo.messages.size(), 2u);
    EXPECT_EQ(demo.messages[1].ownNumber, 0u);
    // Its server room is asked for again: it may be gone.
    EXPECT_FALSE(demo.isChatRoomCreated);
    EXPECT_TRUE(demo.RoomId.empty());
    EXPECT_TRUE(chat.Collections().getRecentChatCollection().empty());

    // The server lists the room of the two among the recent conversations: it is the conversation's.
    chat.FillRecentConversation({"10=627", "17=demo\x05late\x05"
                                           "demo;trader\x05"
                                           "20240501093000\x05"
                                           "5001\x05R5001\x05\x05\x05"
                                           "Demo User\x06"});
    EXPECT_TRUE(demo.isChatRoomCreated);
    EXPECT_EQ(demo.RoomId, "5001");

    // Its messages: an earlier one, the two held, and one the transcript missed.
    std::string table;
    for (const auto& [id, sender, text] :
         {std::tuple{"40", "demo", "early"}, std::tuple{"41", "demo", "msg B"},
          std::tuple{"42", "trader", "mine"}, std::tuple{"43", "demo", "late"}})
        table += std::string(id) + "\x05" + sender + "\x05" + platform::rtfFromPlainText(text) +
                 "\x05"
                 "20240501090000\x05"
                 "Name\x06";
    for (int twice = 0; twice < 2; ++twice) {
        chat.FillRoomMessage({"10=616", "501=5001", "17=" + table});
        std::vector<std::string> texts;
        for (const chat::ChatMessageEntry& e : demo.messages)
            texts.push_back(e.msg);
        EXPECT_EQ(texts, (std::vector<std::string>{"early", "msg B", "mine", "late"})) << twice;
    }
    // The server lists the user's text: it reached it.
    EXPECT_FALSE(demo.messages[2].unconfirmed);
    EXPECT_EQ(demo.messages[2].messageId, "42");
}

} // namespace

namespace {

TEST_F(SessionChatTest, OnesOwnTextIsStampedWithTheServersClockAsTheOtherPersons) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& business = *wired.business;
    // The server's clock, far from the computer's: a ping reply heard, then three seconds on.
    business.NewMessage(frameText(body("10=1019|21=20240102030405")));
    pump();
    ASSERT_EQ(business.heardServerTime(), "20240102030405");
    manual->advance(std::chrono::seconds(3));
    business.conn().setIsNetworkAvailable(true);
    chat::SessionChat& chat = *wired.chat;
    (void)chat.SendChat("carol", "hello");
    const auto* room = chat.Collections().ChatRoomCollection.get("carol");
    ASSERT_TRUE(room && *room && !(*room)->messages.empty());
    EXPECT_EQ((*room)->messages.back().time, chat::chatTimeOf("20240102030408"));
}

} // namespace
