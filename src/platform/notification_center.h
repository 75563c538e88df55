#pragma once
// Named notifications within the process. Posting delivers synchronously on the posting thread, in the
// order observers registered; windows learn of model changes this way.
#include "platform/handler.h"

#include <any>
#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tc::platform {

// The object a notification carries: any copyable value (a text, a record pointer, a list of lines).
// Pointers and shared pointers also give the object an identity, which observers may filter on; texts
// and other values have none. String literals and views are stored as std::string.
class NotificationObject {
public:
    NotificationObject() = default;
    template <typename T, typename = std::enable_if_t<!std::is_same_v<std::decay_t<T>, NotificationObject>>>
    NotificationObject(T&& value) {
        using V = std::decay_t<T>;
        if constexpr (std::is_same_v<V, std::nullptr_t>) {
            // no object
        } else if constexpr (std::is_convertible_v<V, std::string_view> && !std::is_same_v<V, std::string>) {
            value_ = std::string(std::string_view(value));
        } else {
            if constexpr (std::is_pointer_v<V> && std::is_object_v<std::remove_pointer_t<V>>)
                identity_ = static_cast<const void*>(value);
            else if constexpr (requires(const V& v) {
                                   { v.get() } -> std::convertible_to<const void*>;
                               })
                identity_ = static_cast<const void*>(value.get());
            value_ = std::forward<T>(value);
        }
    }

    bool hasValue() const { return value_.has_value(); }
    const void* identity() const { return identity_; }
    const std::any& value() const { return value_; }
    // The value if it holds exactly a T, else null.
    template <typename T>
    const T* get() const {
        return std::any_cast<T>(&value_);
    }

private:
    std::any value_;
    const void* identity_ = nullptr;
};

using UserInfo = std::map<std::string, std::any, std::less<>>;

struct Notification {
    std::string name;
    NotificationObject object;
    UserInfo userInfo;

    template <typename T>
    const T* objectAs() const {
        return object.get<T>();
    }
    // The user-info value under `key` if it holds exactly a T, else null.
    template <typename T>
    const T* info(std::string_view key) const {
        auto it = userInfo.find(key);
        return it == userInfo.end() ? nullptr : std::any_cast<T>(&it->second);
    }
};

struct ObserverId {
    std::uint64_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(ObserverId, ObserverId) = default;
};

class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    // An empty name observes every notification. `owner` (optional) groups observers for
    // removeObserver(owner). `objectFilter` (non-null) restricts delivery to notifications whose object
    // has that identity.
    ObserverId addObserver(std::string name, Callback callback, const void* owner = nullptr);
    ObserverId addObserver(std::string name, const void* objectFilter, Callback callback,
                           const void* owner = nullptr);

    // The same, for as long as the returned handler lives: destroying it removes the observer. The
    // centre must outlive the handler (the default one always does).
    [[nodiscard]] std::unique_ptr<Handler> observe(std::string name, Callback callback);
    [[nodiscard]] std::unique_ptr<Handler> observe(std::string name, const void* objectFilter,
                                                   Callback callback);

    // A removed observer is not called afterwards, even by a delivery already under way, unless that
    // delivery runs on another thread and has already started calling it.
    void removeObserver(ObserverId id);
    // Removes every observer of `owner` (only those for `name` when it is not empty).
    void removeObserver(const void* owner, std::string_view name = {});

    // Calls the matching observers on this thread, in registration order; observers added meanwhile wait
    // for the next post. An observer that throws is logged and the others are still called. No lock is
    // held while observers run, so they may post, add and remove freely.
    void post(const Notification& notification);
    void post(std::string name, NotificationObject object = {}, UserInfo userInfo = {});
    // Posts later on the main queue. The centre must outlive that (the default one always does).
    void postOnMainQueue(std::string name, NotificationObject object = {}, UserInfo userInfo = {});

    std::size_t observerCount() const;
    // Whether a notification of `name` would reach anyone now (an observer of that name or of all).
    bool hasObservers(std::string_view name) const;

private:
    struct Entry;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    std::uint64_t nextId_ = 1;
};

} // namespace tc::platform
