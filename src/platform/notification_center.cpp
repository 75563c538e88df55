#include "platform/notification_center.h"

#include "platform/dispatch.h"
#include "platform/log.h"

#include <algorithm>
#include <atomic>
#include <exception>

namespace tc::platform {

struct NotificationCenter::Entry {
    ObserverId id;
    std::string name;
    const void* objectFilter = nullptr;
    const void* owner = nullptr;
    Callback callback;
    std::atomic<bool> removed{false};
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter(); // never destroyed: posts may arrive until exit
    return *center;
}

ObserverId NotificationCenter::addObserver(std::string name, Callback callback, const void* owner) {
    return addObserver(std::move(name), nullptr, std::move(callback), owner);
}

ObserverId NotificationCenter::addObserver(std::string name, const void* objectFilter, Callback callback,
                                           const void* owner) {
    auto entry = std::make_shared<Entry>();
    entry->name = std::move(name);
    entry->objectFilter = objectFilter;
    entry->owner = owner;
    entry->callback = std::move(callback);
    std::lock_guard lock(mutex_);
    entry->id = ObserverId{nextId_++};
    entries_.push_back(entry);
    return entry->id;
}

std::unique_ptr<Handler> NotificationCenter::observe(std::string name, Callback callback) {
    return observe(std::move(name), nullptr, std::move(callback));
}

std::unique_ptr<Handler> NotificationCenter::observe(std::string name, const void* objectFilter,
                                                     Callback callback) {
    const ObserverId id = addObserver(std::move(name), objectFilter, std::move(callback));
    return MakeCleanupHandler([this, id] { removeObserver(id); });
}

void NotificationCenter::removeObserver(ObserverId id) {
    if (!id)
        return;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->id != id)
            return false;
        e->removed.store(true);
        return true;
    });
}

void NotificationCenter::removeObserver(const void* owner, std::string_view name) {
    if (!owner)
        return;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
        if (e->owner != owner || (!name.empty() && e->name != name))
            return false;
        e->removed.store(true);
        return true;
    });
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Entry>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (!e->name.empty() && e->name != notification.name)
                continue;
            if (e->objectFilter && e->objectFilter != notification.object.identity())
                continue;
            matching.push_back(e);
        }
    }
    for (const auto& e : matching) {
        if (e->removed.load())
            continue;
        try {
            if (e->callback)
                e->callback(notification);
        } catch (const std::exception& ex) {
            Log::error("observer of {} failed: {}", notification.name, ex.what());
        } catch (...) {
            Log::error("observer of {} failed with an unknown exception", notification.name);
        }
    }
}

void NotificationCenter::post(std::string name, NotificationObject object, UserInfo userInfo) {
    post(Notification{std::move(name), std::move(object), std::move(userInfo)});
}

void NotificationCenter::postOnMainQueue(std::string name, NotificationObject object, UserInfo userInfo) {
    MainQueue::async(
        [this, n = Notification{std::move(name), std::move(object), std::move(userInfo)}] { post(n); });
}

bool NotificationCenter::hasObservers(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const std::shared_ptr<Entry>& e) { return e->name.empty() || e->name == name; });
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace tc::platform
