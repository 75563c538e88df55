#include "gui/app/message_alert_line.h"

#include "platform/log.h"

#include <algorithm>
#include <utility>

namespace tc::gui {

bool MessageAlertLine::add(MessageAlert alert) {
    if (alert == showing_ || std::find(waiting_.begin(), waiting_.end(), alert) != waiting_.end())
        return false;
    if (waiting_.size() >= kMaxWaiting) {
        platform::Log::warning("{} alerts wait unread; the oldest, \"{}\", is dropped", waiting_.size(),
                               waiting_.front().title.substr(0, 200));
        waiting_.pop_front();
        ++dropped_;
    }
    waiting_.push_back(std::move(alert));
    return true;
}

std::optional<MessageAlert> MessageAlertLine::next() {
    if (showing_ || waiting_.empty())
        return std::nullopt;
    showing_ = std::move(waiting_.front());
    waiting_.pop_front();
    return showing_;
}

} // namespace tc::gui
