// An insertion-ordered map: iteration follows first insertion; assigning to an
// existing key replaces its value and keeps its position.
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorl {

template <typename K, typename V, typename Hash = std::hash<K>>
class OrderedMap {
public:
    using Entry = std::pair<K, V>;

    // Inserts or replaces; the key keeps its first position.
    void set(const K& key, V value) {
        const auto [found, inserted] = index_.try_emplace(key, entries_.size());
        if (!inserted) {
            entries_[found->second].second = std::move(value);
            return;
        }
        entries_.emplace_back(key, std::move(value));
    }

    // The same, moving a new key in: one copy of it fewer.
    void set(K&& key, V value) {
        const auto [found, inserted] = index_.try_emplace(key, entries_.size());
        if (!inserted) {
            entries_[found->second].second = std::move(value);
            return;
        }
        entries_.emplace_back(std::move(key), std::move(value));
    }

    // Room for `count` keys without growing (a file's line count, say).
    void reserve(std::size_t count) {
        entries_.reserve(count);
        index_.reserve(count);
    }

    // The value of `key`, inserted default-constructed at the end when absent.
    V& operator[](const K& key) {
        auto found = index_.find(key);
        if (found != index_.end()) return entries_[found->second].second;
        index_.emplace(key, entries_.size());
        entries_.emplace_back(key, V{});
        return entries_.back().second;
    }

    const V* find(const K& key) const {
        auto found = index_.find(key);
        return found == index_.end() ? nullptr : &entries_[found->second].second;
    }
    V* find(const K& key) {
        auto found = index_.find(key);
        return found == index_.end() ? nullptr : &entries_[found->second].second;
    }

    bool contains(const K& key) const { return index_.count(key) != 0; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    const std::vector<Entry>& entries() const { return entries_; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    bool operator==(const OrderedMap& other) const { return entries_ == other.entries_; }

private:
    std::vector<Entry> entries_;
    std::unordered_map<K, std::size_t, Hash> index_;
};

}  // namespace quorl
