#pragma once
// The chat state of one login, as the chat handlers fill it on the main queue and the chat windows
// read it: groups, contacts, support queues and rooms, with the two views the notices and
// recent-conversation windows list.
#include "model/record_ptr.h"
#include "model/records/chat_records.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tc::chat {

struct ChatCollections {
    // Contacts and queues accumulate over the login's contact replies; past these, new ones are
    // dropped with a warning.
    static constexpr std::size_t kMaxUsers = 100'000;
    static constexpr std::size_t kMaxQueues = 1'000;

    platform::OrderedMap<std::string, RecordPtr<ChatGroup>> GroupChatCollection; // by GroupID
    platform::OrderedMap<std::string, RecordPtr<ChatUser>> UserChatCollection;   // by UserName
    platform::OrderedMap<std::string, RecordPtr<ChatQueue>> ChatQueueCollection; // by QueueId
    // A contact's room under the contact's user name, a queue's under its QueueId, a notice or a
    // recent conversation under its RoomId.
    platform::OrderedMap<std::string, RecordPtr<ChatRoom>> ChatRoomCollection;
    // Whose conversation the chat window shows: no banner for that person's messages.
    std::string chatUserName;

    // The notices, newest key first (digit runs compared by value, so room "10" comes before "9").
    std::vector<std::shared_ptr<const ChatRoom>> getMessageNoticesCollection() const;
    // The conversations that are neither notices nor rooms the server has confirmed, and have a server
    // room id (no contact's room still waiting for one), in that order.
    std::vector<std::shared_ptr<const ChatRoom>> getRecentChatCollection() const;
};

} // namespace tc::chat
