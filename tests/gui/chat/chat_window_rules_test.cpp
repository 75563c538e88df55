// The chat windows' rules without widgets: the contact tree, the queues, the transcript lines.
#include "gui/chat/chat_window_rules.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;
using namespace tc::gui;

// The collections as a contacts reply leaves them: groups and users in the order the server listed
// them, each user naming its group.
chat::ChatCollections contactsReply() {
    chat::ChatCollections c;
    for (auto [id, name] : {std::pair{"10", "Dealers"}, {"2", "Support"}, {"1", "Desk"}, {"7", "Empty"}}) {
        auto g = std::make_shared<chat::ChatGroup>();
        g->GroupID = id;
        g->GroupName = name;
        c.GroupChatCollection.insert_or_assign(id, g);
    }
    struct U {
        const char* name;
        const char* display;
        const char* group;
        bool online;
    };
    for (U u : {U{"trader10", "Trader Ten", "1", true}, U{"trader9", "Trader Nine", "1", false},
                U{"dealer", "Dealing Desk", "10", true}, U{"help", "Help Line", "2", false},
                U{"ghost", "Nobody's", "99", true}}) {
        auto user = std::make_shared<chat::ChatUser>();
        user->UserName = u.name;
        user->DisplayName = u.display;
        user->GroupId = u.group;
        user->IsUserOnline = u.online;
        c.UserChatCollection.insert_or_assign(u.name, user);
    }
    return c;
}

TEST(ChatWindowRules, TheContactTreeListsGroupsByIdAndTheirContactsByNameWithOnlineMarks) {
    chat::ChatCollections chat = contactsReply();
    std::vector<ContactNode> tree = buildContactTree(chat);
    // Digit runs by value: 1, 2, 7, 10; a contact of an unknown group is not shown, an empty group is.
    ASSERT_EQ(tree.size(), 4u);
    EXPECT_EQ(tree[0].displayName, "Desk");
    EXPECT_EQ(tree[1].displayName, "Support");
    EXPECT_EQ(tree[2].displayName, "Empty");
    EXPECT_EQ(tree[3].displayName, "Dealers");
    for (const ContactNode& group : tree) {
        EXPECT_TRUE(group.isGroup);
        EXPECT_TRUE(group.userName.empty());
    }
    EXPECT_TRUE(tree[2].children.empty());
    ASSERT_EQ(tree[0].children.size(), 2u);
    EXPECT_EQ(tree[0].children[0].userName, "trader9"); // before trader10
    EXPECT_EQ(tree[0].children[0].displayName, "Trader Nine");
    EXPECT_FALSE(tree[0].children[0].online);
    EXPECT_EQ(tree[0].children[1].userName, "trader10");
    EXPECT_TRUE(tree[0].children[1].online);
    EXPECT_FALSE(tree[0].children[1].isGroup);
    ASSERT_EQ(tree[3].children.size(), 1u);
    EXPECT_EQ(tree[3].children[0].userName, "dealer");

    // Presence changes flip the marks; a contact gone reads offline; nothing changed reports so.
    EXPECT_FALSE(updateOnlineMarks(tree, chat));
    (*chat.UserChatCollection.get("trader9"))->IsUserOnline = true;
    chat.UserChatCollection.erase("dealer");
    EXPECT_TRUE(updateOnlineMarks(tree, chat));
    EXPECT_TRUE(tree[0].children[0].online);
    EXPECT_FALSE(tree[3].children[0].online);
    EXPECT_EQ(tree[3].children.size(), 1u) << "the tree itself is not rebuilt";
}

TEST(ChatWindowRules, QueuesShowTheirStateAndOnlyUsableOnesOpen) {
    chat::ChatCollections chat;
    const auto queue = [&](const char* id, bool available, int status) {
        auto q = std::make_shared<chat::ChatQueue>();
        q->QueueId = id;
        q->QueueName = std::string("Q") + id;
        q->isAvailable = available;
        q->chartRequestStatus = status;
        chat.ChatQueueCollection.insert_or_assign(id, q);
        return q;
    };
    const auto waiting = queue("3", true, 1);
    const auto closed = queue("1", false, 0);
    const auto accepted = queue("2", true, 2);
    const auto fresh = queue("4", true, -1);
    const std::vector<QueueRow> rows = queueRows(chat);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].queueId, "3"); // the collection's order
    EXPECT_EQ(rows[0].mark, QueueMark::Waiting);
    EXPECT_EQ(rows[1].mark, QueueMark::Unavailable);
    EXPECT_EQ(rows[2].mark, QueueMark::Available);
    EXPECT_EQ(rows[2].name, "Q2");
    EXPECT_EQ(chooseQueue(*waiting), QueueChoice::Ignore);
    EXPECT_EQ(chooseQueue(*closed), QueueChoice::Empty);
    EXPECT_EQ(chooseQueue(*accepted), QueueChoice::Open);
    EXPECT_EQ(chooseQueue(*fresh), QueueChoice::AskFirst);
}

TEST(ChatWindowRules, TranscriptLinesNameTheSenderAndTimeAndTellOwnMessages) {
    chat::ChatMessageEntry other{"Hello there", "trader", std::string("Trader Two"),
                                 chat::chatTimeOf("20240105143005")};
    const TranscriptLine line = transcriptLine(other, "demo");
    EXPECT_EQ(line.head, "Trader Two[05/01/2024 02:30:05 PM]:");
    EXPECT_EQ(line.whole(), "Trader Two[05/01/2024 02:30:05 PM]:\tHello there");
    EXPECT_FALSE(line.own);
    // Own, without a display name or a time: the user name and empty brackets.
    chat::ChatMessageEntry own{"Thanks", "demo", std::nullopt, chat::chatTimeOf("00010101000000")};
    const TranscriptLine mine = transcriptLine(own, "demo");
    EXPECT_EQ(mine.whole(), "demo[]:\tThanks");
    EXPECT_TRUE(mine.own);
    EXPECT_FALSE(transcriptLine(own, "").own);

    EXPECT_EQ(noticeTime(chat::chatTimeOf("20240105143005")), "01/05/2024 14:30:05");
    EXPECT_EQ(noticeTime(chat::chatTimeOf("")), "");
    EXPECT_EQ(noticeTime(chat::chatTimeOf("not a time")), "");
    chat::ChatRoom room;
    room.SenderName = "trader";
    EXPECT_EQ(recentConversationName(room), "trader");
    room.RoomUserDisplayName = "Trader Two";
    EXPECT_EQ(recentConversationName(room), "Trader Two");
}

TEST(ChatDrafts, EachConversationKeepsItsOwnUnsentText) {
    ChatDrafts drafts;
    EXPECT_EQ(drafts.move("trader", "for trader", "bob"), "");
    EXPECT_EQ(drafts.move("bob", "for bob", "trader"), "for trader");
    EXPECT_EQ(drafts.move("trader", "", ""), "") << "an emptied field leaves no draft";
    EXPECT_EQ(drafts.move("", "for no one", "bob"), "for bob");
    EXPECT_EQ(drafts.size(), 0u);
}

} // namespace
