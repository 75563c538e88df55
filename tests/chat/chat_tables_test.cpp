#include "chat/chat_tables.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using namespace tc;

using namespace tc::chat;
using testing_support::wireText;

TEST(ChatTables, ContactListTablesAndTheRowsThatEndThem) {
    const auto users = ChatTables::readUsers(wireText(
        "11<C>alice<C>online<C><C>1<C>1<C><C>Alice "
        "A<R>12<C>bob<C>Away<C><C>2<C>0<C><C>Bob<R>13<C>short<R>14<C>carol<C>x<C><C>1<C>1<C><C>C<R>"));
    ASSERT_EQ(users.rows.size(), 2u);
    EXPECT_TRUE(users.ended);
    EXPECT_EQ(std::tuple(users.rows[0].IsUserOnline, users.rows[0].IsUserInMyContactList,
                         users.rows[0].DisplayName),
              std::tuple(true, true, "Alice A"));
    EXPECT_FALSE(users.rows[1].IsUserInMyContactList);

    // A short first group row is passed over; a short later one ends the reply.
    const auto groups = ChatTables::readGroups(wireText("x<R>1<C>Friends<C>0<R>2<R>3<C>Late<C>0<R>"));
    ASSERT_EQ(groups.rows.size(), 1u);
    EXPECT_EQ(groups.rows[0].GroupName, "Friends");
    EXPECT_TRUE(groups.ended);

    const auto queues = ChatTables::readQueues(
        wireText("5<C>Support<C>0<C>1<R>0<C>Zero<C>0<R>abc<C>Text<C>0<R>6<C>Short<R>7<C>Sales<C>1<R>"));
    ASSERT_EQ(queues.size(), 2u);
    EXPECT_TRUE(queues[0].isAvailable);
    EXPECT_TRUE(queues[1].isAgent);
    EXPECT_EQ(ChatQueue::requestStatusOf(7), -1);
    EXPECT_EQ(ChatQueue::requestStatusOf(2), 2);
}

TEST(ChatTables, RecentOfflineAndRoomMessageTables) {
    const auto recent = ChatTables::readRecentConversations(
        wireText("alice<C>hi<C>alice;me<C>t1<C>R1<C>room1<C><C><C>Alice<R>server<C>notice<C><C>t2<C>R2<C>"
                 "room2<C><C>Maintenance<R>"));
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_FALSE(recent[0].isMessageNotices);
    EXPECT_EQ(recent[0].RoomUserDisplayName, "Alice");
    EXPECT_TRUE(recent[1].isMessageNotices);
    EXPECT_EQ(recent[1].MessageTitle, "Maintenance");
    EXPECT_EQ(recent[0].Message, "hi");
    // A last text sent as its RTF document is kept as its plain text.
    const auto rtf = ChatTables::readRecentConversations(
        wireText("bob<C>{\\rtf1\\ansi Fine, thanks.}<C>bob;me<C>t3<C>R3<C>room3<C><C><C>Bob<R>"));
    ASSERT_EQ(rtf.size(), 1u);
    EXPECT_EQ(rtf[0].Message, "Fine, thanks.");

    // Two notices and one chat message: the notices' rooms.
    const auto offline = ChatTables::readOfflineNoticeRooms(
        wireText("<C><C><C><C>N1<C><C><C>Title<R><C><C><C><C>C1<C><C><C><R><C><C><C><C>N2<C><C><C>T2<R>"));
    EXPECT_EQ(offline, (std::vector<std::string>{"N1", "N2"}));

    const auto messages = ChatTables::readRoomMessages(
        wireText("m1<C>alice<C>{\\rtf1\\ansi \\u1575?\\u1604? hi}<C>t1<C>Alice<R>"
                 "m2<C>bob<C>plain<C>t2<R>m3<C>x<C>y<R>m4<C>z<C>w<C>t4<R>"));
    ASSERT_EQ(messages.rows.size(), 2u);
    EXPECT_TRUE(messages.ended);
    EXPECT_EQ(messages.rows[0].entry.msg, "\xD8\xA7\xD9\x84 hi");
    EXPECT_EQ(messages.rows[0].entry.senderDisplayName, "Alice");
    EXPECT_FALSE(messages.rows[1].entry.senderDisplayName.has_value());
}

TEST(ChatTables, TimesAreReadAsTimePointsAndOnlyRealTimesCount) {
    const auto recent = ChatTables::readRecentConversations(
        wireText("alice<C>hi<C>alice;me<C>20260102030405<C>R1<R>bob<C>yo<C>bob;me<C>00010101000000<C>R2<R>"));
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(displayDateTime(recent[0].chatTime), "01/02/2026 03:04:05");
    EXPECT_FALSE(recent[1].chatTime.has_value());
    EXPECT_EQ(recent[1].RoomId, "R2");
    EXPECT_TRUE(recent[1].RoomName.empty()); // a row that stops early leaves the rest as it was

    const auto messages = ChatTables::readRoomMessages(wireText("m1<C>alice<C>hi<C>20261231235959<R>"
                                                                "m2<C>bob<C>yo<C>20261331000000<R>"));
    ASSERT_EQ(messages.rows.size(), 2u);
    EXPECT_EQ(clockTime(messages.rows[0].entry.time), "23:59:59");
    EXPECT_FALSE(messages.rows[1].entry.time.has_value());
    EXPECT_EQ(messages.rows[1].entry.sender, "bob");
}

TEST(ChatTables, DisplayListsAndQueueAgents) {
    EXPECT_EQ(ChatTables::displayNameOfList(wireText("u1<C>Alice A<C>x") + ";" + wireText("u2<C>B")),
              "Alice A");
    EXPECT_FALSE(ChatTables::displayNameOfList("u1;u2").has_value());
    EXPECT_EQ(ChatTables::queueAgentOf("me;agent7;other"), "agent7");
    EXPECT_FALSE(ChatTables::queueAgentOf("me").has_value());
}

} // namespace
