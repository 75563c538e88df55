#include "gui/chat/chat_window_rules.h"

#include "model/text/formatter.h"
#include "platform/numeric_order.h"

#include <algorithm>

namespace tc::gui {
namespace {

template <class Map>
std::vector<std::string> sortedKeys(const Map& map, const platform::NumericOrder& order) {
    std::vector<std::string> keys;
    keys.reserve(map.size());
    for (const auto& [key, record] : map)
        if (record)
            keys.push_back(key);
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const std::string& a, const std::string& b) { return order.less(a, b); });
    return keys;
}

std::string timeAs(const std::optional<WallTime>& time, std::string_view pattern) {
    return wallTimeText(time, pattern);
}

} // namespace

std::vector<ContactNode> buildContactTree(const chat::ChatCollections& chat) {
    const platform::NumericOrder order;
    const std::vector<std::string> groups = sortedKeys(chat.GroupChatCollection, order);
    const std::vector<std::string> users = sortedKeys(chat.UserChatCollection, order);
    std::vector<ContactNode> tree;
    tree.reserve(groups.size());
    for (const std::string& groupKey : groups) {
        const chat::ChatGroup& group = **chat.GroupChatCollection.get(groupKey);
        ContactNode node;
        node.displayName = group.GroupName;
        node.isGroup = true;
        for (const std::string& userKey : users) {
            const chat::ChatUser& user = **chat.UserChatCollection.get(userKey);
            if (user.GroupId != group.GroupID)
                continue;
            ContactNode contact;
            contact.displayName = user.DisplayName;
            contact.userName = user.UserName;
            contact.online = user.IsUserOnline;
            node.children.push_back(std::move(contact));
        }
        tree.push_back(std::move(node));
    }
    return tree;
}

bool updateOnlineMarks(std::vector<ContactNode>& groups, const chat::ChatCollections& chat) {
    bool changed = false;
    for (ContactNode& group : groups) {
        for (ContactNode& contact : group.children) {
            const auto* user = chat.UserChatCollection.get(contact.userName);
            const bool online = user && *user && (*user)->IsUserOnline;
            changed = changed || online != contact.online;
            contact.online = online;
        }
    }
    return changed;
}

std::vector<QueueRow> queueRows(const chat::ChatCollections& chat) {
    std::vector<QueueRow> rows;
    rows.reserve(chat.ChatQueueCollection.size());
    for (const auto& [key, queue] : chat.ChatQueueCollection) {
        if (!queue)
            continue;
        QueueRow row;
        row.queueId = key;
        row.name = queue->QueueName;
        row.mark = queue->chartRequestStatus == 1 ? QueueMark::Waiting
                   : queue->isAvailable           ? QueueMark::Available
                                                  : QueueMark::Unavailable;
        rows.push_back(std::move(row));
    }
    return rows;
}

QueueChoice chooseQueue(const chat::ChatQueue& queue) {
    if (queue.chartRequestStatus == 1)
        return QueueChoice::Ignore;
    if (!queue.isAvailable)
        return QueueChoice::Empty;
    return queue.chartRequestStatus == 2 ? QueueChoice::Open : QueueChoice::AskFirst;
}

TranscriptLine transcriptLine(const chat::ChatMessageEntry& entry, std::string_view ownUserName,
                              std::string_view heldNote, std::string_view unconfirmedNote) {
    TranscriptLine line;
    const std::string& name = entry.senderDisplayName && !entry.senderDisplayName->empty()
                                  ? *entry.senderDisplayName
                                  : entry.sender;
    line.head = name + "[" + timeAs(entry.time, "dd/MM/yyyy hh:mm:ss a") + "]:";
    line.text = entry.msg;
    line.own = !ownUserName.empty() && entry.sender == ownUserName;
    if (entry.unconfirmed)
        line.note = unconfirmedNote;
    else if (entry.heldForContact)
        line.note = heldNote;
    return line;
}

std::string noticeTime(const std::optional<WallTime>& time) {
    return timeAs(time, Formatter::kDisplayDateTime);
}

std::string recentConversationName(const chat::ChatRoom& room) {
    return room.RoomUserDisplayName.empty() ? room.SenderName : room.RoomUserDisplayName;
}

std::shared_ptr<const chat::ChatRoom> roomOf(const chat::ChatCollections& chat, std::string_view key) {
    const auto* room = chat.ChatRoomCollection.get(std::string(key));
    return room && *room ? room->shared() : nullptr;
}

std::string ChatDrafts::move(const std::string& from, std::string text, const std::string& to) {
    if (!from.empty()) {
        if (text.empty())
            drafts_.erase(from);
        else
            drafts_[from] = std::move(text);
    }
    const auto it = drafts_.find(to);
    if (it == drafts_.end())
        return {};
    std::string draft = std::move(it->second);
    drafts_.erase(it);
    return draft;
}

} // namespace tc::gui
