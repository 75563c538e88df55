#include "model/records/chat_records.h"

#include "platform/lenient.h"

#include <cctype>
#include <cstddef>

namespace tc::chat {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::optional<WallTime> chatTimeOf(std::string_view wireTime) {
    return wallTimeFromWire(wireTime);
}

bool ChatUser::isOnlineStatus(std::string_view status) {
    return equalsIgnoringCase(status, "online");
}

void ChatUser::setStatus(std::string_view status) {
    Status = std::string(status);
    IsUserOnline = isOnlineStatus(status);
}

bool ChatQueue::hasUsableId() const {
    return platform::lenientInteger(QueueId) > 0;
}

std::int32_t ChatQueue::requestStatusOf(std::int64_t answer) {
    return answer >= 0 && answer <= 2 ? static_cast<std::int32_t>(answer) : -1;
}

} // namespace tc::chat
