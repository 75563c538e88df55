#include "model/chat_collections.h"

#include "platform/numeric_order.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace tc::chat {
namespace {

template <class Keep>
std::vector<std::shared_ptr<const ChatRoom>> roomsNewestFirst(const ChatCollections& chat, Keep keep) {
    std::vector<std::pair<std::string_view, std::shared_ptr<const ChatRoom>>> kept;
    for (const auto& [key, room] : chat.ChatRoomCollection)
        if (room && keep(*room))
            kept.emplace_back(key, room.shared());
    const platform::NumericOrder order;
    std::stable_sort(kept.begin(), kept.end(),
                     [&](const auto& a, const auto& b) { return order.less(b.first, a.first); });
    std::vector<std::shared_ptr<const ChatRoom>> rooms;
    rooms.reserve(kept.size());
    for (auto& entry : kept)
        rooms.push_back(std::move(entry.second));
    return rooms;
}

} // namespace

std::vector<std::shared_ptr<const ChatRoom>> ChatCollections::getMessageNoticesCollection() const {
    return roomsNewestFirst(*this, [](const ChatRoom& r) { return r.isMessageNotices; });
}

std::vector<std::shared_ptr<const ChatRoom>> ChatCollections::getRecentChatCollection() const {
    // A room with no server id yet (a contact chosen, or a conversation waiting for its room) is no
    // earlier conversation: it would list as an empty row.
    return roomsNewestFirst(*this, [](const ChatRoom& r) {
        return !r.isMessageNotices && !r.isChatRoomCreated && !r.RoomId.empty();
    });
}

} // namespace tc::chat
