#pragma once
// A typed event with any number of subscribers, each holding a handler. Main queue only: connect,
// emit and the handlers' disconnects all run there. A subscriber connected during an emission waits
// for the next one; one disconnected during an emission is not called after that. Handlers may
// outlive the signal.
#include "platform/handler.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tc {

template <typename T>
class Signal {
public:
    using Slot = std::function<void(const T&)>;

    [[nodiscard]] std::unique_ptr<platform::Handler> connect(Slot slot) {
        auto entry = std::make_shared<Entry>(std::move(slot));
        entries_->push_back(entry);
        return platform::MakeCleanupHandler([weak = std::weak_ptr<Entries>(entries_), entry] {
            entry->connected = false;
            if (const auto entries = weak.lock())
                std::erase(*entries, entry);
        });
    }

    void emit(const T& value) const {
        const Entries current = *entries_;
        for (const auto& entry : current)
            if (entry->connected)
                entry->slot(value);
    }

    std::size_t size() const { return entries_->size(); }

private:
    struct Entry {
        explicit Entry(Slot s) : slot(std::move(s)) {}
        Slot slot;
        bool connected = true;
    };
    using Entries = std::vector<std::shared_ptr<Entry>>;
    std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
};

} // namespace tc
