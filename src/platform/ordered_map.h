#pragma once
// A map that remembers the order in which keys were first inserted. Lookups are hashed (O(1) on
// average); iteration, front() and back() follow insertion order. Replacing the value of a key keeps
// its place; erasing keeps the order of the others. Iterators and references to entries stay valid
// until their own entry is erased (entries live in list nodes).
//
// Maps keyed by std::string are looked up by std::string_view (or anything convertible to it)
// without building a string.
#include <cstddef>
#include <functional>
#include <iterator>
#include <list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace tc::platform {

namespace detail {

struct TransparentStringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

template <class K>
struct OrderedMapTraits {
    using LookupKey = K;
    using Hash = std::hash<K>;
    using Equal = std::equal_to<K>;
};

template <>
struct OrderedMapTraits<std::string> {
    using LookupKey = std::string_view;
    using Hash = TransparentStringHash;
    using Equal = std::equal_to<>;
};

} // namespace detail

template <class K, class V>
class OrderedMap {
    using Traits = detail::OrderedMapTraits<K>;

public:
    using key_type = K;
    using mapped_type = V;
    using value_type = std::pair<const K, V>;
    using size_type = std::size_t;
    using iterator = typename std::list<value_type>::iterator;
    using const_iterator = typename std::list<value_type>::const_iterator;
    // What lookups take: std::string_view for string keys, the key type otherwise.
    using lookup_key = typename Traits::LookupKey;

    OrderedMap() = default;
    OrderedMap(std::initializer_list<value_type> entries) {
        for (const auto& e : entries)
            insert_or_assign(e.first, e.second);
    }
    OrderedMap(const OrderedMap& other) : entries_(other.entries_) { reindex(); }
    OrderedMap& operator=(const OrderedMap& other) {
        if (this != &other) {
            OrderedMap copy(other);
            swap(copy);
        }
        return *this;
    }
    // List nodes move with the list, so the index stays valid.
    OrderedMap(OrderedMap&&) noexcept = default;
    OrderedMap& operator=(OrderedMap&&) noexcept = default;
    ~OrderedMap() = default;

    void swap(OrderedMap& other) noexcept {
        entries_.swap(other.entries_);
        index_.swap(other.index_);
    }

    size_type size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    void clear() noexcept {
        index_.clear();
        entries_.clear();
    }
    void reserve(size_type n) { index_.reserve(n); }

    iterator begin() noexcept { return entries_.begin(); }
    iterator end() noexcept { return entries_.end(); }
    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }
    const_iterator cbegin() const noexcept { return entries_.cbegin(); }
    const_iterator cend() const noexcept { return entries_.cend(); }

    // The first / last inserted entry that is still present. Precondition: not empty.
    value_type& front() { return entries_.front(); }
    const value_type& front() const { return entries_.front(); }
    value_type& back() { return entries_.back(); }
    const value_type& back() const { return entries_.back(); }

    iterator find(const lookup_key& key) {
        auto it = index_.find(key);
        return it == index_.end() ? entries_.end() : it->second;
    }
    const_iterator find(const lookup_key& key) const {
        auto it = index_.find(key);
        return it == index_.end() ? entries_.cend() : const_iterator(it->second);
    }
    bool contains(const lookup_key& key) const { return index_.find(key) != index_.end(); }
    size_type count(const lookup_key& key) const { return contains(key) ? 1 : 0; }

    // Throws std::out_of_range for a missing key.
    V& at(const lookup_key& key) {
        auto it = index_.find(key);
        if (it == index_.end())
            throw std::out_of_range("OrderedMap::at: no such key");
        return it->second->second;
    }
    const V& at(const lookup_key& key) const { return const_cast<OrderedMap*>(this)->at(key); }

    // A pointer to the value, or nullptr.
    V* get(const lookup_key& key) {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &it->second->second;
    }
    const V* get(const lookup_key& key) const { return const_cast<OrderedMap*>(this)->get(key); }

    // A new key goes to the end; an existing key gets the value in its old place.
    // second is true when the key was new.
    template <class M>
    std::pair<iterator, bool> insert_or_assign(K key, M&& value) {
        // One hashed look-up: the index slot is claimed first and pointed at its entry after.
        auto [slot, isNew] = index_.try_emplace(key, entries_.end());
        if (!isNew) {
            slot->second->second = std::forward<M>(value);
            return {slot->second, false};
        }
        try {
            entries_.emplace_back(std::move(key), std::forward<M>(value));
        } catch (...) {
            index_.erase(slot);
            throw;
        }
        slot->second = std::prev(entries_.end());
        return {slot->second, true};
    }

    // Inserts only when the key is new; an existing entry is left alone.
    template <class... Args>
    std::pair<iterator, bool> try_emplace(K key, Args&&... args) {
        auto [slot, isNew] = index_.try_emplace(key, entries_.end());
        if (!isNew)
            return {slot->second, false};
        try {
            entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(key)),
                                  std::forward_as_tuple(std::forward<Args>(args)...));
        } catch (...) {
            index_.erase(slot);
            throw;
        }
        slot->second = std::prev(entries_.end());
        return {slot->second, true};
    }

    // The value of the key, made value-initialised at the end when absent.
    V& operator[](const K& key) { return try_emplace(key).first->second; }

    size_type erase(const lookup_key& key) {
        auto it = index_.find(key);
        if (it == index_.end())
            return 0;
        auto entry = it->second;
        index_.erase(it);
        entries_.erase(entry);
        return 1;
    }
    iterator erase(const_iterator pos) {
        index_.erase(index_.find(pos->first));
        return entries_.erase(pos);
    }

    friend bool operator==(const OrderedMap& a, const OrderedMap& b) { return a.entries_ == b.entries_; }

private:
    void reindex() {
        index_.clear();
        index_.reserve(entries_.size());
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            index_.emplace(it->first, it);
    }

    std::list<value_type> entries_;
    std::unordered_map<K, iterator, typename Traits::Hash, typename Traits::Equal> index_;
};

} // namespace tc::platform
