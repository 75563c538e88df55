#pragma once
// The owner of a shared record in the session's collections. Unlike a shared_ptr, it passes its
// constness on to the record: through a const RecordPtr (so through a const collection, a const
// SessionModel or a const record holding one) the record reads as const, and the only share it
// hands out is a shared_ptr<const T>. Writing, or sharing the record writable, takes a non-const
// owner. A const owner cannot be copied into a non-const one either: copying takes a non-const
// source, so a read-only view never becomes a writable one.
#include "platform/ordered_map.h"

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace tc {

template <class T>
class RecordPtr {
    static_assert(!std::is_const_v<T>, "RecordPtr<T> gives read-only access through const already");

public:
    using element_type = T;

    RecordPtr() noexcept = default;
    RecordPtr(std::nullptr_t) noexcept {}
    // Taking a writable share makes a writable owner.
    RecordPtr(std::shared_ptr<T> record) noexcept : record_(std::move(record)) {}
    template <class U>
    requires(std::is_convertible_v<U*, T*> && !std::is_same_v<U, T>) RecordPtr(std::shared_ptr<U> record)
    noexcept : record_(std::move(record)) {}

    RecordPtr(RecordPtr&&) noexcept = default;
    RecordPtr& operator=(RecordPtr&&) noexcept = default;
    // Sharing needs a writable source.
    RecordPtr(RecordPtr& other) noexcept : record_(other.record_) {}
    RecordPtr& operator=(RecordPtr& other) noexcept {
        record_ = other.record_;
        return *this;
    }
    RecordPtr(const RecordPtr&) = delete;
    RecordPtr& operator=(const RecordPtr&) = delete;
    ~RecordPtr() = default;

    // By reference: `map[record->id] = std::move(record)` must read the id before the record moves.
    RecordPtr& operator=(const std::shared_ptr<T>& record) noexcept {
        record_ = record;
        return *this;
    }
    RecordPtr& operator=(std::shared_ptr<T>&& record) noexcept {
        record_ = std::move(record);
        return *this;
    }
    RecordPtr& operator=(std::nullptr_t) noexcept {
        record_.reset();
        return *this;
    }

    T* get() noexcept { return record_.get(); }
    const T* get() const noexcept { return record_.get(); }
    T& operator*() noexcept { return *record_; }
    const T& operator*() const noexcept { return *record_; }
    T* operator->() noexcept { return record_.get(); }
    const T* operator->() const noexcept { return record_.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(record_); }

    // A share of the record: writable only from a writable owner (or one about to go).
    std::shared_ptr<T> shared() & noexcept { return record_; }
    std::shared_ptr<T> shared() && noexcept { return std::move(record_); }
    std::shared_ptr<const T> shared() const& noexcept { return record_; }
    operator std::shared_ptr<T>() & noexcept { return record_; }
    operator std::shared_ptr<T>() && noexcept { return std::move(record_); }
    operator std::shared_ptr<const T>() const& noexcept { return record_; }

    void reset() noexcept { record_.reset(); }
    void swap(RecordPtr& other) noexcept { record_.swap(other.record_); }

    friend bool operator==(const RecordPtr& a, const RecordPtr& b) noexcept { return a.get() == b.get(); }
    friend bool operator==(const RecordPtr& a, std::nullptr_t) noexcept { return !a; }
    template <class U>
    friend bool operator==(const RecordPtr& a, const std::shared_ptr<U>& b) noexcept {
        return a.get() == b.get();
    }
    template <class U>
    friend bool operator==(const RecordPtr& a, const U* b) noexcept {
        return a.get() == b;
    }

private:
    std::shared_ptr<T> record_;
};

// A second list or map sharing the records of a writable one. A const one cannot be copied: its
// records would come out writable.
template <class T>
std::vector<RecordPtr<T>> shareRecords(std::vector<RecordPtr<T>>& source) {
    std::vector<RecordPtr<T>> shared;
    shared.reserve(source.size());
    for (RecordPtr<T>& record : source)
        shared.emplace_back(record);
    return shared;
}

template <class K, class T>
platform::OrderedMap<K, RecordPtr<T>> shareRecords(platform::OrderedMap<K, RecordPtr<T>>& source) {
    platform::OrderedMap<K, RecordPtr<T>> shared;
    shared.reserve(source.size());
    for (auto& [key, record] : source)
        shared.insert_or_assign(key, record.shared());
    return shared;
}

} // namespace tc
