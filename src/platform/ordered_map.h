#pragma once
// A map that remembers the order in which keys were first inserted. Lookups are hashed (O(1) on
// average); iteration, front() and back() follow insertion order. Replacing the value of a key keeps
// its place; erasing keeps the order of the others. Iterators and references to entries stay valid
// until their own entry is erased (entries live in list nodes). The index is one open-addressed
// array of hashes and entries, so an insert allocates only its entry's node.
//
// Maps keyed by std::string are looked up by std::string_view (or anything convertible to it)
// without building a string.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

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
    OrderedMap(OrderedMap&& other) noexcept { swap(other); }
    OrderedMap& operator=(OrderedMap&& other) noexcept {
        if (this != &other) {
            OrderedMap gone(std::move(other));
            swap(gone);
        }
        return *this;
    }
    ~OrderedMap() = default;

    void swap(OrderedMap& other) noexcept {
        entries_.swap(other.entries_);
        index_.swap(other.index_);
        std::swap(shift_, other.shift_);
    }

    size_type size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    void clear() noexcept {
        index_.clear();
        entries_.clear();
    }
    void reserve(size_type n) { grow(n); }

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
        const Bucket* b = bucketOf(key);
        return b ? b->entry : entries_.end();
    }
    const_iterator find(const lookup_key& key) const {
        const Bucket* b = bucketOf(key);
        return b ? const_iterator(b->entry) : entries_.cend();
    }
    bool contains(const lookup_key& key) const { return bucketOf(key) != nullptr; }
    size_type count(const lookup_key& key) const { return contains(key) ? 1 : 0; }

    // Throws std::out_of_range for a missing key.
    V& at(const lookup_key& key) {
        const Bucket* b = bucketOf(key);
        if (!b)
            throw std::out_of_range("OrderedMap::at: no such key");
        return b->entry->second;
    }
    const V& at(const lookup_key& key) const { return const_cast<OrderedMap*>(this)->at(key); }

    // A pointer to the value, or nullptr.
    V* get(const lookup_key& key) {
        const Bucket* b = bucketOf(key);
        return b ? &b->entry->second : nullptr;
    }
    const V* get(const lookup_key& key) const { return const_cast<OrderedMap*>(this)->get(key); }

    // A new key goes to the end; an existing key gets the value in its old place.
    // second is true when the key was new.
    template <class M>
    std::pair<iterator, bool> insert_or_assign(K key, M&& value) {
        // One hashed look-up: the free bucket found is the one the new entry takes.
        const std::size_t hash = hashOf(key);
        grow(size() + 1);
        Bucket& slot = index_[probe(key, hash)];
        if (slot.hash != 0) {
            slot.entry->second = std::forward<M>(value);
            return {slot.entry, false};
        }
        entries_.emplace_back(std::move(key), std::forward<M>(value));
        slot = Bucket{hash, std::prev(entries_.end())};
        return {slot.entry, true};
    }

    // Inserts only when the key is new; an existing entry is left alone.
    template <class... Args>
    std::pair<iterator, bool> try_emplace(K key, Args&&... args) {
        const std::size_t hash = hashOf(key);
        grow(size() + 1);
        Bucket& slot = index_[probe(key, hash)];
        if (slot.hash != 0)
            return {slot.entry, false};
        entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(std::move(key)),
                              std::forward_as_tuple(std::forward<Args>(args)...));
        slot = Bucket{hash, std::prev(entries_.end())};
        return {slot.entry, true};
    }

    // The value of the key, made value-initialised at the end when absent.
    V& operator[](const K& key) { return try_emplace(key).first->second; }

    size_type erase(const lookup_key& key) {
        if (index_.empty())
            return 0;
        const std::size_t i = probe(key, hashOf(key));
        if (index_[i].hash == 0)
            return 0;
        const iterator entry = index_[i].entry;
        unlink(i);
        entries_.erase(entry);
        return 1;
    }
    iterator erase(const_iterator pos) {
        unlink(probe(pos->first, hashOf(pos->first)));
        return entries_.erase(pos);
    }

    friend bool operator==(const OrderedMap& a, const OrderedMap& b) { return a.entries_ == b.entries_; }

private:
    // Index bucket: the key's hash with kUsed set (0 marks a free bucket), and its entry.
    struct Bucket {
        std::size_t hash = 0;
        iterator entry{};
    };
    static constexpr std::size_t kUsed = ~(~std::size_t{0} >> 1);
    static constexpr std::size_t kFirstBuckets = 8;

    static std::size_t hashOf(const lookup_key& key) { return typename Traits::Hash{}(key) | kUsed; }
    std::size_t mask() const noexcept { return index_.size() - 1; }
    // Fibonacci hashing: the top bits of the product, so that plain integer hashes spread too.
    std::size_t home(std::size_t hash) const noexcept {
        return static_cast<std::size_t>((std::uint64_t{hash} * 0x9E3779B97F4A7C15ull) >> shift_) & mask();
    }
    // The bucket holding `key`, or the free one where it would go. Precondition: index not empty.
    std::size_t probe(const lookup_key& key, std::size_t hash) const {
        std::size_t i = home(hash);
        while (index_[i].hash != 0 &&
               !(index_[i].hash == hash && typename Traits::Equal{}(index_[i].entry->first, key)))
            i = (i + 1) & mask();
        return i;
    }
    const Bucket* bucketOf(const lookup_key& key) const {
        if (index_.empty())
            return nullptr;
        const Bucket& b = index_[probe(key, hashOf(key))];
        return b.hash != 0 ? &b : nullptr;
    }
    // Room for `entries` with the index at most half full.
    void grow(std::size_t entries) {
        std::size_t buckets = index_.empty() ? kFirstBuckets : index_.size();
        while (buckets < 2 * entries)
            buckets *= 2;
        if (buckets == index_.size())
            return;
        std::vector<Bucket> old(buckets);
        old.swap(index_);
        shift_ = 64 - static_cast<unsigned>(std::countr_zero(buckets));
        for (const Bucket& b : old) {
            if (b.hash == 0)
                continue;
            std::size_t i = home(b.hash);
            while (index_[i].hash != 0)
                i = (i + 1) & mask();
            index_[i] = b;
        }
    }
    // Frees bucket `i`, moving back the later buckets of its run that may no longer be reached.
    void unlink(std::size_t i) {
        for (std::size_t j = (i + 1) & mask(); index_[j].hash != 0; j = (j + 1) & mask()) {
            const std::size_t k = home(index_[j].hash);
            // Bucket j is still reached from its home unless that home lies cyclically in (i, j].
            const bool reached = i <= j ? (i < k && k <= j) : (i < k || k <= j);
            if (!reached) {
                index_[i] = index_[j];
                i = j;
            }
        }
        index_[i] = Bucket{};
    }
    void reindex() {
        index_.clear();
        grow(entries_.size());
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            const std::size_t hash = hashOf(it->first);
            index_[probe(it->first, hash)] = Bucket{hash, it};
        }
    }

    std::list<value_type> entries_;
    std::vector<Bucket> index_; // open addressing, a power of two long, at most half full
    unsigned shift_ = 64;
};

} // namespace tc::platform
