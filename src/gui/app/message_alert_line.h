#pragma once
// Message alerts (trade and order confirmations among them) show one at a time, the later ones
// waiting in order: an alert left unread keeps its window and backing store, so a confirmation per
// fill on an unattended desk would otherwise pile up windows for as long as the program runs. An
// alert equal to the one showing or to one waiting is not queued again. Past kMaxWaiting the oldest
// waiting alert goes: every confirmation is also in the journal, and a hundred unread alerts are
// not read one by one.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace tc::gui {

struct MessageAlert {
    std::string title;
    std::string message;
    friend bool operator==(const MessageAlert&, const MessageAlert&) = default;
};

class MessageAlertLine {
public:
    static constexpr std::size_t kMaxWaiting = 100;

    // False when an equal alert is showing or waiting already.
    bool add(MessageAlert alert);
    // The alert to open now: the oldest waiting one, which then counts as showing; nullopt while
    // one shows or none waits.
    std::optional<MessageAlert> next();
    // The alert showing closed.
    void closed() { showing_.reset(); }

    bool isShowing() const { return showing_.has_value(); }
    std::size_t waiting() const { return waiting_.size(); }
    // Waiting alerts dropped past kMaxWaiting since the program started.
    std::size_t dropped() const { return dropped_; }

private:
    std::optional<MessageAlert> showing_;
    std::deque<MessageAlert> waiting_;
    std::size_t dropped_ = 0;
};

} // namespace tc::gui
