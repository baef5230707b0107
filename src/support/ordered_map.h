// An insertion-ordered map: iteration follows first insertion; assigning to an
// existing key replaces its value and keeps its position.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/hash_index.h"

namespace quorl {

template <typename K, typename V, typename Hash = std::hash<K>>
class OrderedMap {
public:
    using Entry = std::pair<K, V>;

    // Inserts or replaces; the key keeps its first position.
    void set(const K& key, V value) { set(K(key), std::move(value)); }
    void set(K&& key, V value) {
        const std::size_t hash = Hash{}(key);
        if (const std::optional<std::size_t> at = position(key, hash)) {
            entries_[*at].second = std::move(value);
            return;
        }
        append(hash, std::move(key), std::move(value));
    }

    // set() for text keys and values given as views, for readers that insert
    // thousands of them: the key is built only when it is new, and then in
    // place, and an old value is overwritten in its own storage. The hash of
    // a view is that of the string it shows.
    void set_from_views(std::string_view key, std::string_view value) requires(
        std::is_same_v<K, std::string>&& std::is_same_v<V, std::string>&&
            std::is_same_v<Hash, std::hash<std::string>>) {
        const std::optional<std::size_t> at = index_.find_or_add(
            std::hash<std::string_view>{}(key), [&](std::size_t position) { return entries_[position].first == key; },
            [&] {
                entries_.emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                                      std::forward_as_tuple(value));
                return entries_.size() - 1;
            });
        if (at) entries_[*at].second.assign(value);
    }

    // Room for `count` keys without growing (a file's line count, say).
    void reserve(std::size_t count) {
        entries_.reserve(count);
        index_.reserve(count);
    }

    // The value of `key`, inserted default-constructed at the end when absent.
    V& operator[](const K& key) {
        const std::size_t hash = Hash{}(key);
        if (const std::optional<std::size_t> at = position(key, hash)) return entries_[*at].second;
        append(hash, K(key), V{});
        return entries_.back().second;
    }

    const V* find(const K& key) const {
        const std::optional<std::size_t> at = position(key, Hash{}(key));
        return at ? &entries_[*at].second : nullptr;
    }
    V* find(const K& key) {
        const std::optional<std::size_t> at = position(key, Hash{}(key));
        return at ? &entries_[*at].second : nullptr;
    }

    bool contains(const K& key) const { return position(key, Hash{}(key)).has_value(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    const std::vector<Entry>& entries() const { return entries_; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    bool operator==(const OrderedMap& other) const { return entries_ == other.entries_; }

private:
    std::optional<std::size_t> position(const K& key, std::size_t hash) const {
        return index_.find(hash, [&](std::size_t at) { return entries_[at].first == key; });
    }

    void append(std::size_t hash, K&& key, V&& value) {
        entries_.emplace_back(std::move(key), std::move(value));
        try {
            index_.insert(hash, entries_.size() - 1);
        } catch (...) {
            entries_.pop_back();  // an entry the index does not know would be found by no look-up
            throw;
        }
    }

    std::vector<Entry> entries_;
    HashIndex index_;  // positions in entries_
};

}  // namespace quorl
