#include "model/chat_collections.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace tc::chat;

TEST(ChatUser, OnlineIsOneWordInAnyLetterCase) {
    const std::pair<std::string_view, bool> cases[] = {{"Online", true}, {"ONLINE", true},
                                                       {"online", true}, {"Online now", false},
                                                       {"Away", false},  {"", false}};
    for (const auto& [status, online] : cases)
        EXPECT_EQ(ChatUser::isOnlineStatus(status), online) << status;
}

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
    for (const auto& r : chat.getRecentChatCollection())
        recent.push_back(r->RoomId);
    EXPECT_EQ(notices, (std::vector<std::string>{"10", "9"}));
    EXPECT_EQ(recent, (std::vector<std::string>{"11", "2"}));
}

} // namespace
