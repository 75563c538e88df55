#include "connection/message_base.h"
#include "connection/message_builders.h"

#include "platform/log.h"

#include <utility>

namespace {

std::string_view refusalReason(ComposeStatus status) noexcept {
    switch (status) {
    case ComposeStatus::SeparatorInValue:
        return "holds a separator byte";
    case ComposeStatus::InvalidText:
        return "is not well-formed UTF-8";
    case ComposeStatus::TooLong:
        return "makes the message too long";
    case ComposeStatus::Built:
    case ComposeStatus::NoLayout:
        break;
    }
    return "";
}

} // namespace

void MessageBase::BuildMessage() {
    try {
        ComposedMessage built = composeMessage(*this);
        switch (built.status) {
        case ComposeStatus::NoLayout:
            break;
        case ComposeStatus::SeparatorInValue:
        case ComposeStatus::InvalidText:
        case ComposeStatus::TooLong:
            // Refused rather than cleaned: an order altered behind the user's back is worse than
            // one not sent. The value itself is not logged, it may be a password.
            platform::Log::warning("message type {} ({}) not sent: tag {} {}", messagetype_,
                                   built.layout->builder, built.refusedTag, refusalReason(built.status));
            break;
        case ComposeStatus::Built: {
            const MessageLayout& layout = *built.layout;
            messageLength_ = built.bodyLength;
            if (sender_ == nullptr) {
                platform::Log::debug("message type {} ({}) built without a sender; not sent", messagetype_,
                                     layout.builder);
                break;
            }
            if (layout.isZMQ()) {
                sender_->sendMessage(
                    RequestMessage{std::move(built.framed), true, 0, layout.receivingStrategy});
            } else {
                EncryptMessage(built.framed, layout.isInitialRequest(), false);
            }
            if (layout.hook == BuildHook::PingSent)
                sender_->pingSent();
            break;
        }
        }
    } catch (...) {
        // A build that fails ends quietly; the dictionary is emptied all the same.
    }
    messageDataDictionary_.clear();
}
