#include "chat/chat_collections.h"
#include "chat/chat_records.h"
#include "session/records/record_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;

using namespace tc::chat;

// Rows joined by 0x06.
std::string table(std::initializer_list<std::string> rows) {
    std::string out;
    for (const auto& r : rows)
        out += r + "\x06";
    return out;
}

TEST(ChatUser, OnlineIsOneWordInAnyLetterCase) {
    const std::pair<std::string_view, bool> cases[] = {{"Online", true}, {"ONLINE", true},
                                                       {"online", true}, {"Online now", false},
                                                       {"Away", false},  {"", false}};
    for (const auto& [status, online] : cases)
        EXPECT_EQ(ChatUser::isOnlineStatus(status), online) << status;
}

TEST(ChatTables, ContactListTablesAndTheRowsThatEndThem) {
    const auto users = ChatTables::readUsers(
        table({recordText({"11", "alice", "online", "", "1", "1", "", "Alice A"}),
               recordText({"12", "bob", "Away", "", "2", "0", "", "Bob"}), recordText({"13", "short"}),
               recordText({"14", "carol", "x", "", "1", "1", "", "C"})}));
    ASSERT_EQ(users.rows.size(), 2u);
    EXPECT_TRUE(users.ended);
    EXPECT_TRUE(users.rows[0].IsUserOnline);
    EXPECT_TRUE(users.rows[0].IsUserInMyContactList);
    EXPECT_EQ(users.rows[0].DisplayName, "Alice A");
    EXPECT_FALSE(users.rows[1].IsUserInMyContactList);

    // A short first group row is passed over; a short later one ends the reply.
    const auto groups = ChatTables::readGroups(table({recordText({"x"}), recordText({"1", "Friends", "0"}),
                                                      recordText({"2"}), recordText({"3", "Late", "0"})}));
    ASSERT_EQ(groups.rows.size(), 1u);
    EXPECT_EQ(groups.rows[0].GroupName, "Friends");
    EXPECT_TRUE(groups.ended);

    const auto queues = ChatTables::readQueues(table(
        {recordText({"5", "Support", "0", "1"}), recordText({"0", "Zero", "0"}),
         recordText({"abc", "Text", "0"}), recordText({"6", "Short"}), recordText({"7", "Sales", "1"})}));
    ASSERT_EQ(queues.size(), 2u);
    EXPECT_TRUE(queues[0].isAvailable);
    EXPECT_TRUE(queues[1].isAgent);
    EXPECT_EQ(ChatQueue::requestStatusOf(7), -1);
    EXPECT_EQ(ChatQueue::requestStatusOf(2), 2);
}

TEST(ChatTables, RecentOfflineAndRoomMessageTables) {
    const auto recent = ChatTables::readRecentConversations(
        table({recordText({"alice", "hi", "alice;me", "t1", "R1", "room1", "", "", "Alice"}),
               recordText({"server", "notice", "", "t2", "R2", "room2", "", "Maintenance"})}));
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_FALSE(recent[0].isMessageNotices);
    EXPECT_EQ(recent[0].RoomUserDisplayName, "Alice");
    EXPECT_TRUE(recent[1].isMessageNotices);
    EXPECT_EQ(recent[1].MessageTitle, "Maintenance");

    // Two notices and one chat message: the notices' rooms.
    const auto offline = ChatTables::readOfflineNoticeRooms(table(
        {recordText({"", "", "", "", "N1", "", "", "Title"}), recordText({"", "", "", "", "C1", "", "", ""}),
         recordText({"", "", "", "", "N2", "", "", "T2"})}));
    EXPECT_EQ(offline, (std::vector<std::string>{"N1", "N2"}));

    const auto messages = ChatTables::readRoomMessages(
        table({recordText({"m1", "alice", "{\\rtf1\\ansi \\u1575?\\u1604? hi}", "t1", "Alice"}),
               recordText({"m2", "bob", "plain", "t2"}), recordText({"m3", "x", "y"}),
               recordText({"m4", "z", "w", "t4"})}));
    ASSERT_EQ(messages.rows.size(), 2u);
    EXPECT_TRUE(messages.ended);
    EXPECT_EQ(messages.rows[0].entry.msg, "\xD8\xA7\xD9\x84 hi");
    EXPECT_EQ(messages.rows[0].entry.senderdisplayName, "Alice");
    EXPECT_FALSE(messages.rows[1].entry.senderdisplayName.has_value());
}

TEST(ChatTables, DisplayListsAndQueueAgents) {
    EXPECT_EQ(
        ChatTables::displayNameOfList(recordText({"u1", "Alice A", "x"}) + ";" + recordText({"u2", "B"})),
        "Alice A");
    EXPECT_FALSE(ChatTables::displayNameOfList("u1;u2").has_value());
    EXPECT_EQ(ChatTables::queueAgentOf("me;agent7;other"), "agent7");
    EXPECT_FALSE(ChatTables::queueAgentOf("me").has_value());
}

} // namespace

namespace {

TEST(ChatCollections, NoticesAndRecentConversationsNewestFirst) {
    tc::chat::ChatCollections chat;
    const auto add = [&](std::string key, bool notice, bool created) {
        auto room = std::make_shared<tc::chat::ChatRoom>();
        room->RoomId = key;
        room->isMessageNotices = notice;
        room->isChatRoomCreated = created;
        chat.ChatRoomCollection.insert_or_assign(key, room);
    };
    add("9", true, true);
    add("10", true, false);
    add("2", false, false);
    add("bob", false, true); // confirmed: no longer a recent conversation
    add("11", false, false);
    std::vector<std::string> notices, recent;
    for (const auto& r : chat.getMessageNoticesCollection())
        notices.push_back(r->RoomId);
    for (const auto& r : chat.getrecentChatCollection())
        recent.push_back(r->RoomId);
    EXPECT_EQ(notices, (std::vector<std::string>{"10", "9"}));
    EXPECT_EQ(recent, (std::vector<std::string>{"11", "2"}));
}

} // namespace
